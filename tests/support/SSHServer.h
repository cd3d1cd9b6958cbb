#pragma once

#include "Loopback.h"
#include "ServerProfile.h"
#include "TemporaryFolder.h"

#include <QString>

// OpenSSH's sshd on a free loopback port with its own configuration and a freshly generated host
// key, serving SFTP to a throwaway account with a random password and a passphrase-protected
// ed25519 key. Creating the account needs root; without it the fixture serves no login. Clients
// built from its profiles ask for the password through the build's AskRelay.
class SSHServer {
public:
    // `sftpServer`: the sftp subsystem's command, OpenSSH's own by default (with "-P name" it
    // announces yet refuses the request), or the program of another implementation such as
    // "/usr/libexec/gesftpserver".
    explicit SSHServer(const QString& sftpServer = QStringLiteral("internal-sftp"));
    ~SSHServer();
    SSHServer(const SSHServer&) = delete;
    SSHServer& operator=(const SSHServer&) = delete;

    static bool canCreateAccounts();

    quint16 port() const { return quint16(server.port()); }
    const QString& user() const { return username; }
    const QString& password() const { return userPassword; }
    // The account's home, where the tests work; owned by the account.
    const QString& home() const { return homeFolder; }
    QString path(const QString& name) const { return homeFolder + QLatin1Char('/') + name; }

    // A pinned SFTP profile for password login, or for key login with `withKey`.
    ServerProfile profile(bool withKey = false) const;
    // The secret that logs in with profile(withKey).
    const QString& secret(bool withKey) const { return withKey ? clientPassphrase : userPassword; }

    // Writes `name` inside home, owned by the account, and returns its path.
    QString put(const QString& name, const QByteArray& bytes) const;
    // Makes `path` (inside home) belong to the account, for what the tests lay out directly.
    void giveToAccount(const QString& path) const;

    // Gives the server a new host key, on the same port; profile() then pins the new key.
    void replaceHostKey();
    // How many connections the server has accepted so far, host-key scans included.
    int connections() const;

private:
    void createAccount();
    void removeAccount() const;
    void makeHostKey();
    // On `fixedPort`, or on a free one when it is 0.
    void startServer(int fixedPort = 0);

    TemporaryFolder root;
    QString sftpSubsystem;
    QString hostFingerprint;
    QString username;
    QString userPassword;
    QString clientKey;
    QString clientPassphrase;
    QString homeFolder;
    ServerProcess server;
};

#define REQUIRE_ACCOUNTS()                                                                                             \
    if (!SSHServer::canCreateAccounts())                                                                               \
    GTEST_SKIP() << "logging in needs a throwaway account, which only root can create"
