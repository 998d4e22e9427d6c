// nlobbyprotocol.h: the datagrams a game and an online lobby exchange, and
// the ones two games punch their way to each other with; their bytes.
//
// Every message is one UDP datagram: the magic "VKL" 0x01, a type byte, the
// type's fields, big-endian (network order, like the addresses they carry),
// and nothing after them except in a HELLO, whose padding is its point.
// Every field is range-checked here, before anyone uses it: decodeLobby
// never reads past `size`, never allocates, and names what it refused.
//
//   type      from -> to      fields after magic and type
//   HELLO     game -> lobby   padding: any bytes, HELLO_SIZE in all from a
//                             game, so that the COOKIE answer fits inside it
//   COOKIE    lobby -> game   cookie u64
//   OPEN      game -> lobby   cookie u64, code (6 bytes: CODE_LENGTH letters
//                             of CODE_ALPHABET, or all zero to ask for a new
//                             code), stage u8 (a vkn::Stage), watchers u8
//                             (0..vkn::MAX_SPECTATORS), host's choice u8
//                             (0..vkn::CHOICES-1), address count u8
//                             (0..MAX_ADDRESSES), then per address ip u32 and
//                             port u16 (neither zero): the ones the game sees
//                             on its own machine
//   OPENED    lobby -> game   code
//   CLOSE     game -> lobby   cookie u64, code
//   LIST      game -> lobby   cookie u64, page u16
//   GAMES     lobby -> game   page u16, total u16 (games open; 65535 means
//                             that many or more), count u8
//                             (0..GAMES_PER_PAGE), then per game its code,
//                             stage u8, watchers u8, host's choice u8
//   JOIN      game -> lobby   cookie u64, code, want u8 (a Want), nonce u64,
//                             address count u8 and addresses as in OPEN
//   INTRO     lobby -> both   code, nonce u64, side u8 (a Side: which end of
//                             the introduction the receiver is), want u8
//                             (the joiner's), the other side's public
//                             address (ip u32, port u16, as the lobby saw
//                             it), its address count u8 and addresses as in
//                             OPEN, the TURN server's ip u32 and port u16
//                             (both zero: no relay), username and password
//                             (each a u8 length 0..MAX_CREDENTIAL, then that
//                             many printable ASCII bytes)
//   NOGAME    lobby -> game   code
//   SIGNAL    game -> lobby   cookie u64, code, nonce u64, blob length u16
//                             (0..MAX_BLOB), the blob
//   FORWARD   lobby -> game   code, nonce u64, blob length u16, the blob: a
//                             SIGNAL from the other side of the introduction
//   PUNCH     game -> game    nonce u64, answer u8 (0: a probe, 1: the host's
//                             answer to one)
//
// The lobby answers an address it has not proven (no valid cookie) with a
// COOKIE at most, and only when the COOKIE is no larger than the request:
// every request that carries a cookie is at least COOKIE_SIZE long, so a
// stale cookie is always told the new one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/nprotocol.h"

namespace vkl {

// "VKL" and the version byte 0x01, as they stand on the wire.
constexpr uint8_t MAGIC[4] = {'V', 'K', 'L', 0x01};
constexpr size_t MAGIC_SIZE = 4;
// Two past the game's port and the discovery port, as clear of ports others
// commonly claim.
constexpr uint16_t DEFAULT_PORT = 27185;

constexpr size_t CODE_LENGTH = 6;
// Capital letters and digits less those read as another: 0 O, 1 I L, 5 S,
// 2 Z, 8 B. 25 letters, 25^6 = 244 million codes.
constexpr char CODE_ALPHABET[] = "ACDEFGHJKMNPQRTUVWXY34679";
constexpr size_t CODE_LETTERS = sizeof CODE_ALPHABET - 1;
static_assert(CODE_LETTERS == 25, "the alphabet holds exactly the letters the comment names");

// Addresses a game reports of its own machine (its interfaces); more are
// not sent, the first ones being the likeliest.
constexpr size_t MAX_ADDRESSES = 4;
constexpr size_t GAMES_PER_PAGE = 16;
// A SIGNAL's blob: an ICE ufrag, password and a few relay candidates.
constexpr size_t MAX_BLOB = 400;
constexpr size_t MAX_CREDENTIAL = 63;

constexpr size_t HEADER_SIZE = MAGIC_SIZE + 1;
constexpr size_t HELLO_SIZE = 64;
constexpr size_t COOKIE_SIZE = HEADER_SIZE + 8;
constexpr size_t ADDRESS_SIZE = 6;
// An INTRO with every address and full credentials.
constexpr size_t MAX_INTRO = HEADER_SIZE + CODE_LENGTH + 8 + 1 + 1 + ADDRESS_SIZE + 1 + MAX_ADDRESSES * ADDRESS_SIZE +
                             ADDRESS_SIZE + 2 * (1 + MAX_CREDENTIAL);
// The largest message: a SIGNAL with a full blob (its FORWARD lacks the
// cookie).
constexpr size_t MAX_DATAGRAM = HEADER_SIZE + 8 + CODE_LENGTH + 8 + 2 + MAX_BLOB;
static_assert(MAX_INTRO <= MAX_DATAGRAM, "MAX_DATAGRAM bounds every message");
static_assert(MAX_DATAGRAM <= 512, "every message fits an unfragmented UDP datagram");
static_assert(COOKIE_SIZE <= HELLO_SIZE, "a padded HELLO has room for its COOKIE");

enum class Type : uint8_t {
    HELLO = 1,
    COOKIE = 2,
    OPEN = 3,
    OPENED = 4,
    CLOSE = 5,
    LIST = 6,
    GAMES = 7,
    JOIN = 8,
    INTRO = 9,
    NOGAME = 10,
    SIGNAL = 11,
    FORWARD = 12,
    PUNCH = 13,
};
constexpr uint8_t FIRST_TYPE = 1;
constexpr uint8_t LAST_TYPE = 13;

enum class Want : uint8_t { PLAY = 0, WATCH = 1 };
enum class Side : uint8_t { HOST = 0, JOINER = 1 };

}  // namespace vkl

// An IPv4 address and port, both in host order (10.1.0.2 is 0x0A010002).
struct NLobbyAddress {
    uint32_t ip = 0;
    uint16_t port = 0;
};
inline bool operator==(const NLobbyAddress& a, const NLobbyAddress& b) { return a.ip == b.ip && a.port == b.port; }
inline bool operator!=(const NLobbyAddress& a, const NLobbyAddress& b) { return !(a == b); }

// One game as GAMES lists it.
struct NLobbyEntry {
    char code[vkl::CODE_LENGTH + 1] = {};
    vkn::Stage stage = vkn::Stage::WAITING;
    uint8_t watchers = 0;
    uint8_t hostChoice = 0;
};

// One decoded message; only the fields of its type mean anything. Plain
// arrays throughout, so that the lobby decodes and answers without
// allocating.
struct NLobbyMessage {
    vkl::Type type = vkl::Type::HELLO;
    // HELLO: its whole length, padding included (the lobby answers only
    // what fits in it); set by decodeLobby, and the length encodeLobby pads
    // to (at least HEADER_SIZE).
    size_t helloSize = vkl::HELLO_SIZE;
    uint64_t cookie = 0;
    // Every type that names a game; "" in an OPEN that asks for a code.
    char code[vkl::CODE_LENGTH + 1] = {};
    // OPEN, GAMES' entries
    vkn::Stage stage = vkn::Stage::WAITING;
    uint8_t watchers = 0;
    uint8_t hostChoice = 0;
    // OPEN, JOIN: the sender's own; INTRO: the other side's
    uint8_t addressCount = 0;
    NLobbyAddress addresses[vkl::MAX_ADDRESSES];
    // LIST, GAMES
    uint16_t page = 0;
    uint16_t total = 0;
    uint8_t entryCount = 0;
    NLobbyEntry entries[vkl::GAMES_PER_PAGE];
    // JOIN, INTRO
    vkl::Want want = vkl::Want::PLAY;
    // JOIN, INTRO, SIGNAL, FORWARD, PUNCH
    uint64_t nonce = 0;
    // INTRO
    vkl::Side side = vkl::Side::JOINER;
    NLobbyAddress publicAddress;
    NLobbyAddress turn;
    char username[vkl::MAX_CREDENTIAL + 1] = {};
    char password[vkl::MAX_CREDENTIAL + 1] = {};
    // SIGNAL, FORWARD
    uint16_t blobSize = 0;
    uint8_t blob[vkl::MAX_BLOB] = {};
    // PUNCH
    bool answer = false;
};

// Writes `message` into `out` (room for vkl::MAX_DATAGRAM bytes) and
// returns its length. Counts and lengths
// are clamped to their limits; other fields are written as they are: the
// decoder judges them.
size_t encodeLobby(const NLobbyMessage& message, uint8_t* out);

// Decodes one datagram. False, with `why` pointing at a fixed text ("not a
// lobby datagram", "truncated join", "watchers out of range"), for anything
// the table above does not allow; `message` is then unspecified.
bool decodeLobby(const uint8_t* data, size_t size, NLobbyMessage& message, const char*& why);

// Whether the `size` bytes at `data` begin with the lobby magic: ENet's
// intercept hands those to the online client and not to ENet.
bool isLobbyDatagram(const uint8_t* data, size_t size);
// Whether `text` is CODE_LENGTH letters of CODE_ALPHABET, nothing else.
bool isLobbyCode(const char* text);
// A type's name, as the lobby's messages say it: "hello", "intro".
const char* lobbyTypeName(vkl::Type type);
