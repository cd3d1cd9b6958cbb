#include "ProfileStore.h"

#include "AtomicFile.h"
#include "FTPError.h"
#include "L10n.h"
#include "StoreFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStandardPaths>

namespace ProfileStore {

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Dravik FTP");
}

QString file()
{
    return folder() + QStringLiteral("/servers.json");
}

QByteArray encode(const QList<ServerProfile>& profiles)
{
    QJsonArray array;
    for (const ServerProfile& profile : profiles)
        array.append(profile.toJson());
    // QJsonObject keeps its keys in sorted order, which is the order they are written in.
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

QList<ServerProfile> decode(const QByteArray& document)
{
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        throw FTPError::message(L("invalid_profile", error.errorString()));
    if (!parsed.isArray())
        throw FTPError::message(L("invalid_profile", QStringLiteral("servers.json")));
    QList<ServerProfile> profiles;
    for (const QJsonValue& value : parsed.array()) {
        if (!value.isObject())
            throw FTPError::message(L("invalid_profile", QStringLiteral("servers.json")));
        profiles.append(ServerProfile::fromJson(value.toObject()));
    }
    return profiles;
}

namespace {

Saved change(const std::function<void(QList<ServerProfile>&)>& edit)
{
    Saved saved;
    saved.keptAs = StoreFile::change(file(), [&](const std::optional<QByteArray>& current) {
        saved.profiles = current ? decode(*current) : QList<ServerProfile>();
        edit(saved.profiles);
        return encode(saved.profiles);
    });
    return saved;
}

} // namespace

Saved put(const ServerProfile& profile)
{
    return change([&profile](QList<ServerProfile>& list) { StoreFile::put(list, profile); });
}

Saved remove(const QUuid& id)
{
    return change([&id](QList<ServerProfile>& list) { StoreFile::remove(list, id); });
}

void save(const QList<ServerProfile>& profiles)
{
    StoreFile::replace(file(), encode(profiles));
}

QList<ServerProfile> load()
{
    const std::optional<QByteArray> document = AtomicFile::read(file());
    return document ? decode(*document) : QList<ServerProfile>();
}

bool remembersPassword(const QUuid& id)
{
    try {
        const QList<ServerProfile> saved = load();
        return std::any_of(saved.cbegin(), saved.cend(), [&id](const ServerProfile& profile) {
            return profile.id == id && profile.rememberPassword;
        });
    } catch (...) {
        return false;
    }
}

} // namespace ProfileStore
