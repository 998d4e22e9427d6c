// tempdir.h: a scratch working directory for tests that read files by plain
// name, as the game does.
#pragma once

#include <string>

class ScopedTempDir {
public:
    // Makes a fresh directory and changes into it.
    ScopedTempDir();
    // Changes back and removes the directory with everything in it.
    ~ScopedTempDir();

    const std::string& path() const { return path_; }

    // Writes a file in the directory; returns its full path.
    std::string write(const std::string& name, const std::string& contents) const;

private:
    std::string path_;
    std::string previous_;
};
