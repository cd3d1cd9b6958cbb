#include "CliSession.h"

#include "CancellationError.h"
#include "CliOutput.h"
#include "ServerProfile.h"

#include <QFile>
#include <csignal>
#include <pthread.h>

namespace {

sigset_t stopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

ServerProfile profileOf(const CliContext& context)
{
    if (!context.profileFile)
        throw UsageError(QStringLiteral("this command needs --profile FILE"));
    return ServerProfile::fromJson(CliOutput::readFile(*context.profileFile));
}

// The whole of standard input without one final line break, so that `echo pw |` works.
QString passwordOf(const CliContext& context)
{
    if (!context.passwordFromStandardInput)
        return {};
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("standard input cannot be read"));
    QByteArray bytes = input.readAll();
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

} // namespace

CliArguments CliArguments::read(const QStringList& words, qsizetype count, const QStringList& flagNames,
                                const QStringList& valueNames)
{
    CliArguments result;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (!word.startsWith(QLatin1String("--"))) {
            result.positional << word;
        } else if (flagNames.contains(word)) {
            result.flags.insert(word);
        } else if (valueNames.contains(word) && i + 1 < words.size()) {
            result.values.insert(word, words.at(++i));
        } else {
            throw UsageError(QStringLiteral("unknown option or missing value: ") + word);
        }
    }
    if (result.positional.size() != count)
        throw UsageError(QStringLiteral("wrong number of arguments"));
    return result;
}

CliSession::CliSession(const CliContext& context) : ftp(profileOf(context), passwordOf(context))
{
    // Blocked here, the signals reach only the watcher; threads started later inherit the mask,
    // while child processes start with none.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    watcher = std::thread([this] { waitForSignals(); });
}

CliSession::~CliSession()
{
    finished = true;
    pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    // The signals stay blocked: the program ends right after its session, and a late Ctrl-C must
    // not turn a finished command into a killed one.
}

void CliSession::waitForSignals()
{
    const sigset_t signals = stopSignals();
    int received = 0;
    while (!finished) {
        if (sigwait(&signals, &received) == 0 && !finished)
            stop.request_stop();
    }
}

void CliSession::run(const std::function<void(const FTPClient&, std::stop_token)>& operation) const
{
    try {
        operation(ftp, stop.get_token());
    } catch (...) {
        if (stop.stop_requested())
            throw CancellationError();
        throw;
    }
}
