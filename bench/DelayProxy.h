#pragma once

#include <QString>
#include <chrono>
#include <deque>
#include <optional>
#include <thread>
#include <vector>

// A TCP relay on loopback that makes a long network path of a local server: every chunk it relays
// is held for half the round trip in each direction. Chunks are stamped when they arrive and sent
// when they are due, so the delay is added without serialising the stream and throughput stays.
// (This kernel has no netem.) One relay serves any number of routes, for instance an FTP server's
// control port and each port of its passive range.
class DelayProxy {
public:
    struct Route {
        quint16 targetPort;
        // 0: a free port, see port().
        quint16 listenPort = 0;
        QString listenAddress = QStringLiteral("127.0.0.1");
        QString targetAddress = QStringLiteral("127.0.0.1");
    };
    // Each port of [first, last] on `listenAddress` to the same port on `targetAddress`: a
    // passive range, for a client that takes the data address from its control connection
    // (curl's --ftp-skip-pasv-ip) while the server listens on another loopback address.
    static std::vector<Route> portRange(quint16 first, quint16 last, const QString& listenAddress,
                                        const QString& targetAddress);

    DelayProxy(std::chrono::microseconds roundTrip, const std::vector<Route>& routes);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    // The port that the route of that index listens on.
    quint16 port(size_t route = 0) const { return listeners.at(route).port; }

private:
    using Clock = std::chrono::steady_clock;
    struct Listener {
        int fd;
        quint16 port;
        Route route;
    };
    struct Chunk {
        Clock::time_point due;
        QByteArray bytes;
        // An empty chunk carries the end of the stream.
    };
    // One direction of one relayed connection.
    struct Flow {
        int from;
        int to;
        std::deque<Chunk> chunks;
        qsizetype queued = 0;
        qsizetype sent = 0;
        bool reading = true;
        bool finished = false;
    };
    struct Connection {
        Flow up;
        Flow down;
        bool broken = false;
    };

    void run(std::stop_token token);
    void accept(const Listener& listener);
    void receive(Flow& flow, bool& broken);
    void deliver(Flow& flow, bool& broken);
    // The earliest moment after `now` that a held chunk falls due, if any.
    std::optional<Clock::time_point> nextDue(Clock::time_point now) const;

    Clock::duration oneWay;
    std::vector<Listener> listeners;
    std::deque<Connection> connections;
    int wake[2] = {-1, -1};
    std::jthread worker;
};
