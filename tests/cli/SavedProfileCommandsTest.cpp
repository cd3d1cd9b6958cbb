#include "CliTestRun.h"
#include "KeychainStore.h"
#include "PrivateKeyring.h"
#include "ProfileStore.h"
#include "TemporaryFolder.h"

#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <optional>

namespace {

class SavedProfileCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_PRIVATE_KEYRING();
        keyring.emplace(); // and, with it, one case per process: the data folder is new
    }

    QString write(const ServerProfile& profile)
    {
        return folder.write(profile.idText() + QStringLiteral(".json"), QJsonDocument(profile.toJson()).toJson());
    }

    static ServerProfile profile(const QString& name, bool remember)
    {
        ServerProfile p;
        p.name = name;
        p.host = QStringLiteral("ftp.example.org");
        p.username = QStringLiteral("anna");
        p.rememberPassword = remember;
        return p;
    }

    static QByteArray file()
    {
        QFile in(ProfileStore::file());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(none)");
    }

    std::optional<PrivateKeyring> keyring;
    TemporaryFolder folder;
};

TEST_F(SavedProfileCommandsTest, SavingReplacingAndRemovingKeepTheFileAndTheSecretStoreInStep)
{
    ServerProfile first = profile(QStringLiteral("First"), true);
    const ServerProfile second = profile(QStringLiteral("Second"), false);
    CliTestRun run = CliTestRun::run({"save-profile", write(first), "--password-stdin"}, "s3cret pass\nrest\n");
    ASSERT_EQ(run.exitStatus, 0) << run.error.toStdString();
    EXPECT_EQ(run.output, QByteArray("Connection saved: First\n"));
    EXPECT_EQ(KeychainStore::password(first.id), QStringLiteral("s3cret pass"));
    ASSERT_EQ(CliTestRun::run({"save-profile", write(second)}).exitStatus, 0);

    first.name = QStringLiteral("First, renamed");
    first.rememberPassword = false;
    ASSERT_EQ(CliTestRun::run({"save-profile", write(first)}).exitStatus, 0);
    EXPECT_EQ(ProfileStore::load(), (QList<ServerProfile>{first, second}));
    EXPECT_EQ(keyring->itemCount(QString::fromLatin1(KeychainStore::service), first.idText()), 0);
    EXPECT_FALSE(file().contains("s3cret"));

    run = CliTestRun::run({"profiles"});
    EXPECT_EQ(run.output.count('\n'), 2);
    EXPECT_TRUE(run.output.startsWith("{\"host\""));

    EXPECT_EQ(CliTestRun::run({"remove-profile", "First, renamed"}).exitStatus, 0);
    EXPECT_EQ(ProfileStore::load(), QList<ServerProfile>{second});
    EXPECT_EQ(CliTestRun::run({"remove-profile", second.idText()}).exitStatus, 0);
    EXPECT_TRUE(ProfileStore::load().isEmpty());
    EXPECT_TRUE(CliTestRun::run({"remove-profile", "First"}).error.contains("no saved profile"));
}

TEST_F(SavedProfileCommandsTest, ASecretStoreFailureLeavesTheProfilesFileAsItWas)
{
    const ServerProfile kept = profile(QStringLiteral("Kept"), true);
    ASSERT_EQ(CliTestRun::run({"save-profile", write(kept), "--password-stdin"}, "pw\n").exitStatus, 0);
    const QByteArray before = file();
    keyring->lock();

    const CliTestRun save =
        CliTestRun::run({"save-profile", write(profile(QStringLiteral("New"), true)), "--password-stdin"}, "pw\n");
    EXPECT_EQ(save.exitStatus, 1);
    EXPECT_TRUE(save.error.startsWith("Keychain: ")) << save.error.toStdString();
    const CliTestRun remove = CliTestRun::run({"remove-profile", "Kept"});
    EXPECT_EQ(remove.exitStatus, 1);
    EXPECT_TRUE(remove.error.startsWith("Keychain: ")) << remove.error.toStdString();
    EXPECT_EQ(file(), before);
}

} // namespace
