// gplayback.cpp: a recorded match, played again and compared.
#include "game/gplayback.h"

#include <new>  // Required for: std::nothrow

#include "game/gmatch.h"
#include "game/gship.h"

GLookAhead::GLookAhead(uint32_t ticks, uint32_t stopAtMs) : ticks(ticks), stopAtMs(stopAtMs) {
    if (ticks > 0) {
        saved.reset(new (std::nothrow) GMatchState);
        failed = saved == nullptr;
    }
}

bool GLookAhead::mayStep(GMatch& match) {
    const uint32_t next = match.world.elapsedMs + 1;
    if (failed || next > stopAtMs) return false;
    if (saved && next % GShip::PERIOD_MS == 0) {
        // A match that cannot go back cannot come out as it would have.
        failed = !match.save(*saved);
        if (!failed) {
            match.advance(static_cast<int32_t>(ticks * GShip::PERIOD_MS));
            failed = !match.restore(*saved);
        }
        if (failed) return false;
    }
    return true;
}

GPlayback playBack(const GReplay& replay, uint32_t rollbackTicks, GEventListener* heard) {
    GPlayback out;
    GMatch match;
    if (!match.setUpReplay(replay)) return out;
    GLookAhead gate(rollbackTicks, replay.endMs);
    if (heard == nullptr) {
        match.advance(INT32_MAX, &gate);
    } else {
        while (match.advance(1000, &gate) > 0) heard->hear(match.world.events, match.world);
    }
    const GWorld& world = match.world;
    out.endMs = world.over ? world.endMs : world.elapsedMs;
    out.finished = world.over;
    out.leftHealth = world.leftShip()->health;
    out.rightHealth = world.rightShip()->health;
    out.hash = world.stateHash();
    out.matches = !gate.failed && out.endMs == replay.endMs && out.finished == (replay.end == vkr::END_FINISHED) &&
                  out.leftHealth == replay.leftHealth && out.rightHealth == replay.rightHealth &&
                  out.hash == replay.hash;
    return out;
}
