// nrelaylink.h: one game reached through a TURN relay: a libnice agent with
// relayed candidates only, and the loopback bridge that ENet talks to.
//
// The agent runs on the GMainContext its owner iterates (NOnline::service),
// so nothing here has a thread or blocks. Its own ICE credentials and its
// relayed candidates go to the other side as one blob (through the lobby's
// SIGNAL); the other side's blob is applied once this side has gathered.
//
// Bridge. A UDP socket on 127.0.0.1, one per remote game. What ENet sends
// to it from the session's port goes out through the agent; what the agent
// receives goes to the session's port on 127.0.0.1. A joiner's session
// connects to the bridge's port as if it were the other game; a host's
// session sees the bridge's port as the joiner's address. ENet and the
// match above it neither know nor care.
//
// Only relayed candidates are used, on both sides: a relay is tried because
// the direct path failed, and a host or reflexive candidate would only be
// that failure again, slower.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/nlobbyprotocol.h"

struct _GMainContext;
struct _NiceAgent;

class NRelayLink {
public:
    // `controlling`: the joiner's end. `sessionPort`: the port of the
    // session's socket, reached on 127.0.0.1.
    NRelayLink(_GMainContext* context, bool controlling, uint16_t sessionPort);
    ~NRelayLink();
    NRelayLink(const NRelayLink&) = delete;
    NRelayLink& operator=(const NRelayLink&) = delete;

    // Opens the bridge and starts gathering through the TURN server `turn`
    // with the credentials given; `localIp` (host order) is the address the
    // agent sends from. False, with `why`, when any of it cannot start.
    bool start(const NLobbyAddress& turn, const char* username, const char* password, uint32_t localIp,
               std::string& why);
    // This side's blob: "UFRAG PASSWORD" then a line per relayed candidate,
    // at most vkl::MAX_BLOB bytes. Empty until gathering is done.
    const std::string& localBlob() const { return ownBlob; }
    // The other side's blob; kept until this side has gathered. False when
    // it holds no credentials (its candidates of other types are ignored).
    bool takeRemote(const uint8_t* blob, size_t size);
    // Moves the bridge's datagrams; every pass, after the context ran.
    void service();

    // The agent has a nominated pair: the bridge carries the game.
    bool ready() const;
    // Gathering found no relayed candidate, or the checks failed.
    bool failed() const;
    uint16_t bridgePort() const { return ownBridgePort; }

private:
    static void onGathered(_NiceAgent* agent, unsigned stream, void* self);
    static void onState(_NiceAgent* agent, unsigned stream, unsigned component, unsigned state, void* self);
    static void onReceive(_NiceAgent* agent, unsigned stream, unsigned component, unsigned size, char* data,
                          void* self);
    void gathered();
    void applyRemote();

    _GMainContext* context;
    _NiceAgent* agent = nullptr;
    unsigned stream = 0;
    bool controlling;
    uint16_t sessionPort;
    int bridge = -1;
    uint16_t ownBridgePort = 0;
    unsigned state = 0;  // a NiceComponentState
    bool gatheringDone = false;
    bool noCandidate = false;
    std::string ownBlob;
    std::string remoteBlob;
    bool remoteApplied = false;
};
