// hframepacer.cpp: the frame schedule and the sleep until the next frame.
#include "app/hframepacer.h"

int32_t framePauseMs(uint32_t now, uint32_t due, int32_t limit, bool vsync) {
    if (limit <= 0) return 0;
    const int32_t frameMs = (1000 + limit - 1) / limit;
    int32_t pause = static_cast<int32_t>(due - now);
    if (vsync) pause--;
    return pause < 0 ? 0 : pause > frameMs ? frameMs : pause;
}

HFramePacer::HFramePacer(int32_t limit, bool vsync, uint32_t now) : limit(limit), vsync(vsync), due(now), carry(0) {}

void HFramePacer::drawn(uint32_t now) {
    if (limit <= 0) {
        due = now;
        return;
    }
    // One frame is 1000 / limit ms: the whole part now, the remainder
    // carried until it makes up a millisecond.
    due += static_cast<uint32_t>(1000 / limit);
    carry += 1000 % limit;
    if (carry >= limit) {
        carry -= limit;
        due++;
    }
    if (static_cast<int32_t>(due - now) < 0) {
        due = now;
        carry = 0;
    }
}
