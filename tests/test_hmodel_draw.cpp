// Tests of HModel::draw in a real OpenGL context with the game's fixed state
// (one light from the viewer's side, colour material): models are written
// with H3DSWriter or as text, drawn in front of the camera, and the pixel in
// the middle of the window is read back.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "support/glwindow.h"
#include "support/models3ds.h"
#include "support/pictures.h"
#include "support/tempdir.h"

namespace {

const int32_t WIDTH = 320;
const int32_t HEIGHT = 240;

// A triangle around the middle of the view, 3 units in front of the camera.
// Counter-clockwise as seen from the camera: its normal faces the viewer and
// the light.
const std::vector<Vec3> FRONT = {Vec3(-1, -1, -3), Vec3(1, -1, -3), Vec3(0, 1, -3)};
const std::vector<Vec3> BACK = {Vec3(-1, -1, -3), Vec3(0, 1, -3), Vec3(1, -1, -3)};

const uint32_t PAINT = 0xC86432;

void writeOneMesh(const char* file, const std::vector<Material3ds>& materials, const Mesh3ds& mesh) {
    ASSERT_TRUE(write3ds(file, Model3ds{materials, {mesh}}));
}

class HModelDrawTest : public testing::Test {
protected:
    HModelDrawTest() : window(WIDTH, HEIGHT) {}
    // A decoy holds texture slot 0, so that no material's texture slot is
    // its position in the model.
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        theTextureStore.releaseAll();
        ASSERT_TRUE(writePlainPicture("decoy.bmp", 0x123456, 2));
        ASSERT_EQ(theTextureStore.load("decoy.bmp"), 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
    }
    void TearDown() override { theTextureStore.releaseAll(); }

    // Draws the model on a cleared frame and reads the middle pixel.
    uint32_t drawAndRead(HModel& model) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        model.draw();
        glFinish();
        return GlWindow::pixel(GL_BACK, WIDTH / 2, HEIGHT / 2);
    }

    static void expectRgb(uint32_t pixel, int r, int g, int b, int tolerance = 2) {
        EXPECT_NEAR(int((pixel >> 16) & 0xFF), r, tolerance) << std::hex << pixel;
        EXPECT_NEAR(int((pixel >> 8) & 0xFF), g, tolerance) << std::hex << pixel;
        EXPECT_NEAR(int(pixel & 0xFF), b, tolerance) << std::hex << pixel;
    }

    ScopedTempDir dir;
    GlWindow window;
};

}  // namespace

TEST_F(HModelDrawTest, TextModelIsDrawnUnlitInItsColour) {
    dir.write("bar.txt", "200 100 50  -1 -1 -3  0 1 -3  1 -1 -3");  // clockwise: lighting would darken it
    HModel model;
    ASSERT_TRUE(model.load("bar.txt"));
    glEnable(GL_LIGHTING);
    expectRgb(drawAndRead(model), 200, 100, 50, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "an untextured mesh unbinds";
}

TEST_F(HModelDrawTest, ThreeDsModelIsLitWhileItDrawsAndNotAfter) {
    writeOneMesh("front.3ds", {{"paint", PAINT}}, {"mesh", {"paint"}, FRONT});
    writeOneMesh("back.3ds", {{"paint", PAINT}}, {"mesh", {"paint"}, BACK});
    HModel front, back;
    ASSERT_TRUE(front.load("front.3ds"));
    ASSERT_TRUE(back.load("back.3ds"));
    // Facing the light: ambient 0.2 plus diffuse 1.0 of the colour, clamped.
    expectRgb(drawAndRead(front), 240, 120, 60);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    // Facing away: the global ambient alone.
    expectRgb(drawAndRead(back), 40, 20, 10);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST_F(HModelDrawTest, MeshWithoutFaceMaterialTakesTheFirstMaterialsColour) {
    writeOneMesh("plain.3ds", {{"first", 0x6432C8}, {"second", 0x6432C8}}, {"mesh", {}, FRONT});
    HModel model;
    ASSERT_TRUE(model.load("plain.3ds"));
    EXPECT_EQ(model.data.meshes[0].materialId, 0);
    expectRgb(drawAndRead(model), 120, 60, 240);
}

// A mesh naming a material the file lacks, and a mesh of a file with no
// materials at all: no colour to use, so white.
TEST_F(HModelDrawTest, MeshWithoutAUsableMaterialIsDrawnWhite) {
    writeOneMesh("stray.3ds", {{"known", 0x6432C8}}, {"mesh", {"unknown"}, FRONT});
    writeOneMesh("bare.3ds", {}, {"mesh", {}, FRONT});
    for (const char* file : {"stray.3ds", "bare.3ds"}) {
        SCOPED_TRACE(file);
        HModel model;
        ASSERT_TRUE(model.load(file));
        glColor3ub(255, 0, 0);
        expectRgb(drawAndRead(model), 255, 255, 255);
    }
}

TEST_F(HModelDrawTest, UnloadedModelMakesNoOpenGLCall) {
    HModel model;
    EXPECT_FALSE(model.load("missing.txt"));
    glEnable(GL_LIGHTING);
    glColor3ub(1, 2, 3);
    expectRgb(drawAndRead(model), 0, 0, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << "draw would have switched it off";
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[2], 3.0f / 255.0f, 1e-6f);
    glDisable(GL_LIGHTING);
}

TEST_F(HModelDrawTest, TexturedMeshShowsItsTextureAndKeepsItBound) {
    ASSERT_TRUE(writePlainPicture("skin.bmp", 0x00ff00, 2));
    writeOneMesh("skinned.3ds", {{"skin", 0xff0000, "skin.bmp"}}, {"mesh", {"skin"}, FRONT, {0, 0, 1, 0, 0.5f, 1}});
    const int32_t before = theTextureStore.count;
    {
        HModel model;
        ASSERT_TRUE(model.load("skinned.3ds"));
        ASSERT_EQ(theTextureStore.count, before + 1);
        const int32_t texture = model.data.materials[0].texture;
        ASSERT_GE(texture, 0);
        EXPECT_TRUE(model.data.meshes[0].hasTexture);
        expectRgb(drawAndRead(model), 0, 255, 0);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(bound, GLint(theTextureStore.textures[texture]->glName));
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    }
    EXPECT_EQ(theTextureStore.count, before) << "the model releases its material textures";
}

// Four meshes in one model, each in its own quarter of the view: two quads
// textured with different four-quadrant pictures, two triangles in their
// own material colours. Each mesh binds its own texture or colour, the
// pictures stand upright (u across, v up), and each corner is lit by its own
// normal.
TEST_F(HModelDrawTest, EachMeshDrawsWithItsOwnMaterialCoordinatesAndNormals) {
    const Quadrants a = {0xff0000, 0x00ff00, 0x0000ff, 0xffff00};
    const Quadrants b = {0xff00ff, 0x00ffff, 0xffffff, 0x808000};
    ASSERT_TRUE(writeQuadrantPicture("a.bmp", a));
    ASSERT_TRUE(writeQuadrantPicture("b.bmp", b));
    const std::vector<float> upright = {0, 0, 1, 0, 1, 1, 0, 1};
    auto quad = [](float left, float right) {
        return std::vector<Vec3>{Vec3(left, 0.1f, -3), Vec3(right, 0.1f, -3), Vec3(right, 1.1f, -3),
                                 Vec3(left, 1.1f, -3)};
    };
    auto triangle = [](float left, float right) {
        return std::vector<Vec3>{Vec3(left, -1.1f, -3), Vec3(right, -1.1f, -3), Vec3((left + right) / 2, -0.1f, -3)};
    };
    // Textured materials last: their positions (2, 3) are not their slots
    // in the store (1, 2, after the decoy), so binding by position shows.
    ASSERT_TRUE(write3ds("four.3ds", Model3ds{{{"green", 0x00c800}, {"blue", 0x0000c8}, {"b", 0x28323c, "b.bmp"},
                                               {"a", 0x0a141e, "a.bmp"}},
                                              {{"a", {"a"}, quad(-1.5f, -0.1f), upright},
                                               {"b", {"b"}, quad(0.1f, 1.5f), upright, {2, 3, 0, 2, 0, 1}},
                                               {"green", {"green"}, triangle(-1.5f, -0.1f), {}, {2, 0, 1}},
                                               {"blue", {"blue"}, triangle(0.1f, 1.5f), {}, {1, 2, 0}}}}));
    HModel model;
    ASSERT_TRUE(model.load("four.3ds"));
    ASSERT_EQ(model.data.meshCount, 4);
    for (int32_t m : {2, 3}) ASSERT_NE(model.data.materials[m].texture, m);
    // The green triangle's top corner turned edge-on to the light: dark
    // there, bright at the two bottom corners.
    model.data.meshes[2].normals[2] = Vec3(1, 0, 0);

    drawAndRead(model);
    auto at = [](float x, float y) {
        int px, py;
        GlWindow::project(x, y, -3.0f, &px, &py);
        return GlWindow::pixel(GL_BACK, px, py);
    };
    const float quarters[][2] = {{-1.15f, 0.85f}, {-0.45f, 0.85f}, {-1.15f, 0.35f}, {-0.45f, 0.35f}};
    const uint32_t wantA[] = {a.topLeft, a.topRight, a.bottomLeft, a.bottomRight};
    const uint32_t wantB[] = {b.topLeft, b.topRight, b.bottomLeft, b.bottomRight};
    for (int q = 0; q < 4; q++) {
        EXPECT_EQ(at(quarters[q][0], quarters[q][1]), wantA[q]) << "first picture, quadrant " << q;
        EXPECT_EQ(at(quarters[q][0] + 1.6f, quarters[q][1]), wantB[q]) << "second picture, quadrant " << q;
    }
    // Lit: ambient 0.2 and diffuse 1.0 of the colour where the normal faces
    // the light, ambient alone where it is edge-on.
    expectRgb(at(-1.35f, -1.05f), 0, 240, 0, 12);
    expectRgb(at(-0.25f, -1.05f), 0, 240, 0, 12);
    const uint32_t top = at(-0.8f, -0.2f);
    EXPECT_LT(int((top >> 8) & 0xff), 100) << std::hex << top;
    EXPECT_EQ(top & 0xff00ff, 0u) << std::hex << top;
    expectRgb(at(0.8f, -0.7f), 0, 0, 240);
}

TEST_F(HModelDrawTest, MissingTextureDrawsWhiteWithTheStoresMessage) {
    writeOneMesh("bare.3ds", {{"skin", 0xff0000, "nowhere.bmp"}}, {"mesh", {"skin"}, FRONT, {0, 0, 1, 0, 0.5f, 1}});
    HModel model;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.load("bare.3ds"));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Unable to load nowhere.bmp: ", 0), 0u);
    EXPECT_EQ(model.data.materials[0].texture, -1);
    theTextureStore.unbind();
    expectRgb(drawAndRead(model), 255, 255, 255);
}

TEST_F(HModelDrawTest, FewerTextureCoordinatesThanVerticesAreNeverReadPastTheEnd) {
    // A quad of four vertices with coordinates for three: under ASan an
    // out-of-bounds read of the fourth would abort here.
    ASSERT_TRUE(writePlainPicture("skin.bmp", 0x0000ff, 2));
    const std::vector<Vec3> quad = {Vec3(-1, -1, -3), Vec3(1, -1, -3), Vec3(1, 1, -3), Vec3(-1, 1, -3)};
    writeOneMesh("short.3ds", {{"skin", PAINT, "skin.bmp"}}, {"mesh", {"skin"}, quad, {0, 0, 1, 0, 1, 1}});
    HModel model;
    ASSERT_TRUE(model.load("short.3ds"));
    ASSERT_EQ(model.data.meshes[0].vertexCount, 4);
    ASSERT_EQ(model.data.meshes[0].texCoordCount, 3);
    expectRgb(drawAndRead(model), 0, 0, 255);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(HModelDrawTest, EmptyModelStillSwitchesLightingOff) {
    dir.write("empty.3ds", "");
    HModel model;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.load("empty.3ds"));
    testing::internal::GetCapturedStderr();
    glEnable(GL_LIGHTING);
    expectRgb(drawAndRead(model), 0, 0, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}
