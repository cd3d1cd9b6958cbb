#include "CliTestRun.h"
#include "DownloadCheckpoint.h"
#include "SSHServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// dravik-cli on SFTP profiles, against a real sshd, with password and with key login; the
// askpass helper is found beside dravik-cli.
class SFTPCommands : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (!SSHServer::canCreateAccounts())
            GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
        server = std::make_unique<SSHServer>();
        profile = {"--profile",
                   local.write("profile.json", QJsonDocument(server->profile(GetParam()).toJson()).toJson()),
                   "--password-stdin"};
        secret = server->secret(GetParam()).toUtf8() + '\n';
    }

    CliTestRun cli(const QStringList& words) const { return CliTestRun::run(profile + words, secret); }
    CliTestRun expectStatus(const QStringList& words, int status = 0) const
    {
        const CliTestRun run = cli(words);
        EXPECT_EQ(run.exitStatus, status) << words.join(' ').toStdString() << ": " << run.error.toStdString();
        return run;
    }
    QString remote(const QString& name) const { return server->path(name); }

    std::unique_ptr<SSHServer> server;
    TemporaryFolder local;
    QStringList profile;
    QByteArray secret;
};

} // namespace

TEST_P(SFTPCommands, EveryCommandWorksOnTheServer)
{
    const QByteArray bytes = QByteArray("line of text\n").repeated(5000);
    const QString source = local.write("source.txt", bytes);

    expectStatus({"mkdir", remote("my folder")});
    expectStatus({"ensure-dir", remote("my folder")});
    expectStatus({"ensure-dir", remote("my folder/sub")});
    expectStatus({"put", source, remote("my folder/a #1.txt")});
    EXPECT_EQ(contentOf(remote("my folder/a #1.txt")), bytes);
    expectStatus({"put", source, remote("my folder/a #1.txt")}, 1);
    expectStatus({"put", source, remote("my folder/a #1.txt"), "--overwrite"});

    const QList<QByteArray> lines = expectStatus({"list", remote("my folder")}).output.split('\n');
    ASSERT_EQ(lines.size(), 3);
    // SFTP servers give folders a size too.
    EXPECT_TRUE(lines[0].startsWith("{\"isDirectory\":true,") && lines[0].contains(",\"name\":\"sub\""))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",\"name\":\"a #1.txt\",\"size\":65000}")) << lines[1].toStdString();

    expectStatus({"mv", remote("my folder/a #1.txt"), remote("my folder/sub/b.txt")});
    expectStatus({"chmod", "600", remote("my folder/sub/b.txt")});
    struct stat attributes {};
    ::stat(QFile::encodeName(remote("my folder/sub/b.txt")).constData(), &attributes);
    EXPECT_EQ(attributes.st_mode & 0777, 0600u);

    expectStatus({"get", remote("my folder/sub/b.txt"), local.file("copy.txt")});
    EXPECT_EQ(contentOf(local.file("copy.txt")), bytes);
    expectStatus({"get", remote("my folder/sub/b.txt"), local.file("copy.txt")}, 1);

    expectStatus({"rm", remote("my folder/sub/b.txt")});
    EXPECT_FALSE(QFile::exists(remote("my folder/sub/b.txt")));
    expectStatus({"mkdir", remote("empty")});
    expectStatus({"rmdir", remote("empty")});
    EXPECT_FALSE(QFile::exists(remote("empty")));
    expectStatus({"rm-tree", remote("my folder")});
    EXPECT_FALSE(QFile::exists(remote("my folder")));
}

TEST_P(SFTPCommands, InterruptTerminatesSSHAndKeepsTheCheckpointedPartialFile)
{
    const QByteArray bytes = QByteArray("0123456789").repeated(3'000'000);
    const QString big = server->put("big.bin", bytes);
    const QString destination = local.file("big.bin");
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString partial = DownloadCheckpoint::file(destination, QUuid(id));

    QProcess process;
    process.start(QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli"),
                  profile + QStringList{"get", big, destination, "--checkpoint", id});
    ASSERT_TRUE(process.waitForStarted());
    process.write(secret);
    process.waitForBytesWritten();
    process.closeWriteChannel();
    QElapsedTimer timer;
    timer.start();
    while (QFileInfo(partial).size() < 100'000 && timer.elapsed() < 30'000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10'000));
    EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
    const qint64 kept = QFileInfo(partial).size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, bytes.size());
    EXPECT_TRUE(QFile::exists(DownloadCheckpoint::metadata(partial)));

    expectStatus({"get", big, destination, "--checkpoint", id, "--resume"});
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"big.bin", "profile.json"}));
}

INSTANTIATE_TEST_SUITE_P(Logins, SFTPCommands, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& login) { return login.param ? "key" : "password"; });
