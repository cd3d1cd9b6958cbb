#include "CurlProcess.h"

#include "CancellationError.h"
#include "CurlProgress.h"
#include "ErrorBuffer.h"
#include "FTPError.h"
#include "L10n.h"
#include "Pipe.h"
#include "SecretMemory.h"
#include "SystemCall.h"

#include <array>
#include <poll.h>
#include <unistd.h>

namespace {

const QString systemCurl = QStringLiteral("/usr/bin/curl");

std::mutex programLock;
QString testProgram;

// Reads what is available on `fd` into `buffer`; returns the byte count, 0 at end of file.
qsizetype readChunk(int fd, std::array<char, 65536>& buffer)
{
    const ssize_t got = SystemCall::retrying([&] { return ::read(fd, buffer.data(), buffer.size()); });
    if (got < 0)
        SystemCall::fail("read");
    return got;
}

void waitForInput(std::array<pollfd, 2>& pipes)
{
    if (SystemCall::retrying([&] { return ::poll(pipes.data(), pipes.size(), -1); }) < 0)
        SystemCall::fail("poll");
}

} // namespace

QString CurlProcess::program()
{
    std::lock_guard guard(programLock);
    return testProgram.isEmpty() ? systemCurl : testProgram;
}

void CurlProcess::useProgramForTesting(const QString& path)
{
    std::lock_guard guard(programLock);
    testProgram = path;
}

QByteArray CurlProcess::run(const QStringList& arguments, const QString& config, const Progress& progress,
                            std::stop_token token, int outputFile, const std::vector<int>& passedFiles,
                            const Received& received)
{
    CurlProcess runner;
    const std::stop_callback onStop(token, [&runner] { runner.cancel(); });
    runner.start({.program = program(),
                  .arguments = arguments,
                  .environment = std::nullopt,
                  .standardOutputFile = outputFile,
                  .passedFiles = passedFiles},
                 config);
    return runner.execute(progress, -1, received);
}

QByteArray CurlProcess::runCapturing(const QStringList& arguments, const QString& config, const Progress& progress,
                                     std::stop_token token, int outputFile, const Received& received)
{
    CurlProcess runner;
    const std::stop_callback onStop(token, [&runner] { runner.cancel(); });
    // Closed before the runner goes, so that a child still writing to it meets a reader gone.
    Pipe replies;
    runner.start({.program = program(),
                  .arguments = arguments,
                  .environment = std::nullopt,
                  .standardOutputFile = outputFile,
                  .passedFiles = {replies.writeEnd()}},
                 config);
    // Only the child may hold the writing end, or the pipe would never reach its end.
    replies.closeWrite();
    return runner.execute(progress, replies.readEnd(), received);
}

void CurlProcess::cancel()
{
    std::lock_guard guard(lock);
    cancelled = true;
    if (process)
        process->terminate();
}

void CurlProcess::start(const ChildProcess::Options& options, const QString& config)
{
    std::lock_guard guard(lock);
    if (cancelled)
        throw CancellationError();
    process = std::make_unique<ChildProcess>(options);
    // A child that is already gone reports its own failure through its exit status.
    QByteArray bytes = config.toUtf8();
    process->writeSome(bytes.constData(), static_cast<size_t>(bytes.size()));
    SecretMemory::wipe(bytes);
    process->closeStandardInput();
}

QByteArray CurlProcess::execute(const Progress& progress, int captured, const Received& received)
{
    ChildProcess& child = *process;

    QByteArray output;
    ErrorBuffer errors;
    bool limitHit = false;
    std::array<char, 65536> buffer;
    std::array<pollfd, 2> pipes{pollfd{captured >= 0 ? captured : child.standardOutput(), POLLIN, 0},
                                pollfd{child.standardError(), POLLIN, 0}};
    while (pipes[0].fd >= 0 || pipes[1].fd >= 0) {
        waitForInput(pipes);
        for (pollfd& pipe : pipes) {
            if (pipe.fd < 0 || pipe.revents == 0)
                continue;
            const qsizetype size = readChunk(pipe.fd, buffer);
            if (size == 0) {
                pipe.fd = -1;
                continue;
            }
            const QByteArrayView chunk(buffer.data(), size);
            if (&pipe == &pipes[1]) {
                errors.append(chunk);
                if (progress)
                    if (const auto fraction = CurlProgress::fraction(chunk))
                        progress(*fraction);
            } else if (!limitHit && output.size() + size > outputLimit) {
                limitHit = true;
                cancel();
            } else if (!limitHit) {
                output.append(chunk);
                if (received)
                    received(output);
            }
        }
    }
    const int status = child.waitForExit();

    bool wasCancelled = false;
    {
        std::lock_guard guard(lock);
        wasCancelled = cancelled;
        process.reset();
    }
    if (limitHit)
        throw FTPError::message(L("listing_limit"));
    if (wasCancelled)
        throw CancellationError();
    if (status != 0)
        throw FTPError::command(status, errors.diagnosticLines());
    if (progress)
        progress(1.0);
    return output;
}
