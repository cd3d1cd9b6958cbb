#include "KeychainStore.h"
#include "FTPError.h"
#include "PrivateKeyring.h"

#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>
#include <optional>

namespace {

class KeychainStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateKeyring::available())
            GTEST_SKIP() << "a private keyring needs a process of its own (run the case alone, as ctest does)";
        keyring.emplace(secrets());
    }

    virtual PrivateKeyring::Secrets secrets() const { return PrivateKeyring::Secrets::unlocked; }

    int items(const QUuid& id) const
    {
        return keyring->itemCount(QString::fromLatin1(KeychainStore::service),
                                  id.toString(QUuid::WithoutBraces).toUpper());
    }

    std::optional<PrivateKeyring> keyring;
    const QUuid id = QUuid::createUuid();
};

QString keychainError(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FTPError& error) {
        return error.errorDescription();
    }
    return QStringLiteral("no error");
}

TEST_F(KeychainStoreTest, PasswordsRoundTripAndASecondSaveReplacesTheFirst)
{
    EXPECT_EQ(KeychainStore::password(id), QString());
    KeychainStore::set(QStringLiteral("first"), id);
    KeychainStore::set(QStringLiteral("pässwörd ✓ with spaces"), id);
    EXPECT_EQ(KeychainStore::password(id), QStringLiteral("pässwörd ✓ with spaces"));
    EXPECT_EQ(items(id), 1);

    const QUuid other = QUuid::createUuid();
    KeychainStore::set(QString(), other);
    EXPECT_EQ(KeychainStore::password(other), QString());
    EXPECT_EQ(KeychainStore::password(id), QStringLiteral("pässwörd ✓ with spaces"));

    KeychainStore::deletePassword(id);
    EXPECT_EQ(items(id), 0);
    EXPECT_EQ(KeychainStore::password(id), QString());
}

TEST_F(KeychainStoreTest, TheEventLoopKeepsRunningWhileTheStoreAnswers)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(0);
    KeychainStore::set(QStringLiteral("secret"), id);
    EXPECT_EQ(KeychainStore::password(id), QStringLiteral("secret"));
    EXPECT_GT(ticks, 0);
}

TEST_F(KeychainStoreTest, DeletingAPasswordThatIsNotThereSucceeds)
{
    EXPECT_NO_THROW(KeychainStore::deletePassword(id));
    KeychainStore::set(QStringLiteral("secret"), id);
    KeychainStore::deletePassword(id);
    EXPECT_NO_THROW(KeychainStore::deletePassword(id));
}

TEST_F(KeychainStoreTest, ALockedKeyringIsAnErrorNotAnEmptyPassword)
{
    KeychainStore::set(QStringLiteral("secret"), id);
    keyring->lock();
    EXPECT_TRUE(keychainError([&] { KeychainStore::password(id); }).startsWith(QLatin1String("Keychain: ")));
    EXPECT_TRUE(
        keychainError([&] { KeychainStore::set(QStringLiteral("new"), id); }).startsWith(QLatin1String("Keychain: ")));
    EXPECT_TRUE(keychainError([&] { KeychainStore::deletePassword(id); }).startsWith(QLatin1String("Keychain: ")));
}

TEST_F(KeychainStoreTest, AKeyringThatLeftTheBusIsAnError)
{
    KeychainStore::set(QStringLiteral("secret"), id);
    keyring->stopKeyring();
    EXPECT_TRUE(keychainError([&] { KeychainStore::password(id); }).startsWith(QLatin1String("Keychain: ")));
    EXPECT_TRUE(
        keychainError([&] { KeychainStore::set(QStringLiteral("new"), id); }).startsWith(QLatin1String("Keychain: ")));
}

class NoSecretServiceTest : public KeychainStoreTest {
protected:
    PrivateKeyring::Secrets secrets() const override { return PrivateKeyring::Secrets::none; }
};

TEST_F(NoSecretServiceTest, EveryOperationFailsWithTheKeychainError)
{
    EXPECT_TRUE(keychainError([&] { KeychainStore::password(id); }).startsWith(QLatin1String("Keychain: ")));
    EXPECT_TRUE(
        keychainError([&] { KeychainStore::set(QStringLiteral("x"), id); }).startsWith(QLatin1String("Keychain: ")));
    EXPECT_TRUE(keychainError([&] { KeychainStore::deletePassword(id); }).startsWith(QLatin1String("Keychain: ")));
}

} // namespace
