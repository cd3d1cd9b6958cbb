#pragma once

#include "ServerProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The saved profiles, in sidebar order, in "servers.json" of the application data folder, which
// the queue and the remote edits share. Passwords never go into the file.
namespace ProfileStore {

QString folder();
QString file();

// The saved list after a change, and where a file that could not be read was kept before it
// was replaced (empty when there was none).
struct Saved {
    QList<ServerProfile> profiles;
    QString keptAs;
};

// Adds the profile at the end of the list as it is on disk, or replaces the one of its id in its
// place. Throws std::system_error when the folder or the file cannot be written.
Saved put(const ServerProfile& profile);
// Removes the profile of that id from the list as it is on disk; throws as put() does.
Saved remove(const QUuid& id);
// Replaces the whole list, whatever the file held; throws as put() does.
void save(const QList<ServerProfile>& profiles);
// The start-up read: no file means no profiles; a file that cannot be read or decoded throws
// (std::system_error or FTPError "invalid_profile") and is left as it is.
QList<ServerProfile> load();

// Whether the saved profile of that id remembers its password, as the file says now; false when
// the file cannot be read.
bool remembersPassword(const QUuid& id);

// Indented, keys sorted.
QByteArray encode(const QList<ServerProfile>& profiles);
// Throws FTPError "invalid_profile".
QList<ServerProfile> decode(const QByteArray& document);

} // namespace ProfileStore
