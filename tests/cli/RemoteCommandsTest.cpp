#include "CliTestRun.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

using namespace ftptest;

namespace {

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

TEST_F(RemoteCommands, TheProgressBarIsDrawnOnATerminalOnly)
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
