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

namespace {

// The options both clients log in with. BatchMode=no comes before sftp's -b, whose implied batch
// mode would forbid the password; ssh keeps the first value it is given.
QStringList login(const SSHServer& server, const QString& knownHosts, bool withKey)
{
    QStringList options{u"-F"_s, u"/dev/null"_s,   u"-q"_s, u"-o"_s, u"UserKnownHostsFile="_s + knownHosts,
                        u"-o"_s, u"BatchMode=no"_s};
    if (withKey)
        return options + QStringList{u"-o"_s, u"PreferredAuthentications=publickey"_s, u"-o"_s, u"IdentitiesOnly=yes"_s,
                                     u"-i"_s, *server.profile(true).sshKeyPath};
    return options + QStringList{u"-o"_s, u"PreferredAuthentications=password"_s};
}

QString runClient(const SSHServer& server, const QString& program, const QStringList& arguments, bool withKey)
{
    SSHPasswordSocket password(server.secret(withKey));
    ChildProcess client(
        {program, arguments,
         QStringList{u"PATH=/usr/bin:/bin"_s, u"HOME=/root"_s,
                     u"SSH_ASKPASS="_s + QCoreApplication::applicationDirPath() + u"/AskRelay"_s,
                     u"SSH_ASKPASS_REQUIRE=force"_s, u"DISPLAY=dravik"_s, u"DRAVIK_AUTH_SOCKET="_s + password.path()}});
    client.closeStandardInput();
    SystemCall::readToEnd(client.standardOutput());
    const QByteArray complaint = SystemCall::readToEnd(client.standardError());
    return client.waitForExit() == 0 ? QString() : QString::fromUtf8(complaint);
}

} // namespace

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
            const QStringList& options, bool withKey)
{
    const QStringList arguments = login(server, knownHosts, withKey) +
                                  QStringList{u"-P"_s, QString::number(port), u"-b"_s, batchFile} + options +
                                  QStringList{server.user() + u"@127.0.0.1"_s};
    return runClient(server, u"/usr/bin/sftp"_s, arguments, withKey);
}

QString shell(const SSHServer& server, quint16 port, const QString& knownHosts, const QString& command, bool withKey)
{
    const QStringList arguments =
        login(server, knownHosts, withKey) +
        QStringList{u"-T"_s, u"-p"_s, QString::number(port), server.user() + u"@127.0.0.1"_s, command};
    return runClient(server, u"/usr/bin/ssh"_s, arguments, withKey);
}

} // namespace OpenSSHClient
