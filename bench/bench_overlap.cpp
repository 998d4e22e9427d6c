// bench_overlap.cpp: how long ships stay inside each other in real play.
//
// Plays seeded computer-against-computer matches to their end, one
// millisecond per update as the main loop runs them, and measures the time
// during which the collision test finds the two ships touching at the end of
// an update. Ships that touch bounce apart at once; what remains are the
// times the clamp to the field has pushed one into the other, which the
// collision response must let part quickly rather than glue together.
//
// Prints the matches played, the share of match time spent overlapping, the
// longest single overlap and how many matches had one at all.
//   bench_overlap [MATCHES] [FIRST_SEED]      (defaults 1000 and 1)
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/hmatchowner.h"
#include "game/grandom.h"
#include "screens/gengine.h"
#include "game/gship.h"

namespace {

// Overlaps by length: up to 350 ms (14 ship ticks), up to 1 s, longer.
const int64_t EPISODE_LIMITS_MS[] = {350, 1000};
const int EPISODE_CLASSES = 3;

struct Figures {
    int64_t matchMs = 0;
    int64_t overlapMs = 0;
    int64_t longestMs = 0;
    int64_t episodes[EPISODE_CLASSES] = {};
    bool any = false;

    void endEpisode(int64_t ms) {
        if (ms == 0) return;
        int c = 0;
        while (c < EPISODE_CLASSES - 1 && ms > EPISODE_LIMITS_MS[c]) ++c;
        ++episodes[c];
    }
};

// The longest a match may run before it is called off (none comes near).
const int64_t MATCH_LIMIT_MS = 30LL * 60 * 1000;

Figures play(unsigned seed) {
    srand(seed);
    HMatchOwner owner(nullptr);  // no application: the end is read off the ships
    owner.setUpLocal(CHOICE_COMPUTER, CHOICE_COMPUTER, drawMatchSeed());
    GEngine engine(nullptr, &owner);
    GShip* right = engine.rightShip();
    GShip* left = engine.leftShip();
    Figures f;
    int64_t run = 0;
    while (right->health > 0 && left->health > 0 && f.matchMs < MATCH_LIMIT_MS) {
        engine.update(1);
        ++f.matchMs;
        if (GWorld::touching(right, left)) {
            ++f.overlapMs;
            ++run;
            f.any = true;
            if (run > f.longestMs) f.longestMs = run;
        } else {
            f.endEpisode(run);
            run = 0;
        }
    }
    f.endEpisode(run);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int matches = argc > 1 ? atoi(argv[1]) : 1000;
    const unsigned firstSeed = argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 1u;
    // The engines look for their model files in the working directory; the
    // figures do not depend on them, and their absence is not news here.
    if (!freopen("/dev/null", "w", stderr)) return 1;

    const clock_t start = clock();
    Figures total;
    int withOverlap = 0;
    unsigned longestSeed = firstSeed;
    for (int i = 0; i < matches; ++i) {
        const Figures f = play(firstSeed + static_cast<unsigned>(i));
        total.matchMs += f.matchMs;
        total.overlapMs += f.overlapMs;
        if (f.longestMs > total.longestMs) {
            total.longestMs = f.longestMs;
            longestSeed = firstSeed + static_cast<unsigned>(i);
        }
        if (f.any) ++withOverlap;
        for (int c = 0; c < EPISODE_CLASSES; ++c) total.episodes[c] += f.episodes[c];
    }
    const double seconds = static_cast<double>(clock() - start) / CLOCKS_PER_SEC;

    printf("matches played            %d (seeds %u to %u)\n", matches, firstSeed,
           firstSeed + static_cast<unsigned>(matches) - 1);
    printf("match time                %.1f s (%.1f s a match)\n", total.matchMs / 1000.0,
           total.matchMs / 1000.0 / (matches > 0 ? matches : 1));
    printf("ships overlapping         %.4f %% of match time (%.2f s)\n",
           total.matchMs > 0 ? 100.0 * total.overlapMs / total.matchMs : 0.0, total.overlapMs / 1000.0);
    printf("longest overlap           %lld ms (seed %u)\n", static_cast<long long>(total.longestMs), longestSeed);
    printf("matches with an overlap   %d\n", withOverlap);
    printf("overlaps by length        %lld up to 350 ms, %lld up to 1 s, %lld longer\n",
           static_cast<long long>(total.episodes[0]), static_cast<long long>(total.episodes[1]),
           static_cast<long long>(total.episodes[2]));
    printf("cpu time                  %.2f s\n", seconds);
    return 0;
}
