// Tests of the artwork baker: everything the game loads is written, the same
// bytes every time, in formats and sizes the game's readers and OpenGL 1.1
// take, and shaped to fit where the game draws it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/h3dsloader.h"
#include "assets/hmodel.h"
#include "baker/bakeall.h"

namespace fs = std::filesystem;

namespace {

// The files the game opens by name, from its screens and world objects.
const char* const GAME_FILES[] = {"ship.3ds",  "ship2.3ds", "zat.3ds",   "zat2.3ds",   "logo.3ds",
                                  "lives_left.txt", "lives_right.txt", "menu.jpg", "menu1.bmp", "menu2.bmp",
                                  "menu3.bmp", "pozadi.jpg", "won_l.jpg", "won_r.jpg", "remiza.jpg", "vkt.txt"};

const char* const PICTURES[] = {"menu.jpg",  "menu1.bmp", "menu2.bmp", "menu3.bmp",
                                "pozadi.jpg", "won_l.jpg", "won_r.jpg", "remiza.jpg"};

std::string makeTempDir() {
    char pattern[] = "/tmp/vektorak-bake-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "";
}

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

Box boxOf(const HMesh& mesh) {
    Box box;
    for (int32_t i = 0; i < mesh.vertexCount; ++i) box.add(mesh.vertices[i]);
    return box;
}

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
    // Baking takes seconds: once for the whole suite.
    static void SetUpTestSuite() {
        dir = makeTempDir();
        ASSERT_FALSE(dir.empty());
        baked = bakeAll(dir.c_str());
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    void SetUp() override { ASSERT_TRUE(baked) << "bakeAll failed"; }

    static std::string path(const std::string& name) { return dir + "/" + name; }

    // Reads a 3DS file the way the game's model does, without a window.
    static void load3ds(const std::string& name, HModelData& data) {
        H3DSLoader loader;
        ASSERT_TRUE(loader.load(data, path(name).c_str())) << name;
    }

    static std::string dir;
    static bool baked;
};

std::string BakerTest::dir;
bool BakerTest::baked = false;

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
    // bakedFileNames lists what is written, nothing more.
    for (const std::string& name : bakedFileNames()) EXPECT_TRUE(fs::is_regular_file(path(name))) << name;
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator())),
              bakedFileNames().size());
}

TEST_F(BakerTest, SecondBakeGivesTheSameBytes) {
    const std::string second = makeTempDir();
    ASSERT_FALSE(second.empty());
    ASSERT_TRUE(bakeAll(second.c_str()));
    for (const std::string& name : bakedFileNames()) {
        const std::string a = readAll(path(name)), b = readAll(second + "/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name << " differs between two bakes";
    }
    std::error_code ignored;
    fs::remove_all(second, ignored);
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

TEST_F(BakerTest, ShipsFillTheirCollisionBoxNoseTowardsMinusX) {
    // The ship's collision half-sizes are (2.8, 0.9, 10); it is drawn turned
    // only by 0 or 180 degrees about y and rocked about x.
    for (const char* name : {"ship.3ds", "ship2.3ds"}) {
        SCOPED_TRACE(name);
        HModelData data;
        load3ds(name, data);
        EXPECT_GE(data.materialCount, 2);
        EXPECT_GE(data.meshCount, 3);
        int textured = 0;
        for (const HMaterial& m : data.materials) textured += m.textureFile[0] ? 1 : 0;
        EXPECT_GE(textured, 1);
        for (const HMesh& mesh : data.meshes) {
            EXPECT_GE(mesh.materialId, 0) << mesh.name << " names a material the file does not have";
            if (mesh.hasTexture) {
                EXPECT_EQ(mesh.texCoordCount, mesh.vertexCount) << mesh.name;
            }
        }
        const Box box = boxOf(data);
        const float slack = 1e-4f;
        EXPECT_GE(box.low.x, -2.8f - slack);
        EXPECT_LE(box.high.x, 2.8f + slack);
        EXPECT_GE(box.low.y, -0.9f - slack);
        EXPECT_LE(box.high.y, 0.9f + slack);
        EXPECT_GE(box.low.z, -10.0f - slack);
        EXPECT_LE(box.high.z, 10.0f + slack);
        // Sized to the box, not lost inside it.
        EXPECT_GT(box.size().x, 0.95f * 5.6f);
        EXPECT_GT(box.size().y, 0.9f * 1.8f);
        EXPECT_GT(box.size().z, 0.95f * 20.0f);
        // The cockpit sits forward, the exhaust at the back: the nose is at -x.
        const HMesh* canopy = meshNamed(data, "Canopy");
        const HMesh* exhaust = meshNamed(data, "Exhaust");
        ASSERT_TRUE(canopy && exhaust);
        EXPECT_LT(centreOf(*canopy).x, -0.5f);
        EXPECT_GT(centreOf(*exhaust).x, 2.0f);
    }
}

TEST_F(BakerTest, BoltsFillTheirTwoByTwoByTenBox) {
    for (const char* name : {"zat.3ds", "zat2.3ds"}) {
        SCOPED_TRACE(name);
        HModelData data;
        load3ds(name, data);
        EXPECT_GE(data.materialCount, 1);
        for (const HMesh& mesh : data.meshes) EXPECT_GE(mesh.materialId, 0) << mesh.name;
        const Box box = boxOf(data);
        EXPECT_NEAR(box.low.x, -1.0f, 0.01f);
        EXPECT_NEAR(box.high.x, 1.0f, 0.01f);
        EXPECT_NEAR(box.low.y, -1.0f, 0.01f);
        EXPECT_NEAR(box.high.y, 1.0f, 0.01f);
        EXPECT_NEAR(box.low.z, -5.0f, 0.01f);
        EXPECT_NEAR(box.high.z, 5.0f, 0.01f);
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
    const uint8_t* rightTrim = colourOf(right, "Pods");
    const uint8_t* leftTrim = colourOf(left, "Pods");
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

TEST_F(BakerTest, LogoSpellsAcrossAboutTwentyUnits) {
    HModelData data;
    load3ds("logo.3ds", data);
    EXPECT_GE(data.materialCount, 1);
    const Box box = boxOf(data);
    EXPECT_GT(box.size().x, 18.0f);
    EXPECT_LT(box.size().x, 22.0f);
    // A word: much wider than tall, extruded, centred on the spin axis.
    EXPECT_LT(box.size().y, box.size().x / 4.0f);
    EXPECT_GT(box.size().z, 0.3f);
    EXPECT_NEAR(box.low.x + box.high.x, 0.0f, 0.05f);
    EXPECT_NEAR(box.low.y + box.high.y, 0.0f, 0.05f);
}

TEST_F(BakerTest, ModelsFaceOutward) {
    // Inside-out faces would turn away from the game's headlight and draw
    // dark. Each mesh that closes on itself must enclose a positive volume
    // with its counter-clockwise sides out; the open ones (wings without a
    // root, the tail's flat ring, the exhaust's cavity) are checked as part
    // of their whole model.
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
                mname != "Edges") {
                EXPECT_GT(volume, 0.0) << name << ": " << mname;
            }
            total += signedVolume(mesh, middle);
        }
        EXPECT_GT(total, 0.0) << name;
    }
}

TEST_F(BakerTest, HealthBarsAreWholeAtFullHealthAndGoneAtZero) {
    // The match draws the bars at (+-(3 + (100 - health) * 100/501), 15.6,
    // -40) under a 45 degree camera at the origin. In a 4:3 view the screen
    // edge at depth 40 is 40 tan(22.5 degrees) high and 4/3 of that wide.
    const double halfHeight = 40.0 * std::tan(22.5 * 3.14159265358979 / 180.0);
    const double halfWidth = halfHeight * 4.0 / 3.0;
    const double step = 0.1996007984031936;
    for (const char* name : {"lives_left.txt", "lives_right.txt"}) {
        SCOPED_TRACE(name);
        const bool right = std::string(name) == "lives_right.txt";
        HModel bar;
        ASSERT_TRUE(bar.loadText(path(name).c_str()));
        ASSERT_EQ(bar.data.meshCount, 1);
        const HMesh& mesh = bar.data.meshes[0];
        const Box box = boxOf(mesh);
        // Outward distances of the bar's inner and outer ends from its anchor.
        const double inner = right ? box.low.x : -box.high.x;
        const double outer = right ? box.high.x : -box.low.x;
        EXPECT_GT(outer - inner, 15.0);  // about 20 units long
        EXPECT_GE(inner, -3.0);          // never reaches across the centre
        // Full health: on screen whole, outward end inside the edge.
        EXPECT_LT(3.0 + outer, halfWidth);
        EXPECT_LT(15.6 + box.high.y, halfHeight);
        // Health 0: slid past the edge.
        EXPECT_GT(3.0 + 100.0 * step + inner, halfWidth);
        // It points outward: the vertex furthest out is the narrow tip.
        const auto outward = [&](int i) { return right ? mesh.vertices[i].x : -mesh.vertices[i].x; };
        int atOuter = 0, atInner = 0;
        for (int i = 0; i < 3; ++i) {
            if (std::fabs(outward(i) - outer) < 1e-4) ++atOuter;
            if (std::fabs(outward(i) - inner) < 1e-4) ++atInner;
        }
        EXPECT_EQ(atOuter, 1) << "one corner, the point, is furthest out";
        EXPECT_EQ(atInner, 2) << "the wide end is the inner one";
    }
}

TEST_F(BakerTest, SettingsHoldFiveNumbersThenTheirExplanation) {
    FILE* file = fopen(path("vkt.txt").c_str(), "rt");
    ASSERT_NE(file, nullptr);
    int width = 0, height = 0, depth = -1, fullScreen = -1, filter = -1;
    // Parsed as the game does: one fscanf of five integers.
    EXPECT_EQ(fscanf(file, "%d %d %d %d %d", &width, &height, &depth, &fullScreen, &filter), 5);
    fclose(file);
    EXPECT_GE(width, 640);
    EXPECT_GE(height, 480);
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(fullScreen, 0);
    EXPECT_TRUE(filter == 1 || filter == 2) << filter;
    const std::string text = readAll(path("vkt.txt"));
    for (const char* word : {"width", "height", "bitsPerPixel", "fullScreen", "textureFilter"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}

TEST(Baker, MissingFontDirectoryFailsWithoutWritingPictures) {
    const std::string dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(bakeAll(dir.c_str(), "/nonexistent-font-dir"));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("/nonexistent-font-dir"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(dir + "/menu.jpg"));
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace
