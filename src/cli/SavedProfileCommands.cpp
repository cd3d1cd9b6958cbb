#include "CliCommand.h"
#include "CliInput.h"
#include "CliOutput.h"
#include "KeychainStore.h"
#include "L10n.h"
#include "ProfileStore.h"
#include "SavedProfiles.h"
#include "StoreFile.h"

using namespace Qt::StringLiterals;

static int listProfiles(CliContext& context)
{
    if (!context.arguments.isEmpty())
        throw UsageError(QStringLiteral("profiles takes no arguments"));
    for (const ServerProfile& profile : ProfileStore::load())
        CliOutput::printJson(profile.toJson());
    return 0;
}

// For shell completion: a name is one line, its control characters escaped.
static int listProfileNames(CliContext& context)
{
    if (!context.arguments.isEmpty())
        throw UsageError(u"profile-names takes no arguments"_s);
    for (const ServerProfile& profile : ProfileStore::load())
        CliOutput::printLine(profile.name);
    return 0;
}

static void tellKept(const QString& keptAs)
{
    if (const std::optional<QString> notice = StoreFile::keptNotice(ProfileStore::file(), keptAs))
        CliOutput::printError(*notice);
}

static void put(const ServerProfile& profile)
{
    tellKept(ProfileStore::put(profile).keptAs);
    CliOutput::printLine(L("saved_connection", profile.name));
}

// As the connection editor saves: the secret store first, so that a failure there leaves the
// profiles file as it was, except that a desktop without any secret store still gets the profile,
// only without its password.
static int saveProfile(CliContext& context)
{
    QStringList words = context.arguments;
    const bool passwordFromStandardInput =
        words.removeAll(QStringLiteral("--password-stdin")) > 0 || context.passwordFromStandardInput;
    if (words.size() != 1)
        throw UsageError(QStringLiteral("save-profile takes one file"));
    const ServerProfile profile = ServerProfile::fromJson(CliOutput::readFile(words.first()));
    profile.validate();
    try {
        if (profile.rememberPassword)
            KeychainStore::set(passwordFromStandardInput ? CliInput::readPassword() : QString(), profile.id);
        else if (ProfileStore::remembersPassword(profile.id))
            KeychainStore::deletePassword(profile.id);
    } catch (const KeychainStore::MissingStore&) {
        ServerProfile withoutPassword = profile;
        withoutPassword.rememberPassword = false;
        put(withoutPassword);
        throw;
    }
    put(profile);
    return 0;
}

static int removeProfile(CliContext& context)
{
    if (context.arguments.size() != 1)
        throw UsageError(QStringLiteral("remove-profile takes one name or UUID"));
    const ServerProfile profile = SavedProfiles::find(ProfileStore::load(), context.arguments.first());
    KeychainStore::deletePassword(profile.id);
    tellKept(ProfileStore::remove(profile.id).keptAs);
    return 0;
}

static const CliCommand profilesCommand(u"profiles"_s, u"profiles"_s,
                                        u"print the saved profiles, one JSON object per line"_s, listProfiles);
static const CliCommand namesCommand(u"profile-names"_s, u"profile-names"_s,
                                     u"print the names of the saved profiles, one per line"_s, listProfileNames);
static const CliCommand saveCommand(u"save-profile"_s, u"save-profile FILE [--password-stdin]"_s,
                                    u"save the profile in FILE, replacing the saved one of the same UUID; with "
                                    "--password-stdin and rememberPassword its password goes to the secret store"_s,
                                    saveProfile);
static const CliCommand removeCommand(u"remove-profile"_s, u"remove-profile NAME|UUID"_s,
                                      u"remove a saved profile and its remembered password"_s, removeProfile);
