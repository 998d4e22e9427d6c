/* firstswap.c: preloaded into the game or the bare window by
 * bench/footprint.py, so that both are timed and weighed the same way
 * without a line of either changed or a byte added to their output.
 *
 * Wraps SDL_GL_SwapBuffers. After the first swap has returned it appends
 * one line to the file named by FIRSTSWAP_FILE:
 *
 *   swap NANOSECONDS
 *
 * NANOSECONDS on CLOCK_MONOTONIC, the clock Python's time.monotonic_ns()
 * reads, so the launcher's stamp just before exec and this one subtract.
 * With FIRSTSWAP_EXIT=1 the process then ends at once with _exit(0): a
 * start-up run needs nothing after the first frame, and skipping the
 * shut-down keeps both programs' runs equally short.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

void SDL_GL_SwapBuffers(void) {
    static void (*real)(void) = NULL;
    static int swapped = 0;
    if (!real) real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    if (real) real();
    if (swapped) return;
    swapped = 1;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* path = getenv("FIRSTSWAP_FILE");
    if (path) {
        FILE* file = fopen(path, "a");
        if (file) {
            fprintf(file, "swap %lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
            fclose(file);
        }
    }
    const char* quit = getenv("FIRSTSWAP_EXIT");
    if (quit && strcmp(quit, "1") == 0) _exit(0);
}
