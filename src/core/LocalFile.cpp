#include "LocalFile.h"

#include "LocalFolder.h"
#include "SystemCall.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

LocalFile::LocalFile(int descriptor, QString path) : fd(descriptor), filePath(std::move(path)) {}

LocalFile::~LocalFile()
{
    if (fd >= 0)
        ::close(fd);
}

LocalFile::LocalFile(LocalFile&& other) noexcept : fd(std::exchange(other.fd, -1)), filePath(std::move(other.filePath))
{
}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept
{
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = std::exchange(other.fd, -1);
        filePath = std::move(other.filePath);
    }
    return *this;
}

LocalFile LocalFile::open(const QString& path, int flags, mode_t mode)
{
    const auto [folder, name] = LocalFolder::containing(path);
    return folder.open(name, flags, mode);
}

LocalAttributes LocalFile::attributes() const
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        SystemCall::fail("fstat", filePath);
    return LocalAttributes::of(status);
}

mode_t LocalFile::permissionsForNewFile()
{
    // Reading the umask with umask() means setting it, for a moment, for every thread; the kernel
    // also reports it here. Where it does not, owner-only is the choice that exposes nothing.
    QFile status(u"/proc/self/status"_s);
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return 0666 & ~mode_t(mask);
            }
    return 0600;
}

void LocalFile::setPermissions(mode_t permissions)
{
    if (::fchmod(fd, permissions) != 0)
        SystemCall::fail("fchmod", filePath);
}

qint64 LocalFile::seek(qint64 position, int whence)
{
    const off_t at = ::lseek(fd, off_t(position), whence);
    if (at < 0)
        SystemCall::fail("lseek", filePath);
    return qint64(at);
}

void LocalFile::truncate(qint64 size)
{
    if (SystemCall::retrying([&] { return ::ftruncate(fd, off_t(size)); }) != 0)
        SystemCall::fail("ftruncate", filePath);
}

qint64 LocalFile::read(char* into, qint64 count)
{
    const ssize_t got = SystemCall::retrying([&] { return ::read(fd, into, size_t(count)); });
    if (got < 0)
        SystemCall::fail("read", filePath);
    return qint64(got);
}

QByteArray LocalFile::readToEnd()
{
    try {
        return SystemCall::readToEnd(fd);
    } catch (const std::system_error& e) {
        SystemCall::fail("read", filePath, e.code().value());
    }
}

void LocalFile::write(QByteArrayView bytes)
{
    try {
        if (!SystemCall::writeAll(fd, bytes))
            SystemCall::fail("write", filePath, EPIPE);
    } catch (const std::system_error& e) {
        SystemCall::fail("write", filePath, e.code().value());
    }
}

void LocalFile::copyFrom(LocalFile& source)
{
    // The kernel copies (or shares the blocks) where it can; a plain copy is for the file systems
    // and kernels that cannot.
    for (bool copied = false;; copied = true) {
        const ssize_t count = SystemCall::retrying(
            [&] { return ::copy_file_range(source.fd, nullptr, fd, nullptr, size_t(1) << 30, 0); });
        if (count == 0)
            return;
        if (count > 0)
            continue;
        if (copied || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
            SystemCall::fail("copy_file_range", filePath);
        break;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (const qint64 got = source.read(buffer.data(), buffer.size()))
        write(QByteArrayView(buffer).first(got));
}

void LocalFile::close()
{
    const int result = ::close(std::exchange(fd, -1));
    if (result != 0 && errno != EINTR)
        SystemCall::fail("close", filePath);
}
