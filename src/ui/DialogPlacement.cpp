#include "DialogPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

DialogPlacement& DialogPlacement::shared()
{
    // Owned by the application, so that it goes with it and a later application gets a new one.
    static QPointer<DialogPlacement> instance;
    if (!instance)
        instance = new DialogPlacement(qApp);
    return *instance;
}

DialogPlacement::DialogPlacement(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

QPoint DialogPlacement::origin(const QRect& reference, const QRect& bounds, const QSize& size)
{
    const auto place = [](int start, int extent, double middle, int length) {
        const int centred = qRound(middle - length / 2.0);
        return std::min(std::max(start, start + extent - length), std::max(centred, start));
    };
    const QPointF middle = QRectF(reference).center();
    return {place(bounds.left(), bounds.width(), middle.x(), size.width()),
            place(bounds.top(), bounds.height(), middle.y(), size.height())};
}

void DialogPlacement::setWorkspace(QWidget* window)
{
    m_workspace = window;
    m_dialogs.removeAll(QPointer<QWidget>(window));
}

void DialogPlacement::registerDialog(QWidget* window)
{
    if (!window || window == m_workspace)
        return;
    m_dialogs.removeAll(nullptr);
    if (!m_dialogs.contains(window))
        m_dialogs.append(window);
    center(window);
    centerAfterLayout(window);
}

void DialogPlacement::center(QWidget* window)
{
    if (!m_workspace || !window || window == m_workspace || m_centering)
        return;
    m_centering = true;
    if (QLayout* layout = window->layout())
        layout->activate();
    const QRect reference = m_workspace->frameGeometry();
    const QScreen* screen = m_workspace->screen();
    const QRect bounds = screen ? screen->availableGeometry() : reference;
    window->move(origin(reference, bounds, window->frameGeometry().size()));
    m_centering = false;
}

void DialogPlacement::centerAfterLayout(QWidget* window)
{
    QTimer::singleShot(0, this, [this, dialog = QPointer<QWidget>(window)] {
        if (dialog && dialog->isVisible())
            center(dialog);
    });
}

bool DialogPlacement::qualifies(QWidget* window) const
{
    if (!m_workspace || window == m_workspace)
        return false;
    // Menus, tooltips and combo box lists are windows too, and must stay where they open.
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Dialog && type != Qt::Sheet && type != Qt::Window)
        return false;
    if (m_dialogs.contains(window))
        return true;
    for (QWidget* parent = window->parentWidget(); parent; parent = parent->window()->parentWidget())
        if (parent->window() == m_workspace)
            return true;
    return false;
}

bool DialogPlacement::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::Show && type != QEvent::WindowActivate && type != QEvent::Resize) || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!window->isWindow() || !qualifies(window))
        return false;
    if (type == QEvent::Resize) {
        // A resize the window system reports is the person dragging an edge: leave the window be.
        if (window->isVisible() && !event->spontaneous())
            center(window);
    } else {
        center(window);
        centerAfterLayout(window);
    }
    return false;
}
