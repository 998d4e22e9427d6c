// main.cpp: Vektorak's entry point. The run itself lives in the core library
// (runGame, app/shell.h), where the tests can reach it.
#include <SDL.h>  // Required for: SDL_main, where the platform wants its own entry

#include "app/shell.h"

int main(int argc, char* argv[]) {
    (void)argc;
    (void)argv;
    return runGame();
}
