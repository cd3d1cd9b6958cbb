#include "PyFTPDServer.h"

#include <QDir>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The first line the server prints, within 20 seconds; empty when it printed none.
QByteArray firstLine(int descriptor)
{
    QByteArray line;
    char c = 0;
    pollfd ready{descriptor, POLLIN, 0};
    while (!line.endsWith('\n') && ::poll(&ready, 1, 20000) == 1 && ::read(descriptor, &c, 1) == 1)
        line.append(c);
    return line.trimmed();
}

} // namespace

PyFTPDServer::PyFTPDServer()
{
    QDir().mkpath(local({}));
    // The system's Python, which has the Debian package; the one on PATH may be another.
    process = std::make_unique<ChildProcess>(ChildProcess::Options{
        .program = u"/usr/bin/python3"_s,
        .arguments = {u"" DRAVIK_SOURCE_DIR "/tests/support/PyFTPDServer.py"_s, local({}), u"tester"_s, password()},
        .environment = std::nullopt,
        .discardStandardError = true});
    process->closeStandardInput();
    controlPort = firstLine(process->standardOutput()).toInt();
    if (controlPort == 0)
        throw std::runtime_error("pyftpdlib did not start");
}

PyFTPDServer::~PyFTPDServer()
{
    process->terminate();
    process->waitForExit();
}

ServerProfile PyFTPDServer::profile() const
{
    ServerProfile profile;
    profile.name = u"pyftpdlib on loopback"_s;
    profile.host = u"127.0.0.1"_s;
    profile.port = controlPort;
    profile.username = u"tester"_s;
    profile.protocolType = FTPProtocol::ftp;
    return profile;
}
