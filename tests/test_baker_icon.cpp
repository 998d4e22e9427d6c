// Tests of the desktop icon: the PNG writer gives back exactly what it was
// handed, and the icon at each size is a tile with transparent corners
// whose V wears each side's colour on that side.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "baker/bicon.h"
#include "baker/bimagefile.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

struct Rgba {
    int r, g, b, a;
};

// A PNG read through SDL_image, as any desktop's loader would read it.
struct Decoded {
    int width = 0, height = 0;
    bool hasAlpha = false;
    std::vector<Rgba> pixels;  // top row first
    Rgba at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Decoded decode(const std::string& path) {
    Decoded out;
    SDL_Surface* image = IMG_Load(path.c_str());
    if (!image) return out;
    out.width = image->w;
    out.height = image->h;
    out.hasAlpha = image->format->Amask != 0;
    const int bytes = image->format->BytesPerPixel;
    SDL_LockSurface(image);
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            uint32_t value = 0;
            memcpy(&value, static_cast<const uint8_t*>(image->pixels) + y * image->pitch + x * bytes, bytes);
            uint8_t r, g, b, a;
            SDL_GetRGBA(value, image->format, &r, &g, &b, &a);
            out.pixels.push_back({r, g, b, a});
        }
    SDL_UnlockSurface(image);
    SDL_FreeSurface(image);
    return out;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A point of the 256-unit design square at an icon's size.
int at(int size, float designUnits) { return static_cast<int>(designUnits * static_cast<float>(size) / 256.0f); }

TEST(BakerPng, ReadsBackExactlyWithItsAlphaAndRowOrder) {
    ScopedTempDir dir;
    // Every channel different in every pixel, and a wide and a tall shape,
    // so that swapped channels, flipped rows or a lost alpha all show.
    for (const auto& size : {std::pair<int, int>{5, 3}, {2, 7}}) {
        const int w = size.first, h = size.second;
        std::vector<uint8_t> rgba;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                rgba.insert(rgba.end(), {static_cast<uint8_t>(40 * x + 10), static_cast<uint8_t>(30 * y + 5),
                                         static_cast<uint8_t>(200 - 20 * x), static_cast<uint8_t>(255 - 35 * y)});
        const std::string path = dir.path() + "/p.png";
        ASSERT_TRUE(writePng(path.c_str(), w, h, rgba));
        const Decoded back = decode(path);
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        EXPECT_TRUE(back.hasAlpha);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* want = &rgba[(static_cast<size_t>(y) * w + x) * 4];
                const Rgba got = back.at(x, y);
                EXPECT_EQ(got.r, want[0]) << x << "," << y;
                EXPECT_EQ(got.g, want[1]) << x << "," << y;
                EXPECT_EQ(got.b, want[2]) << x << "," << y;
                EXPECT_EQ(got.a, want[3]) << x << "," << y;
            }
    }
}

TEST(BakerPng, RefusesAWrongBufferAndAnUnwritablePath) {
    ScopedTempDir dir;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(writePng((dir.path() + "/short.png").c_str(), 4, 4, std::vector<uint8_t>(4 * 4 * 3)));
    EXPECT_FALSE(writePng("/nonexistent-dir/icon.png", 1, 1, std::vector<uint8_t>(4)));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("short.png"), std::string::npos) << errors;
    EXPECT_NE(errors.find("/nonexistent-dir/icon.png"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(dir.path() + "/short.png"));
}

class BakerIcon : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new ScopedTempDir;
        baked = bakeIcons(dir->path().c_str());
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(baked) << "bakeIcons failed"; }
    static std::string path(int size) { return dir->path() + "/" + iconFileName(size); }

    static ScopedTempDir* dir;
    static bool baked;
};

ScopedTempDir* BakerIcon::dir = nullptr;
bool BakerIcon::baked = false;

TEST_F(BakerIcon, WritesOneSquarePngPerSizeAndNothingElse) {
    for (int size : iconSizes()) {
        const Decoded icon = decode(path(size));
        EXPECT_EQ(icon.width, size) << path(size);
        EXPECT_EQ(icon.height, size) << path(size);
        EXPECT_TRUE(icon.hasAlpha) << path(size);
    }
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(dir->path()), fs::directory_iterator())),
              iconSizes().size());
}

TEST_F(BakerIcon, IsAnOpaqueTileWithTransparentCornersAndEachSidesColourOnItsSide) {
    for (int size : iconSizes()) {
        SCOPED_TRACE(size);
        const Decoded icon = decode(path(size));
        ASSERT_EQ(icon.width, size);
        const int last = size - 1;
        // Outside the rounded tile: nothing.
        for (const auto& corner : {std::pair<int, int>{0, 0}, {last, 0}, {0, last}, {last, last}})
            EXPECT_EQ(icon.at(corner.first, corner.second).a, 0) << corner.first << "," << corner.second;
        // Inside it: fully opaque, along the edges as well as in the middle.
        for (const auto& inside : {std::pair<int, int>{size / 2, size / 2}, {size / 2, at(size, 24)},
                                   {at(size, 24), size / 2}, {size / 2, at(size, 232)}})
            EXPECT_EQ(icon.at(inside.first, inside.second).a, 255) << inside.first << "," << inside.second;
        // The left arm is the left player's ice blue, the right arm the
        // right player's ember orange: a point inside each arm, mirrored.
        const Rgba left = icon.at(at(size, 84), at(size, 92));
        const Rgba right = icon.at(at(size, 172), at(size, 92));
        EXPECT_GT(left.b, left.r + 60) << left.r << " " << left.g << " " << left.b;
        EXPECT_GT(right.r, right.b + 60) << right.r << " " << right.g << " " << right.b;
        // Between the arms, above the notch, the dark tile shows through.
        const Rgba gap = icon.at(size / 2, at(size, 80));
        EXPECT_LT(gap.r + gap.g + gap.b, left.r + left.g + left.b - 150);
    }
}

TEST_F(BakerIcon, SecondBakeGivesTheSameBytes) {
    // The package's files must not change from one build of the same
    // sources to the next.
    ScopedTempDir second;
    ASSERT_TRUE(bakeIcons(second.path().c_str()));
    for (int size : iconSizes()) {
        const std::string a = readAll(path(size)), b = readAll(second.path() + "/" + iconFileName(size));
        EXPECT_FALSE(a.empty()) << size;
        EXPECT_TRUE(a == b) << iconFileName(size) << " differs between two bakes";
    }
}

}  // namespace
