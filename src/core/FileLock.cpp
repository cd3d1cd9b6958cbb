#include "FileLock.h"

#include "SystemCall.h"

#include <fcntl.h>
#include <sys/file.h>

FileLock FileLock::acquire(const QString& path)
{
    return *take(path, true);
}

std::optional<FileLock> FileLock::tryAcquire(const QString& path)
{
    return take(path, false);
}

std::optional<FileLock> FileLock::take(const QString& path, bool wait)
{
    const int operation = wait ? LOCK_EX : LOCK_EX | LOCK_NB;
    for (;;) {
        LocalFile file = LocalFile::open(path, O_RDWR | O_CREAT, 0600);
        if (SystemCall::retrying([&] { return ::flock(file.descriptor(), operation); }) != 0) {
            if (errno == EWOULDBLOCK)
                return std::nullopt;
            SystemCall::fail("flock", path);
        }
        const LocalAttributes held = file.attributes();
        const std::optional<LocalAttributes> named = LocalAttributes::readIfPresent(path);
        if (named && named->device == held.device && named->inode == held.inode)
            return FileLock(std::move(file));
    }
}
