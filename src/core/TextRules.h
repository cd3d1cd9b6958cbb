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

} // namespace TextRules
