// Tests of UdpRelay over real loopback sockets: a client sends numbered
// datagrams through the relay to a server that echoes each one, shorter.
// Each row makes the two directions differ, so a swap shows. Times are only
// ever checked as lower bounds; every wait has a timeout.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <vector>

#include "support/udprelay.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kQuietMs = 2000;  // nothing for this long: the relay has lost track
constexpr size_t kUpBytes = 24, kDownBytes = 12;

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int udpSocket(uint16_t* port = nullptr) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    EXPECT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a));
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    if (port) *port = ntohs(a.sin_port);
    return fd;
}

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Exchange {
    std::vector<uint32_t> atServer, atClient;  // sequence numbers in arrival order
    std::set<uint16_t> peers;                  // source ports the server saw
    double minUpMs = 1e9, minDownMs = 1e9;
    RelayCounters up, down;
};

// Datagram seq goes from client seq % clients, and its echo must come back
// to that client alone.
Exchange exchange(const RelayConditions& up, const RelayConditions& down, uint32_t seed, uint32_t count,
                  uint32_t clients = 1) {
    Exchange e;
    uint16_t serverPort;
    std::vector<pollfd> fds{{udpSocket(&serverPort), POLLIN, 0}};
    for (uint32_t i = 0; i < clients; ++i) fds.push_back({udpSocket(), POLLIN, 0});
    UdpRelay relay(0, serverPort, up, down, seed);
    EXPECT_TRUE(relay.start());
    const sockaddr_in relayAddress = loopback(relay.port());
    std::vector<Clock::time_point> sent(count), echoed(count);
    std::vector<bool> echoedYet(count, false);
    uint8_t bytes[64] = {};
    for (uint32_t seq = 0; seq < count; ++seq) {
        std::memcpy(bytes, &seq, sizeof seq);
        sent[seq] = Clock::now();
        sendto(fds[1 + seq % clients].fd, bytes, kUpBytes, 0, reinterpret_cast<const sockaddr*>(&relayAddress),
               sizeof relayAddress);
    }
    // Over when the relay has taken in all we sent, has nothing waiting and
    // our sockets are empty; the wall clock only ends a run that goes wrong.
    for (auto last = Clock::now(); msSince(last) < kQuietMs && msSince(sent[0]) < 10 * kQuietMs;) {
        const bool settled = relay.counters(UdpRelay::ToServer).received == count &&
                             relay.counters(UdpRelay::ToClient).received == e.atServer.size() && relay.idle();
        const int ready = poll(fds.data(), fds.size(), settled ? 0 : 5);
        if (ready == 0 && settled) break;
        if (ready <= 0) continue;
        last = Clock::now();
        for (uint32_t i = 0; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            sockaddr_in from;
            socklen_t len = sizeof from;
            uint32_t seq = count;
            if (recvfrom(fds[i].fd, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from), &len) ==
                static_cast<ssize_t>(i ? kDownBytes : kUpBytes))
                std::memcpy(&seq, bytes, sizeof seq);
            if (seq >= count || (i > 0 && (!echoedYet[seq] || seq % clients != i - 1)))
                return ADD_FAILURE() << "stray datagram at socket " << i, e;
            if (i > 0) {
                e.atClient.push_back(seq);
                e.minDownMs = std::min(e.minDownMs, msSince(echoed[seq]));
                continue;
            }
            e.atServer.push_back(seq);
            e.peers.insert(ntohs(from.sin_port));
            e.minUpMs = std::min(e.minUpMs, msSince(sent[seq]));
            if (!echoedYet[seq]) echoed[seq] = Clock::now(), echoedYet[seq] = true;
            sendto(fds[0].fd, bytes, kDownBytes, 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }
    relay.stop();
    e.up = relay.counters(UdpRelay::ToServer);
    e.down = relay.counters(UdpRelay::ToClient);
    for (const pollfd& p : fds) close(p.fd);
    return e;
}

struct Row {
    const char* name;
    RelayConditions up, down;
    uint32_t clients;
    uint32_t serverCopies, clientCopies;  // at each end, of each datagram the other end sent
    int inOrder;                          // 1 in order at the server, -1 not, 0 either
};

RelayConditions delay(int ms) { return RelayConditions{ms, 0, 0, 0, 0}; }

}  // namespace

TEST(UdpRelay, EachDirectionMeetsItsOwnConditions) {
    const RelayConditions none;
    const Row rows[] = {
        {"clean, three clients", none, none, 3, 1, 1, 1},
        {"delayed both ways", delay(40), delay(15), 2, 1, 1, 1},
        {"delayed up, duplicated down", delay(30), {0, 0, 0, 1.0, 0}, 1, 1, 2, 1},
        {"duplicated up", {0, 0, 0, 1.0, 0}, none, 1, 2, 1, 0},
        {"all lost down", delay(5), {0, 0, 1.0, 0, 0}, 1, 1, 0, 1},
        {"reordered up", {0, 0, 0, 0, 0.5}, none, 1, 1, 1, -1},
    };
    constexpr uint32_t kSent = 60;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Exchange e = exchange(row.up, row.down, 11, kSent, row.clients);
        EXPECT_EQ(row.clients, e.peers.size());
        std::vector<uint32_t> expected;
        for (uint32_t seq = 0; seq < kSent; ++seq) expected.insert(expected.end(), row.serverCopies, seq);
        std::vector<uint32_t> sorted = e.atServer;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(expected, sorted);
        EXPECT_EQ(e.atServer.size() * row.clientCopies, e.atClient.size());
        if (row.inOrder) {
            EXPECT_EQ(row.inOrder > 0, std::is_sorted(e.atServer.begin(), e.atServer.end()));
        }
        // Never early (nothing arrived: 1e9); how late is the machine's business.
        EXPECT_GE(e.minUpMs, row.up.delayMs);
        EXPECT_GE(e.minDownMs, row.down.delayMs);
        EXPECT_EQ(kSent, e.up.received);
        EXPECT_EQ(e.atServer.size(), e.up.forwarded);
        EXPECT_EQ(kSent * (row.serverCopies - 1), e.up.duplicated);
        EXPECT_EQ(e.atServer.size() * kUpBytes, e.up.bytes);
        EXPECT_EQ(e.atServer.size(), e.down.received);
        EXPECT_EQ(e.atClient.size(), e.down.forwarded);
        EXPECT_EQ(e.atClient.size() * kDownBytes, e.down.bytes);
        EXPECT_EQ(row.clientCopies ? 0u : e.atServer.size(), e.down.dropped);
    }
}

TEST(UdpRelay, LossKeepsAboutHalfAndTheSameHalfForTheSameSeed) {
    const RelayConditions half{0, 0, 0.5, 0, 0}, none;
    const Exchange first = exchange(half, none, 7, 200);
    const Exchange again = exchange(half, none, 7, 200);
    const Exchange other = exchange(half, none, 8, 200);
    EXPECT_GT(first.atServer.size(), 60u);
    EXPECT_LT(first.atServer.size(), 140u);
    EXPECT_EQ(200u - first.atServer.size(), first.up.dropped);
    EXPECT_EQ(first.atServer.size(), first.atClient.size());
    EXPECT_EQ(first.atServer, again.atServer);
    EXPECT_NE(first.atServer, other.atServer);
}

TEST(UdpRelay, HoldsAtMostMaxPendingAndCountsTheRest) {
    uint16_t serverPort;
    const int server = udpSocket(&serverPort), client = udpSocket();
    UdpRelay relay(0, serverPort, delay(60000), RelayConditions{}, 1, 10);
    ASSERT_TRUE(relay.start());
    const sockaddr_in relayAddress = loopback(relay.port());
    for (int i = 0; i < 30; ++i)
        sendto(client, "x", 1, 0, reinterpret_cast<const sockaddr*>(&relayAddress), sizeof relayAddress);
    for (int wait = 0; wait < 400 && relay.counters(UdpRelay::ToServer).received < 30; ++wait) usleep(5000);
    const RelayCounters up = relay.counters(UdpRelay::ToServer);
    EXPECT_EQ(30u, up.received);
    EXPECT_EQ(20u, up.refused);
    EXPECT_EQ(0u, up.forwarded);
    EXPECT_FALSE(relay.idle());
    close(server), close(client);
}
