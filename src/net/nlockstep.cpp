// nlockstep.cpp: both sides' flags by tick, acknowledgements and hashes.
#include "net/nlockstep.h"

#include <algorithm>

void NLockstep::start(uint8_t delay) {
    *this = NLockstep();
    running = true;
    delayTicks = delay > vkn::MAX_DELAY ? vkn::MAX_DELAY : delay;
    // The first `delay` ticks hold nothing on both sides by agreement, so
    // neither ever sends them.
    ownNewest = delayTicks;
    remoteUpTo = delayTicks;
    remoteAck = delayTicks;
    for (uint32_t tick = 1; tick <= delayTicks; tick++) remoteTick[tick % RING] = tick;
}

uint8_t NLockstep::ownTick(uint32_t tick, uint8_t intent) {
    const uint32_t kept = tick + delayTicks;
    if (kept > ownNewest) {
        own[kept % RING] = intent & (vkn::FLAG_MASK | vkn::PAUSE_BIT);
        ownNewest = kept;
    }
    return ownFlags(tick);
}

uint8_t NLockstep::ownFlags(uint32_t tick) const {
    if (tick <= delayTicks || tick > ownNewest || ownNewest - tick >= RING) return 0;
    return own[tick % RING];
}

bool NLockstep::hasRemote(uint32_t tick) const { return started() && tick <= remoteUpTo; }

uint8_t NLockstep::remoteOrGuess(uint32_t tick) const {
    if (hasRemote(tick)) return remoteFlags(tick);
    // Players hold a key for many ticks, so the newest flags are the best
    // guess; a pause is never guessed, it is only ever real.
    return remoteFlags(remoteUpTo) & vkn::FLAG_MASK;
}

int32_t NLockstep::lead256() const {
    if (!gapMeasured || !remoteGapHeard) return 0;
    return (ownGap - remoteGap) / 2;
}

uint8_t NLockstep::remoteFlags(uint32_t tick) const {
    if (!hasRemote(tick) || remoteTick[tick % RING] != tick) return 0;
    return remote[tick % RING];
}

bool NLockstep::makeInput(NMessage& out) const {
    if (!started() || ownNewest == 0) return false;
    out = NMessage();
    out.kind = vkn::Kind::INPUT;
    // With everything acknowledged the newest tick goes again, so that the
    // acknowledgement and the hash still travel.
    const uint32_t from = std::min(remoteAck + 1, ownNewest);
    const uint32_t to = std::min(ownNewest, from + vkn::MAX_INPUTS - 1);
    out.firstTick = from;
    out.count = static_cast<uint8_t>(to - from + 1);
    for (uint32_t tick = from; tick <= to; tick++) out.flags[tick - from] = ownFlags(tick);
    out.ack = remoteUpTo;
    const Check* newest = nullptr;
    for (const Check& check : ownChecks) {
        if (check.tick != 0 && (newest == nullptr || check.tick > newest->tick)) newest = &check;
    }
    if (newest != nullptr) {
        out.checkTick = newest->tick;
        out.checkHash = newest->hash;
    }
    out.gap = static_cast<int16_t>(std::clamp(ownGap, -32767, 32767));
    return true;
}

bool NLockstep::takeInput(const NMessage& in, std::string& why) {
    if (!started()) {
        why = "input outside a match";
        return false;
    }
    if (in.ack > ownNewest) {
        why = "acknowledges tick " + std::to_string(in.ack) + ", never sent";
        return false;
    }
    const uint32_t last = in.firstTick + in.count - 1;
    // A game plays at most WINDOW ticks past our flags it has, and sends its
    // own for t + delay at most: anything further was never read from a
    // player.
    if (last > in.ack + vkn::WINDOW + delayTicks) {
        why = "flags for tick " + std::to_string(last) + " run ahead of their acknowledgement";
        return false;
    }
    remoteAck = std::max(remoteAck, in.ack);
    if (last > remoteNewest) {
        // Only the newest ticks tell the time: a repeat was sent earlier.
        remoteNewest = last;
        // Within a window or two in any honest match; a bound either way
        // keeps the average's arithmetic small.
        const int64_t apart = static_cast<int64_t>(ownNewest) - static_cast<int64_t>(last);
        const int32_t sample = static_cast<int32_t>(std::clamp<int64_t>(apart, -64, 64)) * 256;
        ownGap = gapMeasured ? ownGap + (sample - ownGap) / 32 : sample;
        gapMeasured = true;
        remoteGap = in.gap;
        remoteGapHeard = true;
    }
    for (uint8_t i = 0; i < in.count; i++) {
        const uint32_t tick = in.firstTick + i;
        const uint32_t slot = tick % RING;
        if (tick <= remoteUpTo) {
            // Already in: a repeat, which must say the same.
            if (remoteUpTo - tick < RING && remoteTick[slot] == tick && remote[slot] != in.flags[i]) {
                why = "flags of tick " + std::to_string(tick) + " changed";
                return false;
            }
            continue;
        }
        if (remoteTick[slot] == tick && remote[slot] != in.flags[i]) {
            why = "flags of tick " + std::to_string(tick) + " changed";
            return false;
        }
        remote[slot] = in.flags[i];
        remoteTick[slot] = tick;
    }
    while (remoteTick[(remoteUpTo + 1) % RING] == remoteUpTo + 1) remoteUpTo++;

    if (in.checkTick != 0) {
        Check& slot = remoteChecks[(in.checkTick / vkn::CHECK_EVERY) % CHECKS];
        if (in.checkTick > slot.tick) {
            slot.tick = in.checkTick;
            slot.hash = in.checkHash;
            compare(ownChecks[(in.checkTick / vkn::CHECK_EVERY) % CHECKS], slot);
        }
    }
    return true;
}

void NLockstep::checkpoint(uint32_t tick, uint64_t hash) {
    Check& slot = ownChecks[(tick / vkn::CHECK_EVERY) % CHECKS];
    slot.tick = tick;
    slot.hash = hash;
    compare(slot, remoteChecks[(tick / vkn::CHECK_EVERY) % CHECKS]);
}

void NLockstep::compare(const Check& mine, const Check& theirs) {
    if (mine.tick == 0 || mine.tick != theirs.tick) return;
    compared++;
    if (mine.hash != theirs.hash && mismatch == 0) mismatch = mine.tick;
}
