// vk_modelcheck.cpp: the checks behind vk-modelinfo --check.
//
// The model is read by the game's own readers (H3DSLoader, HModel's text
// reader), so what is reported is what the game gets. The one thing those
// readers do not keep is found by a walk over the file's chunks that
// follows the reader's levels: which material names each mesh's faces
// give. The reader keeps one material a mesh, the last named, and cannot
// tell "no material" from "the first material".
//
// The places the game gives its models are fixed by its draw code:
// - a ship is seen side on in a match, inside a collision box of 5.6 by
//   1.8 (half-sizes 2.8, 0.9, 10), rocked up to 31 degrees about x; in the
//   menu it turns about a point 7 units either side of the centre, 22.2
//   from the eye, in front of a picture 32.2 away;
// - a bolt has a box of half-sizes (1, 1, 5) and is rocked as its ship;
// - the logo turns about y at (8, -6), 22.2 away, drawn at scale 0.4;
// - a health bar stands at x = +-3, y 15.6 and 40 from the eye, and is
//   squeezed towards the window's edge as health goes, so that whatever of
//   it shows at full health keeps showing, shorter, down to the last point.
// A 4:3 window shows the menu's picture to x = +-17.78 and y = +-13.34.
#include "vk_modelcheck.h"

#include <SDL_image.h>

#include <algorithm>  // Required for: std::max, std::min, std::find
#include <cctype>     // Required for: std::tolower
#include <cmath>      // Required for: std::sqrt, std::fabs, std::cos, std::sin, std::tan
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/h3dsformat.h"
#include "assets/h3dsloader.h"
#include "assets/hbytes.h"
#include "assets/hmodel.h"
#include "game/gprojectile.h"
#include "game/gship.h"
#include "screens/gview.h"
#include "screens/mmenulayout.h"

namespace {

constexpr double PI = 3.14159265358979;
// tan(22.5 degrees): the game's 45 degree view, from its centre to the top.
const double TAN_HALF_VIEW = std::tan(22.5 * PI / 180.0);

// --- the game's places for its models -------------------------------------------------

enum class Kind { Ship, Bolt, Logo, Bar };

struct Slot {
    const char* file;
    Kind kind;
    const char* what;
    // +1 for the right player's side of the screen, -1 for the left's.
    double side;
};

const Slot SLOTS[] = {{"ship.3ds", Kind::Ship, "the right player's ship, in the match and in the menu", 1.0},
                      {"ship2.3ds", Kind::Ship, "the left player's ship, in the match and in the menu", -1.0},
                      {"zat.3ds", Kind::Bolt, "the right player's shots", 1.0},
                      {"zat2.3ds", Kind::Bolt, "the left player's shots", -1.0},
                      {"logo.3ds", Kind::Logo, "the logo that turns in the menu", 1.0},
                      {"lives_right.txt", Kind::Bar, "the right player's health bar", 1.0},
                      {"lives_left.txt", Kind::Bar, "the left player's health bar", -1.0}};

constexpr double SHIP_HALF_X = GShip::EXTENT_X, SHIP_HALF_Y = GShip::EXTENT_Y;
constexpr double BOLT_HALF_X = GProjectile::EXTENT_X, BOLT_HALF_Y = GProjectile::EXTENT_Y;
constexpr double ROCK_DEGREES = 31.0;
// The menu's picture, its distance from the eye, and what a 4:3 window
// shows of it.
constexpr double PICTURE_DEPTH = MENU_PUSH - MENU_PICTURE_Z;
const double PICTURE_HALF_HEIGHT = PICTURE_DEPTH * TAN_HALF_VIEW;
const double PICTURE_HALF_WIDTH = PICTURE_HALF_HEIGHT * 4.0 / 3.0;
constexpr double MENU_DEPTH = MENU_PUSH - MENU_RIGHT_SHIP.z, MENU_SHIP_X = MENU_RIGHT_SHIP.x;
constexpr double MENU_LOGO_X = MENU_LOGO.x, MENU_LOGO_Y = MENU_LOGO.y, MENU_LOGO_SCALE = MENU_LOGO.scale;
// Far larger or smaller: beyond these ratios of the model's size to its
// place.
constexpr double FAR_LARGER = 1.5, FAR_SMALLER = 0.5;
// A mesh is near the 3DS format's limit at 90% of it.
const int32_t NEAR_LIMIT = static_cast<int32_t>(h3ds::MAX_LIST_COUNT * 9 / 10);
// The largest texture assumed to load everywhere. OpenGL 1.1 itself only
// promises 64, which would condemn every picture the game ships (its hull
// textures are 256, its menu 1024); every driver of the last twenty years,
// Mesa's software renderers included, takes 2048, so a texture beyond it
// is the one that may come out blank on some player's machine.
constexpr int MAX_TEXTURE = 2048;
// The health bars: where the game puts them, and how far they slide.
constexpr double BAR_X = GView::BAR_X_AT_FULL;
constexpr double BAR_DEPTH = -GView::BAR_Z;

const Slot* slotFor(const std::string& base) {
    for (const Slot& slot : SLOTS)
        if (base == slot.file) return &slot;
    return nullptr;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// --- report -------------------------------------------------------------------------------

class Report {
public:
    explicit Report(const char* file) { printf("%s\n", file); }
    void line(const std::string& text) { printf("  %s\n", text.c_str()); }
    // A problem that changes what the game draws.
    void differs(const std::string& text) {
        printf("  warning: %s\n", text.c_str());
        different = true;
    }
    // A problem of fit: the game draws the file as it is, but it will look
    // wrong where the game puts it.
    void advice(const std::string& text) { printf("  warning: %s\n", text.c_str()); }
    bool drawsAsDescribed() const { return !different; }

private:
    bool different = false;
};

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0, double d = 0.0, double e = 0.0) {
    char text[256];
    snprintf(text, sizeof text, pattern, a, b, c, d, e);
    return text;
}

std::string quoted(const char* s) { return std::string("\"") + s + "\""; }

// --- the chunk walk -------------------------------------------------------------------------
//
// Face material names per named object, found where the game's reader
// finds them: named objects among the children of the main and editor
// chunks, face materials among those of a named object, its triangle mesh
// and, after the faces, its face list. A chunk that breaks its parent's
// bounds ends the walk of that parent, as it stops the reader.

template <typename Visit>
void eachChunk(const uint8_t* p, size_t size, Visit visit) {
    size_t at = 0;
    while (at + h3ds::HEADER_SIZE <= size) {
        HByteReader header(p + at, h3ds::HEADER_SIZE);
        const uint16_t id = header.u16();
        const uint32_t length = header.u32();
        if (length < h3ds::HEADER_SIZE || length > size - at) return;
        visit(id, p + at + h3ds::HEADER_SIZE, length - h3ds::HEADER_SIZE);
        at += length;
    }
}

void walkObject(const uint8_t* p, size_t size, int depth, std::vector<std::string>& names) {
    if (depth > h3ds::MAX_NESTING) return;
    eachChunk(p, size, [&](uint16_t id, const uint8_t* payload, size_t length) {
        if (id == h3ds::CHUNK_TRIANGLE_MESH) {
            walkObject(payload, length, depth + 1, names);
        } else if (id == h3ds::CHUNK_FACE_LIST && length >= h3ds::COUNT_SIZE) {
            const size_t faces = h3ds::COUNT_SIZE + static_cast<size_t>(HByteReader(payload, h3ds::COUNT_SIZE).u16()) * h3ds::FACE_SIZE;
            if (faces < length) walkObject(payload + faces, length - faces, depth + 1, names);
        } else if (id == h3ds::CHUNK_FACE_MATERIAL) {
            names.emplace_back(reinterpret_cast<const char*>(payload), strnlen(reinterpret_cast<const char*>(payload), length));
        }
    });
}

void walkMain(const uint8_t* p, size_t size, int depth, std::vector<std::vector<std::string>>& objects) {
    if (depth > h3ds::MAX_NESTING) return;
    eachChunk(p, size, [&](uint16_t id, const uint8_t* payload, size_t length) {
        if (id == h3ds::CHUNK_EDITOR) {
            walkMain(payload, length, depth + 1, objects);
        } else if (id == h3ds::CHUNK_NAMED_OBJECT) {
            const size_t name = strnlen(reinterpret_cast<const char*>(payload), length) + 1;
            objects.emplace_back();
            if (name < length) walkObject(payload + name, length - name, depth + 1, objects.back());
        }
    });
}

bool readBytes(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    return true;
}

// --- what the game gets -----------------------------------------------------------------

struct Extent {
    Vec3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
    double reach = 0.0;      // furthest from the origin
    double reachXZ = 0.0;    // furthest from the y axis
    double rocked = 0.0;     // furthest from y = 0 when rocked about x
    bool empty = true;
};

Extent extentOf(const HModelData& data) {
    Extent e;
    const double rock = ROCK_DEGREES * PI / 180.0;
    for (const HMesh& mesh : data.meshes)
        for (int32_t i = 0; i < mesh.vertexCount; ++i) {
            const Vec3 p = mesh.vertices[i];
            e.empty = false;
            e.low = Vec3(std::min(e.low.x, p.x), std::min(e.low.y, p.y), std::min(e.low.z, p.z));
            e.high = Vec3(std::max(e.high.x, p.x), std::max(e.high.y, p.y), std::max(e.high.z, p.z));
            e.reach = std::max(e.reach, std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z));
            e.reachXZ = std::max(e.reachXZ, std::sqrt(double(p.x) * p.x + double(p.z) * p.z));
            // |y cos a - z sin a| is largest at the ends of the swing or
            // where it turns, within it.
            for (int k = -8; k <= 8; ++k) {
                const double a = rock * k / 8.0;
                e.rocked = std::max(e.rocked, std::fabs(p.y * std::cos(a) - p.z * std::sin(a)));
            }
        }
    return e;
}

// How far across the menu's picture a point at distance r from a model's
// turning centre (cx, 22.2 away) can reach as it turns: the least and the
// most picture x over a turn.
void menuSweep(double cx, double r, double& least, double& most) {
    least = 1e30;
    most = -1e30;
    for (int k = 0; k < 720; ++k) {
        const double a = PI * k / 360.0;
        const double x = PICTURE_DEPTH * (cx + r * std::cos(a)) / (MENU_DEPTH - r * std::sin(a));
        least = std::min(least, x);
        most = std::max(most, x);
    }
}

// The match widens a window's view that cannot show the ship whole in the
// field's corners (GView::FIELD_FILL); the 4:3 and 16:9 views at unit depth.
void checkFieldFit(Report& report, const HModelData& data) {
    double x = 0.0, y = 0.0;
    GView::widenFieldReach(data, x, y);
    const auto shown = [x, y](double aspect) {
        const double zoom = std::min(TAN_HALF_VIEW * aspect / x, TAN_HALF_VIEW / y);
        return zoom < 1.0 ? zoom * GView::FIELD_FILL : 1.0;
    };
    report.line(format("in a match: in the field's corners it reaches %.3f across and %.3f up per unit of depth; "
                       "to show it whole a 4:3 window's view is drawn at %.0f %%, a 16:9 one's at %.0f %%",
                       x, y, 100.0 * shown(4.0 / 3.0), 100.0 * shown(16.0 / 9.0)));
    if (shown(16.0 / 9.0) < 1.0)
        report.advice("even a 16:9 window must widen its view to show the ship whole in the field's corners: "
                      "every ship and shot shows smaller");
}

void checkShipFit(Report& report, const Extent& e) {
    const double w = e.high.x - e.low.x, h = e.high.y - e.low.y;
    const std::string box = format("%.2f x %.2f", 2.0 * SHIP_HALF_X, 2.0 * SHIP_HALF_Y);
    report.line(format("in a match: seen side on, %.2f x %.2f against the collision box's %.2f x %.2f; rocking "
                       "takes it to y = +-%.2f",
                       w, h, 2.0 * SHIP_HALF_X, 2.0 * SHIP_HALF_Y, e.rocked));
    if (w > FAR_LARGER * 2.0 * SHIP_HALF_X || h > FAR_LARGER * 2.0 * SHIP_HALF_Y)
        report.advice("the ship is far larger than its collision box (" + box +
                      "): shots pass through parts of it that show, and ships bounce before they seem to touch");
    else if (w < FAR_SMALLER * 2.0 * SHIP_HALF_X && h < FAR_SMALLER * 2.0 * SHIP_HALF_Y)
        report.advice("the ship is far smaller than its collision box (" + box + "): shots strike empty space "
                      "round it");
    if (e.rocked > FAR_LARGER * SHIP_HALF_Y)
        report.advice(format("as the ship rocks by 31 degrees, parts of it swing to y = +-%.2f, far outside its "
                             "box's +-0.90: keep what sticks out in z close to the centre line",
                             e.rocked));
    double least, most;
    menuSweep(MENU_SHIP_X, e.reach, least, most);
    report.line(format("in the menu: it turns about a point 7 units from the centre and reaches %.2f from it, "
                       "sweeping %.2f .. %.2f across the picture (a 4:3 window shows 0 .. 17.78 of that side)",
                       e.reach, least, most));
    if (least < 0.0)
        report.advice("in the menu the ship crosses into the other player's half as it turns");
    if (most > PICTURE_HALF_WIDTH) report.advice("in the menu the ship leaves a 4:3 window as it turns");
}

void checkBoltFit(Report& report, const Extent& e) {
    const double w = e.high.x - e.low.x, h = e.high.y - e.low.y;
    report.line(format("in a match: %.2f x %.2f against the shot's box of 2.00 x 2.00", w, h));
    if (w > FAR_LARGER * 2.0 * BOLT_HALF_X || h > FAR_LARGER * 2.0 * BOLT_HALF_Y)
        report.advice("the shot is far larger than its box (2.00 x 2.00): it seems to strike before it does");
    else if (w < FAR_SMALLER * 2.0 * BOLT_HALF_X && h < FAR_SMALLER * 2.0 * BOLT_HALF_Y)
        report.advice("the shot is far smaller than its box (2.00 x 2.00): it strikes from a distance");
}

void checkLogoFit(Report& report, const Extent& e) {
    const double r = e.reachXZ * MENU_LOGO_SCALE;
    double least, most;
    menuSweep(MENU_LOGO_X, r, least, most);
    const double bottom = PICTURE_DEPTH * (MENU_LOGO_Y + e.low.y * MENU_LOGO_SCALE) / (MENU_DEPTH - r);
    report.line(format("in the menu: drawn at 0.4, it sweeps %.2f .. %.2f across the picture and down to %.2f "
                       "(a 4:3 window shows to 17.78 and -13.34)",
                       least, most, bottom));
    if (most > PICTURE_HALF_WIDTH || bottom < -PICTURE_HALF_HEIGHT)
        report.advice("the logo is far larger than its place: part of it leaves a 4:3 window as it turns");
    else if (e.high.x - e.low.x < 5.0)
        report.advice("the logo is far smaller than its place: under 2 units across as the menu draws it");
}

void checkBarFit(Report& report, const HModelData& data, double side) {
    const HMesh& mesh = data.meshes[0];
    // Screen positions across the window's half-width (0 centre, 1 edge),
    // outward from the centre on the bar's own side.
    double innerFull = 1e30, outerFull = -1e30;
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        const Vec3 p = mesh.vertices[i];
        const double depth = BAR_DEPTH - p.z;
        if (depth <= 0.0) return;  // behind the eye: nothing to measure
        const double across = side * (side * BAR_X + p.x) / (depth * TAN_HALF_VIEW * 4.0 / 3.0);
        innerFull = std::min(innerFull, across);
        outerFull = std::max(outerFull, across);
    }
    report.line(format("at full health it runs from %.2f to %.2f of the window's half-width in a 4:3 window "
                       "(0 the centre, 1 the edge)",
                       innerFull, outerFull));
    // The game squeezes what shows of it at full health towards the edge:
    // the last point shows as long as something does at full health.
    if (innerFull >= 1.0)
        report.advice("the bar is out of a 4:3 window even at full health: players never see their health");
}

void checkTextures(Report& report, const std::string& model, const HModelData& data) {
    std::vector<std::string> seen;
    for (const HMaterial& m : data.materials) {
        if (!m.textureFile[0] || std::find(seen.begin(), seen.end(), m.textureFile) != seen.end()) continue;
        seen.push_back(m.textureFile);
        const std::string path = m.textureFile[0] == '/' ? m.textureFile : directoryOf(model) + m.textureFile;
        const std::string name = quoted(m.textureFile);
        FILE* file = fopen(path.c_str(), "rb");
        if (!file) {
            report.differs("texture " + name + " is missing (looked for " + path +
                           "): the meshes that use it are drawn white");
            continue;
        }
        fclose(file);
        SDL_Surface* image = IMG_Load(path.c_str());
        if (!image) {
            report.differs("texture " + name + " cannot be decoded (" + IMG_GetError() +
                           "): the meshes that use it are drawn white");
            continue;
        }
        report.line("texture " + name +
                    format(": %.0f x %.0f, %.0f bytes a pixel", image->w, image->h, image->format->BytesPerPixel));
        if (!powerOfTwo(image->w) || !powerOfTwo(image->h))
            report.differs("texture " + name + format(" is %.0f x %.0f: OpenGL 1.1 takes only sides that are powers "
                                                      "of two (64, 128, 256 ...); with texture filter 0 or 1 it is "
                                                      "refused and the meshes that use it are drawn white",
                                                      image->w, image->h));
        if (image->w > MAX_TEXTURE || image->h > MAX_TEXTURE)
            report.differs("texture " + name + format(" is %.0f x %.0f, larger than %.0f, the largest this check "
                                                      "trusts every OpenGL driver to take: where it is refused the "
                                                      "meshes that use it are drawn white",
                                                      image->w, image->h, MAX_TEXTURE));
        if (image->format->BytesPerPixel != 3)
            report.differs("texture " + name + format(" has %.0f bytes a pixel: the game takes every picture as 3 "
                                                      "(24-bit RGB, as a baseline JPEG or a 24-bit BMP decodes), so "
                                                      "its colours come out scrambled",
                                                      image->format->BytesPerPixel));
        SDL_FreeSurface(image);
    }
}

void checkMeshes(Report& report, const HModelData& data, const std::vector<std::vector<std::string>>& named) {
    for (int32_t i = 0; i < data.meshCount; ++i) {
        const HMesh& mesh = data.meshes[i];
        const std::string name = "mesh " + quoted(mesh.name);
        std::string how;
        if (mesh.materialId >= 0 && mesh.materialId < data.materialCount) {
            const HMaterial& m = data.materials[mesh.materialId];
            how = mesh.hasTexture ? "textured with " + quoted(m.textureFile)
                                  : format("in colour %.0f %.0f %.0f", m.colour[0], m.colour[1], m.colour[2]);
            how += " (material " + quoted(m.name) + ")";
        } else {
            how = "in white";
        }
        report.line(name + format(": %.0f vertices, %.0f triangles, ", mesh.vertexCount, mesh.faceCount) + how);

        const std::vector<std::string> faces = i < static_cast<int32_t>(named.size()) ? named[i] : std::vector<std::string>();
        std::vector<std::string> distinct;
        for (const std::string& n : faces)
            if (std::find(distinct.begin(), distinct.end(), n) == distinct.end()) distinct.push_back(n);
        if (faces.empty()) {
            report.differs(name + " names no material: the game draws it " +
                           (data.materialCount > 0 ? "with the file's first material, " + quoted(data.materials[0].name)
                                                   : std::string("in white, as the file has no material")));
        } else if (distinct.size() > 1) {
            std::string list;
            for (const std::string& n : distinct) list += (list.empty() ? "" : ", ") + quoted(n.c_str());
            report.differs(name + format(" gives its faces %.0f materials (", distinct.size()) + list +
                           "): the game draws the whole mesh with the last named, " + quoted(faces.back().c_str()));
        }
        if (mesh.materialId < 0) {
            bool later = false;
            const std::string wanted = faces.empty() ? "" : faces.back();
            for (const HMaterial& m : data.materials) later = later || wanted == m.name;
            report.differs(name + " names material " + quoted(wanted.c_str()) +
                           (later ? ", which the file defines only after the mesh: the game matches a mesh only "
                                    "with materials read before it, so draws it white"
                                  : ", which the file does not have: the game draws it white"));
        }
        if (mesh.hasTexture && mesh.texCoordCount < mesh.vertexCount)
            report.differs(name + format(" is textured but has %.0f texture coordinates for %.0f vertices: the "
                                         "rest are drawn with whatever coordinates came before",
                                         mesh.texCoordCount, mesh.vertexCount));
        if (mesh.vertexCount >= NEAR_LIMIT || mesh.faceCount >= NEAR_LIMIT)
            report.advice(name + format(" has %.0f vertices and %.0f triangles, near the 65535 a 3DS mesh can "
                                        "hold: split it before it grows",
                                        mesh.vertexCount, mesh.faceCount));
    }
}

// Counts what the game's text reader converts: "%d %d %d", then three
// times "%f %f %f".
int textNumbersRead(const char* path, int colour[3]) {
    FILE* file = fopen(path, "r");
    if (!file) return -1;
    int read = std::max(0, fscanf(file, "%d %d %d", &colour[0], &colour[1], &colour[2]));
    for (int i = 0; i < 3; ++i) {
        float x, y, z;
        read += std::max(0, fscanf(file, "%f %f %f", &x, &y, &z));
    }
    fclose(file);
    return read;
}

bool checkOne(const char* path) {
    Report report(path);
    const std::string base = baseName(path);
    const char last = base.empty() ? '\0' : base.back();
    const char reader = static_cast<char>(std::tolower(static_cast<unsigned char>(last)));
    const Slot* slot = slotFor(base);
    if (last == 's')
        report.line("the game reads it as a 3DS model and draws it lit");
    else if (last == 't')
        report.line("the game reads it as a one-triangle text model and draws it unlit in its colour");
    if (last != 's' && last != 't') {
        report.differs("the game reads only names ending in a lower-case 's' (3DS) or 't' (text model): it would "
                       "load this file as an empty model and draw nothing" +
                       (reader == 's' || reader == 't' ? "; rename it " + quoted(lower(base).c_str()) : std::string()));
        if (!slot) slot = slotFor(lower(base));
    }
    if (slot && (last == 's' || last == 't'))
        report.line(std::string("it replaces ") + slot->what);
    else if (slot)
        report.line("named " + quoted(slot->file) + ", it would replace " + slot->what);
    else
        report.line("no model of the game has this name: the game opens ship.3ds, ship2.3ds, zat.3ds, zat2.3ds, "
                    "logo.3ds, lives_left.txt and lives_right.txt");
    if (reader != 's' && reader != 't') return false;

    HModel model;
    if (reader == 't') {
        int colour[3] = {0, 0, 0};
        const int numbers = textNumbersRead(path, colour);
        if (numbers < 0 || !model.loadText(path)) {
            report.differs("the file cannot be opened: the game draws nothing");
            return false;
        }
        if (numbers < 12)
            report.differs(format("only %.0f of the 12 numbers could be read: the game takes the rest as 0", numbers));
        for (int i = 0; i < 3 && i < numbers; ++i)
            if (colour[i] < 0 || colour[i] > 255)
                report.differs(format("the colour value %.0f is out of 0 .. 255: the game keeps its low 8 bits, %.0f",
                                      colour[i], colour[i] & 255));
    } else {
        std::vector<uint8_t> bytes;
        if (!readBytes(path, bytes)) {
            report.differs("the file cannot be opened: the game draws nothing");
            return false;
        }
        HByteReader mainHeader(bytes.data(), bytes.size());
        const uint16_t mainId = mainHeader.u16();
        const uint32_t mainLength = mainHeader.u32();
        if (!mainHeader.ok() || mainId != h3ds::CHUNK_MAIN) {
            report.differs("the file is not a 3DS file (it does not begin with the main chunk): the game draws "
                           "nothing");
            return false;
        }
        H3DSLoader loader;
        if (!loader.load(model.data, path))
            report.differs(format("the reader stopped early, the file being damaged (its message is above): the "
                                  "game draws only the %.0f materials and %.0f meshes before the damage",
                                  model.data.materialCount, model.data.meshCount));
        std::vector<std::vector<std::string>> named;
        const uint32_t length = std::min<uint32_t>(mainLength, static_cast<uint32_t>(bytes.size()));
        if (length >= h3ds::HEADER_SIZE)
            walkMain(bytes.data() + h3ds::HEADER_SIZE, length - h3ds::HEADER_SIZE, 1, named);
        int32_t vertices = 0, faces = 0;
        for (const HMesh& mesh : model.data.meshes) {
            vertices += mesh.vertexCount;
            faces += mesh.faceCount;
        }
        report.line(format("%.0f materials, %.0f meshes, %.0f vertices, %.0f triangles", model.data.materialCount,
                           model.data.meshCount, vertices, faces));
        checkMeshes(report, model.data, named);
        checkTextures(report, path, model.data);
    }

    const Extent e = extentOf(model.data);
    if (e.empty) {
        report.differs("the model has no vertices: the game draws nothing");
    } else {
        report.line(format("size: x %.2f .. %.2f, y %.2f .. %.2f", e.low.x, e.high.x, e.low.y, e.high.y) +
                    format(", z %.2f .. %.2f", e.low.z, e.high.z));
        if (slot && slot->kind == Kind::Ship) checkShipFit(report, e);
        if (slot && slot->kind == Kind::Ship) checkFieldFit(report, model.data);
        if (slot && slot->kind == Kind::Bolt) checkBoltFit(report, e);
        if (slot && slot->kind == Kind::Logo) checkLogoFit(report, e);
        if (slot && slot->kind == Kind::Bar && model.data.meshCount == 1) checkBarFit(report, model.data, slot->side);
    }
    report.line(report.drawsAsDescribed() ? "the game draws it as the file describes"
                                          : "the game would draw it differently from what the file describes");
    return report.drawsAsDescribed();
}

}  // namespace

int checkModels(int count, char* const files[]) {
    bool all = true;
    for (int i = 0; i < count; ++i) {
        if (!checkOne(files[i])) all = false;
        fflush(stdout);
    }
    return all ? 0 : 1;
}
