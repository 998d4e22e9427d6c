// main.cpp: the online lobby's entry point; the server lives in the core
// library (lobby/lserver.h).
#include <cstdio>
#include <string>

#include "lobby/lserver.h"

int main(int argc, char* argv[]) {
    LServerOptions options;
    std::string why;
    switch (parseServerOptions(argc, argv, options, why)) {
    case ServerOptionsRead::HELP:
        fputs(serverUsage(), stdout);
        return 0;
    case ServerOptionsRead::BAD:
        fprintf(stderr, "vektorak-lobby: %s\n%s", why.c_str(), serverUsage());
        return 64;  // the BSD sysexits code for a bad command line, as the game's
    case ServerOptionsRead::RUN:
        break;
    }
    return runLobbyServer(options);
}
