// nsession.cpp: ENet, the peers and their handshakes, the menu's messages,
// the match's, and the spectators'.
#include "net/nsession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>  // Required for: atexit()
#include <new>      // Required for: std::nothrow
#include <utility>  // Required for: std::exchange

#include <arpa/inet.h>  // Required for: htonl(), ntohl()
#include <enet/enet.h>

#include "net/naddress.h"  // Required for: dottedAddress
#include "game/grandom.h"
#include "game/greplay.h"  // Required for: vkr::MAX_END_MS

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

// The session whose service() runs: ENet calls its intercept from inside
// enet_host_service() with nothing but the host, and only service() calls
// that on a session's host.
thread_local NSession* servicing = nullptr;

// Set for the length of one service(), and what was set before put back, so
// that no intercept ever sees a session already gone.
struct Servicing {
    NSession* before;
    explicit Servicing(NSession* session) : before(servicing) { servicing = session; }
    ~Servicing() { servicing = before; }
};

// Events handled in one service(): a flood waits for the next pass instead
// of holding up the game.
constexpr int32_t EVENTS_PER_SERVICE = 64;

// Why a host let a spectator go, in the disconnect's data, so that the
// spectator can say it.
constexpr enet_uint32 DROPPED_BEHIND = 1;
constexpr enet_uint32 DROPPED_BAD = 2;

const char* sideName(GSide side) { return side == SIDE_RIGHT ? "right" : "left"; }

// What a START says, and a START that says it.
NStart startOf(const NMessage& m) {
    NStart start;
    start.seed = m.seed;
    start.delay = m.delay;
    start.leftChoice = m.leftChoice;
    start.rightChoice = m.rightChoice;
    return start;
}

NMessage startFor(uint8_t match, const NStart& start) {
    NMessage m;
    m.kind = vkn::Kind::START;
    m.match = match;
    m.seed = start.seed;
    m.delay = start.delay;
    m.leftChoice = static_cast<uint8_t>(start.leftChoice);
    m.rightChoice = static_cast<uint8_t>(start.rightChoice);
    return m;
}

std::string unexpected(vkn::Kind kind) { return std::string("unexpected ") + kindName(kind); }

}  // namespace

uint32_t (*NSession::clock)() = steadyMs;

NSession::NSession() {}

NSession::~NSession() {
    for (const auto& p : peers) enet_peer_disconnect_now(p->link, 0);
    peers.clear();
    if (enet != nullptr) {
        enet_host_flush(enet);
        enet_host_destroy(enet);
        enet = nullptr;
    }
}

// --- opening ---------------------------------------------------------------------

bool NSession::open(uint16_t listenPort, bool listen, bool loopbackOnly, size_t peerCount) {
    if (!enetReady()) {
        lastNotice = "The network could not be started.";
        return false;
    }
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    if (loopbackOnly) enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = listenPort;
    enet = enet_host_create(listen ? &address : nullptr, peerCount, vkn::CHANNELS, 0, 0);
    if (enet == nullptr) {
        lastNotice = listen && listenPort != 0 ? "Unable to wait on UDP port " + std::to_string(listenPort) + ": is it in use?"
                            : "The network could not be started.";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    // ENet drops a packet over its limit without a word; with room for a
    // few times the largest message, this game sees one and says so.
    enet->maximumPacketSize = ENET_PACKET_LIMIT;
    enet->maximumWaitingData = 16 * ENET_PACKET_LIMIT;
    enet->intercept = intercept;
    return true;
}

int NSession::intercept(_ENetHost* host, _ENetEvent*) {
    NSession* self = servicing;
    if (self == nullptr || self->enet != host || !self->rawHandler) return 0;
    return self->rawHandler(ntohl(host->receivedAddress.host), host->receivedAddress.port, host->receivedData,
                            host->receivedDataLength)
               ? 1
               : 0;
}

bool NSession::prepare() {
    if (enet != nullptr) return phase == State::CLOSED;
    hosting = false;
    // One peer: the game joined. Bound at once, so that the port is known
    // before anything is sent.
    return open(0, true, false, 1);
}

uint16_t NSession::localPort() const { return enet != nullptr ? enet->address.port : 0; }

bool NSession::sendRaw(uint32_t ip, uint16_t toPort, const uint8_t* data, size_t size) {
    if (enet == nullptr) return false;
    ENetAddress to;
    to.host = htonl(ip);
    to.port = toPort;
    ENetBuffer buffer;
    buffer.data = const_cast<uint8_t*>(data);
    buffer.dataLength = size;
    return enet_socket_send(enet->socket, &to, &buffer, 1) > 0;
}

bool NSession::greetedAt(uint32_t ip, uint16_t atPort) const {
    return std::any_of(peers.begin(), peers.end(), [&](const std::unique_ptr<NPeer>& p) {
        return p->role != NPeer::Role::STRANGER && p->link->address.host == htonl(ip) && p->link->address.port == atPort;
    });
}

bool NSession::host(uint16_t listenPort, bool loopbackOnly) {
    hosting = true;
    port = listenPort;
    ownRole = vkn::Role::LEFT;
    if (!open(listenPort, true, loopbackOnly, MAX_PEERS)) return false;
    phase = State::WAITING;
    stateSince = clock();
    return true;
}

bool NSession::join(const char* hostName, uint16_t hostPort) { return connectTo(hostName, hostPort, vkn::Role::EITHER); }

bool NSession::watch(const char* hostName, uint16_t hostPort) {
    return connectTo(hostName, hostPort, vkn::Role::SPECTATOR);
}

bool NSession::connectTo(const char* hostName, uint16_t hostPort, vkn::Role ask) {
    hosting = false;
    port = hostPort;
    ownRole = ask;
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
    return knock(address.host, hostPort, target, ask);
}

bool NSession::joinAddress(uint32_t ip, uint16_t hostPort, vkn::Role ask) {
    if (enet == nullptr || phase != State::CLOSED) {
        lastNotice = "Unable to join: the network is not prepared.";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    return knock(htonl(ip), hostPort, dottedAddress(ip, hostPort), ask);
}

bool NSession::knock(uint32_t ip, uint16_t hostPort, const std::string& name, vkn::Role ask) {
    hosting = false;
    port = hostPort;
    ownRole = ask;
    target = name;
    hostIp = ip;
    // A prepared socket is kept: the other side knows this one's address.
    if (!(enet != nullptr && phase == State::CLOSED) && !open(0, false, false, 1)) return false;
    ENetAddress address;
    address.host = ip;
    address.port = hostPort;
    ENetPeer* link = enet_host_connect(enet, &address, vkn::CHANNELS, 0);
    std::unique_ptr<NPeer> peer(new (std::nothrow) NPeer());
    if (link == nullptr || peer == nullptr) {
        lastNotice = "Unable to join " + target + ".";
        fprintf(stderr, "%s\n", lastNotice.c_str());
        return false;
    }
    peer->link = link;
    upstream = peer.get();
    peers.push_back(std::move(peer));
    phase = State::JOINING;
    stateSince = clock();
    joinSince = stateSince;
    return true;
}

// --- what the menus show ---------------------------------------------------------------

std::string NSession::status() const {
    const int32_t n = watchers();
    const std::string watching = n > 0 && !spectator() ? ", " + std::to_string(n) + " watching" : "";
    switch (phase) {
    case State::WAITING: return "Waiting for a player on UDP port " + std::to_string(port) + watching;
    case State::JOINING: return (spectator() ? "Connecting to watch " : "Joining ") + target;
    case State::GREETING: return spectator() ? "Greeting the game to watch" : "Greeting the other player";
    case State::CONNECTED:
        return std::string(hosting ? "Hosting" : "Joined") + ": you fly the " + sideName(ownSide()) + " ship" + watching;
    case State::WATCHING: {
        const char* stand = heardStage == vkn::Stage::MATCH  ? "a match is on"
                            : heardStage == vkn::Stage::MENU ? "the players choose"
                                                             : "waiting for a player";
        return "Watching " + target + ": " + stand;
    }
    case State::CLOSED: break;
    }
    return "";
}

ControllerChoice NSession::choiceOf(GSide side) const {
    if (spectator()) return side == SIDE_RIGHT ? heardChoices[1] : heardChoices[0];
    return side == ownSide() ? ownPick : remotePick;
}

bool NSession::readyOf(GSide side) const {
    if (spectator()) return (heardReady & (side == SIDE_RIGHT ? 2 : 1)) != 0;
    return side == ownSide() ? ownSet : remoteSet;
}

int32_t NSession::watchers() const {
    if (spectator()) return heardWatchers;
    return static_cast<int32_t>(std::count_if(peers.begin(), peers.end(), [](const std::unique_ptr<NPeer>& p) {
        return p->role == NPeer::Role::SPECTATOR;
    }));
}

vkn::Stage NSession::stage() const {
    if (spectator()) return heardStage;
    return playing ? vkn::Stage::MATCH : other != nullptr ? vkn::Stage::MENU : vkn::Stage::WAITING;
}

// --- sending ---------------------------------------------------------------------------

void NSession::send(const NMessage& message, bool reliable) {
    if (other != nullptr) sendTo(other->link, message, reliable);
}

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

void NSession::toSpectators(const NMessage& message, bool reliable) {
    for (const auto& p : peers) {
        if (p->role == NPeer::Role::SPECTATOR) sendTo(p->link, message, reliable);
    }
}

void NSession::sendMenu() {
    NMessage m;
    m.kind = vkn::Kind::MENU;
    m.choice = static_cast<uint8_t>(ownPick);
    m.ready = ownSet;
    send(m, true);
    sendStatus();
}

void NSession::sendStatus() {
    if (spectator()) return;
    NMessage m;
    m.kind = vkn::Kind::STATUS;
    m.stage = stage();
    m.watchers = static_cast<uint8_t>(std::min<int32_t>(watchers(), vkn::MAX_SPECTATORS));
    // A choice is one of the kinds, or the menu's would never have sent it.
    m.leftChoice = static_cast<uint8_t>(std::clamp<ControllerChoice>(choiceOf(SIDE_LEFT), 0, vkn::CHOICES - 1));
    m.rightChoice = static_cast<uint8_t>(std::clamp<ControllerChoice>(choiceOf(SIDE_RIGHT), 0, vkn::CHOICES - 1));
    m.readyBits = static_cast<uint8_t>((readyOf(SIDE_LEFT) ? 1 : 0) | (readyOf(SIDE_RIGHT) ? 2 : 0));
    toSpectators(m, true);
    lastStatus = clock();
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
    if (ownSide() != SIDE_LEFT || phase != State::CONNECTED || playing || !ownSet || !remoteSet) return;
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
    current = startOf(start);
    pendingStart = current;
    pendingStart.holdMs = holdMs;
    startPending = true;
    lockstep.start(start.delay);
    confirmedFlags.clear();
    playing = true;
    finishing = false;
    ownSet = false;
    remoteSet = false;
    // The spectators watch from tick 1, starting now.
    const uint32_t now = clock();
    for (const auto& p : peers) {
        if (p->role != NPeer::Role::SPECTATOR) continue;
        sendTo(p->link, start, true);
        p->feed.start(matchNumber, now);
    }
    sendStatus();
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
    if (n == 0) {
        const NPeer* far = other != nullptr ? other : upstream;
        return far != nullptr ? static_cast<int32_t>(far->link->roundTripTime) : 0;
    }
    return sorted[n / 2];
}

int32_t NSession::liveRttMs() const {
    const NPeer* far = other != nullptr ? other : upstream;
    return far != nullptr ? static_cast<int32_t>(far->link->roundTripTime) : 0;
}

uint8_t NSession::chooseDelay() const { return fixedDelay >= 0 ? static_cast<uint8_t>(fixedDelay) : 0; }

uint64_t NSession::sentBytes() const { return enet != nullptr ? enet->totalSentData : 0; }
uint64_t NSession::sentPackets() const { return enet != nullptr ? enet->totalSentPackets : 0; }
uint64_t NSession::receivedBytes() const { return enet != nullptr ? enet->totalReceivedData : 0; }
uint64_t NSession::receivedPackets() const { return enet != nullptr ? enet->totalReceivedPackets : 0; }

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
    sendStatus();
}

void NSession::matchKept(uint32_t endMs, bool finished) {
    NMessage m;
    m.kind = vkn::Kind::END;
    m.match = matchNumber;
    m.end = finished ? vkn::End::FINISHED : vkn::End::LEFT;
    m.endMs = std::min(endMs, vkr::MAX_END_MS);
    for (const auto& p : peers) {
        if (p->role == NPeer::Role::SPECTATOR && p->feed.running() && p->feed.match() == matchNumber) {
            sendTo(p->link, m, true);
        }
    }
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

// --- letting go ------------------------------------------------------------------------

NPeer* NSession::peerOf(_ENetPeer* link) {
    for (const auto& p : peers) {
        if (p->link == link) return p.get();
    }
    return nullptr;
}

void NSession::forget(NPeer* peer) {
    if (peer == other) other = nullptr;
    if (peer == upstream) upstream = nullptr;
    peers.erase(std::remove_if(peers.begin(), peers.end(), [peer](const std::unique_ptr<NPeer>& p) { return p.get() == peer; }),
                peers.end());
}

void NSession::refreshPhase() {
    if (!hosting || phase == State::CLOSED) return;
    const bool greeting = std::any_of(peers.begin(), peers.end(),
                                      [](const std::unique_ptr<NPeer>& p) { return p->role == NPeer::Role::STRANGER; });
    const State next = other != nullptr ? State::CONNECTED : greeting ? State::GREETING : State::WAITING;
    if (next != phase) stateSince = clock();
    phase = next;
}

void NSession::close(const std::string& why, bool politely) {
    if (phase == State::CLOSED) {
        // Prepared and never joined: only the socket goes.
        if (enet != nullptr && peers.empty()) {
            enet_host_destroy(enet);
            enet = nullptr;
        }
        return;
    }
    letGo(why, politely);
    for (const auto& p : peers) enet_peer_disconnect_now(p->link, 0);
    peers.clear();
    other = nullptr;
    upstream = nullptr;
    if (enet != nullptr) {
        enet_host_flush(enet);
        enet_host_destroy(enet);
        enet = nullptr;
    }
    phase = State::CLOSED;
}

void NSession::letGo(const std::string& why, bool politely) {
    lastNotice = why;
    fprintf(stderr, "%s\n", why.c_str());
    if (other != nullptr) {
        if (politely) {
            enet_peer_disconnect_now(other->link, 0);
        } else {
            enet_peer_reset(other->link);
        }
        forget(other);
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
    // next player is welcome; the spectators stay for the next match.
    letGo(why, politely);
    refreshPhase();
    remotePick = 0;
    rttCount = 0;  // the next player's distance is its own
    sendStatus();
}

void NSession::drop(NPeer& peer, const std::string& why, bool politely) {
    lastNotice = why;
    fprintf(stderr, "%s\n", why.c_str());
    const bool wasSpectator = peer.role == NPeer::Role::SPECTATOR;
    if (politely) {
        enet_peer_disconnect_now(peer.link, why.find("keep up") != std::string::npos ? DROPPED_BEHIND : DROPPED_BAD);
    } else {
        enet_peer_reset(peer.link);
    }
    forget(&peer);
    if (wasSpectator) {
        dropped++;
        sendStatus();
    }
    refreshPhase();
}

void NSession::badPacket(NPeer& peer, const std::string& why) {
    if (&peer == other || (&peer == upstream && !spectator())) {
        lose("The other player sent a bad packet (" + why + "); the connection is closed.", true);
    } else if (&peer == upstream) {
        close("The game being watched sent a bad packet (" + why + "); the connection is closed.", true);
    } else if (peer.role == NPeer::Role::SPECTATOR) {
        // One spectator's nonsense is that spectator's problem only.
        drop(peer, "Dropped a spectator who sent a bad packet (" + why + ").", true);
    } else {
        // Nobody has said who it is yet: whoever sent it is a stranger, and
        // one datagram of a stranger's must not take the host off the
        // network.
        drop(peer, "Dropped a stranger who sent a bad packet (" + why + ").", false);
    }
}

void NSession::leave() { close("You left the network game.", true); }

// --- the handshake -------------------------------------------------------------------

void NSession::assign(NPeer& peer, vkn::Role asked) {
    if (asked == vkn::Role::SPECTATOR) {
        if (watchers() >= vkn::MAX_SPECTATORS) {
            NMessage full = greeting(vkn::Kind::REFUSE);
            full.refusal = vkn::Refusal::FULL;
            sendTo(peer.link, full, true);
            fprintf(stderr, "Refused a spectator: the game has no room for more.\n");
            enet_peer_disconnect_later(peer.link, 0);
            forget(&peer);
            refreshPhase();
            return;
        }
        peer.role = NPeer::Role::SPECTATOR;
        NMessage welcome = greeting(vkn::Kind::WELCOME);
        welcome.role = vkn::Role::SPECTATOR;
        sendTo(peer.link, welcome, true);
        // A match under way is watched from its first tick.
        if (playing) {
            sendTo(peer.link, startFor(matchNumber, current), true);
            peer.feed.start(matchNumber, clock());
        }
        refreshPhase();
        sendStatus();
        return;
    }
    // A player: the one side that is free, unless it asked for this game's.
    const vkn::Role mine = ownRole;
    vkn::Role theirs = asked;
    if (theirs == vkn::Role::EITHER) theirs = mine == vkn::Role::RIGHT ? vkn::Role::LEFT : vkn::Role::RIGHT;
    if (other != nullptr || theirs == mine) {
        NMessage refusal = greeting(vkn::Kind::REFUSE);
        refusal.refusal = other != nullptr ? vkn::Refusal::BUSY : vkn::Refusal::SIDE;
        sendTo(peer.link, refusal, true);
        fprintf(stderr, "%s\n", other != nullptr ? "Refused a player: this game has one already."
                                                 : "Refused a player: it asked for this game's own side.");
        enet_peer_disconnect_later(peer.link, 0);
        forget(&peer);
        refreshPhase();
        return;
    }
    if (mine == vkn::Role::EITHER) ownRole = theirs == vkn::Role::LEFT ? vkn::Role::RIGHT : vkn::Role::LEFT;
    peer.role = NPeer::Role::PLAYER;
    other = &peer;
    NMessage welcome = greeting(vkn::Kind::WELCOME);
    welcome.role = theirs;
    sendTo(peer.link, welcome, true);
    refreshPhase();
    lastNotice = "A player joined.";
    sendMenu();
}

void NSession::handleStranger(NPeer& peer, const NMessage& m) {
    if (m.kind == vkn::Kind::HELLO && !peer.helloHeard) {
        if (!sameVersions(m.protocol, m.gameVersion)) {
            NMessage refusal = greeting(vkn::Kind::REFUSE);
            refusal.refusal = vkn::Refusal::VERSIONS;
            sendTo(peer.link, refusal, true);
            lastNotice = "Refused a player: " + versionsText(m.protocol, m.gameVersion) + ".";
            fprintf(stderr, "%s\n", lastNotice.c_str());
            enet_peer_disconnect_later(peer.link, 0);
            forget(&peer);
            refreshPhase();
            return;
        }
        peer.helloHeard = true;
        return;
    }
    if (m.kind == vkn::Kind::ASK && peer.helloHeard) {
        assign(peer, m.role);
        return;
    }
    badPacket(peer, unexpected(m.kind));
}

void NSession::handleSpectator(NPeer& peer, const NMessage& m) {
    std::string why;
    if (m.kind != vkn::Kind::ACK) {
        badPacket(peer, unexpected(m.kind));
    } else if (!peer.feed.takeAck(m, why)) {
        badPacket(peer, why);
    }
}

void NSession::handleUpstream(const NMessage& m) {
    switch (m.kind) {
    case vkn::Kind::WELCOME: {
        if (!sameVersions(m.protocol, m.gameVersion)) {
            close("The host's versions differ: " + versionsText(m.protocol, m.gameVersion) + ".", true);
            return;
        }
        const bool wantsToWatch = ownRole == vkn::Role::SPECTATOR;
        const bool given = m.role == vkn::Role::SPECTATOR ? wantsToWatch
                                                          : !wantsToWatch && (ownRole == vkn::Role::EITHER || m.role == ownRole);
        if (!given) return badPacket(*upstream, "welcomed as another role than asked");
        phase = wantsToWatch ? State::WATCHING : State::CONNECTED;
        stateSince = clock();
        if (wantsToWatch) {
            upstream->role = NPeer::Role::PLAYER;  // the game watched; never a spectator of ours
            lastNotice = "Watching " + target + ".";
            return;
        }
        ownRole = m.role;
        upstream->role = NPeer::Role::PLAYER;
        other = upstream;
        lastNotice = "Joined " + target + ".";
        sendMenu();
        return;
    }
    case vkn::Kind::REFUSE:
        switch (m.refusal) {
        case vkn::Refusal::BUSY: close("The host has a player already.", true); return;
        case vkn::Refusal::FULL: close("The game has no room for more spectators.", true); return;
        case vkn::Refusal::SIDE: close("The host flies the side asked for.", true); return;
        case vkn::Refusal::VERSIONS: break;
        }
        close("The host refused: " + versionsText(m.protocol, m.gameVersion) + ".", true);
        return;
    case vkn::Kind::PING:
    case vkn::Kind::FLAGS:
        // ENet keeps no order between the reliable channel and the
        // unreliable one: a host's ping, or a spectator's first flags, can
        // overtake the welcome when the welcome's datagram was lost. Both
        // come again.
        return;
    default:
        badPacket(*upstream, unexpected(m.kind));
        return;
    }
}

void NSession::handleWatched(const NMessage& m) {
    std::string why;
    switch (m.kind) {
    case vkn::Kind::STATUS:
        heardStage = m.stage;
        heardWatchers = m.watchers;
        heardChoices[0] = m.leftChoice;
        heardChoices[1] = m.rightChoice;
        heardReady = m.readyBits;
        return;
    case vkn::Kind::START:
        watchedMatch.start(m.match);
        pendingStart = startOf(m);
        startPending = true;
        return;
    case vkn::Kind::FLAGS:
        if (!watchedMatch.take(m, clock(), why)) badPacket(*upstream, why);
        return;
    case vkn::Kind::END:
        watchedMatch.takeEnd(m);
        return;
    default:
        badPacket(*upstream, unexpected(m.kind));
        return;
    }
}

void NSession::handlePlayer(const NMessage& m) {
    std::string why;
    const bool menu = phase == State::CONNECTED && !playing;
    switch (m.kind) {
    case vkn::Kind::MENU:
        // A choice made while this side still ends its match is the next
        // menu's: keep it.
        remotePick = m.choice;
        remoteSet = m.ready;
        sendStatus();
        maybeStart();
        return;
    case vkn::Kind::START:
        if (ownSide() != SIDE_RIGHT || !menu) return badPacket(*other, "unexpected start");
        beginMatch(m, 0);
        return;
    case vkn::Kind::INPUT:
        // Late from an earlier match, or early for one whose start is still
        // on its way: it belongs to no match here.
        if (m.match != matchNumber || !(playing || finishing)) return;
        if (!lockstep.takeInput(m, why)) return badPacket(*other, why);
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
    default:
        return badPacket(*other, unexpected(m.kind));
    }
}

void NSession::handle(NPeer& peer, const uint8_t* data, size_t size) {
    NMessage m;
    std::string why;
    if (!decodeMessage(data, size, m, why)) {
        badPacket(peer, why);
        return;
    }
    peer.lastHeard = clock();
    if (&peer == upstream && phase == State::GREETING) {
        handleUpstream(m);
    } else if (peer.role == NPeer::Role::STRANGER && peer.incoming) {
        handleStranger(peer, m);
    } else if (peer.role == NPeer::Role::SPECTATOR) {
        handleSpectator(peer, m);
    } else if (&peer == upstream && phase == State::WATCHING) {
        handleWatched(m);
    } else if (&peer == other) {
        handlePlayer(m);
    } else {
        badPacket(peer, unexpected(m.kind));
    }
}

// --- the spectators ------------------------------------------------------------------

void NSession::feedSpectators(uint32_t now) {
    if (now - lastStatus >= STATUS_EVERY_MS) sendStatus();
    NMessage due[NFeed::BURST];
    for (size_t i = 0; i < peers.size();) {
        NPeer& p = *peers[i];
        if (p.role != NPeer::Role::SPECTATOR) {
            i++;
            continue;
        }
        if (p.feed.fellBehind(confirmedFlags, now)) {
            drop(p, "Dropped a spectator that could not keep up.", true);
            continue;  // the list has lost this one
        }
        const int32_t n = p.feed.due(confirmedFlags, now, due, NFeed::BURST);
        for (int32_t k = 0; k < n; k++) sendTo(p.link, due[k], false);
        i++;
    }
}

void NSession::acknowledge(uint32_t now) {
    NMessage ack;
    if (upstream != nullptr && watchedMatch.ackDue(now, ack)) sendTo(upstream->link, ack, false);
}

// --- the pass --------------------------------------------------------------------------

void NSession::service() {
    if (enet == nullptr) return;
    const Servicing guard(this);
    uint32_t now = clock();
    ENetEvent event;
    for (int32_t i = 0; i < EVENTS_PER_SERVICE && enet != nullptr && enet_host_service(enet, &event, 0) > 0; i++) {
        NPeer* peer = peerOf(event.peer);
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (hosting && peer == nullptr) {
                std::unique_ptr<NPeer> stranger(new (std::nothrow) NPeer());
                if (stranger == nullptr) {
                    enet_peer_reset(event.peer);
                    break;
                }
                stranger->link = event.peer;
                stranger->incoming = true;
                peer = stranger.get();
                peers.push_back(std::move(stranger));
                refreshPhase();
            } else if (peer == upstream && peer != nullptr) {
                NMessage ask;
                ask.kind = vkn::Kind::ASK;
                ask.role = ownRole;
                sendTo(peer->link, greeting(vkn::Kind::HELLO), true);
                sendTo(peer->link, ask, true);
                phase = State::GREETING;
                stateSince = now;
            } else {
                enet_peer_reset(event.peer);
                break;
            }
            peer->since = now;
            peer->lastHeard = now;
            enet_peer_timeout(event.peer, 0, SILENCE_MS, SILENCE_MS + 500);
            // ENet would drop unreliable packets when round trips vary, to
            // ease congestion; a few dozen small packets a second cause none,
            // and every drop would be a stall.
            enet_peer_throttle_configure(event.peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (peer != nullptr) {
                if (event.packet->dataLength > MAX_PACKET) {
                    badPacket(*peer, "a packet of " + std::to_string(event.packet->dataLength) +
                                         " bytes, over the limit of " + std::to_string(MAX_PACKET));
                } else {
                    handle(*peer, event.packet->data, event.packet->dataLength);
                }
            }
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (peer == nullptr) break;  // a refused one, let go
            if (peer == upstream && (phase == State::JOINING || phase == State::GREETING) && now - joinSince < JOIN_MS) {
                // A handshake that lost the wrong packet can end before it
                // began; while there is time, knock again. ENet has let go
                // of the old link already.
                ENetAddress again;
                again.host = hostIp;
                again.port = port;
                peer->link = enet_host_connect(enet, &again, vkn::CHANNELS, 0);
                phase = State::JOINING;
                stateSince = now;
                if (peer->link != nullptr) break;
            }
            if (peer == upstream && phase == State::JOINING) {
                forget(peer);
                close("No answer from " + target + ".", false);
            } else if (peer == upstream && spectator()) {
                forget(peer);
                close(event.data == DROPPED_BEHIND ? "The game dropped this spectator: it could not keep up."
                      : event.data == DROPPED_BAD  ? "The game dropped this spectator for a bad packet."
                                                   : "The game being watched left.",
                      false);
            } else if (peer == other) {
                forget(peer);  // ENet has let go of it already
                lose("The other player left.", false);
            } else {
                // A stranger or a spectator that went: only that one.
                const bool wasSpectator = peer->role == NPeer::Role::SPECTATOR;
                forget(peer);
                refreshPhase();
                if (wasSpectator) sendStatus();
            }
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
        }
    }
    if (enet == nullptr) return;
    // Read again: what was just handled is stamped later than the start.
    now = clock();

    if (phase == State::JOINING && now - joinSince > JOIN_MS) {
        close("No answer from " + target + ".", true);
        return;
    }
    if (!hosting && phase == State::GREETING && now - stateSince > JOIN_MS) {
        close("No welcome from " + target + ".", true);
        return;
    }
    for (size_t i = 0; i < peers.size();) {
        NPeer& p = *peers[i];
        if (p.role == NPeer::Role::STRANGER && p.incoming && now - p.since > JOIN_MS) {
            drop(p, "A player's handshake timed out.", false);
        } else if (p.role == NPeer::Role::SPECTATOR && now - p.lastHeard > SILENCE_MS) {
            drop(p, "Dropped a spectator that went silent.", false);
        } else {
            i++;
        }
    }
    if (phase == State::CONNECTED && other != nullptr && now - other->lastHeard > SILENCE_MS) {
        lose("The other player left.", false);
        return;
    }
    if (phase == State::WATCHING && upstream != nullptr && now - upstream->lastHeard > SILENCE_MS) {
        close("The game being watched left.", false);
        return;
    }

    if (phase == State::WATCHING) acknowledge(now);
    if (lockstep.started()) confirmedFlags.follow(lockstep, ownSide());
    feedSpectators(now);

    if (phase == State::CONNECTED && other != nullptr) {
        if (finishing && (lockstep.remoteAcknowledged() >= lockstep.newestOwn() || now - finishSince > FINISH_MS)) {
            finishing = false;
        }
        if (lockstep.started() && (playing || finishing)) {
            // Every new tick at once; the same again only while nothing new
            // comes (a wait, the pause, the end), to repair losses and carry
            // the acknowledgement.
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
    }
    enet_host_flush(enet);
}
