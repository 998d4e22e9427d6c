// Every program built here answers --help with its usage on standard
// output and exit code 0, instead of taking --help for a file, a folder
// or a player's name.
#include <gtest/gtest.h>

#include <string>

#include "support/toolrun.h"

TEST(ToolHelp, EveryProgramPrintsItsUsageAndSucceeds) {
    const struct {
        const char* program;  // below the build folder
        const char* names;    // a form of call only its usage names
    } rows[] = {
        {"vk-replay", "vk-replay --stats FILE"},
        {"vk-duel", "vk-duel LEFT RIGHT MATCHES"},
        {"vk-modelinfo", "vk-modelinfo [--check] FILE"},
        {"tools/vektorak_bake", "vektorak_bake --menu-layout"},
        {"vektorak", "vektorak [--host [PORT]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.program);
        const ToolRun run = runTool(row.program, "--help");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.rfind("usage: ", 0) == 0 || run.out.rfind("Usage: ", 0) == 0, true) << run.out;
        EXPECT_NE(run.out.find(row.names), std::string::npos) << run.out;
    }
}
