#include "DelayProxy.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Relayed connections read no further ahead than this while their chunks wait.
constexpr qsizetype heldLimit = 64 * 1024 * 1024;
constexpr qsizetype readSize = 64 * 1024;

sockaddr_in address(const QString& host, quint16 port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &result.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + host.toStdString());
    return result;
}

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    // A held chunk must leave the moment it is due, not wait for more.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

std::vector<DelayProxy::Route> DelayProxy::portRange(quint16 first, quint16 last, const QString& listenAddress,
                                                     const QString& targetAddress)
{
    std::vector<Route> routes;
    for (quint32 port = first; port <= last; ++port)
        routes.push_back({quint16(port), quint16(port), listenAddress, targetAddress});
    return routes;
}

DelayProxy::DelayProxy(std::chrono::microseconds roundTrip, const std::vector<Route>& routes) : oneWay(roundTrip / 2)
{
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe failed");
    for (const Route& route : routes) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in bound = address(route.listenAddress, route.listenPort);
        socklen_t length = sizeof bound;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&bound), length) != 0 || ::listen(fd, 64) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
            ::close(fd);
            throw std::runtime_error("cannot listen for the delaying proxy");
        }
        listeners.push_back({fd, ntohs(bound.sin_port), route});
    }
    worker = std::jthread([this](std::stop_token token) { run(token); });
}

DelayProxy::~DelayProxy()
{
    worker.request_stop();
    [[maybe_unused]] const ssize_t woken = ::write(wake[1], "x", 1);
    worker.join();
    for (const Listener& listener : listeners)
        ::close(listener.fd);
    for (const Connection& connection : connections) {
        ::close(connection.up.from);
        ::close(connection.up.to);
    }
    ::close(wake[0]);
    ::close(wake[1]);
}

void DelayProxy::run(std::stop_token token)
{
    while (!token.stop_requested()) {
        std::vector<pollfd> watched{{wake[0], POLLIN, 0}};
        for (const Listener& listener : listeners)
            watched.push_back({listener.fd, POLLIN, 0});
        const Clock::time_point now = Clock::now();
        for (Connection& connection : connections) {
            for (Flow* flow : {&connection.up, &connection.down}) {
                if (flow->reading && flow->queued < heldLimit)
                    watched.push_back({flow->from, POLLIN, 0});
                if (!flow->chunks.empty() && flow->chunks.front().due <= now)
                    watched.push_back({flow->to, POLLOUT, 0});
            }
        }
        timespec timeout{};
        const std::optional<Clock::time_point> due = nextDue(now);
        if (due) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(*due - now, Clock::duration()));
            timeout = {time_t(wait.count() / 1'000'000'000), long(wait.count() % 1'000'000'000)};
        }
        ::ppoll(watched.data(), watched.size(), due ? &timeout : nullptr, nullptr);

        for (size_t index = 0; index < listeners.size(); ++index) {
            if (watched[index + 1].revents & POLLIN)
                accept(listeners[index]);
        }
        for (Connection& connection : connections) {
            for (Flow* flow : {&connection.up, &connection.down}) {
                receive(*flow, connection.broken);
                deliver(*flow, connection.broken);
            }
        }
        std::erase_if(connections, [](const Connection& connection) {
            const bool done = connection.broken || (connection.up.finished && connection.down.finished);
            if (done) {
                ::close(connection.up.from);
                ::close(connection.up.to);
            }
            return done;
        });
    }
}

void DelayProxy::accept(const Listener& listener)
{
    const int client = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = address(listener.route.targetAddress, listener.route.targetPort);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::close(client);
        ::close(server);
        return;
    }
    setNonBlocking(client);
    setNonBlocking(server);
    connections.push_back(
        {Flow{.from = client, .to = server, .chunks = {}}, Flow{.from = server, .to = client, .chunks = {}}});
}

void DelayProxy::receive(Flow& flow, bool& broken)
{
    if (!flow.reading || flow.queued >= heldLimit)
        return;
    const Clock::time_point due = Clock::now() + oneWay;
    while (flow.queued < heldLimit) {
        QByteArray bytes(readSize, Qt::Uninitialized);
        const ssize_t got = ::read(flow.from, bytes.data(), size_t(bytes.size()));
        if (got < 0) {
            broken = broken || (errno != EAGAIN && errno != EINTR);
            return;
        }
        bytes.resize(got);
        flow.queued += got;
        flow.chunks.push_back({due, bytes});
        if (got == 0) {
            flow.reading = false;
            return;
        }
    }
}

void DelayProxy::deliver(Flow& flow, bool& broken)
{
    const Clock::time_point now = Clock::now();
    while (!flow.chunks.empty() && flow.chunks.front().due <= now) {
        Chunk& chunk = flow.chunks.front();
        if (chunk.bytes.isEmpty()) {
            ::shutdown(flow.to, SHUT_WR);
            flow.finished = true;
            flow.chunks.pop_front();
            continue;
        }
        const ssize_t written =
            ::send(flow.to, chunk.bytes.constData() + flow.sent, size_t(chunk.bytes.size() - flow.sent), MSG_NOSIGNAL);
        if (written < 0) {
            broken = broken || (errno != EAGAIN && errno != EINTR);
            return;
        }
        flow.sent += written;
        if (flow.sent < chunk.bytes.size())
            return;
        flow.queued -= chunk.bytes.size();
        flow.sent = 0;
        flow.chunks.pop_front();
    }
}

std::optional<DelayProxy::Clock::time_point> DelayProxy::nextDue(Clock::time_point now) const
{
    std::optional<Clock::time_point> earliest;
    for (const Connection& connection : connections) {
        for (const Flow* flow : {&connection.up, &connection.down}) {
            // A chunk already due waits for its socket to take it, which poll reports.
            if (!flow->chunks.empty() && flow->chunks.front().due > now &&
                (!earliest || flow->chunks.front().due < *earliest))
                earliest = flow->chunks.front().due;
        }
    }
    return earliest;
}
