#include "FTPClient.h"
#include "FTPError.h"
#include "LocalTree.h"
#include "ProFTPDServer.h"
#include "TransferPlanner.h"

#include <gtest/gtest.h>

namespace {

class RemotePlannerTest : public testing::Test {
protected:
    ProFTPDServer server;
    FTPClient client{server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()};
    LocalTree tree;
    RecordingResolver script;
};

TEST_F(RemotePlannerTest, UploadMergesIntoAServerFolderAndRenamesPastTakenNames)
{
    for (const char* name : {"report.txt", "report (2).txt", "assets/a.css"})
        server.put(QStringLiteral("/site/") + QLatin1String(name), "old");
    server.put(QStringLiteral("/site/log.txt"), "1234");
    for (const char* name : {"report.txt", "log.txt", "assets/a.css", "assets/b.css"})
        tree.file(QStringLiteral("site/") + QLatin1String(name), 10);
    script.answers = {{"site", ConflictAction::merge},
                      {"assets", ConflictAction::merge},
                      {"a.css", ConflictAction::overwrite},
                      {"log.txt", ConflictAction::resume},
                      {"report.txt", ConflictAction::rename}};
    const std::optional<FileEntry> existing = client.list(QStringLiteral("/"), {}).first();
    ASSERT_EQ(existing->name, QStringLiteral("site"));

    const auto records = TransferPlanner::upload(tree.path(QStringLiteral("site")), QStringLiteral("/site"), existing,
                                                 client, 0, script.resolver(), {});
    EXPECT_EQ(lines(records, tree.path()), (QStringList{
                                               "/site /site dir exists",
                                               "/site/assets /site/assets dir exists",
                                               "/site/assets/a.css /site/assets/a.css exists overwrite",
                                               "/site/assets/b.css /site/assets/b.css",
                                               "/site/log.txt /site/log.txt exists @4",
                                               "/site/report.txt /site/report (3).txt",
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
    EXPECT_EQ(lines(records, tree.path(QStringLiteral("down"))),
              (QStringList{
                  "/pub /pub dir exists",
                  "/pub/docs /pub/docs dir exists",
                  "/pub/docs/read me.txt /pub/docs/read me.txt exists overwrite",
                  "/pub/a.bin /pub/a.bin exists overwrite @40",
                  "/pub/b (3).bin /pub/b.bin",
              }));
    EXPECT_EQ(script.asked, (QStringList{"pub", "docs", "read me.txt", "skipped", "a.bin", "b.bin"}));

    const FileEntry gone{QStringLiteral("gone"), true, std::nullopt, std::nullopt};
    EXPECT_THROW(
        TransferPlanner::download(gone, tree.path(QStringLiteral("gone")), QStringLiteral("/gone"), client, 0, {}, {}),
        FTPError);
}

} // namespace
