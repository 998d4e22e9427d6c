// naddress.cpp: checking a typed address.
#include "net/naddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>  // Required for: close()

#include <cctype>

#include "net/nprotocol.h"

namespace {

bool isLabel(const std::string& label) {
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    for (char c : label) {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    }
    return true;
}

// Digits only, at most `most`, and not above `limit`; true with the value.
bool number(const std::string& text, size_t most, long limit, long& value) {
    if (text.empty() || text.size() > most) return false;
    value = 0;
    for (char c : text) {
        if (!isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    return value <= limit;
}

}  // namespace

bool parseAddress(const std::string& text, std::string& host, uint16_t& port) {
    if (text.empty() || text.size() > MAX_ADDRESS_TEXT) return false;
    const size_t colon = text.find(':');
    host = text.substr(0, colon);
    port = vkn::DEFAULT_PORT;
    if (colon != std::string::npos) {
        long value = 0;
        if (!number(text.substr(colon + 1), 5, 65535, value) || value == 0) return false;
        port = static_cast<uint16_t>(value);
    }
    if (host.empty()) return false;
    // Split at the dots; all-digit labels make a dotted address, which must
    // be exactly four numbers in range.
    bool digitsOnly = true;
    bool inRange = true;
    size_t labels = 0;
    size_t from = 0;
    while (true) {
        const size_t dot = host.find('.', from);
        const std::string label = host.substr(from, dot == std::string::npos ? std::string::npos : dot - from);
        if (!isLabel(label)) return false;
        long value = 0;
        const bool digits = label.find_first_not_of("0123456789") == std::string::npos;
        digitsOnly = digitsOnly && digits;
        inRange = inRange && digits && number(label, 3, 255, value);
        labels++;
        if (dot == std::string::npos) break;
        from = dot + 1;
    }
    return !digitsOnly || (labels == 4 && inRange);
}

std::vector<std::string> machineAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return addresses;
    for (const ifaddrs* i = all; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        const in_addr address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
        if ((ntohl(address.s_addr) >> 24) == 127) continue;
        char dotted[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address, dotted, sizeof dotted);
        addresses.push_back(dotted);
    }
    freeifaddrs(all);
    return addresses;
}

uint32_t addressTowards(uint32_t ip) {
    // Connecting a UDP socket sends nothing: it only picks the route.
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return 0;
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(ip);
    to.sin_port = htons(9);
    sockaddr_in from = {};
    socklen_t size = sizeof from;
    uint32_t found = 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&from), &size) == 0) {
        found = ntohl(from.sin_addr.s_addr);
    }
    close(fd);
    return found;
}
