// gengine.cpp: the match screen's set-ups, keys, update and end.
#include "screens/gengine.h"

#include <cstdio>
#include <new>  // Required for: std::nothrow

#include "assets/htexturestore.h"
#include "config/hcontrols.h"
#include "game/gmatchdriver.h"
#include "game/grandom.h"
#include "game/gship.h"
#include "net/nmatch.h"
#include "net/nsession.h"
#include "screens/hscreenhost.h"
#include "screens/mtext.h"  // Required for: deleting noticeText
#include "sound/hsound.h"

GEngine::GEngine(HScreenHost* application)
    : application(application),
      driver(nullptr),
      net(nullptr),
      ended(false),
      soundPaused(false),
      replayMark(-1),
      result{false, 0, 0},
      resultDueMs(-1) {
    view.loadModels();
    view.setWorld(&match.world);
}

GEngine::~GEngine() {
    delete driver;
    theTextureStore.release(replayMark);
}

void GEngine::setDriver(GMatchDriver* newDriver) {
    delete driver;
    driver = newDriver;
    // Every set-up ends here, with its world made: the match's sparks
    // follow from its seed, watched again or not.
    view.effects.reset(match.world.seed);
}

bool GEngine::setUpMatch(ControllerChoice left, ControllerChoice right) {
    return setUpMatch(left, right, drawMatchSeed());
}

const GInput* GEngine::input() const { return application != nullptr ? &application->inputSnapshot() : nullptr; }

bool GEngine::setUpMatch(ControllerChoice left, ControllerChoice right, uint32_t seed) {
    const bool ships = match.setUp(seed, left, right, input(), playerKeys);
    view.loadBackdrop();
    setDriver(new (std::nothrow) GLocalDriver(&match));
    return ships;
}

bool GEngine::setUpReplay(const GReplay& replay) {
    const bool ships = match.setUpReplay(replay);
    view.loadBackdrop();
    setDriver(new (std::nothrow) GReplayDriver(&match));
    replayMark = theTextureStore.load(REPLAY_PICTURE);
    return ships;
}

bool GEngine::setUpNetMatch(const NStart& start, NSession* session) {
    const bool ships = match.setUp(start.seed, start.leftChoice, start.rightChoice, input(), playerKeys);
    view.loadBackdrop();
    net = new (std::nothrow) NMatch();
    if (net != nullptr && !net->setUp(&match, &session->lock(), session, session->ownSide(), start.holdMs)) {
        delete net;
        net = nullptr;
    }
    setDriver(net);
    printf("Network match: input delay %d ticks, rollback window %d ticks, round trip %d ms.\n",
           static_cast<int>(start.delay), static_cast<int>(vkn::WINDOW), static_cast<int>(session->rttMedian()));
    fflush(stdout);
    return ships && net != nullptr;
}

bool GEngine::paused() const { return driver != nullptr && driver->paused(); }

void GEngine::tellPause() {
    if (paused() == soundPaused) return;
    soundPaused = paused();
    if (theSound) theSound->matchPaused(soundPaused);
}

void GEngine::keep(uint8_t end) {
    // A replay is the match it shows; a test's screen has nobody to hand to.
    if (match.watched() != nullptr || application == nullptr || leftShip() == nullptr) return;
    // A network match may have played ahead on a guess: what is kept is
    // what both sides played.
    if (driver != nullptr) driver->settle();
    application->keepLastMatch(match.replay(end));
}

void GEngine::backToMenu() {
    if (application != nullptr) application->showMenu();
}

void GEngine::keyDown(uint8_t key) {
    if (driver == nullptr) return;
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

void GEngine::update(int32_t ms) {
    if (driver == nullptr) return;
    if (wrecking()) {
        // The match is over and kept: only the wreck moves on.
        view.effects.advance(ms);
        resultDueMs -= ms;
        if (resultDueMs <= 0) handOverResult();
        return;
    }
    driver->advance(ms);
    if (net != nullptr) {
        for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) view.ease(side, net->takeJump(side));
    }
    // Heard and seen, never answered: nothing of the sound or the effects
    // reaches back into the world.
    if (theSound) theSound->matchEvents(match.world.events);
    if (!paused()) view.effects.advance(ms);
    view.effects.hear(match.world.events, match.world);
    tellPause();
    if (match.ended() && driver->settled()) {
        checkEnd();
        return;
    }
    const GReplay* watched = match.watched();
    if (watched != nullptr && !ended && match.world.elapsedMs >= watched->endMs) {
        // Left at this millisecond, or a replay that no longer ends where
        // its match did (the game has changed since): back to the menu.
        if (watched->end != vkr::END_LEFT) {
            fprintf(stderr, "The replay did not end at %u ms as recorded.\n", static_cast<unsigned>(watched->endMs));
        }
        ended = true;
        backToMenu();
    }
}

void GEngine::draw() {
    view.draw();
    view.drawMark(replayMark);
    drawNotices();
}

void GEngine::checkEnd() {
    GWorld& world = match.world;
    world.faceShips();
    const bool finished = world.testEnd();
    if (ended || (!finished && !match.timeUp())) return;
    ended = true;
    // A match whose time ran out is kept as left there, and shown as a draw
    // that was not played out.
    keep(finished ? vkr::END_FINISHED : vkr::END_LEFT);
    if (driver != nullptr) driver->finish();
    result = MatchResult{finished, world.rightShip()->health, world.leftShip()->health};
    result.lengthMs = world.elapsedMs;
    result.leftChoice = match.leftChoice;
    result.rightChoice = match.rightChoice;
    if (net != nullptr) result.otherMachineSide = net->ownSide == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT;
    // A ship broke up: the result waits for its wreck. A match whose time
    // ran out has none to show.
    if (finished) {
        resultDueMs = WRECK_WAIT_MS;
    } else {
        handOverResult();
    }
}

void GEngine::handOverResult() {
    resultDueMs = -1;
    if (application != nullptr) application->showResult(result);
}

void GEngine::resumed() {
    if (net != nullptr) net->resume();
    tellPause();
}

void GEngine::endLeft() {
    // The match did finish: its result is owed, whatever the other side
    // does while the wreck plays.
    if (wrecking()) {
        handOverResult();
        return;
    }
    if (!ended) keep(vkr::END_LEFT);
    ended = true;
    backToMenu();
}
