// mvictory.h: the result of a finished match, until a key after one second.
//
// Over the baked picture of who won, lines written at run time say what it
// cannot know: each ship's health left and who flew it, beside the picture's
// ship and ray art, and the match's length under its title. They are laid
// out in the menu's 4:3 frame (MFrame), so they keep inside every window
// from 5:4 to 21:9.
//
// Transition: the first key pressed once more than 1000 ms of updates have
// arrived -> menu (showMenu; the application switches once keyDown has
// returned).
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
    bool drawn = false;
};
