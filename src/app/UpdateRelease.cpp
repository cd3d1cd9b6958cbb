#include "UpdateRelease.h"

#include "FTPError.h"
#include "L10n.h"
#include "UpdateRedirectPolicy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void invalid()
{
    throw FTPError::message(L("update_invalid"));
}

QJsonValue required(const QJsonObject& object, const QString& key, QJsonValue::Type type)
{
    const QJsonValue value = object.value(key);
    if (value.type() != type)
        invalid();
    return value;
}

// A whole number from `minimum` to `maximum`; JSON has only doubles, exact up to 2^53.
qint64 integer(const QJsonObject& object, const QString& key, qint64 minimum, qint64 maximum)
{
    const double number = required(object, key, QJsonValue::Double).toDouble();
    if (std::floor(number) != number || number < double(minimum) || number > double(maximum))
        invalid();
    return qint64(number);
}

QString matching(const QJsonObject& object, const QString& key, const QRegularExpression& pattern)
{
    const QString text = required(object, key, QJsonValue::String).toString();
    if (!pattern.match(text).hasMatch())
        invalid();
    return text;
}

QMap<QString, QStringList> notesOf(const QJsonObject& object)
{
    QMap<QString, QStringList> notes;
    const QJsonObject languages = required(object, u"notes"_s, QJsonValue::Object).toObject();
    for (auto language = languages.begin(); language != languages.end(); ++language) {
        if (!language->isArray())
            invalid();
        QStringList lines;
        for (const QJsonValue& line : language->toArray()) {
            if (!line.isString())
                invalid();
            lines.append(line.toString());
        }
        notes.insert(language.key(), lines);
    }
    return notes;
}

} // namespace

UpdateRelease UpdateRelease::decode(const QByteArray& feed, const QUrl& feedURL)
{
    // ASCII digits only, and nothing after the last character, not even a line feed.
    static const QRegularExpression versionPattern(QRegularExpression::anchoredPattern(u"[0-9]+\\.[0-9]+\\.[0-9]+"_s));
    static const QRegularExpression digestPattern(QRegularExpression::anchoredPattern(u"[a-fA-F0-9]{64}"_s));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(feed, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        invalid();
    const QJsonObject object = document.object();

    UpdateRelease release;
    release.version = matching(object, u"version"_s, versionPattern);
    release.build = integer(object, u"build"_s, 1, qint64(1) << 53);
    release.url = QUrl(required(object, u"url"_s, QJsonValue::String).toString(), QUrl::StrictMode);
    // The encoded path: "%2F" must not pass for a "/".
    if (!release.url.isValid() || !UpdateRedirectPolicy(feedURL).allows(release.url) ||
        release.url.path(QUrl::FullyEncoded) != u"/downloads/"_s + release.packageName())
        invalid();
    release.sha256 = matching(object, u"sha256"_s, digestPattern);
    release.bytes = integer(object, u"bytes"_s, 1, maximumPackageBytes);
    release.notes = notesOf(object);
    return release;
}

QString UpdateRelease::notesText(const QString& code) const
{
    return notes.value(code, notes.value(u"en"_s)).join(u'\n') + u"\n\n"_s + L("update_unsigned");
}

QString UpdateRelease::packageName() const
{
    return u"Dravik-FTP-"_s + version + u".pkg"_s;
}
