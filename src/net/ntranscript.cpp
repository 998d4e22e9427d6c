// ntranscript.cpp: the confirmed flags kept, packed, taken and fed.
#include "net/ntranscript.h"

#include <algorithm>
#include <cstdio>

#include "net/nlockstep.h"

void NTranscript::clear() {
    pairs.clear();
    stopped = false;
}

uint8_t NTranscript::flags(uint32_t tick, GSide side) const {
    if (tick < 1 || tick > ticks() || (side != SIDE_LEFT && side != SIDE_RIGHT)) return 0;
    return pairs[2 * (tick - 1) + static_cast<size_t>(side)];
}

void NTranscript::follow(const NLockstep& lock, GSide ownSide) {
    if (stopped || !lock.started()) return;
    const uint32_t known = std::min(lock.newestOwn(), lock.remoteContiguous());
    const uint32_t first = ticks() + 1;
    if (known >= first && known - first >= NLockstep::RING) {
        fprintf(stderr, "The match's flags from tick %u were lost: its spectators cannot follow it.\n",
                static_cast<unsigned>(first));
        stopped = true;
        return;
    }
    for (uint32_t tick = first; tick <= known && ticks() < vkn::MAX_WATCH_MATCH_TICKS; tick++) {
        const uint8_t own = lock.ownFlags(tick);
        const uint8_t other = lock.remoteFlags(tick);
        pairs.push_back(ownSide == SIDE_LEFT ? own : other);
        pairs.push_back(ownSide == SIDE_LEFT ? other : own);
    }
}

bool NTranscript::pack(uint8_t match, uint32_t first, NMessage& out) const {
    if (first < 1 || first > ticks()) return false;
    out = NMessage();
    out.kind = vkn::Kind::FLAGS;
    out.match = match;
    out.newest = ticks();
    out.firstTick = first;
    out.count = static_cast<uint8_t>(std::min<uint32_t>(vkn::MAX_WATCH_TICKS, ticks() - first + 1));
    std::copy_n(pairs.begin() + 2 * (first - 1), 2 * out.count, out.flags);
    return true;
}

bool NTranscript::take(const NMessage& m, std::string& why) {
    if (m.firstTick > ticks() + 1) return true;  // a gap: the next repeat fills it
    for (uint32_t i = 0; i < m.count; i++) {
        const uint32_t tick = m.firstTick + i;
        const uint8_t left = m.flags[2 * i], right = m.flags[2 * i + 1];
        if (tick <= ticks()) {
            if (flags(tick, SIDE_LEFT) != left || flags(tick, SIDE_RIGHT) != right) {
                why = "flags of tick " + std::to_string(tick) + " changed";
                return false;
            }
            continue;
        }
        if (tick > vkn::MAX_WATCH_MATCH_TICKS) {
            why = "flags of tick " + std::to_string(tick) + " run past the longest match";
            return false;
        }
        pairs.push_back(left);
        pairs.push_back(right);
    }
    return true;
}

void NFeed::start(uint8_t match, uint32_t now) {
    *this = NFeed();
    isRunning = true;
    matchNumber = match;
    startedAt = now;
}

int32_t NFeed::due(const NTranscript& transcript, uint32_t now, NMessage* out, int32_t most) {
    if (!isRunning || acked >= transcript.ticks()) return 0;
    if (sentOnce && now - lastSent < SEND_EVERY_MS) return 0;
    int32_t written = 0;
    uint32_t from = acked + 1;
    while (written < most && written < BURST && transcript.pack(matchNumber, from, out[written])) {
        from += out[written].count;
        sentNewest = std::max(sentNewest, from - 1);
        written++;
    }
    sentOnce = true;
    lastSent = now;
    return written;
}

bool NFeed::takeAck(const NMessage& ack, std::string& why) {
    if (!isRunning || ack.match != matchNumber) return true;  // late from a match before
    if (ack.ack > sentNewest) {
        why = "acknowledges tick " + std::to_string(ack.ack) + ", never sent";
        return false;
    }
    acked = std::max(acked, ack.ack);
    return true;
}

bool NFeed::fellBehind(const NTranscript& transcript, uint32_t now) const {
    return isRunning && now - startedAt > CATCH_UP_MS && transcript.ticks() > acked + MOST_BEHIND_TICKS;
}

void NWatched::start(uint8_t number) {
    *this = NWatched();
    started = true;
    match = number;
}

bool NWatched::take(const NMessage& m, uint32_t nowMs, std::string& why) {
    if (!started || m.match != match) return true;
    if (m.newest > newest) {
        newest = m.newest;
        newestAt = nowMs;
    }
    return flags.take(m, why);
}

void NWatched::takeEnd(const NMessage& m) {
    if (!started || m.match != match) return;
    ended = true;
    end = m.end;
    endMs = m.endMs;
}

bool NWatched::ackDue(uint32_t now, NMessage& m) {
    // Between matches it holds nothing, and says so as often.
    const uint32_t held = started ? flags.ticks() : 0;
    const bool grew = held != lastAckTicks;
    if (acked && !(grew && held - lastAckTicks >= vkn::MAX_WATCH_TICKS) && !(grew && now - lastAckSent >= ACK_EVERY_MS) &&
        now - lastAckSent < ACK_KEEPALIVE_MS) {
        return false;
    }
    m = NMessage();
    m.kind = vkn::Kind::ACK;
    m.match = started ? match : 0;
    m.ack = held;
    lastAckSent = now;
    lastAckTicks = held;
    acked = true;
    return true;
}
