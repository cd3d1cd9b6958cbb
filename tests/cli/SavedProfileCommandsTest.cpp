#include "CliTestRun.h"
#include "KeychainStore.h"
#include "PrivateKeyring.h"
#include "ProfileStore.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using ftptest::contentOf;

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

} // namespace

TEST(SavedProfileCommands, SavingReplacingAndRemovingKeepTheFileAndTheSecretStoreInStep)
{
    REQUIRE_PRIVATE_KEYRING();
    PrivateKeyring keyring;
    TemporaryFolder folder;
    const auto write = [&](const ServerProfile& profile) {
        return folder.write(profile.idText() + QStringLiteral(".json"), QJsonDocument(profile.toJson()).toJson());
    };
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
    EXPECT_EQ(keyring.itemCount(QString::fromLatin1(KeychainStore::service), first.idText()), 0);
    EXPECT_FALSE(contentOf(ProfileStore::file()).contains("s3cret"));

    run = CliTestRun::run({"profiles"});
    EXPECT_EQ(run.output.count('\n'), 2);
    EXPECT_TRUE(run.output.startsWith("{\"host\""));

    EXPECT_EQ(CliTestRun::run({"remove-profile", "First, renamed"}).exitStatus, 0);
    EXPECT_EQ(ProfileStore::load(), QList<ServerProfile>{second});
    EXPECT_EQ(CliTestRun::run({"remove-profile", second.idText()}).exitStatus, 0);
    EXPECT_TRUE(ProfileStore::load().isEmpty());
    EXPECT_TRUE(CliTestRun::run({"remove-profile", "First"}).error.contains("no saved profile"));

    // A secret store that fails leaves the profiles file as it was.
    ASSERT_EQ(CliTestRun::run({"save-profile", write(profile("Kept", true)), "--password-stdin"}, "pw\n").exitStatus,
              0);
    const QByteArray before = contentOf(ProfileStore::file());
    keyring.lock();
    for (const QStringList& words : {QStringList{"save-profile", write(profile("New", true)), "--password-stdin"},
                                     QStringList{"remove-profile", "Kept"}}) {
        const CliTestRun failed = CliTestRun::run(words, "pw\n");
        EXPECT_EQ(failed.exitStatus, 1);
        EXPECT_TRUE(failed.error.startsWith("Keychain: ")) << failed.error.toStdString();
    }
    EXPECT_EQ(contentOf(ProfileStore::file()), before);
}
