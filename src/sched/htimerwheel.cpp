// htimerwheel.cpp: see htimerwheel.h for the design.
#include "sched/htimerwheel.h"

HTimerWheel::HTimerWheel() : cursor(nullptr), cursorKept(true), advancing(false), current(FIRST_BUCKET) {}

HTimerWheel::~HTimerWheel() {}

bool HTimerWheel::insert(HTimedObject*) { return false; }

bool HTimerWheel::remove(HTimedObject*) { return false; }

void HTimerWheel::advance(int32_t) {}

void HTimerWheel::runEveryFrame(int32_t) {}
void HTimerWheel::processBucket(int32_t) {}
void HTimerWheel::rearmParked() {}
void HTimerWheel::reschedule(HTimedObject*, int32_t, int64_t) {}
