#pragma once

#include <QByteArray>
#include <QString>
#include <thread>

// A private Unix-domain socket that hands one connection's password to the askpass helper that
// ssh runs, so that the password never travels on a command line or in an environment. Every
// client of this user that connects receives the password's octets followed by end of stream;
// a client of any other user is disconnected without a single octet.
class SSHPasswordSocket {
public:
    // Throws the file-system error when the folder cannot be made, FTPError "connect_failed"
    // when the socket cannot be set up.
    explicit SSHPasswordSocket(const QString& password);
    ~SSHPasswordSocket();
    SSHPasswordSocket(const SSHPasswordSocket&) = delete;
    SSHPasswordSocket& operator=(const SSHPasswordSocket&) = delete;

    const QString& path() const { return socketPath; }
    const QString& folder() const { return folderPath; }

    // Stops serving and removes the folder; never fails.
    void close();

private:
    void serve(std::stop_token token);
    void serveOne();

    QString socketPath;
    QString folderPath;
    int fd = -1;
    int wake = -1;
    QByteArray secret;
    std::jthread server;
};
