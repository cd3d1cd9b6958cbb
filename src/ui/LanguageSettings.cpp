#include "LanguageSettings.h"

#include "AppLanguage.h"
#include "L10n.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QSettings>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

QString supportedOrEnglish(const QString& selection)
{
    return selection == u"system"_s || AppLanguage::isSupported(selection) ? selection : u"en"_s;
}

} // namespace

LanguageSettings::LanguageSettings(QObject* parent) : QObject(parent)
{
    const QSettings preferences = L10n::preferences();
    m_selection = supportedOrEnglish(preferences.value(QLatin1String(L10n::preferenceKey), u"en"_s).toString());
    L10n::select(m_selection);
    apply();
}

void LanguageSettings::setSelection(const QString& selection)
{
    const QString chosen = supportedOrEnglish(selection);
    if (chosen == m_selection)
        return;
    m_selection = chosen;
    L10n::select(m_selection);
    apply();
    Q_EMIT selectionChanged(m_selection);
}

Qt::LayoutDirection LanguageSettings::layoutDirection()
{
    return L10n::code() == u"ar"_s ? Qt::RightToLeft : Qt::LeftToRight;
}

void LanguageSettings::apply()
{
    const QLocale locale = L10n::locale();
    QLocale::setDefault(locale);
    QApplication::setLayoutDirection(layoutDirection());
    QCoreApplication::removeTranslator(&m_qtTexts);
    if (m_qtTexts.load(locale, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtTexts);
    // Windows that did not choose a locale of their own take the new default.
    QEvent localeChange(QEvent::LocaleChange);
    QCoreApplication::sendEvent(qApp, &localeChange);
    // Sent rather than posted, so that every window shows the new language before anything else
    // happens; a widget passes the event on to its children.
    QEvent languageChange(QEvent::LanguageChange);
    for (QWidget* window : QApplication::topLevelWidgets())
        QCoreApplication::sendEvent(window, &languageChange);
}
