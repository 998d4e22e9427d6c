// gengine.cpp: setting up a match or a replay, its update and its end.
#include "game/gengine.h"

#include <cstdio>
#include <new>      // Required for: std::nothrow

#include "app/happlication.h"
#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "game/gplayback.h"
#include "game/greplaycontroller.h"
#include "game/gship.h"
#include "net/nsession.h"
#include "sound/hsound.h"

namespace {

// The models of a match, read afresh for every match. The last letter picks
// the reader: 's' 3DS, 't' the one-triangle text model.
const char* const RIGHT_SHIP_FILE = "ship.3ds";
const char* const LEFT_SHIP_FILE = "ship2.3ds";
const char* const RIGHT_BAR_FILE = "lives_right.txt";
const char* const LEFT_BAR_FILE = "lives_left.txt";
const char* const RIGHT_SHOT_FILE = "zat.3ds";
const char* const LEFT_SHOT_FILE = "zat2.3ds";

HModel* loadModel(const char* path) {
    HModel* model = new (std::nothrow) HModel();
    if (model != nullptr) model->load(path);  // failures leave an empty model
    return model;
}


}  // namespace

GEngine::GEngine(HApplication* application)
    : rightShipModel(nullptr),
      leftShipModel(nullptr),
      rightHealthBar(nullptr),
      leftHealthBar(nullptr),
      rightShotModel(nullptr),
      leftShotModel(nullptr),
      paused(false),
      application(application),
      leftChoice(-1),
      rightChoice(-1),
      seed(0),
      replaying(false),
      ended(false),
      replayMark(-1),
      net(nullptr) {
    rightShipModel = loadModel(RIGHT_SHIP_FILE);
    leftShipModel = loadModel(LEFT_SHIP_FILE);
    rightHealthBar = loadModel(RIGHT_BAR_FILE);
    leftHealthBar = loadModel(LEFT_BAR_FILE);
    rightShotModel = loadModel(RIGHT_SHOT_FILE);
    leftShotModel = loadModel(LEFT_SHOT_FILE);
    view.setWorld(this);
}

GEngine::~GEngine() {
    // The objects go before the models: their destructors may still look
    // at them.
    world.clear();
    theTextureStore.release(replayMark);
    delete rightShipModel;
    delete leftShipModel;
    delete rightHealthBar;
    delete leftHealthBar;
    delete rightShotModel;
    delete leftShotModel;
}

bool GEngine::setUpWorld(uint32_t matchSeed) {
    seed = matchSeed;
    GWorld::Models models;
    models.rightShip = rightShipModel;
    models.leftShip = leftShipModel;
    models.rightShot = rightShotModel;
    models.leftShot = leftShotModel;
    paused = false;
    return world.setUpMatch(matchSeed, models, true);
}

bool GEngine::setUpMatch(ControllerChoice left, ControllerChoice right) {
    return setUpMatch(left, right, drawMatchSeed());
}

bool GEngine::setUpMatch(ControllerChoice left, ControllerChoice right, uint32_t matchSeed) {
    leftChoice = left;
    rightChoice = right;
    const bool ships = setUpWorld(matchSeed);
    steerRecorded(world, left, right);
    return ships;
}

bool GEngine::setUpReplay(const GReplay& replay) {
    watched = replay;
    replaying = true;
    leftChoice = replay.leftChoice;
    rightChoice = replay.rightChoice;
    const bool ships = setUpWorld(replay.seed);
    GShip* sides[2] = {world.leftShip(), world.rightShip()};
    const GFlagStream* notes[2] = {&watched.left, &watched.right};
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        if (sides[side] == nullptr) continue;
        sides[side]->setController(new (std::nothrow) GReplayController(&world, sides[side], notes[side]));
    }
    replayMark = theTextureStore.load(REPLAY_PICTURE);
    return ships;
}

bool GEngine::setUpNetMatch(const NStart& start, NSession* session) {
    net = session;
    leftChoice = start.leftChoice;
    rightChoice = start.rightChoice;
    const bool ships = setUpWorld(start.seed);
    const GSide own = session->ownSide();
    netMatch.setUp(&world, &session->lock, own, own == SIDE_LEFT ? leftChoice : rightChoice, start.holdMs);
    return ships;
}

void GEngine::netResumed() {
    if (net == nullptr || !netMatch.paused) return;
    netMatch.resume();
    if (theSound) theSound->matchPaused(false);
}

void GEngine::netLeave(bool tellOther) {
    if (!ended) keepMatch(vkr::END_LEFT);
    ended = true;
    if (net != nullptr) {
        if (tellOther) {
            net->sendLeave();
        } else {
            net->matchOver();
        }
    }
    if (application != nullptr) application->showMenu();
}

GReplay GEngine::replay(uint8_t end) const { return recordingOf(world, leftChoice, rightChoice, end); }

void GEngine::keepMatch(uint8_t end) {
    // Only a match the game itself plays is written: a test's engine has no
    // application, and a replay is the match it shows.
    if (replaying || application == nullptr || leftShip() == nullptr) return;
    const GReplay r = replay(end);
    saveReplay(REPLAY_FILE, r);
    application->keepLastMatch(r);
}

void GEngine::keyDown(uint8_t key) {
    if (net != nullptr) {
        netKeyDown(key);
        return;  // may have been destroyed
    }
    switch (key) {
    case 27:  // SDLK_ESCAPE
        if (!ended) keepMatch(vkr::END_LEFT);
        ended = true;
        if (application != nullptr) application->showMenu();
        return;  // this engine has been destroyed: touch nothing
    case 'p':
        paused = !paused;
        if (theSound) theSound->matchPaused(paused);
        return;
    default:
        return;
    }
}

void GEngine::netKeyDown(uint8_t key) {
    if (key == 27) {
        netLeave(true);
        return;  // this engine has been destroyed
    }
    if (key != 'p' || ended) return;
    if (netMatch.paused) {
        // Either side ends the pause; the other follows as soon as it hears.
        net->sendResume();
        netMatch.resume();
        if (theSound) theSound->matchPaused(false);
    } else {
        netMatch.requestPause();
    }
}

void GEngine::netUpdate(int32_t elapsedMs) {
    world.events.clear();
    const bool wasPaused = netMatch.paused;
    netMatch.advance(elapsedMs);
    if (theSound) {
        theSound->matchEvents(world.events);
        if (netMatch.paused && !wasPaused) theSound->matchPaused(true);
    }
    if (world.over) {
        checkEnd();
        return;
    }
    const uint32_t outOfStep = net->lock.outOfStepTick();
    if (outOfStep != 0 && !ended) {
        fprintf(stderr, "The match went out of step at tick %u.\n", static_cast<unsigned>(outOfStep));
        net->notice = "The match went out of step.";
        net->sendOutOfStep(outOfStep);
        netLeave(false);
    }
}

void GEngine::update(int32_t elapsedMs) {
    if (net != nullptr) {
        netUpdate(elapsedMs);
        return;
    }
    if (paused) return;
    world.events.clear();
    for (int32_t i = 0; i < elapsedMs && !world.over; i++) {
        // A replay of a match that was left stops where the player left it.
        if (replaying && watched.end == vkr::END_LEFT && world.elapsedMs >= watched.endMs) break;
        world.step();
    }
    // Heard, never answered: nothing of the sound reaches back into the world.
    if (theSound) theSound->matchEvents(world.events);
    if (world.over) {
        checkEnd();
        return;
    }
    if (replaying && !ended && world.elapsedMs >= watched.endMs) {
        // Left at this millisecond, or a replay that no longer ends where
        // its match did (the game has changed since): back to the menu.
        if (watched.end != vkr::END_LEFT) {
            fprintf(stderr, "The replay did not end at %u ms as recorded.\n", static_cast<unsigned>(watched.endMs));
        }
        ended = true;
        if (application != nullptr) application->showMenu();
    }
}

void GEngine::draw() {
    view.draw();
    if (replaying) view.drawMark(replayMark);
}

void GEngine::checkEnd() {
    world.faceShips();
    if (!world.testEnd() || ended) return;
    ended = true;
    keepMatch(vkr::END_FINISHED);
    if (net != nullptr) net->matchOver();
    GShip* right = world.rightShip();
    GShip* left = world.leftShip();
    const MatchResult result = {true, right->health, left->health};
    if (application != nullptr) application->showResult(result);
}
