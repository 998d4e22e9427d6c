// nprotocol.cpp: the messages' bytes, and the checks on every field.
#include "net/nprotocol.h"

#include <cstring>

#include "assets/hbytes.h"
#include "game/gcontrollerkinds.h"
#include "game/gmatch.h"
#include "game/gship.h"

// The protocol restates a few of the game's values; a change to the game
// that would make them disagree stops the build here instead of a match.
static_assert(vkn::FLAG_MASK == vkr::FLAG_MASK, "a tick's byte carries the game's five flags");
static_assert((vkn::PAUSE_BIT & vkr::FLAG_MASK) == 0, "the pause bit is none of the flags");
static_assert(vkn::CHOICES == CONTROLLER_KIND_COUNT, "the menu may send every kind of controller");
static_assert(vkn::MAX_TICK >= GMatch::LONGEST_MS / GShip::PERIOD_MS, "every tick of the longest match can be sent");
static_assert(vkn::MAX_WATCH_MATCH_TICKS == GMatch::LONGEST_MS / GShip::PERIOD_MS,
              "a spectator holds every tick of the longest match, and no more");
static_assert(vkn::MAX_SPECTATORS < 256, "the watchers fit their byte");

#ifndef VEKTORAK_VERSION
#define VEKTORAK_VERSION "0"
#endif

const char* kindName(vkn::Kind kind) {
    switch (kind) {
    case vkn::Kind::HELLO: return "hello";
    case vkn::Kind::WELCOME: return "welcome";
    case vkn::Kind::REFUSE: return "refusal";
    case vkn::Kind::MENU: return "menu";
    case vkn::Kind::START: return "start";
    case vkn::Kind::INPUT: return "input";
    case vkn::Kind::PING: return "ping";
    case vkn::Kind::PONG: return "pong";
    case vkn::Kind::RESUME: return "resume";
    case vkn::Kind::LEAVE: return "leave";
    case vkn::Kind::OUT_OF_STEP: return "out-of-step";
    case vkn::Kind::ASK: return "ask";
    case vkn::Kind::STATUS: return "status";
    case vkn::Kind::FLAGS: return "flags";
    case vkn::Kind::ACK: return "acknowledgement";
    case vkn::Kind::END: return "end";
    }
    return "?";
}

namespace {

bool fail(std::string& why, const std::string& text) {
    why = text;
    return false;
}

void writeVersions(HByteWriter& w, const NMessage& m) {
    w.u16(m.protocol);
    writeVersionText(w, m.gameVersion);
}

bool readVersions(HByteReader& r, NMessage& m, std::string& why) {
    m.protocol = r.u16();
    return readVersionText(r, m.gameVersion, why);
}

bool choiceOk(uint8_t choice, const char* what, std::string& why) {
    if (choice < vkn::CHOICES) return true;
    return fail(why, std::string(what) + " choice " + std::to_string(choice) + " out of range");
}

bool flagsOk(uint8_t flags, const char* what, std::string& why) {
    if ((flags & ~(vkn::FLAG_MASK | vkn::PAUSE_BIT)) == 0) return true;
    return fail(why, std::string(what) + " flags " + std::to_string(flags) + " out of range");
}

// A byte that must be one of `count` values from 0, named `what` if not.
bool belowOk(uint8_t value, uint8_t count, const char* what, std::string& why) {
    if (value < count) return true;
    return fail(why, std::string(what) + " " + std::to_string(value) + " out of range");
}

}  // namespace

const char* gameVersion() { return VEKTORAK_VERSION; }

bool sameVersions(uint16_t protocol, const char* version) {
    return protocol == vkn::PROTOCOL && strcmp(version, gameVersion()) == 0;
}

std::string versionsText(uint16_t protocol, const char* version) {
    return "the other game is version " + std::string(version) + " (protocol " + std::to_string(protocol) +
           "), this one is " + gameVersion() + " (protocol " + std::to_string(vkn::PROTOCOL) + ")";
}

void writeVersionText(HByteWriter& w, const char* text) {
    const size_t length = strnlen(text, vkn::MAX_VERSION_TEXT);
    w.u8(static_cast<uint8_t>(length));
    w.bytes(text, length);
}

bool readVersionText(HByteReader& r, char (&text)[vkn::MAX_VERSION_TEXT + 1], std::string& why) {
    const uint8_t length = r.u8();
    if (!r.ok()) return false;
    if (length < 1 || length > vkn::MAX_VERSION_TEXT) {
        return fail(why, "version text of " + std::to_string(length) + " bytes out of range");
    }
    for (uint8_t i = 0; i < length; i++) {
        const uint8_t c = r.u8();
        if (!r.ok()) return false;
        if (c < 0x20 || c > 0x7E) return fail(why, "version text holds byte " + std::to_string(c));
        text[i] = static_cast<char>(c);
    }
    text[length] = '\0';
    return true;
}

NMessage greeting(vkn::Kind kind) {
    NMessage m;
    m.kind = kind;
    strncpy(m.gameVersion, gameVersion(), vkn::MAX_VERSION_TEXT);
    m.gameVersion[vkn::MAX_VERSION_TEXT] = '\0';
    return m;
}

size_t encodeMessage(const NMessage& m, uint8_t* out) {
    HByteWriter w;
    w.u8(static_cast<uint8_t>(m.kind));
    switch (m.kind) {
    case vkn::Kind::HELLO:
    case vkn::Kind::WELCOME:
        w.u32(m.magic);
        writeVersions(w, m);
        // A welcome of another protocol is never sent: the hello was refused.
        if (m.kind == vkn::Kind::WELCOME && m.protocol == vkn::PROTOCOL) w.u8(static_cast<uint8_t>(m.role));
        break;
    case vkn::Kind::ASK:
        w.u8(static_cast<uint8_t>(m.role));
        break;
    case vkn::Kind::STATUS:
        w.u8(static_cast<uint8_t>(m.stage));
        w.u8(m.watchers);
        w.u8(m.leftChoice);
        w.u8(m.rightChoice);
        w.u8(m.readyBits);
        break;
    case vkn::Kind::FLAGS: {
        w.u8(m.match);
        w.u32(m.newest);
        w.u32(m.firstTick);
        const uint8_t count = m.count > vkn::MAX_WATCH_TICKS ? vkn::MAX_WATCH_TICKS : m.count;
        w.u8(count);
        w.bytes(m.flags, 2u * count);
        break;
    }
    case vkn::Kind::ACK:
        w.u8(m.match);
        w.u32(m.ack);
        break;
    case vkn::Kind::END:
        w.u8(m.match);
        w.u8(static_cast<uint8_t>(m.end));
        w.u32(m.endMs);
        break;
    case vkn::Kind::REFUSE:
        w.u8(static_cast<uint8_t>(m.refusal));
        writeVersions(w, m);
        break;
    case vkn::Kind::MENU:
        w.u8(m.choice);
        w.u8(m.ready ? 1 : 0);
        break;
    case vkn::Kind::START:
        w.u8(m.match);
        w.u32(m.seed);
        w.u8(m.delay);
        w.u8(m.leftChoice);
        w.u8(m.rightChoice);
        break;
    case vkn::Kind::INPUT: {
        w.u8(m.match);
        w.u32(m.firstTick);
        const uint8_t count = m.count > vkn::MAX_INPUTS ? vkn::MAX_INPUTS : m.count;
        w.u8(count);
        for (uint8_t i = 0; i < count; i++) w.u8(m.flags[i]);
        w.u32(m.ack);
        w.u32(m.checkTick);
        w.u64(m.checkHash);
        w.u16(static_cast<uint16_t>(m.gap));
        break;
    }
    case vkn::Kind::PING:
    case vkn::Kind::PONG:
        w.u32(m.stamp);
        break;
    case vkn::Kind::OUT_OF_STEP:
        w.u32(m.firstTick);
        break;
    case vkn::Kind::RESUME:
    case vkn::Kind::LEAVE:
        break;
    }
    memcpy(out, w.data().data(), w.size());
    return w.size();
}

bool decodeMessage(const uint8_t* data, size_t size, NMessage& m, std::string& why) {
    why.clear();
    if (data == nullptr || size == 0) return fail(why, "empty packet");
    HByteReader r(data, size);
    const uint8_t kindByte = r.u8();
    if (kindByte < static_cast<uint8_t>(vkn::Kind::HELLO) || kindByte > static_cast<uint8_t>(vkn::Kind::END)) {
        return fail(why, "unknown kind " + std::to_string(kindByte));
    }
    m = NMessage();
    m.kind = static_cast<vkn::Kind>(kindByte);
    bool fieldsOk = true;
    switch (m.kind) {
    case vkn::Kind::HELLO:
    case vkn::Kind::WELCOME:
        m.magic = r.u32();
        if (r.ok() && m.magic != vkn::MAGIC) return fail(why, "not a Vektorak game (wrong magic)");
        fieldsOk = readVersions(r, m, why);
        if (fieldsOk && m.kind == vkn::Kind::WELCOME && m.protocol == vkn::PROTOCOL) {
            const uint8_t role = r.u8();
            if (r.ok() && role != static_cast<uint8_t>(vkn::Role::LEFT) && role != static_cast<uint8_t>(vkn::Role::RIGHT) &&
                role != static_cast<uint8_t>(vkn::Role::SPECTATOR)) {
                return fail(why, "welcome role " + std::to_string(role) + " out of range");
            }
            m.role = static_cast<vkn::Role>(role);
        }
        break;
    case vkn::Kind::ASK: {
        const uint8_t role = r.u8();
        if (r.ok() && !belowOk(role, 4, "asked role", why)) return false;
        m.role = static_cast<vkn::Role>(role);
        break;
    }
    case vkn::Kind::STATUS: {
        const uint8_t stage = r.u8();
        m.watchers = r.u8();
        m.leftChoice = r.u8();
        m.rightChoice = r.u8();
        m.readyBits = r.u8();
        if (!r.ok()) break;
        if (!belowOk(stage, 3, "stage", why) || !belowOk(m.watchers, vkn::MAX_SPECTATORS + 1, "watchers", why)) return false;
        if (!choiceOk(m.leftChoice, "left", why) || !choiceOk(m.rightChoice, "right", why)) return false;
        if (!belowOk(m.readyBits, 4, "ready bits", why)) return false;
        m.stage = static_cast<vkn::Stage>(stage);
        break;
    }
    case vkn::Kind::FLAGS: {
        m.match = r.u8();
        m.newest = r.u32();
        m.firstTick = r.u32();
        m.count = r.u8();
        if (!r.ok()) break;
        if (m.newest < 1 || m.newest > vkn::MAX_TICK) return fail(why, "newest tick " + std::to_string(m.newest) + " out of range");
        if (m.firstTick < 1 || m.firstTick > m.newest) {
            return fail(why, "flags tick " + std::to_string(m.firstTick) + " out of range");
        }
        if (m.count < 1 || m.count > vkn::MAX_WATCH_TICKS) {
            return fail(why, "flags count " + std::to_string(m.count) + " out of range");
        }
        if (m.firstTick - 1 + m.count > m.newest) return fail(why, "flags run past the newest tick");
        for (uint32_t i = 0; i < 2u * m.count; i++) {
            m.flags[i] = r.u8();
            if (r.ok() && !flagsOk(m.flags[i], i % 2 == 0 ? "left" : "right", why)) return false;
        }
        break;
    }
    case vkn::Kind::ACK:
        m.match = r.u8();
        m.ack = r.u32();
        if (r.ok() && m.ack > vkn::MAX_TICK) return fail(why, "acknowledged tick " + std::to_string(m.ack) + " out of range");
        break;
    case vkn::Kind::END: {
        m.match = r.u8();
        const uint8_t end = r.u8();
        m.endMs = r.u32();
        if (!r.ok()) break;
        if (!belowOk(end, 2, "end", why)) return false;
        if (m.endMs > vkr::MAX_END_MS) return fail(why, "end ms " + std::to_string(m.endMs) + " out of range");
        m.end = static_cast<vkn::End>(end);
        break;
    }
    case vkn::Kind::REFUSE: {
        const uint8_t reason = r.u8();
        if (r.ok() && (reason < static_cast<uint8_t>(vkn::Refusal::VERSIONS) ||
                       reason > static_cast<uint8_t>(vkn::Refusal::SIDE))) {
            return fail(why, "refusal reason " + std::to_string(reason) + " unknown");
        }
        m.refusal = static_cast<vkn::Refusal>(reason);
        fieldsOk = readVersions(r, m, why);
        break;
    }
    case vkn::Kind::MENU: {
        m.choice = r.u8();
        const uint8_t ready = r.u8();
        if (!r.ok()) break;
        if (!choiceOk(m.choice, "menu", why)) return false;
        if (ready > 1) return fail(why, "ready " + std::to_string(ready) + " out of range");
        m.ready = ready == 1;
        break;
    }
    case vkn::Kind::START:
        m.match = r.u8();
        m.seed = r.u32();
        m.delay = r.u8();
        m.leftChoice = r.u8();
        m.rightChoice = r.u8();
        if (!r.ok()) break;
        if (m.delay > vkn::MAX_DELAY) {
            return fail(why, "delay " + std::to_string(m.delay) + " out of range");
        }
        if (!choiceOk(m.leftChoice, "left", why) || !choiceOk(m.rightChoice, "right", why)) return false;
        break;
    case vkn::Kind::INPUT: {
        m.match = r.u8();
        m.firstTick = r.u32();
        m.count = r.u8();
        if (!r.ok()) break;
        if (m.firstTick < 1 || m.firstTick > vkn::MAX_TICK) {
            return fail(why, "input tick " + std::to_string(m.firstTick) + " out of range");
        }
        if (m.count < 1 || m.count > vkn::MAX_INPUTS) {
            return fail(why, "input count " + std::to_string(m.count) + " out of range");
        }
        if (m.firstTick - 1 + m.count > vkn::MAX_TICK) return fail(why, "input ticks run past the last");
        for (uint8_t i = 0; i < m.count; i++) {
            m.flags[i] = r.u8();
            if (r.ok() && !flagsOk(m.flags[i], "input", why)) return false;
        }
        m.ack = r.u32();
        m.checkTick = r.u32();
        m.checkHash = r.u64();
        m.gap = static_cast<int16_t>(r.u16());
        if (!r.ok()) break;
        if (m.ack > vkn::MAX_TICK) return fail(why, "acknowledged tick " + std::to_string(m.ack) + " out of range");
        if (m.checkTick > vkn::MAX_TICK || m.checkTick % vkn::CHECK_EVERY != 0) {
            return fail(why, "check tick " + std::to_string(m.checkTick) + " out of range");
        }
        break;
    }
    case vkn::Kind::PING:
    case vkn::Kind::PONG:
        m.stamp = r.u32();
        break;
    case vkn::Kind::OUT_OF_STEP:
        m.firstTick = r.u32();
        if (r.ok() && (m.firstTick < 1 || m.firstTick > vkn::MAX_TICK)) {
            return fail(why, "out-of-step tick " + std::to_string(m.firstTick) + " out of range");
        }
        break;
    case vkn::Kind::RESUME:
    case vkn::Kind::LEAVE:
        break;
    }
    if (!fieldsOk && r.ok()) return false;  // `why` is set
    if (!r.ok()) return fail(why, std::string("truncated ") + kindName(m.kind));
    if (!r.atEnd()) return fail(why, std::string("bytes after the ") + kindName(m.kind));
    return true;
}
