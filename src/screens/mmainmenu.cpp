// mmainmenu.cpp: choosing the controllers and starting a match.
#include "screens/mmainmenu.h"

#include <cctype>   // Required for: toupper
#include <cmath>    // Required for: std::fmod
#include <cstring>  // Required for: strlen
#include <new>      // Required for: std::nothrow
#include <string>
#include <utility>  // Required for: std::make_pair
#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>  // Required for: gluProject, to find the panels in the window

#include "assets/htexturestore.h"
#include "config/hcontrols.h"
#include "config/settings.h"  // Required for: fileNotices, the start-up notice; demoWait
#include "game/gcontrollerkinds.h"
#include "net/nonline.h"
#include "net/nsession.h"
#include "screens/hscreenhost.h"
#include "screens/menubackdrop.h"
#include "screens/mmenulayout.h"
#include "screens/mtext.h"
#include "screens/texturedquad.h"
#include "sound/hsound.h"

static void drawPlaced(const MMenuPlacement& p, float angle, HModel& model) {
    glPushMatrix();
    glTranslatef(p.x, p.y, p.z);
    glRotatef(angle, p.axisX, p.axisY, p.axisZ);
    glScalef(p.scale, p.scale, p.scale);
    model.draw();
    glPopMatrix();
}

// Through the kinds in the order of the table, and round again; a value no
// kind has starts the round afresh. The pilot and the ace came after the
// first three on purpose, so that the keys and the computer keep the
// choices they always had.
static ControllerChoice nextChoice(ControllerChoice choice) {
    return choice >= CONTROLLER_KIND_COUNT - 1 || choice < 0 ? CONTROLLER_KINDS[0].choice : choice + 1;
}

// Two humans may never share one set of keys; a computer may fly both ships.
static bool pairAllowed(ControllerChoice left, ControllerChoice right) {
    if (left != right) return true;
    const GControllerKind* kind = controllerKind(left);
    return kind != nullptr && kind->bothSides;
}

MMainMenu::MMainMenu(HScreenHost* application)
    : sky(-1), skyLooked(false), angle(0.0f), application(application), text(new (std::nothrow) MText()) {
    background = theTextureStore.load("menu.jpg");
    if (background >= 0) clampTextureEdges();  // the sky goes on past them
    for (int32_t& image : choiceImages) image = NOT_LOADED;
    logo.load("logo.3ds");
    leftShipModel.load("ship2.3ds");
    rightShipModel.load("ship.3ds");
}

// The members go in reverse order of declaration after this body: ship.3ds,
// ship2.3ds, then the logo.
MMainMenu::~MMainMenu() {
    theTextureStore.release(background);
    for (int32_t image : choiceImages) {
        if (image != NOT_LOADED) theTextureStore.release(image);
    }
    theTextureStore.release(sky);
    delete text;
}

int32_t MMainMenu::choiceImage(ControllerChoice choice) {
    if (choice < 0 || choice >= CHOICE_IMAGES) return -1;
    // Read when first shown: the menu starts with two of them, and each
    // one read before the first frame is start-up a player waits through.
    if (choiceImages[choice] == NOT_LOADED) choiceImages[choice] = theTextureStore.load(CONTROLLER_KINDS[choice].picture);
    return choiceImages[choice];
}

void MMainMenu::netKeyDown(uint8_t key) {
    NSession* net = application->network();
    if (net->spectator()) {
        // A spectator watches the players choose: only leaving, the last
        // match and the settings are its own.
        if (key == 27) {
            net->leave();
        } else if (key == 'r') {
            application->watchLastMatch();
        } else if (key == 's') {
            application->showSettings();
        }
        return;
    }
    const GSide own = net->ownSide();
    ControllerChoice& mine = own == SIDE_LEFT ? leftChoice : rightChoice;
    switch (key) {
    case 13:  // Return: ready; the host starts the match once both are
        if (net->connected()) net->setOwnReady(true);
        break;
    case 27:
        // Out of the network game; a second Escape quits, as in a local menu.
        net->leave();
        break;
    case 's':  // the keys of this side's next match, not yet ready
        if (net->ownReady()) net->setOwnReady(false);
        application->showSettings();
        break;
    case 'r':
        if (application->findLastMatch()) {
            if (net->ownReady()) net->setOwnReady(false);
            application->watchLastMatch();
        }
        break;
    case 'o':
    case 'p':
        // Only this side's key; a new choice takes back the readiness.
        if ((key == 'o') != (own == SIDE_LEFT)) break;
        mine = nextChoice(mine);
        net->setOwnChoice(mine);
        if (theSound) theSound->menuChoiceChanged(own);
        break;
    default:
        break;
    }
}

void MMainMenu::keyDown(uint8_t key) {
    idleMs = 0;
    // The start-up notice has been seen: the key goes on to do what it does.
    dismissFileNotices();
    onlineNotice.clear();
    // A network game that has ended goes on as a local one.
    const NSession* net = application != nullptr ? application->network() : nullptr;
    if (net != nullptr && net->open()) {
        netKeyDown(key);
        return;
    }
    switch (key) {
    case 13:  // Return
        if (pairAllowed(leftChoice, rightChoice)) {
            application->startMatch(leftChoice, rightChoice);
        } else {
            refusalLeftMs = REFUSAL_MS;
        }
        break;
    case 27:
        application->quit();
        break;
    case 'r':  // nothing happens without a last match
        application->watchLastMatch();
        break;
    case 'n':
        application->showNetMenu();
        break;
    case 'l':  // the replay library
        application->showReplays();
        break;
    case 's':
        application->showSettings();
        break;
    case 'o':
        leftChoice = nextChoice(leftChoice);
        if (theSound) theSound->menuChoiceChanged(0);
        break;
    case 'p':
        rightChoice = nextChoice(rightChoice);
        if (theSound) theSound->menuChoiceChanged(1);
        break;
    default:
        break;
    }
}

// A key let go is somebody still there, as one pressed is.
void MMainMenu::keyUp(uint8_t key) {
    (void)key;
    idleMs = 0;
}

void MMainMenu::update(int32_t ms) {
    const NSession* net = application != nullptr ? application->network() : nullptr;
    // The demo's wait. A pad's buttons other than fire never reach a screen
    // as keys: held, they are read here. The wait stops growing at an hour,
    // longer than any, so that the sum never wraps.
    bool padHeld = false;
    for (int32_t i = 0; application != nullptr && i < GPads::MAX_PADS; i++) {
        GPads::State pad;
        padHeld = padHeld || (application->inputSnapshot().pad(i, pad) && pad.buttons != 0);
    }
    idleMs = padHeld ? 0 : idleMs < MAX_DEMO_WAIT * 1000 ? idleMs + ms : idleMs;
    // Never in a network menu, where someone may come to play.
    if (demoWait > 0 && idleMs >= demoWait * 1000 && application != nullptr && (net == nullptr || !net->open())) {
        idleMs = 0;  // should the demo not start, the next try waits as long
        application->startDemo();
    }
    if (application != nullptr) application->takeOnlineNotice(onlineNotice);
    rttShownFor += ms;
    refusalLeftMs = ms < refusalLeftMs ? refusalLeftMs - ms : 0;
    if (net == nullptr || !net->connected()) {
        shownRttMs = -1;
    } else if (shownRttMs < 0 || rttShownFor >= RTT_REFRESH_MS) {
        shownRttMs = net->rttMedian();
        rttShownFor = 0;
    }
    // Kept within one turn: unwrapped, the angle reaches 2^21 degrees after
    // about 4.7 hours of 1 ms passes, where adding 0.125 to a float no
    // longer changes it and the models would stop.
    angle = std::fmod(angle + ms * MENU_TURN_PER_MS, 360.0f);
    if (angle < 0.0f) angle += 360.0f;
}

void MMainMenu::draw() {
    // One translation for the whole menu: the models below share it.
    drawMenuBackdrop(background, sky, skyLooked);

    drawPlaced(MENU_LOGO, angle, logo);
    drawPlaced(MENU_LEFT_SHIP, angle, leftShipModel);
    drawPlaced(MENU_RIGHT_SHIP, angle, rightShipModel);

    // Connected, the other side's picture is the other player's choice.
    ControllerChoice shown[2] = {leftChoice, rightChoice};
    const NSession* net = application != nullptr ? application->network() : nullptr;
    if (net != nullptr && net->connected()) shown[net->ownSide() == SIDE_LEFT ? 1 : 0] = net->remoteChoice();
    // A spectator's two pictures are the players'.
    if (net != nullptr && net->watching()) shown[0] = net->choiceOf(SIDE_LEFT), shown[1] = net->choiceOf(SIDE_RIGHT);
    const struct {
        ControllerChoice choice;
        MMenuQuad quad;
    } pictures[2] = {{shown[0], MENU_LEFT_CHOICE_QUAD}, {shown[1], MENU_RIGHT_CHOICE_QUAD}};
    PanelRect panels[2] = {};
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        const auto& picture = pictures[side];
        theTextureStore.bind(choiceImage(picture.choice));
        drawTexturedQuad(picture.quad.left, picture.quad.top, picture.quad.right, picture.quad.bottom,
                         picture.quad.z);
        // The keys a picture stands for are its player's: the left keys
        // are the left player's on whichever side they fly.
        const int32_t keysOf = picture.choice == CHOICE_WASD ? SIDE_LEFT : picture.choice == CHOICE_ARROW_KEYS ? SIDE_RIGHT : -1;
        // The other machine's player keeps keys this one does not know:
        // their caps stay bare.
        const bool remote = net != nullptr && ((net->connected() && side != net->ownSide()) || net->watching());
        if (keysOf < 0 || remote) continue;
        GLdouble model[16], projection[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLdouble x0, y0, x1, y1, z;
        gluProject(picture.quad.left, picture.quad.top, picture.quad.z, model, projection, viewport, &x0, &y0, &z);
        gluProject(picture.quad.right, picture.quad.bottom, picture.quad.z, model, projection, viewport, &x1, &y1, &z);
        panels[side] = {true, static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1),
                        static_cast<float>(y1), keysOf};
    }
    // Without the font the caps stay bare, arrows too: half-written keys
    // would mislead more than none.
    if (text != nullptr && text->texture >= 0) {
        MText::beginOverlay();
        for (const PanelRect& panel : panels) {
            if (panel.shown) drawKeyCaps(panel);
        }
        MText::endOverlay();
    }
    if (text == nullptr) return;
    if (net != nullptr) drawNet();  // how the connection stands, or what ended it
    if (net != nullptr && net->open()) return;
    // Where a network game's status line goes: how to get one, or, for a
    // moment after Return, why no match started.
    const MFrame f = MFrame::ofViewport();
    MText::beginOverlay();
    const std::vector<std::string> notices = fileNotices();
    if (refusalLeftMs > 0) {
        text->drawCentred(REFUSAL, f.width / 2.0f, f.below(106.0f), 17.0f * f.unit, 1.0f, 0.85f, 0.35f);
    } else if (net != nullptr && application->online() != nullptr && application->online()->joinUnderWay()) {
        // A join by code (--join-code) with its session not yet open.
        text->drawCentred("Looking for the game on the lobby...", f.width / 2.0f, f.below(106.0f), 14.0f * f.unit,
                          0.55f, 0.85f, 1.0f);
    } else if (!onlineNotice.empty()) {
        text->drawCentred(onlineNotice.c_str(), f.width / 2.0f, f.below(106.0f), 14.0f * f.unit, 1.0f, 0.85f, 0.35f);
    } else if (!notices.empty()) {
        // In the network line's place, which the first key brings back;
        // shrunk to the frame rather than cut, since its end says where the
        // player's own file went.
        for (size_t i = 0; i < notices.size(); i++) {
            float height = 13.0f * f.unit;
            const float wide = MText::width(notices[i].c_str(), height);
            if (wide > 620.0f * f.unit) height *= 620.0f * f.unit / wide;
            text->drawCentred(notices[i].c_str(), f.width / 2.0f, f.below(106.0f + 17.0f * static_cast<float>(i)),
                              height, 1.0f, 0.85f, 0.35f);
        }
    } else {
        text->drawCentred("N: play over the network   L: replays", f.width / 2.0f, f.below(106.0f), 14.0f * f.unit,
                          0.8f, 0.85f, 0.95f);
    }
    MText::endOverlay();
}

const char* MMainMenu::rating(int32_t rttMs) {
    if (rttMs <= GOOD_RTT_MS) return "good";
    return rttMs <= FAIR_RTT_MS ? "fair" : "far";
}

namespace {

// An arrow pointing (dx, dy) (y up) centred on (cx, cy), `size` across, as
// the cursor keys' caps had them.
void drawArrow(float cx, float cy, float size, float dx, float dy) {
    const float px = -dy, py = dx;
    glDisable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    glVertex2f(cx + dx * size * 0.55f, cy + dy * size * 0.55f);
    glVertex2f(cx - dx * size * 0.1f + px * size * 0.5f, cy - dy * size * 0.1f + py * size * 0.5f);
    glVertex2f(cx - dx * size * 0.1f - px * size * 0.5f, cy - dy * size * 0.1f - py * size * 0.5f);
    glEnd();
    const float half = size * 0.15f;
    glBegin(GL_QUADS);
    glVertex2f(cx - dx * size * 0.55f + px * half, cy - dy * size * 0.55f + py * half);
    glVertex2f(cx + px * half, cy + py * half);
    glVertex2f(cx - px * half, cy - py * half);
    glVertex2f(cx - dx * size * 0.55f - px * half, cy - dy * size * 0.55f - py * half);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

// What a cap says for SDL's name of a key: its first letter in capitals
// ("W", "Space"), a modifier's word with its side (LEFT, RIGHT) apart, to
// go above the cap.
void capLabel(const std::string& name, std::string& label, std::string& above) {
    label = name;
    above.clear();
    for (const char* side : {"left ", "right "}) {
        const size_t n = strlen(side);
        if (name.size() > n && name.compare(0, n, side) == 0) {
            above = side[0] == 'l' ? "LEFT" : "RIGHT";
            label = name.substr(n);
        }
    }
    if (!label.empty()) label[0] = static_cast<char>(toupper(static_cast<unsigned char>(label[0])));
}

}  // namespace

void MMainMenu::drawKeyCaps(const PanelRect& panel) const {
    // From the picture's pixels (top left origin) to the window's.
    const float sx = (panel.right - panel.left) / KEYS_PANEL_WIDTH;
    const float sy = (panel.top - panel.bottom) / KEYS_PANEL_HEIGHT;
    auto wx = [&](float px) { return panel.left + px * sx; };
    auto wy = [&](float py) { return panel.top - py * sy; };
    // Writes `label` with its capitals centred on (x, y) of the picture,
    // `em` picture pixels to the em as the baker wrote its letters, shrunk
    // to `room` pixels across.
    auto write = [&](const std::string& label, float x, float y, float em, float room, float r, float g, float b) {
        float height = em * sy * TEXT_CELL_HEIGHT / TEXT_EM;
        const float wide = MText::width(label.c_str(), height);
        if (wide > room * sx) height *= room * sx / wide;
        const float capitals = height * TEXT_EM / TEXT_CELL_HEIGHT * 0.73f;
        const float baseline = wy(y) - capitals * 0.5f;
        text->drawCentred(label.c_str(), wx(x), baseline - height * (TEXT_CELL_HEIGHT - TEXT_BASELINE) / TEXT_CELL_HEIGHT,
                          height, r, g, b, false);
    };

    const GKeyBinding& keys = playerKeys[panel.side];
    const float key = KEYS_PANEL_KEY, step = KEYS_PANEL_KEY + KEYS_PANEL_GAP;
    const float topRow = KEYS_PANEL_TOP + key * 0.5f, lowRow = topRow + step;
    const float middle = KEYS_PANEL_LEFT + step + key * 0.5f;
    const struct {
        uint16_t sym;
        float x, y;  // the cap's centre, picture pixels
    } caps[4] = {{keys.up, middle, topRow},
                 {keys.left, middle - step, lowRow},
                 {keys.down, middle, lowRow},
                 {keys.right, middle + step, lowRow}};
    for (const auto& cap : caps) {
        // The cursor keys show arrows, as their own caps do.
        if (cap.sym == gkey::UP || cap.sym == gkey::DOWN || cap.sym == gkey::LEFT || cap.sym == gkey::RIGHT) {
            const float dx = cap.sym == gkey::LEFT ? -1.0f : cap.sym == gkey::RIGHT ? 1.0f : 0.0f;
            const float dy = cap.sym == gkey::UP ? 1.0f : cap.sym == gkey::DOWN ? -1.0f : 0.0f;
            drawArrow(wx(cap.x), wy(cap.y), key * 0.42f * sx, dx, dy);
            continue;
        }
        std::string label, above;
        capLabel(keyName(cap.sym), label, above);
        write(label, cap.x, cap.y, 24.0f, key - 6.0f, 1.0f, 1.0f, 1.0f);
    }
    std::string label, above;
    capLabel(keyName(keys.fire), label, above);
    const float fireX = KEYS_PANEL_FIRE_LEFT + KEYS_PANEL_FIRE_WIDTH * 0.5f;
    write(label, fireX, KEYS_PANEL_FIRE_CENTRE, 22.0f, KEYS_PANEL_FIRE_WIDTH - 10.0f, 1.0f, 1.0f, 1.0f);
    if (!above.empty()) {
        write(above, fireX, KEYS_PANEL_FIRE_CENTRE - 32.0f, 17.0f, KEYS_PANEL_FIRE_WIDTH, 1.0f, 0.80f, 0.30f);
    }
}

void MMainMenu::drawNet() {
    const NSession* net = application->network();
    // Placed by the menu's frame where it has room: under the title, and
    // beside each controller picture.
    const MFrame f = MFrame::ofViewport();
    const float w = f.width, unit = f.unit, top = f.top;
    const float lineHeight = 17.0f * unit;
    MText::beginOverlay();
    std::string status = net->status();
    // Met through a lobby: which way the match goes.
    const NOnline* online = application->online();
    if (online != nullptr && !status.empty() && !online->pathText().empty()) status += ", " + online->pathText();
    if (!status.empty()) text->drawCentred(status.c_str(), w / 2.0f, top - 106.0f * unit, lineHeight, 0.55f, 0.85f, 1.0f);
    // The lobby's failure while hosting: the game still waits here.
    const std::string& notice = net->notice().empty() ? onlineNotice : net->notice();
    if (!notice.empty()) text->drawCentred(notice.c_str(), w / 2.0f, top - 128.0f * unit, lineHeight, 1.0f, 0.85f, 0.35f);
    const float centre = w / 2.0f;
    auto at = [&](float px) { return centre + (px - 320.0f) * unit; };
    if (net->watching()) {
        // The players' menu as the game watched tells it: both choices,
        // both readinesses, and no key of the picture's is this one's.
        const float x[2] = {w / 2.0f - 254.0f * unit, w / 2.0f + 254.0f * unit};
        for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
            const bool ready = net->readyOf(side);
            text->drawCentred(ready ? "READY" : "choosing", x[side], top - 330.0f * unit, (ready ? 22.0f : 15.0f) * unit,
                              ready ? 0.4f : 0.85f, ready ? 1.0f : 0.85f, ready ? 0.45f : 0.85f);
        }
        for (const auto& hint : {std::make_pair(192.0f, "the left player's choice"),
                                 std::make_pair(447.0f, "the right player's choice")}) {
            MText::cover(at(hint.first - 80.0f), top - 192.0f * unit, at(hint.first + 80.0f), top - 170.0f * unit);
            text->drawCentred(hint.second, at(hint.first), top - 187.0f * unit, 12.0f * unit, 0.8f, 0.8f, 0.8f);
        }
        MText::cover(at(262.0f), top - 334.0f * unit, at(378.0f), top - 311.0f * unit);
        const std::string watchers = std::to_string(net->watchers()) + " watching";
        text->drawCentred(watchers.c_str(), at(320.0f), top - 329.0f * unit, 12.0f * unit, 0.8f, 0.8f, 0.8f);
        MText::cover(at(16.0f), top - 466.0f * unit, at(398.0f), top - 429.0f * unit);
        text->drawCentred("You watch: each match starts here when both players are ready.", at(207.0f),
                          top - 443.0f * unit, 10.0f * unit, 0.75f, 0.75f, 0.8f);
        text->drawCentred("R watches the last match again. Esc stops watching.", at(207.0f), top - 460.0f * unit,
                          10.0f * unit, 0.75f, 0.75f, 0.8f);
    }
    if (net->connected()) {
        const bool ready[2] = {net->ownSide() == SIDE_LEFT ? net->ownReady() : net->remoteReady(),
                               net->ownSide() == SIDE_RIGHT ? net->ownReady() : net->remoteReady()};
        const float x[2] = {w / 2.0f - 254.0f * unit, w / 2.0f + 254.0f * unit};
        for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
            const bool own = side == net->ownSide();
            const char* mark = ready[side] ? "READY" : own ? "Return: ready" : "choosing";
            const float shade = ready[side] ? 1.0f : 0.85f;
            text->drawCentred(mark, x[side], top - 330.0f * unit, (ready[side] ? 22.0f : 15.0f) * unit,
                              ready[side] ? 0.4f : shade, ready[side] ? 1.0f : shade, ready[side] ? 0.45f : shade);
            // How far away the other player is: what the match will hide.
            if (!own && shownRttMs >= 0) {
                const std::string trip = "Round trip " + std::to_string(shownRttMs) + " ms, " + rating(shownRttMs);
                text->drawCentred(trip.c_str(), x[side], top - 352.0f * unit, 12.0f * unit, 0.7f, 0.7f, 0.75f);
            }
        }
        // The picture's hints as they are true here: only this side's key
        // changes a ship, Return marks this side ready, and both must be.
        const GSide other = net->ownSide() == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT;
        const float hintX = other == SIDE_LEFT ? 192.0f : 447.0f;
        MText::cover(at(hintX - 80.0f), top - 192.0f * unit, at(hintX + 80.0f), top - 170.0f * unit);
        text->drawCentred("the other player's choice", at(hintX), top - 187.0f * unit, 12.0f * unit, 0.8f, 0.8f, 0.8f);
        MText::cover(at(262.0f), top - 334.0f * unit, at(378.0f), top - 311.0f * unit);
        text->drawCentred("marks you ready", at(320.0f), top - 329.0f * unit, 12.0f * unit, 0.8f, 0.8f, 0.8f);
        MText::cover(at(16.0f), top - 466.0f * unit, at(398.0f), top - 429.0f * unit);
        text->drawCentred("Each hit costs 5 of 100 points. Esc leaves the network game.", at(207.0f),
                          top - 443.0f * unit, 10.0f * unit, 0.75f, 0.75f, 0.8f);
        text->drawCentred("Each side picks its own ship; the match starts when both are ready.", at(207.0f),
                          top - 460.0f * unit, 10.0f * unit, 0.75f, 0.75f, 0.8f);
    }
    MText::endOverlay();
}
