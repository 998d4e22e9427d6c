// Reading "vkt.txt": whatever the file holds, the game starts with sane
// values, says one line for each number it could not take and keeps the
// file as the player wrote it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <fstream>

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
    void TearDown() override { resetSettings(), dismissFileNotices(); }

    // Loads from the scratch directory and returns what went to stderr.
    std::string load() {
        testing::internal::CaptureStderr();
        loadSettings();
        return testing::internal::GetCapturedStderr();
    }

    // Files of five numbers or fewer keep the volumes and the frame limit at
    // their defaults.
    void expectValues(int w, int h, int bpp, int fs, int filter = 1, int effects = 100, int music = 60,
                      int limit = 120) {
        EXPECT_EQ(screenWidth, w);
        EXPECT_EQ(screenHeight, h);
        EXPECT_EQ(bitsPerPixel, bpp);
        EXPECT_EQ(fullScreen, fs);
        EXPECT_EQ(textureFilter, filter);
        EXPECT_EQ(effectsVolume, effects);
        EXPECT_EQ(musicVolume, music);
        EXPECT_EQ(frameLimit, limit);
    }

    std::string readFile(const std::string& name) {
        std::ifstream in(dir.path() + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScopedTempDir dir;
};

TEST_F(SettingsTest, MissingFileKeepsDefaultsWithOneMessage) {
    theTextureStore.setFilterMode(0);
    EXPECT_EQ(load(), "Unable to open inicialization file. Using default valueas.\n");
    expectValues(640, 480, 0, 0);
    // The default filter mode still reaches the store: linear, as shipped.
    EXPECT_FALSE(theTextureStore.mipmaps);
    EXPECT_EQ(theTextureStore.minFilter, (GLenum)GL_LINEAR);
    EXPECT_EQ(theTextureStore.magFilter, (GLenum)GL_LINEAR);
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
    expectValues(1024, 768, 0, 0);
}

TEST_F(SettingsTest, EmptyFileKeepsDefaults) {
    dir.write("vkt.txt", "");
    EXPECT_EQ(load(), "");
    expectValues(640, 480, 0, 0);
}

TEST_F(SettingsTest, FirstItemNotANumberGivesAllDefaultsSilently) {
    dir.write("vkt.txt", "width 800 600 16 1 2\n");
    EXPECT_EQ(load(), "");
    expectValues(640, 480, 0, 0);
}

TEST_F(SettingsTest, ParsingStopsAtTheFirstNonNumber) {
    dir.write("vkt.txt", "800 600 x 1 2\n");
    EXPECT_EQ(load(), "");
    expectValues(800, 600, 0, 0);
    // A typo in a number stops it too, and is said: its digits alone made a
    // window 48 high.
    dir.write("vkt.txt", "800 48O 16\n");
    EXPECT_EQ(load(), "vkt.txt:1: window height 48O is not a number; kept 480\n");
    expectValues(800, 480, 0, 0);
    EXPECT_EQ(readFile("vkt.txt.bad"), "800 48O 16\n");
}

TEST_F(SettingsTest, TextAfterTheFifthNumberIsIgnored) {
    dir.write("vkt.txt",
              "1280 720 32 0 1\n"
              "width height depth fullscreen filter -- 9 9 9 9 9\n");
    EXPECT_EQ(load(), "");
    expectValues(1280, 720, 32, 0, 1);
}

// Each number out of its range, at either end, keeps its default, costs a
// line naming file, line and default, and stops nothing: one number a line,
// those around the bad one at values other than their defaults.
TEST_F(SettingsTest, ANumberOutOfItsRangeKeepsItsDefaultAndIsNamedWithItsLine) {
    const struct {
        int32_t field;
        const char* bad;
    } rows[] = {{0, "-1"},  {0, "16385"}, {0, "99999999999999999999"}, {1, "-1"}, {1, "16385"}, {2, "-1"},
                {2, "1"},   {2, "7"},     {2, "33"},  {3, "-1"},  {3, "2"},   {4, "-1"},   {4, "3"},
                {5, "-1"},  {5, "101"},   {6, "-1"},  {6, "101"}, {7, "-1"},  {7, "1001"}, {8, "-1"}, {8, "3601"}};
    for (const auto& row : rows) {
        const HSettingField& f = SETTING_FIELDS[row.field];
        SCOPED_TRACE(std::string(f.said) + " " + row.bad);
        resetSettings(), dismissFileNotices();
        std::string file;
        int32_t wanted[SETTING_COUNT];
        for (int32_t i = 0; i < SETTING_COUNT; i++) {
            const HSettingField& g = SETTING_FIELDS[i];
            wanted[i] = i == row.field || i > row.field + 1 ? g.byDefault : g.byDefault == g.high ? g.high - 1 : g.high;
            if (i <= row.field + 1) file += (i == row.field ? std::string(row.bad) : std::to_string(wanted[i])) + "\n";
        }
        dir.write("vkt.txt", file);
        EXPECT_EQ(load(), "vkt.txt:" + std::to_string(row.field + 1) + ": " + f.said + " " + row.bad + " is not " +
                              rangeText(f) + "; kept " + std::to_string(f.byDefault) + "\n");
        for (int32_t i = 0; i < SETTING_COUNT; i++) EXPECT_EQ(*SETTING_FIELDS[i].value, wanted[i]) << i;
        EXPECT_EQ(fileNotices(), std::vector<std::string>{std::string("vkt.txt: ") + f.said + " kept " +
                                                           std::to_string(f.byDefault) + "; yours is in vkt.txt.bad"});
        EXPECT_EQ(readFile("vkt.txt.bad"), file);
    }
    // Both ends of each range are in it, quietly.
    dir.write("vkt.txt", "0 16384 8 1 2 0 100 1000\n");
    EXPECT_EQ(load(), "");
    expectValues(0, 16384, 8, 1, 2, 0, 100, 1000);
    dir.write("vkt.txt", "16384 0 32 0 0 100 0 0\n");
    EXPECT_EQ(load(), "");
    expectValues(16384, 0, 32, 0, 0, 100, 0, 0);

    // Several faults are one notice line naming the first few; the file stays.
    dismissFileNotices();
    const std::string file = "-640 480\n-1 5 1 200 -3 # mine\n";
    dir.write("vkt.txt", file);
    EXPECT_NE(load().find("\nvkt.txt:2: music volume -3 is not 0 to 100; kept 60\n"), std::string::npos);
    EXPECT_EQ(fileNotices(), std::vector<std::string>{"vkt.txt: window width kept 640, bits per pixel kept 0, full "
                                                      "screen kept 0 and 2 more; yours is in vkt.txt.bad"});
    EXPECT_EQ(readFile("vkt.txt"), file);
}

TEST_F(SettingsTest, TheTwoVolumesAndTheFrameLimitAfterTheFiveAreRead) {
    struct Case {
        const char* file;
        int effects, music, limit = 120;
        const char* lobby = "";
    };
    const Case cases[] = {
        {"640 480 0 0 1 35 80\n", 35, 80},
        {"640 480 0 0 1 35\n", 35, 60},
        {"640 480 0 0 1 35 eighty\n", 35, 60},
        {"640 480 0 0 1 0 0 7 7\n", 0, 0, 7},
        // The README's example: notes after five numbers change nothing.
        {"1024 768 0 0 1\nwidth height depth fullscreen filter\n", 100, 60},
        // The lobby's line, its first word; a longer word, or none, is no line of it.
        {"640 480 0 0 1 35 80\nnames\nlobby\t10.0.0.1:27185  # ours\r\n", 35, 80, 120, "10.0.0.1:27185"},
        {"640 480 0 0 1 35 80\nlobbyist 10.0.0.1\nlobby\n", 35, 80},
    };
    for (const Case& c : cases) {
        resetSettings();
        dir.write("vkt.txt", c.file);
        EXPECT_EQ(load(), "") << c.file;
        EXPECT_EQ(effectsVolume, c.effects) << c.file;
        EXPECT_EQ(musicVolume, c.music) << c.file;
        EXPECT_EQ(frameLimit, c.limit) << c.file;
        EXPECT_EQ(textureFilter, 1) << c.file;
        EXPECT_EQ(lobbyAddress, c.lobby) << c.file;
    }
}

// With the frame limit at its default the file is as a game from before it
// wrote it; with another, a game from before still reads the first seven.
TEST_F(SettingsTest, TheFrameLimitIsWrittenOnlyWhenNotTheDefault) {
    const std::string before = "640 480 0 0 1 100 60\nwidth height depth fullscreen filter effects-volume music-volume\n";
    EXPECT_EQ(settingsText(), before);
    // A lobby is one last line, as a frame limit is one more number.
    lobbyAddress = "games.example.org";
    EXPECT_EQ(settingsText(), before + "lobby games.example.org\n");
    lobbyAddress.clear();
    frameLimit = 0;
    const std::string text = settingsText();
    int seven[7] = {};
    EXPECT_EQ(sscanf(text.c_str(), "%d %d %d %d %d %d %d", &seven[0], &seven[1], &seven[2], &seven[3], &seven[4],
                     &seven[5], &seven[6]), 7) << text;
    EXPECT_EQ(seven[6], 60) << text;
}

// Saving changes the numbers only, keeping the player's words and spacing;
// values the file did not hold go after its last number, read next.
// A demo wait of its own needs the frame limit before it, to be the ninth.
TEST_F(SettingsTest, WhatTheSettingsScreenWritesReadsBackAsWrittenAndLeavesNoTemporaryFile) {
    const struct {
        const char* before;
        int32_t limit;
        const char* after;
        int32_t demo = DEFAULT_DEMO_WAIT;
        const char* lobby = "";
    } rows[] = {
        {"1280  720\t32 0 2   # my big screen\nnotes: 3 windows\n", 120,
         "1600  900\t16 1 2 30 70   # my big screen\nnotes: 3 windows\n"},
        {"800 600 0 0 1 100 60 90\r\n# my frame limit\n", 120, "1600 900 16 1 2 30 70 120\r\n# my frame limit\n"},
        {"1024 768 0 0 1 5 5\nwidth and so on\n", 75, "1600 900 16 1 2 30 70 75\nwidth and so on\n"},
        {"1024 768 0 0 1 5 5 90 # mine\n", 120, "1600 900 16 1 2 30 70 120 0 # mine\n", 0},
        {"# words first: 1 2 3\n", 120,
         "1600 900 16 1 2 30 70 120 5\nwidth height depth fullscreen filter effects-volume music-volume frame-limit "
         "demo-wait\n# words first: 1 2 3\n", 5},
        // The lobby's line: its word replaced, gone with the lobby, or a last
        // line ending as the file's do.
        {"800 600 0 0 1\nlobby old.example.org # ours\nend\n", 120,
         "1600 900 16 1 2 30 70\nlobby 10.0.0.1:27190 # ours\nend\n", DEFAULT_DEMO_WAIT, "10.0.0.1:27190"},
        {"800 600 0 0 1\nlobby old.example.org\nend\n", 120, "1600 900 16 1 2 30 70\nend\n"},
        {"800 600 0 0 1 100 60 90\r\n# mine", 120, "1600 900 16 1 2 30 70 120\r\n# mine\r\nlobby games.example.org\r\n",
         DEFAULT_DEMO_WAIT, "games.example.org"},
        {"lobby x\n", 120,
         "1600 900 16 1 2 30 70\nwidth height depth fullscreen filter effects-volume music-volume\nlobby h\n",
         DEFAULT_DEMO_WAIT, "h"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.before);
        dir.write("vkt.txt", row.before);
        const int32_t values[SETTING_COUNT] = {1600, 900, 16, 1, 2, 30, 70, row.limit, row.demo};  // no two alike
        for (int32_t i = 0; i < SETTING_COUNT; i++) *SETTING_FIELDS[i].value = values[i];
        lobbyAddress = row.lobby;
        ASSERT_TRUE(saveSettings());
        EXPECT_EQ(readFile("vkt.txt"), row.after);
        resetSettings();
        EXPECT_EQ(load(), "");
        expectValues(1600, 900, 16, 1, 2, 30, 70, row.limit);
        EXPECT_EQ(demoWait, row.demo);
        EXPECT_EQ(lobbyAddress, row.lobby);
    }
    EXPECT_EQ(fopen((dir.path() + "/vkt.txt.tmp").c_str(), "r"), nullptr);
}

}  // namespace
