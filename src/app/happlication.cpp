// happlication.cpp: screen ownership, switching and the dropped first update.
#include "app/happlication.h"

#include <new>   // Required for: placement new, std::nothrow
#include <utility>

#include <GL/gl.h>
#include <SDL.h>

#include "game/gengine.h"
#include "net/nsession.h"
#include "screens/mmainmenu.h"
#include "screens/mvictory.h"
#include "sound/hsound.h"

HApplication* theApplication = nullptr;

static void* allocateWithNew(std::size_t size) { return ::operator new(size, std::nothrow); }

void* (*HApplication::allocateScreen)(std::size_t) = allocateWithNew;

HApplication::HApplication()
    : net(nullptr),
      currentScreen(nullptr),
      timeScale(1.0),
      running(true),
      skipNextUpdate(false),
      updatingScreen(nullptr),
      retiredScreen(nullptr),
      lastMatch(nullptr),
      netMatch(nullptr),
      captionSide(-1) {}

HApplication::~HApplication() {
    delete currentScreen;
    currentScreen = nullptr;
    delete retiredScreen;
    retiredScreen = nullptr;
    delete lastMatch;
    lastMatch = nullptr;
    // Last, so that the other side hears goodbye after this side's match
    // has been written.
    delete net;
    net = nullptr;
}

void HApplication::keyUp(uint8_t key) {
    if (currentScreen) currentScreen->keyUp(key);
}

void HApplication::keyDown(uint8_t key) {
    if (currentScreen) currentScreen->keyDown(key);
}

void HApplication::update(int32_t ms) {
    // The network is serviced even in a dropped update: the other side must
    // hear from this one however long a screen took to build.
    if (net != nullptr) serviceNet();
    if (skipNextUpdate) {
        skipNextUpdate = false;
        return;
    }
    if (!currentScreen) return;

    HScreen* screen = currentScreen;
    updatingScreen = screen;
    screen->update(static_cast<int32_t>(ms * timeScale));
    updatingScreen = nullptr;

    // The match that handed over its result is only now off the stack.
    delete retiredScreen;
    retiredScreen = nullptr;
}

void HApplication::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (currentScreen) currentScreen->draw();
    SDL_GL_SwapBuffers();
}

void HApplication::attachNet(NSession* session) {
    delete net;
    net = session;
    if (net == nullptr) return;
    net->ownChoice = net->ownSide() == SIDE_LEFT ? leftChoice : rightChoice;
    updateCaption();
}

void HApplication::updateCaption() {
    const int32_t side = net != nullptr && net->state != NSession::State::CLOSED ? net->ownSide() : -1;
    if (side == captionSide) return;
    captionSide = side;
    SDL_WM_SetCaption(side == SIDE_LEFT ? "Vektorak: left player" : side == SIDE_RIGHT ? "Vektorak: right player" : "Vektorak",
                      NULL);
}

void HApplication::serviceNet() {
    net->service();
    GEngine* match = netMatch == currentScreen ? netMatch : nullptr;
    if (match != nullptr) {
        if (net->takeRemoteResumed()) match->netResumed();
        if (net->takeOutOfStep()) {
            net->notice = "The match went out of step.";
            fprintf(stderr, "%s\n", net->notice.c_str());
            // Seen here first or told by the other side: either way both
            // must hear it, and a second telling is ignored.
            net->sendOutOfStep(net->lock.outOfStepTick());
            match->netLeave(false);  // destroys the match: read nothing of it after
            match = nullptr;
        } else if (net->takeRemoteLeft()) {
            net->notice = "The other player ended the match.";
            match->netLeave(false);
            match = nullptr;
        }
    }
    if (net->takeClosed()) {
        updateCaption();
        if (match != nullptr) match->netLeave(false);
        match = nullptr;
    }
    NStart start;
    if (net->takeStart(start)) startNetMatch(start);
}

void HApplication::startNetMatch(const NStart& start) {
    void* memory = allocateScreen(sizeof(GEngine));
    if (!memory) {
        net->sendLeave();  // no match here: the other side must not wait for one
        return;
    }
    if (theSound) theSound->matchStarted();
    dispose(std::exchange(currentScreen, nullptr));
    GEngine* engine = new (memory) GEngine(this);
    engine->setUpNetMatch(start, net);
    currentScreen = engine;
    netMatch = engine;
    skipNextUpdate = true;
}

void HApplication::dispose(HScreen* screen) {
    if (!screen) return;
    if (screen == netMatch) netMatch = nullptr;
    if (screen == updatingScreen) {
        retiredScreen = screen;
    } else {
        delete screen;
    }
}

// Memory first, then the old screen goes, then the new one is built in that
// memory: the old screen has released its textures before the new one loads
// its own, and when no memory can be had nothing has changed.
void HApplication::showMenu() {
    void* memory = allocateScreen(sizeof(MMainMenu));
    if (!memory) return;
    dispose(std::exchange(currentScreen, nullptr));
    currentScreen = new (memory) MMainMenu(this);
    skipNextUpdate = true;
    if (theSound) theSound->menuShown();
}

void HApplication::startMatch(ControllerChoice left, ControllerChoice right) {
    void* memory = allocateScreen(sizeof(GEngine));
    if (!memory) return;
    // Heard at the key press, while the match loads its models.
    if (theSound) theSound->matchStarted();
    dispose(std::exchange(currentScreen, nullptr));
    GEngine* engine = new (memory) GEngine(this);
    engine->setUpMatch(left, right);
    currentScreen = engine;
    skipNextUpdate = true;
}

// The old screen is not destroyed before the new one exists: the match calls
// this from inside its own update and goes on after it returns.
void HApplication::showResult(const MatchResult& result) {
    void* memory = allocateScreen(sizeof(MVictory));
    if (!memory) return;
    HScreen* victory = new (memory) MVictory(this, result);
    dispose(std::exchange(currentScreen, victory));
    skipNextUpdate = true;
    if (theSound) theSound->matchEnded();
}

void HApplication::watchLastMatch() {
    if (lastMatch == nullptr) return;
    void* memory = allocateScreen(sizeof(GEngine));
    if (!memory) return;
    if (theSound) theSound->matchStarted();
    dispose(std::exchange(currentScreen, nullptr));
    GEngine* engine = new (memory) GEngine(this);
    engine->setUpReplay(*lastMatch);
    currentScreen = engine;
    skipNextUpdate = true;
}

void HApplication::keepLastMatch(const GReplay& replay) {
    GReplay* kept = new (std::nothrow) GReplay(replay);
    if (kept == nullptr) return;  // no memory: the one before stays
    delete lastMatch;
    lastMatch = kept;
}

void HApplication::quit() { running = false; }
