// Tests of HModel::draw in a real OpenGL context with the game's fixed state
// (one light from the viewer's side, colour material): models are written
// with H3DSWriter or as text, drawn in front of the camera, and the pixel in
// the middle of the window is read back.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <vector>

#include "assets/h3dsformat.h"
#include "assets/h3dswriter.h"
#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "support/glwindow.h"
#include "support/tempdir.h"

using namespace h3ds;

namespace {

const int32_t WIDTH = 320;
const int32_t HEIGHT = 240;

// A triangle around the middle of the view, 3 units in front of the camera.
// Counter-clockwise as seen from the camera: its normal faces the viewer and
// the light.
const std::vector<Vec3> FRONT = {Vec3(-1, -1, -3), Vec3(1, -1, -3), Vec3(0, 1, -3)};
const std::vector<Vec3> BACK = {Vec3(-1, -1, -3), Vec3(0, 1, -3), Vec3(1, -1, -3)};

struct Mesh3ds {
    std::vector<Vec3> points;
    const char* material = nullptr;
    std::vector<float> uv;
};

// Writes a 3DS file of materials (name, colour, texture file) and one mesh.
void write3ds(const char* file, const std::vector<std::pair<const char*, const char*>>& materials,
              const Mesh3ds& mesh, uint8_t red = 200, uint8_t green = 100, uint8_t blue = 50) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    for (const auto& m : materials) w.material(m.first, red, green, blue, m.second);
    w.beginObject("mesh");
    w.begin(CHUNK_TRIANGLE_MESH);
    w.vertexListFromModel(mesh.points.data(), mesh.points.size());
    std::vector<uint16_t> faces;
    for (size_t i = 0; i + 2 < mesh.points.size(); i += 3)
        faces.insert(faces.end(), {uint16_t(i), uint16_t(i + 1), uint16_t(i + 2)});
    if (mesh.points.size() == 4) faces = {0, 1, 2, 0, 2, 3};  // a quad
    w.faceList(reinterpret_cast<const uint16_t(*)[3]>(faces.data()), faces.size() / 3, mesh.material);
    if (!mesh.uv.empty()) w.texCoordList(mesh.uv.data(), mesh.uv.size() / 2);
    ASSERT_TRUE(w.writeFile(file));
}

void writeSolidBmp(const char* file, uint8_t r, uint8_t g, uint8_t b) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
    ASSERT_NE(s, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch + 3 * x;
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    ASSERT_EQ(SDL_SaveBMP(s, file), 0);
    SDL_FreeSurface(s);
}

class HModelDrawTest : public testing::Test {
protected:
    HModelDrawTest() : window(WIDTH, HEIGHT) {}
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        theTextureStore.releaseAll();
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
    write3ds("front.3ds", {{"paint", nullptr}}, Mesh3ds{FRONT, "paint", {}});
    write3ds("back.3ds", {{"paint", nullptr}}, Mesh3ds{BACK, "paint", {}});
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
    write3ds("plain.3ds", {{"first", nullptr}, {"second", nullptr}}, Mesh3ds{FRONT, nullptr, {}}, 100, 50, 200);
    HModel model;
    ASSERT_TRUE(model.load("plain.3ds"));
    EXPECT_EQ(model.data.meshes[0].materialId, 0);
    expectRgb(drawAndRead(model), 120, 60, 240);
}

TEST_F(HModelDrawTest, UnknownMaterialIsDrawnWhite) {
    write3ds("stray.3ds", {{"known", nullptr}}, Mesh3ds{FRONT, "unknown", {}}, 100, 50, 200);
    HModel model;
    ASSERT_TRUE(model.load("stray.3ds"));
    EXPECT_EQ(model.data.meshes[0].materialId, -1);
    glColor3ub(255, 0, 0);
    expectRgb(drawAndRead(model), 255, 255, 255);
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
    writeSolidBmp("skin.bmp", 0, 255, 0);
    write3ds("skinned.3ds", {{"skin", "skin.bmp"}}, Mesh3ds{FRONT, "skin", {0, 0, 1, 0, 0.5f, 1}}, 255, 0, 0);
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

TEST_F(HModelDrawTest, MissingTextureDrawsWhiteWithTheStoresMessage) {
    write3ds("bare.3ds", {{"skin", "nowhere.bmp"}}, Mesh3ds{FRONT, "skin", {0, 0, 1, 0, 0.5f, 1}}, 255, 0, 0);
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
    writeSolidBmp("skin.bmp", 0, 0, 255);
    const std::vector<Vec3> quad = {Vec3(-1, -1, -3), Vec3(1, -1, -3), Vec3(1, 1, -3), Vec3(-1, 1, -3)};
    write3ds("short.3ds", {{"skin", "skin.bmp"}}, Mesh3ds{quad, "skin", {0, 0, 1, 0, 1, 1}});
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
