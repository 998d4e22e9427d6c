// The online lobby, in process: a host and a joiner introduced, SIGNALs
// passed to the other side only, registrations lapsing to the millisecond,
// strangers never answered more than they sent, and code guessing slowed.
// Junk: fuzz/fuzz_lobby.cpp. Over real sockets: bench/bench_lobby.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lobby/lcredentials.h"
#include "lobby/llobby.h"

namespace {

// Addresses whose ip and port both differ, so that a swapped pair shows.
const NLobbyAddress HOST{0x0A000001, 40001};
const NLobbyAddress JOINER{0xC0A80002, 50002};
const NLobbyAddress STRANGER{0x0A000001, 40002};  // the host's ip, another port
const uint64_t T0 = 1000000;                      // ms; mid cookie period
const uint64_t NONCE = 0x1122334455667788ull;
const NLobbyAddress TURN_A{0x0A000009, 3478};
const NLobbyAddress TURN_B{0x0A00000A, 3479};

struct Sent {
    NLobbyAddress to;
    size_t size;
    NLobbyMessage m;
};

class Lobby : public ::testing::Test {
protected:
    Lobby() : lobby(configured()) {}

    static LLobbyConfig configured() {
        LLobbyConfig c;
        c.seed = 7;
        c.cookieKey[0] = 11;
        c.cookieKey[1] = 13;
        c.maxGames = 64;
        c.turns = {TURN_A, TURN_B};
        c.turnSecret = "s3cret";
        c.unixAtZero = 1700000000;
        return c;
    }

    std::vector<Sent> send(uint64_t now, NLobbyAddress from, const uint8_t* bytes, size_t size) {
        LAnswer answers[LLobby::MAX_ANSWERS];
        const size_t n = lobby.handle(now, from, bytes, size, answers);
        std::vector<Sent> out;
        for (size_t i = 0; i < n; i++) {
            Sent s{answers[i].to, answers[i].size, {}};
            const char* why = nullptr;
            EXPECT_TRUE(decodeLobby(answers[i].bytes, answers[i].size, s.m, why)) << why;
            out.push_back(s);
        }
        return out;
    }
    // `m` with the cookie `from` holds at `now` (unless `withCookie` is false).
    std::vector<Sent> send(uint64_t now, NLobbyAddress from, NLobbyMessage m, bool withCookie = true) {
        if (withCookie) m.cookie = lobby.cookieFor(from, now);
        uint8_t bytes[vkl::MAX_DATAGRAM];
        return send(now, from, bytes, encodeLobby(m, bytes));
    }

    static NLobbyMessage message(vkl::Type type, const char* code = "") {
        NLobbyMessage m;
        m.type = type;
        strncpy(m.code, code, vkl::CODE_LENGTH);
        return m;
    }
    std::string open(uint64_t now, NLobbyAddress from, const char* code = "") {
        NLobbyMessage m = message(vkl::Type::OPEN, code);
        m.stage = vkn::Stage::MENU;
        m.watchers = 3;
        m.hostChoice = 2;
        m.addressCount = 2;
        m.addresses[0] = {0xC0A80101, 27183};
        m.addresses[1] = {0xAC100005, 27184};
        const std::vector<Sent> got = send(now, from, m);
        return got.size() == 1 && got[0].m.type == vkl::Type::OPENED ? got[0].m.code : "";
    }
    std::vector<Sent> join(uint64_t now, NLobbyAddress from, const std::string& code, uint64_t nonce = NONCE) {
        NLobbyMessage m = message(vkl::Type::JOIN, code.c_str());
        m.want = vkl::Want::WATCH;
        m.nonce = nonce;
        m.addressCount = 1;
        m.addresses[0] = {0xC0A80077, 27190};
        return send(now, from, m);
    }
    std::vector<Sent> signal(uint64_t now, NLobbyAddress from, const std::string& code, uint8_t mark) {
        NLobbyMessage m = message(vkl::Type::SIGNAL, code.c_str());
        m.nonce = NONCE;
        m.blobSize = 3;
        m.blob[0] = mark;
        m.blob[2] = 0xFF;
        return send(now, from, m);
    }

    LLobby lobby;
};

}  // namespace

TEST(LobbyProtocol, AnOpenAsTypedAndEveryFieldOutOfRange) {
    // Cookie 0x0102030405060708, code ACDEFG, in the menu, 32 watchers, the
    // host's choice 4, one address: 10.0.0.2 port 27183 (0x6A2F).
    const std::vector<uint8_t> typed = {'V', 'K', 'L', 1, 3, 1, 2, 3, 4, 5, 6, 7, 8, 'A', 'C', 'D', 'E', 'F', 'G',
                                        1, 32, 4, 1, 10, 0, 0, 2, 0x6A, 0x2F};
    NLobbyMessage m;
    const char* why = nullptr;
    ASSERT_TRUE(decodeLobby(typed.data(), typed.size(), m, why)) << why;
    EXPECT_EQ(m.cookie, 0x0102030405060708ull);
    EXPECT_STREQ(m.code, "ACDEFG");
    EXPECT_EQ(m.stage, vkn::Stage::MENU);
    EXPECT_EQ(m.watchers, 32u);
    EXPECT_EQ(m.hostChoice, 4u);
    ASSERT_EQ(m.addressCount, 1u);
    EXPECT_EQ(m.addresses[0], (NLobbyAddress{0x0A000002, 27183}));

    auto refusal = [&](size_t at, std::vector<uint8_t> values, int grow = 0) {
        std::vector<uint8_t> bytes = typed;
        for (size_t i = 0; i < values.size(); i++) bytes[at + i] = values[i];
        bytes.resize(bytes.size() + grow);
        return std::string(decodeLobby(bytes.data(), bytes.size(), m, why) ? "taken" : why);
    };
    EXPECT_EQ(refusal(13, {0, 0, 0, 0, 0, 0}), "taken");  // asks for a code
    EXPECT_EQ(refusal(19, {2}), "taken");
    EXPECT_EQ(refusal(19, {3}), "stage out of range");
    EXPECT_EQ(refusal(20, {33}), "watchers out of range");
    EXPECT_EQ(refusal(21, {vkn::CHOICES}), "host's choice out of range");
    EXPECT_EQ(refusal(22, {5}), "address count out of range");
    EXPECT_EQ(refusal(22, {2}), "truncated message");
    EXPECT_EQ(refusal(23, {0, 0, 0, 0}), "reported address or port zero");
    EXPECT_EQ(refusal(27, {0, 0}), "reported address or port zero");
    EXPECT_EQ(refusal(3, {2}), "not a lobby datagram");
    EXPECT_EQ(refusal(4, {0}), "unknown type");
    EXPECT_EQ(refusal(4, {vkl::LAST_TYPE + 1}), "unknown type");
    EXPECT_EQ(refusal(0, {}, 1), "bytes after the message");
    EXPECT_EQ(refusal(0, {}, -1), "truncated message");
    // Every byte in a code's last place: taken exactly for the 25 letters.
    std::string letters;
    for (int c = 0; c < 256; c++) {
        if (refusal(18, {static_cast<uint8_t>(c)}) == "taken") letters += static_cast<char>(c);
    }
    EXPECT_EQ(letters, "34679ACDEFGHJKMNPQRTUVWXY");
}

TEST(LobbyCredentials, AsACoturnWithTheSameSecretComputesThem) {
    char username[vkl::MAX_CREDENTIAL + 1];
    char password[vkl::MAX_CREDENTIAL + 1];
    turnCredentials(reinterpret_cast<const uint8_t*>("s3cret"), 6, 1700000000, "KQ7MXP", username, password);
    EXPECT_STREQ(username, "1700000600:KQ7MXP");
    // Python's hmac.new(b's3cret', username, sha1), in base64.
    EXPECT_STREQ(password, "0MjGaLZKrfcS1O7GQgj+RLbO8/g=");
}

TEST_F(Lobby, HostAndJoinerIntroducedAndSignalsForwardedToTheOtherSideOnly) {
    const std::string code = open(T0, HOST);
    ASSERT_TRUE(isLobbyCode(code.c_str())) << code;
    const std::string second = open(T0, JOINER);
    EXPECT_EQ(open(T0, JOINER, second.c_str()), second) << "a refresh keeps the code";
    EXPECT_NE(open(T0, STRANGER, code.c_str()), code) << "someone else's code is not theirs to refresh";

    NLobbyMessage list = message(vkl::Type::LIST);
    std::vector<Sent> got = send(T0, JOINER, list);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].m.total, 3u);
    bool listed = false;
    for (uint8_t i = 0; i < got[0].m.entryCount; i++) {
        const NLobbyEntry& e = got[0].m.entries[i];
        if (code != e.code) continue;
        listed = true;
        EXPECT_EQ(e.stage, vkn::Stage::MENU);
        EXPECT_EQ(e.watchers, 3u);
        EXPECT_EQ(e.hostChoice, 2u);
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(got[0].m.entryCount, 3u);
    list.page = 1;  // past the 16 of page 0
    EXPECT_EQ(send(T0, JOINER, list)[0].m.entryCount, 0u);

    got = join(T0 + 5, JOINER, code);
    ASSERT_EQ(got.size(), 2u);
    const Sent& toJoiner = got[0].to == JOINER ? got[0] : got[1];
    const Sent& toHost = got[0].to == JOINER ? got[1] : got[0];
    ASSERT_EQ(toHost.to, HOST);
    for (const Sent* s : {&toJoiner, &toHost}) {
        EXPECT_EQ(s->m.type, vkl::Type::INTRO);
        EXPECT_EQ(s->m.code, code);
        EXPECT_EQ(s->m.nonce, NONCE);
        EXPECT_EQ(s->m.want, vkl::Want::WATCH);
        // Unix time at T0 + 5 ms is 1700001000; the credentials last 600 s.
        EXPECT_EQ(std::string(s->m.username), "1700001600:" + code);
        EXPECT_EQ(strlen(s->m.password), 28u);
    }
    // Both sides on the same of the two relays.
    EXPECT_EQ(toJoiner.m.turn, toHost.m.turn);
    EXPECT_TRUE(toHost.m.turn == TURN_A || toHost.m.turn == TURN_B);
    EXPECT_EQ(toJoiner.m.side, vkl::Side::JOINER);
    EXPECT_EQ(toJoiner.m.publicAddress, HOST);
    ASSERT_EQ(toJoiner.m.addressCount, 2u);
    EXPECT_EQ(toJoiner.m.addresses[1], (NLobbyAddress{0xAC100005, 27184}));
    EXPECT_EQ(toHost.m.side, vkl::Side::HOST);
    EXPECT_EQ(toHost.m.publicAddress, JOINER);
    ASSERT_EQ(toHost.m.addressCount, 1u);
    EXPECT_EQ(toHost.m.addresses[0], (NLobbyAddress{0xC0A80077, 27190}));
    EXPECT_EQ(join(T0 + 6, STRANGER, code).size(), 0u) << "a nonce another joiner holds";

    // Each side's SIGNAL reaches the other, intact, until the introduction
    // is 30 s old; a third address's never.
    const struct {
        uint64_t at;
        NLobbyAddress from;
        size_t answers;
        NLobbyAddress to;
    } signals[] = {
        {T0 + 10, JOINER, 1, HOST},
        {T0 + 20, HOST, 1, JOINER},
        {T0 + 30, STRANGER, 0, {}},
        {T0 + 5 + vkl::EXPIRE_MS - 1, HOST, 1, JOINER},
        {T0 + 5 + vkl::EXPIRE_MS, JOINER, 0, {}},
    };
    for (const auto& s : signals) {
        lobby.expire(s.at - 1);
        got = signal(s.at, s.from, code, static_cast<uint8_t>(s.at));
        ASSERT_EQ(got.size(), s.answers) << s.at - T0;
        if (s.answers == 0) continue;
        EXPECT_EQ(got[0].to, s.to);
        EXPECT_EQ(got[0].m.type, vkl::Type::FORWARD);
        EXPECT_EQ(got[0].m.code, code);
        EXPECT_EQ(std::vector<uint8_t>(got[0].m.blob, got[0].m.blob + got[0].m.blobSize),
                  (std::vector<uint8_t>{static_cast<uint8_t>(s.at), 0, 0xFF}));
    }
}

TEST_F(Lobby, ARegistrationLapses30SecondsAfterItsLastWordToTheMillisecond) {
    const std::string kept = open(T0, HOST);
    const std::string lapsing = open(T0, JOINER);
    ASSERT_FALSE(kept.empty());
    ASSERT_NE(kept, lapsing);
    EXPECT_EQ(open(T0 + 20000, HOST, kept.c_str()), kept);
    // At each time: whether each is open, with and without expire() first.
    const struct {
        uint64_t at;
        bool kept, lapsing;
    } checks[] = {
        {T0 + vkl::EXPIRE_MS - 1, true, true},
        {T0 + vkl::EXPIRE_MS, true, false},
        {T0 + 20000 + vkl::EXPIRE_MS - 1, true, false},
        {T0 + 20000 + vkl::EXPIRE_MS, false, false},
    };
    for (bool sweep : {false, true}) {
        for (const auto& c : checks) {
            if (sweep) lobby.expire(c.at);
            EXPECT_EQ(lobby.isOpen(kept.c_str(), c.at), c.kept) << c.at - T0 << (sweep ? " swept" : "");
            EXPECT_EQ(lobby.isOpen(lapsing.c_str(), c.at), c.lapsing) << c.at - T0 << (sweep ? " swept" : "");
            EXPECT_EQ(lobby.games(c.at), (c.kept ? 1u : 0u) + (c.lapsing ? 1u : 0u));
            // A JOIN meets what isOpen says.
            const std::vector<Sent> got = join(c.at, STRANGER, lapsing, c.at);
            ASSERT_FALSE(got.empty());
            EXPECT_EQ(got[0].m.type, c.lapsing ? vkl::Type::INTRO : vkl::Type::NOGAME);
        }
        lobby = LLobby(configured());
        open(T0, HOST);
        open(T0, JOINER);
        open(T0 + 20000, HOST, kept.c_str());
    }
    // Lapsed games give their room back: a full lobby (64 games) fills again.
    for (uint64_t t : {T0 + 100000, T0 + 100000 + vkl::EXPIRE_MS}) {
        lobby.expire(t);
        size_t opened = 0;
        for (uint32_t i = 0; i <= 64; i++) opened += open(t, {0x0C000000 + i, 1}).empty() ? 0 : 1;
        EXPECT_EQ(opened, 64u);
    }
}

TEST_F(Lobby, NoAnswerToAnUnprovenAddressIsLargerThanItsRequest) {
    const std::string code = open(T0, HOST);
    const NLobbyAddress unproven{0xC0A80003, 50003};
    size_t cookies = 0;
    for (uint8_t type = vkl::FIRST_TYPE; type <= vkl::LAST_TYPE; type++) {
        NLobbyMessage m = message(static_cast<vkl::Type>(type), code.c_str());
        m.nonce = NONCE;
        m.entryCount = 3;
        m.addressCount = 4;
        m.publicAddress = m.turn = m.addresses[0] = m.addresses[1] = m.addresses[2] = m.addresses[3] = HOST;
        // No cookie, a stale one (two periods back), the host's cookie sent
        // from another address.
        for (uint64_t cookie : {uint64_t(0), lobby.cookieFor(unproven, T0 - 2 * vkl::COOKIE_PERIOD_MS),
                                lobby.cookieFor(HOST, T0)}) {
            m.cookie = cookie;
            for (size_t helloSize : {size_t(5), vkl::COOKIE_SIZE - 1, vkl::COOKIE_SIZE, vkl::HELLO_SIZE}) {
                m.helloSize = helloSize;
                uint8_t bytes[vkl::MAX_DATAGRAM + 64] = {};
                const size_t size = encodeLobby(m, bytes);
                for (size_t padding : {size_t(0), size_t(1), size_t(64)}) {
                    for (const Sent& s : send(T0, unproven, bytes, size + padding)) {
                        EXPECT_LE(s.size, size + padding) << lobbyTypeName(m.type) << " of " << size + padding;
                        EXPECT_EQ(s.m.type, vkl::Type::COOKIE);
                        EXPECT_EQ(s.to, unproven);
                        cookies++;
                    }
                }
            }
        }
    }
    // Answered, for each of the 3 cookies: the HELLOs of COOKIE_SIZE bytes or
    // more (9 of the 12 lengths: a HELLO is all padding), and each of the 5
    // types that carry a cookie, unpadded, in each of the 4 rounds.
    EXPECT_EQ(cookies, 3u * (9 + 5 * 4));
    const LLobbyStats& s = lobby.stats();
    EXPECT_LE(s.unprovenOut, s.unprovenIn);
}

TEST_F(Lobby, TenWrongCodesAMinuteSilenceThatAddressesJoinsAndABucketLimitsItsRate) {
    const std::string code = open(T0, HOST);
    for (int i = 0; i < int(vkl::WRONG_CODES_ALLOWED); i++) {
        const std::vector<Sent> got = join(T0 + 1000 * i, JOINER, "ACDEFG", i);
        ASSERT_EQ(got.size(), 1u) << i;
        EXPECT_EQ(got[0].m.type, vkl::Type::NOGAME);
        EXPECT_STREQ(got[0].m.code, "ACDEFG");
    }
    EXPECT_EQ(open(T0 + 40000, HOST, code.c_str()), code);
    // The right code too, until a minute after the first wrong one; another
    // address is not held back.
    EXPECT_EQ(join(T0 + vkl::WRONG_CODE_WINDOW_MS - 1, JOINER, code).size(), 0u);
    EXPECT_EQ(join(T0 + vkl::WRONG_CODE_WINDOW_MS - 1, {0x0B000001, 1}, code, 99).size(), 2u);
    lobby.expire(T0 + vkl::WRONG_CODE_WINDOW_MS - 1);
    EXPECT_EQ(join(T0 + vkl::WRONG_CODE_WINDOW_MS, JOINER, code).size(), 2u);

    // Refreshes and pages over the bucket's burst in one ms: the rest are
    // dropped, until 1/32 s has brought one more request back.
    const uint64_t t = T0 + 100000;
    const NLobbyMessage list = message(vkl::Type::LIST);
    size_t answered = 0;
    for (uint32_t i = 0; i < vkl::BUCKET_BURST + 5; i++) answered += send(t, JOINER, list).size();
    EXPECT_EQ(answered, vkl::BUCKET_BURST);
    EXPECT_EQ(send(t + 31, JOINER, list).size(), 0u);
    EXPECT_EQ(send(t + 32, JOINER, list).size(), 1u);
    EXPECT_EQ(send(t + 32, HOST, list).size(), 1u) << "another address's bucket";
}
