// greplaylibrary.h: the folder of kept replays, one file a match.
//
// Every match the game keeps as its last one is also written here, under a
// name that says when it ended (local time) and who flew each ship:
//
//   2026-12-09_21-04-33_left-keys_vs_ace.vkr
//   2026-12-09_21-04-33-2_remote-right-keys_vs_left-keys.vkr
//
// A side is its controller kind's name with spaces as '-' (gcontrollerkinds.h),
// "remote-" before it when the ship was flown from another machine (a network
// match's other side; both, for a spectator), and "nobody" for a choice no
// kind has. The second match ending in the same second gets "-2" after the
// seconds, the third "-3", and so on, so that two never share a file and the
// order of the names is the order of the matches. Two games writing into one
// folder at once (a network match on one machine) are kept apart too: a name
// is taken with an exclusive create before the replay goes into it.
//
// A file is "ours" when its whole name has exactly that shape: only those
// are listed, counted and pruned. Anything else a player puts in the folder
// (a friend's replay under its own name, notes, a subfolder) stays untouched.
//
// Newest first means by the name's time, then its number: a file's
// modification time changes when it is copied, its name does not.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "game/greplay.h"

// What a name of ours says.
struct GReplayName {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int32_t number = 1;  // 1 for the first in its second (no suffix), then 2, 3, ...
    std::string left, right;  // the sides as written ("left-keys", "remote-ace", "nobody")
};

// A name of ours in the folder, and what its file holds once read.
struct GReplayEntry {
    std::string file;  // the name in the folder, without the folder
    GReplayName name;
    bool read = false;  // readEntry has been called
    GReplayRead status = GReplayRead::OK;
    std::string why;   // on anything but OK, in the reader's words
    uint32_t endMs = 0;
    uint8_t end = vkr::END_FINISHED;
    int32_t leftHealth = 0, rightHealth = 0;
};

class GReplayLibrary {
public:
    // The folder the game keeps its replays in, beside lastmatch.vkr in
    // the working folder (the player's folder, for the installed game).
    static constexpr const char* FOLDER = "replays";
    // How many replays of ours the folder keeps: the newest.
    static constexpr size_t KEEP = 200;
    // Bits of `remoteSides`: the ship flown from another machine.
    static constexpr uint32_t REMOTE_LEFT = 1u << 0;
    static constexpr uint32_t REMOTE_RIGHT = 1u << 1;

    // Where the environment variable of that name points (the launcher's
    // doing: it runs the game in a working folder of links that goes when
    // the game ends, and points here into the player's own folder), or
    // else FOLDER.
    static constexpr const char* FOLDER_VARIABLE = "VEKTORAK_REPLAY_FOLDER";
    static std::string defaultFolder();

    // `folder` may be relative (to the working folder at each call).
    explicit GReplayLibrary(std::string folder = defaultFolder());

    // --- names --------------------------------------------------------------

    // A side's part of a name: "left-keys", "remote-ace", "nobody".
    static std::string sideName(ControllerChoice choice, bool remote);
    // The whole name for a match that ended at `when` (local time, as
    // localtime gives it), `number` >= 1 in its second.
    static std::string fileName(const std::tm& when, int32_t number, const std::string& left,
                                const std::string& right);
    // Whether `file` is one of ours; `name` is filled when it is. Refuses
    // anything fileName could not have made: a month 13, a number 1 or 0
    // written out, a leading zero, a side that is empty or has a '_'.
    static bool parseName(const std::string& file, GReplayName& name);
    // Whether `a` is newer than `b`.
    static bool newer(const GReplayName& a, const GReplayName& b);

    // --- the folder ---------------------------------------------------------

    // Writes `replay` as a new file named for `when` (seconds since the
    // epoch, shown in local time) and its sides, then prunes to KEEP. The
    // folder is made when missing. On failure one line on standard error,
    // nothing left behind, and an empty string; else the file's name.
    std::string keep(const GReplay& replay, uint32_t remoteSides, std::time_t when);
    // Our files in the folder, newest first, not read. A missing folder is
    // an empty list, silently; one that cannot be read, a line on standard
    // error and an empty list.
    std::vector<GReplayEntry> list() const;
    // Reads `entry`'s file and fills its result fields.
    void readEntry(GReplayEntry& entry) const;
    // Removes all but the newest `count` files of ours; returns how many went.
    size_t prune(size_t count) const;
    // Removes one file of ours; false (and a line on standard error) when it
    // could not, or when `file` is not one of ours.
    bool remove(const std::string& file) const;

    // `file` inside the folder.
    std::string pathOf(const std::string& file) const;
    // The folder as an absolute path, for a player to find the files; the
    // folder itself need not exist yet.
    std::string absoluteFolder() const;
    const std::string& folder() const { return where; }

private:
    std::string where;
};
