#include "CliSession.h"

#include "CliInput.h"
#include "CliOutput.h"
#include "KeychainStore.h"
#include "ProfileStore.h"

#include <QUuid>
#include <stdexcept>

namespace CliSession {

ServerProfile savedProfile(const QList<ServerProfile>& profiles, const QString& nameOrID)
{
    const QUuid id = QUuid::fromString(nameOrID);
    QList<ServerProfile> matches;
    for (const ServerProfile& profile : profiles)
        if ((!id.isNull() && profile.id == id) || profile.name == nameOrID)
            matches.append(profile);
    if (matches.isEmpty())
        throw std::runtime_error("no saved profile is called " + nameOrID.toStdString());
    if (matches.size() > 1)
        throw std::runtime_error("several saved profiles are called " + nameOrID.toStdString() +
                                 "; use the profile's UUID");
    return matches.first();
}

FTPClient client(const CliContext& context)
{
    ServerProfile profile;
    if (context.profileFile)
        profile = ServerProfile::fromJson(CliOutput::readFile(*context.profileFile));
    else if (context.savedProfile)
        profile = savedProfile(ProfileStore::load(), *context.savedProfile);
    else
        throw UsageError(QStringLiteral("this command needs --profile FILE or --saved NAME"));
    profile.validate();
    QString password;
    if (context.passwordFromStandardInput)
        password = CliInput::readPassword();
    else if (context.savedProfile && profile.rememberPassword)
        password = KeychainStore::password(profile.id);
    return FTPClient(profile, password);
}

} // namespace CliSession
