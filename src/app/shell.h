// shell.h: start-up, the event pump and the main loop.
//
// All of it runs on the thread that entered main(). Fatal start-up failures
// end the process: 1 when SDL cannot start, 2 when not even a 640 x 480
// window of the display's depth can be opened, 3 when the application
// cannot be created.
#pragma once

#include <cstdint>
#include <string>

#include "app/options.h"

// The whole run: settings, SDL and the window, the application with its
// menu, the main loop and shutdown, each step announced on standard output.
// Returns the exit code of a normal run, 0; fatal start-up failures end the
// process with 1, 2 or 3 instead.
int runGame();
// The same, hosting, joining or watching a network game as the options say. Without
// the network options, exactly runGame().
int runGame(const GameOptions& options);

// Where the main loop reads the clock (SDL_GetTicks) and the window state
// (SDL_GetAppState), and how it sleeps (SDL_Delay). Tests replace them to
// script time and minimising and to note the sleeps.
extern uint32_t (*shellTicks)();
extern uint8_t (*shellAppState)();
extern void (*shellDelay)(uint32_t ms);

// Milliseconds the main loop sleeps a pass while the window is minimised: a
// network game is still serviced a hundred times a second, far within the
// time the other side waits before it gives up.
constexpr uint32_t MINIMISED_PAUSE_MS = 10;
// Likewise for a pass without a frame limit whose screen had not changed
// (HScreen::unchanged): keys still reach it within a hundredth of a second.
constexpr uint32_t STILL_PAUSE_MS = 10;

// Whether the driver said it took the vsync initVideo asked for (only with
// a frame limit); false before initVideo. A claim, not a measurement.
extern bool vsyncTook;

// Seeds rand() from the clock, starts SDL and opens the OpenGL window with
// the settings' size, depth and mode, asking for vsync under a frame limit.
// A mode the display refuses falls back to 640 x 480, then to a 640 x 480
// window of the display's depth; the settings then hold what opened, and
// the menu's start-up notice says so (settingsRefused).
// With neither DISPLAY nor SDL_VIDEODRIVER set (or both empty) it says so
// and exits with 1 before SDL starts.
void initVideo();

// The display's own size, as SDL reported it before the window opened; 0
// before initVideo or when SDL could not say.
extern int32_t desktopWidth, desktopHeight;

// Opens the window anew with the settings' size, depth and full screen, and
// sets up the view for it; the settings screen's changes take effect
// through it. False, with a line on standard error and the window as it
// was, when SDL refuses the mode; true without a window to change.
bool applyVideoMode();

// Fixed OpenGL state and a 45 degree perspective for the given size; also
// called on every resize. A height below 1 is taken as 1 for the aspect.
void initGl(int32_t width, int32_t height);

// Creates theApplication and shows the main menu in it.
void createApplication();

// Hosts, joins or watches as `options` say and hands the session to theApplication;
// nothing for a local game. A port or host that cannot be had leaves a
// local game whose menu says why. Gives theApplication the options' lobby,
// through which it joins a game by its code.
void startNetwork(const GameOptions& options);

// Watches the replay at `path` (the command line's FILE) over the menu,
// which shows again after it. A file that cannot be watched is one line on
// standard error and a line of the menu's start-up notice; nothing at all
// for an empty path.
void watchReplayFile(const std::string& path);

// The key code a screen sees for an SDL key symbol: the symbol itself up to
// 255, 0 for anything above.
uint8_t screenKeyCode(uint32_t sym);

// Drains SDL's event queue; false when the window was closed, in which case
// events still queued stay queued. F1 toggles full screen and m the sound's
// mute; no screen sees either pressed (nor m released). A press or release of one of a pad's
// first GPads::FIRE_BUTTONS buttons reaches the screens as one of Return.
bool pumpEvents();

// Between window and full screen; the settings keep their values.
void toggleFullScreen();

// Runs passes until the application stops running or the window is closed.
// previous and now are SDL_GetTicks readings taken just before. A pass:
// events, the input snapshot, an update by the milliseconds since the last
// (at least 1), a frame, then a sleep until the next frame is due under the
// settings' frameLimit (app/hframepacer.h); none without a limit. While
// minimised there is no frame and the sleep is MINIMISED_PAUSE_MS. A screen
// that has not changed gets no frame either (HApplication::drawIfChanged).
void runMainLoop(uint32_t previous, uint32_t now);
