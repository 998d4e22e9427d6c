// nloopduel.cpp: two sessions, two worlds, one loop.
#include "net/nloopduel.h"

#include <time.h>  // Required for: clock_gettime()

#include <algorithm>
#include <chrono>
#include <new>  // Required for: std::nothrow
#include <thread>
#include <vector>

#include "game/gmatch.h"
#include "game/greplay.h"
#include "game/gship.h"
#include "net/nmatch.h"
#include "net/nsession.h"

namespace {

// Notes what the own player answered at each tick it was asked, before the
// network match's input delay.
class Asked : public GController {
public:
    explicit Asked(GController* inner) : inner(inner) {}
    ~Asked() override { delete inner; }
    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        const uint8_t flags = inner != nullptr ? inner->flags(world, side, tick) & vkr::FLAG_MASK : 0;
        if (answers.size() < tick + 1) answers.resize(tick + 1, 0xFF);
        answers[tick] = flags;
        return flags;
    }
    GController* inner;
    std::vector<uint8_t> answers;  // by tick; 0xFF: not asked
};

// The smallest shift k for which the ship flew at tick t + k by what the
// player said at t, for every t both cover; -1 when none up to 8 fits.
int32_t lagOf(const std::vector<uint8_t>& answers, const GFlagStream& flown) {
    std::vector<uint8_t> ticks;  // flown[i] is tick i + 1
    for (const GFlagRun& run : flown.runs) ticks.insert(ticks.end(), run.ticks, run.flags);
    for (int32_t k = 0; k <= 8; k++) {
        bool fits = true;
        size_t checked = 0;
        for (size_t t = 1; t < answers.size() && fits; t++) {
            if (answers[t] == 0xFF || t + k > ticks.size()) continue;
            fits = (ticks[t + k - 1] & vkr::FLAG_MASK) == answers[t];
            checked++;
        }
        if (fits && checked > 0) return k;
    }
    return -1;
}

uint64_t cpuUs() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

struct Side {
    NSession session;
    GMatch match;
    NMatch net;
    bool playing = false;
    bool done = false;
    uint64_t bytesAtStart = 0;
    uint64_t packetsAtStart = 0;
    Asked* asked = nullptr;  // owned by the match
    uint32_t worstRollbackCpuUs = 0;
};

}  // namespace

NLoopDuelResult playLoopDuel(uint16_t hostPort, uint16_t joinPort, ControllerChoice left, ControllerChoice right,
                             uint32_t seed, int32_t menuMs, uint32_t limitMs, const NLoopDuelVanish* vanish,
                             int32_t delay) {
    NLoopDuelResult result;
    Side sides[2];  // host, joiner
    const uint32_t begin = NSession::clock();
    if (!sides[0].session.host(hostPort, true) || !sides[1].session.join("127.0.0.1", joinPort)) {
        return result;
    }
    sides[0].session.fixSeed(seed);
    if (delay >= 0) sides[0].session.fixDelay(static_cast<uint8_t>(delay));
    sides[0].session.setOwnChoice(left);
    sides[1].session.setOwnChoice(right);
    uint32_t connectedAt = 0;
    uint32_t matchStartedAt = 0;
    uint32_t vanishedAt = 0;
    bool frozen[2] = {false, false};
    bool readied = false;
    uint32_t last = NSession::clock();
    while (NSession::clock() - begin < limitMs) {
        const uint32_t now = NSession::clock();
        const int32_t elapsed = static_cast<int32_t>(now - last);
        last = now;
        for (int32_t i = 0; i < 2; i++) {
            if (frozen[i]) continue;
            const bool wasOpen = sides[i].session.open();
            sides[i].session.service();
            if (result.vanished && wasOpen && !sides[i].session.open()) {
                result.noticedAfterMs[i] = NSession::clock() - vanishedAt;
                result.notice[i] = sides[i].session.notice();
            }
        }
        if (result.vanished) {
            const bool open[2] = {!frozen[0] && sides[0].session.open(), !frozen[1] && sides[1].session.open()};
            if (!open[0] && !open[1]) break;
        } else if (!sides[0].session.open() || !sides[1].session.open()) {
            break;
        }
        if (!result.connected && sides[0].session.connected() && sides[1].session.connected()) {
            result.connected = true;
            connectedAt = now;
        }
        if (vanish != nullptr && !result.vanished && result.connected) {
            const uint32_t since = vanish->inMenu ? connectedAt : matchStartedAt;
            if ((vanish->inMenu || matchStartedAt != 0) && now - since >= vanish->atMs) {
                result.vanished = true;
                vanishedAt = now;
                if (vanish->cut) {
                    vanish->cut();
                } else {
                    frozen[vanish->side != 0 ? 1 : 0] = true;
                }
            }
        }
        const bool stayInMenu = vanish != nullptr && vanish->inMenu;
        if (result.connected && !readied && !stayInMenu && static_cast<int32_t>(now - connectedAt) >= menuMs) {
            readied = true;
            sides[1].session.setOwnReady(true);
            sides[0].session.setOwnReady(true);
        }
        for (int32_t i = 0; i < 2; i++) {
            Side& side = sides[i];
            if (frozen[i]) continue;
            NStart start;
            NSession::Event event;
            // Only a start can happen here: nobody leaves, and a match out
            // of step or a connection gone ends the duel below.
            while (side.session.takeEvent(event, start)) {
                if (event != NSession::Event::MATCH_STARTED) continue;
                side.match.setUp(start.seed, start.leftChoice, start.rightChoice);
                const GSide own = side.session.ownSide();
                side.asked = new (std::nothrow) Asked(side.match.takeController(own));
                side.match.setController(own, side.asked);
                side.net.setUp(&side.match, &side.session.lock(), nullptr, side.session.ownSide(), start.holdMs);
                side.playing = true;
                side.bytesAtStart = side.session.sentBytes();
                side.packetsAtStart = side.session.sentPackets();
                if (i == 0) {
                    matchStartedAt = now;
                    result.delay = start.delay;
                    result.rttMs = side.session.rttMedian();
                }
            }
            if (side.playing && !side.done && elapsed > 0) {
                const uint32_t rollbacks = side.net.rollbacks;
                const uint64_t before = cpuUs();
                side.net.advance(elapsed);
                if (side.net.rollbacks != rollbacks) {
                    side.worstRollbackCpuUs = std::max(side.worstRollbackCpuUs, static_cast<uint32_t>(cpuUs() - before));
                }
                if (side.net.paused()) side.net.resume();
                if ((side.match.world.over && side.net.settled()) || side.session.lock().outOfStepTick() != 0) {
                    side.done = true;
                    side.session.matchOver();
                    result.sentBytes[i] = side.session.sentBytes() - side.bytesAtStart;
                    result.sentPackets[i] = side.session.sentPackets() - side.packetsAtStart;
                }
            }
        }
        if (sides[0].done && sides[1].done) break;
        // The game spins; a test loop can spare the machine.
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    result.wallMs = NSession::clock() - begin;
    for (int32_t i = 0; i < 2; i++) {
        const GWorld& world = sides[i].match.world;
        result.endMs[i] = world.over ? world.endMs : world.elapsedMs;
        result.hash[i] = world.stateHash();
        result.waitedMs[i] = sides[i].net.waitedMs;
        result.longestWaitMs[i] = sides[i].net.longestWaitMs;
        const NMatch& net = sides[i].net;
        result.rollbacks[i] = net.rollbacks;
        result.rolledTicks[i] = net.rolledTicks;
        result.longestRollback[i] = net.longestRollback;
        result.worstRollbackCpuUs[i] = sides[i].worstRollbackCpuUs;
        result.eventsHeard[i] = net.eventsHeard;
        result.eventsUndone[i] = net.eventsUndone;
        if (sides[i].asked != nullptr) {
            result.ownLagTicks[i] = lagOf(sides[i].asked->answers, sides[i].match.recorded[sides[i].session.ownSide()]);
        }
        if (sides[i].session.lock().outOfStepTick() != 0) result.outOfStepTick = sides[i].session.lock().outOfStepTick();
    }
    result.finished = sides[0].match.world.over && sides[1].match.world.over;
    result.same = result.finished && result.endMs[0] == result.endMs[1] && result.hash[0] == result.hash[1];
    if (sides[0].match.world.leftShip() != nullptr) {
        result.leftHealth = sides[0].match.world.leftShip()->health;
        result.rightHealth = sides[0].match.world.rightShip()->health;
    }
    return result;
}
