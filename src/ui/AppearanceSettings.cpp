#include "AppearanceSettings.h"

#include "AppStyle.h"
#include "Icons.h"
#include "L10n.h"
#include "ProductInfo.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QPainter>
#include <QPainterPath>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString preferenceKey = u"interfaceAppearance"_s;
const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString portalSettings = u"org.freedesktop.portal.Settings"_s;
const QString appearanceGroup = u"org.freedesktop.appearance"_s;
const QString colorSchemeKey = u"color-scheme"_s;
constexpr uint prefersDark = 1;
// A portal that does not answer in time counts as no portal; the window never waits for it.
constexpr int portalTimeout = 3000;

// The style and palette the platform gave the program before any appearance was forced, taken
// the first time they are asked for.
struct PlatformLook {
    QString style;
    QPalette palette;
};

const PlatformLook& platformLook()
{
    static const PlatformLook look{QApplication::style()->name(), QApplication::palette()};
    return look;
}

QPalette darkPalette()
{
    const QColor text(0xe6, 0xe6, 0xe6);
    QPalette dark(text, QColor(0x3a, 0x3a, 0x3d), QColor(0x55, 0x55, 0x59), QColor(0x1a, 0x1a, 0x1c),
                  QColor(0x2a, 0x2a, 0x2c), text, QColor(0xff, 0x6b, 0x6b), QColor(0x1f, 0x1f, 0x21),
                  QColor(0x2d, 0x2d, 0x30));
    dark.setColor(QPalette::Midlight, QColor(0x47, 0x47, 0x4a));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::AlternateBase, QColor(0x27, 0x27, 0x2a));
    dark.setColor(QPalette::ToolTipBase, QColor(0x3c, 0x3c, 0x3f));
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa4));
    dark.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xd0));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(0x5a, 0xa9, 0xff));
    dark.setColor(QPalette::LinkVisited, QColor(0xb5, 0x8c, 0xff));
    const QColor disabled(0x80, 0x80, 0x84);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                           QPalette::PlaceholderText, QPalette::HighlightedText})
        dark.setColor(QPalette::Disabled, role, disabled);
    dark.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x4a, 0x4a, 0x4e));
    return dark;
}

void useStyle(const QString& name)
{
    const auto* current = qobject_cast<const AppStyle*>(QApplication::style());
    if (current && current->baseStyle()->name().compare(name, Qt::CaseInsensitive) == 0)
        return;
    QApplication::setStyle(new AppStyle(name));
}

// Forced light or dark, or the platform's own look when `dark` is unknown.
void usePalette(std::optional<bool> dark)
{
    static const QPalette light = std::unique_ptr<QStyle>(QStyleFactory::create(u"Fusion"_s))->standardPalette();
    static const QPalette forcedDark = darkPalette();
    const PlatformLook& platform = platformLook();
    useStyle(dark ? u"Fusion"_s : platform.style);
    QApplication::setPalette(!dark ? platform.palette : *dark ? forcedDark : light);
    // Windows hear of a new application palette only once the event loop runs again; sent, every
    // window shows the new colours before anything else happens. A widget passes it on to its
    // children, except those that chose a palette of their own.
    QEvent paletteChange(QEvent::ApplicationPaletteChange);
    for (QWidget* window : QApplication::topLevelWidgets())
        QCoreApplication::sendEvent(window, &paletteChange);
}

QVariant unwrapped(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

AppearanceSettings::AppearanceSettings(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus), m_originalIcon(Icons::builtInApplication()),
      m_lightIcon(QPixmap::fromImage(makeLightIcon()))
{
    platformLook();
    const QSettings preferences = L10n::preferences();
    m_selection = mode(preferences.value(preferenceKey).toString());
    apply();
    m_bus.connect(portalService, portalPath, portalSettings, u"SettingChanged"_s, this,
                  SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
    readSystemScheme(u"ReadOne"_s);
}

void AppearanceSettings::setSelection(Mode selection)
{
    if (selection == m_selection)
        return;
    m_selection = selection;
    L10n::preferences().setValue(preferenceKey, rawValue(selection));
    apply();
    Q_EMIT selectionChanged(selection);
}

void AppearanceSettings::apply()
{
    show();
    // The companion reads the file when the signal arrives: it must be on disk by then.
    QSettings preferences = L10n::preferences();
    preferences.sync();
    if (preferences.status() != QSettings::NoError)
        qWarning("cannot write the preferences to %s", qPrintable(preferences.fileName()));
    m_bus.send(
        QDBusMessage::createSignal(ProductInfo::busObjectPath(), ProductInfo::applicationID(), u"appearanceChanged"_s));
}

bool AppearanceSettings::isDark()
{
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

QString AppearanceSettings::rawValue(Mode mode)
{
    switch (mode) {
    case Mode::light: return u"light"_s;
    case Mode::dark: return u"dark"_s;
    case Mode::system: break;
    }
    return u"system"_s;
}

AppearanceSettings::Mode AppearanceSettings::mode(const QString& rawValue)
{
    for (const Mode mode : {Mode::light, Mode::dark})
        if (rawValue == AppearanceSettings::rawValue(mode))
            return mode;
    return Mode::system;
}

void AppearanceSettings::show()
{
    switch (m_selection) {
    case Mode::system: usePalette(m_systemDark); break;
    case Mode::light: usePalette(false); break;
    case Mode::dark: usePalette(true); break;
    }
    // Every window without an icon of its own shows the application's.
    QApplication::setWindowIcon(isDark() ? m_originalIcon : m_lightIcon);
}

// Newer portals have ReadOne; older ones only Read, which wraps the value in one more variant.
void AppearanceSettings::readSystemScheme(const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, method);
    call.setArguments({appearanceGroup, colorSchemeKey});
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, portalTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, method](QDBusPendingCallWatcher* answer) {
        answer->deleteLater();
        const QDBusMessage reply = answer->reply();
        if (reply.type() == QDBusMessage::ErrorMessage && method == u"ReadOne"_s &&
            reply.errorName() == u"org.freedesktop.DBus.Error.UnknownMethod"_s)
            return readSystemScheme(u"Read"_s);
        if (!m_schemeSignalled && reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            systemSchemeIs(unwrapped(reply.arguments().constFirst()).toUInt());
    });
}

void AppearanceSettings::portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group != appearanceGroup || key != colorSchemeKey)
        return;
    m_schemeSignalled = true;
    systemSchemeIs(unwrapped(value.variant()).toUInt());
}

// No preference counts as light.
void AppearanceSettings::systemSchemeIs(uint scheme)
{
    m_systemDark = scheme == prefersDark;
    if (m_selection == Mode::system)
        show();
}

QImage AppearanceSettings::makeLightIcon()
{
    constexpr int side = 512;
    constexpr qreal inset = 38;
    QImage icon(side, side, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    // The drawing is given with its origin at the bottom left.
    painter.translate(0, side);
    painter.scale(1, -1);

    painter.setPen(QPen(QColor::fromRgbF(0.82f, 0.82f, 0.82f), 3));
    painter.setBrush(QColor::fromRgbF(0.97f, 0.97f, 0.97f));
    painter.drawRoundedRect(QRectF(inset, inset, side - 2 * inset, side - 2 * inset), 98, 98);

    // Right above, left below: one polyline for each shaft and one for each head.
    const QList<QList<QPointF>> strokes = {
        {{135, 320}, {377, 320}},
        {{315, 382}, {377, 320}, {315, 258}},
        {{377, 192}, {135, 192}},
        {{197, 254}, {135, 192}, {197, 130}},
    };
    QPainterPath arrows;
    for (const QList<QPointF>& stroke : strokes) {
        arrows.moveTo(stroke.constFirst());
        for (qsizetype point = 1; point < stroke.size(); ++point)
            arrows.lineTo(stroke[point]);
    }
    painter.setPen(QPen(QColor::fromRgbF(0.0f, 0.53f, 0.96f), 30, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arrows);
    return icon;
}
