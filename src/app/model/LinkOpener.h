#pragma once

#include "ServerLink.h"

#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

class AppModel;

// Opens what an ftp://, ftps:// or sftp:// link names. A saved profile that stands for the link
// is selected and connected as the person would connect it; any other server gets a new profile
// in the connection editor. Either way the link waits for the profile's connection, whose first
// listing is then the link's folder rather than the profile's initial one.
class LinkOpener {
public:
    explicit LinkOpener(AppModel& model);

    // A malformed link is reported and changes nothing.
    void open(const QString& text);
    // The link waiting for this profile's connection, if any; each connection ends the wait.
    std::optional<ServerLink> take(const QUuid& profileID);
    // What the connection editor tells the person as it opens on a link's profile: what the link
    // could not fill in, or left out. Empty once the editor closes.
    const QString& notice() const { return m_notice; }

private:
    void edit(const ServerProfile& profile, const QStringList& notes);

    AppModel& m_model;
    struct Waiting {
        QUuid profileID;
        ServerLink link;
    };
    std::optional<Waiting> m_waiting;
    QString m_notice;
};
