// Asking the router for the host's port, against a fake gateway on loopback:
// a good one (that first reports the mapping taken, as a router still
// holding an earlier run's does), and broken ones whose answers are junk.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "net/nrouter.h"
#include "net/nsession.h"

namespace {

// As little of a device description as names the service to ask.
const char* const DESCRIPTION =
    "<root><device><serviceList><service><serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
    "<controlURL>/ctl</controlURL></service></serviceList></device></root>";

// An HTTP answer; its body a SOAP envelope when `action` is set.
std::string reply(const char* status, const std::string& action, const std::string& inner) {
    const std::string body =
        action.empty() ? inner
                       : "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
                         "<u:" + action + " xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">" + inner +
                             "</u:" + action + "></s:Body></s:Envelope>";
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// An Internet Gateway Device on 127.0.0.1, one request a connection.
class FakeGateway {
public:
    enum Kind { GOOD, JUNK, HUGE };
    explicit FakeGateway(Kind kind) : kind(kind) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        listen(listener, 8);
        thread = std::thread([this] {
            while (running) {
                pollfd p = {listener, POLLIN, 0};
                const int client = poll(&p, 1, 20) > 0 ? accept(listener, nullptr, nullptr) : -1;
                if (client < 0) continue;
                std::string request;
                char buffer[4096];
                ssize_t n = 0;
                // The whole request: its head, then as much body as it says.
                while ((request.find("\r\n\r\n") == std::string::npos ||
                        request.size() < request.find("\r\n\r\n") + 4 + bodyLength(request)) &&
                       (n = recv(client, buffer, sizeof buffer, 0)) > 0) {
                    request.append(buffer, static_cast<size_t>(n));
                }
                const std::string answer = answerTo(request);
                send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
                close(client);
            }
        });
    }
    ~FakeGateway() {
        running = false;
        thread.join();
        close(listener);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/rootDesc.xml"; }

    std::atomic<int> adds{0}, deletes{0};

private:
    static size_t bodyLength(const std::string& request) {
        const size_t at = request.find("Content-Length: ");
        return at == std::string::npos ? 0 : std::stoul(request.substr(at + 16));
    }
    std::string answerTo(const std::string& request) {
        const auto has = [&request](const char* part) { return request.find(part) != std::string::npos; };
        if (kind == JUNK) return "HTTP/1.1 200 OK\r\n\r\n<root><device><<<\x01\x02 not XML";
        if (kind == HUGE) return reply("200 OK", "", std::string(4 << 20, 'x'));
        if (request.rfind("GET ", 0) == 0) return reply("200 OK", "", DESCRIPTION);
        if (has("GetExternalIPAddress")) {
            return reply("200 OK", "GetExternalIPAddressResponse", "<NewExternalIPAddress>203.0.113.7</NewExternalIPAddress>");
        }
        if (has("DeletePortMapping")) return deletes++, reply("200 OK", "DeletePortMappingResponse", "");
        if (!has("AddPortMapping") || !has("<NewProtocol>UDP") || !has("<NewExternalPort>27190")) return reply("404 Not Found", "", "");
        if (adds++ > 0) return reply("200 OK", "AddPortMappingResponse", "");
        return reply("500 Internal Server Error", "", "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap."
                     "org/soap/envelope/\"><s:Body><s:Fault><detail><UPnPError><errorCode>718</errorCode></UPnPError>"
                     "</detail></s:Fault></s:Body></s:Envelope>");
    }

    Kind kind;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    uint16_t port = 0;
    std::atomic<bool> running{true};
    std::thread thread;
};

std::string ask(NRouter& router) {  // UDP 27190, waiting at most 5 s
    router.open(27190, NSession::clock());
    for (int i = 0; i < 500 && router.state(NSession::clock()) == NRouter::State::ASKING; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return router.line(NSession::clock());
}

}  // namespace

// The mapping in the way is taken away and the port opened, then given back
// when hosting stops; junk or a huge answer is no UPnP; off asks nobody.
TEST(NetRouter, AGatewayIsAskedAndItsAnswersJudged) {
    const struct {
        FakeGateway::Kind kind;
        const char* upnp;
        const char* line;
        int adds, deletes, deletesAfter;
    } cases[] = {
        {FakeGateway::GOOD, nullptr, "Router: port 27190 opened, your address is 203.0.113.7", 2, 1, 2},
        {FakeGateway::JUNK, nullptr, "Router: no UPnP (forward UDP port 27190 by hand)", 0, 0, 0},
        {FakeGateway::HUGE, nullptr, "Router: no UPnP (forward UDP port 27190 by hand)", 0, 0, 0},
        {FakeGateway::GOOD, "off", "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        FakeGateway gateway(c.kind);
        setenv("VEKTORAK_UPNP_URL", gateway.url().c_str(), 1);
        c.upnp != nullptr ? setenv("VEKTORAK_UPNP", c.upnp, 1) : unsetenv("VEKTORAK_UPNP");
        {
            NRouter router;
            EXPECT_EQ(ask(router), c.line);
            EXPECT_EQ(gateway.adds, c.adds);
            EXPECT_EQ(gateway.deletes, c.deletes) << "the mapping in the way";
        }
        EXPECT_EQ(gateway.deletes, c.deletesAfter) << "given back when hosting stops";
    }
    unsetenv("VEKTORAK_UPNP_URL");
}
