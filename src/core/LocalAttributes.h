#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <sys/stat.h>

// What the engines read about a local item, from a stat call that never follows a final symbolic
// link: a link is always seen as a link, whatever it points to (or whether it points anywhere).
struct LocalAttributes {
    bool isDirectory = false;
    bool isSymbolicLink = false;
    bool isRegularFile = false;
    uid_t owner = 0;
    // Regular files only: a folder's size says nothing about what it holds.
    std::optional<qint64> size;
    std::optional<QDateTime> modified;
    // The permission bits, without the set-user-ID, set-group-ID and sticky bits.
    mode_t permissions = 0;
    // Which file this is and which state of it, finer than `modified`: what tells a swapped or
    // rewritten file from the one first seen.
    dev_t device = 0;
    ino_t inode = 0;
    timespec modifiedExactly{};

    static LocalAttributes of(const struct stat& status);
    // Throws std::filesystem::filesystem_error, for a missing item too.
    static LocalAttributes read(const QString& path);
    // Absent when nothing of that name exists; other failures throw as above.
    static std::optional<LocalAttributes> readIfPresent(const QString& path);

    // The same file, unchanged: device, inode, size and modification time to the nanosecond.
    bool isSameVersion(const LocalAttributes& other) const;
};
