#include "AtomicFile.h"
#include "CliTestRun.h"
#include "KeychainStore.h"
#include "L10n.h"
#include "PrivateKeyring.h"
#include "ProfileStore.h"
#include "StoreFile.h"
#include "TemporaryFolder.h"
#include "TestFiles.h"

#include <QJsonDocument>
#include <QProcess>
#include <QThread>
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

QString writeProfile(const TemporaryFolder& folder, const ServerProfile& profile)
{
    return folder.write(profile.idText() + QStringLiteral(".json"), QJsonDocument(profile.toJson()).toJson());
}

// Whether the kernel lists process `pid` as waiting for an flock.
bool waitsForALock(qint64 pid)
{
    const QByteArray waiter = "-> FLOCK  ADVISORY  WRITE " + QByteArray::number(pid) + ' ';
    for (int attempt = 0; attempt < 600; ++attempt, QThread::msleep(50))
        if (contentOf(QStringLiteral("/proc/locks")).contains(waiter))
            return true;
    return false;
}

} // namespace

// Another program (the window) is changing the profiles: the command waits, then works on what
// that program wrote rather than on what it read before.
TEST(SavedProfileCommands, ASaveWaitsForAChangeInProgressAndKeepsWhatItWrote)
{
    const TemporaryFolder folder;
    const ServerProfile meanwhile = profile(QStringLiteral("Saved meanwhile"), false);
    const ServerProfile added = profile(QStringLiteral("From the command line"), false);
    std::optional<FileLock> held = StoreFile::lock(ProfileStore::folder());
    QProcess cli;
    cli.start(CliTestRun::program, {QStringLiteral("save-profile"), writeProfile(folder, added)});
    ASSERT_TRUE(waitsForALock(cli.processId()));
    AtomicFile::write(ProfileStore::file(), ProfileStore::encode({meanwhile}));
    held.reset();
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(ProfileStore::load(), (QList<ServerProfile>{meanwhile, added}));
}

// Without any secret store a profile is still saved, only without the password it was to remember.
TEST(SavedProfileCommands, WithoutASecretStoreProfilesAreKeptWithoutTheirPasswords)
{
    REQUIRE_PRIVATE_KEYRING();
    const PrivateKeyring noStore(PrivateKeyring::Secrets::none);
    const TemporaryFolder folder;
    ServerProfile remembering = profile(QStringLiteral("Remembering"), true);
    const CliTestRun failed =
        CliTestRun::run({"save-profile", writeProfile(folder, remembering), "--password-stdin"}, "pw\n");
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_TRUE(failed.error.contains(L("secret_store_missing").toUtf8())) << failed.error.toStdString();
    remembering.rememberPassword = false;
    EXPECT_EQ(ProfileStore::load(), QList<ServerProfile>{remembering});
    EXPECT_EQ(CliTestRun::run({"remove-profile", "Remembering"}).exitStatus, 0);
    EXPECT_TRUE(ProfileStore::load().isEmpty());
}

TEST(SavedProfileCommands, SavingReplacingAndRemovingKeepTheFileAndTheSecretStoreInStep)
{
    REQUIRE_PRIVATE_KEYRING();
    PrivateKeyring keyring;
    TemporaryFolder folder;
    const auto write = [&](const ServerProfile& profile) { return writeProfile(folder, profile); };
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
