// gview.cpp: camera, scene and health bars.
#include "screens/gview.h"

#include <new>  // Required for: std::nothrow

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/hmodel.h"
#include "assets/htexturestore.h"
#include "game/gprojectile.h"
#include "game/gship.h"
#include "game/gworld.h"
#include "screens/texturedquad.h"

namespace {

// The last letter picks the reader: 's' 3DS, 't' the one-triangle text
// model.
HModel* loadModel(const char* path) {
    HModel* model = new (std::nothrow) HModel();
    if (model != nullptr) model->load(path);  // failures leave an empty model
    return model;
}

}  // namespace

GView::GView()
    : rightShipModel(nullptr),
      leftShipModel(nullptr),
      rightHealthBar(nullptr),
      leftHealthBar(nullptr),
      rightShotModel(nullptr),
      leftShotModel(nullptr),
      backdrop(-1),
      sky(-1),
      world(nullptr),
      eyeZ(0.0) {}

GView::~GView() {
    theTextureStore.release(backdrop);
    theTextureStore.release(sky);
    delete rightShipModel;
    delete leftShipModel;
    delete rightHealthBar;
    delete leftHealthBar;
    delete rightShotModel;
    delete leftShotModel;
}

void GView::loadModels() {
    rightShipModel = loadModel("ship.3ds");
    leftShipModel = loadModel("ship2.3ds");
    rightHealthBar = loadModel("lives_right.txt");
    leftHealthBar = loadModel("lives_left.txt");
    rightShotModel = loadModel("zat.3ds");
    leftShotModel = loadModel("zat2.3ds");
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        const HModel* bar = side == SIDE_LEFT ? leftHealthBar : rightHealthBar;
        if (bar == nullptr || bar->data.materials.empty()) continue;
        const uint8_t* c = bar->data.materials[0].colour;
        effects.setColour(side, c[0], c[1], c[2]);
    }
}

void GView::loadBackdrop() {
    backdrop = theTextureStore.load(BACKDROP_PICTURE);
    sky = theTextureStore.load(SKY_PICTURE);
}

bool GView::setWorld(const GWorld* newWorld) {
    world = newWorld;
    return true;
}

double GView::barOffset(int32_t health) {
    // The difference is taken in whole numbers, as the health is, and only
    // then scaled. int64 keeps it defined for any health.
    const int64_t lost = int64_t(GShip::FULL_HEALTH) - health;
    return BAR_X_AT_FULL + static_cast<double>(lost) * BAR_SLIDE_PER_POINT;
}

void GView::ease(GSide side, Vec3 jump) {
    if (side == SIDE_LEFT || side == SIDE_RIGHT) eased[side] = add(eased[side], jump);
}

void GView::drawMovable(const GMovable& movable, float yaw, HModel* model, Vec3 offset) {
    glPushMatrix();
    glTranslatef(movable.position.x + offset.x, movable.position.y + offset.y, movable.position.z + offset.z);
    glRotated(static_cast<double>(movable.rotation.x), 1.0, 0.0, 0.0);
    glRotated(static_cast<double>(yaw), 0.0, 1.0, 0.0);
    glRotated(static_cast<double>(movable.rotation.z), 0.0, 0.0, 1.0);
    if (model != nullptr) model->draw();
    glPopMatrix();
}

void GView::drawBackdrop() const {
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    if (sky >= 0) {
        // Tested against what is drawn already, but leaving no depth behind:
        // the picture drawn next covers it wherever it reaches, as if the sky
        // were not there.
        glDepthMask(GL_FALSE);
        theTextureStore.bind(sky);
        drawTexturedSurround(-SKY_HALF_WIDTH, SKY_HALF_HEIGHT, SKY_HALF_WIDTH, -SKY_HALF_HEIGHT, -55.0f, 43.0f, 55.0f,
                             -43.0f, -100.0f);
        glDepthMask(GL_TRUE);
    }
    theTextureStore.bind(backdrop);
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

void GView::draw() {
    glLoadIdentity();
    // Eye at (0, 0, eyeZ) looking down -z with y up: +x, the right ship's
    // side, is on the right of the screen.
    gluLookAt(0.0, 0.0, eyeZ, 0.0, 0.0, eyeZ - 200.0, 0.0, 1.0, 0.0);
    if (world == nullptr) return;

    // The backdrop first, on the far plane behind everything, and without
    // the depth test: nothing can be behind it, so testing it only cost
    // the software renderer a read of the depth buffer for every pixel of
    // the window. Drawn after the ships, as the table has it, it was also
    // tested against them. Every pixel comes out as it did.
    for (int32_t i = 0; i < world->objectCount; i++) {
        const GObject* object = world->objects[i];
        if (object == nullptr || object->kind() != GObject::BACKGROUND) continue;
        glDisable(GL_DEPTH_TEST);
        drawBackdrop();
        glEnable(GL_DEPTH_TEST);
        break;
    }
    for (int32_t i = 0; i < world->objectCount; i++) {
        const GObject* object = world->objects[i];
        if (object == nullptr) continue;
        switch (object->kind()) {
        case GObject::SHIP: {
            const GShip* ship = object->asShip();
            // Broken up: the wreck's pieces are the effects'.
            if (ship->health <= 0) break;
            const GSide side = world->sideOf(ship);
            Vec3 offset;
            if (side == SIDE_LEFT || side == SIDE_RIGHT) {
                offset = eased[side];
                const Vec3 kept(offset.x * EASE_KEEP, offset.y * EASE_KEEP, offset.z * EASE_KEEP);
                // Gone once under a hundredth of a unit, not in ever
                // smaller steps.
                eased[side] = std::fabs(kept.x) + std::fabs(kept.y) + std::fabs(kept.z) < 0.01f ? Vec3() : kept;
            }
            HModel* model = side == SIDE_LEFT ? leftShipModel : side == SIDE_RIGHT ? rightShipModel : nullptr;
            drawMovable(*ship, ship->yaw, model, offset);
            break;
        }
        case GObject::SHOT: {
            const GProjectile* shot = static_cast<const GProjectile*>(object);
            const GSide side = world->sideOf(shot->owner);
            drawMovable(*shot, shot->rotation.y,
                        side == SIDE_LEFT ? leftShotModel : side == SIDE_RIGHT ? rightShotModel : nullptr);
            break;
        }
        case GObject::BACKGROUND:  // drawn first, above
            break;
        case GObject::OTHER:
            break;
        }
    }

    const GShip* right = world->rightShip();
    const GShip* left = world->leftShip();
    if (right == nullptr || left == nullptr) return;  // no match set up

    // The bars stand nearer than the field, over its top edge, but must
    // never hide a ship there: their depth, 0.9985 at z = -40, becomes
    // 0.9994, behind anything in the field (0.9992 at z = -55) and in front
    // of the backdrop on the far plane (1). Their place on the screen, and
    // so every pixel of a frame without a ship under them, is untouched.
    glDepthRange(BAR_DEPTH_NEAR, 1.0);
    for (GSide side : {SIDE_RIGHT, SIDE_LEFT}) {
        HModel* bar = side == SIDE_RIGHT ? rightHealthBar : leftHealthBar;
        const double x = side == SIDE_RIGHT ? barOffset(right->health) : -barOffset(left->health);
        glPushMatrix();
        glTranslated(x, BAR_Y, BAR_Z);
        if (bar != nullptr) bar->draw();
        if (bar != nullptr && effects.flashing(side)) {
            // Drawn again over itself, its colour added: the surface at the
            // same depth passes GL_LEQUAL. In the effects' own state, so
            // that the driver meets no state it has not met already.
            GEffects::beginLight();
            bar->draw();
            GEffects::endLight();
        }
        glPopMatrix();
    }
    glDepthRange(0.0, 1.0);
    effects.draw(*world);
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
