#include "BuildInfo.h"
#include "CliTestRun.h"
#include "ServerProfile.h"
#include "TemporaryFolder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <unistd.h>

// What the listing says is printed as JSON lines (their keys and the display order are checked on
// a server in FTPCommandsTest); what it does not is an error in the language asked for.
TEST(CliParseListing, ReadsStandardInputAndFailsOnGarbageInTheLanguageAskedFor)
{
    const CliTestRun run =
        CliTestRun::run({"parse-listing"}, "-rw-r--r-- 1 u g 7 Jan 31 12:00 caf\xc3\xa9\xff.txt\r\n");
    EXPECT_EQ(run.exitStatus, 0) << run.error.toStdString();
    EXPECT_EQ(run.output, QByteArray("{\"isDirectory\":false,\"name\":\"caf\xc3\xa9\xef\xbf\xbd.txt\",\"size\":7}\n"));

    const CliTestRun english = CliTestRun::run({"parse-listing"}, "garbage\nmore garbage\n");
    EXPECT_EQ(english.exitStatus, 1);
    EXPECT_TRUE(english.output.isEmpty());
    EXPECT_TRUE(english.error.contains('2')) << english.error.toStdString();
    const CliTestRun german = CliTestRun::run({"--lang", "de", "parse-listing"}, "garbage\nmore garbage\n");
    EXPECT_EQ(german.exitStatus, 1);
    EXPECT_NE(german.error, english.error);
}

TEST(CliValidateProfile, ReportsOkOrFailsForAnInvalidBrokenOrMissingProfile)
{
    TemporaryFolder folder;
    ServerProfile profile;
    profile.host = "ftp.example.org";
    profile.username = "alice";
    const QString good = folder.write("good.json", QJsonDocument(profile.toJson()).toJson());
    profile.host = "-bad";
    const CliTestRun ok = CliTestRun::run({"validate-profile", good});
    EXPECT_EQ(ok.exitStatus, 0);
    EXPECT_EQ(ok.output, QByteArray("ok\n"));
    for (const QString& file : {folder.write("bad.json", QJsonDocument(profile.toJson()).toJson()),
                                folder.write("broken.json", "{\"id\": 1}"), folder.file("missing.json")}) {
        const CliTestRun invalid = CliTestRun::run({"validate-profile", file});
        EXPECT_EQ(invalid.exitStatus, 1) << file.toStdString();
        EXPECT_FALSE(invalid.error.isEmpty()) << file.toStdString();
    }
}

TEST(CliUsage, UsageErrorsExitWithStatusTwoAndHelpIsNoError)
{
    const QStringList cases[] = {{},
                                 {"no-such-command"},
                                 {"--lang"},
                                 {"--bogus", "parse-listing"},
                                 {"validate-profile"},
                                 {"list", "/"},
                                 {"profile-names", "extra"}};
    for (const QStringList& arguments : cases)
        EXPECT_EQ(CliTestRun::run(arguments).exitStatus, 2) << arguments.join(' ').toStdString();
    const struct {
        const char* option;
        QByteArray start;
    } answers[] = {{"--help", "Usage: dravik-cli "},
                   {"--version", "dravik-cli " + QByteArray(BuildInfo::version) + '\n'}};
    for (const auto& answer : answers) {
        const CliTestRun run = CliTestRun::run({"list", answer.option});
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_TRUE(run.output.startsWith(answer.start)) << run.output.toStdString();
        EXPECT_TRUE(run.error.isEmpty());
    }
}

// A name can carry escape sequences that would retitle or recolour the terminal.
TEST(CliOutput, ControlCharactersInNamesNeverReachTheTerminal)
{
    const CliTestRun listed = CliTestRun::run({"parse-listing"}, "type=file;size=1; a\x1b]0;title\x07"
                                                                 "b\r\ntype=file;size=2; c\x7f\xc2\x9b[31md\r\n");
    ASSERT_EQ(listed.exitStatus, 0) << listed.error.toStdString();
    EXPECT_EQ(listed.output, QByteArray("{\"isDirectory\":false,\"name\":\"a\\u001b]0;title\\u0007b\",\"size\":1}\n"
                                        "{\"isDirectory\":false,\"name\":\"c\\u007f\\u009b[31md\",\"size\":2}\n"));
    const CliTestRun refused = CliTestRun::run({"remove-profile", "\x1b[31mred\x7f"});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.error, QByteArray("no saved profile is called \\x1B[31mred\\x7F\n"));
}

// As ssh-agent does: other processes of the same user cannot read a password from its memory.
TEST(CliOutput, TheProgramCannotBeInspectedByOtherProcesses)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "running the program as another user needs root";
    QProcess process;
    process.start(QStringLiteral("/usr/bin/setpriv"),
                  {"--reuid=nobody", "--regid=nogroup", "--clear-groups", CliTestRun::program, "parse-listing"});
    ASSERT_TRUE(process.waitForStarted());
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    QElapsedTimer timer;
    timer.start();
    // Waiting on its standard input, once setpriv has become the program.
    while (QFileInfo(QStringLiteral("/proc/%1/exe").arg(process.processId())).symLinkTarget() != CliTestRun::program &&
           timer.elapsed() < 10000)
        QThread::msleep(10);
    QThread::msleep(200);
    // The kernel gives the process files of a program that refused dumps to root.
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/environ").arg(process.processId())).ownerId(), 0u);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(10000));
}
