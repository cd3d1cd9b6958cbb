#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>
#include <optional>

class QDBusVariant;

// The light or dark appearance of the whole program. "light" and "dark" force a palette on every
// window; "system" follows the desktop's colour scheme as the settings portal reports it, live,
// and keeps the platform's own palette where no portal answers. The application icon follows the
// appearance in effect, and the icon companion (which keeps the icon right while the program is
// closed) hears of every choice through the preference file and one signal on the session bus.
class AppearanceSettings : public QObject {
    Q_OBJECT

public:
    enum class Mode { system, light, dark };
    Q_ENUM(Mode)

    // Reads the stored choice, applies it, and asks the desktop for its colour scheme without
    // waiting for the answer.
    explicit AppearanceSettings(const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    Mode selection() const { return m_selection; }
    // Stores the choice and applies it.
    void setSelection(Mode selection);
    // Shows the current choice, writes the preferences to disk, then tells the companion.
    void apply();

    // Whether the appearance in effect is the dark one.
    static bool isDark();
    // The stored text of a mode, and the mode of a stored text: anything unknown is "system".
    static QString rawValue(Mode mode);
    static Mode mode(const QString& rawValue);
    // The icon shown in light appearance, 512 x 512: a pale rounded square with two opposed arrows.
    static QImage makeLightIcon();

Q_SIGNALS:
    void selectionChanged(AppearanceSettings::Mode selection);

private Q_SLOTS:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void readSystemScheme(const QString& method);
    void systemSchemeIs(uint scheme);
    void show();

    QDBusConnection m_bus;
    Mode m_selection = Mode::system;
    // Whether the desktop prefers dark; unknown until the portal answers, and without a portal.
    std::optional<bool> m_systemDark;
    // The portal's signal is newer than any answer still underway.
    bool m_schemeSignalled = false;
    QIcon m_originalIcon;
    QIcon m_lightIcon;
};
