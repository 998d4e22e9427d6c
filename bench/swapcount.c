/* swapcount.c: counts a program's frames from outside it. Preloaded
 * (LD_PRELOAD), it stands in for SDL_GL_SwapBuffers, calls SDL's own, and
 * keeps the count of swaps so far in the file VK_SWAPS_FILE names, written
 * in place at every swap as one fixed-width line, so a reader at any time
 * finds a whole number. The game and the bare window both swap through SDL,
 * so both are counted the same way, at a cost of one pwrite a frame. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

void SDL_GL_SwapBuffers(void) {
    static void (*real)(void);
    static unsigned long swaps;
    static int fd = -2;
    if (real == NULL) *(void**)&real = dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    if (real != NULL) real();
    swaps++;
    if (fd == -2) {
        const char* path = getenv("VK_SWAPS_FILE");
        fd = path != NULL ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (fd >= 0) {
        char line[32];
        const int n = snprintf(line, sizeof line, "%020lu\n", swaps);
        if (pwrite(fd, line, (size_t)n, 0) != n) fd = -1;
    }
}
