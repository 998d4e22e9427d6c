// nsession.h: one game's connection to another over ENet: the handshake, the
// shared menu, and the messages of their matches.
//
// The host waits for one player on a UDP port and plays the left ship; the
// one who joins plays the right. Nothing here blocks: service() takes what
// has arrived, answers it, sends what is due and returns, so that the game
// goes on drawing and a window close or Escape always works.
//
// Leaving. A peer that says goodbye (its game ended or refused) is gone at
// once. One that falls silent (killed, or its network gone) is given up
// after SILENCE_MS without a packet: every state sends something at least
// every PING_MS, so silence means the other side is no longer there.
//
// What happened. The session tells the application what came of the
// connection through takeEvent: a match agreed on, the other side ending
// the pause, the match over without a result (left by the other side, or out
// of step), the connection gone. Each is handed out once, and the notice
// says in a sentence what it was; the application reacts in one place.
//
// Hostility. Every packet is decoded and range-checked (nprotocol.h), and a
// packet that is malformed, or that makes no sense in the state it arrives
// in, ends that connection with a notice. A host goes on waiting for
// players afterwards: a stranger's bad packet before its hello costs only
// the stranger's connection, and a player who left, went silent or sent
// nonsense leaves the port open for the next. ENet itself is held to small
// packets (MAX_PACKET) and little waiting data, so that a peer cannot make
// this game allocate without bound.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "game/matchresult.h"
#include "game/gevent.h"
#include "net/ndiscovery.h"
#include "net/nlockstep.h"
#include "net/nprotocol.h"
#include "net/nrouter.h"

struct _ENetHost;
struct _ENetPeer;

// What both games start a match with.
struct NStart {
    uint32_t seed = 0;
    uint8_t delay = 0;
    ControllerChoice leftChoice = 0;
    ControllerChoice rightChoice = 0;
    // Milliseconds this side waits before its first step: the host waits
    // half the round trip, the time the start takes to reach the other.
    int32_t holdMs = 0;
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
    static constexpr size_t MAX_PACKET = 512;
    // What ENet itself takes in (larger packets it drops unseen).
    static constexpr size_t ENET_PACKET_LIMIT = 4 * MAX_PACKET;
    static constexpr int32_t RTT_SAMPLES = 20;

    enum class State {
        CLOSED,     // no connection: the game is a local one
        WAITING,    // host: waiting for a player
        JOINING,    // joiner: connecting
        GREETING,   // connected, the handshake under way
        CONNECTED,  // both games in the shared menu or a match
    };

    // What happened, for the application (takeEvent).
    enum class Event {
        REMOTE_RESUMED,  // the other side ended the pause
        MATCH_LEFT,      // the match ends without a result; `notice` says why
        CLOSED,          // the connection is gone; `notice` says why
        MATCH_STARTED,   // both ready: a match starts now, as `start` says
    };

    NSession();
    // Says goodbye to the other side, if any, and closes the socket.
    ~NSession();
    NSession(const NSession&) = delete;
    NSession& operator=(const NSession&) = delete;

    // Waits for a player on UDP `port` of every address of this machine,
    // answers the games looking for one on the local network, and asks the
    // router to forward the port (`loopbackOnly`: 127.0.0.1 only, and
    // neither of the two, for tests). False, with a notice, when the port
    // cannot be had.
    bool host(uint16_t port, bool loopbackOnly = false);
    // Connects to `hostName` (a name or a dotted address) on `port`. False,
    // with a notice, for a name that cannot be resolved.
    bool join(const char* hostName, uint16_t port);

    // Takes everything that has arrived, sends what is due. Call often: every
    // pass of the main loop.
    void service();
    // This player leaves the network game (Escape in its menu): the other
    // side hears it at once, and a host stops waiting for players.
    void leave();

    bool isHost() const { return hosting; }
    GSide ownSide() const { return hosting ? SIDE_LEFT : SIDE_RIGHT; }
    State state() const { return phase; }
    bool connected() const { return phase == State::CONNECTED; }
    // Hosting, joining or connected: not (or no longer) a local game.
    bool open() const { return phase != State::CLOSED; }
    // The menu's status line for the state, e.g. "Waiting for a player on
    // UDP port 27183".
    std::string status() const;
    // The last thing that happened, for the menu ("The other player left.").
    const std::string& notice() const { return lastNotice; }
    // What the router said of the host's port (NRouter::line); empty while
    // it is asked, and for a joiner. Also written to standard output once.
    std::string routerLine() const;
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

    // The next thing that happened, oldest kind first (the order of Event);
    // `start` is filled for MATCH_STARTED. False when nothing did.
    bool takeEvent(Event& event, NStart& start);

    // The match, while one runs: both sides' flags.
    NLockstep& lock() { return lockstep; }
    const NLockstep& lock() const { return lockstep; }
    bool inMatch() const { return playing; }
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

    // Measured: round-trip samples (ms) from the menu's pings, and ENet's
    // totals of UDP payload and packets each way.
    int32_t rttMedian() const;
    // The input delay the host picks: none. A tick of delay at round trips
    // of 200 and 250 ms made each correction a tick shorter but no fewer of
    // them, and the own ship a tick late (bench_net's distance part).
    uint8_t chooseDelay() const;
    uint64_t sentBytes() const;
    uint64_t sentPackets() const;
    uint64_t receivedBytes() const;
    uint32_t inputsSent() const { return inputs; }

    // The host's match seeds are drawn (drawMatchSeed), or `seed` from now
    // on (tests and benchmarks, several sessions to a process).
    void fixSeed(uint32_t seed);
    // The host's input delay is chosen (chooseDelay), or `delay` from now on
    // (benchmarks).
    void fixDelay(uint8_t delay);
    // Milliseconds of a steady clock; tests may replace it.
    static uint32_t (*clock)();

private:
    void handle(const uint8_t* data, size_t size);
    void send(const NMessage& message, bool reliable);
    static void sendTo(_ENetPeer* to, const NMessage& message, bool reliable);
    // Both sides go into the match `start` describes.
    void beginMatch(const NMessage& start, int32_t holdMs);
    // The round-trip samples, lowest first; returns how many.
    int32_t sortedSamples(int32_t* sorted) const;
    void sendMenu();
    void maybeStart();
    void welcome(const NMessage& hello);
    // Ends the connection with `why` as the notice (also on standard error).
    void close(const std::string& why, bool politely);
    void badPacket(const std::string& why);
    // The other side's connection ends (`why`, also on standard error), and
    // with it the match and both readinesses; the application hears of it.
    void letGo(const std::string& why, bool politely);
    // The player is gone (`why`, also on standard error): a host waits for
    // the next one, a joiner is closed.
    void lose(const std::string& why, bool politely);
    // A connection that never said hello goes, alone.
    void dropStranger(const std::string& why);
    void sendOutOfStep(uint32_t tick);
    // The two matches are apart (`why` goes to standard error): both leave.
    void leaveOutOfStep(const std::string& why, uint32_t tick);

    State phase = State::CLOSED;
    std::string lastNotice;
    ControllerChoice ownPick = 0;
    bool ownSet = false;
    ControllerChoice remotePick = 0;
    bool remoteSet = false;
    NLockstep lockstep;
    bool playing = false;  // a match runs
    int32_t rttSamples[RTT_SAMPLES] = {};
    int32_t rttCount = 0;
    uint32_t inputs = 0;
    int32_t fixedDelay = -1;
    bool fixedSeed = false;
    uint32_t seed = 0;

    std::unique_ptr<NDiscoveryAnswerer> answerer;  // while hosting
    std::unique_ptr<NRouter> router;               // likewise
    bool routerTold = false;

    _ENetHost* enet = nullptr;
    _ENetPeer* peer = nullptr;
    bool hosting = false;
    uint16_t port = 0;
    std::string target;  // "host:port" joined
    uint32_t hostIp = 0;  // where a join knocks (ENet's byte order)
    uint32_t joinSince = 0;
    uint32_t stateSince = 0;
    uint32_t lastHeard = 0;
    uint32_t lastPing = 0;
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
