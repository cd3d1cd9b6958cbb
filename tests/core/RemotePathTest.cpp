#include "RemotePath.h"

#include <gtest/gtest.h>

TEST(RemotePath, ParentAndJoining)
{
    const std::pair<const char*, const char*> parents[] = {
        {"/a/b/c", "/a/b"}, {"/a", "/"}, {"/", "/"}, {"/a/b/", "/a"}, {"relative/x", "/relative"}, {"//a//b", "/a"},
    };
    for (const auto& [path, parent] : parents)
        EXPECT_EQ(RemotePath::parent(path), QString::fromLatin1(parent)) << path;
    const std::tuple<const char*, const char*, const char*> joins[] = {
        {"/a/b/", "c", "/a/b/c"}, {"/", "c", "/c"}, {"", "c", "/c"}, {"//", "x", "/x"}, {"/a", "b/c", "/a/b/c"},
    };
    for (const auto& [folder, name, joined] : joins)
        EXPECT_EQ(RemotePath::joining(folder, name), QString::fromLatin1(joined)) << folder << " + " << name;
}

TEST(RemotePath, IsValidName)
{
    const std::pair<QString, bool> cases[] = {
        {"", false},
        {".", false},
        {"..", false},
        {"a/b", false},
        {"name\n", false},
        {QString("a") + QChar(0), false},
        {QString::fromUtf8("a\u0085"), false},
        {"...", true},
        {" padded ", true},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(RemotePath::isValidName(name), valid) << name.toStdString();
}
