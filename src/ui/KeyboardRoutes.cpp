#include "KeyboardRoutes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

namespace {

bool isReturn(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

// Return on a button of the main window does what Space does: pressed and let go, so that a button
// with a menu opens it and a check box changes. In a dialog Return belongs to the default button.
bool pressButton(QObject* watched, QKeyEvent* event)
{
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || qobject_cast<QDialog*>(button->window()) || !isReturn(event))
        return false;
    if (event->type() == QEvent::KeyPress && !event->isAutoRepeat()) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent space(type, Qt::Key_Space, Qt::NoModifier, u" "_s);
            QCoreApplication::sendEvent(button, &space);
        }
    }
    return true;
}

// Only a dialog that had the keyboard gives it back, to the window that it was opened over. The
// widgets forget the active window before the hidden one hears of it; the window system's focus is
// still there, unless the person had moved on to another program.
void handBack(QObject* watched)
{
    auto* closing = qobject_cast<QWidget*>(watched);
    if (!closing || !closing->isWindow() || !closing->parentWidget() || !closing->windowHandle() ||
        QGuiApplication::focusWindow() != closing->windowHandle())
        return;
    const Qt::WindowType type = closing->windowType();
    if (type != Qt::Dialog && type != Qt::Sheet && type != Qt::Window)
        return;
    QWidget* below = closing->parentWidget()->window();
    if (below->isVisible())
        below->activateWindow();
}

} // namespace

KeyboardRoutes::KeyboardRoutes(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

KeyboardRoutes::~KeyboardRoutes()
{
    qApp->removeEventFilter(this);
}

bool KeyboardRoutes::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: return pressButton(watched, static_cast<QKeyEvent*>(event));
    case QEvent::Hide: handBack(watched); break;
    default: break;
    }
    return false;
}
