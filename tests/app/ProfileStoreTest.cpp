#include "ProfileStore.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <system_error>

using namespace ftptest;

namespace {

QStringList folderFiles()
{
    return QDir(ProfileStore::folder()).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(ProfileStoreTest, SavedProfilesComeBackInOrderFromAPrivateSortedFile)
{
    ServerProfile first;
    first.name = QStringLiteral("Z first");
    first.host = QStringLiteral("ftp.example.org");
    first.rememberPassword = true;
    ServerProfile sftp;
    sftp.name = QStringLiteral("B");
    sftp.protocolType = FTPProtocol::sftp;
    sftp.sshFingerprint = QStringLiteral("SHA256:abc");
    const QList<ServerProfile> profiles{first, sftp};
    QDir().mkpath(ProfileStore::folder());
    QFile::setPermissions(ProfileStore::folder(), QFile::Permissions(0x7755));

    ProfileStore::save(profiles);
    ProfileStore::save(profiles);

    EXPECT_EQ(ProfileStore::load(), profiles);
    EXPECT_EQ(permissionsOf(ProfileStore::folder()), 0700u);
    EXPECT_EQ(permissionsOf(ProfileStore::file()), 0600u);
    EXPECT_EQ(folderFiles(), QStringList{"servers.json"});

    const QByteArray text = contentOf(ProfileStore::file());
    EXPECT_TRUE(text.startsWith("[\n    {\n        \"host\": \"ftp.example.org\",\n        \"id\"")) << text.data();
    qsizetype previous = -1;
    for (const char* key : {"\"id\"", "\"initialPath\"", "\"name\"", "\"port\"", "\"protocolType\"",
                            "\"rememberPassword\"", "\"username\""}) {
        EXPECT_GT(text.indexOf(key), previous) << key;
        previous = text.indexOf(key);
    }
    EXPECT_LT(text.indexOf("\"Z first\""), text.indexOf("\"B\""));
    EXPECT_FALSE(text.contains("password\""));
}

TEST(ProfileStoreTest, AMissingFileIsNoProfilesButABadOneIsAnErrorAndStaysAsItIs)
{
    QDir(ProfileStore::folder()).removeRecursively();
    EXPECT_TRUE(ProfileStore::load().isEmpty());
    EXPECT_FALSE(QFile::exists(ProfileStore::folder()));

    const std::pair<const char*, const char*> cases[] = {
        {"[{\"name\": ", "could not be read"},
        {"{\"id\": 1}", "servers.json"},
        {"[17]", "servers.json"},
        {"[{\"name\": \"x\"}]", "id"},
    };
    for (const auto& [content, expected] : cases) {
        writeFile(ProfileStore::file(), content);
        const QString failure = failureText([] { ProfileStore::load(); });
        EXPECT_TRUE(failure != "(no error)" && failure.contains(QLatin1String(expected))) << content;
        EXPECT_EQ(contentOf(ProfileStore::file()), QByteArray(content));
    }

    QFile::remove(ProfileStore::file());
    QDir().mkpath(ProfileStore::file());
    EXPECT_THROW(ProfileStore::load(), std::system_error);

    // A folder in the file's place defeats the rename even for root, who may write anywhere.
    QDir().mkpath(ProfileStore::file() + QStringLiteral("/inside"));
    EXPECT_THROW(ProfileStore::save({ServerProfile()}), std::system_error);
    EXPECT_EQ(folderFiles(), QStringList());
}
