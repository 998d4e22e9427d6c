// The replay library: its names, the order it lists them in, the writer's
// names in one second, and pruning that takes the oldest of ours and never
// a file of anyone else.
#include <gtest/gtest.h>

#include <sys/stat.h>  // Required for: mkdir

#include <cstdlib>  // Required for: setenv
#include <ctime>
#include <string>
#include <vector>

#include "game/gcontrollerkinds.h"
#include "game/greplaylibrary.h"
#include "support/tempdir.h"

namespace {

std::vector<std::string> files(const GReplayLibrary& library) {
    std::vector<std::string> out;
    for (const GReplayEntry& e : library.list()) out.push_back(e.file);
    return out;
}

bool exists(const std::string& path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

TEST(ReplayNames, OursRoundTripAndNothingElseIsOurs) {
    const struct {
        std::tm when;
        int32_t number;
        ControllerChoice left, right;
        uint32_t remote;
        const char* name;
    } rows[] = {
        {{33, 4, 21, 9, 11, 126, 0, 0, 0, 0, nullptr}, 1, CHOICE_WASD, CHOICE_ACE, 0,
         "2026-12-09_21-04-33_left-keys_vs_ace.vkr"},
        {{0, 0, 0, 1, 0, 127, 0, 0, 0, 0, nullptr}, 2, CHOICE_ARROW_KEYS, CHOICE_COMPUTER, GReplayLibrary::REMOTE_LEFT,
         "2027-01-01_00-00-00-2_remote-right-keys_vs_computer.vkr"},
        {{59, 59, 23, 31, 11, 99, 0, 0, 0, 0, nullptr}, 10, -1, CHOICE_PILOT, GReplayLibrary::REMOTE_RIGHT,
         "1999-12-31_23-59-59-10_nobody_vs_remote-pilot.vkr"},
        {{0, 0, 0, 1, 0, 100, 0, 0, 0, 0, nullptr}, 3, CONTROLLER_KIND_COUNT, CHOICE_WASD, 3,
         "2000-01-01_00-00-00-3_remote-nobody_vs_remote-left-keys.vkr"},
    };
    for (const auto& row : rows) {
        const std::string left = GReplayLibrary::sideName(row.left, row.remote & GReplayLibrary::REMOTE_LEFT);
        const std::string right = GReplayLibrary::sideName(row.right, row.remote & GReplayLibrary::REMOTE_RIGHT);
        const std::string name = GReplayLibrary::fileName(row.when, row.number, left, right);
        EXPECT_EQ(name, row.name);
        GReplayName back;
        ASSERT_TRUE(GReplayLibrary::parseName(name, back)) << name;
        EXPECT_EQ(std::vector<int32_t>(
                      {back.year, back.month, back.day, back.hour, back.minute, back.second, back.number}),
                  std::vector<int32_t>({row.when.tm_year + 1900, row.when.tm_mon + 1, row.when.tm_mday,
                                        row.when.tm_hour, row.when.tm_min, row.when.tm_sec, row.number}));
        EXPECT_EQ(back.left + "|" + back.right, left + "|" + right);
    }
    for (const char* stranger :
         {"notes.txt", "friend.vkr", "2026-13-09_21-04-33_a_vs_b.vkr", "2026-12-00_21-04-33_a_vs_b.vkr",
          "2026-12-09_24-04-33_a_vs_b.vkr", "2026-12-09_21-04-33-1_a_vs_b.vkr", "2026-12-09_21-04-33-02_a_vs_b.vkr",
          "2026-12-09_21-04-33_a_vs_.vkr", "2026-12-09_21-04-33_a_b_vs_c.vkr", "2026-12-09_21-04-33_a_vs_b.vkr.tmp",
          "2026-12-09_21-04-33_a_vs_b.VKR", "2026-12-09_21-04-33_a-vs-b.vkr", "26-12-09_21-04-33_a_vs_b.vkr"}) {
        GReplayName name;
        EXPECT_FALSE(GReplayLibrary::parseName(stranger, name)) << stranger;
    }
}

class ReplayLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Names in local time: this zone's, whatever the machine's.
        setenv("TZ", "UTC", 1);
        tzset();
        ASSERT_EQ(mkdir("replays", 0777), 0);
    }
    void own(const std::string& name) { dir.write("replays/" + name, ""); }

    ScopedTempDir dir;
    GReplayLibrary library{"replays"};
};

// A regression guard: pruning once took the newest.
TEST_F(ReplayLibraryTest, ListsNewestFirstAndPrunesTheOldestOfOursOnly) {
    for (const char* name : {"2026-12-09_21-04-33-2_a_vs_b.vkr", "2025-01-01_00-00-00_a_vs_b.vkr",
                             "2026-12-10_00-00-00_a_vs_b.vkr", "2026-12-09_21-04-33-10_a_vs_b.vkr",
                             "2026-02-09_21-04-33_a_vs_b.vkr", "2026-12-09_21-04-33_a_vs_b.vkr"}) {
        own(name);
    }
    for (const char* stranger : {"notes.txt", "friend.vkr"}) own(stranger);
    ASSERT_EQ(mkdir("replays/2020-01-01_00-00-00_x_vs_y.vkr", 0777), 0);  // a folder, whatever its name
    const std::vector<std::string> newestFirst = {
        "2026-12-10_00-00-00_a_vs_b.vkr",    "2026-12-09_21-04-33-10_a_vs_b.vkr", "2026-12-09_21-04-33-2_a_vs_b.vkr",
        "2026-12-09_21-04-33_a_vs_b.vkr", "2026-02-09_21-04-33_a_vs_b.vkr",    "2025-01-01_00-00-00_a_vs_b.vkr"};
    EXPECT_EQ(files(library), newestFirst);
    EXPECT_EQ(library.prune(3), 3u);
    EXPECT_EQ(files(library), std::vector<std::string>(newestFirst.begin(), newestFirst.begin() + 3));
    for (const char* stranger : {"notes.txt", "friend.vkr", "2020-01-01_00-00-00_x_vs_y.vkr"}) {
        EXPECT_TRUE(exists(std::string("replays/") + stranger)) << stranger;
    }
    EXPECT_FALSE(library.remove("notes.txt"));
    EXPECT_TRUE(exists("replays/notes.txt"));
}

// The writer: three matches in one second, then a full folder, whose oldest
// goes as the next match comes in.
TEST_F(ReplayLibraryTest, WriterNumbersMatchesOfOneSecondAndKeepsTheNewest200) {
    GReplay replay;
    replay.leftChoice = CHOICE_PILOT;
    replay.rightChoice = CHOICE_WASD;
    replay.endMs = 44000;
    replay.end = vkr::END_FINISHED;
    replay.leftHealth = 15;
    replay.rightHealth = -5;
    const std::time_t when = 1796850273;  // 2026-12-09 21:04:33 UTC
    std::vector<std::string> kept;
    for (int32_t i = 0; i < 3; i++) kept.push_back(library.keep(replay, GReplayLibrary::REMOTE_RIGHT, when));
    EXPECT_EQ(kept, (std::vector<std::string>{"2026-12-09_21-04-33_pilot_vs_remote-left-keys.vkr",
                                              "2026-12-09_21-04-33-2_pilot_vs_remote-left-keys.vkr",
                                              "2026-12-09_21-04-33-3_pilot_vs_remote-left-keys.vkr"}));
    std::vector<GReplayEntry> listed = library.list();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].file, kept[2]);
    library.readEntry(listed[0]);
    EXPECT_EQ(listed[0].status, GReplayRead::OK) << listed[0].why;
    const GReplayEntry& e = listed[0];
    EXPECT_EQ(std::vector<int32_t>({static_cast<int32_t>(e.endMs), e.leftHealth, e.rightHealth}),
              std::vector<int32_t>({44000, 15, -5}));

    // Full: the three above and 197 older by hand, the oldest on 2020-01-01.
    for (int32_t i = 0; i < 197; i++) {
        own(GReplayLibrary::fileName(std::tm{i % 60, i / 60, 0, 1, 0, 120, 0, 0, 0, 0, nullptr}, 1, "a", "b"));
    }
    own("notes.txt");
    const std::vector<std::string> before = files(library);
    ASSERT_EQ(before.size(), GReplayLibrary::KEEP);
    const std::string next = library.keep(replay, 0, when + 1);
    EXPECT_EQ(next, "2026-12-09_21-04-34_pilot_vs_left-keys.vkr");
    const std::vector<std::string> after = files(library);
    ASSERT_EQ(after.size(), GReplayLibrary::KEEP);
    EXPECT_EQ(after.front(), next);
    EXPECT_EQ(std::vector<std::string>(after.begin() + 1, after.end()),
              std::vector<std::string>(before.begin(), before.end() - 1));
    EXPECT_TRUE(exists("replays/notes.txt"));
}

TEST_F(ReplayLibraryTest, AFolderThatCannotBeMadeIsOneLineAndNothingElse) {
    dir.write("blocker", "");
    GReplayLibrary blocked("blocker/replays");
    testing::internal::CaptureStderr();
    EXPECT_EQ(blocked.keep(GReplay(), 0, 0), "");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Unable to keep the replay in blocker/replays: Not a directory\n");
    EXPECT_TRUE(blocked.list().empty());
}

}  // namespace
