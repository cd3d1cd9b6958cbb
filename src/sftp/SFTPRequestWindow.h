#pragma once

#include "SFTPPacket.h"

#include <QByteArray>
#include <deque>
#include <optional>

class SFTPWire;

// The requests of one transfer that travel together, so that a round trip is paid once per
// window rather than once per chunk. A server may answer them in any order; the answers are
// handed on in the order of the requests, which is file order.
//
// Sending may block on a full pipe to ssh while answers wait unread in the pipe back, yet the
// two cannot jam: a whole window of READ requests, and a whole window of answers to WRITEs, each
// fit into a pipe's buffer many times over, so the server never waits for this side while this
// side waits for the server. Into a full window nothing is sent before an answer has been read.
class SFTPRequestWindow {
public:
    // OpenSSH's own default: 64 requests of 32 KiB, 2 MiB in flight.
    static constexpr qsizetype depth = 64;

    struct Answer {
        qint64 offset;
        qint64 length;
        // At the reply's type octet; a non-zero STATUS is handed on, not thrown.
        SFTPPacket::Reader reply;
    };

    explicit SFTPRequestWindow(SFTPWire& wire);

    bool hasRoom() const { return requests.size() < depth; }
    bool isEmpty() const { return requests.empty(); }
    // Sends a request about the octets [offset, offset + length) of the file, after every other
    // in file order, or before them with `first` (the rest of a short read).
    void issue(quint8 type, QByteArrayView payload, qint64 offset, qint64 length, bool first = false);
    // The answer to the earliest request in file order, once it has come. It stays valid until
    // the next call, and new requests may be issued meanwhile.
    Answer next();
    // Waits for the answers to everything still in flight and drops them, so that the handle can
    // be closed. A connection that is gone has nothing more to answer, so it never fails.
    void drain() noexcept;

private:
    struct Request {
        quint32 id;
        qint64 offset;
        qint64 length;
        // An answer that came before those of earlier requests, copied out of the wire's buffer.
        std::optional<QByteArray> answer;
    };

    std::deque<Request>::iterator find(quint32 id);

    SFTPWire& wire;
    std::deque<Request> requests;
    QByteArray current;
};
