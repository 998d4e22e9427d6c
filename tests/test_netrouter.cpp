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
#include <cstdlib>
#include <string>
#include <thread>

#include "net/nrouter.h"
#include "net/nsession.h"

namespace {

const char* const DESCRIPTION =
    "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
    "<minor>0</minor></specVersion><device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1"
    "</deviceType><deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType><deviceList>"
    "<device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType><serviceList><service>"
    "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType><serviceId>"
    "urn:upnp-org:serviceId:WANIPConn1</serviceId><controlURL>/ctl</controlURL><eventSubURL>/evt</eventSubURL>"
    "<SCPDURL>/scpd.xml</SCPDURL></service></serviceList></device></deviceList></device></deviceList></device></root>";

std::string soap(const std::string& body) {
    return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
           body + "</s:Body></s:Envelope>";
}

std::string response(const char* status, const std::string& body) {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// An Internet Gateway Device on 127.0.0.1, one request a connection.
class FakeGateway {
public:
    enum Kind { GOOD, JUNK, HUGE };
    explicit FakeGateway(Kind kind) : kind(kind) {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        listen(listener, 8);
        thread = std::thread([this] { serve(); });
    }
    ~FakeGateway() {
        running = false;
        thread.join();
        close(listener);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/rootDesc.xml"; }

    std::atomic<int> adds{0}, deletes{0};

private:
    void serve() {
        while (running) {
            pollfd p = {listener, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int client = accept(listener, nullptr, nullptr);
            if (client < 0) continue;
            std::string request;
            char buffer[4096];
            size_t need = std::string::npos;
            while (need == std::string::npos || request.size() < need) {
                pollfd c = {client, POLLIN, 0};
                if (poll(&c, 1, 1000) <= 0) break;
                const ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<size_t>(n));
                const size_t end = request.find("\r\n\r\n");
                if (end != std::string::npos && need == std::string::npos) {
                    const size_t length = request.find("Content-Length: ");
                    need = end + 4 + (length != std::string::npos && length < end ? std::stoul(request.substr(length + 16)) : 0);
                }
            }
            const std::string answer = answerTo(request);
            send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            close(client);
        }
    }
    std::string answerTo(const std::string& request) {
        if (kind == JUNK) return "HTTP/1.1 200 OK\r\n\r\n<root><device><<<\x01\x02 not XML";
        if (kind == HUGE) return response("200 OK", std::string(4 << 20, 'x'));
        if (request.rfind("GET ", 0) == 0) return response("200 OK", DESCRIPTION);
        if (request.find("GetExternalIPAddress") != std::string::npos) {
            return response("200 OK", soap("<u:GetExternalIPAddressResponse xmlns:u=\"urn:schemas-upnp-org:service:"
                                           "WANIPConnection:1\"><NewExternalIPAddress>203.0.113.7"
                                           "</NewExternalIPAddress></u:GetExternalIPAddressResponse>"));
        }
        if (request.find("DeletePortMapping") != std::string::npos) {
            deletes++;
            return response("200 OK", soap("<u:DeletePortMappingResponse xmlns:u=\"urn:schemas-upnp-org:service:"
                                           "WANIPConnection:1\"></u:DeletePortMappingResponse>"));
        }
        if (request.find("AddPortMapping") != std::string::npos && request.find("<NewProtocol>UDP") != std::string::npos &&
            request.find("<NewExternalPort>27190") != std::string::npos) {
            if (adds++ == 0) {
                return response("500 Internal Server Error",
                                soap("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                                     "<detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>718"
                                     "</errorCode><errorDescription>ConflictInMappingEntry</errorDescription>"
                                     "</UPnPError></detail></s:Fault>"));
            }
            return response("200 OK", soap("<u:AddPortMappingResponse xmlns:u=\"urn:schemas-upnp-org:service:"
                                           "WANIPConnection:1\"></u:AddPortMappingResponse>"));
        }
        return response("404 Not Found", "");
    }

    Kind kind;
    int listener = -1;
    uint16_t port = 0;
    std::atomic<bool> running{true};
    std::thread thread;
};

// Asks for UDP 27190 and waits for the answer, at most 5 s.
std::string ask(NRouter& router) {
    router.open(27190, NSession::clock());
    const auto start = std::chrono::steady_clock::now();
    while (router.state(NSession::clock()) == NRouter::State::ASKING &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return router.line(NSession::clock());
}

}  // namespace

TEST(NetRouter, AGatewayOpensThePortAfterAConflictAndGetsItBack) {
    unsetenv("VEKTORAK_UPNP");
    FakeGateway gateway(FakeGateway::GOOD);
    setenv("VEKTORAK_UPNP_URL", gateway.url().c_str(), 1);
    {
        NRouter router;
        EXPECT_EQ(ask(router), "Router: port 27190 opened, your address is 203.0.113.7");
        EXPECT_EQ(gateway.adds, 2);
        EXPECT_EQ(gateway.deletes, 1) << "the mapping in the way";
    }
    EXPECT_EQ(gateway.deletes, 2) << "given back when hosting stops";

    setenv("VEKTORAK_UPNP", "off", 1);
    NRouter off;
    EXPECT_EQ(ask(off), "");
    EXPECT_EQ(off.state(NSession::clock()), NRouter::State::OFF);
    EXPECT_EQ(gateway.adds, 2);
    unsetenv("VEKTORAK_UPNP_URL");
}

TEST(NetRouter, AGatewayAnsweringJunkOrTooMuchIsNoUPnP) {
    unsetenv("VEKTORAK_UPNP");
    for (FakeGateway::Kind kind : {FakeGateway::JUNK, FakeGateway::HUGE}) {
        FakeGateway gateway(kind);
        setenv("VEKTORAK_UPNP_URL", gateway.url().c_str(), 1);
        NRouter router;
        EXPECT_EQ(ask(router), "Router: no UPnP (forward UDP port 27190 by hand)") << kind;
    }
    unsetenv("VEKTORAK_UPNP_URL");
}
