#include "KeychainStore.h"
#include "L10n.h"
#include "PrivateKeyring.h"
#include "TestFiles.h"

#include <QTimer>
#include <QUuid>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(KeychainStoreTest, PasswordsRoundTripAndASecondSaveReplacesTheFirst)
{
    REQUIRE_PRIVATE_KEYRING();
    PrivateKeyring keyring;
    const QUuid id = QUuid::createUuid();
    const auto items = [&] {
        return keyring.itemCount(QString::fromLatin1(KeychainStore::service),
                                 id.toString(QUuid::WithoutBraces).toUpper());
    };
    // The store waits for its backend without freezing the main thread's other work.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(0);

    EXPECT_EQ(KeychainStore::password(id), QString());
    EXPECT_NO_THROW(KeychainStore::deletePassword(id));
    KeychainStore::set(QStringLiteral("first"), id);
    KeychainStore::set(QStringLiteral("pässwörd ✓ with spaces"), id);
    EXPECT_EQ(KeychainStore::password(id), QStringLiteral("pässwörd ✓ with spaces"));
    EXPECT_EQ(items(), 1);
    EXPECT_GT(ticks, 0);

    const QUuid other = QUuid::createUuid();
    KeychainStore::set(QString(), other);
    EXPECT_EQ(KeychainStore::password(other), QString());
    EXPECT_EQ(KeychainStore::password(id), QStringLiteral("pässwörd ✓ with spaces"));

    KeychainStore::deletePassword(id);
    EXPECT_EQ(items(), 0);
    EXPECT_EQ(KeychainStore::password(id), QString());
}

// "locked", "keyringGone" or "none" (no secret service on the bus at all).
class KeychainFaultTest : public testing::TestWithParam<std::string> {};

// Each failure must be the store's error, never a crash or a silent empty password; without any
// store, a password that cannot be there needs no removing.
TEST_P(KeychainFaultTest, EveryOperationFailsWithTheStoresErrorButARemovalFromNoStore)
{
    REQUIRE_PRIVATE_KEYRING();
    const std::string fault = GetParam();
    PrivateKeyring keyring(fault == "none" ? PrivateKeyring::Secrets::none : PrivateKeyring::Secrets::unlocked);
    const QUuid id = QUuid::createUuid();
    if (fault != "none")
        KeychainStore::set(QStringLiteral("secret"), id);
    if (fault == "locked")
        keyring.lock();
    if (fault == "keyringGone")
        keyring.stopKeyring();
    const QString locked = QStringLiteral("Keychain: ") + L("keyring_locked");
    const QString missing = L("secret_store_missing");
    const bool isLocked = fault == "locked";
    const std::pair<std::function<void()>, QString> operations[] = {
        {[&] { KeychainStore::password(id); }, isLocked ? locked : missing},
        {[&] { KeychainStore::set(QStringLiteral("new"), id); }, isLocked ? QStringLiteral("Keychain: ") : missing},
        {[&] { KeychainStore::deletePassword(id); }, isLocked ? locked : QStringLiteral("(no error)")},
    };
    for (const auto& [operation, expected] : operations) {
        const QString failure = ftptest::failureText(operation);
        EXPECT_TRUE(failure.startsWith(expected)) << failure.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, KeychainFaultTest, testing::Values("locked", "keyringGone", "none"),
                         [](const testing::TestParamInfo<std::string>& fault) { return fault.param; });

} // namespace
