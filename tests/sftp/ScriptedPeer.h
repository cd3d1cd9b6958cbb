#pragma once

#include "SFTPWire.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <thread>

// The far end of an SFTPWire over a pair of pipes, answering from a script: for what a real
// server will not do on demand (torn, oversized or mismatched frames, growing files).
class ScriptedPeer {
public:
    // Given the request just received (type octet first), the octets to write back.
    using Step = std::function<QByteArray(const QByteArray& request)>;

    // After the last step the peer closes its end, so the wire reads end of stream.
    explicit ScriptedPeer(QList<Step> steps);
    ~ScriptedPeer();

    SFTPWire wire;
    // Every packet received, in order.
    QList<QByteArray> requests() const;
    // Types of the requests received, in order.
    QList<quint8> requestTypes() const;

    static QByteArray frame(const QByteArray& packet);
    static quint32 idOf(const QByteArray& request);
    static QByteArray reply(quint8 type, const QByteArray& request, const QByteArray& body);
    static QByteArray status(const QByteArray& request, quint32 code);
    static QByteArray handle(const QByteArray& request);
    static QByteArray version();
    // The handshake step: the VERSION 3 answer to INIT.
    static Step handshakeStep();

private:
    void run(QList<Step> steps);

    int toPeer[2];
    int fromPeer[2];
    mutable std::mutex lock;
    QList<QByteArray> received;
    std::thread peer;
};
