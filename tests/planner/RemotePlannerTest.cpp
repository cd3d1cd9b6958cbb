#include "FTPClient.h"
#include "FTPError.h"
#include "LocalTree.h"
#include "ProFTPDServer.h"
#include "TransferPlanner.h"

#include <gtest/gtest.h>

namespace {

// Records the questions in the order they come and answers by the destination's name.
struct RecordingResolver {
    QMap<QString, ConflictAction> answers;
    QStringList asked;

    TransferPlanner::Resolver resolver()
    {
        return [this](const TransferConflict& conflict) {
            const QString path = conflict.upload ? conflict.remote : conflict.local;
            asked.append(path.section(QLatin1Char('/'), -1));
            return answers.value(asked.last(), ConflictAction::skip);
        };
    }
};

QStringList destinations(const QList<PlannedTransfer>& records, bool upload, const QString& localRoot = {})
{
    QStringList out;
    for (const PlannedTransfer& r : records)
        out.append((upload ? r.remote : QString(r.local).remove(localRoot)) +
                   (r.exists ? QStringLiteral(" exists") : QString()) +
                   (r.overwrite ? QStringLiteral(" overwrite") : QString()) +
                   (r.resumeOffset ? QStringLiteral(" @") + QString::number(*r.resumeOffset) : QString()));
    return out;
}

class RemotePlannerTest : public testing::Test {
protected:
    ProFTPDServer server;
    FTPClient client{server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()};
    LocalTree tree;
    RecordingResolver script;
};

TEST_F(RemotePlannerTest, UploadMergesIntoAServerFolderAndRenamesPastTakenNames)
{
    server.put(QStringLiteral("/site/report.txt"), "old");
    server.put(QStringLiteral("/site/report (2).txt"), "old");
    server.put(QStringLiteral("/site/log.txt"), "1234");
    server.put(QStringLiteral("/site/assets/a.css"), "x");
    tree.file(QStringLiteral("site/report.txt"), 10);
    tree.file(QStringLiteral("site/log.txt"), 10);
    tree.file(QStringLiteral("site/assets/a.css"), 10);
    tree.file(QStringLiteral("site/assets/b.css"), 10);
    script.answers = {{"site", ConflictAction::merge},
                      {"assets", ConflictAction::merge},
                      {"a.css", ConflictAction::overwrite},
                      {"log.txt", ConflictAction::resume},
                      {"report.txt", ConflictAction::rename}};
    const std::optional<FileEntry> existing = client.list(QStringLiteral("/"), {}).first();
    ASSERT_EQ(existing->name, QStringLiteral("site"));

    const auto records = TransferPlanner::upload(tree.path(QStringLiteral("site")), QStringLiteral("/site"), existing,
                                                 client, 0, script.resolver(), {});
    EXPECT_EQ(destinations(records, true), (QStringList{
                                               "/site exists",
                                               "/site/assets exists",
                                               "/site/assets/a.css exists overwrite",
                                               "/site/assets/b.css",
                                               "/site/log.txt exists @4",
                                               "/site/report (3).txt",
                                           }));
    EXPECT_EQ(script.asked, (QStringList{"site", "assets", "a.css", "log.txt", "report.txt"}));
}

TEST_F(RemotePlannerTest, DownloadWalksTheServerTreeInListingOrderAndAsksAboutLocalItems)
{
    server.put(QStringLiteral("/pub/b.bin"), QByteArray(100, 'b'));
    server.put(QStringLiteral("/pub/a.bin"), QByteArray(100, 'a'));
    server.put(QStringLiteral("/pub/docs/read me.txt"), "text");
    server.put(QStringLiteral("/pub/skipped/inner.txt"), "text");
    tree.file(QStringLiteral("down/pub/a.bin"), 40);
    tree.file(QStringLiteral("down/pub/b.bin"), 400);
    tree.file(QStringLiteral("down/pub/b (2).bin"));
    tree.file(QStringLiteral("down/pub/docs/read me.txt"), 1);
    tree.file(QStringLiteral("down/pub/skipped/inner.txt"));
    script.answers = {{"pub", ConflictAction::merge},
                      {"docs", ConflictAction::merge},
                      {"read me.txt", ConflictAction::overwrite},
                      {"a.bin", ConflictAction::resume},
                      {"b.bin", ConflictAction::rename}};

    const FileEntry pub = client.list(QStringLiteral("/"), {}).first();
    const auto records = TransferPlanner::download(pub, tree.path(QStringLiteral("down/pub")), QStringLiteral("/pub"),
                                                   client, 0, script.resolver(), {});
    EXPECT_EQ(destinations(records, false, tree.path(QStringLiteral("down"))),
              (QStringList{
                  "/pub exists",
                  "/pub/docs exists",
                  "/pub/docs/read me.txt exists overwrite",
                  "/pub/a.bin exists overwrite @40",
                  "/pub/b (3).bin",
              }));
    EXPECT_EQ(script.asked, (QStringList{"pub", "docs", "read me.txt", "skipped", "a.bin", "b.bin"}));
    EXPECT_EQ(records.at(2).remote, QStringLiteral("/pub/docs/read me.txt"));
}

TEST_F(RemotePlannerTest, AListingFailureEndsPlanningWithTheServersError)
{
    const FileEntry gone{QStringLiteral("gone"), true, std::nullopt, std::nullopt};
    EXPECT_THROW(
        TransferPlanner::download(gone, tree.path(QStringLiteral("gone")), QStringLiteral("/gone"), client, 0, {}, {}),
        FTPError);
}

} // namespace
