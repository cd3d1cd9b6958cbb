#pragma once

#include "PrivateSessionBus.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>

// A session bus and a GNOME Keyring that belong to one test process: their own configuration,
// runtime and home folders, so that the user's real keyring is never touched. The process's
// DBUS_SESSION_BUS_ADDRESS points at the bus while the object lives.
//
// GLib keeps one session-bus connection per process for good, so a process gets one private
// keyring at most; ctest runs every test case in a process of its own.
class PrivateKeyring {
public:
    enum class Secrets { unlocked, none };

    explicit PrivateKeyring(Secrets secrets = Secrets::unlocked);
    ~PrivateKeyring();
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;

    // False when this process already had a keyring; the caller should skip.
    static bool available() { return !used.load(); }

    // Locks the default collection; nothing on the bus can then unlock it without a prompt.
    void lock() const;
    // Ends the keyring daemon; the bus stays without a secret service.
    void stopKeyring();
    // Items of `service` stored for `account` by the application's store.
    int itemCount(const QString& service, const QString& account) const;

private:
    static inline std::atomic<bool> used{false};
    QString run(const QString& program, const QStringList& arguments) const;

    QTemporaryDir folder;
    QByteArray previousAddress;
    PrivateSessionBus bus;
    QProcess keyring;
};

#define REQUIRE_PRIVATE_KEYRING()                                                                                      \
    if (!PrivateKeyring::available())                                                                                  \
    GTEST_SKIP() << "a private keyring needs a process of its own (run the case alone, as ctest does)"
