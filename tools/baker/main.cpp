// main.cpp: vektorak_bake DIRECTORY: writes the game's artwork and settings
// into DIRECTORY (the build passes the game's working directory).
// Exit code 0 when every file was written, 1 otherwise, 2 on a bad call.
#include <cstdio>

#include "baker/bakeall.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIRECTORY\n", argc > 0 ? argv[0] : "vektorak_bake");
        return 2;
    }
    if (!bakeAll(argv[1])) return 1;
    printf("Baked %zu files into %s\n", bakedFileNames().size(), argv[1]);
    return 0;
}
