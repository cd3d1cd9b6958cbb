#include "RemoteEdit.h"

#include "FTPError.h"
#include "L10n.h"

#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

namespace {

[[noreturn]] void fail(const QString& file)
{
    throw std::system_error(errno ? errno : EIO, std::generic_category(), QFile::encodeName(file).toStdString());
}

[[noreturn]] void tooLarge()
{
    throw FTPError::message(L("edit_size_limit"));
}

} // namespace

QString RemoteEdit::editHash(const QString& file)
{
    // Checked on the open descriptor, so nothing can swap the file between check and read; a
    // link fails to open, and a FIFO opens without waiting for a writer.
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ELOOP)
        tooLarge();
    QFile input;
    if (fd < 0 || !input.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        fail(file);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(file);
    if (!S_ISREG(info.st_mode) || info.st_size > maximumBytes)
        tooLarge();

    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[65536];
    qint64 total = 0;
    qint64 count = 0;
    errno = 0;
    while ((count = input.read(buffer, sizeof buffer)) > 0) {
        // The file may have grown since it was checked.
        total += count;
        if (total > maximumBytes)
            tooLarge();
        hash.addData(QByteArrayView(buffer, count));
    }
    if (count < 0)
        fail(file);
    return QString::fromLatin1(hash.result().toHex());
}
