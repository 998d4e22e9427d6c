// greplay.h: a recorded match, and its file "lastmatch.vkr".
//
// A match depends only on its seed and on the five control flags each ship's
// controller set at each of its ticks. A replay keeps exactly that, plus the
// recorded end, so that playing it again can be checked bit for bit.
//
// File layout, all numbers little-endian, in this order:
//
//   offset  size  field
//   0       4     magic "VKR" 0x1A (0x1A stops a terminal's `cat` early)
//   4       2     format version, VERSION
//   6       4     left ControllerChoice, signed
//   10      4     right ControllerChoice, signed
//   14      4     match seed
//   18      ...   left flag stream, then right flag stream, each:
//                   varint ticks    ticks the ship was steered, <= MAX_TICKS
//                   varint runs     number of runs, 0..ticks
//                   runs times:     one byte of flags (bits FLAG_*, the three
//                                   high bits clear), then a varint run
//                                   length >= 1; the lengths add up to ticks
//   ...     4     endMs: the match millisecond it ended or was left
//   ...     1     how it ended: END_FINISHED or END_LEFT
//   ...     4     left ship's health at the end, signed
//   ...     4     right ship's health at the end, signed
//   ...     8     hash of the world state at the end (GWorld::stateHash)
//   ...     4     CRC-32 (IEEE, as zlib's crc32) of every byte before it
//
// Fields out of range (BAD_FIELD): version 0; a choice outside
// 0..CHOICE_LIMIT - 1; a flag byte with a high bit set; a run of 0 ticks,
// two runs in a row with the same flags (the recorder joins them), or runs
// that do not add up to the stream's ticks; more runs than ticks; more
// ticks than MAX_TICKS, or than endMs allows (a ship ticks every TICK_MS,
// first at the end of its first period, so at most endMs / TICK_MS); endMs
// above MAX_END_MS; an end other than the two; a health above 100 or below
// MIN_HEALTH; a finished match with both healths above 0, or a match left
// with Escape with either at 0 or below (it would have ended).
//
// A varint is LEB128: seven bits a byte, low bits first, the high bit set on
// every byte but the last; at most five bytes, and a value above 2^32 - 1 is
// refused, as is a longer form than needed (a last byte of 0 after others).
// Nothing may follow the CRC. So every replay has exactly one file: reading
// a file and writing it back gives the same bytes (the fuzz target checks).
//
// What a reader reports, first match wins:
//   1. NOT_A_REPLAY  fewer than four bytes, or not the magic;
//   2. NEWER_VERSION a version above VERSION (version 0 is left to step 5,
//                    so that a damaged version byte reads as damage);
//   3. TRUNCATED     the data ends before the CRC has been read;
//   4. DAMAGED       the CRC is not that of the bytes before it, or bytes
//                    follow it;
//   5. BAD_FIELD     a field out of range, in the order above.
// Every field is read and the CRC checked before any range is judged, so
// that damage never poses as a bad field. A file cut short is read as far
// as it goes: its fields are those of a good file, so it only ever runs out
// (3). One changed byte in a whole file, though, can make a count or a
// varint run past the end as well; the reader tells the two apart by the
// CRC, which locates a single changed byte (the difference between the
// computed and the stored CRC is that of the change alone, which one byte
// at some place explains or not). So a whole file with any one byte
// changed is DAMAGED, or NOT_A_REPLAY / NEWER_VERSION when the change hits
// the magic or the version, and never OK. A count checked while reading
// (more runs than ticks, say) waits for the end of the file, and is a bad
// field only when the file's last four bytes are the CRC of the rest.
//
// Size. Run lengths fit in one byte up to 127 ticks (3.2 s), so a run costs
// two bytes, and the rest of the file 47 to 63. The computer player holds a
// decision 6 to 35 ticks, but decides again at every tick it finds itself
// pinned at an edge or put back by a bounce, which is often: 300 matches
// between two of them, played with the engine of the time at 1 ms steps
// and recorded once a tick, had 200 to 340 runs a ship per 66 s of play (5th
// to 95th percentile; median 264) and came to 0.75 to 1.8 KB scaled to 66 s
// (median 1.1 KB; the 82 matches of 60 to 72 s: mean 1.1 KB, largest
// 1.5 KB). People were not measured.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "game/matchresult.h"

namespace vkr {

constexpr uint8_t MAGIC[4] = {'V', 'K', 'R', 0x1A};
constexpr uint16_t VERSION = 1;

// The five control flags of one tick, one bit each.
constexpr uint8_t FLAG_UP = 1 << 0;
constexpr uint8_t FLAG_DOWN = 1 << 1;
constexpr uint8_t FLAG_LEFT = 1 << 2;
constexpr uint8_t FLAG_RIGHT = 1 << 3;
constexpr uint8_t FLAG_FIRE = 1 << 4;
constexpr uint8_t FLAG_MASK = (1 << 5) - 1;

// Choices a file may name. The flags are recorded whatever steered the
// ship, so a replay plays without knowing the kind; the bound only keeps a
// damaged file from reading as a good one. Room for kinds to come.
constexpr int32_t CHOICE_LIMIT = 16;
// The lowest health a file may record: 30 objects of which 28 shots, each
// striking twice a millisecond, cannot take more in one step.
constexpr int32_t MIN_HEALTH = -10000;

constexpr uint8_t END_FINISHED = 0;  // a ship's health ran out: won or drawn
constexpr uint8_t END_LEFT = 1;      // left with Escape

// A ship's period (GShip::PERIOD_MS), which bounds the ticks of a match.
constexpr uint32_t TICK_MS = 25;

// The last millisecond a match may end at: two hours. The game itself ends
// a match there, so every real match stays replayable. A player steps the
// world a millisecond at a time up to endMs, so this bounds what any file
// costs: a third of a second of CPU at the bound, where a 47-byte file
// that said 38 days took 42 s (bench/README.md, bench_world).
constexpr uint32_t MAX_END_MS = 7200000;
// Ticks a stream may hold: a ship ticks at the end of each period, so at
// most MAX_END_MS / TICK_MS of them, 288,000.
constexpr uint32_t MAX_TICKS = MAX_END_MS / TICK_MS;

}  // namespace vkr

// One ship's flags, run-length coded as they are recorded.
struct GFlagRun {
    uint8_t flags;    // vkr::FLAG_* bits
    uint32_t ticks;   // >= 1
};

class GFlagStream {
public:
    // Appends one tick's flags (bits above FLAG_MASK are dropped), growing
    // the last run when the flags are the same. Past MAX_TICKS ticks (two
    // hours) the tick is dropped: no file could hold it.
    void append(uint8_t flags);
    void clear();
    // Keeps the first `count` ticks (all of them when there are fewer).
    void truncate(uint32_t count);
    uint32_t tickCount() const { return ticks; }

    std::vector<GFlagRun> runs;
    uint32_t ticks = 0;  // the sum of the runs' lengths
};

// Hands a stream back tick by tick, in O(1) per tick. Runs of 0 ticks,
// which no reader lets through, are stepped over. The stream must not change
// while a cursor reads it.
class GFlagCursor {
public:
    explicit GFlagCursor(const GFlagStream* stream);
    // The flags of the next tick, or 0 (nothing held) past the end.
    uint8_t next();
    // Passes over `ticks` ticks, a run at a time.
    void skip(uint32_t ticks);
    bool atEnd() const;

    const GFlagStream* stream;
    size_t run = 0;         // index of the current run
    uint32_t usedInRun = 0; // ticks already handed out of it
};

struct GReplay {
    uint16_t version = vkr::VERSION;
    ControllerChoice leftChoice = 0;
    ControllerChoice rightChoice = 0;
    uint32_t seed = 0;
    GFlagStream left;
    GFlagStream right;
    uint32_t endMs = 0;
    uint8_t end = vkr::END_FINISHED;
    int32_t leftHealth = 0;
    int32_t rightHealth = 0;
    uint64_t hash = 0;
};

enum class GReplayRead {
    OK = 0,
    NOT_A_REPLAY,   // wrong magic, or shorter than the magic
    TRUNCATED,      // the file ends before its last field
    NEWER_VERSION,  // a version above VERSION: made by a later game
    BAD_FIELD,      // a field out of range (named in the message)
    DAMAGED,        // the CRC does not match, or bytes follow it
};

// Writes `replay` to `out` in the layout above, as VERSION whatever
// replay.version says, and the fields as they are: ranges are the reader's
// business, so a replay the game could not have recorded (hand-made runs of
// equal flags, say) is written, and then refused when read. False when a
// write fails; `out` is neither flushed nor closed.
bool writeReplay(FILE* out, const GReplay& replay);

// Writes `replay` to `path` through a temporary file in the same folder,
// then renames it into place, so that a crash never leaves half a file. On
// failure writes one line to standard error naming the path and the
// system's reason, leaves no temporary file behind, and returns false.
bool saveReplay(const char* path, const GReplay& replay);

// Reads one replay from `in`, to its end. On anything but OK, `why` says
// what is wrong in a few words, lower case, without the file's name
// ("truncated in the right flag stream", "version 7 is newer than 1", "left
// choice 9 out of range") and `replay` is unspecified; on OK `why` is
// cleared. Never allocates more than the bytes actually read justify (two
// bytes at least for each run it keeps); time is linear in the file's size.
GReplayRead readReplay(FILE* in, GReplay& replay, std::string& why);

// Opens and reads `path`; an unopenable file is NOT_A_REPLAY with the
// system's reason in `why`.
GReplayRead loadReplay(const char* path, GReplay& replay, std::string& why);

// The file's CRC-32 of `size` bytes, for tools that mend or make files (the
// fuzz target sets it, so that its changes reach the fields behind it).
uint32_t replayCrc32(const uint8_t* bytes, size_t size);
