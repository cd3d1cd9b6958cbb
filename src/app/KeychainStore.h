#pragma once

#include "UserFacingError.h"

#include <QFuture>
#include <QString>
#include <QUuid>

// One password per profile in the user's secret store, found by service and profile id.
namespace KeychainStore {

inline constexpr const char* service = "app.dravik.credentials";

// The desktop runs no secret store at all, so no password can be kept or read there. A removal
// never fails with it: no password can be in a store that does not exist.
class MissingStore : public UserFacingError {
public:
    QString errorDescription() const override;
};

// Each operation starts at once and finishes on the calling thread's event loop, which must be
// running; the future fails with MissingStore, or with FTPError "Keychain: " + the store's
// message.
//
// Stores or replaces the password.
QFuture<void> setPassword(const QString& password, const QUuid& id);
// The stored password, or the empty text when there is none.
QFuture<QString> readPassword(const QUuid& id);
// Removes the password; a password that is not there counts as removed.
QFuture<void> removePassword(const QUuid& id);

// The same for callers without a running event loop: each blocks until the store answers while
// the caller's thread keeps serving everything but user input, and throws the errors above.
void set(const QString& password, const QUuid& id);
QString password(const QUuid& id);
void deletePassword(const QUuid& id);

} // namespace KeychainStore
