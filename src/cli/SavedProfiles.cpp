#include "SavedProfiles.h"

#include <QUuid>
#include <stdexcept>

namespace SavedProfiles {

ServerProfile find(const QList<ServerProfile>& profiles, const QString& nameOrID)
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

} // namespace SavedProfiles
