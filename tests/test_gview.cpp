// Drawing a match in a real OpenGL window: the fixed camera, the objects in
// their places and turns, the background picture and the health bars.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "game/gbackground.h"
#include "game/gengine.h"
#include "game/gship.h"
#include "support/glwindow.h"
#include "support/tempdir.h"

namespace {

// Wide enough that a bar at health -5 (23.96 units out at depth 40) is on
// the screen; at 4:3 the bars leave it a little before health 0.
const int WIDTH = 960;
const int HEIGHT = 480;

// Where a point at depth `depth` in front of the fixed camera lands on the
// screen under the game's 45 degree projection, in pixels from the left and
// from the bottom.
double screenX(double x, double depth) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    return (x / depth * f / (double(WIDTH) / HEIGHT) + 1.0) / 2.0 * WIDTH;
}
double screenY(double y, double depth) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    return (y / depth * f + 1.0) / 2.0 * HEIGHT;
}

struct Box {
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    bool empty() const { return maxX < 0; }
};

// Bounding box of the back buffer's pixels of one colour (y from the bottom).
Box findColour(uint32_t rgb) {
    static unsigned char pixels[WIDTH * HEIGHT * 3];
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    Box box;
    for (int y = 0; y < HEIGHT; y++) {
        for (int x = 0; x < WIDTH; x++) {
            const unsigned char* p = pixels + (y * WIDTH + x) * 3;
            if (((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]) != rgb) continue;
            box.minX = std::min(box.minX, x);
            box.maxX = std::max(box.maxX, x);
            box.minY = std::min(box.minY, y);
            box.maxY = std::max(box.maxY, y);
        }
    }
    return box;
}

// Text models: one flat triangle in an exact colour (drawn unlit).
const char* const RIGHT_BAR = "255 0 255\n0 -0.5 0\n2 -0.5 0\n0 0.5 0\n";   // left edge at its origin
const char* const LEFT_BAR = "0 255 255\n-2 -0.5 0\n0 -0.5 0\n0 0.5 0\n";   // right edge at its origin
const char* const ARROW = "255 255 0\n0 -1 0\n4 0 0\n0 1 0\n";              // points along +x

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        dir.write("lives_right.txt", RIGHT_BAR);
        dir.write("lives_left.txt", LEFT_BAR);
    }
    void frame(GEngine& engine) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        engine.draw();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    GlWindow window{WIDTH, HEIGHT};
    ScopedTempDir dir;
};

TEST_F(ViewTest, HealthBarsStandAtTheirPlacesFor100And50AndMinus5) {
    GEngine engine(nullptr);
    engine.setUpMatch(3, 3);
    const double barY = screenY(GView::BAR_Y, 40.0);
    for (int health : {100, 50, -5}) {
        SCOPED_TRACE(health);
        engine.rightShip()->health = health;
        engine.leftShip()->health = health;
        frame(engine);
        const Box right = findColour(0xff00ff);
        const Box left = findColour(0x00ffff);
        ASSERT_FALSE(right.empty());
        ASSERT_FALSE(left.empty());
        const double offset = GView::barOffset(health);
        EXPECT_NEAR(right.minX, screenX(offset, 40.0), 1.5);
        EXPECT_NEAR(left.maxX, screenX(-offset, 40.0), 1.5);
        EXPECT_NEAR((right.minY + right.maxY) / 2.0, barY, 1.5);
        EXPECT_NEAR((left.minY + left.maxY) / 2.0, barY, 1.5);
    }
}

TEST_F(ViewTest, ShipIsDrawnAtItsPlaceTurnedByItsYaw) {
    HModel arrow;
    dir.write("arrow.txt", ARROW);
    ASSERT_TRUE(arrow.load("arrow.txt"));
    GEngine engine(nullptr);
    GShip* ship = new GShip(&engine, &arrow, nullptr);
    ship->position = Vec3(10.0f, -5.0f, -50.0f);
    ship->rotation = Vec3(0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(engine.addObject(ship));

    frame(engine);
    Box box = findColour(0xffff00);
    ASSERT_FALSE(box.empty());
    // The flat back edge is exact; the thin tip loses a few pixels.
    EXPECT_NEAR(box.minX, screenX(10.0, 50.0), 1.5);
    EXPECT_NEAR(box.maxX, screenX(14.0, 50.0), 4.0);
    EXPECT_NEAR((box.minY + box.maxY) / 2.0, screenY(-5.0, 50.0), 1.5);

    // The drawn turn is the yaw, not rotation.y: half turned round, the
    // arrow points the other way.
    ship->rotation.y = 0.0f;
    ship->yaw = 180.0f;
    frame(engine);
    box = findColour(0xffff00);
    EXPECT_NEAR(box.minX, screenX(6.0, 50.0), 4.0);
    EXPECT_NEAR(box.maxX, screenX(10.0, 50.0), 1.5);
    engine.removeObject(ship);
    delete ship;
}

// The background picture fills the view behind everything; the store gets
// its texture back when the match ends.
TEST_F(ViewTest, BackgroundShowsItsPictureAndGivesItsTextureBack) {
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 16, 16, 24, 0xff, 0xff00, 0xff0000, 0);
    ASSERT_NE(picture, nullptr);
    SDL_FillRect(picture, nullptr, SDL_MapRGB(picture->format, 0, 200, 0));
    // SDL_image goes by the contents, not the name: a BMP called .jpg loads.
    ASSERT_EQ(SDL_SaveBMP(picture, GBackground::PICTURE), 0);
    SDL_FreeSurface(picture);

    const int32_t texturesBefore = theTextureStore.count;
    {
        GEngine engine(nullptr);
        engine.setUpMatch(3, 3);
        EXPECT_EQ(theTextureStore.count, texturesBefore + 1);
        frame(engine);
        EXPECT_EQ(GlWindow::pixel(GL_BACK, WIDTH / 2, HEIGHT / 2), 0x00c800u);
        // Near an edge of the quad, which ends 55 units out at depth 100.
        EXPECT_EQ(GlWindow::pixel(GL_BACK, int(screenX(-53.0, 100.0)), 20), 0x00c800u);
        EXPECT_EQ(GlWindow::pixel(GL_BACK, int(screenX(-57.0, 100.0)), 20), 0x000000u);
    }
    EXPECT_EQ(theTextureStore.count, texturesBefore);
}

TEST_F(ViewTest, FramesOfARunningMatchDrawCleanly) {
    srand(3);
    GEngine engine(nullptr);
    engine.setUpMatch(2, 2);
    for (int i = 0; i < 200; i++) {
        engine.update(16);
        frame(engine);
    }
    EXPECT_GT(engine.objectCount, 3);  // shots in flight were drawn too
}

}  // namespace
