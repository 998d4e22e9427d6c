// Drawing a match in a real OpenGL window: the fixed camera, the objects in
// their places and turns, the background picture and the health bars.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include <unistd.h>  // Required for: chdir(), getcwd()

#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "app/hmatchowner.h"
#include "game/grandom.h"
#include "screens/gengine.h"
#include "game/gprojectile.h"
#include "game/greplay.h"
#include "game/gship.h"
#include "support/glwindow.h"
#include "support/pictures.h"
#include "support/tempdir.h"

namespace {

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

// Bounding box of the back buffer's pixels of one colour (y from the bottom).
PixelBox findColour(uint32_t rgb) {
    return GlWindow::backBufferBox(WIDTH, HEIGHT, [rgb](uint32_t seen) { return seen == rgb; });
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
    void frame(GEngine& engine) { frame(engine.view); }
    void frame(GView& view) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Whatever the screen before left in the matrix must not matter.
        glLoadIdentity();
        glTranslatef(3.0f, -2.0f, -7.0f);
        view.draw();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    GlWindow window{WIDTH, HEIGHT};
    ScopedTempDir dir;
};

// Each bar follows its own ship's health: the two sides differ in every row.
TEST_F(ViewTest, HealthBarsStandAtTheirHeightFor100And50And30) {
    HMatchOwner owner(nullptr);
    owner.setUpLocal(3, 3, drawMatchSeed());
    GEngine engine(nullptr, &owner);
    const double barY = screenY(GView::BAR_Y, 40.0);
    const int32_t rows[][2] = {{100, 50}, {50, 30}, {30, 100}};  // right, left
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "right " << row[0] << ", left " << row[1]);
        engine.rightShip()->health = row[0];
        engine.leftShip()->health = row[1];
        frame(engine);
        const PixelBox right = findColour(0xff00ff);
        const PixelBox left = findColour(0x00ffff);
        ASSERT_FALSE(right.empty());
        ASSERT_FALSE(left.empty());
        EXPECT_NEAR((right.minY + right.maxY) / 2.0, barY, 1.5);
        EXPECT_NEAR((left.minY + left.maxY) / 2.0, barY, 1.5);
    }

    // A ship at the top edge of the field, where the right bar stands on
    // the screen, shows whole: as many of its pixels as low in the field.
    HModel arrow;
    dir.write("arrow.txt", ARROW);
    ASSERT_TRUE(arrow.load("arrow.txt"));
    GShip* ship = engine.rightShip();
    ship->health = 100;
    HModel* const shipModel = engine.view.rightShipModel;
    engine.view.rightShipModel = &arrow;
    ship->rotation = Vec3(0.0f, 90.0f, 0.0f);
    ship->yaw = 0.0f;
    int shown[2] = {0, 0};
    const float heights[2] = {GShip::FIELD_HALF_HEIGHT, 0.0f};
    for (int i = 0; i < 2; i++) {
        ship->position = Vec3(4.0f, heights[i], -50.0f);
        frame(engine);
        GlWindow::backBufferBox(WIDTH, HEIGHT, [&](uint32_t seen) { return shown[i] += seen == 0xffff00, false; });
    }
    EXPECT_GT(shown[1], 200);
    EXPECT_NEAR(shown[0], shown[1], shown[1] / 25);  // edges rasterised at other offsets; a bar over it hides ~180
    engine.view.rightShipModel = shipModel;
}

// Where the arrow's corners land when turned by ax, then ay, then az degrees
// (OpenGL's order: the last rotation given acts on the vertex first), placed
// at `at`: the screen box they span.
PixelBox expectedArrowBox(float ax, float ay, float az, Vec3 at) {
    const double corners[3][3] = {{0, -1, 0}, {4, 0, 0}, {0, 1, 0}};
    PixelBox box;
    for (const auto& c : corners) {
        double x = c[0], y = c[1], z = c[2];
        const double rz = az * M_PI / 180, ry = ay * M_PI / 180, rx = ax * M_PI / 180;
        double t = x * std::cos(rz) - y * std::sin(rz);
        y = x * std::sin(rz) + y * std::cos(rz);
        x = t;
        t = x * std::cos(ry) + z * std::sin(ry);
        z = -x * std::sin(ry) + z * std::cos(ry);
        x = t;
        t = y * std::cos(rx) - z * std::sin(rx);
        z = y * std::sin(rx) + z * std::cos(rx);
        y = t;
        const double depth = -(at.z + z);
        box.add(static_cast<int>(screenX(at.x + x, depth)), static_cast<int>(screenY(at.y + y, depth)));
    }
    return box;
}

// A ship is drawn at its place turned about x, then its drawn yaw (not
// rotation.y) about y, then z; a shot the same with rotation.y. Each pair of
// turns below gives a different picture in the other order. The ship is
// the right one (entry 0), and so is its shot: each is drawn with the
// arrow, its side's model.
TEST_F(ViewTest, ObjectsAreDrawnAtTheirPlaceTurnedAboutXThenYThenZ) {
    HModel arrow;
    dir.write("arrow.txt", ARROW);
    ASSERT_TRUE(arrow.load("arrow.txt"));
    GWorld world;
    GView view;
    view.setWorld(&world);
    view.rightShipModel = &arrow;
    view.rightShotModel = &arrow;
    GShip* ship = new GShip(&world);
    ASSERT_TRUE(world.addObject(ship));
    GProjectile* shot = new GProjectile(&world, ship);
    struct Case {
        GMovable* object;
        Vec3 turn;  // x, y (the ship's yaw), z
    };
    const Case cases[] = {
        {ship, Vec3(0, 0, 0)},   {ship, Vec3(0, 180, 0)},   {ship, Vec3(60, 50, 0)},
        {ship, Vec3(60, 0, 50)}, {ship, Vec3(0, 60, 50)},   {shot, Vec3(60, 50, 0)},
        {shot, Vec3(60, 0, 50)}, {shot, Vec3(0, 60, 50)},
    };
    for (const Case& c : cases) {
        const bool isShip = c.object == ship;
        SCOPED_TRACE(testing::Message() << (isShip ? "ship" : "shot") << " turned " << c.turn.x << ", " << c.turn.y
                                        << ", " << c.turn.z);
        c.object->position = isShip ? Vec3(10.0f, -5.0f, -50.0f) : Vec3(-8.0f, 6.0f, -45.0f);
        c.object->rotation = Vec3(c.turn.x, isShip ? 90.0f : c.turn.y, c.turn.z);
        ship->yaw = c.turn.y;
        if (!isShip) {
            ship->position = Vec3(0.0f, 0.0f, 500.0f);  // behind the eye
            ASSERT_TRUE(world.addObject(shot));
        }
        frame(view);
        if (!isShip) world.removeObject(shot);
        const PixelBox box = findColour(0xffff00);
        const PixelBox want = expectedArrowBox(c.turn.x, c.turn.y, c.turn.z, c.object->position);
        ASSERT_FALSE(box.empty());
        EXPECT_NEAR(box.minX, want.minX, 3.0);
        EXPECT_NEAR(box.maxX, want.maxX, 3.0);
        EXPECT_NEAR(box.minY, want.minY, 3.0);
        EXPECT_NEAR(box.maxY, want.maxY, 3.0);
    }
    delete shot;
    view.rightShipModel = view.rightShotModel = nullptr;  // not the view's to delete
}

// The background picture fills the view behind everything, the right way
// up; the store gets its texture back when the match ends.
TEST_F(ViewTest, BackgroundShowsItsPictureAndGivesItsTextureBack) {
    const Quadrants colours = {0xc80000, 0x00c800, 0x0000c8, 0xc8c800};
    ASSERT_TRUE(writeQuadrantPicture(GView::BACKDROP_PICTURE, colours));

    const int32_t texturesBefore = theTextureStore.count;
    {
        HMatchOwner owner(nullptr);
        owner.setUpLocal(3, 3, drawMatchSeed());
        GEngine engine(nullptr, &owner);
        EXPECT_EQ(theTextureStore.count, texturesBefore + 1);
        frame(engine);
        // The quad spans x -55..55 and y -43..43 at depth 100; each
        // quadrant's middle, and just inside and outside its left edge.
        auto at = [](double x, double y) {
            return GlWindow::pixel(GL_BACK, int(screenX(x, 100.0)), int(screenY(y, 100.0)));
        };
        EXPECT_EQ(at(-27.5, 20.0), colours.topLeft);
        EXPECT_EQ(at(27.5, 20.0), colours.topRight);
        EXPECT_EQ(at(-27.5, -20.0), colours.bottomLeft);
        EXPECT_EQ(at(27.5, -20.0), colours.bottomRight);
        // Its left and right edges stand at x = -55 and 55 from the top of
        // the view to the bottom: black just outside, picture just inside.
        for (double y : {38.0, -38.0}) {
            for (double side : {-1.0, 1.0}) {
                EXPECT_EQ(at(side * 55.7, y), 0x000000u) << side * 55.7 << ", " << y;
                EXPECT_NE(at(side * 54.3, y), 0x000000u) << side * 54.3 << ", " << y;
            }
        }
    }
    EXPECT_EQ(theTextureStore.count, texturesBefore);
}

TEST_F(ViewTest, FramesOfARunningMatchDrawCleanly) {
    srand(3);
    HMatchOwner owner(nullptr);
    owner.setUpLocal(2, 2, drawMatchSeed());
    GEngine engine(nullptr, &owner);
    for (int i = 0; i < 200; i++) {
        engine.update(16);
        frame(engine);
    }
    EXPECT_GT(engine.match.world.objectCount, 3);  // shots in flight were drawn too
}

// Windows from 5:4 to 21:9, the game's models: a bar shows its health's share (to 3 %) of its length at full
// health, near the middle to the edge; a ship in a corner of the field, facing and rocked either way, shows whole.
TEST(WindowShapes, BarsShowTheirHealthAndShipsInTheCornersStayWhole) {
    char cwd[4096];
    ASSERT_TRUE(getenv("VEKTORAK_DATA_DIR") && getcwd(cwd, sizeof cwd) && chdir(getenv("VEKTORAK_DATA_DIR")) == 0);
    const int32_t healths[][2] = {{100, 100}, {50, 75}, {25, 50}, {1, 0}, {0, -5}, {-5, 99}};  // by GSide
    for (const auto& size : {std::make_pair(1280, 1024), {640, 480}, {1280, 720}, {1680, 720}}) {
        const int w = size.first, h = size.second;
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        GlWindow window(w, h);
        GWorld world;
        GView view;
        view.loadModels();
        GShip* ships[2] = {new GShip(&world), new GShip(&world)};  // by GSide; the first added is the right
        ASSERT_TRUE(window.ok() && view.setWorld(&world) && world.addObject(ships[1]) && world.addObject(ships[0]));
        const auto box = [&](const std::function<bool(uint32_t)>& like) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            view.draw();
            return GlWindow::backBufferBox(w, h, like);
        };
        double full[2] = {0.0, 0.0};
        ships[SIDE_LEFT]->position = ships[SIDE_RIGHT]->position = Vec3(0.0f, 0.0f, 500.0f);  // behind the eye
        for (int row = 0; row < 12; row++) {  // each side of each line of healths
            const int side = row % 2, health = healths[row / 2][side];
            for (int s : {SIDE_LEFT, SIDE_RIGHT}) ships[s]->health = healths[row / 2][s];
            const uint8_t* c = (side == SIDE_LEFT ? view.leftHealthBar : view.rightHealthBar)->data.materials[0].colour;
            const PixelBox bar = box([c](uint32_t seen) { return seen == (uint32_t(c[0]) << 16 | c[1] << 8 | c[2]); });
            const double shown = bar.empty() ? 0.0 : bar.maxX - bar.minX + 1;
            if (health == 100) { EXPECT_NEAR(full[side] = shown, w / 2, w / 40); }  // near the middle to the edge
            EXPECT_NEAR(shown, (health > 0 ? health : 0) / 100.0 * full[side], 0.03 * full[side]) << side << ": " << health;
            EXPECT_EQ(shown > 0.0, health > 0) << side << ": " << health;
        }
        view.leftHealthBar->loaded = view.rightHealthBar->loaded = false;  // their pixels would be the ships'
        ships[SIDE_LEFT]->health = ships[SIDE_RIGHT]->health = 100;
        for (int pose = 0; pose < 48; pose++) {  // bits: x, y, which ship, its facing; then its rock
            ships[~pose >> 2 & 1]->position = Vec3(0.0f, 0.0f, 500.0f);
            GShip* ship = ships[pose >> 2 & 1];
            const float x = GShip::FIELD_HALF_WIDTH, y = GShip::FIELD_HALF_HEIGHT;
            ship->position = Vec3(pose & 1 ? x : -x, pose & 2 ? y : -y, -50.0f);
            ship->yaw = pose & 8 ? 180.0f : 0.0f;
            ship->rotation = Vec3((pose / 16 - 1) * (GShip::WOBBLE_LIMIT + 1), ship->yaw, 0.0f);
            const PixelBox d = box([](uint32_t seen) { return seen != 0; });
            EXPECT_TRUE(!d.empty() && d.minX > 0 && d.minY > 0 && d.maxX < w - 1 && d.maxY < h - 1) << pose;
            EXPECT_EQ((d.minX + d.maxX > w) + 2 * (d.minY + d.maxY > h), pose & 3) << pose;  // in its corner
        }
    }
    EXPECT_EQ(chdir(cwd), 0);
}

// A recorded match watched with the game's own models and pictures in a
// 4:3 window, where the right ship loses: sparks in the shooter's colour
// where the first shot strikes; the loser's bar still in the window at its
// last points; its wreck where it broke up, with the ship itself gone. Each
// picture is set against the same frame drawn without effects. Watching
// changes nothing of the match: it ends on its recorded hash.
TEST(MatchPictures, AReplayShowsAHitTheLastPointsAndAWreck) {
    const char* data = getenv("VEKTORAK_DATA_DIR");
    ASSERT_NE(data, nullptr) << "VEKTORAK_DATA_DIR must name the baked data";
    GReplay replay;
    std::string why;
    ASSERT_EQ(loadReplay(VEKTORAK_TEST_REPLAYS "/computers_left_wins.vkr", replay, why), GReplayRead::OK) << why;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(data), 0) << data;
    {
        GlWindow window(640, 480);
        ASSERT_TRUE(window.ok());
        HMatchOwner owner(nullptr);
        ASSERT_TRUE(owner.setUpReplay(replay));
        GEngine engine(nullptr, &owner);
        // Pixels within `radius` of a world point that `like` accepts, in a
        // frame with the effects and in the same frame without them.
        const auto count = [&](Vec3 at, int radius, const std::function<bool(int, int, int)>& like, bool effects) {
            const GEffects kept = engine.view.effects;
            if (!effects) engine.view.effects.reset(0);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            engine.draw();
            engine.view.effects = kept;
            int px = 0, py = 0, n = 0;
            GlWindow::project(at.x, at.y, at.z, &px, &py);
            for (int y = py - radius; y <= py + radius; y++) {
                for (int x = px - radius; x <= px + radius; x++) {
                    if (x < 0 || y < 0 || x >= 640 || y >= 480) continue;
                    const uint32_t c = GlWindow::pixel(GL_BACK, x, y);
                    n += like(c >> 16, (c >> 8) & 255, c & 255) ? 1 : 0;
                }
            }
            return n;
        };
        const auto blue = [](int r, int, int b) { return b > 90 && b > r + 60; };
        const auto orange = [](int r, int, int b) { return r > 90 && r > b + 60; };

        // The first hit. The right ship is orange, the left blue.
        GEvent hit{};
        while (hit.ms == 0 && engine.match.world.elapsedMs < replay.endMs) {
            engine.update(1);
            for (int32_t i = 0; i < engine.match.world.events.count; i++) {
                if (engine.match.world.events.items[i].kind == GEvent::SHIP_HIT) hit = engine.match.world.events.items[i];
            }
        }
        ASSERT_NE(hit.ms, 0u);
        // The struck ship flashes: far more round it lit than unflashed.
        engine.update(60);
        const auto bright = [](int r, int g, int b) { return r + g + b > 200; };
        const Vec3 struck = engine.match.world.shipOf(hit.side)->position;
        EXPECT_GT(count(struck, 30, bright, true), 2 * count(struck, 30, bright, false) + 20);
        // Past the flash, the sparks are still out.
        engine.update(GEffects::FLASH_MS - 60);
        const auto shooterColour = hit.side == SIDE_RIGHT ? blue : orange;
        EXPECT_GT(count(hit.at, 30, shooterColour, true), count(hit.at, 30, shooterColour, false) + 20)
            << "hit at ms " << hit.ms;

        // The loser's last points, in the top right corner of the window;
        // the hit that took it there flashes the bar too (its colour added
        // to itself).
        while (engine.rightShip()->health > 5 && engine.match.world.elapsedMs < replay.endMs) engine.update(1);
        ASSERT_EQ(engine.rightShip()->health, 5);
        const auto barBox = [&](uint32_t colour) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            engine.draw();
            // The replay's bar along the bottom marks hits in the ships' colours.
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, 0, 640, 20);
            glClear(GL_COLOR_BUFFER_BIT);
            glDisable(GL_SCISSOR_TEST);
            return GlWindow::backBufferBox(640, 480, [colour](uint32_t c) { return c == colour; });
        };
        EXPECT_FALSE(barBox(0xFFDC3Cu).empty());
        const GEffects kept = engine.view.effects;
        engine.view.effects.reset(0);
        const PixelBox bar = barBox(0xFF6E1Eu);
        engine.view.effects = kept;
        ASSERT_FALSE(bar.empty());
        EXPECT_GE(bar.minY, 480 - 16);
        EXPECT_EQ(bar.maxX, 639);
        EXPECT_GT(bar.maxX - bar.minX, 12);  // 5 % of the 313 pixels shown at full health

        // The end, and the wreck 300 ms into it.
        while (!engine.wrecking() && engine.match.world.elapsedMs < replay.endMs + 1) engine.update(1);
        ASSERT_TRUE(engine.wrecking());
        EXPECT_EQ(engine.match.world.stateHash(), replay.hash);
        const Vec3 wreck = engine.rightShip()->position;
        engine.update(300);
        EXPECT_GT(count(wreck, 40, orange, true), 30);
        EXPECT_LT(count(wreck, 40, orange, false), 5) << "the wrecked ship is still drawn";
    }
    EXPECT_EQ(chdir(cwd), 0);
}

}  // namespace
