// greplaylibrary.cpp: names of kept replays, and the folder's listing,
// writing and pruning.
#include "game/greplaylibrary.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>  // Required for: getenv
#include <cstring>  // Required for: strerror
#include <utility>

#include <dirent.h>    // Required for: opendir, readdir
#include <fcntl.h>     // Required for: open with O_EXCL, to take a name
#include <sys/stat.h>  // Required for: mkdir, lstat
#include <unistd.h>    // Required for: close, unlink, getcwd

#include "assets/hreplacefile.h"
#include "game/gcontrollerkinds.h"

namespace {

constexpr const char* EXTENSION = ".vkr";
constexpr const char* REMOTE = "remote-";
constexpr const char* VERSUS = "_vs_";
// Names tried in one second before giving up: far more matches than a
// second can end.
constexpr int32_t MOST_IN_A_SECOND = 1000;

// Exactly `digits` decimal digits at `at`, within [low, high].
bool fixedNumber(const std::string& s, size_t& at, size_t digits, int32_t low, int32_t high, int32_t& value) {
    if (at + digits > s.size()) return false;
    value = 0;
    for (size_t i = 0; i < digits; i++) {
        const char c = s[at + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    at += digits;
    return value >= low && value <= high;
}

bool literal(const std::string& s, size_t& at, const char* text) {
    const size_t n = strlen(text);
    if (s.compare(at, n, text) != 0) return false;
    at += n;
    return true;
}

// A side as sideName writes one: letters, digits and '-', not empty.
bool sideText(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok) return false;
    }
    return true;
}

bool sameSecond(const GReplayName& a, const GReplayName& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second;
}

// A regular file (not a link, a folder or a device), whatever its name says.
bool regularFile(const std::string& path) {
    struct stat s;
    return lstat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

}  // namespace

GReplayLibrary::GReplayLibrary(std::string folder) : where(std::move(folder)) {}

std::string GReplayLibrary::defaultFolder() {
    const char* set = getenv(FOLDER_VARIABLE);
    return set != nullptr && *set != 0 ? set : FOLDER;
}

// --- names ------------------------------------------------------------------------

std::string GReplayLibrary::sideName(ControllerChoice choice, bool remote) {
    const GControllerKind* kind = controllerKind(choice);
    std::string name = kind != nullptr ? kind->name : "nobody";
    std::replace(name.begin(), name.end(), ' ', '-');
    return remote ? REMOTE + name : name;
}

std::string GReplayLibrary::fileName(const std::tm& when, int32_t number, const std::string& left,
                                     const std::string& right) {
    char stamp[48];
    snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d-%02d-%02d", when.tm_year + 1900, when.tm_mon + 1, when.tm_mday,
             when.tm_hour, when.tm_min, when.tm_sec);
    std::string name = stamp;
    if (number > 1) name += "-" + std::to_string(number);
    return name + "_" + left + VERSUS + right + EXTENSION;
}

bool GReplayLibrary::parseName(const std::string& file, GReplayName& name) {
    GReplayName n;
    size_t at = 0;
    const bool stamp = fixedNumber(file, at, 4, 0, 9999, n.year) && literal(file, at, "-") &&
                       fixedNumber(file, at, 2, 1, 12, n.month) && literal(file, at, "-") &&
                       fixedNumber(file, at, 2, 1, 31, n.day) && literal(file, at, "_") &&
                       fixedNumber(file, at, 2, 0, 23, n.hour) && literal(file, at, "-") &&
                       fixedNumber(file, at, 2, 0, 59, n.minute) && literal(file, at, "-") &&
                       fixedNumber(file, at, 2, 0, 60, n.second);  // 60: a leap second
    if (!stamp) return false;
    if (at < file.size() && file[at] == '-') {
        // 2 and up, written as fileName writes them: no leading zero.
        at++;
        const size_t first = at;
        n.number = 0;
        while (at < file.size() && file[at] >= '0' && file[at] <= '9' && at - first < 9) {
            n.number = n.number * 10 + (file[at++] - '0');
        }
        if (at == first || file[first] == '0' || n.number < 2) return false;
    }
    if (!literal(file, at, "_")) return false;
    const size_t ext = strlen(EXTENSION);
    if (file.size() < at + ext || file.compare(file.size() - ext, ext, EXTENSION) != 0) return false;
    const std::string sides = file.substr(at, file.size() - ext - at);
    const size_t versus = sides.find(VERSUS);
    if (versus == std::string::npos) return false;
    n.left = sides.substr(0, versus);
    n.right = sides.substr(versus + strlen(VERSUS));
    if (!sideText(n.left) || !sideText(n.right)) return false;
    name = n;
    return true;
}

bool GReplayLibrary::newer(const GReplayName& a, const GReplayName& b) {
    const int32_t ka[7] = {a.year, a.month, a.day, a.hour, a.minute, a.second, a.number};
    const int32_t kb[7] = {b.year, b.month, b.day, b.hour, b.minute, b.second, b.number};
    return std::lexicographical_compare(kb, kb + 7, ka, ka + 7);
}

// --- the folder -------------------------------------------------------------------

std::string GReplayLibrary::pathOf(const std::string& file) const { return where + "/" + file; }

std::string GReplayLibrary::absoluteFolder() const {
    if (!where.empty() && where[0] == '/') return where;
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return where;
    return std::string(cwd) + "/" + where;
}

std::vector<GReplayEntry> GReplayLibrary::list() const {
    std::vector<GReplayEntry> found;
    DIR* dir = opendir(where.c_str());
    if (dir == nullptr) {
        if (errno != ENOENT) fprintf(stderr, "Unable to list %s: %s\n", where.c_str(), strerror(errno));
        return found;
    }
    while (const dirent* e = readdir(dir)) {
        GReplayEntry entry;
        entry.file = e->d_name;
        if (!parseName(entry.file, entry.name)) continue;
        // The name alone settles most: a stat only where the folder's
        // listing does not say what the entry is.
        if (e->d_type == DT_UNKNOWN ? !regularFile(pathOf(entry.file)) : e->d_type != DT_REG) continue;
        found.push_back(std::move(entry));
    }
    closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const GReplayEntry& a, const GReplayEntry& b) { return newer(a.name, b.name); });
    return found;
}

void GReplayLibrary::readEntry(GReplayEntry& entry) const {
    GReplay replay;
    entry.read = true;
    entry.status = loadReplay(pathOf(entry.file).c_str(), replay, entry.why);
    if (entry.status != GReplayRead::OK) return;
    entry.endMs = replay.endMs;
    entry.end = replay.end;
    entry.leftHealth = replay.leftHealth;
    entry.rightHealth = replay.rightHealth;
}

size_t GReplayLibrary::prune(size_t count) const {
    const std::vector<GReplayEntry> entries = list();
    size_t removed = 0;
    for (size_t i = count; i < entries.size(); i++) {
        if (unlink(pathOf(entries[i].file).c_str()) == 0) {
            removed++;
        } else {
            fprintf(stderr, "Unable to remove %s: %s\n", pathOf(entries[i].file).c_str(), strerror(errno));
        }
    }
    return removed;
}

bool GReplayLibrary::remove(const std::string& file) const {
    GReplayName name;
    if (!parseName(file, name)) {
        fprintf(stderr, "Unable to remove %s: not a kept replay\n", pathOf(file).c_str());
        return false;
    }
    if (unlink(pathOf(file).c_str()) != 0) {
        fprintf(stderr, "Unable to remove %s: %s\n", pathOf(file).c_str(), strerror(errno));
        return false;
    }
    return true;
}

std::string GReplayLibrary::keep(const GReplay& replay, uint32_t remoteSides, std::time_t when) {
    if (mkdir(where.c_str(), 0777) != 0 && errno != EEXIST) {
        fprintf(stderr, "Unable to keep the replay in %s: %s\n", where.c_str(), strerror(errno));
        return "";
    }
    std::tm local;
    if (localtime_r(&when, &local) == nullptr) {
        fprintf(stderr, "Unable to keep the replay in %s: no local time for %lld\n", where.c_str(),
                static_cast<long long>(when));
        return "";
    }
    const std::string left = sideName(replay.leftChoice, (remoteSides & REMOTE_LEFT) != 0);
    const std::string right = sideName(replay.rightChoice, (remoteSides & REMOTE_RIGHT) != 0);
    // After every match already kept in that second, whoever flew it, so
    // that the numbers keep the order the matches ended in.
    GReplayName stamp;
    stamp.year = local.tm_year + 1900, stamp.month = local.tm_mon + 1, stamp.day = local.tm_mday;
    stamp.hour = local.tm_hour, stamp.minute = local.tm_min, stamp.second = local.tm_sec;
    int32_t number = 1;
    for (const GReplayEntry& e : list()) {
        if (sameSecond(e.name, stamp)) number = std::max(number, e.name.number + 1);
    }
    // The exclusive create takes the name; the rename that writes the
    // replay then replaces the empty file it made.
    std::string file;
    for (int32_t tries = 0;; tries++, number++) {
        file = fileName(local, number, left, right);
        const int fd = open(pathOf(file).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            close(fd);
            break;
        }
        if (errno != EEXIST || tries == MOST_IN_A_SECOND) {
            fprintf(stderr, "Unable to write %s: %s\n", pathOf(file).c_str(), strerror(errno));
            return "";
        }
    }
    if (!saveReplay(pathOf(file).c_str(), replay)) {  // which said why
        unlink(pathOf(file).c_str());
        return "";
    }
    prune(KEEP);
    return file;
}
