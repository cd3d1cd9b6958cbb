#pragma once

#include <QByteArray>
#include <QString>
#include <cerrno>

// The one way from a failing system call to an exception, and the one loop over EINTR.
namespace SystemCall {

// Throws std::system_error for `operation`.
[[noreturn]] void fail(const char* operation, int error = errno);
// Throws std::filesystem::filesystem_error naming `path`, which is how a user sees it.
[[noreturn]] void fail(const char* operation, const QString& path, int error = errno);

// Calls `call` again for as long as it fails with EINTR; returns its last result.
template <typename Call> auto retrying(Call&& call)
{
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

// Everything `fd` delivers up to its end; throws std::system_error.
QByteArray readToEnd(int fd);
// All of `bytes`, however many writes it takes; false when the reader is gone (EPIPE), other
// failures throw std::system_error.
bool writeAll(int fd, QByteArrayView bytes);

} // namespace SystemCall
