#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// One row of a directory listing, local or remote. Its identity is its name.
struct FileEntry {
    QString name;
    bool isDirectory = false;
    std::optional<qint64> size;
    std::optional<QDateTime> modified;
    // A remote symbolic link. A listing never calls it a folder, and its listed size is the
    // length of its target's path, so the size is left unknown: what a download of it returns
    // is the size of whatever it points to.
    bool isSymbolicLink = false;
    // The permission bits (07777) of a regular file, where the listing shows them. Left out of
    // equality and of every stored form: an entry read from a listing without modes is the same file.
    std::optional<quint32> permissions = std::nullopt;

    bool operator==(const FileEntry& other) const;

    void markSymbolicLink();

    // Folders first, then names in natural order (case-insensitive, numeric-aware, locale-aware);
    // stable for names that compare equal.
    static QList<FileEntry> sorted(QList<FileEntry> entries);
};

size_t qHash(const FileEntry& entry, size_t seed = 0);
