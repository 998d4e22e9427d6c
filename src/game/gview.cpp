// gview.cpp: camera, scene and health bars.
#include "game/gview.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "game/gengine.h"
#include "game/gship.h"

GView::GView() : world(nullptr), eyeZ(0.0) {}

GView::~GView() {}

bool GView::setWorld(GEngine* newWorld) {
    world = newWorld;
    return true;
}

double GView::barOffset(int32_t health) {
    // The difference is taken in whole numbers, as the health is, and only
    // then scaled. int64 keeps it defined for any health.
    const int64_t lost = int64_t(GShip::FULL_HEALTH) - health;
    return BAR_X_AT_FULL + static_cast<double>(lost) * BAR_SLIDE_PER_POINT;
}

void GView::draw() {
    glLoadIdentity();
    // Eye at (0, 0, eyeZ) looking down -z with y up: +x, the right ship's
    // side, is on the right of the screen.
    gluLookAt(0.0, 0.0, eyeZ, 0.0, 0.0, eyeZ - 200.0, 0.0, 1.0, 0.0);
    if (world == nullptr) return;

    const GWorld& objects = world->world;
    for (int32_t i = 0; i < objects.objectCount; i++) {
        if (objects.objects[i] != nullptr) objects.objects[i]->draw();
    }

    GShip* right = world->rightShip();
    GShip* left = world->leftShip();
    if (right == nullptr || left == nullptr) return;  // no match set up

    // The bars stand nearer than the field, over its top edge, but must
    // never hide a ship there: their depth, 0.9985 at z = -40, becomes
    // 0.9994, behind anything in the field (0.9992 at z = -55) and in front
    // of the backdrop on the far plane (1). Their place on the screen, and
    // so every pixel of a frame without a ship under them, is untouched.
    glDepthRange(BAR_DEPTH_NEAR, 1.0);
    glPushMatrix();
    glTranslated(barOffset(right->health), BAR_Y, BAR_Z);
    if (world->rightHealthBar != nullptr) world->rightHealthBar->draw();
    glPopMatrix();

    glPushMatrix();
    glTranslated(-barOffset(left->health), BAR_Y, BAR_Z);
    if (world->leftHealthBar != nullptr) world->leftHealthBar->draw();
    glPopMatrix();
    glDepthRange(0.0, 1.0);
}

void GView::drawMark(int32_t texture) {
    if (texture < 0) return;
    // Just in front of the eye, so that nothing in the field covers it; low
    // on the left, clear of the health bars and of the ships' field.
    glLoadIdentity();
    theTextureStore.bind(texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(MARK_LEFT, MARK_TOP, MARK_Z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(MARK_LEFT + MARK_WIDTH, MARK_TOP, MARK_Z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(MARK_LEFT + MARK_WIDTH, MARK_TOP - MARK_HEIGHT, MARK_Z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(MARK_LEFT, MARK_TOP - MARK_HEIGHT, MARK_Z);
    glEnd();
}
