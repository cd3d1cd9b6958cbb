#pragma once

#include "FTPClient.h"
#include "FilePane.h"
#include "PartContext.h"
#include "ServerLink.h"
#include "ServerProfile.h"
#include "TaskSlot.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

// The connection and the remote pane: the live client, the folder shown with its entries,
// selection and search, and every remote operation of the pane. Connect, browse and the file
// operations share one task slot: each new one replaces the one before, which then ends without
// touching anything.
class RemoteSession : public FilePane {
    Q_OBJECT

public:
    using Operation = std::function<void(const FTPClient&, std::stop_token)>;

    // `working` tells whether any work of the model runs, this session's included; a file
    // operation waits for none.
    RemoteSession(const PartContext& context, std::function<bool()> working, QObject* parent = nullptr);

    const std::optional<FTPClient>& client() const { return m_client; }
    const std::optional<ServerProfile>& connectedProfile() const { return m_connectedProfile; }
    const QString& path() const { return m_path; }
    // A connect, a browse or a file operation runs.
    bool busy() const { return m_browseTask.running(); }

    // Starts listing the profile's initial folder with a new client, which becomes the live
    // connection when the listing arrives. The caller has ended the previous connection. With a
    // link, the link's folder is listed instead, and the pane then lands on what the link names.
    void connect(const ServerProfile& profile, const QString& password,
                 const std::optional<ServerLink>& link = std::nullopt);
    // Drops every browse-kind task and the connection; the pane shows "/" with nothing in it.
    void disconnect();
    void browse(const std::optional<QString>& path);
    QString place() const override { return m_path; }
    void refresh() override { browse(std::nullopt); }
    void goUp() override;
    void goTo(const QString& folder) override { browse(folder); }
    // Enters the selected folder, or the folder a selected symbolic link leads to.
    void openSelection() override;

Q_SIGNALS:
    void connectedProfileChanged();
    void busyChanged();

protected:
    void makeFolder(const QString& name) override;
    void renameSelected(const QString& newName) override;
    // Deletes the selected items for good, each with everything in it, after the person confirms.
    void removeSelection() override;
    void applyPermissions(const QString& mode) override;

private:
    // Lists `target` and shows it with `select` selected. `throughLink`: `target` is a link that
    // may be no folder, which is not worth an error.
    void show(const QString& target, bool throughLink, const QSet<QString>& select = {});
    // Makes the client the live connection, showing the first listing, of `folder`.
    void adopt(const FTPClient& client, const QString& folder, FileListModel::Listing listing,
               const std::optional<ServerLink>& link);
    // In the folder of a link that may name a file: selects the file, or opens the folder.
    void land(const ServerLink& link);
    // Runs `operation` over the live client in the browse slot, records `done` (what it did) in
    // the activity, then lists the folder again with `select` selected.
    void performRemote(Operation operation, const QString& done, const QSet<QString>& select = {});
    // Whether the outcome of a task is to be applied: it has a result (a failure is reported
    // instead).
    template <typename Result> bool settle(const TaskOutcome<Result>& outcome);

    PartContext m_context;
    std::function<bool()> m_working;
    std::optional<FTPClient> m_client;
    std::optional<ServerProfile> m_connectedProfile;
    QString m_path;
    TaskSlot m_browseTask;
};
