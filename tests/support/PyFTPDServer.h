#pragma once

#include "ChildProcess.h"
#include "ServerProfile.h"
#include "TemporaryFolder.h"

#include <QString>
#include <memory>

// pyftpdlib, an FTP server written apart from ProFTPD, on a loopback port of its own choosing,
// serving a home folder in a temporary directory to one user. Plain FTP only: its TLS data
// connections (1.5.7) fail against curl with "Bad PASV/EPSV response".
class PyFTPDServer {
public:
    PyFTPDServer();
    ~PyFTPDServer();
    PyFTPDServer(const PyFTPDServer&) = delete;
    PyFTPDServer& operator=(const PyFTPDServer&) = delete;

    // The local path of a remote path.
    QString local(const QString& remote) const { return folder.file(QStringLiteral("home") + remote); }
    ServerProfile profile() const;
    static QString password() { return QStringLiteral("py \"pass\\word\" #%\u00e9"); }

private:
    TemporaryFolder folder;
    int controlPort = 0;
    std::unique_ptr<ChildProcess> process;
};
