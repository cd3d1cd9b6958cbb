#include "CancellationError.h"
#include "DownloadCheckpoint.h"
#include "FTPClient.h"
#include "FTPError.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTimeZone>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QString failureText(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FTPError& error) {
        return error.errorDescription();
    } catch (const std::filesystem::filesystem_error&) {
        return QStringLiteral("(file system error)");
    }
    return QStringLiteral("(no error)");
}

// The files in a folder, hidden ones included.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

unsigned permissionsOf(const QString& path)
{
    struct stat attributes {};
    ::stat(QFile::encodeName(path).constData(), &attributes);
    return attributes.st_mode & 0777;
}

// The command line and environment of each running child of this process named curl.
QList<QByteArray> curlChildrenInformation()
{
    QList<QByteArray> found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = contentOf("/proc/" + pid + "/stat");
        const qsizetype close = stat.lastIndexOf(')');
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (!stat.contains("(curl)") || fields.size() < 2 || fields.at(1).toLongLong() != ::getpid())
            continue;
        found << contentOf("/proc/" + pid + "/cmdline") + '\n' + contentOf("/proc/" + pid + "/environ");
    }
    return found;
}

class Downloads : public testing::Test {
protected:
    Downloads() : client(server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()) {}

    void download(const QString& remote, bool overwrite, std::optional<qint64> offset = {},
                  std::optional<QUuid> checkpoint = {}, bool resume = false,
                  const FTPClient::Progress& progress = {}, std::stop_token token = {}) const
    {
        client.download(remote, destination, overwrite, offset, checkpoint, resume, progress, token);
    }

    QString partial(const QUuid& id) const { return DownloadCheckpoint::file(destination, id); }

    ProFTPDServer server;
    FTPClient client;
    TemporaryFolder local;
    const QString destination = local.file(QStringLiteral("download.bin"));
};

}

TEST_F(Downloads, OverwriteDecidesWhetherAnExistingDestinationIsReplaced)
{
    const QByteArray bytes = randomBytes(100000);
    server.put("/file.bin", bytes);
    local.write("download.bin", "mine");
    EXPECT_EQ(failureText([&] { download("/file.bin", false); }), QStringLiteral("(file system error)"));
    EXPECT_EQ(contentOf(destination), QByteArray("mine"));
    EXPECT_EQ(filesIn(local.path()), QStringList{"download.bin"});

    download("/file.bin", true);
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(filesIn(local.path()), QStringList{"download.bin"});
}

TEST_F(Downloads, DestinationResumeContinuesAnUnchangedShorterFile)
{
    const QByteArray bytes = randomBytes(2000);
    server.put("/file.bin", bytes);
    local.write("download.bin", bytes.first(500));
    EXPECT_EQ(failureText([&] { download("/file.bin", false, 500); }), QStringLiteral("(file system error)"));
    EXPECT_EQ(contentOf(destination), bytes.first(500));
    EXPECT_EQ(filesIn(local.path()), QStringList{"download.bin"});

    download("/file.bin", true, 500);
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(filesIn(local.path()), QStringList{"download.bin"});

    struct Case {
        const char* label;
        std::function<void()> prepare;
        qint64 offset;
    };
    const Case cases[] = {
        {"size differs", [&] { local.write("download.bin", bytes.first(400)); }, 500},
        {"remote not larger", [&] { local.write("download.bin", bytes); }, 2000},
        {"zero offset", [&] { local.write("download.bin", {}); }, 0},
        {"symbolic link",
         [&] {
             QFile::remove(destination);
             QFile::link(local.write("real", bytes.first(500)), destination);
         },
         500},
    };
    for (const Case& c : cases) {
        c.prepare();
        EXPECT_EQ(failureText([&] { download("/file.bin", true, c.offset); }), L("destination_changed")) << c.label;
    }
    EXPECT_EQ(filesIn(local.path()), (QStringList{"download.bin", "real"}));
}

TEST_F(Downloads, ACancelledCheckpointedDownloadResumesWhereItStopped)
{
    const QByteArray bytes = randomBytes(1024 * 1024);
    server.put("/slow/large file.bin", bytes);
    const QUuid id = QUuid::createUuid();
    std::stop_source stop;
    std::atomic<bool> inspected = false;
    QList<QByteArray> children;
    EXPECT_THROW(download("/slow/large file.bin", false, {}, id, false,
                          [&](double fraction) {
                              if (fraction > 0 && !inspected.exchange(true))
                                  children = curlChildrenInformation();
                              if (fraction >= 0.1)
                                  stop.request_stop();
                          },
                          stop.get_token()),
                 CancellationError);

    ASSERT_EQ(children.size(), 1);
    EXPECT_TRUE(children.first().contains("--config"));
    EXPECT_FALSE(children.first().contains(ProFTPDServer::password().toUtf8()));
    EXPECT_FALSE(children.first().contains(ProFTPDServer::password().toUtf8().first(6)));

    const QString part = partial(id);
    EXPECT_EQ(filesIn(local.path()), (QStringList{QFileInfo(part).fileName(), QFileInfo(part).fileName() + ".json"}));
    const qint64 kept = QFileInfo(part).size();
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, bytes.size());
    EXPECT_EQ(contentOf(part), bytes.first(kept));
    EXPECT_EQ(permissionsOf(part), 0600u);
    EXPECT_EQ(permissionsOf(DownloadCheckpoint::metadata(part)), 0600u);

    // Bytes already received are kept, not fetched again: marking them shows the resume appended.
    QFile marked(part);
    marked.open(QIODevice::WriteOnly);
    marked.write(QByteArray(kept, 'M'));
    marked.close();
    download("/slow/large file.bin", false, {}, id, true);
    EXPECT_EQ(contentOf(destination), QByteArray(kept, 'M') + bytes.mid(kept));
    EXPECT_EQ(filesIn(local.path()), QStringList{"download.bin"});
}

TEST_F(Downloads, ACheckpointIsOnlyResumedWhileEverythingStillMatches)
{
    const QByteArray bytes = randomBytes(1000);
    server.put("/file.bin", bytes);
    const QUuid id = QUuid::createUuid();
    const QString part = partial(id);
    const auto leaveCheckpoint = [&](const QByteArray& partialBytes) {
        local.write(QFileInfo(part).fileName(), partialBytes);
        DownloadCheckpoint::save(part, server.profile(FTPProtocol::explicitTLS), "/file.bin",
                                 client.list("/", {}).first());
    };
    const QStringList bothHidden{QFileInfo(part).fileName(), QFileInfo(part).fileName() + ".json"};

    ServerProfile renamed = server.profile(FTPProtocol::explicitTLS);
    renamed.name = QStringLiteral("renamed");
    const FTPClient renamedClient(renamed, ProFTPDServer::password());
    struct Case {
        const char* label;
        QByteArray partialBytes;
        std::function<void()> change;
        const FTPClient* client;
    };
    const Case cases[] = {
        {"full size", bytes, [] {}, &client},
        {"empty", {}, [] {}, &client},
        {"profile renamed", bytes.first(400), [] {}, &renamedClient},
        {"remote grew", bytes.first(400), [&] { server.put("/file.bin", bytes + bytes.first(200)); }, &client},
    };
    for (const Case& c : cases) {
        server.put("/file.bin", bytes);
        leaveCheckpoint(c.partialBytes);
        c.change();
        EXPECT_EQ(failureText([&] { c.client->download("/file.bin", destination, false, {}, id, true, {}, {}); }),
                  L("destination_changed"))
            << c.label;
        EXPECT_EQ(filesIn(local.path()), bothHidden) << c.label;
        EXPECT_EQ(contentOf(part), c.partialBytes) << c.label;
    }

    download("/file.bin", false, {}, id, false);
    EXPECT_EQ(contentOf(destination), bytes + bytes.first(200));
    const QStringList left = filesIn(local.path());
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left.at(0).startsWith(QFileInfo(part).fileName() + "."));
    EXPECT_TRUE(left.at(0).endsWith(".saved"));
    EXPECT_EQ(contentOf(local.file(left.at(0))), bytes.first(400));
    EXPECT_EQ(left.at(1), QStringLiteral("download.bin"));

    EXPECT_EQ(failureText([&] { download("/missing.bin", false, {}, id, false); }), L("inaccessible"));
    EXPECT_EQ(failureText([&] { download("/", false, {}, id, false); }), L("inaccessible"));
}

TEST(DownloadCheckpoint, JsonKeepsEveryFieldAndRejectsIncompleteDocuments)
{
    ServerProfile profile;
    profile.host = QStringLiteral("h");
    profile.username = QStringLiteral("u");
    const DownloadCheckpoint full{profile, QStringLiteral("/r"), 1234,
                                  QDateTime(QDate(2024, 1, 31), QTime(12, 0, 0, 250), QTimeZone::utc())};
    const QByteArray encoded = QJsonDocument(full.toJson()).toJson();
    EXPECT_EQ(DownloadCheckpoint::fromJson(encoded), full);
    EXPECT_DOUBLE_EQ(full.toJson().value("modified").toDouble(), 728395200.25);
    const DownloadCheckpoint bare{profile, QStringLiteral("/r"), std::nullopt, std::nullopt};
    EXPECT_EQ(DownloadCheckpoint::fromJson(QJsonDocument(bare.toJson()).toJson()), bare);
    EXPECT_EQ(bare.toJson().keys(), (QStringList{"profile", "remote"}));

    QJsonObject noRemote = full.toJson();
    noRemote.remove("remote");
    QJsonObject badSize = full.toJson();
    badSize.insert("size", "12");
    for (const QByteArray& document : {QJsonDocument(noRemote).toJson(), QJsonDocument(badSize).toJson(),
                                       QByteArray("[]"), QByteArray("{\"profile\": {}, \"remote\": \"/r\"}")})
        EXPECT_FALSE(DownloadCheckpoint::fromJson(document)) << document.toStdString();
}
