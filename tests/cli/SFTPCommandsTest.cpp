#include "CliTestRun.h"
#include "DownloadCheckpoint.h"
#include "InstalledTree.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ftptest;

namespace {

// dravik-cli on SFTP profiles against a real sshd: the engine's SFTP operations behind every
// command, with the askpass helper found wherever the program is.
class SFTPCommands : public testing::Test {
protected:
    void SetUp() override
    {
        if (!SSHServer::canCreateAccounts())
            GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
        server = std::make_unique<SSHServer>();
        for (bool key : {false, true})
            local.write(profileFile(key), QJsonDocument(server->profile(key).toJson()).toJson());
    }

    static QString profileFile(bool withKey) { return withKey ? "key.json" : "password.json"; }
    QStringList login(bool withKey) const
    {
        return {"--profile", local.file(profileFile(withKey)), "--password-stdin"};
    }
    CliTestRun expectStatus(const QStringList& words, int status = 0) const
    {
        const CliTestRun run =
            CliTestRun::run(login(withKey) + words, server->secret(withKey).toUtf8() + '\n', program);
        EXPECT_EQ(run.exitStatus, status) << words.join(' ').toStdString() << ": " << run.error.toStdString();
        return run;
    }
    QString remote(const QString& name) const { return server->path(name); }

    std::unique_ptr<SSHServer> server;
    TemporaryFolder local;
    bool withKey = false;
    QString program = CliTestRun::program;
};

} // namespace

// Installed, the program lives in bin and the helper in libexec/dravik.
TEST_F(SFTPCommands, AnInstalledProgramRunsEveryCommand)
{
    const InstalledTree installed;
    program = installed.file("bin/dravik-cli");
    withKey = true;

    const QByteArray bytes = QByteArray("line of text\n").repeated(5000);
    const QString source = local.write("source.txt", bytes);
    expectStatus({"mkdir", remote("my folder")});
    expectStatus({"ensure-dir", remote("my folder")});
    expectStatus({"ensure-dir", remote("my folder/sub")});
    expectStatus({"put", source, remote("my folder/a #1.txt")});
    EXPECT_EQ(contentOf(remote("my folder/a #1.txt")), bytes);
    expectStatus({"put", source, remote("my folder/a #1.txt")}, 1);
    expectStatus({"put", source, remote("my folder/a #1.txt"), "--overwrite"});

    const QList<QByteArray> lines = expectStatus({"list", "--json", remote("my folder")}).output.split('\n');
    ASSERT_EQ(lines.size(), 3);
    // SFTP servers give folders a size too.
    EXPECT_TRUE(lines[0].startsWith("{\"isDirectory\":true,") && lines[0].contains(",\"name\":\"sub\""))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",\"name\":\"a #1.txt\",\"size\":65000}")) << lines[1].toStdString();

    expectStatus({"mv", remote("my folder/a #1.txt"), remote("my folder/sub/b.txt")});
    expectStatus({"chmod", "600", remote("my folder/sub/b.txt")});
    EXPECT_EQ(permissionsOf(remote("my folder/sub/b.txt")), 0600u);

    expectStatus({"get", remote("my folder/sub/b.txt"), local.file("copy.txt")});
    EXPECT_EQ(contentOf(local.file("copy.txt")), bytes);
    expectStatus({"get", remote("my folder/sub/b.txt"), local.file("copy.txt")}, 1);

    expectStatus({"rm", remote("my folder/sub/b.txt")});
    EXPECT_FALSE(QFile::exists(remote("my folder/sub/b.txt")));
    expectStatus({"rm", remote("my folder/sub/b.txt")}, 1);
    expectStatus({"mkdir", remote("empty")});
    expectStatus({"mkdir", remote("empty")}, 1);
    expectStatus({"rmdir", remote("empty")});
    EXPECT_FALSE(QFile::exists(remote("empty")));
    // A recursive delete removes a link inside the tree, never what it points to.
    QFile::link(local.write("outside", "kept"), remote("my folder/sub/link"));
    expectStatus({"rm-tree", remote("my folder")});
    EXPECT_FALSE(QFile::exists(remote("my folder")));
    EXPECT_EQ(contentOf(local.file("outside")), QByteArray("kept"));
}

TEST_F(SFTPCommands, InterruptTerminatesSSHAndKeepsTheCheckpointedPartialFile)
{
    const QByteArray bytes = QByteArray("0123456789").repeated(3'000'000);
    const QString big = server->put("big.bin", bytes);
    const QString destination = local.file("big.bin");
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString partial = DownloadCheckpoint::file(destination, QUuid(id));

    const CliTestRun stopped = CliTestRun::runUntil(
        login(false) + QStringList{"get", big, destination, "--checkpoint", id}, server->password().toUtf8() + '\n',
        [&] { return QFileInfo(partial).size() >= 100'000; }, [](pid_t pid) { ::kill(pid, SIGINT); });
    EXPECT_EQ(stopped.exitStatus, 130) << stopped.error.toStdString();
    const qint64 kept = QFileInfo(partial).size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, bytes.size());
    EXPECT_TRUE(QFile::exists(DownloadCheckpoint::metadata(partial)));

    expectStatus({"get", big, destination, "--checkpoint", id, "--resume"});
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"big.bin", "key.json", "password.json"}));
}

TEST_F(SFTPCommands, AFailedItemOfATransferRequestDoesNotStopTheOthersAndFailsTheRun)
{
    local.write("free.txt", "free");
    local.write("locked.txt", "mine");
    // A file the account may read but not replace.
    const QString locked = server->put("locked.txt", "theirs");
    ::chown(QFile::encodeName(locked).constData(), 0, 0);
    ::chmod(QFile::encodeName(locked).constData(), 0644);
    const CliTestRun run = expectStatus({"transfer", "upload", local.file("locked.txt"), local.file("free.txt"),
                                         server->home(), "--on-conflict", "overwrite"},
                                        1);
    const QStringList lines = QString::fromUtf8(run.output).split('\n');
    ASSERT_EQ(lines.size(), 4) << run.output.toStdString();
    EXPECT_TRUE(lines[0].startsWith("locked.txt failed: ")) << lines[0].toStdString();
    EXPECT_EQ(lines.mid(1), (QStringList{"Finished free.txt", "1 completed, 0 skipped, 1 failed", ""}));
    EXPECT_EQ(contentOf(locked), "theirs");
    EXPECT_EQ(contentOf(remote("free.txt")), "free");
}
