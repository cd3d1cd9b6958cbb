#include "Measurement.h"

#include "ChildProcess.h"
#include "SystemCall.h"

#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Measurement {

double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

QByteArray load()
{
    QFile average(u"/proc/loadavg"_s);
    return average.open(QIODevice::ReadOnly) ? average.readLine().trimmed() : QByteArray();
}

bool Selection::wants(const QString& name) const
{
    return cases.isEmpty() ? !name.startsWith(u"cli-"_s) : cases.contains(name);
}

Selection selection(const QStringList& given)
{
    using namespace std::chrono_literals;
    Selection chosen;
    for (const QString& word : given) {
        bool number = false;
        const int milliseconds = word.toInt(&number);
        if (number)
            chosen.roundTrips.append(std::chrono::milliseconds(milliseconds));
        else
            chosen.cases.append(word);
    }
    if (chosen.roundTrips.isEmpty())
        chosen.roundTrips = {0ms, 10ms, 50ms};
    return chosen;
}

void run(const QString& program, const QStringList& arguments, const QByteArray& input,
         const std::optional<QStringList>& environment)
{
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ChildProcess child(
        {.program = program, .arguments = arguments, .environment = environment, .standardOutputFile = nowhere});
    ::close(nowhere);
    if (!input.isEmpty())
        child.write(input);
    child.closeStandardInput();
    const QByteArray diagnostics = SystemCall::readToEnd(child.standardError());
    if (child.waitForExit() != 0)
        throw std::runtime_error(QString(program + u" failed: "_s).toStdString() + diagnostics.toStdString());
}

void cli(const QString& profileFile, const QString& secret, const QStringList& words)
{
    const QString program = qEnvironmentVariable("DRAVIK_CLI", u"" DRAVIK_BINARY_DIR "/bin/dravik-cli"_s);
    run(program,
        QStringList{u"--profile"_s, profileFile, u"--password-stdin"_s, u"transfer"_s} + words +
            QStringList{u"--parallel"_s, u"1"_s},
        secret.toUtf8() + '\n');
}

} // namespace Measurement
