// The main menu and the victory screen in a real window, with pictures of
// plain colours made here so that what is on screen tells which file was
// drawn where.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>  // Required for: getpid(), usleep()

#include <cmath>
#include <string>
#include <vector>

#include "app/happlication.h"
#include "app/hmatchowner.h"
#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "config/hcontrols.h"  // Required for: leftChoice, rightChoice
#include "game/gaicontroller.h"
#include "game/gcontroller.h"
#include "game/gmastercontroller.h"
#include "game/gship.h"
#include "game/gskilledcontroller.h"
#include "net/nmatch.h"
#include "net/nsession.h"
#include "screens/gengine.h"
#include "screens/mmainmenu.h"
#include "screens/msettings.h"
#include "screens/mvictory.h"
#include "support/glwindow.h"
#include "support/models3ds.h"
#include "support/pictures.h"
#include "support/tempdir.h"

namespace {

const uint32_t BACKDROP = 0x404040, CURSOR_KEYS = 0xff0000, WASD = 0x00ff00, COMPUTER = 0x0000ff;
const uint32_t PILOT = 0xff8000, ACE = 0x8000ff, MASTER = 0x0080ff;
const uint32_t LEFT_WON = 0xffff00, RIGHT_WON = 0x00ffff, DRAW = 0xff00ff;

// Each picture is four quadrants: its own colour top left, and that colour
// with a different byte changed in each other quadrant, so that what is on
// screen tells which file was drawn, and whether the right way up.
Quadrants quadrantsOf(uint32_t colour) { return {colour, colour ^ 0x000030, colour ^ 0x003000, colour ^ 0x300000}; }

void writePicture(const std::string& name, uint32_t colour) {
    ASSERT_TRUE(writeQuadrantPicture(name.c_str(), quadrantsOf(colour)));
}

// The choices the game starts with, read before any test changes them.
const ControllerChoice startingLeftChoice = leftChoice;
const ControllerChoice startingRightChoice = rightChoice;

// Which kinds of controller the match just started gave the right and the
// left ship, as "right/left": "keys", "wasd", "computer", "pilot", "ace",
// "master" or "none".
std::string controllers(HScreen* screen) {
    auto* engine = dynamic_cast<GEngine*>(screen);
    if (engine == nullptr) return "no match";
    auto kind = [](GController* c) -> std::string {
        if (dynamic_cast<GArrowKeysController*>(c)) return "keys";
        if (dynamic_cast<GWasdController*>(c)) return "wasd";
        if (dynamic_cast<GAiController*>(c)) return "computer";
        if (dynamic_cast<GPilotController*>(c)) return "pilot";
        if (dynamic_cast<GAceController*>(c)) return "ace";
        if (dynamic_cast<GMasterController*>(c)) return "master";
        return "none";
    };
    return kind(engine->match.controller(SIDE_RIGHT)) + "/" + kind(engine->match.controller(SIDE_LEFT));
}

class FrontScreensTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        writePicture("menu.jpg", BACKDROP);
        writePicture("menu1.bmp", CURSOR_KEYS);
        writePicture("menu2.bmp", WASD);
        writePicture("menu3.bmp", COMPUTER);
        writePicture("menu4.bmp", PILOT);
        writePicture("menu5.bmp", ACE);
        writePicture("menu6.bmp", MASTER);
        writePicture("won_l.jpg", LEFT_WON);
        writePicture("won_r.jpg", RIGHT_WON);
        writePicture("remiza.jpg", DRAW);
        leftChoice = startingLeftChoice;
        rightChoice = startingRightChoice;
        slotsBefore = theTextureStore.count;
        theTextureStore.setFilterMode(0);  // nearest: exact texels
    }
    void TearDown() override {
        delete app;
        app = nullptr;
        EXPECT_EQ(theTextureStore.count, slotsBefore) << "a screen kept a texture";
    }

    // Draws the current screen into the back buffer and reads a pixel at a
    // point of the front screens' space: 2.2 units further away than its
    // coordinates say.
    uint32_t drawnAt(float x, float y, float z, int dx = 0, int dy = 0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Whatever the screen before left in the matrix must not matter.
        glLoadIdentity();
        glTranslatef(3.0f, -2.0f, -7.0f);
        app->currentScreen->draw();
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -2.2f);
        int px, py;
        GlWindow::project(x, y, z, &px, &py);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        px += dx;
        py += dy;
        if (px < 0 || py < 0 || px >= viewport[2] || py >= viewport[3]) return OFF_SCREEN;
        return GlWindow::pixel(GL_BACK, px, py);
    }
    static constexpr uint32_t OFF_SCREEN = 0xfffffffe;
    // The picture drawn on the quad from (left, top) to (right, bottom):
    // the colour it was written with, or 0xffffffff when the quadrants do
    // not show one picture the right way up, or when it does not end at the
    // quad's edges (unless the quad reaches past the view).
    uint32_t pictureOn(float left, float top, float right, float bottom, float z, bool edges = true) {
        const float w = right - left, h = top - bottom;
        const float x0 = left + w / 4, x1 = right - w / 4;
        const float y0 = top - h / 4, y1 = bottom + h / 4;
        const Quadrants seen = {drawnAt(x0, y0, z), drawnAt(x1, y0, z), drawnAt(x0, y1, z), drawnAt(x1, y1, z)};
        const Quadrants want = quadrantsOf(seen.topLeft);
        bool ok = seen.topRight == want.topRight && seen.bottomLeft == want.bottomLeft && seen.bottomRight == want.bottomRight;
        auto ofPicture = [&](uint32_t c) {
            return c == want.topLeft || c == want.topRight || c == want.bottomLeft || c == want.bottomRight;
        };
        if (ok && edges) {
            // Two pixels inside each edge the picture, two outside not
            // (texels are sampled nearest, so the picture is pure to its
            // edges).
            // Edges beyond the view are not checked.
            auto edge = [&](float x, float y, int dx, int dy, uint32_t inside) {
                const uint32_t in = drawnAt(x, y, z, dx, dy), out = drawnAt(x, y, z, -dx, -dy);
                return out == OFF_SCREEN || (in == inside && !ofPicture(out));
            };
            ok = edge(left, y0, 2, 0, want.topLeft) && edge(right, y1, -2, 0, want.bottomRight) &&
                 edge(x0, top, 0, -2, want.topLeft) && edge(x1, bottom, 0, 2, want.bottomRight);
        }
        if (ok) return seen.topLeft;
        ADD_FAILURE() << std::hex << "quadrants " << seen.topLeft << " " << seen.topRight << " " << seen.bottomLeft
                      << " " << seen.bottomRight << (edges ? ", or its edges" : "");
        return 0xffffffff;
    }
    // The two choice pictures under the ships.
    uint32_t leftPicture() { return pictureOn(-0.66f, -0.2f, -0.26f, -0.4f, 0.1f); }
    uint32_t rightPicture() { return pictureOn(0.26f, -0.2f, 0.66f, -0.4f, 0.1f); }

    MMainMenu* menu() { return dynamic_cast<MMainMenu*>(app->currentScreen); }

    GlWindow window;
    ScopedTempDir dir;
    HApplication* app = new HApplication();
    int32_t slotsBefore = 0;
};

TEST_F(FrontScreensTest, MenuStartsWithWasdLeftAndCursorKeysRight) {
    app->showMenu();
    ASSERT_NE(menu(), nullptr);
    EXPECT_EQ(leftPicture(), WASD);
    EXPECT_EQ(rightPicture(), CURSOR_KEYS);
    // The backdrop fills the view (away from the choice pictures).
    EXPECT_EQ(pictureOn(-24.0f, 20.0f, 24.0f, -20.0f, -30.0f, false), BACKDROP);
    app->keyDown(13);
    EXPECT_EQ(controllers(app->currentScreen), "keys/wasd");
}

TEST_F(FrontScreensTest, TwoPlayersCannotShareKeys) {
    app->showMenu();
    app->keyDown('p');
    EXPECT_EQ(leftPicture(), WASD);
    EXPECT_EQ(rightPicture(), WASD);
    app->keyDown(13);
    ASSERT_NE(menu(), nullptr) << "Return started a match with both players on W A S D";
    app->keyDown('p');
    EXPECT_EQ(rightPicture(), COMPUTER);
    app->keyDown(13);
    EXPECT_EQ(controllers(app->currentScreen), "computer/wasd");
}

// Computer players of any skill may meet, on either side and themselves.
TEST_F(FrontScreensTest, ComputersOfAnySkillMayPlay) {
    const struct {
        int leftPresses, rightPresses;  // from W A S D and the cursor keys
        uint32_t left, right;
        const char* controllers;
    } cases[] = {
        {1, 2, COMPUTER, COMPUTER, "computer/computer"}, {2, 4, PILOT, ACE, "ace/pilot"},
        {3, 2, ACE, COMPUTER, "computer/ace"},           {3, 4, ACE, ACE, "ace/ace"},
        {2, 3, PILOT, PILOT, "pilot/pilot"},             {4, 5, MASTER, MASTER, "master/master"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.controllers);
        leftChoice = startingLeftChoice;
        rightChoice = startingRightChoice;
        app->showMenu();
        for (int i = 0; i < c.leftPresses; i++) app->keyDown('o');
        for (int i = 0; i < c.rightPresses; i++) app->keyDown('p');
        EXPECT_EQ(leftPicture(), c.left);
        EXPECT_EQ(rightPicture(), c.right);
        app->keyDown(13);
        EXPECT_EQ(controllers(app->currentScreen), c.controllers);
        app->keyDown(27);
    }
}

TEST_F(FrontScreensTest, ChoicesCycleAndSurviveAMatch) {
    app->showMenu();
    app->keyDown('r');  // no match of this run has ended: nothing to watch
    ASSERT_NE(menu(), nullptr);
    // From W A S D through every kind and round again.
    for (uint32_t picture : {COMPUTER, PILOT, ACE, MASTER, CURSOR_KEYS, WASD}) {
        app->keyDown('o');
        EXPECT_EQ(leftPicture(), picture);
    }
    app->keyDown('o');  // computer on the left
    app->keyDown(13);
    ASSERT_EQ(controllers(app->currentScreen), "keys/computer");
    app->keyDown(27);
    ASSERT_NE(menu(), nullptr);
    EXPECT_EQ(leftPicture(), COMPUTER);
    EXPECT_EQ(rightPicture(), CURSOR_KEYS);
    // The match left with Escape is the one r watches.
    app->keyDown('r');
    auto* watched = dynamic_cast<GEngine*>(app->currentScreen);
    ASSERT_NE(watched, nullptr);
    EXPECT_NE(watched->match.watched(), nullptr);
    EXPECT_EQ(watched->match.leftChoice, CHOICE_COMPUTER);
    EXPECT_EQ(watched->match.rightChoice, CHOICE_ARROW_KEYS);
}

// A switch destroys the old screen before it builds the new one, so that the
// new screen finds the texture slots the old one gave back: here the last
// free slot of the store.
TEST_F(FrontScreensTest, SwitchFreesTheOldScreensTexturesBeforeTheNewOneLoads) {
    class Holder : public HScreen {
    public:
        Holder() : texture(theTextureStore.load("menu.jpg")) {}
        ~Holder() override { theTextureStore.release(texture); }
        int32_t texture;
    };
    // The match's first texture: its right ship's, as the model loads.
    ASSERT_TRUE(write3ds("ship.3ds", Model3ds({{"hull", 0x010203, "menu2.bmp"}})));
    for (bool toMatch : {false, true}) {
        SCOPED_TRACE(toMatch ? "startMatch" : "showMenu");
        delete app->currentScreen;
        app->currentScreen = nullptr;
        std::vector<int32_t> filler;
        while (theTextureStore.count < HTextureStore::MAX_TEXTURES - 1)
            filler.push_back(theTextureStore.load("menu1.bmp"));
        app->currentScreen = new Holder();
        ASSERT_EQ(theTextureStore.count, HTextureStore::MAX_TEXTURES);
        testing::internal::CaptureStderr();
        int32_t firstLoaded = -1;
        if (toMatch) {
            app->startMatch(CHOICE_COMPUTER, CHOICE_COMPUTER);
            auto* engine = dynamic_cast<GEngine*>(app->currentScreen);
            ASSERT_NE(engine, nullptr);
            firstLoaded = engine->view.rightShipModel->data.materials[0].texture;
        } else {
            app->showMenu();
            ASSERT_NE(menu(), nullptr);
            firstLoaded = menu()->background;
        }
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(firstLoaded, -1) << errors;
        for (int32_t texture : filler) theTextureStore.release(texture);
    }
}

// The logo and the two ships stand where the menu puts them and turn about
// their own axes: each is a right triangle in its own pure colour here, and
// the box of its pixels must match the box its corners project to.
TEST_F(FrontScreensTest, MenuModelsStandAndTurnWhereTheMenuPutsThem) {
    struct Placed {
        const char* file;
        uint32_t rgbMask;  // the only channel its pixels have
        Vec3 at;
        Vec3 axis;
        float scale;
    };
    const Placed models[] = {{"logo.3ds", 0xff0000, Vec3(8, -6, -20), Vec3(0, 1, 0), 0.4f},
                             {"ship2.3ds", 0x00ff00, Vec3(-7, 0, -20), Vec3(0, 1, 0.4f), 1.0f},
                             {"ship.3ds", 0x0000ff, Vec3(7, 0, -20), Vec3(0, -1, -0.4f), 1.0f}};
    const std::vector<Vec3> corners = {Vec3(0, 0, 0), Vec3(3, 0, 0), Vec3(0, 2, 0)};
    for (const Placed& m : models) {
        ASSERT_TRUE(write3ds(m.file, Model3ds({{"paint", m.rgbMask}}, {{"triangle", {"paint"}, corners}})));
    }
    // The controller pictures have pure colours of their own.
    for (const char* picture : {"menu1.bmp", "menu2.bmp", "menu3.bmp", "menu4.bmp", "menu5.bmp", "menu6.bmp"}) remove(picture);
    testing::internal::CaptureStderr();
    app->showMenu();
    testing::internal::GetCapturedStderr();
    for (float angle : {0.0f, 40.0f, 200.0f}) {
        menu()->angle = angle;
        drawnAt(0, 0, 0);  // draws the frame
        glLoadIdentity();
        for (const Placed& m : models) {
            SCOPED_TRACE(testing::Message() << m.file << " at " << angle << " degrees");
            const PixelBox seen = GlWindow::backBufferBox(
                640, 480, [&m](uint32_t rgb) { return rgb != 0 && (rgb & ~m.rgbMask) == 0; });
            // Where the corners go: scaled, turned about the normalised axis
            // (Rodrigues), placed, and 2.2 units further away.
            const float len = std::sqrt(m.axis.x * m.axis.x + m.axis.y * m.axis.y + m.axis.z * m.axis.z);
            const double kx = m.axis.x / len, ky = m.axis.y / len, kz = m.axis.z / len;
            const double c = std::cos(angle * M_PI / 180), s = std::sin(angle * M_PI / 180);
            PixelBox want;
            for (const Vec3& v : corners) {
                const double x = v.x * m.scale, y = v.y * m.scale, z = v.z * m.scale;
                const double dot = kx * x + ky * y + kz * z;
                const double rx = x * c + (ky * z - kz * y) * s + kx * dot * (1 - c);
                const double ry = y * c + (kz * x - kx * z) * s + ky * dot * (1 - c);
                const double rz = z * c + (kx * y - ky * x) * s + kz * dot * (1 - c);
                int px, py;
                GlWindow::project(float(rx + m.at.x), float(ry + m.at.y), float(rz + m.at.z - 2.2), &px, &py);
                want.add(px, py);
            }
            ASSERT_FALSE(seen.empty()) << "not drawn";
            EXPECT_NEAR(seen.minX, want.minX, 3);
            EXPECT_NEAR(seen.maxX, want.maxX, 3);
            EXPECT_NEAR(seen.minY, want.minY, 3);
            EXPECT_NEAR(seen.maxY, want.maxY, 3);
        }
    }
}

TEST_F(FrontScreensTest, MenuModelsTurnAtAnEighthOfADegreePerMillisecond) {
    app->showMenu();
    app->update(100);  // the dropped first update
    app->update(16);
    app->update(1000);
    EXPECT_FLOAT_EQ(menu()->angle, 127.0f);
    // A whole turn and more: the angle stays within one turn, where adding
    // an eighth of a degree still changes it after hours.
    app->update(2000);
    EXPECT_FLOAT_EQ(menu()->angle, 17.0f);
    app->update(-200);  // time running backwards turns it back, still within the turn
    EXPECT_FLOAT_EQ(menu()->angle, 352.0f);
}

TEST_F(FrontScreensTest, VictoryShowsThePictureOfTheResult) {
    struct Row {
        MatchResult result;
        uint32_t colour;
    } rows[] = {
        {{true, 0, 40}, LEFT_WON},   {{true, 5, -10}, RIGHT_WON}, {{true, 0, 0}, DRAW},
        {{true, -5, -10}, DRAW},     {{true, 20, 30}, DRAW},      {{false, 0, 40}, DRAW},
        {{false, 40, 0}, DRAW},      {{true, 1, 5}, DRAW},        {{true, 5, 1}, DRAW},
    };
    for (const Row& row : rows) {
        app->showResult(row.result);
        // The quad as wide as a 21:9 window shows.
        const float w = MVictory::HALF_WIDTH, h = MVictory::HALF_HEIGHT;
        EXPECT_EQ(pictureOn(-w, h, w, -h, 0.0f), row.colour)
            << "finished " << row.result.finished << " right " << row.result.rightHealth << " left "
            << row.result.leftHealth;
    }
}

// Health never below 0, whole seconds, and the other machine's side said.
TEST(VictoryLettering, SaysEachSidesHealthWhoFlewItAndTheMatchTime) {
    const struct {
        MatchResult result;
        const char* says;  // time | left flown, health | right flown, health
    } rows[] = {
        {{true, -10, 35, 67999, CHOICE_WASD, CHOICE_ACE}, "Match time 1:07|left keys|35 health left|ace|0 health left"},
        {{true, 40, 0, 600000, CHOICE_COMPUTER, CHOICE_PILOT, SIDE_LEFT},
         "Match time 10:00|the other machine|0 health left|pilot|40 health left"},
        {{true, 0, 100, 1000, CHOICE_MASTER, CHOICE_PILOT}, "Match time 0:01|master|100 health left|pilot|0 health left"},
        {{false, 100, 99, 59000, CHOICE_ARROW_KEYS, CHOICE_WASD, SIDE_RIGHT},
         "Match time 0:59|right keys|99 health left|the other machine|100 health left"},
    };
    for (const auto& row : rows) {
        const MVictory::Lettering l = MVictory::letteringFor(row.result);
        EXPECT_EQ(l.length + "|" + l.flown[0] + "|" + l.health[0] + "|" + l.flown[1] + "|" + l.health[1], row.says);
    }
}

TEST_F(FrontScreensTest, VictoryKeyReleasesNeverLeave) {
    app->showResult(MatchResult{true, 10, 0});
    app->update(5);
    app->update(5000);
    for (int key = 0; key < 256; ++key) app->keyUp(static_cast<uint8_t>(key));
    ASSERT_NE(dynamic_cast<MVictory*>(app->currentScreen), nullptr);
    app->draw();
    app->keyDown('p');  // the statistics, to be drawn
    ASSERT_FALSE(dynamic_cast<MVictory*>(app->currentScreen)->unchanged());
    app->keyDown('p');
    EXPECT_NE(menu(), nullptr);
}

// Each side's numbers in its column; accuracy rounded down, times cut to tenths.
TEST(VictoryLettering, TheStatisticsTableSaysEachSidesNumbers) {
    MatchResult result{true, 0, 40};
    result.stats.ships[SIDE_LEFT] = {3, 1, 4, 1999, 0};
    result.stats.ships[SIDE_RIGHT] = {3, 2, 1, 7200000, 65432};
    std::string says;
    for (const MVictory::StatsRow& r : MVictory::statsTableFor(result).rows) says += r.name + " " + r.by[0] + " " + r.by[1] + "|";
    EXPECT_EQ(says, "Shots 3 3|Hits 1 2|Accuracy 33% 66%|Bounces 4 1|Longest unhit 1.9 s 7200.0 s|"
                    "Time ahead 0.0 s 65.4 s|");
}

TEST_F(FrontScreensTest, MissingPicturesLeaveScreensWorking) {
    remove("won_r.jpg");
    testing::internal::CaptureStderr();
    app->showResult(MatchResult{true, 10, 0});
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("Unable to load won_r.jpg: ", 0), 0u) << err;
    auto* victory = dynamic_cast<MVictory*>(app->currentScreen);
    ASSERT_NE(victory, nullptr);
    EXPECT_EQ(victory->image, -1);
    drawnAt(0.0f, 0.0f, 0.0f);
    app->update(1);
    app->update(1001);
    app->keyDown(' ');
    app->keyDown(' ');
    EXPECT_NE(menu(), nullptr);
}

}  // namespace

// Connected, each side changes only its own choice and sees the other's; both
// ready start the match both agreed on, and Escape leaves it on both.
TEST_F(FrontScreensTest, AConnectedMenuIsShared) {
    NSession* host = new NSession();
    NSession joiner;
    const uint16_t port = static_cast<uint16_t>(40000 + getpid() % 20000);
    ASSERT_TRUE(host->host(port, true));
    ASSERT_TRUE(joiner.join("127.0.0.1", port));
    app->attachNet(host);
    app->showMenu();
    auto until = [&](auto done) {
        for (int i = 0; i < 5000; i++) {
            if (done()) return true;
            app->update(1);
            joiner.service();
            usleep(1000);
        }
        return false;
    };
    ASSERT_TRUE(until([&] { return host->connected() && joiner.connected(); }));
    joiner.setOwnChoice(CHOICE_MASTER);
    ASSERT_TRUE(until([&] { return host->remoteChoice() == CHOICE_MASTER; }));
    app->keyDown('p');  // the joiner's key does nothing here
    app->keyDown('o');
    EXPECT_EQ(rightChoice, startingRightChoice);
    EXPECT_EQ(leftPicture(), COMPUTER);
    EXPECT_EQ(rightPicture(), MASTER);
    ASSERT_TRUE(until([&] { return joiner.remoteChoice() == CHOICE_COMPUTER; }));
    app->keyDown(13);
    ASSERT_NE(menu(), nullptr) << "the host started alone";
    joiner.setOwnReady(true);
    ASSERT_TRUE(until([&] { return dynamic_cast<GEngine*>(app->currentScreen) != nullptr; }))
        << host->ownReady() << host->remoteReady() << static_cast<int>(host->state()) << joiner.ownReady()
        << host->inMatch() << " " << host->notice();
    auto* engine = dynamic_cast<GEngine*>(app->currentScreen);
    ASSERT_NE(app->matchOwner()->netMatch(), nullptr);
    EXPECT_EQ(app->matchOwner()->netMatch()->session, host);
    EXPECT_EQ(engine->match.leftChoice, CHOICE_COMPUTER);
    EXPECT_EQ(engine->match.rightChoice, CHOICE_MASTER);
    NStart start;
    NSession::Event event;
    ASSERT_TRUE(until([&] { return joiner.takeEvent(event, start) && event == NSession::Event::MATCH_STARTED; }));
    EXPECT_EQ(start.leftChoice, CHOICE_COMPUTER);
    EXPECT_EQ(start.seed, engine->match.world.seed);
    app->keyDown(27);
    EXPECT_NE(menu(), nullptr);
    EXPECT_TRUE(until([&] { return joiner.takeEvent(event, start) && event == NSession::Event::MATCH_LEFT; }));
}

// The screens that do not move say so only once the frame they would draw is
// the one they drew: the result at once, the settings until a key or the
// notice's end, the match while it is held and has been drawn held.
TEST_F(FrontScreensTest, StillScreensSayUnchangedOnlyWhileTheirFrameIs) {
    app->showResult({true, 0, 40});
    EXPECT_FALSE(app->currentScreen->unchanged()) << "never drawn";
    app->draw(), app->update(5000);
    EXPECT_TRUE(app->currentScreen->unchanged());
    MSettings settings(nullptr);
    settings.notice = "taken", settings.noticeMs = 10;
    settings.draw(), settings.update(9);
    EXPECT_TRUE(settings.unchanged());
    settings.update(1);
    EXPECT_FALSE(settings.unchanged()) << "the notice is gone";
    settings.draw(), settings.symbolDown(SDLK_DOWN, 0, 0);
    EXPECT_FALSE(settings.unchanged()) << "a key moved the cursor";
    app->startMatch(CONTROLLER_KIND_COUNT, CONTROLLER_KIND_COUNT);
    GEngine* engine = dynamic_cast<GEngine*>(app->currentScreen);
    ASSERT_NE(engine, nullptr);
    app->update(1), app->draw(), app->keyDown('p');  // as the other side's pause comes: no tick between
    EXPECT_FALSE(engine->unchanged()) << "drawn running";
    app->draw(), app->update(1000);
    EXPECT_TRUE(engine->unchanged());
    app->keyDown('p'), app->update(30);
    EXPECT_FALSE(engine->unchanged()) << "running again";
}
