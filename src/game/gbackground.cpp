// gbackground.cpp: the backdrop quad.
#include "game/gbackground.h"

#include <GL/gl.h>

#include "assets/htexturestore.h"
#include "screens/texturedquad.h"

GBackground::GBackground(GWorld* world, bool picture) : GObject(world), texture(-1), sky(-1) {
    delay = PERIOD_MS;
    everyFrame = 0;
    setTiming(PERIOD_MS, 0, false);
    if (picture) {
        texture = theTextureStore.load(PICTURE);
        sky = theTextureStore.load(SKY_PICTURE);
    }
}

GBackground::~GBackground() {
    theTextureStore.release(texture);
    theTextureStore.release(sky);
}

void GBackground::draw() {
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    if (sky >= 0) {
        // Tested against what is drawn already, but leaving no depth behind:
        // the picture drawn next covers it wherever it reaches, as if the sky
        // were not there.
        glDepthMask(GL_FALSE);
        theTextureStore.bind(sky);
        drawTexturedQuad(-SKY_HALF_WIDTH, SKY_HALF_HEIGHT, SKY_HALF_WIDTH, -SKY_HALF_HEIGHT, -100.0f);
        glDepthMask(GL_TRUE);
    }
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
