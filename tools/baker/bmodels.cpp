// bmodels.cpp: ship, bolt, logo and health bar geometry.
//
// Lighting decides much of the look. The game's one light is a headlight:
// OpenGL's default light 0 shines along the view direction, so a face is
// bright as it turns towards the camera and has only the 20% ambient when
// edge-on. Faces meant to read from the match's camera (the fuselage's
// sides, the fins, the bolts' rings) therefore face +-z; the wings, in the
// x-z plane, only catch the light as the ship rocks.
#include "baker/bmodels.h"

#include <algorithm>  // Required for: std::min, std::max
#include <cmath>      // Required for: std::cos, std::sin, std::sqrt, std::fabs
#include <cstdio>     // Required for: snprintf
#include <vector>

namespace {

constexpr float PI = 3.14159265358979f;

// --- ship -------------------------------------------------------------------------------
//
// The match sees a ship from the side (the camera looks along z) at 50
// units, where the collision box's 5.6 by 1.8 is about 65 by 21 pixels of
// a 640 x 480 window, so the profile must carry the ship: a pointed nose
// and canopy at -x, a tall fin over the exhaust at +x, team colour along
// the flanks. Everything that sticks out in z (the short delta wings) stays
// within 1.75 of the centre line, so that rocking by 31 degrees lifts or
// drops a wingtip to at most 0.96 from it, barely past the box's 0.9. The
// same compactness keeps the menu's ships, which turn about a point 7 units
// either side of the centre, within 3 units of that point: each in its own
// half of the window.

// Ship outline constants, in model units (see bmodels.h for the box).
constexpr float NOSE_X = -2.8f;
constexpr float TAIL_X = 2.6f;
constexpr float WING_Y = -0.05f;
constexpr float WING_ROOT_Z = 0.45f;
constexpr float WING_TIP_Z = 1.75f;

// Texture mapping of the fuselage (see paintHull): u from nose to tail, v
// round the hull from the keel (0.05) over the +z flank (0.175), the spine
// (0.3) and the -z flank (0.425) back to the keel (0.55).
float hullU(float x) { return (x - NOSE_X) / (TAIL_X - NOSE_X); }

// A cross-section around the x axis: an ellipse of half-height ry and
// half-width rz centred at height yc, n points, starting at the bottom and
// running counter-clockwise seen looking towards +x (BMesh::loft's sense
// for a tube whose rings advance along +x).
std::vector<Vec3> ringAlongX(float x, float yc, float ry, float rz, int n) {
    std::vector<Vec3> ring;
    for (int k = 0; k < n; ++k) {
        const float a = PI + 2.0f * PI * static_cast<float>(k) / static_cast<float>(n);
        ring.push_back(Vec3(x, yc + ry * std::cos(a), -rz * std::sin(a)));
    }
    return ring;
}

// A flat plate with thickness: the convex outline (x, y) extruded from z0
// to z1, every face flat.
void prism(BMesh& mesh, const std::vector<Vec3>& outline, float z0, float z1) {
    Vec3 centre;
    for (const Vec3& p : outline) centre = add(centre, p);
    centre = divide(centre, static_cast<float>(outline.size()));
    std::vector<Vec3> front, back;
    for (const Vec3& p : outline) {
        front.push_back(Vec3(p.x, p.y, z1));
        back.push_back(Vec3(p.x, p.y, z0));
    }
    mesh.flatPolygon(front, Vec3(0.0f, 0.0f, 1.0f));
    mesh.flatPolygon(back, Vec3(0.0f, 0.0f, -1.0f));
    for (size_t i = 0; i < outline.size(); ++i) {
        const size_t j = (i + 1) % outline.size();
        const Vec3 mid = divide(add(outline[i], outline[j]), 2.0f);
        const Vec3 out(mid.x - centre.x, mid.y - centre.y, 0.0f);
        mesh.flatQuad(front[i], front[j], back[j], back[i], out);
    }
}

// The last station's size: the tail ring and the exhaust fit it.
constexpr float TAIL_RY = 0.44f, TAIL_RZ = 0.52f;

BMesh fuselage() {
    // Stations from nose to tail: x, centre height, half-height, half-width.
    // Nearly round sections: an ellipse rocked by 31 degrees reaches no
    // higher than its larger half-axis.
    struct Station {
        float x, yc, ry, rz;
    };
    const Station stations[] = {{-2.45f, -0.12f, 0.13f, 0.15f}, {-1.95f, -0.08f, 0.27f, 0.31f},
                                {-1.20f, -0.03f, 0.40f, 0.46f}, {-0.30f, 0.0f, 0.50f, 0.58f},
                                {0.80f, 0.0f, 0.54f, 0.62f},    {1.80f, 0.0f, 0.52f, 0.60f},
                                {TAIL_X, 0.0f, TAIL_RY, TAIL_RZ}};
    const int sides = 16;
    std::vector<std::vector<Vec3>> rings;
    std::vector<std::vector<BMesh::Uv>> uv;
    std::vector<BMesh::Uv> seam;
    rings.push_back({Vec3(NOSE_X, -0.14f, 0.0f)});
    uv.push_back({{0.0f, 0.3f}});
    seam.push_back({0.0f, 0.3f});
    for (const Station& s : stations) {
        rings.push_back(ringAlongX(s.x, s.yc, s.ry, s.rz, sides));
        std::vector<BMesh::Uv> row;
        for (int k = 0; k < sides; ++k)
            row.push_back({hullU(s.x), 0.05f + 0.5f * static_cast<float>(k) / static_cast<float>(sides)});
        uv.push_back(row);
        seam.push_back({hullU(s.x), 0.55f});
    }
    BMesh mesh;
    mesh.loft(rings, uv, seam);
    return mesh;
}

// The tail: a ring of trim round a glowing exhaust, both facing +x.
void tail(BMesh& trim, BMesh& engine) {
    const std::vector<Vec3> outer = ringAlongX(TAIL_X, 0.0f, TAIL_RY, TAIL_RZ, 16);
    const std::vector<Vec3> inner = ringAlongX(TAIL_X, 0.0f, TAIL_RY * 0.65f, TAIL_RZ * 0.65f, 16);
    for (size_t k = 0; k < outer.size(); ++k) {
        const size_t j = (k + 1) % outer.size();
        trim.flatQuad(outer[k], outer[j], inner[j], inner[k], Vec3(1.0f, 0.0f, 0.0f));
    }
    // The exhaust: a shallow cone sunk into the tail, its tip 0.3 inside,
    // so that it shades from rim to centre. The ring runs counter-clockwise
    // looking towards +x, the loft heads towards -x: the cone faces its own
    // axis, out of the cavity.
    engine.loft({inner, {Vec3(TAIL_X - 0.3f, 0.0f, 0.0f)}});
}

BMesh canopy() {
    // An ellipsoid over the front of the fuselage, its lower half inside
    // it; top at y = 0.82.
    const float cx = -1.05f, cy = 0.36f, ax = 1.0f, ay = 0.46f, az = 0.34f;
    const int stations = 9, sides = 12;
    std::vector<std::vector<Vec3>> rings;
    rings.push_back({Vec3(cx - ax, cy, 0.0f)});
    for (int i = 1; i < stations; ++i) {
        const float phi = PI - PI * static_cast<float>(i) / static_cast<float>(stations);
        const float s = std::sin(phi);
        rings.push_back(ringAlongX(cx + ax * std::cos(phi), cy, ay * s, az * s, sides));
    }
    rings.push_back({Vec3(cx + ax, cy, 0.0f)});
    BMesh mesh;
    mesh.loft(rings);
    return mesh;
}

// Both wings: swept deltas with a ridge at 40% of the chord, flat facets,
// their roots inside the fuselage.
BMesh wings() {
    BMesh mesh;
    for (const float side : {1.0f, -1.0f}) {
        struct Section {
            float z, leading, trailing, top, bottom;
        };
        const Section root{WING_ROOT_Z * side, -0.9f, 2.2f, 0.09f, 0.06f};
        const Section tip{WING_TIP_Z * side, 1.3f, 2.3f, 0.03f, 0.02f};
        const auto points = [](const Section& s) {
            const float ridge = s.leading + 0.4f * (s.trailing - s.leading);
            return std::vector<Vec3>{Vec3(s.leading, WING_Y, s.z), Vec3(ridge, WING_Y + s.top, s.z),
                                     Vec3(s.trailing, WING_Y, s.z), Vec3(ridge, WING_Y - s.bottom, s.z)};
        };
        const std::vector<Vec3> r = points(root), t = points(tip);
        const Vec3 up(0.0f, 1.0f, 0.0f), down(0.0f, -1.0f, 0.0f);
        mesh.flatQuad(r[0], r[1], t[1], t[0], up);
        mesh.flatQuad(r[1], r[2], t[2], t[1], up);
        mesh.flatQuad(r[2], r[3], t[3], t[2], down);
        mesh.flatQuad(r[3], r[0], t[0], t[3], down);
        mesh.flatPolygon(t, Vec3(0.0f, 0.0f, side));
    }
    return mesh;
}

// The fins face the match's camera whole: a tall swept one over the tail
// and a short one under it, in the side's colour.
BMesh fins() {
    BMesh mesh;
    prism(mesh, {Vec3(0.75f, 0.3f, 0.0f), Vec3(2.45f, 0.3f, 0.0f), Vec3(2.8f, 0.9f, 0.0f), Vec3(2.05f, 0.9f, 0.0f)},
          -0.07f, 0.07f);
    prism(mesh,
          {Vec3(1.25f, -0.3f, 0.0f), Vec3(2.35f, -0.3f, 0.0f), Vec3(2.6f, -0.85f, 0.0f), Vec3(2.05f, -0.85f, 0.0f)},
          -0.06f, 0.06f);
    return mesh;
}

// --- logo -------------------------------------------------------------------------------
//
// A badge: a dark plate with the word raised on both faces. The menu spins
// the logo about y, so a plain extruded word reads backwards half the
// time; here the back carries its own letters, laid out mirrored so that
// they read from behind, and the plate hides whichever side is turned
// away. Letters are drawn as strokes: polylines of a given width with
// mitred joins, extruded. Each letter sits in a cell LETTER_W by LETTER_H;
// the stroke centre lines keep half a stroke inside it. The whole badge is
// then scaled to LOGO_HALF_WIDTH (bmodels.h).

constexpr float LETTER_W = 2.1f;
constexpr float LETTER_H = 3.6f;
constexpr float LETTER_GAP = 0.4f;
constexpr float STROKE = 0.72f;
constexpr float PLATE_HALF = 0.18f;    // half the plate's thickness, in z
constexpr float LETTER_RAISE = 0.3f;   // how far the letters stand off the plate
constexpr float PLATE_MARGIN = 0.55f;  // plate round the letters

struct Stroke {
    std::vector<Vec3> points;  // (x, y) centre line, z unused
    bool closed;
};

std::vector<Stroke> letter(char glyph) {
    const float h = STROKE * 0.5f;
    const float l = h, r = LETTER_W - h, b = h, t = LETTER_H - h, m = LETTER_H * 0.5f;
    const float chamfer = 0.55f, c = LETTER_W * 0.5f;
    // Where a slanted leg from (l, b) to (c - 0.18, t) crosses height y.
    const auto leg = [&](float y) { return l + (c - 0.18f - l) * (y - b) / (t - b); };
    const auto P = [](float x, float y) { return Vec3(x, y, 0.0f); };
    switch (glyph) {
    case 'V':
        return {{{P(l, t), P(c - 0.18f, b), P(c + 0.18f, b), P(r, t)}, false}};
    case 'E':
        return {{{P(r, t), P(l, t), P(l, b), P(r, b)}, false}, {{P(l, m), P(r - 0.2f, m)}, false}};
    case 'K':
        return {{{P(l, b), P(l, t)}, false}, {{P(r, t), P(l + 0.3f, m), P(r, b)}, false}};
    case 'T':
        return {{{P(l - 0.1f, t), P(r + 0.1f, t)}, false}, {{P(c, t), P(c, b)}, false}};
    case 'O':
        return {{{P(l + chamfer, b), P(r - chamfer, b), P(r, b + chamfer), P(r, t - chamfer), P(r - chamfer, t),
                  P(l + chamfer, t), P(l, t - chamfer), P(l, b + chamfer)},
                 true}};
    case 'R':
        return {{{P(l, b), P(l, t), P(r - chamfer, t), P(r, t - chamfer), P(r, m + chamfer), P(r - chamfer, m),
                  P(l, m)},
                 false},
                {{P(c + 0.1f, m), P(r, b)}, false}};
    case 'A':
        return {{{P(l, b), P(c - 0.18f, t), P(c + 0.18f, t), P(r, b)}, false},
                {{P(leg(1.3f), 1.3f), P(LETTER_W - leg(1.3f), 1.3f)}, false}};
    default:
        return {};
    }
}

Vec3 leftNormal(Vec3 from, Vec3 to) {
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    return Vec3(-dy / length, dx / length, 0.0f);
}

// Extrudes one stroke from z0 to z1 (z0 < z1), offset by (ox, oy) and
// mirrored in x when mirror is -1: faces into face, walls into side.
void extrudeStroke(BMesh& face, BMesh& side, const Stroke& stroke, float ox, float oy, float z0, float z1,
                   float mirror) {
    const float h = STROKE * 0.5f;
    std::vector<Vec3> p;
    for (const Vec3& q : stroke.points) p.push_back(Vec3(mirror * (q.x + ox), q.y + oy, 0.0f));
    const size_t n = p.size();
    // Left and right outline points at each centre-line point.
    std::vector<Vec3> left(n), right(n);
    for (size_t i = 0; i < n; ++i) {
        const bool hasPrevious = stroke.closed || i > 0, hasNext = stroke.closed || i + 1 < n;
        const Vec3 previous = p[(i + n - 1) % n], next = p[(i + 1) % n];
        Vec3 offset;
        if (hasPrevious && hasNext) {
            // Mitre: along the bisector of the two normals, long enough that
            // both edges stay h away from their centre lines.
            const Vec3 n0 = leftNormal(previous, p[i]), n1 = leftNormal(p[i], next);
            Vec3 mitre(n0.x + n1.x, n0.y + n1.y, 0.0f);
            const float length = std::sqrt(mitre.x * mitre.x + mitre.y * mitre.y);
            mitre = divide(mitre, length);
            const float reach = h / (mitre.x * n1.x + mitre.y * n1.y);
            offset = Vec3(mitre.x * reach, mitre.y * reach, 0.0f);
        } else {
            const Vec3 normal = hasNext ? leftNormal(p[i], next) : leftNormal(previous, p[i]);
            offset = Vec3(normal.x * h, normal.y * h, 0.0f);
        }
        left[i] = add(p[i], offset);
        right[i] = subtract(p[i], offset);
    }
    const auto at = [](Vec3 q, float z) { return Vec3(q.x, q.y, z); };
    const Vec3 front(0.0f, 0.0f, 1.0f), back(0.0f, 0.0f, -1.0f);
    const size_t segments = stroke.closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        const size_t j = (i + 1) % n;
        face.flatQuad(at(right[i], z1), at(right[j], z1), at(left[j], z1), at(left[i], z1), front);
        face.flatQuad(at(right[i], z0), at(right[j], z0), at(left[j], z0), at(left[i], z0), back);
        const Vec3 outward = leftNormal(p[i], p[j]);
        side.flatQuad(at(left[i], z1), at(left[j], z1), at(left[j], z0), at(left[i], z0), outward);
        side.flatQuad(at(right[i], z1), at(right[j], z1), at(right[j], z0), at(right[i], z0),
                      Vec3(-outward.x, -outward.y, 0.0f));
    }
    if (!stroke.closed) {
        const Vec3 startOut = subtract(p[0], p[1]), endOut = subtract(p[n - 1], p[n - 2]);
        side.flatQuad(at(left[0], z1), at(right[0], z1), at(right[0], z0), at(left[0], z0), startOut);
        side.flatQuad(at(left[n - 1], z1), at(right[n - 1], z1), at(right[n - 1], z0), at(left[n - 1], z0),
                      endOut);
    }
}

}  // namespace

std::string hullTextureName(BSide side) { return side == BSide::Left ? "hull_left.bmp" : "hull_right.bmp"; }

BModelFile buildShip(BSide side) {
    const BTeam team = teamOf(side);
    BModelFile model;
    model.material("Hull", 170, 175, 185, hullTextureName(side));
    model.material("Trim", team.main.r, team.main.g, team.main.b);
    model.material("Canopy", 40, 70, 120);
    model.material("Engine", team.bolt.r, team.bolt.g, team.bolt.b);

    BMesh trim, engine;
    tail(trim, engine);
    model.mesh("Fuselage", "Hull", fuselage());
    model.mesh("Wings", "Trim", wings());
    model.mesh("Canopy", "Canopy", canopy());
    model.mesh("Fins", "Trim", fins());
    model.mesh("TailRing", "Trim", trim);
    model.mesh("Exhaust", "Engine", engine);
    return model;
}

BModelFile buildBolt(BSide side) {
    const BTeam team = teamOf(side);
    BModelFile model;
    model.material("Core", 255, 250, 235);
    model.material("Glow", team.bolt.r, team.bolt.g, team.bolt.b);

    // A comet the length of the bolt's box: a round head towards -x and a
    // tail tapering to +x, in the side's colour round a white-hot core,
    // all facing +-z. A shot is drawn turned as its ship was, so the head
    // leads whichever way it flies. The faces catch the headlight whole,
    // so the bolt shines from the match's camera however the firing ship
    // was rocking (at most 31 degrees off), and its small depth keeps that
    // rocking from smearing it up and down the screen as a long shape in z
    // would.
    const auto comet = [](float headX, float radius, float tipX) {
        std::vector<Vec3> points;
        for (int k = 0; k <= 12; ++k) {
            const float a = PI * 0.5f + PI * static_cast<float>(k) / 12.0f;
            points.push_back(Vec3(headX + radius * std::cos(a), radius * std::sin(a), 0.0f));
        }
        points.push_back(Vec3(tipX, 0.0f, 0.0f));
        return points;
    };
    const float radius = 0.8f;
    BMesh core, glow;
    prism(glow, comet(radius - BOLT_HALF_LENGTH, radius, BOLT_HALF_LENGTH), -0.08f, 0.08f);
    prism(core, comet(-0.45f, 0.34f, 0.35f), -0.14f, 0.14f);
    model.mesh("Core", "Core", core);
    model.mesh("Rings", "Glow", glow);
    return model;
}

BModelFile buildLogo() {
    BModelFile model;
    // The menu draws the logo at scale 0.4 with GL_NORMALIZE off, so its
    // normals reach the lighting 2.5 times too long and a face towards the
    // camera is lit about 2.5 times over (2.7 with the ambient). Dark
    // colours come out right at that: the letters' (80, 90, 110) shows
    // near white, their walls' (150, 70, 20) as gold when turned to the
    // light, the plate's (8, 12, 30) as deep blue.
    model.material("LogoFace", 80, 90, 110);
    model.material("LogoEdge", 150, 70, 20);
    model.material("LogoPlate", 8, 12, 30);
    model.material("LogoRim", 60, 30, 10);
    const char* const word = "VEKTORAK";
    const float width = 8.0f * LETTER_W + 7.0f * LETTER_GAP;
    // The letters sink a little into the plate, so that their inner faces
    // never show through it.
    const float z0 = PLATE_HALF - 0.05f, z1 = PLATE_HALF + LETTER_RAISE;
    const auto spell = [&](BMesh& face, BMesh& side, float dx, float dy, float zLow, float zHigh, float mirror) {
        for (int i = 0; word[i]; ++i) {
            const float ox = -width * 0.5f + static_cast<float>(i) * (LETTER_W + LETTER_GAP) + dx;
            for (const Stroke& stroke : letter(word[i]))
                extrudeStroke(face, side, stroke, ox, dy - LETTER_H * 0.5f, zLow, zHigh, mirror);
        }
    };
    BMesh face, side;
    spell(face, side, 0.0f, 0.0f, z0, z1, 1.0f);
    // The strokes' end caps and mitres reach past the letter cells unevenly;
    // centre the word on what was built, so that it spins about its middle.
    Vec3 low = face.vertices()[0], high = low;
    for (const BMesh* mesh : {&face, &side})
        for (const Vec3& p : mesh->vertices()) {
            low = Vec3(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
            high = Vec3(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
        }
    const Vec3 shift(-(low.x + high.x) * 0.5f, -(low.y + high.y) * 0.5f, 0.0f);
    face.translate(shift);
    side.translate(shift);
    // The back: the same word, centred the same way, mirrored in x.
    spell(face, side, shift.x, shift.y, -z1, -z0, -1.0f);

    // The plate: the word's box and a margin, corners cut.
    const float px = (high.x - low.x) * 0.5f + PLATE_MARGIN, py = (high.y - low.y) * 0.5f + PLATE_MARGIN;
    const float cut = PLATE_MARGIN * 1.2f;
    const std::vector<Vec3> outline = {Vec3(-px + cut, -py, 0), Vec3(px - cut, -py, 0), Vec3(px, -py + cut, 0),
                                       Vec3(px, py - cut, 0),   Vec3(px - cut, py, 0),  Vec3(-px + cut, py, 0),
                                       Vec3(-px, py - cut, 0),  Vec3(-px, -py + cut, 0)};
    BMesh plate, rim;
    std::vector<Vec3> front, back;
    for (const Vec3& p : outline) {
        front.push_back(Vec3(p.x, p.y, PLATE_HALF));
        back.push_back(Vec3(p.x, p.y, -PLATE_HALF));
    }
    plate.flatPolygon(front, Vec3(0.0f, 0.0f, 1.0f));
    plate.flatPolygon(back, Vec3(0.0f, 0.0f, -1.0f));
    for (size_t i = 0; i < outline.size(); ++i) {
        const size_t j = (i + 1) % outline.size();
        const Vec3 mid = divide(add(outline[i], outline[j]), 2.0f);
        rim.flatQuad(front[i], front[j], back[j], back[i], Vec3(mid.x, mid.y, 0.0f));
    }
    const float k = LOGO_HALF_WIDTH / px;
    for (BMesh* mesh : {&face, &side, &plate, &rim}) mesh->scale(k);
    model.mesh("Letters", "LogoFace", face);
    model.mesh("Edges", "LogoEdge", side);
    model.mesh("Plate", "LogoPlate", plate);
    model.mesh("Rim", "LogoRim", rim);
    return model;
}

std::string healthBarText(BSide side) {
    const BTeam team = teamOf(side);
    // The file holds the corners relative to where the game puts the bar:
    // (+-BAR_ANCHOR_X, BAR_ANCHOR_Y, -BAR_ANCHOR_DEPTH) at full health.
    // Counter-clockwise seen from the camera; the point away from the centre.
    const float sign = side == BSide::Left ? -1.0f : 1.0f;
    const float inner = sign * (HEALTH_BAR_INNER_X - BAR_ANCHOR_X);
    const float outer = sign * (HEALTH_BAR_OUTER_X - BAR_ANCHOR_X);
    const float y = HEALTH_BAR_Y - BAR_ANCHOR_Y, z = BAR_ANCHOR_DEPTH - HEALTH_BAR_DEPTH;
    const float first = sign * -HEALTH_BAR_HALF_HEIGHT;
    char text[200];
    snprintf(text, sizeof text, "%d %d %d\n%.2f %.2f %.2f\n%.2f %.2f %.2f\n%.2f %.2f %.2f\n", team.main.r,
             team.main.g, team.main.b, inner, y + first, z, outer, y, z, inner, y - first, z);
    return text;
}
