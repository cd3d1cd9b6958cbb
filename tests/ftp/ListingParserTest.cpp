#include "ListingParser.h"
#include "L10n.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <QTimeZone>
#include <gtest/gtest.h>

TEST(ListingParser, ReadsEachLineFormatAndSkipsSummaryAndFolderSelf)
{
    const QDateTime noon(QDate(2024, 1, 31), QTime(12, 0), QTimeZone::utc());
    const std::nullopt_t none = std::nullopt;
    const std::pair<QString, QList<FileEntry>> cases[] = {
        {"type=file;size=1024;modify=20240131120000; report 2024.pdf", {{"report 2024.pdf", false, 1024, noon}}},
        {"Type=DIR;Modify=20240131120000.123; docs", {{"docs", true, none, noon}}},
        {"type=OS.unix=slink:/target; link", {{"link", false, none, none, true}}},
        {"type=OS.unix=symlink;size=7; current", {{"current", false, none, none, true}}},
        {"type=file;size=7;UNIX.mode=0120777; moded", {{"moded", false, none, none, true}}},
        {"type=file;size=7;unix.mode=0644; plain", {{"plain", false, 7, none}}},
        {QString("type=file;size=12\t; tab\ntype=file;size=43") + QChar(0) + "1; nul\ntype=file;size=+5; signed",
         {{"nul", false, none, none}, {"signed", false, 5, none}, {"tab", false, none, none}}},
        {"type=file;size=huge;modify=2024; odd", {{"odd", false, none, none}}},
        {"type=file;size=9;modify=20241399000000;type=dir; later fact wins", {{"later fact wins", true, 9, none}}},
        {"drwxr-xr-x 2 user group 4096 Jan 31 12:00 docs", {{"docs", true, 4096, none}}},
        {"lrwxrwxrwx 1 user group 7 Jan 31 2023 current -> release", {{"current", false, none, none, true}}},
        {"crw-r----- 1 root kmem 1,   3 Jan 31 12:00 mem", {{"mem", false, none, none}}},
        {"-rw-r--r--\u00a01 u g\u30005 Jan 31 12:00 spaced", {{"spaced", false, 5, none}}},
        {"-rw-r--r-- 1 u g \uff15 Jan \uff13\uff11 12:00 wide", {{"wide", false, none, none}}},
        {"-rw-r--r--   1 ftp ftp  12 Jan 31 12:00  padded", {{" padded", false, 12, none}}},
        {"-rw-r--r--+ 1 ftp ftp 5 Jan 31 12:00 acl.txt", {{"acl.txt", false, 5, none}}},
        {"-rw-r--r-- 1 ftp ftp 99999999999999999999 Jan 31 12:00 giant", {{"giant", false, none, none}}},
        {"01-31-24  12:00PM       <DIR>          Projects", {{"Projects", true, none, none}}},
        {"01-31-2024  09:15am  2048 notes.txt", {{"notes.txt", false, 2048, none}}},
        {"01-31-2024  09:15AM  <dir> lower", {{"lower", false, none, none}}},
        {"01-31-2024\u300009:15AM \u00a0<DIR> \u00a0spaced", {{"spaced", true, none, none}}},
        {"total 48\r\ndrwxr-xr-x 2 u g 4096 Jan 31 12:00 .\r\ndrwxr-xr-x 2 u g 4096 Jan 31 12:00 ..\r\n"
         "-rw-r--r-- 1 u g 3 Jan 31 12:00 b.txt\r\n-rw-r--r-- 1 u g 4 Jan 31 12:00 a.txt\r\n",
         {{"a.txt", false, 4, none}, {"b.txt", false, 3, none}}},
        {"type=cdir;modify=20240101000000; /pub\ntype=pdir; ..\ntype=file;size=1; x", {{"x", false, 1, none}}},
        {"", {}},
    };
    for (const auto& [listing, expected] : cases)
        EXPECT_EQ(ListingParser::parse(listing), expected) << listing.toStdString();
}

TEST(ListingParser, OneUnreadableLineFailsTheWholeListing)
{
    const std::pair<QString, int> cases[] = {
        {"drwxr-xr-x 2 u g 4096 Jan 31 12:00 docs\nthis is not a listing line", 1},
        {"   ", 1},
        {"total\nnonsense\n-rw-r--r-- 1 u g 4 Jan 31 12:00 a.txt", 2},
        {"Type=CDIR no semicolon", 1},
    };
    for (const auto& [listing, count] : cases)
        EXPECT_EQ(ftptest::failureText([&] { ListingParser::parse(listing); }),
                  L("unknown_listing", QString::number(count)))
            << listing.toStdString();
}

// Modes of plain files only: a link's letters or a folder's mode say nothing of a file to keep.
TEST(ListingParser, ReadsTheModeOfPlainFiles)
{
    const std::optional<quint32> none;
    const std::pair<QString, std::optional<quint32>> cases[] = {
        {"type=file;size=1;UNIX.mode=0600; secret", 0600},
        {"type=file;unix.mode=4755; tool", 04755},
        {"type=file;UNIX.mode=0799; not octal", none},
        {"type=file;UNIX.mode=17777; too many bits", none},
        {"type=dir;UNIX.mode=0755; folder", none},
        {"type=OS.unix=slink:/x;UNIX.mode=0777; link", none},
        {"-rwxr-x--- 1 u g 1 Jan 31 12:00 script", 0750},
        {"-rwsr-Sr-t 1 u g 1 Jan 31 12:00 special", 07745},
        {"-rw-r--r-s 1 u g 1 Jan 31 12:00 misplaced", none},
        {"lrwxrwxrwx 1 u g 7 Jan 31 2023 current -> release", none},
        {"01-31-2024  09:15AM  2048 notes.txt", none},
    };
    for (const auto& [line, mode] : cases)
        EXPECT_EQ(ListingParser::parse(line).value(0).permissions, mode) << line.toStdString();
}
