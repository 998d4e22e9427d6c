// lserver.cpp: the lobby's socket loop and command line.
#include "lobby/lserver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lobby/llobby.h"

namespace {

// Datagrams taken per system call. Each answer slot holds a whole datagram,
// so this times MAX_ANSWERS times MAX_DATAGRAM bytes sit ready: 64 KB.
constexpr unsigned BATCH = 64;
constexpr uint64_t EXPIRE_EVERY_MS = 1000;

volatile sig_atomic_t stopping = 0;

void onSignal(int) { stopping = 1; }

uint64_t monotonicMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000 + uint64_t(t.tv_nsec) / 1000000;
}

bool readPort(const char* text, uint16_t& port) {
    char* end = nullptr;
    errno = 0;
    const long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// The secret as coturn's static-auth-secret takes it: the file's first line.
bool readSecret(const std::string& path, std::string& secret) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        fprintf(stderr, "vektorak-lobby: cannot read the TURN secret %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    char line[512];
    const bool got = fgets(line, sizeof line, f) != nullptr;
    fclose(f);
    secret = got ? line : "";
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r' || secret.back() == ' ')) secret.pop_back();
    if (secret.empty()) {
        fprintf(stderr, "vektorak-lobby: the TURN secret %s is empty\n", path.c_str());
        return false;
    }
    return true;
}

bool resolve(const std::string& host, uint32_t& ip) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (error != 0 || found == nullptr) {
        fprintf(stderr, "vektorak-lobby: cannot resolve the TURN server %s: %s\n", host.c_str(), gai_strerror(error));
        return false;
    }
    ip = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return true;
}

bool randomBytes(void* out, size_t size) {
    return getrandom(out, size, 0) == static_cast<ssize_t>(size);
}

// The buffers of one batch, made once.
struct Batch {
    uint8_t in[BATCH][vkl::MAX_DATAGRAM + 1];
    sockaddr_in from[BATCH];
    iovec inVec[BATCH];
    mmsghdr inMsg[BATCH];
    LAnswer out[BATCH * LLobby::MAX_ANSWERS];
    sockaddr_in to[BATCH * LLobby::MAX_ANSWERS];
    iovec outVec[BATCH * LLobby::MAX_ANSWERS];
    mmsghdr outMsg[BATCH * LLobby::MAX_ANSWERS];
};

void serve(int fd, LLobby& lobby) {
    std::unique_ptr<Batch> b(new Batch());
    uint64_t expiredAt = monotonicMs();
    while (!stopping) {
        pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(EXPIRE_EVERY_MS));
        const uint64_t now = monotonicMs();
        if (now - expiredAt >= EXPIRE_EVERY_MS) {
            lobby.expire(now);
            expiredAt = now;
        }
        if (stopping || (p.revents & POLLIN) == 0) continue;
        for (unsigned i = 0; i < BATCH; i++) {
            // One byte more than any request may be: a longer datagram is
            // cut, seen longer than MAX_DATAGRAM, and refused.
            b->inVec[i] = {b->in[i], sizeof b->in[i]};
            b->inMsg[i].msg_hdr = {};
            b->inMsg[i].msg_hdr.msg_name = &b->from[i];
            b->inMsg[i].msg_hdr.msg_namelen = sizeof b->from[i];
            b->inMsg[i].msg_hdr.msg_iov = &b->inVec[i];
            b->inMsg[i].msg_hdr.msg_iovlen = 1;
        }
        const int got = recvmmsg(fd, b->inMsg, BATCH, MSG_DONTWAIT, nullptr);
        if (got <= 0) continue;
        unsigned answers = 0;
        for (int i = 0; i < got; i++) {
            if (b->from[i].sin_family != AF_INET) continue;
            const NLobbyAddress from{ntohl(b->from[i].sin_addr.s_addr), ntohs(b->from[i].sin_port)};
            answers += static_cast<unsigned>(lobby.handle(now, from, b->in[i], b->inMsg[i].msg_len, b->out + answers));
        }
        for (unsigned i = 0; i < answers; i++) {
            sockaddr_in& to = b->to[i];
            to = {};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(b->out[i].to.ip);
            to.sin_port = htons(b->out[i].to.port);
            b->outVec[i] = {b->out[i].bytes, b->out[i].size};
            b->outMsg[i].msg_hdr = {};
            b->outMsg[i].msg_hdr.msg_name = &to;
            b->outMsg[i].msg_hdr.msg_namelen = sizeof to;
            b->outMsg[i].msg_hdr.msg_iov = &b->outVec[i];
            b->outMsg[i].msg_hdr.msg_iovlen = 1;
        }
        // A full send buffer drops the rest: the clients ask again, as they
        // must for any datagram lost.
        for (unsigned sent = 0; sent < answers;) {
            const int n = sendmmsg(fd, b->outMsg + sent, answers - sent, MSG_DONTWAIT);
            if (n <= 0) break;
            sent += static_cast<unsigned>(n);
        }
    }
}

}  // namespace

const char* serverUsage() {
    return "usage: vektorak-lobby [--port PORT] [--turn HOST[:PORT] --turn-secret-file FILE]\n"
           "       vektorak-lobby --help\n"
           "Introduces the players of online Vektorak games to each other over UDP\n"
           "(port 27185 unless --port). With --turn, it hands both sides of each\n"
           "introduction credentials for that TURN server (port 3478 unless given),\n"
           "made from the secret on the first line of FILE (the server's\n"
           "static-auth-secret).\n";
}

ServerOptionsRead parseServerOptions(int argc, char** argv, LServerOptions& o, std::string& why) {
    o.port = vkl::DEFAULT_PORT;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help") return ServerOptionsRead::HELP;
        const bool valued = arg == "--port" || arg == "--turn" || arg == "--turn-secret-file";
        if (!valued) {
            why = "unknown argument " + arg;
            return ServerOptionsRead::BAD;
        }
        if (i + 1 >= argc) {
            why = arg + " needs a value";
            return ServerOptionsRead::BAD;
        }
        const std::string value = argv[++i];
        if (arg == "--port") {
            if (!readPort(value.c_str(), o.port)) {
                why = "port " + value + " is not in 1..65535";
                return ServerOptionsRead::BAD;
            }
        } else if (arg == "--turn") {
            const size_t colon = value.rfind(':');
            o.turnHost = value.substr(0, colon);
            if (colon != std::string::npos && !readPort(value.substr(colon + 1).c_str(), o.turnPort)) {
                why = "TURN port in " + value + " is not in 1..65535";
                return ServerOptionsRead::BAD;
            }
            if (o.turnHost.empty()) {
                why = "--turn needs a host";
                return ServerOptionsRead::BAD;
            }
        } else {
            o.turnSecretFile = value;
        }
    }
    if (o.turnHost.empty() != o.turnSecretFile.empty()) {
        why = "--turn and --turn-secret-file go together";
        return ServerOptionsRead::BAD;
    }
    return ServerOptionsRead::RUN;
}

int runLobbyServer(const LServerOptions& options) {
    LLobbyConfig config;
    if (!randomBytes(&config.seed, sizeof config.seed) || !randomBytes(config.cookieKey, sizeof config.cookieKey)) {
        fprintf(stderr, "vektorak-lobby: no random bytes from the kernel: %s\n", strerror(errno));
        return 1;
    }
    if (!options.turnHost.empty()) {
        if (!resolve(options.turnHost, config.turn.ip) || !readSecret(options.turnSecretFile, config.turnSecret)) return 1;
        config.turn.port = options.turnPort;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    at.sin_port = htons(options.port);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        fprintf(stderr, "vektorak-lobby: cannot listen on UDP port %u: %s\n", options.port, strerror(errno));
        if (fd >= 0) close(fd);
        return 1;
    }
    // Room for a burst of 10,000 refreshes while a batch is answered.
    const int buffer = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    // The credentials' expiry is wall-clock time; everything else runs on the
    // monotonic clock, which no clock change can move.
    timespec wall;
    clock_gettime(CLOCK_REALTIME, &wall);
    config.unixAtZero = static_cast<int64_t>(wall.tv_sec) - static_cast<int64_t>(monotonicMs() / 1000);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    LLobby lobby(config);
    printf("Lobby listening on UDP %u.\n", options.port);
    fflush(stdout);
    serve(fd, lobby);
    close(fd);
    const LLobbyStats& s = lobby.stats();
    // What an operator (and bench_lobby) reads of a run: the last line.
    fprintf(stderr,
            "vektorak-lobby: stopped after %llu datagrams (%llu refused, %llu over their rate); %llu bytes "
            "answered to %llu from unproven addresses\n",
            static_cast<unsigned long long>(s.datagrams), static_cast<unsigned long long>(s.refused),
            static_cast<unsigned long long>(s.limited), static_cast<unsigned long long>(s.unprovenOut),
            static_cast<unsigned long long>(s.unprovenIn));
    return 0;
}
