// shell.h: start-up, the event pump and the main loop.
//
// All of it runs on the thread that entered main(). Fatal start-up failures
// end the process: 1 when SDL cannot start, 2 when the video mode is refused,
// 3 when the application cannot be created.
#pragma once

#include <cstdint>

// Seeds rand() from the clock, starts SDL and opens the OpenGL window with
// the settings' size, depth and mode.
void initVideo();

// Fixed OpenGL state and a 45 degree perspective for the given size; also
// called on every resize. A height below 1 is taken as 1 for the aspect.
void initGl(int32_t width, int32_t height);

// Creates theApplication and shows the main menu in it.
void createApplication();

// Drains SDL's event queue; false when the window was closed, in which case
// events still queued stay queued.
bool pumpEvents();

// Between window and full screen; the settings keep their values.
void toggleFullScreen();

// Runs passes until the application stops running or the window is closed.
// previous and now are SDL_GetTicks readings taken just before.
void runMainLoop(uint32_t previous, uint32_t now);
