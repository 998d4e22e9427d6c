// nrouter.h: asking the home router to open the host's port (UPnP).
//
// A host behind a router (NAT) cannot be joined from outside until the
// router forwards its UDP port. Most home routers take that request from
// the machine itself over UPnP: NRouter asks in the background as hosting
// starts, and gives the mapping back when hosting stops. The game never
// waits for it: after ASK_MS without an answer the router counts as having
// none, and a later answer still counts.
//
// VEKTORAK_UPNP=off asks no router at all; VEKTORAK_UPNP_URL (the root
// description URL of an Internet Gateway Device) asks that device without
// looking for one on the network (tests: a fake gateway on loopback). What
// a router answers is hostile input like every packet: anything short of a
// mapping made and a dotted external address counts as no UPnP.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class NRouter {
public:
    static constexpr uint32_t ASK_MS = 2000;
    // How long the router keeps the mapping should this game vanish
    // without giving it back: a long session's worth.
    static constexpr const char* LEASE_SECONDS = "14400";

    enum class State {
        OFF,     // not asked (VEKTORAK_UPNP=off, or never opened)
        ASKING,  // under way, and less than ASK_MS old
        OPENED,  // the port is forwarded
        NONE,    // no UPnP router, or it refused
    };

    NRouter();
    // Gives the mapping back, if one was made.
    ~NRouter();
    NRouter(const NRouter&) = delete;
    NRouter& operator=(const NRouter&) = delete;

    // Starts asking for UDP `port`, at `nowMs`.
    void open(uint16_t port, uint32_t nowMs);
    State state(uint32_t nowMs) const;
    // "Router: port N opened, your address is A.B.C.D" or "Router: no UPnP
    // (forward UDP port N by hand)"; empty while asking or off.
    std::string line(uint32_t nowMs) const;

    struct Shared;  // what the asking thread and this side share

private:
    std::shared_ptr<Shared> shared;
    uint16_t port = 0;
    uint32_t since = 0;
};
