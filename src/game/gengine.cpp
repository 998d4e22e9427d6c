// gengine.cpp: the table of world objects, the update and the end of a match.
#include "game/gengine.h"

#include <new>  // Required for: std::nothrow

#include "app/happlication.h"
#include "assets/hmodel.h"
#include "game/gaicontroller.h"
#include "game/gbackground.h"
#include "game/gcontroller.h"
#include "game/gship.h"

namespace {

// The models of a match, read afresh for every match. The last letter picks
// the reader: 's' 3DS, 't' the one-triangle text model.
const char* const RIGHT_SHIP_FILE = "ship.3ds";
const char* const LEFT_SHIP_FILE = "ship2.3ds";
const char* const RIGHT_BAR_FILE = "lives_right.txt";
const char* const LEFT_BAR_FILE = "lives_left.txt";
const char* const RIGHT_SHOT_FILE = "zat.3ds";
const char* const LEFT_SHOT_FILE = "zat2.3ds";

// Where each ship starts: the right one low on the right, the left one high
// on the left, both in the plane of the shots.
const Vec3 RIGHT_START(20.0f, -18.0f, -50.0f);
const Vec3 LEFT_START(-20.0f, 18.0f, -50.0f);

HModel* loadModel(const char* path) {
    HModel* model = new (std::nothrow) HModel();
    if (model != nullptr) model->load(path);  // failures leave an empty model
    return model;
}

GController* makeController(ControllerChoice choice, GEngine* world, GShip* ship) {
    switch (choice) {
    case CHOICE_ARROW_KEYS:
        return new (std::nothrow) GArrowKeysController(world, ship);
    case CHOICE_WASD:
        return new (std::nothrow) GWasdController(world, ship);
    case CHOICE_COMPUTER:
        return new (std::nothrow) GAiController(world, ship);
    default:
        return nullptr;  // a ship nobody steers: it drifts and never fires
    }
}

}  // namespace

GEngine::GEngine(HApplication* application)
    : objectCount(0),
      pendingCount(0),
      rightShipModel(nullptr),
      leftShipModel(nullptr),
      rightHealthBar(nullptr),
      leftHealthBar(nullptr),
      rightShotModel(nullptr),
      leftShotModel(nullptr),
      paused(false),
      application(application) {
    for (int32_t i = 0; i < MAX_OBJECTS; i++) {
        objects[i] = nullptr;
        pending[i] = nullptr;
    }
    rightShipModel = loadModel(RIGHT_SHIP_FILE);
    leftShipModel = loadModel(LEFT_SHIP_FILE);
    rightHealthBar = loadModel(RIGHT_BAR_FILE);
    leftHealthBar = loadModel(LEFT_BAR_FILE);
    rightShotModel = loadModel(RIGHT_SHOT_FILE);
    leftShotModel = loadModel(LEFT_SHOT_FILE);
    view.setWorld(this);
}

GEngine::~GEngine() {
    // Anything still queued is in the table too and goes with it.
    pendingCount = 0;
    // Each removal moves the last entry into entry 0. The objects go before
    // the wheel (their removal unschedules them) and before the models
    // (their destructors may still look at them).
    while (objectCount > 0) objects[0]->remove();

    delete rightShipModel;
    delete leftShipModel;
    delete rightHealthBar;
    delete leftHealthBar;
    delete rightShotModel;
    delete leftShotModel;
}

bool GEngine::setUpMatch(ControllerChoice leftChoice, ControllerChoice rightChoice) {
    // The right ship first: each ship draws its tilt from rand() when made.
    addShip(rightChoice, rightShipModel, rightShotModel, RIGHT_START);
    addShip(leftChoice, leftShipModel, leftShotModel, LEFT_START);

    GBackground* background = new (std::nothrow) GBackground(this);
    const bool added = addObject(background);
    if (!added) delete background;

    pendingCount = 0;
    paused = false;
    return added;
}

void GEngine::addShip(ControllerChoice choice, HModel* model, HModel* shotModel, const Vec3& start) {
    GShip* ship = new (std::nothrow) GShip(this, model, shotModel);
    if (ship == nullptr) return;
    ship->setController(makeController(choice, this, ship));
    ship->position = start;
    if (!addObject(ship)) delete ship;
}

bool GEngine::addObject(GObject* object) {
    if (objectCount >= MAX_OBJECTS || object == nullptr) return false;
    // An object leaves through its own world (remove, kill): one made for
    // another engine, or for none, would leave this table pointing at it
    // once it is gone.
    if (object->world != this) return false;
    // Refused by the wheel (a negative delay, an object already scheduled,
    // no memory for a node): an object in the table that never ticks would
    // only be drawn frozen, so it stays out altogether.
    if (!wheel.insert(object)) return false;
    objects[objectCount] = object;
    objectCount++;
    object->active = 1;
    return true;
}

void GEngine::removeObject(GObject* object) {
    wheel.remove(object);
    for (int32_t i = 0; i < objectCount; i++) {
        if (objects[i] == object) {
            const int32_t last = objectCount - 1;
            objects[i] = objects[last];
            objects[last] = nullptr;
            objectCount = last;
            return;
        }
    }
}

void GEngine::queueDeletion(GObject* object) {
    if (object == nullptr) return;
    for (int32_t i = 0; i < pendingCount; i++) {
        if (pending[i] == object) return;  // deleting it twice would be fatal
    }
    // Every pending object is in the table too, so the list cannot fill up
    // through kill(); the test only guards direct callers.
    if (pendingCount >= MAX_OBJECTS) return;
    pending[pendingCount] = object;
    pendingCount++;
}

void GEngine::flushDeletions() {
    for (int32_t i = 0; i < pendingCount; i++) {
        if (pending[i] != nullptr) {
            pending[i]->remove();
            pending[i] = nullptr;
        }
    }
    pendingCount = 0;
}

void GEngine::keyDown(uint8_t key) {
    switch (key) {
    case 27:  // SDLK_ESCAPE
        if (application != nullptr) application->showMenu();
        return;  // this engine has been destroyed: touch nothing
    case 'p':
        paused = !paused;
        return;
    default:
        return;
    }
}

void GEngine::update(int32_t elapsedMs) {
    if (paused) return;
    wheel.advance(elapsedMs);
    checkEnd();
    // Also after a hand-over in checkEnd: the application keeps this engine
    // alive until update has returned.
    flushDeletions();
}

void GEngine::draw() { view.draw(); }

GShip* GEngine::rightShip() const {
    return objectCount > 0 ? dynamic_cast<GShip*>(objects[0]) : nullptr;
}

GShip* GEngine::leftShip() const {
    return objectCount > 1 ? dynamic_cast<GShip*>(objects[1]) : nullptr;
}

void GEngine::checkEnd() {
    GShip* right = rightShip();
    GShip* left = leftShip();
    if (right == nullptr || left == nullptr) return;  // no match set up

    // Each ship faces the other; at equal x the left one takes 0 degrees.
    // The ships ease their drawn turn towards this and aim by it.
    if (right->position.x > left->position.x) {
        right->rotation.y = 0.0f;
        left->rotation.y = 180.0f;
    } else {
        left->rotation.y = 0.0f;
        right->rotation.y = 180.0f;
    }

    if (right->health > 0 && left->health > 0) return;
    const MatchResult result = {true, right->health, left->health};
    if (application != nullptr) application->showResult(result);
}
