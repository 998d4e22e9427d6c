// udprelay.h: a UDP relay on 127.0.0.1 that puts a simulated distance
// between a client and a server on the same machine: delay, jitter, loss,
// duplication and reordering, drawn from a seed, each direction on its own.
//
// The client sends to port() instead of the server. Every source address
// that sends there counts as a client and gets its own upstream socket, so
// the server sees as many distinct peers as there are clients; the server's
// answers on that socket go back to that client.
//
// Each datagram takes the same five draws from its direction's generator,
// whatever the conditions, so for one seed and one sequence of datagrams in
// a direction the n-th datagram always meets the same fate: lost, or due
// after delayMs + jitter (clamped at 0), held back further if reordered, and
// followed by a copy if duplicated. Datagrams are never delivered early; the
// relay wakes within a millisecond of a due time, later if the machine is
// busy. Timing is therefore a lower bound, never an upper one.
//
// Memory is bounded: at most maxPending datagrams wait at any time and at
// most kMaxClients clients are served; what does not fit is counted as
// refused, apart from the drawn losses. Datagrams still waiting at stop()
// are discarded.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <queue>
#include <random>
#include <thread>
#include <vector>

// The conditions of one direction. A round trip of X ms is delayMs = X / 2
// each way.
struct RelayConditions {
    int delayMs = 0;        // one way, before jitter
    int jitterMs = 0;       // added uniformly in -jitterMs..+jitterMs
    double loss = 0;        // probability a datagram is dropped, 0..1
    double duplicate = 0;   // probability a second copy follows 1..jitterMs+1 ms later
    double reorder = 0;     // probability a datagram is held back 1..2*jitterMs+5 ms more
};

// A snapshot of one direction's counters. received = forwarded + dropped +
// refused - duplicated once nothing is pending.
struct RelayCounters {
    uint64_t received = 0;    // datagrams that came in from this direction's sender
    uint64_t forwarded = 0;   // datagrams sent on, copies included
    uint64_t dropped = 0;     // lost by the drawn loss
    uint64_t duplicated = 0;  // second copies drawn
    uint64_t refused = 0;     // not taken (queue full, too many clients) or not sendable
    uint64_t bytes = 0;       // payload bytes forwarded
};

class UdpRelay {
public:
    enum Direction { ToServer = 0, ToClient = 1 };
    static constexpr size_t kDefaultMaxPending = 4096;
    static constexpr int kMaxClients = 8;
    // The relay's poll() never waits longer than this, so stop() takes
    // effect within it.
    static constexpr int kMaxWaitMs = 20;

    // listenPort 0 takes any free port (see port()); targetPort is the
    // server's, on 127.0.0.1. Nothing happens before start().
    UdpRelay(uint16_t listenPort, uint16_t targetPort, const RelayConditions& toServer,
             const RelayConditions& toClient, uint32_t seed, size_t maxPending = kDefaultMaxPending);
    // Stops.
    ~UdpRelay();
    UdpRelay(const UdpRelay&) = delete;
    UdpRelay& operator=(const UdpRelay&) = delete;

    // Binds the listening socket and starts the relay's thread. Returns
    // false, with the reason on stderr, if the port cannot be bound or the
    // relay is running already.
    bool start();
    // Stops the thread and waits for it; pending datagrams are discarded.
    // Safe to call more than once, or without start().
    void stop();

    // The port clients send to, once start() has succeeded; 0 before.
    uint16_t port() const { return port_; }

    // Changes the conditions from the next datagram on (for example loss 1
    // for a network that goes away). Datagrams already waiting keep their
    // due times. Callable from any thread.
    void setConditions(const RelayConditions& toServer, const RelayConditions& toClient);

    // Readable at any time, from any thread.
    RelayCounters counters(Direction direction) const;
    // True when every datagram received so far has been forwarded, dropped
    // or refused: nothing waits. Read counters() first, then idle(): if no
    // datagram came in between, what counters() counted has all gone out
    // (and on loopback, sits in the receiver's socket).
    bool idle() const;

private:
    struct Pending {
        int64_t dueUs;
        uint64_t order;  // ties keep arrival order
        int fd;
        bool toAddress;  // sendto(address) on the listening socket, else send() upstream
        sockaddr_in address;
        std::vector<uint8_t> bytes;
        Direction direction;
        bool operator>(const Pending& o) const { return dueUs != o.dueUs ? dueUs > o.dueUs : order > o.order; }
    };
    struct Client {
        sockaddr_in address;
        int upstream;
    };
    struct Counters {
        std::atomic<uint64_t> received{0}, forwarded{0}, dropped{0}, duplicated{0}, refused{0}, bytes{0};
    };

    void run();
    void drainClients(int64_t nowUs);
    void drainServer(const Client& client, int64_t nowUs);
    void schedule(Direction direction, const uint8_t* data, size_t size, int fd, const sockaddr_in* address,
                  int64_t nowUs);
    bool queue(Pending&& p);
    void deliverDue(int64_t nowUs);
    const Client* clientFor(const sockaddr_in& from);

    uint16_t listenPort_;
    uint16_t targetPort_;
    size_t maxPending_;
    uint16_t port_ = 0;
    int listenFd_ = -1;

    mutable std::mutex conditionsLock_;
    RelayConditions conditions_[2];
    std::mt19937 random_[2];
    Counters counters_[2];

    std::vector<Client> clients_;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending_;
    uint64_t order_ = 0;
    std::vector<uint8_t> buffer_;

    std::atomic<bool> running_{false};
    std::thread thread_;
};
