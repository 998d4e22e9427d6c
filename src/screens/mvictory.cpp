// mvictory.cpp: showing who won.
#include "screens/mvictory.h"

#include <GL/gl.h>

#include "app/happlication.h"

MVictory::MVictory(HApplication* application, const MatchResult& result)
    : result(result), application(application), image(-1), elapsed(0) {}

MVictory::~MVictory() {}

void MVictory::keyDown(uint8_t key) {
    (void)key;  // every key counts
    if (elapsed > 1000) {
        application->showMenu();
        return;  // this screen has been destroyed
    }
}

void MVictory::update(int32_t ms) { elapsed += ms; }

void MVictory::draw() {
    // Placeholder until the artwork exists: a green panel.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -2.2f);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.1f, 0.6f, 0.2f);
    glBegin(GL_QUADS);
    glVertex3f(-1.1f, 1.0f, 0.0f);
    glVertex3f(1.1f, 1.0f, 0.0f);
    glVertex3f(1.1f, -1.0f, 0.0f);
    glVertex3f(-1.1f, -1.0f, 0.0f);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}
