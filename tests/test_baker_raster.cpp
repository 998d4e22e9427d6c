// Tests of the baker's drawing pieces: anti-aliased shapes, blur,
// resampling, text layout, and the BMP and JPEG writers read back through
// SDL_image as the game reads them.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "baker/bcanvas.h"
#include "baker/bfont.h"
#include "baker/bimagefile.h"
#include "baker/bspace.h"
#include "support/tempdir.h"

namespace {

constexpr double PI = 3.14159265358979;

double coverageSum(const BMask& mask) {
    double sum = 0.0;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) sum += mask.at(x, y);
    return sum;
}

// --- shapes ------------------------------------------------------------------------

TEST(BakerShapes, CoverageMatchesTheShapesArea) {
    BMask circle(64, 64);
    circle.fillCircle(32.0f, 32.0f, 20.0f);
    EXPECT_NEAR(coverageSum(circle), PI * 20.0 * 20.0, PI * 20.0 * 20.0 * 0.01);
    EXPECT_FLOAT_EQ(circle.at(32, 32), 1.0f);
    EXPECT_FLOAT_EQ(circle.at(2, 2), 0.0f);
    // The edge is anti-aliased: a band of partly covered pixels runs all
    // round it, about as many as the circumference is long.
    int partial = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) partial += circle.at(x, y) > 0.02f && circle.at(x, y) < 0.98f ? 1 : 0;
    EXPECT_GT(partial, 2.0 * PI * 20.0 * 0.6);

    BMask square(64, 64);
    square.fillRoundRect(10.0f, 10.0f, 50.0f, 30.0f, 0.0f);
    EXPECT_NEAR(coverageSum(square), 40.0 * 20.0, 1.0);

    BMask line(64, 64);
    line.strokeLine({10.0f, 32.0f}, {50.0f, 32.0f}, 4.0f);
    // A 40 long, 4 wide band with round caps of radius 2.
    EXPECT_NEAR(coverageSum(line), 40.0 * 4.0 + PI * 4.0, 3.0);
}

TEST(BakerShapes, PolygonCoverageDoesNotDependOnWinding) {
    const std::vector<BPoint> clockwise = {{8.0f, 8.0f}, {56.0f, 8.0f}, {8.0f, 40.0f}};
    const std::vector<BPoint> anticlockwise = {{8.0f, 8.0f}, {8.0f, 40.0f}, {56.0f, 8.0f}};
    BMask a(64, 64), b(64, 64);
    a.fillPolygon(clockwise);
    b.fillPolygon(anticlockwise);
    EXPECT_NEAR(coverageSum(a), 0.5 * 48.0 * 32.0, 2.0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_NEAR(a.at(x, y), b.at(x, y), 1e-5f) << x << "," << y;
}

TEST(BakerShapes, StrokedOutlinesLeaveTheInsideEmpty) {
    BMask ring(64, 64);
    ring.strokeCircle(32.0f, 32.0f, 20.0f, 2.0f);
    EXPECT_FLOAT_EQ(ring.at(32, 32), 0.0f);
    EXPECT_GT(ring.at(52, 32), 0.5f);
    EXPECT_NEAR(coverageSum(ring), 2.0 * PI * 20.0 * 2.0, 10.0);

    BMask frame(64, 64);
    frame.strokeRoundRect(8.0f, 8.0f, 56.0f, 56.0f, 6.0f, 2.0f);
    EXPECT_FLOAT_EQ(frame.at(32, 32), 0.0f);
    EXPECT_GT(frame.at(32, 8), 0.5f);
}

TEST(BakerShapes, ShapesOutsideTheMaskAreClipped) {
    BMask mask(16, 16);
    mask.fillCircle(-50.0f, -50.0f, 10.0f);
    mask.fillCircle(16.0f, 8.0f, 6.0f);  // half of it outside
    EXPECT_GT(coverageSum(mask), 0.0);
    EXPECT_LT(coverageSum(mask), PI * 36.0 * 0.5 + 3.0);
}

// --- blur -----------------------------------------------------------------------------

TEST(BakerBlur, KeepsTheCoverageAndSpreadsItEvenly) {
    BMask dot(101, 101);
    dot.fillRoundRect(48.0f, 48.0f, 53.0f, 53.0f, 0.0f);
    const BMask soft = dot.blurred(4);
    EXPECT_NEAR(coverageSum(soft), coverageSum(dot), 1e-2);
    // Symmetric about the square's centre, peaked there.
    EXPECT_NEAR(soft.at(40, 50), soft.at(60, 50), 1e-5);
    EXPECT_NEAR(soft.at(50, 40), soft.at(50, 60), 1e-5);
    EXPECT_GT(soft.at(50, 50), soft.at(45, 50));
    EXPECT_GT(soft.at(45, 50), soft.at(40, 50));
    // Three passes of radius 4 reach 12 pixels and no further.
    EXPECT_GT(soft.at(50 + 2 + 11, 50), 0.0f);
    EXPECT_FLOAT_EQ(soft.at(50 + 3 + 13, 50), 0.0f);
}

TEST(BakerBlur, WindowedBlurMatchesAMaskThatIsCoveredEverywhere) {
    // Regression: the blur only works on the window around the covered
    // pixels. A second far-away dot widens the window to nearly the whole
    // mask; the first dot's blur must come out the same either way.
    BMask one(120, 60), two(120, 60);
    one.fillCircle(20.0f, 30.0f, 4.0f);
    two.fillCircle(20.0f, 30.0f, 4.0f);
    two.fillCircle(110.0f, 50.0f, 2.0f);
    const BMask a = one.blurred(3), b = two.blurred(3);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_NEAR(a.at(x, y), b.at(x, y), 1e-5) << x << "," << y;
}

TEST(BakerBlur, BlankMaskStaysBlank) {
    const BMask blank(8, 8);
    EXPECT_EQ(coverageSum(blank.blurred(3)), 0.0);
}

// --- canvas ---------------------------------------------------------------------------

TEST(BakerCanvas, PaintBlendsByCoverageAndGlowAdds) {
    BCanvas canvas(4, 1);
    canvas.fill({0.2f, 0.2f, 0.2f});
    BMask mask(4, 1);
    mask.raise(1, 0, 0.5f);
    mask.raise(2, 0, 1.0f);
    canvas.paint(mask, {1.0f, 0.0f, 0.0f});
    EXPECT_FLOAT_EQ(canvas.get(0, 0).r, 0.2f);
    EXPECT_FLOAT_EQ(canvas.get(1, 0).r, 0.6f);
    EXPECT_FLOAT_EQ(canvas.get(1, 0).g, 0.1f);
    EXPECT_FLOAT_EQ(canvas.get(2, 0).r, 1.0f);
    canvas.glow(mask, {0.0f, 1.0f, 0.0f}, 0.5f);
    EXPECT_FLOAT_EQ(canvas.get(1, 0).g, 0.35f);
    EXPECT_FLOAT_EQ(canvas.get(2, 0).g, 0.5f);
}

TEST(BakerCanvas, BytesAreClampedAndRounded) {
    BCanvas canvas(2, 1);
    canvas.set(0, 0, {-0.5f, 0.5f, 1.7f});
    canvas.set(1, 0, {0.999f, 0.001f, 128.4f / 255.0f});
    const std::vector<uint8_t> bytes = canvas.rgb8();
    const std::vector<uint8_t> expected = {0, 128, 255, 255, 0, 128};
    EXPECT_EQ(bytes, expected);
}

TEST(BakerCanvas, ResamplingKeepsFlatColourAndAveragesFineDetail) {
    BCanvas flat(37, 23);
    flat.fill({0.25f, 0.5f, 0.75f});
    for (const auto& size : {std::pair<int, int>{16, 16}, {64, 64}, {37, 23}}) {
        const BCanvas out = flat.resampled(size.first, size.second);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                ASSERT_NEAR(out.get(x, y).r, 0.25f, 1e-5);
                ASSERT_NEAR(out.get(x, y).b, 0.75f, 1e-5);
            }
    }
    // One-pixel stripes shrunk to a third: every output pixel averages
    // several stripes instead of picking one (no aliasing into bands).
    BCanvas stripes(96, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 96; ++x) stripes.set(x, y, x % 2 ? BColour{1.0f, 1.0f, 1.0f} : BColour{0.0f, 0.0f, 0.0f});
    const BCanvas small = stripes.resampled(32, 4);
    for (int x = 1; x < 31; ++x) EXPECT_NEAR(small.get(x, 2).r, 0.5f, 0.1f) << x;
}

// --- text -------------------------------------------------------------------------------

class BakerFont : public testing::Test {
protected:
    BakerFont() : font(VEKTORAK_TEST_FONT) {}
    BFont font;
};

TEST_F(BakerFont, DrawAdvancesAsMeasuredAndCentres) {
    ASSERT_TRUE(font.ok());
    BMask mask(400, 100);
    const float width = font.measure("VEKTORAK", 40.0f);
    EXPECT_GT(width, 100.0f);
    EXPECT_FLOAT_EQ(font.draw(mask, "VEKTORAK", 20.0f, 60.0f, 40.0f), 20.0f + width);
    // Tracking adds its pixels between letters only.
    EXPECT_NEAR(font.measure("VEKTORAK", 40.0f, 5.0f), width + 7.0f * 5.0f, 0.05f);

    BMask centred(400, 100);
    font.drawCentred(centred, "WIN", 200.0f, 60.0f, 40.0f);
    int left = 400, right = -1, top = 100, bottom = -1;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x)
            if (centred.at(x, y) > 0.0f) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0);
    EXPECT_NEAR((left + right) * 0.5, 200.0, 3.0);
    // Capitals sit on the baseline and rise about 0.73 em above it.
    EXPECT_NEAR(bottom, 59, 1);
    EXPECT_NEAR(60 - top, 40.0 * 0.73, 2.0);
}

TEST_F(BakerFont, KerningPullsPairsTogether) {
    ASSERT_TRUE(font.ok());
    EXPECT_LT(font.measure("AV", 60.0f), font.measure("A", 60.0f) + font.measure("V", 60.0f) - 1.0f);
}

TEST_F(BakerFont, UnicodeTextIsDecoded) {
    ASSERT_TRUE(font.ok());
    // "é" is one glyph as wide as in its own run, not two bytes' worth.
    EXPECT_NEAR(font.measure("\xC3\xA9", 30.0f), font.measure("e", 30.0f), 1.0f);
}

TEST(BakerFontFile, MissingFileIsReported) {
    testing::internal::CaptureStderr();
    BFont font("/nonexistent/font.ttf");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(font.ok());
    EXPECT_NE(errors.find("/nonexistent/font.ttf"), std::string::npos);
    EXPECT_EQ(font.measure("x", 10.0f), 0.0f);
}

// --- picture files ------------------------------------------------------------------------

std::vector<uint8_t> testPattern(int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));  // red grows to the right
            p[1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));  // green grows downward
            p[2] = static_cast<uint8_t>(x == 0 && y == 0 ? 200 : 40);       // a blue mark top left
        }
    return rgb;
}

// Reads a picture through SDL_image into top-first RGB rows, whatever the
// surface's byte order.
std::vector<uint8_t> decode(const std::string& path, int& width, int& height, int& bytesPerPixel) {
    SDL_Surface* image = IMG_Load(path.c_str());
    if (!image) return {};
    width = image->w;
    height = image->h;
    bytesPerPixel = image->format->BytesPerPixel;
    std::vector<uint8_t> rgb;
    SDL_LockSurface(image);
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            const uint8_t* p = static_cast<const uint8_t*>(image->pixels) + y * image->pitch + x * bytesPerPixel;
            uint32_t value = 0;
            memcpy(&value, p, bytesPerPixel);
            uint8_t r, g, b;
            SDL_GetRGB(value, image->format, &r, &g, &b);
            rgb.insert(rgb.end(), {r, g, b});
        }
    SDL_UnlockSurface(image);
    SDL_FreeSurface(image);
    return rgb;
}

TEST(BakerImageFiles, BmpReadsBackExactlyWithBlueFirstAndPaddedRows) {
    ScopedTempDir dir;
    // 5 pixels a row: 15 bytes, padded to 16 in the file.
    for (const auto& size : {std::pair<int, int>{5, 3}, {8, 4}, {1, 1}}) {
        const std::vector<uint8_t> rgb = testPattern(size.first, size.second);
        const std::string path = dir.path() + "/p.bmp";
        ASSERT_TRUE(writeBmp(path.c_str(), size.first, size.second, rgb));
        int w = 0, h = 0, bpp = 0;
        const std::vector<uint8_t> back = decode(path, w, h, bpp);
        EXPECT_EQ(w, size.first);
        EXPECT_EQ(h, size.second);
        EXPECT_EQ(bpp, 3);
        EXPECT_EQ(back, rgb) << size.first << "x" << size.second;
        // The texture store swaps red and blue when blue sits at shift 0.
        SDL_Surface* image = IMG_Load(path.c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->format->Bshift, 0);
        SDL_FreeSurface(image);
    }
}

TEST(BakerImageFiles, JpegReadsBackCloseAtThreeBytesPerPixel) {
    ScopedTempDir dir;
    const int w = 64, h = 32;
    const std::vector<uint8_t> rgb = testPattern(w, h);
    const std::string path = dir.path() + "/p.jpg";
    ASSERT_TRUE(writeJpeg(path.c_str(), w, h, rgb, 95));
    int rw = 0, rh = 0, bpp = 0;
    const std::vector<uint8_t> back = decode(path, rw, rh, bpp);
    ASSERT_EQ(rw, w);
    ASSERT_EQ(rh, h);
    EXPECT_EQ(bpp, 3);
    double error = 0.0;
    for (size_t i = 0; i < rgb.size(); ++i) error += std::abs(static_cast<int>(rgb[i]) - static_cast<int>(back[i]));
    EXPECT_LT(error / static_cast<double>(rgb.size()), 3.0);
    // Not upside down or mirrored: red grows to the right, green downward.
    EXPECT_LT(back[0], back[(w - 1) * 3]);
    EXPECT_LT(back[1], back[(static_cast<size_t>(h - 1) * w) * 3 + 1]);
}

TEST(BakerImageFiles, WritersRefuseBadInputAndUnwritablePaths) {
    ScopedTempDir dir;
    const std::vector<uint8_t> rgb = testPattern(4, 4);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(writeBmp((dir.path() + "/no/such/dir/p.bmp").c_str(), 4, 4, rgb));
    EXPECT_FALSE(writeJpeg((dir.path() + "/no/such/dir/p.jpg").c_str(), 4, 4, rgb));
    EXPECT_FALSE(writeBmp((dir.path() + "/short.bmp").c_str(), 5, 4, rgb));  // too few pixels
    EXPECT_FALSE(writeJpeg((dir.path() + "/empty.jpg").c_str(), 0, 4, rgb));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("no/such/dir/p.bmp"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/short.bmp"));
}

// --- space ------------------------------------------------------------------------------------

TEST(BakerNoise, StaysInRangeAndVariesSmoothly) {
    float low = 1.0f, high = 0.0f;
    for (int i = 0; i < 2000; ++i) {
        const float x = static_cast<float>(i) * 0.173f - 50.0f, y = static_cast<float>(i % 37) * 0.61f - 9.0f;
        const float n = fractalNoise(x, y, 7u, 5);
        low = std::min(low, n);
        high = std::max(high, n);
        // A small step moves the value a little: no seams between cells.
        EXPECT_LT(std::fabs(valueNoise(x + 0.001f, y, 3u) - valueNoise(x, y, 3u)), 0.01f);
    }
    EXPECT_GE(low, 0.0f);
    EXPECT_LE(high, 1.0f);
    EXPECT_GT(high - low, 0.3f);  // and it does vary
    // A different seed gives a different field.
    EXPECT_NE(valueNoise(3.5f, 4.5f, 1u), valueNoise(3.5f, 4.5f, 2u));
}

TEST(BakerNoise, RandomSequenceIsFixedBySeed) {
    BRandom a(5), b(5), c(6);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const float x = a.uniform();
        EXPECT_EQ(x, b.uniform());
        EXPECT_GE(x, 0.0f);
        EXPECT_LT(x, 1.0f);
        differs = differs || x != c.uniform();
    }
    EXPECT_TRUE(differs);
}

}  // namespace
