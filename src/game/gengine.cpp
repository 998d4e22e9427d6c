// gengine.cpp: the match screen.
#include "game/gengine.h"

#include <GL/gl.h>

#include "app/happlication.h"

GEngine::GEngine(HApplication* application)
    : application(application), leftChoice(-1), rightChoice(-1) {}

GEngine::~GEngine() {}

void GEngine::setUpMatch(ControllerChoice left, ControllerChoice right) {
    leftChoice = left;
    rightChoice = right;
}

void GEngine::keyDown(uint8_t key) {
    if (key == 27) {
        application->showMenu();
        return;  // this match has been destroyed
    }
}

void GEngine::update(int32_t ms) { (void)ms; }

void GEngine::draw() {
    // Placeholder until the world exists: a dark red panel.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.2f);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.6f, 0.1f, 0.1f);
    glBegin(GL_QUADS);
    glVertex3f(-1.1f, 1.0f, 0.0f);
    glVertex3f(1.1f, 1.0f, 0.0f);
    glVertex3f(1.1f, -1.0f, 0.0f);
    glVertex3f(-1.1f, -1.0f, 0.0f);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}
