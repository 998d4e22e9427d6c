// ntranscript.h: a network match's flags from its first tick, what one
// spectator is sent of them, and what a spectator keeps of them.
//
// A match is its seed plus both ships' flags tick by tick, so a spectator
// needs nothing else to play it: the players' game it watches keeps every
// confirmed tick (both sides' real flags in, never a guess) in an
// NTranscript, and sends each spectator all of it from tick 1, then each
// tick as it is confirmed. The spectator keeps what arrives in an
// NWatched and plays it (net/nwatch.h).
//
// Sending (NFeed, one per spectator). Every SEND_EVERY_MS a FLAGS goes out
// holding every tick the spectator has not acknowledged, up to the newest:
// a lost packet is made good by the next one, as the players' INPUTs are,
// and at the 40 ticks a second of a match that is a few ticks a packet. A
// spectator that joins late is sent up to BURST packets a pass, so that two
// minutes of match reach it in well under a second on loopback. Nothing
// here ever waits on a spectator: the players' match never reads an
// acknowledgement, and a spectator that cannot keep up is dropped.
//
// Nothing here touches a socket or the clock: the session moves the
// messages, and the tests move them over simulated links.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/gevent.h"
#include "net/nprotocol.h"

class NLockstep;

class NTranscript {
public:
    void clear();
    // Every tick from 1 to this is held.
    uint32_t ticks() const { return static_cast<uint32_t>(pairs.size() / 2); }
    // The byte of `side`'s ship at `tick` (FLAG_MASK and PAUSE_BIT), 0
    // outside 1..ticks().
    uint8_t flags(uint32_t tick, GSide side) const;

    // A player's: takes every tick past those held whose flags both sides
    // have played for real, this side's (`ownSide`) and the other's, from
    // `lock`. Call at least once every NLockstep::RING ticks of the match;
    // a tick no longer in the lockstep's memory stops the transcript there
    // (said once on standard error), and its spectators fall behind.
    void follow(const NLockstep& lock, GSide ownSide);

    // Writes a FLAGS of the ticks from `first` (at most MAX_WATCH_TICKS of
    // them, up to ticks()) for match `match`; false when none is held from
    // there.
    bool pack(uint8_t match, uint32_t first, NMessage& out) const;
    // A spectator's: takes a FLAGS's ticks past those held. A message that
    // starts past the next tick wanted leaves a gap and is ignored (the
    // sender repeats from the acknowledgement). False, with `why`, for
    // flags that change a tick held, or run past the longest match.
    bool take(const NMessage& flags, std::string& why);

private:
    std::vector<uint8_t> pairs;  // per tick: the left ship's byte, the right's
    bool stopped = false;        // follow() lost a tick
};

class NFeed {
public:
    // A FLAGS at least this often while there is anything unacknowledged.
    static constexpr uint32_t SEND_EVERY_MS = 100;
    // FLAGS one pass sends at most: 48 s of match, for a late joiner.
    static constexpr int32_t BURST = 16;
    // A spectator may take this long from its first tick to catch up...
    static constexpr uint32_t CATCH_UP_MS = 10000;
    // ...and after it lag this many ticks (10 s) at most, or it is dropped.
    static constexpr uint32_t MOST_BEHIND_TICKS = 400;

    // Match `match` starts for this spectator at `now`: from tick 1.
    void start(uint8_t match, uint32_t now);
    bool running() const { return isRunning; }
    uint8_t match() const { return matchNumber; }

    // Writes the FLAGS due at `now` into `out` (room for `most`); returns
    // how many.
    int32_t due(const NTranscript& transcript, uint32_t now, NMessage* out, int32_t most);
    // Takes the spectator's ACK. An ACK of another match is ignored. False,
    // with `why`, for one that acknowledges a tick never sent.
    bool takeAck(const NMessage& ack, std::string& why);
    // Whether the spectator cannot keep up with `transcript` at `now`.
    bool fellBehind(const NTranscript& transcript, uint32_t now) const;
    uint32_t acknowledged() const { return acked; }

private:
    bool isRunning = false;
    uint8_t matchNumber = 0;
    uint32_t acked = 0;       // the spectator holds every tick up to this
    uint32_t sentNewest = 0;  // the highest tick ever sent
    uint32_t startedAt = 0;
    uint32_t lastSent = 0;
    bool sentOnce = false;
};

// What a spectator has heard of the match it watches: its flags so far,
// how far the players are, and where their game kept it.
struct NWatched {
    // A spectator acknowledges what it holds at once after every full
    // FLAGS's worth more, every ACK_EVERY_MS while it grows, and at least
    // every ACK_KEEPALIVE_MS, which also tells the players' game it is
    // there.
    static constexpr uint32_t ACK_EVERY_MS = 200;
    static constexpr uint32_t ACK_KEEPALIVE_MS = 500;

    bool started = false;
    uint8_t match = 0;
    NTranscript flags;
    uint32_t newest = 0;    // the newest tick the players' game held, as last heard
    uint32_t newestAt = 0;  // when that was heard, in the caller's milliseconds
    bool ended = false;
    vkn::End end = vkn::End::FINISHED;
    uint32_t endMs = 0;

    // Match `match` starts: nothing held of it yet.
    void start(uint8_t match);
    // A FLAGS, heard at `nowMs`; one of another match is ignored. False,
    // with `why`, for flags that contradict those held.
    bool take(const NMessage& flags, uint32_t nowMs, std::string& why);
    // An END; one of another match is ignored.
    void takeEnd(const NMessage& end);
    // The ACK due at `now`, if one is; before the first match, one that
    // holds nothing.
    bool ackDue(uint32_t now, NMessage& ack);

private:
    uint32_t lastAckSent = 0;
    uint32_t lastAckTicks = 0;
    bool acked = false;
};
