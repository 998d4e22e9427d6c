// The whole run in process, as main() makes it: settings, window, menu, main
// loop and shutdown, with standard output caught in a pipe. Its own test
// program, since it brings SDL up and down itself.
#include <GL/gl.h>
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/happlication.h"
#include "app/shell.h"
#include "assets/htexturestore.h"
#include "config/settings.h"
#include "support/tempdir.h"

namespace {

int outputPipe[2] = {-1, -1};

// Everything the pipe holds now, without waiting for more.
std::string drainPipe() {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(outputPipe[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Seen from inside the main loop, at its first reading of the clock.
struct Inside {
    int clockReadings = 0;
    std::string output;  // standard output as it stood then
    int width = 0, height = 0;
    GLint viewport[4] = {};
    int cursor = -1;
    std::vector<std::string> notices;  // the menu's start-up notice
};
Inside inside;

// The first two readings are start-up's; the third is the first pass's. Then
// Escape, which the menu takes for quitting.
uint32_t clockThatQuits() {
    if (++inside.clockReadings == 3) {
        inside.output = drainPipe();
        inside.notices = fileNotices();
        if (const SDL_Surface* screen = SDL_GetVideoSurface()) {
            inside.width = screen->w;
            inside.height = screen->h;
        }
        glGetIntegerv(GL_VIEWPORT, inside.viewport);
        inside.cursor = SDL_ShowCursor(SDL_QUERY);
        SDL_Event escape = {};
        escape.type = SDL_KEYDOWN;
        escape.key.keysym.sym = SDLK_ESCAPE;
        SDL_PushEvent(&escape);
    }
    return SDL_GetTicks();
}

// The progress lines are each on standard output as soon as their step is
// done, even into a pipe (a crash must not swallow them), and the run ends
// with its shutdown lines, everything given back, and exit code 0.
TEST(GameRun, AnnouncesEachStepAtOnceAndShutsDownCleanly) {
    ScopedTempDir dir;
    dir.write("vkt.txt", "320 200");
    ASSERT_EQ(pipe(outputPipe), 0);
    ASSERT_EQ(fcntl(outputPipe[0], F_SETFL, O_NONBLOCK), 0);
    // A fresh stream on the pipe, as a new process has: the test runner has
    // written to this one already, and its buffering is set by then.
    fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    ASSERT_NE(freopen(("/proc/self/fd/" + std::to_string(outputPipe[1])).c_str(), "a", stdout), nullptr);
    shellTicks = clockThatQuits;
    testing::internal::CaptureStderr();

    const int code = runGame();

    const std::string errors = testing::internal::GetCapturedStderr();
    shellTicks = SDL_GetTicks;
    fflush(stdout);
    freopen(("/proc/self/fd/" + std::to_string(savedStdout)).c_str(), "a", stdout);
    close(savedStdout);
    close(outputPipe[1]);
    const std::string rest = drainPipe();
    close(outputPipe[0]);

    EXPECT_EQ(code, 0);
    EXPECT_EQ(inside.output,
              "Setting Loaded.\nSDL Inicialized.\nOpenGL Inicialized.\nGame Inicialized.\nEntering main game loop.\n");
    EXPECT_EQ(rest, "Delleting all..OK\nEnd.\n");
    EXPECT_GE(inside.clockReadings, 3);
    // The window and the view follow the settings file.
    EXPECT_EQ(inside.width, 320);
    EXPECT_EQ(inside.height, 200);
    EXPECT_EQ(inside.viewport[0], 0);
    EXPECT_EQ(inside.viewport[1], 0);
    EXPECT_EQ(inside.viewport[2], 320);
    EXPECT_EQ(inside.viewport[3], 200);
    EXPECT_EQ(inside.cursor, SDL_DISABLE) << "the mouse cursor shows over the game";
    // The settings were found; only the menu's missing pictures and models
    // are reported.
    EXPECT_EQ(errors.find("inicialization"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Unable to load menu.jpg: "), std::string::npos) << errors;
    EXPECT_EQ(theApplication, nullptr);
    EXPECT_EQ(theTextureStore.count, 0);
}

// A window the display refuses stops nothing: SDL's reason is said, the
// game opens 640 x 480, and the menu says what was kept until the first key
// (the Escape that ends this run).
TEST(GameRun, AWindowTheDisplayRefusesOpensAt640x480AndTheMenuSaysSo) {
    ScopedTempDir dir;
    dir.write("vkt.txt", "16384 16384 0 1\n");
    inside = Inside();
    shellTicks = clockThatQuits;
    testing::internal::CaptureStderr();
    EXPECT_EQ(runGame(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Unable to create OpenGL screen: ", 0), 0u);
    shellTicks = SDL_GetTicks;
    EXPECT_EQ(inside.width * 10000 + inside.height, 640 * 10000 + 480);
    EXPECT_EQ(inside.notices, std::vector<std::string>{"vkt.txt: the display refused 16384x16384 full screen, "
                                                       "640x480 opened; yours is in vkt.txt.bad"});
    EXPECT_TRUE(fileNotices().empty());
}

// Start-up failures end the process at once, with their own exit code and
// SDL's reason, after the one line that made it.
TEST(GameRunDeathTest, StartUpFailuresEndTheProcessWithTheirCodes) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    ScopedTempDir dir;
    // Each child runs this body again and ends in exit(), past dir's
    // destructor: exit() removes the child's folder.
    static std::string made;
    made = dir.path();
    atexit([] { std::error_code ignored; std::filesystem::remove_all(made, ignored); });
    dir.write("vkt.txt", "640 480 0 0 0");
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "nosuchdriver", 1);
            runGame();
        },
        testing::ExitedWithCode(1), "^Unable to initialize SDL: .+");
}

}  // namespace
