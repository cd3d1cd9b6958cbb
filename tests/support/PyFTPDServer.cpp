#include "PyFTPDServer.h"

#include <QDir>

using namespace Qt::StringLiterals;

PyFTPDServer::PyFTPDServer()
{
    QDir().mkpath(local({}));
    // The system's Python, which has the Debian package; the one on PATH may be another.
    server.startPrintingPort(
        {.program = u"/usr/bin/python3"_s,
         .arguments = {u"" DRAVIK_SOURCE_DIR "/tests/support/PyFTPDServer.py"_s, local({}), u"tester"_s, password()},
         .environment = std::nullopt,
         .discardStandardError = true});
}

ServerProfile PyFTPDServer::profile() const
{
    return Loopback::profile(u"pyftpdlib on loopback"_s, FTPProtocol::ftp, server.port(), u"tester"_s);
}
