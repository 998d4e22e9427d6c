// matchresult.h: the two small records that travel between screens.
#pragma once

#include <cstdint>

#include "game/gmatchstats.h"

// Who steers one ship. Any other value leaves the ship without a controller.
typedef int32_t ControllerChoice;
enum : ControllerChoice {
    CHOICE_ARROW_KEYS = 0,  // the right keys: cursor keys and right Ctrl unless rebound
    CHOICE_WASD = 1,        // the left keys: W A S D and left Ctrl unless rebound
    CHOICE_COMPUTER = 2,    // the random walk that always fires
    CHOICE_PILOT = 3,       // aims with some error, dodges now and then
    CHOICE_ACE = 4,         // aims closer, dodges more, sees sooner
    CHOICE_MASTER = 5,      // searches the next ticks on the match's rules, seeing 250 ms late
};

// What a finished match hands to the victory screen. Field order matters:
// callers fill the first three positionally; the rest came later, with
// defaults, so that those callers still say the same thing.
struct MatchResult {
    bool finished;        // the match ended because a ship's health ran out
    int32_t rightHealth;  // zero or negative when the right ship was destroyed
    int32_t leftHealth;
    uint32_t lengthMs = 0;  // match time at the end, without pauses or waits
    // Who flew each ship; a value no kind has is nobody.
    ControllerChoice leftChoice = -1;
    ControllerChoice rightChoice = -1;
    // In a network match, the GSide flown from the other machine, whatever
    // its choice says; -1 in a match of this machine alone.
    int32_t otherMachineSide = -1;
    // What each ship did, by GSide (gmatchstats.h): counted from the match
    // as kept, so a network match's two sides and its spectators show the
    // same numbers.
    GMatchStats stats = {};
};
