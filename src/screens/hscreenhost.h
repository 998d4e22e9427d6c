// hscreenhost.h: what a screen may ask of whoever shows it.
//
// Screens sit below the application: they ask, the application switches.
// A screen keeps a plain pointer to its host, never owns it and never
// deletes it (the destructor is protected for that), and knows nothing of
// src/app. In the game the host is the one HApplication; a test may hand
// null to a screen that says at its constructor that it takes it (GEngine,
// MSettings), and that screen then asks nothing.
//
// Switching (showMenu, showNetMenu, showSettings, startMatch, showResult,
// watchLastMatch, startDemo). A switch asked for while the current screen's own call
// is running (its keyDown, keyUp, symbolDown or update) is made once that
// call has returned: the screen that asked is destroyed then, never inside
// its own call, and may go on to finish what it does after asking. When a
// call asks twice, the last request wins. A switch asked for outside such a
// call (the shell, the network's reactions, a test) is made at once, which
// destroys the current screen before the request returns: anything the
// host calls outside those calls must ask as its very last act. Never ask from a constructor, a destructor or draw.
// Every switch drops the next update, so the time spent building a screen
// never reaches it. A switch that cannot get memory for the new screen is
// not made, and the old screen stays current.
#pragma once

#include <cstdint>
#include <string>

#include "game/ginput.h"
#include "game/matchresult.h"

class NOnline;
class NSession;
struct GReplay;

class HScreenHost {
public:
    // --- switches (see above) ------------------------------------------------

    // The main menu.
    virtual void showMenu() = 0;
    // The network screen (screens/mnetmenu.h).
    virtual void showNetMenu() = 0;
    // The settings screen (window, sound, controls); `s` in the menu.
    virtual void showSettings() = 0;
    // A local match of the two choices, from a seed drawn now.
    virtual void startMatch(ControllerChoice left, ControllerChoice right) = 0;
    // The result screen for `result`, copied.
    virtual void showResult(const MatchResult& result) = 0;
    // The last match again (findLastMatch); no switch, and nothing said,
    // without one.
    virtual void watchLastMatch() = 0;

    // A demo: a match of two computer players, their kinds and the seed
    // drawn now, said on standard output. Any key or pad button, or its
    // end, goes back to the menu; it keeps nothing (no keepLastMatch) and
    // leaves the players' choices as they were.
    virtual void startDemo() = 0;

    // --- the last match ------------------------------------------------------

    // Whether there is a last match to watch: this run's, or else the one
    // the host's replay file holds (an earlier run's, or one put there by
    // hand), read now and kept as this run's. No file is no match,
    // silently; a file that cannot be read or is not a good replay is said
    // in one line on standard error, and read again at the next try. No
    // switch.
    virtual bool findLastMatch() = 0;
    // Keeps a copy of `replay` as the last match of this run and writes it
    // to the replay file (a failure is said on standard error and changes
    // nothing else). No switch.
    virtual void keepLastMatch(const GReplay& replay) = 0;

    // Ends the run: the main loop stops once the pass under way is over,
    // and the screen stays current (and is drawn) until then. No switch.
    virtual void quit() = 0;

    // --- the replay library (game/greplaylibrary.h, screens/mreplays.h) -----
    // Both are switches, as above.

    // The replay screen, its first line (the newest replay) chosen.
    virtual void showReplays() = 0;
    // Watches a copy of `replay`. Its end (past its result screen, for a
    // finished match), or Escape, leads back to the replay screen with the
    // line of `listed` (a file of the library) chosen again; with `listed`
    // empty, to the main menu. Any other switch before then forgets the way
    // back.
    virtual void watchReplay(const GReplay& replay, const std::string& listed) = 0;

    // --- the network ---------------------------------------------------------

    // The network session, or null in a local game. Owned by the host and
    // replaced by attachNet: read it afresh at each use, never keep it.
    virtual NSession* network() const = 0;
    // Hands `session` (hosting or joining; null for none) to the host,
    // which owns it from then on and deletes the one attached before. Each
    // update of the host services it first and reacts to what it reports
    // (a match agreed on starts one, whatever screen is current). The new
    // session is told this side's choice from the menu at once.
    virtual void attachNet(NSession* session) = 0;

    // While the attached session hosts: what the router said of its port
    // (the host asks it beside the session, as it answers the games looking
    // for one on the local network); empty while it is asked, and when not
    // hosting.
    virtual std::string routerLine() const = 0;

    // --- online play (net/nonline.h) -----------------------------------------

    // The lobby of this run ("HOST[:PORT]"): the command line's or
    // VEKTORAK_LOBBY's, else the settings' Lobby line; empty: none, and no
    // online play.
    virtual std::string lobby() const = 0;
    // The lobby's client beside the attached session, or null. With a lobby
    // set, the host puts one beside every hosting session it is handed,
    // which it opens on the lobby at once (code() follows), and beside the
    // sessions of browseOnline and joinOnline; none beside a join by
    // address. Owned by the host and gone with its session: read it afresh.
    virtual NOnline* online() const = 0;
    // Without a session: attaches one prepared to join, with the lobby's
    // client beside it, to ask the lobby for its games. True when there is
    // one so prepared already; false when no lobby is set, another session
    // is attached, or none could be had (a notice says why).
    virtual bool browseOnline() = 0;
    // Joins the game the lobby knows by `code` (watch: watches it), on the
    // session browseOnline attached or a new one in place of the attached
    // one. A join that fails (no lobby, no such game, nobody reached) drops
    // its session and leaves a notice. False, with a notice, when it could
    // not even start.
    virtual bool joinOnline(const std::string& code, bool watch) = 0;
    // The last failure of online play, once, for whichever screen shows it:
    // "No lobby answers at HOST:PORT.", "No game with code CODE.", "Could
    // not reach the other player, even through the relay.". Already said on
    // standard error.
    virtual bool takeOnlineNotice(std::string& notice) = 0;

    // --- input ---------------------------------------------------------------

    // What the players hold, sampled by the main loop once a pass before the
    // update. Valid as long as the host: keyboard players keep a pointer
    // to it and read it every tick.
    virtual const GInput& inputSnapshot() const = 0;

    // --- the window (for the settings screen) --------------------------------

    // Opens the window anew with the settings' size, depth and full screen
    // (config/settings.h). False, with a line on standard error and the
    // window as it was, when the display refuses the mode; true without a
    // window to change. No switch.
    virtual bool applyVideoMode() = 0;
    // The display's own size in pixels, as it was before the window opened;
    // 0 when it could not be told.
    virtual int32_t desktopWidth() const = 0;
    virtual int32_t desktopHeight() const = 0;

protected:
    HScreenHost() = default;
    ~HScreenHost() = default;
};
