// hcontrols.h: both players' keys and pads, and "controls.txt", where they
// and the menu's two choices are kept.
//
// Input: the file, one setting a line, `NAME = VALUE`, white space around
// either side free, `#` starting a comment line, blank lines allowed:
//
//   left.up = w               a key, by SDL's own name for it (SDL_GetKeyName), or none
//   right.fire = right ctrl   the names are SDL's, spaces included
//   left.pad = 2              none, or 1 to GPads::MAX_PADS
//   left.padfire = any        any of the first four buttons, or 0 to 31
//   left.choice = pilot       who flies that ship: a controller kind's name
//
// `left` is the left player: the "left keys" of the menu, whichever ship
// they fly; `right` likewise. A setting the file does not name keeps its
// default. Output: playerKeys, and the menu's leftChoice and rightChoice.
//
// Faults cost one line on standard error each, naming the file and the
// line, and that setting keeps its default: a line that is no setting, a
// key SDL has no name for, a key the game keeps for itself (F1, F3, m,
// Escape, p: they never reach a player in a match), a key another action took on an
// earlier line, an action named twice. A file that is not text (a NUL byte
// or other control characters) is one line for the whole file, and
// everything keeps its default. loadControls notes each fault for the main
// menu's start-up notice too (noteFileFaults). A file with any fault is never written
// over by the game unless the player changes the controls in the settings
// screen; it is then kept as "controls.txt.bad" first.
//
// Key names need SDL's video part started (SDL 1.2 fills its name table
// there): load after initVideo.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "game/gcontroller.h"
#include "game/matchresult.h"

// By GSide: the left keys, the right keys.
extern GKeyBinding playerKeys[2];
// Who flies each ship: the main menu's two choices ('o' and 'p' cycle
// them). Kept here with the keys rather than in the menu, since the file
// holds them and they outlive every menu: a menu shown again after a match
// shows the last ones.
extern ControllerChoice leftChoice;   // starts at W A S D
extern ControllerChoice rightChoice;  // starts at the cursor keys

constexpr const char* CONTROLS_FILE = "controls.txt";

// The five keyed actions, in the order of GKeyBinding and of the settings
// screen's lines.
enum HAction : int32_t { ACTION_UP, ACTION_DOWN, ACTION_LEFT, ACTION_RIGHT, ACTION_FIRE, ACTION_COUNT };
const char* actionName(int32_t action);  // "up", "down", "left", "right", "fire"
uint16_t& actionKey(GKeyBinding& keys, int32_t action);
uint16_t actionKey(const GKeyBinding& keys, int32_t action);

// One side's default binding: GWasdController::KEYS for the left player,
// GArrowKeysController::KEYS for the right.
const GKeyBinding& defaultKeys(int32_t side);

// A whole set of five keys in one step; a template leaves the pad alone.
struct HKeyTemplate {
    const char* name;        // as the settings screen shows it
    uint16_t keys[ACTION_COUNT];
};
constexpr int32_t KEY_TEMPLATE_COUNT = 5;
extern const HKeyTemplate KEY_TEMPLATES[KEY_TEMPLATE_COUNT];
// The template whose five keys `keys` has, or -1.
int32_t keyTemplateOf(const GKeyBinding& keys);

// Keys the settings screen never gives a player: the shell's (F1, m), the
// match's (Escape, p, and F3 for the network line) and the menu's own (o,
// p, r, n, s). The templates
// may still hold s: in a match it is no menu key.
bool reservedKey(uint32_t sym);
// The keys of those that never reach a player in a match: refused in the file.
bool keptFromPlayers(uint32_t sym);

// Which action of which side holds `sym`, leaving out (`skipSide`,
// `skipAction`); false when none does. Key 0 is nobody's.
bool keyHolder(const GKeyBinding keys[2], uint32_t sym, int32_t skipSide, int32_t skipAction, int32_t& side,
               int32_t& action);
// "Used by the right player's fire", and the like.
std::string usedByText(int32_t side, int32_t action);

// SDL's name of a key ("w", "right ctrl", "[0]"), "none" for 0.
std::string keyName(uint32_t sym);
// The key SDL calls `name` (any case), or 0 for none.
uint16_t keyNamed(const std::string& name);

// Puts the keys and the choices back to their defaults.
void resetControls();
// Reads `in` as the file `fileName` onto the defaults. False when any line
// had a fault (said on standard error).
bool readControls(FILE* in, const char* fileName);
// The whole file as the game writes it.
std::string controlsText();

// Start-up: reads CONTROLS_FILE from the working directory when there is
// one; without it, the defaults and not a word.
void loadControls();
// Writes CONTROLS_FILE through a temporary file and a rename, keeping a
// file that could not be read as CONTROLS_FILE.bad first. `changedByPlayer`
// says the player changed the controls in the settings screen: without it,
// a file that could not be read is left alone. False, with a line on
// standard error, when it could not be written.
bool saveControls(bool changedByPlayer);
// At the end of a run: the menu's choices, when they differ from what the
// run started with (nothing is written for a run that changed nothing).
void saveChoicesIfChanged();
