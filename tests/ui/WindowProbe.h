#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

// Finds controls as a person or a screen reader does: by the text they show or their accessible
// name.
template <typename T = QAbstractButton> T* control(const QWidget& root, const QString& name)
{
    for (T* widget : root.findChildren<T*>()) {
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        if (widget->accessibleName() == name || (button && button->text() == name))
            return widget;
    }
    ADD_FAILURE() << "no control " << name.toStdString();
    return nullptr;
}

// A command of a window part (its buttons and menus act through it), by its text.
inline QAction* command(const QWidget& root, const QString& text)
{
    for (QAction* action : root.findChildren<QAction*>())
        if (action->text() == text)
            return action;
    ADD_FAILURE() << "no command " << text.toStdString();
    return nullptr;
}

// The open window of that kind, if one is shown.
template <typename T> T* openWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    return nullptr;
}
