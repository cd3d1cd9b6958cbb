#pragma once

#include "ChildProcess.h"
#include "FTPProtocol.h"
#include "ServerProfile.h"
#include "TemporaryFolder.h"

#include <QString>
#include <memory>

// A ProFTPD of the test's own on a free loopback port, in the foreground, with its own
// configuration, one virtual user and a home folder in a temporary directory. Files under home()
// are what the user sees at "/". The folder "/slow" serves downloads at 256 KB/s so that a test
// can act in the middle of a transfer.
class ProFTPDServer {
public:
    enum class Kind {
        plainAndExplicitTLS,
        implicitTLS,
        // Answers MLSD with a refusal, so that clients must fall back to LIST.
        withoutMLSD,
    };
    struct Options {
        Kind kind = Kind::plainAndExplicitTLS;
        // A certificate the test authority did not sign.
        bool untrustedCertificate = false;
    };

    ProFTPDServer();
    explicit ProFTPDServer(Options options);
    ~ProFTPDServer();
    ProFTPDServer(const ProFTPDServer&) = delete;
    ProFTPDServer& operator=(const ProFTPDServer&) = delete;

    int port() const { return controlPort; }
    QString home() const { return folder.file(QStringLiteral("home")); }
    // The local path of a remote path.
    QString local(const QString& remote) const { return home() + remote; }
    // Writes a file under home() and returns its local path.
    QString put(const QString& remote, const QByteArray& bytes) const;

    // A profile for this server; the protocol must suit its kind.
    ServerProfile profile(FTPProtocol protocol) const;
    static QString user() { return QStringLiteral("tester"); }
    // Carries the characters that curl's configuration syntax must escape.
    static QString password() { return QStringLiteral("pa ss\"w\\o:rd#%\u00e9"); }

    static constexpr int slowKilobytesPerSecond = 256;

private:
    bool start(const Options& options);
    QString configuration(const Options& options, int port) const;
    bool waitUntilReady();

    TemporaryFolder folder;
    int controlPort = 0;
    std::unique_ptr<ChildProcess> process;
};
