#include "ProFTPDServer.h"

#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <stdexcept>
#include <unistd.h>

ProFTPDServer::ProFTPDServer() : ProFTPDServer(Options{}) {}

ProFTPDServer::ProFTPDServer(Options options)
{
    // Nothing passes --insecure: curl verifies every server against the test authority alone.
    qputenv("CURL_CA_BUNDLE", TestCertificates::file(QStringLiteral("ca.crt")).toUtf8());
    QDir().mkpath(local(QStringLiteral("/slow")));
    const QString users =
        folder.write(QStringLiteral("users"),
                     QStringLiteral("tester:%1:%2:%3::%4:/bin/sh\n")
                         .arg(QString::fromUtf8(TestCertificates::openssl({"passwd", "-1", password()}).trimmed()))
                         .arg(::getuid())
                         .arg(::getgid())
                         .arg(local({}))
                         .toUtf8());
    QFile::setPermissions(users, QFile::ReadOwner | QFile::WriteOwner);
    listenAddress = options.address;
    if (server.start([&](int port) { return command(options, port); }, "", listenAddress))
        return;
    QFile log(folder.file(QStringLiteral("system.log")));
    log.open(QIODevice::ReadOnly);
    throw std::runtime_error("ProFTPD did not start: " + log.readAll().toStdString());
}

QString ProFTPDServer::put(const QString& remote, const QByteArray& bytes) const
{
    return folder.write(QStringLiteral("home") + remote, bytes);
}

void ProFTPDServer::dropConnections() const
{
    // ProFTPD serves each session in a child process of its own.
    for (const int pid : ftptest::childrenOf(server.pid()))
        ::kill(pid, SIGKILL);
}

ServerProfile ProFTPDServer::profile(FTPProtocol protocol) const
{
    return Loopback::profile(QStringLiteral("ProFTPD on loopback"), protocol, server.port(), QStringLiteral("tester"),
                             listenAddress);
}

ChildProcess::Options ProFTPDServer::command(const Options& options, int port)
{
    const QString certificate = TestCertificates::file(options.untrustedCertificate ? "untrusted" : "server");
    firstPassivePort = qMin(Loopback::freePort(), 65535 - passivePortCount + 1);
    // ProFTPD refuses root logins unless told otherwise, and CI runs as root.
    QString text =
        QStringLiteral("ServerType standalone\nServerName \"Dravik test server\"\n"
                       "Port %1\nDefaultAddress %10\nSocketBindTight on\nUseIPv6 off\n"
                       "PidFile %2/proftpd.pid\nScoreboardFile %2/proftpd.scoreboard\n"
                       "DelayTable none\nWtmpLog off\nTransferLog none\nSystemLog %2/system.log\nUseReverseDNS off\n"
                       "User %3\nGroup %4\nRootLogin on\nRequireValidShell off\n"
                       "AuthOrder mod_auth_file.c\nAuthUserFile %2/users\nDefaultRoot ~\n"
                       "AllowOverwrite on\nAllowStoreRestart on\nAllowRetrieveRestart on\n"
                       "PassivePorts %5 %6\n"
                       "<IfModule mod_delay.c>\n  DelayEngine off\n</IfModule>\n"
                       "<Directory ~/slow>\n  TransferRate RETR,STOR,APPE 256\n</Directory>\n"
                       "ModulePath /usr/lib/proftpd\nLoadModule mod_tls.c\n"
                       "TLSEngine on\nTLSRequired off\nTLSProtocol TLSv1.2 TLSv1.3\n"
                       "TLSECCertificateFile %7\nTLSECCertificateKeyFile %8\nTLSLog %2/tls.log\n"
                       "TLSOptions NoSessionReuseRequired%9\n")
            .arg(port)
            .arg(folder.path(), QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name),
                 QString::fromLocal8Bit(::getgrgid(::getgid())->gr_name))
            .arg(firstPassivePort)
            .arg(firstPassivePort + passivePortCount - 1)
            .arg(certificate + ".crt", certificate + ".key",
                 options.kind == Kind::implicitTLS ? QStringLiteral(" UseImplicitSSL") : QString())
            .arg(listenAddress);
    if (options.kind == Kind::withoutMLSD)
        text += QStringLiteral("<Limit MLSD MLST>\n  DenyAll\n</Limit>\n");
    if (options.kind == Kind::withoutRename)
        text += QStringLiteral("<Limit RNFR RNTO>\n  DenyAll\n</Limit>\n");
    if (options.kind == Kind::withoutChmod)
        text += QStringLiteral("<Limit SITE_CHMOD>\n  DenyAll\n</Limit>\n");
    const QString config = folder.write(QStringLiteral("proftpd.conf"), text.toUtf8());
    return {QStringLiteral("/usr/sbin/proftpd"),
            {QStringLiteral("-n"), QStringLiteral("-q"), QStringLiteral("-c"), config},
            std::nullopt};
}
