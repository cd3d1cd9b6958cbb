#include "DisplayText.h"

#include "TextRules.h"

#include <QAbstractButton>
#include <QLabel>
#include <QRegularExpression>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace DisplayText {

QString dateTime(const QDateTime& moment, const QLocale& locale)
{
    // The long date without its weekday (and the separator after it), with the month abbreviated.
    static const QRegularExpression weekday(u"d{4}[^dMy']*"_s);
    QString date = locale.dateFormat(QLocale::LongFormat);
    date.remove(weekday);
    date.replace(u"MMMM"_s, u"MMM"_s);
    const QString format = date.trimmed() + u' ' + locale.timeFormat(QLocale::ShortFormat);
    return locale.toString(moment, format);
}

QString path(const QString& path)
{
    // Left-to-right marks on both sides make the path one left-to-right run.
    return u'\u200E' + TextRules::visible(path) + u'\u200E';
}

QLabel* plain(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString plainToolTip(const QString& text)
{
    // Qt takes a tooltip for rich text when it merely looks like markup; escaped inside a paragraph
    // of its own, it reads as written.
    if (Qt::mightBeRichText(text))
        return u"<p style='white-space:pre-wrap'>"_s + text.toHtmlEscaped() + u"</p>"_s;
    return text;
}

void setPlainToolTip(QWidget* widget, const QString& text)
{
    widget->setToolTip(plainToolTip(text));
}

QLabel* emphasised(QLabel* label, double scale)
{
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

void setIconButtonText(QAbstractButton* button, const QString& help)
{
    button->setToolTip(help);
    button->setAccessibleName(help);
}

void nameField(QLabel* label, QWidget* field, const QString& text)
{
    label->setText(text);
    label->setBuddy(field);
    field->setAccessibleName(text);
}

} // namespace DisplayText
