// main.cpp: Vektorak's entry point. Initialization, main loop,
// de-initialization; the progress lines are part of the game's output.
#include <cstdio>

#include <SDL.h>

#include "app/happlication.h"
#include "app/settings.h"
#include "app/shell.h"
#include "assets/htexturestore.h"

int main(int argc, char* argv[]) {
    (void)argc;
    (void)argv;

    // Initialization ---------------------------------------------------------
    loadSettings();
    printf("Setting Loaded.\n");
    initVideo();
    printf("SDL Inicialized.\n");
    // Normally the size asked for; but SDL takes a zero width or height as
    // the display's, and the view must fill the window actually opened.
    const SDL_Surface* screen = SDL_GetVideoSurface();
    initGl(screen ? screen->w : screenWidth, screen ? screen->h : screenHeight);
    printf("OpenGL Inicialized.\n");
    createApplication();
    printf("Game Inicialized.\n");
    uint32_t previous = SDL_GetTicks();
    uint32_t now = SDL_GetTicks();
    printf("Entering main game loop.\n");

    // Main loop --------------------------------------------------------------
    runMainLoop(previous, now);

    // De-initialization ------------------------------------------------------
    printf("Delleting all..");
    if (theApplication) {
        delete theApplication;
        theApplication = nullptr;
    }
    // Whatever is still held goes while the OpenGL context exists; the
    // store's own destruction at exit comes after SDL is gone.
    theTextureStore.releaseAll();
    SDL_Quit();
    printf("OK\nEnd.\n");
    return 0;
}
