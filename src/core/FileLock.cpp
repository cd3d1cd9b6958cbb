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
    LocalFile file = LocalFile::open(path, O_RDWR | O_CREAT, 0600);
    const int operation = wait ? LOCK_EX : LOCK_EX | LOCK_NB;
    if (SystemCall::retrying([&] { return ::flock(file.descriptor(), operation); }) != 0) {
        if (errno == EWOULDBLOCK)
            return std::nullopt;
        SystemCall::fail("flock", path);
    }
    return FileLock(std::move(file));
}
