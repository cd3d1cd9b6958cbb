#pragma once

#include "IconThemeTile.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <optional>

// Keeps the application's icon in step with the appearance chosen in the application, or with the
// desktop's light or dark setting when that choice is "system", also while the application is not
// running. It shares no code with the application: the two meet only in the preference file and
// on the session bus.
class DravikDockTilePlugIn : public QObject {
    Q_OBJECT
public:
    explicit DravikDockTilePlugIn(const QDBusConnection& bus, QObject* parent = nullptr);
    ~DravikDockTilePlugIn() override;

    // With a tile: observes the application and the desktop and shows the icon now. Without one:
    // stops observing. However often it is called, each signal is observed at most once.
    void setDockTile(std::optional<IconThemeTile> tile);

    // Re-reads the preference (and the desktop's setting when needed) and shows the matching icon.
    void refreshIcon();

    // The light icon, 512 x 512: a pale rounded square with two opposed blue arrows.
    static QImage makeLightIcon();

public Q_SLOTS:
    // What the application, the desktop and the application's going away all call: a burst of
    // signals, from whichever peer, is one refresh shortly after.
    void refreshSoon();

private:
    void stopObserving();
    bool systemIsDark() const;

    QDBusConnection m_bus;
    QDBusServiceWatcher m_applicationWatcher;
    QTimer m_refresh;
    std::optional<IconThemeTile> m_tile;
    QImage m_lightIcon;
};
