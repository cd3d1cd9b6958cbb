#include "LocalFolder.h"

#include "SystemCall.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex hookLock;
std::function<void(const QString&)> beforeOpen;

QByteArray native(const QString& name)
{
    return QFile::encodeName(name);
}

} // namespace

LocalFolder::LocalFolder(const QString& path) : folderPath(path)
{
    fd = ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        SystemCall::fail("open", path);
}

LocalFolder::~LocalFolder()
{
    if (fd >= 0)
        ::close(fd);
}

LocalFolder::LocalFolder(LocalFolder&& other) noexcept
    : folderPath(std::move(other.folderPath)), fd(std::exchange(other.fd, -1))
{
}

std::pair<LocalFolder, QString> LocalFolder::containing(const QString& path)
{
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        SystemCall::fail("open", path, EISDIR);
    return {LocalFolder(info.absolutePath()), info.fileName()};
}

QString LocalFolder::file(const QString& name) const
{
    return folderPath.endsWith(QLatin1Char('/')) ? QString(folderPath + name)
                                                 : QString(folderPath + QLatin1Char('/') + name);
}

std::optional<LocalAttributes> LocalFolder::attributes(const QString& name) const
{
    struct stat status {};
    if (::fstatat(fd, native(name).constData(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return LocalAttributes::of(status);
    if (errno == ENOENT)
        return std::nullopt;
    SystemCall::fail("fstatat", file(name));
}

LocalFile LocalFolder::open(const QString& name, int flags, mode_t mode) const
{
    std::function<void(const QString&)> hook;
    {
        std::lock_guard guard(hookLock);
        hook = beforeOpen;
    }
    if (hook)
        hook(file(name));
    const int opened = SystemCall::retrying([&] {
        return ::openat(fd, native(name).constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    });
    if (opened < 0)
        SystemCall::fail("open", file(name));
    LocalFile result(opened, file(name));
    // Only the open had to be non-blocking: reads and writes of a regular file wait as usual.
    if (!(flags & O_NONBLOCK))
        ::fcntl(opened, F_SETFL, ::fcntl(opened, F_GETFL) & ~O_NONBLOCK);
    return result;
}

void LocalFolder::rename(const QString& from, const QString& to, bool replace) const
{
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    if (::renameat2(fd, source.constData(), fd, target.constData(), replace ? 0 : RENAME_NOREPLACE) == 0)
        return;
    if (replace || (errno != EINVAL && errno != ENOSYS))
        SystemCall::fail("rename", file(to));
    // File systems without RENAME_NOREPLACE: a hard link fails just as surely on an existing name.
    if (::linkat(fd, source.constData(), fd, target.constData(), 0) != 0)
        SystemCall::fail("link", file(to));
    ::unlinkat(fd, source.constData(), 0);
}

void LocalFolder::removeQuietly(const QString& name) const
{
    ::unlinkat(fd, native(name).constData(), 0);
}

void LocalFolder::setBeforeOpenForTesting(std::function<void(const QString& path)> hook)
{
    std::lock_guard guard(hookLock);
    beforeOpen = std::move(hook);
}
