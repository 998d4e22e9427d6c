// nprotocol.h: the messages two games exchange over the network, and their
// bytes.
//
// Every message is one ENet packet: a kind byte, then the kind's fields,
// little-endian, and nothing after them. A packet of any other length for
// its kind is refused. Every field is range-checked here, before anyone uses
// it, because the other side may be broken or hostile: decodeMessage never
// reads past `size`, never allocates, and says in a few words what it
// refused.
//
//   kind          channel     fields
//   HELLO         reliable    magic u32, protocol u16, game version (u8
//                             length 1..MAX_VERSION_TEXT, printable ASCII)
//   ASK           reliable    role u8 (a Role): what the one who connected
//                             wants to be; sent right after its HELLO
//   WELCOME       reliable    magic, protocol and version as in HELLO, then
//                             role u8 (LEFT, RIGHT or SPECTATOR): the role
//                             given
//   REFUSE        reliable    reason u8, then the sender's protocol and game
//                             version as in HELLO
//   MENU          reliable    choice u8 (a kind of controller), ready u8 0|1
//   START         reliable    match u8, seed u32, delay u8 (0..MAX_DELAY),
//                             left choice u8, right choice u8
//   INPUT         unreliable  match u8, first tick u32 (1..MAX_TICK), count u8
//                             (1..MAX_INPUTS), count flag bytes (FLAG_MASK
//                             and PAUSE_BIT only), ack u32 (0..MAX_TICK),
//                             check tick u32 (0 or a multiple of
//                             CHECK_EVERY), check hash u64, gap i16 (any)
//   PING, PONG    unreliable  stamp u32
//   RESUME        reliable    -
//   LEAVE         reliable    - (the match was left with Escape)
//   OUT_OF_STEP   reliable    tick u32 (1..MAX_TICK)
//   STATUS        reliable    to a spectator: stage u8 (a Stage), watchers u8
//                             (0..MAX_SPECTATORS), left choice u8, right
//                             choice u8, ready u8 (bit 0 left, bit 1 right)
//   FLAGS         unreliable  to a spectator: match u8, newest u32
//                             (1..MAX_TICK), first tick u32 (1..newest),
//                             count u8 (1..MAX_WATCH_TICKS, the last tick no
//                             later than newest), then per tick the left
//                             ship's byte and the right ship's (FLAG_MASK and
//                             PAUSE_BIT only)
//   ACK           unreliable  from a spectator: match u8, tick u32
//                             (0..MAX_TICK): it holds every tick up to this
//   END           reliable    to a spectator: match u8, how u8 (an End), ms
//                             u32 (0..vkr::MAX_END_MS): where the match was
//                             kept
//
// The match number counts the matches of one connection (round again after
// 255): an INPUT or FLAGS late from a match before belongs to no match now,
// since the reliable and unreliable channels keep no order between each
// other.
//
// Versions. HELLO keeps the bytes of every protocol before, so that a game
// of another version always hears the refusal that names both versions:
// what this protocol added to the greeting travels in ASK, which a game
// that refused the HELLO never reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vkn {

constexpr uint32_t MAGIC = 0x314E4B56;  // "VKN1" on the wire
// 4: choice 5, the master, in MENU, START and STATUS. A game of protocol 3
// decodes 5 as a bad packet and closes the connection the moment the other
// side picks it, so the two are refused at the greeting instead, with both
// versions named. Their packets are still read (the greeting is the same).
constexpr uint16_t PROTOCOL = 4;
// Not a well-known port (below 1024), and clear of the ones games and
// servers commonly claim.
constexpr uint16_t DEFAULT_PORT = 27183;

constexpr uint8_t CHANNEL_RELIABLE = 0;
constexpr uint8_t CHANNEL_INPUT = 1;
constexpr uint8_t CHANNELS = 2;

constexpr size_t MAX_VERSION_TEXT = 31;
// Ticks of flags one INPUT may carry: far more than the unacknowledged
// span of two games in step (the delay, the window and the round trip).
constexpr uint8_t MAX_INPUTS = 64;
// Ticks a game's own flags wait before they take effect: none, or one at a
// long round trip.
constexpr uint8_t MAX_DELAY = 1;
// Ticks a game may play past the last one it has the other's flags for,
// guessing them; then it waits. 250 ms: the one-way trip of a 250 ms round
// trip, with room for a lost packet and the jitter.
constexpr uint8_t WINDOW = 10;
// A tick number no match can reach (38 days of play at 25 ms): a bound
// that keeps hostile numbers away from any arithmetic that could wrap.
constexpr uint32_t MAX_TICK = 1u << 27;
// Both sides hash their world after every tick that is a multiple of this.
constexpr uint32_t CHECK_EVERY = 8;
// Beside the five control flags, a tick's byte may ask both games to pause
// after it.
constexpr uint8_t FLAG_MASK = 0x1F;
constexpr uint8_t PAUSE_BIT = 0x20;
// Choices the menu can send: one per kind of controller.
constexpr uint8_t CHOICES = 6;
// Spectators one game serves at once.
constexpr uint8_t MAX_SPECTATORS = 32;
// Ticks of both ships' flags in one FLAGS: 3 s of match in 240 bytes, so
// that the message stays far under MAX_PACKET.
constexpr uint8_t MAX_WATCH_TICKS = 120;
// A match longer than this many ticks is never played (GMatch::LONGEST_MS),
// so a spectator never holds more of one.
constexpr uint32_t MAX_WATCH_MATCH_TICKS = 288000;

enum class Kind : uint8_t {
    HELLO = 1,
    WELCOME = 2,
    REFUSE = 3,
    MENU = 4,
    START = 5,
    INPUT = 6,
    PING = 7,
    PONG = 8,
    RESUME = 9,
    LEAVE = 10,
    OUT_OF_STEP = 11,
    ASK = 12,
    STATUS = 13,
    FLAGS = 14,
    ACK = 15,
    END = 16,
};

enum class Refusal : uint8_t {
    VERSIONS = 1,  // the protocol or the game versions differ
    BUSY = 2,      // the host has a player already
    FULL = 3,      // the host has MAX_SPECTATORS spectators already
    SIDE = 4,      // the side asked for is the host's own
};

// What the one who connects asks to be (ASK), and is given (WELCOME: never
// EITHER). Who connected to whom decides nothing else: the side a player
// flies is agreed here, and the left player draws every match's seed.
enum class Role : uint8_t {
    LEFT = 0,
    RIGHT = 1,
    EITHER = 2,  // a player, on whichever side is free
    SPECTATOR = 3,
};

// Where a game stands, for its spectators (STATUS) and for the games that
// look for one on the local network.
enum class Stage : uint8_t {
    WAITING = 0,  // for a player
    MENU = 1,     // both players choose
    MATCH = 2,    // a match runs
};

// How a watched match ended where END says.
enum class End : uint8_t {
    FINISHED = 0,  // a ship's health ran out: the spectator's world ends there by itself
    LEFT = 1,      // left, out of step, or the time was up: kept as left at that ms
};

// The largest encoded message: a FLAGS with MAX_WATCH_TICKS ticks (an INPUT
// with MAX_INPUTS flags is shorter).
constexpr size_t MAX_INPUT_MESSAGE = 1 + 1 + 4 + 1 + MAX_INPUTS + 4 + 4 + 8 + 2;
constexpr size_t MAX_FLAG_BYTES = 2 * MAX_WATCH_TICKS;
constexpr size_t MAX_MESSAGE = 1 + 1 + 4 + 4 + 1 + MAX_FLAG_BYTES;
static_assert(MAX_INPUT_MESSAGE <= MAX_MESSAGE, "every message fits MAX_MESSAGE");

}  // namespace vkn

// One decoded message; only the fields of its kind mean anything.
struct NMessage {
    vkn::Kind kind = vkn::Kind::PING;
    // HELLO, WELCOME, REFUSE
    uint32_t magic = vkn::MAGIC;
    uint16_t protocol = vkn::PROTOCOL;
    char gameVersion[vkn::MAX_VERSION_TEXT + 1] = {};
    vkn::Refusal refusal = vkn::Refusal::VERSIONS;
    // WELCOME, ASK
    vkn::Role role = vkn::Role::EITHER;
    // MENU
    uint8_t choice = 0;
    bool ready = false;
    // STATUS; the choices are leftChoice and rightChoice
    vkn::Stage stage = vkn::Stage::WAITING;
    uint8_t watchers = 0;
    uint8_t readyBits = 0;
    // START, INPUT, FLAGS, ACK, END
    uint8_t match = 0;
    // START
    uint32_t seed = 0;
    uint8_t delay = 0;
    uint8_t leftChoice = 0;
    uint8_t rightChoice = 0;
    // INPUT and FLAGS; OUT_OF_STEP uses firstTick. An INPUT's flags are one
    // byte a tick; a FLAGS's two, left then right.
    uint32_t firstTick = 1;
    uint8_t count = 0;
    uint8_t flags[vkn::MAX_FLAG_BYTES] = {};
    // INPUT, ACK
    uint32_t ack = 0;
    // FLAGS: the newest tick the sender holds
    uint32_t newest = 1;
    // END
    vkn::End end = vkn::End::FINISHED;
    uint32_t endMs = 0;
    uint32_t checkTick = 0;
    uint64_t checkHash = 0;
    // How far the sender's ticks ran past this side's on arrival, on
    // average, in 1/256 ticks (NLockstep keeps it).
    int16_t gap = 0;
    // PING, PONG
    uint32_t stamp = 0;
};

// Writes `message` into `out` (room for vkn::MAX_MESSAGE bytes) and returns
// its length. Fields are written as they are: the decoder judges them.
size_t encodeMessage(const NMessage& message, uint8_t* out);

// Decodes one packet. False, with `why` saying what was wrong ("input count
// 0 out of range", "truncated start", "unknown kind 77"), for anything the
// table above does not allow; `message` is then unspecified.
bool decodeMessage(const uint8_t* data, size_t size, NMessage& message, std::string& why);

// A kind's name as refusals say it: "input", "out-of-step", "acknowledgement".
const char* kindName(vkn::Kind kind);

// A HELLO, WELCOME or REFUSE with this game's own versions.
NMessage greeting(vkn::Kind kind);
// This game's version, as the handshake sends it.
const char* gameVersion();
// Whether a game of `protocol` and `version` can play with this one.
bool sameVersions(uint16_t protocol, const char* version);
// "the other game is version 1.2 (protocol 1), this one is 1.3 (protocol 2)"
std::string versionsText(uint16_t protocol, const char* version);

class HByteReader;
class HByteWriter;
// A game's version as every message that carries one has it: a length byte
// (1..MAX_VERSION_TEXT), then that many bytes of printable ASCII. The
// reader says what it refused in `why`; on a message cut short it returns
// false with `why` left empty for the caller's "truncated" to fill.
void writeVersionText(HByteWriter& w, const char* text);
bool readVersionText(HByteReader& r, char (&text)[vkn::MAX_VERSION_TEXT + 1], std::string& why);
