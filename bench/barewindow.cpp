// barewindow.cpp: the yardstick the game's idle CPU, memory and start-up
// figures are set against. A bare SDL 1.2 OpenGL window, opened as the game
// opens its own, that draws one full-window textured quad a frame at a fixed
// rate and sleeps between frames. Anything the game costs above this is the
// game's own.
//
//   vk-barewindow [--fps N] [--frames N] [--width W] [--height H]
//
// --fps: frames a second (default 60); vsync is asked for as the game asks,
//   and the loop sleeps until the next frame is due either way.
// --frames: quits after this many frames (default 0: until the window is
//   closed). Prints "First frame." on standard output once the first frame
//   is swapped, so that start-up can be timed from outside to that line.
#include <cstdio>
#include <cstdlib>  // Required for: atoi()
#include <cstring>  // Required for: strcmp()
#include <vector>

#include <GL/gl.h>
#include <SDL.h>

#include "app/hframepacer.h"

int main(int argc, char** argv) {
    int fps = 60, frames = 0, width = 640, height = 480;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = atoi(argv[i + 1]);
        if (strcmp(argv[i], "--fps") == 0) {
            fps = value > 0 ? value : 60;
        } else if (strcmp(argv[i], "--frames") == 0) {
            frames = value;
        } else if (strcmp(argv[i], "--width") == 0) {
            width = value;
        } else if (strcmp(argv[i], "--height") == 0) {
            height = value;
        } else {
            fprintf(stderr, "usage: vk-barewindow [--fps N] [--frames N] [--width W] [--height H]\n");
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);

    // Initialization ---------------------------------------------------------
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Unable to initialize SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    if (!SDL_SetVideoMode(width, height, 0, SDL_OPENGL)) {
        fprintf(stderr, "Unable to create OpenGL screen: %s\n", SDL_GetError());
        SDL_Quit();
        return 2;
    }
    // A 256 by 256 picture, as big as the game's menu pictures are at the
    // least, in four colours so that a texture really is sampled.
    std::vector<unsigned char> pixels(256 * 256 * 3);
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 256; x++) {
            unsigned char* p = &pixels[(y * 256 + x) * 3];
            p[0] = x < 128 ? 200 : 40;
            p[1] = y < 128 ? 200 : 40;
            p[2] = (x ^ y) & 16 ? 160 : 60;
        }
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glEnable(GL_TEXTURE_2D);
    glViewport(0, 0, width, height);

    // Main loop --------------------------------------------------------------
    // Paced as the game's main loop is, whole milliseconds with the remainder
    // carried, so that the two run at the same rate for the same --fps.
    HFramePacer pacer(fps, false, SDL_GetTicks());
    for (int drawn = 0; frames == 0 || drawn < frames; drawn++) {
        SDL_Event event;
        bool quit = false;
        while (SDL_PollEvent(&event)) quit = quit || event.type == SDL_QUIT;
        if (quit) break;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(-1.0f, 1.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(1.0f, 1.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(1.0f, -1.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(-1.0f, -1.0f);
        glEnd();
        SDL_GL_SwapBuffers();
        if (drawn == 0) printf("First frame.\n");
        const Uint32 now = SDL_GetTicks();
        pacer.drawn(now);
        const int32_t pause = pacer.pauseMs(now);
        if (pause > 0) SDL_Delay(static_cast<Uint32>(pause));
    }

    // De-initialization ------------------------------------------------------
    glDeleteTextures(1, &texture);
    SDL_Quit();
    return 0;
}
