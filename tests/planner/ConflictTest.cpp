#include "FTPError.h"
#include "TransferConflict.h"
#include "TransferPlanner.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

FileEntry file(std::optional<qint64> size)
{
    return FileEntry{QStringLiteral("f"), false, size, std::nullopt};
}

const FileEntry folder{QStringLiteral("d"), true, std::nullopt, std::nullopt};

QString admitted(const TransferConflict& conflict)
{
    QStringList names;
    for (ConflictAction action : ConflictActions::allCases())
        if (conflict.allows(action))
            names.append(ConflictActions::rawValue(action));
    return names.join(QLatin1Char(' '));
}

TEST(ConflictTest, EachKindOfConflictAdmitsItsActions)
{
    const struct {
        FileEntry source;
        FileEntry target;
        const char* actions;
    } cases[] = {
        {file(10), file(9), "overwrite resume rename skip"},
        {file(10), file(10), "overwrite rename skip"},
        {file(10), file(0), "overwrite rename skip"},
        {file(std::nullopt), file(5), "overwrite rename skip"},
        {file(10), file(std::nullopt), "overwrite rename skip"},
        {file(10), folder, "rename skip"},
        {folder, file(10), "rename skip"},
        {folder, folder, "rename skip merge"},
    };
    for (const auto& c : cases) {
        const TransferConflict conflict{true, QStringLiteral("/l"), QStringLiteral("/r"), c.source, c.target};
        EXPECT_EQ(admitted(conflict), QString::fromLatin1(c.actions))
            << c.source.isDirectory << c.source.size.value_or(-1) << " " << c.target.size.value_or(-1);
    }
}

TEST(ConflictTest, NewNamesKeepTheExtensionAndSkipTakenOnes)
{
    const struct {
        const char* name;
        bool directory;
        QSet<QString> taken;
        const char* expected;
    } cases[] = {
        {"report.txt", false, {}, "report (2).txt"},
        {"archive.tar.gz", false, {}, "archive.tar (2).gz"},
        {".profile", false, {}, ".profile (2)"},
        {"trailing.", false, {}, "trailing. (2)"},
        {"noext", false, {"noext (2)", "noext (3)"}, "noext (4)"},
        {"photos.2024", true, {}, "photos.2024 (2)"},
        {"..x", false, {}, ". (2).x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TransferPlanner::availableName(QString::fromUtf8(c.name), c.directory,
                                                 [&](const QString& name) { return c.taken.contains(name); }),
                  QString::fromUtf8(c.expected))
            << c.name;
}

TEST(ConflictTest, NoFreeNameIsTheBatchLimit)
{
    int asked = 0;
    EXPECT_THROW(
        TransferPlanner::availableName(QStringLiteral("a.txt"), false, [&](const QString&) { return ++asked > 0; }),
        FTPError);
    EXPECT_EQ(asked, 49999);
    EXPECT_EQ(TransferPlanner::availableName(QStringLiteral("a"), false,
                                             [](const QString& name) { return name != QLatin1String("a (50000)"); }),
              QStringLiteral("a (50000)"));
}

} // namespace
