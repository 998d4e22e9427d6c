// ndiscovery.h: finding the games hosted on the local network.
//
// A game on the network screen broadcasts a REQUEST every second to UDP
// port vkd::PORT; every hosting game answers the sender with an ANSWER:
// its protocol and game versions, its game port, and where it stands:
// waiting for a player, both players in the menu, or a match under way.
// The round trip is the answer's echo of the request's stamp.
//
//   kind      fields (little-endian, nothing after them)
//   REQUEST   magic u32, kind u8 (1), stamp u32
//   ANSWER    magic u32, kind u8 (2), stamp u32, protocol u16, game port
//             u16 (1..65535), state u8 (0 both players in the menu, 1
//             waiting for a player, 2 a match under way), game version (u8
//             length 1..vkn::MAX_VERSION_TEXT, printable ASCII)
//
// The state byte was once "free" (0 or 1, the same meanings): a game of
// that time still lists a newer one as taken or free, and leaves it out
// while it plays a match.
//
// Datagrams are hostile input like every packet: decodeDiscovery reads
// nothing past its size and refuses any other length or value. A flood
// costs CPU and nothing else: each service() reads a bounded number of
// datagrams, keeps a bounded list, and allocates nothing per datagram
// beyond it.
//
// Where requests go. The broadcast address 255.255.255.255, or the one in
// VEKTORAK_DISCOVERY_ADDRESS (tests: 127.0.0.1, so that nothing leaves the
// machine); the port vkd::PORT, or VEKTORAK_DISCOVERY_PORT (tests, several
// hosts on one machine at once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/nprotocol.h"

namespace vkd {

constexpr uint32_t MAGIC = 0x31444B56;  // "VKD1" on the wire
// Beside the game's port, and as clear of ports others commonly claim.
constexpr uint16_t PORT = vkn::DEFAULT_PORT + 1;
constexpr uint8_t REQUEST = 1;
constexpr uint8_t ANSWER = 2;
constexpr size_t MAX_DATAGRAM = 4 + 1 + 4 + 2 + 2 + 1 + 1 + vkn::MAX_VERSION_TEXT;
constexpr uint32_t REQUEST_EVERY_MS = 1000;
// A game not heard of for this long is taken off the list.
constexpr uint32_t FORGET_MS = 3500;
constexpr size_t MOST_GAMES = 16;

}  // namespace vkd

struct NDiscoveryMessage {
    uint8_t kind = vkd::REQUEST;
    uint32_t stamp = 0;
    // ANSWER
    uint16_t protocol = vkn::PROTOCOL;
    uint16_t gamePort = vkn::DEFAULT_PORT;
    vkn::Stage stage = vkn::Stage::WAITING;
    char gameVersion[vkn::MAX_VERSION_TEXT + 1] = {};
};

// Writes `message` into `out` (room for vkd::MAX_DATAGRAM bytes); returns
// its length.
size_t encodeDiscovery(const NDiscoveryMessage& message, uint8_t* out);
// False, with `why` ("answer port 0 out of range"), for anything the table
// above does not allow.
bool decodeDiscovery(const uint8_t* data, size_t size, NDiscoveryMessage& message, std::string& why);

// A game found: where, how far, and whether it can be joined from here.
struct NFoundGame {
    std::string address;  // dotted
    uint16_t port = 0;
    int32_t rttMs = 0;
    uint16_t protocol = 0;
    std::string gameVersion;
    vkn::Stage stage = vkn::Stage::MENU;
    uint32_t heardAt = 0;
    // Waiting for a player: it can be joined.
    bool free() const { return stage == vkn::Stage::WAITING; }
    // Same protocol and game version as this game.
    bool joinable() const;
};

// A hosting game's side: answers every request on the discovery port.
class NDiscoveryAnswerer {
public:
    NDiscoveryAnswerer() {}
    ~NDiscoveryAnswerer();
    NDiscoveryAnswerer(const NDiscoveryAnswerer&) = delete;
    NDiscoveryAnswerer& operator=(const NDiscoveryAnswerer&) = delete;

    // Listens for requests about the game on `gamePort`. False, with the
    // reason on standard error, when the discovery port cannot be had (the
    // game is then not found, and can still be joined by its address).
    bool open(uint16_t gamePort);
    // Answers what has come, saying the game's `stage`.
    void service(vkn::Stage stage);
    uint32_t answered() const { return answers; }

private:
    int socket = -1;
    uint16_t game = 0;
    uint32_t answers = 0;
};

// The network screen's side: asks every second, lists who answers.
class NDiscoveryFinder {
public:
    NDiscoveryFinder() {}
    ~NDiscoveryFinder();
    NDiscoveryFinder(const NDiscoveryFinder&) = delete;
    NDiscoveryFinder& operator=(const NDiscoveryFinder&) = delete;

    // False, with the reason on standard error, without a socket.
    bool open();
    // Sends the request when due, takes the answers, forgets the silent.
    void service(uint32_t nowMs);
    // Oldest first: the first found stays first.
    const std::vector<NFoundGame>& games() const { return found; }

private:
    int socket = -1;
    uint32_t address = 0;  // network byte order
    uint16_t port = 0;
    bool asked = false;
    uint32_t lastAsked = 0;
    std::vector<NFoundGame> found;
};

// Where requests go (see above): network byte order, and the port.
uint32_t discoveryAddress();
uint16_t discoveryPort();
