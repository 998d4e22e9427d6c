// fuzz_lobby.cpp: libFuzzer target for what strangers send an online lobby.
// The input is a run of datagrams, each a control byte, a big-endian u16
// length (taken modulo a little over the largest datagram) and that many
// bytes. The control byte picks the sender among four addresses
// (two sharing an IPv4 address), how far time moves on first (0 ms to past
// the 30 s expiry), whether the lobby sweeps, and whether the sender's valid
// cookie is written over bytes 5..12, so that proven requests reach the
// registry, the introductions and the buckets too; its top bit writes the
// code the lobby last said OPENED over bytes 13..18, where OPEN, CLOSE,
// JOIN and SIGNAL carry theirs.
//
// Every datagram goes to the decoder (a message taken must encode back to
// exactly its bytes; a HELLO to its length) and to the lobby, whose answers
// must decode, go to the sender or a party of an introduction, and, to an
// address without a valid cookie, be a COOKIE no larger than the request.
// Each game the lobby said OPENED must stay open until 30 s after its last
// refresh, unless its own host closed it: junk never drops a player.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lobby/llobby.h"
#include "net/nlobbyprotocol.h"

namespace {

const NLobbyAddress SENDERS[4] = {{0x0A000001, 1000}, {0x0A000001, 2000}, {0xC0A80001, 1000}, {0x7F000001, 27185}};
const uint64_t STEPS_MS[8] = {0, 1, 7, 100, 1000, 9999, 29999, 30000};

struct Registered {
    char code[vkl::CODE_LENGTH + 1];
    NLobbyAddress host;
    uint64_t lastMs;
};

bool isRequest(vkl::Type t) {
    return t == vkl::Type::HELLO || t == vkl::Type::OPEN || t == vkl::Type::CLOSE || t == vkl::Type::LIST ||
           t == vkl::Type::JOIN || t == vkl::Type::SIGNAL;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LLobbyConfig config;
    config.seed = 3;
    config.cookieKey[0] = 5;
    config.maxGames = 8;
    config.maxIntroductions = 8;
    config.maxAddresses = 4;
    config.turn = {0x0A000009, 3478};
    config.turnSecret = "secret";
    LLobby lobby(config);
    std::vector<Registered> registered;
    char lastCode[vkl::CODE_LENGTH + 1] = "ACDEFG";
    uint64_t now = 100000;
    size_t at = 0;
    while (at + 3 <= size) {
        const uint8_t control = data[at];
        uint8_t bytes[vkl::MAX_DATAGRAM + 64];
        const size_t length = ((size_t(data[at + 1]) << 8) | data[at + 2]) % sizeof bytes;
        at += 3;
        const size_t take = length < size - at ? length : size - at;
        memcpy(bytes, data + at, take);
        at += take;
        const NLobbyAddress from = SENDERS[control & 3];
        now += STEPS_MS[(control >> 2) & 7];
        if (control & 0x20) lobby.expire(now);
        if ((control & 0x40) && take >= vkl::COOKIE_SIZE) {
            const uint64_t cookie = lobby.cookieFor(from, now);
            for (int i = 0; i < 8; i++) bytes[vkl::HEADER_SIZE + i] = static_cast<uint8_t>(cookie >> (56 - 8 * i));
        }
        if ((control & 0x80) && take >= vkl::COOKIE_SIZE + vkl::CODE_LENGTH) {
            memcpy(bytes + vkl::COOKIE_SIZE, lastCode, vkl::CODE_LENGTH);
        }

        NLobbyMessage m;
        const char* why = nullptr;
        const bool taken = decodeLobby(bytes, take, m, why);
        if (!taken && why == nullptr) abort();
        if (taken) {
            uint8_t again[vkl::MAX_DATAGRAM];
            const size_t againSize = encodeLobby(m, again);
            if (againSize != take) abort();
            if (m.type != vkl::Type::HELLO && memcmp(again, bytes, take) != 0) abort();
        }
        const uint64_t period = now / vkl::COOKIE_PERIOD_MS;
        const bool proven = taken && m.type != vkl::Type::HELLO &&
                            (m.cookie == lobby.cookieFor(from, now) ||
                             (period > 0 && m.cookie == lobby.cookieFor(from, now - vkl::COOKIE_PERIOD_MS)));

        LAnswer answers[LLobby::MAX_ANSWERS];
        const size_t count = lobby.handle(now, from, bytes, take, answers);
        if (count > LLobby::MAX_ANSWERS || (!taken && count > 0) || (taken && !isRequest(m.type) && count > 0)) abort();
        for (size_t i = 0; i < count; i++) {
            NLobbyMessage answer;
            if (!decodeLobby(answers[i].bytes, answers[i].size, answer, why) || isRequest(answer.type)) abort();
            if (!proven && (answer.type != vkl::Type::COOKIE || answers[i].size > take || answers[i].to != from)) abort();
            if (answer.type == vkl::Type::OPENED) {
                if (!isLobbyCode(answer.code)) abort();
                memcpy(lastCode, answer.code, sizeof lastCode);
                bool known = false;
                for (Registered& r : registered) {
                    if (strcmp(r.code, answer.code) != 0) continue;
                    const bool live = r.lastMs != 0 && now - r.lastMs < vkl::EXPIRE_MS;
                    if (live && r.host != from) abort();  // a live game handed to another host
                    r.host = from;
                    r.lastMs = now;
                    known = true;
                }
                if (!known) registered.push_back({{}, from, now});
                if (!known) memcpy(registered.back().code, answer.code, sizeof answer.code);
            }
            // An INTRO's second answer goes to the host; every other answer to
            // the sender, but a FORWARD, which goes to the other side.
            if (answer.type != vkl::Type::FORWARD && i == 0 && answers[i].to != from) abort();
        }
        if (proven && m.type == vkl::Type::CLOSE) {
            for (size_t i = 0; i < registered.size(); i++) {
                if (strcmp(registered[i].code, m.code) == 0 && registered[i].host == from) registered[i].lastMs = 0;
            }
        }
        uint32_t live = 0;
        for (const Registered& r : registered) {
            if (r.lastMs == 0 || now - r.lastMs >= vkl::EXPIRE_MS) continue;
            live++;
            if (!lobby.isOpen(r.code, now)) abort();
        }
        if (lobby.games(now) < live || lobby.games(now) > config.maxGames) abort();
    }
    return 0;
}
