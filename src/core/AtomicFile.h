#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Small data files (profiles, queue, checkpoints): readers see either the old content or the new,
// never a torn file, and nobody but the owner can read either. A symbolic link planted at the
// file's name is neither read nor written through: a write replaces the link itself.
namespace AtomicFile {

// Creates the folder if needed and gives it owner-only permissions; throws std::system_error.
void ensurePrivateFolder(const QString& folder);
// The whole file, or nothing when it does not exist; throws std::system_error otherwise, also
// for anything but a regular file.
std::optional<QByteArray> read(const QString& path);
// Whether a write waits until its bytes are on the disk.
enum class Sync { toDisk, skipped };
// Writes `bytes` to a new owner-only file beside `path`, flushes it to disk (unless `sync` skips
// that) and renames it over `path`. Throws std::system_error; `path` is untouched on failure.
void write(const QString& path, const QByteArray& bytes, Sync sync = Sync::toDisk);
// Removes the temporaries that writes of `path` left behind when their program was killed: only
// names that write() makes, only regular files of this user, never through a link. The caller
// must know that no write of `path` runs meanwhile.
void removeStaleTemporaries(const QString& path);

} // namespace AtomicFile
