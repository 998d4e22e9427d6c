#include "support/tempdir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {
// Folders not yet removed, each with the process that made it. A death
// test's child runs the test afresh and ends in exit(), never reaching the
// destructor; exit() still removes its own folders, never its parent's.
std::vector<std::pair<std::string, pid_t>> unremoved;
void removeLeftovers() {
    std::error_code ignored;
    for (const auto& [path, maker] : unremoved)
        if (maker == getpid()) std::filesystem::remove_all(path, ignored);
}
}  // namespace

ScopedTempDir::ScopedTempDir() {
    static const int registered = atexit(removeLeftovers);
    (void)registered;
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous_ = buffer;
    char pattern[] = "/tmp/vektorak-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    path_ = made;
    unremoved.emplace_back(path_, getpid());
    if (chdir(path_.c_str()) != 0) ADD_FAILURE() << "chdir into " << path_ << " failed";
}

ScopedTempDir::~ScopedTempDir() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) ADD_FAILURE() << "chdir back failed";
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        const auto entry = std::make_pair(path_, getpid());
        unremoved.erase(std::remove(unremoved.begin(), unremoved.end(), entry), unremoved.end());
    }
}

std::string ScopedTempDir::write(const std::string& name, const std::string& contents) const {
    const std::string full = path_ + "/" + name;
    FILE* file = fopen(full.c_str(), "wb");
    if (!file) {
        ADD_FAILURE() << "cannot write " << full;
        return full;
    }
    fwrite(contents.data(), 1, contents.size(), file);
    fclose(file);
    return full;
}
