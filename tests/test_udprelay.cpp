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
#include <vector>

#include "support/udprelay.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kQuietMs = 300;  // nothing for this long: the exchange is over
constexpr size_t kUpBytes = 24, kDownBytes = 12;

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int udpSocket(uint16_t* port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    EXPECT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a));
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return fd;
}

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Exchange {
    std::vector<uint32_t> atServer, atClient;  // sequence numbers in arrival order
    double minUpMs = 1e9, minDownMs = 1e9;
    RelayCounters up, down;
};

Exchange exchange(const RelayConditions& up, const RelayConditions& down, uint32_t seed, uint32_t count,
                  size_t maxPending = UdpRelay::kDefaultMaxPending) {
    Exchange e;
    uint16_t serverPort, clientPort;
    const int server = udpSocket(&serverPort), client = udpSocket(&clientPort);
    UdpRelay relay(0, serverPort, up, down, seed, maxPending);
    EXPECT_TRUE(relay.start());
    const sockaddr_in relayAddress = loopback(relay.port());
    std::vector<Clock::time_point> sent(count), echoed(count);
    std::vector<bool> echoedYet(count, false);
    uint8_t bytes[kUpBytes] = {};
    for (uint32_t seq = 0; seq < count; ++seq) {
        std::memcpy(bytes, &seq, sizeof seq);
        sent[seq] = Clock::now();
        sendto(client, bytes, kUpBytes, 0, reinterpret_cast<const sockaddr*>(&relayAddress), sizeof relayAddress);
    }
    pollfd fds[2] = {{server, POLLIN, 0}, {client, POLLIN, 0}};
    for (uint32_t wait = 0; wait < 10 * count + 100 && poll(fds, 2, kQuietMs) > 0; ++wait) {
        uint32_t seq = count;
        if (fds[0].revents) {
            sockaddr_in from;
            socklen_t len = sizeof from;
            uint8_t in[64];
            if (recvfrom(server, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &len) == kUpBytes)
                std::memcpy(&seq, in, sizeof seq);
            if (seq >= count) return ADD_FAILURE() << "garbage at the server", e;
            e.atServer.push_back(seq);
            e.minUpMs = std::min(e.minUpMs, msSince(sent[seq]));
            if (!echoedYet[seq]) echoed[seq] = Clock::now(), echoedYet[seq] = true;
            sendto(server, in, kDownBytes, 0, reinterpret_cast<sockaddr*>(&from), len);
        }
        if (fds[1].revents) {
            uint8_t in[64];
            if (recv(client, in, sizeof in, 0) == kDownBytes) std::memcpy(&seq, in, sizeof seq);
            if (seq >= count || !echoedYet[seq]) return ADD_FAILURE() << "garbage at the client", e;
            e.atClient.push_back(seq);
            e.minDownMs = std::min(e.minDownMs, msSince(echoed[seq]));
        }
    }
    relay.stop();
    e.up = relay.counters(UdpRelay::ToServer);
    e.down = relay.counters(UdpRelay::ToClient);
    close(server);
    close(client);
    return e;
}

struct Row {
    const char* name;
    RelayConditions up, down;
    uint32_t serverCopies, clientCopies;  // at each end, of each datagram the other end sent
    int inOrder;                          // 1 in order at the server, -1 not, 0 either
};

RelayConditions delay(int ms) { return RelayConditions{ms, 0, 0, 0, 0}; }

}  // namespace

TEST(UdpRelay, EachDirectionMeetsItsOwnConditions) {
    const RelayConditions none;
    const Row rows[] = {
        {"clean", none, none, 1, 1, 1},
        {"delayed both ways", delay(40), delay(15), 1, 1, 1},
        {"delayed up, duplicated down", delay(30), {0, 0, 0, 1.0, 0}, 1, 2, 1},
        {"duplicated up", {0, 0, 0, 1.0, 0}, none, 2, 1, 0},
        {"all lost down", delay(5), {0, 0, 1.0, 0, 0}, 1, 0, 1},
        {"reordered up", {0, 0, 0, 0, 0.5}, none, 1, 1, -1},
    };
    constexpr uint32_t kSent = 60;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Exchange e = exchange(row.up, row.down, 11, kSent);
        std::vector<uint32_t> expected;
        for (uint32_t seq = 0; seq < kSent; ++seq) expected.insert(expected.end(), row.serverCopies, seq);
        std::vector<uint32_t> sorted = e.atServer;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(expected, sorted);
        EXPECT_EQ(e.atServer.size() * row.clientCopies, e.atClient.size());
        if (row.inOrder) {
            EXPECT_EQ(row.inOrder > 0, std::is_sorted(e.atServer.begin(), e.atServer.end()));
        }
        // Never early; how late is the machine's business.
        if (!e.atServer.empty()) {
            EXPECT_GE(e.minUpMs, row.up.delayMs);
        }
        if (!e.atClient.empty()) {
            EXPECT_GE(e.minDownMs, row.down.delayMs);
        }

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
    // All 30 arrive well within the delay, so all would wait at once.
    const Exchange e = exchange(delay(200), RelayConditions{}, 1, 30, 10);
    EXPECT_EQ(10u, e.atServer.size());
    EXPECT_EQ(30u, e.up.received);
    EXPECT_EQ(20u, e.up.refused);
}

TEST(UdpRelay, EachClientHasItsOwnPeerAtTheServerAndGetsItsOwnAnswers) {
    uint16_t serverPort, portA, portB;
    const int server = udpSocket(&serverPort), a = udpSocket(&portA), b = udpSocket(&portB);
    UdpRelay relay(0, serverPort, RelayConditions{}, RelayConditions{}, 1);
    ASSERT_TRUE(relay.start());
    const sockaddr_in relayAddress = loopback(relay.port());
    sendto(a, "a", 1, 0, reinterpret_cast<const sockaddr*>(&relayAddress), sizeof relayAddress);
    sendto(b, "b", 1, 0, reinterpret_cast<const sockaddr*>(&relayAddress), sizeof relayAddress);
    std::vector<uint16_t> peers;
    pollfd fds[3] = {{server, POLLIN, 0}, {a, POLLIN, 0}, {b, POLLIN, 0}};
    char got[2] = {'-', '-'};
    for (int wait = 0; wait < 10 && poll(fds, 3, kQuietMs) > 0; ++wait) {
        char c;
        sockaddr_in from;
        socklen_t len = sizeof from;
        if (fds[0].revents && recvfrom(server, &c, 1, 0, reinterpret_cast<sockaddr*>(&from), &len) == 1) {
            peers.push_back(ntohs(from.sin_port));
            const char answer = static_cast<char>(c - 'a' + 'A');
            sendto(server, &answer, 1, 0, reinterpret_cast<sockaddr*>(&from), len);
        }
        for (int i = 0; i < 2; ++i)
            if (fds[1 + i].revents) recv(fds[1 + i].fd, &got[i], 1, 0);
    }
    ASSERT_EQ(2u, peers.size());
    EXPECT_NE(peers[0], peers[1]);
    EXPECT_EQ('A', got[0]);
    EXPECT_EQ('B', got[1]);
    close(server), close(a), close(b);
}
