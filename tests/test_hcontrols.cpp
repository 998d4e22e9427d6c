// "controls.txt" and the settings screen's key lines: whatever the file
// holds, each fault costs one line naming the file and the line, and only
// that setting falls back; a key two actions would share is refused.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/happlication.h"
#include "config/hcontrols.h"
#include "config/settings.h"
#include "screens/mmainmenu.h"
#include "screens/msettings.h"
#include "support/glwindow.h"
#include "support/tempdir.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { resetControls(); }
    void TearDown() override {
        resetControls();
        resetSettings();
    }

    // Reads `contents` as controls.txt; returns what went to stderr.
    std::string read(const std::string& contents, bool& clean) {
        FILE* in = fmemopen(const_cast<char*>(contents.data()), contents.size(), "rb");
        testing::internal::CaptureStderr();
        clean = readControls(in, "controls.txt");
        fclose(in);
        return testing::internal::GetCapturedStderr();
    }
    bool exists(const std::string& name) {
        FILE* f = fopen((dir.path() + "/" + name).c_str(), "r");
        if (f != nullptr) fclose(f);
        return f != nullptr;
    }

    GlWindow window;  // SDL learns its keys' names when its video starts
    ScopedTempDir dir;
};

TEST_F(ControlsTest, EachLineOrFaultOfAHandWrittenFileReadsAsTheTableSays) {
    ASSERT_TRUE(window.ok());
    const struct {
        const char* file;
        const char* stderrText;
        std::vector<std::string> written;  // lines the writer must then give
    } rows[] = {
        {"left.up = x\n  LEFT.DOWN=Space \n# a note\n\nright.fire = right shift\r\nleft.pad = 1\nleft.padfire = 3\n"
         "right.pad = none\nright.padfire = any\nleft.choice = pilot\nright.choice = left keys\n",
         "",
         {"left.up = x", "left.down = space", "left.left = a", "right.fire = right shift", "right.up = up",
          "left.pad = 1", "left.padfire = 3", "right.pad = none", "right.padfire = any", "left.choice = pilot",
          "right.choice = left keys"}},
        {"left.up = wq\n", "controls.txt:1: no key is called \"wq\"; left.up keeps its default\n", {"left.up = w"}},
        {"left.fire = x\nright.fire = x\n",
         "controls.txt:2: x is left.fire's already; right.fire keeps its default\n",
         {"left.fire = x", "right.fire = right ctrl"}},
        {"right.up = i\nright.up = k\n", "controls.txt:2: named twice; right.up keeps its default\n", {"right.up = i"}},
        {"hello\nleft.jump = x\nleft.up = e\n",
         "controls.txt:1: not a setting: \"hello\"\ncontrols.txt:2: not a setting: \"left.jump = x\"\n",
         {"left.up = e"}},
        {"left.fire = escape\n", "controls.txt:1: escape is the game's own; left.fire keeps its default\n",
         {"left.fire = left ctrl"}},
        // The line wins over a default that held its key.
        {"left.fire = up\n", "", {"left.fire = up", "right.up = none"}},
        {"left.pad = 5\nright.padfire = 32\n",
         "controls.txt:1: a pad is none or 1 to 4; left.pad keeps its default\n"
         "controls.txt:2: a pad's fire button is any or 0 to 31; right.padfire keeps its default\n",
         {"left.pad = 2", "right.pad = 1", "right.padfire = any"}},
        // The other ends of the same ranges.
        {"left.pad = 0\nright.padfire = -1\n",
         "controls.txt:1: a pad is none or 1 to 4; left.pad keeps its default\n"
         "controls.txt:2: a pad's fire button is any or 0 to 31; right.padfire keeps its default\n",
         {"left.pad = 2", "right.padfire = any"}},
        {"right.choice = robot\n", "controls.txt:1: no player is called \"robot\"; right.choice keeps its default\n",
         {"right.choice = right keys", "left.choice = left keys"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        bool clean = false;
        EXPECT_EQ(read(row.file, clean), row.stderrText);
        EXPECT_EQ(clean, std::string(row.stderrText).empty());
        const std::string text = controlsText();
        for (const std::string& line : row.written) EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line;
        // What the writer wrote reads back the same, without a word.
        EXPECT_EQ(read(text, clean), "");
        EXPECT_EQ(controlsText(), text);
    }

    // A file that is not text: one line for the whole file, all defaults.
    bool clean = true;
    const std::string picture("left.up = x\n\x89PNG\x00\x01", 17);
    EXPECT_EQ(read(picture, clean), "controls.txt:2: not a text file; every control keeps its default\n");
    EXPECT_FALSE(clean);
    EXPECT_EQ(playerKeys[SIDE_LEFT].up, 'w');
}

TEST_F(ControlsTest, AFileThatCouldNotBeReadIsKeptAsBadOnlyWhenThePlayerChangesTheControls) {
    ASSERT_TRUE(window.ok());
    // Without the file: the defaults and not a word.
    testing::internal::CaptureStderr();
    loadControls();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(leftChoice, CHOICE_WASD);

    dir.write("controls.txt", "left.choice = ace\nleft.up = nothing\n");
    testing::internal::CaptureStderr();
    loadControls();
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fileNotices(), std::vector<std::string>{"controls.txt: left.up kept its default"});
    dismissFileNotices();
    EXPECT_EQ(leftChoice, CHOICE_ACE);
    rightChoice = CHOICE_PILOT;
    saveChoicesIfChanged();  // the menu's choices alone never write over it
    EXPECT_FALSE(exists("controls.txt.bad"));
    EXPECT_TRUE(saveControls(true));
    EXPECT_TRUE(exists("controls.txt.bad"));
    EXPECT_FALSE(exists("controls.txt.tmp"));
    resetControls();
    testing::internal::CaptureStderr();
    loadControls();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(leftChoice, CHOICE_ACE);
    EXPECT_EQ(rightChoice, CHOICE_PILOT);
}

TEST_F(ControlsTest, TheSettingsScreenRefusesAKeyAnotherActionHoldsAndBindsAFreeOne) {
    ASSERT_TRUE(window.ok());
    MSettings screen(nullptr);
    for (int i = 0; i < MSettings::LEFT_PLAYER + 1 + ACTION_FIRE; i++) screen.symbolDown(SDLK_DOWN, 0, 0);
    ASSERT_EQ(screen.label(screen.line), "Left fire");
    const struct {
        uint32_t sym;
        const char* said;
    } refused[] = {{SDLK_UP, "Used by the right player's up"},
                   {SDLK_RCTRL, "Used by the right player's fire"},
                   {SDLK_a, "Used by the left player's left"},
                   {SDLK_s, "s is kept for the game"}};
    for (const auto& key : refused) {
        screen.symbolDown(SDLK_RETURN, 13, 0);
        screen.symbolDown(key.sym, 0, 0);
        EXPECT_EQ(screen.value(screen.line), key.said);
        EXPECT_EQ(playerKeys[SIDE_LEFT].fire, SDLK_LCTRL);
        screen.update(MSettings::NOTICE_MS);
        EXPECT_EQ(screen.value(screen.line), "left ctrl");  // for a second
    }
    screen.symbolDown(SDLK_RETURN, 13, 0);
    screen.symbolDown(SDLK_ESCAPE, 27, 0);  // cancels
    EXPECT_FALSE(screen.waitingForKey);
    EXPECT_FALSE(screen.controlsChanged);
    screen.symbolDown(SDLK_RETURN, 13, 0);
    screen.symbolDown(SDLK_SPACE, ' ', 0);
    EXPECT_EQ(playerKeys[SIDE_LEFT].fire, SDLK_SPACE);
    EXPECT_EQ(playerKeys[SIDE_RIGHT].fire, SDLK_RCTRL);

    // Templates, from keys of one's own: on past the right player's cursor keys.
    screen.line = MSettings::LEFT_PLAYER;
    EXPECT_EQ(screen.value(screen.line), "keys of your own");
    const char* shown[] = {"W A S D + left Ctrl", "Z Q S D + left Ctrl", "E S D F + left Ctrl", "keypad 8 4 5 6 + keypad 0"};
    for (const char* name : shown) {
        screen.symbolDown(SDLK_RIGHT, 0, 0);
        EXPECT_EQ(screen.value(screen.line), name);
    }
    EXPECT_EQ(playerKeys[SIDE_LEFT].down, SDLK_KP5);
    EXPECT_EQ(playerKeys[SIDE_RIGHT].up, SDLK_UP);
}

// Each row starts with Return on the line and types on what it shows.
TEST_F(ControlsTest, TheLobbyLineTakesAnAddressAsTypedAndRefusesWhatIsNone) {
    ASSERT_TRUE(window.ok());
    MSettings screen(nullptr);
    screen.symbolDown(SDLK_UP, 0, 0), screen.symbolDown(SDLK_UP, 0, 0);  // round past Defaults
    ASSERT_EQ(screen.label(screen.line), "Lobby");
    const struct {
        const char* keys;  // \b Backspace, \r Return, \x1b Escape
        const char* lobby;
        const char* shown;
    } rows[] = {
        {"games.example.com:27190\r", "games.example.com:27190", "games.example.com:27190"},
        {"\b\b\b\b\b\b\r", "games.example.com", "games.example.com"},
        {":0\r", "games.example.com", "Not an address: games.example.com:0"},
        {"x\x1b", "games.example.com", "games.example.com"},
        {"\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\r", "", "none (Return: type one)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys);
        screen.update(MSettings::NOTICE_MS);
        screen.symbolDown(SDLK_RETURN, 13, 0);
        for (const char* k = row.keys; *k != 0; k++) {
            EXPECT_TRUE(screen.typing());  // an m is a letter here, not the mute
            const uint32_t sym = *k == '\b' ? uint32_t{SDLK_BACKSPACE} : *k == '\r' ? uint32_t{SDLK_RETURN} : static_cast<uint32_t>(*k);
            screen.symbolDown(SDLK_UP, 0, 0);  // no line changes under the typing
            screen.symbolDown(sym, static_cast<uint8_t>(*k), *k >= ' ' ? *k : 0);
        }
        EXPECT_FALSE(screen.typing());
        EXPECT_EQ(lobbyAddress, row.lobby);
        EXPECT_EQ(screen.value(screen.line), row.shown);
    }
    EXPECT_TRUE(screen.settingsChanged);
}

TEST_F(ControlsTest, APadsStickMovesThroughTheLinesOncePerPush) {
    HApplication application;
    MSettings screen(&application);
    application.input.padPresent[3] = true;  // the fourth pad: any pad will do
    const struct {
        int16_t x, y;
        int32_t line;
    } pushes[] = {{0, 32767, 1}, {0, 32767, 1}, {0, 0, 1}, {0, 32767, 2}, {0, -32767, 1}, {0, 0, 1}};
    for (const auto& push : pushes) {
        application.input.pads[3].x = push.x;
        application.input.pads[3].y = push.y;
        screen.update(1);
        EXPECT_EQ(screen.line, push.line);
    }
    screen.line = MSettings::EFFECTS_VOLUME;
    application.input.pads[3].x = -32767;  // left: down a step
    screen.update(1);
    EXPECT_EQ(screen.value(screen.line), "90");
    screen.line = MSettings::DEMO_WAIT, demoWait = 45;  // a file's, between two steps: 60, 30, 15, never, never
    for (uint32_t key : {SDLK_RIGHT, SDLK_LEFT, SDLK_LEFT, SDLK_LEFT, SDLK_LEFT}) screen.symbolDown(key, 0, 0);
    EXPECT_EQ(screen.value(screen.line), "never");
}

}  // namespace
