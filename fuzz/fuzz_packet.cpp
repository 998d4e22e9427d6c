// fuzz_packet.cpp: libFuzzer target for what the other side of a network
// game sends. The input is a run of packets, each a length byte and that
// many bytes, fed to the decoder one by one as a session would. A packet the
// decoder takes must encode back to exactly its bytes (one message, one
// encoding) and an INPUT among them goes on to the lockstep, where this side
// then plays every tick it may, guessing up to the window as a match would;
// what the other side can make this side hold or send must stay within the
// bounds two games in step keep. A FLAGS goes to a spectator's store, and
// an ACK to a feed of a transcript as long as the flags taken, which must
// never grow past the longest match, hold a tick twice or be acknowledged
// past what was sent. A refused packet must say why. Every
// packet is also a discovery datagram from a stranger on the network, held
// to the same rules.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/ndiscovery.h"
#include "net/nlockstep.h"
#include "net/nprotocol.h"
#include "net/ntranscript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NLockstep lock;
    const uint8_t delay = vkn::MAX_DELAY;
    lock.start(delay);
    uint32_t played = 0;
    NWatched watched;
    watched.start(0);
    NFeed feed;
    feed.start(0, 0);
    NMessage sent[NFeed::BURST];
    size_t at = 0;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = length < size - at ? length : size - at;
        const uint8_t* packet = data + at;
        at += take;

        NDiscoveryMessage found;
        std::string why;
        if (decodeDiscovery(packet, take, found, why)) {
            uint8_t again[vkd::MAX_DATAGRAM];
            if (encodeDiscovery(found, again) != take || memcmp(again, packet, take) != 0) abort();
        } else if (why.empty()) {
            abort();
        }
        NMessage message;
        if (!decodeMessage(packet, take, message, why)) {
            if (why.empty()) abort();
            continue;
        }
        uint8_t again[vkn::MAX_MESSAGE];
        const size_t againSize = encodeMessage(message, again);
        if (againSize != take || memcmp(again, packet, take) != 0) abort();
        if (message.kind == vkn::Kind::FLAGS) {
            const uint32_t held = watched.flags.ticks();
            if (!watched.take(message, 0, why) && why.empty()) abort();
            if (watched.flags.ticks() < held || watched.flags.ticks() > vkn::MAX_WATCH_MATCH_TICKS) abort();
            // Fed back out of the spectator's own store, from the start.
            feed.due(watched.flags, 1000u * static_cast<uint32_t>(at), sent, NFeed::BURST);
        } else if (message.kind == vkn::Kind::ACK) {
            if (!feed.takeAck(message, why) && why.empty()) abort();
            if (feed.acknowledged() > watched.flags.ticks()) abort();
        }
        if (message.kind != vkn::Kind::INPUT) continue;
        if (!lock.takeInput(message, why)) {
            if (why.empty()) abort();
            return 0;  // the session closes the connection here
        }
        // Each tick this side asks for its own number as flags, the count
        // already raised, as clang, which builds this target, always read it.
        while (played + 1 <= lock.remoteContiguous() + vkn::WINDOW) {
            played++;
            lock.ownTick(played, static_cast<uint8_t>(played));
            if ((lock.remoteOrGuess(played) & ~(vkn::FLAG_MASK | vkn::PAUSE_BIT)) != 0) abort();
        }
        // The other side can only run ahead by what it read of this one,
        // and the window.
        if (lock.remoteContiguous() > lock.newestOwn() + delay + vkn::WINDOW) abort();
        if (lock.newestOwn() - lock.remoteAcknowledged() > 2u * (delay + vkn::WINDOW)) abort();
        const int32_t lead = lock.lead256();
        if (lead > 128 * 256 || lead < -128 * 256) abort();
        NMessage out;
        if (!lock.makeInput(out)) abort();
        uint8_t bytes[vkn::MAX_MESSAGE];
        NMessage back;
        if (!decodeMessage(bytes, encodeMessage(out, bytes), back, why)) abort();
    }
    return 0;
}
