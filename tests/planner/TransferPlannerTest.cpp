#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalTree.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const TransferPlanner::ListFolder noListing = [](const QString& path) -> QList<FileEntry> {
    ADD_FAILURE() << "listed " << path.toStdString();
    return {};
};

// The error text of a failed planning, "cancelled", or how many records it made.
QString outcome(const std::function<QList<PlannedTransfer>()>& planning)
{
    try {
        return QString::number(planning().size()) + QStringLiteral(" records");
    } catch (const FTPError& error) {
        return error.errorDescription();
    } catch (const CancellationError&) {
        return QStringLiteral("cancelled");
    }
}

TransferPlanner::Resolver answering(ConflictAction action)
{
    return [action](const TransferConflict&) { return action; };
}

// The outcome of planning `local` onto "/x".
QString upload(const QString& local, const std::optional<FileEntry>& existing = std::nullopt,
               const TransferPlanner::Resolver& resolver = {}, std::stop_token stop = {})
{
    return outcome(
        [&] { return TransferPlanner::upload(local, QStringLiteral("/x"), existing, noListing, 0, resolver, stop); });
}

// The outcome of planning the remote "/<entry's name>" onto `local`.
QString download(const FileEntry& entry, const QString& local, const TransferPlanner::ListFolder& list = noListing,
                 const TransferPlanner::Resolver& resolver = {}, std::stop_token stop = {})
{
    return outcome([&] {
        return TransferPlanner::download(entry, local, QLatin1Char('/') + entry.name, list, 0, resolver, stop);
    });
}

class TransferPlannerTest : public testing::Test {
protected:
    LocalTree tree;
};

TEST_F(TransferPlannerTest, ANewRemoteFolderIsPlannedDepthFirstInCodePointOrderWithoutListing)
{
    for (const char* name : {"up/b.txt", "up/B/z", "up/a/é", "up/a/e", "up/.hidden"})
        tree.file(QString::fromUtf8(name), 3);
    RecordingResolver script;
    const auto records = TransferPlanner::upload(tree.path(QStringLiteral("up")), QStringLiteral("/srv/up"),
                                                 std::nullopt, noListing, 0, script.resolver(), {});
    EXPECT_EQ(lines(records, tree.path()), (QStringList{
                                               "/up /srv/up dir",
                                               "/up/.hidden /srv/up/.hidden",
                                               "/up/B /srv/up/B dir",
                                               "/up/B/z /srv/up/B/z",
                                               "/up/a /srv/up/a dir",
                                               "/up/a/e /srv/up/a/e",
                                               "/up/a/é /srv/up/a/é",
                                               "/up/b.txt /srv/up/b.txt",
                                           }));
    EXPECT_TRUE(script.asked.isEmpty());
}

TEST_F(TransferPlannerTest, LinksSpecialFilesAndUnusableNamesAreRefused)
{
    const QString target = tree.file(QStringLiteral("target.txt"));
    const QString folder = tree.folder(QStringLiteral("targetdir"));
    tree.file(QStringLiteral("nested/ok"));
    const std::pair<const char*, QString> links[] = {{"link-to-file", target},
                                                     {"link-to-folder", folder},
                                                     {"dangling", tree.path(QStringLiteral("nothing"))},
                                                     {"nested/inner", folder}};
    for (const auto& [link, to] : links)
        tree.link(QString::fromLatin1(link), to);
    tree.fifo(QStringLiteral("pipe"));
    tree.file(QStringLiteral("linebreak/a\nb"));
    const QByteArray notUtf8 = QFile::encodeName(tree.folder(QStringLiteral("notutf8"))) + "/\xff\xfe";
    ::close(::open(notUtf8.constData(), O_CREAT | O_WRONLY, 0600));

    const struct {
        const char* item;
        QString expected;
    } cases[] = {
        {"link-to-file", L("symlink_source", "link-to-file")},
        {"link-to-folder", L("symlink_source", "link-to-folder")},
        {"dangling", L("symlink_source", "dangling")},
        {"pipe", L("unsupported_file", "pipe")},
        {"nested", L("symlink_source", "inner")},
        {"linebreak", L("invalid_filename", "a\nb")},
        {"notutf8", L("invalid_filename", QString::fromUtf8("\xff\xfe"))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(upload(tree.path(QString::fromLatin1(c.item))), c.expected) << c.item;
    EXPECT_THROW(upload(tree.path(QStringLiteral("missing"))), std::filesystem::filesystem_error);
}

// Downloads read their limits off a local tree served as if it were remote: a real server would
// need a hundred or fifty thousand listings to show them.
TEST_F(TransferPlannerTest, DepthAndSizeLimitsHoldOnBothSides)
{
    tree.chain(QStringLiteral("deep100"), 100);
    tree.chain(QStringLiteral("deep101"), 101);
    EXPECT_EQ(upload(tree.path(QStringLiteral("deep100"))), QStringLiteral("100 records"));
    EXPECT_EQ(upload(tree.path(QStringLiteral("deep101"))), L("folder_depth"));
    EXPECT_EQ(download(remoteEntry(QStringLiteral("deep101"), true), tree.path(QStringLiteral("down")),
                       tree.server(QString())),
              L("folder_depth"));

    // The folder's own record and 49,999 files are exactly the limit; one more file is over it.
    tree.files(QStringLiteral("big"), 49999);
    const FileEntry big = remoteEntry(QStringLiteral("big"), true);
    const QString bigDown = tree.path(QStringLiteral("bigdown"));
    EXPECT_EQ(upload(tree.path(QStringLiteral("big"))), QStringLiteral("50000 records"));
    EXPECT_EQ(download(big, bigDown, tree.server(QString())), QStringLiteral("50000 records"));
    tree.file(QStringLiteral("big/last"));
    EXPECT_EQ(upload(tree.path(QStringLiteral("big"))), L("batch_limit"));
    EXPECT_EQ(download(big, bigDown, tree.server(QString())), L("batch_limit"));
}

TEST_F(TransferPlannerTest, AnswersThatDoNotFitAndMismatchedKindsAreTypeConflicts)
{
    const QString file = tree.file(QStringLiteral("a.txt"), 5);
    const QString folder = tree.folder(QStringLiteral("dir"));
    const struct {
        QString local;
        FileEntry existing;
        std::optional<ConflictAction> answer;
    } cases[] = {
        {file, remoteEntry(QStringLiteral("a.txt"), false, 5), ConflictAction::resume},
        {file, remoteEntry(QStringLiteral("a.txt"), false, 0), ConflictAction::resume},
        {file, remoteEntry(QStringLiteral("a.txt"), false, 1), ConflictAction::merge},
        {file, remoteEntry(QStringLiteral("a.txt"), true), ConflictAction::overwrite},
        {folder, remoteEntry(QStringLiteral("dir"), true), ConflictAction::overwrite},
        {folder, remoteEntry(QStringLiteral("dir"), false, 1), ConflictAction::merge},
        {file, remoteEntry(QStringLiteral("a.txt"), true), std::nullopt},
        {folder, remoteEntry(QStringLiteral("dir"), false), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(upload(c.local, c.existing, c.answer ? answering(*c.answer) : nullptr), L("type_conflict", "/x"))
            << c.existing.name.toStdString();
    // Without anyone to ask, an existing file of the same kind is planned, but not overwritten.
    EXPECT_EQ(lines(TransferPlanner::upload(file, QStringLiteral("/a.txt"), remoteEntry(QStringLiteral("a.txt"), false),
                                            noListing, 0, {}, {}),
                    tree.path()),
              QStringList{"/a.txt /a.txt exists"});
}

TEST_F(TransferPlannerTest, DownloadDestinationsThatAreLinksOrOfTheOtherKindAreRefused)
{
    const QString folder = tree.folder(QStringLiteral("real"));
    const QString file = tree.file(QStringLiteral("f.txt"), 2);
    const QString link = tree.link(QStringLiteral("link"), folder);
    const QString dangling = tree.link(QStringLiteral("dangling"), tree.path(QStringLiteral("none")));
    const FileEntry remoteFile = remoteEntry(QStringLiteral("f.txt"), false, 4);
    EXPECT_EQ(download(remoteEntry(QStringLiteral("real"), true), link), L("symlink_destination", link));
    EXPECT_EQ(download(remoteFile, dangling), L("symlink_destination", dangling));
    EXPECT_EQ(download(remoteFile, folder), L("type_conflict", folder));
    EXPECT_EQ(download(remoteFile, folder, noListing, answering(ConflictAction::overwrite)),
              L("type_conflict", folder));
    EXPECT_EQ(
        lines(TransferPlanner::download(remoteFile, file, QStringLiteral("/f.txt"), noListing, 0, {}, {}), tree.path()),
        QStringList{"/f.txt /f.txt exists of 4"});
    // A server name that would leave the destination folder.
    const TransferPlanner::ListFolder hostile = [](const QString&) {
        return QList<FileEntry>{remoteEntry(QStringLiteral(".."), true)};
    };
    EXPECT_EQ(download(remoteEntry(QStringLiteral("x"), true), tree.path(QStringLiteral("x")), hostile),
              L("invalid_filename", ".."));
}

TEST_F(TransferPlannerTest, AStopEndsPlanning)
{
    const QString local = tree.file(QStringLiteral("up/a"));
    const FileEntry remote = remoteEntry(QStringLiteral("a"), false);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(upload(tree.path(QStringLiteral("up")), std::nullopt, {}, stop.get_token()), QStringLiteral("cancelled"));
    EXPECT_EQ(download(remote, local, noListing, {}, stop.get_token()), QStringLiteral("cancelled"));
}

// Conflicts at every level of a tree: each answer is taken, a new name skips the taken ones, and
// nothing below a skipped folder is planned or asked about.
TEST_F(TransferPlannerTest, AnswersToConflictsShapeThePlanInBothDirections)
{
    for (const char* name : {"srv/site/report.txt", "srv/site/report (2).txt", "srv/site/assets/a.css"})
        tree.file(QLatin1String(name), 3);
    tree.file(QStringLiteral("srv/site/log.txt"), 4);
    for (const char* name : {"up/site/report.txt", "up/site/log.txt", "up/site/assets/a.css", "up/site/assets/b.css"})
        tree.file(QLatin1String(name), 10);
    RecordingResolver script;
    script.answers = {{"site", ConflictAction::merge},
                      {"assets", ConflictAction::merge},
                      {"a.css", ConflictAction::overwrite},
                      {"log.txt", ConflictAction::resume},
                      {"report.txt", ConflictAction::rename}};
    const TransferPlanner::ListFolder server = tree.server(QStringLiteral("srv"));
    auto records = TransferPlanner::upload(tree.path(QStringLiteral("up/site")), QStringLiteral("/site"),
                                           server(QStringLiteral("/")).first(), server, 0, script.resolver(), {});
    EXPECT_EQ(lines(records, tree.path(QStringLiteral("up"))),
              (QStringList{
                  "/site /site dir exists",
                  "/site/assets /site/assets dir exists",
                  "/site/assets/a.css /site/assets/a.css exists overwrite",
                  "/site/assets/b.css /site/assets/b.css",
                  "/site/log.txt /site/log.txt exists @4",
                  "/site/report.txt /site/report (3).txt",
              }));
    EXPECT_EQ(script.asked, (QStringList{"site", "assets", "a.css", "log.txt", "report.txt"}));

    // Downloading the same server folder onto the upload's source: a resumed download overwrites.
    script.asked.clear();
    script.answers = {{"site", ConflictAction::merge},
                      {"assets", ConflictAction::merge},
                      {"a.css", ConflictAction::rename},
                      {"log.txt", ConflictAction::resume}};
    tree.file(QStringLiteral("up/site/log.txt"), 2);
    records = TransferPlanner::download(server(QStringLiteral("/")).first(), tree.path(QStringLiteral("up/site")),
                                        QStringLiteral("/site"), server, 0, script.resolver(), {});
    EXPECT_EQ(lines(records, tree.path(QStringLiteral("up"))),
              (QStringList{
                  "/site /site dir exists",
                  "/site/assets /site/assets dir exists",
                  "/site/assets/a (2).css /site/assets/a.css of 3",
                  "/site/log.txt /site/log.txt exists overwrite @2 of 4",
                  "/site/report (2).txt /site/report (2).txt of 3",
              }));
    EXPECT_EQ(script.asked, (QStringList{"site", "assets", "a.css", "log.txt", "report.txt"}));
}

} // namespace
