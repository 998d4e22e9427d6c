// happlication.cpp: screen ownership, switching, the dropped first update,
// and the reactions to the network.
#include "app/happlication.h"

#include <cerrno>  // Required for: ENOENT, a last match never written
#include <cstdio>
#include <cstdlib>  // Required for: rand, the demo's kinds
#include <ctime>  // Required for: time, a kept replay's name
#include <new>  // Required for: placement new, std::nothrow
#include <string>
#include <utility>

#include <unistd.h>  // Required for: access

#include <GL/gl.h>
#include <SDL.h>

#include "app/shell.h"  // Required for: the window the settings screen changes
#include "config/hcontrols.h"  // Required for: leftChoice, rightChoice, a network game's first choice
#include "app/hmatchowner.h"
#include "game/gcontrollerkinds.h"  // Required for: the demo's kinds
#include "game/grandom.h"
#include "game/greplay.h"
#include "game/greplaylibrary.h"
#include "net/nbeacon.h"
#include "config/settings.h"  // Required for: lobbyAddress, the settings' lobby
#include "net/nmatch.h"  // Required for: the side a network match flies here
#include "net/nonline.h"
#include "net/nsession.h"
#include "screens/gengine.h"
#include "screens/mmainmenu.h"
#include "screens/mnetmenu.h"
#include "screens/mreplays.h"
#include "screens/msettings.h"
#include "screens/mvictory.h"
#include "sound/hsound.h"

HApplication* theApplication = nullptr;

static void* allocateWithNew(std::size_t size) { return ::operator new(size, std::nothrow); }

void* (*HApplication::allocateScreen)(std::size_t) = allocateWithNew;

HApplication::HApplication()
    : net(nullptr),
      beacon(nullptr),
      currentScreen(nullptr),
      timeScale(1.0),
      running(true),
      skipNextUpdate(false),
      frameStale(true),
      screenCalls(0),
      lastMatch(nullptr),
      owner(nullptr),
      captionSide(-1),
      chosen(nullptr),
      backToList(false) {}

HApplication::~HApplication() {
    delete currentScreen;
    currentScreen = nullptr;
    delete owner;  // after the screen that showed it
    owner = nullptr;
    delete lastMatch;
    lastMatch = nullptr;
    delete chosen;
    chosen = nullptr;
    // Last, so that the other side hears goodbye after this side's match
    // has been written; the lobby's client before the session it uses.
    stopOnline();
    delete beacon;
    beacon = nullptr;
    delete net;
    net = nullptr;
}

// --- the screen's calls ---------------------------------------------------------

void HApplication::afterScreenCall() {
    screenCalls--;
    if (screenCalls > 0 || pending.next == Next::NONE) return;
    switchNow(std::exchange(pending, Request()));
}

// A block of its own: the demo's last key (see demoKey).
bool HApplication::passKey(uint8_t key, bool released) {
    if (demoKey == key) {
        if (released) demoKey = -1;
        return false;
    }
    // The key that ends the demo goes to it; what follows of it does not.
    if (!released && owner != nullptr && owner->kind() == GShownMatch::Kind::DEMO) demoKey = key;
    return true;
}

void HApplication::keyUp(uint8_t key) {
    if (!currentScreen || !passKey(key, true)) return;
    screenCalls++;
    frameStale = true;
    currentScreen->keyUp(key);
    afterScreenCall();
}

void HApplication::keyDown(uint8_t key) {
    if (!currentScreen || !passKey(key, false)) return;
    screenCalls++;
    frameStale = true;
    currentScreen->keyDown(key);
    afterScreenCall();
}

void HApplication::symbolDown(uint32_t sym, uint8_t key, char typed) {
    if (!currentScreen || !passKey(key, false)) return;
    screenCalls++;
    frameStale = true;
    currentScreen->symbolDown(sym, key, typed);
    afterScreenCall();
}

void HApplication::update(int32_t ms) {
    // The network is serviced even in a dropped update: the other side must
    // hear from this one however long a screen took to build.
    if (net != nullptr) {
        // The lobby client on both sides of the session, so that its relay
        // passes datagrams on in the pass they come (NOnline::flushRelays).
        // It may drop a session that failed to join through the lobby.
        if (onlineClient != nullptr) serviceOnline();
        if (net != nullptr) {
            net->service();
            if (onlineClient != nullptr) onlineClient->flushRelays();
            reactToNet();
        }
    }
    if (beacon != nullptr) {
        // A host that is no longer one gives its port back to the router.
        if (net == nullptr || !net->open()) {
            delete beacon;
            beacon = nullptr;
        } else {
            beacon->service(net->stage(), NSession::clock());
        }
    }
    if (skipNextUpdate) {
        skipNextUpdate = false;
        return;
    }
    if (currentScreen) {
        screenCalls++;
        currentScreen->update(static_cast<int32_t>(ms * timeScale));
        afterScreenCall();
    }
    // What the match's own steps found (a check out of step) is reacted to
    // in the same pass.
    if (net != nullptr) reactToNet();
}

void HApplication::draw() {
    frameStale = false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (currentScreen) currentScreen->draw();
    SDL_GL_SwapBuffers();
}

bool HApplication::drawIfChanged() {
    if (!frameStale && currentScreen != nullptr && currentScreen->unchanged()) return false;
    draw();
    return true;
}

// --- switching ----------------------------------------------------------------------

void HApplication::request(const Request& r) {
    if (screenCalls > 0) {
        pending = r;
    } else {
        switchNow(r);
    }
}

void HApplication::showMenu() { request(Request{Next::MENU}); }

void HApplication::showNetMenu() { request(Request{Next::NETMENU}); }

void HApplication::showSettings() { request(Request{Next::SETTINGS}); }

void HApplication::startMatch(ControllerChoice left, ControllerChoice right) {
    Request r{Next::MATCH};
    r.left = left;
    r.right = right;
    request(r);
}

void HApplication::showResult(const MatchResult& result) {
    Request r{Next::RESULT};
    r.result = result;
    request(r);
}

void HApplication::watchLastMatch() {
    if (findLastMatch()) request(Request{Next::REPLAY});
}

void HApplication::startDemo() { request(Request{Next::DEMO}); }

bool HApplication::findLastMatch() {
    if (lastMatch != nullptr) return true;
    // No file is no match, and nothing to say.
    if (access(REPLAY_FILE, F_OK) != 0 && errno == ENOENT) return false;
    GReplay* read = new (std::nothrow) GReplay();
    if (read == nullptr) return false;
    std::string why;
    if (loadReplay(REPLAY_FILE, *read, why) != GReplayRead::OK) {
        fprintf(stderr, "Unable to watch %s: %s\n", REPLAY_FILE, why.c_str());
        delete read;
        return false;
    }
    lastMatch = read;
    return true;
}

void HApplication::quit() { running = false; }

void HApplication::showReplays() { request(Request{Next::REPLAYS}); }

void HApplication::watchReplay(const GReplay& replay, const std::string& listedAs) {
    GReplay* copy = new (std::nothrow) GReplay(replay);
    if (copy == nullptr) return;  // no memory: no switch
    delete chosen;
    chosen = copy;
    Request r{Next::REPLAY};
    r.chosen = true;
    r.listed = listedAs;
    request(r);
}

// The shell's, for the settings screen, which may not reach into src/app.
bool HApplication::applyVideoMode() { return ::applyVideoMode(); }
int32_t HApplication::desktopWidth() const { return ::desktopWidth; }
int32_t HApplication::desktopHeight() const { return ::desktopHeight; }

// Memory first, then the old screen goes, then the new one is built in that
// memory: the old screen has released its textures before the new one loads
// its own, and when no memory can be had nothing has changed.
template <class Build>
void HApplication::replaceScreen(void* memory, HMatchOwner* next, Build build) {
    HScreen* old = std::exchange(currentScreen, nullptr);
    delete old;
    delete std::exchange(owner, next);  // after the screen that showed it
    currentScreen = build(memory);
    skipNextUpdate = true;
    frameStale = true;
}

// A kind of player that needs nobody's keys (a computer of any skill, the
// master too: the demo is where a newcomer sees whom there is to play, and
// its search costs microseconds a tick), drawn as the seed is, from the
// clock-seeded rand(). The kinds' own draws come from the match's seed.
static ControllerChoice drawDemoKind() {
    ControllerChoice computers[CONTROLLER_KIND_COUNT];
    int32_t count = 0;
    for (int32_t i = 0; i < CONTROLLER_KIND_COUNT; i++) {
        if (CONTROLLER_KINDS[i].bothSides) computers[count++] = CONTROLLER_KINDS[i].choice;
    }
    return count > 0 ? computers[rand() % count] : CHOICE_COMPUTER;
}

bool HApplication::showMatch(HMatchOwner* made) {
    void* memory = made != nullptr ? allocateScreen(sizeof(GEngine)) : nullptr;
    if (!memory) {
        delete made;
        return false;
    }
    // Heard at the key press, while the match loads its models.
    if (theSound) theSound->matchStarted();
    replaceScreen(memory, made, [this, made](void* m) { return new (m) GEngine(this, made); });
    return true;
}

void HApplication::switchNow(const Request& r) {
    // The way back from a replay chosen in the list holds for one switch,
    // or two when the first is to the finished replay's result.
    const bool toList = r.next != Next::NONE && std::exchange(backToList, false);
    switch (r.next) {
    case Next::NONE:
        return;
    case Next::MENU: {
        if (toList) {
            Request list{Next::REPLAYS};
            list.listed = listed;
            switchNow(list);
            return;
        }
        void* memory = allocateScreen(sizeof(MMainMenu));
        if (!memory) return;
        replaceScreen(memory, nullptr, [this](void* m) { return new (m) MMainMenu(this); });
        if (theSound) theSound->menuShown();
        return;
    }
    case Next::NETMENU: {
        void* memory = allocateScreen(sizeof(MNetMenu));
        if (!memory) return;
        replaceScreen(memory, nullptr, [this](void* m) { return new (m) MNetMenu(this); });
        return;
    }
    case Next::SETTINGS: {
        void* memory = allocateScreen(sizeof(MSettings));
        if (!memory) return;
        replaceScreen(memory, nullptr, [this](void* m) { return new (m) MSettings(this); });
        return;
    }
    case Next::MATCH:
    case Next::REPLAY: {
        HMatchOwner* made = new (std::nothrow) HMatchOwner(this);
        if (made == nullptr) return;
        if (r.next == Next::MATCH) {
            made->setUpLocal(r.left, r.right, drawMatchSeed());
        } else {
            made->setUpReplay(r.chosen ? *chosen : *lastMatch);
        }
        if (showMatch(made) && r.chosen) {
            backToList = !r.listed.empty();
            listed = r.listed;
        }
        return;
    }
    case Next::REPLAYS: {
        void* memory = allocateScreen(sizeof(MReplays));
        if (!memory) return;
        replaceScreen(memory, nullptr, [&](void* m) { return new (m) MReplays(this, r.listed); });
        return;
    }
    case Next::DEMO: {
        HMatchOwner* made = new (std::nothrow) HMatchOwner(this);
        if (made == nullptr) return;
        const ControllerChoice left = drawDemoKind(), right = drawDemoKind();
        made->setUpDemo(left, right, drawMatchSeed());
        showMatch(made);
        return;
    }
    case Next::RESULT: {
        void* memory = allocateScreen(sizeof(MVictory));
        if (!memory) return;
        replaceScreen(memory, nullptr, [&](void* m) { return new (m) MVictory(this, r.result); });
        if (theSound) theSound->matchEnded();
        backToList = toList;  // a replay's result leads where the replay would have
        return;
    }
    }
}

void HApplication::keepLastMatch(const GReplay& replay) {
    saveReplay(REPLAY_FILE, replay);
    // The ships flown from another machine: the other player's in a network
    // match, both for a spectator.
    uint32_t remote = 0;
    if (owner != nullptr && owner->watch() != nullptr) {
        remote = GReplayLibrary::REMOTE_LEFT | GReplayLibrary::REMOTE_RIGHT;
    } else if (owner != nullptr && owner->netMatch() != nullptr) {
        remote = owner->netMatch()->ownSide == SIDE_LEFT ? GReplayLibrary::REMOTE_RIGHT : GReplayLibrary::REMOTE_LEFT;
    }
    GReplayLibrary().keep(replay, remote, time(nullptr));
    GReplay* kept = new (std::nothrow) GReplay(replay);
    if (kept == nullptr) return;  // no memory: the one before stays
    delete lastMatch;
    lastMatch = kept;
}

// --- the network ----------------------------------------------------------------------

void HApplication::attachNet(NSession* session) {
    stopOnline();
    onlineJoining = false;
    delete beacon;
    beacon = nullptr;
    delete net;
    net = session;
    if (net == nullptr) return;
    if (net->isHost() && net->open()) {
        beacon = new (std::nothrow) NBeacon();
        if (beacon != nullptr) beacon->open(net->listenPort(), NSession::clock());
        // Hosting is as it was without a lobby; the lobby is one more way in.
        if (!lobby().empty() && startOnline()) onlineClient->openGame();
    }
    net->setOwnChoice(net->ownSide() == SIDE_LEFT ? leftChoice : rightChoice);
    updateCaption();
}

// --- online play -------------------------------------------------------------------------

std::string HApplication::lobby() const { return runLobby.empty() ? lobbyAddress : runLobby; }

void HApplication::noteOnline(const std::string& notice) {
    onlineNotice = notice;
    onlineNoticed = true;
}

bool HApplication::startOnline() {
    stopOnline();
    onlineClient = new (std::nothrow) NOnline();
    if (onlineClient == nullptr) return false;
    if (onlineClient->start(*net, lobby())) return true;
    std::string notice;
    if (onlineClient->takeNotice(notice)) noteOnline(notice);
    stopOnline();
    return false;
}

void HApplication::stopOnline() {
    delete onlineClient;
    onlineClient = nullptr;
}

bool HApplication::browseOnline() {
    if (net != nullptr) return onlineClient != nullptr && !net->open() && !net->isHost();
    if (lobby().empty()) return false;
    NSession* session = new (std::nothrow) NSession();
    if (session == nullptr) return false;
    if (!session->prepare()) {
        noteOnline(session->notice());
        delete session;
        return false;
    }
    attachNet(session);
    if (startOnline()) return true;
    attachNet(nullptr);
    return false;
}

bool HApplication::joinOnline(const std::string& code, bool watch) {
    if (lobby().empty()) {
        const std::string why = "No lobby is set to find game " + code +
                                " on: give one with --lobby, VEKTORAK_LOBBY or the settings' Lobby line.";
        fprintf(stderr, "%s\n", why.c_str());
        noteOnline(why);
        return false;
    }
    // A session that has knocked anywhere, or hosts, is no place to start.
    if (!browseOnline()) {
        attachNet(nullptr);
        if (!browseOnline()) return false;
    }
    onlineClient->join(code, watch);
    onlineJoining = true;
    return true;
}

bool HApplication::takeOnlineNotice(std::string& notice) {
    if (!onlineNoticed) return false;
    onlineNoticed = false;
    notice = onlineNotice;
    return true;
}

void HApplication::serviceOnline() {
    onlineClient->service();
    bool failed = false;
    std::string notice;
    while (onlineClient->takeNotice(notice)) {
        noteOnline(notice);
        failed = true;
    }
    if (net->connected() || net->watching()) {
        onlineJoining = false;
    } else if (failed && onlineJoining) {
        // Its socket may have knocked at a game that is not there: the next
        // try starts on a new one.
        attachNet(nullptr);
    }
}

std::string HApplication::routerLine() const { return beacon != nullptr ? beacon->routerLine(NSession::clock()) : ""; }

void HApplication::updateCaption() {
    constexpr int32_t WATCHING = 2;
    const int32_t side = net == nullptr || !net->open() ? -1 : net->spectator() ? WATCHING : net->ownSide();
    if (side == captionSide) return;
    captionSide = side;
    SDL_WM_SetCaption(side == SIDE_LEFT    ? "Vektorak: left player"
                      : side == SIDE_RIGHT ? "Vektorak: right player"
                      : side == WATCHING   ? "Vektorak: watching"
                                           : "Vektorak",
                      NULL);
}

void HApplication::reactToNet() {
    // The side is agreed in the handshake, some passes after the attach.
    updateCaption();
    NSession::Event event;
    NStart start;
    while (net->takeEvent(event, start)) {
        // Each reaction may switch screens, and with the screen goes its
        // match: look again every time.
        HMatchOwner* match = owner != nullptr && owner->kind() >= GShownMatch::Kind::NETWORK ? owner : nullptr;
        switch (event) {
        case NSession::Event::REMOTE_RESUMED:
            if (match != nullptr) match->resumed();
            break;
        case NSession::Event::MATCH_LEFT:
        case NSession::Event::CLOSED:
            if (event == NSession::Event::CLOSED) updateCaption();
            if (match == nullptr) break;
            if (match->endLeft()) {
                showResult(match->result());
            } else {
                showMenu();
            }
            break;
        case NSession::Event::MATCH_STARTED:
            startNetMatch(start);
            break;
        }
    }
}

void HApplication::startNetMatch(const NStart& start) {
    backToList = false;  // a switch of its own, past switchNow
    HMatchOwner* made = new (std::nothrow) HMatchOwner(this);
    if (made != nullptr) made->setUpNet(start, net);
    // No match here: the other side must not wait for one.
    if (!showMatch(made) && !net->spectator()) net->sendLeave();
}
