#pragma once

#include "FTPProtocol.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// One saved connection. The password is not part of it: it travels beside the profile.
struct ServerProfile {
    QUuid id;
    QString name;
    QString host;
    qint64 port = 21;
    QString username;
    FTPProtocol protocolType = FTPProtocol::explicitTLS;
    QString initialPath = QStringLiteral("/");
    bool rememberPassword = false;
    std::optional<QString> sshKeyPath;
    std::optional<QString> sshFingerprint;

    // A new profile: a fresh id, the localised default name, every other field at its default.
    ServerProfile();

    bool operator==(const ServerProfile&) const = default;

    enum class Field { host, port, fingerprint, username, initialPath };
    struct Problem {
        Field field;
        // Says what is wrong with the field, in the interface language.
        QString sentence;
    };
    // Every field that breaks a rule, one sentence each, in the order of the rules.
    QList<Problem> problems() const;
    // Throws FTPError (message kind) naming the first rule the profile breaks.
    void validate() const;
    // Not empty, no leading "-" (which ssh would read as an option), no white space, and none of
    // the characters that would end the host part of a URL.
    static bool isValidHost(const QString& host);

    static constexpr qsizetype maximumPasswordBytes = 4096;
    // Throws FTPError "long_password" beyond 4,096 octets of UTF-8, and "invalid_password" for a
    // CR, LF or NUL, which would end the password early for ssh and start a second command in
    // the user's FTP session.
    static void validatePassword(const QString& password);

    QJsonObject toJson() const;
    // Throws FTPError when a required key is missing, has the wrong type, or names no protocol.
    static ServerProfile fromJson(const QJsonObject& object);
    static ServerProfile fromJson(const QByteArray& document);

    // The canonical upper-case 8-4-4-4-12 form used on disk and in the secret store.
    QString idText() const;
    static QString uuidText(const QUuid& uuid);
};
