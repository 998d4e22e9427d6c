// shell.cpp: SDL and OpenGL set-up, the event pump and the main loop.
#include "app/shell.h"

#include <cstdio>
#include <cstdlib>  // Required for: atexit(), exit()
#include <ctime>    // Required for: time(), to seed rand()
#include <new>      // Required for: std::nothrow

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include "app/happlication.h"
#include "app/settings.h"

void initVideo() {
    srand(static_cast<unsigned>(time(NULL)));

    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Unable to initialize SDL: %s\n", SDL_GetError());
        exit(1);
    }
    atexit(SDL_Quit);

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    Uint32 flags = SDL_OPENGL;
    if (fullScreen) flags |= SDL_FULLSCREEN;
    if (!SDL_SetVideoMode(screenWidth, screenHeight, bitsPerPixel, flags)) {
        fprintf(stderr, "Unable to create OpenGL screen: %s\n", SDL_GetError());
        SDL_Quit();
        exit(2);
    }
    SDL_WM_SetCaption("Vektorak", NULL);
    SDL_ShowCursor(SDL_DISABLE);
}

void initGl(int32_t width, int32_t height) {
    glViewport(0, 0, width, height);
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window the window system has squashed to no height still gets a
    // finite projection.
    const int32_t aspectHeight = height < 1 ? 1 : height;
    gluPerspective(45.0, static_cast<double>(width) / aspectHeight, static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
}

void createApplication() {
    theApplication = new (std::nothrow) HApplication();
    if (!theApplication) {
        fprintf(stderr, "Unable to create game\n");
        SDL_Quit();
        exit(3);
    }
    theApplication->showMenu();
}

bool pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
            // F1 belongs to the shell; no screen ever sees it pressed.
            if (event.key.keysym.sym == SDLK_F1) {
                toggleFullScreen();
            } else if (theApplication) {
                theApplication->keyDown(static_cast<uint8_t>(event.key.keysym.sym));
            }
            break;
        case SDL_KEYUP:
            if (theApplication) theApplication->keyUp(static_cast<uint8_t>(event.key.keysym.sym));
            break;
        case SDL_QUIT:
            return false;
        case SDL_VIDEORESIZE:
            initGl(event.resize.w, event.resize.h);
            break;
        case SDL_VIDEOEXPOSE:
            if (theApplication) theApplication->draw();
            break;
        default:
            break;
        }
    }
    return true;
}

void toggleFullScreen() {
    SDL_Surface* surface = SDL_GetVideoSurface();
    if (!surface || SDL_WM_ToggleFullScreen(surface) != 1) {
        fprintf(stderr, "Unable to toggle fullscreen: %s\n", SDL_GetError());
    }
}

void runMainLoop(uint32_t previous, uint32_t now) {
    while (theApplication && theApplication->running) {
        if (!pumpEvents()) break;

        // Busy wait: every pass is at least 1 ms long, so every update
        // carries at least 1 ms. No sleep, by design: sleeping granularity
        // would be far coarser than the 1 ms step.
        while (static_cast<int32_t>(now - previous) < 1) now = SDL_GetTicks();

        // While minimised nothing runs and the time away is dropped, not
        // saved up for the first update after.
        if ((SDL_GetAppState() & SDL_APPACTIVE) && theApplication) {
            theApplication->update(static_cast<int32_t>(now - previous));
            if (theApplication) theApplication->draw();
        }
        previous = now;
    }
}
