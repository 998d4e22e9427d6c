// nlobbyprotocol.cpp: the lobby's datagrams to bytes and back, with the
// checks on every field.
#include "net/nlobbyprotocol.h"

#include <cstring>

#include "assets/hbytes.h"  // Required for: hReadBig, hWriteBig

namespace {

// Network order, unlike the game's packets: the lobby's messages carry IPv4
// addresses and ports, which every tool shows this way. Fixed buffers, so
// that the lobby answers without allocating; the byte order is hbytes.h's.
class BigWriter {
public:
    explicit BigWriter(uint8_t* out) : out(out) {}
    void u8(uint8_t v) { out[at++] = v; }
    void u16(uint16_t v) { number(v, 2); }
    void u32(uint32_t v) { number(v, 4); }
    void u64(uint64_t v) { number(v, 8); }
    void bytes(const void* data, size_t size) {
        if (size > 0) memcpy(out + at, data, size);
        at += size;
    }
    void address(const NLobbyAddress& a) {
        u32(a.ip);
        u16(a.port);
    }
    size_t size() const { return at; }

private:
    void number(uint64_t v, size_t size) {
        hWriteBig(out + at, v, size);
        at += size;
    }
    uint8_t* out;
    size_t at = 0;
};

// Reads past the end give 0 and mark the reader short, as HByteReader's do.
class BigReader {
public:
    BigReader(const uint8_t* data, size_t size) : data(data), size(size) {}
    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    uint64_t u64() { return take(8); }
    bool bytes(void* into, size_t count) {
        if (ranOut || size - at < count) {
            ranOut = true;
            return false;
        }
        if (count > 0) memcpy(into, data + at, count);
        at += count;
        return true;
    }
    bool ok() const { return !ranOut; }
    bool atEnd() const { return !ranOut && at == size; }
    void skipToEnd() { at = size; }

private:
    uint64_t take(size_t count) {
        if (ranOut || size - at < count) {
            ranOut = true;
            return 0;
        }
        const uint64_t v = hReadBig(data + at, count);
        at += count;
        return v;
    }
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool ranOut = false;
};

bool fail(const char*& why, const char* text) {
    why = text;
    return false;
}

void writeCode(BigWriter& w, const char* code) {
    uint8_t bytes[vkl::CODE_LENGTH] = {};
    for (size_t i = 0; i < vkl::CODE_LENGTH && code[i] != '\0'; i++) bytes[i] = static_cast<uint8_t>(code[i]);
    w.bytes(bytes, sizeof bytes);
}

// A code, or (where `noneOk`) six zero bytes for none, read as "".
bool readCode(BigReader& r, char (&code)[vkl::CODE_LENGTH + 1], bool noneOk, const char*& why) {
    uint8_t bytes[vkl::CODE_LENGTH];
    if (!r.bytes(bytes, sizeof bytes)) return true;  // the caller's truncation check says it
    bool zero = true;
    for (uint8_t b : bytes) zero = zero && b == 0;
    if (zero && noneOk) {
        code[0] = '\0';
        return true;
    }
    memcpy(code, bytes, sizeof bytes);
    code[vkl::CODE_LENGTH] = '\0';
    if (!isLobbyCode(code)) return fail(why, "code not of the code alphabet");
    return true;
}

void writeAddresses(BigWriter& w, const NLobbyMessage& m) {
    const uint8_t count = m.addressCount > vkl::MAX_ADDRESSES ? vkl::MAX_ADDRESSES : m.addressCount;
    w.u8(count);
    for (uint8_t i = 0; i < count; i++) w.address(m.addresses[i]);
}

bool readAddress(BigReader& r, NLobbyAddress& a) {
    a.ip = r.u32();
    a.port = r.u16();
    return !r.ok() || (a.ip != 0 && a.port != 0);
}

bool readAddresses(BigReader& r, NLobbyMessage& m, const char*& why) {
    m.addressCount = r.u8();
    if (!r.ok()) return true;
    if (m.addressCount > vkl::MAX_ADDRESSES) return fail(why, "address count out of range");
    for (uint8_t i = 0; i < m.addressCount; i++) {
        if (!readAddress(r, m.addresses[i])) return fail(why, "reported address or port zero");
    }
    return true;
}

bool readMenu(BigReader& r, vkn::Stage& stage, uint8_t& watchers, uint8_t& hostChoice, const char*& why) {
    const uint8_t stageByte = r.u8();
    watchers = r.u8();
    hostChoice = r.u8();
    if (!r.ok()) return true;
    if (stageByte > static_cast<uint8_t>(vkn::Stage::MATCH)) return fail(why, "stage out of range");
    if (watchers > vkn::MAX_SPECTATORS) return fail(why, "watchers out of range");
    if (hostChoice >= vkn::CHOICES) return fail(why, "host's choice out of range");
    stage = static_cast<vkn::Stage>(stageByte);
    return true;
}

void writeText(BigWriter& w, const char* text) {
    const size_t length = strnlen(text, vkl::MAX_CREDENTIAL);
    w.u8(static_cast<uint8_t>(length));
    w.bytes(text, length);
}

bool readText(BigReader& r, char (&text)[vkl::MAX_CREDENTIAL + 1], const char*& why) {
    const uint8_t length = r.u8();
    if (!r.ok()) return true;
    if (length > vkl::MAX_CREDENTIAL) return fail(why, "credential length out of range");
    if (!r.bytes(text, length)) return true;
    for (uint8_t i = 0; i < length; i++) {
        if (text[i] < 0x20 || text[i] > 0x7E) return fail(why, "credential not printable");
    }
    text[length] = '\0';
    return true;
}

bool readBlob(BigReader& r, NLobbyMessage& m, const char*& why) {
    m.blobSize = r.u16();
    if (!r.ok()) return true;
    if (m.blobSize > vkl::MAX_BLOB) return fail(why, "blob length out of range");
    r.bytes(m.blob, m.blobSize);
    return true;
}

void writeBlob(BigWriter& w, const NLobbyMessage& m) {
    const uint16_t size = m.blobSize > vkl::MAX_BLOB ? vkl::MAX_BLOB : m.blobSize;
    w.u16(size);
    w.bytes(m.blob, size);
}

}  // namespace

bool isLobbyDatagram(const uint8_t* data, size_t size) {
    return data != nullptr && size >= vkl::MAGIC_SIZE && memcmp(data, vkl::MAGIC, vkl::MAGIC_SIZE) == 0;
}

bool isLobbyCode(const char* text) {
    for (size_t i = 0; i < vkl::CODE_LENGTH; i++) {
        if (text[i] == '\0' || strchr(vkl::CODE_ALPHABET, text[i]) == nullptr) return false;
    }
    return text[vkl::CODE_LENGTH] == '\0';
}

const char* lobbyTypeName(vkl::Type type) {
    switch (type) {
    case vkl::Type::HELLO: return "hello";
    case vkl::Type::COOKIE: return "cookie";
    case vkl::Type::OPEN: return "open";
    case vkl::Type::OPENED: return "opened";
    case vkl::Type::CLOSE: return "close";
    case vkl::Type::LIST: return "list";
    case vkl::Type::GAMES: return "games";
    case vkl::Type::JOIN: return "join";
    case vkl::Type::INTRO: return "intro";
    case vkl::Type::NOGAME: return "no-game";
    case vkl::Type::SIGNAL: return "signal";
    case vkl::Type::FORWARD: return "forward";
    case vkl::Type::PUNCH: return "punch";
    }
    return "?";
}

size_t encodeLobby(const NLobbyMessage& m, uint8_t* out) {
    BigWriter w(out);
    w.bytes(vkl::MAGIC, vkl::MAGIC_SIZE);
    w.u8(static_cast<uint8_t>(m.type));
    switch (m.type) {
    case vkl::Type::HELLO: {
        const size_t size = m.helloSize < vkl::HEADER_SIZE ? vkl::HEADER_SIZE
                            : m.helloSize > vkl::MAX_DATAGRAM ? vkl::MAX_DATAGRAM
                                                               : m.helloSize;
        const uint8_t zero[vkl::MAX_DATAGRAM] = {};
        w.bytes(zero, size - vkl::HEADER_SIZE);
        break;
    }
    case vkl::Type::COOKIE:
        w.u64(m.cookie);
        break;
    case vkl::Type::OPEN:
        w.u64(m.cookie);
        writeCode(w, m.code);
        w.u8(static_cast<uint8_t>(m.stage));
        w.u8(m.watchers);
        w.u8(m.hostChoice);
        writeAddresses(w, m);
        break;
    case vkl::Type::OPENED:
    case vkl::Type::NOGAME:
        writeCode(w, m.code);
        break;
    case vkl::Type::CLOSE:
        w.u64(m.cookie);
        writeCode(w, m.code);
        break;
    case vkl::Type::LIST:
        w.u64(m.cookie);
        w.u16(m.page);
        break;
    case vkl::Type::GAMES: {
        w.u16(m.page);
        w.u16(m.total);
        const uint8_t count = m.entryCount > vkl::GAMES_PER_PAGE ? vkl::GAMES_PER_PAGE : m.entryCount;
        w.u8(count);
        for (uint8_t i = 0; i < count; i++) {
            writeCode(w, m.entries[i].code);
            w.u8(static_cast<uint8_t>(m.entries[i].stage));
            w.u8(m.entries[i].watchers);
            w.u8(m.entries[i].hostChoice);
        }
        break;
    }
    case vkl::Type::JOIN:
        w.u64(m.cookie);
        writeCode(w, m.code);
        w.u8(static_cast<uint8_t>(m.want));
        w.u64(m.nonce);
        writeAddresses(w, m);
        break;
    case vkl::Type::INTRO:
        writeCode(w, m.code);
        w.u64(m.nonce);
        w.u8(static_cast<uint8_t>(m.side));
        w.u8(static_cast<uint8_t>(m.want));
        w.address(m.publicAddress);
        writeAddresses(w, m);
        w.address(m.turn);
        writeText(w, m.username);
        writeText(w, m.password);
        break;
    case vkl::Type::SIGNAL:
        w.u64(m.cookie);
        writeCode(w, m.code);
        w.u64(m.nonce);
        writeBlob(w, m);
        break;
    case vkl::Type::FORWARD:
        writeCode(w, m.code);
        w.u64(m.nonce);
        writeBlob(w, m);
        break;
    case vkl::Type::PUNCH:
        w.u64(m.nonce);
        w.u8(m.answer ? 1 : 0);
        break;
    }
    return w.size();
}

bool decodeLobby(const uint8_t* data, size_t size, NLobbyMessage& m, const char*& why) {
    why = nullptr;
    if (!isLobbyDatagram(data, size)) return fail(why, "not a lobby datagram");
    if (size > vkl::MAX_DATAGRAM) return fail(why, "datagram too long");
    BigReader r(data + vkl::MAGIC_SIZE, size - vkl::MAGIC_SIZE);
    const uint8_t typeByte = r.u8();
    if (!r.ok()) return fail(why, "truncated header");
    if (typeByte < vkl::FIRST_TYPE || typeByte > vkl::LAST_TYPE) return fail(why, "unknown type");
    m.type = static_cast<vkl::Type>(typeByte);
    m.addressCount = 0;
    m.entryCount = 0;
    m.blobSize = 0;
    m.code[0] = '\0';
    bool fieldsOk = true;
    switch (m.type) {
    case vkl::Type::HELLO:
        m.helloSize = size;
        r.skipToEnd();
        break;
    case vkl::Type::COOKIE:
        m.cookie = r.u64();
        break;
    case vkl::Type::OPEN:
        m.cookie = r.u64();
        fieldsOk = readCode(r, m.code, true, why) && readMenu(r, m.stage, m.watchers, m.hostChoice, why) &&
                   readAddresses(r, m, why);
        break;
    case vkl::Type::OPENED:
    case vkl::Type::NOGAME:
        fieldsOk = readCode(r, m.code, false, why);
        break;
    case vkl::Type::CLOSE:
        m.cookie = r.u64();
        fieldsOk = readCode(r, m.code, false, why);
        break;
    case vkl::Type::LIST:
        m.cookie = r.u64();
        m.page = r.u16();
        break;
    case vkl::Type::GAMES:
        m.page = r.u16();
        m.total = r.u16();
        m.entryCount = r.u8();
        if (r.ok() && m.entryCount > vkl::GAMES_PER_PAGE) return fail(why, "game count out of range");
        for (uint8_t i = 0; fieldsOk && r.ok() && i < m.entryCount; i++) {
            NLobbyEntry& e = m.entries[i];
            fieldsOk = readCode(r, e.code, false, why) && readMenu(r, e.stage, e.watchers, e.hostChoice, why);
        }
        break;
    case vkl::Type::JOIN: {
        m.cookie = r.u64();
        fieldsOk = readCode(r, m.code, false, why);
        const uint8_t want = r.u8();
        m.nonce = r.u64();
        if (fieldsOk && r.ok() && want > static_cast<uint8_t>(vkl::Want::WATCH)) return fail(why, "want out of range");
        m.want = static_cast<vkl::Want>(want);
        fieldsOk = fieldsOk && readAddresses(r, m, why);
        break;
    }
    case vkl::Type::INTRO: {
        fieldsOk = readCode(r, m.code, false, why);
        m.nonce = r.u64();
        const uint8_t side = r.u8();
        const uint8_t want = r.u8();
        if (!fieldsOk || !r.ok()) break;
        if (side > static_cast<uint8_t>(vkl::Side::JOINER)) return fail(why, "side out of range");
        if (want > static_cast<uint8_t>(vkl::Want::WATCH)) return fail(why, "want out of range");
        m.side = static_cast<vkl::Side>(side);
        m.want = static_cast<vkl::Want>(want);
        if (!readAddress(r, m.publicAddress)) return fail(why, "public address or port zero");
        if (!readAddresses(r, m, why)) return false;
        m.turn.ip = r.u32();
        m.turn.port = r.u16();
        if (r.ok() && (m.turn.ip == 0) != (m.turn.port == 0)) return fail(why, "relay address without port");
        fieldsOk = readText(r, m.username, why) && readText(r, m.password, why);
        break;
    }
    case vkl::Type::SIGNAL:
        m.cookie = r.u64();
        fieldsOk = readCode(r, m.code, false, why);
        m.nonce = r.u64();
        fieldsOk = fieldsOk && readBlob(r, m, why);
        break;
    case vkl::Type::FORWARD:
        fieldsOk = readCode(r, m.code, false, why);
        m.nonce = r.u64();
        fieldsOk = fieldsOk && readBlob(r, m, why);
        break;
    case vkl::Type::PUNCH: {
        m.nonce = r.u64();
        const uint8_t answer = r.u8();
        if (r.ok() && answer > 1) return fail(why, "punch answer out of range");
        m.answer = answer == 1;
        break;
    }
    }
    if (!fieldsOk) return false;
    if (!r.ok()) return fail(why, "truncated message");
    if (!r.atEnd()) return fail(why, "bytes after the message");
    return true;
}
