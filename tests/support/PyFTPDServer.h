#pragma once

#include "Loopback.h"
#include "ServerProfile.h"
#include "TemporaryFolder.h"

#include <QString>

// pyftpdlib, an FTP server written apart from ProFTPD, on a loopback port of its own choosing,
// serving a home folder in a temporary directory to one user. Plain FTP only: its TLS data
// connections (1.5.7) fail against curl with "Bad PASV/EPSV response".
class PyFTPDServer {
public:
    PyFTPDServer();

    // The local path of a remote path.
    QString local(const QString& remote) const { return folder.file(QStringLiteral("home") + remote); }
    ServerProfile profile() const;
    static QString password() { return QStringLiteral("py \"pass\\word\" #%\u00e9"); }

private:
    TemporaryFolder folder;
    ServerProcess server;
};
