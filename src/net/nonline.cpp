// nonline.cpp: the lobby's requests and answers, the punches, and the relay
// when they fail.
#include "net/nonline.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <random>

#include <glib.h>

#include "net/naddress.h"
#include "net/nrelaylink.h"
#include "net/nsession.h"

namespace {

constexpr uint32_t LOOPBACK = 0x7F000001;
// Meetings under way at once: the player and every spectator, and a few
// more that will be refused.
constexpr size_t MAX_MEETINGS = 1 + vkn::MAX_SPECTATORS + 3;
// libnice's ready sources run a pass: its timers and a few datagrams.
constexpr int32_t CONTEXT_BURST = 32;

// Where the session reaches a relay: its bridge on this machine.
NLobbyAddress bridgeOf(const NRelayLink& relay) { return NLobbyAddress{LOOPBACK, relay.bridgePort()}; }

uint64_t drawNonce() {
    std::random_device device;
    return static_cast<uint64_t>(device()) << 32 | device();
}

}  // namespace

// Both ends of one introduction, as this side sees it.
struct NOnline::Meeting {
    uint64_t nonce = 0;
    bool hosting = false;   // this side hosts
    bool watch = false;     // the joiner watches
    std::string code;
    std::vector<NLobbyAddress> addresses;  // the other side's, public first
    NLobbyAddress turn;
    std::string username;
    std::string password;
    uint32_t since = 0;     // the introduction
    uint32_t lastPunch = 0;
    // Every source a punch came from, first first: a joiner connects to the
    // first.
    std::vector<NLobbyAddress> punchedFrom;
    std::unique_ptr<NRelayLink> relay;
    uint32_t lastSignal = 0;
    bool joined = false;    // a joiner's session knocks at `at`
    bool done = false;      // connected at `at` over `path`
    Path path = Path::NONE;
    NLobbyAddress at;
};

NOnline::NOnline() {}

NOnline::~NOnline() { stop(); }

bool NOnline::start(NSession& s, const std::string& text) {
    stop();
    std::string host;
    uint16_t port = 0;
    if (!parseAddress(text, host, port)) {
        fail("Not a lobby address: " + text + ".");
        return false;
    }
    if (text.find(':') == std::string::npos) port = vkl::DEFAULT_PORT;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        fail("Unknown lobby host: " + host + ".");
        return false;
    }
    lobby.ip = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    lobby.port = port;
    freeaddrinfo(found);
    lobbyText = host + ":" + std::to_string(port);
    session = &s;
    context = g_main_context_new();
    session->setRawHandler(
        [this](uint32_t ip, uint16_t from, const uint8_t* data, size_t size) { return onDatagram(ip, from, data, size); });
    return true;
}

void NOnline::stop() {
    if (session != nullptr) {
        if (opened && haveCookie) {
            NLobbyMessage m;
            m.type = vkl::Type::CLOSE;
            m.cookie = cookie;
            snprintf(m.code, sizeof m.code, "%s", ownCode.c_str());
            sendLobby(m);
        }
        session->setRawHandler(nullptr);
    }
    meetings.clear();
    if (context != nullptr) {
        // The agents' last sources (their sockets' closing) run out here.
        for (int32_t i = 0; i < CONTEXT_BURST && g_main_context_iteration(context, FALSE); i++) {
        }
        g_main_context_unref(context);
        context = nullptr;
    }
    session = nullptr;
    haveCookie = helloing = heardLobby = false;
    opening = opened = listing = joining = false;
    ownCode.clear();
    listed.clear();
    usedPath = Path::NONE;
    usedText.clear();
}

void NOnline::fail(const std::string& why) {
    pendingNotice = why;
    noticePending = true;
    fprintf(stderr, "%s\n", why.c_str());
}

bool NOnline::takeNotice(std::string& notice) {
    if (!noticePending) return false;
    noticePending = false;
    notice = pendingNotice;
    return true;
}

bool NOnline::joinUnderWay() const {
    return joining || std::any_of(meetings.begin(), meetings.end(),
                                  [](const std::unique_ptr<Meeting>& m) { return !m->hosting && !m->done; });
}

std::string NOnline::pathText() const {
    switch (usedPath) {
    case Path::DIRECT: return "direct to " + usedText;
    case Path::RELAY: return "relayed through " + usedText;
    case Path::NONE: break;
    }
    return "";
}

NLobbyAddress NOnline::ownAddress() const {
    return NLobbyAddress{addressTowards(lobby.ip), session != nullptr ? session->localPort() : uint16_t(0)};
}

// --- requests ----------------------------------------------------------------------------

void NOnline::want(uint32_t now) {
    if (haveCookie) {
        sendRequests(now, false);
    } else if (!helloing) {
        helloing = true;
        helloSince = now;
        lastHello = now - HELLO_EVERY_MS;
    }
}

bool NOnline::silentSince(uint32_t since, uint32_t now) const {
    return now - since > NO_LOBBY_MS && (!heardLobby || static_cast<int32_t>(lastHeard - since) < 0);
}

void NOnline::sendTo(const NLobbyAddress& to, const NLobbyMessage& m) {
    uint8_t bytes[vkl::MAX_DATAGRAM];
    const size_t size = encodeLobby(m, bytes);
    if (session != nullptr) session->sendRaw(to.ip, to.port, bytes, size);
}

void NOnline::sendOpen() {
    NLobbyMessage m;
    m.type = vkl::Type::OPEN;
    m.cookie = cookie;
    snprintf(m.code, sizeof m.code, "%s", ownCode.c_str());
    m.stage = session->stage();
    m.watchers = static_cast<uint8_t>(std::clamp<int32_t>(session->watchers(), 0, vkn::MAX_SPECTATORS));
    m.hostChoice = static_cast<uint8_t>(std::clamp<ControllerChoice>(session->ownChoice(), 0, vkn::CHOICES - 1));
    m.addressCount = 1;
    m.addresses[0] = ownAddress();
    sendLobby(m);
    shownStage = session->stage();
    shownWatchers = session->watchers();
    shownChoice = session->ownChoice();
}

void NOnline::sendJoin() {
    NLobbyMessage m;
    m.type = vkl::Type::JOIN;
    m.cookie = cookie;
    snprintf(m.code, sizeof m.code, "%s", joinCode.c_str());
    m.want = joinWatch ? vkl::Want::WATCH : vkl::Want::PLAY;
    m.nonce = joinNonce;
    m.addressCount = 1;
    m.addresses[0] = ownAddress();
    sendLobby(m);
}

void NOnline::sendList() {
    NLobbyMessage m;
    m.type = vkl::Type::LIST;
    m.cookie = cookie;
    m.page = 0;
    sendLobby(m);
}

void NOnline::sendRequests(uint32_t now, bool all) {
    // What the list shows changed: said at once (at most every RESEND_MS),
    // not at the next refresh.
    const bool changed = opened && (session->stage() != shownStage || session->watchers() != shownWatchers ||
                                    session->ownChoice() != shownChoice);
    if (opening && (all || now - lastOpen >= (opened && !changed ? REFRESH_MS : RESEND_MS))) {
        sendOpen();
        lastOpen = now;
    }
    if (listing && (all || now - lastList >= RESEND_MS)) {
        sendList();
        lastList = now;
    }
    if (joining && (all || now - lastJoin >= RESEND_MS)) {
        sendJoin();
        lastJoin = now;
    }
}

void NOnline::openGame() {
    if (session == nullptr || opening) return;
    opening = true;
    opened = false;
    const uint32_t now = NSession::clock();
    openSince = now;
    lastOpen = now - RESEND_MS;
    want(now);
}

void NOnline::requestList() {
    if (session == nullptr) return;
    const uint32_t now = NSession::clock();
    if (!listing) listSince = now;
    listing = true;
    lastList = now - RESEND_MS;
    want(now);
}

void NOnline::join(const std::string& typed, bool watch) {
    if (session == nullptr) return;
    std::string code;
    for (char c : typed) {
        if (!isspace(static_cast<unsigned char>(c))) code += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    // Not a code the lobby could have given: no need to ask it (nor to count
    // as a wrong guess there).
    if (!isLobbyCode(code.c_str())) {
        fail("No game with code " + code + ".");
        return;
    }
    joining = true;
    joinWatch = watch;
    joinCode = code;
    joinNonce = drawNonce();
    const uint32_t now = NSession::clock();
    joinSince = now;
    lastJoin = now - RESEND_MS;
    want(now);
}

// --- what arrives --------------------------------------------------------------------------

bool NOnline::onDatagram(uint32_t ip, uint16_t port, const uint8_t* data, size_t size) {
    if (!isLobbyDatagram(data, size)) return false;
    NLobbyMessage m;
    const char* why = nullptr;
    if (!decodeLobby(data, size, m, why)) return true;  // ours, and nonsense
    const NLobbyAddress from{ip, port};
    if (m.type == vkl::Type::PUNCH) {
        onPunch(from, m);
    } else if (from == lobby) {
        onLobby(m, NSession::clock());
    }
    return true;
}

void NOnline::onLobby(const NLobbyMessage& m, uint32_t now) {
    heardLobby = true;
    lastHeard = now;
    switch (m.type) {
    case vkl::Type::COOKIE:
        // The first, or a new one after ours went stale: whatever waits goes
        // again at once.
        cookie = m.cookie;
        haveCookie = true;
        helloing = false;
        sendRequests(now, true);
        return;
    case vkl::Type::OPENED:
        if (!opening) return;
        opened = true;
        if (ownCode != m.code) {
            ownCode = m.code;
            printf("Online game code: %s\n", ownCode.c_str());
            fflush(stdout);
        }
        return;
    case vkl::Type::GAMES:
        if (!listing) return;
        listing = false;
        listed.clear();
        for (uint8_t i = 0; i < m.entryCount; i++) {
            NOnlineGame g;
            g.code = m.entries[i].code;
            g.stage = m.entries[i].stage;
            g.watchers = m.entries[i].watchers;
            g.hostChoice = m.entries[i].hostChoice;
            listed.push_back(g);
        }
        return;
    case vkl::Type::NOGAME:
        if (!joining || joinCode != m.code) return;
        joining = false;
        fail("No game with code " + joinCode + ".");
        return;
    case vkl::Type::INTRO: onIntro(m, now); return;
    case vkl::Type::FORWARD: onForward(m, now); return;
    default: return;  // requests: not the lobby's to send
    }
}

NOnline::Meeting* NOnline::meetingOf(uint64_t nonce) {
    for (const auto& m : meetings) {
        if (m->nonce == nonce) return m.get();
    }
    return nullptr;
}

void NOnline::onIntro(const NLobbyMessage& m, uint32_t now) {
    const bool asHost = m.side == vkl::Side::HOST;
    if (asHost ? !(opening && ownCode == m.code) : !(joining && m.nonce == joinNonce && joinCode == m.code)) return;
    // A JOIN sent again is introduced again: the first introduction stands.
    if (meetingOf(m.nonce) != nullptr || meetings.size() >= MAX_MEETINGS) return;
    if (!asHost) joining = false;
    std::unique_ptr<Meeting> meeting(new Meeting());
    meeting->nonce = m.nonce;
    meeting->hosting = asHost;
    meeting->watch = m.want == vkl::Want::WATCH;
    meeting->code = m.code;
    meeting->since = now;
    meeting->lastPunch = now - PUNCH_EVERY_MS;
    auto add = [&](const NLobbyAddress& a) {
        if (a.ip == 0 || a.port == 0) return;
        if (std::find(meeting->addresses.begin(), meeting->addresses.end(), a) == meeting->addresses.end()) {
            meeting->addresses.push_back(a);
        }
    };
    add(m.publicAddress);
    for (uint8_t i = 0; i < m.addressCount; i++) add(m.addresses[i]);
    meeting->turn = m.turn;
    meeting->username = m.username;
    meeting->password = m.password;
    meetings.push_back(std::move(meeting));
}

void NOnline::onForward(const NLobbyMessage& m, uint32_t) {
    Meeting* meeting = meetingOf(m.nonce);
    if (meeting == nullptr || meeting->code != m.code || meeting->done) return;
    // The other side went to the relay first: follow at once.
    if (meeting->relay == nullptr) startRelay(*meeting);
    if (meeting->relay != nullptr) meeting->relay->takeRemote(m.blob, m.blobSize);
}

void NOnline::onPunch(const NLobbyAddress& from, const NLobbyMessage& m) {
    Meeting* meeting = meetingOf(m.nonce);
    if (meeting == nullptr || !punching) return;
    if (std::find(meeting->punchedFrom.begin(), meeting->punchedFrom.end(), from) == meeting->punchedFrom.end() &&
        meeting->punchedFrom.size() < 8) {
        meeting->punchedFrom.push_back(from);
    }
    // The host answers every probe, so that the joiner hears one even when
    // the host's own punches all went to addresses that lead nowhere.
    if (meeting->hosting && !m.answer) {
        NLobbyMessage answer;
        answer.type = vkl::Type::PUNCH;
        answer.nonce = m.nonce;
        answer.answer = true;
        sendTo(from, answer);
    }
}

// --- the two paths -------------------------------------------------------------------------

void NOnline::startRelay(Meeting& m) {
    if (m.relay != nullptr || m.turn.ip == 0) return;
    m.relay.reset(new NRelayLink(context, !m.hosting, session->localPort()));
    std::string why;
    if (!m.relay->start(m.turn, m.username.c_str(), m.password.c_str(), addressTowards(m.turn.ip), why)) {
        fprintf(stderr, "The relay could not start: %s.\n", why.c_str());
        m.relay.reset();
    }
}

void NOnline::connected(Meeting& m, Path how, const NLobbyAddress& at) {
    m.done = true;
    m.path = how;
    m.at = at;
    const NLobbyAddress shown = how == Path::RELAY ? m.turn : at;
    // The player's path is the game's; a spectator's is its own business.
    if (m.watch && m.hosting) return;
    usedPath = how;
    usedText = dottedAddress(shown.ip, shown.port);
    if (m.watch) return;
    printf("Connected to the other player %s at %s.\n", how == Path::RELAY ? "through the relay" : "directly",
           usedText.c_str());
    fflush(stdout);
}

void NOnline::flushRelays() {
    for (const std::unique_ptr<Meeting>& m : meetings) {
        if (m->relay != nullptr) m->relay->service();
    }
}

bool NOnline::serviceMeeting(Meeting& m, uint32_t now) {
    if (m.relay != nullptr) m.relay->service();
    if (m.done) {
        if (session->greetedAt(m.at.ip, m.at.port)) return true;
        // The connection is gone, and with it the meeting.
        if (usedPath == m.path && !(m.watch && m.hosting)) usedPath = Path::NONE;
        return false;
    }
    // Connected: the handshake is over on whichever path.
    if (m.joined && session->greetedAt(m.at.ip, m.at.port)) {
        const bool relayed = m.relay != nullptr && m.at == bridgeOf(*m.relay);
        if (!relayed) m.relay.reset();
        connected(m, relayed ? Path::RELAY : Path::DIRECT, m.at);
        return true;
    }
    if (m.hosting) {
        // A joiner's ENet comes from where its punches came from, or from an
        // address the lobby named.
        for (const std::vector<NLobbyAddress>* list : {&m.punchedFrom, &m.addresses}) {
            for (const NLobbyAddress& a : *list) {
                if (!session->greetedAt(a.ip, a.port)) continue;
                m.relay.reset();
                connected(m, Path::DIRECT, a);
                return true;
            }
        }
        if (m.relay != nullptr && session->greetedAt(LOOPBACK, m.relay->bridgePort())) {
            connected(m, Path::RELAY, bridgeOf(*m.relay));
            return true;
        }
    }
    // The session gave up on the path (refused, or no answer): it has said
    // why.
    if (!m.hosting && m.joined && !session->open()) return false;
    if (now - m.since > GIVE_UP_MS) {
        fail("Could not reach the other player, even through the relay.");
        return false;
    }
    if (punching && now - m.lastPunch >= PUNCH_EVERY_MS) {
        NLobbyMessage punch;
        punch.type = vkl::Type::PUNCH;
        punch.nonce = m.nonce;
        for (const NLobbyAddress& a : m.addresses) sendTo(a, punch);
        m.lastPunch = now;
    }
    // The host's INTRO may have been lost, and then it knows nothing of this
    // meeting: the JOIN goes again (the lobby introduces both sides again,
    // and a side that has the meeting keeps its first) until a path opens.
    if (!m.hosting && !m.joined && haveCookie && now - lastJoin >= RESEND_MS) {
        sendJoin();
        lastJoin = now;
    }
    const vkn::Role ask = m.watch ? vkn::Role::SPECTATOR : vkn::Role::EITHER;
    if (!m.hosting && !m.joined && !m.punchedFrom.empty()) {
        // The first path that answered; a relay begun meanwhile is dropped.
        m.relay.reset();
        m.joined = true;
        m.at = m.punchedFrom.front();
        session->joinAddress(m.at.ip, m.at.port, ask);
        return true;
    }
    const bool late = now - m.since >= RELAY_AFTER_MS;
    if (m.relay == nullptr && (!punching || (late && !(m.joined || (m.hosting && !m.punchedFrom.empty()))))) {
        startRelay(m);
    }
    if (m.relay == nullptr) return true;
    if (!m.relay->localBlob().empty() && now - m.lastSignal >= RESEND_MS && haveCookie) {
        NLobbyMessage signal;
        signal.type = vkl::Type::SIGNAL;
        signal.cookie = cookie;
        snprintf(signal.code, sizeof signal.code, "%s", m.code.c_str());
        signal.nonce = m.nonce;
        signal.blobSize = static_cast<uint16_t>(m.relay->localBlob().size());
        std::copy(m.relay->localBlob().begin(), m.relay->localBlob().end(), signal.blob);
        sendLobby(signal);
        m.lastSignal = now;
    }
    if (!m.hosting && !m.joined && m.relay->ready()) {
        m.joined = true;
        m.at = bridgeOf(*m.relay);
        session->joinAddress(m.at.ip, m.at.port, ask);
    }
    return true;
}

void NOnline::service() {
    if (session == nullptr) return;
    const uint32_t now = NSession::clock();
    for (int32_t i = 0; i < CONTEXT_BURST && g_main_context_iteration(context, FALSE); i++) {
    }
    if (helloing) {
        if (now - helloSince > NO_LOBBY_MS) {
            helloing = false;
            opening = listing = joining = false;
            fail("No lobby answers at " + lobbyText + ".");
        } else if (now - lastHello >= HELLO_EVERY_MS) {
            NLobbyMessage hello;
            hello.type = vkl::Type::HELLO;
            hello.helloSize = vkl::HELLO_SIZE;
            sendLobby(hello);
            lastHello = now;
        }
    }
    if (haveCookie) {
        const bool silent = (opening && !opened && silentSince(openSince, now)) || (listing && silentSince(listSince, now)) ||
                            (joining && silentSince(joinSince, now));
        if (silent) {
            opening = opening && opened;
            listing = joining = false;
            fail("No lobby answers at " + lobbyText + ".");
        }
        sendRequests(now, false);
    }
    for (size_t i = 0; i < meetings.size();) {
        if (serviceMeeting(*meetings[i], now)) {
            i++;
        } else {
            meetings.erase(meetings.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}
