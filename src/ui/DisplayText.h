#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// How the windows word and label what they show.
namespace DisplayText {

// Year, abbreviated month, day, hour (with the AM/PM marker where the locale uses one) and minute,
// ordered as the locale orders them.
QString dateTime(const QDateTime& moment, const QLocale& locale);

// A path, with control characters written out as \xHH, that reads left to right even in a right-to-left window, where
// its leading slash would otherwise move to the end.
QString path(const QString& path);

// A label that shows its text as it stands: a name from a server that looks like markup is
// never rendered as rich text.
QLabel* plain(QLabel* label);
// The same for a tooltip, which has no text format of its own.
void setPlainToolTip(QWidget* widget, const QString& text);
// A tooltip's text that reads as written, for tooltips shown without a widget of their own.
QString plainToolTip(const QString& text);
// Bold, and `scale` times the normal size: titles and the names of items.
QLabel* emphasised(QLabel* label, double scale = 1.0);
// A button that shows only an icon still carries its help text, as tooltip and accessible name.
void setIconButtonText(QAbstractButton* button, const QString& help);
// A text field's accessible name is the text of the label that names it.
void nameField(QLabel* label, QWidget* field, const QString& text);

} // namespace DisplayText
