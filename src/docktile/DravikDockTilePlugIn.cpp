#include "DravikDockTilePlugIn.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QPainter>
#include <QPainterPath>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString applicationName = u"app.dravik.application"_s;
const QString applicationPath = u"/app/dravik/application"_s;
const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString portalSettings = u"org.freedesktop.portal.Settings"_s;
const QStringList colorScheme{u"org.freedesktop.appearance"_s, u"color-scheme"_s};
constexpr int portalTimeout = 5000;
// Long enough to gather a burst of signals into one refresh, short enough to look immediate.
constexpr int refreshDelay = 100;

QString storedAppearance()
{
    QSettings preferences(QSettings::NativeFormat, QSettings::UserScope, applicationName);
    // The application may have written the file since the last look.
    preferences.sync();
    return preferences.value(u"interfaceAppearance"_s).toString();
}

} // namespace

DravikDockTilePlugIn::DravikDockTilePlugIn(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus), m_applicationWatcher(QString(), bus, QDBusServiceWatcher::WatchForUnregistration)
{
    connect(&m_applicationWatcher, &QDBusServiceWatcher::serviceUnregistered, this, &DravikDockTilePlugIn::refreshSoon);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(refreshDelay);
    connect(&m_refresh, &QTimer::timeout, this, &DravikDockTilePlugIn::refreshIcon);
}

DravikDockTilePlugIn::~DravikDockTilePlugIn()
{
    stopObserving();
}

void DravikDockTilePlugIn::setDockTile(std::optional<IconThemeTile> tile)
{
    stopObserving();
    m_tile = std::move(tile);
    if (!m_tile)
        return;
    m_bus.connect(QString(), applicationPath, applicationName, u"appearanceChanged"_s, this, SLOT(refreshSoon()));
    m_bus.connect(portalService, portalPath, portalSettings, u"SettingChanged"_s, colorScheme, QString(), this,
                  SLOT(refreshSoon()));
    m_applicationWatcher.setWatchedServices({applicationName});
    refreshIcon();
}

void DravikDockTilePlugIn::stopObserving()
{
    m_bus.disconnect(QString(), applicationPath, applicationName, u"appearanceChanged"_s, this, SLOT(refreshSoon()));
    m_bus.disconnect(portalService, portalPath, portalSettings, u"SettingChanged"_s, colorScheme, QString(), this,
                     SLOT(refreshSoon()));
    m_applicationWatcher.setWatchedServices({});
    m_refresh.stop();
}

// Not restarted by each signal: a steady stream of them still refreshes every so often.
void DravikDockTilePlugIn::refreshSoon()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void DravikDockTilePlugIn::refreshIcon()
{
    if (!m_tile)
        return;
    const QString appearance = storedAppearance();
    if (appearance == u"dark" || (appearance != u"light" && systemIsDark())) {
        // The installed icon is the dark one.
        m_tile->showInstalled();
        return;
    }
    if (m_lightIcon.isNull())
        m_lightIcon = makeLightIcon();
    m_tile->show(m_lightIcon);
}

// Newer portals have ReadOne; older ones only Read, which wraps the value in one more variant.
bool DravikDockTilePlugIn::systemIsDark() const
{
    const auto read = [this](const QString& method) {
        QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, method);
        call.setArguments({colorScheme[0], colorScheme[1]});
        return m_bus.call(call, QDBus::Block, portalTimeout);
    };
    QDBusMessage reply = read(u"ReadOne"_s);
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == u"org.freedesktop.DBus.Error.UnknownMethod")
        reply = read(u"Read"_s);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    QVariant value = reply.arguments().constFirst();
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value.toUInt() == 1;
}

QImage DravikDockTilePlugIn::makeLightIcon()
{
    constexpr int side = IconThemeTile::side;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The drawing's coordinates have their origin at the bottom left.
    painter.translate(0, side);
    painter.scale(1, -1);

    painter.setPen(QPen(QColor::fromRgbF(0.82f, 0.82f, 0.82f), 3));
    painter.setBrush(QColor::fromRgbF(0.97f, 0.97f, 0.97f));
    painter.drawRoundedRect(QRectF(38, 38, side - 2 * 38, side - 2 * 38), 98, 98);

    QPainterPath arrows;
    arrows.moveTo(135, 320);
    arrows.lineTo(377, 320);
    arrows.moveTo(315, 382);
    arrows.lineTo(377, 320);
    arrows.lineTo(315, 258);
    arrows.moveTo(377, 192);
    arrows.lineTo(135, 192);
    arrows.moveTo(197, 254);
    arrows.lineTo(135, 192);
    arrows.lineTo(197, 130);
    painter.setPen(QPen(QColor::fromRgbF(0.0f, 0.53f, 0.96f), 30, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arrows);
    return image;
}
