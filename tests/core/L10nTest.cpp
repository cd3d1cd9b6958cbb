#include "L10n.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

// Restores English and the machine's language list after each test.
class L10nTest : public testing::Test {
protected:
    void TearDown() override
    {
        L10n::selectForThisRun(QStringLiteral("en"));
        L10n::setPreferredLanguages([] { return QStringList{QStringLiteral("en-US")}; });
    }
};

} // namespace

TEST_F(L10nTest, ResolveFollowsTheSystemListInOrder)
{
    EXPECT_EQ(L10n::code(), QStringLiteral("en")) << "no stored preference";
    const std::pair<QStringList, const char*> cases[] = {
        {{"de-AT", "en-US"}, "de"},
        {{"zh-Hant-TW", "en"}, "zh-Hans"},
        {{"sv-SE"}, "en"},
        {{"sv-SE", "ja-JP"}, "ja"},
        {{}, "en"},
        {{"pt-BR"}, "pt"},
    };
    for (const auto& [preferred, expected] : cases) {
        L10n::setPreferredLanguages([languages = preferred] { return languages; });
        EXPECT_EQ(L10n::resolve(QStringLiteral("system")), QString::fromLatin1(expected))
            << preferred.join(",").toStdString();
    }
    EXPECT_EQ(L10n::resolve(QStringLiteral("xx")), QStringLiteral("en"));
    EXPECT_EQ(L10n::resolve(QStringLiteral("zh-Hans")), QStringLiteral("zh-Hans"));
}

TEST_F(L10nTest, SelectStoresThePreferenceAndChangesTheTexts)
{
    const QString english = L("cancel");
    L10n::select(QStringLiteral("fr"));
    EXPECT_EQ(L10n::code(), QStringLiteral("fr"));
    EXPECT_NE(L("cancel"), english);
    QSettings stored(QSettings::NativeFormat, QSettings::UserScope, L10n::settingsOrganisation());
    EXPECT_EQ(stored.value(QLatin1String(L10n::preferenceKey)).toString(), QStringLiteral("fr"));
    EXPECT_TRUE(stored.fileName().endsWith(QStringLiteral("app.dravik.application.conf")));
    L10n::select(QStringLiteral("xx"));
    EXPECT_EQ(L10n::code(), QStringLiteral("en"));
    stored.remove(QLatin1String(L10n::preferenceKey));
}

TEST_F(L10nTest, PlaceholdersAreReplacedFromTheLast)
{
    const QString text = QStringLiteral("Copied {0} of {1}");
    EXPECT_EQ(L10n::format(text, {"3", "7"}), QStringLiteral("Copied 3 of 7"));
    EXPECT_EQ(L10n::format(text, {"3"}), QStringLiteral("Copied 3 of {1}"));
    EXPECT_EQ(L10n::format(QStringLiteral("{1} and {1}, {0}"), {"a", "b"}), QStringLiteral("b and b, a"));
    EXPECT_EQ(L10n::format(QStringLiteral("{0}"), {"{1}", "x"}), QStringLiteral("{1}"));
    EXPECT_EQ(L10n::text(QStringLiteral("no_such_key_anywhere")), QStringLiteral("no_such_key_anywhere"));
    L10n::selectForThisRun(QStringLiteral("de"));
    EXPECT_TRUE(L("ftp_error", "47").contains("47"));
}

TEST_F(L10nTest, ACountPicksThePluralFormOfItsLanguage)
{
    // "#" is the count as the language writes numbers.
    const struct {
        const char* language;
        qint64 count;
        const char* expected;
    } cases[] = {
        {"en", 1, "# item"},      {"en", 0, "# items"},
        {"fr", 0, "# élément"},   {"fr", 1000000, "# d’éléments"},
        {"ru", 21, "# объект"},   {"ru", 3, "# объекта"},
        {"ru", 11, "# объектов"}, {"pl", 22, "# elementy"},
        {"ro", 19, "# elemente"}, {"ro", 20, "# de elemente"},
        {"ar", 2, "عنصران (#)"},  {"ar", 3, "# عناصر"},
        {"ar", 11, "# عنصرًا"},    {"ar", 100, "# عنصر"},
        {"ja", 1, "# 項目"},
    };
    for (const auto& c : cases) {
        L10n::selectForThisRun(QString::fromLatin1(c.language));
        const QString expected = QString::fromUtf8(c.expected).replace(u'#', L10n::locale().toString(c.count));
        EXPECT_EQ(L10n::plural(QStringLiteral("item_count"), c.count), expected) << c.language << " " << c.count;
    }
    // A count given as text chooses the form as well, in the language's digits or in ASCII ones;
    // without a count the general form stands.
    L10n::selectForThisRun(QStringLiteral("en"));
    EXPECT_EQ(L("item_count", "1"), QStringLiteral("1 item"));
    EXPECT_EQ(L("item_count"), QStringLiteral("{0} items"));
    L10n::selectForThisRun(QStringLiteral("ar"));
    EXPECT_EQ(L("item_count", L10n::locale().toString(3)), L10n::plural(QStringLiteral("item_count"), 3));
    EXPECT_EQ(L("item_count", "3"), QStringLiteral("3 عناصر"));
    L10n::selectForThisRun(QStringLiteral("en"));
    EXPECT_EQ(L10n::plural(QStringLiteral("renamed_item"), 1, {QStringLiteral("b")}), QStringLiteral("Renamed 1 to b"));
    EXPECT_EQ(L10n::pluralCategories(QStringLiteral("ar")),
              QStringList({"few", "many", "one", "other", "two", "zero"}));
}

TEST_F(L10nTest, ByteCountUsesDecimalUnitsAndTheLanguage)
{
    const std::pair<qint64, const char*> english[] = {
        {999, "999 B"},
        {1000, "1 KB"},
        {1536, "1.5 KB"},
        {-5, "0 B"},
        {1000000000000000000, "1 EB"},
        {9000000000000000000, "9 EB"},
        {999999, "1,000 KB"},
    };
    for (const auto& [bytes, text] : english)
        EXPECT_EQ(L10n::byteCount(bytes), QString::fromUtf8(text)) << bytes;
    L10n::selectForThisRun(QStringLiteral("de"));
    EXPECT_EQ(L10n::byteCount(1536), QStringLiteral("1,5 KB"));
    EXPECT_EQ(L10n::byteCount(999999), QStringLiteral("1.000 KB"));
}
