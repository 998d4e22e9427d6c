// ndiscovery.cpp: the discovery datagrams, and the two sockets that trade
// them.
#include "net/ndiscovery.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/hbytes.h"

namespace {

// The state byte's values, which began as "free" (0 or 1).
uint8_t stateByte(vkn::Stage stage) {
    return stage == vkn::Stage::WAITING ? 1 : stage == vkn::Stage::MATCH ? 2 : 0;
}

// Datagrams taken in one service: a flood waits for the next pass.
constexpr int32_t DATAGRAMS_PER_SERVICE = 64;

bool fail(std::string& why, const std::string& text) {
    why = text;
    return false;
}

int openSocket(bool broadcast) {
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return -1;
    const int yes = 1;
    if (broadcast) setsockopt(s, SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes);
    // Several hosts on one machine all hear a broadcast.
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const int flags = fcntl(s, F_GETFL, 0);
    if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) < 0) {
        close(s);
        return -1;
    }
    return s;
}

}  // namespace

size_t encodeDiscovery(const NDiscoveryMessage& m, uint8_t* out) {
    HByteWriter w;
    w.u32(vkd::MAGIC);
    w.u8(m.kind);
    w.u32(m.stamp);
    if (m.kind == vkd::ANSWER) {
        w.u16(m.protocol);
        w.u16(m.gamePort);
        w.u8(stateByte(m.stage));
        writeVersionText(w, m.gameVersion);
    }
    memcpy(out, w.data().data(), w.size());
    return w.size();
}

bool decodeDiscovery(const uint8_t* data, size_t size, NDiscoveryMessage& m, std::string& why) {
    why.clear();
    if (data == nullptr || size == 0) return fail(why, "empty datagram");
    HByteReader r(data, size);
    const uint32_t magic = r.u32();
    m = NDiscoveryMessage();
    m.kind = r.u8();
    m.stamp = r.u32();
    if (!r.ok()) return fail(why, "truncated datagram");
    if (magic != vkd::MAGIC) return fail(why, "not a Vektorak datagram (wrong magic)");
    if (m.kind == vkd::ANSWER) {
        m.protocol = r.u16();
        m.gamePort = r.u16();
        const uint8_t state = r.u8();
        if (!r.ok()) return fail(why, "truncated answer");
        if (m.gamePort == 0) return fail(why, "answer port 0 out of range");
        if (state > 2) return fail(why, "answer state " + std::to_string(state) + " out of range");
        m.stage = state == 1 ? vkn::Stage::WAITING : state == 2 ? vkn::Stage::MATCH : vkn::Stage::MENU;
        if (!readVersionText(r, m.gameVersion, why)) return why.empty() ? fail(why, "truncated answer") : false;
    } else if (m.kind != vkd::REQUEST) {
        return fail(why, "unknown kind " + std::to_string(m.kind));
    }
    if (!r.atEnd()) return fail(why, "bytes after the datagram");
    return true;
}

bool NFoundGame::joinable() const { return sameVersions(protocol, gameVersion.c_str()); }

uint32_t discoveryAddress() {
    const char* text = getenv("VEKTORAK_DISCOVERY_ADDRESS");
    in_addr address;
    if (text != nullptr && inet_pton(AF_INET, text, &address) == 1) return address.s_addr;
    if (text != nullptr) fprintf(stderr, "VEKTORAK_DISCOVERY_ADDRESS is not a dotted address: %s\n", text);
    return htonl(INADDR_BROADCAST);
}

uint16_t discoveryPort() {
    const char* text = getenv("VEKTORAK_DISCOVERY_PORT");
    const long port = text != nullptr ? strtol(text, nullptr, 10) : 0;
    return port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : vkd::PORT;
}

// --- the host's side ---------------------------------------------------------------

NDiscoveryAnswerer::~NDiscoveryAnswerer() {
    if (socket >= 0) close(socket);
}

bool NDiscoveryAnswerer::open(uint16_t gamePort) {
    game = gamePort;
    socket = openSocket(false);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(discoveryPort());
    if (socket < 0 || bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        fprintf(stderr, "Unable to answer on UDP port %u: this game is not found on the local network (%s).\n",
                static_cast<unsigned>(discoveryPort()), strerror(errno));
        if (socket >= 0) close(socket);
        socket = -1;
        return false;
    }
    return true;
}

void NDiscoveryAnswerer::service(vkn::Stage stage) {
    if (socket < 0) return;
    for (int32_t i = 0; i < DATAGRAMS_PER_SERVICE; i++) {
        uint8_t bytes[vkd::MAX_DATAGRAM + 1];
        sockaddr_in from = {};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(socket, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0) return;  // nothing more now
        NDiscoveryMessage request;
        std::string why;
        // Junk, and other games' answers, go unanswered.
        if (!decodeDiscovery(bytes, static_cast<size_t>(size), request, why) || request.kind != vkd::REQUEST) continue;
        NDiscoveryMessage answer;
        answer.kind = vkd::ANSWER;
        answer.stamp = request.stamp;
        answer.gamePort = game;
        answer.stage = stage;
        strncpy(answer.gameVersion, gameVersion(), vkn::MAX_VERSION_TEXT);
        uint8_t out[vkd::MAX_DATAGRAM];
        const size_t length = encodeDiscovery(answer, out);
        if (sendto(socket, out, length, 0, reinterpret_cast<sockaddr*>(&from), fromSize) == static_cast<ssize_t>(length)) {
            answers++;
        }
    }
}

// --- the seeker's side -------------------------------------------------------------

NDiscoveryFinder::~NDiscoveryFinder() {
    if (socket >= 0) close(socket);
}

bool NDiscoveryFinder::open() {
    socket = openSocket(true);
    if (socket < 0) {
        fprintf(stderr, "Unable to look for games on the local network: %s.\n", strerror(errno));
        return false;
    }
    address = discoveryAddress();
    port = discoveryPort();
    return true;
}

void NDiscoveryFinder::service(uint32_t now) {
    if (socket < 0) return;
    if (!asked || now - lastAsked >= vkd::REQUEST_EVERY_MS) {
        NDiscoveryMessage request;
        request.stamp = now;
        uint8_t out[vkd::MAX_DATAGRAM];
        const size_t length = encodeDiscovery(request, out);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        to.sin_port = htons(port);
        sendto(socket, out, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        asked = true;
        lastAsked = now;
    }
    for (int32_t i = 0; i < DATAGRAMS_PER_SERVICE; i++) {
        uint8_t bytes[vkd::MAX_DATAGRAM + 1];
        sockaddr_in from = {};
        socklen_t fromSize = sizeof from;
        const ssize_t size = recvfrom(socket, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0) break;
        NDiscoveryMessage answer;
        std::string why;
        if (!decodeDiscovery(bytes, static_cast<size_t>(size), answer, why) || answer.kind != vkd::ANSWER) continue;
        const uint32_t rtt = now - answer.stamp;
        if (rtt > 10000) continue;  // not a stamp of ours
        char dotted[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, dotted, sizeof dotted);
        auto known = std::find_if(found.begin(), found.end(), [&](const NFoundGame& g) {
            return g.address == dotted && g.port == answer.gamePort;
        });
        if (known == found.end()) {
            if (found.size() >= vkd::MOST_GAMES) continue;
            found.push_back(NFoundGame());
            known = found.end() - 1;
            known->address = dotted;
            known->port = answer.gamePort;
        }
        known->rttMs = static_cast<int32_t>(rtt);
        known->protocol = answer.protocol;
        known->gameVersion = answer.gameVersion;
        known->stage = answer.stage;
        known->heardAt = now;
    }
    found.erase(std::remove_if(found.begin(), found.end(),
                               [now](const NFoundGame& g) { return now - g.heardAt > vkd::FORGET_MS; }),
                found.end());
}
