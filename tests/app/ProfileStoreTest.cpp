#include "ProfileStore.h"
#include "FTPError.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <system_error>

namespace {

ServerProfile profile(const QString& name, bool remember)
{
    ServerProfile p;
    p.name = name;
    p.host = QStringLiteral("ftp.example.org");
    p.username = QStringLiteral("anna");
    p.rememberPassword = remember;
    return p;
}

int permissions(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return static_cast<int>(info.st_mode & 07777);
}

class ProfileStoreTest : public testing::Test {
protected:
    void SetUp() override { QDir(ProfileStore::folder()).removeRecursively(); }
    void TearDown() override { QDir(ProfileStore::folder()).removeRecursively(); }
};

TEST_F(ProfileStoreTest, NoFileMeansNoProfilesAndCreatesNothing)
{
    EXPECT_TRUE(ProfileStore::load().isEmpty());
    EXPECT_FALSE(QFile::exists(ProfileStore::folder()));
    EXPECT_TRUE(ProfileStore::file().endsWith(QLatin1String("/Dravik FTP/servers.json")));
}

TEST_F(ProfileStoreTest, SavedProfilesComeBackInOrderFromAPrivateSortedFile)
{
    ServerProfile sftp = profile(QStringLiteral("B"), false);
    sftp.protocolType = FTPProtocol::sftp;
    sftp.sshFingerprint = QStringLiteral("SHA256:abc");
    const QList<ServerProfile> profiles{profile(QStringLiteral("Z first"), true), sftp};
    QDir().mkpath(ProfileStore::folder());
    QFile::setPermissions(ProfileStore::folder(), QFile::Permissions(0x7755));

    ProfileStore::save(profiles);
    ProfileStore::save(profiles);

    EXPECT_EQ(ProfileStore::load(), profiles);
    EXPECT_EQ(permissions(ProfileStore::folder()), 0700);
    EXPECT_EQ(permissions(ProfileStore::file()), 0600);
    EXPECT_EQ(QDir(ProfileStore::folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"servers.json"});

    QFile file(ProfileStore::file());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("\n    {\n        \"host\""));
    const QJsonObject first = QJsonDocument::fromJson(text).array().first().toObject();
    const QStringList keys = first.keys();
    EXPECT_EQ(keys, (QStringList{"host", "id", "initialPath", "name", "port", "protocolType", "rememberPassword",
                                 "username"}));
    // The written order is what QJsonObject::keys() reports only because both are sorted.
    EXPECT_LT(text.indexOf("\"id\""), text.indexOf("\"initialPath\""));
    EXPECT_LT(text.indexOf("\"Z first\""), text.indexOf("\"B\""));
    EXPECT_FALSE(text.contains("password\""));
}

TEST_F(ProfileStoreTest, AFileThatCannotBeReadOrDecodedIsAnErrorAndStaysAsItIs)
{
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
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray(c.content));
        file.close();
    }

    QFile::remove(ProfileStore::file());
    QDir().mkpath(ProfileStore::file());
    EXPECT_THROW(ProfileStore::load(), std::system_error);
}

TEST_F(ProfileStoreTest, AFailedSaveThrowsAndLeavesNoTemporaryFileBehind)
{
    // A folder in the file's place defeats the rename even for root, who may write anywhere.
    QDir().mkpath(ProfileStore::file() + QStringLiteral("/inside"));
    EXPECT_THROW(ProfileStore::save({profile(QStringLiteral("new"), false)}), std::system_error);
    EXPECT_EQ(QDir(ProfileStore::folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

} // namespace
