// gseeker.h: a watched recording moved to any millisecond, back and forth.
//
// Input: a match set up from a replay (GMatch::setUpReplay), at its start,
// and the last millisecond it may reach. Output: the match standing at the
// millisecond asked for, to the last bit as if it had been stepped there
// straight from its start (the same GWorld::stateHash).
//
// Saved states. A match only steps forward, so going back means putting
// back a state saved earlier (GMatch::save) and stepping on from it. The
// seeker saves the match at every whole second of match time (SAVE_EVERY_MS)
// the first time a step lands on it, whether it steps for a seek or for
// playing (advance); second k holds the match at k * SAVE_EVERY_MS. Every
// road forward passes through each second, so the saved seconds are always
// 0 to savedCount() - 1 without a gap.
//
// A seek to t puts back second k = min(t / SAVE_EVERY_MS, savedCount() - 1),
// the nearest saved state at or before t, and steps on to t, saving the
// seconds it passes beyond the last one. It steps from where the match
// stands instead when that lies between second k and t: fewer steps. So a
// seek within what has been stepped through costs one restore and fewer
// than SAVE_EVERY_MS steps (65 us on average); one ahead of it steps the
// whole way from the last saved second, saving as it goes (two hours of
// match in 0.39 s). Figures: bench/bench_seek.cpp, bench/README.md.
//
// Memory. A GMatchState is 23 KB, room for a full table of 30 objects and
// two controllers' largest states (an ace keeps 8.7 KB): 7,200 of them, a
// two-hour match at one a second, would take 168 MB. Kept here compactly
// instead: the world's own fields, only the objects in the table, each only
// as far as its kind has fields (a shot has no ship's, the backdrop no
// movable's), and each controller's bytes as many as it keeps (a replay's
// keep none): 56 bytes, 164 a ship, 148 a shot, 56 the backdrop. A ship
// fires at most every 250 ms and a shot lives at most about 1.1 s (it
// starts with its ship's speed, which may carry it away first), so a match
// holds at most 13 objects (the most seen in 600 computer matches, each
// millisecond looked at): 1,920 bytes, 14.3 MB for two hours with the
// blocks' slack. States are packed into blocks of BLOCK_BYTES, so that
// growing never copies what is kept nor doubles a buffer. Past
// `memoryLimit` no more states are saved: a seek beyond the last one steps
// on from it, correct and slower.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>  // Required for: std::unique_ptr
#include <vector>

#include "game/gmatch.h"

class GSeeker : private GStepGate {
public:
    static constexpr uint32_t SAVE_EVERY_MS = 1000;
    static constexpr size_t BLOCK_BYTES = 64 * 1024;
    // Two hours of saved states fit under it with room to spare (above).
    static constexpr size_t MEMORY_LIMIT = 16 * 1024 * 1024;

    // `match` (not owned, outlives this) must stand at its start, between
    // steps; it is saved at once as second 0. It never steps past `lastMs`
    // here. `memoryLimit`: the most the saved states may take, in bytes.
    GSeeker(GMatch* match, uint32_t lastMs, size_t memoryLimit = MEMORY_LIMIT);
    ~GSeeker() override;
    GSeeker(const GSeeker&) = delete;
    GSeeker& operator=(const GSeeker&) = delete;

    // Steps on through up to `ms` milliseconds, as GMatch::advance does
    // (the events are in world.events afterwards), stopping at lastMs and at
    // the end; saves the seconds it lands on. Returns the steps taken.
    int32_t advance(int32_t ms);

    // Puts the match at `targetMs` (lastMs when later), or where it ended
    // when that comes first. `heard` (not owned, may be null) hears the
    // events of the steps taken on the way, at most a second's at a time.
    // False when a state could not be saved or put back (no memory): the
    // match then stands wherever that left it.
    bool seek(uint32_t targetMs, GEventListener* heard = nullptr);

    // The match's last millisecond here.
    uint32_t lastMs() const { return last; }
    // Seconds saved: 0 to savedCount() - 1.
    uint32_t savedCount() const { return static_cast<uint32_t>(offsets.size()); }
    // What the saved states take: their blocks and their index, in bytes.
    size_t memoryBytes() const;
    // A save or a restore failed at some point.
    bool failed() const { return broken; }
    // The steps the last seek took.
    uint32_t seekSteps() const { return steps; }

private:
    bool mayStep(GMatch& m) override;
    bool stepped(GMatch& m) override;
    // Saves the match as the next second, when it stands on it.
    void saveSecond();
    bool restoreSecond(uint32_t second);

    GMatch* match;
    uint32_t last;
    size_t memoryLimit;
    std::vector<std::unique_ptr<unsigned char[]>> blocks;  // BLOCK_BYTES each
    size_t blockUsed = 0;  // bytes of the last block in use
    // Where each second's state starts: block * BLOCK_BYTES + offset.
    std::vector<uint32_t> offsets;
    bool full = false;  // the limit is reached: no more saving
    bool broken = false;
    uint32_t steps = 0;
    // The one full-size state each save and restore passes through.
    std::unique_ptr<GMatchState> scratch;
};
