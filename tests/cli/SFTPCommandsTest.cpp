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
        sshd = std::make_unique<SSHServer>();
        profileFile = local.write("profile.json", QJsonDocument(server().profile(GetParam()).toJson()).toJson());
        secret = (GetParam() ? server().keyPassphrase() : server().password()).toUtf8();
    }

    CliTestRun cli(const QStringList& words) const
    {
        return CliTestRun::run(QStringList{"--profile", profileFile, "--password-stdin"} + words, secret + '\n');
    }
    void expectSuccess(const QStringList& words) const
    {
        const CliTestRun run = cli(words);
        EXPECT_EQ(run.exitStatus, 0) << words.join(' ').toStdString() << ": " << run.error.toStdString();
    }
    const SSHServer& server() const { return *sshd; }
    QString remote(const QString& name) const { return server().home() + QLatin1Char('/') + name; }

    std::unique_ptr<SSHServer> sshd;
    TemporaryFolder local;
    QString profileFile;
    QByteArray secret;
};

} // namespace

TEST_P(SFTPCommands, EveryCommandWorksOnTheServer)
{
    const QByteArray bytes = QByteArray("line of text\n").repeated(5000);
    const QString source = local.write("source.txt", bytes);

    expectSuccess({"mkdir", remote("my folder")});
    expectSuccess({"ensure-dir", remote("my folder")});
    expectSuccess({"ensure-dir", remote("my folder/sub")});
    expectSuccess({"put", source, remote("my folder/a #1.txt")});
    EXPECT_EQ(contentOf(remote("my folder/a #1.txt")), bytes);
    EXPECT_EQ(cli({"put", source, remote("my folder/a #1.txt")}).exitStatus, 1);
    expectSuccess({"put", source, remote("my folder/a #1.txt"), "--overwrite"});

    const CliTestRun listing = cli({"list", remote("my folder")});
    EXPECT_EQ(listing.exitStatus, 0) << listing.error.toStdString();
    const QList<QByteArray> lines = listing.output.split('\n');
    ASSERT_EQ(lines.size(), 3);
    // SFTP servers give folders a size too.
    EXPECT_TRUE(lines[0].startsWith("{\"isDirectory\":true,") && lines[0].contains(",\"name\":\"sub\""))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",\"name\":\"a #1.txt\",\"size\":65000}")) << lines[1].toStdString();

    expectSuccess({"mv", remote("my folder/a #1.txt"), remote("my folder/sub/b.txt")});
    expectSuccess({"chmod", "600", remote("my folder/sub/b.txt")});
    struct stat attributes {};
    ::stat(QFile::encodeName(remote("my folder/sub/b.txt")).constData(), &attributes);
    EXPECT_EQ(attributes.st_mode & 0777, 0600u);

    expectSuccess({"get", remote("my folder/sub/b.txt"), local.file("copy.txt")});
    EXPECT_EQ(contentOf(local.file("copy.txt")), bytes);
    EXPECT_EQ(cli({"get", remote("my folder/sub/b.txt"), local.file("copy.txt")}).exitStatus, 1);

    expectSuccess({"rm", remote("my folder/sub/b.txt")});
    EXPECT_FALSE(QFile::exists(remote("my folder/sub/b.txt")));
    expectSuccess({"mkdir", remote("empty")});
    expectSuccess({"rmdir", remote("empty")});
    EXPECT_FALSE(QFile::exists(remote("empty")));
    expectSuccess({"rm-tree", remote("my folder")});
    EXPECT_FALSE(QFile::exists(remote("my folder")));
}

TEST_P(SFTPCommands, InterruptTerminatesSSHAndKeepsTheCheckpointedPartialFile)
{
    const QByteArray bytes = QByteArray("0123456789").repeated(3'000'000);
    QFile file(remote("big.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    server().giveToAccount(remote("big.bin"));
    const QString destination = local.file("big.bin");
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString partial = DownloadCheckpoint::file(destination, QUuid(id));

    QProcess process;
    process.start(
        QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli"),
        {"--profile", profileFile, "--password-stdin", "get", remote("big.bin"), destination, "--checkpoint", id});
    ASSERT_TRUE(process.waitForStarted());
    process.write(secret + '\n');
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

    const CliTestRun resumed = cli({"get", remote("big.bin"), destination, "--checkpoint", id, "--resume"});
    EXPECT_EQ(resumed.exitStatus, 0) << resumed.error.toStdString();
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"big.bin", "profile.json"}));
}

INSTANTIATE_TEST_SUITE_P(Logins, SFTPCommands, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& login) {
                             return login.param ? std::string("key") : std::string("password");
                         });
