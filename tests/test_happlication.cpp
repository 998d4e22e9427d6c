// The application object: forwarding, the dropped first update after every
// switch, scaled time, and who gets deleted when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <SDL.h>  // Required for: the SDLK_ key symbols of the replay screen
#include <arpa/inet.h>  // Required for: the lobby's loopback socket
#include <unistd.h>     // Required for: usleep, close

#include "app/happlication.h"
#include "app/hmatchowner.h"
#include "config/hcontrols.h"  // Required for: leftChoice, rightChoice
#include "config/settings.h"   // Required for: demoWait
#include "game/greplaylibrary.h"
#include "game/gship.h"
#include "lobby/llobby.h"
#include "net/nonline.h"
#include "net/nsession.h"
#include "screens/gengine.h"
#include "screens/mmainmenu.h"
#include "screens/mreplays.h"
#include "screens/mvictory.h"
#include "support/recordingscreen.h"
#include "support/tempdir.h"

namespace {

using Log = std::vector<std::string>;

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        leftChoice = CHOICE_WASD;
        rightChoice = CHOICE_ARROW_KEYS;
    }
    void TearDown() override { HApplication::allocateScreen = savedAllocator; }

    RecordingScreen* install(const std::string& name = "screen") {
        auto* screen = new RecordingScreen(&log, name);
        app.currentScreen = screen;
        return screen;
    }

    Log log;
    HApplication app;
    void* (*savedAllocator)(std::size_t) = HApplication::allocateScreen;
};

TEST_F(ApplicationTest, StartsRunningWithNoScreenAndIgnoresInputWithoutOne) {
    EXPECT_EQ(app.currentScreen, nullptr);
    EXPECT_DOUBLE_EQ(app.timeScale, 1.0);
    EXPECT_TRUE(app.running);
    EXPECT_FALSE(app.skipNextUpdate);
    app.keyDown(13);
    app.keyUp(13);
    app.update(16);
    EXPECT_EQ(app.currentScreen, nullptr);
    EXPECT_TRUE(app.running);
}

TEST_F(ApplicationTest, ForwardsKeysAndTimeUnchanged) {
    install();
    app.keyDown(27);
    app.keyUp(112);
    app.update(1);
    app.update(250);
    EXPECT_EQ(log, (Log{"screen keyDown 27", "screen keyUp 112", "screen update 1", "screen update done",
                        "screen update 250", "screen update done"}));
}

TEST_F(ApplicationTest, ScalesElapsedTimeTruncatingTowardZero) {
    install();
    app.timeScale = 2.5;
    app.update(3);   // 7.5
    app.timeScale = 0.5;
    app.update(1);   // 0.5
    app.timeScale = -0.5;
    app.update(3);   // -1.5
    EXPECT_EQ(log, (Log{"screen update 7", "screen update done", "screen update 0", "screen update done",
                        "screen update -1", "screen update done"}));
}

TEST_F(ApplicationTest, EverySwitchDropsExactlyOneUpdate) {
    app.showMenu();
    auto* menu = dynamic_cast<MMainMenu*>(app.currentScreen);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->application, &app);
    EXPECT_TRUE(app.skipNextUpdate);
    app.update(40);  // dropped
    EXPECT_FLOAT_EQ(menu->angle, 0.0f);
    EXPECT_FALSE(app.skipNextUpdate);
    app.update(8);
    EXPECT_FLOAT_EQ(menu->angle, 1.0f);

    app.startMatch(CHOICE_COMPUTER, CHOICE_COMPUTER);
    ASSERT_NE(dynamic_cast<GEngine*>(app.currentScreen), nullptr);
    EXPECT_TRUE(app.skipNextUpdate);

    app.showResult(MatchResult{true, 0, 40});
    auto* victory = dynamic_cast<MVictory*>(app.currentScreen);
    ASSERT_NE(victory, nullptr);
    app.update(500);  // dropped
    EXPECT_EQ(victory->elapsed, 0);
    app.update(500);
    EXPECT_EQ(victory->elapsed, 500);
}

// The screen lives until its keyDown returns; of two requests the last
// is made.
TEST_F(ApplicationTest, ScreenMaySwitchFromItsOwnKeyDown) {
    RecordingScreen* screen = install("old");
    screen->onKeyDown = [this] {
        app.startMatch(CHOICE_COMPUTER, CHOICE_COMPUTER);
        app.showMenu();
    };
    app.keyDown(27);
    EXPECT_EQ(log, (Log{"old keyDown 27", "old keyDown done", "old destroyed"}));
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

// The finished match hands over its result from inside its own update and
// goes on running after the call: it must live until that update returns,
// and must not outlive it either.
TEST_F(ApplicationTest, FinishedMatchIsDeletedOnceItsUpdateHasReturned) {
    RecordingScreen* match = install("match");
    match->onUpdate = [this] { app.showResult(MatchResult{true, -5, 40}); };
    app.update(25);
    EXPECT_EQ(log, (Log{"match update 25", "match update done", "match destroyed"}));
    auto* victory = dynamic_cast<MVictory*>(app.currentScreen);
    ASSERT_NE(victory, nullptr);
    EXPECT_TRUE(victory->result.finished);
    EXPECT_EQ(victory->result.rightHealth, -5);
    EXPECT_EQ(victory->result.leftHealth, 40);
    EXPECT_TRUE(app.skipNextUpdate);
}

TEST_F(ApplicationTest, ResultShownOutsideAnUpdateDoesNotLeakTheOldScreen) {
    install("match");
    app.showResult(MatchResult{true, 10, 0});
    EXPECT_EQ(log, (Log{"match destroyed"}));
}

TEST_F(ApplicationTest, AnySwitchFromInsideUpdateKeepsTheCallerAlive) {
    RecordingScreen* screen = install("match");
    screen->onUpdate = [this] { app.showMenu(); };
    app.update(5);
    EXPECT_EQ(log, (Log{"match update 5", "match update done", "match destroyed"}));
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

TEST_F(ApplicationTest, DestroyingTheApplicationDestroysTheCurrentScreen) {
    Log local;
    {
        HApplication scoped;
        scoped.currentScreen = new RecordingScreen(&local, "last");
    }
    EXPECT_EQ(local, (Log{"last destroyed"}));
}

TEST_F(ApplicationTest, OldScreenStaysWhenNoMemoryForTheNextOne) {
    RecordingScreen* screen = install("old");
    HApplication::allocateScreen = [](std::size_t) -> void* { return nullptr; };
    app.showMenu();
    app.startMatch(CHOICE_WASD, CHOICE_ARROW_KEYS);
    app.showResult(MatchResult{true, 0, 5});
    EXPECT_EQ(app.currentScreen, screen);
    EXPECT_FALSE(app.skipNextUpdate);
    app.update(3);
    EXPECT_EQ(log, (Log{"old update 3", "old update done"}));
}

TEST_F(ApplicationTest, QuitOnlyClearsRunning) {
    RecordingScreen* screen = install();
    app.quit();
    EXPECT_FALSE(app.running);
    EXPECT_EQ(app.currentScreen, screen);
}

// The shell-facing behaviour of the three screens.
TEST_F(ApplicationTest, MenuReturnStartsAMatchAndEscapeQuits) {
    app.showMenu();
    app.keyDown(27);
    EXPECT_FALSE(app.running);
    ASSERT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
    app.keyDown(13);
    ASSERT_NE(dynamic_cast<GEngine*>(app.currentScreen), nullptr);
    app.keyDown(27);
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

TEST_F(ApplicationTest, VictoryAcceptsAKeyOnlyAfterMoreThanOneSecond) {
    app.showResult(MatchResult{true, 0, 40});
    app.update(999);  // dropped
    app.update(1000);
    app.keyDown('x');
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.keyUp('x');
    app.update(1);
    app.keyUp('x');
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.keyDown('x');  // the statistics
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.keyDown('x');
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

// `r` after a restart watches lastmatch.vkr, whoever wrote it: our writer
// (a draw at 0 ms on the right keys) or a hand; a bad file is said on
// standard error and not watched (-1), and no file is no match.
TEST_F(ApplicationTest, RAfterARestartWatchesTheLastMatchFile) {
    ScopedTempDir dir;
    // By hand: computer against ace, seed 7, no ticks, left at 0 ms with 100
    // ("d") each, hash 0; the CRC little-endian, as this machine.
    const std::string hand("VKR\x1a\x01\x00\x02\0\0\0\x04\0\0\0\x07\0\0\0\0\0\0\0\0\0\0\0\x01"
                           "d\0\0\0d\0\0\0\0\0\0\0\0\0\0\0", 43);
    const uint32_t crc = replayCrc32(reinterpret_cast<const uint8_t*>(hand.data()), hand.size());
    const struct { std::string bytes; ControllerChoice watchedLeft; bool said; } rows[] = {
        {"", CHOICE_ARROW_KEYS, false},
        {hand + std::string(reinterpret_cast<const char*>(&crc), 4), CHOICE_COMPUTER, false},
        {hand + "CRC?", -1, true}, {"", -1, false}};
    for (const auto& row : rows) {
        remove(HApplication::REPLAY_FILE);
        EXPECT_TRUE(row.watchedLeft != CHOICE_ARROW_KEYS || saveReplay(HApplication::REPLAY_FILE, GReplay()));
        if (!row.bytes.empty()) dir.write(HApplication::REPLAY_FILE, row.bytes);
        HApplication restarted;
        restarted.showMenu();
        testing::internal::CaptureStderr();
        restarted.keyDown('r');
        const std::string said = testing::internal::GetCapturedStderr();
        auto* watched = dynamic_cast<GEngine*>(restarted.currentScreen);
        EXPECT_EQ(watched != nullptr ? watched->match.leftChoice : -1, row.watchedLeft);
        EXPECT_EQ(said.find("Unable to watch lastmatch.vkr: ") != std::string::npos, row.said) << said;
    }
}

// Every match kept goes to the library too. One chosen in the replay screen
// (not the last match) is watched, and its end, past its result, leads back
// to its line; Delete asks, any other key keeps the file, a second Delete
// removes it; `r` still means the last match, whose end leads to the menu.
TEST_F(ApplicationTest, AReplayWatchedFromTheListComesBackToItsLine) {
    GReplay older, newer;  // a computer's win of 58 s; a pilot's match left at 0 ms
    std::string why;
    ASSERT_EQ(loadReplay(VEKTORAK_TEST_REPLAYS "/computers_left_wins.vkr", older, why), GReplayRead::OK) << why;
    ScopedTempDir dir;
    newer.leftChoice = CHOICE_PILOT;
    newer.end = vkr::END_LEFT;
    newer.leftHealth = newer.rightHealth = 100;
    app.keepLastMatch(older);
    app.keepLastMatch(newer);
    app.showMenu();
    app.keyDown('l');
    auto* list = dynamic_cast<MReplays*>(app.currentScreen);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->entries.size(), 2u);
    app.symbolDown(SDLK_DOWN, 0, 0);
    app.symbolDown(SDLK_RETURN, 13, 0);
    auto* watched = dynamic_cast<GEngine*>(app.currentScreen);
    ASSERT_NE(watched, nullptr);
    EXPECT_EQ(watched->match.leftChoice, CHOICE_COMPUTER);
    app.update(1);  // dropped
    app.update(older.endMs);
    app.update(HMatchOwner::WRECK_WAIT_MS);
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    app.update(1);  // dropped
    app.update(1001);
    app.keyDown(' ');  // the statistics
    app.keyDown(' ');
    list = dynamic_cast<MReplays*>(app.currentScreen);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->chosen, 1);

    for (uint32_t sym : {SDLK_DELETE, SDLK_UP, SDLK_DELETE, SDLK_RETURN}) app.symbolDown(sym, 0, 0);
    ASSERT_EQ(app.currentScreen, list);
    EXPECT_EQ(list->chosen, 1);
    app.symbolDown(SDLK_DELETE, 0, 0);
    app.symbolDown(SDLK_DELETE, 0, 0);
    const std::vector<GReplayEntry> left = GReplayLibrary().list();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name.left, "pilot");

    app.symbolDown(SDLK_ESCAPE, 27, 0);
    ASSERT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
    app.keyDown('r');
    watched = dynamic_cast<GEngine*>(app.currentScreen);
    ASSERT_NE(watched, nullptr);
    EXPECT_EQ(watched->match.leftChoice, CHOICE_PILOT);
    app.update(1);
    app.update(1);
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

// Left alone, the menu plays two computers of its own drawing till a key (its
// repeat and release unheard by the menu), F3 in the wreck, a pad button or
// its end; nothing is kept, no choice touched, and each menu waits afresh.
TEST_F(ApplicationTest, TheIdleMenuPlaysADemoThatLeavesNothingBehind) {
    ScopedTempDir dir;
    demoWait = 1;
    app.showMenu();
    app.input.padPresent[2] = true;
    for (int32_t end : {13, 27, -284, -2, -1}) {  // a key; -F3 in the wreck; -2 a pad button; -1 its end
        app.update(1), app.update(999), app.keyUp('x'), app.update(999);
        ASSERT_EQ(app.matchOwner(), nullptr) << "a key let go is someone there";
        app.update(1), app.update(1);  // the second dropped
        ASSERT_TRUE(app.matchOwner() != nullptr && app.matchOwner()->kind() == GShownMatch::Kind::DEMO);
        GMatch& shown = app.matchOwner()->played;
        const GControllerKind *left = controllerKind(shown.leftChoice), *right = controllerKind(shown.rightChoice);
        ASSERT_TRUE(left != nullptr && right != nullptr && left->bothSides && right->bothSides);
        if (end < -2) shown.world.leftShip()->health = 0, app.update(25), app.symbolDown(-end, 0, 0);
        if (end == -2) app.input.pads[2].buttons = 1u << 9, app.update(5), app.input.pads[2].buttons = 0;
        if (end == -1) shown.world.rightShip()->health = 0, app.update(25), app.update(HMatchOwner::WRECK_WAIT_MS);
        if (end >= 0) app.keyDown(static_cast<uint8_t>(end)), app.keyDown(static_cast<uint8_t>(end));
        EXPECT_TRUE(dynamic_cast<MMainMenu*>(app.currentScreen) != nullptr && app.running) << end;
        app.keyUp(static_cast<uint8_t>(end < 0 ? 0 : end));
    }
    EXPECT_TRUE(!app.hasLastMatch() && access(HApplication::REPLAY_FILE, F_OK) != 0);
    EXPECT_TRUE(leftChoice == CHOICE_WASD && rightChoice == CHOICE_ARROW_KEYS);
    demoWait = DEFAULT_DEMO_WAIT;
}

// The lobby's own core on a loopback socket, served from the test's loop.
struct LoopbackLobby {
    LLobby core{LLobbyConfig()};
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in at = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    LoopbackLobby() {
        socklen_t size = sizeof at;
        bind(fd, reinterpret_cast<sockaddr*>(&at), size);
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size);
    }
    ~LoopbackLobby() { close(fd); }
    void serve() {
        uint8_t in[vkl::MAX_DATAGRAM];
        sockaddr_in from = {};
        socklen_t size = sizeof from;
        for (ssize_t got; (got = recvfrom(fd, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &size)) > 0;) {
            LAnswer out[LLobby::MAX_ANSWERS];
            const NLobbyAddress source{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
            for (size_t i = 0, n = core.handle(NSession::clock(), source, in, static_cast<size_t>(got), out); i < n; i++) {
                const sockaddr_in to = {AF_INET, htons(out[i].to.port), {htonl(out[i].to.ip)}, {}};
                sendto(fd, out[i].bytes, out[i].size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            }
        }
    }
};

// The command line's lobby over the settings' (a dead one here), a hosting
// session opened there, a code no game has dropping the session that asked,
// and the host's code meeting it directly.
TEST(OnlineApplication, AHostIsOpenedOnTheLobbyAndMetByItsCodeAndAWrongCodeDropsItsSession) {
    LoopbackLobby lobby;
    lobbyAddress = "127.0.0.1:9";
    HApplication host, joiner, stray;
    for (HApplication* a : {&host, &joiner, &stray}) a->runLobby = "127.0.0.1:" + std::to_string(ntohs(lobby.at.sin_port));
    const auto pump = [&](auto done) {
        for (int32_t i = 0; i < 10000; i++, usleep(1000)) {
            if (done()) return true;
            lobby.serve();
            for (HApplication* a : {&host, &joiner, &stray}) a->update(1);
        }
        return false;
    };
    NSession* hosting = new NSession();
    ASSERT_TRUE(hosting->host(0, true));
    host.attachNet(hosting);
    ASSERT_TRUE(pump([&] { return host.online() != nullptr && !host.online()->code().empty(); }));
    const std::string code = host.online()->code();
    const std::string wrong = (code[0] == 'A' ? "C" : "A") + code.substr(1);
    ASSERT_TRUE(stray.joinOnline(wrong, false));
    std::string notice;
    ASSERT_TRUE(pump([&] { return stray.takeOnlineNotice(notice); }));
    EXPECT_EQ(notice, "No game with code " + wrong + ".");
    EXPECT_EQ(stray.network(), nullptr);
    ASSERT_TRUE(joiner.joinOnline(code, false));
    // The lobby client is serviced before the session: it names the path
    // a pass after the session connects.
    EXPECT_TRUE(pump([&] {
        return host.network()->connected() && joiner.network()->connected() && !joiner.online()->pathText().empty();
    }));
    EXPECT_EQ(joiner.online()->pathText(), "direct to 127.0.0.1:" + std::to_string(hosting->localPort()));
    EXPECT_FALSE(joiner.takeOnlineNotice(notice));
    host.attachNet(nullptr);  // closes the game there
    EXPECT_TRUE(pump([&] { return !lobby.core.isOpen(code.c_str(), NSession::clock()); }));
    lobbyAddress.clear();
}

}  // namespace
