// toolrun.cpp: a tool run through popen.
#include "support/toolrun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

std::string toolPath(const char* name) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    self[n] = '\0';
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/'));  // build/tests
    return dir.substr(0, dir.rfind('/')) + "/" + name;
}

ToolRun runTool(const char* name, const std::string& arguments) {
    ToolRun run;
    const std::string command = toolPath(name) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
