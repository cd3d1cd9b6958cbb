#include "CliTestRun.h"

#include <QElapsedTimer>
#include <QProcess>

const QString CliTestRun::program = QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli");

namespace {

CliTestRun finished(QProcess& process)
{
    process.waitForFinished(120000);
    CliTestRun result;
    const bool ran = process.exitStatus() == QProcess::NormalExit && process.error() != QProcess::FailedToStart;
    result.exitStatus = ran ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.error = process.readAllStandardError();
    return result;
}

void start(QProcess& process, const QString& executable, const QStringList& arguments, const QByteArray& input)
{
    process.start(executable, arguments);
    process.waitForStarted();
    process.write(input);
    // Delivered now: a caller that waits without an event loop would otherwise hold it back.
    process.waitForBytesWritten();
    process.closeWriteChannel();
}

} // namespace

CliTestRun CliTestRun::run(const QStringList& arguments, const QByteArray& input, const QString& executable)
{
    QProcess process;
    start(process, executable, arguments, input);
    return finished(process);
}

CliTestRun CliTestRun::runUntil(const QStringList& arguments, const QByteArray& input,
                                const std::function<bool()>& ready, const std::function<void(pid_t)>& act)
{
    QProcess process;
    start(process, program, arguments, input);
    QElapsedTimer timer;
    timer.start();
    while (!ready() && timer.elapsed() < 30000 && !process.waitForFinished(5)) {
    }
    act(pid_t(process.processId()));
    return finished(process);
}
