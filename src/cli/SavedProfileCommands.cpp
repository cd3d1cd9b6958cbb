#include "CliCommand.h"
#include "CliInput.h"
#include "CliOutput.h"
#include "KeychainStore.h"
#include "L10n.h"
#include "ProfileStore.h"
#include "SavedProfiles.h"

static int listProfiles(CliContext& context)
{
    if (!context.arguments.isEmpty())
        throw UsageError(QStringLiteral("profiles takes no arguments"));
    for (const ServerProfile& profile : ProfileStore::load())
        CliOutput::printJson(profile.toJson());
    return 0;
}

// As the connection editor saves: the secret store first, so that a failure there leaves the
// profiles file as it was.
static int saveProfile(CliContext& context)
{
    QStringList words = context.arguments;
    const bool passwordFromStandardInput =
        words.removeAll(QStringLiteral("--password-stdin")) > 0 || context.passwordFromStandardInput;
    if (words.size() != 1)
        throw UsageError(QStringLiteral("save-profile takes one file"));
    const ServerProfile profile = ServerProfile::fromJson(CliOutput::readFile(words.first()));
    profile.validate();
    QList<ServerProfile> profiles = ProfileStore::load();
    if (profile.rememberPassword)
        KeychainStore::set(passwordFromStandardInput ? CliInput::readPassword() : QString(), profile.id);
    else
        KeychainStore::deletePassword(profile.id);
    const auto same = std::find_if(profiles.begin(), profiles.end(),
                                   [&profile](const ServerProfile& saved) { return saved.id == profile.id; });
    if (same == profiles.end())
        profiles.append(profile);
    else
        *same = profile;
    ProfileStore::save(profiles);
    CliOutput::printLine(L("saved_connection", profile.name));
    return 0;
}

static int removeProfile(CliContext& context)
{
    if (context.arguments.size() != 1)
        throw UsageError(QStringLiteral("remove-profile takes one name or UUID"));
    QList<ServerProfile> profiles = ProfileStore::load();
    const ServerProfile profile = SavedProfiles::find(profiles, context.arguments.first());
    profiles.removeIf([&profile](const ServerProfile& saved) { return saved.id == profile.id; });
    KeychainStore::deletePassword(profile.id);
    ProfileStore::save(profiles);
    return 0;
}

static const CliCommand profilesCommand(QStringLiteral("profiles"), QStringLiteral("profiles"), listProfiles);
static const CliCommand saveCommand(QStringLiteral("save-profile"),
                                    QStringLiteral("save-profile FILE [--password-stdin]"), saveProfile);
static const CliCommand removeCommand(QStringLiteral("remove-profile"), QStringLiteral("remove-profile NAME|UUID"),
                                      removeProfile);
