// options.cpp: reading the command line.
#include "app/options.h"

#include <cctype>   // Required for: toupper
#include <cstdlib>  // Required for: getenv
#include <cstring>

#include "net/naddress.h"
#include "net/nlobbyprotocol.h"  // Required for: isLobbyCode
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

// Taken in either case and kept in capitals: the lobby's codes are
// capitals, and a player copies one from a chat.
bool readCode(const std::string& text, GameOptions& options, std::string& why) {
    std::string code;
    for (char c : text) code.push_back(static_cast<char>(toupper(static_cast<unsigned char>(c))));
    if (!isLobbyCode(code.c_str())) {
        return bad(why, "not a game code: '" + text + "' (" + std::to_string(vkl::CODE_LENGTH) + " of " +
                            vkl::CODE_ALPHABET + ")");
    }
    options.code = code;
    return true;
}

// The address is checked as a join's is; its port, when left out, is the
// lobby's default, which the client supplies.
bool readLobby(const std::string& text, const char* from, GameOptions& options, std::string& why) {
    std::string host;
    uint16_t port = 0;
    if (!parseAddress(text, host, port)) return bad(why, std::string(from) + ": not a lobby address: '" + text + "'");
    options.lobby = text;
    return true;
}

}  // namespace

const char* usageText() {
    return "Usage: vektorak [--host [PORT] | --join HOST[:PORT] | --watch HOST[:PORT] |\n"
           "                 --join-code CODE | --help] [--lobby HOST[:PORT]] [FILE.vkr]\n"
           "  (no option)         two players on this machine\n"
           "  --host [PORT]       wait for a player on UDP PORT (default 27183)\n"
           "  --join HOST[:PORT]  join the game hosted at HOST (default port 27183)\n"
           "  --watch HOST[:PORT] watch the matches of the game hosted at HOST\n"
           "  --join-code CODE    join the game CODE (6 letters and digits) on the lobby\n"
           "  --lobby HOST[:PORT] meet players of other homes on the lobby at HOST (default\n"
           "                      port 27185), as VEKTORAK_LOBBY does and in place of the\n"
           "                      settings' Lobby line; no lobby is set unless one is given\n"
           "  --help              print this and exit\n"
           "  FILE.vkr            watch that replay first, then the menu\n"
           "The host flies the left ship, the one who joins the right.\n"
           "Without a lobby a firewall must let UDP PORT through to the host; with one,\n"
           "--host also opens the game on it and prints its code, and the lobby brings\n"
           "the players together directly or through its relay.\n";
}

OptionsRead readOptions(int argc, const char* const* argv, GameOptions& options, std::string& why) {
    options = GameOptions();
    why.clear();
    bool chosen = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (arg == "--help") return OptionsRead::HELP;
        if (arg == "--lobby") {
            if (i + 1 >= argc || argv[i + 1] == nullptr) {
                why = "--lobby needs HOST[:PORT]";
                return OptionsRead::BAD;
            }
            if (!readLobby(argv[++i], "--lobby", options, why)) return OptionsRead::BAD;
            continue;
        }
        if (arg == "--host" || arg == "--join" || arg == "--watch" || arg == "--join-code") {
            if (chosen) {
                why = "only one of --host, --join, --watch and --join-code";
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
            } else if (arg == "--join-code") {
                options.mode = GameOptions::Mode::JOIN_CODE;
                if (i + 1 >= argc || argv[i + 1] == nullptr) {
                    why = "--join-code needs CODE";
                    return OptionsRead::BAD;
                }
                if (!readCode(argv[++i], options, why)) return OptionsRead::BAD;
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
    const char* variable = getenv(LOBBY_VARIABLE);
    if (options.lobby.empty() && variable != nullptr && *variable != 0 &&
        !readLobby(variable, LOBBY_VARIABLE, options, why)) {
        return OptionsRead::BAD;
    }
    return OptionsRead::RUN;
}
