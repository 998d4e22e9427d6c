// The messages' bytes, and the command line that starts a network game.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "game/greplay.h"
#include "net/nprotocol.h"

namespace {

std::vector<uint8_t> encoded(const NMessage& m) {
    uint8_t bytes[vkn::MAX_MESSAGE];
    return std::vector<uint8_t>(bytes, bytes + encodeMessage(m, bytes));
}

std::string refusal(std::vector<uint8_t> bytes) {
    NMessage m;
    std::string why;
    return decodeMessage(bytes.data(), bytes.size(), m, why) ? "taken" : why;
}

}  // namespace

// Typed from the layout, not from the encoder: a constant the two shared
// could not hide here.
TEST(NetProtocol, ReadsAnInputTypedByHand) {
    const std::vector<uint8_t> bytes = {
        6,    // INPUT
        9,    // match 9
        0x2C, 0x01, 0, 0,  // first tick 300
        3,    // three ticks
        0x01, 0x30, 0x1F,  // up; fire + pause; everything
        0x2A, 0x01, 0, 0,  // ack 298
        0x28, 0x01, 0, 0,  // check tick 296
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
        0x34, 0xF2,  // gap -3532
    };
    NMessage m;
    std::string why;
    ASSERT_TRUE(decodeMessage(bytes.data(), bytes.size(), m, why)) << why;
    EXPECT_EQ(m.kind, vkn::Kind::INPUT);
    EXPECT_EQ(m.match, 9);
    EXPECT_EQ(m.firstTick, 300u);
    ASSERT_EQ(m.count, 3);
    EXPECT_EQ(m.flags[0], 0x01);
    EXPECT_EQ(m.flags[1], 0x30);
    EXPECT_EQ(m.flags[2], 0x1F);
    EXPECT_EQ(m.ack, 298u);
    EXPECT_EQ(m.checkTick, 296u);
    EXPECT_EQ(m.checkHash, 0x0102030405060708ull);
    EXPECT_EQ(m.gap, -3532);
    EXPECT_EQ(encoded(m), bytes);

    const std::vector<uint8_t> hello = {1, 'V', 'K', 'N', '1', 1, 0, 3, '0', '.', '1'};
    ASSERT_TRUE(decodeMessage(hello.data(), hello.size(), m, why)) << why;
    EXPECT_EQ(std::string(m.gameVersion), "0.1");
    EXPECT_EQ(m.protocol, 1);
}

// Every message comes back as it went; cut short by any number of bytes, or
// with one byte more, it is refused.
TEST(NetProtocol, EveryKindRoundTripsAndNoTruncationPasses) {
    std::vector<NMessage> all;
    for (vkn::Kind k : {vkn::Kind::HELLO, vkn::Kind::WELCOME, vkn::Kind::REFUSE}) all.push_back(greeting(k));
    all[1].role = vkn::Role::SPECTATOR;
    NMessage m;
    m.kind = vkn::Kind::MENU;
    m.choice = 4;
    m.ready = true;
    all.push_back(m);
    m = NMessage();
    m.kind = vkn::Kind::START;
    m.match = 200;
    m.seed = 0xDEADBEEF;
    m.delay = 1;
    m.leftChoice = 3;
    m.rightChoice = 1;
    all.push_back(m);
    m = NMessage();
    m.kind = vkn::Kind::INPUT;
    m.firstTick = vkn::MAX_TICK - vkn::MAX_INPUTS + 1;
    m.count = vkn::MAX_INPUTS;
    for (int i = 0; i < vkn::MAX_INPUTS; i++) m.flags[i] = static_cast<uint8_t>(i & 0x3F);
    m.ack = vkn::MAX_TICK;
    all.push_back(m);
    m = NMessage();
    m.kind = vkn::Kind::FLAGS;
    m.newest = vkn::MAX_TICK;
    m.firstTick = vkn::MAX_TICK - vkn::MAX_WATCH_TICKS + 1;
    m.count = vkn::MAX_WATCH_TICKS;
    for (size_t i = 0; i < vkn::MAX_FLAG_BYTES; i++) m.flags[i] = static_cast<uint8_t>(i * 7 & 0x3F);
    all.push_back(m);
    for (vkn::Kind k : {vkn::Kind::PING, vkn::Kind::PONG, vkn::Kind::RESUME, vkn::Kind::LEAVE, vkn::Kind::OUT_OF_STEP,
                        vkn::Kind::ASK, vkn::Kind::STATUS, vkn::Kind::ACK, vkn::Kind::END}) {
        m = NMessage();
        m.kind = k;
        m.stamp = 123456;
        m.firstTick = 77;
        m.role = vkn::Role::SPECTATOR;
        m.stage = vkn::Stage::MATCH;
        m.watchers = vkn::MAX_SPECTATORS;
        m.ack = vkn::MAX_TICK;
        m.end = vkn::End::LEFT;
        m.endMs = vkr::MAX_END_MS;
        all.push_back(m);
    }
    for (const NMessage& message : all) {
        const std::vector<uint8_t> bytes = encoded(message);
        SCOPED_TRACE("kind " + std::to_string(bytes[0]));
        NMessage back;
        std::string why;
        ASSERT_TRUE(decodeMessage(bytes.data(), bytes.size(), back, why)) << why;
        EXPECT_EQ(encoded(back), bytes);
        for (size_t cut = 0; cut < bytes.size(); cut++) {
            EXPECT_NE(refusal(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut))), "taken");
        }
        std::vector<uint8_t> longer = bytes;
        longer.push_back(0);
        EXPECT_NE(refusal(longer), "taken");
    }
}

// Each field out of its range, in a packet that is otherwise good.
TEST(NetProtocol, EachFieldOutOfRangeIsRefusedByName) {
    NMessage input;
    input.kind = vkn::Kind::INPUT;
    input.firstTick = 10;
    input.count = 2;
    input.ack = 8;
    const std::vector<uint8_t> goodInput = encoded(input);
    NMessage start;
    start.kind = vkn::Kind::START;
    start.delay = 1;
    const std::vector<uint8_t> goodStart = encoded(start);
    NMessage flags;
    flags.kind = vkn::Kind::FLAGS;
    flags.newest = 9;
    flags.firstTick = 8;
    flags.count = 2;
    const std::vector<uint8_t> goodFlags = encoded(flags);  // kind, match, newest, first, count, 4 bytes
    auto with = [](std::vector<uint8_t> bytes, size_t at, std::vector<uint8_t> value) {
        for (size_t i = 0; i < value.size(); i++) bytes[at + i] = value[i];
        return bytes;
    };
    const struct {
        std::vector<uint8_t> bytes;
        const char* why;
    } cases[] = {
        {{}, "empty packet"},
        {{77}, "unknown kind 77"},
        {{0}, "unknown kind 0"},
        {with(goodInput, 2, {0, 0, 0, 0}), "input tick 0 out of range"},
        {with(goodInput, 2, {1, 0, 0, 8}), "input tick 134217729 out of range"},
        {with(goodInput, 2, {0, 0, 0, 8}), "input ticks run past the last"},
        {with(goodInput, 6, {0}), "input count 0 out of range"},
        {with(goodInput, 6, {65}), "input count 65 out of range"},
        {with(goodInput, 8, {0x40}), "input flags 64 out of range"},
        {with(goodInput, 9, {1, 0, 0, 8}), "acknowledged tick 134217729 out of range"},
        {with(goodInput, 13, {7}), "check tick 7 out of range"},
        {with(goodStart, 6, {2}), "delay 2 out of range"},
        {with(goodStart, 6, {255}), "delay 255 out of range"},
        {with(goodStart, 7, {5}), "left choice 5 out of range"},
        {with(goodStart, 8, {200}), "right choice 200 out of range"},
        {{4, 5, 0}, "menu choice 5 out of range"},
        {{4, 1, 2}, "ready 2 out of range"},
        {{1, 'V', 'K', 'N', '2', 1, 0, 1, 'x'}, "not a Vektorak game (wrong magic)"},
        {{1, 'V', 'K', 'N', '1', 1, 0, 0}, "version text of 0 bytes out of range"},
        {{1, 'V', 'K', 'N', '1', 1, 0, 1, 0x0A}, "version text holds byte 10"},
        {{3, 9, 1, 0, 1, 'x'}, "refusal reason 9 unknown"},
        {{11, 0, 0, 0, 0}, "out-of-step tick 0 out of range"},
        {{9, 0}, "bytes after the resume"},
        {{5, 0, 0, 0}, "truncated start"},
        {{2, 'V', 'K', 'N', '1', 3, 0, 1, 'x', 2}, "welcome role 2 out of range"},
        {{3, 5, 1, 0, 1, 'x'}, "refusal reason 5 unknown"},
        {{12, 4}, "asked role 4 out of range"},
        {{13, 3, 0, 0, 0, 0}, "stage 3 out of range"},
        {{13, 2, 33, 0, 0, 0}, "watchers 33 out of range"},
        {{13, 2, 32, 5, 0, 0}, "left choice 5 out of range"},
        {{13, 2, 32, 4, 4, 4}, "ready bits 4 out of range"},
        {with(goodFlags, 2, {0, 0, 0, 0}), "newest tick 0 out of range"},
        {with(goodFlags, 6, {0}), "flags tick 0 out of range"},
        {with(goodFlags, 6, {10}), "flags tick 10 out of range"},
        {with(goodFlags, 10, {0}), "flags count 0 out of range"},
        {with(goodFlags, 10, {121}), "flags count 121 out of range"},
        {with(goodFlags, 10, {3}), "flags run past the newest tick"},
        {with(goodFlags, 14, {0x40}), "right flags 64 out of range"},
        {{15, 0, 1, 0, 0, 8}, "acknowledged tick 134217729 out of range"},
        {{16, 0, 2, 0, 0, 0, 0}, "end 2 out of range"},
        {{16, 0, 1, 0x01, 0xDD, 0x6D, 0}, "end ms 7200001 out of range"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.bytes), c.why);
}

TEST(NetProtocol, CommandLines) {
    const struct {
        std::vector<const char*> args;
        OptionsRead read;
        GameOptions::Mode mode;
        uint16_t port;
        const char* host;
        const char* code = "";
        const char* lobby = "";
        const char* variable = nullptr;  // VEKTORAK_LOBBY, unset when null
    } cases[] = {
        {{}, OptionsRead::RUN, GameOptions::Mode::LOCAL, 0, ""},
        {{"--host"}, OptionsRead::RUN, GameOptions::Mode::HOST, vkn::DEFAULT_PORT, ""},
        {{"--host", "4000"}, OptionsRead::RUN, GameOptions::Mode::HOST, 4000, ""},
        {{"--join", "example.org"}, OptionsRead::RUN, GameOptions::Mode::JOIN, vkn::DEFAULT_PORT, "example.org"},
        {{"--join", "10.0.0.2:65535"}, OptionsRead::RUN, GameOptions::Mode::JOIN, 65535, "10.0.0.2"},
        {{"--help"}, OptionsRead::HELP, GameOptions::Mode::LOCAL, 0, ""},
        {{"--host", "0"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--host", "65536"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--host", "+80"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--join"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--join", ":80"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--join", "a b"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--host", "--join", "x"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"-h"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        // Codes in either case, kept in capitals; only the lobby's letters.
        {{"--join-code", "kq7mXp"}, OptionsRead::RUN, GameOptions::Mode::JOIN_CODE, 0, "", "KQ7MXP"},
        {{"--join-code", "KQ7MX"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--join-code", "KQ7MXO"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--join-code"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--join-code", "KQ7MXP", "--host"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        // The option before or after the mode; the option over the variable.
        {{"--lobby", "games.example.org", "--host"}, OptionsRead::RUN, GameOptions::Mode::HOST, vkn::DEFAULT_PORT, "",
         "", "games.example.org"},
        {{"--host", "--lobby", "10.0.0.1:27190"}, OptionsRead::RUN, GameOptions::Mode::HOST, vkn::DEFAULT_PORT, "", "",
         "10.0.0.1:27190", "10.0.0.9"},
        {{"--join-code", "KQ7MXP"}, OptionsRead::RUN, GameOptions::Mode::JOIN_CODE, 0, "", "KQ7MXP", "10.0.0.9:1",
         "10.0.0.9:1"},
        {{}, OptionsRead::RUN, GameOptions::Mode::LOCAL, 0, "", "", "", ""},
        {{"--lobby"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{"--lobby", "h:0"}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, ""},
        {{}, OptionsRead::BAD, GameOptions::Mode::LOCAL, 0, "", "", "", "a b"},
        {{"--help"}, OptionsRead::HELP, GameOptions::Mode::LOCAL, 0, "", "", "", "a b"},
    };
    for (const auto& c : cases) {
        if (c.variable != nullptr) {
            setenv(LOBBY_VARIABLE, c.variable, 1);
        } else {
            unsetenv(LOBBY_VARIABLE);
        }
        std::vector<const char*> argv = {"vektorak"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        GameOptions options;
        std::string why;
        const OptionsRead read = readOptions(static_cast<int>(argv.size()), argv.data(), options, why);
        SCOPED_TRACE(std::string(argv.size() > 1 ? argv[1] : "") + " " + (argv.size() > 2 ? argv[2] : ""));
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(why.empty(), c.read != OptionsRead::BAD);
        if (c.read != OptionsRead::RUN) continue;
        EXPECT_EQ(options.mode, c.mode);
        EXPECT_EQ(options.port, c.port);
        EXPECT_EQ(options.hostName, c.host);
        EXPECT_EQ(options.code, c.code);
        EXPECT_EQ(options.lobby, c.lobby);
    }
    unsetenv(LOBBY_VARIABLE);
    // A replay file: any word not starting with '-', once, beside the rest;
    // the word after --host is its port.
    const struct {
        std::vector<const char*> args;
        OptionsRead read;
        const char* file;
    } files[] = {
        {{"x.vkr"}, OptionsRead::RUN, "x.vkr"},
        {{"--join", "h", "/a b/y.vkr"}, OptionsRead::RUN, "/a b/y.vkr"},
        {{"--host", "x.vkr"}, OptionsRead::BAD, ""},
        {{"x.vkr", "y.vkr"}, OptionsRead::BAD, ""},
    };
    for (const auto& c : files) {
        std::vector<const char*> argv = {"vektorak"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        GameOptions options;
        std::string why;
        EXPECT_EQ(readOptions(static_cast<int>(argv.size()), argv.data(), options, why), c.read) << c.args[0];
        EXPECT_EQ(c.read == OptionsRead::RUN ? options.replayFile : "", c.file);
    }
}
