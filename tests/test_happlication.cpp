// The application object: forwarding, the dropped first update after every
// switch, scaled time, and who gets deleted when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/happlication.h"
#include "config/hcontrols.h"  // Required for: leftChoice, rightChoice
#include "screens/gengine.h"
#include "screens/mmainmenu.h"
#include "screens/mvictory.h"
#include "support/recordingscreen.h"
#include "support/tempdir.h"

namespace {

using Log = std::vector<std::string>;

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        leftChoice = CHOICE_WASD;
        rightChoice = CHOICE_ARROW_KEYS;
    }
    void TearDown() override { HApplication::allocateScreen = savedAllocator; }

    RecordingScreen* install(const std::string& name = "screen") {
        auto* screen = new RecordingScreen(&log, name);
        app.currentScreen = screen;
        return screen;
    }

    Log log;
    HApplication app;
    void* (*savedAllocator)(std::size_t) = HApplication::allocateScreen;
};

TEST_F(ApplicationTest, StartsRunningWithNoScreenAndIgnoresInputWithoutOne) {
    EXPECT_EQ(app.currentScreen, nullptr);
    EXPECT_DOUBLE_EQ(app.timeScale, 1.0);
    EXPECT_TRUE(app.running);
    EXPECT_FALSE(app.skipNextUpdate);
    app.keyDown(13);
    app.keyUp(13);
    app.update(16);
    EXPECT_EQ(app.currentScreen, nullptr);
    EXPECT_TRUE(app.running);
}

TEST_F(ApplicationTest, ForwardsKeysAndTimeUnchanged) {
    install();
    app.keyDown(27);
    app.keyUp(112);
    app.update(1);
    app.update(250);
    EXPECT_EQ(log, (Log{"screen keyDown 27", "screen keyUp 112", "screen update 1", "screen update done",
                        "screen update 250", "screen update done"}));
}

TEST_F(ApplicationTest, ScalesElapsedTimeTruncatingTowardZero) {
    install();
    app.timeScale = 2.5;
    app.update(3);   // 7.5
    app.timeScale = 0.5;
    app.update(1);   // 0.5
    app.timeScale = -0.5;
    app.update(3);   // -1.5
    EXPECT_EQ(log, (Log{"screen update 7", "screen update done", "screen update 0", "screen update done",
                        "screen update -1", "screen update done"}));
}

TEST_F(ApplicationTest, EverySwitchDropsExactlyOneUpdate) {
    app.showMenu();
    auto* menu = dynamic_cast<MMainMenu*>(app.currentScreen);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->application, &app);
    EXPECT_TRUE(app.skipNextUpdate);
    app.update(40);  // dropped
    EXPECT_FLOAT_EQ(menu->angle, 0.0f);
    EXPECT_FALSE(app.skipNextUpdate);
    app.update(8);
    EXPECT_FLOAT_EQ(menu->angle, 1.0f);

    app.startMatch(CHOICE_COMPUTER, CHOICE_COMPUTER);
    ASSERT_NE(dynamic_cast<GEngine*>(app.currentScreen), nullptr);
    EXPECT_TRUE(app.skipNextUpdate);

    app.showResult(MatchResult{true, 0, 40});
    auto* victory = dynamic_cast<MVictory*>(app.currentScreen);
    ASSERT_NE(victory, nullptr);
    app.update(500);  // dropped
    EXPECT_EQ(victory->elapsed, 0);
    app.update(500);
    EXPECT_EQ(victory->elapsed, 500);
}

// The screen lives until its keyDown returns; of two requests the last
// is made.
TEST_F(ApplicationTest, ScreenMaySwitchFromItsOwnKeyDown) {
    RecordingScreen* screen = install("old");
    screen->onKeyDown = [this] {
        app.startMatch(CHOICE_COMPUTER, CHOICE_COMPUTER);
        app.showMenu();
    };
    app.keyDown(27);
    EXPECT_EQ(log, (Log{"old keyDown 27", "old keyDown done", "old destroyed"}));
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

// The finished match hands over its result from inside its own update and
// goes on running after the call: it must live until that update returns,
// and must not outlive it either.
TEST_F(ApplicationTest, FinishedMatchIsDeletedOnceItsUpdateHasReturned) {
    RecordingScreen* match = install("match");
    match->onUpdate = [this] { app.showResult(MatchResult{true, -5, 40}); };
    app.update(25);
    EXPECT_EQ(log, (Log{"match update 25", "match update done", "match destroyed"}));
    auto* victory = dynamic_cast<MVictory*>(app.currentScreen);
    ASSERT_NE(victory, nullptr);
    EXPECT_TRUE(victory->result.finished);
    EXPECT_EQ(victory->result.rightHealth, -5);
    EXPECT_EQ(victory->result.leftHealth, 40);
    EXPECT_TRUE(app.skipNextUpdate);
}

TEST_F(ApplicationTest, ResultShownOutsideAnUpdateDoesNotLeakTheOldScreen) {
    install("match");
    app.showResult(MatchResult{true, 10, 0});
    EXPECT_EQ(log, (Log{"match destroyed"}));
}

TEST_F(ApplicationTest, AnySwitchFromInsideUpdateKeepsTheCallerAlive) {
    RecordingScreen* screen = install("match");
    screen->onUpdate = [this] { app.showMenu(); };
    app.update(5);
    EXPECT_EQ(log, (Log{"match update 5", "match update done", "match destroyed"}));
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

TEST_F(ApplicationTest, DestroyingTheApplicationDestroysTheCurrentScreen) {
    Log local;
    {
        HApplication scoped;
        scoped.currentScreen = new RecordingScreen(&local, "last");
    }
    EXPECT_EQ(local, (Log{"last destroyed"}));
}

TEST_F(ApplicationTest, OldScreenStaysWhenNoMemoryForTheNextOne) {
    RecordingScreen* screen = install("old");
    HApplication::allocateScreen = [](std::size_t) -> void* { return nullptr; };
    app.showMenu();
    app.startMatch(CHOICE_WASD, CHOICE_ARROW_KEYS);
    app.showResult(MatchResult{true, 0, 5});
    EXPECT_EQ(app.currentScreen, screen);
    EXPECT_FALSE(app.skipNextUpdate);
    app.update(3);
    EXPECT_EQ(log, (Log{"old update 3", "old update done"}));
}

TEST_F(ApplicationTest, QuitOnlyClearsRunning) {
    RecordingScreen* screen = install();
    app.quit();
    EXPECT_FALSE(app.running);
    EXPECT_EQ(app.currentScreen, screen);
}

// The shell-facing behaviour of the three screens.
TEST_F(ApplicationTest, MenuReturnStartsAMatchAndEscapeQuits) {
    app.showMenu();
    app.keyDown(27);
    EXPECT_FALSE(app.running);
    ASSERT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
    app.keyDown(13);
    ASSERT_NE(dynamic_cast<GEngine*>(app.currentScreen), nullptr);
    app.keyDown(27);
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

TEST_F(ApplicationTest, VictoryAcceptsAKeyOnlyAfterMoreThanOneSecond) {
    app.showResult(MatchResult{true, 0, 40});
    app.update(999);  // dropped
    app.update(1000);
    app.keyDown('x');
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.keyUp('x');
    app.update(1);
    app.keyUp('x');
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.keyDown('x');  // the statistics
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.keyDown('x');
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

// `r` after a restart watches lastmatch.vkr, whoever wrote it: our writer
// (a draw at 0 ms on the right keys) or a hand; a bad file is said on
// standard error and not watched (-1), and no file is no match.
TEST_F(ApplicationTest, RAfterARestartWatchesTheLastMatchFile) {
    ScopedTempDir dir;
    // By hand: computer against ace, seed 7, no ticks, left at 0 ms with 100
    // ("d") each, hash 0; the CRC little-endian, as this machine.
    const std::string hand("VKR\x1a\x01\x00\x02\0\0\0\x04\0\0\0\x07\0\0\0\0\0\0\0\0\0\0\0\x01"
                           "d\0\0\0d\0\0\0\0\0\0\0\0\0\0\0", 43);
    const uint32_t crc = replayCrc32(reinterpret_cast<const uint8_t*>(hand.data()), hand.size());
    const struct { std::string bytes; ControllerChoice watchedLeft; bool said; } rows[] = {
        {"", CHOICE_ARROW_KEYS, false},
        {hand + std::string(reinterpret_cast<const char*>(&crc), 4), CHOICE_COMPUTER, false},
        {hand + "CRC?", -1, true}, {"", -1, false}};
    for (const auto& row : rows) {
        remove(HApplication::REPLAY_FILE);
        EXPECT_TRUE(row.watchedLeft != CHOICE_ARROW_KEYS || saveReplay(HApplication::REPLAY_FILE, GReplay()));
        if (!row.bytes.empty()) dir.write(HApplication::REPLAY_FILE, row.bytes);
        HApplication restarted;
        restarted.showMenu();
        testing::internal::CaptureStderr();
        restarted.keyDown('r');
        const std::string said = testing::internal::GetCapturedStderr();
        auto* watched = dynamic_cast<GEngine*>(restarted.currentScreen);
        EXPECT_EQ(watched != nullptr ? watched->match.leftChoice : -1, row.watchedLeft);
        EXPECT_EQ(said.find("Unable to watch lastmatch.vkr: ") != std::string::npos, row.said) << said;
    }
}

}  // namespace
