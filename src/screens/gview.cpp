// gview.cpp: camera, scene and health bars.
#include "screens/gview.h"

#include <algorithm>  // Required for: std::max, std::min
#include <cmath>      // Required for: std::cos, std::sin
#include <new>        // Required for: std::nothrow

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

// How far a bar reaches outward from its origin (along x for the right
// bar, -x for the left): its outer end.
double barOuterEnd(const HModel& bar, double outward) {
    double outer = -1e30;
    for (const HMesh& mesh : bar.data.meshes) {
        for (int32_t i = 0; i < mesh.vertexCount; i++) outer = std::max(outer, outward * mesh.vertices[i].x);
    }
    return outer;
}

void loadProjection(const double* matrix) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(matrix);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

GView::GView()
    : fieldReachX(0.0),
      fieldReachY(0.0),
      rightShipModel(nullptr),
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
    fieldReachX = fieldReachY = 0.0;
    for (const HModel* ship : {rightShipModel, leftShipModel}) {
        if (ship != nullptr) widenFieldReach(ship->data, fieldReachX, fieldReachY);
    }
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

// The ship at the field's top right corner (the field is symmetric, and so
// is the view), at yaw 0 and 180, rocked through the whole wobble. The turns
// are the ones drawMovable makes: the yaw first, then the rock about x.
void GView::widenFieldReach(const HModelData& data, double& reachX, double& reachY) {
    const double toRadians = M_PI / 180.0;
    constexpr int32_t rockLimit = static_cast<int32_t>(GShip::WOBBLE_LIMIT) + 1;
    // Once for every vertex, not for each: a match's screen is built while
    // the player waits for its first sound.
    double cosOf[2 * rockLimit + 1], sinOf[2 * rockLimit + 1];
    for (int32_t rock = -rockLimit; rock <= rockLimit; rock++) {
        cosOf[rock + rockLimit] = std::cos(rock * toRadians);
        sinOf[rock + rockLimit] = std::sin(rock * toRadians);
    }
    for (const HMesh& mesh : data.meshes) {
        for (int32_t i = 0; i < mesh.vertexCount; i++) {
            const Vec3 v = mesh.vertices[i];
            for (double yaw : {1.0, -1.0}) {  // cos of 0 and 180 degrees: x and z flip
                const double x = yaw * v.x, z0 = yaw * v.z;
                for (int32_t rock = -rockLimit; rock <= rockLimit; rock++) {
                    const double c = cosOf[rock + rockLimit], s = sinOf[rock + rockLimit];
                    const double y = v.y * c - z0 * s, z = v.y * s + z0 * c;
                    const double depth = FIELD_DEPTH - z;
                    if (depth <= 0.0) continue;  // a model reaching behind the eye: nothing sensible to fit
                    reachX = std::max(reachX, (GShip::FIELD_HALF_WIDTH + x) / depth);
                    reachY = std::max(reachY, (GShip::FIELD_HALF_HEIGHT + y) / depth);
                }
            }
        }
    }
}

double GView::barShare(int32_t health) {
    if (health <= 0) return 0.0;
    if (health >= GShip::FULL_HEALTH) return 1.0;
    return static_cast<double>(health) / GShip::FULL_HEALTH;
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
    // The projection as found, and the match's own when the window is too
    // narrow for the field: the same but for x and y in clip space, scaled
    // by `zoom` (the first two rows; column-major). The depths stay as they
    // were, so the backdrop and the bars, drawn under the one found, meet
    // the field in the depth buffer as before.
    double found[16], field[16];
    glGetDoublev(GL_PROJECTION_MATRIX, found);
    double zoom = 1.0;
    // Half the window's width and height at unit depth: 1 / P00 and 1 / P11
    // of a perspective projection.
    if (found[0] > 0.0 && fieldReachX > 1.0 / found[0]) zoom = FIELD_FILL / (found[0] * fieldReachX);
    if (found[5] > 0.0 && fieldReachY > 1.0 / found[5]) zoom = std::min(zoom, FIELD_FILL / (found[5] * fieldReachY));
    for (int32_t i = 0; i < 16; i++) field[i] = i % 4 < 2 ? found[i] * zoom : found[i];
    const bool widened = zoom < 1.0;
    if (widened) loadProjection(field);

    glLoadIdentity();
    // Eye at (0, 0, eyeZ) looking down -z with y up: +x, the right ship's
    // side, is on the right of the screen.
    gluLookAt(0.0, 0.0, eyeZ, 0.0, 0.0, eyeZ - 200.0, 0.0, 1.0, 0.0);
    if (world == nullptr) {
        if (widened) loadProjection(found);
        return;
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
        case GObject::BACKGROUND:
            // Far behind the field: it keeps filling the window as it did,
            // where the widened view would show the sky round it.
            if (widened) loadProjection(found);
            drawBackdrop();
            if (widened) loadProjection(field);
            break;
        case GObject::OTHER:
            break;
        }
    }

    if (widened) loadProjection(found);
    drawBars(found);
    if (widened) loadProjection(field);
    effects.draw(*world);
    if (widened) loadProjection(found);
}

void GView::drawBars(const double* projection) {
    const GShip* right = world->rightShip();
    const GShip* left = world->leftShip();
    if (right == nullptr || left == nullptr) return;  // no match set up

    // The window's half-width at the bars' depth (for a bar in the plane of
    // its origin; one with depth of its own is squeezed towards the edge as
    // seen at that plane).
    const double edge = projection[0] > 0.0 ? -BAR_Z / projection[0] : 1e30;
    // The bars stand nearer than the field, over its top edge, but must
    // never hide a ship there: their depth, 0.9985 at z = -40, becomes
    // 0.9994, behind anything in the field (0.9992 at z = -55) and in front
    // of the backdrop on the far plane (1). Their place on the screen, and
    // so every pixel of a frame without a ship under them, is untouched.
    glDepthRange(BAR_DEPTH_NEAR, 1.0);
    for (GSide side : {SIDE_RIGHT, SIDE_LEFT}) {
        HModel* bar = side == SIDE_RIGHT ? rightHealthBar : leftHealthBar;
        const double share = barShare(side == SIDE_RIGHT ? right->health : left->health);
        if (bar == nullptr || share <= 0.0) continue;  // not a pixel of it at 0
        const double outward = side == SIDE_RIGHT ? 1.0 : -1.0;
        glPushMatrix();
        glTranslated(outward * BAR_X_AT_FULL, BAR_Y, BAR_Z);
        if (share < 1.0) {
            // Squeezed along x about the point of the bar that stands at the
            // window's edge (or its own outer end, inside a wide window):
            // what showed between its inner end and that point at full
            // health now shows over `share` of that length. At full health
            // the transform is the one it always was, to the last bit.
            const double pivot = outward * std::min(edge - BAR_X_AT_FULL, barOuterEnd(*bar, outward));
            glTranslated(pivot, 0.0, 0.0);
            glScaled(share, 1.0, 1.0);
            glTranslated(-pivot, 0.0, 0.0);
        }
        bar->draw();
        if (effects.flashing(side)) {
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
