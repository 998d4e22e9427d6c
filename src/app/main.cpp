// main.cpp: Vektorak's entry point. The run itself lives in the core library
// (runGame, app/shell.h), where the tests can reach it.
#include <SDL.h>  // Required for: SDL_main, where the platform wants its own entry

#include <cstdio>
#include <string>

#include "app/options.h"
#include "app/shell.h"

int main(int argc, char* argv[]) {
    GameOptions options;
    std::string why;
    switch (readOptions(argc, argv, options, why)) {
    case OptionsRead::HELP:
        fputs(usageText(), stdout);
        return 0;
    case OptionsRead::BAD:
        fprintf(stderr, "vektorak: %s\n%s", why.c_str(), usageText());
        return USAGE_EXIT;
    case OptionsRead::RUN:
        break;
    }
    return runGame(options);
}
