// happlication.cpp: screen ownership, switching and the dropped first update.
#include "app/happlication.h"

#include <new>   // Required for: placement new, std::nothrow
#include <utility>

#include <GL/gl.h>
#include <SDL.h>

#include "game/gengine.h"
#include "screens/mmainmenu.h"
#include "screens/mvictory.h"
#include "sound/hsound.h"

HApplication* theApplication = nullptr;

static void* allocateWithNew(std::size_t size) { return ::operator new(size, std::nothrow); }

void* (*HApplication::allocateScreen)(std::size_t) = allocateWithNew;

HApplication::HApplication()
    : currentScreen(nullptr),
      timeScale(1.0),
      running(true),
      skipNextUpdate(false),
      updatingScreen(nullptr),
      retiredScreen(nullptr),
      lastMatch(nullptr) {}

HApplication::~HApplication() {
    delete currentScreen;
    currentScreen = nullptr;
    delete retiredScreen;
    retiredScreen = nullptr;
    delete lastMatch;
    lastMatch = nullptr;
}

void HApplication::keyUp(uint8_t key) {
    if (currentScreen) currentScreen->keyUp(key);
}

void HApplication::keyDown(uint8_t key) {
    if (currentScreen) currentScreen->keyDown(key);
}

void HApplication::update(int32_t ms) {
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

void HApplication::dispose(HScreen* screen) {
    if (!screen) return;
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
