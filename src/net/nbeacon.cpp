// nbeacon.cpp: the discovery answers and the router, for a hosting game.
#include "net/nbeacon.h"

#include <cstdio>
#include <new>  // Required for: std::nothrow

NBeacon::NBeacon() {}

NBeacon::~NBeacon() {}

void NBeacon::open(uint16_t gamePort, uint32_t nowMs) {
    answerer.reset(new (std::nothrow) NDiscoveryAnswerer());
    if (answerer != nullptr && !answerer->open(gamePort)) answerer.reset();
    router.reset(new (std::nothrow) NRouter());
    if (router != nullptr) router->open(gamePort, nowMs);
}

void NBeacon::service(vkn::Stage stage, uint32_t nowMs) {
    if (answerer != nullptr) answerer->service(stage);
    if (router == nullptr || routerTold) return;
    const std::string line = router->line(nowMs);
    if (line.empty()) return;
    printf("%s\n", line.c_str());
    fflush(stdout);
    routerTold = true;
}

std::string NBeacon::routerLine(uint32_t nowMs) const { return router != nullptr ? router->line(nowMs) : ""; }
