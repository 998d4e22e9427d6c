// nsession.h: one game's connections to others over ENet: the handshake,
// the shared menu, the messages of their matches, and the spectators.
//
// One ENet host carries every peer. Each peer is its own object (NPeer)
// with a role agreed in the handshake: the other player, a spectator, or a
// stranger that has not yet said who it is. A game that hosts waits on a
// UDP port and takes one other player and up to vkn::MAX_SPECTATORS
// spectators, before or during a match; one that joins connects to a host
// and asks to play; one that watches connects and asks to watch.
//
// Sides. Who connected to whom decides nothing: the one who connects asks
// for a role (ASK) and the host gives it (WELCOME). The host asks for its
// own side when it starts (host(): the left, as the game always had it),
// and a joiner asks for either; the left player draws each match's seed.
//
// Nothing here blocks: service() takes what has arrived, answers it, sends
// what is due and returns, so that the game goes on drawing and a window
// close or Escape always works.
//
// Leaving. A peer that says goodbye (its game ended or refused) is gone at
// once. One that falls silent (killed, or its network gone) is given up
// after SILENCE_MS without a packet: every state sends something at least
// every PING_MS, a spectator acknowledges at least every
// NWatched::ACK_KEEPALIVE_MS and is told how the game stands at least every
// STATUS_EVERY_MS, so silence means the other side is no longer there.
//
// What happened. The session tells the application what came of the
// connection through takeEvent: a match agreed on (or, for a spectator, a
// match to watch), the other side ending the pause, the match over without
// a result (left by the other side, or out of step), the connection gone.
// Each is handed out once, and the notice says in a sentence what it was;
// the application reacts in one place.
//
// Hostility. Every packet is decoded and range-checked (nprotocol.h), and a
// packet that is malformed, or that makes no sense from its peer in the
// state it arrives in, ends that peer's connection with a notice, and only
// that peer's: a stranger's bad packet costs the stranger, a spectator's
// the spectator, and a spectator never sends anything but its hello, its
// ask and acknowledgements. A host goes on waiting for players afterwards.
// ENet itself is held to small packets (MAX_PACKET) and little waiting data
// a peer, so that a peer cannot make this game allocate without bound.
//
// Spectators never slow the players: nothing the players' match waits for
// comes from a spectator, what each is sent is bounded a pass
// (ntranscript.h), and one that cannot keep up is dropped with a message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/matchresult.h"
#include "game/gevent.h"
#include "net/nlockstep.h"
#include "net/nprotocol.h"
#include "net/ntranscript.h"

struct _ENetHost;
struct _ENetPeer;

// What a game starts a match with (a spectator: the match it watches).
struct NStart {
    uint32_t seed = 0;
    uint8_t delay = 0;
    ControllerChoice leftChoice = 0;
    ControllerChoice rightChoice = 0;
    // Milliseconds this side waits before its first step: the host waits
    // half the round trip, the time the start takes to reach the other.
    int32_t holdMs = 0;
};

// One remote game, as this one knows it.
struct NPeer {
    enum class Role { STRANGER, PLAYER, SPECTATOR };
    _ENetPeer* link = nullptr;
    Role role = Role::STRANGER;
    bool helloHeard = false;
    bool incoming = false;    // it connected to this game
    uint32_t since = 0;       // connected at
    uint32_t lastHeard = 0;
    uint32_t lastAck = 0;     // a spectator's, as sent to it
    NFeed feed;               // a spectator's
};

class NSession {
public:
    // Then the other side is gone: long enough for a game starved of the CPU
    // for a few seconds on a busy machine, short enough that a vanished one
    // is noticed within 5 s.
    static constexpr uint32_t SILENCE_MS = 4000;
    static constexpr uint32_t JOIN_MS = 5000;     // to connect and be welcomed
    static constexpr uint32_t PING_MS = 100;      // round-trip samples in the menu
    static constexpr uint32_t INPUT_REPEAT_MS = 50;  // an INPUT at least this often in a match
    static constexpr uint32_t FINISH_MS = 3000;   // repeats after a match at most this long
    static constexpr uint32_t STATUS_EVERY_MS = 1000;  // to the spectators, as well as on every change
    static constexpr size_t MAX_PACKET = 512;
    // What ENet itself takes in (larger packets it drops unseen).
    static constexpr size_t ENET_PACKET_LIMIT = 4 * MAX_PACKET;
    static constexpr int32_t RTT_SAMPLES = 20;
    // ENet's peers: the other player, the spectators, and room to tell a
    // few more that the game has none.
    static constexpr size_t MAX_PEERS = 1 + vkn::MAX_SPECTATORS + 7;

    enum class State {
        CLOSED,     // no connection: the game is a local one
        WAITING,    // host: waiting for a player
        JOINING,    // joiner or spectator: connecting
        GREETING,   // connected, the handshake under way (a host: someone greets it, and no player is in)
        CONNECTED,  // both players in the shared menu or a match
        WATCHING,   // a spectator, welcomed
    };

    // What happened, for the application (takeEvent).
    enum class Event {
        REMOTE_RESUMED,  // the other side ended the pause
        MATCH_LEFT,      // the match ends without a result; `notice` says why
        CLOSED,          // the connection is gone; `notice` says why
        MATCH_STARTED,   // a match starts now, as `start` says (a spectator: one to watch)
    };

    NSession();
    // Says goodbye to every peer and closes the socket.
    ~NSession();
    NSession(const NSession&) = delete;
    NSession& operator=(const NSession&) = delete;

    // Waits for a player and spectators on UDP `port` of every address of
    // this machine (`loopbackOnly`: of 127.0.0.1 only, for tests). Flies
    // the left ship. False, with a notice, when the port cannot be had.
    // Being found on the local network and asking the router are beside
    // the session (nbeacon.h).
    bool host(uint16_t port, bool loopbackOnly = false);
    // Connects to `hostName` (a name or a dotted address) on `port` and asks
    // to play, on whichever side is free. False, with a notice, for a name
    // that cannot be resolved.
    bool join(const char* hostName, uint16_t port);
    // The same, asking to watch.
    bool watch(const char* hostName, uint16_t port);

    // Internet play (nonline.h) talks to a lobby and punches through the
    // socket the game plays on, so that the lobby sees the NAT mapping the
    // other side must reach. prepare() opens the socket of a game that will
    // join, on a port of the system's choosing, and stays CLOSED; then
    // joinAddress() connects it to `ip`:`port` (host byte order) asking for
    // `ask` (EITHER to play, SPECTATOR to watch), on that same socket. False,
    // with a notice, when the socket cannot be had (or is not prepared).
    bool prepare();
    bool joinAddress(uint32_t ip, uint16_t port, vkn::Role ask);
    // Sends one datagram from the game's socket; false with no socket open,
    // or when the system refused or would have blocked.
    bool sendRaw(uint32_t ip, uint16_t port, const uint8_t* data, size_t size);
    // Sees every datagram that reaches the socket before ENet does, within
    // service(); those it returns true for never reach ENet. It may send
    // (sendRaw), and must call nothing else of this session. Kept across sockets (prepare(), host()).
    using RawHandler = std::function<bool(uint32_t ip, uint16_t port, const uint8_t* data, size_t size)>;
    void setRawHandler(RawHandler handler) { rawHandler = std::move(handler); }
    // The socket's own port; 0 with none open or none bound yet.
    uint16_t localPort() const;
    // A peer at `ip`:`port` has finished its handshake: the other player or
    // a spectator (a joiner's: the game it joined or watches).
    bool greetedAt(uint32_t ip, uint16_t port) const;

    // Takes everything that has arrived, sends what is due. Call often: every
    // pass of the main loop.
    void service();
    // This player leaves the network game (Escape in its menu): the others
    // hear it at once, and a host stops waiting for players.
    void leave();

    bool isHost() const { return hosting; }
    // Watching, not playing.
    bool spectator() const { return ownRole == vkn::Role::SPECTATOR; }
    // The side this game's player flies: its own from the handshake on; a
    // joiner that asked for either counts on the right until then, as the
    // host it joins flies the left.
    GSide ownSide() const {
        return ownRole == vkn::Role::RIGHT || ownRole == vkn::Role::EITHER ? SIDE_RIGHT : SIDE_LEFT;
    }
    State state() const { return phase; }
    bool connected() const { return phase == State::CONNECTED; }
    bool watching() const { return phase == State::WATCHING; }
    // Hosting, joining, connected or watching: not (or no longer) a local
    // game.
    bool open() const { return phase != State::CLOSED; }
    // The menu's status line for the state, e.g. "Waiting for a player on
    // UDP port 27183", with the number watching when there are any.
    std::string status() const;
    // The last thing that happened, for the menu ("The other player left.").
    const std::string& notice() const { return lastNotice; }
    uint16_t listenPort() const { return port; }

    // The shared menu. The choice and readiness of this side, sent when they
    // change (a new choice takes the readiness back); the other side's as
    // last heard.
    void setOwnChoice(ControllerChoice choice);
    void setOwnReady(bool ready);
    ControllerChoice ownChoice() const { return ownPick; }
    bool ownReady() const { return ownSet; }
    ControllerChoice remoteChoice() const { return remotePick; }
    bool remoteReady() const { return remoteSet; }
    // Either player's, by side: this side's own or the other's as heard; a
    // spectator's as the players' game last told it.
    ControllerChoice choiceOf(GSide side) const;
    bool readyOf(GSide side) const;

    // Spectators: how many this game serves, or, for a spectator, how many
    // the game it watches said; and where that game stands.
    int32_t watchers() const;
    vkn::Stage stage() const;

    // The next thing that happened, oldest kind first (the order of Event);
    // `start` is filled for MATCH_STARTED. False when nothing did.
    bool takeEvent(Event& event, NStart& start);

    // The match, while one runs: both sides' flags.
    NLockstep& lock() { return lockstep; }
    const NLockstep& lock() const { return lockstep; }
    bool inMatch() const { return playing; }
    // Every confirmed tick of this match so far, as spectators are sent it.
    const NTranscript& transcript() const { return confirmedFlags; }
    // A spectator's: what it heard of the match it watches.
    const NWatched& watched() const { return watchedMatch; }
    // This side's match ended (result, Escape or out of step): repeats go on
    // until the other side has every flag of ours.
    void matchOver();
    // Escape: the other side leaves the match too.
    void sendLeave();
    // The pause ends on both sides.
    void sendResume();
    // This side's own check after tick `tick` found the two matches apart:
    // both sides leave the match (MATCH_LEFT), and both keep it.
    void outOfStepSeenHere(uint32_t tick);
    // This side kept its match (its owner, through NMatch::settle) ending at
    // `endMs`, finished or left there: the spectators end theirs alike.
    void matchKept(uint32_t endMs, bool finished);

    // Measured: round-trip samples (ms) from the menu's pings, and ENet's
    // totals of UDP payload and packets each way.
    int32_t rttMedian() const;
    // The round trip to the other player (a spectator: to the game it
    // watches) as ENet measures it all along, in a match too; 0 without one.
    int32_t liveRttMs() const;
    // The input delay the host picks: none. A tick of delay at round trips
    // of 200 and 250 ms made each correction a tick shorter but no fewer of
    // them, and the own ship a tick late (bench_net's distance part).
    uint8_t chooseDelay() const;
    uint64_t sentBytes() const;
    uint64_t sentPackets() const;
    uint64_t receivedBytes() const;
    uint64_t receivedPackets() const;
    uint32_t inputsSent() const { return inputs; }
    // Spectators dropped for not keeping up, or for what they sent.
    uint32_t spectatorsDropped() const { return dropped; }

    // The left player's match seeds are drawn (drawMatchSeed), or `seed`
    // from now on (tests and benchmarks, several sessions to a process).
    void fixSeed(uint32_t seed);
    // The host's input delay is chosen (chooseDelay), or `delay` from now on
    // (benchmarks).
    void fixDelay(uint8_t delay);
    // Milliseconds of a steady clock; tests may replace it.
    static uint32_t (*clock)();

private:
    bool open(uint16_t listenPort, bool listen, bool loopbackOnly, size_t peerCount);
    bool connectTo(const char* hostName, uint16_t hostPort, vkn::Role ask);
    // Connects to `hostIp` (ENet's byte order):`hostPort`, named `name` in
    // messages, on the prepared socket or a new one.
    bool knock(uint32_t hostIp, uint16_t hostPort, const std::string& name, vkn::Role ask);
    // ENet's intercept: hands the raw datagram to rawHandler.
    static int intercept(_ENetHost* host, struct _ENetEvent* event);
    NPeer* peerOf(_ENetPeer* link);
    void forget(NPeer* peer);
    void handle(NPeer& peer, const uint8_t* data, size_t size);
    void handleStranger(NPeer& peer, const NMessage& m);
    void handleSpectator(NPeer& peer, const NMessage& m);
    void handleWatched(const NMessage& m);
    void handleUpstream(const NMessage& m);
    void handlePlayer(const NMessage& m);
    void assign(NPeer& peer, vkn::Role asked);
    void send(const NMessage& message, bool reliable);
    static void sendTo(_ENetPeer* to, const NMessage& message, bool reliable);
    void toSpectators(const NMessage& message, bool reliable);
    // Both sides go into the match `start` describes.
    void beginMatch(const NMessage& start, int32_t holdMs);
    // The round-trip samples, lowest first; returns how many.
    int32_t sortedSamples(int32_t* sorted) const;
    void sendMenu();
    void sendStatus();
    void feedSpectators(uint32_t now);
    void acknowledge(uint32_t now);
    void maybeStart();
    // Ends the connection with `why` as the notice (also on standard error).
    void close(const std::string& why, bool politely);
    void badPacket(NPeer& peer, const std::string& why);
    // The other player's connection ends (`why`, also on standard error),
    // and with it the match and both readinesses; the application hears of
    // it.
    void letGo(const std::string& why, bool politely);
    // The player is gone (`why`, also on standard error): a host waits for
    // the next one, a joiner is closed.
    void lose(const std::string& why, bool politely);
    // A connection that is not the other player goes, alone; `why` on
    // standard error, and the notice unless it is a spectator's.
    void drop(NPeer& peer, const std::string& why, bool politely);
    void sendOutOfStep(uint32_t tick);
    // The two matches are apart (`why` goes to standard error): both leave.
    void leaveOutOfStep(const std::string& why, uint32_t tick);
    void refreshPhase();

    State phase = State::CLOSED;
    std::string lastNotice;
    vkn::Role ownRole = vkn::Role::LEFT;  // asked for, then given
    ControllerChoice ownPick = 0;
    bool ownSet = false;
    ControllerChoice remotePick = 0;
    bool remoteSet = false;
    NLockstep lockstep;
    NTranscript confirmedFlags;
    NStart current;       // the match under way, for spectators who join it
    bool playing = false;  // a match runs
    int32_t rttSamples[RTT_SAMPLES] = {};
    int32_t rttCount = 0;
    uint32_t inputs = 0;
    uint32_t dropped = 0;
    int32_t fixedDelay = -1;
    bool fixedSeed = false;
    uint32_t seed = 0;

    // A spectator's: what the game it watches said.
    NWatched watchedMatch;
    vkn::Stage heardStage = vkn::Stage::WAITING;
    int32_t heardWatchers = 0;
    ControllerChoice heardChoices[2] = {0, 0};
    uint8_t heardReady = 0;

    _ENetHost* enet = nullptr;
    RawHandler rawHandler;
    std::vector<std::unique_ptr<NPeer>> peers;
    NPeer* other = nullptr;     // the other player, once welcomed (a joiner's: the host)
    NPeer* upstream = nullptr;  // a joiner's or spectator's host, from the connect on
    bool hosting = false;
    uint16_t port = 0;
    std::string target;  // "host:port" joined
    uint32_t hostIp = 0;  // where a join knocks (ENet's byte order)
    uint32_t joinSince = 0;
    uint32_t stateSince = 0;
    uint32_t lastPing = 0;
    uint32_t lastStatus = 0;
    uint32_t lastInput = 0;
    uint32_t lastSentNewest = 0;
    bool finishing = false;
    uint32_t finishSince = 0;
    uint8_t matchNumber = 0;

    bool startPending = false;
    NStart pendingStart;
    bool remoteResumed = false;
    bool matchLeft = false;
    bool closedPending = false;
};
