// toolrun.h: runs one of the tools built next to the game, one directory
// above the test's own, and keeps its standard output and exit code.
#pragma once

#include <string>

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

// build/NAME, from the test executable's place in build/tests.
std::string toolPath(const char* name);
// Runs `build/NAME ARGUMENTS` through the shell, standard error dropped.
ToolRun runTool(const char* name, const std::string& arguments);
