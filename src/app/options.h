// options.h: the command line.
//
//   vektorak                    a game on this machine, as always
//   vektorak --host [PORT]      waits for a player on UDP PORT
//   vektorak --join HOST[:PORT] joins the game hosted at HOST
//   vektorak --watch HOST[:PORT] watches the matches of the game hosted at HOST
//   vektorak --help             the usage, then nothing else
//   vektorak FILE.vkr           watches the replay FILE, then the menu (with
//                               any of the above but --help, too)
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
    enum class Mode { LOCAL, HOST, JOIN, WATCH };
    Mode mode = Mode::LOCAL;
    uint16_t port = 0;
    std::string hostName;  // JOIN and WATCH
    std::string replayFile;  // the replay to watch first; empty: none
};

enum class OptionsRead {
    RUN,   // start the game with the options
    HELP,  // print the usage on standard output and end with 0
    BAD,   // print `why` and the usage on standard error, end with USAGE_EXIT
};

OptionsRead readOptions(int argc, const char* const* argv, GameOptions& options, std::string& why);

// The usage text, lines ending in newlines.
const char* usageText();
