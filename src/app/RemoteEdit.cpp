#include "RemoteEdit.h"

#include "FTPError.h"
#include "L10n.h"

#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& file, int error)
{
    throw std::system_error(error, std::generic_category(), QFile::encodeName(file).toStdString());
}

// Closes the descriptor on every way out, keeping errno for the caller.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
};

} // namespace

QString RemoteEdit::editHash(const QString& file)
{
    // Checked on the open descriptor, so nothing can swap the file between check and read; a
    // link fails to open, and a FIFO opens without waiting for a writer.
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ELOOP)
        throw FTPError::message(L("edit_size_limit"));
    if (fd < 0)
        fail(file, errno);
    const Descriptor open{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(file, errno);
    if (!S_ISREG(info.st_mode) || info.st_size > maximumBytes)
        throw FTPError::message(L("edit_size_limit"));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    qint64 total = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            fail(file, errno);
        if (count == 0)
            break;
        // The file may grow after the check above.
        total += count;
        if (total > maximumBytes)
            throw FTPError::message(L("edit_size_limit"));
        hash.addData(QByteArrayView(buffer, count));
    }
    return QString::fromLatin1(hash.result().toHex());
}
