#include "FileEntry.h"

#include <gtest/gtest.h>

TEST(FileEntry, SortedPutsFoldersFirstInNaturalOrderAndKeepsEqualNamesInPlace)
{
    const auto file = [](const char* name) { return FileEntry{QString::fromUtf8(name), false, {}, {}}; };
    const auto folder = [](const char* name) { return FileEntry{QString::fromUtf8(name), true, {}, {}}; };
    const struct {
        QList<FileEntry> input;
        QStringList expected;
    } cases[] = {
        {{file("b"), folder("z"), file("A"), folder("a10"), folder("a9")}, {"a9", "a10", "z", "A", "b"}},
        {{file("file10.txt"), file("file2.txt"), file("File1.txt")}, {"File1.txt", "file2.txt", "file10.txt"}},
        {{file("éclair"), file("zebra"), file("eagle")}, {"eagle", "éclair", "zebra"}},
        {{file("same"), file("SAME")}, {"same", "SAME"}},
        {{file("SAME"), file("same")}, {"SAME", "same"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        QStringList names;
        for (const FileEntry& entry : FileEntry::sorted(c.input))
            names << entry.name;
        EXPECT_EQ(names, c.expected);
    }
}
