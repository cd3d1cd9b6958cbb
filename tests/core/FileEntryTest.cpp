#include "FileEntry.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {
FileEntry file(const char* name) { return {QString::fromUtf8(name), false, std::nullopt, std::nullopt}; }
FileEntry folder(const char* name) { return {QString::fromUtf8(name), true, std::nullopt, std::nullopt}; }

QStringList names(const QList<FileEntry>& entries)
{
    QStringList result;
    for (const FileEntry& entry : entries)
        result << entry.name;
    return result;
}
}

TEST(FileEntry, SortedPutsFoldersFirstInNaturalOrder)
{
    const struct {
        QList<FileEntry> input;
        QStringList expected;
    } cases[] = {
        {{file("b"), folder("z"), file("A"), folder("a10"), folder("a9")}, {"a9", "a10", "z", "A", "b"}},
        {{file("file10.txt"), file("file2.txt"), file("File1.txt")}, {"File1.txt", "file2.txt", "file10.txt"}},
        {{file("éclair"), file("zebra"), file("eagle")}, {"eagle", "éclair", "zebra"}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names(FileEntry::sorted(c.input)), c.expected);
}

TEST(FileEntry, SortIsStableForEqualNames)
{
    FileEntry first = file("same");
    first.size = 1;
    FileEntry second = file("SAME");
    second.size = 2;
    const QList<FileEntry> result = FileEntry::sorted({first, second});
    EXPECT_EQ(result[0].size, 1);
    EXPECT_EQ(result[1].size, 2);
    EXPECT_EQ(FileEntry::sorted({second, first})[0].size, 2);
}

TEST(FileEntry, EqualityUsesAllFieldsButIdentityIsTheName)
{
    FileEntry a{QStringLiteral("report.pdf"), false, 10, QDateTime(QDate(2024, 1, 31), QTime(12, 0), QTimeZone::utc())};
    FileEntry b = a;
    EXPECT_EQ(a, b);
    b.modified = a.modified->addSecs(1);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
    EXPECT_NE(qHash(a), qHash(b));
}
