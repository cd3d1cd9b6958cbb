#include "FTPError.h"
#include "L10n.h"
#include "ListingParser.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

struct Expected {
    QString name;
    bool isDirectory;
    std::optional<qint64> size;
    std::optional<QDateTime> modified;
};

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

void expectEntries(const QString& listing, const std::vector<Expected>& expected)
{
    const QList<FileEntry> entries = ListingParser::parse(listing);
    ASSERT_EQ(entries.size(), qsizetype(expected.size())) << listing.toStdString();
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].name, expected[i].name) << listing.toStdString();
        EXPECT_EQ(entries[i].isDirectory, expected[i].isDirectory) << listing.toStdString();
        EXPECT_EQ(entries[i].size, expected[i].size) << listing.toStdString();
        EXPECT_EQ(entries[i].modified, expected[i].modified) << listing.toStdString();
    }
}

}

TEST(ListingParser, ReadsEachLineFormat)
{
    const std::pair<QString, std::vector<Expected>> cases[] = {
        {"type=file;size=1024;modify=20240131120000; report 2024.pdf",
         {{"report 2024.pdf", false, 1024, utc(2024, 1, 31, 12, 0, 0)}}},
        {"Type=DIR;Modify=20240131120000.123; docs", {{"docs", true, std::nullopt, utc(2024, 1, 31, 12, 0, 0)}}},
        {"type=OS.unix=slink:/target; link", {{"link", false, std::nullopt, std::nullopt}}},
        {"type=file;size=huge;modify=2024; odd", {{"odd", false, std::nullopt, std::nullopt}}},
        {"type=file;size=9;modify=20241399000000;type=dir; later fact wins", {{"later fact wins", true, 9, std::nullopt}}},
        {"drwxr-xr-x 2 user group 4096 Jan 31 12:00 docs", {{"docs", true, 4096, std::nullopt}}},
        {"lrwxrwxrwx 1 user group 7 Jan 31 2023 current -> release", {{"current", false, 7, std::nullopt}}},
        {"-rw-r--r--   1 ftp ftp  12 Jan 31 12:00  padded", {{" padded", false, 12, std::nullopt}}},
        {"-rw-r--r--+ 1 ftp ftp 5 Jan 31 12:00 acl.txt", {{"acl.txt", false, 5, std::nullopt}}},
        {"-rw-r--r-- 1 ftp ftp 99999999999999999999 Jan 31 12:00 giant", {{"giant", false, std::nullopt, std::nullopt}}},
        {"01-31-24  12:00PM       <DIR>          Projects", {{"Projects", true, std::nullopt, std::nullopt}}},
        {"01-31-2024  09:15am  2048 notes.txt", {{"notes.txt", false, 2048, std::nullopt}}},
        {"01-31-2024  09:15AM  <dir> lower", {{"lower", false, std::nullopt, std::nullopt}}},
    };
    for (const auto& [line, expected] : cases)
        expectEntries(line, expected);
}

TEST(ListingParser, SkipsSummaryFolderSelfAndUnusableNames)
{
    expectEntries("total 48\r\n"
                  "drwxr-xr-x 2 u g 4096 Jan 31 12:00 .\r\n"
                  "drwxr-xr-x 2 u g 4096 Jan 31 12:00 ..\r\n"
                  "-rw-r--r-- 1 u g 3 Jan 31 12:00 b.txt\r\n"
                  "-rw-r--r-- 1 u g 4 Jan 31 12:00 a.txt\r\n",
                  {{"a.txt", false, 4, std::nullopt}, {"b.txt", false, 3, std::nullopt}});
    expectEntries("type=cdir;modify=20240101000000; /pub\ntype=pdir; ..\ntype=file;size=1; x", {{"x", false, 1, std::nullopt}});
    expectEntries("", {});
}

TEST(ListingParser, OneUnreadableLineFailsTheWholeListing)
{
    const std::pair<QString, int> cases[] = {
        {"drwxr-xr-x 2 u g 4096 Jan 31 12:00 docs\nthis is not a listing line", 1},
        {"   ", 1},
        {"total\nnonsense\n-rw-r--r-- 1 u g 4 Jan 31 12:00 a.txt", 2},
        {"Type=CDIR no semicolon", 1},
    };
    for (const auto& [listing, count] : cases) {
        try {
            ListingParser::parse(listing);
            ADD_FAILURE() << "accepted " << listing.toStdString();
        } catch (const FTPError& error) {
            EXPECT_EQ(error.errorDescription(), L("unknown_listing", QString::number(count))) << listing.toStdString();
        }
    }
}

TEST(ListingParser, OrdersFoldersFirstThenNaturalNames)
{
    const QList<FileEntry> entries = ListingParser::parse(
        "type=file;size=1; file10\ntype=file;size=1; File2\ntype=dir; zeta\ntype=dir; Alpha\n");
    QStringList names;
    for (const FileEntry& entry : entries)
        names << entry.name;
    EXPECT_EQ(names, (QStringList{"Alpha", "zeta", "File2", "file10"}));
}
