#pragma once

#include "PrivateSessionBus.h"
#include "TemporaryFolder.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QFileInfo>
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
        int reads = 0;          // of the colour scheme, each a look of the companion's
        bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
        QString introspect(const QString&) const override { return {}; }
    };

    enum class Icon { light, dark };

    // `systemData` stands for the system's data folders (XDG_DATA_DIRS); `configHome` is the
    // preference folder the companion shares with the application, by default one of its own.
    DockTileSession(const QString& program, const QString& systemData, const QString& configHome = {});
    ~DockTileSession();

    // Writes the preference file as the application does; a null text removes it.
    void setPreference(const QString& appearance) const;
    // What a program started in the session gets: its folders and the session bus.
    QProcessEnvironment environment() const;
    QString busAddress() const { return QString::fromUtf8(m_bus.address()); }
    void startCompanion();
    void reloadCompanion() const;

    Portal& portal() { return m_portal; }
    void emitSignal(const QString& path, const QString& interface, const QString& member,
                    const QVariantList& arguments = {});
    // The portal's signal that the desktop setting `key` of the appearance group is now `value`.
    void settingChanged(const QString& key, uint value);
    // Owns and releases names as the application or the portal.
    QDBusConnection& bus() { return m_connection; }

    // Waits until the companion has written or removed its icon `expected` times since the last
    // call, then a little longer for any change too many; returns how often it changed.
    int changes(int expected);
    QImage icon() const { return QImage(iconPath()); }
    // Whether the companion shows `icon`: the drawn light one, which was checked by eye and against
    // the drawing's key points when it was made, or none of its own, so that the installed one shows.
    bool shows(Icon icon) const
    {
        return icon == Icon::light ? pixels(this->icon()) == reference(icon) : !QFileInfo::exists(iconPath());
    }
    static QImage reference(Icon icon);
    static QImage pixels(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }
    QString themeFolder() const { return m_root.file(QStringLiteral("data/icons/hicolor")); }
    QString preferenceFile() const { return m_configHome + QStringLiteral("/app.dravik.application.conf"); }
    QString iconPath() const { return themeFolder() + QStringLiteral("/512x512/apps/app.dravik.application.png"); }

private:
    void countChanges();

    TemporaryFolder m_root;
    PrivateSessionBus m_bus;
    QDBusConnection m_connection;
    Portal m_portal;
    QString m_program;
    QString m_systemData;
    QString m_configHome;
    QProcess m_companion;
    int m_watch = -1;
    int m_changes = 0;
};
