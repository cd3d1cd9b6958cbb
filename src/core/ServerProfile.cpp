#include "ServerProfile.h"

#include "FTPError.h"
#include "L10n.h"
#include "SecretMemory.h"
#include "TextRules.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

ServerProfile::ServerProfile() : id(QUuid::createUuid()), name(L("new_server")) {}

QString ServerProfile::uuidText(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

QString ServerProfile::idText() const
{
    return uuidText(id);
}

bool ServerProfile::isValidHost(const QString& host)
{
    static const QString forbidden = QStringLiteral("/@?#\\");
    if (host.isEmpty() || host.startsWith(QLatin1Char('-')) || TextRules::containsWhitespace(host))
        return false;
    for (QChar c : forbidden)
        if (host.contains(c))
            return false;
    return true;
}

static bool isBase64Digit(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' || c == u'/';
}

// What keeps a pasted fingerprint from being a SHA-256 digest in unpadded Base64 (43 characters,
// optionally after "SHA256:" and with one "=" of padding), if anything.
static std::optional<QString> fingerprintProblem(const std::optional<QString>& fingerprint)
{
    QString text = fingerprint.value_or(QString());
    text.remove(QStringLiteral("SHA256:"));
    if (text.isEmpty())
        return L("ssh_fingerprint_missing");
    if (text.endsWith(u'='))
        text.chop(1);
    if (const auto wrong = std::find_if_not(text.cbegin(), text.cend(), isBase64Digit); wrong != text.cend())
        return L("ssh_fingerprint_characters", TextRules::visible(QString(*wrong)));
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1() + '=', QByteArray::AbortOnBase64DecodingErrors);
    if (text.size() != 43 || !decoded || decoded.decoded.size() != 32)
        return L("ssh_fingerprint_length", QString::number(text.size()));
    return std::nullopt;
}

QList<ServerProfile::Problem> ServerProfile::problems() const
{
    QList<Problem> found;
    if (!isValidHost(host))
        found.append({Field::host, L("invalid_host")});
    if (port < 1 || port > 65535)
        found.append({Field::port, L("invalid_port")});
    if (protocolType == FTPProtocol::sftp)
        if (const std::optional<QString> problem = fingerprintProblem(sshFingerprint))
            found.append({Field::fingerprint, *problem});
    if (username.isEmpty() || username.contains(QLatin1Char(':')) || TextRules::containsLineBreak(username))
        found.append({Field::username, L("invalid_user")});
    if (!initialPath.startsWith(QLatin1Char('/')) || TextRules::containsLineBreak(initialPath) ||
        TextRules::containsNul(initialPath))
        found.append({Field::initialPath, L("invalid_initial_path")});
    return found;
}

void ServerProfile::validate() const
{
    const QList<Problem> found = problems();
    if (!found.isEmpty())
        throw FTPError::message(found.first().sentence);
}

void ServerProfile::validatePassword(const QString& password)
{
    QByteArray bytes = password.toUtf8();
    const qsizetype length = bytes.size();
    SecretMemory::wipe(bytes);
    if (length > maximumPasswordBytes)
        throw FTPError::message(L("long_password"));
    if (password.contains(QLatin1Char('\r')) || password.contains(QLatin1Char('\n')) ||
        TextRules::containsNul(password))
        throw FTPError::message(L("invalid_password"));
}

QJsonObject ServerProfile::toJson() const
{
    QJsonObject object{
        {QStringLiteral("id"), idText()},
        {QStringLiteral("name"), name},
        {QStringLiteral("host"), host},
        {QStringLiteral("port"), port},
        {QStringLiteral("username"), username},
        {QStringLiteral("protocolType"), FTPProtocols::rawValue(protocolType)},
        {QStringLiteral("initialPath"), initialPath},
        {QStringLiteral("rememberPassword"), rememberPassword},
    };
    if (sshKeyPath)
        object.insert(QStringLiteral("sshKeyPath"), *sshKeyPath);
    if (sshFingerprint)
        object.insert(QStringLiteral("sshFingerprint"), *sshFingerprint);
    return object;
}

namespace {

[[noreturn]] void decodingFailure(const QString& key)
{
    throw FTPError::message(L("invalid_profile", key));
}

QJsonValue required(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        decodingFailure(key);
    return value;
}

QString requiredString(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    if (!value.isString())
        decodingFailure(key);
    return value.toString();
}

std::optional<QString> optionalString(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        decodingFailure(key);
    return value.toString();
}

qint64 requiredInteger(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    const double number = value.toDouble();
    // Doubles beyond 2^53 cannot hold an exact integer; no port comes near that.
    if (!value.isDouble() || std::floor(number) != number || std::fabs(number) > 9007199254740992.0)
        decodingFailure(key);
    return static_cast<qint64>(number);
}

} // namespace

ServerProfile ServerProfile::fromJson(const QJsonObject& object)
{
    ServerProfile profile;
    const QUuid id = QUuid::fromString(requiredString(object, QStringLiteral("id")));
    if (id.isNull())
        decodingFailure(QStringLiteral("id"));
    profile.id = id;
    profile.name = requiredString(object, QStringLiteral("name"));
    profile.host = requiredString(object, QStringLiteral("host"));
    profile.port = requiredInteger(object, QStringLiteral("port"));
    profile.username = requiredString(object, QStringLiteral("username"));
    const auto protocol = FTPProtocols::fromRawValue(requiredString(object, QStringLiteral("protocolType")));
    if (!protocol)
        decodingFailure(QStringLiteral("protocolType"));
    profile.protocolType = *protocol;
    profile.initialPath = requiredString(object, QStringLiteral("initialPath"));
    const QJsonValue remember = required(object, QStringLiteral("rememberPassword"));
    if (!remember.isBool())
        decodingFailure(QStringLiteral("rememberPassword"));
    profile.rememberPassword = remember.toBool();
    profile.sshKeyPath = optionalString(object, QStringLiteral("sshKeyPath"));
    profile.sshFingerprint = optionalString(object, QStringLiteral("sshFingerprint"));
    return profile;
}

ServerProfile ServerProfile::fromJson(const QByteArray& document)
{
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError || !parsed.isObject())
        throw FTPError::message(L("invalid_profile", error.errorString()));
    return fromJson(parsed.object());
}
