#pragma once

#include "FileEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

class LocalFile;
class SFTPWire;

// The file operations over a started wire. Transfers keep a window of requests in flight and
// handle the answers in file order; everything else is a sequence of single requests. Remote
// paths are absolute; a non-zero status from the server throws SFTPFailure.
namespace SFTPOperations {

using Progress = std::function<void(double)>;

namespace OpenFlag {
inline constexpr quint32 read = 0x01;
inline constexpr quint32 write = 0x02;
inline constexpr quint32 create = 0x08;
inline constexpr quint32 truncate = 0x10;
inline constexpr quint32 exclusive = 0x20;
} // namespace OpenFlag

inline constexpr qint64 chunkSize = 32 * 1024;

// The folder's entries without "." and "..", sorted; at most 50,000.
QList<FileEntry> list(SFTPWire& wire, const QString& path);
FileEntry stat(SFTPWire& wire, const QString& path);
// The entry at `path` as its folder's listing shows it, or nothing when there is none: LSTAT says
// the same of a name whose type it tells, and the folder is listed only when it does not.
std::optional<FileEntry> entry(SFTPWire& wire, const QString& path);
// A file that OPEN creates gets `mode`, narrowed by the server's umask; without one, the server's default.
QByteArray open(SFTPWire& wire, const QString& path, quint32 flags, std::optional<quint32> mode = std::nullopt);

// Writes the remote file into `localFile` from `offset` on (0 when absent), strictly in order;
// the local file is never truncated, so octets received before a failure stay.
void download(SFTPWire& wire, const QString& remotePath, LocalFile& localFile, std::optional<qint64> offset,
              const Progress& progress);
// With an offset, continues a remote file that must be exactly `offset` octets long; without
// one, creates the remote file, replacing an existing one only when `overwrite` allows it.
// With `permissions` the remote file has them before the first octet arrives: a new file is
// created with them (so never more readable than they allow) and then given them exactly, the
// bits a umask took included. A server that refuses the latter leaves the narrower mode.
void upload(SFTPWire& wire, LocalFile& localFile, const QString& remotePath, bool overwrite,
            std::optional<qint64> offset, const Progress& progress, std::optional<quint32> permissions = std::nullopt);
// One single-request command: MKDIR, RENAME (with a destination), REMOVE, RMDIR or SETSTAT
// (with a mode).
void command(SFTPWire& wire, quint8 type, const QString& path, const std::optional<QString>& destination,
             std::optional<quint32> mode);
// The OpenSSH extension that renames over an existing file in one step, which the protocol's own
// RENAME refuses to do.
inline constexpr QByteArrayView posixRename = "posix-rename@openssh.com";
// Moves `path` to `to`, replacing a file there at once; only for a server that announced
// posixRename.
void renameReplacing(SFTPWire& wire, const QString& path, const QString& to);
// Writes the file to `temporary` with the permissions of the file at `to`, if there is one, then
// renames it over `to` with posixRename. False when the server refuses the rename; a temporary
// file that a failure left is removed while the connection allows.
bool uploadReplacing(SFTPWire& wire, LocalFile& localFile, const QString& temporary, const QString& to,
                     const Progress& progress);
// Removes a file, or a folder with everything below it, folders first as listed; the first
// failure ends it. Symbolic links are removed, never followed.
void deleteTree(SFTPWire& wire, const QString& path, bool directory, int depth, std::stop_token token);

} // namespace SFTPOperations
