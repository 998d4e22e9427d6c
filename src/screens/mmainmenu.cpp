// mmainmenu.cpp: choosing the controllers and starting a match.
#include "screens/mmainmenu.h"

#include <cmath>  // Required for: std::fmod
#include <new>    // Required for: std::nothrow
#include <string>

#include <GL/gl.h>

#include "app/happlication.h"
#include "assets/htexturestore.h"
#include "game/gcontrollerkinds.h"
#include "net/nsession.h"
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

ControllerChoice leftChoice = CHOICE_WASD;
ControllerChoice rightChoice = CHOICE_ARROW_KEYS;

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

MMainMenu::MMainMenu(HApplication* application) : angle(0.0f), application(application), text(nullptr) {
    background = theTextureStore.load("menu.jpg");
    if (background >= 0) clampTextureEdges();  // the sky goes on past them
    for (int32_t i = 0; i < CHOICE_IMAGES; i++) choiceImages[i] = theTextureStore.load(CONTROLLER_KINDS[i].picture);
    sky = theTextureStore.load("menu_sky.jpg");
    logo.load("logo.3ds");
    leftShipModel.load("ship2.3ds");
    rightShipModel.load("ship.3ds");
}

// The members go in reverse order of declaration after this body: ship.3ds,
// ship2.3ds, then the logo.
MMainMenu::~MMainMenu() {
    theTextureStore.release(background);
    for (int32_t image : choiceImages) theTextureStore.release(image);
    theTextureStore.release(sky);
    delete text;
}

int32_t MMainMenu::choiceImage(ControllerChoice choice) const {
    return choice >= 0 && choice < CHOICE_IMAGES ? choiceImages[choice] : -1;
}

void MMainMenu::netKeyDown(uint8_t key) {
    NSession* net = application->net;
    const GSide own = net->ownSide();
    ControllerChoice& mine = own == SIDE_LEFT ? leftChoice : rightChoice;
    switch (key) {
    case 13:  // Return: ready; the host starts the match once both are
        if (net->connected()) net->setOwnReady(true);
        break;
    case 27:
        application->quit();
        break;
    case 's':  // the keys of this side's next match, not yet ready
        if (net->ownReady()) net->setOwnReady(false);
        application->showSettings();
        break;
    case 'r':
        if (application->hasLastMatch()) {
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
    // A network game that has ended goes on as a local one.
    if (application != nullptr && application->net != nullptr && application->net->open()) {
        netKeyDown(key);
        return;
    }
    switch (key) {
    case 13:  // Return
        if (pairAllowed(leftChoice, rightChoice)) application->startMatch(leftChoice, rightChoice);
        break;
    case 27:
        application->quit();
        break;
    case 'r':  // nothing happens before the first match of the run has ended
        application->watchLastMatch();
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

void MMainMenu::update(int32_t ms) {
    // Kept within one turn: unwrapped, the angle reaches 2^21 degrees after
    // about 4.7 hours of 1 ms passes, where adding 0.125 to a float no
    // longer changes it and the models would stop.
    angle = std::fmod(angle + ms * MENU_TURN_PER_MS, 360.0f);
    if (angle < 0.0f) angle += 360.0f;
}

void MMainMenu::draw() {
    // One translation for the whole menu: everything below sits 2.2 units
    // further away than its coordinates say.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -MENU_PUSH);

    if (sky >= 0) {
        // Tested against what is drawn already, but leaving no depth behind:
        // the picture drawn next covers it wherever it reaches, as if the sky
        // were not there.
        glDepthMask(GL_FALSE);
        theTextureStore.bind(sky);
        drawTexturedQuad(-MENU_SKY_HALF_WIDTH, MENU_SKY_HALF_HEIGHT, MENU_SKY_HALF_WIDTH, -MENU_SKY_HALF_HEIGHT,
                         MENU_PICTURE_Z);
        glDepthMask(GL_TRUE);
    }
    theTextureStore.bind(background);
    drawTexturedQuad(-MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_HALF_WIDTH,
                     -MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_Z);

    drawPlaced(MENU_LOGO, angle, logo);
    drawPlaced(MENU_LEFT_SHIP, angle, leftShipModel);
    drawPlaced(MENU_RIGHT_SHIP, angle, rightShipModel);

    // Connected, the other side's picture is the other player's choice.
    ControllerChoice shown[2] = {leftChoice, rightChoice};
    const NSession* net = application != nullptr ? application->net : nullptr;
    if (net != nullptr && net->connected()) shown[net->ownSide() == SIDE_LEFT ? 1 : 0] = net->remoteChoice();
    const struct {
        ControllerChoice choice;
        MMenuQuad quad;
    } pictures[2] = {{shown[0], MENU_LEFT_CHOICE_QUAD}, {shown[1], MENU_RIGHT_CHOICE_QUAD}};
    for (const auto& picture : pictures) {
        theTextureStore.bind(choiceImage(picture.choice));
        drawTexturedQuad(picture.quad.left, picture.quad.top, picture.quad.right, picture.quad.bottom,
                         picture.quad.z);
    }
    // A local game loads exactly what it always did: the font only comes
    // with a network game (whose session arrives after the first menu).
    if (net != nullptr && text == nullptr) text = new (std::nothrow) MText();
    if (net != nullptr && text != nullptr) drawNet();
}

void MMainMenu::drawNet() {
    const NSession* net = application->net;
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float w = static_cast<float>(viewport[2]);
    const float h = static_cast<float>(viewport[3]);
    // Placed by the 4:3 frame the menu's picture fills (the middle of a wide
    // window, the full width of a narrower one), where it has room: under
    // the title, and beside each controller picture.
    const float frame = h * 4.0f < w * 3.0f ? h : w * 3.0f / 4.0f;  // its height
    const float unit = frame / 480.0f;
    const float top = (h + frame) / 2.0f;  // its top edge, from the bottom
    const float lineHeight = 17.0f * unit;
    MText::beginOverlay();
    const std::string status = net->status();
    if (!status.empty()) text->drawCentred(status.c_str(), w / 2.0f, top - 106.0f * unit, lineHeight, 0.55f, 0.85f, 1.0f);
    if (!net->notice().empty()) {
        text->drawCentred(net->notice().c_str(), w / 2.0f, top - 128.0f * unit, lineHeight, 1.0f, 0.85f, 0.35f);
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
            if (!own) {
                const std::string trip = "Round trip " + std::to_string(net->rttMedian()) + " ms";
                text->drawCentred(trip.c_str(), x[side], top - 352.0f * unit, 13.0f * unit, 0.7f, 0.7f, 0.75f);
            }
        }
    }
    MText::endOverlay();
}
