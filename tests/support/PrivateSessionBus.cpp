#include "PrivateSessionBus.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace {

constexpr const char* configuration = R"(<busconfig><type>session</type><listen>unix:path=%1</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>)";

} // namespace

PrivateSessionBus::PrivateSessionBus() : m_folder(QDir::tempPath() + QStringLiteral("/dravik-bus-XXXXXX"))
{
    QFile file(m_folder.filePath(QStringLiteral("bus.conf")));
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(configuration).arg(m_folder.filePath(QStringLiteral("bus"))).toUtf8()) < 0)
        throw std::runtime_error("cannot write the test bus configuration");
    file.close();
    m_daemon.start(QStringLiteral("/usr/bin/dbus-daemon"),
                   {QStringLiteral("--config-file=") + file.fileName(), QStringLiteral("--print-address"),
                    QStringLiteral("--nofork")});
    m_daemon.closeWriteChannel();
    while (!m_daemon.canReadLine())
        if (!m_daemon.waitForReadyRead(10000))
            throw std::runtime_error("the test bus printed no address");
    m_address = m_daemon.readLine().trimmed();
}

PrivateSessionBus::~PrivateSessionBus()
{
    m_daemon.terminate();
    m_daemon.waitForFinished(10000);
}
