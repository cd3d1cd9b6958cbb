#include "CliTestRun.h"
#include "PrivateKeyring.h"
#include "ProFTPDServer.h"
#include "ProfileStore.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <optional>

namespace {

class PlanCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_PRIVATE_KEYRING();
        keyring.emplace();
        QDir(ProfileStore::folder()).removeRecursively();
        server.put(QStringLiteral("/tree/a.txt"), QByteArray(10, 'a'));
        server.put(QStringLiteral("/tree/b.txt"), QByteArray(10, 'b'));
        server.put(QStringLiteral("/tree/sub/c.txt"), "c");
        local.write(QStringLiteral("tree/a.txt"), "aaaa");
        local.write(QStringLiteral("tree/b.txt"), QByteArray(20, 'b'));
    }
    void TearDown() override { QDir(ProfileStore::folder()).removeRecursively(); }

    QString profileFile(bool remember) const
    {
        ServerProfile profile = server.profile(FTPProtocol::explicitTLS);
        profile.rememberPassword = remember;
        return local.write(QStringLiteral("profile.json"), QJsonDocument(profile.toJson()).toJson());
    }

    std::optional<PrivateKeyring> keyring;
    ProFTPDServer server;
    TemporaryFolder local;
};

QStringList records(const QByteArray& output, const QString& root)
{
    QStringList out;
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QString text = o.value("local").toString().remove(root) + QLatin1Char(' ') + o.value("remote").toString();
        for (const char* flag : {"directory", "exists", "overwrite"})
            if (o.value(QLatin1String(flag)).toBool())
                text += QLatin1Char(' ') + QLatin1String(flag);
        if (o.contains("resumeOffset"))
            text += QStringLiteral(" @") + QString::number(o.value("resumeOffset").toInteger());
        out.append(text);
    }
    return out;
}

TEST_F(PlanCommandsTest, ASavedProfilePlansADownloadAskingOnlyWhatEachConflictAdmits)
{
    ASSERT_EQ(CliTestRun::run({"save-profile", profileFile(true), "--password-stdin"},
                              ProFTPDServer::password().toUtf8() + "\n")
                  .exitStatus,
              0);
    // The folder over a folder: merge (1). The first file: resume (2) for every file after it,
    // but b.txt is longer than the server's, so the question comes back and gets skip (3).
    const CliTestRun run = CliTestRun::run(
        {"--saved", "ProFTPD on loopback", "plan", "download", "/tree", local.file(QStringLiteral("tree"))},
        "1\n2+\n3\n");
    ASSERT_EQ(run.exitStatus, 0) << run.error.toStdString();
    EXPECT_EQ(records(run.output, local.path()), (QStringList{
                                                     "/tree /tree directory exists",
                                                     "/tree/sub /tree/sub directory",
                                                     "/tree/sub/c.txt /tree/sub/c.txt",
                                                     "/tree/a.txt /tree/a.txt exists overwrite @4",
                                                 }));
    const QString prompts = QString::fromUtf8(run.error);
    EXPECT_EQ(prompts.count(QStringLiteral("The destination already exists")), 3);
    EXPECT_TRUE(prompts.endsWith(QStringLiteral("1) Overwrite\n  2) Keep both (rename)\n  3) Skip\n  +) Apply to all "
                                                "conflicts of this kind\n[1-3][+] ")))
        << prompts.toStdString();
    const QString folderQuestion = prompts.section(QStringLiteral("The destination already exists"), 1, 1);
    EXPECT_TRUE(folderQuestion.contains(QStringLiteral("1) Merge folders\n  2) Keep both (rename)\n  3) Skip\n")))
        << folderQuestion.toStdString();
    EXPECT_TRUE(prompts.contains(QStringLiteral("1) Overwrite\n  2) Resume download\n  3) Keep both (rename)\n")));
}

TEST_F(PlanCommandsTest, AFixedAnswerThatAConflictDoesNotAdmitIsATypeConflict)
{
    const auto plan = [&](const char* action) {
        return CliTestRun::run({"--profile", profileFile(false), "--password-stdin", "plan", "upload",
                                local.file(QStringLiteral("tree")), "/tree", "--on-conflict", action},
                               ProFTPDServer::password().toUtf8() + "\n");
    };
    const CliTestRun merged = plan("merge");
    EXPECT_EQ(merged.exitStatus, 1);
    EXPECT_EQ(merged.output, QByteArray());
    EXPECT_EQ(merged.error, QByteArray("A file and a folder of the same name conflict: /tree/a.txt\n"));

    const CliTestRun renamed = plan("rename");
    ASSERT_EQ(renamed.exitStatus, 0) << renamed.error.toStdString();
    EXPECT_EQ(records(renamed.output, local.path()), (QStringList{
                                                         "/tree /tree (2) directory",
                                                         "/tree/a.txt /tree (2)/a.txt",
                                                         "/tree/b.txt /tree (2)/b.txt",
                                                     }));
}

} // namespace
