#include "SSHServer.h"

#include "AskRelayLocation.h"
#include "CliTestRun.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <stdexcept>
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

// Account tools lock the password files; a fixture of a parallel test may hold them briefly.
void runWithRetries(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (CliTestRun::run(arguments, input, program).exitStatus == 0)
            return;
        QThread::msleep(250);
    }
    throw std::runtime_error(QString("failed: " + program).toStdString());
}

CliTestRun keygen(const QStringList& arguments)
{
    return CliTestRun::run(arguments, {}, QStringLiteral("/usr/bin/ssh-keygen"));
}

} // namespace

bool SSHServer::canCreateAccounts()
{
    return ::geteuid() == 0;
}

SSHServer::SSHServer(const QString& sftpServer) : sftpSubsystem(sftpServer)
{
    AskRelayLocation::setPath(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"));
    // The account must be able to walk down to its home inside this folder.
    ::chmod(root.path().toUtf8().constData(), 0755);
    makeHostKey();
    homeFolder = root.file(QStringLiteral("home"));
    QDir().mkpath(homeFolder);
    if (canCreateAccounts())
        createAccount();
    // A fixture that fails to start has no destructor to remove its account.
    try {
        startServer();
    } catch (...) {
        removeAccount();
        throw;
    }
}

SSHServer::~SSHServer()
{
    server.stop();
    removeAccount();
}

void SSHServer::makeHostKey()
{
    const QString hostKey = root.file(QStringLiteral("host_key"));
    QFile::remove(hostKey);
    QFile::remove(hostKey + ".pub");
    if (keygen({"-q", "-t", "ed25519", "-N", QString(), "-f", hostKey}).exitStatus != 0)
        throw std::runtime_error("ssh-keygen failed");
    hostFingerprint =
        QString::fromUtf8(keygen({"-l", "-E", "sha256", "-f", hostKey + ".pub"}).output).split(' ').value(1);
}

void SSHServer::replaceHostKey()
{
    server.stop();
    makeHostKey();
    startServer(server.port());
}

int SSHServer::connections() const
{
    QFile log(root.file(QStringLiteral("sshd.log")));
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count("Connection from")) : 0;
}

void SSHServer::removeAccount() const
{
    if (!username.isEmpty()) {
        try {
            runWithRetries(QStringLiteral("/usr/sbin/userdel"), {"-f", username});
        } catch (const std::exception&) {
        }
    }
}

void SSHServer::createAccount()
{
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    const QString name = "drvk" + randomText(10, letters);
    const QString secret = randomText(20, letters + "ABCDEFGHIJKLMNOPQRSTUVWXYZ!#%&*+-.;<=>?@^_~ ") + "é";
    runWithRetries(QStringLiteral("/usr/sbin/useradd"), {"-M", "-d", homeFolder, "-s", "/bin/sh", name});
    username = name;
    runWithRetries(QStringLiteral("/usr/sbin/chpasswd"), {}, (name + ':' + secret + '\n').toUtf8());
    userPassword = secret;

    clientKey = root.file(QStringLiteral("client_key"));
    clientPassphrase = randomText(16, letters);
    keygen({"-q", "-t", "ed25519", "-N", clientPassphrase, "-f", clientKey});
    QDir().mkpath(homeFolder + "/.ssh");
    QFile::copy(clientKey + ".pub", homeFolder + "/.ssh/authorized_keys");
    giveToAccount(homeFolder);
}

QString SSHServer::put(const QString& name, const QByteArray& bytes) const
{
    giveToAccount(ftptest::writeFile(path(name), bytes));
    return path(name);
}

void SSHServer::giveToAccount(const QString& path) const
{
    CliTestRun::run({"-R", username, path}, {}, QStringLiteral("/bin/chown"));
}

void SSHServer::startServer(int fixedPort)
{
    // sshd insists on its privilege separation folder, which a fresh machine may lack.
    ::mkdir("/run/sshd", 0755);
    const auto command = [this](int port) {
        const QString configuration =
            root.write(QStringLiteral("sshd_config"),
                       QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey \"%2\"\nPidFile \"%3\"\nUsePAM no\n"
                                      "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                      "PubkeyAuthentication yes\nAuthorizedKeysFile .ssh/authorized_keys\n"
                                      "StrictModes no\nPermitRootLogin no\nAllowUsers %4\nMaxStartups 50\n"
                                      "LogLevel VERBOSE\nSubsystem sftp %5\n")
                           .arg(port)
                           .arg(root.file(QStringLiteral("host_key")), root.file(QStringLiteral("sshd.pid")),
                                username.isEmpty() ? QStringLiteral("nobody-at-all") : username, sftpSubsystem)
                           .toUtf8());
        return ChildProcess::Options{
            .program = QStringLiteral("/usr/sbin/sshd"),
            .arguments = {"-D", "-E", root.file(QStringLiteral("sshd.log")), "-f", configuration},
            .environment = std::nullopt,
            .discardStandardError = true};
    };
    if (!server.start(command, "SSH-", QStringLiteral("127.0.0.1"), fixedPort))
        throw std::runtime_error("sshd did not start");
}

ServerProfile SSHServer::profile(bool withKey) const
{
    ServerProfile profile = Loopback::profile(QStringLiteral("sshd fixture"), FTPProtocol::sftp, server.port(),
                                              username.isEmpty() ? QStringLiteral("nobody") : username);
    profile.sshFingerprint = hostFingerprint;
    if (withKey)
        profile.sshKeyPath = clientKey;
    return profile;
}
