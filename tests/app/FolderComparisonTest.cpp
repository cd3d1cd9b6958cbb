#include "FolderComparison.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);

// A pair of trees, the server's at "/tree".
QStringList compareTrees(const ProFTPDServer& server)
{
    const QString remote = server.local("/tree");
    TemporaryFolder local;
    const auto mine = [&](const QString& name, const QByteArray& bytes, qint64 lateBy = 0) {
        ftptest::setModified(local.write("tree/" + name, bytes), lateBy);
    };
    const auto theirs = [&](const QString& name, const QByteArray& bytes) {
        ftptest::setModified(ftptest::writeFile(remote + "/" + name, bytes));
    };
    mine("A.txt", "upper");
    theirs("a.txt", "lower");
    mine("a/b", "b");
    QDir().mkpath(remote + "/a");
    mine("kind", "a file here, a folder there");
    theirs("kind/inner", "x");
    mine(QStringLiteral("\uFF21"), "full-width A");
    theirs(QStringLiteral("\U0001F600"), "beyond the Basic Multilingual Plane");
    for (const auto& [name, lateBy, remoteBytes] :
         {std::tuple{"same.txt", 1900, "abcde"}, std::tuple{"late.txt", 2000, "abcde"},
          std::tuple{"size.txt", 0, "abcdef"}}) {
        mine(name, "12345", lateBy);
        theirs(name, remoteBytes);
    }
    QFile::link(local.file("tree/A.txt"), local.file("tree/link"));
    theirs("link", "a file where this computer has a link");
    ::mkfifo(QFile::encodeName(local.file("tree/fifo")).constData(), 0600);
    theirs("fifo", "f");
    QStringList rows;
    for (const ComparisonRow& row :
         FolderComparison::compare(local.file("tree"), "/tree",
                                   FTPClient(server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()), {}))
        rows.append(row.path + " " + row.statusKey());
    return rows;
}

} // namespace

TEST(ComparisonRow, StatusFollowsPresenceKindSizeAndTwoSecondsOfDate)
{
    const auto file = [](std::optional<qint64> size, std::optional<qint64> lateBy) {
        return FileEntry{"f", false, size, lateBy ? std::optional(base.addMSecs(*lateBy)) : std::nullopt};
    };
    const FileEntry folder{"f", true, std::nullopt, base};
    const std::tuple<std::optional<FileEntry>, std::optional<FileEntry>, const char*> cases[] = {
        {std::nullopt, file(1, 0), "remote_only"},
        {file(1, 0), std::nullopt, "local_only"},
        {folder, file(std::nullopt, std::nullopt), "different"},
        {folder, folder, "folder"},
        {file(std::nullopt, 0), file(1, 0), "unknown"},
        {file(1, std::nullopt), file(std::nullopt, std::nullopt), "unknown"},
        {file(1, std::nullopt), file(2, 0), "different"},
        {file(1, 0), file(1, 1999), "same_metadata"},
        {file(1, 1900), file(1, 0), "same_metadata"},
        {file(1, 0), file(1, 2000), "different"},
        {file(1, 2000), file(1, 0), "different"},
        {file(1, std::nullopt), file(1, 0), "compare_size_only"},
        {file(1, 0), file(1, std::nullopt), "compare_size_only"},
    };
    for (const auto& [local, remote, key] : cases)
        EXPECT_EQ(ComparisonRow({"f", local, remote}).statusKey(), key) << key;
}

// Over SFTP the same pairing runs where the application compares both panes of a session.
TEST(FolderComparison, PairsRealTreesOnAServer)
{
    const QStringList expected{"A.txt local_only",
                               "a folder",
                               "a.txt remote_only",
                               "a/b local_only",
                               "fifo unknown",
                               "kind different",
                               "kind/inner remote_only",
                               "late.txt different",
                               "link remote_only",
                               "same.txt same_metadata",
                               "size.txt different",
                               QStringLiteral("\uFF21 local_only"),
                               QStringLiteral("\U0001F600 remote_only")};
    EXPECT_EQ(compareTrees(ProFTPDServer()), expected);
}

TEST(FolderComparison, DepthAndEntryLimitsHoldOnBothSides)
{
    TemporaryFolder local;
    const QString root = local.file("root");
    QDir().mkpath(root);
    // A server whose folders "/d", "/d/d", ... go `levels` deep, with `count` files at "/".
    int levels = 0;
    int count = 0;
    const FolderComparison::ListFolder server = [&](const QString& path) {
        QList<FileEntry> entries;
        if (path.count('d') < levels)
            entries.append(FileEntry{"d", true, std::nullopt, std::nullopt});
        for (int n = 0; path == "/" && n < count; ++n)
            entries.append(FileEntry{QString::number(n), false, 0, std::nullopt});
        return entries;
    };
    const auto files = [&](const QString& folder, int many) {
        QDir().mkpath(folder);
        for (int n = 0; n < many; ++n)
            ::close(
                ::open(QFile::encodeName(folder + "/f" + QString::number(n)).constData(), O_CREAT | O_WRONLY, 0600));
    };
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { levels = 99; }, "(no error)"},
        {[&] { levels = 100; }, "folder_depth"},
        {[&] { levels = 0, count = 50000; }, "(no error)"},
        {[&] { count = 50001; }, "batch_limit"},
        {[&] { count = 0, QDir().mkpath(root + QString("/d").repeated(99)); }, "(no error)"},
        {[&] { QDir().mkpath(root + QString("/d").repeated(100)); }, "folder_depth"},
        {[&] { QDir(root + "/d").removeRecursively(), files(root + "/d", 49999); }, "(no error)"},
        {[&] { files(root + "/e", 0); }, "batch_limit"},
    };
    int step = 0;
    for (const auto& [change, expected] : steps) {
        change();
        EXPECT_EQ(ftptest::failureText([&] { FolderComparison::compare(root, "/", server, {}); }),
                  expected[0] == '(' ? QString(expected) : L(expected))
            << "step " << step++;
    }
}
