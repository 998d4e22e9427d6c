// options.h: the command line.
//
//   vektorak                    a game on this machine, as always
//   vektorak --host [PORT]      waits for a player on UDP PORT
//   vektorak --join HOST[:PORT] joins the game hosted at HOST
//   vektorak --watch HOST[:PORT] watches the matches of the game hosted at HOST
//   vektorak --join-code CODE   joins the game CODE opened on the lobby
//   vektorak --help             the usage, then nothing else
//   vektorak FILE.vkr           watches the replay FILE, then the menu (with
//                               any of the above but --help, too)
//
// Any of them with --lobby HOST[:PORT], or VEKTORAK_LOBBY=HOST[:PORT] in
// the environment (the option wins): the lobby of this run, in place of
// the settings file's; without either, the file's, and without that none.
// With a lobby --host also opens the game there, and the network screen
// lists its games. CODE is 6 letters and digits, in either case.
//
// PORT is 1 to 65535 in decimal, vkn::DEFAULT_PORT when left out. FILE is
// any argument that does not start with '-' (a file manager hands one, as
// the desktop entry's %f). Anything else, a second FILE too, is a usage
// error: the game prints the usage on standard error and ends with
// USAGE_EXIT before it starts anything.
#pragma once

#include <cstdint>
#include <string>

constexpr int USAGE_EXIT = 64;  // the BSD sysexits code for a bad command line

struct GameOptions {
    enum class Mode { LOCAL, HOST, JOIN, WATCH, JOIN_CODE };
    Mode mode = Mode::LOCAL;
    uint16_t port = 0;
    std::string hostName;  // JOIN and WATCH
    std::string code;      // JOIN_CODE, in capitals
    std::string lobby;     // "HOST[:PORT]" as given; empty: the settings file's
    std::string replayFile;  // the replay to watch first; empty: none
};

enum class OptionsRead {
    RUN,   // start the game with the options
    HELP,  // print the usage on standard output and end with 0
    BAD,   // print `why` and the usage on standard error, end with USAGE_EXIT
};

// Reads VEKTORAK_LOBBY too, a bad value of it being as bad as the option's.
OptionsRead readOptions(int argc, const char* const* argv, GameOptions& options, std::string& why);

constexpr const char* LOBBY_VARIABLE = "VEKTORAK_LOBBY";

// The usage text, lines ending in newlines.
const char* usageText();
