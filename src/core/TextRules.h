#pragma once

#include <QString>

// Character rules shared by names, paths, user names and profile checks.
namespace TextRules {

// U+000A to U+000D, U+0085, U+2028, U+2029.
bool isLineBreak(char32_t scalar);
bool containsLineBreak(const QString& text);
bool containsNul(const QString& text);
// Unicode White_Space.
bool containsWhitespace(const QString& text);
// U+0000 to U+001F and U+007F to U+009F.
bool containsControl(const QString& text);

// `text` with every control character (U+0000 to U+001F, U+007F to U+009F) written as \xHH, so
// that a name from a server can neither drive a terminal nor garble a label.
QString visible(const QString& text);

} // namespace TextRules
