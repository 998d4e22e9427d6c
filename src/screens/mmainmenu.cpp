// mmainmenu.cpp: choosing the controllers and starting a match.
#include "screens/mmainmenu.h"

#include <GL/gl.h>

#include "app/happlication.h"

ControllerChoice leftChoice = CHOICE_WASD;
ControllerChoice rightChoice = CHOICE_ARROW_KEYS;

static ControllerChoice nextChoice(ControllerChoice choice) {
    return choice == CHOICE_COMPUTER ? CHOICE_ARROW_KEYS : choice + 1;
}

MMainMenu::MMainMenu(HApplication* application) : angle(0.0f), application(application) {}

MMainMenu::~MMainMenu() {}

void MMainMenu::keyDown(uint8_t key) {
    switch (key) {
    case 13:  // Return: two humans may never share one set of keys
        if (leftChoice != rightChoice || leftChoice == CHOICE_COMPUTER) {
            application->startMatch(leftChoice, rightChoice);
            return;  // this menu has been destroyed
        }
        break;
    case 27:
        application->quit();
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

void MMainMenu::update(int32_t ms) { angle += ms * 0.125f; }

void MMainMenu::draw() {
    // Placeholder until the artwork exists: a dark blue panel.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.2f);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.1f, 0.2f, 0.6f);
    glBegin(GL_QUADS);
    glVertex3f(-1.1f, 1.0f, 0.0f);
    glVertex3f(1.1f, 1.0f, 0.0f);
    glVertex3f(1.1f, -1.0f, 0.0f);
    glVertex3f(-1.1f, -1.0f, 0.0f);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}
