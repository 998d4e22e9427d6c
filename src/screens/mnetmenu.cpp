// mnetmenu.cpp: hosting, joining and the games found, on one screen.
#include "screens/mnetmenu.h"

#include <GL/gl.h>
#include <SDL/SDL_keysym.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>  // Required for: std::nothrow

#include "assets/htexturestore.h"
#include "config/settings.h"
#include "net/naddress.h"
#include "net/nsession.h"
#include "screens/hscreenhost.h"
#include "screens/mtext.h"
#include "screens/texturedquad.h"

namespace {

// The sky quad, as the result screen's: as wide as a 21:9 window shows.
constexpr float SKY_DISTANCE = 2.2f;
constexpr float SKY_HALF_WIDTH = 2.2f;
constexpr float SKY_HALF_HEIGHT = 1.0f;

}  // namespace

MNetMenu::MNetMenu(HScreenHost* application) : application(application) {
    text = new (std::nothrow) MText();
    sky = theTextureStore.load("menu_sky.jpg");
    finder.open();
    // The last address joined, offered first.
    FILE* file = fopen(LAST_ADDRESS_FILE, "rt");
    if (file != nullptr) {
        char line[MAX_ADDRESS_TEXT + 2] = {};
        if (fgets(line, sizeof line, file) != nullptr) {
            std::string kept(line);
            while (!kept.empty() && (kept.back() == '\n' || kept.back() == '\r')) kept.pop_back();
            std::string host;
            uint16_t port = 0;
            if (parseAddress(kept, host, port)) typed = kept;
        }
        fclose(file);
    }
}

MNetMenu::~MNetMenu() {
    delete text;
    theTextureStore.release(sky);
}

void MNetMenu::say(const std::string& line, bool toStderr) {
    message = line;
    if (toStderr && !line.empty()) fprintf(stderr, "%s\n", line.c_str());
}

void MNetMenu::keepAddress(const std::string& address) const { writeTextFile(LAST_ADDRESS_FILE, address + "\n"); }

void MNetMenu::host() {
    NSession* session = new (std::nothrow) NSession();
    if (session == nullptr) return;
    if (!session->host(vkn::DEFAULT_PORT)) {
        say(session->notice(), false);
        delete session;
        return;
    }
    application->attachNet(session);
    mode = Mode::HOSTING;
    // Looked up once: the frames that show them need not ask the system.
    std::string mine;
    for (const std::string& address : machineAddresses()) mine += (mine.empty() ? "" : ", ") + address;
    addresses = mine.empty() ? "This machine has no network address" : "The other player joins " + mine;
    const char* upnp = getenv("VEKTORAK_UPNP");
    routerAsked = upnp == nullptr || strcmp(upnp, "off") != 0;  // as NRouter::open decides
    message.clear();
    fprintf(stderr, "%s\n", session->status().c_str());
}

void MNetMenu::join(const std::string& address, bool toWatch) {
    std::string host;
    uint16_t port = 0;
    if (!parseAddress(address, host, port)) {
        say("Not an address: " + address + ".");
        return;
    }
    NSession* session = new (std::nothrow) NSession();
    if (session == nullptr) return;
    if (!(toWatch ? session->watch(host.c_str(), port) : session->join(host.c_str(), port))) {
        say(session->notice(), false);
        delete session;
        return;
    }
    application->attachNet(session);
    joining = address;
    mode = Mode::JOINING;
    message.clear();
    fprintf(stderr, "%s\n", session->status().c_str());
}

void MNetMenu::joinChosen(bool toWatch) {
    const std::vector<NFoundGame>& games = finder.games();
    if (chosen < 0 || chosen >= static_cast<int32_t>(games.size())) return;
    const NFoundGame& game = games[static_cast<size_t>(chosen)];
    if (!game.joinable()) {
        say("Not joinable: " + versionsText(game.protocol, game.gameVersion.c_str()) + ".");
        return;
    }
    join(game.address + ":" + std::to_string(game.port), toWatch);
}

void MNetMenu::stop() {
    NSession* net = application->network();
    if (net != nullptr) {
        net->leave();
        application->attachNet(nullptr);
    }
    mode = Mode::BROWSING;
}

void MNetMenu::symbolDown(uint32_t symbol, uint8_t key, char character) {
    (void)key;
    switch (mode) {
    case Mode::BROWSING:
        if (symbol == SDLK_h) {
            host();
        } else if (symbol == SDLK_j) {
            mode = Mode::TYPING;
            message.clear();
        } else if (symbol == SDLK_UP && chosen > 0) {
            chosen--;
        } else if (symbol == SDLK_DOWN && chosen + 1 < static_cast<int32_t>(finder.games().size())) {
            chosen++;
        } else if (symbol == SDLK_RETURN) {
            joinChosen(false);
        } else if (symbol == SDLK_w) {
            joinChosen(true);
        } else if (symbol == SDLK_ESCAPE) {
            application->showMenu();
        }
        return;
    case Mode::TYPING:
        if (symbol == SDLK_RETURN) {
            join(typed, false);
        } else if (symbol == SDLK_ESCAPE) {
            mode = Mode::BROWSING;
        } else if (symbol == SDLK_BACKSPACE) {
            if (!typed.empty()) typed.pop_back();
        } else if (character != 0 && typed.size() < MAX_ADDRESS_TEXT) {
            typed.push_back(character);  // printable ASCII only: symbolDown's promise
        }
        return;
    case Mode::JOINING:
    case Mode::HOSTING:
        if (symbol == SDLK_ESCAPE) stop();
        return;
    }
}

void MNetMenu::update(int32_t ms) {
    (void)ms;
    finder.service(NSession::clock());
    const int32_t found = static_cast<int32_t>(finder.games().size());
    if (chosen >= found) chosen = found > 0 ? found - 1 : 0;
    if (mode != Mode::JOINING && mode != Mode::HOSTING) return;
    NSession* net = application->network();
    if (net == nullptr) {
        mode = Mode::BROWSING;
    } else if (net->connected() || net->watching()) {
        if (mode == Mode::JOINING) keepAddress(joining);
        application->showMenu();
    } else if (!net->open()) {
        // The session said why on standard error when it closed.
        say(net->notice(), false);
        mode = mode == Mode::JOINING ? Mode::TYPING : Mode::BROWSING;
        application->attachNet(nullptr);
    }
}

void MNetMenu::draw() {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -SKY_DISTANCE);
    theTextureStore.bind(sky);
    drawTexturedQuad(-SKY_HALF_WIDTH, SKY_HALF_HEIGHT, SKY_HALF_WIDTH, -SKY_HALF_HEIGHT, 0.0f);
    if (text == nullptr) return;

    // Laid out in the menu's frame, as its lines are.
    const MFrame f = MFrame::ofViewport();
    auto line = [&](const std::string& s, float y, float size, float r, float g, float b) {
        text->drawCentred(s.c_str(), f.width / 2.0f, f.below(y), size * f.unit, r, g, b);
    };
    MText::beginOverlay();
    line("Network game", 60, 34, 0.55f, 0.85f, 1.0f);
    line("H: host a game        J: join one by its address", 90, 13, 0.9f, 0.9f, 0.9f);
    line("Up, Down and Return: join a game found below        W: watch it        Esc: back", 108, 13, 0.9f, 0.9f,
         0.9f);
    const NSession* net = application->network();
    switch (mode) {
    case Mode::BROWSING:
        break;
    case Mode::TYPING:
        line("Address (host or A.B.C.D, and :PORT if not " + std::to_string(vkn::DEFAULT_PORT) + "):", 146, 14, 0.9f,
             0.9f, 0.9f);
        line(typed + "_", 168, 18, 1.0f, 1.0f, 1.0f);
        line("Return: connect   Backspace: erase   Esc: back", 192, 11, 0.8f, 0.8f, 0.8f);
        break;
    case Mode::JOINING:
        if (net != nullptr) line(net->status(), 150, 16, 0.55f, 0.85f, 1.0f);
        line("Esc: stop", 192, 11, 0.8f, 0.8f, 0.8f);
        break;
    case Mode::HOSTING: {
        if (net != nullptr) line(net->status(), 138, 16, 0.55f, 0.85f, 1.0f);
        line(addresses, 160, 13, 0.9f,
             0.9f, 0.9f);
        std::string router = application->routerLine();
        if (router.empty()) router = routerAsked ? "Router: asking..." : "Router: not asked";
        line(router, 180, 13, 0.9f, 0.9f, 0.9f);
        line("Esc: stop hosting", 200, 11, 0.8f, 0.8f, 0.8f);
        break;
    }
    }
    if (!message.empty()) line(message, 222, 14, 1.0f, 0.85f, 0.35f);

    line("Games on the local network", 270, 15, 0.9f, 0.9f, 0.9f);
    const std::vector<NFoundGame>& games = finder.games();
    if (games.empty()) line("None found yet", 296, 13, 0.6f, 0.6f, 0.6f);
    for (size_t i = 0; i < games.size() && i < 8; i++) {
        const NFoundGame& g = games[i];
        const bool mark = mode == Mode::BROWSING && static_cast<int32_t>(i) == chosen;
        std::string row = (mark ? "> " : "  ") + g.address + ":" + std::to_string(g.port) + "   ";
        if (!g.joinable()) {
            row += versionsText(g.protocol, g.gameVersion.c_str());
            line(row, 296 + 20 * static_cast<float>(i), 13, 0.5f, 0.5f, 0.5f);
            continue;
        }
        row += std::to_string(g.rttMs) + " ms   " +
               (g.stage == vkn::Stage::WAITING ? "waiting" : g.stage == vkn::Stage::MATCH ? "in a match" : "in the menu");
        const float shade = g.free() ? 1.0f : 0.6f;
        line(row, 296 + 20 * static_cast<float>(i), 13, mark ? 0.4f : shade, shade, mark ? 0.45f : shade);
    }
    MText::endOverlay();
}
