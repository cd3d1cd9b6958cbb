#include "CliTestRun.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ftptest;

namespace {

// dravik-cli on an explicit-TLS profile against a ProFTPD of the test's own.
class FTPCommands : public testing::Test {
protected:
    CliTestRun cli(const QStringList& words, const QByteArray& answers = {},
                   const QString& password = ProFTPDServer::password()) const
    {
        return CliTestRun::run(login + words, password.toUtf8() + '\n' + answers);
    }
    // As cli, and `act` once `ready` holds.
    CliTestRun cliUntil(const QStringList& words, const std::function<bool()>& ready,
                        const std::function<void(pid_t)>& act) const
    {
        return CliTestRun::runUntil(login + words, ProFTPDServer::password().toUtf8() + '\n', ready, act);
    }

    ProFTPDServer server;
    TemporaryFolder local;
    const QString profileFile =
        local.write("profile.json", QJsonDocument(server.profile(FTPProtocol::explicitTLS).toJson()).toJson());
    const QStringList login{"--profile", profileFile, "--password-stdin"};
};

} // namespace

TEST_F(FTPCommands, FailuresPrintTheSentenceAndUsageErrorsExitWithTwo)
{
    const CliTestRun wrong = cli({"list", "/"}, {}, "wrong");
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_TRUE(wrong.error.startsWith(L("auth_failed").toUtf8())) << wrong.error.toStdString();
    EXPECT_TRUE(wrong.output.isEmpty());

    for (const QStringList& words : QList<QStringList>{{"get", "/only-one"},
                                                       {"put", "a", "b", "--bogus"},
                                                       {"get", "/a", "b", "--resume"},
                                                       {"get", "/a", "b", "--checkpoint", "not-a-uuid"},
                                                       {"transfer", "download", "/a", "b", "--parallel", "9"},
                                                       {"transfer", "download", "/a", "b", "--parallel"}}) {
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

TEST_F(FTPCommands, TransferRequestsRunItemByItemAndFailOnlyWhenAnItemFails)
{
    local.write("up/one.txt", "one");
    local.write("up/tree/two.txt", "two");
    server.put("/down/three.txt", "three");
    server.put("/down/four.txt", "four");
    local.write("back/three.txt", "old three");
    server.put("/linked/sub/x.txt", "x");
    QFile::link("sub", server.local("/linked/to sub"));

    QDir().mkpath(server.local("/incoming"));
    const CliTestRun uploaded =
        cli({"transfer", "upload", local.file("up/one.txt"), local.file("up/tree"), "/incoming"});
    ASSERT_EQ(uploaded.exitStatus, 0) << uploaded.error.toStdString();
    EXPECT_EQ(uploaded.output, "Finished one.txt\nFinished tree\nFinished two.txt\n3 completed, 0 skipped, 0 failed\n");
    EXPECT_EQ(contentOf(server.local("/incoming/tree/two.txt")), "two");

    // Root writes into any folder, unless it gives up that power.
    const QString readOnly = local.file("read-only");
    QDir().mkpath(readOnly);
    ::chmod(QFile::encodeName(readOnly).constData(), 0555);
    const QStringList withoutPower = ::geteuid() == 0 ? QStringList{"/usr/bin/setpriv", "--inh-caps=-all",
                                                                    "--bounding-set=-all", CliTestRun::program}
                                                      : QStringList{CliTestRun::program};
    const struct {
        const char* what;
        QStringList words;
        // "1" answers a question with the first answer offered, overwrite.
        QByteArray answers;
        int exitStatus;
        QString output;
    } cases[] = {
        {"asked",
         {"/down/three.txt", "/down/four.txt", local.file("back")},
         "1\n",
         0,
         "Finished three.txt\nFinished four.txt\n2 completed, 0 skipped, 0 failed\n"},
        {"skipped",
         {"/down/three.txt", local.file("back"), "--on-conflict", "skip"},
         {},
         0,
         "0 completed, 1 skipped, 0 failed\n"},
        {"link to a folder inside",
         {"/linked", local.file("back")},
         {},
         0,
         "Skipped /linked/to sub: a link to a folder inside a downloaded folder is not followed.\n"
         "Finished linked\nFinished sub\nFinished x.txt\n3 completed, 1 skipped, 0 failed\n"},
        // Named as chosen, not by the hidden files that stand in for it until it is complete.
        {"failed",
         {"/down/four.txt", readOnly},
         {},
         1,
         "four.txt failed: Permission denied: " + readOnly + "/four.txt\n0 completed, 0 skipped, 1 failed\n"},
    };
    for (const auto& one : cases) {
        const CliTestRun run = CliTestRun::run(
            withoutPower.mid(1) + QStringList{"--profile", profileFile, "--password-stdin", "transfer", "download"} +
                one.words,
            ProFTPDServer::password().toUtf8() + '\n' + one.answers, withoutPower.first());
        EXPECT_EQ(run.exitStatus, one.exitStatus) << one.what << ": " << run.error.toStdString();
        EXPECT_EQ(QString::fromUtf8(run.output), one.output) << one.what;
    }
    EXPECT_EQ(contentOf(local.file("back/three.txt")), "three");
    EXPECT_EQ(contentOf(local.file("back/four.txt")), "four");
    EXPECT_EQ(QDir(readOnly).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

// The server goes away in the middle of an upload: the retry continues the file its first attempt
// left, whatever the answer to a conflict would have been, for that file is no conflict.
TEST_F(FTPCommands, ARetryContinuesWhatItsFirstAttemptLeftOnTheServer)
{
    const QByteArray bytes = randomBytes(640000);
    const QString source = local.write("big.bin", bytes);
    const QString uploaded = server.local("/slow/big.bin");
    for (const char* answer : {"skip", "rename"}) {
        QFile::remove(uploaded);
        const CliTestRun run = cliUntil(
            {"transfer", "upload", source, "/slow", "--on-conflict", answer},
            [&] { return QFileInfo(uploaded).size() >= 100000; }, [&](pid_t) { server.dropConnections(); });
        EXPECT_EQ(run.exitStatus, 0) << answer << ": " << run.error.toStdString();
        EXPECT_TRUE(run.error.contains(L("reconnecting", "1").toUtf8())) << answer << ": " << run.error.toStdString();
        EXPECT_EQ(run.output, "Finished big.bin\n1 completed, 0 skipped, 0 failed\n") << answer;
        EXPECT_EQ(QDir(server.local("/slow")).entryList(QDir::Files), QStringList{"big.bin"}) << answer;
        EXPECT_EQ(contentOf(uploaded), bytes) << answer;
    }
}

// An interrupted run leaves its partial file for the next run of the same request, which continues
// it while it still matches the remote file and otherwise starts over; either way nothing stays.
TEST_F(FTPCommands, ASecondRunContinuesTheDownloadAnInterruptedRunLeft)
{
    const QByteArray bytes = randomBytes(700000);
    const QByteArray changed = randomBytes(650000);
    const QStringList words{"transfer", "download", "/slow/big.bin", local.file("into")};
    QDir().mkpath(local.file("into"));
    const auto hidden = [&] {
        return QDir(local.file("into")).entryInfoList({".dravik-*"}, QDir::Files | QDir::Hidden, QDir::Name);
    };
    for (const bool remoteChanged : {false, true}) {
        server.put("/slow/big.bin", bytes);
        QFile::remove(local.file("into/big.bin"));
        const CliTestRun interrupted = cliUntil(
            words, [&] { return !hidden().isEmpty() && hidden().first().size() >= 50000; },
            [](pid_t pid) { ::kill(pid, SIGTERM); });
        ASSERT_EQ(interrupted.exitStatus, 130) << interrupted.error.toStdString();
        ASSERT_EQ(hidden().size(), 2);
        // Marked bytes show whether the second run kept what the first one received.
        QFile partial(hidden().first().filePath());
        ASSERT_TRUE(partial.open(QIODevice::ReadWrite));
        partial.write(QByteArray(100, 'X'));
        partial.close();
        if (remoteChanged)
            server.put("/slow/big.bin", changed);

        const CliTestRun again = cli(words);
        EXPECT_EQ(again.exitStatus, 0) << again.error.toStdString();
        EXPECT_EQ(contentOf(local.file("into/big.bin")),
                  remoteChanged ? changed : QByteArray(100, 'X') + bytes.mid(100))
            << remoteChanged;
        EXPECT_EQ(hidden().size(), 0) << remoteChanged;
    }
}

// Two at a time, each file whole, each line whole; and a second run of a download that one is
// writing fails at once without touching its files, which the first then completes.
TEST_F(FTPCommands, ParallelRunsOverlapAndOneDownloadHasOneWriter)
{
    const QStringList names{"a.bin", "b.bin", "c.bin", "d.bin"};
    QStringList words{"transfer", "download"};
    for (const QString& name : names) {
        server.put("/slow/" + name, randomBytes(300000));
        words << "/slow/" + name;
    }
    QDir().mkpath(local.file("into"));
    const auto partials = [&] {
        return QDir(local.file("into")).entryInfoList({".dravik-*.part"}, QDir::Files | QDir::Hidden).size();
    };
    qsizetype most = 0;
    const CliTestRun parallel = cliUntil(
        words + QStringList{local.file("into"), "--parallel", "2"},
        [&] {
            most = std::max(most, partials());
            return QFileInfo::exists(local.file("into/d.bin"));
        },
        [](pid_t) {});
    ASSERT_EQ(parallel.exitStatus, 0) << parallel.error.toStdString();
    // Each lane's curl run holds the partial files of all its files from its start.
    EXPECT_GE(most, 2);
    QStringList lines = QString::fromUtf8(parallel.output).split('\n');
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, QStringList({"", "4 completed, 0 skipped, 0 failed", "Finished a.bin", "Finished b.bin",
                                  "Finished c.bin", "Finished d.bin"}));
    for (const QString& name : names)
        EXPECT_EQ(contentOf(local.file("into/" + name)), randomBytes(300000)) << name.toStdString();

    server.put("/slow/big.bin", randomBytes(1500000));
    const QStringList one{"transfer", "download", "/slow/big.bin", local.file("again")};
    QDir().mkpath(local.file("again"));
    CliTestRun second;
    const CliTestRun first = cliUntil(
        one,
        [&] { return QDir(local.file("again")).entryList({".dravik-*.part"}, QDir::Files | QDir::Hidden).size() == 1; },
        [&](pid_t) { second = cli(one); });
    EXPECT_EQ(first.exitStatus, 0) << first.error.toStdString();
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(QString::fromUtf8(second.output), "big.bin failed: " + L("download_in_use", local.file("again/big.bin")) +
                                                    "\n0 completed, 0 skipped, 1 failed\n");
    EXPECT_EQ(contentOf(local.file("again/big.bin")), randomBytes(1500000));
    EXPECT_EQ(QDir(local.file("again")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"big.bin"});
}
