// msettings.cpp: the lines of the settings screen, their changes, and
// drawing them.
#include "screens/msettings.h"

#include <new>  // Required for: std::nothrow

#include <GL/gl.h>
#include <SDL.h>  // Required for: the SDLK_ key symbols

#include "assets/htexturestore.h"
#include "config/hcontrols.h"
#include "config/settings.h"
#include "net/naddress.h"  // Required for: parseAddress, the lobby's address checked as typed
#include "screens/hscreenhost.h"
#include "screens/menubackdrop.h"
#include "screens/mtext.h"
#include "screens/texturedquad.h"  // Required for: clampTextureEdges
#include "sound/hsound.h"

namespace {

struct Size {
    int32_t width, height;
};
// Right goes down this list; the display's own size joins it in its place
// when it is none of these.
constexpr Size WINDOW_SIZES[] = {{640, 480},   {800, 600},   {1024, 768}, {1280, 720},
                                 {1280, 1024}, {1600, 900},  {1920, 1080}};
constexpr int32_t SIZE_COUNT = sizeof WINDOW_SIZES / sizeof WINDOW_SIZES[0];

bool before(const Size& a, const Size& b) { return a.width < b.width || (a.width == b.width && a.height < b.height); }

// The sizes offered: the list, and the display's own (0 by 0 when it is
// not known) in order.
int32_t offeredSizes(const Size& desktop, Size sizes[SIZE_COUNT + 1]) {
    int32_t n = 0;
    bool desktopPlaced = desktop.width <= 0 || desktop.height <= 0;
    for (const Size& s : WINDOW_SIZES) {
        if (!desktopPlaced && !before(s, desktop)) {
            desktopPlaced = true;
            if (s.width != desktop.width || s.height != desktop.height) sizes[n++] = desktop;
        }
        sizes[n++] = s;
    }
    if (!desktopPlaced) sizes[n++] = desktop;
    return n;
}

const char* const FILTER_NAMES[3] = {"nearest", "linear", "mipmapped"};

int32_t clampStep(int32_t value, int32_t step, int32_t low, int32_t high) {
    value += step;
    return value < low ? low : value > high ? high : value;
}

const char* sideTitle(int32_t side) { return side == SIDE_LEFT ? "Left" : "Right"; }

}  // namespace

MSettings::MSettings(HScreenHost* application)
    : line(0),
      waitingForKey(false),
      confirming(false),
      noticeLine(-1),
      noticeMs(0),
      settingsChanged(false),
      controlsChanged(false),
      application(application),
      text(new (std::nothrow) MText()),
      picture(theTextureStore.load(PICTURE)),
      sky(-1),
      skyLooked(false),
      padHeld{} {
    if (picture >= 0) clampTextureEdges();  // the sky goes on past them, as round the menu's
}

MSettings::~MSettings() {
    theTextureStore.release(picture);
    theTextureStore.release(sky);
    delete text;
}

bool MSettings::reopenWindow() { return application == nullptr || application->applyVideoMode(); }

std::string MSettings::label(int32_t l) const {
    switch (l) {
    case WINDOW_SIZE: return "Window size";
    case FULL_SCREEN: return "Full screen";
    case TEXTURE_FILTER: return "Texture filter";
    case EFFECTS_VOLUME: return "Effects volume";
    case MUSIC_VOLUME: return "Music volume";
    case DEMO_WAIT: return "Demo after";
    case LOBBY: return "Lobby";
    case DEFAULTS: return "Defaults";
    default: break;
    }
    const int32_t side = (l - LEFT_PLAYER) / PLAYER_LINES, item = (l - LEFT_PLAYER) % PLAYER_LINES;
    const std::string who = sideTitle(side);
    if (item == 0) return who + " keys";
    if (item <= ACTION_COUNT) return who + " " + actionName(item - 1);
    return who + (item == ACTION_COUNT + 1 ? " pad" : " pad fire");
}

std::string MSettings::value(int32_t l) const {
    if (l == noticeLine && noticeMs > 0) return notice;
    switch (l) {
    case WINDOW_SIZE: return std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
    case FULL_SCREEN: return fullScreen ? "on" : "off";
    case TEXTURE_FILTER: return textureFilter >= 0 && textureFilter <= 2 ? FILTER_NAMES[textureFilter] : "?";
    case EFFECTS_VOLUME: return std::to_string(effectsVolume);
    case MUSIC_VOLUME: return std::to_string(musicVolume);
    case DEMO_WAIT: return demoWait > 0 ? std::to_string(demoWait) + " s" : "never";
    case LOBBY:
        if (typingLobby) return lobbyTyped + "_";
        // The command line's lobby is this run's, and the line's is kept.
        if (application != nullptr && application->lobby() != lobbyAddress)
            return (lobbyAddress.empty() ? "none" : lobbyAddress) + ", this run " + application->lobby();
        return lobbyAddress.empty() ? "none (Return: type one)" : lobbyAddress;
    case DEFAULTS: return confirming ? "Return again restores everything" : "Return";
    default: break;
    }
    const int32_t side = (l - LEFT_PLAYER) / PLAYER_LINES, item = (l - LEFT_PLAYER) % PLAYER_LINES;
    const GKeyBinding& keys = playerKeys[side];
    if (item == 0) {
        const int32_t t = keyTemplateOf(keys);
        return t >= 0 ? KEY_TEMPLATES[t].name : "keys of your own";
    }
    if (item <= ACTION_COUNT) {
        if (waitingForKey && l == line) return "press a key (Escape: keep)";
        return keyName(actionKey(keys, item - 1));
    }
    if (item == ACTION_COUNT + 1) return keys.pad < 0 ? "none" : "pad " + std::to_string(keys.pad + 1);
    return keys.padFire < 0 ? "any of the first four buttons" : "button " + std::to_string(keys.padFire);
}

void MSettings::refuse(const std::string& why) {
    notice = why;
    noticeLine = line;
    noticeMs = NOTICE_MS;
}

void MSettings::bind(uint32_t sym) {
    waitingForKey = false;
    const int32_t side = (line - LEFT_PLAYER) / PLAYER_LINES, action = (line - LEFT_PLAYER) % PLAYER_LINES - 1;
    int32_t holderSide = 0, holderAction = 0;
    if (sym == 0 || sym >= static_cast<uint32_t>(GInput::KEY_COUNT)) {
        refuse("That key cannot be told apart");
    } else if (reservedKey(sym)) {
        refuse(keyName(sym) + " is kept for the game");
    } else if (keyHolder(playerKeys, sym, side, action, holderSide, holderAction)) {
        refuse(usedByText(holderSide, holderAction));
    } else {
        actionKey(playerKeys[side], action) = static_cast<uint16_t>(sym);
        controlsChanged = true;
    }
}

void MSettings::typeLobby(uint32_t sym, char character) {
    if (sym == SDLK_ESCAPE) {
        typingLobby = false;
    } else if (sym == SDLK_BACKSPACE) {
        if (!lobbyTyped.empty()) lobbyTyped.pop_back();
    } else if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) {
        typingLobby = false;
        std::string host;
        uint16_t port = 0;
        if (!lobbyTyped.empty() && !parseAddress(lobbyTyped, host, port)) {
            refuse("Not an address: " + lobbyTyped);
        } else if (lobbyTyped != lobbyAddress) {
            lobbyAddress = lobbyTyped;
            settingsChanged = true;
        }
    } else if (character != 0 && character != ' ' && lobbyTyped.size() < MAX_ADDRESS_TEXT) {
        lobbyTyped.push_back(character);
    }
}

void MSettings::change(int32_t step) {
    switch (line) {
    case WINDOW_SIZE: {
        Size sizes[SIZE_COUNT + 1];
        const Size desktop = application != nullptr ? Size{application->desktopWidth(), application->desktopHeight()}
                                                    : Size{0, 0};
        const int32_t n = offeredSizes(desktop, sizes);
        const Size now = {screenWidth, screenHeight};
        // The next larger, or the next smaller, than the size of now, which
        // need not be one of those offered.
        int32_t pick = -1;
        for (int32_t i = 0; i < n; i++) {
            if (step > 0 && before(now, sizes[i])) {
                pick = i;
                break;
            }
            if (step < 0 && before(sizes[i], now)) pick = i;
        }
        if (pick < 0) return;
        screenWidth = sizes[pick].width;
        screenHeight = sizes[pick].height;
        // A size the display refuses is not kept: the next start would
        // fail with it.
        if (!reopenWindow()) {
            screenWidth = now.width;
            screenHeight = now.height;
            refuse("The display refused " + std::to_string(sizes[pick].width) + "x" +
                   std::to_string(sizes[pick].height));
            return;
        }
        settingsChanged = true;
        return;
    }
    case FULL_SCREEN:
        fullScreen = fullScreen ? 0 : 1;
        if (!reopenWindow()) {
            fullScreen = fullScreen ? 0 : 1;
            refuse("The display refused it");
            return;
        }
        settingsChanged = true;
        return;
    case TEXTURE_FILTER:
        // Pictures loaded from now on: the menu's, as soon as it shows.
        textureFilter = clampStep(textureFilter, step, 0, 2);
        theTextureStore.setFilterMode(textureFilter);
        settingsChanged = true;
        return;
    case EFFECTS_VOLUME:
    case MUSIC_VOLUME:
        (line == EFFECTS_VOLUME ? effectsVolume : musicVolume) =
            clampStep(line == EFFECTS_VOLUME ? effectsVolume : musicVolume, step * 10, 0, 100);
        if (theSound) theSound->setVolumes(effectsVolume, musicVolume);
        settingsChanged = true;
        return;
    case DEMO_WAIT: {
        // The next in the list past the wait of now, as the window sizes go.
        int32_t pick = -1;
        for (int32_t i = 0; i < static_cast<int32_t>(sizeof DEMO_WAITS / sizeof DEMO_WAITS[0]); i++) {
            if (step > 0 && DEMO_WAITS[i] > demoWait) {
                pick = i;
                break;
            }
            if (step < 0 && DEMO_WAITS[i] < demoWait) pick = i;
        }
        if (pick < 0) return;
        demoWait = DEMO_WAITS[pick];
        settingsChanged = true;
        return;
    }
    case LOBBY:
    case DEFAULTS:
        return;
    default:
        break;
    }
    const int32_t side = (line - LEFT_PLAYER) / PLAYER_LINES, item = (line - LEFT_PLAYER) % PLAYER_LINES;
    GKeyBinding& keys = playerKeys[side];
    if (item == 0) {
        // The next template in that direction whose keys the other player
        // leaves free; the first one in the way is said when none is.
        const int32_t now = keyTemplateOf(keys);
        std::string firstRefusal;
        for (int32_t tried = 1; tried <= KEY_TEMPLATE_COUNT; tried++) {
            int32_t t = now < 0 ? (step > 0 ? tried - 1 : KEY_TEMPLATE_COUNT - tried) : now + step * tried;
            t = ((t % KEY_TEMPLATE_COUNT) + KEY_TEMPLATE_COUNT) % KEY_TEMPLATE_COUNT;
            if (t == now) break;
            std::string refusal;
            for (int32_t a = 0; a < ACTION_COUNT && refusal.empty(); a++) {
                int32_t holderSide = 0, holderAction = 0;
                const bool held = keyHolder(playerKeys, KEY_TEMPLATES[t].keys[a], side, -1, holderSide, holderAction);
                if (held && holderSide != side) refusal = usedByText(holderSide, holderAction);
            }
            if (refusal.empty()) {
                for (int32_t a = 0; a < ACTION_COUNT; a++) actionKey(keys, a) = KEY_TEMPLATES[t].keys[a];
                controlsChanged = true;
                return;
            }
            if (firstRefusal.empty()) firstRefusal = refusal;
        }
        if (!firstRefusal.empty()) refuse(firstRefusal);
    } else if (item == ACTION_COUNT + 1) {
        keys.pad = clampStep(keys.pad, step, -1, GPads::MAX_PADS - 1);
        controlsChanged = true;
    } else if (item == ACTION_COUNT + 2) {
        keys.padFire = clampStep(keys.padFire, step, GKeyBinding::ANY_FIRE_BUTTON, 15);
        controlsChanged = true;
    }
}

void MSettings::close() {
    if (settingsChanged) saveSettings();
    if (controlsChanged) saveControls(true);
    settingsChanged = controlsChanged = false;
    if (application != nullptr) application->showMenu();
}

void MSettings::symbolDown(uint32_t sym, uint8_t key, char typed) {
    drawn = false;  // a pad's push comes here from update, past the host
    (void)key;
    if (typingLobby) {
        typeLobby(sym, typed);
        return;
    }
    if (waitingForKey) {
        if (sym == SDLK_ESCAPE) {
            waitingForKey = false;
        } else {
            bind(sym);
        }
        return;
    }
    const bool wasConfirming = confirming;
    confirming = false;
    switch (sym) {
    case SDLK_UP:
        line = line > 0 ? line - 1 : LINE_COUNT - 1;
        break;
    case SDLK_DOWN:
        line = line < LINE_COUNT - 1 ? line + 1 : 0;
        break;
    case SDLK_LEFT:
    case SDLK_RIGHT:
        change(sym == SDLK_RIGHT ? 1 : -1);
        break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (line == DEFAULTS && !wasConfirming) {
            confirming = true;
        } else if (line == DEFAULTS) {
            const int32_t window[4] = {screenWidth, screenHeight, bitsPerPixel, fullScreen};
            resetSettings();
            const bool sizeChanged = window[0] != screenWidth || window[1] != screenHeight ||
                                     window[2] != bitsPerPixel || window[3] != fullScreen;
            theTextureStore.setFilterMode(textureFilter);
            if (theSound) theSound->setVolumes(effectsVolume, musicVolume);
            if (sizeChanged) reopenWindow();
            playerKeys[SIDE_LEFT] = defaultKeys(SIDE_LEFT);
            playerKeys[SIDE_RIGHT] = defaultKeys(SIDE_RIGHT);
            settingsChanged = controlsChanged = true;
        } else if (line == LOBBY) {
            typingLobby = true;
            lobbyTyped = lobbyAddress;
        } else {
            const int32_t item = (line - LEFT_PLAYER) % PLAYER_LINES;
            if (line >= LEFT_PLAYER && line < DEFAULTS && item >= 1 && item <= ACTION_COUNT) waitingForKey = true;
        }
        break;
    case SDLK_ESCAPE:
        close();
        break;
    default:
        break;
    }
}

void MSettings::update(int32_t ms) {
    if (noticeMs > 0) {
        noticeMs -= ms;
        if (noticeMs <= 0) drawn = false;  // the line's value shows again
    }
    // A pad's stick or hat moves as the cursor keys do, once per push.
    if (application == nullptr) return;
    for (int32_t i = 0; i < GPads::MAX_PADS; i++) {
        GPads::State state;
        const GPads::Flags now = application->inputSnapshot().pad(i, state) ? GPads::flagsFor(state) : GPads::Flags{};
        const GPads::Flags was = padHeld[i];
        padHeld[i] = now;
        if (waitingForKey || typingLobby) continue;
        if (now.up && !was.up) symbolDown(SDLK_UP, 0, 0);
        if (now.down && !was.down) symbolDown(SDLK_DOWN, 0, 0);
        if (now.left && !was.left) symbolDown(SDLK_LEFT, 0, 0);
        if (now.right && !was.right) symbolDown(SDLK_RIGHT, 0, 0);
    }
}

void MSettings::draw() {
    drawn = true;
    drawMenuBackdrop(picture, sky, skyLooked);
    if (text == nullptr) return;
    // In the menu's frame, as the menu's own lines are, and over the
    // picture's panel; the lines need no band of their own there.
    const MFrame f = MFrame::ofViewport();
    const float w = f.width, unit = f.unit, top = f.top;
    // As far apart as the panel lets them be, the gaps 0.4 of a line.
    const float row = (LAST_LINE - FIRST_LINE) / (static_cast<float>(LINE_COUNT - 1) + 4.0f * 0.4f) * unit;
    const float size = 13.0f * unit;
    const float labelRight = w / 2.0f - 8.0f * unit, valueLeft = w / 2.0f + 8.0f * unit;
    const bool band = picture < 0;

    MText::beginOverlay();
    if (picture < 0) text->drawCentred("SETTINGS", w / 2.0f, top - 30.0f * unit, 22.0f * unit, 0.55f, 0.85f, 1.0f);
    for (int32_t l = 0; l < LINE_COUNT; l++) {
        // A gap before each player's block, the lobby and Defaults.
        const int32_t gaps = (l >= LEFT_PLAYER) + (l >= RIGHT_PLAYER) + (l >= LOBBY) + (l >= DEFAULTS);
        const float y = top - FIRST_LINE * unit - static_cast<float>(l) * row - static_cast<float>(gaps) * row * 0.4f;
        const bool chosen = l == line;
        const bool refused = l == noticeLine && noticeMs > 0;
        const std::string name = label(l), shown = value(l);
        const float shade = chosen ? 1.0f : 0.72f;
        text->drawCentred(name.c_str(), labelRight - MText::width(name.c_str(), size) / 2.0f, y, size, shade, shade,
                          chosen ? 0.55f : shade, band);
        const float r = refused ? 1.0f : chosen ? 1.0f : 0.6f, g = refused ? 0.45f : chosen ? 0.85f : 0.85f,
                    b = refused ? 0.35f : chosen ? 0.35f : 1.0f;
        text->drawCentred(shown.c_str(), valueLeft + MText::width(shown.c_str(), size) / 2.0f, y, size, r, g, b, band);
    }
    const char* hint = typingLobby     ? "Type the lobby's HOST[:PORT]   Return: keep (empty: none)   Escape: as it was"
                       : line == LOBBY ? "Up, Down: choose   Return: type the lobby's address   Escape: back"
                                       : "Up, Down: choose   Left, Right: change   Return: new key   Escape: back";
    text->drawCentred(hint, w / 2.0f, f.below(470.0f), 11.0f * unit, 0.7f, 0.7f, 0.75f);
    MText::endOverlay();
}
