#include "CliTestRun.h"
#include "ProFTPDServer.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <sys/stat.h>

using ftptest::contentOf;

namespace {

QStringList withProfile(TemporaryFolder& local, const ServerProfile& profile, const QStringList& words)
{
    return QStringList{"--profile", local.write("profile.json", QJsonDocument(profile.toJson()).toJson()),
                       "--password-stdin"} +
           words;
}

} // namespace

TEST(TransferCommandsTest, WholeRequestsRunItemByItemAgainstProFTPD)
{
    ProFTPDServer server;
    TemporaryFolder local;
    local.write("up/one.txt", "one");
    local.write("up/tree/two.txt", "two");
    server.put("/down/three.txt", "three");
    server.put("/down/four.txt", "four");
    local.write("back/three.txt", "old three");
    const QByteArray password = ProFTPDServer::password().toUtf8() + '\n';
    const ServerProfile profile = server.profile(FTPProtocol::explicitTLS);

    QDir().mkpath(server.local("/incoming"));
    const CliTestRun uploaded = CliTestRun::run(
        withProfile(local, profile,
                    {"transfer", "upload", local.file("up/one.txt"), local.file("up/tree"), "/incoming"}),
        password);
    ASSERT_EQ(uploaded.exitStatus, 0) << uploaded.error.toStdString();
    EXPECT_EQ(uploaded.output, "Finished one.txt\nFinished tree\nFinished two.txt\n3 completed, 0 failed\n");
    EXPECT_EQ(contentOf(server.local("/incoming/tree/two.txt")), "two");

    // The existing destination asks on the terminal; "1" overwrites it.
    const CliTestRun downloaded = CliTestRun::run(
        withProfile(local, profile, {"transfer", "download", "/down/three.txt", "/down/four.txt", local.file("back")}),
        password + "1\n");
    ASSERT_EQ(downloaded.exitStatus, 0) << downloaded.error.toStdString();
    EXPECT_EQ(downloaded.output, "Finished three.txt\nFinished four.txt\n2 completed, 0 failed\n");
    EXPECT_TRUE(downloaded.error.contains("The destination already exists"));
    EXPECT_EQ(contentOf(local.file("back/three.txt")), "three");
    EXPECT_EQ(contentOf(local.file("back/four.txt")), "four");
}

TEST(TransferCommandsTest, AFailedItemDoesNotStopTheOthersAndFailsTheRunAgainstSSHD)
{
    if (!SSHServer::canCreateAccounts())
        GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
    SSHServer server;
    TemporaryFolder local;
    local.write("free.txt", "free");
    local.write("locked.txt", "mine");
    // A file the account may read but not replace.
    const QString locked = server.put("locked.txt", "theirs");
    ::chown(QFile::encodeName(locked).constData(), 0, 0);
    ::chmod(QFile::encodeName(locked).constData(), 0644);
    const CliTestRun run =
        CliTestRun::run(withProfile(local, server.profile(),
                                    {"transfer", "upload", local.file("locked.txt"), local.file("free.txt"),
                                     server.home(), "--on-conflict", "overwrite"}),
                        server.password().toUtf8() + '\n');
    EXPECT_EQ(run.exitStatus, 1) << run.error.toStdString();
    const QStringList lines = QString::fromUtf8(run.output).split('\n');
    ASSERT_EQ(lines.size(), 4) << run.output.toStdString();
    EXPECT_TRUE(lines[0].startsWith("locked.txt failed: ")) << lines[0].toStdString();
    EXPECT_EQ(lines.mid(1), (QStringList{"Finished free.txt", "1 completed, 1 failed", ""}));
    EXPECT_EQ(contentOf(locked), "theirs");
    EXPECT_EQ(contentOf(server.path("free.txt")), "free");
}
