#include "ListingCommand.h"

#include "FTPError.h"

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QSet>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// curl's status for an error reply to the transfer command ("RETR response" in its words).
constexpr int commandRefused = 19;

std::mutex lock;
QHash<QByteArray, ListingCommand::Kind> learned;
QSet<QByteArray> withoutEntries;
QSet<QByteArray> withEntries;

QByteArray key(const ServerProfile& profile)
{
    return QJsonDocument(profile.toJson()).toJson(QJsonDocument::Compact);
}

} // namespace

ListingCommand::Kind ListingCommand::first(const ServerProfile& profile)
{
    const QByteArray profileKey = key(profile);
    const std::lock_guard guard(lock);
    return learned.value(profileKey, Kind::mlsd);
}

void ListingCommand::remember(const ServerProfile& profile, Kind kind)
{
    const QByteArray profileKey = key(profile);
    const std::lock_guard guard(lock);
    learned.insert(profileKey, kind);
}

bool ListingCommand::describesEntries(const ServerProfile& profile)
{
    const QByteArray profileKey = key(profile);
    const std::lock_guard guard(lock);
    return !withoutEntries.contains(profileKey);
}

void ListingCommand::rememberNoEntries(const ServerProfile& profile)
{
    const QByteArray profileKey = key(profile);
    const std::lock_guard guard(lock);
    withoutEntries.insert(profileKey);
}

bool ListingCommand::entriesConfirmed(const ServerProfile& profile)
{
    const QByteArray profileKey = key(profile);
    const std::lock_guard guard(lock);
    return withEntries.contains(profileKey);
}

void ListingCommand::rememberEntriesConfirmed(const ServerProfile& profile)
{
    const QByteArray profileKey = key(profile);
    const std::lock_guard guard(lock);
    withEntries.insert(profileKey);
}

QStringList ListingCommand::words(Kind kind)
{
    switch (kind) {
    case Kind::mlsd: return {u"--request"_s, u"MLSD"_s};
    case Kind::listAll: return {u"--request"_s, u"LIST -a"_s};
    case Kind::list: break;
    }
    return {};
}

bool ListingCommand::isRefusal(const std::exception_ptr& failure)
{
    return FTPError::commandStatus(failure) == commandRefused;
}
