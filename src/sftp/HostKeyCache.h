#pragma once

#include "ServerProfile.h"

#include <QStringList>
#include <optional>

// Host keys that a scan in this process has already matched to a profile's pin, so that only
// the first connection of a session pays for a scan. Entries are found by host, port and pin,
// so an edited profile or pin is a new entry and the old key is never offered for it.
// Safe from any thread.
namespace HostKeyCache {

// The known-hosts lines kept for the profile's host, port and pin.
std::optional<QStringList> find(const ServerProfile& profile);
void keep(const ServerProfile& profile, const QStringList& lines);
void forget(const ServerProfile& profile);

} // namespace HostKeyCache
