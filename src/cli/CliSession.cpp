#include "CliSession.h"

#include "CancellationError.h"
#include "CliInput.h"
#include "CliOutput.h"
#include "KeychainStore.h"
#include "ProfileStore.h"
#include "RemotePath.h"
#include "SavedProfiles.h"
#include "ServerProfile.h"

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
    if (context.savedProfile)
        return SavedProfiles::find(ProfileStore::load(), *context.savedProfile);
    if (!context.profileFile)
        throw UsageError(QStringLiteral("this command needs --profile FILE or --saved NAME"));
    return ServerProfile::fromJson(CliOutput::readFile(*context.profileFile));
}

// The first line of standard input, so that later lines can answer questions; or the password the
// secret store remembers for a saved profile.
QString passwordOf(const CliContext& context, const ServerProfile& profile)
{
    if (context.passwordFromStandardInput)
        return CliInput::readPassword();
    if (context.savedProfile && profile.rememberPassword)
        return KeychainStore::password(profile.id);
    return {};
}

FTPClient clientOf(const CliContext& context)
{
    const ServerProfile profile = profileOf(context);
    return FTPClient(profile, passwordOf(context, profile));
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

CliSession::CliSession(const CliContext& context) : ftp(clientOf(context))
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

std::optional<FileEntry> CliSession::remoteEntry(const FTPClient& client, const QString& remote,
                                                 const std::stop_token& token)
{
    const QString name = RemotePath::lastComponent(remote);
    if (name.isEmpty())
        return FileEntry{QStringLiteral("/"), true, std::nullopt, std::nullopt};
    for (const FileEntry& entry : client.list(RemotePath::parent(remote), token))
        if (entry.name == name)
            return entry;
    return std::nullopt;
}
