#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

// One run of curl for one FTP or FTPS operation. The credentials travel in the configuration
// text on standard input, never on the command line. A stop request either prevents the launch
// or terminates the running child; the run then ends with CancellationError.
class CurlProcess {
public:
    using Progress = std::function<void(double)>;
    // Told of everything captured so far, each time more arrives. Must not throw.
    using Received = std::function<void(const QByteArray& soFar)>;

    static constexpr qsizetype outputLimit = 16 * 1024 * 1024;

    // Blocks until curl has exited and both of its output pipes are drained. Returns what curl
    // wrote to standard output; throws FTPError, CancellationError, or std::system_error when
    // curl cannot be started. `progress` is called on the calling thread. With an `outputFile`
    // descriptor curl's standard output goes there, uncapped, and nothing is returned. The
    // `passedFiles` are curl's "/dev/fd/3", "/dev/fd/4" and on. `received` is shown the standard
    // output as it arrives.
    static QByteArray run(const QStringList& arguments, const QString& config, const Progress& progress,
                          std::stop_token token, int outputFile = -1, const std::vector<int>& passedFiles = {},
                          const Received& received = {});
    // As run with an `outputFile`, but curl's "/dev/fd/3" is a pipe whose bytes are returned,
    // capped like standard output, and shown to `received` as they arrive: for what curl writes
    // beside the file, such as the server's replies.
    static QByteArray runCapturing(const QStringList& arguments, const QString& config, const Progress& progress,
                                   std::stop_token token, int outputFile, const Received& received);

    // The program every run starts: the system's curl.
    static QString program();
    // For tests only: later runs start `path` instead (empty restores the system's curl).
    static void useProgramForTesting(const QString& path);

private:
    CurlProcess() = default;

    // Reads `captured` (-1: curl's standard output) and standard error to their ends, waits for
    // the exit and returns what `captured` carried.
    QByteArray execute(const Progress& progress, int captured = -1, const Received& received = {});
    void start(const ChildProcess::Options& options, const QString& config);
    void cancel();

    std::mutex lock;
    std::unique_ptr<ChildProcess> process;
    bool cancelled = false;
};
