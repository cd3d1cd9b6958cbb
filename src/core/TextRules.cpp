#include "TextRules.h"

#include <algorithm>

// Every character of these sets lies in the Basic Multilingual Plane, so UTF-16 units suffice.
namespace TextRules {

bool isLineBreak(char32_t scalar)
{
    return (scalar >= 0x0A && scalar <= 0x0D) || scalar == 0x85 || scalar == 0x2028 || scalar == 0x2029;
}

bool containsLineBreak(const QString& text)
{
    for (QChar c : text)
        if (isLineBreak(c.unicode()))
            return true;
    return false;
}

bool containsNul(const QString& text)
{
    return text.contains(QChar(0));
}

static bool isWhiteSpace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool containsWhitespace(const QString& text)
{
    for (QChar c : text)
        if (isWhiteSpace(c.unicode()))
            return true;
    return false;
}

static bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

bool containsControl(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), isControl);
}

QString visible(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (isControl(c))
            shown +=
                QStringLiteral("\\x") + QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace TextRules
