#include "AppLanguage.h"
#include "L10n.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
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

} // namespace

// A text, or a counting key's texts by plural category.
QMap<QString, QString> formsOf(const QJsonValue& value)
{
    if (value.isString())
        return {{"", value.toString()}};
    QMap<QString, QString> forms;
    const QJsonObject object = value.toObject();
    for (auto form = object.begin(); form != object.end(); ++form)
        forms.insert(form.key(), form->toString());
    return forms;
}

TEST(Translations, EveryLanguageHasEveryEnglishKeyWithTheSamePlaceholdersAndItsPluralForms)
{
    const QJsonObject languages = catalogue();
    const QJsonObject english = languages.value("en").toObject();
    ASSERT_GT(english.size(), 200);
    ASSERT_EQ(AppLanguage::supported().size(), 17);
    for (const AppLanguage& language : AppLanguage::supported()) {
        const std::string id = language.id.toStdString();
        EXPECT_EQ(language.isRightToLeft(), language.id == QStringLiteral("ar")) << id;
        const QJsonObject table = languages.value(language.id).toObject();
        EXPECT_EQ(table.size(), english.size()) << id;
        int copiedFromEnglish = 0;
        for (auto entry = english.begin(); entry != english.end(); ++entry) {
            const std::string key = entry.key().toStdString();
            const QMap<QString, QString> forms = formsOf(table.value(entry.key()));
            // A key that counts has exactly the forms the language's plural rules choose from.
            const QStringList wanted = entry->isObject() ? L10n::pluralCategories(language.id) : QStringList{""};
            EXPECT_EQ(forms.keys(), wanted) << id << " " << key;
            const QSet<QString> expected = placeholders(formsOf(*entry).last());
            for (const QString& text : forms) {
                EXPECT_FALSE(text.isEmpty()) << id << " lacks " << key;
                EXPECT_EQ(placeholders(text), expected) << id << " " << key;
            }
            copiedFromEnglish += language.id != "en" && forms == formsOf(*entry);
        }
        // Brand names and a few technical words legitimately stay as they are.
        EXPECT_LT(copiedFromEnglish, 12) << id << " looks untranslated";
    }
}

TEST(Translations, EveryKeyTheCodeLooksUpExistsInEnglishAndNamesThisComputer)
{
    const QJsonObject english = catalogue().value("en").toObject();
    // Every key the sources look up with L("key", ...) or L10n::text("key" ...).
    static const QRegularExpression lookup(QStringLiteral(
        "\\b(?:L|L10n::text|L10n::plural)\\(\\s*(?:QStringLiteral\\(|QString::fromLatin1\\(|u)?\"([a-z0-9_]+)\""));
    int used = 0;
    QDirIterator it(QStringLiteral(DRAVIK_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        for (auto match = lookup.globalMatch(QString::fromUtf8(file.readAll())); match.hasNext(); ++used) {
            const QString key = match.next().captured(1);
            EXPECT_TRUE(english.contains(key)) << "missing key " << key.toStdString();
        }
    }
    EXPECT_GT(used, 10);

    static const QRegularExpression foreign(QStringLiteral("\\b(Mac|macOS|Finder|iCloud|Dock)\\b"));
    for (auto entry = english.begin(); entry != english.end(); ++entry)
        EXPECT_FALSE(foreign.match(entry->toString()).hasMatch()) << entry.key().toStdString();
}
