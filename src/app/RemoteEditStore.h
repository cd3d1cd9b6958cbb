#pragma once

#include "RemoteEdit.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The open remote edits in "remote-edits.json" beside the profiles file, and the private folders
// that hold the local copies.
namespace RemoteEditStore {

QString file();
// "Remote Edits" in the data folder.
QString copiesFolder();
// A fresh owner-only folder named by a new UUID inside copiesFolder(), which it creates as
// needed. Throws std::system_error.
QString newCopyFolder();

// Adds the edit at the end of the list as it is on disk, or replaces the one of its id in its
// place. Returns where a file that could not be read was kept before it was replaced (empty when
// there was none). Throws std::system_error when the folder or the file cannot be written.
QString put(const RemoteEdit& edit);
// Removes the edit of that id from the list as it is on disk; returns and throws as put() does.
QString remove(const QUuid& id);
// Replaces the whole list, whatever the file held; throws as put() does.
void save(const QList<RemoteEdit>& edits);
// No file means no edits; a file that cannot be read or decoded throws (std::system_error or
// FTPError "invalid_edits") and is left as it is.
QList<RemoteEdit> load();

// One compact array, each object's keys in record order.
QByteArray encode(const QList<RemoteEdit>& edits);
// Throws FTPError "invalid_edits".
QList<RemoteEdit> decode(const QByteArray& document);

} // namespace RemoteEditStore
