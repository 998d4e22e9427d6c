// mreplays.h: the replay screen: the kept replays (game/greplaylibrary.h),
// newest first, to watch again, to remove, or to find in the folder.
//
// A line says when the match ended, who flew each ship (from the file's
// name), the result with both ships' healths and the match's length (from
// the file). A file that cannot be read shows as damaged; Return on it only
// says why. The folder's absolute path is written under the title, so that
// a player can find the files to share; with no replay yet, the screen
// says how one is made.
//
// Keys: Up and Down choose a line, Page Up and Page Down a page of PAGE
// lines (the cursor keys arrive through symbolDown only). Delete asks, and
// a second Delete removes the chosen file; any other key takes the question
// back, and does nothing else. Transitions, made by the application once
// the key's call has returned:
//   Return on a readable replay -> that replay (watchReplay); when it ends
//     (past its result, for a finished match) or is left with Escape, this
//     screen again, read afresh, with the line
//     of the same file chosen (the line at the same place when the file has
//     gone meanwhile): a player going through the replays one by one never
//     loses their place.
//   Escape -> the main menu (showMenu).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/greplaylibrary.h"
#include "screens/hscreen.h"

class HScreenHost;
class MText;

class MReplays : public HScreen {
public:
    // Lines shown at once, and the step of Page Up and Page Down.
    static constexpr int32_t PAGE = 15;

    // Lists and reads every replay of `folder` now, and chooses the line of
    // `chosenFile` (the first line when it is empty or gone); loads the
    // font. The menu's sky comes with the first update after the first
    // frame. `application` is not owned and may be null (tests, the
    // benchmark): Return and Escape then switch nowhere.
    MReplays(HScreenHost* application, const std::string& chosenFile,
             const std::string& folder = GReplayLibrary::defaultFolder());
    ~MReplays() override;
    MReplays(const MReplays&) = delete;
    MReplays& operator=(const MReplays&) = delete;

    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    // Loads the sky once the list has been drawn, so that the list opens
    // fast (bench/README.md, bench_replays).
    void update(int32_t ms) override;
    void draw() override;
    // Until a key, or the sky's arrival.
    bool unchanged() const override { return drawn; }

    // A line's columns: "2026-12-09 21:04:33", "left keys vs ace (remote)",
    // "left won 45 - 0" (the left ship's health first, none below 0; a
    // match left before its end is "not finished"; "damaged"), "1:23".
    struct Columns {
        std::string when, who, result, length;
    };
    static Columns columns(const GReplayEntry& entry);

    GReplayLibrary library;
    std::vector<GReplayEntry> entries;  // newest first, every one read
    int32_t chosen = 0;    // index into entries; 0 when there are none
    int32_t first = 0;     // the first line shown
    bool confirming = false;  // Delete asked once
    std::string notice;    // what the last key could not do, until the next

private:
    // Keeps the chosen line inside [0, size) and on the page shown.
    void place();

    HScreenHost* application;
    MText* text;
    int32_t sky = -1;  // "menu_sky.jpg", the whole backdrop; -1 until loaded, or without it
    bool skyLooked = false;  // loaded, or tried
    bool drawn = false;
};
