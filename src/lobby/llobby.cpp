// llobby.cpp: requests to answers, the registry of games, the introductions,
// and each address's bucket and wrong codes.
#include "lobby/llobby.h"

#include <algorithm>
#include <cstring>

#include "lobby/lcredentials.h"

namespace {

constexpr uint32_t NONE = LFlatIndex::NONE;

uint64_t rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

// SipHash-2-4 of one 16-byte block (address, port, period): a keyed hash
// made for short inputs, so that a cookie cannot be forged without the key.
uint64_t sipHash(const uint64_t key[2], uint64_t m0, uint64_t m1) {
    uint64_t v0 = 0x736f6d6570736575ull ^ key[0];
    uint64_t v1 = 0x646f72616e646f6dull ^ key[1];
    uint64_t v2 = 0x6c7967656e657261ull ^ key[0];
    uint64_t v3 = 0x7465646279746573ull ^ key[1];
    auto round = [&]() {
        v0 += v1; v1 = rotl(v1, 13); v1 ^= v0; v0 = rotl(v0, 32);
        v2 += v3; v3 = rotl(v3, 16); v3 ^= v2;
        v0 += v3; v3 = rotl(v3, 21); v3 ^= v0;
        v2 += v1; v1 = rotl(v1, 17); v1 ^= v2; v2 = rotl(v2, 32);
    };
    for (uint64_t m : {m0, m1, uint64_t(16) << 56}) {
        v3 ^= m;
        round();
        round();
        v0 ^= m;
    }
    v2 ^= 0xff;
    for (int i = 0; i < 4; i++) round();
    return v0 ^ v1 ^ v2 ^ v3;
}

uint64_t splitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A code as its number in base 25: the games' index key.
uint64_t codeKey(const char* code) {
    uint64_t key = 0;
    for (size_t i = 0; i < vkl::CODE_LENGTH; i++) {
        key = key * vkl::CODE_LETTERS + static_cast<uint64_t>(strchr(vkl::CODE_ALPHABET, code[i]) - vkl::CODE_ALPHABET);
    }
    return key;
}

uint64_t addressKey(NLobbyAddress a) { return (uint64_t(a.ip) << 16) | a.port; }

size_t emit(LAnswer& answer, NLobbyAddress to, const NLobbyMessage& m) {
    answer.to = to;
    answer.size = encodeLobby(m, answer.bytes);
    return 1;
}

}  // namespace

LLobby::LLobby(const LLobbyConfig& config)
    : config(config), random(config.seed), gameIndex(config.maxGames, config.seed ^ 0x6761u),
      introIndex(config.maxIntroductions, config.seed ^ 0x696eu),
      addressIndex(config.maxAddresses, config.seed ^ 0x6164u) {
    gameSlots.resize(config.maxGames);
    freeGames.reserve(config.maxGames);
    for (uint32_t i = config.maxGames; i-- > 0;) freeGames.push_back(i);
    openSlots.reserve(config.maxGames);
    intros.resize(config.maxIntroductions);
    addressSlots.resize(config.maxAddresses);
    freeAddresses.reserve(config.maxAddresses);
    for (uint32_t i = config.maxAddresses; i-- > 0;) freeAddresses.push_back(i);
}

size_t LLobby::bytes() const {
    return gameSlots.capacity() * sizeof(Game) + (freeGames.capacity() + openSlots.capacity()) * sizeof(uint32_t) +
           intros.capacity() * sizeof(Introduction) + addressSlots.capacity() * sizeof(Address) +
           freeAddresses.capacity() * sizeof(uint32_t) + gameIndex.bytes() + introIndex.bytes() + addressIndex.bytes();
}

uint64_t LLobby::cookie(NLobbyAddress address, uint64_t period) const {
    return sipHash(config.cookieKey, addressKey(address), period);
}

uint64_t LLobby::cookieFor(NLobbyAddress address, uint64_t nowMs) const {
    return cookie(address, nowMs / vkl::COOKIE_PERIOD_MS);
}

bool LLobby::cookieOk(NLobbyAddress address, uint64_t value, uint64_t nowMs) const {
    const uint64_t period = nowMs / vkl::COOKIE_PERIOD_MS;
    return value == cookie(address, period) || (period > 0 && value == cookie(address, period - 1));
}

uint32_t LLobby::addressEntry(uint32_t ip, uint64_t nowMs, bool make) {
    uint32_t slot = addressIndex.find(ip);
    if (slot == NONE) {
        if (!make || freeAddresses.empty()) return NONE;
        slot = freeAddresses.back();
        freeAddresses.pop_back();
        addressIndex.insert(ip, slot);
        addressSlots[slot] = Address{ip, vkl::BUCKET_BURST * 1000u, nowMs, 0, 0, 0};
        return slot;
    }
    Address& a = addressSlots[slot];
    // In thousandths of a request: BUCKET_PER_SECOND of them come each ms.
    const uint64_t gained = (nowMs - a.refilledMs) * vkl::BUCKET_PER_SECOND;
    const uint64_t tokens = a.milliTokens + gained;
    a.milliTokens = tokens > vkl::BUCKET_BURST * 1000u ? vkl::BUCKET_BURST * 1000u : static_cast<uint32_t>(tokens);
    a.refilledMs = nowMs;
    return slot;
}

uint32_t LLobby::liveGame(const char* code, uint64_t nowMs) const {
    if (!isLobbyCode(code)) return NONE;
    const uint32_t slot = gameIndex.find(codeKey(code));
    if (slot == NONE || nowMs - gameSlots[slot].lastMs >= vkl::EXPIRE_MS) return NONE;
    return slot;
}

bool LLobby::isOpen(const char* code, uint64_t nowMs) const { return liveGame(code, nowMs) != NONE; }

uint32_t LLobby::games(uint64_t nowMs) const {
    uint32_t live = 0;
    for (uint32_t slot : openSlots) live += nowMs - gameSlots[slot].lastMs < vkl::EXPIRE_MS ? 1 : 0;
    return live;
}

void LLobby::removeGame(uint32_t slot) {
    Game& g = gameSlots[slot];
    gameIndex.erase(codeKey(g.code));
    const uint32_t last = openSlots.back();
    openSlots[g.listed] = last;
    gameSlots[last].listed = g.listed;
    openSlots.pop_back();
    const uint32_t owner = addressIndex.find(g.host.ip);
    if (owner != NONE && addressSlots[owner].hosted > 0) addressSlots[owner].hosted--;
    freeGames.push_back(slot);
}

void LLobby::drawCode(char (&code)[vkl::CODE_LENGTH + 1]) {
    // 25^6 codes against at most maxGames in use: a draw is taken at once
    // but for a chance of one in thousands; a few tries make a miss
    // impossible in practice, and the caller checks anyway.
    for (int attempt = 0; attempt < 8; attempt++) {
        uint64_t bits = splitMix(random);
        for (size_t i = 0; i < vkl::CODE_LENGTH; i++) {
            code[i] = vkl::CODE_ALPHABET[bits % vkl::CODE_LETTERS];
            bits /= vkl::CODE_LETTERS;
        }
        code[vkl::CODE_LENGTH] = '\0';
        if (gameIndex.find(codeKey(code)) == NONE) return;
    }
}

size_t LLobby::handle(uint64_t nowMs, NLobbyAddress from, const uint8_t* bytes, size_t size, LAnswer* answers) {
    counts.datagrams++;
    const char* why = nullptr;
    if (!decodeLobby(bytes, size, request, why)) {
        counts.refused++;
        return 0;
    }
    const NLobbyMessage& m = request;
    switch (m.type) {
    case vkl::Type::HELLO:
    case vkl::Type::OPEN:
    case vkl::Type::CLOSE:
    case vkl::Type::LIST:
    case vkl::Type::JOIN:
    case vkl::Type::SIGNAL:
        break;
    default:  // answers and punches are not requests
        counts.refused++;
        return 0;
    }
    const bool proven = m.type != vkl::Type::HELLO && cookieOk(from, m.cookie, nowMs);
    // Entries are made for proven addresses only; an unproven one is held
    // to the bucket its address already has, if any.
    const uint32_t entry = addressEntry(from.ip, nowMs, proven);
    if (entry != NONE) {
        Address& a = addressSlots[entry];
        if (a.milliTokens < 1000) {
            counts.limited++;
            return 0;
        }
        a.milliTokens -= 1000;
    } else if (proven) {
        counts.full++;
        return 0;
    }
    if (!proven) {
        counts.unprovenIn += size;
        if (size < vkl::COOKIE_SIZE) return 0;
        reply.type = vkl::Type::COOKIE;
        reply.cookie = cookieFor(from, nowMs);
        emit(answers[0], from, reply);
        counts.unprovenOut += answers[0].size;
        return 1;
    }
    switch (m.type) {
    case vkl::Type::OPEN: return openGame(nowMs, from, m, answers);
    case vkl::Type::CLOSE: {
        const uint32_t slot = liveGame(m.code, nowMs);
        if (slot != NONE && gameSlots[slot].host == from) removeGame(slot);
        return 0;
    }
    case vkl::Type::LIST: return listGames(nowMs, from, m, answers);
    case vkl::Type::JOIN: return joinGame(nowMs, from, entry, m, answers);
    case vkl::Type::SIGNAL: return forwardSignal(nowMs, from, m, answers);
    default: return 0;
    }
}

size_t LLobby::openGame(uint64_t nowMs, NLobbyAddress from, const NLobbyMessage& m, LAnswer* answers) {
    uint32_t slot = m.code[0] != '\0' ? gameIndex.find(codeKey(m.code)) : NONE;
    // Someone else's code (listed for all to see) is not refreshed: this
    // host gets a code of its own.
    const bool taken = slot != NONE && gameSlots[slot].host != from;
    if (taken) slot = NONE;
    if (slot == NONE) {
        const uint32_t owner = addressIndex.find(from.ip);
        if (freeGames.empty() || owner == NONE || addressSlots[owner].hosted >= vkl::MAX_GAMES_PER_ADDRESS) {
            counts.full++;
            return 0;
        }
        char code[vkl::CODE_LENGTH + 1];
        // A host that names a code the lobby does not know (a lobby that
        // restarted, a registration that lapsed) keeps it when it is free,
        // so that the code it already gave out still works.
        if (m.code[0] != '\0' && !taken) {
            memcpy(code, m.code, sizeof code);
        } else {
            drawCode(code);
            if (gameIndex.find(codeKey(code)) != NONE) return 0;
        }
        slot = freeGames.back();
        freeGames.pop_back();
        Game& g = gameSlots[slot];
        memcpy(g.code, code, sizeof code);
        g.host = from;
        g.listed = static_cast<uint32_t>(openSlots.size());
        openSlots.push_back(slot);
        gameIndex.insert(codeKey(code), slot);
        addressSlots[owner].hosted++;
    }
    Game& g = gameSlots[slot];
    g.lastMs = nowMs;
    g.stage = m.stage;
    g.watchers = m.watchers;
    g.hostChoice = m.hostChoice;
    g.reportedCount = m.addressCount;
    memcpy(g.reported, m.addresses, sizeof g.reported);
    reply.type = vkl::Type::OPENED;
    memcpy(reply.code, g.code, sizeof reply.code);
    return emit(answers[0], from, reply);
}

size_t LLobby::listGames(uint64_t nowMs, NLobbyAddress from, const NLobbyMessage& m, LAnswer* answers) {
    reply.type = vkl::Type::GAMES;
    reply.page = m.page;
    reply.total = openSlots.size() > UINT16_MAX ? UINT16_MAX : static_cast<uint16_t>(openSlots.size());
    reply.entryCount = 0;
    // Lapsed games still listed until expire() are left out of the page
    // (which may then come short).
    const size_t first = size_t(m.page) * vkl::GAMES_PER_PAGE;
    const size_t end = std::min(openSlots.size(), first + vkl::GAMES_PER_PAGE);
    for (size_t i = first; i < end; i++) {
        const Game& g = gameSlots[openSlots[i]];
        if (nowMs - g.lastMs >= vkl::EXPIRE_MS) continue;
        NLobbyEntry& e = reply.entries[reply.entryCount++];
        memcpy(e.code, g.code, sizeof e.code);
        e.stage = g.stage;
        e.watchers = g.watchers;
        e.hostChoice = g.hostChoice;
    }
    return emit(answers[0], from, reply);
}

size_t LLobby::joinGame(uint64_t nowMs, NLobbyAddress from, uint32_t entry, const NLobbyMessage& m, LAnswer* answers) {
    Address& a = addressSlots[entry];
    if (a.wrongCodes > 0 && nowMs - a.firstWrongMs >= vkl::WRONG_CODE_WINDOW_MS) a.wrongCodes = 0;
    if (a.wrongCodes >= vkl::WRONG_CODES_ALLOWED) {
        counts.silenced++;
        return 0;
    }
    const uint32_t slot = liveGame(m.code, nowMs);
    if (slot == NONE) {
        if (a.wrongCodes++ == 0) a.firstWrongMs = nowMs;
        reply.type = vkl::Type::NOGAME;
        memcpy(reply.code, m.code, sizeof reply.code);
        return emit(answers[0], from, reply);
    }
    const Game& g = gameSlots[slot];
    uint32_t at = introIndex.find(m.nonce);
    if (at != NONE && nowMs - intros[at].madeMs < vkl::EXPIRE_MS) {
        // The same JOIN again (an INTRO was lost): the same introduction,
        // told again. A nonce someone else holds is not theirs to reuse.
        const Introduction& old = intros[at];
        if (old.joiner != from || strcmp(old.code, g.code) != 0) return 0;
        return introduce(nowMs, old, m.want, m.addresses, m.addressCount, answers);
    }
    if (introCount == intros.size()) {
        const Introduction& oldest = intros[introHead];
        if (nowMs - oldest.madeMs < vkl::EXPIRE_MS) {
            counts.full++;
            return 0;
        }
        dropOldestIntroduction();
    }
    at = (introHead + introCount) % static_cast<uint32_t>(intros.size());
    Introduction& intro = intros[at];
    intro.nonce = m.nonce;
    memcpy(intro.code, g.code, sizeof intro.code);
    intro.host = g.host;
    intro.joiner = from;
    intro.madeMs = nowMs;
    introCount++;
    introIndex.insert(m.nonce, at);
    return introduce(nowMs, intro, m.want, m.addresses, m.addressCount, answers);
}

void LLobby::dropOldestIntroduction() {
    const Introduction& oldest = intros[introHead];
    // A newer introduction under the same nonce (after this one lapsed)
    // keeps its index entry.
    if (introIndex.find(oldest.nonce) == introHead) introIndex.erase(oldest.nonce);
    introHead = (introHead + 1) % static_cast<uint32_t>(intros.size());
    introCount--;
}

size_t LLobby::introduce(uint64_t nowMs, const Introduction& intro, vkl::Want want, const NLobbyAddress* joinerReported,
                         uint8_t joinerReportedCount, LAnswer* answers) {
    const uint32_t slot = liveGame(intro.code, nowMs);
    reply.type = vkl::Type::INTRO;
    memcpy(reply.code, intro.code, sizeof reply.code);
    reply.nonce = intro.nonce;
    reply.want = want;
    reply.turn = config.turn;
    reply.username[0] = '\0';
    reply.password[0] = '\0';
    if (config.turn.ip != 0) {
        const int64_t unixNow = config.unixAtZero + static_cast<int64_t>(nowMs / 1000);
        turnCredentials(reinterpret_cast<const uint8_t*>(config.turnSecret.data()), config.turnSecret.size(), unixNow,
                        intro.code, reply.username, reply.password);
    }
    // To the joiner: the host as seen and as it reports itself.
    reply.side = vkl::Side::JOINER;
    reply.publicAddress = intro.host;
    reply.addressCount = 0;
    if (slot != NONE) {
        reply.addressCount = gameSlots[slot].reportedCount;
        memcpy(reply.addresses, gameSlots[slot].reported, sizeof reply.addresses);
    }
    emit(answers[0], intro.joiner, reply);
    // To the host: the joiner.
    reply.side = vkl::Side::HOST;
    reply.publicAddress = intro.joiner;
    reply.addressCount = joinerReportedCount;
    memcpy(reply.addresses, joinerReported, sizeof reply.addresses);
    emit(answers[1], intro.host, reply);
    return 2;
}

size_t LLobby::forwardSignal(uint64_t nowMs, NLobbyAddress from, const NLobbyMessage& m, LAnswer* answers) {
    const uint32_t at = introIndex.find(m.nonce);
    if (at == NONE) return 0;
    const Introduction& intro = intros[at];
    if (nowMs - intro.madeMs >= vkl::EXPIRE_MS || strcmp(intro.code, m.code) != 0) return 0;
    NLobbyAddress to;
    if (from == intro.host) {
        to = intro.joiner;
    } else if (from == intro.joiner) {
        to = intro.host;
    } else {
        return 0;
    }
    reply.type = vkl::Type::FORWARD;
    memcpy(reply.code, m.code, sizeof reply.code);
    reply.nonce = m.nonce;
    reply.blobSize = m.blobSize;
    memcpy(reply.blob, m.blob, m.blobSize);
    return emit(answers[0], to, reply);
}

void LLobby::expire(uint64_t nowMs) {
    for (size_t i = openSlots.size(); i-- > 0;) {
        const uint32_t slot = openSlots[i];
        if (nowMs - gameSlots[slot].lastMs >= vkl::EXPIRE_MS) removeGame(slot);
    }
    while (introCount > 0 && nowMs - intros[introHead].madeMs >= vkl::EXPIRE_MS) dropOldestIntroduction();
    // An address is worth remembering while its bucket is short, it hosts,
    // or its wrong codes still count.
    for (uint32_t slot = 0; slot < addressSlots.size(); slot++) {
        Address& a = addressSlots[slot];
        if (addressIndex.find(a.ip) != slot) continue;
        addressEntry(a.ip, nowMs, false);
        const bool counting = a.wrongCodes > 0 && nowMs - a.firstWrongMs < vkl::WRONG_CODE_WINDOW_MS;
        if (a.milliTokens < vkl::BUCKET_BURST * 1000u || a.hosted > 0 || counting) continue;
        addressIndex.erase(a.ip);
        freeAddresses.push_back(slot);
    }
}
