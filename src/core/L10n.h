#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

class QSettings;

// Interface text by key in the selected language, with English as the fallback and numbered
// placeholders {0}, {1}, ... Safe to call from any thread.
namespace L10n {

inline constexpr const char* preferenceKey = "interfaceLanguage";

// A key that counts something has a text per plural category of the language: its first argument
// is the count, and chooses the form.
QString text(const QString& key, const QStringList& args = {});
// The same with the count as a number: {0} is the count in the language's digits, {1}, {2}, ...
// are `args`.
QString plural(const QString& key, qint64 count, const QStringList& args = {});
// The plural categories ("one", "few", "other", ...) that a supported language distinguishes.
QStringList pluralCategories(const QString& code);
// Replaces each {N} that names an argument, from the last to the first.
QString format(QString text, const QStringList& args);
QString code();
QLocale locale();
// Makes `code` (a supported code or "system") the selection and stores it in the preferences.
void select(const QString& code);
// The same for this process only: nothing is written to the preferences.
void selectForThisRun(const QString& code);
QString resolve(const QString& code);
QString byteCount(qint64 bytes);

// The operating system's preferred interface languages, consulted when the selection is "system".
// Replaceable so that tests do not depend on the machine's locale.
using PreferredLanguages = std::function<QStringList()>;
void setPreferredLanguages(PreferredLanguages source);

// The user-preference store shared by the whole application.
QString settingsOrganisation();
QSettings preferences();

} // namespace L10n

template <typename... Args> QString L(const QString& key, const Args&... args)
{
    return L10n::text(key, QStringList{QString(args)...});
}

// Keys are ASCII literals in the code.
template <typename... Args> QString L(const char* key, const Args&... args)
{
    return L(QString::fromLatin1(key), args...);
}
