#include "FilterField.h"

#include <QKeyEvent>

bool FilterField::clears(const QKeyEvent* event) const
{
    return event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !text().isEmpty();
}

bool FilterField::event(QEvent* event)
{
    // Taken before any shortcut of the window that Escape also triggers.
    if (event->type() == QEvent::ShortcutOverride && clears(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void FilterField::keyPressEvent(QKeyEvent* event)
{
    if (!clears(event))
        return QLineEdit::keyPressEvent(event);
    clear();
    // As the clear button does: the text changed by the person's hand.
    Q_EMIT textEdited(text());
    event->accept();
}
