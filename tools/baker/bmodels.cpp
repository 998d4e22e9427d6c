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

// Ship outline constants, in model units (see bmodels.h for the box).
constexpr float NOSE_X = -2.8f;
constexpr float TAIL_X = 2.8f;
constexpr float WING_ROOT_Z = 0.9f;
constexpr float WING_TIP_Z = 8.7f;
constexpr float POD_Z = 9.2f;
constexpr float POD_RADIUS = 0.5f;
constexpr float TIP_Y = 0.15f;  // the wings rise from -0.1 at the root

// Texture mapping of the hull (see paintHull): u from nose to tail, the
// fuselage on v 0.05 .. 0.55, the wings on v 0.1 (root) .. 0.9 (tip).
float hullU(float x) { return (x - NOSE_X) / (TAIL_X - NOSE_X); }

BMesh::Uv wingUv(Vec3 p) {
    return {hullU(p.x), 0.1f + 0.8f * (std::fabs(p.z) - WING_ROOT_Z) / (WING_TIP_Z - WING_ROOT_Z)};
}

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

// The same around an axis parallel to x through (y, z) = (yc, zc), circular.
std::vector<Vec3> podRing(float x, float yc, float zc, float r, int n) {
    std::vector<Vec3> ring = ringAlongX(x, yc, r, r, n);
    for (Vec3& p : ring) p.z += zc;
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

BMesh fuselage() {
    // Stations from nose to tail: x, centre height, half-height, half-width.
    struct Station {
        float x, yc, ry, rz;
    };
    const Station stations[] = {{-2.30f, -0.05f, 0.26f, 0.36f}, {-1.50f, -0.02f, 0.46f, 0.70f},
                                {-0.40f, 0.0f, 0.58f, 0.98f},   {1.00f, 0.0f, 0.60f, 1.08f},
                                {2.20f, 0.0f, 0.55f, 1.00f},    {TAIL_X, 0.0f, 0.48f, 0.86f}};
    const int sides = 14;
    std::vector<std::vector<Vec3>> rings;
    std::vector<std::vector<BMesh::Uv>> uv;
    std::vector<BMesh::Uv> seam;
    rings.push_back({Vec3(NOSE_X, -0.05f, 0.0f)});
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
    const std::vector<Vec3> outer = ringAlongX(TAIL_X, 0.0f, 0.48f, 0.86f, 14);
    const std::vector<Vec3> inner = ringAlongX(TAIL_X, 0.0f, 0.30f, 0.58f, 14);
    for (size_t k = 0; k < outer.size(); ++k) {
        const size_t j = (k + 1) % outer.size();
        trim.flatQuad(outer[k], outer[j], inner[j], inner[k], Vec3(1.0f, 0.0f, 0.0f));
    }
    // The exhaust: a shallow cone sunk into the tail, its tip 0.35 inside,
    // so that it stays within the box and shades from rim to centre. The
    // ring runs counter-clockwise looking towards +x, the loft heads
    // towards -x: the cone faces its own axis, out of the cavity.
    engine.loft({inner, {Vec3(TAIL_X - 0.35f, 0.0f, 0.0f)}});
}

BMesh canopy() {
    // An ellipsoid centred ahead of the wings, its lower half inside the
    // fuselage; top at y = 0.9, the box's limit.
    const float cx = -0.9f, cy = 0.3f, ax = 1.3f, ay = 0.6f, az = 0.5f;
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

// Both wings: thin swept slabs, a ridge at 35% of the chord, flat facets.
BMesh wings() {
    BMesh mesh;
    for (const float side : {1.0f, -1.0f}) {
        struct Section {
            float z, leading, trailing, yc, top, bottom;
        };
        const Section root{WING_ROOT_Z * side, -1.2f, 2.4f, -0.1f, 0.15f, 0.10f};
        const Section tip{WING_TIP_Z * side, 0.7f, 2.3f, TIP_Y, 0.06f, 0.04f};
        const auto points = [](const Section& s) {
            const float ridge = s.leading + 0.35f * (s.trailing - s.leading);
            return std::vector<Vec3>{Vec3(s.leading, s.yc, s.z), Vec3(ridge, s.yc + s.top, s.z),
                                     Vec3(s.trailing, s.yc, s.z), Vec3(ridge, s.yc - s.bottom, s.z)};
        };
        const std::vector<Vec3> r = points(root), t = points(tip);
        const Vec3 up(0.0f, 1.0f, 0.0f), down(0.0f, -1.0f, 0.0f);
        mesh.flatQuad(r[0], r[1], t[1], t[0], up, wingUv);
        mesh.flatQuad(r[1], r[2], t[2], t[1], up, wingUv);
        mesh.flatQuad(r[2], r[3], t[3], t[2], down, wingUv);
        mesh.flatQuad(r[3], r[0], t[0], t[3], down, wingUv);
        mesh.flatPolygon(t, Vec3(0.0f, 0.0f, side), wingUv);
    }
    return mesh;
}

// Wingtip pods with a gun barrel forward; fins above and below them.
void pods(BMesh& pod, BMesh& fins) {
    for (const float side : {1.0f, -1.0f}) {
        const float zc = POD_Z * side;
        struct Station {
            float x, r;
        };
        const Station stations[] = {{-2.40f, 0.07f}, {-2.15f, 0.10f}, {-1.95f, 0.30f}, {-1.45f, POD_RADIUS},
                                    {1.60f, POD_RADIUS}, {2.25f, 0.36f}};
        std::vector<std::vector<Vec3>> rings;
        rings.push_back({Vec3(-2.78f, TIP_Y, zc)});
        for (const Station& s : stations) rings.push_back(podRing(s.x, TIP_Y, zc, s.r, 10));
        rings.push_back({Vec3(2.45f, TIP_Y, zc)});
        pod.loft(rings);

        prism(fins,
              {Vec3(0.4f, TIP_Y + 0.3f, 0.0f), Vec3(2.2f, TIP_Y + 0.3f, 0.0f), Vec3(2.45f, 0.88f, 0.0f),
               Vec3(1.5f, 0.88f, 0.0f)},
              zc - 0.05f, zc + 0.05f);
        prism(fins,
              {Vec3(0.8f, TIP_Y - 0.3f, 0.0f), Vec3(1.7f, -0.86f, 0.0f), Vec3(2.4f, -0.86f, 0.0f),
               Vec3(2.2f, TIP_Y - 0.3f, 0.0f)},
              zc - 0.05f, zc + 0.05f);
    }
}

// --- logo -------------------------------------------------------------------------------
//
// Letters drawn as strokes: polylines of a given width with mitred joins,
// extruded front to back. Each letter sits in a cell LETTER_W by
// LETTER_H; the stroke centre lines keep half a stroke inside it.

constexpr float LETTER_W = 2.1f;
constexpr float LETTER_H = 3.6f;
constexpr float LETTER_GAP = 0.4f;
constexpr float STROKE = 0.72f;
constexpr float LOGO_DEPTH = 0.45f;  // half the extrusion, in z

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

// Extrudes one stroke, offset by (ox, oy): faces into face, walls into side.
void extrudeStroke(BMesh& face, BMesh& side, const Stroke& stroke, float ox, float oy) {
    const float h = STROKE * 0.5f;
    std::vector<Vec3> p;
    for (const Vec3& q : stroke.points) p.push_back(Vec3(q.x + ox, q.y + oy, 0.0f));
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
        face.flatQuad(at(right[i], LOGO_DEPTH), at(right[j], LOGO_DEPTH), at(left[j], LOGO_DEPTH),
                      at(left[i], LOGO_DEPTH), front);
        face.flatQuad(at(right[i], -LOGO_DEPTH), at(right[j], -LOGO_DEPTH), at(left[j], -LOGO_DEPTH),
                      at(left[i], -LOGO_DEPTH), back);
        const Vec3 outward = leftNormal(p[i], p[j]);
        side.flatQuad(at(left[i], LOGO_DEPTH), at(left[j], LOGO_DEPTH), at(left[j], -LOGO_DEPTH),
                      at(left[i], -LOGO_DEPTH), outward);
        side.flatQuad(at(right[i], LOGO_DEPTH), at(right[j], LOGO_DEPTH), at(right[j], -LOGO_DEPTH),
                      at(right[i], -LOGO_DEPTH), Vec3(-outward.x, -outward.y, 0.0f));
    }
    if (!stroke.closed) {
        const Vec3 startOut = subtract(p[0], p[1]), endOut = subtract(p[n - 1], p[n - 2]);
        side.flatQuad(at(left[0], LOGO_DEPTH), at(right[0], LOGO_DEPTH), at(right[0], -LOGO_DEPTH),
                      at(left[0], -LOGO_DEPTH), startOut);
        side.flatQuad(at(left[n - 1], LOGO_DEPTH), at(right[n - 1], LOGO_DEPTH), at(right[n - 1], -LOGO_DEPTH),
                      at(left[n - 1], -LOGO_DEPTH), endOut);
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

    BMesh trim, engine, pod, fins;
    tail(trim, engine);
    pods(pod, fins);
    model.mesh("Fuselage", "Hull", fuselage());
    model.mesh("Wings", "Hull", wings());
    model.mesh("Canopy", "Canopy", canopy());
    model.mesh("Pods", "Trim", pod);
    model.mesh("Fins", "Trim", fins);
    model.mesh("TailRing", "Trim", trim);
    model.mesh("Exhaust", "Engine", engine);
    return model;
}

BModelFile buildBolt(BSide side) {
    const BTeam team = teamOf(side);
    BModelFile model;
    model.material("Core", 255, 250, 235);
    model.material("Glow", team.bolt.r, team.bolt.g, team.bolt.b);

    // Each hoop is an octagonal ring in the side's colour around a white-hot
    // disc; all their big faces face +-z and catch the headlight whole, so
    // the bolt reads as a string of bright slugs from the match's camera
    // however the firing ship was rocking. The octagons' flats sit at the
    // outer radius, so the middle hoop is exactly 2 by 2; the end hoops,
    // 0.07 thick on either side of +-4.93, reach the box's +-5.
    struct Hoop {
        float z, r;
    };
    const Hoop hoops[] = {{-4.93f, 0.42f}, {-2.5f, 0.72f}, {0.0f, 1.0f}, {2.5f, 0.72f}, {4.93f, 0.42f}};
    const float corner = 1.0f / std::cos(PI / 8.0f);
    const Vec3 front(0.0f, 0.0f, 1.0f), back(0.0f, 0.0f, -1.0f);
    BMesh core, glow;
    for (const Hoop& hoop : hoops) {
        const float ringHalf = 0.07f, discHalf = 0.05f;
        const float outer = hoop.r * corner, inner = hoop.r * 0.55f * corner;
        const auto on = [](float radius, float a, float z) {
            return Vec3(radius * std::cos(a), radius * std::sin(a), z);
        };
        std::vector<Vec3> discFront, discBack;
        for (int k = 0; k < 8; ++k) {
            const float a0 = PI / 8.0f + PI / 4.0f * static_cast<float>(k), a1 = a0 + PI / 4.0f;
            const float am = (a0 + a1) * 0.5f;
            const Vec3 radial(std::cos(am), std::sin(am), 0.0f);
            const float z0 = hoop.z - ringHalf, z1 = hoop.z + ringHalf;
            glow.flatQuad(on(outer, a0, z1), on(outer, a1, z1), on(inner, a1, z1), on(inner, a0, z1), front);
            glow.flatQuad(on(outer, a0, z0), on(outer, a1, z0), on(inner, a1, z0), on(inner, a0, z0), back);
            glow.flatQuad(on(outer, a0, z1), on(outer, a1, z1), on(outer, a1, z0), on(outer, a0, z0), radial);
            glow.flatQuad(on(inner, a0, z1), on(inner, a1, z1), on(inner, a1, z0), on(inner, a0, z0),
                          Vec3(-radial.x, -radial.y, 0.0f));
            discFront.push_back(on(inner, a0, hoop.z + discHalf));
            discBack.push_back(on(inner, a0, hoop.z - discHalf));
        }
        core.flatPolygon(discFront, front);
        core.flatPolygon(discBack, back);
        for (int k = 0; k < 8; ++k) {
            const int j = (k + 1) % 8;
            const Vec3 mid = divide(add(discFront[k], discFront[j]), 2.0f);
            core.flatQuad(discFront[k], discFront[j], discBack[j], discBack[k], Vec3(mid.x, mid.y, 0.0f));
        }
    }
    model.mesh("Core", "Core", core);
    model.mesh("Rings", "Glow", glow);
    return model;
}

BModelFile buildLogo() {
    BModelFile model;
    // The menu draws the logo at scale 0.4 with GL_NORMALIZE off, so its
    // normals reach the lighting 2.5 times too long and a face towards the
    // camera is lit about 2.5 times over (2.7 with the ambient). Dark
    // colours come out right at that: the face's (24, 56, 110) shows as a
    // full blue, the edges' (150, 70, 20) as gold when turned to the light.
    model.material("LogoFace", 24, 56, 110);
    model.material("LogoEdge", 150, 70, 20);
    const char* const word = "VEKTORAK";
    const float width = 8.0f * LETTER_W + 7.0f * LETTER_GAP;
    BMesh face, side;
    for (int i = 0; word[i]; ++i) {
        const float ox = -width * 0.5f + static_cast<float>(i) * (LETTER_W + LETTER_GAP);
        for (const Stroke& stroke : letter(word[i])) extrudeStroke(face, side, stroke, ox, -LETTER_H * 0.5f);
    }
    // The strokes' end caps and mitres reach past the letter cells unevenly;
    // centre the word on what was built, so that it spins about its middle.
    Vec3 low = face.vertices()[0], high = low;
    for (const BMesh* mesh : {&face, &side})
        for (const Vec3& p : mesh->vertices()) {
            low = Vec3(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
            high = Vec3(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
        }
    const Vec3 shift = divide(add(low, high), -2.0f);
    face.translate(shift);
    side.translate(shift);
    model.mesh("Letters", "LogoFace", face);
    model.mesh("Edges", "LogoEdge", side);
    return model;
}

std::string healthBarText(BSide side) {
    const BTeam team = teamOf(side);
    // Counter-clockwise seen from the camera; the point away from the centre.
    const float out = side == BSide::Left ? -HEALTH_BAR_LENGTH : HEALTH_BAR_LENGTH;
    const float first = side == BSide::Left ? HEALTH_BAR_HALF_HEIGHT : -HEALTH_BAR_HALF_HEIGHT;
    char text[160];
    snprintf(text, sizeof text, "%d %d %d\n0 %.2f 0\n%.2f 0 0\n0 %.2f 0\n", team.main.r, team.main.g, team.main.b,
             first, out, -first);
    return text;
}
