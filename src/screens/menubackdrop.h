// menubackdrop.h: a picture in the main menu's place, with the menu's sky
// round it where the window is not 4:3; for the main menu and the screens
// that look like it (the settings screen).
#pragma once

#include <cstdint>

// Sets the modelview to the menu's (everything MENU_PUSH further away, see
// mmenulayout.h), then draws the sky "menu_sky.jpg" where the window shows
// past the picture's quad, and `picture` (a texture of the store, -1 for
// none) on that quad; what the caller draws next shares the matrix. The
// sky is loaded into `sky` the first time a window shows any of it, which
// `skyLooked` remembers (a 4:3 window, the default, never does, and its
// start-up is 12 ms shorter for it); the caller releases it.
void drawMenuBackdrop(int32_t picture, int32_t& sky, bool& skyLooked);
