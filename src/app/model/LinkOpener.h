#pragma once

#include "PartContext.h"
#include "ServerLink.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

// Opens what an ftp://, ftps:// or sftp:// link names. A saved profile that stands for the link
// is selected and connected as the person would connect it; any other server gets a new profile
// in the connection editor. Either way the link waits for the profile's connection, whose first
// listing is then the link's folder rather than the profile's initial one.
class LinkOpener : public QObject {
    Q_OBJECT

public:
    explicit LinkOpener(const PartContext& context, QObject* parent = nullptr);

    // A malformed link is reported and changes nothing.
    void open(const QString& text, const QList<ServerProfile>& profiles);
    // The link waiting for this profile's connection, if any; each connection ends the wait.
    std::optional<ServerLink> take(const QUuid& profileID);
    // What the connection editor tells the person as it opens on a link's profile: what the link
    // could not fill in, or left out. Cleared as the editor closes.
    const QString& notice() const { return m_notice; }
    void clearNotice() { m_notice.clear(); }

Q_SIGNALS:
    // The connection editor is to open on `profile`.
    void editRequested(const ServerProfile& profile);
    // The saved profile of the link is to be selected.
    void savedChosen(const QUuid& profileID);
    // The selected profile is to be connected with its stored password.
    void connectRequested();

private:
    void edit(const ServerProfile& profile, const QStringList& notes);

    PartContext m_context;
    struct Waiting {
        QUuid profileID;
        ServerLink link;
    };
    std::optional<Waiting> m_waiting;
    QString m_notice;
};
