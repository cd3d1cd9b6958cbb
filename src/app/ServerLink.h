#pragma once

#include "FTPProtocol.h"
#include "ServerProfile.h"

#include <QList>
#include <QString>
#include <optional>

// A server as an ftp://, ftps:// or sftp:// link names it, the way a browser or a file manager
// hands one over: scheme://[user[:password]@]host[:port][/path]. ftps:// is implicit TLS; ftp://
// stands for explicit TLS or plain FTP, since the link cannot say whether the server offers TLS.
// A password in the link is read past and dropped: a link lives in histories and process lists,
// and passwords are kept nowhere but the secret store.
struct ServerLink {
    // The protocols a saved profile may use to stand for the link, the preferred first, which is
    // also the protocol of a new profile.
    QList<FTPProtocol> protocols;
    // An IPv6 address without its brackets.
    QString host;
    int port = 0;
    // Empty when the link names no user.
    QString username;
    // Absolute, no empty, "." or ".." component, no trailing "/" but for the root.
    QString path = QStringLiteral("/");
    // The link ends with "/": the path is a folder. Otherwise it may be a file or a folder.
    bool namesFolder = true;
    bool hadPassword = false;

    static constexpr qsizetype maximumLength = 2048;

    // Throws FTPError (message kind) with the sentence that says what is wrong with the link.
    static ServerLink parse(const QString& text);

    // The folder to list first: the path when it is one, otherwise its parent, whose listing
    // tells whether the last component is a file or a folder.
    QString folder() const;
    // The saved profile the link stands for: the same host (in any letter case), port and user
    // name, and one of the link's protocols, the preferred one first. A link without a user name
    // stands for the first such profile of any user.
    std::optional<ServerProfile> match(const QList<ServerProfile>& profiles) const;
    // A new profile with what the link says, for the connection editor to complete.
    ServerProfile newProfile() const;
};
