#include "DesktopProgress.h"

#include "AppModel.h"
#include "L10n.h"
#include "ProductInfo.h"

#include <QDBusMessage>
#include <QWidget>

using namespace Qt::StringLiterals;

DesktopProgress::DesktopProgress(AppModel& model, const QWidget& window, const QDBusConnection& bus,
                                 std::chrono::milliseconds noticeable, QObject* parent)
    : QObject(parent), m_model(model), m_window(window), m_bus(bus), m_noticeable(noticeable)
{
    for (auto change : {&AppModel::pendingCountChanged, &AppModel::completedCountChanged, &AppModel::queuePausedChanged,
                        &AppModel::queueTimeLeftChanged})
        connect(&m_model, change, this, &DesktopProgress::update);
}

void DesktopProgress::update()
{
    const int pending = m_model.pendingCount();
    double runningProgress = 0;
    bool anyRunning = false;
    for (const TransferItem& item : m_model.transfers())
        if (item.state == TransferItem::State::running) {
            runningProgress += item.progress;
            anyRunning = true;
        }
    // A pause lets the running items finish: the run ends with the last of them.
    if (!anyRunning && (pending == 0 || m_model.queuePaused())) {
        if (m_runStart)
            ended();
        return;
    }
    if (!m_runStart) {
        m_runStart = EngineClock::current().now();
        m_completedBefore = m_model.completedCount();
    }
    const int completed = m_model.completedCount() - m_completedBefore;
    showProgress((completed + runningProgress) / std::max(completed + pending, 1), true);
}

void DesktopProgress::ended()
{
    const bool longEnough = EngineClock::current().now() - *m_runStart >= m_noticeable;
    m_runStart.reset();
    showProgress(0, false);
    if (!longEnough || m_window.isActiveWindow())
        return;
    if (!m_model.queuePaused())
        return notify(L("transfers_finished"), QString());
    // Paused by the person, it is no news to them; a failure pauses the queue too.
    for (const TransferItem& item : m_model.transfers())
        if (item.state == TransferItem::State::failed && item.error)
            return notify(L("transfers_failed"), item.fileName() + u": "_s + *item.error);
}

void DesktopProgress::notify(const QString& summary, const QString& body)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
                                       u"org.freedesktop.Notifications"_s, u"Notify"_s);
    call << ProductInfo::name() << 0u << ProductInfo::applicationID() << summary << body << QStringList()
         << QVariantMap{{u"desktop-entry"_s, ProductInfo::applicationID()}} << -1;
    // The answer (the notification's id) is of no use; nothing waits for it.
    m_bus.send(call);
}

void DesktopProgress::showProgress(double fraction, bool visible)
{
    const int percent = visible ? int(fraction * 100) : -1;
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    QDBusMessage signal =
        QDBusMessage::createSignal(ProductInfo::busObjectPath(), u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s);
    signal << QString(u"application://"_s + ProductInfo::applicationID() + u".desktop"_s)
           << QVariantMap{{u"progress"_s, std::clamp(fraction, 0.0, 1.0)}, {u"progress-visible"_s, visible}};
    m_bus.send(signal);
}
