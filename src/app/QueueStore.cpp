#include "QueueStore.h"

#include "AtomicFile.h"
#include "FTPError.h"
#include "L10n.h"
#include "ProfileStore.h"
#include "StoreFile.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace QueueStore {

QString file()
{
    return ProfileStore::folder() + u"/transfer-queue.json"_s;
}

bool isSaved(TransferItem::State state)
{
    return state == TransferItem::State::waiting || state == TransferItem::State::running ||
           state == TransferItem::State::failed;
}

namespace {

// A JSON string as the JSON writer of Qt writes it: UTF-8, with quotes, backslashes and control
// characters escaped.
void appendString(QByteArray& out, const QString& text)
{
    out.append('"');
    for (const char byte : text.toUtf8()) {
        const auto code = static_cast<unsigned char>(byte);
        switch (byte) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (code < 0x20)
                out.append("\\u00").append(QByteArray::number(code, 16).rightJustified(2, '0'));
            else
                out.append(byte);
        }
    }
    out.append('"');
}

} // namespace

QByteArray profileRecord(const ServerProfile& profile)
{
    return QJsonDocument(profile.toJson()).toJson(QJsonDocument::Compact);
}

// Written by hand, keys in sorted order as the JSON writer would put them: queuing 50,000 records
// must not take seconds.
QByteArray record(const TransferItem& item, const QByteArray& profile)
{
    QByteArray out;
    out.reserve(160 + profile.size() + 2 * (item.localURL.size() + item.remotePath.size()));
    out.append(item.directory ? R"({"directory":true,"id":")" : R"({"directory":false,"id":")");
    out.append(ServerProfile::uuidText(item.id).toLatin1());
    out.append(R"(","localURL":)");
    appendString(out, QUrl::fromLocalFile(item.localURL).toString(QUrl::FullyEncoded));
    out.append(R"(,"profile":)").append(profile).append(R"(,"remotePath":)");
    appendString(out, item.remotePath);
    out.append(item.upload ? R"(,"upload":true})" : R"(,"upload":false})");
    return out;
}

QByteArray record(const TransferItem& item)
{
    return record(item, profileRecord(item.client.profile()));
}

QByteArray join(const QList<QByteArray>& records)
{
    qsizetype size = 2 + records.size();
    for (const QByteArray& one : records)
        size += one.size();
    QByteArray bytes;
    bytes.reserve(size);
    bytes.append('[');
    for (qsizetype n = 0; n < records.size(); ++n) {
        if (n > 0)
            bytes.append(',');
        bytes.append(records.at(n));
    }
    bytes.append(']');
    return bytes;
}

QByteArray data(const QList<TransferItem>& transfers)
{
    QList<QByteArray> records;
    for (const TransferItem& item : transfers)
        if (isSaved(item.state))
            records.append(record(item));
    return join(records);
}

void save(const QByteArray& bytes)
{
    StoreFile::replace(file(), bytes);
}

namespace {

[[noreturn]] void unreadable(const QString& what)
{
    throw FTPError::message(L("invalid_queue", what));
}

QJsonValue required(const QJsonObject& object, const QString& key, QJsonValue::Type type)
{
    const QJsonValue value = object.value(key);
    if (value.type() != type)
        unreadable(key);
    return value;
}

QString localPath(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile() || !url.toLocalFile().startsWith(u'/'))
        unreadable(u"localURL"_s);
    return url.toLocalFile();
}

// Only the id of a saved profile is used, but a record must hold a whole one.
QUuid profileID(const QJsonObject& profile)
{
    try {
        return ServerProfile::fromJson(profile).id;
    } catch (const FTPError&) {
        unreadable(u"profile"_s);
    }
}

struct SavedTransfer {
    QUuid id;
    QUuid profile;
    bool upload;
    QString localURL;
    QString remotePath;
    bool directory;

    static SavedTransfer fromJson(const QJsonValue& value)
    {
        if (!value.isObject())
            unreadable(u"transfer-queue.json"_s);
        const QJsonObject object = value.toObject();
        const QUuid id = QUuid::fromString(required(object, u"id"_s, QJsonValue::String).toString());
        if (id.isNull())
            unreadable(u"id"_s);
        return {id,
                profileID(required(object, u"profile"_s, QJsonValue::Object).toObject()),
                required(object, u"upload"_s, QJsonValue::Bool).toBool(),
                localPath(required(object, u"localURL"_s, QJsonValue::String).toString()),
                required(object, u"remotePath"_s, QJsonValue::String).toString(),
                required(object, u"directory"_s, QJsonValue::Bool).toBool()};
    }
};

} // namespace

QList<TransferItem> decode(const QByteArray& document, const QList<ServerProfile>& profiles)
{
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError)
        unreadable(error.errorString());
    if (!parsed.isArray())
        unreadable(u"transfer-queue.json"_s);
    QHash<QUuid, ServerProfile> byID;
    for (const ServerProfile& profile : profiles)
        byID.insert(profile.id, profile);
    QList<SavedTransfer> saved;
    for (const QJsonValue& value : parsed.array())
        saved.append(SavedTransfer::fromJson(value));
    QList<TransferItem> items;
    for (const SavedTransfer& one : saved) {
        const auto profile = byID.constFind(one.profile);
        if (profile == byID.cend())
            continue;
        TransferItem item(FTPClient(*profile, QString()));
        item.id = one.id;
        item.upload = one.upload;
        item.localURL = one.localURL;
        item.remotePath = one.remotePath;
        item.directory = one.directory;
        item.state = TransferItem::State::failed;
        item.error = L("queue_restored");
        items.append(std::move(item));
    }
    return items;
}

QList<TransferItem> load(const QList<ServerProfile>& profiles)
{
    const std::optional<QByteArray> document = AtomicFile::read(file());
    return document ? decode(*document, profiles) : QList<TransferItem>();
}

} // namespace QueueStore
