#include "FolderComparison.h"
#include "AskRelayLocation.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using ftptest::failureText;

namespace {

const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);

void setModified(const QString& path, const QDateTime& time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    const timespec times[2] = {{ms / 1000, (ms % 1000) * 1000000}, {ms / 1000, (ms % 1000) * 1000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// `count` empty files named f00000, f00001, ... in `folder`, quickly.
void emptyFiles(const QString& folder, int count)
{
    QDir().mkpath(folder);
    for (int n = 0; n < count; ++n)
        ::close(::open(QFile::encodeName(folder + QStringLiteral("/f%1").arg(n, 5, 10, QLatin1Char('0'))).constData(),
                       O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
}

QString chain(int levels)
{
    return QStringLiteral("/d").repeated(levels);
}

QStringList rowsOf(const QList<ComparisonRow>& rows)
{
    QStringList out;
    for (const ComparisonRow& row : rows)
        out.append(row.path + QLatin1Char(' ') + row.statusKey());
    return out;
}

// Lays out the same pair of trees for any server: `remote` is where the server keeps what it
// shows at `remoteRoot`; `handOver` gives it to the server's account.
QStringList compareTrees(const QString& remote, const QString& remoteRoot, const FTPClient& client,
                         const std::function<void()>& handOver = {})
{
    TemporaryFolder local;
    const auto mine = [&](const QString& name, const QByteArray& bytes, qint64 lateBy = 0) {
        setModified(local.write("tree/" + name, bytes), base.addMSecs(lateBy));
    };
    const auto theirs = [&](const QString& name, const QByteArray& bytes) {
        QFile file(remote + "/" + name);
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        setModified(file.fileName(), base);
    };
    mine("A.txt", "upper");
    theirs("a.txt", "lower");
    mine("a/b", "b");
    QDir().mkpath(remote + "/a");
    mine("kind", "a file here, a folder there");
    theirs("kind/inner", "x");
    mine(QStringLiteral("\uFF21"), "full-width A");
    theirs(QStringLiteral("\U0001F600"), "beyond the Basic Multilingual Plane");
    mine("same.txt", "12345", 1900);
    theirs("same.txt", "abcde");
    mine("late.txt", "12345", 2000);
    theirs("late.txt", "abcde");
    mine("size.txt", "12345");
    theirs("size.txt", "123456");
    QFile::link(local.file("tree/A.txt"), local.file("tree/link"));
    theirs("link", "a file where this computer has a link");
    ::mkfifo(QFile::encodeName(local.file("tree/fifo")).constData(), 0600);
    theirs("fifo", "f");
    if (handOver)
        handOver();
    return rowsOf(FolderComparison::compare(local.file("tree"), remoteRoot, client, {}));
}

} // namespace

TEST(ComparisonRow, StatusFollowsPresenceKindSizeAndTwoSecondsOfDate)
{
    const auto file = [](std::optional<qint64> size, std::optional<QDateTime> date) {
        return FileEntry{"f", false, size, date};
    };
    const FileEntry folder{"f", true, std::nullopt, base};
    struct Case {
        std::optional<FileEntry> local, remote;
        const char* key;
    };
    const Case cases[] = {
        {std::nullopt, file(1, base), "remote_only"},
        {file(1, base), std::nullopt, "local_only"},
        {file(1, base), folder, "different"},
        {folder, file(std::nullopt, std::nullopt), "different"},
        {folder, folder, "folder"},
        {file(std::nullopt, base), file(1, base), "unknown"},
        {file(1, std::nullopt), file(std::nullopt, std::nullopt), "unknown"},
        {file(1, base), file(2, base), "different"},
        {file(1, std::nullopt), file(2, base), "different"},
        {file(1, base), file(1, base.addMSecs(1900)), "same_metadata"},
        {file(1, base.addMSecs(1999)), file(1, base), "same_metadata"},
        {file(1, base), file(1, base.addMSecs(2000)), "different"},
        {file(1, base.addMSecs(2000)), file(1, base), "different"},
        {file(1, std::nullopt), file(1, base), "compare_size_only"},
        {file(1, base), file(1, std::nullopt), "compare_size_only"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComparisonRow({"f", c.local, c.remote}).statusKey(), c.key) << c.key;
}

TEST(FolderComparison, PairsRealTreesOnProFTPDAndSSHD)
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
    {
        ProFTPDServer server;
        const FTPClient client(server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password());
        EXPECT_EQ(compareTrees(server.local("/tree"), "/tree", client), expected);
    }
    if (!SSHServer::canCreateAccounts())
        GTEST_SKIP() << "logging in over SFTP needs a throwaway account, which only root can create";
    AskRelayLocation::setPath(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"));
    SSHServer server;
    const QString tree = server.path("tree");
    EXPECT_EQ(
        compareTrees(tree, tree, FTPClient(server.profile(), server.password()), [&] { server.giveToAccount(tree); }),
        expected);
}

TEST(FolderComparison, DepthAndEntryLimitsHoldOnBothSides)
{
    TemporaryFolder local;
    const QString root = local.file("root");
    QDir().mkpath(root);
    // A server whose folder "/d" ... holds one more "d" down to `levels`, or `count` files at "/".
    int levels = 0;
    int count = 0;
    const FolderComparison::ListFolder server = [&](const QString& path) {
        QList<FileEntry> entries;
        if (path.count(QLatin1Char('d')) < levels)
            entries.append(FileEntry{"d", true, std::nullopt, std::nullopt});
        for (int n = 0; path == "/" && n < count; ++n)
            entries.append(FileEntry{QString::number(n), false, 0, std::nullopt});
        return entries;
    };
    struct Step {
        const char* name;
        std::function<void()> change;
        const char* expected;
    };
    const Step steps[] = {
        {"remote depth 99", [&] { levels = 99; }, "(no error)"},
        {"remote depth 100", [&] { levels = 100; }, "folder_depth"},
        {"remote 50,000",
         [&] {
             levels = 0;
             count = 50000;
         },
         "(no error)"},
        {"remote 50,001", [&] { count = 50001; }, "batch_limit"},
        {"local depth 99",
         [&] {
             count = 0;
             QDir().mkpath(root + chain(99));
         },
         "(no error)"},
        {"local depth 100", [&] { QDir().mkpath(root + chain(100)); }, "folder_depth"},
        {"local 50,000",
         [&] {
             QDir(root + "/d").removeRecursively();
             emptyFiles(root + "/d", 49999);
         },
         "(no error)"},
        {"local 50,001", [&] { emptyFiles(root, 1); }, "batch_limit"},
    };
    for (const Step& step : steps) {
        step.change();
        const QString expected = QString::fromLatin1(step.expected);
        EXPECT_EQ(failureText([&] { FolderComparison::compare(root, "/", server, {}); }),
                  expected.startsWith('(') ? expected : L(step.expected))
            << step.name;
    }
}
