#include "SystemCall.h"

#include <QFile>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace SystemCall {

void fail(const char* operation, int error)
{
    throw std::system_error(error, std::generic_category(), operation);
}

void fail(const char* operation, const QString& path, int error)
{
    throw std::filesystem::filesystem_error(operation, QFile::encodeName(path).toStdString(),
                                            std::error_code(error, std::generic_category()));
}

void failNaming(const std::filesystem::filesystem_error& error, const QString& path)
{
    // The message of `error` names the other file, so only its code is kept.
    throw std::filesystem::filesystem_error("local file", QFile::encodeName(path).toStdString(), error.code());
}

QByteArray readToEnd(int fd)
{
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = retrying([&] { return ::read(fd, buffer, sizeof buffer); });
        if (got < 0)
            fail("read");
        if (got == 0)
            return bytes;
        bytes.append(buffer, got);
    }
}

bool writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = retrying([&] { return ::write(fd, bytes.data(), size_t(bytes.size())); });
        if (written < 0 && errno == EPIPE)
            return false;
        if (written < 0)
            fail("write");
        bytes = bytes.sliced(written);
    }
    return true;
}

} // namespace SystemCall
