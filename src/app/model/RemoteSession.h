#pragma once

#include "FTPClient.h"
#include "FilePane.h"
#include "ServerLink.h"
#include "ServerProfile.h"
#include "TaskSlot.h"

#include <QString>
#include <QUuid>
#include <functional>
#include <optional>
#include <stop_token>

class AppModel;

// The connection and the remote pane: the live client, the folder shown with its entries,
// selection and search, and every remote operation of the pane. Connect, browse and the file
// operations share one task slot and one token, browseID: each new one replaces the token, and a
// task whose token is no longer current ends without touching anything.
class RemoteSession {
public:
    using Operation = std::function<void(const FTPClient&, std::stop_token)>;

    explicit RemoteSession(AppModel& model);

    const std::optional<FTPClient>& client() const { return m_client; }
    const std::optional<ServerProfile>& connectedProfile() const { return m_connectedProfile; }
    const QString& path() const { return m_path; }
    bool busy() const { return m_busy; }
    FilePane& pane() { return m_pane; }
    const FilePane& pane() const { return m_pane; }

    // Starts listing the profile's initial folder with a new client, which becomes the live
    // connection when the listing arrives. The caller has ended the previous connection. With a
    // link, the link's folder is listed instead, and the pane then lands on what the link names.
    void connect(const ServerProfile& profile, const QString& password,
                 const std::optional<ServerLink>& link = std::nullopt);
    // Drops every browse-kind task and the connection; the pane shows "/" with nothing in it.
    void disconnect();
    // Stops the running task without touching any state, for the model's destructor.
    void cancelTasks() { m_browseTask.cancel(); }
    void browse(const std::optional<QString>& path);
    // Enters the selected folder, or the folder a selected symbolic link leads to.
    void openSelection();
    void createFolder(const QString& name);
    void rename(const QString& newName);
    // Deletes the selected items for good, each with everything in it, after the person confirms.
    void deleteSelection();
    void changePermissions(const QString& mode);

private:
    // Lists `target` and shows it. `throughLink`: `target` is a link that may be no folder, which
    // is not worth an error.
    void show(const QString& target, bool throughLink);
    // Makes the client the live connection, showing the first listing, of `folder`.
    void adopt(const FTPClient& client, const QString& folder, QList<FileEntry> entries,
               const std::optional<ServerLink>& link);
    // In the folder of a link that may name a file: selects the file, or opens the folder.
    void land(const ServerLink& link);
    // Runs `operation` over the live client in the browse slot, records `done` (what it did) in
    // the activity, then lists the folder again.
    void performRemote(Operation operation, const QString& done);
    // A fresh browseID for a new browse-kind task, which is returned as its token.
    QUuid replaceToken();
    void setBusy(bool busy);
    // Whether the outcome of a browse-kind task is to be applied: its token is still current (the
    // pane then stops being busy) and it has a result (a failure is reported instead).
    template <typename Result> bool settle(const QUuid& token, const TaskOutcome<Result>& outcome);

    AppModel& m_model;
    std::optional<FTPClient> m_client;
    std::optional<ServerProfile> m_connectedProfile;
    QString m_path;
    FilePane m_pane;
    bool m_busy = false;
    QUuid m_browseID = QUuid::createUuid();
    TaskSlot m_browseTask;
};
