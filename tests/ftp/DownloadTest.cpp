#include "CancellationError.h"
#include "DownloadCheckpoint.h"
#include "FTPClient.h"
#include "L10n.h"
#include "LocalFolder.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTimeZone>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>

using namespace ftptest;

namespace {

class Downloads : public testing::Test {
protected:
    void download(const QString& remote, bool overwrite, std::optional<qint64> offset = {},
                  std::optional<QUuid> checkpoint = {}, bool resume = false, const FTPClient::Progress& progress = {},
                  std::stop_token token = {}) const
    {
        client.download(remote, destination, overwrite, offset, checkpoint, resume, progress, token);
    }

    // The files in the destination's folder, hidden ones included.
    QStringList files() const { return QDir(local.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    ProFTPDServer server;
    FTPClient client{server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()};
    TemporaryFolder local;
    const QString destination = local.file(QStringLiteral("download.bin"));
};

} // namespace

TEST_F(Downloads, OverwriteAndDestinationResumeDecideWhatHappensToAnExistingFile)
{
    const QByteArray bytes = randomBytes(100000);
    server.put("/file.bin", bytes);
    // Marked bytes show that a destination resume appends instead of fetching everything again.
    const QByteArray mine(500, 'M');
    local.write("download.bin", mine);
    for (const std::optional<qint64> offset : {std::optional<qint64>(), std::optional<qint64>(500)}) {
        EXPECT_EQ(failureText([&] { download("/file.bin", false, offset); }), QStringLiteral("(file system error)"));
        EXPECT_EQ(contentOf(destination), mine);
        EXPECT_EQ(files(), QStringList{"download.bin"});
    }
    download("/file.bin", true, 500);
    EXPECT_EQ(contentOf(destination), mine + bytes.mid(500));
    local.write("download.bin", "mine");
    download("/file.bin", true);
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(files(), QStringList{"download.bin"});

    // Only an unchanged, shorter regular file is continued.
    const std::tuple<const char*, std::function<void()>, qint64> cases[] = {
        {"size differs", [&] { local.write("download.bin", bytes.first(400)); }, 500},
        {"remote not larger", [&] { local.write("download.bin", bytes); }, bytes.size()},
        {"zero offset", [&] { local.write("download.bin", {}); }, 0},
        {"symbolic link",
         [&] {
             QFile::remove(destination);
             QFile::link(local.write("real", bytes.first(500)), destination);
         },
         500},
    };
    for (const auto& [label, prepare, offset] : cases) {
        prepare();
        // Copied: Clang 14 cannot capture a structured binding.
        const qint64 resumeAt = offset;
        EXPECT_EQ(failureText([&] { download("/file.bin", true, resumeAt); }), L("destination_changed")) << label;
    }
    EXPECT_EQ(files(), (QStringList{"download.bin", "real"}));
}

// The partial file is the user's only once it is complete: until then owner-only, afterwards what
// the user's umask makes of a new file, or what the replaced file allowed.
TEST_F(Downloads, TheInstalledFileGetsTheModeOfANewFileOrOfTheFileItReplaces)
{
    server.put("/file.bin", randomBytes(1000));
    const struct {
        mode_t umask;
        std::optional<mode_t> replaced;
        unsigned expected;
    } cases[] = {{022, {}, 0644}, {002, {}, 0664}, {077, 0604, 0604}};
    for (const auto& one : cases) {
        QFile::remove(destination);
        if (one.replaced)
            ::chmod(QFile::encodeName(local.write("download.bin", "old")).constData(), *one.replaced);
        const mode_t previous = ::umask(one.umask);
        download("/file.bin", true);
        ::umask(previous);
        EXPECT_EQ(permissionsOf(destination), one.expected) << std::oct << one.umask << " " << one.expected;
    }
}

TEST_F(Downloads, ACancelledCheckpointedDownloadResumesWhereItStopped)
{
    const QByteArray bytes = randomBytes(1024 * 1024);
    server.put("/slow/large file.bin", bytes);
    const QUuid id = QUuid::createUuid();
    std::stop_source stop;
    std::atomic<bool> inspected = false;
    QList<QByteArray> children;
    const auto progress = [&](double fraction) {
        if (fraction > 0 && !inspected.exchange(true))
            children = childProcesses("curl");
        if (fraction >= 0.1)
            stop.request_stop();
    };
    EXPECT_THROW(download("/slow/large file.bin", false, {}, id, false, progress, stop.get_token()), CancellationError);

    ASSERT_EQ(children.size(), 1);
    EXPECT_TRUE(children.first().contains("--config"));
    EXPECT_FALSE(children.first().contains(ProFTPDServer::password().toUtf8().first(6)));

    const QString part = DownloadCheckpoint::file(destination, id);
    EXPECT_EQ(files(), (QStringList{QFileInfo(part).fileName(), QFileInfo(part).fileName() + ".json"}));
    const qint64 kept = QFileInfo(part).size();
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, bytes.size());
    EXPECT_EQ(contentOf(part), bytes.first(kept));
    EXPECT_EQ(permissionsOf(part), 0600u);
    EXPECT_EQ(permissionsOf(DownloadCheckpoint::metadata(part)), 0600u);

    // Bytes already received are kept, not fetched again: marking them shows the resume appended.
    // The progress counts the whole file from the start: what is kept shows at once, never all.
    local.write(QFileInfo(part).fileName(), QByteArray(kept, 'M'));
    std::mutex reportedLock;
    QList<double> reported;
    download("/slow/large file.bin", false, {}, id, true, [&](double fraction) {
        std::lock_guard guard(reportedLock);
        reported << fraction;
    });
    ASSERT_GT(reported.size(), 1);
    EXPECT_GE(reported.first(), double(kept) / double(bytes.size()) - 0.01);
    EXPECT_LT(reported.first(), 0.9);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_EQ(contentOf(destination), QByteArray(kept, 'M') + bytes.mid(kept));
    EXPECT_EQ(files(), QStringList{"download.bin"});
}

TEST_F(Downloads, ACheckpointIsOnlyResumedWhileEverythingStillMatches)
{
    const QByteArray bytes = randomBytes(1000);
    const QUuid id = QUuid::createUuid();
    const QString part = DownloadCheckpoint::file(destination, id);
    const QStringList bothHidden{QFileInfo(part).fileName(), QFileInfo(part).fileName() + ".json"};
    ServerProfile renamed = server.profile(FTPProtocol::explicitTLS);
    renamed.name = QStringLiteral("renamed");
    const FTPClient renamedClient(renamed, ProFTPDServer::password());
    const std::tuple<const char*, QByteArray, std::function<void()>, const FTPClient*> cases[] = {
        {"full size", bytes, [] {}, &client},
        {"empty", {}, [] {}, &client},
        {"profile renamed", bytes.first(400), [] {}, &renamedClient},
        {"remote grew", bytes.first(400), [&] { server.put("/file.bin", bytes + bytes.first(200)); }, &client},
    };
    for (const auto& [label, partialBytes, change, which] : cases) {
        server.put("/file.bin", bytes);
        local.write(QFileInfo(part).fileName(), partialBytes);
        // Folders list first, so the last entry of "/" is the one file.
        DownloadCheckpoint::save(part, server.profile(FTPProtocol::explicitTLS), "/file.bin",
                                 client.list("/", {}).last());
        change();
        const FTPClient* runner = which;
        EXPECT_EQ(failureText([&] { runner->download("/file.bin", destination, false, {}, id, true, {}, {}); }),
                  L("destination_changed"))
            << label;
        EXPECT_EQ(files(), bothHidden) << label;
        EXPECT_EQ(contentOf(part), partialBytes) << label;
    }

    // A fresh start sets the old partial file aside instead of destroying it.
    download("/file.bin", false, {}, id, false);
    EXPECT_EQ(contentOf(destination), bytes + bytes.first(200));
    const QStringList left = files();
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left.at(0).startsWith(QFileInfo(part).fileName() + "."));
    EXPECT_TRUE(left.at(0).endsWith(".saved"));
    EXPECT_EQ(contentOf(local.file(left.at(0))), bytes.first(400));
    EXPECT_EQ(left.at(1), QStringLiteral("download.bin"));

    // A remote file that changes after it was listed leaves no checkpoint that could never match.
    // Only a server without MLST has a listing apart from the transfer, for a change to come between.
    const ProFTPDServer listed({.kind = ProFTPDServer::Kind::withoutMLSD});
    const FTPClient listing(listed.profile(FTPProtocol::explicitTLS), ProFTPDServer::password());
    listed.put("/file.bin", bytes);
    // The first download finds out that the server refuses MLST.
    listing.download("/file.bin", destination, true, {}, QUuid::createUuid(), false, {}, {});
    LocalFolder::setBeforeOpenForTesting([&](const QString& path) {
        if (path.endsWith(".part"))
            listed.put("/file.bin", bytes.first(900));
    });
    EXPECT_EQ(
        failureText([&] { listing.download("/file.bin", destination, true, {}, QUuid::createUuid(), false, {}, {}); }),
        L("destination_changed"));
    LocalFolder::setBeforeOpenForTesting({});
    EXPECT_EQ(files(), left);

    EXPECT_EQ(failureText([&] { download("/missing.bin", false, {}, id, false); }), L("inaccessible"));
    EXPECT_EQ(failureText([&] { download("/dir/", false, {}, id, false); }), L("remote_file_required"));
}

// Another user of a shared folder plants links at the names a download or upload will use, or
// swaps them in at the worst moment: the victim outside the folder is never read or written.
TEST_F(Downloads, LinksPlantedOrSwappedInASharedFolderAreNeverFollowed)
{
    const QByteArray bytes = randomBytes(300000);
    server.put("/file.bin", bytes);
    server.put("/slow/file.bin", bytes);
    TemporaryFolder elsewhere;
    const QString victim = elsewhere.write("victim", "the user's own bytes");
    QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const auto swapForLink = [&](const QString& path) {
        QFile::rename(path, path + ".moved");
        QFile::link(victim, path);
    };
    const QUuid id = QUuid::createUuid();
    const QString part = DownloadCheckpoint::file(destination, id);
    const QString source = local.file("source.bin");
    struct Case {
        const char* what;
        std::function<void()> prepare;
        // Swapped for a link right before the engine opens it.
        std::function<bool(const QString& path)> swapAtOpen;
        std::function<void()> operation;
        QString failure;
    };
    const Case cases[] = {
        {"checkpoint planted",
         [&] { QFile::link(victim, DownloadCheckpoint::metadata(part)); },
         {},
         [&] { download("/file.bin", false, {}, id); },
         "(no error)"},
        {"partial file",
         {},
         [](const QString& path) { return path.endsWith(".part"); },
         [&] { download("/file.bin", true); },
         L("symlink_destination", QString()).trimmed()},
        {"resumed destination", [&] { local.write("download.bin", bytes.first(500)); },
         [&](const QString& path) { return path == destination; }, [&] { download("/file.bin", true, 500); },
         L("destination_changed")},
        {"upload source", [&] { local.write("source.bin", bytes); },
         [&](const QString& path) { return path == source; },
         [&] { client.upload(source, "/uploaded.bin", true, {}, {}, {}); }, L("regular_file_required")},
        {"partial file during the transfer",
         {},
         {},
         [&] {
             std::atomic<bool> swapped = false;
             download("/slow/file.bin", true, {}, id, false, [&](double) {
                 if (QFileInfo(part).size() > 0 && !swapped.exchange(true))
                     swapForLink(part);
             });
         },
         L("destination_changed")},
    };
    for (const Case& c : cases) {
        QFile::remove(destination);
        if (c.prepare)
            c.prepare();
        LocalFolder::setBeforeOpenForTesting([&](const QString& path) {
            if (c.swapAtOpen && c.swapAtOpen(path))
                swapForLink(path);
        });
        const QString failure = failureText(c.operation);
        LocalFolder::setBeforeOpenForTesting({});
        EXPECT_TRUE(failure.startsWith(c.failure)) << c.what << ": " << failure.toStdString();
        EXPECT_EQ(contentOf(victim), QByteArray("the user's own bytes")) << c.what;
        EXPECT_EQ(permissionsOf(victim), 0604u) << c.what;
        // Only the link the attacker put there, never one that the download installed.
        EXPECT_TRUE(!QFileInfo(destination).isSymLink() || (c.swapAtOpen && c.swapAtOpen(destination))) << c.what;
    }
    EXPECT_FALSE(QFile::exists(server.local("/uploaded.bin")));
}

TEST(DownloadCheckpoint, JsonKeepsEveryFieldAndRejectsIncompleteDocuments)
{
    const DownloadCheckpoint full{ServerProfile(), QStringLiteral("/r"), 1234,
                                  QDateTime(QDate(2024, 1, 31), QTime(12, 0, 0, 250), QTimeZone::utc())};
    const QJsonObject json = full.toJson();
    EXPECT_EQ(DownloadCheckpoint::fromJson(QJsonDocument(json).toJson()), full);
    // Seconds since 2001-01-01, the reference date the checkpoint format counts from.
    EXPECT_DOUBLE_EQ(json.value("modified").toDouble(), 728395200.25);
    const DownloadCheckpoint bare{full.profile, QStringLiteral("/r"), std::nullopt, std::nullopt};
    EXPECT_EQ(DownloadCheckpoint::fromJson(QJsonDocument(bare.toJson()).toJson()), bare);
    EXPECT_EQ(bare.toJson().keys(), (QStringList{"profile", "remote"}));

    QJsonObject noRemote = json, badSize = json;
    noRemote.remove("remote");
    badSize.insert("size", "12");
    for (const QByteArray& document : {QJsonDocument(noRemote).toJson(), QJsonDocument(badSize).toJson(),
                                       QByteArray("[]"), QByteArray("{\"profile\": {}, \"remote\": \"/r\"}")})
        EXPECT_FALSE(DownloadCheckpoint::fromJson(document)) << document.toStdString();
}
