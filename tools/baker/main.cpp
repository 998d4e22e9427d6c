// main.cpp: vektorak_bake DIRECTORY: writes the game's artwork and settings
// into DIRECTORY (the build passes the game's working directory).
// vektorak_bake --icons DIRECTORY: writes the desktop icon at each size
// (bicon.h) instead; the icon is no file the game loads, so it goes to a
// folder of its own.
// Exit code 0 when every file was written, 1 otherwise, 2 on a bad call.
#include <cstdio>
#include <cstring>  // Required for: strcmp

#include "baker/bakeall.h"
#include "baker/bicon.h"

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--icons") == 0) {
        if (!bakeIcons(argv[2])) return 1;
        printf("Baked %zu icons into %s\n", iconSizes().size(), argv[2]);
        return 0;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIRECTORY\n       %s --icons DIRECTORY\n", argc > 0 ? argv[0] : "vektorak_bake",
                argc > 0 ? argv[0] : "vektorak_bake");
        return 2;
    }
    if (!bakeAll(argv[1])) return 1;
    printf("Baked %zu files into %s\n", bakedFileNames().size(), argv[1]);
    return 0;
}
