#include "ProfileStore.h"
#include "FTPError.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <system_error>

using namespace ftptest;

namespace {

class ProfileStoreTest : public testing::Test {
protected:
    void SetUp() override { QDir(ProfileStore::folder()).removeRecursively(); }
    void TearDown() override { QDir(ProfileStore::folder()).removeRecursively(); }
    QStringList folderFiles() const { return QDir(ProfileStore::folder()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(ProfileStoreTest, SavedProfilesComeBackInOrderFromAPrivateSortedFile)
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

TEST_F(ProfileStoreTest, AMissingFileIsNoProfilesButABadOneIsAnErrorAndStaysAsItIs)
{
    EXPECT_TRUE(ProfileStore::load().isEmpty());
    EXPECT_FALSE(QFile::exists(ProfileStore::folder()));

    const struct {
        const char* content;
        const char* expected;
    } cases[] = {
        {"[{\"name\": ", "could not be read"},
        {"{\"id\": 1}", "servers.json"},
        {"[17]", "servers.json"},
        {"[{\"name\": \"x\"}]", "id"},
    };
    QDir().mkpath(ProfileStore::folder());
    for (const auto& c : cases) {
        QFile file(ProfileStore::file());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        try {
            ProfileStore::load();
            ADD_FAILURE() << c.content;
        } catch (const FTPError& error) {
            EXPECT_TRUE(error.errorDescription().contains(QLatin1String(c.expected))) << c.content;
        }
        EXPECT_EQ(contentOf(ProfileStore::file()), QByteArray(c.content));
    }

    QFile::remove(ProfileStore::file());
    QDir().mkpath(ProfileStore::file());
    EXPECT_THROW(ProfileStore::load(), std::system_error);

    // A folder in the file's place defeats the rename even for root, who may write anywhere.
    QDir().mkpath(ProfileStore::file() + QStringLiteral("/inside"));
    EXPECT_THROW(ProfileStore::save({ServerProfile()}), std::system_error);
    EXPECT_EQ(folderFiles(), QStringList());
}

} // namespace
