// Tests of the vk-duel tool, run as a program: one JSON line of who won a
// run of seeded matches, and exit code 2 on a bad call. The tool is found
// next to the game, one directory above this test.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>

#include "game/gduel.h"
#include "support/toolrun.h"

namespace {

ToolRun runTool(const std::string& arguments) { return ::runTool("vk-duel", arguments); }

class VkDuelTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string tool = toolPath("vk-duel");
        if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "vk-duel not built: " << tool;
    }
};

}  // namespace

TEST_F(VkDuelTest, BadCallsExitWithTwoAndPrintNothing) {
    for (const char* arguments : {"", "ace", "ace pilot", "ace pilot 3 4 5", "arrows ace 3", "ace wasd 3",
                                  "ace nobody 3", "ace pilot 0", "ace pilot -3", "ace pilot 3x", "ace pilot ''",
                                  "ace pilot 3 4294967296", "ace pilot 3 4294967294", "ace pilot 3 +1"}) {
        SCOPED_TRACE(arguments);
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
    }
}

// The tool's counts are the library's matches, seed by seed from FIRST_SEED:
// here the pilot on the left against the computer, seeds 41 to 43.
TEST_F(VkDuelTest, CountsTheSeededMatchesTheGameWouldPlay) {
    int leftWins = 0, rightWins = 0, draws = 0;
    uint32_t maxMs = 0;
    uint32_t shots[2] = {}, hits[2] = {}, longest[2] = {};  // by GSide
    for (uint32_t seed = 41; seed <= 43; seed++) {
        const GDuel duel = playDuel(CHOICE_PILOT, CHOICE_COMPUTER, seed);
        for (int32_t side = 0; side < 2; side++) {
            shots[side] += duel.stats.ships[side].shots;
            hits[side] += duel.stats.ships[side].hits;
            longest[side] = std::max(longest[side], duel.stats.ships[side].longestUnhitMs);
        }
        leftWins += duel.winner == SIDE_LEFT;
        rightWins += duel.winner == SIDE_RIGHT;
        draws += duel.winner == SIDE_NONE;
        if (duel.ms > maxMs) maxMs = duel.ms;
    }
    const ToolRun run = runTool("pilot computer 3 41");
    EXPECT_EQ(run.exitCode, 0);
    const std::string head = "{\"left\": \"pilot\", \"right\": \"computer\", \"matches\": 3, \"leftWins\": " +
                             std::to_string(leftWins) + ", \"rightWins\": " + std::to_string(rightWins) +
                             ", \"draws\": " + std::to_string(draws) + ", \"meanMs\": ";
    EXPECT_EQ(run.out.substr(0, head.size()), head) << run.out;
    EXPECT_NE(run.out.find("\"maxMs\": " + std::to_string(maxMs) + ","), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"meanHealthRight\": "), std::string::npos) << run.out;
    // Each side's numbers summed; its longest stretch the longest of any match.
    for (int32_t side = 0; side < 2; side++) {
        const size_t at = run.out.find(std::string(side ? "\"rightStats\"" : "\"leftStats\"") + ": {\"shots\": " +
                                       std::to_string(shots[side]) + ", \"hits\": " + std::to_string(hits[side]) + ",");
        EXPECT_NE(at, std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\"longestUnhitMs\": " + std::to_string(longest[side]) + ",", at), std::string::npos);
    }
    // The default first seed is 1.
    EXPECT_EQ(runTool("ace ace 2").out, runTool("ace ace 2 1").out);
    EXPECT_NE(runTool("ace ace 2 1").out, runTool("ace ace 2 2").out);
}
