#pragma once

#include "ComparisonRow.h"
#include "FTPClient.h"

#include <QList>
#include <QString>
#include <functional>
#include <stop_token>

// Walks a local and a remote folder recursively and pairs their items by relative path. Holds no
// state: the caller keeps the result.
namespace FolderComparison {

// Folders are read down to this depth below each root, which is depth 0.
inline constexpr int maximumDepth = 99;
// Items collected on either side.
inline constexpr qsizetype maximumEntries = 50000;

// Blocks: call it off the main thread. One row per path of either side, in code-point order of
// the paths; local symbolic links are left out. Throws FTPError "folder_depth" or "batch_limit",
// std::filesystem::filesystem_error for an unreadable local item, the client's errors for the
// remote side, and CancellationError once `token` is stopped.
QList<ComparisonRow> compare(const QString& local, const QString& remote, const FTPClient& client,
                             std::stop_token token);

// One listing of a remote folder.
using ListFolder = std::function<QList<FileEntry>(const QString& remotePath)>;
// The same over any source of remote listings.
QList<ComparisonRow> compare(const QString& local, const QString& remote, const ListFolder& list,
                             std::stop_token token);

} // namespace FolderComparison
