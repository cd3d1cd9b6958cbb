#pragma once

#include "FTPProtocol.h"
#include "Loopback.h"
#include "ServerProfile.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QString>
#include <utility>

// A ProFTPD of the test's own on a free loopback port, in the foreground, with its own
// configuration, one virtual user and a home folder in a temporary directory. Files under the home
// folder are what the user sees at "/". The folder "/slow" serves downloads and takes uploads at
// 256 KB/s so that a test can act in the middle of a transfer.
class ProFTPDServer {
public:
    enum class Kind {
        plainAndExplicitTLS,
        implicitTLS,
        // Answers MLSD and MLST with a refusal, so that clients must fall back to LIST.
        withoutMLSD,
        // Refuses RNFR and RNTO, as servers that forbid renaming do.
        withoutRename,
        // Refuses SITE CHMOD, as servers without Unix permissions do.
        withoutChmod,
    };
    struct Options {
        Kind kind = Kind::plainAndExplicitTLS;
        // A certificate the test authority did not sign.
        bool untrustedCertificate = false;
        // Another loopback address lets a relay stand on 127.0.0.1 at the ports of the passive range.
        QString address = QStringLiteral("127.0.0.1");
    };

    ProFTPDServer();
    explicit ProFTPDServer(Options options);
    ProFTPDServer(const ProFTPDServer&) = delete;
    ProFTPDServer& operator=(const ProFTPDServer&) = delete;

    // The local path of a remote path.
    QString local(const QString& remote) const { return folder.file(QStringLiteral("home") + remote); }
    // Writes a file under the home folder and returns its local path.
    QString put(const QString& remote, const QByteArray& bytes) const;

    // Ends every client's session at once, in the middle of whatever it does, as a server that
    // goes away does: the processes that serve them are killed.
    void dropConnections() const;

    // The first and last port of the range that passive data connections use.
    std::pair<int, int> passivePorts() const { return {firstPassivePort, firstPassivePort + passivePortCount - 1}; }
    QString address() const { return listenAddress; }

    // A profile for this server; the protocol must suit its kind.
    ServerProfile profile(FTPProtocol protocol) const;
    // Carries the characters that curl's configuration syntax must escape.
    static QString password() { return QStringLiteral("pa ss\"w\\o:rd#%\u00e9"); }

private:
    ChildProcess::Options command(const Options& options, int port);

    TemporaryFolder folder;
    static constexpr int passivePortCount = 17;

    int firstPassivePort = 0;
    QString listenAddress;
    ServerProcess server;
};
