// Every program built here answers --help with its usage on standard output
// and exit code 0, not taking --help for a file or a folder. A row: the
// program below the build folder, and a form of call only its usage names.
#include <gtest/gtest.h>

#include "support/toolrun.h"

TEST(ToolHelp, EveryProgramPrintsItsUsageAndSucceeds) {
    const char* const rows[][2] = {{"vk-replay", "usage: vk-replay [--rollback N] FILE...\n       vk-replay --stats"},
                                   {"vk-duel", "usage: vk-duel LEFT RIGHT MATCHES"},
                                   {"vk-modelinfo", "usage: vk-modelinfo [--check] FILE"},
                                   {"tools/vektorak_bake", "vektorak_bake --menu-layout"},
                                   {"vektorak", "Usage: vektorak [--host [PORT]"}};
    for (const auto& row : rows) {
        const ToolRun run = runTool(row[0], "--help");
        EXPECT_EQ(run.exitCode, 0) << row[0];
        EXPECT_NE(run.out.find(row[1]), std::string::npos) << row[0] << " said " << run.out;
    }
}
