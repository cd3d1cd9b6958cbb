#pragma once

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <filesystem>

// The one way from a failing system call to an exception, and the one loop over EINTR.
namespace SystemCall {

// Throws std::system_error for `operation`.
[[noreturn]] void fail(const char* operation, int error = errno);
// Throws std::filesystem::filesystem_error naming `path`, which is how a user sees it.
[[noreturn]] void fail(const char* operation, const QString& path, int error = errno);

// Throws `error` again, naming `path` instead: a person is shown the file they chose, never a
// temporary file that stands in for it.
[[noreturn]] void failNaming(const std::filesystem::filesystem_error& error, const QString& path);

// Runs `work`; a file-system error it throws names `path` (see failNaming).
template <typename Work> auto naming(const QString& path, Work&& work)
{
    try {
        return work();
    } catch (const std::filesystem::filesystem_error& error) {
        failNaming(error, path);
    }
}

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
