// vk_replay.cpp: plays recorded matches again without a window and says
// whether each came out as recorded.
//
// Usage: vk-replay [--rollback N] FILE...
//        vk-replay --stats FILE...
//        vk-replay --help
// With --rollback N (1 to 100), every match is played as a rollback would
// play it: before each step in which the ships tick, the match is saved,
// stepped N ship ticks ahead, and restored. Anything the saved state leaves
// out then shows as a match that plays out differently.
// Output: one JSON line per file:
//   {"file", "version", "seed", "left", "right", "endMs", "leftHealth",
//    "rightHealth", "result", "hash", "matches"}
// with the recorded values; a replay that plays out differently also gets
// "playedEndMs", "playedLeftHealth", "playedRightHealth" and "playedHash",
// what the game makes of it today. A file that cannot be read gets
// {"file", "error"} and a message on standard error.
// With --stats, one JSON line per file of what each ship did (gmatchstats.h),
// counted as the match plays back today:
//   {"file", "left": {"shots", "hits", "accuracy", "bounces",
//    "longestUnhitMs", "aheadMs"}, "right": {...}, "matches"}
// "matches" as above; a file that cannot be read gets {"file", "error"}.
// --help prints the usage on standard output.
// Exit code: 0 when every file plays out as recorded (and on --help); 1
// when one plays out differently; 2 when one is not a replay, is cut short,
// is damaged, comes from a newer game or has a field out of range, or on a
// bad call (2 wins over 1).
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/gcontrollerkinds.h"
#include "game/gmatchstats.h"
#include "game/gplayback.h"
#include "game/greplay.h"
#include "vk_json.h"

namespace {

std::string kindName(ControllerChoice choice) {
    const GControllerKind* kind = controllerKind(choice);
    return kind != nullptr ? kind->name : "none";
}

const char* resultName(const GReplay& replay) {
    if (replay.end == vkr::END_LEFT) return "left the match";
    if (replay.leftHealth > 0) return "left";
    if (replay.rightHealth > 0) return "right";
    return "draw";
}

std::string hex(uint64_t value) {
    char text[17];
    snprintf(text, sizeof text, "%016" PRIx64, value);
    return std::string("\"") + text + "\"";
}

// Look-aheads longer than this only cost time: a rollback goes back a
// quarter of a second or so.
constexpr unsigned long MAX_ROLLBACK = 100;

const char* const USAGE =
    "usage: vk-replay [--rollback N] FILE...\n"
    "       vk-replay --stats FILE...\n"
    "       vk-replay --help\n";

int usage(const char* why) {
    fprintf(stderr, "vk-replay: %s\n%s", why, USAGE);
    return 2;
}

// Reads `file`; on failure says why on both outputs.
bool load(const char* file, GReplay& replay) {
    std::string why;
    if (loadReplay(file, replay, why) == GReplayRead::OK) return true;
    fprintf(stderr, "vk-replay: %s: %s\n", file, why.c_str());
    printf("{\"file\": %s, \"error\": %s}\n", quote(file).c_str(), quote(why.c_str()).c_str());
    return false;
}

// 0, 1 or 2, as the file comment says.
int stats(const char* file) {
    GReplay replay;
    if (!load(file, replay)) return 2;
    GPlayback played;
    const GMatchStats counted = countMatch(replay, &played);
    const bool matches = played.matches;
    printf("{\"file\": %s, \"left\": %s, \"right\": %s, \"matches\": %s}\n", quote(file).c_str(),
           statsObject(counted.ships[0]).c_str(), statsObject(counted.ships[1]).c_str(), matches ? "true" : "false");
    return matches ? 0 : 1;
}

// 0, 1 or 2, as the file comment says.
int check(const char* file, uint32_t rollback) {
    GReplay replay;
    if (!load(file, replay)) return 2;
    const GPlayback played = playBack(replay, rollback);
    std::string line = "{\"file\": " + quote(file) + ", \"version\": " + std::to_string(replay.version) +
                       ", \"seed\": " + std::to_string(replay.seed) + ", \"left\": " +
                       quote(kindName(replay.leftChoice).c_str()) + ", \"right\": " +
                       quote(kindName(replay.rightChoice).c_str()) + ", \"endMs\": " + std::to_string(replay.endMs) +
                       ", \"leftHealth\": " + std::to_string(replay.leftHealth) +
                       ", \"rightHealth\": " + std::to_string(replay.rightHealth) + ", \"result\": \"" +
                       resultName(replay) + "\", \"hash\": " + hex(replay.hash) +
                       ", \"matches\": " + (played.matches ? "true" : "false");
    if (!played.matches) {
        line += ", \"playedEndMs\": " + std::to_string(played.endMs) +
                ", \"playedLeftHealth\": " + std::to_string(played.leftHealth) +
                ", \"playedRightHealth\": " + std::to_string(played.rightHealth) + ", \"playedHash\": " + hex(played.hash);
        fprintf(stderr,
                "vk-replay: %s: plays out differently: ends at %u ms with healths %d and %d and hash %016" PRIx64
                ", recorded at %u ms with %d and %d and %016" PRIx64 "\n",
                file, static_cast<unsigned>(played.endMs), played.leftHealth, played.rightHealth, played.hash,
                static_cast<unsigned>(replay.endMs), replay.leftHealth, replay.rightHealth, replay.hash);
    }
    printf("%s}\n", line.c_str());
    return played.matches ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    uint32_t rollback = 0;
    bool counting = false;
    if (argc > 1 && strcmp(argv[1], "--help") == 0) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "--stats") == 0) {
        counting = true;
        first = 2;
    } else if (argc > 1 && strcmp(argv[1], "--rollback") == 0) {
        char* end = nullptr;
        const unsigned long n = argc > 2 && argv[2][0] >= '0' && argv[2][0] <= '9' ? strtoul(argv[2], &end, 10) : 0;
        if (end == nullptr || *end != '\0' || n < 1 || n > MAX_ROLLBACK) {
            return usage("N is not a whole number from 1 to 100");
        }
        rollback = static_cast<uint32_t>(n);
        first = 3;
    }
    if (first >= argc) return usage("no file");
    int status = 0;
    for (int i = first; i < argc; i++) {
        const int result = counting ? stats(argv[i]) : check(argv[i], rollback);
        if (result > status) status = result;
    }
    return status;
}
