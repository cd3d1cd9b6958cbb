#include "AppLanguage.h"

const QList<AppLanguage>& AppLanguage::supported()
{
    static const QList<AppLanguage> languages = {
        {QStringLiteral("ro"), QStringLiteral("Română")},        {QStringLiteral("en"), QStringLiteral("English")},
        {QStringLiteral("fr"), QStringLiteral("Français")},      {QStringLiteral("de"), QStringLiteral("Deutsch")},
        {QStringLiteral("es"), QStringLiteral("Español")},       {QStringLiteral("it"), QStringLiteral("Italiano")},
        {QStringLiteral("pt"), QStringLiteral("Português")},     {QStringLiteral("nl"), QStringLiteral("Nederlands")},
        {QStringLiteral("pl"), QStringLiteral("Polski")},        {QStringLiteral("uk"), QStringLiteral("Українська")},
        {QStringLiteral("ru"), QStringLiteral("Русский")},       {QStringLiteral("tr"), QStringLiteral("Türkçe")},
        {QStringLiteral("ar"), QStringLiteral("العربية")},       {QStringLiteral("hi"), QStringLiteral("हिन्दी")},
        {QStringLiteral("zh-Hans"), QStringLiteral("简体中文")}, {QStringLiteral("ja"), QStringLiteral("日本語")},
        {QStringLiteral("ko"), QStringLiteral("한국어")},
    };
    return languages;
}

bool AppLanguage::isSupported(const QString& code)
{
    for (const AppLanguage& language : supported())
        if (language.id == code)
            return true;
    return false;
}
