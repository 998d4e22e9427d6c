// llobby.h: the online lobby itself, as pure logic: datagrams in (with the
// address they came from and the time), the datagrams to send out. No
// sockets, no clock: the server (lserver.h) and the tests drive it alike.
//
// What it keeps, in memory only, in tables sized once at start:
//   games          code -> the host's address as seen, the addresses it
//                  reports, what the menu shows, when it last spoke. A game
//                  is gone EXPIRE_MS after its host's last OPEN: at
//                  last + EXPIRE_MS exactly it no longer exists.
//   introductions  nonce -> the game, both sides' addresses: kept EXPIRE_MS
//                  from the JOIN, for SIGNALs to be forwarded to the other
//                  side.
//   addresses      per IPv4 address: a token bucket, the games it hosts, its
//                  wrong codes. Made only for addresses proven by a cookie,
//                  so that forged sources cannot fill the table.
//
// The order a request goes through: decode (junk stops here, unanswered);
// the address's bucket (an empty one stops it); HELLO or a bad cookie get a
// COOKIE if it fits in the request, and nothing else; then the request.
//
// Cookies. A keyed hash (SipHash-2-4, key drawn at start) of address, port
// and the COOKIE_PERIOD_MS period; the current and the previous period are
// accepted, so a cookie lives between one and two periods.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lobby/lflatindex.h"
#include "net/nlobbyprotocol.h"

namespace vkl {

// A registration or an introduction lives this long after its last word.
constexpr uint64_t EXPIRE_MS = 30000;
constexpr uint64_t COOKIE_PERIOD_MS = 60000;
// Per IPv4 address. A home behind one address (or a carrier's NAT behind
// which many homes sit) refreshes each of its games every 10 s and pages
// the list now and then: 32 requests a second, in bursts of 64, is far more.
constexpr uint32_t BUCKET_PER_SECOND = 32;
constexpr uint32_t BUCKET_BURST = 64;
constexpr uint32_t MAX_GAMES_PER_ADDRESS = 64;
// Wrong codes in a JOIN: after WRONG_CODES_ALLOWED of them within
// WRONG_CODE_WINDOW_MS of the first, the address's JOINs go unanswered until
// that window ends. 10 a minute makes a blind search of the 244 million codes
// for one of 10,000 games take about 17 days.
constexpr uint32_t WRONG_CODES_ALLOWED = 10;
constexpr uint64_t WRONG_CODE_WINDOW_MS = 60000;

}  // namespace vkl

// A datagram to send.
struct LAnswer {
    NLobbyAddress to;
    size_t size = 0;
    uint8_t bytes[vkl::MAX_DATAGRAM];
};

struct LLobbyConfig {
    // Draws the game codes; the same seed, the same codes (tests).
    uint64_t seed = 1;
    // The cookies' key: secret, drawn at start by the server.
    uint64_t cookieKey[2] = {0, 0};
    // Capacity. Memory is taken for this many at start (bytes() tells).
    uint32_t maxGames = 32768;
    uint32_t maxIntroductions = 65536;
    uint32_t maxAddresses = 65536;
    // The TURN server handed to both sides of an introduction; ip 0: none,
    // and INTRO carries no relay.
    NLobbyAddress turn;
    std::string turnSecret;
    // Seconds since 1970 at nowMs 0, for the TURN credentials' expiry.
    int64_t unixAtZero = 0;
};

// What the lobby has seen, for the server's last line and the benchmark.
struct LLobbyStats {
    uint64_t datagrams = 0;
    uint64_t refused = 0;      // not a request the table allows
    uint64_t limited = 0;      // the address's bucket was empty
    uint64_t silenced = 0;     // JOINs unanswered after too many wrong codes
    uint64_t unprovenIn = 0;   // bytes of requests without a valid cookie
    uint64_t unprovenOut = 0;  // bytes answered to them
    uint64_t full = 0;         // an OPEN or JOIN found its table full
};

class LLobby {
public:
    // At most this many answers to one request: an INTRO to each side.
    static constexpr size_t MAX_ANSWERS = 2;

    explicit LLobby(const LLobbyConfig& config);

    // Takes one datagram of `size` bytes from `from` at `nowMs` (a clock
    // that never goes back) and writes up to MAX_ANSWERS datagrams to send
    // into `answers`; returns how many. Allocates nothing (the credentials
    // aside: one GLib string per INTRO pair).
    size_t handle(uint64_t nowMs, NLobbyAddress from, const uint8_t* bytes, size_t size, LAnswer* answers);
    // Frees the games and introductions that are gone, and the addresses
    // that no longer need remembering. Call about once a second: what is
    // gone already counts as gone in handle() before this runs.
    void expire(uint64_t nowMs);

    // Games open at `nowMs`.
    uint32_t games(uint64_t nowMs) const;
    // Whether the game `code` is open at `nowMs`.
    bool isOpen(const char* code, uint64_t nowMs) const;
    // The cookie an address holds in the period of `nowMs` (tests).
    uint64_t cookieFor(NLobbyAddress address, uint64_t nowMs) const;
    const LLobbyStats& stats() const { return counts; }
    // Memory taken by the tables.
    size_t bytes() const;

private:
    struct Game {
        char code[vkl::CODE_LENGTH + 1];
        NLobbyAddress host;
        NLobbyAddress reported[vkl::MAX_ADDRESSES];
        uint8_t reportedCount;
        vkn::Stage stage;
        uint8_t watchers;
        uint8_t hostChoice;
        uint64_t lastMs;
        uint32_t listed;  // its place in `openSlots`
    };
    struct Introduction {
        uint64_t nonce;
        char code[vkl::CODE_LENGTH + 1];
        NLobbyAddress host;
        NLobbyAddress joiner;
        uint64_t madeMs;
    };
    struct Address {
        uint32_t ip;
        uint32_t milliTokens;
        uint64_t refilledMs;
        uint32_t hosted;
        uint32_t wrongCodes;
        uint64_t firstWrongMs;
    };

    uint64_t cookie(NLobbyAddress address, uint64_t period) const;
    bool cookieOk(NLobbyAddress address, uint64_t value, uint64_t nowMs) const;
    // The address's entry (made if `make`), its bucket refilled to `nowMs`;
    // NONE when unknown (or the table is full).
    uint32_t addressEntry(uint32_t ip, uint64_t nowMs, bool make);
    uint32_t liveGame(const char* code, uint64_t nowMs) const;
    void removeGame(uint32_t slot);
    void drawCode(char (&code)[vkl::CODE_LENGTH + 1]);
    void dropOldestIntroduction();

    size_t openGame(uint64_t nowMs, NLobbyAddress from, const NLobbyMessage& m, LAnswer* answers);
    size_t listGames(uint64_t nowMs, NLobbyAddress from, const NLobbyMessage& m, LAnswer* answers);
    size_t joinGame(uint64_t nowMs, NLobbyAddress from, uint32_t entry, const NLobbyMessage& m, LAnswer* answers);
    size_t forwardSignal(uint64_t nowMs, NLobbyAddress from, const NLobbyMessage& m, LAnswer* answers);
    size_t introduce(uint64_t nowMs, const Introduction& intro, vkl::Want want, const NLobbyAddress* joinerReported,
                     uint8_t joinerReportedCount, LAnswer* answers);

    LLobbyConfig config;
    uint64_t random;
    std::vector<Game> gameSlots;
    std::vector<uint32_t> freeGames;
    std::vector<uint32_t> openSlots;  // slots of the games, in no order: what LIST pages
    LFlatIndex gameIndex;
    // Introductions in the order made, which is the order they expire in.
    std::vector<Introduction> intros;
    uint32_t introHead = 0;  // the oldest
    uint32_t introCount = 0;
    LFlatIndex introIndex;
    std::vector<Address> addressSlots;
    std::vector<uint32_t> freeAddresses;
    LFlatIndex addressIndex;
    LLobbyStats counts;
    // Scratch, kept to not allocate per request.
    NLobbyMessage request;
    NLobbyMessage reply;
};
