#include "PrivateKeyring.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <atomic>
#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace {

std::atomic<bool> used{false};

constexpr const char* testPassword = "dravik-test-keyring";

// A bus with no service directories: nothing the machine has installed can be started on it.
QByteArray busConfiguration(const QString& socket)
{
    return QByteArrayLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig>\n  <type>session</type>\n  <listen>unix:path=") +
           socket.toUtf8() +
           QByteArrayLiteral("</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n"
                             "</busconfig>\n");
}

QByteArray readLine(int fd, std::chrono::milliseconds timeout)
{
    QByteArray line;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!line.endsWith('\n')) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd descriptor{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("the test bus printed no address");
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            throw std::runtime_error("the test bus ended early");
        line.append(c);
    }
    return line.trimmed();
}

void stop(std::unique_ptr<ChildProcess>& process)
{
    if (!process)
        return;
    process->terminate();
    process->waitForExit();
    process.reset();
}

} // namespace

bool PrivateKeyring::available()
{
    return !used.load();
}

PrivateKeyring::PrivateKeyring(Secrets secrets)
    : folder(QDir::tempPath() + QStringLiteral("/dravik-keyring-XXXXXX")),
      previousAddress(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
{
    if (used.exchange(true))
        throw std::logic_error("one private keyring per process");
    if (!folder.isValid())
        throw std::runtime_error("no folder for the test keyring");
    for (const char* name : {"run", "home", "data", "config"})
        QDir(folder.path()).mkpath(QString::fromLatin1(name));
    QFile::setPermissions(folder.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    startBus();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    if (secrets == Secrets::unlocked)
        startKeyring();
}

PrivateKeyring::~PrivateKeyring()
{
    stop(keyring);
    stop(bus);
    if (previousAddress.isEmpty())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", previousAddress);
}

QStringList PrivateKeyring::environment() const
{
    QStringList variables;
    for (const QString& variable : ChildProcess::inheritedEnvironment())
        if (!variable.startsWith(QLatin1String("DBUS_SESSION_BUS_ADDRESS=")))
            variables.append(variable);
    variables.append(QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + address);
    return variables;
}

void PrivateKeyring::startBus()
{
    const QString configuration = folder.filePath(QStringLiteral("bus.conf"));
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly) || file.write(busConfiguration(folder.filePath(QStringLiteral("bus")))) < 0)
        throw std::runtime_error("cannot write the test bus configuration");
    file.close();
    bus = std::make_unique<ChildProcess>(
        ChildProcess::Options{QStringLiteral("/usr/bin/dbus-daemon"),
                              {QStringLiteral("--config-file=") + configuration, QStringLiteral("--print-address"),
                               QStringLiteral("--nofork")},
                              std::nullopt});
    bus->closeStandardInput();
    address = QString::fromUtf8(readLine(bus->standardOutput(), std::chrono::seconds(10)));
}

void PrivateKeyring::startKeyring()
{
    QStringList variables;
    for (const QString& variable : environment())
        if (!variable.startsWith(QLatin1String("HOME=")) && !variable.startsWith(QLatin1String("XDG_")))
            variables.append(variable);
    variables << QStringLiteral("HOME=") + folder.filePath(QStringLiteral("home"))
              << QStringLiteral("XDG_RUNTIME_DIR=") + folder.filePath(QStringLiteral("run"))
              << QStringLiteral("XDG_DATA_HOME=") + folder.filePath(QStringLiteral("data"))
              << QStringLiteral("XDG_CONFIG_HOME=") + folder.filePath(QStringLiteral("config"));
    keyring = std::make_unique<ChildProcess>(ChildProcess::Options{
        QStringLiteral("/usr/bin/gnome-keyring-daemon"),
        {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"), QStringLiteral("--foreground")},
        variables});
    keyring->write(QByteArray(testPassword));
    keyring->closeStandardInput();
    waitForSecretService();
}

void PrivateKeyring::waitForSecretService() const
{
    const QStringList ask{QStringLiteral("--bus=") + address,
                          QStringLiteral("--print-reply"),
                          QStringLiteral("--dest=org.freedesktop.DBus"),
                          QStringLiteral("/org/freedesktop/DBus"),
                          QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                          QStringLiteral("string:org.freedesktop.secrets")};
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (run(QStringLiteral("/usr/bin/dbus-send"), ask).contains(QLatin1String("boolean true")))
            return;
        QThread::msleep(20);
    }
    throw std::runtime_error("the test keyring did not start");
}

void PrivateKeyring::lock()
{
    run(QStringLiteral("/usr/bin/dbus-send"),
        {QStringLiteral("--bus=") + address, QStringLiteral("--print-reply"),
         QStringLiteral("--dest=org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
         QStringLiteral("org.freedesktop.Secret.Service.Lock"),
         QStringLiteral("array:objpath:/org/freedesktop/secrets/collection/login")});
}

void PrivateKeyring::stopKeyring()
{
    stop(keyring);
}

int PrivateKeyring::itemCount(const QString& service, const QString& account) const
{
    const QString listing = run(QStringLiteral("/usr/bin/secret-tool"),
                                {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("server"), service,
                                 QStringLiteral("user"), account});
    return static_cast<int>(listing.count(QStringLiteral("secret = ")));
}

QString PrivateKeyring::run(const QString& program, const QStringList& arguments) const
{
    QProcess process;
    QProcessEnvironment variables;
    for (const QString& variable : environment())
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(variables);
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}
