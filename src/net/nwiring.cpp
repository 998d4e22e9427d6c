// nwiring.cpp: a player's network match, or a spectator's.
#include "net/nwiring.h"

#include <new>  // Required for: std::nothrow

#include "net/nmatch.h"
#include "net/nsession.h"
#include "net/nwatch.h"

NWiredMatch wireNetMatch(GMatch& match, NSession& session, const NStart& start, const GInput* input,
                         const GKeyBinding* keys, const std::function<GController*(GController*)>& ownPlayer) {
    NWiredMatch wired;
    wired.ships = match.setUp(start.seed, start.leftChoice, start.rightChoice, input, keys);
    if (session.spectator()) {
        wired.spectator = new (std::nothrow) NWatch();
        if (wired.spectator != nullptr && !wired.spectator->setUp(&match, &session.watched())) {
            delete wired.spectator;
            wired.spectator = nullptr;
        }
        wired.driver = wired.spectator;
        return wired;
    }
    if (ownPlayer) {
        const GSide own = session.ownSide();
        match.setController(own, ownPlayer(match.takeController(own)));
    }
    wired.player = new (std::nothrow) NMatch();
    if (wired.player != nullptr &&
        !wired.player->setUp(&match, &session.lock(), &session, session.ownSide(), start.holdMs)) {
        delete wired.player;
        wired.player = nullptr;
    }
    wired.driver = wired.player;
    return wired;
}
