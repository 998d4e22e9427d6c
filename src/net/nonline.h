// nonline.h: a game on the internet: what it says to a lobby, and how it
// reaches the other side, directly or through a TURN relay.
//
// Every datagram to the lobby and every punch leaves from the session's own
// ENet socket (NSession::sendRaw), and the lobby's answers and the other
// side's punches come back through it (NSession::setRawHandler): the lobby
// must see the NAT mapping the game plays on, or the address it hands the
// other side leads nowhere.
//
// Meeting. A host opens its game and gets a code; a joiner sends the code,
// and the lobby introduces each to the other (INTRO: the addresses the lobby
// saw and those each side reported, a nonce the joiner drew, TURN
// credentials). Both then punch (PUNCH every PUNCH_EVERY_MS to every address
// of the other); the joiner connects its session to the first address a
// punch came from. A joiner that has heard no punch RELAY_AFTER_MS after the
// introduction, and its host, meet through the relay instead (nrelaylink.h):
// ICE through libnice on relayed candidates only, signalled through the
// lobby, then a loopback bridge that ENet talks to as if it were the other
// side. ENet, the match and its checks are the same either way.
//
// Lines. On standard output: "Online game code: CODE" once the lobby has
// given the host its code, and "Connected to the other player directly at
// A.B.C.D:P." or "... through the relay at A.B.C.D:P." once per player
// connected (the other player's address as used, or the TURN server's).
// Failures go to standard error and to takeNotice(): "No lobby answers at
// HOST:PORT.", "No game with code CODE.", "Could not reach the other player,
// even through the relay.". The application prints none of these itself.
//
// Nothing here blocks: service() reads nothing itself (the session's
// service() hands over the datagrams), runs libnice's context without
// waiting, moves the bridges' datagrams and sends what is due.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/matchresult.h"
#include "net/nlobbyprotocol.h"
#include "net/nprotocol.h"

class NSession;
struct _GMainContext;

// One game open on the lobby, as its list shows it.
struct NOnlineGame {
    std::string code;
    vkn::Stage stage = vkn::Stage::WAITING;
    int32_t watchers = 0;
    ControllerChoice hostChoice = 0;
};

class NOnline {
public:
    enum class Path { NONE, DIRECT, RELAY };

    // HELLOs go out this often until a cookie comes; with no answer at all
    // for NO_LOBBY_MS, the lobby is said to be gone.
    static constexpr uint32_t HELLO_EVERY_MS = 500;
    static constexpr uint32_t NO_LOBBY_MS = 3000;
    // A request unanswered is sent again this often (datagrams get lost).
    static constexpr uint32_t RESEND_MS = 1000;
    // The lobby forgets a game 30 s after its host's last word: three
    // refreshes may be lost in a row.
    static constexpr uint32_t REFRESH_MS = 10000;
    // Punches: often enough that the first one through a freshly opened
    // mapping is at most a tenth of a second behind it, few enough (a
    // dozen bytes to each of up to five addresses) to cost nothing.
    static constexpr uint32_t PUNCH_EVERY_MS = 100;
    // Two NATs that let punches through do so within a few round trips;
    // after this long without one they never will, and the relay is tried.
    static constexpr uint32_t RELAY_AFTER_MS = 3000;
    // From the introduction to the finished handshake, on either path.
    static constexpr uint32_t GIVE_UP_MS = 10000;

    NOnline();
    // Closes the registration (stop()).
    ~NOnline();
    NOnline(const NOnline&) = delete;
    NOnline& operator=(const NOnline&) = delete;

    // `lobby` is "HOST[:PORT]" (vkl::DEFAULT_PORT by default). False, with a
    // notice, when the name does not resolve or the port is not a number.
    // Talks through `session`'s socket, which must be open: hosting, or
    // prepared to join (NSession::prepare()). The session must outlive this
    // object, or stop() must come first.
    bool start(NSession& session, const std::string& lobby);
    // Closes the registration on the lobby, the relays and their bridges,
    // and lets go of the session. A connection made stays with the session,
    // but one that runs through the relay ends with the relay.
    void stop();
    // Every pass of the main loop, before session.service(), so that what
    // a relay received reaches the session in the same pass.
    void service();
    // Right after session.service(): sends on at once what the session
    // just gave the relays' bridges, rather than a pass later. Each pass
    // lost either way had added one to a relayed round trip.
    void flushRelays();

    // The session hosts: opens the game on the lobby and keeps it open
    // (refreshing every REFRESH_MS); code() is "" until the lobby answers.
    void openGame();
    const std::string& code() const { return ownCode; }

    // Asks for the list of open games; games() is refilled when it comes.
    void requestList();
    const std::vector<NOnlineGame>& games() const { return listed; }

    // Joins (watch: watches) the game `code` (any case; spaces are ignored):
    // punches, falls back to the relay, and finally has the session join
    // over the path found. The session must be prepared, not joining yet.
    void join(const std::string& code, bool watch);

    // A join asked for is under way: the lobby has not answered yet, or the
    // two sides are still meeting.
    bool joinUnderWay() const;

    // How the other player is reached: NONE until connected.
    Path path() const { return usedPath; }
    // "direct to 10.1.0.2:40312", "relayed through 10.0.0.1:3478", or "".
    std::string pathText() const;
    // The last failure, once (also on standard error when it happened).
    bool takeNotice(std::string& notice);

    // Tests: no punching, so that two games on one machine meet through the
    // relay.
    void disablePunching() { punching = false; }

private:
    struct Meeting;

    void fail(const std::string& why);
    // Something is asked of the lobby: HELLO first when there is no cookie.
    void want(uint32_t now);
    // Whether the lobby has said nothing since `since`, NO_LOBBY_MS ago.
    bool silentSince(uint32_t since, uint32_t now) const;
    // One message from the session's socket: to the lobby, or to `to`.
    void sendLobby(const NLobbyMessage& m) { sendTo(lobby, m); }
    void sendTo(const NLobbyAddress& to, const NLobbyMessage& m);
    void sendRequests(uint32_t now, bool all);
    void sendOpen();
    void sendJoin();
    void sendList();
    // NSession's raw handler: true for every lobby datagram.
    bool onDatagram(uint32_t ip, uint16_t port, const uint8_t* data, size_t size);
    void onLobby(const NLobbyMessage& m, uint32_t now);
    void onPunch(const NLobbyAddress& from, const NLobbyMessage& m);
    void onIntro(const NLobbyMessage& m, uint32_t now);
    void onForward(const NLobbyMessage& m, uint32_t now);
    Meeting* meetingOf(uint64_t nonce);
    void startRelay(Meeting& m);
    // False once the meeting is over (given up, or its connection gone).
    bool serviceMeeting(Meeting& m, uint32_t now);
    void connected(Meeting& m, Path how, const NLobbyAddress& at);
    // This game's own address to report: the one towards the lobby.
    NLobbyAddress ownAddress() const;

    NSession* session = nullptr;
    std::string lobbyText;  // "HOST:PORT", as the messages name it
    NLobbyAddress lobby;

    bool haveCookie = false;
    uint64_t cookie = 0;
    bool helloing = false;
    uint32_t helloSince = 0;
    uint32_t lastHello = 0;
    bool heardLobby = false;
    uint32_t lastHeard = 0;  // from the lobby

    bool opening = false;  // the host wants its game open
    bool opened = false;   // OPENED heard
    std::string ownCode;
    uint32_t openSince = 0;
    uint32_t lastOpen = 0;
    vkn::Stage shownStage = vkn::Stage::WAITING;  // as the last OPEN said
    int32_t shownWatchers = 0;
    ControllerChoice shownChoice = 0;

    bool listing = false;
    uint32_t listSince = 0;
    uint32_t lastList = 0;
    std::vector<NOnlineGame> listed;

    bool joining = false;  // JOIN sent, no INTRO or NOGAME yet
    bool joinWatch = false;
    std::string joinCode;
    uint64_t joinNonce = 0;
    uint32_t joinSince = 0;
    uint32_t lastJoin = 0;

    std::vector<std::unique_ptr<Meeting>> meetings;
    Path usedPath = Path::NONE;
    std::string usedText;
    bool punching = true;

    std::string pendingNotice;
    bool noticePending = false;

    _GMainContext* context = nullptr;  // libnice's, owned here
};
