// mnetmenu.cpp: hosting, joining and the games found, on one screen.
#include "screens/mnetmenu.h"

#include <GL/gl.h>
#include <SDL/SDL_keysym.h>

#include <cctype>  // Required for: toupper, a code typed in either case
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>  // Required for: std::nothrow
#include <utility>  // Required for: std::exchange

#include "assets/htexturestore.h"
#include "config/settings.h"
#include "net/naddress.h"
#include "net/nlobbyprotocol.h"  // Required for: the letters of a code
#include "net/nonline.h"
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
    joiningCode.clear();
    mode = Mode::JOINING;
    message.clear();
    fprintf(stderr, "%s\n", session->status().c_str());
}

int32_t MNetMenu::gameCount() const {
    const NOnline* online = application->online();
    return static_cast<int32_t>(finder.games().size() + (online != nullptr ? online->games().size() : 0));
}

void MNetMenu::joinCode(const std::string& gameCode, bool toWatch) {
    if (!application->joinOnline(gameCode, toWatch)) {
        std::string notice;
        if (application->takeOnlineNotice(notice)) say(notice, false);
        return;
    }
    joining.clear();
    joiningCode = gameCode;
    knocked = false;
    mode = Mode::JOINING;
    message.clear();
    fprintf(stderr, "%s game %s on the lobby %s\n", toWatch ? "Watching" : "Joining", gameCode.c_str(),
            application->lobby().c_str());
}

void MNetMenu::joinChosen(bool toWatch) {
    const std::vector<NFoundGame>& games = finder.games();
    const int32_t local = static_cast<int32_t>(games.size());
    const NOnline* online = application->online();
    if (online != nullptr && chosen >= local && chosen - local < static_cast<int32_t>(online->games().size())) {
        joinCode(online->games()[static_cast<size_t>(chosen - local)].code, toWatch);
        return;
    }
    if (chosen < 0 || chosen >= local) return;
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
        } else if (symbol == SDLK_c) {
            if (application->lobby().empty()) {
                say("No lobby is set: the settings screen's Lobby line sets one.");
            } else {
                mode = Mode::TYPING_CODE;
                code.clear();
                message.clear();
            }
        } else if (symbol == SDLK_UP && chosen > 0) {
            chosen--;
        } else if (symbol == SDLK_DOWN && chosen + 1 < gameCount()) {
            chosen++;
        } else if (symbol == SDLK_RETURN) {
            joinChosen(false);
        } else if (symbol == SDLK_w) {
            joinChosen(true);
        } else if (symbol == SDLK_ESCAPE) {
            // The session that only asked the lobby for its games goes too.
            const NSession* net = application->network();
            if (net != nullptr && !net->open() && !net->isHost()) application->attachNet(nullptr);
            application->showMenu();
        }
        return;
    case Mode::TYPING_CODE: {
        // Only the code's letters are taken, in capitals, so that a look-alike
        // typed shows at once as not taken.
        const char upper = static_cast<char>(toupper(static_cast<unsigned char>(character)));
        if (symbol == SDLK_RETURN && code.size() == vkl::CODE_LENGTH) {
            joinCode(code, false);
        } else if (symbol == SDLK_ESCAPE) {
            mode = Mode::BROWSING;
        } else if (symbol == SDLK_BACKSPACE) {
            if (!code.empty()) code.pop_back();
        } else if (upper != 0 && strchr(vkl::CODE_ALPHABET, upper) != nullptr && code.size() < vkl::CODE_LENGTH) {
            code.push_back(upper);
        }
        return;
    }
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

void MNetMenu::serviceLobby(int32_t ms) {
    std::string notice;
    if (application->takeOnlineNotice(notice)) {
        say(notice, false);
        listInMs = LIST_RETRY_MS;  // a lobby that did not answer is not asked at once again
    }
    if (application->lobby().empty() || mode == Mode::JOINING) return;
    listInMs -= ms;
    if (listInMs > 0) return;
    listInMs = LIST_EVERY_MS;
    // A session of its own to ask through, unless one hosts or is prepared.
    if (application->network() == nullptr && !application->browseOnline()) return;
    if (NOnline* online = application->online()) online->requestList();
}

void MNetMenu::update(int32_t ms) {
    finder.service(NSession::clock());
    serviceLobby(ms);
    const int32_t found = gameCount();
    if (chosen >= found) chosen = found > 0 ? found - 1 : 0;
    if (mode != Mode::JOINING && mode != Mode::HOSTING) return;
    NSession* net = application->network();
    if (net == nullptr) {
        // A join through the lobby that failed: its code again, to mend.
        mode = mode == Mode::JOINING && !joiningCode.empty() ? Mode::TYPING_CODE : Mode::BROWSING;
        if (!joiningCode.empty()) code = std::exchange(joiningCode, "");
    } else if (net->connected() || net->watching()) {
        if (mode == Mode::JOINING && !joining.empty()) keepAddress(joining);
        application->showMenu();
    } else if (!joiningCode.empty() && !knocked) {
        // Meeting through the lobby: the session opens once a path is found.
        knocked = net->open();
    } else if (!net->open()) {
        // The session said why on standard error when it closed.
        say(net->notice(), false);
        mode = mode == Mode::JOINING ? (joiningCode.empty() ? Mode::TYPING : Mode::TYPING_CODE) : Mode::BROWSING;
        if (!joiningCode.empty()) code = std::exchange(joiningCode, "");
        application->attachNet(nullptr);
    }
}

namespace {

const char* stageText(vkn::Stage stage) {
    return stage == vkn::Stage::WAITING ? "waiting" : stage == vkn::Stage::MATCH ? "in a match" : "in the menu";
}

}  // namespace

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
    const bool online = !application->lobby().empty();
    const NOnline* lobby = application->online();
    MText::beginOverlay();
    line("Network game", 60, 34, 0.55f, 0.85f, 1.0f);
    line(online ? "H: host a game        J: join one by its address        C: by its code"
                : "H: host a game        J: join one by its address",
         90, 13, 0.9f, 0.9f, 0.9f);
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
    case Mode::TYPING_CODE:
        line("The game's code, as its host sees it (" + std::to_string(vkl::CODE_LENGTH) + " letters and digits):", 146,
             14, 0.9f, 0.9f, 0.9f);
        line(code + (code.size() < vkl::CODE_LENGTH ? "_" : ""), 168, 18, 1.0f, 1.0f, 1.0f);
        line("Return: join   Backspace: erase   Esc: back", 192, 11, 0.8f, 0.8f, 0.8f);
        break;
    case Mode::JOINING: {
        std::string status = net != nullptr ? net->status() : "";
        if (status.empty()) status = "Looking for game " + joiningCode + " on " + application->lobby();
        line(status, 150, 16, 0.55f, 0.85f, 1.0f);
        line("Esc: stop", 192, 11, 0.8f, 0.8f, 0.8f);
        break;
    }
    case Mode::HOSTING: {
        // The code goes under the status, the rest a little closer.
        const float below = lobby != nullptr ? 14.0f : 0.0f;
        if (net != nullptr) line(net->status(), 138 - below / 2, 16, 0.55f, 0.85f, 1.0f);
        if (lobby != nullptr) {
            const std::string said = lobby->code().empty() ? "Opening the game on " + application->lobby() + "..."
                                                           : "Online game code: " + lobby->code();
            line(said, 156, 16, 1.0f, 0.95f, 0.55f);
        }
        line(addresses, 160 + below, 13, 0.9f, 0.9f, 0.9f);
        std::string router = application->routerLine();
        if (router.empty()) router = routerAsked ? "Router: asking..." : "Router: not asked";
        line(router, 180 + below * 0.6f, 13, 0.9f, 0.9f, 0.9f);
        line("Esc: stop hosting", 200 + below * 0.4f, 11, 0.8f, 0.8f, 0.8f);
        break;
    }
    }
    if (!message.empty()) line(message, 222, 14, 1.0f, 0.85f, 0.35f);

    line(online ? "Games on the local network and on the lobby" : "Games on the local network", 270, 15, 0.9f, 0.9f,
         0.9f);
    const std::vector<NFoundGame>& games = finder.games();
    const int32_t count = gameCount();
    if (count == 0) line("None found yet", 296, 13, 0.6f, 0.6f, 0.6f);
    // The chosen row stays in sight.
    const int32_t first = chosen >= ROWS_SHOWN ? chosen - ROWS_SHOWN + 1 : 0;
    for (int32_t i = first; i < count && i < first + ROWS_SHOWN; i++) {
        const float y = 296 + 20 * static_cast<float>(i - first);
        const bool mark = mode == Mode::BROWSING && i == chosen;
        std::string row = mark ? "> " : "  ";
        if (i >= static_cast<int32_t>(games.size())) {
            const NOnlineGame& g = lobby->games()[static_cast<size_t>(i) - games.size()];
            row += g.code + "   on the lobby   " + stageText(g.stage);
            if (g.watchers > 0) row += ", " + std::to_string(g.watchers) + " watching";
            const float shade = g.stage == vkn::Stage::WAITING ? 1.0f : 0.6f;
            line(row, y, 13, mark ? 0.4f : shade, shade, mark ? 0.45f : shade);
            continue;
        }
        const NFoundGame& g = games[static_cast<size_t>(i)];
        row += g.address + ":" + std::to_string(g.port) + "   ";
        if (!g.joinable()) {
            row += versionsText(g.protocol, g.gameVersion.c_str());
            line(row, y, 13, 0.5f, 0.5f, 0.5f);
            continue;
        }
        row += std::to_string(g.rttMs) + " ms   " + stageText(g.stage);
        const float shade = g.free() ? 1.0f : 0.6f;
        line(row, y, 13, mark ? 0.4f : shade, shade, mark ? 0.45f : shade);
    }
    MText::endOverlay();
}
