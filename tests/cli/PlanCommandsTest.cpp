#include "CliTestRun.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QJsonDocument>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>

namespace {

class PlanCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_PRIVATE_KEYRING();
        keyring.emplace(); // and, with it, one case per process: the data folder is new
        server.put(QStringLiteral("/tree/a.txt"), QByteArray(10, 'a'));
        server.put(QStringLiteral("/tree/b.txt"), QByteArray(10, 'b'));
        server.put(QStringLiteral("/tree/sub/c.txt"), "c");
        local.write(QStringLiteral("tree/a.txt"), "aaaa");
        local.write(QStringLiteral("tree/b.txt"), QByteArray(20, 'b'));
    }

    QString profileFile() const
    {
        ServerProfile profile = server.profile(FTPProtocol::explicitTLS);
        profile.rememberPassword = true;
        return local.write(QStringLiteral("profile.json"), QJsonDocument(profile.toJson()).toJson());
    }

    std::optional<PrivateKeyring> keyring;
    ProFTPDServer server;
    TemporaryFolder local;
};

// The lines a plan printed, with the test's own folder cut from the local paths.
QString records(const CliTestRun& run, const QString& root)
{
    return QString::fromUtf8(run.output).remove(root);
}

TEST_F(PlanCommandsTest, ASavedProfilePlansADownloadAskingOnlyWhatEachConflictAdmitsAndATermLeavesNothing)
{
    ASSERT_EQ(
        CliTestRun::run({"save-profile", profileFile(), "--password-stdin"}, ProFTPDServer::password().toUtf8() + "\n")
            .exitStatus,
        0);
    // The folder over a folder: merge (1). The first file: resume (2) for every file after it,
    // but b.txt is longer than the server's, so the question comes back and gets skip (3).
    const CliTestRun run = CliTestRun::run(
        {"--saved", "ProFTPD on loopback", "plan", "download", "/tree", local.file(QStringLiteral("tree"))},
        "1\n2+\n3\n");
    ASSERT_EQ(run.exitStatus, 0) << run.error.toStdString();
    EXPECT_EQ(records(run, local.path()), R"(/tree/ -> /tree/  (Merge folders)
/tree/sub/ -> /tree/sub/
/tree/sub/c.txt -> /tree/sub/c.txt
/tree/a.txt -> /tree/a.txt  (Resume download)
)");
    const QString prompts = QString::fromUtf8(run.error);
    EXPECT_EQ(prompts.count(QStringLiteral("The destination already exists")), 3);
    EXPECT_TRUE(prompts.endsWith(QStringLiteral("1) Overwrite\n  2) Keep both (rename)\n  3) Skip\n  +) Apply to all "
                                                "conflicts of this kind\n[1-3][+] ")))
        << prompts.toStdString();
    const QString folderQuestion = prompts.section(QStringLiteral("The destination already exists"), 1, 1);
    EXPECT_TRUE(folderQuestion.contains(QStringLiteral("1) Merge folders\n  2) Keep both (rename)\n  3) Skip\n")))
        << folderQuestion.toStdString();
    EXPECT_TRUE(prompts.contains(QStringLiteral("1) Overwrite\n  2) Resume download\n  3) Keep both (rename)\n")));

    // The secret store starts threads of its own; a SIGTERM must still only stop a download.
    server.put(QStringLiteral("/slow/big.bin"), QByteArray(1'000'000, 'b'));
    const auto partial = [&] {
        return QDir(local.path()).entryInfoList({QStringLiteral(".dravik-*")}, QDir::Files | QDir::Hidden);
    };
    const CliTestRun stopped = CliTestRun::runUntil(
        {"--saved", "ProFTPD on loopback", "get", "/slow/big.bin", local.file(QStringLiteral("big.bin"))}, {},
        [&] { return !partial().isEmpty() && partial().first().size() >= 10'000; },
        [](pid_t pid) { ::kill(pid, SIGTERM); });
    EXPECT_EQ(stopped.exitStatus, 130) << stopped.error.toStdString();
    EXPECT_TRUE(partial().isEmpty());
    // No curl left behind, still fetching from this server.
    const QByteArray url = "127.0.0.1:" + QByteArray::number(server.profile(FTPProtocol::explicitTLS).port);
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
        EXPECT_FALSE(ftptest::contentOf("/proc/" + pid + "/cmdline").contains(url)) << pid.toStdString();
}

TEST_F(PlanCommandsTest, AFixedAnswerThatAConflictDoesNotAdmitIsATypeConflict)
{
    const auto plan = [&](const char* action) {
        return CliTestRun::run({"--profile", profileFile(), "--password-stdin", "plan", "upload",
                                local.file(QStringLiteral("tree")), "/tree", "--on-conflict", action, "--json"},
                               ProFTPDServer::password().toUtf8() + "\n");
    };
    const CliTestRun merged = plan("merge");
    EXPECT_EQ(merged.exitStatus, 1);
    EXPECT_EQ(merged.output, QByteArray());
    EXPECT_EQ(merged.error, QByteArray("A file and a folder of the same name conflict: /tree/a.txt\n"));

    const CliTestRun renamed = plan("rename");
    ASSERT_EQ(renamed.exitStatus, 0) << renamed.error.toStdString();
    EXPECT_EQ(records(renamed, local.path()),
              R"x({"exists":false,"isDirectory":true,"local":"/tree","overwrite":false,"remote":"/tree (2)"}
{"exists":false,"isDirectory":false,"local":"/tree/a.txt","overwrite":false,"remote":"/tree (2)/a.txt"}
{"exists":false,"isDirectory":false,"local":"/tree/b.txt","overwrite":false,"remote":"/tree (2)/b.txt"}
)x");
}

} // namespace
