// settings.cpp: reading "vkt.txt".
#include "config/settings.h"

#include "assets/hreplacefile.h"
#include "assets/htexturestore.h"

int32_t screenWidth = 640;
int32_t screenHeight = 480;
int32_t bitsPerPixel = 0;
int32_t fullScreen = 0;
int32_t textureFilter = 0;
int32_t effectsVolume = 100;
int32_t musicVolume = 60;
int32_t frameLimit = DEFAULT_FRAME_LIMIT;

static int32_t clamp(int value, int32_t most) { return value < 0 ? 0 : value > most ? most : value; }

void resetSettings() {
    screenWidth = 640;
    screenHeight = 480;
    bitsPerPixel = 0;
    fullScreen = 0;
    textureFilter = 0;
    effectsVolume = 100;
    musicVolume = 60;
    frameLimit = DEFAULT_FRAME_LIMIT;
}

void readSettings(FILE* file) {
    // One scan: a value that is not an integer stops it, and whatever follows
    // keeps its default without a word.
    int values[8] = {screenWidth, screenHeight, bitsPerPixel, fullScreen,
                     textureFilter, effectsVolume, musicVolume, frameLimit};
    int got = fscanf(file, "%d %d %d %d %d %d %d %d", &values[0], &values[1], &values[2], &values[3], &values[4],
                     &values[5], &values[6], &values[7]);
    (void)got;
    screenWidth = values[0];
    screenHeight = values[1];
    bitsPerPixel = values[2];
    fullScreen = values[3];
    textureFilter = values[4];
    effectsVolume = clamp(values[5], 100);
    musicVolume = clamp(values[6], 100);
    frameLimit = clamp(values[7], MAX_FRAME_LIMIT);
}

void loadSettings() {
    FILE* file = fopen("vkt.txt", "rt");
    if (!file) {
        fprintf(stderr, "Unable to open inicialization file. Using default valueas.\n");
    } else {
        readSettings(file);
        fclose(file);
    }
    theTextureStore.setFilterMode(textureFilter);
}

std::string settingsText() {
    char numbers[128];
    snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d %d\n", static_cast<int>(screenWidth),
             static_cast<int>(screenHeight), static_cast<int>(bitsPerPixel), static_cast<int>(fullScreen),
             static_cast<int>(textureFilter), static_cast<int>(effectsVolume), static_cast<int>(musicVolume));
    std::string text(numbers);
    if (frameLimit == DEFAULT_FRAME_LIMIT)
        return text + "width height depth fullscreen filter effects-volume music-volume\n";
    // The eighth number on the same line, where a game of today reads it;
    // one from before reads seven and stops.
    text.insert(text.size() - 1, " " + std::to_string(static_cast<int>(frameLimit)));
    return text + "width height depth fullscreen filter effects-volume music-volume frame-limit\n";
}

bool saveSettings() { return writeTextFile("vkt.txt", settingsText()); }

bool writeTextFile(const char* path, const std::string& text) {
    return hReplaceFile(path, [&text](FILE* out) { return fwrite(text.data(), 1, text.size(), out) == text.size(); });
}
