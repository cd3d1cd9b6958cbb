#pragma once

#include <QString>
#include <QUuid>

// One password per profile in the user's secret store, found by service and profile id.
// Every call blocks its caller until the store answers, while the caller's event loop keeps
// serving everything but user input; call it from the main thread.
namespace KeychainStore {

inline constexpr const char* service = "app.dravik.credentials";

// Stores or replaces the password. Throws FTPError "Keychain: " + the store's message.
void set(const QString& password, const QUuid& id);
// The stored password, or the empty text when there is none. Throws as above.
QString password(const QUuid& id);
// Removes the password; a password that is not there counts as removed. Throws as above.
void deletePassword(const QUuid& id);

} // namespace KeychainStore
