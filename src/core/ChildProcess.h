#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <vector>

// One child process started with an explicit executable, argument list and environment, with
// pipes for its three standard streams. Termination is safe at any time from any thread: a
// child is never signalled after it has been reaped, so a recycled process id is never hit.
class ChildProcess {
public:
    struct Options {
        QString program;
        QStringList arguments;
        // Absent: the child inherits this process's environment.
        std::optional<QStringList> environment;
        // When not -1, the child's standard output is this descriptor instead of a pipe.
        int standardOutputFile = -1;
        // Standard error goes to the null device: for children whose diagnostics nobody reads,
        // so that a chatty child can never block on a full pipe.
        bool discardStandardError = false;
        // The child's descriptors 3, 4 and on ("/dev/fd/3"...): files opened here that the child
        // reads or writes without ever resolving their paths.
        std::vector<int> passedFiles = {};
    };

    // Throws std::system_error when the pipes cannot be made or the program cannot be started.
    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return processID; }
    int standardInput() const { return inputFd; }
    // -1 when standard output goes to a file.
    int standardOutput() const { return outputFd; }
    // -1 when standard error is discarded.
    int standardError() const { return errorFd; }

    // Writes all of `bytes` to standard input; throws std::system_error on failure.
    void write(const QByteArray& bytes);
    // Writes all of `bytes` to standard input, or returns false when the child closed its end.
    bool writeSome(const char* data, size_t size);
    void closeStandardInput();

    bool isRunning();
    void terminate();
    // Blocks until the child ends; returns its exit status, or 128 + the signal that ended it.
    // Throws std::system_error when the status cannot be collected: a child whose end nobody
    // can vouch for has not succeeded.
    int waitForExit();

    // The environment of this process as a list of NAME=value entries.
    static QStringList inheritedEnvironment();

private:
    void reap(int status);
    // Under the lock: whether the child may still be signalled.
    bool unreaped() const { return !exitStatus && waitError == 0; }

    pid_t processID = -1;
    int inputFd = -1;
    int outputFd = -1;
    int errorFd = -1;
    std::mutex lock;
    std::optional<int> exitStatus;
    // Set when waiting failed: the child's fate is unknown and its id may already be reused.
    int waitError = 0;
};
