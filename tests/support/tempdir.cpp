#include "support/tempdir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

ScopedTempDir::ScopedTempDir() {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous_ = buffer;
    char pattern[] = "/tmp/vektorak-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    path_ = made;
    if (chdir(path_.c_str()) != 0) ADD_FAILURE() << "chdir into " << path_ << " failed";
}

ScopedTempDir::~ScopedTempDir() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) ADD_FAILURE() << "chdir back failed";
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
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
