// crowd.cpp (vk-crowd): the other side of a real hosting game, for
// bench/crowd.sh: joins it as a computer player, with SPECTATORS spectators
// beside it, all in this process and without a window, and plays until the
// match has run SECONDS. Then prints one line: the joiner's waits, how many
// spectators were given the match and how far behind the joiner's world each
// trailed at worst, and what each received a second.
//
//   vk-crowd PORT SPECTATORS SECONDS
//
// The game it joins must ready itself (Return in its window): this side is
// ready as soon as it is connected.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "game/gmatch.h"
#include "net/nmatch.h"
#include "net/nsession.h"
#include "net/nwiring.h"

namespace {

struct Side {
    NSession session;
    GMatch match;
    NWiredMatch wired;
    uint32_t worstBehindMs = 0;
    uint64_t bytesAtStart = 0, packetsAtStart = 0;
    ~Side() { delete wired.driver; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: vk-crowd PORT SPECTATORS SECONDS\n");
        return 64;
    }
    const uint16_t port = static_cast<uint16_t>(atoi(argv[1]));
    const int32_t count = atoi(argv[2]);
    const uint32_t seconds = static_cast<uint32_t>(atoi(argv[3]));
    Side player;
    std::vector<std::unique_ptr<Side>> spectators;
    if (!player.session.join("127.0.0.1", port)) return 1;
    player.session.setOwnChoice(CHOICE_COMPUTER);
    bool readied = false;
    uint32_t startedAt = 0;
    uint32_t last = NSession::clock();
    const uint32_t begin = last;
    while (NSession::clock() - begin < 120000 + seconds * 1000) {
        const uint32_t now = NSession::clock();
        const int32_t elapsed = static_cast<int32_t>(now - last);
        last = now;
        player.session.service();
        if (!player.session.open()) break;
        if (player.session.connected() && !readied) {
            readied = true;
            player.session.setOwnReady(true);
            for (int32_t i = 0; i < count; i++) {
                spectators.push_back(std::make_unique<Side>());
                spectators.back()->session.watch("127.0.0.1", port);
            }
        }
        for (Side* side : {&player}) {
            NStart start;
            NSession::Event event;
            while (side->session.takeEvent(event, start)) {
                if (event == NSession::Event::MATCH_STARTED && side->wired.driver == nullptr) {
                    side->wired = wireNetMatch(side->match, side->session, start, nullptr, nullptr);
                    startedAt = now;
                }
            }
        }
        if (player.wired.driver != nullptr && elapsed > 0) player.wired.driver->advance(elapsed);
        for (const auto& s : spectators) {
            s->session.service();
            NStart start;
            NSession::Event event;
            while (s->session.takeEvent(event, start)) {
                if (event == NSession::Event::MATCH_STARTED && s->wired.driver == nullptr) {
                    s->wired = wireNetMatch(s->match, s->session, start, nullptr, nullptr);
                    s->bytesAtStart = s->session.receivedBytes();
                    s->packetsAtStart = s->session.receivedPackets();
                }
            }
            if (s->wired.driver == nullptr) continue;
            if (elapsed > 0) s->wired.driver->advance(elapsed);
            const uint32_t ahead = player.match.world.elapsedMs, seen = s->match.world.elapsedMs;
            // Past the first second: the one it takes to be sent what came before.
            if (now - startedAt > 1000 && ahead > seen) s->worstBehindMs = std::max(s->worstBehindMs, ahead - seen);
        }
        if (startedAt != 0 && now - startedAt >= seconds * 1000) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const uint32_t ranMs = startedAt != 0 ? NSession::clock() - startedAt : 0;
    int32_t watched = 0;
    uint32_t worst = 0;
    double rate = 0;
    for (const auto& s : spectators) {
        if (s->wired.driver == nullptr) continue;
        watched++;
        worst = std::max(worst, s->worstBehindMs);
        const double bytes = static_cast<double>(s->session.receivedBytes() - s->bytesAtStart) +
                             28.0 * static_cast<double>(s->session.receivedPackets() - s->packetsAtStart);
        rate = std::max(rate, ranMs > 0 ? bytes * 1000.0 / ranMs : 0.0);
    }
    const uint64_t waited = player.wired.player != nullptr ? player.wired.player->waitedMs : 0;
    printf("match_ms %u joiner_waited_ms %llu spectators %d watched %d worst_behind_ms %u most_bytes_per_s %.0f\n",
           player.match.world.elapsedMs, static_cast<unsigned long long>(waited), count, watched, worst, rate);
    return startedAt != 0 ? 0 : 1;
}
