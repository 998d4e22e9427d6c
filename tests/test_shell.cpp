// The event pump and the application's draw, in a real window: which events
// reach the screens, and what a frame does around the screen's own drawing.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/happlication.h"
#include "app/hframepacer.h"
#include "app/shell.h"
#include "config/settings.h"
#include "support/glwindow.h"
#include "support/recordingscreen.h"

namespace {

using Log = std::vector<std::string>;

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        theApplication = new HApplication();
        screen = new RecordingScreen(&log);
        theApplication->currentScreen = screen;
        // Whatever the window system sent at start-up is not ours to judge.
        SDL_Event ignored;
        while (SDL_PollEvent(&ignored)) {
        }
    }
    void TearDown() override {
        delete theApplication;
        theApplication = nullptr;
    }

    static void push(Uint8 type, SDLKey sym) {
        SDL_Event event = {};
        event.type = type;
        event.key.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = sym;
        ASSERT_EQ(SDL_PushEvent(&event), 0);
    }

    GlWindow window;
    Log log;
    RecordingScreen* screen = nullptr;
};

// Symbols above 255 would alias characters through their low byte: F2 (283)
// as Escape, keypad minus (269) as Return, the up arrow (273) as 17.
TEST_F(ShellTest, KeysUpTo255ReachTheScreenAsTheyAreAndAllOthersAsZero) {
    push(SDL_KEYDOWN, SDLK_RETURN);
    push(SDL_KEYUP, SDLK_RETURN);
    push(SDL_KEYDOWN, SDLK_DELETE);  // 127
    push(SDL_KEYDOWN, SDLK_WORLD_95);  // 255
    push(SDL_KEYDOWN, SDLK_KP0);  // 256
    push(SDL_KEYDOWN, SDLK_F2);
    push(SDL_KEYUP, SDLK_F2);
    push(SDL_KEYDOWN, SDLK_KP_MINUS);
    EXPECT_TRUE(pumpEvents());
    EXPECT_EQ(log, (Log{"screen keyDown 13", "screen keyUp 13", "screen keyDown 127", "screen keyDown 255",
                        "screen keyDown 0", "screen keyDown 0", "screen keyUp 0", "screen keyDown 0"}));
}

// A pad's first four buttons, on either pad, are Return to the screens: the
// menu starts a match with them, the result screen takes them as any key.
// The fifth is nothing to the screens.
TEST_F(ShellTest, FireButtonsOfEitherPadReachTheScreenAsReturn) {
    const struct {
        Uint8 type, which, button;
    } presses[] = {{SDL_JOYBUTTONDOWN, 0, 0}, {SDL_JOYBUTTONUP, 0, 0}, {SDL_JOYBUTTONDOWN, 1, 3},
                   {SDL_JOYBUTTONDOWN, 0, 4}, {SDL_JOYBUTTONUP, 1, 4}};
    for (const auto& press : presses) {
        SDL_Event event = {};
        event.type = press.type;
        event.jbutton.type = press.type;
        event.jbutton.which = press.which;
        event.jbutton.button = press.button;
        event.jbutton.state = press.type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        ASSERT_EQ(SDL_PushEvent(&event), 0);
    }
    EXPECT_TRUE(pumpEvents());
    EXPECT_EQ(log, (Log{"screen keyDown 13", "screen keyUp 13", "screen keyDown 13"}));
}

TEST_F(ShellTest, F1IsNeverPressedOnAScreenButItsReleaseIs) {
    push(SDL_KEYDOWN, SDLK_F1);
    push(SDL_KEYUP, SDLK_F1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(pumpEvents());
    std::string err = testing::internal::GetCapturedStderr();
    // Under a bare X server the toggle may be refused; if so it says so.
    if (!err.empty()) {
        EXPECT_EQ(err.rfind("Unable to toggle fullscreen: ", 0), 0u) << err;
    }
    // SDLK_F1 is 282, so its release arrives as 0. A toggle may make the
    // window system ask for a redraw; that is all else that may happen.
    Log keys;
    for (const std::string& entry : log)
        if (entry != "screen draw") keys.push_back(entry);
    EXPECT_EQ(keys, (Log{"screen keyUp 0"}));
}

// m is the mute's, but a letter to a screen taking text (a host, a code).
TEST_F(ShellTest, MReachesOnlyAScreenThatTakesText) {
    push(SDL_KEYDOWN, SDLK_m);
    EXPECT_TRUE(pumpEvents());
    screen->takesText = true;
    push(SDL_KEYDOWN, SDLK_m);
    EXPECT_TRUE(pumpEvents());
    EXPECT_EQ(log, (Log{"screen keyDown 109"}));
}

TEST_F(ShellTest, QuitStopsThePumpAndLeavesLaterEventsQueued) {
    push(SDL_KEYDOWN, SDLK_a);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    push(SDL_KEYDOWN, SDLK_b);
    EXPECT_FALSE(pumpEvents());
    EXPECT_EQ(log, (Log{"screen keyDown 97"}));
    EXPECT_TRUE(pumpEvents());
    EXPECT_EQ(log, (Log{"screen keyDown 97", "screen keyDown 98"}));
}

TEST_F(ShellTest, KeysWithoutAnApplicationAreDropped) {
    delete theApplication;
    theApplication = nullptr;
    push(SDL_KEYDOWN, SDLK_a);
    push(SDL_KEYUP, SDLK_a);
    EXPECT_TRUE(pumpEvents());
    EXPECT_TRUE(log.size() == 1 && log[0] == "screen destroyed");
    theApplication = new HApplication();
}

TEST_F(ShellTest, ExposeRedrawsTheFrame) {
    SDL_Event expose = {};
    expose.type = SDL_VIDEOEXPOSE;
    ASSERT_EQ(SDL_PushEvent(&expose), 0);
    EXPECT_TRUE(pumpEvents());
    EXPECT_EQ(log, (Log{"screen draw"}));
}

TEST_F(ShellTest, ZeroHeightResizeGivesAFiniteProjection) {
    SDL_Event resize = {};
    resize.type = SDL_VIDEORESIZE;
    resize.resize.w = 320;
    resize.resize.h = 0;
    ASSERT_EQ(SDL_PushEvent(&resize), 0);
    EXPECT_TRUE(pumpEvents());
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (GLfloat value : projection) EXPECT_TRUE(std::isfinite(value));
    // Aspect 320 / 1: the x scale is the y scale divided by 320.
    EXPECT_NEAR(projection[0] * 320.0f, projection[5], 1e-3f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 0);
    initGl(640, 480);
}

// A frame clears both buffers before the screen draws, and swaps after it:
// the screen sees a cleared back buffer, the front buffer then shows it.
TEST_F(ShellTest, DrawClearsThenDrawsThenSwaps) {
    glClearColor(0.0f, 1.0f, 0.0f, 0.0f);
    uint32_t seenByScreen = 0;
    GLfloat depthSeen = 0.0f;
    screen->onDraw = [&] {
        seenByScreen = GlWindow::pixel(GL_BACK, 10, 10);
        glReadPixels(10, 10, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthSeen);
        glDisable(GL_TEXTURE_2D);
        glClearColor(0.0f, 0.0f, 1.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);  // stands in for the screen's drawing
    };
    theApplication->draw();
    EXPECT_EQ(seenByScreen, 0x00ff00u);
    EXPECT_FLOAT_EQ(depthSeen, 1.0f);
    EXPECT_EQ(GlWindow::shownPixel(10, 10), 0x0000ffu);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_TEXTURE_2D);
}

TEST_F(ShellTest, DrawWithoutAScreenStillClearsAndSwaps) {
    delete theApplication->currentScreen;
    theApplication->currentScreen = nullptr;
    glClearColor(1.0f, 0.0f, 0.0f, 0.0f);
    theApplication->draw();
    EXPECT_EQ(GlWindow::shownPixel(20, 20), 0xff0000u);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

// --- the main loop, with a scripted clock and window state ----------------------

// Each reading of the clock takes the next value of the script; a loop that
// reads past its end is stopped (it would never end otherwise).
struct Script {
    std::vector<uint32_t> ticks;
    std::vector<uint8_t> states;  // SDL_GetAppState, one per pass
    std::vector<uint32_t> delays;  // what the loop slept, in order
    size_t tick = 0, state = 0;
    bool overrun = false;
};
Script script;

uint32_t scriptedTicks() {
    if (script.tick < script.ticks.size()) return script.ticks[script.tick++];
    script.overrun = true;
    if (theApplication) theApplication->quit();
    return script.ticks.empty() ? 0 : script.ticks.back() + 1000;
}

void scriptedDelay(uint32_t ms) { script.delays.push_back(ms); }

uint8_t scriptedState() {
    if (script.state < script.states.size()) return script.states[script.state++];
    script.overrun = true;
    return SDL_APPACTIVE;
}

class MainLoopTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        script = Script();
        shellTicks = scriptedTicks;
        shellAppState = scriptedState;
        shellDelay = scriptedDelay;
        frameLimit = 0;  // unpaced, as the loop always was, unless a test paces it
    }
    void TearDown() override {
        shellTicks = SDL_GetTicks;
        shellAppState = SDL_GetAppState;
        shellDelay = SDL_Delay;
        frameLimit = DEFAULT_FRAME_LIMIT;
        ShellTest::TearDown();
    }
    // Only what reached the screen from the loop, without "update done".
    Log calls() const {
        Log out;
        for (const std::string& entry : log)
            if (entry != "screen update done") out.push_back(entry);
        return out;
    }
};

const uint8_t ACTIVE = SDL_APPACTIVE | SDL_APPINPUTFOCUS | SDL_APPMOUSEFOCUS;
const uint8_t MINIMISED = SDL_APPINPUTFOCUS | SDL_APPMOUSEFOCUS;

// Every pass lasts at least a millisecond (the clock is read until it has
// moved on), updates and draws only while the window is not minimised, and
// drops the time spent minimised. A key that quits still gets its pass's
// update and draw.
TEST_F(MainLoopTest, PassesWaitForAMillisecondRunOnlyWhileActiveAndFinishTheQuittingPass) {
    script.ticks = {100, 100, 101,  // pass 1: the clock stands still twice
                    105,            // pass 2
                    107, 300,       // passes 3 and 4, minimised
                    302,            // pass 5
                    303};           // pass 6: the key that quits
    script.states = {ACTIVE, ACTIVE, MINIMISED, MINIMISED, ACTIVE, ACTIVE};
    screen->onUpdate = [&] {
        if (screen->updatesSeen == 2) push(SDL_KEYDOWN, SDLK_q);  // read in the next pass
    };
    screen->onKeyDown = [] { theApplication->quit(); };
    runMainLoop(100, 100);
    EXPECT_FALSE(script.overrun) << "the loop went on";
    EXPECT_EQ(script.tick, script.ticks.size());
    EXPECT_EQ(calls(), (Log{"screen update 1", "screen draw", "screen update 4", "screen draw", "screen update 2",
                            "screen draw", "screen keyDown 113", "screen keyDown done", "screen update 1",
                            "screen draw"}));
    // Unpaced, only a minimised window sleeps.
    EXPECT_EQ(script.delays, (std::vector<uint32_t>{MINIMISED_PAUSE_MS, MINIMISED_PAUSE_MS}));
}

// At 120 frames a second frames are due 8, 8 and 9 ms apart. The loop sleeps
// what is left of a frame after drawing it, a late frame starts the count
// afresh from its end without a sleep, and every update carries the time
// slept.
TEST_F(MainLoopTest, PacedPassesSleepUntilTheNextFrameIsDue) {
    frameLimit = 120;
    // Pairs while active: the pass's start, then the clock after its frame.
    script.ticks = {101, 103, 108, 110, 116, 118, 125, 140, 141, 143, 149, 160};
    script.states = {ACTIVE, ACTIVE, ACTIVE, ACTIVE, ACTIVE, MINIMISED, ACTIVE};
    screen->onUpdate = [&] {
        if (screen->updatesSeen == 5) theApplication->quit();
    };
    runMainLoop(100, 100);
    EXPECT_FALSE(script.overrun) << "the loop went on";
    EXPECT_EQ(calls(), (Log{"screen update 1", "screen draw", "screen update 7", "screen draw", "screen update 8",
                            "screen draw", "screen update 9", "screen draw", "screen update 16", "screen draw",
                            "screen update 11", "screen draw"}));
    EXPECT_EQ(script.delays, (std::vector<uint32_t>{5, 6, 7, 5, MINIMISED_PAUSE_MS}));
}

TEST(FramePause, IsWhatRemainsOfTheFrameAndNeverMore) {
    const struct {
        uint32_t now, due;
        int32_t limit;
        bool vsync;
        int32_t pause;
    } cases[] = {
        {100, 105, 120, false, 5},    {100, 105, 0, false, 0},  {100, 100, 120, false, 0},
        {100, 90, 120, false, 0},     {100, 1100, 120, false, 9}, {100, 1100, 1000, false, 1},
        {0xfffffffeu, 3, 120, false, 5}, {100, 105, 120, true, 4}, {100, 100, 120, true, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(framePauseMs(c.now, c.due, c.limit, c.vsync), c.pause)
            << c.now << " due " << c.due << " limit " << c.limit << (c.vsync ? " vsync" : "");
}

// A screen that has not changed keeps its last frame: no draw while it says
// so, except the first, and after a key, a resize and its own change. A
// pass without a frame sleeps instead of spinning, even unpaced.
TEST_F(MainLoopTest, AnUnchangedScreenIsDrawnOnlyWhenAKeyAResizeOrItselfAsks) {
    screen->still = true;
    script.ticks = {101, 102, 103, 104, 105, 106, 107}, script.states = std::vector<uint8_t>(7, ACTIVE);
    screen->onUpdate = [&] {
        SDL_Event resize = {SDL_VIDEORESIZE};
        resize.resize.w = 320, resize.resize.h = 240;
        if (screen->updatesSeen == 1) push(SDL_KEYDOWN, SDLK_a);
        if (screen->updatesSeen == 3) SDL_PushEvent(&resize);
        if (screen->updatesSeen == 5) screen->still = false;
        if (screen->updatesSeen == 6) theApplication->quit();
    };
    runMainLoop(100, 100);
    EXPECT_FALSE(script.overrun) << "the loop went on";
    // Pushed in one pass's update, an event is pumped in the next.
    EXPECT_EQ(calls(), (Log{"screen update 1", "screen draw", "screen update 1", "screen keyDown 97",
                            "screen update 1", "screen draw", "screen update 1", "screen update 1", "screen draw",
                            "screen update 1", "screen draw", "screen update 1", "screen draw"}));
    EXPECT_EQ(script.delays, (std::vector<uint32_t>{STILL_PAUSE_MS, STILL_PAUSE_MS}));
}

// Closing the window ends the loop in the same pass: no update, no draw.
TEST_F(MainLoopTest, ClosingTheWindowEndsThePassAtOnce) {
    script.ticks = {11, 12};
    script.states = {ACTIVE, ACTIVE};
    screen->onUpdate = [] {
        SDL_Event quit = {};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    };
    runMainLoop(10, 10);
    EXPECT_FALSE(script.overrun) << "the loop went on";
    EXPECT_EQ(calls(), (Log{"screen update 1", "screen draw"}));
}

}  // namespace
