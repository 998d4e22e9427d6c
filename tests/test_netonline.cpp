// Games meeting by code through a real vektorak-lobby on loopback: directly,
// through a real TURN relay (coturn), or not at all, each with its line.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/nonline.h"
#include "net/nsession.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace {

// A port no one holds now: the system's pick, let go of again. Ports
// counted from the process id met other programs' ephemeral ones.
uint16_t freePort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A server this test starts, its output in `log`, ended with it; `ready`
// once the output holds `sign`.
struct Child {
    pid_t pid = -1;
    std::string log;
    bool ready = false;
    Child(const std::vector<std::string>& argv, const std::string& logFile, const std::string& sign) : log(logFile) {
        pid = fork();
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        for (int32_t i = 0; i < 1000 && !ready && waitpid(pid, nullptr, WNOHANG) == 0; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ready = slurp(log).find(sign) != std::string::npos;
        }
    }
    ~Child() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

// Standard output as the games print it; gtest's own lines, when a test
// fails meanwhile, go to standard error at the end instead of nowhere.
struct Printed {
    bool capturing = true;
    std::string text;
    Printed() { testing::internal::CaptureStdout(); }
    ~Printed() {
        if (::testing::Test::HasFailure()) fputs(take().c_str(), stderr);
        take();
    }
    const std::string& take() {
        if (std::exchange(capturing, false)) text = testing::internal::GetCapturedStdout();
        return text;
    }
};

struct Game {
    NSession session;
    NOnline online;
};

// Services every game until `done` holds; false after 12 s.
template <typename Done>
bool pump(std::vector<Game*> games, Done done) {
    for (int32_t i = 0; i < 12000; i++) {
        for (Game* g : games) {
            g->session.service();
            g->online.service();
        }
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

class NetOnline : public ::testing::Test {
protected:
    ScopedTempDir dir;
    const uint16_t lobbyPort = freePort();
    const std::string lobby = "127.0.0.1:" + std::to_string(lobbyPort);

    std::unique_ptr<Child> startLobby(const std::vector<std::string>& more = {}) {
        std::vector<std::string> argv = {toolPath("vektorak-lobby"), "--port", std::to_string(lobbyPort)};
        argv.insert(argv.end(), more.begin(), more.end());
        auto child = std::make_unique<Child>(argv, dir.path() + "/lobby.log", "Lobby listening");
        EXPECT_TRUE(child->ready) << slurp(child->log);
        return child;
    }
    // Hosts on `port` and opens the game on the lobby; its code, "" if none.
    std::string open(Game& host, uint16_t port) {
        EXPECT_TRUE(host.session.host(port, true));
        EXPECT_TRUE(host.online.start(host.session, lobby));
        host.online.openGame();
        pump({&host}, [&] { return !host.online.code().empty(); });
        return host.online.code();
    }
};

TEST_F(NetOnline, AJoinerAndASpectatorComeByCodeAndMeetTheHostDirectly) {
    const auto server = startLobby();
    Game host, joiner, watcher;
    const uint16_t hostPort = freePort();
    Printed printed;
    const std::string code = open(host, hostPort);
    ASSERT_EQ(code.size(), 6u);

    ASSERT_TRUE(joiner.session.prepare());
    ASSERT_TRUE(joiner.online.start(joiner.session, lobby));
    joiner.online.requestList();
    ASSERT_TRUE(pump({&host, &joiner}, [&] { return !joiner.online.games().empty(); }));
    EXPECT_EQ(joiner.online.games()[0].code, code);
    EXPECT_EQ(joiner.online.games()[0].stage, vkn::Stage::WAITING);
    // Typed as a player might: lower case, with a space.
    std::string typed = code;
    for (char& c : typed) c = static_cast<char>(tolower(c));
    joiner.online.join(typed.insert(3, " "), false);
    EXPECT_TRUE(joiner.online.joinUnderWay());
    ASSERT_TRUE(pump({&host, &joiner}, [&] { return host.session.connected() && joiner.session.connected(); }));
    EXPECT_FALSE(joiner.online.joinUnderWay());

    ASSERT_TRUE(watcher.session.prepare());
    ASSERT_TRUE(watcher.online.start(watcher.session, lobby));
    watcher.online.join(code, true);
    ASSERT_TRUE(pump({&host, &joiner, &watcher}, [&] { return watcher.session.watching() && host.session.watchers() == 1; }));
    const std::string out = printed.take();

    const std::string hostAt = "127.0.0.1:" + std::to_string(hostPort);
    const std::string joinerAt = "127.0.0.1:" + std::to_string(joiner.session.localPort());
    EXPECT_EQ(joiner.online.pathText(), "direct to " + hostAt);
    EXPECT_EQ(watcher.online.pathText(), "direct to " + hostAt);
    // The spectator's path is not the host's: it still shows its player's.
    EXPECT_EQ(host.online.pathText(), "direct to " + joinerAt);
    EXPECT_EQ(count(out, "Online game code: " + code + "\n"), 1u) << out;
    EXPECT_EQ(count(out, "Connected to the other player directly at " + hostAt + ".\n"), 1u) << out;
    EXPECT_EQ(count(out, "Connected to the other player directly at " + joinerAt + ".\n"), 1u) << out;
    EXPECT_EQ(count(out, "Connected"), 2u) << out;
    std::string notice;
    EXPECT_FALSE(joiner.online.takeNotice(notice)) << notice;
    // Stopping closes the game on the lobby at once, not 30 s later.
    host.online.stop();
    joiner.online.requestList();
    EXPECT_TRUE(pump({&host, &joiner}, [&] { return joiner.online.games().empty(); }));
}

TEST_F(NetOnline, AWrongCodeAndASilentLobbyAreSaid) {
    Game host, joiner;
    {
        const auto server = startLobby();
        ASSERT_FALSE(open(host, freePort()).empty());
        ASSERT_TRUE(joiner.session.prepare());
        ASSERT_TRUE(joiner.online.start(joiner.session, lobby));
        // A code that could be one, but is nobody's.
        const std::string wrong = host.online.code() == "KQ7MXP" ? "KQ7MXA" : "KQ7MXP";
        joiner.online.join(wrong, false);
        std::string notice;
        ASSERT_TRUE(pump({&host, &joiner}, [&] { return joiner.online.takeNotice(notice); }));
        EXPECT_EQ(notice, "No game with code " + wrong + ".");
        EXPECT_FALSE(joiner.online.joinUnderWay());
    }
    // The lobby is gone: HELLOs go unanswered, for NO_LOBBY_MS and no less.
    static uint32_t now = 0;
    const auto steady = NSession::clock;
    NSession::clock = [] { return now; };
    Game late;
    ASSERT_TRUE(late.session.prepare());
    ASSERT_TRUE(late.online.start(late.session, lobby));
    late.online.requestList();
    std::string notice;
    for (; now <= NOnline::NO_LOBBY_MS; now += 50) {
        late.session.service();
        late.online.service();
        ASSERT_FALSE(late.online.takeNotice(notice)) << "at " << now << " ms: " << notice;
    }
    now += 50;
    late.online.service();
    NSession::clock = steady;
    ASSERT_TRUE(late.online.takeNotice(notice));
    EXPECT_EQ(notice, "No lobby answers at " + lobby + ".");
    EXPECT_FALSE(late.online.takeNotice(notice));
}

TEST_F(NetOnline, WithoutPunchingTwoGamesMeetThroughARealTurnRelay) {
    if (access("/usr/bin/turnserver", X_OK) != 0) GTEST_SKIP() << "coturn's turnserver is not installed";
    const uint16_t turnPort = freePort();
    // Below the system's ephemeral ports, where no socket is given a port
    // unasked.
    const int32_t relayPorts = 10000 + getpid() % 15000;
    const Child turn({"/usr/bin/turnserver", "-n", "--listening-ip=127.0.0.1", "--relay-ip=127.0.0.1",
                      "--listening-port=" + std::to_string(turnPort), "--min-port=" + std::to_string(relayPorts),
                      "--max-port=" + std::to_string(relayPorts + 20), "--allow-loopback-peers", "--use-auth-secret",
                      "--static-auth-secret=bridge-test-secret", "--realm=vektorak", "--no-tcp", "--no-tls",
                      "--no-dtls", "--no-cli", "--pidfile=" + dir.path() + "/turn.pid",
                      "--db=" + dir.path() + "/turndb", "--log-file=stdout"},
                     dir.path() + "/turn.log", "Total General servers");
    ASSERT_TRUE(turn.ready) << slurp(turn.log);
    const auto server = startLobby({"--turn", "127.0.0.1:" + std::to_string(turnPort), "--turn-secret-file",
                                    dir.write("secret", "bridge-test-secret\n")});
    Game host, joiner;
    host.online.disablePunching();
    joiner.online.disablePunching();
    Printed printed;
    const std::string code = open(host, freePort());
    ASSERT_TRUE(joiner.session.prepare());
    ASSERT_TRUE(joiner.online.start(joiner.session, lobby));
    joiner.online.join(code, false);
    ASSERT_TRUE(pump({&host, &joiner}, [&] { return host.session.connected() && joiner.session.connected(); }))
        << slurp(dir.path() + "/turn.log");
    const std::string out = printed.take();

    const std::string turnAt = "127.0.0.1:" + std::to_string(turnPort);
    EXPECT_EQ(host.online.pathText(), "relayed through " + turnAt);
    EXPECT_EQ(joiner.online.path(), NOnline::Path::RELAY);
    EXPECT_EQ(count(out, "Connected to the other player through the relay at " + turnAt + ".\n"), 2u) << out;
}

}  // namespace
