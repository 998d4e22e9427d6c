// Tests of the texture store in a real OpenGL context (GlWindow under Xvfb):
// pictures are made by the test support (BMP, JPEG, TGA), loaded,
// and read back from OpenGL with glGetTexImage.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/htexturestore.h"
#include "support/glwindow.h"
#include "support/pictures.h"
#include "support/tempdir.h"

namespace {

// Flat 8 x 8 blocks, a different colour each, so that a JPEG of it comes
// back almost exactly; no two rows of blocks alike, so a missing flip shows.
Picture blocks(int32_t blocksWide, int32_t blocksHigh) {
    static const Rgb palette[] = {{255, 0, 0},     {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                                  {255, 255, 255}, {0, 0, 0},     {128, 64, 200}, {10, 220, 130},
                                  {200, 30, 90},   {60, 60, 60},  {0, 128, 255},  {250, 160, 20}};
    Picture p;
    p.width = blocksWide * 8;
    p.height = blocksHigh * 8;
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x)
            p.pixels.push_back(palette[((y / 8) * blocksWide + x / 8) % 12]);
    return p;
}

// The texture of a slot as OpenGL holds it: rows from t = 0 upwards.
Picture readTexture(int32_t index) {
    Picture p;
    glBindTexture(GL_TEXTURE_2D, theTextureStore.textures[index]->glName);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    p.width = w;
    p.height = h;
    std::vector<uint8_t> bytes(3 * w * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    for (size_t i = 0; i < bytes.size(); i += 3) p.pixels.push_back(Rgb{bytes[i], bytes[i + 1], bytes[i + 2]});
    return p;
}

// Compares a texture with the picture it came from: texture row y is
// picture row height - 1 - y.
void expectTextureOf(const Picture& texture, const Picture& picture, int tolerance, const char* what) {
    ASSERT_EQ(texture.width, picture.width) << what;
    ASSERT_EQ(texture.height, picture.height) << what;
    int worst = 0;
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const Rgb t = texture.at(x, y);
            const Rgb p = picture.at(x, picture.height - 1 - y);
            worst = std::max({worst, std::abs(t.r - p.r), std::abs(t.g - p.g), std::abs(t.b - p.b)});
        }
    }
    EXPECT_LE(worst, tolerance) << what;
}

class HTextureStoreTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        theTextureStore.releaseAll();
        saved = theTextureStore;
        theTextureStore.setFilterMode(1);
    }
    void TearDown() override {
        // The context ends with the window: no texture may outlive it.
        theTextureStore.releaseAll();
        theTextureStore.mipmaps = saved.mipmaps;
        theTextureStore.minFilter = saved.minFilter;
        theTextureStore.magFilter = saved.magFilter;
    }
    static GLint parameter(GLenum name) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }
    static GLint boundTexture() {
        GLint value = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
        return value;
    }
    static void expectColour(float r, float g, float b) {
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_FLOAT_EQ(colour[0], r);
        EXPECT_FLOAT_EQ(colour[1], g);
        EXPECT_FLOAT_EQ(colour[2], b);
    }

    ScopedTempDir dir;
    GlWindow window;
    struct {
        bool mipmaps;
        GLenum minFilter, magFilter;
        void operator=(const HTextureStore& s) {
            mipmaps = s.mipmaps;
            minFilter = s.minFilter;
            magFilter = s.magFilter;
        }
    } saved;
};

}  // namespace

// --- pixels -------------------------------------------------------------------------------

TEST_F(HTextureStoreTest, BmpIsUploadedRedFirstAndBottomRowFirst) {
    const Picture picture = blocks(4, 3);
    ASSERT_TRUE(writeBmp("p.bmp", picture));
    const int32_t index = theTextureStore.load("p.bmp");
    ASSERT_EQ(index, 0);
    expectTextureOf(readTexture(index), picture, 0, "bmp");
}

TEST_F(HTextureStoreTest, BmpAndJpegOfOnePictureGiveTheSameTexture) {
    // 40 rows: a JPEG goes up in strips of 16, the last one short.
    const Picture picture = blocks(4, 5);
    ASSERT_TRUE(writeBmp("same.bmp", picture));
    ASSERT_TRUE(writeJpeg("same.jpg", picture));
    const int32_t fromBmp = theTextureStore.load("same.bmp");
    const int32_t fromJpeg = theTextureStore.load("same.jpg");
    ASSERT_GE(fromBmp, 0);
    ASSERT_GE(fromJpeg, 0);
    const Picture bmp = readTexture(fromBmp);
    const Picture jpg = readTexture(fromJpeg);
    expectTextureOf(jpg, picture, 3, "jpeg");
    ASSERT_EQ(bmp.pixels.size(), jpg.pixels.size());
    int worst = 0;
    for (size_t i = 0; i < bmp.pixels.size(); ++i)
        worst = std::max({worst, std::abs(bmp.pixels[i].r - jpg.pixels[i].r),
                          std::abs(bmp.pixels[i].g - jpg.pixels[i].g), std::abs(bmp.pixels[i].b - jpg.pixels[i].b)});
    EXPECT_LE(worst, 3);

    // With mipmaps a JPEG goes through SDL_image as a whole; the strips
    // must give the very same pixels (64 square: gluBuild2DMipmaps keeps
    // it; smooth changes, where a faster decoder's rounding shows).
    Picture square;
    square.width = square.height = 64;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            square.pixels.push_back(Rgb{uint8_t(x * 4), uint8_t(y * 4), uint8_t(x * y)});
    ASSERT_TRUE(writeJpeg("square.jpg", square));
    const int32_t inStrips = theTextureStore.load("square.jpg");
    theTextureStore.setFilterMode(2);
    const int32_t whole = theTextureStore.load("square.jpg");
    const Picture a = readTexture(inStrips), b = readTexture(whole);
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    EXPECT_EQ(memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(Rgb)), 0);
}

TEST_F(HTextureStoreTest, OnePixelHighAndOddHeightsFlipAroundTheMiddle) {
    Picture line;
    line.width = 5;
    line.height = 1;
    line.pixels = std::vector<Rgb>{{1, 2, 3}, {40, 50, 60}, {255, 0, 0}, {0, 0, 255}, {7, 8, 9}};
    ASSERT_TRUE(writeBmp("line.bmp", line));
    expectTextureOf(readTexture(theTextureStore.load("line.bmp")), line, 0, "1 pixel high");

    Picture odd;
    odd.width = 1;
    odd.height = 3;
    odd.pixels = std::vector<Rgb>{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ASSERT_TRUE(writeBmp("odd.bmp", odd));
    expectTextureOf(readTexture(theTextureStore.load("odd.bmp")), odd, 0, "odd height");
}

TEST_F(HTextureStoreTest, OtherPixelFormatsAreConvertedTo24Bit) {
    const Picture picture = blocks(2, 2);
    ASSERT_TRUE(writeBmp("palette.bmp", picture, 8));
    expectTextureOf(readTexture(theTextureStore.load("palette.bmp")), picture, 0, "8-bit palette");

    // Alpha is dropped, never blended: a transparent pixel keeps its colour.
    std::vector<uint8_t> alpha(picture.pixels.size(), 255);
    alpha[0] = 0;
    alpha[1] = 77;
    ASSERT_TRUE(writeTga("rgba.tga", picture, 32, alpha));
    expectTextureOf(readTexture(theTextureStore.load("rgba.tga")), picture, 0, "32-bit with alpha");

    // 5 bits per channel: what comes back is within the lost 3 bits.
    ASSERT_TRUE(writeTga("rgb555.tga", picture, 16));
    expectTextureOf(readTexture(theTextureStore.load("rgb555.tga")), picture, 8, "16-bit");

    Picture grey;
    grey.width = 3;
    grey.height = 2;
    grey.pixels = std::vector<Rgb>{{0, 0, 0}, {100, 100, 100}, {255, 255, 255}, {20, 20, 20}, {200, 200, 200}, {128, 128, 128}};
    ASSERT_TRUE(writeTga("grey.tga", grey, 8));
    expectTextureOf(readTexture(theTextureStore.load("grey.tga")), grey, 0, "greyscale");
}

// --- slots ------------------------------------------------------------------------------------

TEST_F(HTextureStoreTest, EveryLoadGetsItsOwnSlotAndTexture) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    const int32_t first = theTextureStore.load("a.bmp");
    const int32_t second = theTextureStore.load("a.bmp");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(theTextureStore.count, 2);
    ASSERT_NE(theTextureStore.textures[first], nullptr);
    ASSERT_NE(theTextureStore.textures[second], nullptr);
    EXPECT_NE(theTextureStore.textures[first]->glName, theTextureStore.textures[second]->glName);
    EXPECT_EQ(theTextureStore.textures[first]->refCount, 1);
    EXPECT_STREQ(theTextureStore.textures[second]->fileName, "a.bmp");
    EXPECT_EQ(boundTexture(), GLint(theTextureStore.textures[second]->glName)) << "left bound after load";
}

TEST_F(HTextureStoreTest, The101stLoadIsRefusedBeforeTheFileIsOpened) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    for (int32_t i = 0; i < HTextureStore::MAX_TEXTURES; ++i) ASSERT_EQ(theTextureStore.load("a.bmp"), i);
    testing::internal::CaptureStderr();
    EXPECT_EQ(theTextureStore.load("does-not-exist.bmp"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "file: HTextureStore, line: 49 MAX_TEXTURES too small - please use larger number.\n");
    EXPECT_EQ(theTextureStore.count, 100);
}

TEST_F(HTextureStoreTest, ReleaseDeletesTheTextureAndFreesTheSlotForReuse) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    for (int32_t i = 0; i < HTextureStore::MAX_TEXTURES; ++i) ASSERT_EQ(theTextureStore.load("a.bmp"), i);
    const GLuint name = theTextureStore.textures[37]->glName;
    theTextureStore.release(37);
    EXPECT_EQ(theTextureStore.count, 99);
    EXPECT_EQ(theTextureStore.textures[37], nullptr);
    EXPECT_FALSE(glIsTexture(name));
    theTextureStore.release(5);
    // The lowest free slot comes first; a full store works again.
    EXPECT_EQ(theTextureStore.load("a.bmp"), 5);
    EXPECT_EQ(theTextureStore.load("a.bmp"), 37);
    EXPECT_EQ(theTextureStore.count, 100);
}

TEST_F(HTextureStoreTest, MatchAfterMatchNeverFillsTheStore) {
    // Each "screen" loads three pictures and releases them when it goes.
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    for (int screen = 0; screen < 150; ++screen) {
        int32_t held[3];
        for (int32_t& index : held) {
            index = theTextureStore.load("a.bmp");
            ASSERT_GE(index, 0) << "screen " << screen;
        }
        for (int32_t index : held) theTextureStore.release(index);
    }
    EXPECT_EQ(theTextureStore.count, 0);
}

TEST_F(HTextureStoreTest, ReleaseOfNothingDoesNothing) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    ASSERT_EQ(theTextureStore.load("a.bmp"), 0);
    for (int32_t index : {-1, -7, 1, 99, 100, 5000}) theTextureStore.release(index);
    EXPECT_EQ(theTextureStore.count, 1);
    EXPECT_NE(theTextureStore.textures[0], nullptr);
}

TEST_F(HTextureStoreTest, ReleaseAllEmptiesEverySlot) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    std::vector<GLuint> names;
    for (int i = 0; i < 4; ++i) names.push_back(theTextureStore.textures[theTextureStore.load("a.bmp")]->glName);
    theTextureStore.releaseAll();
    EXPECT_EQ(theTextureStore.count, 0);
    for (GLuint name : names) EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(theTextureStore.load("a.bmp"), 0);
}

TEST_F(HTextureStoreTest, LongFileNameIsCutInTheRecordButStillLoads) {
    const std::string name = std::string(120, 'n') + ".bmp";
    ASSERT_TRUE(writeBmp(name.c_str(), blocks(1, 1)));
    const int32_t index = theTextureStore.load(name.c_str());
    ASSERT_EQ(index, 0);
    EXPECT_EQ(std::string(theTextureStore.textures[0]->fileName), name.substr(0, 99));
}

TEST_F(HTextureStoreTest, UnreadableFileIsReportedWithSdlsReason) {
    dir.write("junk.bmp", "this is no picture");
    for (const char* name : {"missing.jpg", "junk.bmp"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(theTextureStore.load(name), -1);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(message.rfind(std::string("Unable to load ") + name + ": ", 0), 0u) << message;
        EXPECT_EQ(message.back(), '\n');
    }
    EXPECT_EQ(theTextureStore.count, 0);
}

// --- filters ------------------------------------------------------------------------------------

TEST_F(HTextureStoreTest, FilterModeAppliesToLaterLoadsOnly) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(2, 2)));
    theTextureStore.setFilterMode(0);
    const int32_t nearest = theTextureStore.load("a.bmp");
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);

    theTextureStore.setFilterMode(2);
    theTextureStore.setFilterMode(7);  // changes nothing
    theTextureStore.load("a.bmp");
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    GLint levelWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH, &levelWidth);
    EXPECT_EQ(levelWidth, 1) << "16 x 16 needs mipmap levels down to 1 x 1";

    theTextureStore.setFilterMode(1);
    theTextureStore.load("a.bmp");
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    glBindTexture(GL_TEXTURE_2D, theTextureStore.textures[nearest]->glName);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST) << "made before: unchanged";
}

// Each mode sets all three fields, whatever the mode before it; any other
// value changes nothing.
TEST(HTextureStoreFilterTest, ModesSetTheFieldsWithoutOpenGL) {
    HTextureStore store;
    EXPECT_FALSE(store.mipmaps);
    EXPECT_EQ(store.minFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(store.magFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(store.count, 0);
    struct Step {
        int32_t mode;
        bool mipmaps;
        GLenum minFilter, magFilter;
    };
    const Step steps[] = {{2, true, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR}, {-1, true, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
                          {0, false, GL_NEAREST, GL_NEAREST},             {2, true, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
                          {1, false, GL_LINEAR, GL_LINEAR},               {0, false, GL_NEAREST, GL_NEAREST},
                          {1, false, GL_LINEAR, GL_LINEAR},               {3, false, GL_LINEAR, GL_LINEAR}};
    for (const Step& step : steps) {
        store.setFilterMode(step.mode);
        EXPECT_EQ(store.mipmaps, step.mipmaps) << "mode " << step.mode;
        EXPECT_EQ(store.minFilter, step.minFilter) << "mode " << step.mode;
        EXPECT_EQ(store.magFilter, step.magFilter) << "mode " << step.mode;
    }
}

// --- bind and unbind -----------------------------------------------------------------------------

TEST_F(HTextureStoreTest, BindOfNothingOnlyResetsTheColour) {
    ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
    const int32_t index = theTextureStore.load("a.bmp");
    theTextureStore.unbind();
    theTextureStore.bind(index);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(boundTexture(), GLint(theTextureStore.textures[index]->glName));
    for (int32_t nothing : {-1, 42, 100, -3}) {
        glColor3f(1.0f, 0.0f, 0.0f);
        theTextureStore.bind(nothing);
        expectColour(1, 1, 1);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_EQ(boundTexture(), GLint(theTextureStore.textures[index]->glName));
    }
    glColor3f(0.0f, 0.0f, 1.0f);
    theTextureStore.unbind();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(boundTexture(), 0);
    expectColour(1, 1, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// --- the end of the context -----------------------------------------------------------------------

TEST(HTextureStoreContextTest, TexturesLeftWhenTheWindowCloses) {
    ScopedTempDir dir;
    theTextureStore.releaseAll();
    {
        GlWindow window;
        ASSERT_TRUE(window.ok());
        ASSERT_TRUE(writeBmp("a.bmp", blocks(1, 1)));
        ASSERT_EQ(theTextureStore.load("a.bmp"), 0);
        ASSERT_EQ(theTextureStore.load("a.bmp"), 1);
    }
    // SDL_Quit has ended the context: the records go without OpenGL calls
    // (the game's store does the same in its destructor at process exit).
    theTextureStore.release(0);
    EXPECT_EQ(theTextureStore.count, 1);
    theTextureStore.releaseAll();
    EXPECT_EQ(theTextureStore.count, 0);
    GlWindow window;
    ASSERT_TRUE(window.ok());
    EXPECT_EQ(theTextureStore.load("a.bmp"), 0);
    theTextureStore.releaseAll();
}
