#include "LocalAttributes.h"

#include "SystemCall.h"

#include <QFile>

LocalAttributes LocalAttributes::of(const struct stat& status)
{
    LocalAttributes attributes;
    attributes.isDirectory = S_ISDIR(status.st_mode);
    attributes.isSymbolicLink = S_ISLNK(status.st_mode);
    attributes.isRegularFile = S_ISREG(status.st_mode);
    attributes.owner = status.st_uid;
    if (attributes.isRegularFile)
        attributes.size = qint64(status.st_size);
    const qint64 milliseconds = qint64(status.st_mtim.tv_sec) * 1000 + qint64(status.st_mtim.tv_nsec / 1000000);
    attributes.modified = QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC);
    attributes.permissions = status.st_mode & 0777;
    attributes.device = status.st_dev;
    attributes.inode = status.st_ino;
    attributes.modifiedExactly = status.st_mtim;
    return attributes;
}

std::optional<LocalAttributes> LocalAttributes::readIfPresent(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0)
        return of(status);
    if (errno == ENOENT)
        return std::nullopt;
    SystemCall::fail("cannot read the attributes", path);
}

LocalAttributes LocalAttributes::read(const QString& path)
{
    if (const std::optional<LocalAttributes> present = readIfPresent(path))
        return *present;
    SystemCall::fail("cannot read the attributes", path, ENOENT);
}

bool LocalAttributes::isSameVersion(const LocalAttributes& other) const
{
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedExactly.tv_sec == other.modifiedExactly.tv_sec &&
           modifiedExactly.tv_nsec == other.modifiedExactly.tv_nsec;
}
