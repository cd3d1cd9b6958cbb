#include "RemoteEditStore.h"

#include "AtomicFile.h"
#include "FTPError.h"
#include "L10n.h"
#include "ProfileStore.h"
#include "RemotePath.h"
#include "StoreFile.h"

#include <QByteArrayList>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace RemoteEditStore {

namespace {

// One value in compact JSON: QJsonDocument only writes arrays and objects, so the value is
// written inside an array whose brackets are then dropped.
QByteArray compact(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2);
}

// Keys in record order, which a QJsonObject would sort.
QByteArray encodeEdit(const RemoteEdit& edit)
{
    const QList<std::pair<QString, QJsonValue>> fields{{u"id"_s, ServerProfile::uuidText(edit.id)},
                                                       {u"profile"_s, edit.profile.toJson()},
                                                       {u"remotePath"_s, edit.remotePath},
                                                       {u"localURL"_s, QString::fromLatin1(edit.localURL.toEncoded())},
                                                       {u"originalHash"_s, edit.originalHash},
                                                       {u"uploadedHash"_s, edit.uploadedHash},
                                                       {u"changed"_s, edit.changed}};
    QByteArray text;
    for (const auto& [key, value] : fields)
        text += (text.isEmpty() ? "{" : ",") + compact(key) + ':' + compact(value);
    return text + '}';
}

[[noreturn]] void invalid(const QString& detail)
{
    throw FTPError::message(L("invalid_edits", detail));
}

QJsonValue required(const QJsonObject& object, const QString& key, QJsonValue::Type type)
{
    const QJsonValue value = object.value(key);
    if (value.type() != type)
        invalid(key);
    return value;
}

RemoteEdit fromJson(const QJsonObject& object)
{
    RemoteEdit edit;
    edit.id = QUuid::fromString(required(object, u"id"_s, QJsonValue::String).toString());
    if (edit.id.isNull())
        invalid(u"id"_s);
    try {
        edit.profile = ServerProfile::fromJson(required(object, u"profile"_s, QJsonValue::Object).toObject());
    } catch (const FTPError&) {
        invalid(u"profile"_s);
    }
    edit.remotePath = required(object, u"remotePath"_s, QJsonValue::String).toString();
    if (!RemotePath::isUsable(edit.remotePath))
        invalid(u"remotePath"_s);
    edit.localURL =
        QUrl::fromEncoded(required(object, u"localURL"_s, QJsonValue::String).toString().toUtf8(), QUrl::StrictMode);
    if (!edit.localURL.isValid() || !edit.localURL.isLocalFile() || !edit.localURL.host().isEmpty() ||
        !edit.localURL.path().startsWith(u'/'))
        invalid(u"localURL"_s);
    edit.originalHash = required(object, u"originalHash"_s, QJsonValue::String).toString();
    edit.uploadedHash = required(object, u"uploadedHash"_s, QJsonValue::String).toString();
    edit.changed = required(object, u"changed"_s, QJsonValue::Bool).toBool();
    return edit;
}

} // namespace

QString file()
{
    return ProfileStore::folder() + u"/remote-edits.json"_s;
}

QString copiesFolder()
{
    return ProfileStore::folder() + u"/Remote Edits"_s;
}

QString newCopyFolder()
{
    AtomicFile::ensurePrivateFolder(ProfileStore::folder());
    AtomicFile::ensurePrivateFolder(copiesFolder());
    const QString folder = copiesFolder() + u'/' + ServerProfile::uuidText(QUuid::createUuid());
    AtomicFile::ensurePrivateFolder(folder);
    return folder;
}

QByteArray encode(const QList<RemoteEdit>& edits)
{
    QByteArrayList objects;
    for (const RemoteEdit& edit : edits)
        objects.append(encodeEdit(edit));
    return '[' + objects.join(',') + ']';
}

QList<RemoteEdit> decode(const QByteArray& document)
{
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        invalid(error.errorString());
    if (!parsed.isArray())
        invalid(u"remote-edits.json"_s);
    QList<RemoteEdit> edits;
    for (const QJsonValue& value : parsed.array()) {
        if (!value.isObject())
            invalid(u"remote-edits.json"_s);
        edits.append(fromJson(value.toObject()));
    }
    return edits;
}

namespace {

QString change(const std::function<void(QList<RemoteEdit>&)>& edit)
{
    return StoreFile::change(file(), [&edit](const std::optional<QByteArray>& current) {
        QList<RemoteEdit> edits = current ? decode(*current) : QList<RemoteEdit>();
        edit(edits);
        return encode(edits);
    });
}

} // namespace

QString put(const RemoteEdit& edit)
{
    return change([&edit](QList<RemoteEdit>& list) { StoreFile::put(list, edit); });
}

QString remove(const QUuid& id)
{
    return change([&id](QList<RemoteEdit>& list) { StoreFile::remove(list, id); });
}

void save(const QList<RemoteEdit>& edits)
{
    StoreFile::replace(file(), encode(edits));
}

QList<RemoteEdit> load()
{
    const std::optional<QByteArray> document = AtomicFile::read(file());
    return document ? decode(*document) : QList<RemoteEdit>();
}

} // namespace RemoteEditStore
