// options.cpp: reading the command line.
#include "app/options.h"

#include <cstring>

#include "net/nprotocol.h"

namespace {

// Decimal digits only, 1..65535: no sign, no spaces, no hex.
bool readPort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool bad(std::string& why, const std::string& text) {
    why = text;
    return false;
}

bool readJoin(const std::string& text, GameOptions& options, std::string& why) {
    const size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    options.port = vkn::DEFAULT_PORT;
    if (colon != std::string::npos && !readPort(text.substr(colon + 1), options.port)) {
        return bad(why, "not a port: '" + text.substr(colon + 1) + "'");
    }
    if (host.empty() || host.size() > 253) return bad(why, "not a host: '" + host + "'");
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!ok) return bad(why, "not a host: '" + host + "'");
    }
    options.hostName = host;
    return true;
}

}  // namespace

const char* usageText() {
    return "Usage: vektorak [--host [PORT] | --join HOST[:PORT] | --watch HOST[:PORT] | --help] [FILE.vkr]\n"
           "  (no option)         two players on this machine\n"
           "  --host [PORT]       wait for a player on UDP PORT (default 27183)\n"
           "  --join HOST[:PORT]  join the game hosted at HOST (default port 27183)\n"
           "  --watch HOST[:PORT] watch the matches of the game hosted at HOST\n"
           "  --help              print this and exit\n"
           "  FILE.vkr            watch that replay first, then the menu\n"
           "The host flies the left ship, the one who joins the right.\n"
           "A firewall must let UDP PORT through to the host.\n";
}

OptionsRead readOptions(int argc, const char* const* argv, GameOptions& options, std::string& why) {
    options = GameOptions();
    why.clear();
    bool chosen = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (arg == "--help") return OptionsRead::HELP;
        if (arg == "--host" || arg == "--join" || arg == "--watch") {
            if (chosen) {
                why = "only one of --host, --join and --watch";
                return OptionsRead::BAD;
            }
            chosen = true;
            if (arg == "--host") {
                options.mode = GameOptions::Mode::HOST;
                options.port = vkn::DEFAULT_PORT;
                if (i + 1 < argc && argv[i + 1] != nullptr && strncmp(argv[i + 1], "--", 2) != 0) {
                    if (!readPort(argv[++i], options.port)) {
                        why = std::string("not a port: '") + argv[i] + "'";
                        return OptionsRead::BAD;
                    }
                }
            } else {
                options.mode = arg == "--join" ? GameOptions::Mode::JOIN : GameOptions::Mode::WATCH;
                if (i + 1 >= argc || argv[i + 1] == nullptr) {
                    why = arg + " needs HOST[:PORT]";
                    return OptionsRead::BAD;
                }
                if (!readJoin(argv[++i], options, why)) return OptionsRead::BAD;
            }
            continue;
        }
        if (!arg.empty() && arg[0] != '-') {
            if (!options.replayFile.empty()) {
                why = "only one replay file";
                return OptionsRead::BAD;
            }
            options.replayFile = arg;
            continue;
        }
        why = "unknown option '" + arg + "'";
        return OptionsRead::BAD;
    }
    return OptionsRead::RUN;
}
