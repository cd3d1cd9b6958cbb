#include "ChildProcess.h"

#include "Pipe.h"
#include "SystemCall.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

std::vector<QByteArray> encoded(const QStringList& strings)
{
    std::vector<QByteArray> result;
    result.reserve(strings.size());
    for (const QString& s : strings)
        result.push_back(s.toUtf8());
    return result;
}

std::vector<char*> pointers(std::vector<QByteArray>& strings)
{
    std::vector<char*> result;
    for (QByteArray& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

ChildProcess::ChildProcess(const Options& options)
{
    // A child that closes its input early must surface as EPIPE here, not kill this process.
    static std::once_flag ignorePipeSignal;
    std::call_once(ignorePipeSignal, [] { ::signal(SIGPIPE, SIG_IGN); });

    // No pipe where the child writes to a given file or to the null device.
    Pipe input;
    std::optional<Pipe> output, error;
    if (options.standardOutputFile < 0)
        output.emplace();
    if (!options.discardStandardError)
        error.emplace();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.readEnd(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output ? output->writeEnd() : options.standardOutputFile, STDOUT_FILENO);
    if (error)
        posix_spawn_file_actions_adddup2(&actions, error->writeEnd(), STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Copies above the range first, so that no descriptor is overwritten before its turn.
    const int passedCount = int(options.passedFiles.size());
    std::vector<int> passed;
    for (const int file : options.passedFiles) {
        passed.push_back(SystemCall::retrying([&] { return ::fcntl(file, F_DUPFD_CLOEXEC, 3 + passedCount); }));
        if (passed.back() < 0) {
            passed.pop_back();
            for (const int copy : passed)
                ::close(copy);
            posix_spawn_file_actions_destroy(&actions);
            SystemCall::fail("fcntl");
        }
    }
    for (int n = 0; n < passedCount; ++n)
        posix_spawn_file_actions_adddup2(&actions, passed[size_t(n)], 3 + n);

    // The child starts with default signal handling and nothing blocked, whatever this process set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<QByteArray> argumentBytes = encoded(QStringList{options.program} + options.arguments);
    std::vector<QByteArray> environmentBytes = encoded(options.environment.value_or(QStringList{}));
    std::vector<char*> argv = pointers(argumentBytes);
    std::vector<char*> envp = pointers(environmentBytes);
    const QByteArray program = options.program.toUtf8();

    const int result = posix_spawn(&processID, program.constData(), &actions, &attributes, argv.data(),
                                   options.environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int copy : passed)
        ::close(copy);
    if (result != 0) {
        processID = -1;
        SystemCall::fail("posix_spawn", result);
    }
    inputFd = input.takeWrite();
    outputFd = output ? output->takeRead() : -1;
    errorFd = error ? error->takeRead() : -1;
}

ChildProcess::~ChildProcess()
{
    // An abandoned child is killed outright: nobody is left to wait for a polite exit.
    if (processID > 0) {
        {
            std::lock_guard guard(lock);
            if (unreaped())
                ::kill(processID, SIGKILL);
        }
        try {
            waitForExit();
        } catch (const std::system_error&) {
        }
    }
    Pipe::closeFd(inputFd);
    Pipe::closeFd(outputFd);
    Pipe::closeFd(errorFd);
}

bool ChildProcess::writeSome(const char* data, size_t size)
{
    return SystemCall::writeAll(inputFd, QByteArrayView(data, qsizetype(size)));
}

void ChildProcess::write(const QByteArray& bytes)
{
    if (!writeSome(bytes.constData(), static_cast<size_t>(bytes.size())))
        SystemCall::fail("write", EPIPE);
}

void ChildProcess::closeStandardInput()
{
    if (inputFd >= 0 && ::close(inputFd) != 0) {
        inputFd = -1;
        SystemCall::fail("close");
    }
    inputFd = -1;
}

void ChildProcess::reap(int status)
{
    if (WIFEXITED(status))
        exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exitStatus = 128 + WTERMSIG(status);
    else
        exitStatus = -1;
}

bool ChildProcess::isRunning()
{
    std::lock_guard guard(lock);
    if (!unreaped())
        return false;
    int status = 0;
    const pid_t found = waitpid(processID, &status, WNOHANG);
    if (found == processID)
        reap(status);
    else if (found < 0)
        waitError = errno;
    return found == 0;
}

void ChildProcess::terminate()
{
    std::lock_guard guard(lock);
    if (unreaped())
        ::kill(processID, SIGTERM);
}

int ChildProcess::waitForExit()
{
    // Wait without reaping, so that terminate() can never signal a recycled process id.
    siginfo_t info{};
    SystemCall::retrying([&] { return waitid(P_PID, static_cast<id_t>(processID), &info, WEXITED | WNOWAIT); });
    std::lock_guard guard(lock);
    if (unreaped()) {
        int status = 0;
        if (SystemCall::retrying([&] { return waitpid(processID, &status, 0); }) == processID)
            reap(status);
        else
            waitError = errno;
    }
    if (!exitStatus)
        SystemCall::fail("waitpid", waitError);
    return *exitStatus;
}

QStringList ChildProcess::inheritedEnvironment()
{
    QStringList result;
    for (char** entry = environ; entry && *entry; ++entry)
        result << QString::fromLocal8Bit(*entry);
    return result;
}
