#include "FTPClient.h"
#include "FTPError.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ftptest;

namespace {

void makeLink(const QString& target, const QString& link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

} // namespace

TEST(FTPServerListing, AwkwardNamesListTheSameOverEveryServerAndProtocol)
{
    const QDateTime fixedDate(QDate(2024, 1, 31), QTime(12, 0), QTimeZone::utc());
    const QStringList awkwardNames{"with space",     "100%",       "#hash", "what?", "\u00dcnic\u00f6de \u2713",
                                   " leading space", "semi;type=a"};
    const std::tuple<const char*, ProFTPDServer::Kind, FTPProtocol> cases[] = {
        {"MLSD over FTP", ProFTPDServer::Kind::plainAndExplicitTLS, FTPProtocol::ftp},
        {"MLSD over explicit TLS", ProFTPDServer::Kind::plainAndExplicitTLS, FTPProtocol::explicitTLS},
        {"MLSD over implicit TLS", ProFTPDServer::Kind::implicitTLS, FTPProtocol::implicitTLS},
        {"LIST fallback", ProFTPDServer::Kind::withoutMLSD, FTPProtocol::explicitTLS},
    };
    for (const auto& [label, kind, protocol] : cases) {
        SCOPED_TRACE(label);
        ProFTPDServer server({kind, false});
        // Every awkward name as a file, beside a sub-folder and a symbolic link to it.
        for (const QString& name : awkwardNames) {
            QFile file(server.put("/names/" + name, name.toUtf8()));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(fixedDate, QFileDevice::FileModificationTime);
        }
        QDir().mkpath(server.local("/names/sub folder"));
        makeLink("sub folder", server.local("/names/link"));
        const QList<FileEntry> entries =
            FTPClient(server.profile(protocol), ProFTPDServer::password()).list("/names", {});
        QStringList names;
        for (const FileEntry& entry : entries) {
            names << entry.name;
            EXPECT_EQ(entry.isDirectory, entry.name == "sub folder") << entry.name.toStdString();
            if (awkwardNames.contains(entry.name)) {
                EXPECT_EQ(entry.size, entry.name.toUtf8().size());
                EXPECT_EQ(entry.modified,
                          kind != ProFTPDServer::Kind::withoutMLSD ? std::optional(fixedDate) : std::nullopt);
            }
        }
        QStringList expected = awkwardNames + QStringList{"link"};
        std::sort(expected.begin(), expected.end());
        QStringList files = names.mid(1);
        std::sort(files.begin(), files.end());
        EXPECT_EQ(names.first(), QStringLiteral("sub folder"));
        EXPECT_EQ(files, expected);
    }
}

TEST(FTPServerListing, FailuresCarryCurlsStatusAndTheUsersText)
{
    ProFTPDServer untrusted({ProFTPDServer::Kind::plainAndExplicitTLS, true});
    ProFTPDServer server;
    const FTPClient client(server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password());
    const std::tuple<std::function<void()>, int, QString> cases[] = {
        {[&] { FTPClient(untrusted.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()).list("/", {}); }, 60,
         L("invalid_certificate")},
        {[&] { FTPClient(server.profile(FTPProtocol::explicitTLS), "wrong").createDirectory("/x", {}); }, 67,
         L("auth_failed")},
        {[&] { client.list("/missing", {}); }, 9, L("inaccessible")},
        {[&] { client.deleteItem("/missing", false, {}); }, 21, L("ftp_error", "21")},
    };
    for (const auto& [operation, status, sentence] : cases) {
        try {
            operation();
            ADD_FAILURE() << "no error for status " << status;
        } catch (const FTPError& error) {
            EXPECT_EQ(error.exitStatus(), status);
            EXPECT_TRUE(error.errorDescription().startsWith(sentence)) << error.errorDescription().toStdString();
            EXPECT_FALSE(error.errorDescription().contains(ProFTPDServer::password()));
        }
    }
}

class FTPServerOperations : public testing::TestWithParam<FTPProtocol> {
protected:
    ProFTPDServer server{{GetParam() == FTPProtocol::implicitTLS ? ProFTPDServer::Kind::implicitTLS
                                                                 : ProFTPDServer::Kind::plainAndExplicitTLS,
                          false}};
    FTPClient client{server.profile(GetParam()), ProFTPDServer::password()};
    TemporaryFolder local;
};

TEST_P(FTPServerOperations, FolderCommandsUploadsAndDownloadsChangeExactlyTheFilesMeant)
{
    client.createDirectory("/new folder #1", {});
    EXPECT_TRUE(QFileInfo(server.local("/new folder #1")).isDir());
    client.ensureDirectory("/new folder #1", {});
    client.ensureDirectory("/caf\u00e9", {});
    EXPECT_TRUE(QFileInfo(server.local("/caf\u00e9")).isDir());
    EXPECT_TRUE(failureText([&] { client.ensureDirectory("/no/such/parent", {}); }).startsWith(L("inaccessible")));

    const QString moved = "/new folder #1/moved 100%";
    server.put("/old name?", "payload");
    client.rename("/old name?", moved, {});
    EXPECT_FALSE(QFile::exists(server.local("/old name?")));
    EXPECT_EQ(contentOf(server.local(moved)), QByteArray("payload"));
    client.permissions(moved, "640", {});
    EXPECT_EQ(permissionsOf(server.local(moved)), 0640u);
    client.deleteItem(moved, false, {});
    EXPECT_FALSE(QFile::exists(server.local(moved)));
    client.deleteItem("/new folder #1", true, {});
    EXPECT_FALSE(QFile::exists(server.local("/new folder #1")));

    // A recursive delete must not follow a link out of the tree.
    server.put("/outside/keep.txt", "kept");
    server.put("/tree/a.txt", "a");
    server.put("/tree/ sub/deeper/d#.txt", "d");
    makeLink("../../outside", server.local("/tree/ sub/link to outside"));
    client.deleteTree("/tree", true, 0, {});
    EXPECT_FALSE(QFileInfo::exists(server.local("/tree")));
    EXPECT_EQ(contentOf(server.local("/outside/keep.txt")), QByteArray("kept"));

    // Uploads respect overwrite and resume.
    const QByteArray bytes = QByteArray::fromRawData("0123456789abcdef", 16).repeated(4096);
    const QString source = local.write("source.bin", bytes);
    client.upload(source, "/up load.bin", false, {}, {}, {});
    EXPECT_EQ(contentOf(server.local("/up load.bin")), bytes);

    server.put("/existing", "old");
    EXPECT_EQ(failureText([&] { client.upload(source, "/existing", false, {}, {}, {}); }), L("destination_changed"));
    EXPECT_EQ(contentOf(server.local("/existing")), QByteArray("old"));
    QList<double> progress;
    client.upload(source, "/existing", true, {}, [&](double fraction) { progress << fraction; }, {});
    EXPECT_EQ(contentOf(server.local("/existing")), bytes);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), 1.0);

    server.put("/partial", bytes.first(1000));
    client.upload(source, "/partial", false, 1000, {}, {});
    EXPECT_EQ(contentOf(server.local("/partial")), bytes);
    EXPECT_EQ(failureText([&] { client.upload(source, "/partial", false, 1000, {}, {}); }), L("destination_changed"));

    // Downloads install the remote bytes and nothing else.
    const QByteArray binary = QByteArray("remote \xff\x00 bytes\r\n", 17).repeated(3000);
    server.put("/dir/file #1.bin", binary);
    server.put("/empty", {});
    client.download("/dir/file #1.bin", local.file("file.bin"), false, {}, {}, false, {}, {});
    client.download("/empty", local.file("empty"), false, {}, {}, false, [](double) {}, {});
    EXPECT_EQ(contentOf(local.file("file.bin")), binary);
    EXPECT_EQ(contentOf(local.file("empty")), QByteArray());
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"empty", "file.bin", "source.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Protocols, FTPServerOperations,
                         testing::Values(FTPProtocol::ftp, FTPProtocol::explicitTLS, FTPProtocol::implicitTLS),
                         [](const testing::TestParamInfo<FTPProtocol>& info) {
                             return FTPProtocols::rawValue(info.param).toStdString();
                         });

// A replaced file is the old one or the new one, never a part of the new one: the upload goes to
// a hidden name of Dravik's beside it and is renamed over it in the same run, with the mode the
// listing shows. A server that refuses renames has the file written directly, and the caller hears
// of it first; one that refuses to set modes still takes the file.
TEST(FTPServerReplace, TheServerKeepsTheOldFileOrTheNewNeverAPart)
{
    const QByteArray before(300'000, 'o');
    const QByteArray after = randomBytes(300'000);
    const QRegularExpression temporary(R"(^\.notes\.txt\.dravik-upload-[0-9a-f]{8}$)");
    using Kind = ProFTPDServer::Kind;
    const std::tuple<const char*, Kind, bool, QByteArray, bool, unsigned, unsigned> cases[] = {
        {"renamed over", Kind::plainAndExplicitTLS, false, after, false, 0600, 0600},
        {"stopped halfway", Kind::plainAndExplicitTLS, true, before, false, 0600, 0600},
        {"renames refused", Kind::withoutRename, false, after, true, 0755, 0755},
        {"mode from LIST", Kind::withoutMLSD, false, after, false, 0755, 0755},
        {"modes refused", Kind::withoutChmod, false, after, false, 0600, 0644},
    };
    for (const auto& [what, kind, stopHalfway, expected, direct, mode, expectedMode] : cases) {
        const ProFTPDServer server({kind, false});
        const TemporaryFolder local;
        ::chmod(QFile::encodeName(server.put("/slow/notes.txt", before)).constData(), mode);
        const FTPClient client(server.profile(FTPProtocol::ftp), ProFTPDServer::password());
        const std::optional<quint32> permissions = client.list("/slow", {}).value(0).permissions;
        EXPECT_EQ(permissions, mode) << what;
        std::stop_source stop;
        bool wroteDirectly = false;
        // Stops once the server receives the hidden copy, which it takes in at 256 KB/s.
        std::jthread stopper([&, stopHalfway = stopHalfway](std::stop_token finished) {
            while (stopHalfway && !finished.stop_requested() && !stop.stop_requested()) {
                if (!QDir(server.local("/slow")).entryList({".notes.txt.*"}, QDir::Files | QDir::Hidden).isEmpty())
                    stop.request_stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        EXPECT_EQ(failureText([&] {
                      client.replace(
                          local.write("notes.txt", after), "/slow/notes.txt", permissions,
                          [&] { wroteDirectly = true; }, nullptr, stop.get_token());
                  }),
                  stopHalfway ? "cancelled" : "(no error)")
            << what;
        stopper.request_stop();
        stopper.join();
        EXPECT_EQ(contentOf(server.local("/slow/notes.txt")), expected) << what;
        EXPECT_EQ(permissionsOf(server.local("/slow/notes.txt")), expectedMode) << what;
        EXPECT_EQ(wroteDirectly, direct) << what;
        // A stop leaves the hidden copy, which only a finished run removes.
        const QStringList left = QDir(server.local("/slow")).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), stopHalfway ? 2 : 1) << what;
        if (stopHalfway) {
            EXPECT_TRUE(temporary.match(left.first()).hasMatch()) << left.first().toStdString();
        }
    }
}
