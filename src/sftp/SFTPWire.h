#pragma once

#include "ChildProcess.h"
#include "EngineClock.h"
#include "SFTPPacket.h"
#include "SSHPasswordSocket.h"
#include "ServerProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// One SFTP connection over one ssh process: bringing it up against a pinned host key, the
// framing of packets over ssh's pipes, and taking it all down again. Driven by one thread;
// cancel() may come from any other.
class SFTPWire {
public:
    SFTPWire();
    ~SFTPWire();
    SFTPWire(const SFTPWire&) = delete;
    SFTPWire& operator=(const SFTPWire&) = delete;

    // Returns once the SFTP version handshake has succeeded. Called once per wire.
    void start(const ServerProfile& profile, const QString& password);
    // Releases everything start created, whether it succeeded or not; never fails.
    void close();
    // From any thread: refuses every later launch and terminates the running child, so that a
    // blocked read ends and reports the cancellation.
    void cancel();

    // Speaks over the given pipe ends (not owned): ssh's, or those of a scripted peer.
    void attach(int input, int output);
    void handshake();
    bool isReady() const { return ready; }
    // Whether the server announced the extension in its VERSION reply.
    bool supports(QByteArrayView extension) const { return extensions.contains(extension); }

    // One frame: the length of `packet` and `rest` together, then both.
    void send(QByteArrayView packet, QByteArrayView rest = {});
    // Exactly `count` octets; the view stays valid until the next read.
    QByteArrayView read(qint64 count);
    // One frame's packet, type octet first; valid until the next read.
    QByteArrayView receive();
    // Issues one request and returns its reply positioned at the reply's type octet, followed
    // by everything after the request identifier. A non-zero STATUS throws SFTPFailure.
    SFTPPacket::Reader request(quint8 type, QByteArrayView payload);
    // The same in two halves. Sending leaves the views of the last reply valid, so that more
    // requests can travel while a reply is still being used.
    quint32 issue(quint8 type, QByteArrayView payload);
    // The reply to the latest request; anything else in flight is a protocol violation.
    SFTPPacket::Reader reply();

    // A reply to whichever request the server answered, for several requests in flight.
    struct Answer {
        quint32 id;
        // At the reply's type octet, followed by everything after the identifier; a non-zero
        // STATUS is handed on like any other reply.
        SFTPPacket::Reader reply;
    };
    Answer answer();
    // Throws SFTPFailure when `reply`, positioned at its type octet, is a non-zero STATUS.
    static void checkStatus(SFTPPacket::Reader reply);

private:
    // Under the lock: starts the child unless the wire was cancelled.
    void launch(const ChildProcess::Options& options);
    // Throws CancellationError once cancelled; otherwise records activity for the watchdog.
    void touch();
    [[noreturn]] void connectionLost();
    QByteArray scanHostKeys(const ServerProfile& profile);
    // The scanned key lines that match the pin, which are then kept for later connections.
    QStringList pinnedHostKeys(const ServerProfile& profile);
    // After a connection with a kept key failed: a key that no longer matches the pin is a
    // host mismatch, and the kept key is not offered again.
    void recheckHostKey(const ServerProfile& profile);
    void writeKnownHosts(const QStringList& lines);
    ChildProcess::Options sshOptions(const ServerProfile& profile, const QString& askRelay) const;
    void startWatchdog();

    std::mutex lock;
    std::unique_ptr<ChildProcess> process;
    bool cancelled = false;
    int input = -1;
    int output = -1;
    quint32 sequence = 0;
    bool ready = false;
    QList<QByteArray> extensions;
    std::unique_ptr<SSHPasswordSocket> auth;
    std::optional<QString> folder;
    EngineClock::Clock::time_point lastActivity;
    std::jthread watchdog;

    // Received octets not yet handed out: [received, received + available) inside `incoming`.
    QByteArray incoming;
    qint64 consumed = 0;
    qint64 buffered = 0;
    QByteArray header;
};
