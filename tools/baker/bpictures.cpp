// bpictures.cpp: layouts of the menu, controller, victory, backdrop and hull
// pictures.
//
// Where each picture is seen decides its layout. With the default 4:3
// window and the 45 degree camera:
// - "menu.jpg" covers a 36 x 28 quad 32.2 units away, of which only
//   x within +-17.8 and y within +-13.3 are on screen. The two ships and
//   the logo turn in front of it; its lettering goes wherever they never
//   pass, which the baker works out from the models themselves
//   (bmenucoverage.h, bmenulayout.h). The two controller pictures are
//   drawn 2.1 units away, in front of everything; projected onto the
//   picture they cover x = -10.12 .. -3.99 (left) and 3.99 .. 10.12
//   (right), y = -6.13 .. -3.07, and get a frame drawn around them.
// - The controller pictures fill 0.4 x 0.2 quads: about 110 x 55 pixels in
//   a 640 x 480 window, so they carry big key shapes and few words.
// - The victory pictures fill a 4.4 x 2 quad 2.2 units away, as wide as
//   a 21:9 window shows, of which y within +-0.91 is on screen at 4:3 and
//   wider; text stays inside +-0.82 and in the middle.
// - "menu_sky.jpg" and "pozadi_sky.jpg" lie behind the menu picture and
//   the backdrop, in their planes, and show only where those end: at the
//   sides of a window wider than 4:3, above and below in a narrower one.
//   Their sky is the very one of the picture they surround, laid out on
//   that picture's pixels, so its nebula runs on across the edge.
// - "pozadi.jpg" fills a 110 x 86 quad 100 units away, nearly the whole
//   view: the match is played over all of it, so it stays dark.
#include "baker/bpictures.h"

#include <algorithm>  // Required for: std::max, std::min, std::clamp
#include <cmath>      // Required for: std::sin, std::cos, std::atan2, std::sqrt, std::pow, std::fabs
#include <vector>

#include "baker/bmenucoverage.h"  // Required for: VISIBLE_4_3, the settings picture's frame
#include "baker/bspace.h"
#include "screens/gview.h"
#include "screens/mmenulayout.h"
#include "screens/msettings.h"
#include "screens/mvictory.h"

BFonts::BFonts(const std::string& directory)
    : regular((directory + "/DejaVuSans.ttf").c_str()),
      bold((directory + "/DejaVuSans-Bold.ttf").c_str()) {}

namespace {

constexpr float PI = 3.14159265358979f;

// Share of the em square that a DejaVu capital letter fills.
constexpr float CAP_HEIGHT = 0.729f;

const BColour WHITE{1.0f, 1.0f, 1.0f};
const BColour TEXT{0.86f, 0.89f, 0.96f};
const BColour DIM_TEXT{0.62f, 0.67f, 0.78f};

// Maps a quad's units (origin at its centre, y up) onto canvas pixels.
struct Frame {
    float ppu;     // pixels per unit
    float cx, cy;  // the pixel of the quad's centre
    float x(float u) const { return cx + u * ppu; }
    float y(float v) const { return cy - v * ppu; }
    float d(float length) const { return length * ppu; }
};

Frame frameFor(const BCanvas& canvas, float quadHeight) {
    const float ppu = static_cast<float>(canvas.height()) / quadHeight;
    return {ppu, static_cast<float>(canvas.width()) * 0.5f, static_cast<float>(canvas.height()) * 0.5f};
}

// Logical canvas size for a quad: height pixels high, square pixels.
BCanvas canvasFor(float quadWidth, float quadHeight, int height) {
    return BCanvas(static_cast<int>(std::lround(quadWidth / quadHeight * static_cast<float>(height))), height);
}

float smooth(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

enum class Align { Left, Centre };

// Text with a soft halo behind it. haloRadius is in pixels.
void glowText(BCanvas& canvas, const BFont& font, const std::string& text, float x, float baseline, float size,
              float tracking, BColour fill, BColour halo, int haloRadius, float haloStrength,
              Align align = Align::Centre) {
    BMask mask(canvas.width(), canvas.height());
    if (align == Align::Centre)
        font.drawCentred(mask, text, x, baseline, size, tracking);
    else
        font.draw(mask, text, x, baseline, size, tracking);
    if (haloStrength > 0.0f) canvas.glow(mask.blurred(haloRadius), halo, haloStrength);
    canvas.paint(mask, fill);
}

// Plain text, no halo.
void text(BCanvas& canvas, const BFont& font, const std::string& words, float x, float baseline, float size,
          BColour fill, Align align = Align::Left, float tracking = 0.0f) {
    glowText(canvas, font, words, x, baseline, size, tracking, fill, fill, 0, 0.0f, align);
}

// Glow whose colour runs from left to right across [x0, x1].
void glowAcross(BCanvas& canvas, const BMask& mask, BColour left, BColour right, float x0, float x1,
                float strength) {
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const float a = mask.at(x, y) * strength;
            if (a <= 0.0f) continue;
            canvas.addLight(x, y, mix(left, right, smooth(x0, x1, static_cast<float>(x))), a);
        }
}

// Letters in polished chrome: pale sky above a horizon line at 55% of the
// cap height, a deep blue below it brightening towards the baseline.
BColour chrome(float t, BColour tint) {
    if (t < 0.55f) return mix(WHITE, mix({0.72f, 0.82f, 1.0f}, tint, 0.25f), t / 0.55f);
    return mix(mix({0.16f, 0.22f, 0.50f}, tint, 0.3f), {0.92f, 0.95f, 1.0f}, std::pow((t - 0.55f) / 0.45f, 1.4f));
}

// A keyboard key: left edge x, vertical centre cy, in pixels; width 0 fits
// the key to its label. Returns its right edge.
float keyCap(BCanvas& canvas, const BFonts& fonts, const std::string& label, float x, float cy, float height,
             float textSize, float width = 0.0f) {
    if (width <= 0.0f) width = std::max(height, fonts.bold.measure(label, textSize) + height * 0.7f);
    const float top = cy - height * 0.5f, bottom = cy + height * 0.5f, radius = height * 0.2f;
    BMask shape(canvas.width(), canvas.height());
    shape.fillRoundRect(x, top + height * 0.08f, x + width, bottom + height * 0.08f, radius);
    canvas.paint(shape, {0.0f, 0.0f, 0.0f}, 0.6f);  // shadow
    shape.clear();
    shape.fillRoundRect(x, top, x + width, bottom, radius);
    canvas.paintShaded(shape, [&](int, int py) {
        const float t = (static_cast<float>(py) - top) / height;
        return mix({0.34f, 0.38f, 0.48f}, {0.10f, 0.12f, 0.17f}, t);
    });
    shape.clear();
    shape.strokeRoundRect(x, top, x + width, bottom, radius, std::max(1.0f, height * 0.06f));
    canvas.paint(shape, {0.70f, 0.76f, 0.88f});
    BMask letters(canvas.width(), canvas.height());
    fonts.bold.drawCentred(letters, label, x + width * 0.5f, cy + textSize * CAP_HEIGHT * 0.5f, textSize);
    canvas.paint(letters, WHITE);
    return x + width;
}

// --- the ship seen from above, for the victory pictures ----------------------------
//
// The outline follows the 3D model (bmodels.cpp) seen from above: a
// fuselage 5.6 long and 1.24 wide at most, swept delta wings 3.5 across,
// the fin along the spine over the tail. Points are (along, across) in
// model units, nose at along = -2.8; the caller turns them to point up or
// sideways.

struct ShipOutline {
    std::vector<BPoint> fuselage, leftWing, rightWing;
    BPoint finFront, finBack;
    BPoint cockpit;
};

ShipOutline shipOutline() {
    ShipOutline s;
    s.fuselage = {{-2.8f, 0.0f},   {-2.45f, 0.15f},  {-1.95f, 0.31f},  {-1.2f, 0.46f},  {-0.3f, 0.58f},
                  {0.8f, 0.62f},   {1.8f, 0.6f},     {2.6f, 0.52f},    {2.6f, -0.52f},  {1.8f, -0.6f},
                  {0.8f, -0.62f},  {-0.3f, -0.58f},  {-1.2f, -0.46f},  {-1.95f, -0.31f}, {-2.45f, -0.15f}};
    s.rightWing = {{-0.9f, 0.45f}, {1.3f, 1.75f}, {2.3f, 1.75f}, {2.2f, 0.45f}};
    s.leftWing = {{-0.9f, -0.45f}, {1.3f, -1.75f}, {2.3f, -1.75f}, {2.2f, -0.45f}};
    s.finFront = {0.75f, 0.0f};
    s.finBack = {2.8f, 0.0f};
    s.cockpit = {-1.05f, 0.0f};
    return s;
}

// Draws the ship outline in vector style: a faint fill, bright edges and a
// glow. The ship's nose points along (fx, fy) on the canvas; size is pixels
// per model unit.
void vectorShip(BCanvas& canvas, float cx, float cy, float size, float fx, float fy, BColour colour, float glow) {
    const ShipOutline s = shipOutline();
    // along runs from nose (-2.8) to tail: the nose is at -along on (fx, fy).
    const auto place = [&](BPoint p) {
        const float along = -p.x, across = p.y;
        return BPoint{cx + (fx * along - fy * across) * size, cy + (fy * along + fx * across) * size};
    };
    const auto placeAll = [&](const std::vector<BPoint>& points) {
        std::vector<BPoint> out;
        for (const BPoint& p : points) out.push_back(place(p));
        return out;
    };
    BMask fill(canvas.width(), canvas.height()), edges(canvas.width(), canvas.height());
    const std::vector<std::vector<BPoint>> shapes = {placeAll(s.leftWing), placeAll(s.rightWing),
                                                     placeAll(s.fuselage)};
    const float line = std::max(1.5f, size * 0.07f);
    for (const std::vector<BPoint>& shape : shapes) {
        fill.fillPolygon(shape);
        for (size_t i = 0; i < shape.size(); ++i) edges.strokeLine(shape[i], shape[(i + 1) % shape.size()], line);
    }
    // The fin, edge-on from above: one line along the spine.
    edges.strokeLine(place(s.finFront), place(s.finBack), line * 1.6f);
    const BPoint c = place(s.cockpit);
    const float canopyLength = size * 0.9f, canopyWidth = size * 0.3f;
    fill.fillCircle(c.x, c.y, canopyWidth);
    canvas.paint(fill, scale(colour, 0.22f), 0.85f);
    canvas.glow(edges.blurred(static_cast<int>(size * 0.4f)), colour, glow);
    canvas.glow(edges.blurred(static_cast<int>(size * 0.1f) + 1), colour, 0.9f);
    canvas.paint(edges, mix(colour, WHITE, 0.55f));
    // The canopy: a bright teardrop along the nose's direction.
    BMask canopy(canvas.width(), canvas.height());
    canopy.strokeLine({c.x - fx * canopyLength * 0.5f, c.y - fy * canopyLength * 0.5f},
                      {c.x + fx * canopyLength * 0.5f, c.y + fy * canopyLength * 0.5f}, canopyWidth * 2.0f);
    canvas.paint(canopy, mix(colour, WHITE, 0.8f));
}

// Rays of light from (cx, cy): additive, with a noisy brightness per angle.
void rays(BCanvas& canvas, float cx, float cy, float reach, BColour colour, float strength, uint32_t seed) {
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float angle = (std::atan2(dy, dx) + PI) / (2.0f * PI);  // 0 .. 1
            // Noise around the circle: sample along a ring so the seam closes.
            const float ring = fractalNoise(std::cos(angle * 2.0f * PI) * 6.0f + 10.0f,
                                            std::sin(angle * 2.0f * PI) * 6.0f + 10.0f, seed, 3);
            const float beam = std::pow(smooth(0.45f, 0.8f, ring), 1.5f);
            const float fall = std::exp(-d / reach);
            canvas.addLight(x, y, colour, strength * beam * fall + strength * 0.25f * std::exp(-d / (reach * 0.35f)));
        }
}

}  // namespace

// --- pozadi.jpg ---------------------------------------------------------------------

namespace {

// Both the backdrop and the sky round it.
BSpaceStyle backdropStyle() {
    BSpaceStyle style{};
    style.seed = 2024;
    style.top = {0.004f, 0.006f, 0.020f};
    style.bottom = {0.012f, 0.008f, 0.030f};
    style.gasA = {0.42f, 0.12f, 0.55f};
    style.gasB = {0.08f, 0.38f, 0.55f};
    // Dim gas: ships and bolts must stand out against every part of it.
    style.gasStrength = 0.55f;
    style.gasScale = 2.6f;
    style.bandFrom = {-0.1f, 0.85f};
    style.bandTo = {1.1f, 0.2f};
    style.bandWidth = 0.28f;
    style.starsPerMegapixel = 1400.0f;
    style.starSize = 1.3f;
    style.brightStars = 7;
    return style;
}

// The sky round a picture: a canvas of quadWidth by quadHeight units, at
// the pixels per unit of the inner canvas (inner.height() pixels over
// innerHeight units) that lies centred on it, its sky laid out on the
// inner canvas's pixels so that the two meet without a seam.
BCanvas skyAround(const BCanvas& inner, float innerHeight, float quadWidth, float quadHeight, BSpaceStyle style) {
    const float ppu = static_cast<float>(inner.height()) / innerHeight;
    // A border of a whole, even number of pixels either side, so that the
    // gas is worked out at the very grid points of the picture's own.
    const auto around = [](float length, int innerLength) {
        return innerLength + 4 * static_cast<int>(std::lround((length - static_cast<float>(innerLength)) / 4.0f));
    };
    BCanvas canvas(around(quadWidth * ppu, inner.width()), around(quadHeight * ppu, inner.height()));
    style.originX = static_cast<float>((canvas.width() - inner.width()) / 2);
    style.originY = static_cast<float>((canvas.height() - inner.height()) / 2);
    style.skyWidth = inner.width();
    style.skyHeight = inner.height();
    paintSpace(canvas, style);
    return canvas;
}

}  // namespace

BCanvas paintBackdrop() {
    BCanvas canvas = canvasFor(110.0f, 86.0f, 1024);
    paintSpace(canvas, backdropStyle());
    // A far galaxy, a small tilted smudge away from the playfield's centre.
    const float gx = static_cast<float>(canvas.width()) * 0.82f, gy = static_cast<float>(canvas.height()) * 0.16f;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const float dx = static_cast<float>(x) - gx, dy = static_cast<float>(y) - gy;
            const float a = (dx * 0.87f + dy * 0.5f) / 46.0f, b = (-dx * 0.5f + dy * 0.87f) / 13.0f;
            const float r = a * a + b * b;
            if (r < 16.0f) canvas.addLight(x, y, {0.85f, 0.80f, 1.0f}, 0.22f * std::exp(-r * 1.2f));
        }
    return canvas.resampled(1024, 1024);
}

BCanvas paintBackdropSky() {
    const BCanvas inner = canvasFor(110.0f, 86.0f, 1024);
    return skyAround(inner, 86.0f, 2.0f * GView::SKY_HALF_WIDTH, 2.0f * GView::SKY_HALF_HEIGHT,
                     backdropStyle())
        .resampled(2048, 1024);
}

// --- menu.jpg -------------------------------------------------------------------------
//
// The lettering is measured here in picture units, placed by the layout
// around the models' coverage (bmenulayout.h), then painted into the
// rectangles the layout chose. Each block's rectangle holds all of its
// letters and key caps; only soft glows reach past it.

namespace {

// Pixels per picture unit of the menu's canvas (1024 pixels over 28 units).
constexpr float MENU_PPU = 1024.0f / 28.0f;

// Text extends about 0.76 of its size above the baseline (ascenders) and
// 0.24 below (descenders).
constexpr float ASCENT = 0.76f, DESCENT = 0.24f;

constexpr float TITLE_SIZE = 3.3f, TITLE_TRACKING = 0.35f;
constexpr float TAG_SIZE = 0.85f, TAG_TRACKING = 0.06f, TAG_RULE = 4.5f, TAG_RULE_GAP = 0.6f;
constexpr float NAME_SIZE = 1.0f, NAME_TRACKING = 0.12f, NAME_GAP = 0.4f;
constexpr float HINT_SIZE = 0.62f, HINT_CAP = 0.78f, HINT_CAP_TEXT = 0.56f, HINT_SPACE = 0.25f;
constexpr float START_CAP = 1.05f, START_CAP_TEXT = 0.62f, START_SIZE = 0.66f, START_GAP = 0.3f;
constexpr float HELP_PAD = 0.55f, HELP_HEADING = 0.55f, HELP_CAP = 0.84f, HELP_CAP_TEXT = 0.5f;
constexpr float HELP_SIZE = 0.68f, HELP_ROW = 1.05f, HELP_COLUMN_GAP = 1.4f, HELP_NOTE = 0.6f;
constexpr float HELP_NOTE_ROW = 0.85f;

const char* const TAGLINE = "a duel of two ships in deep space";
const char* const HINT = "changes the controls";

struct HelpRow {
    const char* key;
    const char* action;
};
// The help panel's columns of keys, side by side, at most HELP_ROWS each:
// the panel sits between the controller pictures and the bottom of the
// window, which leaves room for two rows and the notes.
constexpr int HELP_ROWS = 2;
struct HelpColumn {
    const char* title;
    HelpRow rows[HELP_ROWS];
    int count;
};
const HelpColumn HELP_COLUMNS[] = {
    {"IN THE MENU", {{"S", "settings and keys"}, {"R", "watch the last match"}}, 2},
    {"IN A MATCH", {{"P", "pause, and on again"}, {"Esc", "back to the menu"}}, 2},
};
// From the headings' baseline down to the top of the first note: the rows
// of keys and a gap.
constexpr float HELP_NOTES_BELOW = HELP_ROWS * HELP_ROW + HELP_CAP * 0.5f + 0.5f;
const char* const HELP_NOTES[] = {"Each hit costs 5 of 100 points. Esc in the menu quits; F1: full screen.",
                                  "Two players need different keys; the computer may fly both ships."};

// Text widths and key cap widths in picture units.
struct MenuMeasure {
    const BFonts& fonts;
    float text(const BFont& font, const std::string& words, float size, float tracking = 0.0f) const {
        return font.measure(words, size * MENU_PPU, tracking * MENU_PPU) / MENU_PPU;
    }
    // keyCap()'s own rule for a key fitted to its label.
    float cap(const std::string& label, float height, float textSize) const {
        return std::max(height, text(fonts.bold, label, textSize) + height * 0.7f);
    }
    float sideWidth(const char* name, const char* key) const {
        return std::max(text(fonts.bold, name, NAME_SIZE, NAME_TRACKING),
                        cap(key, HINT_CAP, HINT_CAP_TEXT) + HINT_SPACE + text(fonts.regular, HINT, HINT_SIZE));
    }
    // The help panel's two columns: where each column's actions start, and
    // the width of each.
    float capColumn(const HelpRow* rows, int count) const {
        float widest = 0.0f;
        for (int i = 0; i < count; ++i) widest = std::max(widest, cap(rows[i].key, HELP_CAP, HELP_CAP_TEXT));
        return widest + 0.35f;
    }
    float column(const char* title, const HelpRow* rows, int count) const {
        float widest = text(fonts.bold, title, HELP_HEADING, 0.08f);
        for (int i = 0; i < count; ++i)
            widest = std::max(widest, capColumn(rows, count) + text(fonts.regular, rows[i].action, HELP_SIZE));
        return widest;
    }
    float helpWidth() const {
        float notes = 0.0f;
        for (const char* note : HELP_NOTES) notes = std::max(notes, text(fonts.regular, note, HELP_NOTE));
        float columns = -HELP_COLUMN_GAP;
        for (const HelpColumn& c : HELP_COLUMNS) columns += column(c.title, c.rows, c.count) + HELP_COLUMN_GAP;
        return std::max(columns, notes) + 2.0f * HELP_PAD;
    }
    float helpHeight() const {
        return HELP_PAD + HELP_HEADING * CAP_HEIGHT + HELP_NOTES_BELOW + HELP_NOTE * ASCENT + HELP_NOTE_ROW +
               HELP_NOTE * DESCENT + HELP_PAD * 0.8f;
    }
};

constexpr float SIDE_HEIGHT = NAME_SIZE * CAP_HEIGHT + NAME_GAP + HINT_CAP;
// The frame drawn round each controller picture reaches this far past it.
constexpr float CHOICE_FRAME = 0.22f;

}  // namespace

BMenuLayout layOutMenu(const BFonts& fonts, const BMenuCoverage& coverage) {
    const MenuMeasure m{fonts};
    BMenuLayout layout(coverage);
    layout.reserve(MENU_LEFT_CHOICE.grown(CHOICE_FRAME));
    layout.reserve(MENU_RIGHT_CHOICE.grown(CHOICE_FRAME));
    const BRect view = VISIBLE_4_3;
    const float edge = 0.3f + BMenuLayout::MARGIN;

    // The title at the top, the tagline under it.
    const float titleWidth = m.text(fonts.bold, "VEKTORAK", TITLE_SIZE, TITLE_TRACKING);
    layout.place("title", -titleWidth * 0.5f, titleWidth, TITLE_SIZE * CAP_HEIGHT, view.y1 - 2.0f * edge, 0.0f);
    const float tagWidth = m.text(fonts.regular, TAGLINE, TAG_SIZE, TAG_TRACKING) + 2.0f * (TAG_RULE_GAP + TAG_RULE);
    layout.place("tagline", -tagWidth * 0.5f, tagWidth, TAG_SIZE, layout.rect("title").y0, 0.0f);

    // Each player's name and key over that side's controller picture, as
    // close above it as the ship's sweep allows.
    const struct {
        const char* block;
        const char* name;
        const char* key;
        float centre;
    } sides[2] = {{"left player", "LEFT PLAYER", "O", (MENU_LEFT_CHOICE.x0 + MENU_LEFT_CHOICE.x1) * 0.5f},
                  {"right player", "RIGHT PLAYER", "P", (MENU_RIGHT_CHOICE.x0 + MENU_RIGHT_CHOICE.x1) * 0.5f}};
    for (const auto& side : sides) {
        const float width = m.sideWidth(side.name, side.key);
        const float lowest = MENU_LEFT_CHOICE.y1 + CHOICE_FRAME + SIDE_HEIGHT;
        layout.place(side.block, side.centre - width * 0.5f, width, SIDE_HEIGHT, lowest, layout.rect("tagline").y0);
    }

    // Between the two controller pictures: how to start.
    const float startWidth = std::max(m.cap("Return", START_CAP, START_CAP_TEXT),
                                      m.text(fonts.regular, "starts the match", START_SIZE));
    const float startHeight = START_CAP + START_GAP + START_SIZE;
    layout.place("start", -startWidth * 0.5f, startWidth, startHeight, MENU_LEFT_CHOICE.y1 + CHOICE_FRAME,
                 view.y0 + startHeight);

    // How to play, in a panel as low in the lower left as it fits.
    const float helpWidth = m.helpWidth(), helpHeight = m.helpHeight();
    layout.place("help", view.x0 + edge, helpWidth, helpHeight, view.y0 + edge + helpHeight, 0.0f);
    return layout;
}

namespace {

// The menu's sky, for the picture and the sky round it.
BSpaceStyle menuStyle() {
    BSpaceStyle style{};
    style.seed = 77;
    style.top = {0.006f, 0.010f, 0.035f};
    style.bottom = {0.020f, 0.012f, 0.045f};
    style.gasA = {0.50f, 0.16f, 0.62f};
    style.gasB = {0.10f, 0.45f, 0.65f};
    style.gasStrength = 0.42f;
    style.gasScale = 2.4f;
    style.bandFrom = {-0.1f, 0.25f};
    style.bandTo = {1.1f, 0.75f};
    style.bandWidth = 0.22f;
    style.starsPerMegapixel = 1100.0f;
    style.starSize = 1.2f;
    style.brightStars = 5;
    return style;
}

// The planet rises in the lower right, under the spinning logo, and on
// past the picture's right edge.
void paintMenuPlanet(BCanvas& canvas, const Frame& f) {
    paintPlanet(canvas, f.x(13.0f), f.y(-35.0f), f.d(24.0f), {0.16f, 0.18f, 0.30f}, {0.35f, 0.70f, 1.0f}, -0.5f,
                -1.0f, 5);
}

}  // namespace

BCanvas paintMenuSky() {
    const BCanvas inner = canvasFor(2.0f * MENU_PICTURE_HALF_WIDTH, 2.0f * MENU_PICTURE_HALF_HEIGHT, 1024);
    BCanvas canvas = skyAround(inner, 2.0f * MENU_PICTURE_HALF_HEIGHT, 2.0f * MENU_SKY_HALF_WIDTH,
                               2.0f * MENU_SKY_HALF_HEIGHT, menuStyle());
    const Frame f{frameFor(inner, 2.0f * MENU_PICTURE_HALF_HEIGHT).ppu, static_cast<float>(canvas.width()) * 0.5f,
                  static_cast<float>(canvas.height()) * 0.5f};
    paintMenuPlanet(canvas, f);
    return canvas.resampled(2048, 1024);
}

namespace {

// The menu's title lettering: chrome capitals outlined in the dark, over a
// glow going from the left player's colour to the right's, from x0 to x1
// (picture units) on the baseline.
void paintMenuTitle(BCanvas& canvas, const Frame& f, const BFonts& fonts, const char* words, float x0, float x1,
                    float baselineY, float size, float tracking) {
    const BTeam left = teamOf(BSide::Left), right = teamOf(BSide::Right);
    const float baseline = f.y(baselineY), capTop = baseline - f.d(size) * CAP_HEIGHT;
    BMask mask(canvas.width(), canvas.height());
    fonts.bold.draw(mask, words, f.x(x0), baseline, f.d(size), f.d(tracking));
    glowAcross(canvas, mask.blurred(static_cast<int>(f.d(0.45f))), toColour(left.main), toColour(right.main), f.x(x0),
               f.x(x1), 1.1f);
    BMask outline = mask.blurred(2);
    outline.multiply(3.0f);
    canvas.paint(outline, {0.02f, 0.03f, 0.08f});
    canvas.paintShaded(mask, [&](int, int y) {
        return chrome((static_cast<float>(y) - capTop) / (baseline - capTop), {0.5f, 0.6f, 1.0f});
    });
}

}  // namespace

BCanvas paintMenu(const BFonts& fonts, const BMenuLayout& layout) {
    BCanvas canvas = canvasFor(36.0f, 28.0f, 1024);
    const Frame f = frameFor(canvas, 28.0f);
    const MenuMeasure m{fonts};
    const BTeam left = teamOf(BSide::Left), right = teamOf(BSide::Right);
    const BColour leftMain = toColour(left.main), rightMain = toColour(right.main);
    const BColour leftLight = toColour(left.light), rightLight = toColour(right.light);

    paintSpace(canvas, menuStyle());
    paintMenuPlanet(canvas, f);

    const BRect title = layout.rect("title");
    paintMenuTitle(canvas, f, fonts, "VEKTORAK", title.x0, title.x1, title.y0, TITLE_SIZE, TITLE_TRACKING);
    // Tagline with rules on either side in the two players' colours.
    {
        const BRect r = layout.rect("tagline");
        const float size = f.d(TAG_SIZE), baseline = f.y(r.y1 - TAG_SIZE * ASCENT), cx = f.x((r.x0 + r.x1) * 0.5f);
        text(canvas, fonts.regular, TAGLINE, cx, baseline, size, TEXT, Align::Centre, f.d(TAG_TRACKING));
        const float ruleY = baseline - size * CAP_HEIGHT * 0.5f;
        BMask rule(canvas.width(), canvas.height());
        rule.strokeLine({f.x(r.x0), ruleY}, {f.x(r.x0 + TAG_RULE), ruleY}, f.d(0.07f));
        canvas.glow(rule.blurred(3), leftMain, 1.0f);
        canvas.paint(rule, leftLight);
        rule.clear();
        rule.strokeLine({f.x(r.x1 - TAG_RULE), ruleY}, {f.x(r.x1), ruleY}, f.d(0.07f));
        canvas.glow(rule.blurred(3), rightMain, 1.0f);
        canvas.paint(rule, rightLight);
    }

    // The two players: a frame where the controller picture will be drawn,
    // and over it the side's name and the key that changes its controller.
    const struct {
        const char* block;
        const char* name;
        const char* key;
        BRect choice;
        BColour main, light;
    } sides[2] = {{"left player", "LEFT PLAYER", "O", MENU_LEFT_CHOICE, leftMain, leftLight},
                  {"right player", "RIGHT PLAYER", "P", MENU_RIGHT_CHOICE, rightMain, rightLight}};
    for (const auto& side : sides) {
        const BRect c = side.choice.grown(CHOICE_FRAME);
        BMask frame(canvas.width(), canvas.height());
        frame.fillRoundRect(f.x(c.x0), f.y(c.y1), f.x(c.x1), f.y(c.y0), f.d(0.3f));
        canvas.paint(frame, {0.02f, 0.03f, 0.06f}, 0.85f);
        frame.clear();
        frame.strokeRoundRect(f.x(c.x0), f.y(c.y1), f.x(c.x1), f.y(c.y0), f.d(0.3f), f.d(0.09f));
        canvas.glow(frame.blurred(static_cast<int>(f.d(0.25f))), side.main, 1.4f);
        canvas.paint(frame, side.light);

        const BRect r = layout.rect(side.block);
        const float cx = f.x((r.x0 + r.x1) * 0.5f);
        glowText(canvas, fonts.bold, side.name, cx, f.y(r.y1 - NAME_SIZE * CAP_HEIGHT), f.d(NAME_SIZE),
                 f.d(NAME_TRACKING), side.light, side.main, static_cast<int>(f.d(0.2f)), 1.0f);
        // "[O] changes the controls", centred as a whole.
        const float capWidth = m.cap(side.key, HINT_CAP, HINT_CAP_TEXT);
        const float total = capWidth + HINT_SPACE + m.text(fonts.regular, HINT, HINT_SIZE);
        const float x0 = (r.x0 + r.x1) * 0.5f - total * 0.5f, cy = f.y(r.y0 + HINT_CAP * 0.5f);
        const float after = keyCap(canvas, fonts, side.key, f.x(x0), cy, f.d(HINT_CAP), f.d(HINT_CAP_TEXT));
        text(canvas, fonts.regular, HINT, after + f.d(HINT_SPACE), cy + f.d(HINT_SIZE) * CAP_HEIGHT * 0.5f,
             f.d(HINT_SIZE), TEXT);
    }

    // How to start, between the controller pictures.
    {
        const BRect r = layout.rect("start");
        const float cx = (r.x0 + r.x1) * 0.5f, capWidth = m.cap("Return", START_CAP, START_CAP_TEXT);
        const BColour go{1.0f, 0.80f, 0.30f};
        BMask halo(canvas.width(), canvas.height());
        halo.fillRoundRect(f.x(cx - capWidth * 0.5f), f.y(r.y1), f.x(cx + capWidth * 0.5f), f.y(r.y1 - START_CAP),
                           f.d(START_CAP * 0.2f));
        canvas.glow(halo.blurred(static_cast<int>(f.d(0.2f))), go, 0.5f);
        keyCap(canvas, fonts, "Return", f.x(cx - capWidth * 0.5f), f.y(r.y1 - START_CAP * 0.5f), f.d(START_CAP),
               f.d(START_CAP_TEXT), f.d(capWidth));
        text(canvas, fonts.regular, "starts the match", f.x(cx), f.y(r.y0 + START_SIZE * DESCENT), f.d(START_SIZE),
             TEXT, Align::Centre);
    }

    // How to play: the keys of the menu and of a match in columns, the rules
    // and the keys of anywhere under them.
    {
        const BRect r = layout.rect("help");
        BMask panel(canvas.width(), canvas.height());
        panel.fillRoundRect(f.x(r.x0), f.y(r.y1), f.x(r.x1), f.y(r.y0), f.d(0.45f));
        canvas.paint(panel, {0.01f, 0.015f, 0.04f}, 0.72f);
        panel.clear();
        panel.strokeRoundRect(f.x(r.x0), f.y(r.y1), f.x(r.x1), f.y(r.y0), f.d(0.45f), f.d(0.05f));
        canvas.paint(panel, {0.45f, 0.52f, 0.68f}, 0.8f);

        float x = r.x0 + HELP_PAD;
        const float headingBaseline = r.y1 - HELP_PAD - HELP_HEADING * CAP_HEIGHT;
        for (const HelpColumn& column : HELP_COLUMNS) {
            text(canvas, fonts.bold, column.title, f.x(x), f.y(headingBaseline), f.d(HELP_HEADING), DIM_TEXT,
                 Align::Left, f.d(0.08f));
            const float textX = x + m.capColumn(column.rows, column.count);
            float centre = headingBaseline - HELP_ROW;
            for (int i = 0; i < column.count; ++i) {
                keyCap(canvas, fonts, column.rows[i].key, f.x(x), f.y(centre), f.d(HELP_CAP), f.d(HELP_CAP_TEXT));
                text(canvas, fonts.regular, column.rows[i].action, f.x(textX),
                     f.y(centre) + f.d(HELP_SIZE) * CAP_HEIGHT * 0.5f, f.d(HELP_SIZE), TEXT);
                centre -= HELP_ROW;
            }
            x += m.column(column.title, column.rows, column.count) + HELP_COLUMN_GAP;
        }
        float baseline = headingBaseline - HELP_NOTES_BELOW - HELP_NOTE * ASCENT;
        for (const char* note : HELP_NOTES) {
            text(canvas, fonts.regular, note, f.x(r.x0 + HELP_PAD), f.y(baseline), f.d(HELP_NOTE), DIM_TEXT);
            baseline -= HELP_NOTE_ROW;
        }
    }
    return canvas.resampled(1024, 1024);
}

// --- settings.jpg ----------------------------------------------------------------------
//
// The menu's picture with its lettering and models gone: its sky and
// planet, the title in its chrome, and one panel as its help panel is, all
// where the settings screen writes its lines (MSettings' places, in the
// units of the menu's frame, which spans VISIBLE_4_3 of the picture).

BCanvas paintSettings(const BFonts& fonts) {
    BCanvas canvas = canvasFor(36.0f, 28.0f, 1024);
    const Frame f = frameFor(canvas, 28.0f);
    const auto across = [](float x) { return VISIBLE_4_3.x0 + x / 640.0f * (VISIBLE_4_3.x1 - VISIBLE_4_3.x0); };
    const auto down = [](float y) { return VISIBLE_4_3.y1 - y / 480.0f * (VISIBLE_4_3.y1 - VISIBLE_4_3.y0); };
    const float perUnit = (VISIBLE_4_3.y1 - VISIBLE_4_3.y0) / 480.0f;

    paintSpace(canvas, menuStyle());
    paintMenuPlanet(canvas, f);

    const float size = MSettings::TITLE_SIZE * perUnit, tracking = size * TITLE_TRACKING / TITLE_SIZE;
    const float width = fonts.bold.measure("SETTINGS", f.d(size), f.d(tracking)) / f.ppu;
    paintMenuTitle(canvas, f, fonts, "SETTINGS", -width * 0.5f, width * 0.5f, down(MSettings::TITLE_BASELINE), size,
                   tracking);

    const float x0 = f.x(across(MSettings::PANEL_LEFT)), x1 = f.x(across(MSettings::PANEL_RIGHT));
    const float y0 = f.y(down(MSettings::PANEL_TOP)), y1 = f.y(down(MSettings::PANEL_BOTTOM));
    BMask panel(canvas.width(), canvas.height());
    panel.fillRoundRect(x0, y0, x1, y1, f.d(0.45f));
    canvas.paint(panel, {0.01f, 0.015f, 0.04f}, 0.72f);
    panel.clear();
    panel.strokeRoundRect(x0, y0, x1, y1, f.d(0.45f), f.d(0.05f));
    canvas.paint(panel, {0.45f, 0.52f, 0.68f}, 0.8f);
    return canvas.resampled(1024, 1024);
}

// --- menu1.bmp ... menu6.bmp -----------------------------------------------------------

BCanvas paintControls(const BFonts& fonts, int choice) {
    BCanvas canvas(256, 128);
    const float w = 256.0f, h = 128.0f;
    canvas.verticalGradient({0.10f, 0.12f, 0.19f}, {0.03f, 0.04f, 0.07f});
    BMask border(256, 128);
    border.strokeRoundRect(2.5f, 2.5f, w - 2.5f, h - 2.5f, 9.0f, 2.0f);
    canvas.paint(border, {0.55f, 0.62f, 0.78f});

    if (choice == 0 || choice == 1) {
        // Bare caps: the menu writes the keys actually bound on them at run
        // time (mmenulayout.h has the places), so both keyboard pictures
        // differ only in their frame's glow.
        const float key = KEYS_PANEL_KEY, gap = KEYS_PANEL_GAP, x0 = KEYS_PANEL_LEFT, y0 = KEYS_PANEL_TOP;
        const float columns[3] = {x0, x0 + key + gap, x0 + 2.0f * (key + gap)};
        const float topRow = y0 + key * 0.5f, bottomRow = y0 + key + gap + key * 0.5f;
        const float where[4][2] = {{columns[1], topRow}, {columns[0], bottomRow}, {columns[1], bottomRow},
                                   {columns[2], bottomRow}};
        for (int i = 0; i < 4; ++i) keyCap(canvas, fonts, "", where[i][0], where[i][1], key, 24.0f, key);
        const float fx = KEYS_PANEL_FIRE_LEFT, fy = KEYS_PANEL_FIRE_CENTRE, fw = KEYS_PANEL_FIRE_WIDTH;
        const BColour fire{1.0f, 0.80f, 0.30f};
        BMask glowKey(256, 128);
        glowKey.fillRoundRect(fx, fy - 19.0f, fx + fw, fy + 19.0f, 8.0f);
        canvas.glow(glowKey.blurred(6), fire, 0.45f);
        keyCap(canvas, fonts, "", fx, fy, KEYS_PANEL_FIRE_HEIGHT, 22.0f, fw);
        text(canvas, fonts.bold, "FIRE", fx + fw * 0.5f, fy + 42.0f, 17.0f, fire, Align::Centre, 1.0f);
        text(canvas, fonts.bold, "MOVE", x0 + 58.0f, 117.0f, 17.0f, TEXT, Align::Centre, 1.0f);
    } else if (choice >= 3) {
        // The skilled computer players: a gunsight, and under it rank
        // chevrons, one for the pilot, three for the ace and the master; the
        // ace's in gold, the master's in crimson with a star at the sight's
        // heart. A rank's word is as large as fits between the sight and the
        // frame: MASTER at 27 takes about 130 of their 160 pixels.
        const struct Rank {
            const char* word;
            float size;
            int chevrons;
            BColour colour;
            const char* says;
        } ranks[] = {{"PILOT", 34.0f, 1, {0.40f, 0.75f, 1.0f}, "aims and dodges"},
                     {"ACE", 40.0f, 3, {1.0f, 0.78f, 0.25f}, "quick and sharp"},
                     {"MASTER", 27.0f, 3, {1.0f, 0.32f, 0.42f}, "thinks ahead"}};
        const Rank& rank = ranks[choice - 3 < 2 ? choice - 3 : 2];
        const bool master = choice >= 5;
        BMask sight(256, 128);
        sight.strokeCircle(58.0f, 46.0f, 28.0f, 3.5f);
        sight.strokeCircle(58.0f, 46.0f, 11.0f, 2.5f);
        if (master) {
            std::vector<BPoint> star;
            for (int i = 0; i < 10; ++i) {
                const float angle = PI * static_cast<float>(i) / 5.0f, r = i % 2 ? 3.2f : 8.0f;
                star.push_back({58.0f + r * std::sin(angle), 46.0f - r * std::cos(angle)});
            }
            sight.fillPolygon(star);
        } else {
            sight.fillCircle(58.0f, 46.0f, 3.0f);
        }
        sight.strokeLine({22.0f, 46.0f}, {44.0f, 46.0f}, 3.0f);
        sight.strokeLine({72.0f, 46.0f}, {94.0f, 46.0f}, 3.0f);
        sight.strokeLine({58.0f, 10.0f}, {58.0f, 32.0f}, 3.0f);
        sight.strokeLine({58.0f, 60.0f}, {58.0f, 82.0f}, 3.0f);
        canvas.glow(sight.blurred(4), rank.colour, 0.8f);
        canvas.paint(sight, mix(rank.colour, WHITE, 0.35f));
        BMask chevrons(256, 128);
        for (int i = 0; i < rank.chevrons; ++i) {
            const float y = 112.0f - 9.0f * static_cast<float>(i);
            chevrons.strokeLine({38.0f, y}, {58.0f, y - 8.0f}, 4.0f);
            chevrons.strokeLine({58.0f, y - 8.0f}, {78.0f, y}, 4.0f);
        }
        canvas.paint(chevrons, rank.colour);
        glowText(canvas, fonts.bold, rank.word, 178.0f, 60.0f, rank.size, 2.0f, mix(rank.colour, WHITE, 0.5f),
                 rank.colour, 4, 0.8f);
        text(canvas, fonts.bold, "COMPUTER", 178.0f, 90.0f, 17.0f, TEXT, Align::Centre, 1.0f);
        text(canvas, fonts.regular, rank.says, 178.0f, 110.0f, 14.0f, DIM_TEXT, Align::Centre);
    } else {
        // The computer: a monitor with a watchful eye, and the word.
        const BColour screen{0.25f, 1.0f, 0.55f};
        BMask shape(256, 128);
        shape.fillRoundRect(14.0f, 16.0f, 102.0f, 84.0f, 7.0f);
        canvas.paint(shape, {0.55f, 0.60f, 0.70f});
        shape.clear();
        shape.fillRoundRect(20.0f, 22.0f, 96.0f, 78.0f, 4.0f);
        canvas.paint(shape, {0.02f, 0.10f, 0.05f});
        shape.clear();
        shape.fillPolygon({{50.0f, 84.0f}, {66.0f, 84.0f}, {72.0f, 100.0f}, {44.0f, 100.0f}});
        shape.fillRoundRect(32.0f, 98.0f, 84.0f, 106.0f, 3.0f);
        canvas.paint(shape, {0.45f, 0.50f, 0.60f});
        BMask eye(256, 128);
        eye.strokeCircle(58.0f, 50.0f, 17.0f, 3.5f);
        eye.fillCircle(58.0f, 50.0f, 6.5f);
        eye.strokeLine({30.0f, 50.0f}, {38.0f, 50.0f}, 3.0f);
        eye.strokeLine({78.0f, 50.0f}, {86.0f, 50.0f}, 3.0f);
        eye.strokeLine({58.0f, 26.0f}, {58.0f, 30.0f}, 3.0f);
        eye.strokeLine({58.0f, 70.0f}, {58.0f, 74.0f}, 3.0f);
        canvas.glow(eye.blurred(4), screen, 0.9f);
        canvas.paint(eye, mix(screen, WHITE, 0.4f));
        // Scan lines across the screen.
        for (int y = 23; y < 78; y += 3)
            for (int x = 21; x < 96; ++x) canvas.set(x, y, scale(canvas.get(x, y), 0.75f));
        glowText(canvas, fonts.bold, "CPU", 178.0f, 60.0f, 40.0f, 2.0f, mix(screen, WHITE, 0.5f), screen, 4, 0.8f);
        text(canvas, fonts.bold, "COMPUTER", 178.0f, 90.0f, 17.0f, TEXT, Align::Centre, 1.0f);
        text(canvas, fonts.regular, "flies by itself", 178.0f, 110.0f, 14.0f, DIM_TEXT, Align::Centre);
    }
    return canvas;
}

// --- replay.bmp ------------------------------------------------------------------------
//
// The mark in the corner of a match being watched again: a play sign and the
// word, light on a dark plate, 4 to 1 like the quad it is drawn on.

BCanvas paintReplayMark(const BFonts& fonts) {
    BCanvas canvas(256, 64);
    canvas.verticalGradient({0.12f, 0.05f, 0.05f}, {0.05f, 0.02f, 0.02f});
    BMask border(256, 64);
    border.strokeRoundRect(2.5f, 2.5f, 253.5f, 61.5f, 8.0f, 2.0f);
    const BColour red{1.0f, 0.35f, 0.30f};
    canvas.paint(border, red);
    BMask play(256, 64);
    play.fillPolygon({{22.0f, 16.0f}, {50.0f, 32.0f}, {22.0f, 48.0f}});
    canvas.glow(play.blurred(4), red, 0.8f);
    canvas.paint(play, mix(red, WHITE, 0.3f));
    glowText(canvas, fonts.bold, "REPLAY", 148.0f, 45.0f, 36.0f, 3.0f, WHITE, red, 4, 0.7f);
    return canvas;
}

// --- won_l.jpg, won_r.jpg, remiza.jpg --------------------------------------------------

BCanvas paintVictory(const BFonts& fonts, BOutcome outcome) {
    BCanvas canvas = canvasFor(2.0f * MVictory::HALF_WIDTH, 2.0f * MVictory::HALF_HEIGHT, 1024);
    const Frame f = frameFor(canvas, 2.0f * MVictory::HALF_HEIGHT);
    const BTeam left = teamOf(BSide::Left), right = teamOf(BSide::Right);

    BSpaceStyle style{};
    style.seed = outcome == BOutcome::LeftWins ? 301 : outcome == BOutcome::RightWins ? 302 : 303;
    style.top = {0.004f, 0.006f, 0.020f};
    style.bottom = {0.010f, 0.008f, 0.030f};
    style.gasA = {0.40f, 0.12f, 0.55f};
    style.gasB = {0.08f, 0.35f, 0.55f};
    style.gasStrength = 0.22f;
    style.gasScale = 2.2f;
    style.bandFrom = {-0.1f, 1.0f};
    style.bandTo = {1.1f, 0.0f};
    style.bandWidth = 0.25f;
    style.starsPerMegapixel = 900.0f;
    style.starSize = 1.2f;
    style.brightStars = 4;
    paintSpace(canvas, style);

    if (outcome != BOutcome::Draw) {
        const BTeam team = teamOf(outcome == BOutcome::LeftWins ? BSide::Left : BSide::Right);
        const BColour main = toColour(team.main), light = toColour(team.light);
        rays(canvas, f.x(0.0f), f.y(0.2f), f.d(0.55f), main, 0.45f, style.seed);
        vectorShip(canvas, f.x(0.0f), f.y(0.2f), f.d(0.1f), 0.0f, -1.0f, main, 1.2f);
        glowText(canvas, fonts.bold, outcome == BOutcome::LeftWins ? "LEFT PLAYER" : "RIGHT PLAYER", f.x(0.0f),
                 f.y(0.62f), f.d(0.15f), f.d(0.025f), light, main, static_cast<int>(f.d(0.03f)), 1.0f);
        const float size = f.d(0.5f), baseline = f.y(-0.5f), capTop = baseline - size * CAP_HEIGHT;
        BMask wins(canvas.width(), canvas.height());
        fonts.bold.drawCentred(wins, "WINS", f.x(0.0f), baseline, size, f.d(0.04f));
        canvas.glow(wins.blurred(static_cast<int>(f.d(0.06f))), main, 1.4f);
        BMask outline = wins.blurred(3);
        outline.multiply(3.0f);
        canvas.paint(outline, {0.02f, 0.02f, 0.05f});
        canvas.paintShaded(wins, [&](int, int y) {
            return chrome((static_cast<float>(y) - capTop) / (baseline - capTop), main);
        });
    } else {
        const BColour leftMain = toColour(left.main), rightMain = toColour(right.main);
        // Two ships nose to nose, both spent, and a flash between them.
        rays(canvas, f.x(0.0f), f.y(0.22f), f.d(0.35f), {1.0f, 0.95f, 0.85f}, 0.35f, style.seed);
        vectorShip(canvas, f.x(-0.62f), f.y(0.2f), f.d(0.075f), 1.0f, 0.0f, leftMain, 0.8f);
        vectorShip(canvas, f.x(0.62f), f.y(0.2f), f.d(0.075f), -1.0f, 0.0f, rightMain, 0.8f);
        glowText(canvas, fonts.bold, "BOTH SHIPS DOWN", f.x(0.0f), f.y(0.66f), f.d(0.12f), f.d(0.02f), TEXT,
                 {0.6f, 0.6f, 0.7f}, static_cast<int>(f.d(0.025f)), 0.6f);
        const float size = f.d(0.5f), baseline = f.y(-0.5f), capTop = baseline - size * CAP_HEIGHT;
        BMask draw(canvas.width(), canvas.height());
        fonts.bold.drawCentred(draw, "DRAW", f.x(0.0f), baseline, size, f.d(0.04f));
        const float width = fonts.bold.measure("DRAW", size, f.d(0.04f));
        glowAcross(canvas, draw.blurred(static_cast<int>(f.d(0.06f))), leftMain, rightMain,
                   f.x(0.0f) - width * 0.5f, f.x(0.0f) + width * 0.5f, 1.4f);
        BMask outline = draw.blurred(3);
        outline.multiply(3.0f);
        canvas.paint(outline, {0.02f, 0.02f, 0.05f});
        canvas.paintShaded(draw, [&](int, int y) {
            return chrome((static_cast<float>(y) - capTop) / (baseline - capTop), {0.8f, 0.7f, 1.0f});
        });
    }
    text(canvas, fonts.regular, "press any key", f.x(0.0f), f.y(-0.76f), f.d(0.065f), DIM_TEXT, Align::Centre,
         f.d(0.01f));
    return canvas.resampled(2048, 1024);
}

// --- hull textures ------------------------------------------------------------------------
//
// The ship model maps its fuselage onto v = 0.05 .. 0.55 of this texture,
// u running from nose to tail and v round the hull: keel 0.05, +z flank
// 0.175, spine 0.3, -z flank 0.425 (bmodels.cpp). The flanks are what the
// match's camera sees, so each carries a broad band of the side's colour
// from behind the nose to the tail. Rows are top first here, and t = 0 is
// the bottom row once loaded, so v = 1 - (row + 0.5) / 256.

namespace {

struct Panel {
    int x0, y0, x1, y1;
};

// Cuts the square into panels the way hull plating is laid: alternately
// across and along, with uneven cuts.
void splitPanels(std::vector<Panel>& out, Panel p, int depth, BRandom& random) {
    const int w = p.x1 - p.x0, h = p.y1 - p.y0;
    if (depth == 0 || (w < 40 && h < 40)) {
        out.push_back(p);
        return;
    }
    const bool across = (w >= h) ? (random.uniform() < 0.75f) : (random.uniform() < 0.25f);
    if (across && w >= 24) {
        const int cut = p.x0 + static_cast<int>(static_cast<float>(w) * random.range(0.3f, 0.7f));
        splitPanels(out, {p.x0, p.y0, cut, p.y1}, depth - 1, random);
        splitPanels(out, {cut, p.y0, p.x1, p.y1}, depth - 1, random);
    } else if (h >= 24) {
        const int cut = p.y0 + static_cast<int>(static_cast<float>(h) * random.range(0.3f, 0.7f));
        splitPanels(out, {p.x0, p.y0, p.x1, cut}, depth - 1, random);
        splitPanels(out, {p.x0, cut, p.x1, p.y1}, depth - 1, random);
    } else {
        out.push_back(p);
    }
}

}  // namespace

BCanvas paintHull(BSide side) {
    const int size = 256;
    BCanvas canvas(size, size);
    const BTeam team = teamOf(side);
    const BColour metal = side == BSide::Left ? BColour{0.56f, 0.61f, 0.70f} : BColour{0.68f, 0.60f, 0.56f};
    BRandom random(side == BSide::Left ? 41 : 42);
    std::vector<Panel> panels;
    splitPanels(panels, {0, 0, size, size}, 6, random);
    for (const Panel& p : panels) {
        const float shade = random.range(0.86f, 1.08f);
        for (int y = p.y0; y < p.y1; ++y)
            for (int x = p.x0; x < p.x1; ++x) {
                // Brushed metal: fine noise stretched along the panel's length.
                const float grain = fractalNoise(static_cast<float>(x) * 0.05f, static_cast<float>(y) * 0.6f,
                                                 side == BSide::Left ? 7u : 8u, 3);
                canvas.set(x, y, scale(metal, shade * (0.9f + 0.2f * grain)));
            }
    }
    // Seams: a dark groove with a lit lip below and to the right of it.
    for (const Panel& p : panels) {
        for (int x = p.x0; x < p.x1; ++x) {
            canvas.set(x, p.y0, scale(canvas.get(x, p.y0), 0.35f));
            if (p.y0 + 1 < size) canvas.set(x, p.y0 + 1, scale(canvas.get(x, p.y0 + 1), 1.18f));
        }
        for (int y = p.y0; y < p.y1; ++y) {
            canvas.set(p.x0, y, scale(canvas.get(p.x0, y), 0.35f));
            if (p.x0 + 1 < size) canvas.set(p.x0 + 1, y, scale(canvas.get(p.x0 + 1, y), 1.18f));
        }
        // Rivets along the top edge of larger panels.
        if (p.x1 - p.x0 >= 32)
            for (int x = p.x0 + 5; x < p.x1 - 3; x += 7) {
                BMask rivet(size, size);
                rivet.fillCircle(static_cast<float>(x) + 0.5f, static_cast<float>(p.y0) + 4.5f, 1.1f);
                canvas.paint(rivet, scale(metal, 0.6f));
                canvas.addLight(x, p.y0 + 3, {1.0f, 1.0f, 1.0f}, 0.12f);
            }
    }
    // The side's bands, one on each flank, with a white pinstripe either
    // side. Each starts in a point behind the nose, swept back like the
    // wings. The pinstripes stay neutral: a pale tint of the side's colour
    // would be the colour of its shots.
    const BColour stripe = toColour(team.main), pin{0.95f, 0.93f, 0.90f};
    for (const float flank : {0.175f, 0.425f}) {
        const float half = 0.045f, pinWidth = 0.012f;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
                const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
                const float across = std::fabs(v - flank);
                // The band's front end: u = 0.2 on its centre line, further
                // back towards its edges.
                if (u < 0.2f + across * 2.5f) continue;
                const BColour under = canvas.get(x, y);
                // Keep a little of the plating showing through the paint.
                const float lum = (under.r + under.g + under.b) / (metal.r + metal.g + metal.b);
                if (across < half)
                    canvas.set(x, y, scale(stripe, 0.8f + 0.25f * lum));
                else if (across < half + pinWidth * 2.0f && across > half + pinWidth * 0.5f)
                    canvas.set(x, y, scale(pin, 0.8f + 0.2f * lum));
            }
    }
    return canvas;
}
