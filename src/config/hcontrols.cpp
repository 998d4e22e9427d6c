// hcontrols.cpp: the players' bindings, their names, and "controls.txt".
#include "config/hcontrols.h"

#include <cctype>   // Required for: tolower
#include <cerrno>
#include <cstdlib>  // Required for: strtol
#include <cstring>  // Required for: strerror
#include <vector>

#include <SDL.h>
#include <strings.h>  // Required for: strcasecmp

#include "config/settings.h"
#include "game/gcontrollerkinds.h"

GKeyBinding playerKeys[2] = {GWasdController::KEYS, GArrowKeysController::KEYS};
ControllerChoice leftChoice = CHOICE_WASD;
ControllerChoice rightChoice = CHOICE_ARROW_KEYS;

namespace {

const char* const ACTION_NAMES[ACTION_COUNT] = {"up", "down", "left", "right", "fire"};
const char* const SIDE_NAMES[2] = {"left", "right"};

// What the run started with, so that the end of a run writes only a change.
ControllerChoice startedChoices[2] = {CHOICE_WASD, CHOICE_ARROW_KEYS};
// The file had a fault: the game leaves it alone unless the player
// changes the controls.
bool fileHadFault = false;
// What the last read kept of each fault, for the start-up notice.
std::vector<std::string> faultsKept;

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// A whole number from `low` to `high`, all of `text`.
bool numberIn(const std::string& text, long low, long high, long& value) {
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    value = strtol(text.c_str(), &end, 10);
    return *end == '\0' && value >= low && value <= high;
}

// The items a line may set after "left." or "right.": the five keys, then
// these.
enum Item : int32_t { ITEM_PAD = ACTION_COUNT, ITEM_PADFIRE, ITEM_CHOICE, ITEM_COUNT };
const char* const ITEM_NAMES[ITEM_COUNT] = {"up", "down", "left", "right", "fire", "pad", "padfire", "choice"};

ControllerChoice& choiceOf(int32_t side) { return side == SIDE_LEFT ? leftChoice : rightChoice; }

}  // namespace

const char* actionName(int32_t action) { return action >= 0 && action < ACTION_COUNT ? ACTION_NAMES[action] : "?"; }

uint16_t& actionKey(GKeyBinding& keys, int32_t action) {
    switch (action) {
    case ACTION_UP: return keys.up;
    case ACTION_DOWN: return keys.down;
    case ACTION_LEFT: return keys.left;
    case ACTION_RIGHT: return keys.right;
    default: return keys.fire;
    }
}

uint16_t actionKey(const GKeyBinding& keys, int32_t action) { return actionKey(const_cast<GKeyBinding&>(keys), action); }

const GKeyBinding& defaultKeys(int32_t side) {
    return side == SIDE_LEFT ? GWasdController::KEYS : GArrowKeysController::KEYS;
}

// Up, down, left, right, fire. Z Q S D is W A S D on an AZERTY keyboard;
// E S D F keeps the fingers where they rest for typing.
const HKeyTemplate KEY_TEMPLATES[KEY_TEMPLATE_COUNT] = {
    {"W A S D + left Ctrl", {SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_LCTRL}},
    {"Z Q S D + left Ctrl", {SDLK_z, SDLK_s, SDLK_q, SDLK_d, SDLK_LCTRL}},
    {"E S D F + left Ctrl", {SDLK_e, SDLK_d, SDLK_s, SDLK_f, SDLK_LCTRL}},
    {"cursor keys + right Ctrl", {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL}},
    {"keypad 8 4 5 6 + keypad 0", {SDLK_KP8, SDLK_KP5, SDLK_KP4, SDLK_KP6, SDLK_KP0}},
};

int32_t keyTemplateOf(const GKeyBinding& keys) {
    for (int32_t t = 0; t < KEY_TEMPLATE_COUNT; t++) {
        bool same = true;
        for (int32_t a = 0; a < ACTION_COUNT; a++) same = same && actionKey(keys, a) == KEY_TEMPLATES[t].keys[a];
        if (same) return t;
    }
    return -1;
}

bool keptFromPlayers(uint32_t sym) {
    return sym == SDLK_F1 || sym == SDLK_F3 || sym == SDLK_m || sym == SDLK_ESCAPE || sym == SDLK_p;
}

bool reservedKey(uint32_t sym) {
    return keptFromPlayers(sym) || sym == SDLK_o || sym == SDLK_r || sym == SDLK_n || sym == SDLK_s;
}

bool keyHolder(const GKeyBinding keys[2], uint32_t sym, int32_t skipSide, int32_t skipAction, int32_t& side,
               int32_t& action) {
    if (sym == 0) return false;
    for (int32_t s = SIDE_LEFT; s <= SIDE_RIGHT; s++) {
        for (int32_t a = 0; a < ACTION_COUNT; a++) {
            if ((s == skipSide && a == skipAction) || actionKey(keys[s], a) != sym) continue;
            side = s;
            action = a;
            return true;
        }
    }
    return false;
}

std::string usedByText(int32_t side, int32_t action) {
    return std::string("Used by the ") + SIDE_NAMES[side == SIDE_RIGHT] + " player's " + actionName(action);
}

std::string keyName(uint32_t sym) {
    if (sym == 0) return "none";
    return SDL_GetKeyName(static_cast<SDLKey>(sym));
}

uint16_t keyNamed(const std::string& name) {
    // SDL 1.2 can only name keys; this is its table read backwards.
    if (name.empty() || strcasecmp(name.c_str(), "unknown key") == 0) return 0;
    for (int sym = 1; sym < SDLK_LAST; sym++) {
        if (strcasecmp(SDL_GetKeyName(static_cast<SDLKey>(sym)), name.c_str()) == 0) return static_cast<uint16_t>(sym);
    }
    return 0;
}

void resetControls() {
    playerKeys[SIDE_LEFT] = defaultKeys(SIDE_LEFT);
    playerKeys[SIDE_RIGHT] = defaultKeys(SIDE_RIGHT);
    leftChoice = CHOICE_WASD;
    rightChoice = CHOICE_ARROW_KEYS;
}

bool readControls(FILE* in, const char* fileName) {
    resetControls();
    faultsKept.clear();
    std::string text;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, in)) > 0;) text.append(chunk, n);

    // A picture or a program saved under the name: one line, not one per
    // line of rubbish.
    int32_t line = 1;
    for (unsigned char c : text) {
        if (c == '\n') line++;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) {
            fprintf(stderr, "%s:%d: not a text file; every control keeps its default\n", fileName, line);
            faultsKept.assign(1, "not a text file, every control kept its default");
            return false;
        }
    }

    bool named[2][ITEM_COUNT] = {};
    bool clean = true;
    line = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string whole = trimmed(text.substr(start, end - start));
        start = end + 1;
        line++;
        if (whole.empty() || whole[0] == '#') continue;

        const size_t equals = whole.find('=');
        const std::string name = lower(trimmed(whole.substr(0, equals)));
        const size_t dot = name.find('.');
        int32_t side = -1, item = -1;
        if (equals != std::string::npos && dot != std::string::npos) {
            for (int32_t s = 0; s < 2; s++) side = name.compare(0, dot, SIDE_NAMES[s]) == 0 ? s : side;
            for (int32_t i = 0; i < ITEM_COUNT; i++) item = name.compare(dot + 1, std::string::npos, ITEM_NAMES[i]) == 0 ? i : item;
        }
        if (side < 0 || item < 0) {
            fprintf(stderr, "%s:%d: not a setting: \"%s\"\n", fileName, line, whole.c_str());
            faultsKept.push_back("line " + std::to_string(line) + " not read");
            clean = false;
            continue;
        }
        const std::string value = trimmed(whole.substr(equals + 1));
        std::string fault;
        if (named[side][item]) {
            fault = "named twice";
        } else if (item < ACTION_COUNT) {
            const uint16_t sym = keyNamed(value);
            int32_t holderSide = 0, holderAction = 0;
            if (lower(value) == "none") {
                actionKey(playerKeys[side], item) = 0;  // as the writer says a key a line took
            } else if (sym == 0) {
                fault = "no key is called \"" + value + "\"";
            } else if (keptFromPlayers(sym)) {
                fault = keyName(sym) + " is the game's own";
            } else if (keyHolder(playerKeys, sym, side, item, holderSide, holderAction) &&
                       named[holderSide][holderAction]) {
                fault = keyName(sym) + " is " + SIDE_NAMES[holderSide] + "." + actionName(holderAction) + "'s already";
            } else {
                actionKey(playerKeys[side], item) = sym;
            }
        } else if (item == ITEM_PAD) {
            long pad = 0;
            if (lower(value) == "none") {
                playerKeys[side].pad = -1;
            } else if (numberIn(value, 1, GPads::MAX_PADS, pad)) {
                playerKeys[side].pad = static_cast<int32_t>(pad - 1);
            } else {
                fault = "a pad is none or 1 to " + std::to_string(GPads::MAX_PADS);
            }
        } else if (item == ITEM_PADFIRE) {
            long button = 0;
            if (lower(value) == "any") {
                playerKeys[side].padFire = GKeyBinding::ANY_FIRE_BUTTON;
            } else if (numberIn(value, 0, 31, button)) {
                playerKeys[side].padFire = static_cast<int32_t>(button);
            } else {
                fault = "a pad's fire button is any or 0 to 31";
            }
        } else {
            const GControllerKind* kind = controllerKindNamed(lower(value).c_str());
            if (kind != nullptr) {
                choiceOf(side) = kind->choice;
            } else {
                fault = "no player is called \"" + value + "\"";
            }
        }
        if (!fault.empty()) {
            fprintf(stderr, "%s:%d: %s; %s.%s keeps its default\n", fileName, line, fault.c_str(), SIDE_NAMES[side],
                    ITEM_NAMES[item]);
            faultsKept.push_back(std::string(SIDE_NAMES[side]) + "." + ITEM_NAMES[item] + " kept its default");
            clean = false;
            continue;
        }
        named[side][item] = true;
    }

    // A key a line gave away is taken from the default that held it: one
    // key, one action.
    for (int32_t side = 0; side < 2; side++) {
        for (int32_t action = 0; action < ACTION_COUNT; action++) {
            int32_t holderSide = 0, holderAction = 0;
            if (!named[side][action] &&
                keyHolder(playerKeys, actionKey(playerKeys[side], action), side, action, holderSide, holderAction) &&
                named[holderSide][holderAction]) {
                actionKey(playerKeys[side], action) = 0;
            }
        }
    }
    return clean;
}

std::string controlsText() {
    std::string text =
        "# Vektorak's controls, changed in the game with s in the main menu. Keys by SDL's names;\n"
        "# a pad is none or its number, its fire button any (of the first four) or a number.\n";
    for (int32_t side = 0; side < 2; side++) {
        const std::string prefix = std::string(SIDE_NAMES[side]) + ".";
        for (int32_t action = 0; action < ACTION_COUNT; action++) {
            text += prefix + actionName(action) + " = " + keyName(actionKey(playerKeys[side], action)) + "\n";
        }
        const GKeyBinding& keys = playerKeys[side];
        text += prefix + "pad = " + (keys.pad < 0 ? std::string("none") : std::to_string(keys.pad + 1)) + "\n";
        text += prefix + "padfire = " +
                (keys.padFire < 0 ? std::string("any") : std::to_string(keys.padFire)) + "\n";
        const GControllerKind* kind = controllerKind(choiceOf(side));
        if (kind != nullptr) text += prefix + "choice = " + kind->name + "\n";
    }
    return text;
}

void loadControls() {
    FILE* in = fopen(CONTROLS_FILE, "rb");
    if (in == nullptr) {
        resetControls();
        fileHadFault = false;
    } else {
        fileHadFault = !readControls(in, CONTROLS_FILE);
        fclose(in);
        for (const std::string& kept : faultsKept) noteFileFaults(CONTROLS_FILE, kept);
    }
    startedChoices[SIDE_LEFT] = leftChoice;
    startedChoices[SIDE_RIGHT] = rightChoice;
}

bool saveControls(bool changedByPlayer) {
    if (fileHadFault) {
        if (!changedByPlayer) return false;
        const std::string kept = std::string(CONTROLS_FILE) + ".bad";
        if (rename(CONTROLS_FILE, kept.c_str()) != 0) {
            fprintf(stderr, "Unable to keep %s as %s: %s\n", CONTROLS_FILE, kept.c_str(), strerror(errno));
            return false;
        }
        fileHadFault = false;
    }
    if (!writeTextFile(CONTROLS_FILE, controlsText())) return false;
    startedChoices[SIDE_LEFT] = leftChoice;
    startedChoices[SIDE_RIGHT] = rightChoice;
    return true;
}

void saveChoicesIfChanged() {
    if (leftChoice == startedChoices[SIDE_LEFT] && rightChoice == startedChoices[SIDE_RIGHT]) return;
    saveControls(false);
}
