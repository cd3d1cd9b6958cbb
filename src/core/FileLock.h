#pragma once

#include "LocalFile.h"

#include <QString>
#include <optional>

// An exclusive flock on a lock file, held for as long as the object lives. Programs that share
// files (two copies of the program, the command line) take turns through it; the kernel lets it go
// when a holder dies, so a killed program never leaves it taken. A holder may remove the lock file
// before it lets go: whoever opened that file meanwhile sees, once it has the lock, that the name
// is no longer its file, and takes the lock of the file there now.
class FileLock {
public:
    // Waits until the lock is free. The lock file is made owner-only when missing and is never
    // reached through a symbolic link. Throws std::filesystem::filesystem_error.
    static FileLock acquire(const QString& path);
    // Nothing when another holder has it.
    static std::optional<FileLock> tryAcquire(const QString& path);

private:
    explicit FileLock(LocalFile file) : m_file(std::move(file)) {}
    static std::optional<FileLock> take(const QString& path, bool wait);

    LocalFile m_file;
};
