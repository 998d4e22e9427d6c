// gcontrollerkinds.cpp: the table of controller kinds.
#include "game/gcontrollerkinds.h"

#include <cstring>  // Required for: strcmp
#include <new>      // Required for: std::nothrow

#include "game/gaicontroller.h"
#include "game/gcontroller.h"
#include "game/gmastercontroller.h"
#include "game/gskilledcontroller.h"

namespace {

GController* makeArrows(const GControllerContext& c) {
    return new (std::nothrow) GArrowKeysController(c.input, c.keys ? c.keys[SIDE_RIGHT] : GArrowKeysController::KEYS);
}
GController* makeWasd(const GControllerContext& c) {
    return new (std::nothrow) GWasdController(c.input, c.keys ? c.keys[SIDE_LEFT] : GWasdController::KEYS);
}
GController* makeComputer(const GControllerContext&) { return new (std::nothrow) GAiController(); }
template <class T>
GController* makeSkilled(const GControllerContext& c) {
    return new (std::nothrow) T(c.seed, c.side);
}

}  // namespace

const GControllerKind CONTROLLER_KINDS[] = {
    {CHOICE_ARROW_KEYS, "right keys", "menu1.bmp", false, makeArrows},
    {CHOICE_WASD, "left keys", "menu2.bmp", false, makeWasd},
    {CHOICE_COMPUTER, "computer", "menu3.bmp", true, makeComputer},
    {CHOICE_PILOT, "pilot", "menu4.bmp", true, makeSkilled<GPilotController>},
    {CHOICE_ACE, "ace", "menu5.bmp", true, makeSkilled<GAceController>},
    {CHOICE_MASTER, "master", "menu6.bmp", true, makeSkilled<GMasterController>},
};
static_assert(sizeof CONTROLLER_KINDS / sizeof CONTROLLER_KINDS[0] == CONTROLLER_KIND_COUNT,
              "one row per kind");

const GControllerKind* controllerKind(ControllerChoice choice) {
    if (choice < 0 || choice >= CONTROLLER_KIND_COUNT) return nullptr;
    return &CONTROLLER_KINDS[choice];
}

const GControllerKind* controllerKindNamed(const char* name) {
    if (name == nullptr) return nullptr;
    for (int32_t i = 0; i < CONTROLLER_KIND_COUNT; i++) {
        if (strcmp(CONTROLLER_KINDS[i].name, name) == 0) return &CONTROLLER_KINDS[i];
    }
    return nullptr;
}

GController* makeController(ControllerChoice choice, const GControllerContext& context) {
    const GControllerKind* kind = controllerKind(choice);
    return kind != nullptr ? kind->make(context) : nullptr;
}
