#pragma once

#include "FileLock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <algorithm>
#include <functional>
#include <optional>

// The data files that the window, a second copy of the program and the command line share
// ("servers.json", "remote-edits.json", the queue file). Each change is made under an exclusive
// lock of their folder, on the file as it is on disk at that moment, so that no program writes back
// a list it read earlier and drops what another one added meanwhile.
namespace StoreFile {

// The lock of the data folder `folder`, which is made owner-only first. Throws std::system_error.
FileLock lock(const QString& folder);

// Under the lock: `rewrite` turns the file's content as it is now (nothing when the file is
// missing) into the new content, which replaces the file atomically. A file that cannot be read,
// or whose content `rewrite` refuses by throwing, is first moved aside, owner-only, as
// "<name>.unreadable-<date-time>", and `rewrite` starts again from nothing; the returned path is
// where it was kept (empty when nothing was moved). A folder in the file's place is left there and
// the change fails. Throws std::system_error or what `rewrite` throws.
QString change(const QString& path, const std::function<QByteArray(const std::optional<QByteArray>&)>& rewrite);

// What to tell the person after change() kept `file` aside as `keptAs`; nothing when it did not.
std::optional<QString> keptNotice(const QString& file, const QString& keptAs);

// Under the lock: replaces the file with `bytes`, whatever it held.
void replace(const QString& path, const QByteArray& bytes);

// Adds `record` at the end of `records`, or replaces the one of its id in its place.
template <typename Record> void put(QList<Record>& records, const Record& record)
{
    const auto same =
        std::find_if(records.begin(), records.end(), [&record](const Record& saved) { return saved.id == record.id; });
    if (same == records.end())
        records.append(record);
    else
        *same = record;
}

template <typename Record> void remove(QList<Record>& records, const QUuid& id)
{
    records.removeIf([&id](const Record& saved) { return saved.id == id; });
}

// Under the lock: removes what writes of these files left behind when their program was killed.
void removeStaleTemporaries(const QStringList& paths);

} // namespace StoreFile
