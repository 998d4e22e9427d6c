// naddress.h: the address a player types to join a game.
//
// A host name or a dotted IPv4 address, with an optional ":PORT" (the
// default port without one). Checked before anything is looked up, so that
// a typo gets "Not an address: TEXT." at once rather than a wait: names are
// dot-separated labels of letters, digits and inner hyphens (at most 63
// each, 253 in all), dotted addresses four numbers of 0..255, ports 1..65535.
#pragma once

#include <cstdint>
#include <cstdio>  // Required for: snprintf (dottedAddress)
#include <string>
#include <vector>

// The longest text a player may type: the longest host name.
constexpr size_t MAX_ADDRESS_TEXT = 253;

// False when `text` is no address; `host` and `port` are then unspecified.
bool parseAddress(const std::string& text, std::string& host, uint16_t& port);

// This machine's IPv4 addresses, loopback left out: what the other player
// types to join it.
std::vector<std::string> machineAddresses();

// The address of this machine that datagrams to `ip` leave from (both in
// host order), as the routing table picks it; 0 when there is no route.
uint32_t addressTowards(uint32_t ip);

// "10.1.0.2" for 0x0A010002 (host order), followed by ":PORT" unless `port`
// is 0.
inline std::string dottedAddress(uint32_t ip, uint16_t port = 0) {
    char text[22];
    const int length = snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF, ip & 0xFF);
    if (port != 0) snprintf(text + length, sizeof text - static_cast<size_t>(length), ":%u", static_cast<unsigned>(port));
    return text;
}
