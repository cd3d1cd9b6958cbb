#pragma once

#include "FTPClient.h"
#include "FileEntry.h"
#include "PlannedTransfer.h"
#include "TransferPlanner.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <stop_token>

// One item a person asked to transfer: the entry as its pane lists it, the local path (source of
// an upload, destination of a download) and the remote path (the other end).
struct TransferSource {
    FileEntry entry;
    QString local;
    QString remote;
};

// A request to upload or download several items, planned as a whole before anything is queued:
// the queue of the application and dravik-cli plan through here alike.
namespace TransferRequest {

inline constexpr qsizetype maximumRecords = 50000;

// Dropped or named local items to upload into `remoteFolder`, each path made absolute and clean,
// later duplicates left out. Throws FTPError "invalid_filename" for a name the server cannot take,
// "type_conflict" for two items of one name, or the file-system error of an item it cannot read.
QList<TransferSource> localSources(const QStringList& paths, const QString& remoteFolder);

// Every source expanded by the planner, in order, with `resolver` asked about each destination
// that exists. An upload lists each remote folder it writes into once, to find what is there.
// Nothing partial is returned: throws FTPError "batch_limit" past maximumRecords records,
// "duplicate_destination" when two records would write one destination, the planner's and the
// engine's errors, and CancellationError. `skipped` hears of links to folders left out of a download.
QList<PlannedTransfer> plan(bool upload, const QList<TransferSource>& sources, const FTPClient& client,
                            const TransferPlanner::Resolver& resolver, std::stop_token token,
                            const TransferPlanner::Skipped& skipped = {});

} // namespace TransferRequest
