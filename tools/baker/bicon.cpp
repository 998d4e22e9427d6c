// bicon.cpp: the desktop icon at the theme's sizes, and its files.
#include "baker/bicon.h"

#include <algorithm>  // Required for: std::max, std::clamp
#include <cmath>      // Required for: std::lround

#include "baker/bimagefile.h"
#include "baker/bpalette.h"

namespace {

// The layout, in units of a 256-unit design square.
const float DESIGN = 256.0f;
// The tile leaves a margin, as icon themes expect: icons of different
// shapes then look the same size side by side.
const float TILE_LOW = 14.0f, TILE_HIGH = 242.0f, TILE_RADIUS = 46.0f;
// The V: the top of each arm spans ARM_TOP_WIDTH; the arms meet along the
// centre line from NOTCH_Y (inside corner) down to TIP_Y (outside corner).
const float V_TOP = 58.0f, V_OUTER = 46.0f, ARM_TOP_WIDTH = 46.0f, NOTCH_Y = 148.0f, TIP_Y = 208.0f;

struct Star {
    float x, y, radius, brightness;
};
// Placed by hand in the tile's empty corners and sides, clear of the V.
const Star STARS[] = {{40, 200, 1.6f, 0.9f},  {62, 226, 1.1f, 0.6f},  {214, 196, 1.4f, 0.8f}, {196, 228, 1.0f, 0.5f},
                      {128, 36, 1.5f, 0.8f},  {100, 112, 1.0f, 0.5f}, {160, 96, 1.1f, 0.6f},  {34, 120, 1.0f, 0.5f},
                      {224, 132, 1.2f, 0.6f}, {84, 30, 0.9f, 0.4f},   {178, 34, 1.0f, 0.5f}};

class Layout {
public:
    explicit Layout(int size) : unit(static_cast<float>(size) / DESIGN) {}
    float d(float designUnits) const { return designUnits * unit; }
    BPoint p(float x, float y) const { return {x * unit, y * unit}; }
    // Blur radii are whole pixels; none may vanish at the smallest size.
    int blur(float designUnits) const { return std::max(1, static_cast<int>(std::lround(designUnits * unit))); }

private:
    float unit;
};

// One arm of the V: side Left is the arm from the top left down to the
// tip, Right its mirror image.
std::vector<BPoint> armOf(const Layout& l, BSide side) {
    const float mirror = side == BSide::Left ? 1.0f : -1.0f;
    const float outer = DESIGN / 2.0f - mirror * (DESIGN / 2.0f - V_OUTER);
    const float inner = outer + mirror * ARM_TOP_WIDTH;
    const float centre = DESIGN / 2.0f;
    return {l.p(outer, V_TOP), l.p(inner, V_TOP), l.p(centre, NOTCH_Y), l.p(centre, TIP_Y)};
}

void paintArm(BCanvas& canvas, const Layout& l, BSide side) {
    const BTeam team = teamOf(side);
    const BColour light = toColour(team.light), main = toColour(team.main);
    BMask arm(canvas.width(), canvas.height());
    arm.fillPolygon(armOf(l, side));
    // The glow first, so that the arm's own edge stays crisp over it.
    canvas.glow(arm.blurred(l.blur(12.0f)), main, 0.9f);
    const float top = l.d(V_TOP), bottom = l.d(TIP_Y);
    canvas.paintShaded(arm, [&](int, int y) {
        const float t = std::clamp((static_cast<float>(y) + 0.5f - top) / (bottom - top), 0.0f, 1.0f);
        return mix(light, main, t);
    });
}

}  // namespace

const std::vector<int>& iconSizes() {
    static const std::vector<int> sizes = {48, 128, 256};
    return sizes;
}

std::string iconFileName(int size) { return "vektorak-" + std::to_string(size) + ".png"; }

std::vector<uint8_t> BIcon::rgba8() const {
    const std::vector<uint8_t> rgb = picture.rgb8();
    std::vector<uint8_t> out(static_cast<size_t>(picture.width()) * picture.height() * 4);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const size_t i = static_cast<size_t>(y) * picture.width() + x;
            out[i * 4 + 0] = rgb[i * 3 + 0];
            out[i * 4 + 1] = rgb[i * 3 + 1];
            out[i * 4 + 2] = rgb[i * 3 + 2];
            out[i * 4 + 3] = static_cast<uint8_t>(std::lround(std::clamp(alpha.at(x, y), 0.0f, 1.0f) * 255.0f));
        }
    return out;
}

BIcon paintIcon(int size) {
    const Layout l(size);
    BIcon icon{BCanvas(size, size), BMask(size, size)};
    BCanvas& canvas = icon.picture;

    // Deep space, a little lighter where the two sides' colours gather.
    canvas.verticalGradient({0.02f, 0.04f, 0.13f}, {0.09f, 0.03f, 0.15f});
    BMask haze(size, size);
    haze.fillCircle(l.d(70.0f), l.d(190.0f), l.d(60.0f));
    canvas.glow(haze.blurred(l.blur(40.0f)), toColour(teamOf(BSide::Left).main), 0.25f);
    haze.clear();
    haze.fillCircle(l.d(186.0f), l.d(190.0f), l.d(60.0f));
    canvas.glow(haze.blurred(l.blur(40.0f)), toColour(teamOf(BSide::Right).main), 0.25f);

    for (const Star& s : STARS) {
        BMask star(size, size);
        star.fillCircle(l.d(s.x), l.d(s.y), std::max(l.d(s.radius), 0.6f));
        canvas.glow(star, {0.9f, 0.93f, 1.0f}, s.brightness);
    }

    paintArm(canvas, l, BSide::Left);
    paintArm(canvas, l, BSide::Right);

    // Where the arms meet, the two sides' bolts flash.
    BMask flash(size, size);
    flash.fillCircle(l.d(128.0f), l.d(TIP_Y - 6.0f), l.d(7.0f));
    canvas.glow(flash.blurred(l.blur(9.0f)), {1.0f, 0.95f, 0.85f}, 1.2f);

    // A pale rim keeps the dark tile apart from a dark desktop.
    BMask rim(size, size);
    rim.strokeRoundRect(l.d(TILE_LOW), l.d(TILE_LOW), l.d(TILE_HIGH), l.d(TILE_HIGH), l.d(TILE_RADIUS),
                        std::max(l.d(3.0f), 1.0f));
    canvas.paint(rim, {0.45f, 0.52f, 0.75f}, 0.7f);

    icon.alpha.fillRoundRect(l.d(TILE_LOW), l.d(TILE_LOW), l.d(TILE_HIGH), l.d(TILE_HIGH), l.d(TILE_RADIUS));
    return icon;
}

bool bakeIcons(const char* directory) {
    bool good = true;
    for (int size : iconSizes()) {
        const std::string path = std::string(directory) + "/" + iconFileName(size);
        good = writePng(path.c_str(), size, size, paintIcon(size).rgba8()) && good;
    }
    return good;
}
