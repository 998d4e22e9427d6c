// Reading "vkt.txt": whatever the file holds, the game starts with sane
// values and says no more than one line about it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "assets/htexturestore.h"
#include "config/settings.h"
#include "support/tempdir.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        theTextureStore.setFilterMode(1);
    }
    void TearDown() override { resetSettings(); }

    // Loads from the scratch directory and returns what went to stderr.
    std::string load() {
        testing::internal::CaptureStderr();
        loadSettings();
        return testing::internal::GetCapturedStderr();
    }

    // Files of five numbers or fewer keep the volumes and the frame limit at
    // their defaults.
    void expectValues(int w, int h, int bpp, int fs, int filter, int effects = 100, int music = 60, int limit = 120) {
        EXPECT_EQ(screenWidth, w);
        EXPECT_EQ(screenHeight, h);
        EXPECT_EQ(bitsPerPixel, bpp);
        EXPECT_EQ(fullScreen, fs);
        EXPECT_EQ(textureFilter, filter);
        EXPECT_EQ(effectsVolume, effects);
        EXPECT_EQ(musicVolume, music);
        EXPECT_EQ(frameLimit, limit);
    }

    ScopedTempDir dir;
};

TEST_F(SettingsTest, MissingFileKeepsDefaultsWithOneMessage) {
    EXPECT_EQ(load(), "Unable to open inicialization file. Using default valueas.\n");
    expectValues(640, 480, 0, 0, 0);
    // The default filter mode still reaches the store: nearest filtering.
    EXPECT_FALSE(theTextureStore.mipmaps);
    EXPECT_EQ(theTextureStore.minFilter, (GLenum)GL_NEAREST);
    EXPECT_EQ(theTextureStore.magFilter, (GLenum)GL_NEAREST);
}

TEST_F(SettingsTest, FullFileAcrossLinesAndFilterReachesStore) {
    dir.write("vkt.txt", "800\n600   16\n\t1 2\n");
    EXPECT_EQ(load(), "");
    expectValues(800, 600, 16, 1, 2);
    EXPECT_TRUE(theTextureStore.mipmaps);
    EXPECT_EQ(theTextureStore.minFilter, (GLenum)GL_LINEAR_MIPMAP_NEAREST);
}

TEST_F(SettingsTest, ShortFileKeepsTheRestAtDefaults) {
    dir.write("vkt.txt", "1024 768");
    EXPECT_EQ(load(), "");
    expectValues(1024, 768, 0, 0, 0);
}

TEST_F(SettingsTest, EmptyFileKeepsDefaults) {
    dir.write("vkt.txt", "");
    EXPECT_EQ(load(), "");
    expectValues(640, 480, 0, 0, 0);
}

TEST_F(SettingsTest, FirstItemNotANumberGivesAllDefaultsSilently) {
    dir.write("vkt.txt", "width 800 600 16 1 2\n");
    EXPECT_EQ(load(), "");
    expectValues(640, 480, 0, 0, 0);
}

TEST_F(SettingsTest, ParsingStopsAtTheFirstNonNumber) {
    dir.write("vkt.txt", "800 600 x 1 2\n");
    EXPECT_EQ(load(), "");
    expectValues(800, 600, 0, 0, 0);
}

TEST_F(SettingsTest, TextAfterTheFifthNumberIsIgnored) {
    dir.write("vkt.txt",
              "1280 720 32 0 1\n"
              "width height depth fullscreen filter -- 9 9 9 9 9\n");
    EXPECT_EQ(load(), "");
    expectValues(1280, 720, 32, 0, 1);
}

TEST_F(SettingsTest, FilterOutsideTheRangeLeavesTheStoreAlone) {
    dir.write("vkt.txt", "640 480 0 0 7");
    EXPECT_EQ(load(), "");
    EXPECT_EQ(textureFilter, 7);
    // Mode 1 from SetUp is still in force.
    EXPECT_FALSE(theTextureStore.mipmaps);
    EXPECT_EQ(theTextureStore.minFilter, (GLenum)GL_LINEAR);
    EXPECT_EQ(theTextureStore.magFilter, (GLenum)GL_LINEAR);
}

TEST_F(SettingsTest, NegativeAndZeroValuesAreTakenAsWritten) {
    // Not validated here: SDL refuses what it cannot open, and a zero
    // height is guarded where the aspect ratio is computed.
    dir.write("vkt.txt", "-5 0 0 0 0");
    EXPECT_EQ(load(), "");
    expectValues(-5, 0, 0, 0, 0);
}

TEST_F(SettingsTest, TheTwoVolumesAfterTheFiveAreReadAndClamped) {
    struct Case {
        const char* file;
        int effects, music, limit = 120;
    };
    const Case cases[] = {
        {"640 480 0 0 1 35 80\n", 35, 80},
        {"640 480 0 0 1 35\n", 35, 60},
        {"640 480 0 0 1 35 eighty\n", 35, 60},
        {"640 480 0 0 1 -4 250 notes\n", 0, 100},
        {"640 480 0 0 1 0 0 7 7\n", 0, 0, 7},
        {"640 480 0 0 1 0 0 -3\n", 0, 0, 0},
        {"640 480 0 0 1 0 0 5000 notes\n", 0, 0, 1000},
        // The README's example: notes after five numbers change nothing.
        {"1024 768 0 0 1\nwidth height depth fullscreen filter\n", 100, 60},
    };
    for (const Case& c : cases) {
        resetSettings();
        dir.write("vkt.txt", c.file);
        EXPECT_EQ(load(), "") << c.file;
        EXPECT_EQ(effectsVolume, c.effects) << c.file;
        EXPECT_EQ(musicVolume, c.music) << c.file;
        EXPECT_EQ(frameLimit, c.limit) << c.file;
        EXPECT_EQ(textureFilter, 1) << c.file;
    }
}

// With the frame limit at its default the file is as a game from before it
// wrote it; with another, a game from before still reads the first seven.
TEST_F(SettingsTest, TheFrameLimitIsWrittenOnlyWhenNotTheDefault) {
    EXPECT_EQ(settingsText(), "640 480 0 0 0 100 60\nwidth height depth fullscreen filter effects-volume music-volume\n");
    frameLimit = 0;
    const std::string text = settingsText();
    int seven[7] = {};
    EXPECT_EQ(sscanf(text.c_str(), "%d %d %d %d %d %d %d", &seven[0], &seven[1], &seven[2], &seven[3], &seven[4],
                     &seven[5], &seven[6]), 7) << text;
    EXPECT_EQ(seven[6], 60) << text;
}

TEST_F(SettingsTest, WhatTheSettingsScreenWritesReadsBackAsWrittenAndLeavesNoTemporaryFile) {
    const int values[8] = {1600, 900, 16, 1, 2, 30, 70, 75};  // no two alike
    screenWidth = values[0];
    screenHeight = values[1];
    bitsPerPixel = values[2];
    fullScreen = values[3];
    textureFilter = values[4];
    effectsVolume = values[5];
    musicVolume = values[6];
    frameLimit = values[7];
    ASSERT_TRUE(saveSettings());
    resetSettings();
    EXPECT_EQ(load(), "");
    expectValues(values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7]);
    EXPECT_EQ(fopen((dir.path() + "/vkt.txt.tmp").c_str(), "r"), nullptr);
}

}  // namespace
