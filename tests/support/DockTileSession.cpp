#include "DockTileSession.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// Serves the bus, and with it the stand-in portal, for `milliseconds`.
void serve(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

bool DockTileSession::Portal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const bool readOne = message.member() == QLatin1String("ReadOne") && hasReadOne;
    const QVariantList wanted{QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme")};
    QDBusMessage reply;
    if (!readOne && message.member() != QLatin1String("Read"))
        reply = message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("no such method"));
    else if (message.arguments() != wanted)
        reply = message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QString());
    else {
        ++reads;
        const QVariant value = QVariant::fromValue(QDBusVariant(colorScheme));
        reply = message.createReply(readOne ? value : QVariant::fromValue(QDBusVariant(value)));
    }
    return connection.send(reply);
}

DockTileSession::DockTileSession(const QString& program, const QString& systemData, const QString& configHome)
    : m_connection(QDBusConnection::connectToBus(QString::fromUtf8(m_bus.address()), m_root.path())),
      m_program(program), m_systemData(systemData),
      m_configHome(configHome.isEmpty() ? m_root.file(QStringLiteral("config")) : configHome)
{
    const QString icons = QFileInfo(iconPath()).path();
    m_watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (!m_connection.isConnected() || !m_connection.registerVirtualObject(portalPath, &m_portal) ||
        !QDir().mkpath(icons) ||
        inotify_add_watch(m_watch, QFile::encodeName(icons), IN_CREATE | IN_MOVED_TO | IN_DELETE) < 0)
        throw std::runtime_error("cannot set up the test session");
}

DockTileSession::~DockTileSession()
{
    if (m_companion.state() != QProcess::NotRunning) {
        m_companion.terminate();
        if (!m_companion.waitForFinished(10000))
            m_companion.kill();
        m_companion.waitForFinished();
        EXPECT_EQ(m_companion.exitStatus(), QProcess::NormalExit) << "the companion did not end on SIGTERM";
    }
    ::close(m_watch);
    QDBusConnection::disconnectFromBus(m_root.path());
}

void DockTileSession::setPreference(const QString& appearance) const
{
    QFile file(preferenceFile());
    if (appearance.isNull())
        file.remove();
    else if (!QDir().mkpath(m_configHome) || !file.open(QIODevice::WriteOnly) ||
             file.write("[General]\ninterfaceAppearance=" + appearance.toUtf8() + '\n') < 0)
        throw std::runtime_error("cannot write the preference file");
}

QProcessEnvironment DockTileSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("XDG_")))
            environment.remove(name);
    environment.insert(QStringLiteral("HOME"), m_root.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configHome);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_root.file(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), m_systemData);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress());
    return environment;
}

QImage DockTileSession::reference(Icon icon)
{
    return pixels(
        QImage(icon == Icon::dark
                   ? QStringLiteral(DRAVIK_SOURCE_DIR "/data/icons/hicolor/512x512/apps/app.dravik.application.png")
                   : QStringLiteral(DRAVIK_SOURCE_DIR "/tests/docktile/light-icon.png")));
}

void DockTileSession::startCompanion()
{
    m_companion.setProcessEnvironment(environment());
    m_companion.setProcessChannelMode(QProcess::ForwardedChannels);
    m_companion.start(m_program, {});
    if (!m_companion.waitForStarted())
        throw std::runtime_error("the companion did not start");
}

void DockTileSession::reloadCompanion() const
{
    ::kill(static_cast<pid_t>(m_companion.processId()), SIGHUP);
}

void DockTileSession::emitSignal(const QString& path, const QString& interface, const QString& member,
                                 const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createSignal(path, interface, member);
    message.setArguments(arguments);
    m_connection.send(message);
}

void DockTileSession::settingChanged(const QString& key, uint value)
{
    emitSignal(portalPath, QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"),
               {QStringLiteral("org.freedesktop.appearance"), key, QVariant::fromValue(QDBusVariant(value))});
}

int DockTileSession::changes(int expected)
{
    const QDeadlineTimer deadline(20000);
    while (m_changes < expected && !deadline.hasExpired()) {
        serve(10);
        countChanges();
    }
    // The companion handles one trigger completely before the next: a change too many follows
    // the expected ones closely.
    serve(250);
    countChanges();
    return std::exchange(m_changes, 0);
}

void DockTileSession::countChanges()
{
    alignas(inotify_event) char buffer[4096];
    for (ssize_t size; (size = ::read(m_watch, buffer, sizeof buffer)) > 0;)
        for (const char* at = buffer; at < buffer + size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && QFileInfo(iconPath()).fileName() == QString::fromUtf8(event->name))
                ++m_changes;
            at += sizeof(inotify_event) + event->len;
        }
}
