#pragma once

#include "PrivateSessionBus.h"
#include "TemporaryFolder.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QImage>
#include <QProcess>

// A desktop session of the test's own for the icon companion: a private session bus on which this
// process stands in for the settings portal and for the application, preference and data folders
// of the companion's own, and the real companion program started as a child.
class DockTileSession {
public:
    // Answers reads of the desktop's colour scheme as the settings portal does.
    struct Portal : QDBusVirtualObject {
        uint colorScheme = 0;
        bool hasReadOne = true; // false: an older portal, with Read only
        bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
        QString introspect(const QString&) const override { return {}; }
    };

    // `systemData` stands for the system's data folders (XDG_DATA_DIRS).
    DockTileSession(const QString& program, const QString& systemData);
    ~DockTileSession();

    // Writes the preference file as the application does; a null text removes it.
    void setPreference(const QString& appearance) const;
    void startCompanion();
    void reloadCompanion() const;

    Portal& portal() { return m_portal; }
    void emitSignal(const QString& path, const QString& interface, const QString& member,
                    const QVariantList& arguments = {});
    // Owns and releases names as the application or the portal.
    QDBusConnection& bus() { return m_connection; }

    // Waits until the companion has replaced its icon `expected` times since the last call, then
    // a little longer for any replacement too many; returns how often it was replaced.
    int replacements(int expected);
    QImage icon() const { return QImage(iconPath()); }
    QString themeFolder() const { return m_root.file(QStringLiteral("data/icons/hicolor")); }

private:
    QString iconPath() const { return themeFolder() + QStringLiteral("/512x512/apps/app.dravik.application.png"); }
    void countReplacements();

    TemporaryFolder m_root;
    PrivateSessionBus m_bus;
    QDBusConnection m_connection;
    Portal m_portal;
    QString m_program;
    QString m_systemData;
    QProcess m_companion;
    int m_watch = -1;
    int m_replacements = 0;
};
