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
    // The permission bits (07777) of a regular file, where the listing shows them. Left out of
    // equality and of every stored form: an entry read from a listing without modes is the same file.
    std::optional<quint32> permissions = std::nullopt;

    bool operator==(const FileEntry& other) const;

    // Folders first, then names in natural order (case-insensitive, numeric-aware, locale-aware);
    // stable for names that compare equal.
    static QList<FileEntry> sorted(QList<FileEntry> entries);
};

size_t qHash(const FileEntry& entry, size_t seed = 0);
