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
        REQUIRE_ACCOUNTS();
        server = std::make_unique<SSHServer>();
        for (bool key : {false, true})
            local.write(profileFile(key), QJsonDocument(server->profile(key).toJson()).toJson());
    }

    static QString profileFile(bool withKey) { return withKey ? "key.json" : "password.json"; }
    QStringList login(bool useKey) const { return {"--profile", local.file(profileFile(useKey)), "--password-stdin"}; }
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

// Installed, the program lives in bin and the helper in libexec/dravik. Each command hands its
// arguments to the engine in their order and answers with its status; what the engine does with
// them is checked over every server in FTPServerTest.
TEST_F(SFTPCommands, AnInstalledProgramRunsEveryCommand)
{
    const InstalledTree installed;
    program = installed.file("bin/dravik-cli");
    withKey = true;
    const QString source = local.write("source.txt", "text");
    const QString file = remote("dir/sub/b.txt");
    const struct {
        QStringList words;
        int status;
        std::function<bool(const QByteArray& output)> done;
    } steps[] = {
        {{"mkdir", remote("dir")}, 0, [&](auto) { return QFileInfo(remote("dir")).isDir(); }},
        {{"mkdir", remote("empty")}, 0, {}},
        {{"rmdir", remote("empty")}, 0, [&](auto) { return !QFile::exists(remote("empty")); }},
        {{"ensure-dir", remote("dir")}, 0, {}},
        {{"ensure-dir", remote("dir/sub")}, 0, [&](auto) { return QFileInfo(remote("dir/sub")).isDir(); }},
        {{"put", source, remote("dir/a #1.txt")}, 0, [&](auto) { return contentOf(remote("dir/a #1.txt")) == "text"; }},
        {{"put", source, remote("dir/a #1.txt")}, 1, {}},
        {{"put", source, remote("dir/a #1.txt"), "--overwrite"}, 0, {}},
        // Folders come first; SFTP servers give them a size too.
        {{"list", "--json", remote("dir")},
         0,
         [](const QByteArray& output) {
             return output.startsWith("{\"isDirectory\":true,") &&
                    output.endsWith(",\"name\":\"a #1.txt\",\"size\":4}\n");
         }},
        {{"mv", remote("dir/a #1.txt"), file}, 0, [&](auto) { return QFile::exists(file); }},
        {{"chmod", "600", file}, 0, [&](auto) { return permissionsOf(file) == 0600u; }},
        {{"get", file, local.file("copy.txt")}, 0, [&](auto) { return contentOf(local.file("copy.txt")) == "text"; }},
        {{"get", file, local.file("copy.txt")}, 1, {}},
        {{"rm", file}, 0, [&](auto) { return !QFile::exists(file); }},
        {{"rmdir", remote("dir")}, 1, {}},
        {{"rm-tree", remote("dir")}, 0, [&](auto) { return !QFile::exists(remote("dir")); }},
    };
    for (const auto& step : steps) {
        const CliTestRun run = expectStatus(step.words, step.status);
        EXPECT_TRUE(!step.done || step.done(run.output)) << step.words.join(' ').toStdString();
    }
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
