// Tests of HModel::draw in a real OpenGL context with the game's fixed state
// (one light from the viewer's side, colour material): models are written
// with H3DSWriter or as text, drawn in front of the camera, and the pixel in
// the middle of the window is read back.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <vector>

#include "assets/h3dsformat.h"
#include "assets/h3dswriter.h"
#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "support/glwindow.h"
#include "support/pictures.h"
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
    std::vector<uint16_t> faces = {};  // three indices a face; empty: in point order
};

struct Material3ds {
    const char* name;
    const char* textureFile;  // or null
    uint8_t red, green, blue;
};

// Writes a 3DS file of materials and meshes, each mesh with the material it
// names; four points make a quad of two faces.
void write3dsMeshes(const char* file, const std::vector<Material3ds>& materials, const std::vector<Mesh3ds>& meshes) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    for (const Material3ds& m : materials) w.material(m.name, m.red, m.green, m.blue, m.textureFile);
    for (const Mesh3ds& mesh : meshes) {
        w.beginObject("mesh");
        w.begin(CHUNK_TRIANGLE_MESH);
        w.vertexListFromModel(mesh.points.data(), mesh.points.size());
        std::vector<uint16_t> faces;
        for (size_t i = 0; i + 2 < mesh.points.size(); i += 3)
            faces.insert(faces.end(), {uint16_t(i), uint16_t(i + 1), uint16_t(i + 2)});
        if (mesh.points.size() == 4) faces = {0, 1, 2, 0, 2, 3};  // a quad
        if (!mesh.faces.empty()) faces = mesh.faces;
        w.faceList(reinterpret_cast<const uint16_t(*)[3]>(faces.data()), faces.size() / 3, mesh.material);
        if (!mesh.uv.empty()) w.texCoordList(mesh.uv.data(), mesh.uv.size() / 2);
        w.end();
        w.end();
    }
    ASSERT_TRUE(w.writeFile(file));
}

// Materials (name, texture file) of one colour, and one mesh.
void write3ds(const char* file, const std::vector<std::pair<const char*, const char*>>& materials,
              const Mesh3ds& mesh, uint8_t red = 200, uint8_t green = 100, uint8_t blue = 50) {
    std::vector<Material3ds> list;
    for (const auto& m : materials) list.push_back({m.first, m.second, red, green, blue});
    write3dsMeshes(file, list, {mesh});
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

// A mesh naming a material the file lacks, and a mesh of a file with no
// materials at all: no colour to use, so white.
TEST_F(HModelDrawTest, MeshWithoutAUsableMaterialIsDrawnWhite) {
    write3ds("stray.3ds", {{"known", nullptr}}, Mesh3ds{FRONT, "unknown", {}}, 100, 50, 200);
    write3ds("bare.3ds", {}, Mesh3ds{FRONT, nullptr, {}});
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
    write3dsMeshes("four.3ds",
                   {{"a", "a.bmp", 10, 20, 30}, {"b", "b.bmp", 40, 50, 60}, {"green", nullptr, 0, 200, 0},
                    {"blue", nullptr, 0, 0, 200}},
                   {{quad(-1.5f, -0.1f), "a", upright},
                    {quad(0.1f, 1.5f), "b", upright, {2, 3, 0, 2, 0, 1}},
                    {triangle(-1.5f, -0.1f), "green", {}, {2, 0, 1}},
                    {triangle(0.1f, 1.5f), "blue", {}, {1, 2, 0}}});
    HModel model;
    ASSERT_TRUE(model.load("four.3ds"));
    ASSERT_EQ(model.data.meshCount, 4);
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
