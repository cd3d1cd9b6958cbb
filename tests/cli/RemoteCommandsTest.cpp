#include "CliTestRun.h"
#include "DownloadCheckpoint.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
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

class RemoteCommands : public testing::Test {
protected:
    RemoteCommands()
    {
        profileFile = local.write("profile.json", QJsonDocument(server.profile(FTPProtocol::explicitTLS).toJson()).toJson());
    }

    CliTestRun cli(const QStringList& words) const
    {
        return CliTestRun::run(QStringList{"--profile", profileFile, "--password-stdin"} + words,
                               ProFTPDServer::password().toUtf8() + '\n');
    }

    void expectSuccess(const QStringList& words) const
    {
        const CliTestRun run = cli(words);
        EXPECT_EQ(run.exitStatus, 0) << words.join(' ').toStdString() << ": " << run.error.toStdString();
    }

    ProFTPDServer server;
    TemporaryFolder local;
    QString profileFile;
};

}

TEST_F(RemoteCommands, EveryCommandWorksOnTheServer)
{
    const QByteArray bytes = QByteArray("line of text\n").repeated(5000);
    const QString source = local.write("source.txt", bytes);

    expectSuccess({"mkdir", "/my folder"});
    expectSuccess({"ensure-dir", "/my folder"});
    expectSuccess({"ensure-dir", "/my folder/sub"});
    expectSuccess({"put", source, "/my folder/a #1.txt"});
    EXPECT_EQ(contentOf(server.local("/my folder/a #1.txt")), bytes);
    EXPECT_EQ(cli({"put", source, "/my folder/a #1.txt"}).exitStatus, 1);
    expectSuccess({"put", source, "/my folder/a #1.txt", "--overwrite"});

    const CliTestRun listing = cli({"list", "/my folder"});
    EXPECT_EQ(listing.exitStatus, 0) << listing.error.toStdString();
    const QList<QByteArray> lines = listing.output.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("{\"isDirectory\":true,\"modified\":")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(",\"name\":\"sub\"}"));
    EXPECT_TRUE(lines[1].endsWith(",\"name\":\"a #1.txt\",\"size\":65000}")) << lines[1].toStdString();

    expectSuccess({"mv", "/my folder/a #1.txt", "/my folder/sub/b.txt"});
    expectSuccess({"chmod", "600", "/my folder/sub/b.txt"});
    struct stat attributes {};
    ::stat(QFile::encodeName(server.local("/my folder/sub/b.txt")).constData(), &attributes);
    EXPECT_EQ(attributes.st_mode & 0777, 0600u);

    expectSuccess({"get", "/my folder/sub/b.txt", local.file("copy.txt")});
    EXPECT_EQ(contentOf(local.file("copy.txt")), bytes);
    EXPECT_EQ(cli({"get", "/my folder/sub/b.txt", local.file("copy.txt")}).exitStatus, 1);
    expectSuccess({"get", "/my folder/sub/b.txt", local.file("copy.txt"), "--overwrite"});

    server.put("/my folder/sub/c.txt", "c");
    expectSuccess({"rm", "/my folder/sub/c.txt"});
    EXPECT_FALSE(QFile::exists(server.local("/my folder/sub/c.txt")));
    expectSuccess({"mkdir", "/empty"});
    expectSuccess({"rmdir", "/empty"});
    EXPECT_FALSE(QFile::exists(server.local("/empty")));
    expectSuccess({"rm-tree", "/my folder"});
    EXPECT_FALSE(QFile::exists(server.local("/my folder")));
}

TEST_F(RemoteCommands, FailuresPrintTheSentenceAndUsageErrorsExitWithTwo)
{
    const CliTestRun wrong = CliTestRun::run({"--profile", profileFile, "--password-stdin", "list", "/"}, "wrong\n");
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_TRUE(wrong.error.startsWith(L("auth_failed").toUtf8())) << wrong.error.toStdString();
    EXPECT_TRUE(wrong.output.isEmpty());

    const CliTestRun invalid = cli({"chmod", "0755", "/x"});
    EXPECT_EQ(invalid.exitStatus, 1);
    EXPECT_EQ(invalid.error, L("invalid_permissions").toUtf8() + '\n');

    const QStringList usage[] = {{"get", "/only-one"}, {"put", "a", "b", "--bogus"}, {"get", "/a", "b", "--resume"},
                                 {"get", "/a", "b", "--checkpoint", "not-a-uuid"}, {"mv", "/a"}};
    for (const QStringList& words : usage)
        EXPECT_EQ(cli(words).exitStatus, 2) << words.join(' ').toStdString();
    EXPECT_EQ(CliTestRun::run({"list", "/"}).exitStatus, 2);
}

TEST_F(RemoteCommands, InterruptTerminatesCurlAndKeepsTheCheckpointedPartialFile)
{
    const QByteArray bytes = QByteArray("0123456789").repeated(100000);
    server.put("/slow/big.bin", bytes);
    const QString destination = local.file("big.bin");
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString partial = DownloadCheckpoint::file(destination, QUuid(id));

    QProcess process;
    process.start(QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli"),
                  {"--profile", profileFile, "--password-stdin", "get", "/slow/big.bin", destination, "--checkpoint", id});
    ASSERT_TRUE(process.waitForStarted());
    process.write(ProFTPDServer::password().toUtf8());
    process.waitForBytesWritten();
    process.closeWriteChannel();
    QElapsedTimer timer;
    timer.start();
    while (QFileInfo(partial).size() < 10000 && timer.elapsed() < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
    const qint64 kept = QFileInfo(partial).size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, bytes.size());
    EXPECT_TRUE(QFile::exists(DownloadCheckpoint::metadata(partial)));
    EXPECT_FALSE(QFile::exists(destination));

    const CliTestRun resumed = cli({"get", "/slow/big.bin", destination, "--checkpoint", id, "--resume"});
    EXPECT_EQ(resumed.exitStatus, 0) << resumed.error.toStdString();
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"big.bin", "profile.json"}));
}
