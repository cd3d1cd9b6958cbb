#include "CliTestRun.h"
#include "DownloadCheckpoint.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace ftptest;

namespace {

const QString program = QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli");

class RemoteCommands : public testing::Test {
protected:
    CliTestRun cli(const QStringList& words, const QString& password = ProFTPDServer::password()) const
    {
        return CliTestRun::run(QStringList{"--profile", profileFile, "--password-stdin"} + words,
                               password.toUtf8() + '\n');
    }

    // Runs each command in turn and expects it to exit with `status`.
    void expectStatus(int status, const QList<QStringList>& commands) const
    {
        for (const QStringList& words : commands) {
            const CliTestRun run = cli(words);
            EXPECT_EQ(run.exitStatus, status) << words.join(' ').toStdString() << ": " << run.error.toStdString();
        }
    }

    ProFTPDServer server;
    TemporaryFolder local;
    const QString profileFile =
        local.write("profile.json", QJsonDocument(server.profile(FTPProtocol::explicitTLS).toJson()).toJson());
};

} // namespace

TEST_F(RemoteCommands, EveryCommandWorksOnTheServer)
{
    const QByteArray bytes = QByteArray("line of text\n").repeated(5000);
    const QString source = local.write("source.txt", bytes);
    expectStatus(0, {{"mkdir", "/my folder"},
                     {"ensure-dir", "/my folder"},
                     {"ensure-dir", "/my folder/sub"},
                     {"put", source, "/my folder/a #1.txt"}});
    EXPECT_EQ(contentOf(server.local("/my folder/a #1.txt")), bytes);
    expectStatus(1, {{"put", source, "/my folder/a #1.txt"}});
    expectStatus(0, {{"put", source, "/my folder/a #1.txt", "--overwrite"}});

    const CliTestRun listing = cli({"list", "/my folder"});
    EXPECT_EQ(listing.exitStatus, 0) << listing.error.toStdString();
    const QList<QByteArray> lines = listing.output.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("{\"isDirectory\":true,\"modified\":")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(",\"name\":\"sub\"}"));
    EXPECT_TRUE(lines[1].endsWith(",\"name\":\"a #1.txt\",\"size\":65000}")) << lines[1].toStdString();

    const QString copy = local.file("copy.txt");
    expectStatus(0, {{"mv", "/my folder/a #1.txt", "/my folder/sub/b.txt"},
                     {"chmod", "600", "/my folder/sub/b.txt"},
                     {"get", "/my folder/sub/b.txt", copy}});
    EXPECT_EQ(permissionsOf(server.local("/my folder/sub/b.txt")), 0600u);
    EXPECT_EQ(contentOf(copy), bytes);
    expectStatus(1, {{"get", "/my folder/sub/b.txt", copy}});
    expectStatus(0, {{"get", "/my folder/sub/b.txt", copy, "--overwrite"}});

    server.put("/my folder/sub/c.txt", "c");
    expectStatus(0, {{"rm", "/my folder/sub/c.txt"}, {"mkdir", "/empty"}, {"rmdir", "/empty"}});
    EXPECT_FALSE(QFile::exists(server.local("/my folder/sub/c.txt")));
    EXPECT_FALSE(QFile::exists(server.local("/empty")));
    expectStatus(0, {{"rm-tree", "/my folder"}});
    EXPECT_FALSE(QFile::exists(server.local("/my folder")));
}

TEST_F(RemoteCommands, FailuresPrintTheSentenceAndUsageErrorsExitWithTwo)
{
    const CliTestRun wrong = cli({"list", "/"}, "wrong");
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_TRUE(wrong.error.startsWith(L("auth_failed").toUtf8())) << wrong.error.toStdString();
    EXPECT_TRUE(wrong.output.isEmpty());

    const CliTestRun invalid = cli({"chmod", "0755", "/x"});
    EXPECT_EQ(invalid.exitStatus, 1);
    EXPECT_EQ(invalid.error, L("invalid_permissions").toUtf8() + '\n');

    expectStatus(2, {{"get", "/only-one"},
                     {"put", "a", "b", "--bogus"},
                     {"get", "/a", "b", "--resume"},
                     {"get", "/a", "b", "--checkpoint", "not-a-uuid"},
                     {"mv", "/a"}});
}

TEST_F(RemoteCommands, InterruptTerminatesCurlAndKeepsTheCheckpointedPartialFile)
{
    const QByteArray bytes = QByteArray("0123456789").repeated(100000);
    server.put("/slow/big.bin", bytes);
    const QString destination = local.file("big.bin");
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString partial = DownloadCheckpoint::file(destination, QUuid(id));

    QProcess process;
    process.start(program, {"--profile", profileFile, "--password-stdin", "get", "/slow/big.bin", destination,
                            "--checkpoint", id});
    ASSERT_TRUE(process.waitForStarted());
    process.write(ProFTPDServer::password().toUtf8());
    // Nothing runs Qt's event loop here, so the password must be flushed before the wait below.
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

    expectStatus(0, {{"get", "/slow/big.bin", destination, "--checkpoint", id, "--resume"}});
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"big.bin", "profile.json"}));
}

TEST_F(RemoteCommands, TheProgressBarIsDrawnOnATerminalOnly)
{
    server.put("/file.bin", QByteArray(300000, 'p'));
    const CliTestRun piped = cli({"get", "/file.bin", local.file("piped.bin")});
    EXPECT_EQ(piped.exitStatus, 0);
    EXPECT_TRUE(piped.error.isEmpty()) << piped.error.toStdString();

    // script(1) gives the command a terminal and copies what it draws to our standard output.
    const QString command = QStringLiteral("'%1' --profile '%2' --password-stdin get /file.bin '%3' < '%4'")
                                .arg(program, profileFile, local.file("terminal.bin"),
                                     local.write("password", ProFTPDServer::password().toUtf8()));
    QProcess script;
    script.start(QStringLiteral("script"), {"--quiet", "--return", "--command", command, "/dev/null"});
    ASSERT_TRUE(script.waitForFinished(60000));
    EXPECT_EQ(script.exitCode(), 0);
    const QByteArray drawn = script.readAllStandardOutput();
    EXPECT_TRUE(drawn.contains("\r######################################## 100%")) << drawn.toStdString();
    EXPECT_EQ(contentOf(local.file("terminal.bin")), QByteArray(300000, 'p'));
}
