// nrelaylink.cpp: the libnice agent of one relayed game, and its bridge.
#include "net/nrelaylink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include <nice/agent.h>

#include "net/naddress.h"  // Required for: dottedAddress

namespace {

constexpr unsigned COMPONENT = 1;
// Datagrams moved a pass each way: ENet sends a few a frame.
constexpr int32_t BRIDGE_BURST = 64;

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

}  // namespace

NRelayLink::NRelayLink(_GMainContext* ctx, bool controls, uint16_t port)
    : context(ctx), controlling(controls), sessionPort(port) {}

NRelayLink::~NRelayLink() {
    if (agent != nullptr) {
        nice_agent_attach_recv(agent, stream, COMPONENT, context, nullptr, nullptr);
        g_signal_handlers_disconnect_by_data(agent, this);
        // The TURN allocations are let go of (a refresh of lifetime 0) as
        // the owner's context runs on; the agent lives until then.
        nice_agent_close_async(agent, nullptr, nullptr);
        g_object_unref(agent);
    }
    if (bridge >= 0) ::close(bridge);
}

bool NRelayLink::start(const NLobbyAddress& turn, const char* username, const char* password, uint32_t localIp,
                       std::string& why) {
    bridge = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in own = loopback(0);
    socklen_t size = sizeof own;
    if (bridge < 0 || fcntl(bridge, F_SETFL, O_NONBLOCK) != 0 ||
        bind(bridge, reinterpret_cast<const sockaddr*>(&own), sizeof own) != 0 ||
        getsockname(bridge, reinterpret_cast<sockaddr*>(&own), &size) != 0) {
        why = "no loopback socket for the relay's bridge";
        return false;
    }
    ownBridgePort = ntohs(own.sin_port);

    agent = nice_agent_new_full(context, NICE_COMPATIBILITY_RFC5245, NICE_AGENT_OPTION_NONE);
    if (agent == nullptr) {
        why = "libnice made no agent";
        return false;
    }
    // No UPnP (the player's router is asked elsewhere, or not at all), no
    // TCP candidates, and nothing but the relay.
    g_object_set(agent, "controlling-mode", controlling ? TRUE : FALSE, "upnp", FALSE, "ice-tcp", FALSE,
                 "force-relay", TRUE, nullptr);
    g_signal_connect(agent, "candidate-gathering-done", G_CALLBACK(onGathered), this);
    g_signal_connect(agent, "component-state-changed", G_CALLBACK(onState), this);
    stream = nice_agent_add_stream(agent, 1);
    // The agent's sockets on the one address that leads to the TURN server,
    // not on every interface libnice would otherwise find.
    NiceAddress base;
    nice_address_init(&base);
    const std::string turnIp = dottedAddress(turn.ip);
    if (stream == 0 || !nice_address_set_from_string(&base, dottedAddress(localIp).c_str()) ||
        !nice_agent_add_local_address(agent, &base) ||
        !nice_agent_set_relay_info(agent, stream, COMPONENT, turnIp.c_str(), turn.port, username, password,
                                   NICE_RELAY_TYPE_TURN_UDP) ||
        !nice_agent_attach_recv(agent, stream, COMPONENT, context, onReceive, this) ||
        !nice_agent_gather_candidates(agent, stream)) {
        why = "libnice could not start on the relay " + turnIp + ":" + std::to_string(turn.port);
        return false;
    }
    return true;
}

void NRelayLink::onGathered(_NiceAgent*, unsigned, void* self) { static_cast<NRelayLink*>(self)->gathered(); }

void NRelayLink::onState(_NiceAgent*, unsigned, unsigned, unsigned state, void* self) {
    static_cast<NRelayLink*>(self)->state = state;
}

void NRelayLink::onReceive(_NiceAgent*, unsigned, unsigned, unsigned size, char* data, void* self) {
    const NRelayLink& link = *static_cast<NRelayLink*>(self);
    const sockaddr_in to = loopback(link.sessionPort);
    sendto(link.bridge, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void NRelayLink::gathered() {
    if (gatheringDone) return;
    gatheringDone = true;
    gchar* ufrag = nullptr;
    gchar* pwd = nullptr;
    if (!nice_agent_get_local_credentials(agent, stream, &ufrag, &pwd)) return;
    std::string blob = std::string(ufrag) + " " + pwd + "\n";
    g_free(ufrag);
    g_free(pwd);
    bool any = false;
    GSList* candidates = nice_agent_get_local_candidates(agent, stream, COMPONENT);
    for (GSList* i = candidates; i != nullptr; i = i->next) {
        const NiceCandidate* c = static_cast<const NiceCandidate*>(i->data);
        if (c->type != NICE_CANDIDATE_TYPE_RELAYED) continue;
        gchar* line = nice_agent_generate_local_candidate_sdp(agent, const_cast<NiceCandidate*>(c));
        const std::string text = std::string(line) + "\n";
        g_free(line);
        if (blob.size() + text.size() > vkl::MAX_BLOB) break;
        blob += text;
        any = true;
    }
    g_slist_free_full(candidates, reinterpret_cast<GDestroyNotify>(nice_candidate_free));
    // Without a relayed candidate (the TURN server refused or never
    // answered) there is nothing to offer.
    noCandidate = !any;
    if (any) ownBlob = blob;
    applyRemote();
}

bool NRelayLink::takeRemote(const uint8_t* blob, size_t size) {
    const std::string text(reinterpret_cast<const char*>(blob), size);
    const size_t space = text.find(' ');
    const size_t end = text.find('\n');
    if (space == std::string::npos || end == std::string::npos || space > end) return false;
    if (remoteBlob.empty()) remoteBlob = text;
    applyRemote();
    return true;
}

void NRelayLink::applyRemote() {
    if (remoteApplied || !gatheringDone || ownBlob.empty() || remoteBlob.empty()) return;
    remoteApplied = true;
    const size_t space = remoteBlob.find(' ');
    const size_t end = remoteBlob.find('\n');
    const std::string ufrag = remoteBlob.substr(0, space);
    const std::string pwd = remoteBlob.substr(space + 1, end - space - 1);
    nice_agent_set_remote_credentials(agent, stream, ufrag.c_str(), pwd.c_str());
    GSList* relayed = nullptr;
    for (size_t from = end + 1; from < remoteBlob.size();) {
        size_t to = remoteBlob.find('\n', from);
        if (to == std::string::npos) to = remoteBlob.size();
        NiceCandidate* c = nice_agent_parse_remote_candidate_sdp(agent, stream, remoteBlob.substr(from, to - from).c_str());
        if (c != nullptr && c->type == NICE_CANDIDATE_TYPE_RELAYED) {
            relayed = g_slist_append(relayed, c);
        } else if (c != nullptr) {
            nice_candidate_free(c);
        }
        from = to + 1;
    }
    if (relayed == nullptr || nice_agent_set_remote_candidates(agent, stream, COMPONENT, relayed) <= 0) {
        fprintf(stderr, "The other side offered no relayed candidate.\n");
        noCandidate = true;
    }
    g_slist_free_full(relayed, reinterpret_cast<GDestroyNotify>(nice_candidate_free));
}

void NRelayLink::service() {
    if (bridge < 0 || agent == nullptr) return;
    uint8_t buffer[2048];
    for (int32_t i = 0; i < BRIDGE_BURST; i++) {
        sockaddr_in from = {};
        socklen_t size = sizeof from;
        const ssize_t n = recvfrom(bridge, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (n < 0) break;
        // Only the session's own socket speaks through the bridge.
        if (from.sin_addr.s_addr != htonl(INADDR_LOOPBACK) || ntohs(from.sin_port) != sessionPort) continue;
        nice_agent_send(agent, stream, COMPONENT, static_cast<guint>(n), reinterpret_cast<const gchar*>(buffer));
    }
}

bool NRelayLink::ready() const { return state == NICE_COMPONENT_STATE_READY; }

bool NRelayLink::failed() const { return noCandidate || state == NICE_COMPONENT_STATE_FAILED; }
