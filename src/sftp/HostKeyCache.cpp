#include "HostKeyCache.h"

#include "HostKeyPinning.h"

#include <QHash>
#include <mutex>

namespace HostKeyCache {

namespace {

std::mutex lock;
QHash<QString, QStringList> kept;

QString keyOf(const ServerProfile& profile)
{
    // A line break cannot occur in a host name or a fingerprint, so no two profiles share a key.
    return profile.host + u'\n' + QString::number(profile.port) + u'\n' +
           HostKeyPinning::normalised(profile.sshFingerprint);
}

} // namespace

std::optional<QStringList> find(const ServerProfile& profile)
{
    std::lock_guard guard(lock);
    const auto found = kept.constFind(keyOf(profile));
    if (found == kept.cend())
        return std::nullopt;
    return *found;
}

void keep(const ServerProfile& profile, const QStringList& lines)
{
    std::lock_guard guard(lock);
    kept.insert(keyOf(profile), lines);
}

void forget(const ServerProfile& profile)
{
    std::lock_guard guard(lock);
    kept.remove(keyOf(profile));
}

} // namespace HostKeyCache
