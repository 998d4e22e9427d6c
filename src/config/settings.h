// settings.h: the values of the settings file "vkt.txt".
//
// The file holds up to nine whitespace-separated decimal integers in this
// order; reading stops at the first item that is not one, and every value
// not read keeps its default. Nothing after the ninth integer is read, so
// the file may go on with free text explaining them. The two volumes, the
// frame limit and the demo's wait came later: a file of five numbers and
// notes still reads as it always did, unless its notes start with a
// number. A game from before the frame limit reads seven numbers and
// stops, one from before the demo eight, so a file with more still reads
// there as it did.
//
// A number outside its setting's range (SETTING_FIELDS) never reaches SDL
// or the mixer: it keeps the default, costs one line on standard error
// naming file, line and what was kept, and a line of the start-up notice
// (fileNotices). The file itself is then copied to "vkt.txt.bad", so that
// what the player wrote survives the settings screen writing it over.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern int32_t screenWidth;    // pixels; 0 takes the display's
extern int32_t screenHeight;   // pixels; 0 takes the display's
extern int32_t bitsPerPixel;   // 0 asks SDL for the display's depth
extern int32_t fullScreen;     // 1 full screen, 0 a window
extern int32_t textureFilter;  // 0 nearest, 1 linear, 2 mipmapped
extern int32_t effectsVolume;  // 0 .. 100
extern int32_t musicVolume;    // 0 .. 100
// Frames a second the main loop draws at most; 0 draws unpaced, as many as
// it can. At most MAX_FRAME_LIMIT.
extern int32_t frameLimit;
constexpr int32_t DEFAULT_FRAME_LIMIT = 120;
// Past a frame a millisecond the limit could not be kept by the clock the
// loop reads (SDL_GetTicks, whole milliseconds).
constexpr int32_t MAX_FRAME_LIMIT = 1000;
// Seconds the main menu waits without a key or a pad button before it
// plays a demo match by itself; 0 never does. An hour at most: a longer
// wait is as good as never, and the number stays far from int32_t's end
// once made milliseconds.
extern int32_t demoWait;
constexpr int32_t DEFAULT_DEMO_WAIT = 60;
constexpr int32_t MAX_DEMO_WAIT = 3600;

constexpr const char* SETTINGS_FILE = "vkt.txt";

// The lobby where this game meets players of other homes ("HOST[:PORT]"),
// the settings screen's Lobby line; empty: none, the default, since the
// project runs no public one. Not a number, so not a field: the file holds
// it on a line of its own, "lobby HOST[:PORT]", anywhere after the numbers
// (a game from before stops reading at the names line and never sees it),
// and only while one is set, so that a player who never set one gets the
// file byte for byte as before. Checked where it is typed, not here: the
// settings know no network.
extern std::string lobbyAddress;
// The word that starts the line; the longest value kept (a host name's 253
// and ":65535").
constexpr const char* LOBBY_KEY = "lobby";
constexpr size_t MAX_LOBBY_TEXT = 259;

// One number of the file, in the file's order. The defaults here are the
// only ones: the game without a file, the settings screen's Defaults line
// and the shipped file the baker writes (tools/baker/bakeall.cpp) all take
// them, so that a new player and one who asked for the defaults start
// alike. A value is in range when it is `low` to `high`, or 0 where
// `zeroToo` (bits per pixel: SDL takes 0 as the display's depth and
// refuses 1 to 7 with "Invalid bits per pixel").
struct HSettingField {
    const char* key;   // the shipped file's name for it: "bitsPerPixel"
    const char* said;  // the messages': "bits per pixel"
    int32_t* value;
    int32_t low, high;
    bool zeroToo;
    int32_t byDefault;
};
constexpr int32_t SETTING_COUNT = 9;
extern const HSettingField SETTING_FIELDS[SETTING_COUNT];
// The first seven are always written; those after them (the frame limit,
// the demo's wait) only up to the last one not at its default, so that a
// player who never set them gets the file byte for byte as before.
constexpr int32_t SETTINGS_ALWAYS_WRITTEN = 7;
// "0 to 100", "0 or 8 to 32": a field's range as the messages say it.
std::string rangeText(const HSettingField& field);
// The numbers line of a file holding the defaults (the first seven; the
// later ones are left to their defaults, as settingsText leaves them).
std::string defaultSettingsLine();

// Puts the values back to their defaults, the lobby to none.
void resetSettings();

// Reads the text of the file `fileName` onto the values as they stand, one
// line on standard error for each number out of range (which keeps its
// default). Returns how many were out of range; `kept` gets a short phrase
// for each ("bits per pixel kept 0"). A lobby line, where there is one,
// sets lobbyAddress (its first word; one longer than MAX_LOBBY_TEXT is
// left out, as an address nobody could have typed).
int32_t readSettings(const std::string& text, const char* fileName, std::vector<std::string>* kept = nullptr);

// Reads SETTINGS_FILE from the working directory, or reports its absence and
// keeps the defaults; then hands textureFilter to the texture store. A file
// with numbers out of range is noted (noteFileFaults) and copied to
// SETTINGS_FILE.bad.
void loadSettings();
// After the file was read, something it asked for could not be had (the
// display refused the window): `kept` is said in the notice, and the file
// is kept as SETTINGS_FILE.bad as for a number out of range.
void settingsRefused(const std::string& kept);

// The file as the settings screen writes it when there is none: the seven
// numbers, then a line naming them, which a game of any version reads
// past. The frame limit and the demo's wait follow as an eighth and ninth
// number only up to the last not at its default (SETTINGS_ALWAYS_WRITTEN),
// so that a player who never set them gets the file byte for byte as
// before, and the file keeps following the defaults should they change.
// A lobby, when set, is the last line.
std::string settingsText();
// `old` (a settings file's text) with its numbers replaced by the values
// as they stand and everything else, comments and spacing, as it was.
// Values the file did not hold are added after its last number, on its
// line: the seven always, the later ones as settingsText writes them.
// Empty or numberless, settingsText()'s numbers and names go before it.
// Its lobby line takes the lobby set, or goes with none; without one, a
// lobby set is added as the last line.
std::string settingsTextOver(const std::string& old);
// Writes SETTINGS_FILE with settingsTextOver(what it holds), or
// settingsText() without one; false, with a line on standard error, when
// it could not be written.
bool saveSettings();

// Writes `text` to `path` through `path`.tmp and a rename, as the replay is
// written, so that a crash or a full disk leaves the old file whole. False,
// with "Unable to write PATH: REASON" on standard error, on failure.
bool writeTextFile(const char* path, const std::string& text);

// --- the start-up notice ------------------------------------------------------
// What the files read at start-up had wrong, for the main menu to show
// until the first key: one line a file ("vkt.txt: bits per pixel kept 0;
// yours is in vkt.txt.bad"). Kept here, below every screen, because the
// files are read before any screen exists and the menu is built anew each
// time it shows.

// Adds `kept` to `file`'s line, which names at most NOTICE_ITEMS of them
// and counts the rest: a line must fit a 640 pixel window. A `where`
// (where the file is kept) ends the line; the last one given stands.
void noteFileFaults(const char* file, const std::string& kept, const std::string& where = "");
constexpr int32_t NOTICE_ITEMS = 3;
// The lines, in the order the files were first noted; none once dismissed.
std::vector<std::string> fileNotices();
void dismissFileNotices();
