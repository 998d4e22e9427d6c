// gbackground.cpp: the backdrop quad.
#include "game/gbackground.h"

#include <GL/gl.h>

#include "assets/htexturestore.h"

GBackground::GBackground(GWorld* world, bool picture) : GObject(world), texture(-1) {
    delay = PERIOD_MS;
    everyFrame = 0;
    setTiming(PERIOD_MS, 0, false);
    if (picture) texture = theTextureStore.load(PICTURE);
}

GBackground::~GBackground() { theTextureStore.release(texture); }

void GBackground::draw() {
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    theTextureStore.bind(texture);
    glBegin(GL_POLYGON);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-55.0f, 43.0f, -100.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(55.0f, 43.0f, -100.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(55.0f, -43.0f, -100.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-55.0f, -43.0f, -100.0f);
    glEnd();
    glPopMatrix();
}
