#pragma once

#include "ConflictAction.h"
#include "FTPClient.h"
#include "FileEntry.h"
#include "PlannedTransfer.h"
#include "RemotePath.h"
#include "TransferConflict.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

// Expands one upload or download request into the flat list of folders to create and files to
// copy, asking the resolver about every destination that already exists. Nothing is transferred
// and nothing partial is ever returned: a failure discards the whole plan.
namespace TransferPlanner {

// Blocks until it has an answer; may throw (a cancellation when the user gives up). An empty
// function means there is nobody to ask.
using Resolver = std::function<ConflictAction(const TransferConflict&)>;
// One listing of a remote folder, in display order.
using ListFolder = std::function<QList<FileEntry>(const QString& remotePath)>;
using Taken = std::function<bool(const QString& name)>;
// Told of each symbolic link to a folder met inside a folder being walked: such a link is left
// out rather than followed, as it may lead back up the tree.
using Skipped = std::function<void(const QString& remotePath)>;

inline constexpr int maximumDepth = RemotePath::maximumDepth;
inline constexpr qsizetype maximumRecords = 50000;

// `existing` is what the caller already knows to be at the remote destination. Callers start at
// depth 0. Remote folders are listed through `client`, one at a time, each at most once. A
// download of a symbolic link tries it as a folder first, since listings never call a link one.
QList<PlannedTransfer> upload(const QString& local, const QString& remote, const std::optional<FileEntry>& existing,
                              const FTPClient& client, int depth, const Resolver& resolver, std::stop_token token);
QList<PlannedTransfer> download(const FileEntry& entry, const QString& local, const QString& remote,
                                const FTPClient& client, int depth, const Resolver& resolver, std::stop_token token,
                                const Skipped& skipped = {});

// The same over any source of remote listings, for callers that already hold the listings.
QList<PlannedTransfer> upload(const QString& local, const QString& remote, const std::optional<FileEntry>& existing,
                              const ListFolder& list, int depth, const Resolver& resolver, std::stop_token token);
QList<PlannedTransfer> download(const FileEntry& entry, const QString& local, const QString& remote,
                                const ListFolder& list, int depth, const Resolver& resolver, std::stop_token token,
                                const Skipped& skipped = {});

// "name (2).ext", "name (3).ext", ...; throws FTPError "batch_limit" when every candidate is taken.
QString availableName(const QString& name, bool directory, const Taken& taken);
// The text after the last dot, unless that dot starts the name or ends it.
QString pathExtension(const QString& name);

} // namespace TransferPlanner
