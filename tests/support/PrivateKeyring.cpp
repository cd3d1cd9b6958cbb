#include "PrivateKeyring.h"

#include "CliTestRun.h"
#include <QDir>
#include <QFile>
#include <QThread>
#include <stdexcept>

namespace {

// Nothing happens to a process that never started or has already ended.
void stop(QProcess& process)
{
    process.terminate();
    process.waitForFinished(10000);
}

} // namespace

PrivateKeyring::PrivateKeyring(Secrets secrets, Bus onBus)
    : folder(QDir::tempPath() + QStringLiteral("/dravik-keyring-XXXXXX")),
      previousAddress(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
{
    if (used.exchange(true))
        throw std::logic_error("one private keyring per process");
    if (!folder.isValid())
        throw std::runtime_error("no folder for the test keyring");
    if (onBus == Bus::own) {
        // Children started from now on, the keyring and the tools below, inherit the private bus.
        bus.emplace();
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address());
    }
    if (secrets == Secrets::none)
        return;

    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString& name : variables.keys())
        if (name.startsWith(QLatin1String("XDG_")))
            variables.remove(name);
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        QDir(folder.path()).mkpath(QString::fromLatin1(name));
        variables.insert(QString::fromLatin1(name), folder.filePath(QString::fromLatin1(name)));
    }
    QFile::setPermissions(folder.filePath(QStringLiteral("XDG_RUNTIME_DIR")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    keyring.setProcessEnvironment(variables);
    keyring.setStandardOutputFile(QProcess::nullDevice());
    keyring.setStandardErrorFile(QProcess::nullDevice());
    keyring.start(QStringLiteral("/usr/bin/gnome-keyring-daemon"),
                  {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"), QStringLiteral("--foreground")});
    // Without an event loop the password reaches the daemon only when waited for.
    if (!keyring.waitForStarted() || keyring.write("dravik-test-keyring") < 0 || !keyring.waitForBytesWritten())
        throw std::runtime_error("the test keyring did not start");
    keyring.closeWriteChannel();
    const QStringList ask{QStringLiteral("--print-reply"), QStringLiteral("--dest=org.freedesktop.DBus"),
                          QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                          QStringLiteral("string:org.freedesktop.secrets")};
    for (int attempt = 0; !run(QStringLiteral("/usr/bin/dbus-send"), ask).contains(QLatin1String("boolean true"));
         ++attempt) {
        if (attempt == 500)
            throw std::runtime_error("the test keyring did not start");
        QThread::msleep(20);
    }
}

PrivateKeyring::~PrivateKeyring()
{
    stop(keyring);
    if (previousAddress.isEmpty())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", previousAddress);
}

void PrivateKeyring::lock() const
{
    run(QStringLiteral("/usr/bin/dbus-send"),
        {QStringLiteral("--print-reply"), QStringLiteral("--dest=org.freedesktop.secrets"),
         QStringLiteral("/org/freedesktop/secrets"), QStringLiteral("org.freedesktop.Secret.Service.Lock"),
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
    const CliTestRun run = CliTestRun::run(arguments, {}, program);
    return QString::fromUtf8(run.output + run.error);
}
