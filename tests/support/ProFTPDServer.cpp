#include "ProFTPDServer.h"

#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on right now; the server may still lose it to a race, which start() notices.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

QString hashedPassword(const QString& password)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {QStringLiteral("passwd"), QStringLiteral("-1"), password});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        throw std::runtime_error("openssl passwd failed");
    return QString::fromUtf8(openssl.readAllStandardOutput()).trimmed();
}

}

ProFTPDServer::ProFTPDServer() : ProFTPDServer(Options{}) {}

ProFTPDServer::ProFTPDServer(Options options)
{
    const TestCertificates& certificates = TestCertificates::shared();
    certificates.trustInCurl();
    QDir().mkpath(local(QStringLiteral("/slow")));
    const QString users = folder.write(
        QStringLiteral("users"),
        QStringLiteral("%1:%2:%3:%4::%5:/bin/sh\n")
            .arg(user(), hashedPassword(password()), QString::number(::getuid()), QString::number(::getgid()), home())
            .toUtf8());
    QFile::setPermissions(users, QFile::ReadOwner | QFile::WriteOwner);
    for (int attempt = 0; attempt < 5; ++attempt)
        if (start(options))
            return;
    QFile log(folder.file(QStringLiteral("system.log")));
    log.open(QIODevice::ReadOnly);
    throw std::runtime_error("ProFTPD did not start: " + log.readAll().toStdString());
}

ProFTPDServer::~ProFTPDServer()
{
    if (process) {
        process->terminate();
        process->waitForExit();
    }
}

QString ProFTPDServer::put(const QString& remote, const QByteArray& bytes) const
{
    return folder.write(QStringLiteral("home") + remote, bytes);
}

ServerProfile ProFTPDServer::profile(FTPProtocol protocol) const
{
    ServerProfile profile;
    profile.name = QStringLiteral("ProFTPD on loopback");
    profile.host = QStringLiteral("127.0.0.1");
    profile.port = controlPort;
    profile.username = user();
    profile.protocolType = protocol;
    return profile;
}

bool ProFTPDServer::start(const Options& options)
{
    const int port = freePort();
    const QString config = folder.write(QStringLiteral("proftpd.conf"), configuration(options, port).toUtf8());
    process = std::make_unique<ChildProcess>(ChildProcess::Options{
        QStringLiteral("/usr/sbin/proftpd"), {QStringLiteral("-n"), QStringLiteral("-q"), QStringLiteral("-c"), config},
        std::nullopt});
    process->closeStandardInput();
    controlPort = port;
    if (waitUntilReady())
        return true;
    process->terminate();
    process->waitForExit();
    process.reset();
    return false;
}

bool ProFTPDServer::waitUntilReady()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!process->isRunning())
            return false;
        if (accepts(controlPort))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

QString ProFTPDServer::configuration(const Options& options, int port) const
{
    const TestCertificates& certificates = TestCertificates::shared();
    const int passive = freePort();
    const passwd* account = ::getpwuid(::getuid());
    const group* accountGroup = ::getgrgid(::getgid());
    QString text = QStringLiteral(
        "ServerType standalone\n"
        "ServerName \"Dravik test server\"\n"
        "Port %1\n"
        "DefaultAddress 127.0.0.1\n"
        "SocketBindTight on\n"
        "UseIPv6 off\n"
        "PidFile %2/proftpd.pid\n"
        "ScoreboardFile %2/proftpd.scoreboard\n"
        "DelayTable none\n"
        "WtmpLog off\n"
        "User %3\n"
        "Group %4\n"
        "RootLogin on\n"
        "RequireValidShell off\n"
        "AuthOrder mod_auth_file.c\n"
        "AuthUserFile %2/users\n"
        "DefaultRoot ~\n"
        "UseReverseDNS off\n"
        "TransferLog none\n"
        "SystemLog %2/system.log\n"
        "AllowOverwrite on\n"
        "AllowStoreRestart on\n"
        "AllowRetrieveRestart on\n"
        "PassivePorts %5 %6\n"
        "<IfModule mod_delay.c>\n  DelayEngine off\n</IfModule>\n"
        "<Directory ~/slow>\n  TransferRate RETR %7\n</Directory>\n")
                       .arg(port)
                       .arg(folder.path(), QString::fromLocal8Bit(account->pw_name),
                            QString::fromLocal8Bit(accountGroup->gr_name))
                       .arg(passive)
                       .arg(qMin(passive + 16, 65535))
                       .arg(slowKilobytesPerSecond);
    text += QStringLiteral(
                "ModulePath /usr/lib/proftpd\n"
                "LoadModule mod_tls.c\n"
                "TLSEngine on\n"
                "TLSRequired off\n"
                "TLSProtocol TLSv1.2 TLSv1.3\n"
                "TLSECCertificateFile %1\n"
                "TLSECCertificateKeyFile %2\n"
                "TLSLog %3/tls.log\n"
                "TLSOptions NoSessionReuseRequired%4\n")
                .arg(options.untrustedCertificate ? certificates.untrustedCertificate() : certificates.certificate(),
                     options.untrustedCertificate ? certificates.untrustedKey() : certificates.key(), folder.path(),
                     options.kind == Kind::implicitTLS ? QStringLiteral(" UseImplicitSSL") : QString());
    if (options.kind == Kind::withoutMLSD)
        text += QStringLiteral("<Limit MLSD>\n  DenyAll\n</Limit>\n");
    return text;
}
