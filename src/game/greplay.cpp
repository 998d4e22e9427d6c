// greplay.cpp: flag streams, and the replay file written and read.
//
// The reader takes bytes through a FILE* one block at a time and keeps only
// what it has parsed: the runs, pushed as they are read. It keeps the CRC
// four bytes behind the input, so that wherever the data stops, the CRC of
// everything but the last four bytes and those four bytes are both at hand:
// that is all it needs to judge a file that stops early (greplay.h, "What a
// reader reports").
#include "game/greplay.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "assets/hbytes.h"
#include "assets/hreplacefile.h"
#include "game/gship.h"

static_assert(vkr::TICK_MS == GShip::PERIOD_MS, "a replay bounds ticks by the ships' period");
static_assert(vkr::MAX_END_MS / vkr::TICK_MS >= vkr::MAX_TICKS, "the longest match must hold the most ticks");

// --- flag streams -------------------------------------------------------------

void GFlagStream::append(uint8_t flags) {
    if (ticks >= vkr::MAX_TICKS) return;
    flags &= vkr::FLAG_MASK;
    if (!runs.empty() && runs.back().flags == flags) {
        runs.back().ticks++;
    } else {
        runs.push_back(GFlagRun{flags, 1});
    }
    ticks++;
}

void GFlagStream::clear() {
    runs.clear();
    ticks = 0;
}

void GFlagStream::truncate(uint32_t count) {
    while (ticks > count) {
        GFlagRun& last = runs.back();
        const uint32_t over = ticks - count;
        if (last.ticks > over) {
            last.ticks -= over;
            ticks = count;
        } else {
            ticks -= last.ticks;
            runs.pop_back();
        }
    }
}

namespace {

// Moves past spent runs, so that `run` always names the next tick's run.
void skipSpent(const GFlagStream* stream, size_t& run, uint32_t& usedInRun) {
    while (run < stream->runs.size() && usedInRun >= stream->runs[run].ticks) {
        run++;
        usedInRun = 0;
    }
}

}  // namespace

GFlagCursor::GFlagCursor(const GFlagStream* stream) : stream(stream) {
    if (stream != nullptr) skipSpent(stream, run, usedInRun);
}

uint8_t GFlagCursor::next() {
    if (atEnd()) return 0;
    const uint8_t flags = stream->runs[run].flags;
    usedInRun++;
    skipSpent(stream, run, usedInRun);
    return flags;
}

void GFlagCursor::skip(uint32_t count) {
    while (count > 0 && !atEnd()) {
        const uint32_t rest = stream->runs[run].ticks - usedInRun;
        const uint32_t taken = count < rest ? count : rest;
        usedInRun += taken;
        count -= taken;
        skipSpent(stream, run, usedInRun);
    }
}

bool GFlagCursor::atEnd() const {
    return stream == nullptr || run >= stream->runs.size();
}

// --- CRC-32 ---------------------------------------------------------------------
//
// IEEE 802.3, bit-reflected (polynomial 0xEDB88320), register preset to all
// ones and inverted at the end, as zlib's crc32(): "123456789" gives
// 0xCBF43926.

namespace {

struct CrcTables {
    uint32_t step[256];
    // The entry of `step` with a given top byte. The top bytes of the 256
    // entries are all different, which lets a register be run backwards.
    uint8_t byTopByte[256];
};

CrcTables makeCrcTables() {
    CrcTables tables{};
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; bit++) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        tables.step[i] = c;
        tables.byTopByte[c >> 24] = static_cast<uint8_t>(i);
    }
    return tables;
}

const CrcTables& crcTables() {
    static const CrcTables tables = makeCrcTables();
    return tables;
}

// The register before the final inversion: start from 0xFFFFFFFF.
inline uint32_t crcByte(const CrcTables& t, uint32_t crc, uint8_t byte) {
    return (crc >> 8) ^ t.step[(crc ^ byte) & 0xFF];
}

// True when one byte changed among the `length` bytes under a CRC would
// make `computed` of it differ from `stored` as they do. The CRC is linear,
// so computed ^ stored is the register that the change alone gives, from 0
// and without the inversions: a change e in a byte z bytes from the end
// leaves step[e] moved on by z zero bytes. Running the register back one
// zero byte at a time finds such a z, or shows there is none, in `length`
// steps.
bool oneByteChanged(uint32_t computed, uint32_t stored, uint64_t length) {
    const CrcTables& t = crcTables();
    uint32_t r = computed ^ stored;
    if (r == 0) return false;
    for (uint64_t z = 0; z < length; z++) {
        const uint8_t low = t.byTopByte[r >> 24];
        if (t.step[low] == r) return true;
        r = ((r ^ t.step[low]) << 8) | low;
    }
    return false;
}

}  // namespace

uint32_t replayCrc32(const uint8_t* bytes, size_t size) {
    const CrcTables& t = crcTables();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++) crc = crcByte(t, crc, bytes[i]);
    return ~crc;
}

// --- writing ----------------------------------------------------------------------
//
// The whole file is made in memory, then written at once: a recorded match
// takes at most two bytes a ship a tick, 1.2 MB for two hours of keys that
// change at every tick.

namespace {

void varint(HByteWriter& w, uint32_t value) {
    do {
        w.u8(static_cast<uint8_t>((value & 0x7F) | (value > 0x7F ? 0x80 : 0)));
        value >>= 7;
    } while (value != 0);
}

void stream(HByteWriter& w, const GFlagStream& flags) {
    varint(w, flags.ticks);
    varint(w, static_cast<uint32_t>(flags.runs.size()));
    for (const GFlagRun& run : flags.runs) {
        w.u8(run.flags);
        varint(w, run.ticks);
    }
}

}  // namespace

bool writeReplay(FILE* out, const GReplay& replay) {
    HByteWriter w;
    w.bytes(vkr::MAGIC, sizeof vkr::MAGIC);
    w.u16(vkr::VERSION);
    w.u32(static_cast<uint32_t>(replay.leftChoice));
    w.u32(static_cast<uint32_t>(replay.rightChoice));
    w.u32(replay.seed);
    stream(w, replay.left);
    stream(w, replay.right);
    w.u32(replay.endMs);
    w.u8(replay.end);
    w.u32(static_cast<uint32_t>(replay.leftHealth));
    w.u32(static_cast<uint32_t>(replay.rightHealth));
    w.u64(replay.hash);
    w.u32(replayCrc32(w.data().data(), w.size()));
    return fwrite(w.data().data(), 1, w.size(), out) == w.size();
}

bool saveReplay(const char* path, const GReplay& replay) {
    return hReplaceFile(path, [&replay](FILE* out) { return writeReplay(out, replay); });
}

// --- reading ----------------------------------------------------------------------

namespace {

// The input's bytes one at a time, with the CRC kept four bytes behind.
class Input {
public:
    explicit Input(FILE* in) : in(in), tables(crcTables()) {}

    // False at the end of the data, or when reading fails (`error`).
    bool byte(uint8_t& value) {
        if (at == have) {
            if (stopped) return false;
            have = fread(block, 1, sizeof block, in);
            at = 0;
            if (have == 0) {
                stopped = true;
                if (ferror(in)) error = errno != 0 ? errno : EIO;
                return false;
            }
        }
        value = block[at++];
        uint8_t& slot = lastFour[count & 3];
        if (count >= 4) crc = crcByte(tables, crc, slot);
        slot = value;
        count++;
        return true;
    }

    // The CRC of every byte read but the last four.
    uint32_t crcBeforeLastFour() const { return ~crc; }
    // The last four bytes read, as a little-endian number.
    uint32_t lastFourBytes() const {
        uint8_t inOrder[4];
        for (uint64_t i = 0; i < 4; i++) inOrder[i] = lastFour[(count + i) & 3];
        return static_cast<uint32_t>(hReadLittle(inOrder, 4));
    }
    // Reads to the end of the data, or until there is more of it than any
    // replay has (false then), so that an endless pipe cannot hang it.
    bool drain() {
        uint8_t ignored;
        while (count <= LARGEST_FILE) {
            if (!byte(ignored)) return true;
        }
        return false;
    }

    // The largest file a replay can make: runs of one tick each, two bytes
    // apiece, in both streams, and every other field at its widest.
    static constexpr uint64_t LARGEST_FILE = 18 + 2 * (5 + 5 + 2 * uint64_t(vkr::MAX_TICKS)) + 25;

    FILE* in;
    const CrcTables& tables;
    uint8_t block[4096];
    size_t have = 0;
    size_t at = 0;
    bool stopped = false;
    int error = 0;
    uint64_t count = 0;  // bytes read
    uint32_t crc = 0xFFFFFFFFu;
    uint8_t lastFour[4] = {};
};

// Fields in the order of the file. After the data stops or a field is
// refused, every read gives 0 and leaves the state alone, so that the
// parse below reads straight through and looks at the state where it must.
class Parser {
public:
    enum State { READING, ENDED, REFUSED };

    explicit Parser(FILE* in) : input(in) {}

    uint64_t little(size_t size) {
        uint8_t bytes[8] = {};
        for (size_t i = 0; i < size; i++) {
            if (state == READING && !input.byte(bytes[i])) end();
        }
        return state == READING ? hReadLittle(bytes, size) : 0;
    }

    uint32_t varint() {
        uint32_t value = 0;
        for (int i = 0; i < 5; i++) {
            const uint8_t b = static_cast<uint8_t>(little(1));
            if (state != READING) return 0;
            // The fifth byte holds bits 28..31: anything more, a high bit
            // included, is above 2^32 - 1.
            if (i == 4 && b > 0x0F) {
                refuse("varint above 2^32 - 1 in the " + part);
                return 0;
            }
            value |= uint32_t(b & 0x7F) << (7 * i);
            if ((b & 0x80) == 0) {
                // A last byte of 0 after others only adds a longer form of
                // the same value, and a file must have one form.
                if (b == 0 && i > 0) {
                    refuse("over-long varint in the " + part);
                    return 0;
                }
                return value;
            }
        }
        return 0;  // not reached: the fifth byte always ends it
    }

    void refuse(const std::string& why) {
        if (state != READING) return;
        state = REFUSED;
        refusal = why;
    }

    void stream(GFlagStream& flags, const char* side) {
        part = std::string(side) + " flag stream";
        const uint32_t ticks = varint();
        const uint32_t runs = varint();
        if (state != READING) return;
        if (ticks > vkr::MAX_TICKS)
            return refuse(part + " has " + std::to_string(ticks) + " ticks, more than " +
                          std::to_string(vkr::MAX_TICKS));
        if (runs > ticks)
            return refuse(part + " has " + std::to_string(runs) + " runs for " + std::to_string(ticks) +
                          " ticks");
        flags.ticks = ticks;
        // Bounded by the data as well: each run costs two bytes at least.
        uint64_t sum = 0;
        for (uint32_t i = 0; i < runs && state == READING; i++) {
            const uint8_t bits = static_cast<uint8_t>(little(1));
            const uint32_t length = varint();
            if (state != READING) return;
            const auto run = [&] { return part + " run " + std::to_string(i); };
            if ((bits & ~vkr::FLAG_MASK) != 0) return refuse(run() + " has flags " + hex(bits) + ", a high bit set");
            if (length == 0) return refuse(run() + " has 0 ticks");
            if (i > 0 && flags.runs.back().flags == bits)
                return refuse(run() + " has the flags of the run before it");
            sum += length;
            if (sum > ticks) return refuse(part + ": runs add up to more than " + std::to_string(ticks) + " ticks");
            flags.runs.push_back(GFlagRun{bits, length});
        }
        if (state == READING && sum != ticks)
            refuse(part + ": runs add up to " + std::to_string(sum) + " ticks, not " + std::to_string(ticks));
    }

    static std::string hex(uint32_t value) {
        char text[16];
        snprintf(text, sizeof text, "0x%02x", value);
        return text;
    }

    Input input;
    State state = READING;
    // The data ran out: the part it ran out in is the one the message names,
    // whatever the parse goes on to set.
    void end() {
        state = ENDED;
        endedIn = part;
    }

    std::string part = "version";  // where the parse is, for messages
    std::string endedIn;           // where the data ran out
    std::string refusal;
};

// The ranges that need the whole replay: the stream's own were checked as
// it was read. Empty when every field is in range.
std::string badField(const GReplay& r) {
    const auto number = [](int64_t value) { return std::to_string(value); };
    if (r.version == 0) return "version 0 does not exist";
    if (r.leftChoice < 0 || r.leftChoice >= vkr::CHOICE_LIMIT)
        return "left choice " + number(r.leftChoice) + " out of range";
    if (r.rightChoice < 0 || r.rightChoice >= vkr::CHOICE_LIMIT)
        return "right choice " + number(r.rightChoice) + " out of range";
    if (r.endMs > vkr::MAX_END_MS)
        return "end at " + number(r.endMs) + " ms, after the last possible " + number(vkr::MAX_END_MS);
    const uint32_t mostTicks = r.endMs / vkr::TICK_MS;
    if (r.left.ticks > mostTicks)
        return "left flag stream has " + number(r.left.ticks) + " ticks, more than " + number(r.endMs) +
               " ms allow";
    if (r.right.ticks > mostTicks)
        return "right flag stream has " + number(r.right.ticks) + " ticks, more than " + number(r.endMs) +
               " ms allow";
    if (r.end != vkr::END_FINISHED && r.end != vkr::END_LEFT)
        return "end " + number(r.end) + " is neither finished nor left";
    if (r.leftHealth > 100 || r.leftHealth < vkr::MIN_HEALTH)
        return "left health " + number(r.leftHealth) + " out of range";
    if (r.rightHealth > 100 || r.rightHealth < vkr::MIN_HEALTH)
        return "right health " + number(r.rightHealth) + " out of range";
    if (r.end == vkr::END_FINISHED && r.leftHealth > 0 && r.rightHealth > 0)
        return "a finished match with both healths above 0";
    if (r.end == vkr::END_LEFT && (r.leftHealth <= 0 || r.rightHealth <= 0))
        return "a match left with a health at 0 or below";
    return std::string();
}

}  // namespace

GReplayRead readReplay(FILE* in, GReplay& replay, std::string& why) {
    replay = GReplay();
    why.clear();
    if (in == nullptr) {
        why = "no file to read";
        return GReplayRead::NOT_A_REPLAY;
    }
    Parser p(in);

    uint8_t magic[sizeof vkr::MAGIC] = {};
    for (uint8_t& b : magic) {
        if (!p.input.byte(b)) {
            why = p.input.error != 0 ? strerror(p.input.error)
                                     : "not a replay: " + std::to_string(p.input.count) + " bytes";
            return GReplayRead::NOT_A_REPLAY;
        }
    }
    if (memcmp(magic, vkr::MAGIC, sizeof magic) != 0) {
        why = "not a replay: no VKR mark at the start";
        return GReplayRead::NOT_A_REPLAY;
    }

    replay.version = static_cast<uint16_t>(p.little(2));
    if (p.state == Parser::READING && replay.version > vkr::VERSION) {
        why = "version " + std::to_string(replay.version) + " is newer than " + std::to_string(vkr::VERSION);
        return GReplayRead::NEWER_VERSION;
    }
    p.part = "choices";
    replay.leftChoice = static_cast<ControllerChoice>(static_cast<uint32_t>(p.little(4)));
    replay.rightChoice = static_cast<ControllerChoice>(static_cast<uint32_t>(p.little(4)));
    p.part = "seed";
    replay.seed = static_cast<uint32_t>(p.little(4));
    p.stream(replay.left, "left");
    p.stream(replay.right, "right");
    p.part = "ending";
    replay.endMs = static_cast<uint32_t>(p.little(4));
    replay.end = static_cast<uint8_t>(p.little(1));
    replay.leftHealth = static_cast<int32_t>(static_cast<uint32_t>(p.little(4)));
    replay.rightHealth = static_cast<int32_t>(static_cast<uint32_t>(p.little(4)));
    replay.hash = p.little(8);
    p.part = "crc";
    p.little(4);

    Input& input = p.input;
    const uint32_t computed = input.crcBeforeLastFour();
    const uint32_t stored = input.lastFourBytes();
    const uint64_t covered = input.count - 4;
    if (p.state == Parser::ENDED) {
        if (input.error == 0 && oneByteChanged(computed, stored, covered)) {
            why = "crc mismatch: the file is damaged";
            return GReplayRead::DAMAGED;
        }
        why = "truncated in the " + p.endedIn;
        if (input.error != 0) why += std::string(": ") + strerror(input.error);
        return GReplayRead::TRUNCATED;
    }
    if (p.state == Parser::REFUSED) {
        // A cut file never gets here (its fields are a good file's), so
        // the file is whole: it is damaged unless its CRC says otherwise.
        if (!input.drain() || input.crcBeforeLastFour() != input.lastFourBytes()) {
            why = "crc mismatch: the file is damaged";
            return GReplayRead::DAMAGED;
        }
        why = p.refusal;
        return GReplayRead::BAD_FIELD;
    }
    if (computed != stored) {
        why = "crc mismatch: the file is damaged";
        return GReplayRead::DAMAGED;
    }
    uint8_t extra;
    if (input.byte(extra)) {
        why = "bytes after the end";
        return GReplayRead::DAMAGED;
    }
    why = badField(replay);
    if (!why.empty()) return GReplayRead::BAD_FIELD;
    return GReplayRead::OK;
}

GReplayRead loadReplay(const char* path, GReplay& replay, std::string& why) {
    FILE* in = fopen(path, "rb");
    if (in == nullptr) {
        why = strerror(errno);
        return GReplayRead::NOT_A_REPLAY;
    }
    const GReplayRead result = readReplay(in, replay, why);
    fclose(in);
    return result;
}
