// nloopduel.cpp: two sessions, their spectators, their worlds, one loop.
#include "net/nloopduel.h"

#include <time.h>  // Required for: clock_gettime()

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>  // Required for: std::nothrow
#include <thread>
#include <vector>

#include "game/gmatch.h"
#include "game/greplay.h"
#include "game/gship.h"
#include "net/nmatch.h"
#include "net/nsession.h"
#include "net/nwatch.h"
#include "net/nwiring.h"

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

// One game of the loop: a player or a spectator.
struct Game {
    NSession session;
    GMatch match;
    NWiredMatch wired;
    bool playing = false;
    bool done = false;
    bool frozen = false;
    uint64_t bytesAtStart = 0;
    uint64_t packetsAtStart = 0;
    Asked* asked = nullptr;  // owned by the match
    uint32_t worstRollbackCpuUs = 0;
    // A spectator's
    bool joined = false;
    uint32_t startedAt = 0;
    uint32_t caughtAt = 0;
    uint64_t bytesAtCatch = 0;
    uint64_t packetsAtCatch = 0;
    ~Game() { delete wired.driver; }

    // What the session started, made as the game makes it.
    void begin(const NStart& start, bool noteAnswers) {
        delete wired.driver;
        wired = wireNetMatch(match, session, start, nullptr, nullptr, [this, noteAnswers](GController* own) -> GController* {
            if (!noteAnswers) return own;
            asked = new (std::nothrow) Asked(own);
            return asked;
        });
        playing = wired.driver != nullptr;
        bytesAtStart = session.sentBytes();
        packetsAtStart = session.sentPackets();
    }
    // Whether the match is over for this game as its screen would see it.
    bool over() const {
        if (wired.spectator != nullptr) return match.world.over || wired.spectator->leftHere();
        return (match.world.over && wired.player->settled()) || session.lock().outOfStepTick() != 0;
    }
};

}  // namespace

NLoopDuelResult playLoopDuel(uint16_t hostPort, uint16_t joinPort, ControllerChoice left, ControllerChoice right,
                             uint32_t seed, int32_t menuMs, uint32_t limitMs, const NLoopDuelVanish* vanish,
                             int32_t delay, const NLoopDuelOptions* options) {
    NLoopDuelResult result;
    const std::vector<NLoopDuelWatcher> none;
    const std::vector<NLoopDuelWatcher>& watchers = options != nullptr ? options->watchers : none;
    const int32_t frameMs = options != nullptr ? options->frameMs : 0;
    std::unique_ptr<Game> sides[2] = {std::make_unique<Game>(), std::make_unique<Game>()};  // host, joiner
    std::vector<std::unique_ptr<Game>> spectators;
    for (size_t i = 0; i < watchers.size(); i++) spectators.push_back(std::make_unique<Game>());
    result.watched.resize(watchers.size());
    const uint32_t begin = NSession::clock();
    if (!sides[0]->session.host(hostPort, true) || !sides[1]->session.join("127.0.0.1", joinPort)) {
        return result;
    }
    sides[0]->session.fixSeed(seed);
    if (delay >= 0) sides[0]->session.fixDelay(static_cast<uint8_t>(delay));
    sides[0]->session.setOwnChoice(left);
    sides[1]->session.setOwnChoice(right);
    uint32_t connectedAt = 0;
    uint32_t matchStartedAt = 0;
    uint32_t vanishedAt = 0;
    bool readied = false;
    uint32_t last = NSession::clock();
    uint64_t hostCpu = 0;
    while (NSession::clock() - begin < limitMs) {
        const uint32_t now = NSession::clock();
        const int32_t elapsed = static_cast<int32_t>(now - last);
        last = now;
        for (int32_t i = 0; i < 2; i++) {
            Game& side = *sides[i];
            if (side.frozen) continue;
            // A joiner that loses the host closes; a host goes on waiting
            // for the next player: either way its player is gone.
            const bool wasConnected = side.session.connected();
            const uint64_t before = i == 0 ? cpuUs() : 0;
            side.session.service();
            if (i == 0) hostCpu += cpuUs() - before;
            if (result.vanished && wasConnected && !side.session.connected()) {
                result.noticedAfterMs[i] = NSession::clock() - vanishedAt;
                result.notice[i] = side.session.notice();
            }
        }
        for (size_t w = 0; w < spectators.size(); w++) {
            Game& s = *spectators[w];
            const NLoopDuelWatcher& plan = watchers[w];
            const bool due = plan.joinAfterMs < 0 ? result.connected
                                                  : matchStartedAt != 0 && now - matchStartedAt >= static_cast<uint32_t>(plan.joinAfterMs);
            if (!s.joined && due) {
                s.joined = true;
                s.session.watch("127.0.0.1", plan.port);
            }
            if (plan.freezeAfterMs >= 0 && matchStartedAt != 0 && now - matchStartedAt >= static_cast<uint32_t>(plan.freezeAfterMs)) {
                s.frozen = true;
            }
            if (!s.joined || s.frozen) continue;
            const bool wasOpen = s.session.open();
            s.session.service();
            if (wasOpen && !s.session.open()) result.watched[w].notice = s.session.notice();
        }
        if (result.vanished) {
            const bool held[2] = {!sides[0]->frozen && sides[0]->session.connected(),
                                  !sides[1]->frozen && sides[1]->session.connected()};
            if (!held[0] && !held[1]) break;
        } else if (!sides[0]->session.open() || !sides[1]->session.open()) {
            break;
        }
        if (!result.connected && sides[0]->session.connected() && sides[1]->session.connected()) {
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
                    sides[vanish->side != 0 ? 1 : 0]->frozen = true;
                }
            }
        }
        const bool stayInMenu = vanish != nullptr && vanish->inMenu;
        if (result.connected && !readied && !stayInMenu && static_cast<int32_t>(now - connectedAt) >= menuMs) {
            readied = true;
            sides[1]->session.setOwnReady(true);
            sides[0]->session.setOwnReady(true);
        }
        for (int32_t i = 0; i < 2; i++) {
            Game& side = *sides[i];
            if (side.frozen) continue;
            NStart start;
            NSession::Event event;
            // Only a start can happen here: nobody leaves, and a match out
            // of step or a connection gone ends the duel below.
            while (side.session.takeEvent(event, start)) {
                if (event != NSession::Event::MATCH_STARTED) continue;
                side.begin(start, true);
                if (i == 0) {
                    matchStartedAt = now;
                    result.delay = start.delay;
                    result.rttMs = side.session.rttMedian();
                }
            }
            if (side.playing && !side.done && elapsed > 0) {
                const uint32_t rollbacks = side.wired.player->rollbacks;
                const uint64_t before = cpuUs();
                side.wired.player->advance(elapsed);
                const uint64_t spent = cpuUs() - before;
                if (i == 0) hostCpu += spent;
                if (side.wired.player->rollbacks != rollbacks) {
                    side.worstRollbackCpuUs = std::max(side.worstRollbackCpuUs, static_cast<uint32_t>(spent));
                }
                if (side.wired.player->paused()) side.wired.player->resume();
                if (side.over()) {
                    side.done = true;
                    // As the game keeps it: the spectators hear where.
                    side.wired.player->settle();
                    side.session.matchOver();
                    result.sentBytes[i] = side.session.sentBytes() - side.bytesAtStart;
                    result.sentPackets[i] = side.session.sentPackets() - side.packetsAtStart;
                }
            }
        }
        if (matchStartedAt != 0 && !sides[0]->done) {
            result.hostCpuUs = hostCpu;
            result.matchPasses++;
        }
        if (matchStartedAt == 0) hostCpu = 0;
        const GWorld& hostWorld = sides[0]->match.world;
        for (size_t w = 0; w < spectators.size(); w++) {
            Game& s = *spectators[w];
            if (!s.joined || s.frozen) continue;
            NStart start;
            NSession::Event event;
            while (s.session.takeEvent(event, start)) {
                if (event != NSession::Event::MATCH_STARTED || s.playing) continue;
                s.begin(start, false);
                s.startedAt = now;
                result.watched[w].watched = true;
            }
            if (!s.playing || s.done) continue;
            if (elapsed > 0) s.wired.driver->advance(elapsed);
            NLoopDuelWatched& seen = result.watched[w];
            const uint32_t lag = hostWorld.elapsedMs > s.match.world.elapsedMs ? hostWorld.elapsedMs - s.match.world.elapsedMs : 0;
            if (s.caughtAt == 0 && lag <= NLoopDuelResult::CLOSE_MS) {
                s.caughtAt = now;
                seen.caughtUpAfterMs = std::max<uint32_t>(1, now - s.startedAt);
                s.bytesAtCatch = s.session.receivedBytes();
                s.packetsAtCatch = s.session.receivedPackets();
            } else if (s.caughtAt != 0 && !sides[0]->done) {
                seen.worstBehindMs = std::max(seen.worstBehindMs, lag);
            }
            if (s.over()) {
                s.done = true;
                if (s.caughtAt != 0) {
                    seen.bytes = s.session.receivedBytes() - s.bytesAtCatch;
                    seen.packets = s.session.receivedPackets() - s.packetsAtCatch;
                    seen.overMs = now - s.caughtAt;
                }
            }
        }
        const bool spectatorsDone = std::all_of(spectators.begin(), spectators.end(), [](const std::unique_ptr<Game>& s) {
            return s->done || s->frozen || (s->joined && !s->session.open());
        });
        if (sides[0]->done && sides[1]->done && spectatorsDone) break;
        // The game spins or paces its frames; a test loop can spare the
        // machine.
        if (frameMs > 0) {
            const uint32_t spent = NSession::clock() - now;
            if (spent < static_cast<uint32_t>(frameMs)) std::this_thread::sleep_for(std::chrono::milliseconds(frameMs - spent));
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    result.wallMs = NSession::clock() - begin;
    for (int32_t i = 0; i < 2; i++) {
        const Game& side = *sides[i];
        const GWorld& world = side.match.world;
        result.endMs[i] = world.over ? world.endMs : world.elapsedMs;
        result.hash[i] = world.stateHash();
        if (side.wired.player != nullptr) {
            const NMatch& net = *side.wired.player;
            result.waitedMs[i] = net.waitedMs;
            result.longestWaitMs[i] = net.longestWaitMs;
            result.rollbacks[i] = net.rollbacks;
            result.rolledTicks[i] = net.rolledTicks;
            result.longestRollback[i] = net.longestRollback;
            result.eventsHeard[i] = net.eventsHeard - net.eventsTooLate;
            result.eventsUndone[i] = net.freshUndone;
        }
        result.worstRollbackCpuUs[i] = side.worstRollbackCpuUs;
        if (side.asked != nullptr) {
            result.ownLagTicks[i] = lagOf(side.asked->answers, side.match.recorded[side.session.ownSide()]);
        }
        if (side.session.lock().outOfStepTick() != 0) result.outOfStepTick = side.session.lock().outOfStepTick();
    }
    result.finished = sides[0]->match.world.over && sides[1]->match.world.over;
    result.same = result.finished && result.endMs[0] == result.endMs[1] && result.hash[0] == result.hash[1];
    if (sides[0]->match.world.leftShip() != nullptr) {
        result.leftHealth = sides[0]->match.world.leftShip()->health;
        result.rightHealth = sides[0]->match.world.rightShip()->health;
    }
    result.spectatorsDropped = sides[0]->session.spectatorsDropped();
    for (size_t w = 0; w < spectators.size(); w++) {
        const GWorld& world = spectators[w]->match.world;
        NLoopDuelWatched& seen = result.watched[w];
        seen.finished = world.over;
        seen.endMs = world.over ? world.endMs : world.elapsedMs;
        seen.hash = world.stateHash();
        seen.same = seen.finished && seen.endMs == result.endMs[0] && seen.hash == result.hash[0];
    }
    return result;
}
