// gobject.cpp: queuing for deletion and leaving the world.
#include "game/gobject.h"

#include "game/gworld.h"

GObject::GObject(GWorld* world) : world(world), dying(false), flags(0) {}

GObject::~GObject() {}

void GObject::kill() {
    if (dying) return;
    dying = true;
    if (world == nullptr) {
        remove();
        return;  // deleted
    }
    world->queueDeletion(this);
}

void GObject::remove() {
    if (world != nullptr) world->removeObject(this);
    delete this;
}
