#include "AppLanguage.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QJsonObject catalogue()
{
    QFile file(QStringLiteral(":/Translations.json"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

QSet<QString> placeholders(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("\\{\\d+\\}"));
    QSet<QString> found;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

// Every key the sources look up with L("key", ...) or L10n::text("key" ...).
QSet<QString> keysUsedBySources()
{
    static const QRegularExpression lookup(
        QStringLiteral("\\b(?:L|L10n::text)\\(\\s*(?:QStringLiteral\\(|QString::fromLatin1\\()?\"([a-z0-9_]+)\""));
    QSet<QString> keys;
    QDirIterator it(QStringLiteral(DRAVIK_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = lookup.globalMatch(text); match.hasNext();)
            keys.insert(match.next().captured(1));
    }
    return keys;
}

}

TEST(Translations, EveryLanguageHasEveryEnglishKeyWithTheSamePlaceholders)
{
    const QJsonObject languages = catalogue();
    const QJsonObject english = languages.value("en").toObject();
    ASSERT_GT(english.size(), 200);
    for (const AppLanguage& language : AppLanguage::supported()) {
        ASSERT_TRUE(languages.contains(language.id)) << language.id.toStdString();
        const QJsonObject table = languages.value(language.id).toObject();
        EXPECT_EQ(table.size(), english.size()) << language.id.toStdString();
        int copiedFromEnglish = 0;
        for (auto entry = english.begin(); entry != english.end(); ++entry) {
            const QString key = entry.key();
            ASSERT_TRUE(table.value(key).isString()) << language.id.toStdString() << " lacks " << key.toStdString();
            const QString text = table.value(key).toString();
            EXPECT_FALSE(text.isEmpty()) << language.id.toStdString() << " " << key.toStdString();
            EXPECT_EQ(placeholders(text), placeholders(entry->toString()))
                << language.id.toStdString() << " " << key.toStdString();
            copiedFromEnglish += language.id != "en" && text == entry->toString();
        }
        // Brand names and a few technical words legitimately stay as they are.
        EXPECT_LT(copiedFromEnglish, 12) << language.id.toStdString() << " looks untranslated";
    }
}

TEST(Translations, EveryKeyTheCodeLooksUpExistsInEnglish)
{
    const QJsonObject english = catalogue().value("en").toObject();
    const QSet<QString> used = keysUsedBySources();
    EXPECT_GT(used.size(), 10);
    for (const QString& key : used)
        EXPECT_TRUE(english.contains(key)) << "missing key " << key.toStdString();
}

TEST(Translations, TextsNameThisComputerNotTheOriginalDesktop)
{
    const QJsonObject english = catalogue().value("en").toObject();
    static const QRegularExpression foreign(QStringLiteral("\\b(Mac|macOS|Finder|iCloud|Dock)\\b"));
    for (auto entry = english.begin(); entry != english.end(); ++entry)
        EXPECT_FALSE(foreign.match(entry->toString()).hasMatch()) << entry.key().toStdString();
}
