// main.cpp: vektorak_bake DIRECTORY: writes the game's artwork and settings
// into DIRECTORY (the build passes the game's working directory).
// vektorak_bake --icons DIRECTORY: writes the desktop icon at each size
// (bicon.h) instead; the icon is no file the game loads, so it goes to a
// folder of its own.
// vektorak_bake --menu-layout: prints where menu.jpg's lettering goes, one
// block a line: its name, then x0 y0 x1 y1 in the picture's units (x -18 ..
// 18, y -14 .. 14, y up), for the end-to-end tests that look for it on
// screen.
// vektorak_bake --help: the usage, on standard output.
// Exit code 0 when every file was written (or the layout found room for
// every block) and on --help, 1 otherwise, 2 on a bad call.
#include <cstdio>
#include <cstring>  // Required for: strcmp

#include "baker/bakeall.h"
#include "baker/bicon.h"

int main(int argc, char** argv) {
    const char* self = argc > 0 ? argv[0] : "vektorak_bake";
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        printf("usage: %s DIRECTORY\n       %s --icons DIRECTORY\n       %s --menu-layout\n       %s --help\n", self,
               self, self, self);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--icons") == 0) {
        if (!bakeIcons(argv[2])) return 1;
        printf("Baked %zu icons into %s\n", iconSizes().size(), argv[2]);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--menu-layout") == 0) {
        const BMenuCoverage coverage = bakedMenuCoverage();
        const BMenuLayout layout = bakedMenuLayout(coverage);
        for (const BMenuBlock& block : layout.blocks())
            printf("%s %.3f %.3f %.3f %.3f\n", block.name.c_str(), block.rect.x0, block.rect.y0, block.rect.x1,
                   block.rect.y1);
        return layout.ok() ? 0 : 1;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIRECTORY\n       %s --icons DIRECTORY\n       %s --menu-layout\n", self, self,
                self);
        return 2;
    }
    if (!bakeAll(argv[1])) return 1;
    printf("Baked %zu files into %s\n", bakedFileNames().size(), argv[1]);
    return 0;
}
