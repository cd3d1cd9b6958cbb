#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace AtomicFile {

namespace {

[[noreturn]] void fail(const QString& path)
{
    throw std::system_error(errno, std::generic_category(), QFile::encodeName(path).toStdString());
}

} // namespace

void ensurePrivateFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
        fail(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        fail(folder);
    // An older folder may have been made with the default permissions.
    if (::chmod(native.constData(), 0700) != 0)
        fail(folder);
}

std::optional<QByteArray> read(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        fail(path);
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            fail(path);
        }
        if (count == 0)
            break;
        bytes.append(buffer, count);
    }
    ::close(fd);
    return bytes;
}

void write(const QString& path, const QByteArray& bytes)
{
    // mkstemp makes the file owner-only, so the content is never readable by others.
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        fail(path);
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    bool written = true;
    while (written && left > 0) {
        const ssize_t count = ::write(fd, data, static_cast<size_t>(left));
        if (count < 0 && errno == EINTR)
            continue;
        written = count > 0;
        data += count;
        left -= count;
    }
    written = written && ::fsync(fd) == 0;
    const int savedError = errno;
    ::close(fd);
    if (!written || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = written ? errno : savedError;
        ::unlink(temporary.constData());
        errno = error;
        fail(path);
    }
}

} // namespace AtomicFile
