#pragma once

#include "FileEntry.h"
#include "ServerProfile.h"

#include <QString>
#include <QUrl>
#include <QUuid>

// One remote file being edited in a local application through a private local copy.
struct RemoteEdit {
    // Larger files are never downloaded for editing nor hashed: the scan re-reads every copy.
    static constexpr qint64 maximumBytes = 20971520;

    QUuid id;
    // The whole profile the file came from; an upload needs a connection with an equal one.
    ServerProfile profile;
    QString remotePath;
    // The local copy, a file URL.
    QUrl localURL;
    // The remote content as last known: the download at first, then each uploaded snapshot.
    QString originalHash;
    // The content last brought in line with the server, by download or upload.
    QString uploadedHash;
    // The local copy differs from uploadedHash.
    bool changed = false;

    bool operator==(const RemoteEdit&) const = default;

    // The SHA-256 of a regular file of at most maximumBytes, as 64 lower-case hex digits.
    // Throws FTPError "edit_size_limit" for a larger file, a symbolic link or anything but a
    // regular file, and std::system_error when it cannot be read.
    static QString editHash(const QString& file);
    // Whether a listed file may be fetched for editing. A link's listed size is its target's
    // path, not the file's: it is fetched and the copy's own size decides (editHash).
    static bool mayTake(const FileEntry& entry);
};
