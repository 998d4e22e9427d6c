// Tests of the artwork baker: everything the game loads is written, the same
// bytes every time, in formats and sizes the game's readers and OpenGL 1.1
// take, and shaped to fit where the game draws it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/viewshape.h"
#include "assets/h3dsloader.h"
#include "assets/hmodel.h"
#include "baker/bakeall.h"
#include "baker/bmenucoverage.h"
#include "config/settings.h"
#include "screens/gview.h"
#include "screens/mmenulayout.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

// The files the game opens by name, from its screens and world objects.
const char* const GAME_FILES[] = {"ship.3ds",  "ship2.3ds", "zat.3ds",   "zat2.3ds",   "logo.3ds",
                                  "lives_left.txt", "lives_right.txt", "menu.jpg", "menu1.bmp", "menu2.bmp",
                                  "menu3.bmp", "menu4.bmp", "menu5.bmp", "menu6.bmp", "pozadi.jpg", "won_l.jpg", "won_r.jpg", "remiza.jpg", "vkt.txt", "settings.jpg"};

const char* const PICTURES[] = {"menu.jpg",  "menu1.bmp", "menu2.bmp", "menu3.bmp", "menu4.bmp", "menu5.bmp", "menu6.bmp",
                                "pozadi.jpg", "won_l.jpg", "won_r.jpg", "remiza.jpg", "menu_sky.jpg", "pozadi_sky.jpg", "settings.jpg"};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

struct Box {
    Vec3 low{1e30f, 1e30f, 1e30f};
    Vec3 high{-1e30f, -1e30f, -1e30f};
    void add(Vec3 p) {
        low = Vec3(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
        high = Vec3(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
    }
    Vec3 size() const { return subtract(high, low); }
};

Box boxOf(const HModelData& data) {
    Box box;
    for (const HMesh& mesh : data.meshes)
        for (int32_t i = 0; i < mesh.vertexCount; ++i) box.add(mesh.vertices[i]);
    return box;
}

const HMesh* meshNamed(const HModelData& data, const char* name) {
    for (const HMesh& mesh : data.meshes)
        if (std::string(mesh.name) == name) return &mesh;
    return nullptr;
}

Vec3 centreOf(const HMesh& mesh) {
    Vec3 sum;
    for (int32_t i = 0; i < mesh.vertexCount; ++i) sum = add(sum, mesh.vertices[i]);
    return divide(sum, static_cast<float>(mesh.vertexCount));
}

// Six times the volume the mesh's triangles enclose, measured from point o,
// taking each triangle's counter-clockwise side as its outside. Positive
// when the faces look outward, as the model's normals and the game's light
// need; a mesh wound inside out comes out negative.
double signedVolume(const HMesh& mesh, Vec3 o) {
    double sum = 0.0;
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        const Vec3 a = subtract(mesh.vertices[mesh.faces[f].index[0]], o);
        const Vec3 b = subtract(mesh.vertices[mesh.faces[f].index[1]], o);
        const Vec3 c = subtract(mesh.vertices[mesh.faces[f].index[2]], o);
        const Vec3 n = cross(b, c);
        sum += static_cast<double>(a.x) * n.x + static_cast<double>(a.y) * n.y + static_cast<double>(a.z) * n.z;
    }
    return sum;
}

// Sum of the colour differences, 0 .. 765.
int colourDistance(const uint8_t* a, const uint8_t* b) {
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

class BakerTest : public testing::Test {
protected:
    // Baking takes seconds, and CTest runs every test in a process of its
    // own: the tests read what the build baked (vektorak_bake, bakeAll).
    static void SetUpTestSuite() {
        const char* data = getenv("VEKTORAK_DATA_DIR");
        dir = data != nullptr ? data : "";
    }

    void SetUp() override { ASSERT_FALSE(dir.empty()) << "VEKTORAK_DATA_DIR must name the baked data"; }

    static std::string path(const std::string& name) { return dir + "/" + name; }

    // Reads a 3DS file the way the game's model does, without a window.
    static void load3ds(const std::string& name, HModelData& data) {
        H3DSLoader loader;
        ASSERT_TRUE(loader.load(data, path(name).c_str())) << name;
    }

    static std::string dir;
};

std::string BakerTest::dir;

TEST_F(BakerTest, WritesEveryFileTheGameOpensAndTheTexturesItsModelsName) {
    for (const char* name : GAME_FILES) EXPECT_TRUE(fs::is_regular_file(path(name))) << name;
    for (const char* model : {"ship.3ds", "ship2.3ds", "zat.3ds", "zat2.3ds", "logo.3ds"}) {
        HModelData data;
        load3ds(model, data);
        for (const HMaterial& m : data.materials) {
            if (m.textureFile[0]) {
                EXPECT_TRUE(fs::is_regular_file(path(m.textureFile))) << model << ": " << m.textureFile;
            }
        }
    }
    for (const std::string& name : bakedFileNames()) EXPECT_TRUE(fs::is_regular_file(path(name))) << name;
}

// Twice here, after the build's bake in a process of its own: the first must
// match it, and the second shows what the first left behind in the process.
TEST_F(BakerTest, SecondBakeGivesTheSameBytes) {
    for (int bake = 1; bake <= 2; ++bake) {
        const ScopedTempDir again;
        ASSERT_TRUE(bakeAll(again.path().c_str()));
        for (const std::string& name : bakedFileNames()) {
            const std::string a = readAll(path(name)), b = readAll(again.path() + "/" + name);
            EXPECT_FALSE(a.empty()) << name;
            EXPECT_TRUE(a == b) << name << " differs in bake " << bake;
        }
        // bakedFileNames lists what is written, nothing more.
        EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(again.path()), fs::directory_iterator())),
                  bakedFileNames().size());
    }
}

TEST_F(BakerTest, PicturesDecodeToThreeBytesPerPixelAtPowerOfTwoSizes) {
    std::vector<std::string> pictures(std::begin(PICTURES), std::end(PICTURES));
    for (const std::string& name : bakedFileNames())
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0 &&
            std::find(pictures.begin(), pictures.end(), name) == pictures.end())
            pictures.push_back(name);  // the hull textures
    for (const std::string& name : pictures) {
        SDL_Surface* image = IMG_Load(path(name).c_str());
        ASSERT_NE(image, nullptr) << name << ": " << IMG_GetError();
        EXPECT_EQ(image->format->BytesPerPixel, 3) << name;
        EXPECT_TRUE(powerOfTwo(image->w) && powerOfTwo(image->h)) << name << " is " << image->w << "x" << image->h;
        // Rows as the texture store takes them: 3 bytes a pixel, no padding
        // beyond OpenGL's default 4-byte row alignment.
        EXPECT_EQ(image->pitch, (image->w * 3 + 3) / 4 * 4) << name;
        // Not a blank picture: the darkest and brightest pixels differ.
        ASSERT_EQ(SDL_LockSurface(image), 0);
        int low = 255, high = 0;
        const uint8_t* pixels = static_cast<const uint8_t*>(image->pixels);
        for (int y = 0; y < image->h; ++y)
            for (int x = 0; x < image->w * 3; ++x) {
                low = std::min<int>(low, pixels[y * image->pitch + x]);
                high = std::max<int>(high, pixels[y * image->pitch + x]);
            }
        SDL_UnlockSurface(image);
        EXPECT_GT(high - low, 128) << name;
        SDL_FreeSurface(image);
    }
}

TEST_F(BakerTest, JpegsAreBaselineWithThreeComponents) {
    for (const char* name : PICTURES) {
        const std::string bytes = readAll(path(name));
        if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF || static_cast<uint8_t>(bytes[1]) != 0xD8)
            continue;  // a BMP
        // The frame header: SOF0 (baseline) and never SOF2 (progressive).
        const size_t sof0 = bytes.find("\xFF\xC0");
        ASSERT_NE(sof0, std::string::npos) << name << " has no baseline frame";
        EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos) << name << " is progressive";
        EXPECT_EQ(static_cast<uint8_t>(bytes[sof0 + 9]), 3) << name << " components";
    }
}

TEST_F(BakerTest, ShipsFillTheirBoxSideOnAndStayInItWhileRocking) {
    // The ship's collision half-sizes are (2.8, 0.9, 10); it is drawn turned
    // only by 0 or 180 degrees about y and rocked up to 31 degrees about x,
    // and the match's camera sees its side, x by y.
    const float rock = 31.0f * 3.14159265f / 180.0f;
    for (const char* name : {"ship.3ds", "ship2.3ds"}) {
        SCOPED_TRACE(name);
        HModelData data;
        load3ds(name, data);
        EXPECT_GE(data.materialCount, 2);
        EXPECT_GE(data.meshCount, 3);
        int textured = 0;
        for (const HMaterial& m : data.materials) textured += m.textureFile[0] ? 1 : 0;
        EXPECT_GE(textured, 1);
        float rocked = 0.0f;
        for (const HMesh& mesh : data.meshes) {
            EXPECT_GE(mesh.materialId, 0) << mesh.name << " names a material the file does not have";
            if (mesh.hasTexture) {
                EXPECT_EQ(mesh.texCoordCount, mesh.vertexCount) << mesh.name;
            }
            for (int32_t i = 0; i < mesh.vertexCount; ++i)
                for (const float a : {-rock, -rock / 2.0f, 0.0f, rock / 2.0f, rock}) {
                    const Vec3 p = mesh.vertices[i];
                    rocked = std::max(rocked, std::fabs(p.y * std::cos(a) - p.z * std::sin(a)));
                }
        }
        const Box box = boxOf(data);
        const float slack = 1e-4f;
        EXPECT_GE(box.low.x, -2.8f - slack);
        EXPECT_LE(box.high.x, 2.8f + slack);
        EXPECT_GE(box.low.y, -0.9f - slack);
        EXPECT_LE(box.high.y, 0.9f + slack);
        // The side the camera sees fills the box, not lost inside it.
        EXPECT_GT(box.size().x, 0.95f * 5.6f);
        EXPECT_GT(box.size().y, 0.9f * 1.8f);
        // Rocking swings nothing more than a tenth past the box's height.
        EXPECT_LE(rocked, 0.99f);
        // The cockpit sits forward, the exhaust at the back: the nose is at -x.
        const HMesh* canopy = meshNamed(data, "Canopy");
        const HMesh* exhaust = meshNamed(data, "Exhaust");
        ASSERT_TRUE(canopy && exhaust);
        EXPECT_LT(centreOf(*canopy).x, -0.5f);
        EXPECT_GT(centreOf(*exhaust).x, 2.0f);
    }
}

TEST_F(BakerTest, BoltsFillTheirBoxAlongTheirFlightAndStayFlat) {
    // Box half-sizes (1, 1, 5); a bolt is drawn rocked as its ship was, so
    // depth would smear it up and down the screen.
    for (const char* name : {"zat.3ds", "zat2.3ds"}) {
        SCOPED_TRACE(name);
        HModelData data;
        load3ds(name, data);
        EXPECT_GE(data.materialCount, 1);
        for (const HMesh& mesh : data.meshes) EXPECT_GE(mesh.materialId, 0) << mesh.name;
        const Box box = boxOf(data);
        EXPECT_NEAR(box.low.x, -1.0f, 0.01f);
        EXPECT_NEAR(box.high.x, 1.0f, 0.01f);
        EXPECT_GE(box.low.y, -1.0f);
        EXPECT_LE(box.high.y, 1.0f);
        EXPECT_GT(box.size().y, 0.8f);
        EXPECT_LT(box.size().z, 0.4f);
    }
}

TEST_F(BakerTest, EachSideHasItsOwnColour) {
    // The trim of the two ships and the glow of their bolts differ clearly;
    // each ship's bolts and health bar share its colour family.
    HModelData right, left, rightBolt, leftBolt;
    load3ds("ship.3ds", right);
    load3ds("ship2.3ds", left);
    load3ds("zat.3ds", rightBolt);
    load3ds("zat2.3ds", leftBolt);
    const auto colourOf = [](const HModelData& data, const char* meshName) -> const uint8_t* {
        const HMesh* mesh = meshNamed(data, meshName);
        return mesh && mesh->materialId >= 0 ? data.materials[mesh->materialId].colour : nullptr;
    };
    const uint8_t* rightTrim = colourOf(right, "Fins");
    const uint8_t* leftTrim = colourOf(left, "Fins");
    ASSERT_TRUE(rightTrim && leftTrim);
    EXPECT_GT(colourDistance(rightTrim, leftTrim), 300);
    EXPECT_STRNE(right.materials[0].textureFile, left.materials[0].textureFile);
    const uint8_t* rightGlow = colourOf(rightBolt, "Rings");
    const uint8_t* leftGlow = colourOf(leftBolt, "Rings");
    ASSERT_TRUE(rightGlow && leftGlow);
    EXPECT_GT(colourDistance(rightGlow, leftGlow), 200);

    HModel rightBar, leftBar;
    ASSERT_TRUE(rightBar.loadText(path("lives_right.txt").c_str()));
    ASSERT_TRUE(leftBar.loadText(path("lives_left.txt").c_str()));
    const uint8_t* r = rightBar.data.materials[0].colour;
    const uint8_t* l = leftBar.data.materials[0].colour;
    // Warm on the right, cool on the left, like the ships.
    EXPECT_GT(r[0], r[2]);
    EXPECT_GT(l[2], l[0]);
    EXPECT_GT(rightTrim[0], rightTrim[2]);
    EXPECT_GT(leftTrim[2], leftTrim[0]);
}

TEST_F(BakerTest, LogoIsABadgeThatReadsFromBothSides) {
    HModelData data;
    load3ds("logo.3ds", data);
    EXPECT_GE(data.materialCount, 2);
    const Box box = boxOf(data);
    // A word: much wider than tall, thick, centred on the spin axis; 16.4
    // wide keeps it on screen as it turns (see the menu test below).
    EXPECT_NEAR(box.size().x, 16.4f, 0.05f);
    EXPECT_LT(box.size().y, box.size().x / 4.0f);
    EXPECT_GT(box.size().z, 0.3f);
    EXPECT_NEAR(box.low.x + box.high.x, 0.0f, 0.05f);
    EXPECT_NEAR(box.low.y + box.high.y, 0.0f, 0.05f);
    // The letters behind are those in front mirrored in x (and z), so that
    // the word reads the right way round from behind as well.
    const HMesh* letters = meshNamed(data, "Letters");
    ASSERT_NE(letters, nullptr);
    std::vector<std::array<float, 3>> front, back;
    for (int32_t i = 0; i < letters->vertexCount; ++i) {
        const Vec3 p = letters->vertices[i];
        if (p.z > 0.0f)
            front.push_back({std::round(-p.x * 1000.0f), std::round(p.y * 1000.0f), std::round(-p.z * 1000.0f)});
        else
            back.push_back({std::round(p.x * 1000.0f), std::round(p.y * 1000.0f), std::round(p.z * 1000.0f)});
    }
    std::sort(front.begin(), front.end());
    std::sort(back.begin(), back.end());
    EXPECT_FALSE(front.empty());
    EXPECT_TRUE(front == back);
}

TEST_F(BakerTest, ModelsFaceOutward) {
    // Inside-out faces would turn away from the game's headlight and draw
    // dark. Each mesh that closes on itself must enclose a positive volume
    // with its counter-clockwise sides out; the open ones (wings without a
    // root, the tail's flat ring, the exhaust's cavity, the logo's letters
    // on their plate) are checked as part of their whole model.
    for (const char* name : {"ship.3ds", "ship2.3ds", "zat.3ds", "zat2.3ds", "logo.3ds"}) {
        HModelData data;
        load3ds(name, data);
        const Box box = boxOf(data);
        const Vec3 middle = divide(add(box.low, box.high), 2.0f);
        double total = 0.0;
        for (const HMesh& mesh : data.meshes) {
            const double volume = signedVolume(mesh, centreOf(mesh));
            const std::string mname = mesh.name;
            if (mname != "Wings" && mname != "TailRing" && mname != "Exhaust" && mname != "Letters" &&
                mname != "Edges" && mname != "Plate" && mname != "Rim") {
                EXPECT_GT(volume, 0.0) << name << ": " << mname;
            }
            total += signedVolume(mesh, middle);
        }
        EXPECT_GT(total, 0.0) << name;
    }
}

TEST_F(BakerTest, HealthBarsShowTheLastPointInEveryWindowAndClearTheLeftShipsStart) {
    // The match draws full bars at (+-3, 15.6, -40) under a 45 degree
    // camera at the origin. A corner (x, y, z) of a
    // bar lands on the screen at x / (-z tan(22.5) aspect) of the half-width
    // and y / (-z tan(22.5)) of the half-height from the centre.
    const double tanHalf = std::tan(22.5 * 3.14159265358979 / 180.0);
    // The left ship starts at (-20, 18, -50), turned 0 about y and tilted
    // about x by up to 31 degrees either way: the highest its model reaches
    // on the screen, as a share of the half-height.
    HModelData ship;
    load3ds("ship2.3ds", ship);
    double shipTop = -1e9;
    for (int tilt = -31; tilt <= 31; ++tilt) {
        const double t = tilt * 3.14159265358979 / 180.0;
        for (const HMesh& m : ship.meshes) {
            for (int i = 0; i < m.vertexCount; ++i) {
                const Vec3 v = m.vertices[i];
                const double y = v.y * std::cos(t) - v.z * std::sin(t), z = v.y * std::sin(t) + v.z * std::cos(t);
                shipTop = std::max(shipTop, (18.0 + y) / ((50.0 - z) * tanHalf));
            }
        }
    }
    ASSERT_GT(shipTop, 0.8);
    for (const char* name : {"lives_left.txt", "lives_right.txt"}) {
        SCOPED_TRACE(name);
        const double outward = std::string(name) == "lives_right.txt" ? 1.0 : -1.0;
        HModel bar;
        ASSERT_TRUE(bar.loadText(path(name).c_str()));
        ASSERT_EQ(bar.data.meshCount, 1);
        const HMesh& mesh = bar.data.meshes[0];
        // Each corner's outward screen position (1 is the window's edge) and
        // height, at an aspect.
        const auto across = [&](int i, double aspect) {
            const Vec3 p = mesh.vertices[i];
            const double x = outward * 3.0 + p.x;
            return outward * x / ((40.0 - p.z) * tanHalf * aspect);
        };
        for (const double aspect : {4.0 / 3.0, 16.0 / 9.0, 21.0 / 9.0}) {
            SCOPED_TRACE(aspect);
            double inner = 1e9, outer = -1e9;
            for (int i = 0; i < 3; ++i) {
                inner = std::min(inner, across(i, aspect));
                outer = std::max(outer, across(i, aspect));
                const double height = (15.6 + mesh.vertices[i].y) / ((40.0 - mesh.vertices[i].z) * tanHalf);
                EXPECT_LT(height, 0.99);
                EXPECT_GT(height, shipTop) << "corner " << i << " over the left ship's start";
            }
            // Full health: from next to the centre, in its own half, to the
            // edge at least.
            EXPECT_GT(inner, 0.0);
            EXPECT_LT(inner, 0.1);
            EXPECT_GE(outer, 1.0);
        }
        // It points outward: one corner, the tip, is furthest out.
        int atOuter = 0;
        double furthest = -1e9;
        for (int i = 0; i < 3; ++i) furthest = std::max(furthest, outward * mesh.vertices[i].x);
        for (int i = 0; i < 3; ++i) atOuter += std::fabs(outward * mesh.vertices[i].x - furthest) < 1e-4 ? 1 : 0;
        EXPECT_EQ(atOuter, 1);
    }
}

TEST_F(BakerTest, TheSkyRoundAPictureGoesOnFromItsEdges) {
    // The sky quad lies behind the picture in its plane, both centred. A
    // thin strip just inside each edge of the picture, in blocks along it,
    // must have the same mean colour in the sky's texture as in the
    // picture's: else the window shows a break where the picture ends.
    const struct {
        const char *picture, *sky;
        float halfWidth, halfHeight, skyHalfWidth, skyHalfHeight, strip;
    } pairs[] = {{"pozadi.jpg", "pozadi_sky.jpg", 55.0f, 43.0f, GView::SKY_HALF_WIDTH,
                  GView::SKY_HALF_HEIGHT, 1.0f},
                 // Clear of the lettering's glow, which only the picture has.
                 {"menu.jpg", "menu_sky.jpg", MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT, MENU_SKY_HALF_WIDTH,
                  MENU_SKY_HALF_HEIGHT, 0.2f}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.picture);
        SDL_Surface* picture = IMG_Load(path(p.picture).c_str());
        SDL_Surface* sky = IMG_Load(path(p.sky).c_str());
        ASSERT_TRUE(picture && sky);
        // Mean of one channel over x0..x1, y0..y1 in the plane's units (y up)
        // of an image spread over halfW by halfH either side of the middle.
        const auto mean = [](SDL_Surface* image, float halfW, float halfH, float x0, float y0, float x1, float y1,
                             int channel) {
            const auto col = [&](float x) { return static_cast<int>((x + halfW) / (2.0f * halfW) * image->w); };
            const auto row = [&](float y) { return static_cast<int>((halfH - y) / (2.0f * halfH) * image->h); };
            double sum = 0.0;
            int n = 0;
            for (int y = row(y1); y < row(y0); ++y)
                for (int x = col(x0); x < col(x1); ++x, ++n)
                    sum += static_cast<const uint8_t*>(image->pixels)[y * image->pitch + x * 3 + channel];
            return n ? sum / n : -1.0;
        };
        const float w = p.halfWidth, h = p.halfHeight, s = p.strip;
        double worst = 0.0;
        for (int block = 0; block < 8; ++block) {
            const float a = -1.0f + block / 4.0f, b = a + 0.25f;  // along the edge, -1 .. 1
            const float strips[4][4] = {{-w, a * h, -w + s, b * h}, {w - s, a * h, w, b * h},
                                        {a * w, h - s, b * w, h}, {a * w, -h, b * w, -h + s}};
            for (const auto& r : strips)
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::fabs(mean(picture, w, h, r[0], r[1], r[2], r[3], c) -
                                                      mean(sky, p.skyHalfWidth, p.skyHalfHeight, r[0], r[1], r[2],
                                                           r[3], c)));
        }
        EXPECT_LT(worst, 2.0);
        SDL_FreeSurface(picture);
        SDL_FreeSurface(sky);
    }
}

TEST_F(BakerTest, MenuLetteringStaysClearOfWhatTheModelsCoverOverATurn) {
    // The models as the game reads them from the baked files, turned as the
    // menu turns them.
    const auto corners = [&](const char* name) {
        HModelData data;
        load3ds(name, data);
        std::vector<Vec3> out;
        for (const HMesh& mesh : data.meshes)
            for (int32_t f = 0; f < mesh.faceCount; ++f)
                for (int k = 0; k < 3; ++k) out.push_back(mesh.vertices[mesh.faces[f].index[k]]);
        return out;
    };
    const std::vector<Vec3> logo = corners("logo.3ds"), left = corners("ship2.3ds"), right = corners("ship.3ds");

    // What a window of each shape shows of the picture's plane, by the
    // shell's own rule; the sky behind the picture must reach its edges.
    const double aspects[] = {5.0 / 4.0, 4.0 / 3.0, 16.0 / 9.0, 2.37};
    std::vector<BRect> views;
    for (const double aspect : aspects) {
        const float up = static_cast<float>(viewHalfHeight(aspect)) * MENU_PICTURE_DEPTH;
        const float across = static_cast<float>(aspect) * up;
        views.push_back({-across, -up, across, up});
        SCOPED_TRACE(aspect);
        EXPECT_GE(MENU_SKY_HALF_WIDTH, across);
        EXPECT_GE(MENU_SKY_HALF_HEIGHT, up);
    }

    // Each model keeps to its place all the way round in every window:
    // the logo on the screen, each ship in its own half.
    const struct {
        const std::vector<Vec3>* model;
        const BMenuPlacement* placement;
        float fromX, toX;  // of the window's width, -1 left edge to 1 right
    } models[] = {{&logo, &MENU_LOGO_TURN, -1.0f, 1.0f},
                  {&left, &MENU_LEFT_SHIP_TURN, -1.0f, 0.0f},
                  {&right, &MENU_RIGHT_SHIP_TURN, 0.0f, 1.0f}};
    for (const auto& m : models) {
        BMenuCoverage alone;
        alone.addTurn(*m.model, *m.placement, MENU_TURN_STEPS);
        const BRect b = alone.bounds();
        EXPECT_GT(b.width(), 3.0f);
        for (const BRect& view : views) {
            SCOPED_TRACE(view.x1 / view.y1);
            EXPECT_GE(b.x0, m.fromX * view.x1);
            EXPECT_LE(b.x1, m.toX * view.x1);
            EXPECT_GE(b.y0, view.y0);
            EXPECT_LE(b.y1, view.y1);
        }
    }

    // The lettering, checked on the baked picture pixel by pixel: no pixel
    // of a block's rectangle is one that a model passes over, and each
    // block holds bright lettering.
    const BMenuCoverage coverage = menuCoverage(logo, left, right);
    const BMenuCoverage builtCoverage = bakedMenuCoverage();
    const BMenuLayout layout = bakedMenuLayout(builtCoverage);
    ASSERT_TRUE(layout.ok());
    ASSERT_EQ(layout.blocks().size(), 6u);
    SDL_Surface* image = IMG_Load(path("menu.jpg").c_str());
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(SDL_LockSurface(image), 0);
    const uint8_t* pixels = static_cast<const uint8_t*>(image->pixels);
    for (const BMenuBlock& block : layout.blocks()) {
        SCOPED_TRACE(block.name);
        const BRect r = block.rect;
        for (const BRect& view : views) {
            SCOPED_TRACE(view.x1 / view.y1);
            EXPECT_GE(r.x0, view.x0);
            EXPECT_LE(r.x1, view.x1);
            EXPECT_GE(r.y0, view.y0);
            EXPECT_LE(r.y1, view.y1);
        }
        // Picture units to the picture's pixels: 36 units across its
        // width, 28 down its height, row 0 at the top.
        const auto column = [&](float x) { return static_cast<int>((x + 18.0f) / 36.0f * image->w); };
        const auto row = [&](float y) { return static_cast<int>((14.0f - y) / 28.0f * image->h); };
        int covered = 0, brightest = 0;
        for (int py = row(r.y1); py < row(r.y0); ++py)
            for (int px = column(r.x0); px < column(r.x1); ++px) {
                const float x = (px + 0.5f) / image->w * 36.0f - 18.0f, y = 14.0f - (py + 0.5f) / image->h * 28.0f;
                covered += coverage.covered(x, y) ? 1 : 0;
                const uint8_t* p = pixels + py * image->pitch + px * 3;
                brightest = std::max({brightest, int(p[0]), int(p[1]), int(p[2])});
            }
        EXPECT_EQ(covered, 0);
        EXPECT_GT(brightest, 200);
    }
    SDL_UnlockSurface(image);
    SDL_FreeSurface(image);
}

// The shipped file is what the game takes without one and what the
// settings screen's Defaults restore: read onto values unlike any default,
// it gives every default, without a word.
TEST_F(BakerTest, ShippedSettingsAreTheDefaultsThenTheirExplanation) {
    const std::string text = readAll(path("vkt.txt"));
    // But those after the seventh, which the file leaves to the game's defaults.
    for (const HSettingField& field : SETTING_FIELDS) *field.value = field.high == 1 ? 1 : 2;
    for (int32_t i = SETTINGS_ALWAYS_WRITTEN; i < SETTING_COUNT; i++) *SETTING_FIELDS[i].value = SETTING_FIELDS[i].byDefault;
    EXPECT_EQ(readSettings(text, "vkt.txt"), 0);
    int32_t shipped[SETTING_COUNT];
    for (int32_t i = 0; i < SETTING_COUNT; i++) shipped[i] = *SETTING_FIELDS[i].value;
    resetSettings();  // what the Defaults line does
    for (int32_t i = 0; i < SETTING_COUNT; i++) EXPECT_EQ(*SETTING_FIELDS[i].value, shipped[i]) << SETTING_FIELDS[i].key;
    for (const HSettingField& field : SETTING_FIELDS) EXPECT_NE(text.find(field.key), std::string::npos) << field.key;
}

TEST(Baker, MissingFontDirectoryFailsWithoutWritingPictures) {
    const ScopedTempDir dir;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(bakeAll(dir.path().c_str(), "/nonexistent-font-dir"));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("/nonexistent-font-dir"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(dir.path() + "/menu.jpg"));
}

}  // namespace
