#pragma once

#include "FileEntry.h"
#include "ServerProfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

// The side file that lets an interrupted download continue: what was being fetched, from where,
// and how the remote file looked when the download began. Any difference makes it worthless.
struct DownloadCheckpoint {
    ServerProfile profile;
    QString remote;
    std::optional<qint64> size;
    std::optional<QDateTime> modified;

    bool operator==(const DownloadCheckpoint&) const = default;

    QJsonObject toJson() const;
    // Nothing when the document is not a checkpoint.
    static std::optional<DownloadCheckpoint> fromJson(const QByteArray& document);

    // The checkpoint id of a download known by what it fetches rather than by a queue entry: every
    // run of one request finds the files an earlier run left. The profile counts by its id, so
    // that an edited profile leaves a checkpoint that its checks refuse, not one nobody finds.
    static QUuid idFor(const QUuid& profile, const QString& remote, const QString& destination);
    // The hidden partial file of a download with checkpoint `id` into `destination`.
    static QString file(const QString& destination, const QUuid& id);
    // The checkpoint file that belongs to a partial file.
    static QString metadata(const QString& partial);
    // An earlier attempt of the download with checkpoint `id` left its partial file or checkpoint.
    static bool leftBehind(const QString& destination, const QUuid& id);
    // The offset a download may continue from, or nothing when the checkpoint, the partial file
    // or the remote file `source` no longer match.
    static std::optional<qint64> offset(const QString& destination, const QUuid& id, const ServerProfile& profile,
                                        const QString& remote, const FileEntry& source);
    // A checkpoint to continue before the server is asked: the remote file as the checkpoint of
    // `id` recorded it for this profile and remote path, and the offset its partial file allows.
    struct Resume {
        FileEntry source;
        qint64 offset;
    };
    static std::optional<Resume> resumable(const QString& destination, const QUuid& id, const ServerProfile& profile,
                                           const QString& remote);
    // Writes the checkpoint of partial file `file` atomically with permissions 0600, replacing
    // whatever has the checkpoint's name (a planted link included); throws on failure.
    static void save(const QString& file, const ServerProfile& profile, const QString& remote, const FileEntry& source);
};
