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

PartialDownload::PartialDownload(const QString& destination, const QUuid& id, bool keep)
    : folder(QFileInfo(destination).absolutePath()), destinationName(QFileInfo(destination).fileName()),
      partialPath(DownloadCheckpoint::file(destination, id)), keep(keep)
{
    partialName = QFileInfo(partialPath).fileName();
    if (destinationName.isEmpty())
        SystemCall::fail("open", destination, EISDIR);
}

PartialDownload::~PartialDownload()
{
    if (installed || !keep) {
        partial.reset();
        folder.removeQuietly(partialName);
        folder.removeQuietly(QFileInfo(DownloadCheckpoint::metadata(partialPath)).fileName());
    }
}

void PartialDownload::setAside()
{
    if (!folder.attributes(partialName))
        return;
    folder.rename(partialName,
                  partialName + QLatin1Char('.') + ServerProfile::uuidText(QUuid::createUuid()) + u".saved"_s, false);
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
            throw FTPError::message(L("symlink_destination", partialPath));
        throw FTPError::message(L("inaccessible"));
    }
    if (!partial->attributes().isRegularFile)
        throw FTPError::message(L("inaccessible"));
    partial->setOwnerOnly();
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
    partial->close();
    folder.rename(partialName, destinationName, overwrite);
    installed = true;
}
