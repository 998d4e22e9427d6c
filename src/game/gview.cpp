// gview.cpp: camera, scene and health bars.
#include "game/gview.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/hmodel.h"
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

    for (int32_t i = 0; i < world->objectCount; i++) {
        if (world->objects[i] != nullptr) world->objects[i]->draw();
    }

    GShip* right = world->rightShip();
    GShip* left = world->leftShip();
    if (right == nullptr || left == nullptr) return;  // no match set up

    glPushMatrix();
    glTranslated(barOffset(right->health), BAR_Y, BAR_Z);
    if (world->rightHealthBar != nullptr) world->rightHealthBar->draw();
    glPopMatrix();

    glPushMatrix();
    glTranslated(-barOffset(left->health), BAR_Y, BAR_Z);
    if (world->leftHealthBar != nullptr) world->leftHealthBar->draw();
    glPopMatrix();
}
