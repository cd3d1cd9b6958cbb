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

// Throws std::system_error when the folder or the file cannot be written.
void save(const QList<ServerProfile>& profiles);
// The start-up read: no file means no profiles; a file that cannot be read or decoded throws
// (std::system_error or FTPError "invalid_profile") and is left as it is.
QList<ServerProfile> load();

// Indented, keys sorted.
QByteArray encode(const QList<ServerProfile>& profiles);
// Throws FTPError "invalid_profile".
QList<ServerProfile> decode(const QByteArray& document);

} // namespace ProfileStore
