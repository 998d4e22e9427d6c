// vk_duel.cpp: seeded matches between two computer players, without a
// window, and who won them.
//
// Usage: vk-duel LEFT RIGHT MATCHES [FIRST_SEED]
//        vk-duel --help
// LEFT and RIGHT name controller kinds that may play on both sides
// (computer, pilot, ace, master); the matches have seeds FIRST_SEED (default 1),
// FIRST_SEED + 1, and so on, and each is played to its end, or for
// MAX_MATCH_MS at most, which counts as a draw.
// Output: one JSON line: {"left", "right", "matches", "leftWins",
// "rightWins", "draws", "meanMs", "maxMs", "meanHealthLeft",
// "meanHealthRight"}, the healths being the winners' remaining health
// averaged over their wins (0 without a win); then "leftStats" and
// "rightStats", what the left player's skill and the right one's did over
// all the matches (gmatchstats.h): {"shots", "hits", "accuracy", "bounces",
// "longestUnhitMs", "aheadMs"}, the counts and times summed, accuracy the
// summed hits over the summed shots, and longestUnhitMs the longest of any
// match (a sum of longest stretches would measure nothing).
// --help prints the usage on standard output.
// Exit code: 0 (and on --help); 2 on a bad call (a message on standard
// error).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/gcontrollerkinds.h"
#include "game/gduel.h"
#include "vk_json.h"

namespace {

const char* const USAGE =
    "usage: vk-duel LEFT RIGHT MATCHES [FIRST_SEED]\n"
    "       vk-duel --help\n"
    "LEFT and RIGHT: computer, pilot, ace or master.\n";

int usage(const char* why) {
    fprintf(stderr, "vk-duel: %s\n%s", why, USAGE);
    return 2;
}

// One skill's numbers over the matches, as the file comment says.
struct Sums {
    uint64_t shots = 0, hits = 0, bounces = 0, longestUnhitMs = 0, aheadMs = 0;
};

void add(Sums& sum, const GShipStats& match) {
    sum.shots += match.shots;
    sum.hits += match.hits;
    sum.bounces += match.bounces;
    sum.aheadMs += match.aheadMs;
    sum.longestUnhitMs = std::max<uint64_t>(sum.longestUnhitMs, match.longestUnhitMs);
}

// A whole number from 0 to `limit`, all of `text`.
bool parseNumber(const char* text, unsigned long long limit, unsigned long long& out) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    out = strtoull(text, &end, 10);
    return errno == 0 && *end == '\0' && out <= limit;
}

const GControllerKind* player(const char* name) {
    const GControllerKind* kind = controllerKindNamed(name);
    return kind != nullptr && kind->bothSides ? kind : nullptr;
}

std::string fixed(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (argc < 4 || argc > 5) return usage("wrong number of arguments");
    const GControllerKind* left = player(argv[1]);
    const GControllerKind* right = player(argv[2]);
    if (left == nullptr) return usage("LEFT is not a computer player (computer, pilot, ace, master)");
    if (right == nullptr) return usage("RIGHT is not a computer player (computer, pilot, ace, master)");
    unsigned long long matches = 0;
    if (!parseNumber(argv[3], 100000000ull, matches) || matches == 0) {
        return usage("MATCHES is not a whole number from 1 to 100000000");
    }
    unsigned long long firstSeed = 1;
    if (argc == 5 && !parseNumber(argv[4], 0xFFFFFFFFull, firstSeed)) {
        return usage("FIRST_SEED is not a whole number from 0 to 4294967295");
    }
    if (firstSeed + matches - 1 > 0xFFFFFFFFull) return usage("the seeds run past 4294967295");

    uint64_t leftWins = 0, rightWins = 0, draws = 0, totalMs = 0, maxMs = 0;
    uint64_t healthLeft = 0, healthRight = 0;
    Sums sums[2];  // by GSide
    for (unsigned long long i = 0; i < matches; i++) {
        const GDuel duel = playDuel(left->choice, right->choice, static_cast<uint32_t>(firstSeed + i));
        totalMs += duel.ms;
        add(sums[SIDE_LEFT], duel.stats.ships[SIDE_LEFT]);
        add(sums[SIDE_RIGHT], duel.stats.ships[SIDE_RIGHT]);
        if (duel.ms > maxMs) maxMs = duel.ms;
        if (duel.winner == SIDE_LEFT) {
            leftWins++;
            healthLeft += static_cast<uint64_t>(duel.leftHealth);
        } else if (duel.winner == SIDE_RIGHT) {
            rightWins++;
            healthRight += static_cast<uint64_t>(duel.rightHealth);
        } else {
            draws++;
        }
    }
    printf("{\"left\": %s, \"right\": %s, \"matches\": %llu, \"leftWins\": %llu, \"rightWins\": %llu, \"draws\": %llu, "
           "\"meanMs\": %s, \"maxMs\": %llu, \"meanHealthLeft\": %s, \"meanHealthRight\": %s, \"leftStats\": %s, "
           "\"rightStats\": %s}\n",
           quote(left->name).c_str(), quote(right->name).c_str(), matches, static_cast<unsigned long long>(leftWins),
           static_cast<unsigned long long>(rightWins), static_cast<unsigned long long>(draws),
           fixed(static_cast<double>(totalMs) / static_cast<double>(matches)).c_str(),
           static_cast<unsigned long long>(maxMs),
           fixed(leftWins ? static_cast<double>(healthLeft) / static_cast<double>(leftWins) : 0.0).c_str(),
           fixed(rightWins ? static_cast<double>(healthRight) / static_cast<double>(rightWins) : 0.0).c_str(),
           statsObject(sums[SIDE_LEFT].shots, sums[SIDE_LEFT].hits, sums[SIDE_LEFT].bounces, sums[SIDE_LEFT].longestUnhitMs,
                       sums[SIDE_LEFT].aheadMs).c_str(),
           statsObject(sums[SIDE_RIGHT].shots, sums[SIDE_RIGHT].hits, sums[SIDE_RIGHT].bounces,
                       sums[SIDE_RIGHT].longestUnhitMs, sums[SIDE_RIGHT].aheadMs).c_str());
    return 0;
}
