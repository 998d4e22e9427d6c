// gmovable.cpp: the movement step and the model draw.
#include "game/gmovable.h"

#include <GL/gl.h>

#include "assets/hmodel.h"
#include "game/gcontroller.h"
#include "game/gworld.h"

GMovable::GMovable(GWorld* world, HModel* model)
    : GObject(world),
      controller(nullptr),
      model(model),
      up(false),
      down(false),
      left(false),
      right(false),
      fire(false),
      response(1.0f),
      speed(0.0f),
      mass(1.0f) {}

GMovable::~GMovable() { delete controller; }

void GMovable::tick() {
    if (controller != nullptr) controller->control();

    thrust = Vec3();
    previousPosition = position;
    // Later tests overwrite earlier ones: down beats up, right beats left.
    if (up) thrust.y = speed;
    if (down) thrust.y = -speed;
    if (left) thrust.x = -speed;
    if (right) thrust.x = speed;

    const float k = response;
    const float keep = 1.0f - k;
    velocity.x = keep * velocity.x + k * thrust.x;
    velocity.y = keep * velocity.y + k * thrust.y;
    velocity.z = keep * velocity.z;  // no thrust along z: it only decays

    position.x += velocity.x;
    position.y += velocity.y;
    position.z += velocity.z;

    if (world != nullptr) world->checkCollisions(this);
}

void GMovable::draw() {
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glRotated(static_cast<double>(rotation.x), 1.0, 0.0, 0.0);
    glRotated(static_cast<double>(rotation.y), 0.0, 1.0, 0.0);
    glRotated(static_cast<double>(rotation.z), 0.0, 0.0, 1.0);
    if (model != nullptr) model->draw();
    glPopMatrix();
}

void GMovable::setController(GController* newController) {
    if (newController == controller) return;
    delete controller;
    controller = newController;
}

bool GMovable::collide(GObject* other) {
    (void)other;
    return false;
}

void GMovable::damage(int32_t amount) { (void)amount; }
