#include "CliSession.h"

#include "CancellationError.h"
#include "CliInput.h"
#include "CliOutput.h"
#include "KeychainStore.h"
#include "ProfileStore.h"
#include "RemotePath.h"
#include "SavedProfiles.h"
#include "ServerProfile.h"

#include "StopSignals.h"

namespace {

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

CliSession::CliSession(const CliContext& context) : ftp(clientOf(context)) {}

void CliSession::run(const std::function<void(const FTPClient&, std::stop_token)>& operation) const
{
    const StopSignals::Operation running;
    const std::stop_token stop = StopSignals::token();
    try {
        operation(ftp, stop);
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
    return client.entry(remote, token);
}
