// hmatchowner.cpp: a match's set-ups, its driving, its events, its keys and
// its end.
#include "app/hmatchowner.h"

#include <algorithm>
#include <cstdio>
#include <new>  // Required for: std::nothrow

#include <SDL/SDL_keysym.h>

#include "config/hcontrols.h"
#include "game/gcontrollerkinds.h"  // Required for: the demo's kinds by name
#include "game/gmatchdriver.h"
#include "game/gseeker.h"
#include "game/gmatchstats.h"
#include "game/gship.h"
#include "net/nmatch.h"
#include "net/nonline.h"  // Required for: the path of a match met through a lobby
#include "net/nsession.h"
#include "net/nwatch.h"
#include "net/nwiring.h"
#include "screens/hscreenhost.h"
#include "sound/hsound.h"

HMatchOwner::HMatchOwner(HScreenHost* host) : host(host) {}

HMatchOwner::~HMatchOwner() { delete driver; }

void HMatchOwner::setDriver(GMatchDriver* newDriver) {
    delete driver;
    driver = newDriver;
}

bool HMatchOwner::setUpLocal(ControllerChoice left, ControllerChoice right, uint32_t seed) {
    const bool ships = played.setUp(seed, left, right, host != nullptr ? &host->inputSnapshot() : nullptr, playerKeys);
    setDriver(new (std::nothrow) GLocalDriver(&played));
    return ships;
}

bool HMatchOwner::setUpReplay(const GReplay& replay) {
    const bool ships = played.setUpReplay(replay);
    setDriver(new (std::nothrow) GReplayDriver(&played));
    if (ships) setUpSeeking(replay.endMs);
    return ships;
}

bool HMatchOwner::setUpNet(const NStart& start, NSession* on) {
    session = on;
    const NWiredMatch wired =
        wireNetMatch(played, *session, start, host != nullptr ? &host->inputSnapshot() : nullptr, playerKeys);
    net = wired.player;
    watching = wired.spectator;
    setDriver(wired.driver);
    if (net != nullptr) {
        printf("Network match: input delay %d ticks, rollback window %d ticks, round trip %d ms.\n",
               static_cast<int>(start.delay), static_cast<int>(vkn::WINDOW), static_cast<int>(session->rttMedian()));
    } else if (watching != nullptr) {
        printf("Watching a network match.\n");
    }
    fflush(stdout);
    return wired.ships && wired.driver != nullptr;
}

bool HMatchOwner::setUpDemo(ControllerChoice left, ControllerChoice right, uint32_t seed) {
    demo = true;
    const GControllerKind *leftKind = controllerKind(left), *rightKind = controllerKind(right);
    printf("Demo match: %s against %s, seed %u.\n", leftKind != nullptr ? leftKind->name : "nobody",
           rightKind != nullptr ? rightKind->name : "nobody", static_cast<unsigned>(seed));
    fflush(stdout);
    // A button held as the menu gave way is not one pressed to end it.
    padPressed();
    return setUpLocal(left, right, seed);
}

bool HMatchOwner::padPressed() {
    if (host == nullptr) return false;
    bool pressed = false;
    for (int32_t i = 0; i < GPads::MAX_PADS; i++) {
        GPads::State state;
        const uint32_t now = host->inputSnapshot().pad(i, state) ? state.buttons : 0;
        pressed = pressed || (now & ~padButtons[i]) != 0;
        padButtons[i] = now;
    }
    return pressed;
}

bool HMatchOwner::setUpDriven(GMatchDriver* driven) {
    setDriver(driven);
    return driven != nullptr && played.world.leftShip() != nullptr;
}

GShownMatch::Kind HMatchOwner::kind() const {
    if (demo) return Kind::DEMO;
    if (watching != nullptr) return Kind::WATCHED;
    if (net != nullptr) return Kind::NETWORK;
    return played.watched() != nullptr ? Kind::REPLAY : Kind::LOCAL;
}

bool HMatchOwner::paused() const { return driver != nullptr && driver->paused(); }

uint32_t HMatchOwner::waitingMs() const { return net != nullptr ? net->waitingMs : 0; }

Vec3 HMatchOwner::takeJump(GSide side) { return net != nullptr ? net->takeJump(side) : Vec3(); }

void HMatchOwner::listen(GEventListener* listener) {
    if (listener != nullptr && std::find(listeners.begin(), listeners.end(), listener) == listeners.end()) {
        listeners.push_back(listener);
    }
}

void HMatchOwner::unlisten(GEventListener* listener) {
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

std::string HMatchOwner::panelLine() const {
    if (session == nullptr || (net == nullptr && watching == nullptr)) return "";
    char line[200];
    if (net != nullptr) {
        const double seconds = std::max(1u, played.world.elapsedMs) / 1000.0;
        snprintf(line, sizeof line, "Round trip %d ms   rollbacks %.1f a second, longest %u ticks   waits %u   %d watching",
                 static_cast<int>(session->liveRttMs()), net->rollbacks / seconds, static_cast<unsigned>(net->longestRollback),
                 static_cast<unsigned>(net->waits), static_cast<int>(session->watchers()));
    } else {
        snprintf(line, sizeof line, "Round trip %d ms   about %u ms behind the players   waits %u   %d watching",
                 static_cast<int>(session->liveRttMs()), static_cast<unsigned>(watching->behindMs(NSession::clock())),
                 static_cast<unsigned>(watching->waits), static_cast<int>(session->watchers()));
    }
    const NOnline* online = host != nullptr ? host->online() : nullptr;
    const std::string path = online != nullptr ? online->pathText() : "";
    return path.empty() ? std::string(line) : line + ("\nPath: " + path);
}

void HMatchOwner::tellPause() {
    if (paused() == soundPaused) return;
    soundPaused = paused();
    if (theSound) theSound->matchPaused(soundPaused);
}

void HMatchOwner::keep(uint8_t end) {
    // A replay is the match it shows; a test's match has nobody to hand to;
    // a demo is nobody's match, and would put the players' last one out.
    if (demo || played.watched() != nullptr || host == nullptr || played.world.leftShip() == nullptr) return;
    // A network match may have played ahead on a guess: what is kept is
    // what both sides played (and its spectators are told where).
    if (driver != nullptr) driver->settle();
    host->keepLastMatch(played.replay(end));
}

void HMatchOwner::backToMenu() {
    if (host != nullptr) host->showMenu();
}

void HMatchOwner::handOverResult() {
    resultDueMs = -1;
    if (demo) {
        backToMenu();  // nobody played to be told who won
    } else if (host != nullptr) {
        host->showResult(finalResult);
    }
}

void HMatchOwner::keyDown(uint8_t key) {
    if (driver == nullptr) return;
    if (demo) {
        // Whatever the key: it was pressed to leave, the wreck no exception.
        ended = true;
        resultDueMs = -1;
        backToMenu();
        return;
    }
    if (wrecking()) {
        if (resultDueMs <= WRECK_WAIT_MS - KEY_GUARD_MS) handOverResult();
        return;
    }
    switch (key) {
    case 27:  // SDLK_ESCAPE
        if (!ended) keep(vkr::END_LEFT);
        ended = true;
        driver->leave();
        backToMenu();
        return;
    case 'p':
        if (!ended) driver->pauseKey();
        tellPause();
        return;
    default:
        return;
    }
}

void HMatchOwner::update(int32_t ms) {
    if (driver == nullptr) return;
    if (demo && padPressed()) {
        keyDown(0);
        return;
    }
    if (wrecking()) {
        // The match is over and kept: only the wreck's time runs on.
        resultDueMs -= ms;
        if (resultDueMs <= 0) handOverResult();
        return;
    }
    if (seeker) {
        seeker->advance(replayMs(ms));
    } else {
        driver->advance(ms);
    }
    const GEventList& events = played.world.events;
    if (events.dropped > 0) {
        eventsLost += static_cast<uint64_t>(events.dropped);
        fprintf(stderr, "%d events of one update were not heard.\n", static_cast<int>(events.dropped));
    }
    // Heard and seen, never answered: nothing of the sound or the pictures
    // reaches back into the world.
    if (theSound && SPEED_QUARTERS[speed] <= LOUDEST_QUARTERS) theSound->hear(events, played.world);
    for (GEventListener* listener : listeners) listener->hear(events, played.world);
    tellPause();
    if (heldAtEnd) return;
    if (played.ended() && driver->settled()) {
        checkEnd();
        return;
    }
    const GReplay* recorded = played.watched();
    if (recorded != nullptr && !ended && played.world.elapsedMs >= recorded->endMs) {
        // Left at this millisecond, or a replay that no longer ends where
        // its match did (the game has changed since): back to the menu.
        if (recorded->end != vkr::END_LEFT) {
            fprintf(stderr, "The replay did not end at %u ms as recorded.\n", static_cast<unsigned>(recorded->endMs));
        }
        ended = true;
        backToMenu();
    } else if (watching != nullptr && !ended && watching->leftHere()) {
        // Where the players' game kept the match as left.
        keep(vkr::END_LEFT);
        ended = true;
        backToMenu();
    }
}

void HMatchOwner::checkEnd() {
    GWorld& world = played.world;
    world.faceShips();
    const bool finished = world.testEnd();
    if (ended || (!finished && !played.timeUp())) return;
    ended = true;
    // A match whose time ran out is kept as left there, and shown as a draw
    // that was not played out.
    const uint8_t end = finished ? vkr::END_FINISHED : vkr::END_LEFT;
    keep(end);
    if (driver != nullptr) driver->finish();
    finalResult = MatchResult{finished, world.rightShip()->health, world.leftShip()->health};
    // From the settled match as kept, never from the events heard: a
    // correction hands a hit on twice (gmatchstats.h).
    finalResult.stats = countMatch(played.replay(end));
    finalResult.lengthMs = world.elapsedMs;
    finalResult.leftChoice = played.leftChoice;
    finalResult.rightChoice = played.rightChoice;
    if (net != nullptr) finalResult.otherMachineSide = net->ownSide == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT;
    // A ship broke up: the result waits for its wreck. A match whose time
    // ran out has none to show.
    if (finished) {
        resultDueMs = WRECK_WAIT_MS;
    } else {
        handOverResult();
    }
}

void HMatchOwner::resumed() {
    if (net != nullptr) net->resume();
    tellPause();
}

bool HMatchOwner::endLeft() {
    // The match did finish: its result is owed, whatever the other side
    // does while the wreck plays.
    if (wrecking()) {
        resultDueMs = -1;
        return true;
    }
    if (!ended) keep(vkr::END_LEFT);
    ended = true;
    return false;
}

// --- a replay, sought ---------------------------------------------------------------

namespace {

// The hits of the pass at set-up, for the bar.
struct HitMarks : GEventListener {
    explicit HitMarks(std::vector<GReplayHit>& hits) : hits(hits) {}
    void hear(const GEventList& events, const GWorld& world) override {
        (void)world;
        for (const GEvent& e : events.items) {
            if (e.kind != GEvent::SHIP_HIT || e.side == SIDE_NONE) continue;
            hits.push_back(GReplayHit{e.ms, e.side == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT});
        }
    }
    std::vector<GReplayHit>& hits;
};

// The end's own events out of a seek's, for the wreck.
struct EndHeard : GEventListener {
    void hear(const GEventList& events, const GWorld& world) override {
        (void)world;
        for (const GEvent& e : events.items) {
            if (e.kind == GEvent::MATCH_WON || e.kind == GEvent::MATCH_DRAWN) end.push(e);
        }
    }
    GEventList end;
};

}  // namespace

void HMatchOwner::setUpSeeking(uint32_t lastMs) {
    seeker.reset(new (std::nothrow) GSeeker(&played, std::min(lastMs, GMatch::LONGEST_MS)));
    if (!seeker) return;
    HitMarks marks(hits);
    if (!seeker->seek(seeker->lastMs(), &marks) || !seeker->seek(0)) {
        fprintf(stderr, "The replay cannot be sought: no memory.\n");
        seeker.reset();
    }
}

bool HMatchOwner::atLastFrame() const { return played.ended() || played.world.elapsedMs >= seeker->lastMs(); }

int32_t HMatchOwner::replayMs(int32_t ms) {
    if (paused() || heldAtEnd || ms <= 0) return 0;
    const int64_t quarters = static_cast<int64_t>(ms) * SPEED_QUARTERS[speed] + speedCarry;
    speedCarry = static_cast<int32_t>(quarters % 4);
    return static_cast<int32_t>(quarters / 4);
}

void HMatchOwner::seekTo(int64_t targetMs) {
    // A wreck under way gives way: its result is no longer due.
    resultDueMs = -1;
    ended = false;
    // Past the end is the end, which may have come before the last
    // millisecond (a replay the game of today plays out differently).
    const int64_t last = played.ended() ? played.world.elapsedMs : seeker->lastMs();
    const uint32_t target = static_cast<uint32_t>(std::max<int64_t>(0, std::min(targetMs, last)));
    if (target != played.world.elapsedMs) {
        EndHeard heard;
        if (!seeker->seek(target, &heard)) fprintf(stderr, "The replay could not be sought to %u ms.\n", target);
        speedCarry = 0;
        if (theSound) theSound->jumped();
        for (GEventListener* listener : listeners) {
            listener->jumped();
            if (heard.end.count > 0) listener->hear(heard.end, played.world);
        }
    }
    heldAtEnd = atLastFrame();
}

void HMatchOwner::stepTick() {
    const uint32_t at = played.world.elapsedMs;
    const uint32_t next = (at / GShip::PERIOD_MS + 1) * GShip::PERIOD_MS;
    seeker->advance(static_cast<int32_t>(next - at));
    // Paused: the sound would not play them; the pictures show them held.
    for (GEventListener* listener : listeners) listener->hear(played.world.events, played.world);
    heldAtEnd = atLastFrame();
}

bool HMatchOwner::seekKey(uint32_t sym) {
    if (!seeker || kind() != Kind::REPLAY || (ended && !wrecking())) return false;
    const int64_t now = played.world.elapsedMs;
    switch (sym) {
    case SDLK_LEFT:
        seekTo(now - SEEK_STEP_MS);
        return true;
    case SDLK_RIGHT:
        seekTo(now + SEEK_STEP_MS);
        return true;
    case SDLK_HOME:
        seekTo(0);
        return true;
    case SDLK_END:
        seekTo(seeker->lastMs());
        return true;
    default:
        break;
    }
    // The rest are any key while a wreck plays (keyDown).
    if (wrecking()) return false;
    switch (sym) {
    case SDLK_UP:
        speed = std::min(speed + 1, SPEEDS - 1);
        return true;
    case SDLK_DOWN:
        speed = std::max(speed - 1, 0);
        return true;
    case SDLK_SPACE:
        driver->pauseKey();
        tellPause();
        return true;
    case SDLK_PERIOD:
        if (paused() && !heldAtEnd) stepTick();
        return true;
    default:
        return false;
    }
}

bool HMatchOwner::replayBar(GReplayBar& bar) const {
    if (!seeker || kind() != Kind::REPLAY) return false;
    bar.elapsedMs = played.world.elapsedMs;
    bar.lengthMs = seeker->lastMs();
    bar.hits = &hits;
    bar.speedQuarters = SPEED_QUARTERS[speed];
    bar.atEnd = heldAtEnd;
    return true;
}
