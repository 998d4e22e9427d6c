// A hosting session against peers that are not the game: a raw ENet client
// on loopback says what it likes, and the session must refuse, close or go
// on as the protocol says, always with its notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <enet/enet.h>

#include "net/nloopduel.h"
#include "net/nprotocol.h"
#include "net/nsession.h"
#include "support/udprelay.h"

namespace {

uint16_t freePort(int32_t offset) { return static_cast<uint16_t>(30000 + (getpid() * 7 + offset) % 20000); }

// A client that speaks ENet but none of the game's manners.
struct RawPeer {
    ENetHost* host = nullptr;
    ENetPeer* peer = nullptr;
    std::vector<std::vector<uint8_t>> received;
    bool disconnected = false;

    explicit RawPeer(uint16_t port) {
        host = enet_host_create(nullptr, 1, vkn::CHANNELS, 0, 0);
        ENetAddress address;
        enet_address_set_host_ip(&address, "127.0.0.1");
        address.port = port;
        peer = enet_host_connect(host, &address, vkn::CHANNELS, 0);
    }
    ~RawPeer() {
        if (peer != nullptr && !disconnected) enet_peer_reset(peer);
        enet_host_destroy(host);
    }
    void pump() {
        ENetEvent e;
        while (enet_host_service(host, &e, 0) > 0) {
            if (e.type == ENET_EVENT_TYPE_RECEIVE) {
                received.emplace_back(e.packet->data, e.packet->data + e.packet->dataLength);
                enet_packet_destroy(e.packet);
            } else if (e.type == ENET_EVENT_TYPE_DISCONNECT) {
                disconnected = true;
            }
        }
    }
    void send(const std::vector<uint8_t>& bytes) {
        enet_peer_send(peer, vkn::CHANNEL_RELIABLE, enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(host);
    }
    bool heard(vkn::Kind kind) const {
        for (const auto& p : received) {
            if (!p.empty() && p[0] == static_cast<uint8_t>(kind)) return true;
        }
        return false;
    }
};

std::vector<uint8_t> bytesOf(const NMessage& m) {
    uint8_t bytes[vkn::MAX_MESSAGE];
    return std::vector<uint8_t>(bytes, bytes + encodeMessage(m, bytes));
}

std::vector<uint8_t> ask(vkn::Role role) {
    NMessage m;
    m.kind = vkn::Kind::ASK;
    m.role = role;
    return bytesOf(m);
}

// Services everything until `done` holds or 10 s have passed.
template <typename Done>
bool serviceUntil(Done done, NSession& a, RawPeer* raw = nullptr, NSession* b = nullptr) {
    for (int32_t i = 0; i < 10000; i++) {
        a.service();
        if (b != nullptr) b->service();
        if (raw != nullptr) raw->pump();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

}  // namespace

// One host against a row of peers that are not the game: each is refused or
// dropped with its notice, alone, and the host goes on waiting; a player
// that sends nonsense after its hello loses its connection, not the host's.
// A real player then still joins.
TEST(NetSession, StrangersAndBadPacketsNeverTakeTheHostOffTheNetwork) {
    const NMessage hello = greeting(vkn::Kind::HELLO);
    NMessage older = hello;
    older.protocol = 1;  // a game of the protocol before rollback, otherwise the same
    const struct {
        std::vector<uint8_t> hello;  // sent first, when not empty
        std::vector<uint8_t> bad;
        const char* notice;
        vkn::Kind answer;  // what the peer hears, if anything
    } cases[] = {
        {{}, bytesOf(older),
         "Refused a player: the other game is version " VEKTORAK_VERSION " (protocol 1), this one is " VEKTORAK_VERSION
         " (protocol 4).",
         vkn::Kind::REFUSE},
        {{}, {0}, "Dropped a stranger who sent a bad packet (unknown kind 0).", vkn::Kind::PING},
        {{}, {6, 0, 1, 0, 0, 0, 1, 0}, "Dropped a stranger who sent a bad packet (truncated input).", vkn::Kind::PING},
        {{}, {5, 0, 0, 0, 0, 0, 1, 0, 0}, "Dropped a stranger who sent a bad packet (unexpected start).", vkn::Kind::PING},
        {{}, ask(vkn::Role::SPECTATOR), "Dropped a stranger who sent a bad packet (unexpected ask).", vkn::Kind::PING},
        {{}, std::vector<uint8_t>(513, 7), "Dropped a stranger who sent a bad packet (a packet of 513 bytes, over the "
         "limit of 512).", vkn::Kind::PING},
        {bytesOf(hello), {4, 6, 0}, "The other player sent a bad packet (menu choice 6 out of range); the connection "
         "is closed.", vkn::Kind::WELCOME},
    };
    NSession host;
    const uint16_t port = freePort(0);
    ASSERT_TRUE(host.host(port, true)) << host.notice();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.notice);
        RawPeer stranger(port);
        ASSERT_TRUE(serviceUntil([&] { return host.state() == NSession::State::GREETING; }, host, &stranger));
        if (!c.hello.empty()) {
            stranger.send(c.hello);
            stranger.send(ask(vkn::Role::EITHER));
            ASSERT_TRUE(serviceUntil([&] { return host.connected(); }, host, &stranger));
        }
        stranger.send(c.bad);
        ASSERT_TRUE(serviceUntil([&] { return host.notice() == c.notice; }, host, &stranger)) << host.notice();
        EXPECT_EQ(host.state(), NSession::State::WAITING);
        EXPECT_EQ(host.status(), "Waiting for a player on UDP port " + std::to_string(port));
        NSession::Event event;
        NStart none;  // only a player that was in is told of: its match ends
        EXPECT_EQ(host.takeEvent(event, none) && event == NSession::Event::CLOSED, !c.hello.empty());
        if (c.answer != vkn::Kind::PING) {
            EXPECT_TRUE(serviceUntil([&] { return stranger.heard(c.answer) && stranger.disconnected; }, host,
                                     &stranger));
        }
    }
    NSession player;
    ASSERT_TRUE(player.join("127.0.0.1", port));
    ASSERT_TRUE(serviceUntil([&] { return host.connected() && player.connected(); }, host, nullptr, &player));
}

// One player at a time; and a player who falls silent (here: a relay that
// stops passing anything, as a network that is gone) is given up on both
// sides, the host going back to waiting.
TEST(NetSession, OnePlayerAtATimeAndSilenceIsLeaving) {
    NSession host, joiner;
    const uint16_t port = freePort(10);
    ASSERT_TRUE(host.host(port, true));
    UdpRelay relay(0, port, {}, {}, 1);
    ASSERT_TRUE(relay.start());
    ASSERT_TRUE(joiner.join("127.0.0.1", relay.port()));
    ASSERT_TRUE(serviceUntil([&] { return host.connected() && joiner.connected(); }, host, nullptr, &joiner));
    EXPECT_EQ(host.status(), "Hosting: you fly the left ship");
    EXPECT_EQ(joiner.status(), "Joined: you fly the right ship");

    NSession late;
    ASSERT_TRUE(late.join("127.0.0.1", port));
    ASSERT_TRUE(serviceUntil([&] { return late.state() == NSession::State::CLOSED; }, late, nullptr, &host));
    EXPECT_EQ(late.notice(), "The host has a player already.");
    EXPECT_TRUE(host.connected());

    joiner.setOwnChoice(CHOICE_ACE);
    ASSERT_TRUE(serviceUntil([&] { return host.remoteChoice() == CHOICE_ACE; }, host, nullptr, &joiner));
    RelayConditions cut;
    cut.loss = 1.0;
    relay.setConditions(cut, cut);
    // The host waits for the next player; the one who joined is on its own.
    ASSERT_TRUE(serviceUntil([&] { return host.state() == NSession::State::WAITING && joiner.state() == NSession::State::CLOSED; },
                             host, nullptr, &joiner));
    EXPECT_EQ(host.notice(), "The other player left.");
    EXPECT_EQ(joiner.notice(), "The other player left.");
    EXPECT_EQ(host.remoteChoice(), 0) << "the next player's choice is its own";
}

// A check that finds the two matches apart ends the match on both sides,
// once: the side that found it says at which tick, the side told says so;
// both keep the connection for the next match.
TEST(NetSession, OutOfStepEndsTheMatchOnBothSidesOnce) {
    NSession host, joiner;
    const uint16_t port = freePort(20);
    ASSERT_TRUE(host.host(port, true));
    ASSERT_TRUE(joiner.join("127.0.0.1", port));
    ASSERT_TRUE(serviceUntil([&] { return host.connected() && joiner.connected(); }, host, nullptr, &joiner));
    host.setOwnReady(true);
    joiner.setOwnReady(true);
    ASSERT_TRUE(serviceUntil([&] { return host.inMatch() && joiner.inMatch(); }, host, nullptr, &joiner));
    NSession::Event event;
    NStart start;
    for (NSession* side : {&host, &joiner}) {
        ASSERT_TRUE(side->takeEvent(event, start));
        EXPECT_EQ(event, NSession::Event::MATCH_STARTED);
    }
    testing::internal::CaptureStderr();
    host.outOfStepSeenHere(16);
    host.outOfStepSeenHere(24);
    ASSERT_TRUE(serviceUntil([&] { return !joiner.inMatch(); }, host, nullptr, &joiner));
    int32_t passes = 0;
    serviceUntil([&] { return ++passes > 200; }, host, nullptr, &joiner);  // anything more comes now
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "The match went out of step at tick 16.\nThe match went out of step.\n");
    for (NSession* side : {&host, &joiner}) {
        ASSERT_TRUE(side->takeEvent(event, start));
        EXPECT_EQ(event, NSession::Event::MATCH_LEFT);
        EXPECT_FALSE(side->takeEvent(event, start));
        EXPECT_EQ(side->notice(), "The match went out of step.");
        EXPECT_TRUE(side->connected());
    }
}

// A game serves MAX_SPECTATORS spectators and tells the next that it has no
// room; a spectator that sends anything but acknowledgements is dropped,
// alone, and the players stay connected.
TEST(NetSession, SpectatorsAreHeldToTheirNumberAndTheirRole) {
    NSession host, joiner;
    const uint16_t port = freePort(30);
    ASSERT_TRUE(host.host(port, true));
    ASSERT_TRUE(joiner.join("127.0.0.1", port));
    std::vector<std::unique_ptr<NSession>> crowd;
    for (int32_t i = 0; i < vkn::MAX_SPECTATORS + 1; i++) {
        crowd.emplace_back(new NSession());
        ASSERT_TRUE(crowd.back()->watch("127.0.0.1", port));
    }
    RawPeer* raw = nullptr;
    auto all = [&](auto done) {
        return serviceUntil([&] {
            for (auto& s : crowd) s->service();
            return done();
        }, host, raw, &joiner);
    };
    ASSERT_TRUE(all([&] {
        return joiner.connected() && std::all_of(crowd.begin(), crowd.end(), [](auto& s) { return s->watching() || !s->open(); });
    }));
    EXPECT_EQ(host.watchers(), vkn::MAX_SPECTATORS);
    EXPECT_EQ(host.status(), "Hosting: you fly the left ship, 32 watching");
    const auto refused = std::find_if(crowd.begin(), crowd.end(), [](auto& s) { return !s->open(); });
    ASSERT_NE(refused, crowd.end());
    EXPECT_EQ((*refused)->notice(), "The game has no room for more spectators.");
    ASSERT_TRUE(all([&] { return crowd[0]->watchers() == vkn::MAX_SPECTATORS; })) << "the spectators hear how many watch";
    crowd.erase(refused);
    crowd.pop_back();  // goes, and makes room

    RawPeer junk(port);
    raw = &junk;
    ASSERT_TRUE(all([&] { return host.watchers() == vkn::MAX_SPECTATORS - 1 && junk.host->connectedPeers > 0; }));
    junk.send(bytesOf(greeting(vkn::Kind::HELLO)));
    junk.send(ask(vkn::Role::SPECTATOR));
    ASSERT_TRUE(all([&] { return host.watchers() == vkn::MAX_SPECTATORS; }));
    NMessage ready;
    ready.kind = vkn::Kind::MENU;
    ready.ready = true;
    junk.send(bytesOf(ready));
    ASSERT_TRUE(all([&] { return host.watchers() == vkn::MAX_SPECTATORS - 1; }));
    EXPECT_EQ(host.notice(), "Dropped a spectator who sent a bad packet (unexpected menu).");
    EXPECT_FALSE(host.remoteReady());
    EXPECT_TRUE(host.connected() && joiner.connected());
    EXPECT_TRUE(crowd[0]->watching());
}

// The players never wait on a spectator: one that hangs 2 s into the match
// is dropped, alone, once it has been silent too long, while another keeps
// up within 300 ms, and the two players, on one machine, never wait at all.
TEST(NetSession, AHungSpectatorNeverSlowsThePlayers) {
    const uint16_t port = freePort(40);
    NLoopDuelOptions options;
    options.watchers = {{port, -1, 2000}, {port, -1, -1}};
    const NLoopDuelResult r =
        playLoopDuel(port, port, CHOICE_COMPUTER, CHOICE_COMPUTER, 77, 300, 300 + 8000, nullptr, -1, &options);
    ASSERT_TRUE(r.connected);
    EXPECT_EQ(r.waitedMs[0] + r.waitedMs[1], 0u);
    EXPECT_EQ(r.spectatorsDropped, 1u);
    ASSERT_TRUE(r.watched[1].watched);
    EXPECT_GT(r.watched[1].caughtUpAfterMs, 0u);
    EXPECT_LE(r.watched[1].worstBehindMs, NLoopDuelResult::CLOSE_MS);
}

// ENet keeps no order between its channels: a host's ping, or a spectator's
// first flags, can come before the welcome they were sent after (the
// welcome's datagram lost and sent again). Neither may cost the one who
// connected its handshake.
TEST(NetSession, WhatOvertakesTheWelcomeCostsNothing) {
    ASSERT_EQ(enet_initialize(), 0);
    ENetAddress address;
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = freePort(50);
    ENetHost* raw = enet_host_create(&address, 2, vkn::CHANNELS, 0, 0);
    ASSERT_NE(raw, nullptr);
    for (const bool watcher : {false, true}) {
        NSession s;
        ASSERT_TRUE(watcher ? s.watch("127.0.0.1", address.port) : s.join("127.0.0.1", address.port));
        ENetPeer* peer = nullptr;
        int32_t heard = 0;  // its hello and its ask
        auto pump = [&] {
            ENetEvent e;
            while (enet_host_service(raw, &e, 0) > 0) {
                if (e.type == ENET_EVENT_TYPE_CONNECT) peer = e.peer;
                if (e.type == ENET_EVENT_TYPE_RECEIVE) heard++, enet_packet_destroy(e.packet);
            }
        };
        ASSERT_TRUE(serviceUntil([&] { return pump(), heard == 2; }, s));
        NMessage first;
        first.kind = watcher ? vkn::Kind::FLAGS : vkn::Kind::PING;
        first.count = 1;
        NMessage welcome = greeting(vkn::Kind::WELCOME);
        welcome.role = watcher ? vkn::Role::SPECTATOR : vkn::Role::RIGHT;
        for (const NMessage& m : {first, welcome}) {
            const std::vector<uint8_t> bytes = bytesOf(m);
            const bool reliable = m.kind == vkn::Kind::WELCOME;
            enet_peer_send(peer, reliable ? vkn::CHANNEL_RELIABLE : vkn::CHANNEL_INPUT,
                           enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0));
        }
        enet_host_flush(raw);
        EXPECT_TRUE(serviceUntil([&] { return pump(), watcher ? s.watching() : s.connected(); }, s)) << s.notice();
        enet_peer_reset(peer);
    }
    enet_host_destroy(raw);
}
