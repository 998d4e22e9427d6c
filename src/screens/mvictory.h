// mvictory.h: the result of a finished match, then what each ship did in
// it, a page a key, the first key after one second.
//
// Over the baked picture of who won, lines written at run time say what it
// cannot know: each ship's health left and who flew it, beside the picture's
// ship and ray art, and the match's length under its title. The second page
// shows the match's statistics (MatchResult::stats) over the same picture,
// darkened, as a table: a row a number, a column a ship. Both are laid out
// in the menu's 4:3 frame (MFrame), so they keep inside every window from
// 5:4 to 21:9.
//
// Transitions, each on a key pressed once more than 1000 ms of updates have
// arrived:
//   the result (page 0) -> the statistics (page 1);
//   the statistics -> menu (showMenu; the application switches once keyDown
//     has returned).
#pragma once

#include <cstdint>
#include <string>

#include "game/matchresult.h"
#include "screens/hscreen.h"

class HScreenHost;
class MText;

class MVictory : public HScreen {
public:
    // Keeps a copy of the result and loads "won_l.jpg", "won_r.jpg" or
    // "remiza.jpg" for it, then the font.
    MVictory(HScreenHost* application, const MatchResult& result);
    MVictory(const MVictory&) = delete;
    MVictory& operator=(const MVictory&) = delete;
    ~MVictory() override;

    void keyDown(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;
    // The result never changes once drawn.
    bool unchanged() const override { return drawn; }

    // The picture for a result: the left player won, the right one did, or
    // neither (a draw, or a match that did not finish).
    static const char* pictureFor(const MatchResult& result);

    // What the lines say, sides by GSide.
    struct Lettering {
        std::string length;     // "Match time 1:07", whole seconds cut
        std::string flown[2];   // "left keys", "ace", "the other machine", "nobody"
        std::string health[2];  // "35 health left"; a destroyed ship has 0, not less
    };
    static Lettering letteringFor(const MatchResult& result);

    // The statistics page's table: a row a number, its name, then the
    // left ship's value and the right one's (by GSide). Accuracy in whole
    // percent, rounded down; times in seconds with a tenth, cut.
    struct StatsRow {
        std::string name;    // "Shots", "Hits", "Accuracy", "Bounces", "Longest unhit", "Time ahead"
        std::string by[2];   // "178", "11%", "13.0 s"
    };
    static constexpr int32_t STATS_ROWS = 6;
    struct StatsTable {
        StatsRow rows[STATS_ROWS];
    };
    static StatsTable statsTableFor(const MatchResult& result);

    // The picture's quad, DISTANCE in front of the eye: as wide as a 21:9
    // window shows there (2.16 either side of the middle), so that no
    // window from 5:4 to 21:9 has black beside it; the lettering keeps to
    // the middle.
    static constexpr float DISTANCE = 2.2f;
    static constexpr float HALF_WIDTH = 2.2f;
    static constexpr float HALF_HEIGHT = 1.0f;

    MatchResult result;
    HScreenHost* application;
    int32_t image;    // texture index, -1 when none
    int32_t elapsed;  // ms of delivered updates; the dropped first one is not counted
    MText* text;      // owned; null without memory, and the picture shows alone
    Lettering says;   // letteringFor(result), made once
    StatsTable table;  // statsTableFor(result), made once
    int32_t page = 0;  // 0: the result; 1: the statistics
    bool drawn = false;  // the page shown has been drawn

private:
    void drawStats() const;
};
