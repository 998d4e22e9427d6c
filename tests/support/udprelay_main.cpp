// udprelay_main.cpp: the relay as a program for the end-to-end tests, the
// same conditions both ways. Says "listening on PORT" once clients may send,
// relays until SIGTERM or SIGINT, then prints its counters as one JSON line.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/udprelay.h"

namespace {

constexpr int kUsageExit = 64;  // EX_USAGE of sysexits.h

void usage(FILE* out = stderr) {
    fprintf(out,
            "usage: udprelay --listen PORT --target PORT [--rtt MS] [--jitter MS] [--loss P] [--dup P]\n"
            "                [--reorder P] [--seed N]\n"
            "  Relays UDP from 127.0.0.1:PORT (0: any free port) to 127.0.0.1:target and back.\n"
            "  MS are whole milliseconds (a round trip of rtt is rtt/2 each way), P a\n"
            "  probability 0..1, each way; N seeds the draws (default 1).\n");
}

bool parseLong(const char* text, long lo, long hi, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parseProbability(const char* text, double* out) {
    char* end = nullptr;
    errno = 0;
    const double v = strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(v >= 0.0 && v <= 1.0)) return false;
    *out = v;
    return true;
}

void printCounters(const char* name, const RelayCounters& c, const char* after) {
    printf("\"%s\":{\"received\":%llu,\"forwarded\":%llu,\"dropped\":%llu,\"duplicated\":%llu,"
           "\"refused\":%llu,\"bytes\":%llu}%s",
           name, static_cast<unsigned long long>(c.received), static_cast<unsigned long long>(c.forwarded),
           static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.duplicated),
           static_cast<unsigned long long>(c.refused), static_cast<unsigned long long>(c.bytes), after);
}

}  // namespace

int main(int argc, char** argv) {
    long listen = -1, target = -1, rtt = 0, jitter = 0, seed = 1;
    RelayConditions c;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (strcmp(option, "--help") == 0) {
            usage(stdout);
            return 0;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = value != nullptr;
        if (ok && strcmp(option, "--listen") == 0) ok = parseLong(value, 0, 65535, &listen);
        else if (ok && strcmp(option, "--target") == 0) ok = parseLong(value, 1, 65535, &target);
        else if (ok && strcmp(option, "--rtt") == 0) ok = parseLong(value, 0, 600000, &rtt);
        else if (ok && strcmp(option, "--jitter") == 0) ok = parseLong(value, 0, 60000, &jitter);
        else if (ok && strcmp(option, "--loss") == 0) ok = parseProbability(value, &c.loss);
        else if (ok && strcmp(option, "--dup") == 0) ok = parseProbability(value, &c.duplicate);
        else if (ok && strcmp(option, "--reorder") == 0) ok = parseProbability(value, &c.reorder);
        else if (ok && strcmp(option, "--seed") == 0) ok = parseLong(value, 0, 4294967295L, &seed);
        else ok = false;
        if (!ok) {
            fprintf(stderr, "udprelay: bad option %s%s%s\n", option, value ? " " : "", value ? value : "");
            usage();
            return kUsageExit;
        }
        ++i;
    }
    if (listen < 0 || target < 0) {
        fprintf(stderr, "udprelay: --listen and --target are needed\n");
        usage();
        return kUsageExit;
    }

    // Blocked before the relay's thread starts, so that it inherits the mask
    // and the signals wait for sigwait here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RelayConditions toServer = c, toClient = c;
    toServer.delayMs = static_cast<int>(rtt / 2);
    toClient.delayMs = static_cast<int>(rtt - rtt / 2);  // an odd round trip stays whole
    toServer.jitterMs = toClient.jitterMs = static_cast<int>(jitter);
    UdpRelay relay(static_cast<uint16_t>(listen), static_cast<uint16_t>(target), toServer, toClient,
                   static_cast<uint32_t>(seed));
    if (!relay.start()) return 1;
    printf("listening on %u\n", relay.port());
    fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    relay.stop();
    printf("{");
    printCounters("toServer", relay.counters(UdpRelay::ToServer), ",");
    printCounters("toClient", relay.counters(UdpRelay::ToClient), "");
    printf("}\n");
    return 0;
}
