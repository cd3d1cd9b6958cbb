#pragma once

#include "L10n.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QString>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

// Finds controls and labels as a person or a screen reader does: by the text they show or their
// accessible name.
template <typename T = QAbstractButton> T* control(const QWidget& root, const QString& name)
{
    for (T* widget : root.findChildren<T*>()) {
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const auto* label = qobject_cast<const QLabel*>(widget);
        if (widget->accessibleName() == name || (button && button->text() == name) || (label && label->text() == name))
            return widget;
    }
    ADD_FAILURE() << "no control " << name.toStdString();
    return nullptr;
}

// The preferences the program keeps for the person, as it reads them.
inline QSettings preferences()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, L10n::settingsOrganisation());
}

// Replaces the text of the field of that name, key by key as a person types.
inline void type(const QWidget& root, const char* key, const QString& text)
{
    if (auto* field = control<QLineEdit>(root, L(key))) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
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

// Drags `data` over `target` to `at` and drops it there, through the widget's own handlers as a
// desktop delivers a drag; whether the drop was taken.
inline bool drop(QWidget* target, const QMimeData& data, QPoint at = {10, 10})
{
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &dropped);
    return move.isAccepted() && dropped.isAccepted();
}

// Drags local files over `target` and drops them there, as from the file manager; whether the
// drop was taken.
inline bool dropFiles(QWidget* target, const QStringList& paths, QPoint at = {10, 10})
{
    QMimeData files;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    files.setUrls(urls);
    return drop(target, files, at);
}

// The open window of that kind, if one is shown.
template <typename T> T* openWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    return nullptr;
}
