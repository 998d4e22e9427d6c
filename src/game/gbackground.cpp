// gbackground.cpp: the backdrop's timing.
#include "game/gbackground.h"

GBackground::GBackground(GWorld* world) : GObject(world) {
    delay = PERIOD_MS;
    everyFrame = 0;
    setTiming(PERIOD_MS, 0, false);
}
