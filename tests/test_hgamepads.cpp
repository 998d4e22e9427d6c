// The players' gamepads through SDL's real joystick code, in process, with
// the fake device of tests/e2e/fakepad.c preloaded (CTest sets LD_PRELOAD
// for this program only): opening, reading the stick and the buttons,
// steering a keyboard player, buttons as Return, and closing.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/happlication.h"
#include "app/hgamepads.h"
#include "app/hinput.h"
#include "app/shell.h"
#include "game/gcontroller.h"
#include "game/greplay.h"
#include "game/gworld.h"
#include "support/glwindow.h"
#include "support/recordingscreen.h"
#include "support/tempdir.h"

namespace {

class GamepadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getenv("LD_PRELOAD"), nullptr) << "run through CTest, which preloads the fake pad";
        events = dir.path() + "/events";
        ASSERT_EQ(mkfifo(events.c_str(), 0600), 0);
        writer = open(events.c_str(), O_RDWR);
        ASSERT_GE(writer, 0);
        setenv("FAKEPAD_EVENTS", events.c_str(), 1);
        ASSERT_TRUE(window.ok());
    }
    void TearDown() override {
        pads.close();
        close(writer);
    }
    // One struct js_event of linux/joystick.h: time, value, type, number.
    void send(uint8_t type, uint8_t number, int16_t value) {
        uint8_t record[8] = {0, 0, 0, 0, uint8_t(value & 0xff), uint8_t((value >> 8) & 0xff), type, number};
        ASSERT_EQ(write(writer, record, sizeof record), ssize_t(sizeof record));
    }
    void axis(uint8_t number, int16_t value) { send(0x02, number, value); }
    void button(uint8_t number, bool held) { send(0x01, number, held ? 1 : 0); }

    ScopedTempDir dir;
    std::string events;
    int writer = -1;
    GlWindow window;
    HGamepads pads;
};

TEST_F(GamepadTest, TheFirstPadIsOpenedReadAndSteersTheCursorKeyPlayer) {
    ASSERT_EQ(pads.open(), 1);
    EXPECT_EQ(pads.open(), 0) << "opened twice";
    axis(0, 20000);
    axis(1, -15000);
    button(2, true);
    SDL_JoystickUpdate();

    GPads::State state = {};
    ASSERT_TRUE(pads.read(0, state));
    EXPECT_EQ(state.x, 20000);
    EXPECT_EQ(state.y, -15000);
    EXPECT_EQ(state.hat, SDL_HAT_CENTERED);
    EXPECT_EQ(state.buttons, 1u << 2);
    for (int32_t index : {-1, 1, 2}) EXPECT_FALSE(pads.read(index, state)) << index;

    // Sampled with a key held: right and up from the stick, fire from the
    // button, left from the key; the W A S D player's pad is not there.
    SDL_GetKeyState(NULL)[SDLK_LEFT] = 1;
    GInput input;
    sampleInput(input, &pads);
    SDL_GetKeyState(NULL)[SDLK_LEFT] = 0;
    GWorld world;
    EXPECT_EQ(GArrowKeysController(&input).flags(world, SIDE_RIGHT, 1),
              vkr::FLAG_RIGHT | vkr::FLAG_UP | vkr::FLAG_FIRE | vkr::FLAG_LEFT);
    EXPECT_EQ(GWasdController(&input).flags(world, SIDE_LEFT, 1), 0);

    axis(0, -32768);
    axis(1, 0);
    button(2, false);
    button(3, true);
    SDL_JoystickUpdate();
    ASSERT_TRUE(pads.read(0, state));
    EXPECT_EQ(state.x, -32768);
    EXPECT_EQ(state.y, 0);
    EXPECT_EQ(state.buttons, 1u << 3);

    pads.close();
    EXPECT_FALSE(pads.read(0, state));
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "the joystick subsystem outlived the pads";
}

// A device that will not open (the fake refuses without its FIFO) is no
// pad: nothing is read, and the subsystem is stopped again at once.
TEST_F(GamepadTest, WithNoPadThatOpensNothingIsLeftRunning) {
    unsetenv("FAKEPAD_EVENTS");
    EXPECT_EQ(pads.open(), 0);
    GPads::State state = {};
    EXPECT_FALSE(pads.read(0, state));
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
}

// In the menu and on the result screen a fire button is Return.
TEST_F(GamepadTest, FireButtonsReachTheScreensAsReturn) {
    ASSERT_EQ(pads.open(), 1);
    std::vector<std::string> log;
    theApplication = new HApplication();
    theApplication->currentScreen = new RecordingScreen(&log);
    SDL_Event ignored;
    while (SDL_PollEvent(&ignored)) {
    }
    button(0, true);
    button(0, false);
    button(3, true);
    SDL_Delay(20);
    EXPECT_TRUE(pumpEvents());
    delete theApplication;
    theApplication = nullptr;
    std::vector<std::string> keys;
    for (const std::string& entry : log)
        if (entry.find("key") != std::string::npos) keys.push_back(entry);
    EXPECT_EQ(keys, (std::vector<std::string>{"screen keyDown 13", "screen keyUp 13", "screen keyDown 13"}));
}

}  // namespace
