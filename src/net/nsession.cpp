// nsession.cpp: ENet, the handshake, the menu's messages and the match's.
#include "net/nsession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>  // Required for: atexit()
#include <new>      // Required for: std::nothrow
#include <utility>  // Required for: std::exchange

#include <enet/enet.h>

#include "game/grandom.h"

namespace {

uint32_t steadyMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Once per process, and safely so when sessions start on several threads.
bool enetReady() {
    static const bool ready = [] {
        if (enet_initialize() != 0) {
            fprintf(stderr, "Unable to start the network.\n");
            return false;
        }
        atexit(enet_deinitialize);
        return true;
    }();
    return ready;
}

// Events handled in one service(): a flood waits for the next pass instead
// of holding up the game.
constexpr int32_t EVENTS_PER_SERVICE = 64;

}  // namespace

uint32_t (*NSession::clock)() = steadyMs;

NSession::NSession() {}

NSession::~NSession() {
    if (peer != nullptr) {
        enet_peer_disconnect_now(peer, 0);
        peer = nullptr;
    }
    if (enet != nullptr) {
        enet_host_flush(enet);
        enet_host_destroy(enet);
        enet = nullptr;
    }
}

bool NSession::host(uint16_t listenPort, bool loopbackOnly) {
    hosting = true;
    port = listenPort;
    if (!enetReady()) {
        lastNotice = "The network could not be started.";
        return false;
    }
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    if (loopbackOnly) enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = listenPort;
    // Two peers: the player, and room to tell a second one that the game
    // is taken.
    enet = enet_host_create(&address, 2, vkn::CHANNELS, 0, 0);
    if (enet == nullptr) {
        lastNotice = "Unable to wait on UDP port " + std::to_string(listenPort) + ": is it in use?";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    // ENet drops a packet over its limit without a word; with room for a
    // few times the largest message, this game sees one and says so.
    enet->maximumPacketSize = ENET_PACKET_LIMIT;
    enet->maximumWaitingData = 16 * ENET_PACKET_LIMIT;
    phase = State::WAITING;
    stateSince = clock();
    if (!loopbackOnly) {
        answerer.reset(new (std::nothrow) NDiscoveryAnswerer());
        if (answerer != nullptr && !answerer->open(listenPort)) answerer.reset();
        router.reset(new (std::nothrow) NRouter());
        if (router != nullptr) router->open(listenPort, stateSince);
    }
    return true;
}

std::string NSession::routerLine() const { return router != nullptr ? router->line(clock()) : ""; }

bool NSession::join(const char* hostName, uint16_t hostPort) {
    hosting = false;
    port = hostPort;
    target = std::string(hostName) + ":" + std::to_string(hostPort);
    if (!enetReady()) {
        lastNotice = "The network could not be started.";
        return false;
    }
    ENetAddress address;
    if (enet_address_set_host(&address, hostName) != 0) {
        lastNotice = "Unknown host: " + std::string(hostName) + ".";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    address.port = hostPort;
    hostIp = address.host;
    enet = enet_host_create(nullptr, 1, vkn::CHANNELS, 0, 0);
    if (enet == nullptr) {
        lastNotice = "The network could not be started.";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    // ENet drops a packet over its limit without a word; with room for a
    // few times the largest message, this game sees one and says so.
    enet->maximumPacketSize = ENET_PACKET_LIMIT;
    enet->maximumWaitingData = 16 * ENET_PACKET_LIMIT;
    peer = enet_host_connect(enet, &address, vkn::CHANNELS, 0);
    if (peer == nullptr) {
        lastNotice = "Unable to join " + target + ".";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    phase = State::JOINING;
    stateSince = clock();
    joinSince = stateSince;
    return true;
}

std::string NSession::status() const {
    switch (phase) {
    case State::WAITING: return "Waiting for a player on UDP port " + std::to_string(port);
    case State::JOINING: return "Joining " + target;
    case State::GREETING: return "Greeting the other player";
    case State::CONNECTED:
        return std::string(hosting ? "Hosting: you fly the left ship" : "Joined: you fly the right ship");
    case State::CLOSED: break;
    }
    return "";
}

void NSession::send(const NMessage& message, bool reliable) { sendTo(peer, message, reliable); }

void NSession::sendTo(_ENetPeer* to, const NMessage& message, bool reliable) {
    if (to == nullptr) return;
    uint8_t bytes[vkn::MAX_MESSAGE];
    const size_t size = encodeMessage(message, bytes);
    ENetPacket* packet = enet_packet_create(bytes, size, reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (packet == nullptr) return;
    if (enet_peer_send(to, reliable ? vkn::CHANNEL_RELIABLE : vkn::CHANNEL_INPUT, packet) != 0) {
        enet_packet_destroy(packet);
    }
}

void NSession::sendMenu() {
    NMessage m;
    m.kind = vkn::Kind::MENU;
    m.choice = static_cast<uint8_t>(ownPick);
    m.ready = ownSet;
    send(m, true);
}

void NSession::setOwnChoice(ControllerChoice choice) {
    ownPick = choice;
    ownSet = false;
    if (phase == State::CONNECTED && !playing) sendMenu();
}

void NSession::setOwnReady(bool ready) {
    ownSet = ready;
    if (phase == State::CONNECTED && !playing) {
        sendMenu();
        maybeStart();
    }
}

void NSession::maybeStart() {
    if (!hosting || phase != State::CONNECTED || playing || !ownSet || !remoteSet) return;
    NMessage m;
    m.kind = vkn::Kind::START;
    m.match = ++matchNumber;
    m.seed = fixedSeed ? seed : drawMatchSeed();
    m.delay = chooseDelay();
    m.leftChoice = static_cast<uint8_t>(ownPick);
    m.rightChoice = static_cast<uint8_t>(remotePick);
    send(m, true);
    beginMatch(m, rttMedian() / 2);
}

void NSession::beginMatch(const NMessage& start, int32_t holdMs) {
    matchNumber = start.match;
    pendingStart.seed = start.seed;
    pendingStart.delay = start.delay;
    pendingStart.leftChoice = start.leftChoice;
    pendingStart.rightChoice = start.rightChoice;
    pendingStart.holdMs = holdMs;
    startPending = true;
    lockstep.start(start.delay);
    playing = true;
    finishing = false;
    ownSet = false;
    remoteSet = false;
}

int32_t NSession::sortedSamples(int32_t* sorted) const {
    const int32_t n = std::min(rttCount, RTT_SAMPLES);
    std::copy(rttSamples, rttSamples + n, sorted);
    std::sort(sorted, sorted + n);
    return n;
}

int32_t NSession::rttMedian() const {
    int32_t sorted[RTT_SAMPLES];
    const int32_t n = sortedSamples(sorted);
    if (n == 0) return peer != nullptr ? static_cast<int32_t>(peer->roundTripTime) : 0;
    return sorted[n / 2];
}

uint8_t NSession::chooseDelay() const { return fixedDelay >= 0 ? static_cast<uint8_t>(fixedDelay) : 0; }

uint64_t NSession::sentBytes() const { return enet != nullptr ? enet->totalSentData : 0; }
uint64_t NSession::sentPackets() const { return enet != nullptr ? enet->totalSentPackets : 0; }
uint64_t NSession::receivedBytes() const { return enet != nullptr ? enet->totalReceivedData : 0; }

void NSession::fixDelay(uint8_t delay) { fixedDelay = std::min<int32_t>(delay, vkn::MAX_DELAY); }

void NSession::fixSeed(uint32_t fixed) {
    fixedSeed = true;
    seed = fixed;
}

bool NSession::takeEvent(Event& event, NStart& start) {
    if (std::exchange(remoteResumed, false)) {
        event = Event::REMOTE_RESUMED;
    } else if (std::exchange(matchLeft, false)) {
        event = Event::MATCH_LEFT;
    } else if (std::exchange(closedPending, false)) {
        event = Event::CLOSED;
    } else if (std::exchange(startPending, false)) {
        event = Event::MATCH_STARTED;
        start = pendingStart;
    } else {
        return false;
    }
    return true;
}

void NSession::matchOver() {
    if (!playing) return;
    playing = false;
    finishing = true;
    finishSince = clock();
}

void NSession::sendLeave() {
    NMessage m;
    m.kind = vkn::Kind::LEAVE;
    send(m, true);
    matchOver();
}

void NSession::sendResume() {
    NMessage m;
    m.kind = vkn::Kind::RESUME;
    send(m, true);
}

void NSession::leaveOutOfStep(const std::string& why, uint32_t tick) {
    if (!playing) return;  // told already, or the match is over
    fprintf(stderr, "%s\n", why.c_str());
    lastNotice = "The match went out of step.";
    // Seen here first or told by the other side: either way both must hear
    // it, and a second telling is ignored.
    sendOutOfStep(tick);
    matchLeft = true;
}

void NSession::outOfStepSeenHere(uint32_t tick) {
    leaveOutOfStep("The match went out of step at tick " + std::to_string(tick) + ".", tick);
}

void NSession::sendOutOfStep(uint32_t tick) {
    NMessage m;
    m.kind = vkn::Kind::OUT_OF_STEP;
    m.firstTick = tick < 1 ? 1 : tick;
    send(m, true);
    matchOver();
}

void NSession::close(const std::string& why, bool politely) {
    if (phase == State::CLOSED) return;
    letGo(why, politely);
    if (enet != nullptr) {
        enet_host_flush(enet);
        enet_host_destroy(enet);
        enet = nullptr;
    }
    answerer.reset();
    router.reset();  // the port goes back
    phase = State::CLOSED;
}

void NSession::letGo(const std::string& why, bool politely) {
    lastNotice = why;
    fprintf(stderr, "%s\n", why.c_str());
    if (peer != nullptr) {
        if (politely) {
            enet_peer_disconnect_now(peer, 0);
        } else {
            enet_peer_reset(peer);
        }
        peer = nullptr;
    }
    playing = false;
    finishing = false;
    startPending = false;
    ownSet = false;
    remoteSet = false;
    closedPending = true;
}

void NSession::lose(const std::string& why, bool politely) {
    if (!hosting) {
        close(why, politely);
        return;
    }
    // A host stays a host: the player goes, the port stays open, and the
    // next player is welcome.
    letGo(why, politely);
    phase = State::WAITING;
    stateSince = clock();
    remotePick = 0;
    rttCount = 0;  // the next player's distance is its own
}

void NSession::dropStranger(const std::string& why) {
    lastNotice = why;
    fprintf(stderr, "%s\n", why.c_str());
    if (peer != nullptr) enet_peer_reset(peer);
    peer = nullptr;
    phase = State::WAITING;
    stateSince = clock();
}

void NSession::badPacket(const std::string& why) {
    if (hosting && phase == State::GREETING) {
        // Nobody has said hello yet: whoever sent it is a stranger, and one
        // datagram of a stranger's must not take the host off the network.
        dropStranger("Dropped a stranger who sent a bad packet (" + why + ").");
        return;
    }
    lose("The other player sent a bad packet (" + why + "); the connection is closed.", true);
}

void NSession::leave() { close("You left the network game.", true); }

void NSession::welcome(const NMessage& hello) {
    if (!sameVersions(hello.protocol, hello.gameVersion)) {
        NMessage refusal = greeting(vkn::Kind::REFUSE);
        refusal.refusal = vkn::Refusal::VERSIONS;
        send(refusal, true);
        lastNotice = "Refused a player: " + versionsText(hello.protocol, hello.gameVersion) + ".";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        enet_peer_disconnect_later(peer, 0);
        peer = nullptr;
        phase = State::WAITING;
        return;
    }
    send(greeting(vkn::Kind::WELCOME), true);
    phase = State::CONNECTED;
    lastNotice = "A player joined.";
    sendMenu();
}

void NSession::handle(const uint8_t* data, size_t size) {
    NMessage m;
    std::string why;
    if (!decodeMessage(data, size, m, why)) {
        badPacket(why);
        return;
    }
    lastHeard = clock();
    const bool menu = phase == State::CONNECTED && !playing;
    switch (m.kind) {
    case vkn::Kind::HELLO:
        if (!hosting || phase != State::GREETING) return badPacket("unexpected hello");
        welcome(m);
        return;
    case vkn::Kind::WELCOME:
        if (hosting || phase != State::GREETING) return badPacket("unexpected welcome");
        if (!sameVersions(m.protocol, m.gameVersion)) {
            close("The host's versions differ: " + versionsText(m.protocol, m.gameVersion) + ".", true);
            return;
        }
        phase = State::CONNECTED;
        lastNotice = "Joined " + target + ".";
        sendMenu();
        return;
    case vkn::Kind::REFUSE:
        if (hosting) return badPacket("unexpected refusal");
        if (m.refusal == vkn::Refusal::BUSY) {
            close("The host has a player already.", true);
        } else {
            close("The host refused: " + versionsText(m.protocol, m.gameVersion) + ".", true);
        }
        return;
    case vkn::Kind::MENU:
        if (phase != State::CONNECTED) return badPacket("unexpected menu");
        // A choice made while this side still ends its match is the next
        // menu's: keep it.
        remotePick = m.choice;
        remoteSet = m.ready;
        maybeStart();
        return;
    case vkn::Kind::START:
        if (hosting || !menu) return badPacket("unexpected start");
        beginMatch(m, 0);
        return;
    case vkn::Kind::INPUT:
        if (phase != State::CONNECTED) return badPacket("unexpected input");
        // Late from an earlier match, or early for one whose start is still
        // on its way: it belongs to no match here.
        if (m.match != matchNumber || !(playing || finishing)) return;
        if (!lockstep.takeInput(m, why)) return badPacket(why);
        if (lockstep.outOfStepTick() != 0) leaveOutOfStep("The match went out of step.", lockstep.outOfStepTick());
        return;
    case vkn::Kind::PING: {
        NMessage pong;
        pong.kind = vkn::Kind::PONG;
        pong.stamp = m.stamp;
        send(pong, false);
        return;
    }
    case vkn::Kind::PONG: {
        const uint32_t rtt = clock() - m.stamp;
        if (rtt > 60000) return;  // not a stamp of ours
        rttSamples[rttCount % RTT_SAMPLES] = static_cast<int32_t>(rtt);
        rttCount++;
        return;
    }
    case vkn::Kind::RESUME:
        if (playing) remoteResumed = true;
        return;
    case vkn::Kind::LEAVE:
        if (playing) {
            lastNotice = "The other player ended the match.";
            matchLeft = true;
            matchOver();
        }
        return;
    case vkn::Kind::OUT_OF_STEP:
        leaveOutOfStep("The match went out of step.", lockstep.outOfStepTick());
        return;
    }
}

void NSession::service() {
    if (enet == nullptr) return;
    uint32_t now = clock();
    ENetEvent event;
    for (int32_t i = 0; i < EVENTS_PER_SERVICE && enet != nullptr && enet_host_service(enet, &event, 0) > 0; i++) {
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (hosting) {
                if (peer != nullptr || phase != State::WAITING) {
                    // One player at a time: say why, then let go.
                    fprintf(stderr, "Refused a player: this game has one already.\n");
                    NMessage busy = greeting(vkn::Kind::REFUSE);
                    busy.refusal = vkn::Refusal::BUSY;
                    sendTo(event.peer, busy, true);
                    enet_peer_disconnect_later(event.peer, 0);
                    break;
                }
                peer = event.peer;
            } else if (event.peer == peer) {
                send(greeting(vkn::Kind::HELLO), true);
            }
            enet_peer_timeout(peer, 0, SILENCE_MS, SILENCE_MS + 500);
            // ENet would drop unreliable packets when round trips vary, to
            // ease congestion; a few dozen small packets a second cause none,
            // and every drop would be a stall.
            enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
            phase = State::GREETING;
            stateSince = now;
            lastHeard = now;
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (event.peer == peer && peer != nullptr) {
                if (event.packet->dataLength > MAX_PACKET) {
                    badPacket("a packet of " + std::to_string(event.packet->dataLength) + " bytes, over the limit of " +
                              std::to_string(MAX_PACKET));
                } else {
                    handle(event.packet->data, event.packet->dataLength);
                }
            }
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (event.peer != peer || peer == nullptr) break;  // a refused one, let go
            peer = nullptr;  // ENet has let go of it already
            if (!hosting && (phase == State::JOINING || phase == State::GREETING) && now - joinSince < JOIN_MS) {
                // A handshake that lost the wrong packet can end before it
                // began; while there is time, knock again.
                ENetAddress again;
                again.host = hostIp;
                again.port = port;
                peer = enet_host_connect(enet, &again, vkn::CHANNELS, 0);
                phase = State::JOINING;
                stateSince = now;
                if (peer != nullptr) break;
            }
            if (phase == State::JOINING) {
                close("No answer from " + target + ".", false);
            } else if (hosting && phase == State::GREETING) {
                phase = State::WAITING;  // left before the handshake: wait on
            } else {
                lose("The other player left.", false);
            }
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
        }
    }
    if (enet == nullptr) return;
    // Read again: what was just handled is stamped later than the start.
    now = clock();
    if (answerer != nullptr) answerer->service(phase == State::WAITING);
    if (router != nullptr && !routerTold) {
        const std::string line = router->line(now);
        if (!line.empty()) {
            printf("%s\n", line.c_str());
            fflush(stdout);
            routerTold = true;
        }
    }

    if (phase == State::JOINING && now - joinSince > JOIN_MS) {
        close("No answer from " + target + ".", true);
        return;
    }
    if (phase == State::GREETING && now - stateSince > JOIN_MS) {
        if (hosting) {
            dropStranger("A player's handshake timed out.");
        } else {
            close("No welcome from " + target + ".", true);
        }
        return;
    }
    if (phase == State::CONNECTED && now - lastHeard > SILENCE_MS) {
        lose("The other player left.", false);
        return;
    }
    if (phase != State::CONNECTED && phase != State::GREETING) {
        enet_host_flush(enet);
        return;
    }

    if (finishing && (lockstep.remoteAcknowledged() >= lockstep.newestOwn() || now - finishSince > FINISH_MS)) {
        finishing = false;
    }
    if (lockstep.started() && (playing || finishing)) {
        // Every new tick at once; the same again only while nothing new
        // comes (a wait, the pause, the end), to repair losses and carry the
        // acknowledgement.
        if (lockstep.newestOwn() != lastSentNewest || now - lastInput >= INPUT_REPEAT_MS) {
            NMessage input;
            if (lockstep.makeInput(input)) {
                input.match = matchNumber;
                send(input, false);
                inputs++;
                lastSentNewest = lockstep.newestOwn();
                lastInput = now;
            }
        }
    } else if (now - lastPing >= PING_MS) {
        NMessage ping;
        ping.kind = vkn::Kind::PING;
        ping.stamp = now;
        send(ping, false);
        lastPing = now;
    }
    enet_host_flush(enet);
}
