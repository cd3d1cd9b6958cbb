#include "CliTestRun.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace ftptest;

namespace {

// dravik-cli on an explicit-TLS profile against a ProFTPD of the test's own.
class FTPCommands : public testing::Test {
protected:
    CliTestRun cli(const QStringList& words, const QByteArray& answers = {},
                   const QString& password = ProFTPDServer::password()) const
    {
        return CliTestRun::run(QStringList{"--profile", profileFile, "--password-stdin"} + words,
                               password.toUtf8() + '\n' + answers);
    }

    ProFTPDServer server;
    TemporaryFolder local;
    const QString profileFile =
        local.write("profile.json", QJsonDocument(server.profile(FTPProtocol::explicitTLS).toJson()).toJson());
};

// 2023-11-14T22:13:20Z.
void setModified(const QString& path)
{
    const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

TEST_F(FTPCommands, FailuresPrintTheSentenceAndUsageErrorsExitWithTwo)
{
    const CliTestRun wrong = cli({"list", "/"}, {}, "wrong");
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_TRUE(wrong.error.startsWith(L("auth_failed").toUtf8())) << wrong.error.toStdString();
    EXPECT_TRUE(wrong.output.isEmpty());

    const CliTestRun invalid = cli({"chmod", "0755", "/x"});
    EXPECT_EQ(invalid.exitStatus, 1);
    EXPECT_EQ(invalid.error, L("invalid_permissions").toUtf8() + '\n');

    for (const QStringList& words : QList<QStringList>{{"get", "/only-one"},
                                                       {"put", "a", "b", "--bogus"},
                                                       {"get", "/a", "b", "--resume"},
                                                       {"get", "/a", "b", "--checkpoint", "not-a-uuid"},
                                                       {"mv", "/a"}}) {
        const CliTestRun run = cli(words);
        EXPECT_EQ(run.exitStatus, 2) << words.join(' ').toStdString() << ": " << run.error.toStdString();
    }
}

TEST_F(FTPCommands, TheProgressBarIsDrawnOnATerminalOnly)
{
    server.put("/file.bin", QByteArray(300000, 'p'));
    const CliTestRun piped = cli({"get", "/file.bin", local.file("piped.bin")});
    EXPECT_EQ(piped.exitStatus, 0);
    EXPECT_TRUE(piped.error.isEmpty()) << piped.error.toStdString();

    // script(1) gives the command a terminal and copies what it draws to our standard output.
    const QString command = QStringLiteral("'%1' --profile '%2' --password-stdin get /file.bin '%3' < '%4'")
                                .arg(CliTestRun::program, profileFile, local.file("terminal.bin"),
                                     local.write("password", ProFTPDServer::password().toUtf8()));
    QProcess script;
    script.start(QStringLiteral("script"), {"--quiet", "--return", "--command", command, "/dev/null"});
    ASSERT_TRUE(script.waitForFinished(60000));
    EXPECT_EQ(script.exitCode(), 0);
    const QByteArray drawn = script.readAllStandardOutput();
    EXPECT_TRUE(drawn.contains("\r######################################## 100%")) << drawn.toStdString();
    EXPECT_EQ(contentOf(local.file("terminal.bin")), QByteArray(300000, 'p'));
}

TEST_F(FTPCommands, CompareAndListPrintEntriesWithTheSameKeysAndListWritesLinesForPeopleWithoutJson)
{
    setModified(local.write("tree/both.txt", "12345"));
    setModified(local.write("tree/mine.txt", "m"));
    setModified(server.put("/tree/theirs/x", "xyz"));
    setModified(server.put("/tree/both.txt", "123"));
    setModified(server.local("/tree/theirs"));

    const CliTestRun run = cli({"--lang", "de", "compare", local.file("tree"), "/tree"});
    EXPECT_EQ(run.exitStatus, 0) << run.error.toStdString();
    const QByteArray date = "\"modified\":\"2023-11-14T22:13:20Z\"";
    EXPECT_EQ(run.output,
              "{\"local\":{\"isDirectory\":false," + date +
                  ",\"name\":\"both.txt\",\"size\":5},\"path\":\"both.txt\",\"remote\":{\"isDirectory\":false," + date +
                  ",\"name\":\"both.txt\",\"size\":3},\"status\":\"different\"}\n"
                  "{\"local\":{\"isDirectory\":false," +
                  date +
                  ",\"name\":\"mine.txt\",\"size\":1},\"path\":\"mine.txt\",\"status\":\"local_only\"}\n"
                  "{\"path\":\"theirs\",\"remote\":{\"isDirectory\":true," +
                  date +
                  ",\"name\":\"theirs\"},\"status\":\"remote_only\"}\n"
                  "{\"path\":\"theirs/x\",\"remote\":{\"isDirectory\":false," +
                  date + ",\"name\":\"x\",\"size\":3},\"status\":\"remote_only\"}\n");

    EXPECT_EQ(cli({"list", "--json", "/tree"}).output, "{\"isDirectory\":true," + date +
                                                           ",\"name\":\"theirs\"}\n{\"isDirectory\":false," + date +
                                                           ",\"name\":\"both.txt\",\"size\":3}\n");
    qputenv("TZ", "UTC");
    EXPECT_EQ(cli({"list", "/tree"}).output, "2023-11-14 22:13                theirs/\n"
                                             "2023-11-14 22:13             3  both.txt\n");
}

TEST_F(FTPCommands, TransferRequestsRunItemByItem)
{
    local.write("up/one.txt", "one");
    local.write("up/tree/two.txt", "two");
    server.put("/down/three.txt", "three");
    server.put("/down/four.txt", "four");
    local.write("back/three.txt", "old three");

    QDir().mkpath(server.local("/incoming"));
    const CliTestRun uploaded =
        cli({"transfer", "upload", local.file("up/one.txt"), local.file("up/tree"), "/incoming"});
    ASSERT_EQ(uploaded.exitStatus, 0) << uploaded.error.toStdString();
    EXPECT_EQ(uploaded.output, "Finished one.txt\nFinished tree\nFinished two.txt\n3 completed, 0 failed\n");
    EXPECT_EQ(contentOf(server.local("/incoming/tree/two.txt")), "two");

    // The existing destination asks on the terminal; "1" overwrites it.
    const CliTestRun downloaded =
        cli({"transfer", "download", "/down/three.txt", "/down/four.txt", local.file("back")}, "1\n");
    ASSERT_EQ(downloaded.exitStatus, 0) << downloaded.error.toStdString();
    EXPECT_EQ(downloaded.output, "Finished three.txt\nFinished four.txt\n2 completed, 0 failed\n");
    EXPECT_TRUE(downloaded.error.contains("The destination already exists"));
    EXPECT_EQ(contentOf(local.file("back/three.txt")), "three");
    EXPECT_EQ(contentOf(local.file("back/four.txt")), "four");
}
