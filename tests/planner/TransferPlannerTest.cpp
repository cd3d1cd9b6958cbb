#include "TransferPlanner.h"
#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalTree.h"

#include <QFile>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <stop_token>
#include <unistd.h>

namespace {

// Answers conflicts from a script keyed by the destination's last component, and writes down
// every question in the order it was asked.
struct ScriptedResolver {
    QMap<QString, ConflictAction> answers;
    QList<TransferConflict> asked;

    TransferPlanner::Resolver resolver()
    {
        return [this](const TransferConflict& conflict) {
            asked.append(conflict);
            const QString path = conflict.upload ? conflict.remote : conflict.local;
            return answers.value(path.section(QLatin1Char('/'), -1), ConflictAction::skip);
        };
    }
    QStringList askedNames() const
    {
        QStringList names;
        for (const TransferConflict& c : asked)
            names.append(c.source.name);
        return names;
    }
};

const TransferPlanner::ListFolder noListing = [](const QString& path) -> QList<FileEntry> {
    ADD_FAILURE() << "listed " << path.toStdString();
    return {};
};

QString failure(const std::function<void()>& planning)
{
    try {
        planning();
    } catch (const FTPError& error) {
        return error.errorDescription();
    } catch (const CancellationError&) {
        return QStringLiteral("cancelled");
    }
    return QStringLiteral("planned");
}

// One record as a line: remote path relative to nothing, flags, offset.
QString line(const PlannedTransfer& r, const QString& localRoot)
{
    QString text = QString(r.local).remove(localRoot) + QLatin1Char(' ') + r.remote;
    if (r.directory)
        text += QStringLiteral(" dir");
    if (r.exists)
        text += QStringLiteral(" exists");
    if (r.overwrite)
        text += QStringLiteral(" overwrite");
    if (r.resumeOffset)
        text += QStringLiteral(" @") + QString::number(*r.resumeOffset);
    return text;
}

QStringList lines(const QList<PlannedTransfer>& records, const QString& localRoot)
{
    QStringList out;
    for (const PlannedTransfer& r : records)
        out.append(line(r, localRoot));
    return out;
}

FileEntry remoteEntry(const QString& name, bool directory, std::optional<qint64> size = std::nullopt)
{
    return FileEntry{name, directory, size, std::nullopt};
}

class TransferPlannerTest : public testing::Test {
protected:
    LocalTree tree;
    ScriptedResolver script;
};

TEST_F(TransferPlannerTest, ANewRemoteFolderIsPlannedDepthFirstInCodePointOrderWithoutListing)
{
    tree.file(QStringLiteral("up/b.txt"), 3);
    tree.file(QStringLiteral("up/B/z"), 1);
    tree.file(QStringLiteral("up/a/é"));
    tree.file(QStringLiteral("up/a/e"));
    tree.file(QStringLiteral("up/.hidden"));
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
    tree.file(QStringLiteral("target.txt"));
    tree.folder(QStringLiteral("targetdir"));
    tree.link(QStringLiteral("link-to-file"), tree.path(QStringLiteral("target.txt")));
    tree.link(QStringLiteral("link-to-folder"), tree.path(QStringLiteral("targetdir")));
    tree.link(QStringLiteral("dangling"), tree.path(QStringLiteral("nothing")));
    tree.fifo(QStringLiteral("pipe"));
    tree.file(QStringLiteral("nested/ok"));
    tree.link(QStringLiteral("nested/inner"), tree.path(QStringLiteral("targetdir")));
    tree.file(QStringLiteral("linebreak/a\nb"));
    tree.folder(QStringLiteral("notutf8"));
    ::close(::open((QFile::encodeName(tree.path(QStringLiteral("notutf8"))) + "/\xff\xfe").constData(),
                   O_CREAT | O_WRONLY, 0600));

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
        {"missing", QStringLiteral("planned")},
    };
    for (const auto& c : cases) {
        const QString item = QString::fromLatin1(c.item);
        if (item == QLatin1String("missing")) {
            EXPECT_THROW(
                TransferPlanner::upload(tree.path(item), QStringLiteral("/x"), std::nullopt, noListing, 0, {}, {}),
                std::filesystem::filesystem_error);
            continue;
        }
        EXPECT_EQ(failure([&] {
                      TransferPlanner::upload(tree.path(item), QStringLiteral("/x"), std::nullopt, noListing, 0, {},
                                              {});
                  }),
                  c.expected)
            << c.item;
    }
}

// Downloads read their limits off a local tree served as if it were remote: a real server would
// need a hundred or fifty thousand listings to show them.
TEST_F(TransferPlannerTest, DepthAndSizeLimitsHoldOnBothSides)
{
    tree.chain(QStringLiteral("deep100"), 100);
    tree.chain(QStringLiteral("deep101"), 101);
    EXPECT_EQ(TransferPlanner::upload(tree.path(QStringLiteral("deep100")), QStringLiteral("/d"), std::nullopt,
                                      noListing, 0, {}, {})
                  .size(),
              100);
    EXPECT_EQ(failure([&] {
                  TransferPlanner::upload(tree.path(QStringLiteral("deep101")), QStringLiteral("/d"), std::nullopt,
                                          noListing, 0, {}, {});
              }),
              L("folder_depth"));
    EXPECT_EQ(failure([&] {
                  TransferPlanner::download(remoteEntry(QStringLiteral("deep101"), true),
                                            tree.path(QStringLiteral("down")), QStringLiteral("/deep101"),
                                            tree.server(QString()), 0, {}, {});
              }),
              L("folder_depth"));

    // The folder's own record and 49,999 files are exactly the limit; one more file is over it.
    tree.files(QStringLiteral("big"), 49999);
    EXPECT_EQ(TransferPlanner::upload(tree.path(QStringLiteral("big")), QStringLiteral("/big"), std::nullopt, noListing,
                                      0, {}, {})
                  .size(),
              50000);
    EXPECT_EQ(TransferPlanner::download(remoteEntry(QStringLiteral("big"), true), tree.path(QStringLiteral("bigdown")),
                                        QStringLiteral("/big"), tree.server(QString()), 0, {}, {})
                  .size(),
              50000);
    tree.file(QStringLiteral("big/last"));
    EXPECT_EQ(failure([&] {
                  TransferPlanner::upload(tree.path(QStringLiteral("big")), QStringLiteral("/big"), std::nullopt,
                                          noListing, 0, {}, {});
              }),
              L("batch_limit"));
    EXPECT_EQ(failure([&] {
                  TransferPlanner::download(remoteEntry(QStringLiteral("big"), true),
                                            tree.path(QStringLiteral("bigdown")), QStringLiteral("/big"),
                                            tree.server(QString()), 0, {}, {});
              }),
              L("batch_limit"));
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
    for (const auto& c : cases) {
        const TransferPlanner::Resolver resolver;
        const auto answer = c.answer;
        EXPECT_EQ(failure([&] {
                      TransferPlanner::upload(
                          c.local, QStringLiteral("/up/x"), c.existing, noListing, 0,
                          answer ? TransferPlanner::Resolver([answer](const TransferConflict&) { return *answer; })
                                 : resolver,
                          {});
                  }),
                  L("type_conflict", "/up/x"))
            << c.existing.name.toStdString();
    }
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
    const FileEntry remoteFolder = remoteEntry(QStringLiteral("real"), true);
    const FileEntry remoteFile = remoteEntry(QStringLiteral("f.txt"), false, 4);
    EXPECT_EQ(
        failure([&] { TransferPlanner::download(remoteFolder, link, QStringLiteral("/real"), noListing, 0, {}, {}); }),
        L("symlink_destination", link));
    EXPECT_EQ(
        failure([&] { TransferPlanner::download(remoteFile, dangling, QStringLiteral("/f"), noListing, 0, {}, {}); }),
        L("symlink_destination", dangling));
    EXPECT_EQ(
        failure([&] { TransferPlanner::download(remoteFile, folder, QStringLiteral("/f"), noListing, 0, {}, {}); }),
        L("type_conflict", folder));
    EXPECT_EQ(failure([&] {
                  TransferPlanner::download(remoteFile, folder, QStringLiteral("/f"), noListing, 0,
                                            [](const TransferConflict&) { return ConflictAction::overwrite; }, {});
              }),
              L("type_conflict", folder));
    EXPECT_EQ(
        lines(TransferPlanner::download(remoteFile, file, QStringLiteral("/f.txt"), noListing, 0, {}, {}), tree.path()),
        QStringList{"/f.txt /f.txt exists"});
}

TEST_F(TransferPlannerTest, ServerNamesThatWouldLeaveTheDestinationAreRefused)
{
    const TransferPlanner::ListFolder hostile = [](const QString&) {
        return QList<FileEntry>{remoteEntry(QStringLiteral(".."), true)};
    };
    EXPECT_EQ(failure([&] {
                  TransferPlanner::download(remoteEntry(QStringLiteral("x"), true), tree.path(QStringLiteral("x")),
                                            QStringLiteral("/x"), hostile, 0, {}, {});
              }),
              L("invalid_filename", ".."));
}

TEST_F(TransferPlannerTest, CancellationAndResolverFailuresEndPlanning)
{
    tree.file(QStringLiteral("up/a"));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(failure([&] {
                  TransferPlanner::upload(tree.path(QStringLiteral("up")), QStringLiteral("/up"), std::nullopt,
                                          noListing, 0, {}, stop.get_token());
              }),
              QStringLiteral("cancelled"));
    EXPECT_EQ(failure([&] {
                  TransferPlanner::download(remoteEntry(QStringLiteral("a"), false), tree.path(QStringLiteral("up/a")),
                                            QStringLiteral("/a"), noListing, 0, {}, stop.get_token());
              }),
              QStringLiteral("cancelled"));
    const TransferPlanner::Resolver userCancels = [](const TransferConflict&) -> ConflictAction {
        throw CancellationError();
    };
    EXPECT_EQ(failure([&] {
                  TransferPlanner::download(remoteEntry(QStringLiteral("a"), false), tree.path(QStringLiteral("up/a")),
                                            QStringLiteral("/a"), noListing, 0, userCancels, {});
              }),
              QStringLiteral("cancelled"));
}

} // namespace
