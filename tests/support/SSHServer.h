#pragma once

#include "ServerProfile.h"
#include "TemporaryFolder.h"

#include <QString>
#include <memory>

class ChildProcess;

// OpenSSH's sshd on a free loopback port with its own configuration and a freshly generated host
// key, serving SFTP to a throwaway account with a random password and a passphrase-protected
// ed25519 key. Creating the account needs root; without it the fixture serves no login.
class SSHServer {
public:
    // `sftpOptions`: options of the server's SFTP subsystem, such as "-P posix-rename" for requests
    // it announces yet refuses, or "-u 077" for the umask of the files it creates.
    explicit SSHServer(const QString& sftpOptions = {});
    ~SSHServer();
    SSHServer(const SSHServer&) = delete;
    SSHServer& operator=(const SSHServer&) = delete;

    static bool canCreateAccounts();

    quint16 port() const { return serverPort; }
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

    // Runs a program to its end; returns the exit status and its standard output.
    static int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
                   const QByteArray& input = {});

private:
    void createAccount();
    void removeAccount() const;
    void startServer(const QString& sftpOptions);

    TemporaryFolder root;
    quint16 serverPort = 0;
    QString hostFingerprint;
    QString username;
    QString userPassword;
    QString clientKey;
    QString clientPassphrase;
    QString homeFolder;
    std::unique_ptr<ChildProcess> server;
};
