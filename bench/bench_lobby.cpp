// bench_lobby.cpp: the real vektorak-lobby process under its design load,
// and under junk, over loopback UDP.
//
//   load    10,000 hosts, each its own socket (40 to an address, across
//           127.1.0.0/16, under the lobby's 64 games per address), open a
//           game and refresh it every 10 s; 1,000 joiner sockets (10 to an
//           address, in 127.3.0.0/16) join a random game once a second
//           each: 1,000 joins a second, each answered with an INTRO to both
//           sides. Over SECONDS: the lobby's CPU (utime + stime from
//           /proc/PID/stat) as a share of one core, its RSS, and the answers
//           that did not come within a second.
//   abuse   1,000,000 datagrams from 16 sockets of addresses never proven
//           (127.2.0.x): half bytes at random, half the lobby's magic and a
//           type with random bytes after, lengths 0..600, while the hosts
//           go on refreshing. The bytes that came back per byte sent (on
//           the bench's sockets, and the lobby's own count in its last
//           line); then a fresh HELLO must be answered, and every host must
//           still hold its code (its next refresh OPENED with the same one)
//           and the first page of GAMES must count all 10,000.
//
// A host that hears nothing for a second asks again, as a game does; the
// retries are counted. The lobby's answers are drained as they come with
// epoll. Exit code 1 when a goal is missed.
//
//   build/bench/bench_lobby [SECONDS]      (30 by default)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "net/nlobbyprotocol.h"

namespace {

constexpr uint32_t HOSTS = 10000;
constexpr uint32_t HOSTS_PER_ADDRESS = 40;
constexpr uint32_t JOINERS = 1000;
constexpr uint32_t JOINERS_PER_ADDRESS = 10;
constexpr uint32_t ATTACKERS = 16;
constexpr uint64_t REFRESH_MS = 10000;
constexpr uint64_t JOIN_EVERY_MS = 1000;
constexpr uint64_t RETRY_MS = 1000;
constexpr uint32_t JUNK = 1000000;
constexpr uint32_t JUNK_PER_MS = 50;  // 50,000 a second
constexpr double CPU_GOAL = 0.25;
constexpr double RSS_GOAL_MB = 64;

uint64_t nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000 + uint64_t(t.tv_nsec) / 1000000;
}

struct Peer {
    int fd = -1;
    uint64_t cookie = 0;
    bool haveCookie = false;
    char code[vkl::CODE_LENGTH + 1] = {};
    char firstCode[vkl::CODE_LENGTH + 1] = {};
    uint64_t dueMs = 0;      // the next refresh or join
    uint64_t askedMs = 0;    // when the request now unanswered went; 0: none
    uint64_t openedMs = 0;   // the last OPENED
    uint8_t last[vkl::MAX_DATAGRAM];
    size_t lastSize = 0;
};

struct Counts {
    uint64_t opened = 0, intros = 0, cookies = 0, retries = 0, codeChanged = 0, other = 0;
    uint64_t junkSent = 0, junkBytes = 0, junkAnswerBytes = 0;
};

int udpSocket(uint32_t ip) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(ip);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        perror("bench_lobby: socket");
        exit(1);
    }
    return fd;
}

class Bench {
public:
    uint16_t port = 0;
    std::vector<Peer> hosts = std::vector<Peer>(HOSTS), joiners = std::vector<Peer>(JOINERS),
                      attackers = std::vector<Peer>(ATTACKERS);
    Counts counts;
    bool listing = false;
    uint16_t total = 0;  // the last GAMES' count
    std::mt19937_64 random{12345};

    void requestList(Peer& p, uint64_t now) {
        NLobbyMessage m;
        m.type = vkl::Type::LIST;
        request(p, m, now);
    }
    int epoll = -1;

    void open() {
        epoll = epoll_create1(EPOLL_CLOEXEC);
        auto add = [this](std::vector<Peer>& peers, uint32_t base, uint32_t perAddress, uint32_t tag) {
            for (uint32_t i = 0; i < peers.size(); i++) {
                peers[i].fd = udpSocket(base + 1 + i / perAddress);
                epoll_event e = {};
                e.events = EPOLLIN;
                e.data.u32 = tag + i;
                epoll_ctl(epoll, EPOLL_CTL_ADD, peers[i].fd, &e);
            }
        };
        add(hosts, 0x7F010000, HOSTS_PER_ADDRESS, 0);
        add(joiners, 0x7F030000, JOINERS_PER_ADDRESS, 1u << 20);
        add(attackers, 0x7F020000, 1, 2u << 20);
        // Room for every COOKIE a burst of junk may earn while the bench
        // sends: a datagram lost here would flatter the abuse figure. Past
        // the system's limit needs root (FORCE); else what it allows.
        const int room = 8 << 20;
        for (Peer& a : attackers) {
            if (setsockopt(a.fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0) {
                setsockopt(a.fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
            }
        }
    }

    void send(int fd, const uint8_t* bytes, size_t size) {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(0x7F000001);
        to.sin_port = htons(port);
        sendto(fd, bytes, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    // Sends `m` with the peer's cookie, or a HELLO first when it has none.
    void request(Peer& p, NLobbyMessage m, uint64_t now) {
        if (!p.haveCookie) m = NLobbyMessage();  // a HELLO, padded
        m.cookie = p.cookie;
        p.lastSize = encodeLobby(m, p.last);
        send(p.fd, p.last, p.lastSize);
        p.askedMs = now;
    }

    void refresh(Peer& h, uint64_t now) {
        NLobbyMessage m;
        m.type = vkl::Type::OPEN;
        memcpy(m.code, h.code, sizeof m.code);
        m.addressCount = 1;
        m.addresses[0] = {0xC0A80001, 27183};
        request(h, m, now);
        h.dueMs = now + REFRESH_MS;
    }

    void join(Peer& j, uint64_t now) {
        NLobbyMessage m;
        m.type = vkl::Type::JOIN;
        const Peer& h = hosts[random() % HOSTS];
        memcpy(m.code, h.code[0] ? h.code : "ACDEFG", sizeof m.code);
        m.nonce = random();
        request(j, m, now);
        j.dueMs += JOIN_EVERY_MS;
    }

    void take(Peer& p, bool isHost, const uint8_t* bytes, size_t size, uint64_t now) {
        NLobbyMessage m;
        const char* why = nullptr;
        if (!decodeLobby(bytes, size, m, why)) {
            counts.other++;
            return;
        }
        switch (m.type) {
        case vkl::Type::COOKIE:
            counts.cookies++;
            p.cookie = m.cookie;
            p.haveCookie = true;
            // The request the cookie was missing from, again (a HELLO's
            // turn is taken by the real request); a joiner's join is lost.
            if (isHost) refresh(p, now);
            else if (listing) requestList(p, now);
            else p.askedMs = 0;
            return;
        case vkl::Type::OPENED:
            counts.opened++;
            if (p.firstCode[0] == '\0') memcpy(p.firstCode, m.code, sizeof m.code);
            if (strcmp(p.firstCode, m.code) != 0) counts.codeChanged++;
            memcpy(p.code, m.code, sizeof m.code);
            p.askedMs = 0;
            p.openedMs = now;
            return;
        case vkl::Type::GAMES:
            total = m.total;
            p.askedMs = 0;
            return;
        case vkl::Type::INTRO:
            // The host hears of the joiner too; only the joiner's counts.
            if (!isHost) {
                counts.intros++;
                p.askedMs = 0;
            }
            return;
        default:
            counts.other++;
            p.askedMs = 0;
        }
    }

    // Reads everything waiting, for up to `waitMs`.
    void drain(int waitMs, uint64_t now) {
        epoll_event events[256];
        const int n = epoll_wait(epoll, events, 256, waitMs);
        for (int i = 0; i < n; i++) {
            const uint32_t tag = events[i].data.u32;
            const uint32_t group = tag >> 20, index = tag & 0xFFFFF;
            Peer& p = group == 0 ? hosts[index] : group == 1 ? joiners[index] : attackers[index];
            uint8_t bytes[2048];
            for (;;) {
                const ssize_t got = recv(p.fd, bytes, sizeof bytes, 0);
                if (got < 0) break;
                if (group == 2) {
                    counts.junkAnswerBytes += static_cast<uint64_t>(got);
                } else {
                    take(p, group == 0, bytes, static_cast<size_t>(got), now);
                }
            }
        }
    }

    // One pass: refreshes and joins that are due, retries, answers.
    void step(uint64_t now, bool joining) {
        for (Peer& h : hosts) {
            if (h.askedMs != 0 && now - h.askedMs >= RETRY_MS) {
                counts.retries++;
                send(h.fd, h.last, h.lastSize);
                h.askedMs = now;
            } else if (h.askedMs == 0 && now >= h.dueMs) {
                refresh(h, now);
            }
        }
        if (joining) {
            for (Peer& j : joiners) {
                if (now >= j.dueMs) join(j, now);
            }
        }
        drain(1, now);
    }

    void junk() {
        uint8_t bytes[600];
        const uint32_t i = static_cast<uint32_t>(counts.junkSent);
        const size_t size = random() % (sizeof bytes + 1);
        for (size_t k = 0; k < size; k++) bytes[k] = static_cast<uint8_t>(random());
        if (i % 2 == 1 && size >= vkl::HEADER_SIZE) {
            memcpy(bytes, vkl::MAGIC, vkl::MAGIC_SIZE);
            bytes[vkl::MAGIC_SIZE] = static_cast<uint8_t>(1 + random() % vkl::LAST_TYPE);
        }
        send(attackers[i % ATTACKERS].fd, bytes, size);
        counts.junkSent++;
        counts.junkBytes += size;
    }
};

struct CpuSample {
    uint64_t ticks;
    uint64_t ms;
};

CpuSample cpuOf(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = fopen(path, "r");
    char line[1024] = {};
    if (f != nullptr) {
        if (fgets(line, sizeof line, f) == nullptr) line[0] = '\0';
        fclose(f);
    }
    // utime and stime: fields 14 and 15, counted after the ")" closing the
    // name, which may hold spaces.
    unsigned long long utime = 0, stime = 0;
    const char* rest = strrchr(line, ')');
    if (rest != nullptr) sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime);
    return {utime + stime, nowMs()};
}

double rssMb(pid_t pid, const char* field) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    FILE* f = fopen(path, "r");
    char line[256];
    double kb = 0;
    while (f != nullptr && fgets(line, sizeof line, f) != nullptr) {
        if (strncmp(line, field, strlen(field)) == 0) kb = atof(line + strlen(field));
    }
    if (f != nullptr) fclose(f);
    return kb / 1024;
}

double share(CpuSample a, CpuSample b) {
    const double seconds = static_cast<double>(b.ms - a.ms) / 1000;
    return static_cast<double>(b.ticks - a.ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
}

uint16_t freePort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(0x7F000001);
    socklen_t size = sizeof at;
    bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size);
    close(fd);
    return ntohs(at.sin_port);
}

std::string lobbyPath() {
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return "vektorak-lobby";
    std::string dir = self;
    dir = dir.substr(0, dir.rfind('/'));
    return dir.substr(0, dir.rfind('/')) + "/vektorak-lobby";
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? atoi(argv[1]) : 30;
    if (seconds < 5 || argc > 2) {
        fprintf(stderr, "usage: bench_lobby [SECONDS >= 5]\n");
        return 64;
    }
    rlimit files;
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < HOSTS + JOINERS + ATTACKERS + 64) {
        fprintf(stderr, "bench_lobby: %llu files at most; %u sockets needed\n",
                static_cast<unsigned long long>(files.rlim_cur), HOSTS + JOINERS + ATTACKERS);
        return 1;
    }

    Bench b;
    b.port = freePort();
    const std::string lobby = lobbyPath();
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        const std::string port = std::to_string(b.port);
        execl(lobby.c_str(), lobby.c_str(), "--port", port.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    char line[256] = {};
    const ssize_t got = read(out[0], line, sizeof line - 1);
    if (got <= 0 || strstr(line, "Lobby listening on UDP") == nullptr) {
        fprintf(stderr, "bench_lobby: %s did not start\n", lobby.c_str());
        return 1;
    }
    printf("bench_lobby: %s on port %u, pid %d; %u hosts, %u joiners\n", lobby.c_str(), b.port, static_cast<int>(pid),
           HOSTS, JOINERS);
    b.open();

    // Registration, spread over the first refresh period.
    uint64_t start = nowMs();
    // Turn about among the addresses, as hosts in different homes would:
    // host i is the (i / 40)th of its address's 40.
    const uint32_t addresses = HOSTS / HOSTS_PER_ADDRESS;
    for (uint32_t i = 0; i < HOSTS; i++) {
        const uint32_t turn = (i % HOSTS_PER_ADDRESS) * addresses + i / HOSTS_PER_ADDRESS;
        b.hosts[i].dueMs = start + turn * REFRESH_MS / HOSTS;
    }
    // The joiners take their cookies now, so that every request measured is
    // a JOIN.
    for (Peer& j : b.joiners) b.request(j, NLobbyMessage(), start);
    while (nowMs() - start < REFRESH_MS + 2000) b.step(nowMs(), false);
    uint32_t registered = 0;
    for (const Peer& h : b.hosts) registered += h.firstCode[0] != '\0' ? 1 : 0;
    printf("registered: %u of %u hosts in %.1f s (%llu retries)\n", registered, HOSTS,
           static_cast<double>(nowMs() - start) / 1000, static_cast<unsigned long long>(b.counts.retries));

    // The load: refreshes and joins, measured.
    start = nowMs();
    for (uint32_t i = 0; i < JOINERS; i++) b.joiners[i].dueMs = start + i * JOIN_EVERY_MS / JOINERS;
    const Counts before = b.counts;
    const CpuSample cpu0 = cpuOf(pid);
    while (nowMs() - start < uint64_t(seconds) * 1000) b.step(nowMs(), true);
    const CpuSample cpu1 = cpuOf(pid);
    const double loadShare = share(cpu0, cpu1);
    const double rss = rssMb(pid, "VmRSS:"), peak = rssMb(pid, "VmHWM:");
    const double s = static_cast<double>(cpu1.ms - cpu0.ms) / 1000;
    printf("load: %.1f s: %.0f refreshes/s, %.0f joins/s answered with an INTRO; %llu retries, %llu answers of "
           "another kind\n",
           s, static_cast<double>(b.counts.opened - before.opened) / s,
           static_cast<double>(b.counts.intros - before.intros) / s,
           static_cast<unsigned long long>(b.counts.retries - before.retries),
           static_cast<unsigned long long>(b.counts.other - before.other));
    printf("  lobby CPU %.1f %% of one core (goal <= %.0f %%), RSS %.1f MB, peak %.1f MB (goal <= %.0f MB)\n",
           100 * loadShare, 100 * CPU_GOAL, rss, peak, RSS_GOAL_MB);

    // Abuse: junk while the hosts refresh (no joins: their answers would
    // blur what junk costs).
    const CpuSample cpu2 = cpuOf(pid);
    const uint64_t retriesBefore = b.counts.retries;
    uint64_t last = nowMs();
    while (b.counts.junkSent < JUNK) {
        const uint64_t now = nowMs();
        for (uint64_t k = 0; k < (now - last) * JUNK_PER_MS && b.counts.junkSent < JUNK; k++) b.junk();
        last = now;
        b.step(now, false);
    }
    const uint64_t settle = nowMs();
    while (nowMs() - settle < 1000) b.step(nowMs(), false);
    const CpuSample cpu3 = cpuOf(pid);
    printf("abuse: %llu datagrams, %llu bytes in %.1f s from %u unproven addresses: %llu bytes answered "
           "(%.4f per byte; goal <= 1); lobby CPU %.1f %% of one core; %llu hosts' retries\n",
           static_cast<unsigned long long>(b.counts.junkSent), static_cast<unsigned long long>(b.counts.junkBytes),
           static_cast<double>(cpu3.ms - cpu2.ms) / 1000, ATTACKERS,
           static_cast<unsigned long long>(b.counts.junkAnswerBytes),
           static_cast<double>(b.counts.junkAnswerBytes) / static_cast<double>(b.counts.junkBytes), 100 * share(cpu2, cpu3),
           static_cast<unsigned long long>(b.counts.retries - retriesBefore));

    // Still there: a stranger's HELLO answered, every host's code kept, all
    // games counted. Each host refreshes once more now.
    uint64_t now = nowMs();
    for (Peer& h : b.hosts) h.dueMs = now;
    NLobbyMessage hello;
    uint8_t bytes[vkl::MAX_DATAGRAM];
    const uint64_t junkAnswered = b.counts.junkAnswerBytes;
    b.send(b.attackers[0].fd, bytes, encodeLobby(hello, bytes));
    while (nowMs() - now < 3000) b.step(nowMs(), false);
    const bool helloAnswered = b.counts.junkAnswerBytes - junkAnswered == vkl::COOKIE_SIZE;
    uint32_t refreshed = 0;
    for (const Peer& h : b.hosts) refreshed += h.openedMs >= now ? 1 : 0;
    b.listing = true;
    b.requestList(b.joiners[0], nowMs());
    now = nowMs();
    while (nowMs() - now < 1000) b.step(nowMs(), false);
    const uint16_t total = b.total;
    printf("after: a new HELLO %s; %u of %u hosts refreshed, %llu codes changed since registering; GAMES counts "
           "%u\n",
           helloAnswered ? "answered" : "NOT answered", refreshed, HOSTS,
           static_cast<unsigned long long>(b.counts.codeChanged), total);

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    char tail[512] = {};
    const ssize_t said = read(err[0], tail, sizeof tail - 1);
    if (said > 0) printf("lobby: %s", tail);

    const bool met = registered == HOSTS && loadShare <= CPU_GOAL && peak <= RSS_GOAL_MB &&
                     b.counts.junkAnswerBytes <= b.counts.junkBytes && helloAnswered &&
                     refreshed == HOSTS && b.counts.codeChanged == 0 && total == HOSTS;
    printf("%s\n", met ? "all goals met" : "a goal was missed");
    return met ? 0 : 1;
}
