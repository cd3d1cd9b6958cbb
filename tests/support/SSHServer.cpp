#include "SSHServer.h"

#include "ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString randomText(int length, const QString& alphabet)
{
    QString text;
    for (int index = 0; index < length; ++index)
        text += alphabet.at(QRandomGenerator::system()->bounded(alphabet.size()));
    return text;
}

quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// Account tools lock the password files; a fixture of a parallel test may hold them briefly.
void runWithRetries(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (SSHServer::run(program, arguments, nullptr, input) == 0)
            return;
        QThread::msleep(250);
    }
    throw std::runtime_error(("failed: " + program).toStdString());
}

} // namespace

int SSHServer::run(const QString& program, const QStringList& arguments, QByteArray* output, const QByteArray& input)
{
    ChildProcess child(
        {.program = program, .arguments = arguments, .environment = std::nullopt, .discardStandardError = true});
    child.write(input);
    child.closeStandardInput();
    QByteArray collected;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(child.standardOutput(), buffer, sizeof buffer)) > 0)
        collected.append(buffer, got);
    if (output)
        *output = collected;
    return child.waitForExit();
}

bool SSHServer::canCreateAccounts()
{
    return ::geteuid() == 0;
}

SSHServer::SSHServer()
{
    // The account must be able to walk down to its home inside this folder.
    ::chmod(root.path().toUtf8().constData(), 0755);
    const QString hostKey = root.file(QStringLiteral("host_key"));
    if (run(QStringLiteral("/usr/bin/ssh-keygen"),
            {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"), QString(),
             QStringLiteral("-f"), hostKey}) != 0)
        throw std::runtime_error("ssh-keygen failed");
    QByteArray listed;
    run(QStringLiteral("/usr/bin/ssh-keygen"),
        {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"), QStringLiteral("-f"),
         hostKey + QStringLiteral(".pub")},
        &listed);
    hostFingerprint = QString::fromUtf8(listed).split(QLatin1Char(' ')).value(1);

    homeFolder = root.file(QStringLiteral("home"));
    QDir().mkpath(homeFolder);
    if (canCreateAccounts())
        createAccount();
    startServer();
}

SSHServer::~SSHServer()
{
    if (server) {
        server->terminate();
        server->waitForExit();
    }
    if (hasAccount()) {
        try {
            runWithRetries(QStringLiteral("/usr/sbin/userdel"), {QStringLiteral("-f"), username});
        } catch (const std::exception&) {
        }
    }
}

void SSHServer::createAccount()
{
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    const QString name = QStringLiteral("drvk") + randomText(10, letters);
    const QString secret =
        randomText(20, letters + QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ!#%&*+-.;<=>?@^_~ ")) + QStringLiteral("é");
    runWithRetries(QStringLiteral("/usr/sbin/useradd"), {QStringLiteral("-M"), QStringLiteral("-d"), homeFolder,
                                                         QStringLiteral("-s"), QStringLiteral("/bin/sh"), name});
    username = name;
    runWithRetries(QStringLiteral("/usr/sbin/chpasswd"), {}, (name + QLatin1Char(':') + secret + '\n').toUtf8());
    userPassword = secret;

    clientKey = root.file(QStringLiteral("client_key"));
    clientPassphrase = randomText(16, letters);
    run(QStringLiteral("/usr/bin/ssh-keygen"),
        {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"), clientPassphrase,
         QStringLiteral("-f"), clientKey});
    QDir().mkpath(homeFolder + QStringLiteral("/.ssh"));
    QFile::copy(clientKey + QStringLiteral(".pub"), homeFolder + QStringLiteral("/.ssh/authorized_keys"));
    run(QStringLiteral("/bin/chown"), {QStringLiteral("-R"), username, homeFolder});
}

void SSHServer::giveToAccount(const QString& path) const
{
    run(QStringLiteral("/bin/chown"), {QStringLiteral("-R"), username, path});
}

void SSHServer::writeConfiguration() const
{
    QFile config(root.file(QStringLiteral("sshd_config")));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write sshd_config");
    const QString text = QStringLiteral("Port %1\n"
                                        "ListenAddress 127.0.0.1\n"
                                        "HostKey %2\n"
                                        "PidFile %3\n"
                                        "UsePAM no\n"
                                        "PasswordAuthentication yes\n"
                                        "KbdInteractiveAuthentication no\n"
                                        "PubkeyAuthentication yes\n"
                                        "AuthorizedKeysFile .ssh/authorized_keys\n"
                                        "StrictModes no\n"
                                        "PermitRootLogin no\n"
                                        "AllowUsers %4\n"
                                        "MaxStartups 50\n"
                                        "LogLevel ERROR\n"
                                        "Subsystem sftp internal-sftp\n")
                             .arg(serverPort)
                             .arg(root.file(QStringLiteral("host_key")), root.file(QStringLiteral("sshd.pid")),
                                  hasAccount() ? username : QStringLiteral("nobody-at-all"));
    config.write(text.toUtf8());
}

bool SSHServer::answers() const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(serverPort);
    bool banner = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        pollfd readable{fd, POLLIN, 0};
        char greeting[4] = {};
        banner = ::poll(&readable, 1, 2000) == 1 && ::recv(fd, greeting, 4, MSG_WAITALL) == 4 &&
                 QByteArray(greeting, 4) == "SSH-";
    }
    ::close(fd);
    return banner;
}

void SSHServer::startServer()
{
    // sshd insists on its privilege separation folder, which a fresh machine may lack.
    ::mkdir("/run/sshd", 0755);
    for (int attempt = 0; attempt < 5; ++attempt) {
        serverPort = freePort();
        writeConfiguration();
        server = std::make_unique<ChildProcess>(
            ChildProcess::Options{.program = QStringLiteral("/usr/sbin/sshd"),
                                  .arguments = {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                                                root.file(QStringLiteral("sshd_config"))},
                                  .environment = std::nullopt,
                                  .discardStandardError = true});
        for (int wait = 0; wait < 100 && server->isRunning(); ++wait) {
            if (answers())
                return;
            QThread::msleep(50);
        }
        server->terminate();
        server->waitForExit();
        server.reset();
    }
    throw std::runtime_error("sshd did not start");
}

ServerProfile SSHServer::profile(bool withKey) const
{
    ServerProfile profile;
    profile.name = QStringLiteral("sshd fixture");
    profile.host = QStringLiteral("127.0.0.1");
    profile.port = serverPort;
    profile.username = username.isEmpty() ? QStringLiteral("nobody") : username;
    profile.protocolType = FTPProtocol::sftp;
    profile.sshFingerprint = hostFingerprint;
    if (withKey)
        profile.sshKeyPath = clientKey;
    return profile;
}
