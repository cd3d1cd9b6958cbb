#include "FTPClient.h"
#include "FTPError.h"
#include "L10n.h"
#include "ProFTPDServer.h"
#include "QtPrinters.h"
#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime fixedDate(QDate(2024, 1, 31), QTime(12, 0), QTimeZone::utc());

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void setDate(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(fixedDate, QFileDevice::FileModificationTime);
}

QString failureText(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FTPError& error) {
        return error.errorDescription();
    }
    return QStringLiteral("(no error)");
}

const QStringList awkwardNames{"with space", "100%", "#hash", "what?", QString::fromUtf8("\xc3\x9cnic\xc3\xb6""de \xe2\x9c\x93"),
                               " leading space", "semi;type=a"};

// A folder holding every awkward name as a file, a sub-folder and a symbolic link to a folder.
void fillAwkwardFolder(const ProFTPDServer& server)
{
    for (const QString& name : awkwardNames)
        setDate(server.put("/names/" + name, name.toUtf8()));
    QDir().mkpath(server.local("/names/sub folder"));
    setDate(server.local("/names/sub folder"));
    ::symlink("sub folder", QFile::encodeName(server.local("/names/link")).constData());
}

struct ServerCase {
    const char* label;
    ProFTPDServer::Kind kind;
    FTPProtocol protocol;
};

}

TEST(FTPServerListing, AwkwardNamesListTheSameOverEveryServerAndProtocol)
{
    const ServerCase cases[] = {
        {"MLSD over FTP", ProFTPDServer::Kind::plainAndExplicitTLS, FTPProtocol::ftp},
        {"MLSD over explicit TLS", ProFTPDServer::Kind::plainAndExplicitTLS, FTPProtocol::explicitTLS},
        {"MLSD over implicit TLS", ProFTPDServer::Kind::implicitTLS, FTPProtocol::implicitTLS},
        {"LIST fallback", ProFTPDServer::Kind::withoutMLSD, FTPProtocol::explicitTLS},
    };
    for (const ServerCase& c : cases) {
        SCOPED_TRACE(c.label);
        ProFTPDServer server({c.kind, false});
        fillAwkwardFolder(server);
        const QList<FileEntry> entries =
            FTPClient(server.profile(c.protocol), ProFTPDServer::password()).list("/names", {});
        const bool mlsd = c.kind != ProFTPDServer::Kind::withoutMLSD;
        QStringList names;
        for (const FileEntry& entry : entries) {
            names << entry.name;
            if (entry.name == "sub folder") {
                EXPECT_TRUE(entry.isDirectory);
            } else {
                EXPECT_FALSE(entry.isDirectory) << entry.name.toStdString();
            }
            if (awkwardNames.contains(entry.name)) {
                EXPECT_EQ(entry.size, entry.name.toUtf8().size());
                EXPECT_EQ(entry.modified, mlsd ? std::optional(fixedDate) : std::nullopt);
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
    try {
        FTPClient(untrusted.profile(FTPProtocol::explicitTLS), ProFTPDServer::password()).list("/", {});
        FAIL() << "a certificate the authority did not sign was accepted";
    } catch (const FTPError& error) {
        EXPECT_EQ(error.exitStatus(), 60);
        EXPECT_TRUE(error.errorDescription().startsWith(L("invalid_certificate")));
    }

    ProFTPDServer server;
    const FTPClient wrongPassword(server.profile(FTPProtocol::explicitTLS), QStringLiteral("wrong"));
    const FTPClient client(server.profile(FTPProtocol::explicitTLS), ProFTPDServer::password());
    const std::tuple<std::function<void()>, int, QString> cases[] = {
        {[&] { wrongPassword.createDirectory("/x", {}); }, 67, L("auth_failed")},
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
    FTPServerOperations()
        : server({GetParam() == FTPProtocol::implicitTLS ? ProFTPDServer::Kind::implicitTLS
                                                         : ProFTPDServer::Kind::plainAndExplicitTLS,
                  false}),
          client(server.profile(GetParam()), ProFTPDServer::password())
    {
    }

    ProFTPDServer server;
    FTPClient client;
    TemporaryFolder local;
};

TEST_P(FTPServerOperations, FolderCommandsChangeTheServersFiles)
{
    client.createDirectory("/new folder #1", {});
    EXPECT_TRUE(QFileInfo(server.local("/new folder #1")).isDir());
    client.ensureDirectory("/new folder #1", {});
    client.ensureDirectory(QString::fromUtf8("/caf\xc3\xa9"), {});
    EXPECT_TRUE(QFileInfo(server.local(QString::fromUtf8("/caf\xc3\xa9"))).isDir());
    EXPECT_TRUE(failureText([&] { client.ensureDirectory("/no/such/parent", {}); }).startsWith(L("inaccessible")));

    server.put("/old name?", "payload");
    client.rename("/old name?", "/new folder #1/moved 100%", {});
    EXPECT_FALSE(QFile::exists(server.local("/old name?")));
    EXPECT_EQ(contentOf(server.local("/new folder #1/moved 100%")), QByteArray("payload"));

    client.permissions("/new folder #1/moved 100%", "640", {});
    struct stat attributes {};
    ::stat(QFile::encodeName(server.local("/new folder #1/moved 100%")).constData(), &attributes);
    EXPECT_EQ(attributes.st_mode & 0777, 0640u);

    client.deleteItem("/new folder #1/moved 100%", false, {});
    EXPECT_FALSE(QFile::exists(server.local("/new folder #1/moved 100%")));
    client.deleteItem("/new folder #1", true, {});
    EXPECT_FALSE(QFile::exists(server.local("/new folder #1")));
}

TEST_P(FTPServerOperations, DeleteTreeRemovesEverythingButFollowsNoLink)
{
    server.put("/outside/keep.txt", "kept");
    server.put("/tree/a.txt", "a");
    server.put("/tree/ sub/b c.txt", "b");
    server.put("/tree/ sub/deeper/d#.txt", "d");
    ::symlink("../../outside", QFile::encodeName(server.local("/tree/ sub/link to outside")).constData());
    client.deleteTree("/tree", true, 0, {});
    EXPECT_FALSE(QFileInfo::exists(server.local("/tree")));
    EXPECT_EQ(contentOf(server.local("/outside/keep.txt")), QByteArray("kept"));
}

TEST_P(FTPServerOperations, UploadsRespectOverwriteAndResume)
{
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
}

TEST_P(FTPServerOperations, DownloadsInstallTheRemoteBytes)
{
    const QByteArray bytes = QByteArray("remote \xff\x00 bytes\r\n", 17).repeated(3000);
    server.put("/dir/file #1.bin", bytes);
    const QString destination = local.file("file.bin");
    client.download("/dir/file #1.bin", destination, false, {}, {}, false, {}, {});
    EXPECT_EQ(contentOf(destination), bytes);
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"file.bin"});
}

INSTANTIATE_TEST_SUITE_P(Protocols, FTPServerOperations,
                         testing::Values(FTPProtocol::ftp, FTPProtocol::explicitTLS, FTPProtocol::implicitTLS),
                         [](const testing::TestParamInfo<FTPProtocol>& info) {
                             return FTPProtocols::rawValue(info.param).toStdString();
                         });
