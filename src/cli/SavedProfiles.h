#pragma once

#include "ServerProfile.h"

#include <QList>
#include <QString>

namespace SavedProfiles {

// The saved profile whose UUID or name is `nameOrID`; throws when there is none or the name is
// shared by several.
ServerProfile find(const QList<ServerProfile>& profiles, const QString& nameOrID);

} // namespace SavedProfiles
