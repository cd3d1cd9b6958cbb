#include "CliTestRun.h"

#include <QProcess>

CliTestRun CliTestRun::run(const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(QStringLiteral(DRAVIK_BINARY_DIR "/bin/dravik-cli"), arguments);
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
