#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

// One release as the update feed announces it, accepted only in a strict shape.
struct UpdateRelease {
    // The feed is read up to this many octets; one more fails the check.
    static constexpr qsizetype maximumFeedBytes = 262144;
    // A package is less than 25 MiB.
    static constexpr qint64 maximumPackageBytes = 26214399;

    QString version;
    qint64 build = 0;
    QUrl url;
    QString sha256;
    qint64 bytes = 0;
    // Lines of release notes per interface-language code.
    QMap<QString, QStringList> notes;

    bool operator==(const UpdateRelease&) const = default;

    // Decodes the feed and checks every field; the package must come from the server of `feedURL`
    // (UpdateRedirectPolicy). Throws FTPError "update_invalid".
    static UpdateRelease decode(const QByteArray& feed, const QUrl& feedURL);

    // The notes in the language of `code`, else in English, followed by the unsigned warning.
    QString notesText(const QString& code) const;
    // "Dravik-FTP-" + version + ".pkg", the last component of url.
    QString packageName() const;
};
