#include "TestApplications.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <stdexcept>

namespace {

void write(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        throw std::runtime_error("cannot write a test application");
}

} // namespace

TestApplications::TestApplications() : m_defaults(QStringLiteral("[Default Applications]\n"))
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
    // Renamed into place, so that a reader never sees the record half written.
    const QByteArray out = "\"" + m_folder.path().toUtf8() + "/$1";
    const QString script = m_folder.write("record", "#!/bin/sh\nprintf '%s' \"$2\" > " + out + ".part\" && mv " + out +
                                                        ".part\" " + out + ".out\"\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
}

void TestApplications::install(const QString& name, const QString& types) const
{
    write(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications/dravik-" + name +
              ".desktop",
          QStringLiteral("[Desktop Entry]\nType=Application\nName=Dravik %1\nIcon=text-x-generic\n"
                         "Exec=%2 %1 %f\nMimeType=%3\n")
              .arg(name, m_folder.file("record"), types));
}

void TestApplications::setDefault(const QString& name, const QStringList& types)
{
    for (const QString& type : types)
        m_defaults += type + "=dravik-" + name + ".desktop\n";
    write(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/mimeapps.list", m_defaults);
}

bool TestApplications::launched(const QString& name) const
{
    return QFile::exists(m_folder.file(name + ".out"));
}

QString TestApplications::recorded(const QString& name) const
{
    const QDeadlineTimer deadline(20000);
    while (!launched(name) && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QFile file(m_folder.file(name + ".out"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    file.remove();
    return text;
}
