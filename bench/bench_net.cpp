// bench_net.cpp: the network duel at a distance, measured.
//
// Every match here is the game's real network path (ENet, handshake, menu,
// lockstep, checks) between two sessions in this process (playLoopDuel),
// the joiner talking to the host through a UdpRelay on loopback that adds
// the distance. Matches mostly sleep, so many run at once on threads; each
// has its own host port and relay.
//
//   divergence  seeded computer-against-computer matches, conditions drawn
//               at random (seeded) per match: RTT 0..300 ms, jitter 0..50 ms,
//               loss 0..5 % each way, one way up to 3 times slower than the
//               other. Counts the matches that ended the same on both sides
//               (same end ms, same world hash) and lists the others.
//   stalls      matches at RTT 100 ms, jitter +-20 ms, loss 2 % each way: the
//               share of match time each side waited for the other's flags
//               and the longest single wait.
//   distance    matches at RTT 0, 50, 100, 150, 200 and 250 ms (jitter +-10
//               ms, loss 1 % each way), and at 200 and 250 ms again with an
//               input delay of one tick: the ticks between the own player's
//               answer and the own ship flying by it, the corrections (mean
//               and most ticks), the most CPU an advance with a correction
//               took, the waits, and the share of event sounds heard that a
//               correction undid.
//   bandwidth   per side and match: (ENet's bytes sent + 28 bytes of IP and
//               UDP header per datagram) / seconds of match, over the stall
//               matches (and the divergence ones, for the worst case).
//   leaving     one side vanishes without a word, in the menu or in a match:
//               frozen (no longer serviced: a killed or hung game), or the
//               relay starts dropping everything both ways (a network gone).
//               How long until the other side gives up, and with what notice.
//   crowd       side by side, at the game's 120 frames a second: the same
//               seeded computer matches with no spectator and with
//               vkn::MAX_SPECTATORS of them on loopback. The players' waits,
//               and the host's thread CPU in its session and match per
//               frame; the spectators' bandwidth once caught up (payload
//               and 28 bytes of headers per datagram, over seconds), and
//               how far each trailed the host.
//   latecomer   a spectator that joins 2 minutes into a match (two players
//               who leave their keys alone, so that it lasts): how long
//               until it is within 300 ms of the players, and how far it
//               trails them after.
//   identical   seeded computer matches, each with 4 spectators: one from
//               the start, one that joins 5 s in, one 20 s in, and one
//               through a relay with loss and unequal delays each way. The
//               matches that end with the same end ms and hash on all six.
//
//   bench_net [MATCHES] [PARTS]
// MATCHES: divergence matches (default 200; e.g. 20 for a short run; the
// other parts shrink with it below 200). PARTS: a comma-separated list of
// divergence, stalls, bandwidth, distance, leaving, crowd, latecomer,
// identical (default all). Exit code 1 when a goal is missed.
#include <unistd.h>  // Required for: getpid()

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/nloopduel.h"
#include "net/nprotocol.h"
#include "support/udprelay.h"

namespace {

constexpr int32_t MENU_MS = 2500;            // pings fill the round-trip samples
constexpr uint32_t MATCH_LIMIT_MS = 300000;  // none comes near: the longest play ~2 min
constexpr int32_t THREADS = 25;
constexpr int32_t IP_UDP_HEADER = 28;
constexpr double STALL_SHARE_GOAL = 0.005;
constexpr uint32_t STALL_LONGEST_GOAL_MS = 100;
constexpr int32_t OWN_LAG_GOAL_TICKS = 1;
constexpr uint32_t ROLLBACK_CPU_GOAL_US = 1000;
constexpr double BANDWIDTH_GOAL = 4096;  // bytes per second each way
constexpr uint32_t LEAVING_GOAL_MS = 5000;
constexpr double WATCH_BANDWIDTH_GOAL = 1536;  // bytes per second to each spectator once caught up
constexpr uint32_t CATCH_UP_GOAL_MS = 3000;
constexpr uint32_t BEHIND_GOAL_MS = 300;  // on loopback
constexpr int32_t GAME_FRAME_MS = 8;      // the game's default 120 frames a second

struct Conditions {
    int32_t rttMs = 0;
    int32_t jitterMs = 0;
    double lossUp = 0;    // joiner to host
    double lossDown = 0;  // host to joiner
    double slowerUp = 1;  // the joiner-to-host delay over the other way's; below 1 the other way is slower
    int32_t delay = -1;   // the input delay, when fixed
};

struct Run {
    int32_t index = 0;
    uint32_t seed = 0;
    Conditions conditions;
    NLoopDuelResult result;
    RelayCounters up, down;
};

// Host ports: a block of its own per process, away from the ephemeral
// range the relays and ENet clients draw from.
uint16_t portBase() { return static_cast<uint16_t>(20000 + (getpid() % 50) * 280); }

double loadAverage() {
    double load = -1;
    FILE* f = fopen("/proc/loadavg", "r");
    if (f != nullptr) {
        if (fscanf(f, "%lf", &load) != 1) load = -1;
        fclose(f);
    }
    return load;
}

RelayConditions oneWay(const Conditions& c, bool up) {
    RelayConditions r;
    const double upShare = c.slowerUp / (1 + c.slowerUp);
    r.delayMs = static_cast<int>(c.rttMs * (up ? upShare : 1 - upShare) + 0.5);
    const double loss = up ? c.lossUp : c.lossDown;
    r.jitterMs = c.jitterMs;
    r.loss = loss;
    return r;
}

// One match through its own relay; `vanish` as playLoopDuel takes it, and
// with `cutRelay` the vanishing is the relay's: everything dropped both ways.
Run playThrough(int32_t index, uint16_t hostPort, uint32_t seed, const Conditions& c,
                const NLoopDuelVanish* vanish = nullptr, bool cutRelay = false) {
    Run run;
    run.index = index;
    run.seed = seed;
    run.conditions = c;
    UdpRelay relay(0, hostPort, oneWay(c, true), oneWay(c, false), seed ^ 0x5eedu);
    if (!relay.start()) return run;
    NLoopDuelVanish cutting;
    if (vanish != nullptr) {
        cutting = *vanish;
        if (cutRelay) {
            RelayConditions gone;
            gone.loss = 1.0;
            cutting.cut = [&relay, gone] { relay.setConditions(gone, gone); };
        }
    }
    run.result = playLoopDuel(hostPort, relay.port(), CHOICE_COMPUTER, CHOICE_COMPUTER, seed, MENU_MS,
                              MATCH_LIMIT_MS, vanish != nullptr ? &cutting : nullptr, c.delay);
    relay.stop();
    run.up = relay.counters(UdpRelay::ToServer);
    run.down = relay.counters(UdpRelay::ToClient);
    return run;
}

// Runs jobs 0..count-1 on up to THREADS threads; job(i) fills runs[i].
template <class Job>
std::vector<Run> runAll(int32_t count, Job job) {
    std::vector<Run> runs(static_cast<size_t>(count));
    std::atomic<int32_t> next{0};
    std::atomic<int32_t> done{0};
    std::mutex printing;
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < std::min(THREADS, count); t++) {
        threads.emplace_back([&] {
            for (int32_t i = next++; i < count; i = next++) {
                runs[static_cast<size_t>(i)] = job(i);
                const int32_t n = ++done;
                if (n % 25 == 0 || n == count) {
                    std::lock_guard<std::mutex> hold(printing);
                    fprintf(stderr, "  %d of %d done\n", n, count);
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    return runs;
}

double bandwidth(const NLoopDuelResult& r, int32_t side) {
    const double seconds = r.endMs[side] / 1000.0;
    if (seconds <= 0) return 0;
    return (static_cast<double>(r.sentBytes[side]) + IP_UDP_HEADER * static_cast<double>(r.sentPackets[side])) /
           seconds;
}

struct Bandwidth {
    double worst = 0;
    double sum = 0;
    int32_t n = 0;
    void add(const NLoopDuelResult& r) {
        if (!r.finished) return;
        for (int32_t side = 0; side < 2; side++) {
            const double b = bandwidth(r, side);
            worst = std::max(worst, b);
            sum += b;
            n++;
        }
    }
};

bool divergence(int32_t matches, uint16_t base, Bandwidth& wide) {
    printf("== divergence: %d matches, RTT 0..300 ms, jitter 0..50 ms, loss 0..5 %% each way, one way up to 3 "
           "times slower (load %.1f)\n",
           matches, loadAverage());
    // Drawn up front, so that a match's conditions depend only on its index.
    std::mt19937 draw(18);
    std::vector<Conditions> conditions(static_cast<size_t>(matches));
    std::vector<uint32_t> seeds(static_cast<size_t>(matches));
    for (int32_t i = 0; i < matches; i++) {
        Conditions& c = conditions[static_cast<size_t>(i)];
        c.rttMs = std::uniform_int_distribution<int32_t>(0, 300)(draw);
        c.jitterMs = std::uniform_int_distribution<int32_t>(0, 50)(draw);
        c.lossUp = std::uniform_real_distribution<double>(0, 0.05)(draw);
        c.lossDown = std::uniform_real_distribution<double>(0, 0.05)(draw);
        const double slower = std::uniform_real_distribution<double>(1, 3)(draw);
        c.slowerUp = draw() % 2 == 0 ? slower : 1 / slower;
        seeds[static_cast<size_t>(i)] = static_cast<uint32_t>(draw());
    }
    const std::vector<Run> runs = runAll(matches, [&](int32_t i) {
        return playThrough(i, static_cast<uint16_t>(base + i % 200), seeds[static_cast<size_t>(i)],
                           conditions[static_cast<size_t>(i)]);
    });
    int32_t same = 0;
    uint64_t matchMs = 0, waited = 0, wallMs = 0, rollbacks = 0;
    uint32_t longest = 0;
    int32_t delays[9] = {};
    for (const Run& run : runs) {
        const NLoopDuelResult& r = run.result;
        wide.add(r);
        if (r.same) {
            same++;
            matchMs += r.endMs[0];
            waited += r.waitedMs[0] + r.waitedMs[1];
            wallMs += r.wallMs;
            if (r.delay <= 8) delays[r.delay]++;
            rollbacks += r.rollbacks[0] + r.rollbacks[1];
            longest = std::max({longest, r.longestRollback[0], r.longestRollback[1]});
            continue;
        }
        printf("  match %d (seed %u, RTT %d ms, up %.2f times down, jitter %d ms, loss %.1f %% / %.1f %%): %s%s, "
               "end ms %u / %u, hash %016llx / %016llx, out of step at tick %u, delay %u, wall %u ms\n",
               run.index, run.seed, run.conditions.rttMs, run.conditions.slowerUp, run.conditions.jitterMs,
               run.conditions.lossUp * 100, run.conditions.lossDown * 100, r.connected ? "connected" : "never connected",
               r.finished ? "" : ", not finished", r.endMs[0], r.endMs[1],
               static_cast<unsigned long long>(r.hash[0]), static_cast<unsigned long long>(r.hash[1]),
               r.outOfStepTick, r.delay, r.wallMs);
    }
    printf("  ended the same on both sides: %d of %d\n", same, matches);
    if (same > 0) {
        printf("  mean match %.1f s, mean wall %.1f s; both sides waited %.2f %% of match time in all\n",
               matchMs / 1000.0 / same, wallMs / 1000.0 / same, 100.0 * waited / (2.0 * matchMs));
        printf("  input delays agreed (ticks: matches):");
        for (int32_t d = 0; d <= 8; d++) {
            if (delays[d] > 0) printf(" %d: %d", d, delays[d]);
        }
        printf("\n  corrections: %.1f a match on each side, the longest %u ticks\n", rollbacks / (2.0 * same),
               longest);
    }
    printf("  load at the end %.1f\n", loadAverage());
    return same == matches;
}

bool stalls(int32_t matches, uint16_t base, Bandwidth& common) {
    printf("== stalls: %d matches at RTT 100 ms, jitter +-20 ms, loss 2 %% each way (load %.1f)\n", matches,
           loadAverage());
    Conditions c;
    c.rttMs = 100;
    c.jitterMs = 20;
    c.lossUp = c.lossDown = 0.02;
    const std::vector<Run> runs =
        runAll(matches, [&](int32_t i) { return playThrough(i, static_cast<uint16_t>(base + i), 1000u + i, c); });
    bool met = true;
    double worstShare = 0;
    uint32_t worstWait = 0;
    uint64_t matchMs = 0, waited = 0;
    for (const Run& run : runs) {
        const NLoopDuelResult& r = run.result;
        common.add(r);
        if (!r.same) {
            printf("  match %d (seed %u): not the same on both sides (finished %d)\n", run.index, run.seed,
                   r.finished);
            met = false;
            continue;
        }
        for (int32_t side = 0; side < 2; side++) {
            const double share = static_cast<double>(r.waitedMs[side]) / r.endMs[side];
            worstShare = std::max(worstShare, share);
            worstWait = std::max(worstWait, r.longestWaitMs[side]);
            matchMs += r.endMs[side];
            waited += r.waitedMs[side];
        }
        printf("  match %d: %.1f s, delay %u ticks, RTT seen %d ms; waited %.2f %% / %.2f %% (host / joiner), "
               "longest %u / %u ms; datagrams lost %llu of %llu up, %llu of %llu down\n",
               run.index, r.endMs[0] / 1000.0, r.delay, r.rttMs, 100.0 * r.waitedMs[0] / r.endMs[0],
               100.0 * r.waitedMs[1] / r.endMs[1], r.longestWaitMs[0], r.longestWaitMs[1],
               static_cast<unsigned long long>(run.up.dropped), static_cast<unsigned long long>(run.up.received),
               static_cast<unsigned long long>(run.down.dropped), static_cast<unsigned long long>(run.down.received));
    }
    if (matchMs > 0) {
        printf("  waited %.2f %% of match time over all (goal <= %.1f %%), worst side %.2f %%; longest single wait "
               "%u ms (goal <= %u ms)\n",
               100.0 * waited / matchMs, STALL_SHARE_GOAL * 100, worstShare * 100, worstWait, STALL_LONGEST_GOAL_MS);
    }
    printf("  load at the end %.1f\n", loadAverage());
    return met && matchMs > 0 && worstShare <= STALL_SHARE_GOAL && worstWait <= STALL_LONGEST_GOAL_MS;
}

bool distance(int32_t perRtt, uint16_t base) {
    printf("== distance: %d matches at each RTT, jitter +-10 ms, loss 1 %% each way (load %.1f)\n", perRtt,
           loadAverage());
    struct Case {
        int32_t rttMs;
        int32_t delay;
    };
    std::vector<Case> cases;
    for (int32_t rtt : {0, 50, 100, 150, 200, 250}) cases.push_back({rtt, -1});
    for (int32_t rtt : {200, 250}) cases.push_back({rtt, 1});
    const int32_t count = static_cast<int32_t>(cases.size()) * perRtt;
    const std::vector<Run> runs = runAll(count, [&](int32_t i) {
        const Case& k = cases[static_cast<size_t>(i / perRtt)];
        Conditions c;
        c.rttMs = k.rttMs;
        c.jitterMs = k.rttMs > 0 ? 10 : 0;
        c.lossUp = c.lossDown = k.rttMs > 0 ? 0.01 : 0;
        c.delay = k.delay;
        return playThrough(i, static_cast<uint16_t>(base + i), 3000u + i, c);
    });
    bool met = true;
    printf("  | RTT | delay | own lag (ticks) | corrections a second | mean / most ticks | worst CPU (us) | "
           "waited | sounds undone |\n");
    for (size_t k = 0; k < cases.size(); k++) {
        int32_t lag = 0;
        uint64_t rollbacks = 0, rolled = 0, heard = 0, undone = 0, matchMs = 0, waited = 0;
        uint32_t longest = 0, cpu = 0;
        int32_t delay = -1;
        bool same = true;
        for (int32_t m = 0; m < perRtt; m++) {
            const NLoopDuelResult& r = runs[k * static_cast<size_t>(perRtt) + static_cast<size_t>(m)].result;
            same = same && r.same;
            delay = r.delay;
            for (int32_t side = 0; side < 2; side++) {
                lag = r.ownLagTicks[side] < 0 ? 99 : std::max(lag, r.ownLagTicks[side]);
                rollbacks += r.rollbacks[side];
                rolled += r.rolledTicks[side];
                longest = std::max(longest, r.longestRollback[side]);
                cpu = std::max(cpu, r.worstRollbackCpuUs[side]);
                heard += r.eventsHeard[side];
                undone += r.eventsUndone[side];
                matchMs += r.endMs[side];
                waited += r.waitedMs[side];
            }
        }
        printf("  | %d | %d | %d | %.2f | %.1f / %u | %u | %.2f %% | %.2f %% (%llu of %llu) |%s\n", cases[k].rttMs,
               delay, lag, matchMs > 0 ? rollbacks * 1000.0 / matchMs : 0.0,
               rollbacks > 0 ? static_cast<double>(rolled) / rollbacks : 0.0, longest, cpu,
               matchMs > 0 ? 100.0 * waited / matchMs : 0.0, heard > 0 ? 100.0 * undone / heard : 0.0,
               static_cast<unsigned long long>(undone), static_cast<unsigned long long>(heard),
               same ? "" : " NOT THE SAME");
        met = met && same && lag <= OWN_LAG_GOAL_TICKS && (cases[k].rttMs < 250 || cpu <= ROLLBACK_CPU_GOAL_US);
    }
    printf("  goals: own lag <= %d tick, worst CPU of an advance with a correction <= %u us at RTT 250 ms\n",
           OWN_LAG_GOAL_TICKS, ROLLBACK_CPU_GOAL_US);
    printf("  load at the end %.1f\n", loadAverage());
    return met;
}

bool leaving(bool full, uint16_t base) {
    printf("== leaving: one side vanishes without a word, through a relay at RTT 100 ms, jitter +-20 ms, "
           "loss 2 %% each way (load %.1f)\n",
           loadAverage());
    struct Case {
        int32_t side;  // who vanishes
        bool inMenu;
        uint32_t atMs;
        bool cut;  // the relay drops everything, rather than the side freezing
    };
    std::vector<Case> cases;
    std::vector<uint32_t> points = {1000};
    std::vector<uint32_t> matchPoints = {300, 10000};
    if (full) matchPoints.push_back(30000);
    for (int32_t side = 0; side < 2; side++) {
        for (bool cut : {false, true}) {
            if (cut && side == 1) continue;  // the relay cuts both ways: one case will do
            for (uint32_t at : points) cases.push_back({side, true, at, cut});
            for (uint32_t at : matchPoints) cases.push_back({side, false, at, cut});
        }
    }
    Conditions c;
    c.rttMs = 100;
    c.jitterMs = 20;
    c.lossUp = c.lossDown = 0.02;
    const std::vector<Run> runs = runAll(static_cast<int32_t>(cases.size()), [&](int32_t i) {
        const Case& k = cases[static_cast<size_t>(i)];
        NLoopDuelVanish vanish;
        vanish.side = k.side;
        vanish.inMenu = k.inMenu;
        vanish.atMs = k.atMs;
        return playThrough(i, static_cast<uint16_t>(base + i), 2000u + i, c, &vanish, k.cut);
    });
    bool met = true;
    uint32_t worst = 0;
    for (size_t i = 0; i < runs.size(); i++) {
        const Case& k = cases[i];
        const NLoopDuelResult& r = runs[i].result;
        printf("  %s %s %u ms into the %s: ", k.cut ? "the network goes" : k.side == 0 ? "the host" : "the joiner",
               k.cut ? "away" : "freezes", k.atMs, k.inMenu ? "menu" : "match");
        if (!r.vanished) {
            printf("did not happen (the match was over first, or no connection)\n");
            met = false;
            continue;
        }
        for (int32_t side = 0; side < 2; side++) {
            if (!k.cut && side == k.side) continue;
            const uint32_t after = r.noticedAfterMs[side];
            printf("%s gave up after %u ms (\"%s\")  ", side == 0 ? "host" : "joiner", after,
                   r.notice[side].c_str());
            if (after == 0 || after > LEAVING_GOAL_MS) met = false;
            worst = std::max(worst, after);
        }
        printf("\n");
    }
    printf("  longest until noticed: %u ms (goal <= %u ms)\n", worst, LEAVING_GOAL_MS);
    printf("  load at the end %.1f\n", loadAverage());
    return met;
}

// The per-spectator bandwidth once caught up, headers included.
double watchBandwidth(const NLoopDuelWatched& w) {
    if (w.overMs == 0) return 0;
    return (static_cast<double>(w.bytes) + IP_UDP_HEADER * static_cast<double>(w.packets)) * 1000.0 / w.overMs;
}

bool crowd(int32_t pairs, uint16_t base) {
    printf("== crowd: %d seeded computer matches with no spectator and with %d, side by side at %d ms a frame "
           "(load %.1f)\n",
           pairs, vkn::MAX_SPECTATORS, GAME_FRAME_MS, loadAverage());
    const std::vector<Run> runs = runAll(2 * pairs, [&](int32_t i) {
        Run run;
        run.index = i;
        run.seed = 5000u + static_cast<uint32_t>(i / 2);
        const uint16_t port = static_cast<uint16_t>(base + i);
        NLoopDuelOptions options;
        options.frameMs = GAME_FRAME_MS;
        if (i % 2 == 1) options.watchers.assign(vkn::MAX_SPECTATORS, NLoopDuelWatcher{port, -1, -1});
        run.result = playLoopDuel(port, port, CHOICE_COMPUTER, CHOICE_COMPUTER, run.seed, MENU_MS, MATCH_LIMIT_MS,
                                  nullptr, -1, &options);
        return run;
    });
    bool met = true;
    double cpu[2] = {}, waited[2] = {}, matchMs[2] = {};
    double worstBandwidth = 0, bandwidthSum = 0;
    int32_t bandwidths = 0, watchedSame = 0, watchedAll = 0;
    uint32_t worstBehind = 0;
    printf("  | seed | spectators | end ms | same | waited host / joiner | host CPU a frame |\n");
    for (const Run& run : runs) {
        const NLoopDuelResult& r = run.result;
        const int32_t crowded = run.index % 2;
        const double perFrame = r.matchPasses > 0 ? static_cast<double>(r.hostCpuUs) / r.matchPasses : 0;
        printf("  | %u | %zu | %u | %s | %llu / %llu ms | %.1f us |\n", run.seed, r.watched.size(), r.endMs[0],
               r.same ? "yes" : "NO", static_cast<unsigned long long>(r.waitedMs[0]),
               static_cast<unsigned long long>(r.waitedMs[1]), perFrame);
        met = met && r.same;
        cpu[crowded] += static_cast<double>(r.hostCpuUs);
        waited[crowded] += static_cast<double>(r.waitedMs[0] + r.waitedMs[1]);
        matchMs[crowded] += r.matchPasses;
        for (const NLoopDuelWatched& w : r.watched) {
            watchedAll++;
            watchedSame += w.same ? 1 : 0;
            const double b = watchBandwidth(w);
            worstBandwidth = std::max(worstBandwidth, b);
            bandwidthSum += b;
            bandwidths += b > 0 ? 1 : 0;
            worstBehind = std::max(worstBehind, w.worstBehindMs);
        }
    }
    const double alone = matchMs[0] > 0 ? cpu[0] / matchMs[0] : 0;
    const double watched = matchMs[1] > 0 ? cpu[1] / matchMs[1] : 0;
    printf("  host CPU a frame: %.1f us alone, %.1f us with %d spectators (%+.0f %%); players waited %.0f ms / %.0f ms "
           "in all\n",
           alone, watched, vkn::MAX_SPECTATORS, alone > 0 ? 100.0 * (watched - alone) / alone : 0.0, waited[0],
           waited[1]);
    printf("  spectators ending with the players' hash: %d of %d; trailed the host by at most %u ms once caught up "
           "(goal <= %u ms)\n",
           watchedSame, watchedAll, worstBehind, BEHIND_GOAL_MS);
    printf("  to each spectator once caught up: mean %.0f B/s, worst %.0f B/s (goal <= %.0f B/s)\n",
           bandwidths > 0 ? bandwidthSum / bandwidths : 0.0, worstBandwidth, WATCH_BANDWIDTH_GOAL);
    printf("  load at the end %.1f\n", loadAverage());
    return met && watchedSame == watchedAll && waited[1] <= waited[0] && worstBandwidth <= WATCH_BANDWIDTH_GOAL &&
           worstBehind <= BEHIND_GOAL_MS;
}

bool latecomer(int32_t runsWanted, uint16_t base) {
    printf("== latecomer: a spectator joins 2 minutes into a match (load %.1f)\n", loadAverage());
    const uint32_t joinMs = 120000;
    const std::vector<Run> runs = runAll(runsWanted, [&](int32_t i) {
        Run run;
        run.index = i;
        run.seed = 6000u + static_cast<uint32_t>(i);
        const uint16_t port = static_cast<uint16_t>(base + i);
        NLoopDuelOptions options;
        options.watchers.push_back(NLoopDuelWatcher{port, static_cast<int32_t>(joinMs), -1});
        // Nobody touches a key: the match lasts until the loop stops it,
        // 8 s after the spectator joined.
        run.result = playLoopDuel(port, port, CHOICE_WASD, CHOICE_ARROW_KEYS, run.seed, MENU_MS,
                                  MENU_MS + joinMs + 8000, nullptr, -1, &options);
        return run;
    });
    bool met = true;
    for (const Run& run : runs) {
        const NLoopDuelWatched& w = run.result.watched[0];
        printf("  match %d: joined at %.1f s of match, within %u ms of the players after %u ms, then at most %u ms "
               "behind\n",
               run.index, joinMs / 1000.0, NLoopDuelResult::CLOSE_MS, w.caughtUpAfterMs, w.worstBehindMs);
        met = met && w.watched && w.caughtUpAfterMs > 0 && w.caughtUpAfterMs <= CATCH_UP_GOAL_MS &&
              w.worstBehindMs <= BEHIND_GOAL_MS;
    }
    printf("  goals: caught up within %u ms, then at most %u ms behind\n", CATCH_UP_GOAL_MS, BEHIND_GOAL_MS);
    return met;
}

bool identical(int32_t matches, uint16_t base) {
    printf("== identical: %d seeded computer matches, 4 spectators each, one through loss and unequal delays "
           "(load %.1f)\n",
           matches, loadAverage());
    const std::vector<Run> runs = runAll(matches, [&](int32_t i) {
        Run run;
        run.index = i;
        run.seed = 7000u + static_cast<uint32_t>(i);
        const uint16_t port = static_cast<uint16_t>(base + i % 200);
        // The lossy one: 3 % lost each way, 120 ms out and 30 ms back, jitter 20 ms.
        RelayConditions out, back;
        out.delayMs = 120;
        back.delayMs = 30;
        out.jitterMs = back.jitterMs = 20;
        out.loss = back.loss = 0.03;
        UdpRelay relay(0, port, back, out, run.seed ^ 0xa11u);
        if (!relay.start()) return run;
        NLoopDuelOptions options;
        options.watchers = {{port, -1, -1}, {port, 5000, -1}, {port, 20000, -1}, {relay.port(), -1, -1}};
        run.result = playLoopDuel(port, port, CHOICE_COMPUTER, CHOICE_COMPUTER, run.seed, MENU_MS, MATCH_LIMIT_MS,
                                  nullptr, -1, &options);
        relay.stop();
        return run;
    });
    int32_t same = 0;
    for (const Run& run : runs) {
        const NLoopDuelResult& r = run.result;
        const bool all = r.same && r.watched.size() == 4 &&
                         std::all_of(r.watched.begin(), r.watched.end(), [](const NLoopDuelWatched& w) { return w.same; });
        same += all ? 1 : 0;
        if (all) continue;
        printf("  match %d (seed %u): players %s, end ms %u;", run.index, run.seed, r.same ? "the same" : "NOT the same",
               r.endMs[0]);
        for (const NLoopDuelWatched& w : r.watched) {
            printf(" [%s, end ms %u, %s]", w.same ? "same" : "DIFFERENT", w.endMs, w.notice.c_str());
        }
        printf("\n");
    }
    printf("  the same on all six: %d of %d\n", same, matches);
    printf("  load at the end %.1f\n", loadAverage());
    return same == matches;
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t matches = argc > 1 ? atoi(argv[1]) : 200;
    const std::string parts =
        argc > 2 ? argv[2] : "divergence,stalls,bandwidth,distance,leaving,crowd,latecomer,identical";
    if (matches < 1 || argc > 3) {
        fprintf(stderr, "usage: bench_net [MATCHES] [divergence,stalls,bandwidth,distance,leaving,crowd,latecomer,"
                        "identical]\n");
        return 64;
    }
    const auto wanted = [&](const char* part) { return parts.find(part) != std::string::npos; };
    const bool full = matches >= 200;
    const uint16_t base = portBase();
    printf("bench_net: host ports from %u; load average %.1f on %u cores\n", base, loadAverage(),
           std::thread::hardware_concurrency());
    bool met = true;
    Bandwidth wide, common;
    // Each part has a port block of its own: a port just closed may linger.
    if (wanted("divergence")) met = divergence(matches, base, wide) && met;
    if (wanted("stalls") || wanted("bandwidth")) {
        const bool stallsMet = stalls(full ? 10 : 2, static_cast<uint16_t>(base + 200), common);
        if (wanted("stalls")) met = stallsMet && met;
    }
    if (wanted("bandwidth")) {
        printf("== bandwidth each way, UDP and IP headers included (goal <= %.0f B/s)\n", BANDWIDTH_GOAL);
        printf("  at RTT 100 ms, 2 %% loss: mean %.0f B/s, worst %.0f B/s over %d sides\n",
               common.n > 0 ? common.sum / common.n : 0.0, common.worst, common.n);
        if (wide.n > 0) {
            printf("  over the divergence matches' conditions: mean %.0f B/s, worst %.0f B/s over %d sides\n",
                   wide.sum / wide.n, wide.worst, wide.n);
        }
        met = common.n > 0 && common.worst <= BANDWIDTH_GOAL && wide.worst <= BANDWIDTH_GOAL && met;
    }
    if (wanted("distance")) met = distance(full ? 3 : 1, static_cast<uint16_t>(base + 210)) && met;
    if (wanted("leaving")) met = leaving(full, static_cast<uint16_t>(base + 240)) && met;
    if (wanted("crowd")) met = crowd(full ? 4 : 1, static_cast<uint16_t>(base + 260)) && met;
    if (wanted("latecomer")) met = latecomer(full ? 3 : 1, static_cast<uint16_t>(base + 270)) && met;
    if (wanted("identical")) met = identical(full ? 100 : std::max(1, matches / 2), base) && met;
    printf("%s\n", met ? "all goals met" : "a goal was missed");
    return met ? 0 : 1;
}
