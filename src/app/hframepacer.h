// hframepacer.h: when the main loop's next frame is due, and how long to
// sleep until then.
//
// Frames are due on a fixed schedule of `limit` a second, kept in whole
// milliseconds with the remainder carried, so that 120 a second is 8, 8
// and 9 ms and not a rounded 125 or 111. A frame later than its due time
// starts the schedule afresh from then: a slow stretch is never followed by
// a burst of frames to catch up.
//
// The sleep is a backstop as much as a limit. Where vsync blocks each swap
// until a refresh at or below the limit, every frame comes late and the
// loop never sleeps; where a driver claims vsync and swaps at once anyway
// (a software renderer under a virtual X server does), the sleep alone
// keeps the limit.
#pragma once

#include <cstdint>

// Milliseconds to sleep before the next pass, when the clock reads `now` and
// the next frame is due at `due` (both SDL_GetTicks readings; the clock may
// wrap between them). 0 when the frame is due or late, or when `limit` is 0
// or less: no limit. Never more than one frame at `limit`, rounded up, so a
// due time far off (a clock that stepped back) cannot stall the loop. With
// `vsync`, a millisecond less: the swap waits the rest for the refresh, and
// a sleep rounded to whole milliseconds would otherwise miss one at a
// refresh rate equal to the limit.
int32_t framePauseMs(uint32_t now, uint32_t due, int32_t limit, bool vsync);

class HFramePacer {
public:
    // `limit` frames a second, 0 for none; the first frame is due at `now`.
    HFramePacer(int32_t limit, bool vsync, uint32_t now);

    // A frame was drawn and the clock reads `now`: the next one becomes due.
    void drawn(uint32_t now);
    // framePauseMs for the next frame.
    int32_t pauseMs(uint32_t now) const { return framePauseMs(now, due, limit, vsync); }

private:
    int32_t limit;
    bool vsync;
    uint32_t due;
    int32_t carry;  // what 1000 / limit left over, in 1/limit ms; under limit
};
