#include "CliTestRun.h"

#include <QProcess>

const QString CliTestRun::program = QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli");

CliTestRun CliTestRun::run(const QStringList& arguments, const QByteArray& input, const QString& executable)
{
    QProcess process;
    process.start(executable, arguments);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    CliTestRun result;
    result.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.error = process.readAllStandardError();
    return result;
}
