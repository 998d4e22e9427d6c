// gplayback.h: plays a recorded match again without a window and says
// whether it came out as recorded.
//
// The world is set up from the replay's seed, each ship steered by its
// notes (GReplayController), and stepped to the recorded end: to the step
// its health ran out in for a finished match, to the millisecond it was
// left at otherwise. The match it reaches is compared with the recorded
// one: the end, both healths and the hash of the whole world.
#pragma once

#include <cstdint>

#include "game/greplay.h"

struct GPlayback {
    uint32_t endMs = 0;   // where the playback stopped
    bool finished = false;  // a ship's health ran out on the way
    int32_t leftHealth = 0;
    int32_t rightHealth = 0;
    uint64_t hash = 0;
    // The recorded end, healths and hash were all reached.
    bool matches = false;
};

class GWorld;

// Steers both ships of a world just set up with the controllers the
// choices name, each wrapped in a recorder that notes its flags into
// world.recorded (a ship nobody steers is noted as holding nothing, so the
// notes of both sides cover every tick).
void steerRecorded(GWorld& world, ControllerChoice leftChoice, ControllerChoice rightChoice);

// The match `world` has played so far as a replay: the choices, its seed,
// its notes, and the end as if it came now (`end`: vkr::END_FINISHED or
// END_LEFT).
GReplay recordingOf(const GWorld& world, ControllerChoice leftChoice, ControllerChoice rightChoice, uint8_t end);

// Never steps past the recorded endMs, so a hostile or outdated replay
// costs at most that many milliseconds of play.
GPlayback playBack(const GReplay& replay);
