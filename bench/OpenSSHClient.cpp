#include "OpenSSHClient.h"

#include "ChildProcess.h"
#include "CliTestRun.h"
#include "SSHPasswordSocket.h"
#include "SSHServer.h"
#include "SystemCall.h"

#include <QCoreApplication>
#include <QFile>

using namespace Qt::StringLiterals;

namespace OpenSSHClient {

void scan(quint16 port, const QString& knownHosts)
{
    const QByteArray keys = CliTestRun::run({u"-T"_s, u"10"_s, u"-p"_s, QString::number(port), u"127.0.0.1"_s}, {},
                                            u"/usr/bin/ssh-keyscan"_s)
                                .output;
    QFile file(knownHosts);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(keys) != keys.size())
        throw std::runtime_error("cannot write the known hosts");
}

QString run(const SSHServer& server, quint16 port, const QString& knownHosts, const QString& batchFile,
            const QStringList& options)
{
    SSHPasswordSocket password(server.password());
    QStringList arguments{u"-F"_s, u"/dev/null"_s, u"-q"_s, u"-o"_s, u"UserKnownHostsFile="_s + knownHosts, u"-o"_s,
                          u"PreferredAuthentications=password"_s,
                          // Before -b, whose implied batch mode would forbid the password; ssh
                          // keeps the first value it is given.
                          u"-o"_s, u"BatchMode=no"_s, u"-P"_s, QString::number(port), u"-b"_s, batchFile};
    arguments << options << server.user() + u"@127.0.0.1"_s;
    ChildProcess sftp(
        {u"/usr/bin/sftp"_s, arguments,
         QStringList{u"PATH=/usr/bin:/bin"_s, u"HOME=/root"_s,
                     u"SSH_ASKPASS="_s + QCoreApplication::applicationDirPath() + u"/AskRelay"_s,
                     u"SSH_ASKPASS_REQUIRE=force"_s, u"DISPLAY=dravik"_s, u"DRAVIK_AUTH_SOCKET="_s + password.path()}});
    sftp.closeStandardInput();
    SystemCall::readToEnd(sftp.standardOutput());
    const QByteArray complaint = SystemCall::readToEnd(sftp.standardError());
    return sftp.waitForExit() == 0 ? QString() : QString::fromUtf8(complaint);
}

} // namespace OpenSSHClient
