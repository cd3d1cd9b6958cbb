#include "PartialDownload.h"

#include "DownloadCheckpoint.h"
#include "FTPError.h"
#include "L10n.h"
#include "ServerProfile.h"
#include "SystemCall.h"

#include <QFileInfo>
#include <fcntl.h>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

FTPError destinationChanged()
{
    return FTPError::message(L("destination_changed"));
}

} // namespace

PartialDownload::PartialDownload(const QString& target, const QUuid& id, bool keepPartial)
    : folder(QFileInfo(target).absolutePath()), destinationName(QFileInfo(target).fileName()),
      partialPath(DownloadCheckpoint::file(target, id)), keep(keepPartial)
{
    partialName = QFileInfo(partialPath).fileName();
    if (destinationName.isEmpty())
        SystemCall::fail("open", target, EISDIR);
    destinationPath = folder.file(destinationName);
    lockName = partialName + u".lock"_s;
    SystemCall::naming(destinationPath, [&] { lock = FileLock::tryAcquire(folder.file(lockName)); });
    if (!lock)
        throw FTPError::message(L("download_in_use", destinationPath));
}

PartialDownload::~PartialDownload()
{
    if (installed || !keep) {
        partial.reset();
        folder.removeQuietly(partialName);
        folder.removeQuietly(QFileInfo(DownloadCheckpoint::metadata(partialPath)).fileName());
    }
    // Before letting go, so that nobody takes the lock of a file no longer there.
    folder.removeQuietly(lockName);
}

void PartialDownload::discard(const QString& destination, const QUuid& id)
{
    // Gone with the object, as the files of a download without a checkpoint are.
    const PartialDownload discarded(destination, id, false);
}

void PartialDownload::setAside()
{
    SystemCall::naming(destinationPath, [&] {
        if (folder.attributes(partialName))
            folder.rename(partialName, partialName + u'.' + ServerProfile::uuidText(QUuid::createUuid()) + u".saved"_s,
                          false);
    });
}

void PartialDownload::saveCheckpoint(const ServerProfile& profile, const QString& remote, const FileEntry& source)
{
    SystemCall::naming(destinationPath, [&] { DownloadCheckpoint::save(partialPath, profile, remote, source); });
}

void PartialDownload::openDestination(qint64 offset)
{
    try {
        destination = folder.open(destinationName, O_RDONLY);
    } catch (const std::filesystem::filesystem_error& e) {
        // A link in the destination's place is a changed destination, not a file to follow.
        if (e.code() == std::errc::too_many_symbolic_link_levels)
            throw destinationChanged();
        throw;
    }
    destinationAtStart = destination->attributes();
    if (offset < 1 || !destinationAtStart->isRegularFile || destinationAtStart->size != offset)
        throw destinationChanged();
}

LocalFile& PartialDownload::open(std::optional<qint64> offset)
{
    try {
        partial = folder.open(partialName, O_WRONLY | O_CREAT, 0600);
    } catch (const std::filesystem::filesystem_error& e) {
        if (e.code() == std::errc::too_many_symbolic_link_levels)
            throw FTPError::message(L("symlink_destination", destinationPath));
        throw FTPError::message(L("inaccessible"));
    }
    partial->showAs(destinationPath);
    if (!partial->attributes().isRegularFile)
        throw FTPError::message(L("inaccessible"));
    partial->setPermissions(0600);
    if (destination) {
        partial->truncate(0);
        partial->copyFrom(*destination);
    }
    if (offset && partial->attributes().size != offset)
        throw destinationChanged();
    partial->seek(0, SEEK_END);
    return *partial;
}

void PartialDownload::install(std::optional<qint64> expectedSize, bool overwrite)
{
    SystemCall::naming(destinationPath, [&] {
        if (destination) {
            const std::optional<LocalAttributes> now = folder.attributes(destinationName);
            if (!now || !now->isSameVersion(*destinationAtStart))
                throw destinationChanged();
        }
        const LocalAttributes written = partial->attributes();
        if (expectedSize && written.size != expectedSize) {
            // The remote file changed under the download: its checkpoint can never match again.
            keep = false;
            throw destinationChanged();
        }
        // The move goes by name: the name must still be the file written here, not a link that
        // another user of the folder put in its place meanwhile.
        const std::optional<LocalAttributes> named = folder.attributes(partialName);
        if (!named || !named->isSameVersion(written))
            throw destinationChanged();
        // Until now nobody else had to read the bytes; from here on they are the person's file.
        partial->setPermissions(installedPermissions());
        partial->close();
        folder.rename(partialName, destinationName, overwrite);
        installed = true;
    });
}

mode_t PartialDownload::installedPermissions() const
{
    // A replaced file keeps who may read it: a private file must not become readable by others.
    const std::optional<LocalAttributes> replaced = folder.attributes(destinationName);
    return replaced && replaced->isRegularFile ? replaced->permissions : LocalFile::permissionsForNewFile();
}
