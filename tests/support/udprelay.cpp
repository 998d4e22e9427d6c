// udprelay.cpp: one thread, one poll() over the listening socket and every
// client's upstream socket, and a min-heap of datagrams by due time.
#include "support/udprelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// A readable socket is read at most this often per wake, so one busy
// direction cannot starve the other or the deliveries.
constexpr int kReadsPerWake = 64;

int64_t steadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A non-blocking UDP socket bound to 127.0.0.1:port, or -1.
int boundSocket(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const sockaddr_in a = loopback(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The generator's raw 32 bits, mapped by hand: the standard distributions
// may differ between libraries, and a seed must mean the same run anywhere.
double unit(std::mt19937& r) { return r() / 4294967296.0; }
int between(std::mt19937& r, int lo, int hi) {
    return lo + static_cast<int>(r() % static_cast<uint32_t>(hi - lo + 1));
}

}  // namespace

UdpRelay::UdpRelay(uint16_t listenPort, uint16_t targetPort, const RelayConditions& toServer,
                   const RelayConditions& toClient, uint32_t seed, size_t maxPending)
    : listenPort_(listenPort), targetPort_(targetPort), maxPending_(maxPending), buffer_(65536) {
    conditions_[ToServer] = toServer;
    conditions_[ToClient] = toClient;
    // Two streams, so that traffic one way does not change the fates the
    // other way.
    random_[ToServer].seed(seed);
    random_[ToClient].seed(seed ^ 0x9e3779b9u);
    clients_.reserve(kMaxClients);
}

UdpRelay::~UdpRelay() { stop(); }

bool UdpRelay::start() {
    if (listenFd_ >= 0) {
        fprintf(stderr, "udprelay: already started\n");
        return false;
    }
    listenFd_ = boundSocket(listenPort_);
    if (listenFd_ < 0) {
        fprintf(stderr, "udprelay: cannot bind 127.0.0.1:%u: %s\n", listenPort_, strerror(errno));
        return false;
    }
    sockaddr_in a;
    socklen_t len = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    running_ = true;
    thread_ = std::thread(&UdpRelay::run, this);
    return true;
}

void UdpRelay::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    for (const Client& c : clients_) close(c.upstream);
    clients_.clear();
    pending_ = {};
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
}

void UdpRelay::setConditions(const RelayConditions& toServer, const RelayConditions& toClient) {
    std::lock_guard<std::mutex> hold(conditionsLock_);
    conditions_[ToServer] = toServer;
    conditions_[ToClient] = toClient;
}

RelayCounters UdpRelay::counters(Direction direction) const {
    const Counters& c = counters_[direction];
    RelayCounters s;
    s.received = c.received.load(std::memory_order_relaxed);
    s.forwarded = c.forwarded.load(std::memory_order_relaxed);
    s.dropped = c.dropped.load(std::memory_order_relaxed);
    s.duplicated = c.duplicated.load(std::memory_order_relaxed);
    s.refused = c.refused.load(std::memory_order_relaxed);
    s.bytes = c.bytes.load(std::memory_order_relaxed);
    return s;
}

bool UdpRelay::idle() const {
    // Each datagram's input is counted before its outcome, so reading the
    // outcomes first can only make the relay look busier than it is.
    uint64_t out = 0, in = 0;
    for (const Counters& c : counters_) out += c.forwarded + c.dropped + c.refused;
    for (const Counters& c : counters_) in += c.received + c.duplicated;
    return out == in;
}

void UdpRelay::run() {
    std::vector<pollfd> fds;
    while (running_) {
        deliverDue(steadyUs());
        int waitMs = kMaxWaitMs;
        if (!pending_.empty()) {
            // Rounded up: waking a little late is fine, early would spin.
            const int64_t untilUs = pending_.top().dueUs - steadyUs();
            waitMs = static_cast<int>(std::clamp<int64_t>((untilUs + 999) / 1000, 0, kMaxWaitMs));
        }
        fds.assign(1, pollfd{listenFd_, POLLIN, 0});
        for (const Client& c : clients_) fds.push_back(pollfd{c.upstream, POLLIN, 0});
        if (poll(fds.data(), fds.size(), waitMs) <= 0) continue;
        const int64_t now = steadyUs();
        if (fds[0].revents) drainClients(now);
        // clients_ may have grown while draining; fds covers the old ones.
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents) drainServer(clients_[i - 1], now);
    }
}

void UdpRelay::drainClients(int64_t nowUs) {
    for (int i = 0; i < kReadsPerWake; ++i) {
        sockaddr_in from;
        socklen_t len = sizeof from;
        const ssize_t n =
            recvfrom(listenFd_, buffer_.data(), buffer_.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        const Client* client = clientFor(from);
        if (!client) {
            ++counters_[ToServer].received;
            ++counters_[ToServer].refused;
            continue;
        }
        schedule(ToServer, buffer_.data(), static_cast<size_t>(n), client->upstream, nullptr, nowUs);
    }
}

void UdpRelay::drainServer(const Client& client, int64_t nowUs) {
    for (int i = 0; i < kReadsPerWake; ++i) {
        // The upstream socket is connected, so only the server gets through;
        // an error (the server's port closed) is read and forgotten here.
        const ssize_t n = recv(client.upstream, buffer_.data(), buffer_.size(), 0);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            continue;
        }
        schedule(ToClient, buffer_.data(), static_cast<size_t>(n), listenFd_, &client.address, nowUs);
    }
}

const UdpRelay::Client* UdpRelay::clientFor(const sockaddr_in& from) {
    for (const Client& c : clients_)
        if (c.address.sin_port == from.sin_port && c.address.sin_addr.s_addr == from.sin_addr.s_addr) return &c;
    if (static_cast<int>(clients_.size()) >= kMaxClients) return nullptr;
    const int fd = boundSocket(0);
    const sockaddr_in server = loopback(targetPort_);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        fprintf(stderr, "udprelay: no upstream socket for a new client: %s\n", strerror(errno));
        if (fd >= 0) close(fd);
        return nullptr;
    }
    clients_.push_back(Client{from, fd});
    return &clients_.back();
}

void UdpRelay::schedule(Direction direction, const uint8_t* data, size_t size, int fd, const sockaddr_in* address,
                        int64_t nowUs) {
    RelayConditions c;
    {
        std::lock_guard<std::mutex> hold(conditionsLock_);
        c = conditions_[direction];
    }
    const int jitter = std::max(0, c.jitterMs);
    std::mt19937& r = random_[direction];
    const double lossDraw = unit(r);
    const int jitterDraw = between(r, -jitter, jitter);
    const double reorderDraw = unit(r);
    const int holdMs = between(r, 1, 2 * jitter + 5);
    const double duplicateDraw = unit(r);
    const int copyLagMs = between(r, 1, jitter + 1);

    Counters& count = counters_[direction];
    ++count.received;
    if (lossDraw < c.loss) {
        ++count.dropped;
        return;
    }
    int delayMs = std::max(0, c.delayMs + jitterDraw);
    if (reorderDraw < c.reorder) delayMs += holdMs;
    Pending p{nowUs + delayMs * int64_t{1000}, order_++, fd, address != nullptr, {}, {data, data + size}, direction};
    if (address) p.address = *address;
    const bool duplicated = duplicateDraw < c.duplicate;
    Pending copy{};
    if (duplicated) {
        ++count.duplicated;
        copy = p;
        copy.dueUs += copyLagMs * int64_t{1000};
        copy.order = order_++;
    }
    // The original first: with one place left, the copy is the one refused.
    queue(std::move(p));
    if (duplicated) queue(std::move(copy));
}

bool UdpRelay::queue(Pending&& p) {
    if (pending_.size() >= maxPending_) {
        ++counters_[p.direction].refused;
        return false;
    }
    pending_.push(std::move(p));
    return true;
}

void UdpRelay::deliverDue(int64_t nowUs) {
    while (!pending_.empty() && pending_.top().dueUs <= nowUs) {
        const Pending& p = pending_.top();
        const ssize_t sent =
            p.toAddress ? sendto(p.fd, p.bytes.data(), p.bytes.size(), 0,
                                 reinterpret_cast<const sockaddr*>(&p.address), sizeof p.address)
                        : send(p.fd, p.bytes.data(), p.bytes.size(), 0);
        Counters& count = counters_[p.direction];
        if (sent == static_cast<ssize_t>(p.bytes.size())) {
            ++count.forwarded;
            count.bytes += p.bytes.size();
        } else {
            ++count.refused;
        }
        pending_.pop();
    }
}
