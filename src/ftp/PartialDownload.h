#pragma once

#include "FileEntry.h"
#include "FileLock.h"
#include "LocalAttributes.h"
#include "LocalFile.h"
#include "LocalFolder.h"
#include "ServerProfile.h"

#include <QString>
#include <QUuid>
#include <optional>

// The local side of one download: the hidden partial file beside the destination, its checkpoint,
// and the final move into place. Everything is reached through the destination's folder held
// open, and the partial file is opened once, so a name that another user of a shared folder
// swaps for a link is never followed. Failures the user should read are FTPError; file-system
// errors name the destination, never the hidden files that stand in for it. One object at a time,
// in any process, has the files of one id: the others fail at once and leave them alone.
class PartialDownload {
public:
    // Opens the destination's folder and takes the files of `id`; "download_in_use" when another
    // download has them. Unless `keep` (a checkpointed download) the partial file and its
    // checkpoint go when the object does; once installed they go in any case.
    PartialDownload(const QString& destination, const QUuid& id, bool keep);
    ~PartialDownload();
    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    // Removes the partial file and the checkpoint of `id`, for a caller that will not continue them;
    // "download_in_use" while another download has them.
    static void discard(const QString& destination, const QUuid& id);

    const QString& path() const { return partialPath; }
    // Whether a failure leaves the partial file and its checkpoint for a later resume.
    void setKeepsFiles(bool kept) { keep = kept; }

    // Moves an existing partial file out of the way, to a name of its own ending in ".saved".
    void setAside();
    // Writes the checkpoint of the partial file.
    void saveCheckpoint(const ServerProfile& profile, const QString& remote, const FileEntry& source);
    // For a resume into the existing destination: it must be a regular file of `offset` bytes,
    // otherwise "destination_changed".
    void openDestination(qint64 offset);
    // Creates or opens the partial file, owner-only, positioned at its end. After
    // openDestination it holds a copy of the destination; otherwise with an `offset` it must
    // hold exactly that many bytes ("destination_changed").
    LocalFile& open(std::optional<qint64> offset);
    // Checks that the destination of a resume is unchanged, that the partial file has
    // `expectedSize` bytes and is still the file at the partial file's name ("destination_changed"),
    // then puts it in place in one step. Without `overwrite` an existing destination is never
    // replaced. The file takes the permissions of the file it replaces, or those a new file gets.
    void install(std::optional<qint64> expectedSize, bool overwrite);

private:
    LocalFolder folder;
    QString destinationName;
    QString destinationPath;
    QString partialName;
    QString partialPath;
    bool keep;
    bool installed = false;
    std::optional<LocalFile> partial;
    std::optional<LocalFile> destination;
    std::optional<LocalAttributes> destinationAtStart;
    QString lockName;
    std::optional<FileLock> lock;

    mode_t installedPermissions() const;
};
