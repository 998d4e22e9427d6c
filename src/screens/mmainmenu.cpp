// mmainmenu.cpp: choosing the controllers and starting a match.
#include "screens/mmainmenu.h"

#include <cmath>  // Required for: std::fmod

#include <GL/gl.h>

#include "app/happlication.h"
#include "assets/htexturestore.h"
#include "game/gcontrollerkinds.h"
#include "screens/texturedquad.h"

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

MMainMenu::MMainMenu(HApplication* application) : angle(0.0f), application(application) {
    background = theTextureStore.load("menu.jpg");
    for (int32_t i = 0; i < CHOICE_IMAGES; i++) choiceImages[i] = theTextureStore.load(CONTROLLER_KINDS[i].picture);
    logo.load("logo.3ds");
    leftShipModel.load("ship2.3ds");
    rightShipModel.load("ship.3ds");
}

// The members go in reverse order of declaration after this body: ship.3ds,
// ship2.3ds, then the logo.
MMainMenu::~MMainMenu() {
    theTextureStore.release(background);
    for (int32_t image : choiceImages) theTextureStore.release(image);
}

int32_t MMainMenu::choiceImage(ControllerChoice choice) const {
    return choice >= 0 && choice < CHOICE_IMAGES ? choiceImages[choice] : -1;
}

void MMainMenu::keyDown(uint8_t key) {
    switch (key) {
    case 13:  // Return
        if (pairAllowed(leftChoice, rightChoice)) {
            application->startMatch(leftChoice, rightChoice);
            return;  // this menu has been destroyed
        }
        break;
    case 27:
        application->quit();
        break;
    case 'r':  // nothing happens before the first match of the run has ended
        if (application->hasLastMatch()) {
            application->watchLastMatch();
            return;  // this menu has been destroyed
        }
        break;
    case 'o':
        leftChoice = nextChoice(leftChoice);
        break;
    case 'p':
        rightChoice = nextChoice(rightChoice);
        break;
    default:
        break;
    }
}

void MMainMenu::update(int32_t ms) {
    // Kept within one turn: unwrapped, the angle reaches 2^21 degrees after
    // about 4.7 hours of 1 ms passes, where adding 0.125 to a float no
    // longer changes it and the models would stop.
    angle = std::fmod(angle + ms * 0.125f, 360.0f);
    if (angle < 0.0f) angle += 360.0f;
}

void MMainMenu::draw() {
    // One translation for the whole menu: everything below sits 2.2 units
    // further away than its coordinates say.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.2f);

    theTextureStore.bind(background);
    drawTexturedQuad(-18.0f, 14.0f, 18.0f, -14.0f, -30.0f);

    glPushMatrix();
    glTranslatef(8.0f, -6.0f, -20.0f);
    glRotatef(angle, 0.0f, 1.0f, 0.0f);
    glScalef(0.4f, 0.4f, 0.4f);
    logo.draw();
    glPopMatrix();

    // The ships turn in opposite senses about mirrored, tilted axes (OpenGL
    // normalises the axes).
    glPushMatrix();
    glTranslatef(-7.0f, 0.0f, -20.0f);
    glRotatef(angle, 0.0f, 1.0f, 0.4f);
    glScalef(1.0f, 1.0f, 1.0f);
    leftShipModel.draw();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(7.0f, 0.0f, -20.0f);
    glRotatef(angle, 0.0f, -1.0f, -0.4f);
    glScalef(1.0f, 1.0f, 1.0f);
    rightShipModel.draw();
    glPopMatrix();

    theTextureStore.bind(choiceImage(leftChoice));
    drawTexturedQuad(-0.66f, -0.2f, -0.26f, -0.4f, 0.1f);
    theTextureStore.bind(choiceImage(rightChoice));
    drawTexturedQuad(0.26f, -0.2f, 0.66f, -0.4f, 0.1f);
}
