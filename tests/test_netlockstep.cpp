// Two worlds in step over a simulated link, each playing ahead on guesses
// and correcting them: every packet goes through the real encoder and
// decoder, and the link delays (each way on its own), drops, repeats and
// reorders them as its seed says.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/hmatchowner.h"
#include "game/gmatchstats.h"
#include "game/gplayback.h"
#include "game/grandom.h"
#include "game/gship.h"
#include "game/gmatch.h"
#include "net/nlockstep.h"
#include "net/nmatch.h"
#include "net/ntranscript.h"
#include "net/nwatch.h"

namespace {

struct Conditions {
    int32_t delayMs, jitterMs, lossPercent, duplicatePercent;
    uint32_t seed;
    int32_t backMs = -1;  // joiner to host, when not delayMs
};

struct Side {
    HMatchOwner owner{nullptr};  // steps the match when the duel goes through owners, as the game does
    GMatch& game = owner.played;
    NLockstep lock;
    NMatch& match = *new NMatch;  // the owner's driver, deleted with it
    uint32_t lastSentNewest = 0;
    uint32_t lastSentMs = 0;
    uint32_t heard = 0;  // events handed to the screen
    std::set<std::tuple<int, int, uint32_t>> keys;
    uint32_t heardTwice = 0;  // events handed on again at the same millisecond
};

struct Packet {
    uint32_t dueMs;
    int32_t to;
    std::vector<uint8_t> bytes;
};

// `m` through the real encoder onto a link, delayed, lost, duplicated and
// jittered as `link` and `random` say; `back` takes the way back.
void post(std::vector<Packet>& inFlight, GRandom& random, const Conditions& link, bool back, uint32_t now, int32_t to,
          const NMessage& m) {
    uint8_t bytes[vkn::MAX_MESSAGE];
    const size_t size = encodeMessage(m, bytes);
    const int32_t copies = random.next() % 100 < link.duplicatePercent ? 2 : 1;
    for (int32_t c = 0; c < copies; c++) {
        if (random.next() % 100 < link.lossPercent) continue;
        const int32_t jitter = link.jitterMs > 0 ? random.next() % (2 * link.jitterMs + 1) - link.jitterMs : 0;
        const int32_t after = (back && link.backMs >= 0 ? link.backMs : link.delayMs) + jitter + c * 3;
        inFlight.push_back({now + static_cast<uint32_t>(after < 0 ? 0 : after), to, {bytes, bytes + size}});
    }
}

// The packets of `inFlight` due by `now`, decoded, oldest first.
std::vector<std::pair<int32_t, NMessage>> arrivals(std::vector<Packet>& inFlight, uint32_t now, std::string& refused) {
    std::vector<std::pair<int32_t, NMessage>> due;
    for (size_t i = 0; i < inFlight.size();) {
        if (inFlight[i].dueMs > now) {
            i++;
            continue;
        }
        NMessage m;
        std::string why;
        if (decodeMessage(inFlight[i].bytes.data(), inFlight[i].bytes.size(), m, why)) {
            due.emplace_back(inFlight[i].to, m);
        } else {
            refused = why;
        }
        inFlight.erase(inFlight.begin() + static_cast<long>(i));
    }
    return due;
}

// A spectator of the host from `joinMs` on, on a link of its own: the
// host's feed of it, and its own world played from what arrives.
struct Watcher {
    Conditions link;
    uint32_t joinMs;
    GRandom random;
    NFeed feed;
    NWatched heard;
    HMatchOwner owner{nullptr};
    GMatch& game = owner.played;
    NWatch& watch = *new NWatch;  // the owner's driver, deleted with it
    std::vector<Packet> inFlight;  // to 0: the host; to 1: the spectator
    bool joined = false;
    Watcher(const Conditions& c, uint32_t joinMs) : link(c), joinMs(joinMs), random(c.seed) { owner.setUpDriven(&watch); }
};

struct Duel {
    Side sides[2];  // host (left), joiner (right)
    std::vector<Packet> inFlight;
    GRandom random;
    Conditions link;
    uint32_t now = 0;
    std::string refused;
    uint32_t seed;
    ControllerChoice choices[2];
    NTranscript transcript;  // the host's, as its spectators are fed
    std::vector<std::unique_ptr<Watcher>> watchers;
    bool viaOwners = false;  // every game stepped by its owner, as the game steps it

    Duel(const Conditions& c, uint32_t matchSeed, ControllerChoice left, ControllerChoice right, uint8_t delay,
         bool synctest = false)
        : random(c.seed), link(c), seed(matchSeed), choices{left, right} {
        for (int32_t i = 0; i < 2; i++) {
            sides[i].game.setUp(matchSeed, left, right);
            sides[i].lock.start(delay);
            sides[i].match.setUp(&sides[i].game, &sides[i].lock, nullptr, i == 0 ? SIDE_LEFT : SIDE_RIGHT, 0);
            sides[i].match.synctest = synctest;
            sides[i].owner.setUpDriven(&sides[i].match);
        }
    }

    void send(int32_t from) {
        NMessage m;
        if (sides[from].lock.makeInput(m)) post(inFlight, random, link, from == 1, now, 1 - from, m);
    }

    // One millisecond of a spectator: what is due arrives both ways, the
    // host sends what its feed says, the spectator acknowledges and plays.
    void watch(Watcher& w) {
        if (!w.joined) {
            if (now < w.joinMs) return;
            w.joined = true;
            w.feed.start(1, now);
            w.heard.start(1);
            w.game.setUp(seed, choices[0], choices[1]);
            w.watch.setUp(&w.game, &w.heard);
        }
        for (const auto& [to, m] : arrivals(w.inFlight, now, refused)) {
            std::string why;
            if (!(to == 0 ? w.feed.takeAck(m, why) : w.heard.take(m, now, why))) refused = why;
        }
        NMessage out[NFeed::BURST];
        const int32_t n = w.feed.due(transcript, now, out, NFeed::BURST);
        for (int32_t i = 0; i < n; i++) post(w.inFlight, w.random, w.link, false, now, 1, out[i]);
        NMessage ack;
        if (w.heard.ackDue(now, ack)) post(w.inFlight, w.random, w.link, true, now, 0, ack);
        viaOwners ? w.owner.update(1) : (void)w.watch.advance(1);
    }

    // One millisecond of both games: what is due arrives, each advances,
    // each sends its newest tick, or repeats itself after 50 ms without one.
    void millisecond() {
        now++;
        for (const auto& [to, m] : arrivals(inFlight, now, refused)) {
            std::string why;
            if (!sides[to].lock.takeInput(m, why)) refused = why;
        }
        for (int32_t i = 0; i < 2; i++) {
            Side& s = sides[i];
            viaOwners ? s.owner.update(1) : (void)s.match.advance(1);
            const GEventList& events = s.game.world.events;
            s.heard += static_cast<uint32_t>(events.count);
            for (int32_t e = 0; e < events.count; e++) {
                const GEvent& event = events.items[e];
                s.heardTwice += s.keys.insert({event.kind, event.side, event.ms}).second ? 0 : 1;
            }
            if (s.lock.newestOwn() != s.lastSentNewest || now - s.lastSentMs >= 50) {
                send(i);
                s.lastSentNewest = s.lock.newestOwn();
                s.lastSentMs = now;
            }
        }
        transcript.follow(sides[0].lock, SIDE_LEFT);
        for (auto& w : watchers) watch(*w);
    }

    bool over() const {
        for (const auto& w : watchers) {
            if (!w->game.world.over) return false;
        }
        return sides[0].game.world.over && sides[1].game.world.over && sides[0].match.settled() && sides[1].match.settled();
    }
};

// The replay's file as the game writes it.
std::string fileOf(const GReplay& replay) {
    char* bytes = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&bytes, &size);
    writeReplay(out, replay);
    fclose(out);
    std::string file(bytes, size);
    free(bytes);
    return file;
}

uint32_t eventsOf(const GReplay& replay) {
    GMatch straight;
    straight.setUpReplay(replay);
    uint32_t events = 0;
    while (!straight.ended()) {
        straight.advance(25);
        events += static_cast<uint32_t>(straight.world.events.count);
    }
    return events;
}

}  // namespace

// Every condition, and every pair of players, must give both games the same
// match to the last bit, the one a straight playback of the confirmed flags
// gives; the own ship flies by its player's flags at once; and every event
// of that match is heard once, however late, and only what a correction
// undid was heard besides.
TEST(NetLockstep, BothWorldsPlayTheSameMatchWhateverTheLinkDoes) {
    const struct {
        Conditions link;
        uint8_t delay;
        ControllerChoice left, right;
        bool synctest;
    } cases[] = {
        // Nothing to correct, and the whole window stepped again after
        // every step: no event may be heard twice.
        {{0, 0, 0, 0, 1}, 1, CHOICE_COMPUTER, CHOICE_COMPUTER, true},
        {{50, 20, 2, 0, 2}, 0, CHOICE_PILOT, CHOICE_COMPUTER, false},
        {{150, 50, 5, 5, 3, 50}, 1, CHOICE_ACE, CHOICE_COMPUTER, false},
        // Far beyond the window and half the packets lost: slow, still exact.
        {{260, 40, 50, 10, 4}, 0, CHOICE_PILOT, CHOICE_ACE, false},
        // Back the whole window after every step.
        {{40, 30, 3, 5, 6, 120}, 0, CHOICE_ACE, CHOICE_COMPUTER, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("link seed " + std::to_string(c.link.seed));
        Duel duel(c.link, 9000 + c.link.seed, c.left, c.right, c.delay, c.synctest);
        while (!duel.over() && duel.now < 30u * 60u * 1000u) duel.millisecond();
        ASSERT_TRUE(duel.over());
        EXPECT_EQ(duel.refused, "");
        const GWorld& host = duel.sides[0].game.world;
        const GWorld& joiner = duel.sides[1].game.world;
        EXPECT_EQ(host.endMs, joiner.endMs);
        EXPECT_EQ(host.stateHash(), joiner.stateHash());
        EXPECT_GT(duel.sides[0].lock.checksCompared(), host.endMs / 25 / vkn::CHECK_EVERY / 2);
        const GReplay a = duel.sides[0].game.replay(vkr::END_FINISHED);
        const GReplay b = duel.sides[1].game.replay(vkr::END_FINISHED);
        EXPECT_EQ(a.hash, b.hash);
        EXPECT_TRUE(playBack(b).matches);
        const uint32_t events = eventsOf(b);
        for (const Side& s : duel.sides) {
            EXPECT_EQ(s.lock.outOfStepTick(), 0u);
            EXPECT_EQ(s.match.synctestApart, 0u);
            EXPECT_EQ(s.heard, events + s.match.eventsUndone);
            EXPECT_LE(s.heardTwice, s.match.eventsUndone);
            if (c.link.delayMs > 0) {
                EXPECT_GT(s.match.rollbacks, 10u);
            }
            EXPECT_LE(s.match.longestRollback, vkn::WINDOW);
        }
        // Left and right are the two sides' own players: neither stands still.
        EXPECT_GT(a.left.runs.size(), 10u);
        EXPECT_GT(a.right.runs.size(), 10u);
        if (c.link.lossPercent == 0 && c.link.jitterMs == 0 && c.link.delayMs == 0) {
            EXPECT_EQ(duel.sides[0].match.waitedMs + duel.sides[1].match.waitedMs, 0u);
            for (const Side& s : duel.sides) EXPECT_EQ(s.heard, events) << "an event heard again";
        }
    }
}

// Spectators of the host watch over links of their own: one from the first
// tick, one that joins 20 s into the match, one through loss, repeats and
// unequal delays. Each plays the players' match to the last bit and keeps
// the very file the players keep; the late one steps through what it
// missed unseen, and the others never need to. Each shows the kept match's
// numbers, though corrections undid hits it heard.
TEST(NetLockstep, SpectatorsKeepThePlayersMatchFromTickOneWhenEverTheyJoin) {
    Duel duel({40, 10, 2, 0, 21}, 4242, CHOICE_ACE, CHOICE_PILOT, 0);
    duel.viaOwners = true;
    duel.watchers.emplace_back(new Watcher({5, 2, 0, 0, 31}, 0));
    duel.watchers.emplace_back(new Watcher({20, 5, 0, 0, 32}, 20000));
    duel.watchers.emplace_back(new Watcher({120, 40, 15, 5, 33, 10}, 3000));
    while (!duel.over() && duel.now < 30u * 60u * 1000u) duel.millisecond();
    ASSERT_TRUE(duel.over());
    EXPECT_EQ(duel.refused, "");
    const std::string kept = fileOf(duel.sides[0].game.replay(vkr::END_FINISHED));
    EXPECT_EQ(fileOf(duel.sides[1].game.replay(vkr::END_FINISHED)), kept);
    const GReplay replay = duel.sides[0].game.replay(vkr::END_FINISHED);
    const GMatchStats numbers = countMatch(replay);
    EXPECT_EQ(numbers.ships[SIDE_LEFT].hits * 5 + replay.rightHealth, 100u);
    for (const Side& s : duel.sides) EXPECT_EQ(s.owner.result().stats, numbers);
    EXPECT_GT(duel.sides[0].match.eventsUndone + duel.sides[1].match.eventsUndone, 0u);
    ASSERT_GT(duel.sides[0].game.world.endMs, 30000u) << "the late spectator joined a match under way";
    for (const auto& w : duel.watchers) {
        SCOPED_TRACE("spectator from " + std::to_string(w->joinMs) + " ms");
        EXPECT_EQ(fileOf(w->game.replay(vkr::END_FINISHED)), kept);
        EXPECT_EQ(w->owner.result().stats, numbers);
        EXPECT_EQ(w->game.world.stateHash(), duel.sides[0].game.world.stateHash());
        EXPECT_FALSE(w->feed.fellBehind(duel.transcript, duel.now));
        EXPECT_EQ(w->watch.skippedTicks > 0, w->joinMs == 20000u);
    }
}

// A world that strays is caught at the next hash on both sides, and a pause
// asked for on one side holds both after the same tick.
TEST(NetLockstep, AStrayWorldIsCaughtAndAPauseHoldsBothAtOneTick) {
    Duel duel({30, 10, 0, 0, 5}, 77, CHOICE_COMPUTER, CHOICE_COMPUTER, 3);
    while (duel.now < 2000) duel.millisecond();
    duel.sides[1].match.requestPause();
    while (!duel.sides[0].match.paused() && duel.now < 4000) duel.millisecond();
    for (int32_t i = 0; i < 200; i++) duel.millisecond();
    ASSERT_TRUE(duel.sides[0].match.paused());
    ASSERT_TRUE(duel.sides[1].match.paused());
    EXPECT_EQ(duel.sides[0].game.world.elapsedMs, duel.sides[1].game.world.elapsedMs);
    EXPECT_EQ(duel.sides[0].game.world.stateHash(), duel.sides[1].game.world.stateHash());
    for (Side& s : duel.sides) s.match.resume();

    duel.sides[1].game.world.leftShip()->health -= 1;  // a hit only one side saw
    const uint32_t strayed = duel.sides[1].game.world.elapsedMs / 25;
    while (duel.sides[0].lock.outOfStepTick() == 0 && duel.now < 10000) duel.millisecond();
    for (int32_t i = 0; i < 300; i++) duel.millisecond();
    for (Side& s : duel.sides) {
        EXPECT_GT(s.lock.outOfStepTick(), strayed);
        EXPECT_LE(s.lock.outOfStepTick(), strayed + vkn::CHECK_EVERY);
    }
}

// A side that starts late is caught up with: the one ahead slows down until
// neither leads by more than a tick, and neither waited at the window's end.
TEST(NetLockstep, TheSideAheadSlowsDownUntilTheOtherCatchesUp) {
    Duel duel({60, 5, 0, 0, 7}, 31, CHOICE_COMPUTER, CHOICE_COMPUTER, 0);
    duel.sides[1].match.holdMs = 150;  // six ticks behind from the start
    while (duel.now < 1000) duel.millisecond();
    EXPECT_GT(duel.sides[0].lock.lead256(), 4 * 256);
    while (duel.now < 12000) duel.millisecond();
    EXPECT_LT(duel.sides[0].lock.lead256(), 256 + 128);
    EXPECT_GT(duel.sides[0].match.slowedMs, 100u);
    EXPECT_EQ(duel.sides[1].match.slowedMs, 0u);
}

// What no honest game sends is refused, with a reason; repeats are not. A
// side may run the window past the flags it has of ours, and no further.
TEST(NetLockstep, RefusesInputsNoGameInStepCouldSend) {
    NLockstep lock;
    lock.start(1);
    for (uint32_t tick = 1; tick <= 3; tick++) lock.ownTick(tick, 0);  // own newest: 4
    auto input = [](uint32_t first, std::vector<uint8_t> flags, uint32_t ack) {
        NMessage m;
        m.kind = vkn::Kind::INPUT;
        m.firstTick = first;
        m.count = static_cast<uint8_t>(flags.size());
        for (size_t i = 0; i < flags.size(); i++) m.flags[i] = flags[i];
        m.ack = ack;
        return m;
    };
    std::string why;
    ASSERT_TRUE(lock.takeInput(input(2, {0x11, 0x22}, 1), why)) << why;
    EXPECT_TRUE(lock.takeInput(input(2, {0x11, 0x22}, 1), why)) << "a repeat";
    EXPECT_EQ(lock.remoteContiguous(), 3u);
    EXPECT_EQ(lock.remoteFlags(2), 0x11);
    EXPECT_EQ(lock.remoteOrGuess(3), 0x22);
    EXPECT_EQ(lock.remoteOrGuess(4), 0x02) << "the newest flags, never the pause";
    const struct {
        NMessage message;
        const char* why;
    } refused[] = {
        {input(3, {0x03}, 1), "flags of tick 3 changed"},
        {input(2, {0x00}, 1), "flags of tick 2 changed"},
        {input(5, {0x01}, 5), "acknowledges tick 5, never sent"},
        {input(4, std::vector<uint8_t>(10, 0x01), 1), "flags for tick 13 run ahead of their acknowledgement"},
    };
    for (const auto& r : refused) {
        NLockstep copy = lock;
        EXPECT_FALSE(copy.takeInput(r.message, why));
        EXPECT_EQ(why, r.why);
    }
    EXPECT_TRUE(lock.takeInput(input(4, std::vector<uint8_t>(9, 0x01), 1), why)) << "the window's last tick: " << why;
}
