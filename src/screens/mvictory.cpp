// mvictory.cpp: showing who won.
#include "screens/mvictory.h"

#include <cstdio>  // Required for: snprintf
#include <new>     // Required for: std::nothrow

#include <GL/gl.h>

#include "assets/htexturestore.h"
#include "game/gcontrollerkinds.h"
#include "screens/hscreenhost.h"
#include "screens/mtext.h"
#include "screens/texturedquad.h"

const char* MVictory::pictureFor(const MatchResult& result) {
    if (!result.finished) return "remiza.jpg";
    if (result.leftHealth > 0 && result.rightHealth <= 0) return "won_l.jpg";
    if (result.rightHealth > 0 && result.leftHealth <= 0) return "won_r.jpg";
    return "remiza.jpg";
}

MVictory::Lettering MVictory::letteringFor(const MatchResult& result) {
    Lettering out;
    const uint32_t seconds = result.lengthMs / 1000;
    char line[64];
    snprintf(line, sizeof line, "Match time %u:%02u", static_cast<unsigned>(seconds / 60),
             static_cast<unsigned>(seconds % 60));
    out.length = line;
    const ControllerChoice choices[2] = {result.leftChoice, result.rightChoice};
    const int32_t healths[2] = {result.leftHealth, result.rightHealth};
    for (int32_t side = 0; side < 2; side++) {
        const GControllerKind* kind = controllerKind(choices[side]);
        out.flown[side] = side == result.otherMachineSide ? "the other machine" : kind != nullptr ? kind->name : "nobody";
        snprintf(line, sizeof line, "%d health left", static_cast<int>(healths[side] > 0 ? healths[side] : 0));
        out.health[side] = line;
    }
    return out;
}

MVictory::StatsTable MVictory::statsTableFor(const MatchResult& result) {
    StatsTable out;
    static const char* const NAMES[STATS_ROWS] = {"Shots", "Hits", "Accuracy", "Bounces", "Longest unhit", "Time ahead"};
    char line[32];
    for (int32_t row = 0; row < STATS_ROWS; row++) {
        out.rows[row].name = NAMES[row];
        for (int32_t side = 0; side < 2; side++) {
            const GShipStats& ship = result.stats.ships[side];
            // By row: a count, a percentage, or a time in ms.
            const uint32_t values[STATS_ROWS] = {ship.shots, ship.hits, 0, ship.bounces, ship.longestUnhitMs, ship.aheadMs};
            const unsigned v = values[row];
            if (row == 2) {
                // A hair over, so that 29 of 100 is not 28.999... cut to 28.
                snprintf(line, sizeof line, "%u%%", static_cast<unsigned>(ship.accuracy() * 100.0 + 1e-9));
            } else if (row < 4) {
                snprintf(line, sizeof line, "%u", v);
            } else {
                snprintf(line, sizeof line, "%u.%u s", v / 1000, v % 1000 / 100);
            }
            out.rows[row].by[side] = line;
        }
    }
    return out;
}

MVictory::MVictory(HScreenHost* application, const MatchResult& result)
    : result(result),
      application(application),
      image(-1),
      elapsed(0),
      text(nullptr),
      says(letteringFor(result)),
      table(statsTableFor(result)) {
    image = theTextureStore.load(pictureFor(this->result));
    text = new (std::nothrow) MText();
}

MVictory::~MVictory() {
    delete text;
    theTextureStore.release(image);
}

void MVictory::keyDown(uint8_t key) {
    (void)key;  // every key counts
    // Presses during the lock-out are dropped, not remembered: a player
    // still hammering fire when the match ends does not skip the result.
    if (elapsed <= 1000) return;
    if (page == 0) {
        page = 1;
        drawn = false;
    } else {
        application->showMenu();
    }
}

void MVictory::update(int32_t ms) { elapsed += ms; }

void MVictory::draw() {
    drawn = true;
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -DISTANCE);
    theTextureStore.bind(image);
    // The statistics keep the picture, dimmed, so that the page still says
    // whose match it was; the table's lines would not read over it bright.
    if (page == 1) glColor3f(0.2f, 0.2f, 0.2f);
    drawTexturedQuad(-HALF_WIDTH, HALF_HEIGHT, HALF_WIDTH, -HALF_HEIGHT, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    if (text == nullptr) return;
    if (page == 1) {
        drawStats();
        return;
    }

    // Frame units, 480 to the frame's height. The picture's art, seen in
    // the frame of a 4:3 window: the title's letters about 45 to 80 below
    // the top, the winner's ship x 270 to 370 and 110 to 260 down, the two
    // ships of a draw round x 157 and 483, 187 down, the big word x 105 to
    // 535 from 265 down, "press any key" at 440. A 5:4 window spreads the
    // art some 7 % further in frame units: the columns keep 215 and more
    // from the middle, above the big word. Sides by GSide.
    const MFrame f = MFrame::ofViewport();
    const float middle = f.width / 2.0f;
    static const char* const SHIP[2] = {"LEFT SHIP", "RIGHT SHIP"};
    // The pale tints of the sides' colours, as the baker's titles wear them.
    static const float TINT[2][3] = {{0.67f, 0.88f, 1.0f}, {1.0f, 0.80f, 0.59f}};
    MText::beginOverlay();
    text->drawCentred(says.length.c_str(), middle, f.below(112.0f), 17.0f * f.unit, 0.85f, 0.85f, 0.9f);
    for (int32_t side = 0; side < 2; side++) {
        const float x = middle + (side == 0 ? -260.0f : 260.0f) * f.unit;
        const float* tint = TINT[side];
        text->drawCentred(SHIP[side], x, f.below(188.0f), 17.0f * f.unit, tint[0], tint[1], tint[2]);
        text->drawCentred(says.flown[side].c_str(), x, f.below(212.0f), 14.0f * f.unit, 0.9f, 0.9f, 0.9f);
        text->drawCentred(says.health[side].c_str(), x, f.below(234.0f), 14.0f * f.unit, 0.9f, 0.9f, 0.9f);
    }
    MText::endOverlay();
}

void MVictory::drawStats() const {
    // Frame units, as above: the title under the picture's, the table's
    // names from 280 left of the middle, a column a ship right of the
    // middle, rows 32 apart down to 370, clear of "press any key" at 440.
    const MFrame f = MFrame::ofViewport();
    const float middle = f.width / 2.0f;
    static const char* const SHIP[2] = {"LEFT SHIP", "RIGHT SHIP"};
    static const float TINT[2][3] = {{0.67f, 0.88f, 1.0f}, {1.0f, 0.80f, 0.59f}};
    const float column[2] = {middle + 70.0f * f.unit, middle + 230.0f * f.unit};
    const float size = 18.0f * f.unit;
    MText::beginOverlay();
    text->drawCentred("MATCH STATISTICS", middle, f.below(124.0f), 24.0f * f.unit, 0.92f, 0.92f, 0.95f);
    for (int32_t side = 0; side < 2; side++) {
        text->drawCentred(SHIP[side], column[side], f.below(172.0f), size, TINT[side][0], TINT[side][1], TINT[side][2]);
    }
    for (int32_t row = 0; row < STATS_ROWS; row++) {
        const float y = f.below(210.0f + 32.0f * static_cast<float>(row));
        const char* name = table.rows[row].name.c_str();
        text->drawCentred(name, middle - 280.0f * f.unit + MText::width(name, size) / 2.0f, y, size, 0.8f, 0.8f, 0.85f);
        for (int32_t side = 0; side < 2; side++) {
            text->drawCentred(table.rows[row].by[side].c_str(), column[side], y, size, 0.95f, 0.95f, 0.95f);
        }
    }
    MText::endOverlay();
}
