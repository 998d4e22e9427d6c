// greplaycontroller.cpp: noting flags down and handing them back.
#include "game/greplaycontroller.h"

#include "game/gmovable.h"

uint8_t packFlags(const GMovable& target) {
    return static_cast<uint8_t>((target.up ? vkr::FLAG_UP : 0) | (target.down ? vkr::FLAG_DOWN : 0) |
                                (target.left ? vkr::FLAG_LEFT : 0) | (target.right ? vkr::FLAG_RIGHT : 0) |
                                (target.fire ? vkr::FLAG_FIRE : 0));
}

void unpackFlags(uint8_t flags, GMovable& target) {
    target.up = (flags & vkr::FLAG_UP) != 0;
    target.down = (flags & vkr::FLAG_DOWN) != 0;
    target.left = (flags & vkr::FLAG_LEFT) != 0;
    target.right = (flags & vkr::FLAG_RIGHT) != 0;
    target.fire = (flags & vkr::FLAG_FIRE) != 0;
}

GController* steeringOf(GController* controller) {
    GRecordingController* recorder = dynamic_cast<GRecordingController*>(controller);
    return recorder != nullptr ? recorder->inner : controller;
}

GRecordingController::GRecordingController(GController* inner, GMovable* target, GFlagStream* into)
    : GController(inner != nullptr ? inner->world : nullptr, target), inner(inner), into(into) {}

GRecordingController::~GRecordingController() { delete inner; }

void GRecordingController::control() {
    if (inner != nullptr) inner->control();
    if (target != nullptr && into != nullptr) into->append(packFlags(*target));
}

GReplayController::GReplayController(GWorld* world, GMovable* target, const GFlagStream* flags)
    : GController(world, target), cursor(flags) {}

void GReplayController::control() {
    const uint8_t flags = cursor.next();
    if (target != nullptr) unpackFlags(flags, *target);
}
