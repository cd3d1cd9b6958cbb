#include "DownloadCheckpoint.h"

#include "AtomicFile.h"
#include "LocalAttributes.h"
#include "RemotePath.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QTimeZone>
#include <cmath>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

// Dates are stored as seconds since the first instant of 2001 (UTC), the reference other
// clients of these files use.
const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());

const QString profileKey = QStringLiteral("profile");
const QString remoteKey = QStringLiteral("remote");
const QString sizeKey = QStringLiteral("size");
const QString modifiedKey = QStringLiteral("modified");

DownloadCheckpoint checkpointFor(const ServerProfile& profile, const QString& remote, const FileEntry& source)
{
    return DownloadCheckpoint{profile, remote, source.size, source.modified};
}

// The checkpoint of partial file `partial`, when there is one that can be read.
std::optional<DownloadCheckpoint> stored(const QString& partial)
{
    try {
        const std::optional<QByteArray> document = AtomicFile::read(DownloadCheckpoint::metadata(partial));
        return document ? DownloadCheckpoint::fromJson(*document) : std::nullopt;
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

// How far partial file `partial` has come, when a download of `source` can continue from there.
std::optional<qint64> partialOffset(const QString& partial, const FileEntry& source)
{
    try {
        const std::optional<LocalAttributes> attributes = LocalAttributes::readIfPresent(partial);
        const qint64 partialSize = attributes && attributes->size ? *attributes->size : 0;
        if (partialSize < 1 || !source.size || partialSize >= *source.size)
            return std::nullopt;
        return partialSize;
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

} // namespace

QJsonObject DownloadCheckpoint::toJson() const
{
    QJsonObject object{{profileKey, profile.toJson()}, {remoteKey, remote}};
    if (size)
        object.insert(sizeKey, *size);
    if (modified)
        object.insert(modifiedKey, double(referenceDate.msecsTo(*modified)) / 1000.0);
    return object;
}

std::optional<DownloadCheckpoint> DownloadCheckpoint::fromJson(const QByteArray& document)
{
    const QJsonDocument parsed = QJsonDocument::fromJson(document);
    if (!parsed.isObject())
        return std::nullopt;
    const QJsonObject object = parsed.object();
    const QJsonValue profile = object.value(profileKey);
    const QJsonValue remote = object.value(remoteKey);
    const QJsonValue size = object.value(sizeKey);
    const QJsonValue modified = object.value(modifiedKey);
    if (!profile.isObject() || !remote.isString() || !(size.isUndefined() || size.isDouble()) ||
        !(modified.isUndefined() || modified.isDouble()))
        return std::nullopt;
    DownloadCheckpoint checkpoint;
    try {
        checkpoint.profile = ServerProfile::fromJson(profile.toObject());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    checkpoint.remote = remote.toString();
    if (size.isDouble()) {
        const double value = size.toDouble();
        if (value != std::floor(value) || std::abs(value) > 9.0e15)
            return std::nullopt;
        checkpoint.size = qint64(value);
    }
    if (modified.isDouble()) {
        const double seconds = modified.toDouble();
        if (!std::isfinite(seconds) || std::abs(seconds) > 1.0e11)
            return std::nullopt;
        checkpoint.modified = referenceDate.addMSecs(qint64(std::llround(seconds * 1000.0)));
    }
    return checkpoint;
}

QUuid DownloadCheckpoint::idFor(const QUuid& profile, const QString& remote, const QString& destination)
{
    static const QUuid names(u"e61b21f3-bfb6-4b34-8434-571c29df52af"_s);
    const QString key =
        ServerProfile::uuidText(profile) + u'\n' + remote + u'\n' + QFileInfo(destination).absoluteFilePath();
    return QUuid::createUuidV5(names, key.toUtf8());
}

QString DownloadCheckpoint::file(const QString& destination, const QUuid& id)
{
    return QFileInfo(destination).absolutePath() + QStringLiteral("/.dravik-") + ServerProfile::uuidText(id) +
           QStringLiteral(".part");
}

QString DownloadCheckpoint::metadata(const QString& partial)
{
    return partial + QStringLiteral(".json");
}

bool DownloadCheckpoint::leftBehind(const QString& destination, const QUuid& id)
{
    const QString partial = file(destination, id);
    return QFileInfo::exists(partial) || QFileInfo::exists(metadata(partial));
}

std::optional<qint64> DownloadCheckpoint::offset(const QString& destination, const QUuid& id,
                                                 const ServerProfile& profile, const QString& remote,
                                                 const FileEntry& source)
{
    const QString partial = file(destination, id);
    const std::optional<DownloadCheckpoint> checkpoint = stored(partial);
    if (!checkpoint || *checkpoint != checkpointFor(profile, remote, source))
        return std::nullopt;
    return partialOffset(partial, source);
}

std::optional<DownloadCheckpoint::Resume> DownloadCheckpoint::resumable(const QString& destination, const QUuid& id,
                                                                        const ServerProfile& profile,
                                                                        const QString& remote)
{
    const QString partial = file(destination, id);
    const std::optional<DownloadCheckpoint> checkpoint = stored(partial);
    if (!checkpoint || checkpoint->profile != profile || checkpoint->remote != remote)
        return std::nullopt;
    const FileEntry source{RemotePath::lastComponent(remote), false, checkpoint->size, checkpoint->modified};
    const std::optional<qint64> offset = partialOffset(partial, source);
    if (!offset)
        return std::nullopt;
    return Resume{source, *offset};
}

void DownloadCheckpoint::save(const QString& file, const ServerProfile& profile, const QString& remote,
                              const FileEntry& source)
{
    // Not flushed to disk: nor is the partial file it describes, which a crash of the machine may
    // leave shorter, and a resume from a shorter file is just as right. A checkpoint the crash
    // spoils is not read, and the download starts over.
    AtomicFile::write(metadata(file),
                      QJsonDocument(checkpointFor(profile, remote, source).toJson()).toJson(QJsonDocument::Compact),
                      AtomicFile::Sync::skipped);
}
