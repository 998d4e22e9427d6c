// msettings.h: the settings screen: the window, the sound, and both
// players' keys and pads, changed with the keyboard or a pad.
//
// Up and Down choose a line, Left and Right change its value; on a key's
// line Return waits for the key to bind (Escape cancels), on Defaults
// Return asks and a second Return restores everything. On the Lobby line
// Return types the lobby's HOST[:PORT] (Backspace erases, Return keeps
// it, or no lobby when left empty, and Escape keeps the one before); an
// address that is none is refused there. A pad's stick or
// hat moves as the cursor keys do, and its fire buttons are Return (the
// shell's doing). Every change takes effect at once; what changed is
// written when the screen closes.
//
// Transition, made by the application once the key's call has returned:
// Escape (not waiting for a key, not asking) -> the main menu (showMenu).
#pragma once

#include <cstdint>
#include <string>

#include "game/gpads.h"
#include "screens/hscreen.h"

class HScreenHost;
class MText;

class MSettings : public HScreen {
public:
    // The lines, in the order the screen shows them. Each player has a
    // block of PLAYER_LINES: the template, the five keys, the pad, its
    // fire button.
    enum Line : int32_t {
        WINDOW_SIZE,
        FULL_SCREEN,
        TEXTURE_FILTER,
        EFFECTS_VOLUME,
        MUSIC_VOLUME,
        DEMO_WAIT,    // how long the menu waits before it plays by itself
        LEFT_PLAYER,  // the left keys' template; the right player's block follows
        RIGHT_PLAYER = LEFT_PLAYER + 8,
        LOBBY = RIGHT_PLAYER + 8,  // where players of other homes meet (config/settings.h)
        DEFAULTS,
        LINE_COUNT
    };
    static constexpr int32_t PLAYER_LINES = RIGHT_PLAYER - LEFT_PLAYER;
    // How long a refusal stays on its line.
    static constexpr int32_t NOTICE_MS = 1000;

    // The demo's waits Left and Right go through, in seconds (0: never);
    // a wait the file set between them goes to the next in that direction.
    static constexpr int32_t DEMO_WAITS[] = {0, 15, 30, 60, 120, 300, 600};

    // The picture behind the lines, baked as the main menu's is (sky,
    // panel, the title in the menu's lettering) and drawn in the menu's
    // place with the menu's sky round it (screens/menubackdrop.h).
    static constexpr const char* PICTURE = "settings.jpg";
    // Where the picture has its title and panel, in the units of the
    // menu's frame (MFrame: 640 across, 480 down from its top), which the
    // lines are drawn in: the baker paints by these and draw() writes by
    // them. The panel holds every line from the first (56) to Defaults
    // (433), their spacing made to fit; the key hints go under it.
    static constexpr float TITLE_BASELINE = 33.0f;
    static constexpr float TITLE_SIZE = 30.0f;  // the face's size; its capitals are about 0.73 of it
    static constexpr float PANEL_LEFT = 96.0f, PANEL_TOP = 40.0f, PANEL_RIGHT = 544.0f, PANEL_BOTTOM = 446.0f;
    static constexpr float FIRST_LINE = 56.0f, LAST_LINE = 433.0f;

    // Loads the font and PICTURE (the sky when first shown); nothing else. `application` is not owned and may be
    // null (tests): Escape then switches nowhere, no pad is read, and the
    // window and the display's own size are none.
    explicit MSettings(HScreenHost* application);
    ~MSettings() override;
    MSettings(const MSettings&) = delete;
    MSettings& operator=(const MSettings&) = delete;

    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    void update(int32_t ms) override;
    void draw() override;
    // Until a key, a pad's push or the notice's end changes a line.
    bool unchanged() const override { return drawn; }
    bool typing() const override { return typingLobby; }

    // What line `line` says: its name, and its value (or the notice).
    std::string label(int32_t line) const;
    std::string value(int32_t line) const;

    int32_t line;             // the chosen line
    bool waitingForKey;       // the next key binds the chosen line's action
    bool confirming;          // Return on Defaults asked once
    bool typingLobby = false;  // keys type `lobbyTyped`, the lobby's address
    std::string lobbyTyped;
    std::string notice;       // shown on `noticeLine` in place of its value
    int32_t noticeLine;
    int32_t noticeMs;         // left of the notice's second
    bool settingsChanged;     // vkt.txt is written when the screen closes
    bool controlsChanged;     // controls.txt likewise

private:
    void change(int32_t step);
    void bind(uint32_t sym);
    void typeLobby(uint32_t sym, char character);
    void refuse(const std::string& why);
    void close();
    // The host opens the window anew with the settings as they stand
    // (HScreenHost::applyVideoMode); without a host there is no window to
    // change, and the change stands.
    bool reopenWindow();

    HScreenHost* application;
    MText* text;
    int32_t picture;  // PICTURE's texture, -1 without it
    int32_t sky;      // "menu_sky.jpg", read the first time a window shows any
    bool skyLooked;
    GPads::Flags padHeld[GPads::MAX_PADS];  // what each pad held at the last update
    bool drawn = false;  // and nothing changed since
};
