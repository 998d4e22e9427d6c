// hreplacefile.cpp: the temporary file and the rename.
#include "assets/hreplacefile.h"

#include <cerrno>
#include <cstring>
#include <string>

bool hReplaceFile(const char* path, const std::function<bool(FILE*)>& write) {
    const std::string temporary = std::string(path) + ".tmp";
    errno = 0;
    FILE* out = fopen(temporary.c_str(), "wb");
    bool written = out != nullptr;
    int error = errno;
    if (written) {
        written = write(out) && fflush(out) == 0;
        error = errno;
        // Closing reports what the flush may not have: a full disk on NFS.
        if (fclose(out) != 0 && written) {
            written = false;
            error = errno;
        }
        if (written && rename(temporary.c_str(), path) != 0) {
            written = false;
            error = errno;
        }
        if (!written) remove(temporary.c_str());
    }
    if (!written) fprintf(stderr, "Unable to write %s: %s\n", path, strerror(error != 0 ? error : EIO));
    return written;
}
