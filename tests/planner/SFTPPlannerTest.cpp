#include "AskRelayLocation.h"
#include "FTPClient.h"
#include "LocalTree.h"
#include "SSHServer.h"
#include "TransferPlanner.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// The same walk over an SFTP profile: the server's folders are read through ssh and a real sshd.
// Downloads list the server through the same call, so the FTP cases speak for them.
class SFTPPlannerTest : public testing::Test {
protected:
    void SetUp() override
    {
        AskRelayLocation::setPath(QStringLiteral(DRAVIK_BINARY_DIR "/bin/AskRelay"));
        if (!SSHServer::canCreateAccounts())
            GTEST_SKIP() << "logging in needs a throwaway account, which only root can create";
        server = std::make_unique<SSHServer>();
        QDir(server->home()).mkpath(QStringLiteral("site"));
        server->giveToAccount(server->home());
    }

    FTPClient client() const { return FTPClient(server->profile(), server->password()); }
    FileEntry listed(const QString& name) const
    {
        for (const FileEntry& entry : client().list(server->home(), {}))
            if (entry.name == name)
                return entry;
        throw std::runtime_error("not on the server");
    }
    // The records with the account's home written as "~", so that the expectations read plainly.
    QStringList planned(const QList<PlannedTransfer>& records, const QString& localRoot) const
    {
        return lines(records, localRoot).replaceInStrings(server->home(), QStringLiteral("~"));
    }

    std::unique_ptr<SSHServer> server;
    LocalTree tree;
    RecordingResolver script;
};

TEST_F(SFTPPlannerTest, UploadAsksAboutWhatTheServerHolds)
{
    server->put(QStringLiteral("site/log.txt"), "1234");
    server->put(QStringLiteral("site/index.html"), "old");
    for (const char* name : {"site/log.txt", "site/index.html", "site/new/page.html"})
        tree.file(QLatin1String(name), 10);
    script.answers = {
        {"site", ConflictAction::merge}, {"log.txt", ConflictAction::resume}, {"index.html", ConflictAction::rename}};

    const auto records =
        TransferPlanner::upload(tree.path(QStringLiteral("site")), server->path(QStringLiteral("site")),
                                listed(QStringLiteral("site")), client(), 0, script.resolver(), {});
    EXPECT_EQ(planned(records, tree.path()), (QStringList{
                                                 "/site ~/site dir exists",
                                                 "/site/index.html ~/site/index (2).html",
                                                 "/site/log.txt ~/site/log.txt exists @4",
                                                 "/site/new ~/site/new dir",
                                                 "/site/new/page.html ~/site/new/page.html",
                                             }));
    EXPECT_EQ(script.asked, (QStringList{"site", "index.html", "log.txt"}));
}

} // namespace
