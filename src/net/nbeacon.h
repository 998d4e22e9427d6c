// nbeacon.h: what a hosting game does beside its session, so that it can be
// found and reached: it answers the games that look for one on the local
// network (NDiscoveryAnswerer) and asks the home router to open its port
// (NRouter).
//
// Neither is any part of a connection: the session (nsession.h) carries the
// peers, and the application keeps a beacon beside it while it hosts. Tests
// and benchmarks host sessions without one, so that nothing they start
// answers the network or asks a router.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/ndiscovery.h"
#include "net/nprotocol.h"
#include "net/nrouter.h"

class NBeacon {
public:
    NBeacon();
    // Gives the router's mapping back.
    ~NBeacon();
    NBeacon(const NBeacon&) = delete;
    NBeacon& operator=(const NBeacon&) = delete;

    // Answers for, and asks the router to forward, the game on UDP
    // `gamePort`, from `nowMs` on. Either may fail alone: it says why on
    // standard error, and the game can still be joined by its address.
    void open(uint16_t gamePort, uint32_t nowMs);
    // Answers what has come, saying the game's `stage`; writes what the
    // router said to standard output, once, when it has said it.
    void service(vkn::Stage stage, uint32_t nowMs);
    // What the router said of the port (NRouter::line); empty while it is
    // asked.
    std::string routerLine(uint32_t nowMs) const;

private:
    std::unique_ptr<NDiscoveryAnswerer> answerer;
    std::unique_ptr<NRouter> router;
    bool routerTold = false;
};
