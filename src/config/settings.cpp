// settings.cpp: reading "vkt.txt", checking its numbers, and writing it
// back around the player's own words.
#include "config/settings.h"

#include <cctype>   // Required for: isspace, isdigit
#include <cstdlib>  // Required for: strtoll
#include <cstring>  // Required for: strlen

#include "assets/hreplacefile.h"
#include "assets/htexturestore.h"

int32_t screenWidth, screenHeight, bitsPerPixel, fullScreen, textureFilter, effectsVolume, musicVolume, frameLimit;
int32_t demoWait;
std::string lobbyAddress;

// Filter 1, linear: the big pictures are 1024 texels drawn at about 650
// pixels in the 640 x 480 window; linear keeps their lettering crisp, where
// mipmaps pick the half-size level and soften it, and nearest makes it
// ragged. The window's 16384 is a common limit of OpenGL's viewport; a
// size the display refuses within it falls back to 640 x 480 (app/shell.cpp).
const HSettingField SETTING_FIELDS[SETTING_COUNT] = {
    {"width", "window width", &screenWidth, 0, 16384, false, 640},
    {"height", "window height", &screenHeight, 0, 16384, false, 480},
    {"bitsPerPixel", "bits per pixel", &bitsPerPixel, 8, 32, true, 0},
    {"fullScreen", "full screen", &fullScreen, 0, 1, false, 0},
    {"textureFilter", "texture filter", &textureFilter, 0, 2, false, 1},
    {"effectsVolume", "effects volume", &effectsVolume, 0, 100, false, 100},
    {"musicVolume", "music volume", &musicVolume, 0, 100, false, 60},
    {"frameLimit", "frame limit", &frameLimit, 0, MAX_FRAME_LIMIT, false, DEFAULT_FRAME_LIMIT},
    {"demoWait", "demo wait", &demoWait, 0, MAX_DEMO_WAIT, false, DEFAULT_DEMO_WAIT},
};

namespace {

// Set before main by the same table as every later reset.
[[maybe_unused]] const bool defaultsSet = (resetSettings(), true);

bool inRange(const HSettingField& field, long long value) {
    return (field.zeroToo && value == 0) || (value >= field.low && value <= field.high);
}

// One number of a file: where it stands, on which line, and its value
// (beyond int32_t it is simply out of every range).
struct Number {
    size_t begin, end;
    int32_t line;
    long long value;
    bool glued;  // letters run on from its digits ("48O"): a typo, not a number
};

// The numbers as one fscanf("%d %d ...") would take them: white space
// skipped, an optional sign, digits; the first item that is not one ends
// the scan. A number whose digits run on into other letters ("48O" for
// 480, "640x480") ends it too, and is kept whole as `glued`: fscanf took
// its digits, and a window 48 high was the result.
int32_t scanNumbers(const std::string& text, Number numbers[SETTING_COUNT]) {
    int32_t count = 0, line = 1;
    size_t at = 0;
    while (count < SETTING_COUNT) {
        while (at < text.size() && isspace(static_cast<unsigned char>(text[at]))) line += text[at++] == '\n';
        size_t digits = at + (at < text.size() && (text[at] == '-' || text[at] == '+'));
        if (digits >= text.size() || !isdigit(static_cast<unsigned char>(text[digits]))) break;
        size_t end = digits;
        while (end < text.size() && isdigit(static_cast<unsigned char>(text[end]))) end++;
        // Past 19 digits strtoll saturates, which is out of every range too.
        size_t word = end;
        while (word < text.size() && !isspace(static_cast<unsigned char>(text[word]))) word++;
        numbers[count++] = {at, word, line, strtoll(text.substr(at, end - at).c_str(), nullptr, 10), word > end};
        if (word > end) break;
        at = end;
    }
    return count;
}

struct Notice {
    std::string file, where;
    std::vector<std::string> kept;
};
std::vector<Notice> notices;

// The file read last has been copied to .bad: a window refused after a
// fault copies nothing more.
bool keptAsBad = false;

void keepBadCopy(const std::string& text) {
    if (keptAsBad) return;
    const std::string bad = std::string(SETTINGS_FILE) + ".bad";
    if (writeTextFile(bad.c_str(), text)) keptAsBad = true;
}

// How many numbers a written file holds: the first seven, and the later
// ones up to the last not at its default.
int32_t numbersWritten() {
    int32_t count = SETTINGS_ALWAYS_WRITTEN;
    for (int32_t i = SETTINGS_ALWAYS_WRITTEN; i < SETTING_COUNT; i++)
        if (*SETTING_FIELDS[i].value != SETTING_FIELDS[i].byDefault) count = i + 1;
    return count;
}

// Where the lobby line is: the first line that starts with LOBBY_KEY and
// white space (or ends there). Its value is the first word after it.
struct LobbyLine {
    bool found = false;
    size_t begin = 0, valueBegin = 0, valueEnd = 0, end = 0;  // `end` past its newline
};

LobbyLine findLobbyLine(const std::string& text) {
    LobbyLine line;
    const size_t keyLength = strlen(LOBBY_KEY);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (size_t at = 0; at < text.size(); at = line.end) {
        const size_t newline = text.find('\n', at);
        line.end = newline == std::string::npos ? text.size() : newline + 1;
        if (text.compare(at, keyLength, LOBBY_KEY) != 0) continue;
        size_t v = at + keyLength;
        if (v < text.size() && !blank(text[v]) && text[v] != '\r' && text[v] != '\n') continue;  // "lobbyist"
        while (v < text.size() && blank(text[v])) v++;
        size_t e = v;
        while (e < text.size() && !isspace(static_cast<unsigned char>(text[e]))) e++;
        line.found = true;
        line.begin = at;
        line.valueBegin = v;
        line.valueEnd = e;
        return line;
    }
    return LobbyLine();
}

// `text` with its lobby line saying lobbyAddress: the value replaced and
// the rest of the line (a comment) kept; the line gone when no lobby is
// set; a new last line when there was none, ending as the file's lines do.
std::string withLobby(std::string text) {
    const LobbyLine line = findLobbyLine(text);
    if (line.found && lobbyAddress.empty()) return text.erase(line.begin, line.end - line.begin);
    if (line.found) {
        const bool spaced = line.valueBegin > line.begin + strlen(LOBBY_KEY);
        return text.replace(line.valueBegin, line.valueEnd - line.valueBegin, (spaced ? "" : " ") + lobbyAddress);
    }
    if (lobbyAddress.empty()) return text;
    const char* newline = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    if (!text.empty() && text.back() != '\n') text += newline;
    return text + LOBBY_KEY + " " + lobbyAddress + newline;
}

// The seven numbers (and the later ones not at their defaults) and the
// line naming them.
std::string numbersText() {
    char numbers[128];
    snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d %d\n", static_cast<int>(screenWidth),
             static_cast<int>(screenHeight), static_cast<int>(bitsPerPixel), static_cast<int>(fullScreen),
             static_cast<int>(textureFilter), static_cast<int>(effectsVolume), static_cast<int>(musicVolume));
    std::string text(numbers);
    std::string names = "width height depth fullscreen filter effects-volume music-volume";
    // The later numbers on the same line, where a game of today reads them;
    // one from before reads as many as it knows and stops.
    static const char* const LATER_NAMES[SETTING_COUNT - SETTINGS_ALWAYS_WRITTEN] = {"frame-limit", "demo-wait"};
    for (int32_t i = SETTINGS_ALWAYS_WRITTEN; i < numbersWritten(); i++) {
        text.insert(text.size() - 1, " " + std::to_string(static_cast<int>(*SETTING_FIELDS[i].value)));
        names += std::string(" ") + LATER_NAMES[i - SETTINGS_ALWAYS_WRITTEN];
    }
    return text + names + "\n";
}

bool readWhole(const char* path, std::string& text) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    fclose(file);
    return true;
}

}  // namespace

std::string rangeText(const HSettingField& field) {
    return std::string(field.zeroToo ? "0 or " : "") + std::to_string(field.low) + " to " + std::to_string(field.high);
}

std::string defaultSettingsLine() {
    std::string line;
    for (int32_t i = 0; i < SETTINGS_ALWAYS_WRITTEN; i++)
        line += (i ? " " : "") + std::to_string(SETTING_FIELDS[i].byDefault);
    return line;
}

void resetSettings() {
    for (const HSettingField& field : SETTING_FIELDS) *field.value = field.byDefault;
    lobbyAddress.clear();
}

int32_t readSettings(const std::string& text, const char* fileName, std::vector<std::string>* kept) {
    Number numbers[SETTING_COUNT];
    const int32_t count = scanNumbers(text, numbers);
    int32_t faults = 0;
    for (int32_t i = 0; i < count; i++) {
        const HSettingField& field = SETTING_FIELDS[i];
        if (!numbers[i].glued && inRange(field, numbers[i].value)) {
            *field.value = static_cast<int32_t>(numbers[i].value);
            continue;
        }
        // As written, not as strtoll saturated it.
        const std::string written = text.substr(numbers[i].begin, numbers[i].end - numbers[i].begin);
        fprintf(stderr, "%s:%d: %s %s is not %s; kept %d\n", fileName, static_cast<int>(numbers[i].line), field.said,
                written.c_str(), numbers[i].glued ? "a number" : rangeText(field).c_str(),
                static_cast<int>(field.byDefault));
        *field.value = field.byDefault;
        if (kept) kept->push_back(std::string(field.said) + " kept " + std::to_string(field.byDefault));
        faults++;
    }
    const LobbyLine lobby = findLobbyLine(text);
    if (lobby.found && lobby.valueEnd - lobby.valueBegin <= MAX_LOBBY_TEXT)
        lobbyAddress = text.substr(lobby.valueBegin, lobby.valueEnd - lobby.valueBegin);
    return faults;
}

void loadSettings() {
    keptAsBad = false;  // a new read: what was kept was an older file
    std::string text;
    if (!readWhole(SETTINGS_FILE, text)) {
        fprintf(stderr, "Unable to open inicialization file. Using default valueas.\n");
    } else {
        std::vector<std::string> kept;
        if (readSettings(text, SETTINGS_FILE, &kept) > 0) {
            keepBadCopy(text);
            for (const std::string& k : kept)
                noteFileFaults(SETTINGS_FILE, k, keptAsBad ? std::string("yours is in ") + SETTINGS_FILE + ".bad" : "");
        }
    }
    theTextureStore.setFilterMode(textureFilter);
}

void settingsRefused(const std::string& kept) {
    std::string text;
    if (readWhole(SETTINGS_FILE, text)) keepBadCopy(text);
    noteFileFaults(SETTINGS_FILE, kept, keptAsBad ? std::string("yours is in ") + SETTINGS_FILE + ".bad" : "");
}

std::string settingsText() { return withLobby(numbersText()); }

std::string settingsTextOver(const std::string& old) {
    Number numbers[SETTING_COUNT];
    const int32_t count = scanNumbers(old, numbers);
    if (count == 0) return withLobby(numbersText() + old);
    // What follows the last number cannot start with one (the scan would
    // have taken it), so numbers added there are read as the next ones.
    const int32_t wanted = numbersWritten();
    std::string added;
    for (int32_t i = count; i < wanted; i++) added += " " + std::to_string(*SETTING_FIELDS[i].value);
    std::string text = old.substr(0, numbers[count - 1].end) + added + old.substr(numbers[count - 1].end);
    // From the last number back, so that the places before stay true.
    for (int32_t i = count - 1; i >= 0; i--)
        text.replace(numbers[i].begin, numbers[i].end - numbers[i].begin, std::to_string(*SETTING_FIELDS[i].value));
    return withLobby(text);
}

bool saveSettings() {
    std::string old;
    return writeTextFile(SETTINGS_FILE, readWhole(SETTINGS_FILE, old) ? settingsTextOver(old) : settingsText());
}

bool writeTextFile(const char* path, const std::string& text) {
    return hReplaceFile(path, [&text](FILE* out) { return fwrite(text.data(), 1, text.size(), out) == text.size(); });
}

void noteFileFaults(const char* file, const std::string& kept, const std::string& where) {
    Notice* notice = nullptr;
    for (Notice& n : notices) notice = n.file == file ? &n : notice;
    if (notice == nullptr) {
        notices.push_back(Notice{file, "", {}});
        notice = &notices.back();
    }
    notice->kept.push_back(kept);
    if (!where.empty()) notice->where = where;
}

std::vector<std::string> fileNotices() {
    std::vector<std::string> lines;
    for (const Notice& n : notices) {
        std::string line = n.file + ":";
        const int32_t shown = static_cast<int32_t>(n.kept.size()) < NOTICE_ITEMS ? static_cast<int32_t>(n.kept.size())
                                                                                : NOTICE_ITEMS;
        for (int32_t i = 0; i < shown; i++) line += (i ? ", " : " ") + n.kept[i];
        if (static_cast<int32_t>(n.kept.size()) > shown)
            line += " and " + std::to_string(n.kept.size() - shown) + " more";
        if (!n.where.empty()) line += "; " + n.where;
        lines.push_back(line);
    }
    return lines;
}

void dismissFileNotices() { notices.clear(); }
