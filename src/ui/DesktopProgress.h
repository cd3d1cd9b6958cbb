#pragma once

#include "EngineClock.h"

#include <QDBusConnection>
#include <QObject>
#include <chrono>
#include <optional>

class AppModel;
class QWidget;

// What the desktop shows of the transfer queue outside the window: the progress bar on the
// launcher's icon (the launcher-entry signal that docks and panels read), and, while the person is
// in another window, a notification once a queue that ran for a while ends or stops at a failure.
class DesktopProgress : public QObject {
    Q_OBJECT

public:
    // A shorter run is over before anybody looks away.
    static constexpr std::chrono::seconds noticeableRun{5};

    DesktopProgress(AppModel& model, const QWidget& window, const QDBusConnection& bus,
                    std::chrono::milliseconds noticeable = noticeableRun, QObject* parent = nullptr);

private:
    void update();
    void ended();
    void notify(const QString& summary, const QString& body);
    void showProgress(double fraction, bool visible);

    AppModel& m_model;
    const QWidget& m_window;
    QDBusConnection m_bus;
    std::chrono::milliseconds m_noticeable;
    // Set while the queue runs, from its first start.
    std::optional<EngineClock::Clock::time_point> m_runStart;
    int m_completedBefore = 0;
    // Last sent, so that the launcher is told only of a visible step.
    int m_shownPercent = -1;
};
