// nrouter.cpp: the UPnP conversation, on a thread of its own.
#include "net/nrouter.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

struct NRouter::Shared {
    std::mutex lock;
    bool done = false;
    bool opened = false;
    bool cancelled = false;  // hosting stopped before the answer came
    std::string external;
    UPNPUrls urls = {};
    IGDdatas data = {};
    bool haveUrls = false;
};

namespace {

// UPnP's errors that another attempt can get past: the mapping exists
// already (ours from an earlier run, say), or the router takes no lease.
constexpr int CONFLICT_IN_MAPPING_ENTRY = 718;
constexpr int ONLY_PERMANENT_LEASES_SUPPORTED = 725;

bool findGateway(NRouter::Shared& s, char* lan, int lanSize) {
    const char* url = getenv("VEKTORAK_UPNP_URL");
    int found = 0;
    if (url != nullptr && url[0] != '\0') {
        found = UPNP_GetIGDFromUrl(url, &s.urls, &s.data, lan, lanSize);
    } else {
        int error = 0;
        UPNPDev* devices = upnpDiscover(static_cast<int>(NRouter::ASK_MS * 3 / 4), nullptr, nullptr, 0, 0, 2, &error);
        if (devices != nullptr) found = UPNP_GetValidIGD(devices, &s.urls, &s.data, lan, lanSize);
        freeUPNPDevlist(devices);
        // 2: a gateway that says it is not connected; asking costs nothing.
        if (found != 1 && found != 2) {
            if (found != 0) FreeUPNPUrls(&s.urls);
            return false;
        }
        found = 1;
    }
    s.haveUrls = found != 0;
    return found == 1 && s.urls.controlURL != nullptr && s.urls.controlURL[0] != '\0';
}

void ask(std::shared_ptr<NRouter::Shared> s, uint16_t port) {
    char lan[64] = {};
    char external[40] = {};
    const std::string number = std::to_string(port);
    bool opened = false;
    if (findGateway(*s, lan, sizeof lan)) {
        const char* control = s->urls.controlURL;
        const char* service = s->data.first.servicetype;
        const char* lease = NRouter::LEASE_SECONDS;
        for (int attempt = 0; attempt < 3 && !opened; attempt++) {
            const int result = UPNP_AddPortMapping(control, service, number.c_str(), number.c_str(), lan, "Vektorak",
                                                   "UDP", nullptr, lease);
            if (result == UPNPCOMMAND_SUCCESS) {
                opened = true;
            } else if (result == CONFLICT_IN_MAPPING_ENTRY) {
                UPNP_DeletePortMapping(control, service, number.c_str(), "UDP", nullptr);
            } else if (result == ONLY_PERMANENT_LEASES_SUPPORTED) {
                lease = "0";
            } else {
                break;
            }
        }
        in_addr parsed;
        if (opened && (UPNP_GetExternalIPAddress(control, service, external) != UPNPCOMMAND_SUCCESS ||
                       inet_pton(AF_INET, external, &parsed) != 1)) {
            // A mapping without an address to give the other player is of
            // no use to the player here: give it back.
            UPNP_DeletePortMapping(control, service, number.c_str(), "UDP", nullptr);
            opened = false;
        }
    }
    std::lock_guard<std::mutex> hold(s->lock);
    if (opened && s->cancelled) {
        UPNP_DeletePortMapping(s->urls.controlURL, s->data.first.servicetype, number.c_str(), "UDP", nullptr);
        opened = false;
    }
    s->opened = opened;
    s->external = external;
    s->done = true;
    if (s->cancelled && s->haveUrls) {
        FreeUPNPUrls(&s->urls);  // nobody else will
        s->haveUrls = false;
    }
}

}  // namespace

NRouter::NRouter() {}

NRouter::~NRouter() {
    if (!shared) return;
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->cancelled = true;
    if (shared->opened) {
        const std::string number = std::to_string(port);
        UPNP_DeletePortMapping(shared->urls.controlURL, shared->data.first.servicetype, number.c_str(), "UDP",
                               nullptr);
        shared->opened = false;
    }
    if (shared->done && shared->haveUrls) {
        FreeUPNPUrls(&shared->urls);
        shared->haveUrls = false;
    }
}

void NRouter::open(uint16_t forPort, uint32_t nowMs) {
    const char* upnp = getenv("VEKTORAK_UPNP");
    if (shared || (upnp != nullptr && strcmp(upnp, "off") == 0)) return;
    port = forPort;
    since = nowMs;
    shared = std::make_shared<Shared>();
    // Detached: a router that never answers must not hold up leaving or
    // quitting. The thread keeps what it shares alive until it is done.
    std::thread(ask, shared, forPort).detach();
}

NRouter::State NRouter::state(uint32_t nowMs) const {
    if (!shared) return State::OFF;
    std::lock_guard<std::mutex> hold(shared->lock);
    if (shared->done) return shared->opened ? State::OPENED : State::NONE;
    return nowMs - since < ASK_MS ? State::ASKING : State::NONE;
}

std::string NRouter::line(uint32_t nowMs) const {
    switch (state(nowMs)) {
    case State::OPENED: {
        std::lock_guard<std::mutex> hold(shared->lock);
        return "Router: port " + std::to_string(port) + " opened, your address is " + shared->external;
    }
    case State::NONE: return "Router: no UPnP (forward UDP port " + std::to_string(port) + " by hand)";
    case State::OFF:
    case State::ASKING: break;
    }
    return "";
}
