#pragma once

#include "ServerProfile.h"
#include "TransferItem.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The transfer queue on disk, "transfer-queue.json" beside the profiles: one compact JSON array
// with an object per waiting, running or failed entry, in queue order, keyed "id", "profile" (the
// whole profile, never a password), "upload", "localURL" (a file URL), "remotePath" and
// "directory". State, progress, errors and resume settings are not saved.
namespace QueueStore {

QString file();

// Whether an entry in this state is written to the file.
bool isSaved(TransferItem::State state);
// The saved form of one entry, whatever its state.
QByteArray record(const TransferItem& item);
// The same with the saved form of its profile already at hand, since the entries of a request
// share one profile.
QByteArray record(const TransferItem& item, const QByteArray& profile);
QByteArray profileRecord(const ServerProfile& profile);
// The file's content for entries already in their saved form.
QByteArray join(const QList<QByteArray>& records);
// The file's content for a queue: the saved entries only.
QByteArray data(const QList<TransferItem>& transfers);

// Writes the file atomically into the owner-only data folder, the file itself owner-only.
// Throws std::system_error; the old file is untouched on failure.
void save(const QByteArray& bytes);
// The saved entries whose profile is still among `profiles`, as failed entries with the
// "queue_restored" note, each with the current profile and no password. No file means no
// entries; a file that cannot be read throws std::system_error, one that is not a list of
// complete records throws FTPError "invalid_queue", and either is left as it is.
QList<TransferItem> load(const QList<ServerProfile>& profiles);
QList<TransferItem> decode(const QByteArray& document, const QList<ServerProfile>& profiles);

} // namespace QueueStore
