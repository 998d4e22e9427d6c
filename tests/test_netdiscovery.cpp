// Finding games: the discovery datagrams, typed by hand and refused field by
// field (fuzz_packet throws junk at them), and the addresses a player types.
// A host found over loopback: tests/e2e/test_netmenu.py.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "net/naddress.h"
#include "net/ndiscovery.h"

namespace {

std::string refusal(const std::vector<uint8_t>& bytes) {
    NDiscoveryMessage m;
    std::string why;
    return decodeDiscovery(bytes.data(), bytes.size(), m, why) ? "taken" : why;
}

}  // namespace

TEST(NetDiscovery, DatagramsAsTypedAndEveryFieldOutOfRange) {
    // An answer typed from the layout: port 27183 = 0x6A2F, stamp 0x01020304.
    const std::vector<uint8_t> answer = {'V', 'K', 'D', '1', 2, 4, 3, 2, 1, 2, 0, 0x2F, 0x6A, 0, 3, '1', '.', '2'};
    NDiscoveryMessage m;
    std::string why;
    ASSERT_TRUE(decodeDiscovery(answer.data(), answer.size(), m, why)) << why;
    EXPECT_EQ(std::make_tuple(m.kind, m.stamp, m.protocol, m.gamePort, m.stage, std::string(m.gameVersion)),
              std::make_tuple(vkd::ANSWER, 0x01020304u, uint16_t(2), uint16_t(27183), vkn::Stage::MENU, std::string("1.2")));
    uint8_t again[vkd::MAX_DATAGRAM];
    EXPECT_EQ(std::vector<uint8_t>(again, again + encodeDiscovery(m, again)), answer);

    auto with = [&answer](size_t at, std::vector<uint8_t> values) {
        std::vector<uint8_t> bytes = answer;
        for (size_t i = 0; i < values.size(); i++) bytes[at + i] = values[i];
        return bytes;
    };
    const struct {
        std::vector<uint8_t> bytes;
        const char* why;
    } cases[] = {
        {{'V', 'K', 'D', '1', 1, 9, 9, 9, 9}, "taken"},  // a request
        {{}, "empty datagram"},
        {{'V', 'K', 'D', '1', 1, 9, 9, 9}, "truncated datagram"},
        {{'V', 'K', 'D', '2', 1, 9, 9, 9, 9}, "not a Vektorak datagram (wrong magic)"},
        {{'V', 'K', 'D', '1', 3, 9, 9, 9, 9}, "unknown kind 3"},
        {{'V', 'K', 'D', '1', 1, 9, 9, 9, 9, 0}, "bytes after the datagram"},
        {with(11, {0}), "taken"},  // port 0x6A00
        {with(11, {0, 0}), "answer port 0 out of range"},
        {with(13, {1}), "taken"},
        {with(13, {2}), "taken"},  // in a match
        {with(13, {3}), "answer state 3 out of range"},
        {with(14, {0}), "version text of 0 bytes out of range"},
        {with(14, {32}), "version text of 32 bytes out of range"},
        {with(14, {4}), "truncated answer"},
        {with(16, {0x7F}), "version text holds byte 127"},
        {std::vector<uint8_t>(answer.begin(), answer.end() - 1), "truncated answer"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusal(c.bytes), c.why);
}

TEST(NetDiscovery, AddressesAPlayerMayType) {
    const struct {
        const char* text;
        bool taken;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"192.168.1.20", true, "192.168.1.20", 27183},
        {"192.168.1.20:1", true, "192.168.1.20", 1},
        {"10.0.0.255:65535", true, "10.0.0.255", 65535},
        {"Game-Box.local:27200", true, "Game-Box.local", 27200},
        {"a", true, "a", 27183},
        {"192.168.1.256", false, "", 0},
        {"192.168.1", false, "", 0},
        {"1.2.3.4.5", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:", false, "", 0},
        {":27183", false, "", 0},
        {"-host", false, "", 0},
        {"ho st", false, "", 0},
        {"host..local", false, "", 0},
        {"", false, "", 0},
    };
    for (const auto& c : cases) {
        std::string host;
        uint16_t port = 0;
        EXPECT_EQ(parseAddress(c.text, host, port), c.taken) << c.text;
        if (c.taken) {
            EXPECT_EQ(host, c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
    const std::string label(63, 'x');
    std::string longest = label + "." + label + "." + label + "." + std::string(61, 'y');  // 253
    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(parseAddress(longest, host, port));
    EXPECT_FALSE(parseAddress(longest + "y", host, port));
    EXPECT_FALSE(parseAddress(std::string(64, 'x'), host, port));
}
