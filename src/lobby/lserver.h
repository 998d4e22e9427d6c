// lserver.h: the lobby as a program: its command line, one UDP socket, and
// the loop that feeds datagrams to LLobby and sends its answers.
//
// One socket serves every player: a request is one datagram and its answer
// one or two, so the loop takes datagrams in batches (recvmmsg) and sends
// the answers of a batch together (sendmmsg), two system calls for up to
// BATCH requests. It runs until SIGTERM or SIGINT.
#pragma once

#include <cstdint>
#include <string>

struct LServerOptions {
    uint16_t port = 0;          // set by parseServerOptions: vkl::DEFAULT_PORT unless --port
    std::string turnHost;       // "" without --turn
    uint16_t turnPort = 3478;   // TURN's own default
    std::string turnSecretFile;
};

enum class ServerOptionsRead { RUN, HELP, BAD };

// Reads `vektorak-lobby [--port PORT] [--turn HOST[:PORT] --turn-secret-file
// FILE]`. BAD, with `why`, for anything else (an option without its value, a
// port outside 1..65535, --turn without its secret file or the reverse).
ServerOptionsRead parseServerOptions(int argc, char** argv, LServerOptions& options, std::string& why);
const char* serverUsage();

// Runs the lobby until a signal ends it; the process's exit status: 0 after
// a signal, 1 when the socket, the TURN host or its secret cannot be had
// (said on standard error).
int runLobbyServer(const LServerOptions& options);
