#pragma once

#include "ActivityLog.h"
#include "CommandRules.h"
#include "ComparisonRow.h"
#include "FTPClient.h"
#include "FileEntry.h"
#include "FolderComparer.h"
#include "LocalPane.h"
#include "PartContext.h"
#include "RemoteEdit.h"
#include "RemoteEditing.h"
#include "RemoteSession.h"
#include "ServerProfile.h"
#include "StopQuestion.h"
#include "TaskSlot.h"
#include "TransferItem.h"
#include "TransferQueue.h"
#include "UpdateChecker.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUuid>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class ComparisonListModel;
class FileFilterModel;
class FileListModel;
class LinkOpener;
class ProfileFileWatcher;
class ProfileListModel;
class Prompter;
class RemoteEditListModel;
class TransferListModel;

// The single owner of the application's state: the profiles, the connection, both panes, the
// transfer queue, the activity log, remote edits, the folder comparison and the update check. The
// window shows its properties and item models and calls its operations; it holds nothing of its
// own but view state. The state lives in parts, one per concern, which the model wires together.
//
// Confined to the thread that made it (the main thread). Every operation returns at once; slow
// work (listings, remote work) runs in the parts' task slots, at most one of each kind, whose
// results come back to the main thread, where a result that a newer task replaced is dropped
// silently. Questions go to the Prompter. Failures a person must see land in errorMessage, which
// the window shows once and clears; most are also recorded in the activity log. Cancellations are
// never shown.
//
// Note that connect() and disconnect() hide QObject's functions of those names inside the class:
// code in a subclass calls QObject::connect explicitly.
class AppModel : public QObject {
    Q_OBJECT

    // Saved profiles, in file order.
    Q_PROPERTY(QList<ServerProfile> profiles READ profiles NOTIFY profilesChanged)
    // The profile highlighted in the sidebar; a null id for none.
    Q_PROPERTY(QUuid selectedProfileID READ selectedProfileID WRITE setSelectedProfileID NOTIFY selectedProfileChanged)
    Q_PROPERTY(std::optional<ServerProfile> selectedProfile READ selectedProfile NOTIFY selectedProfileChanged)
    // The profile of the live connection; none while disconnected or connecting.
    Q_PROPERTY(std::optional<ServerProfile> connectedProfile READ connectedProfile NOTIFY connectedProfileChanged)
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY connectedProfileChanged)

    Q_PROPERTY(QString localURL READ localURL NOTIFY localURLChanged)
    Q_PROPERTY(QList<FileEntry> localFiles READ localFiles NOTIFY localFilesChanged)
    Q_PROPERTY(QSet<QString> localSelection READ localSelection WRITE setLocalSelection NOTIFY localSelectionChanged)
    Q_PROPERTY(QString localSearch READ localSearch WRITE setLocalSearch NOTIFY localSearchChanged)
    Q_PROPERTY(QString remotePath READ remotePath NOTIFY remotePathChanged)
    Q_PROPERTY(QList<FileEntry> remoteFiles READ remoteFiles NOTIFY remoteFilesChanged)
    Q_PROPERTY(
        QSet<QString> remoteSelection READ remoteSelection WRITE setRemoteSelection NOTIFY remoteSelectionChanged)
    Q_PROPERTY(QString remoteSearch READ remoteSearch WRITE setRemoteSearch NOTIFY remoteSearchChanged)
    Q_PROPERTY(bool showHidden READ showHidden WRITE setShowHidden NOTIFY showHiddenChanged)

    // A connect, a browse, a remote file operation, or a remote edit's download or upload runs.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // A transfer request or a retry is being planned.
    Q_PROPERTY(bool planning READ planning NOTIFY planningChanged)
    // busy, planning or comparing: the commands that start remote work are disabled.
    Q_PROPERTY(bool isWorking READ isWorking NOTIFY isWorkingChanged)
    // No new transfer starts; the running ones continue. Resuming is setQueuePaused(false) and
    // then runNext().
    Q_PROPERTY(bool queuePaused READ queuePaused WRITE setQueuePaused NOTIFY queuePausedChanged)
    // How many transfers run at once, 1 to 8; a preference of the person's.
    Q_PROPERTY(int simultaneousTransfers READ simultaneousTransfers WRITE setSimultaneousTransfers NOTIFY
                   simultaneousTransfersChanged)
    // Items waiting or running, and items completed.
    Q_PROPERTY(int pendingCount READ pendingCount NOTIFY pendingCountChanged)
    Q_PROPERTY(int completedCount READ completedCount NOTIFY completedCountChanged)

    // The message for the error alert; the window clears it once shown. Empty for none.
    Q_PROPERTY(QString errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)
    // The connection editor is open, on editingProfile (none: a new profile).
    Q_PROPERTY(bool showConnectionEditor READ showConnectionEditor WRITE setShowConnectionEditor NOTIFY
                   showConnectionEditorChanged)
    Q_PROPERTY(std::optional<ServerProfile> editingProfile READ editingProfile WRITE setEditingProfile NOTIFY
                   editingProfileChanged)

    // The open remote edits in list order, and whether their window is open.
    Q_PROPERTY(QList<RemoteEdit> edits READ edits NOTIFY editsChanged)
    Q_PROPERTY(bool showEdits READ showEdits WRITE setShowEdits NOTIFY showEditsChanged)
    // A folder comparison runs; the rows of the last one that succeeded; whether its window is open.
    Q_PROPERTY(bool comparing READ comparing NOTIFY comparingChanged)
    Q_PROPERTY(QList<ComparisonRow> comparison READ comparison NOTIFY comparisonChanged)
    Q_PROPERTY(bool showComparison READ showComparison WRITE setShowComparison NOTIFY showComparisonChanged)
    Q_PROPERTY(bool checkingUpdates READ checkingUpdates NOTIFY checkingUpdatesChanged)

public:
    // Starts up: the local pane in the Downloads folder (the home folder when there is none), the
    // profiles read and the first selected, the saved queue restored as failed items, the local
    // folder listed, the remote edits read and their scan started. No connection is opened. The
    // prompter must outlive the model.
    explicit AppModel(Prompter& prompter, QObject* parent = nullptr);
    // Each part's slots stop its tasks and wait for their threads, which end promptly since every
    // engine call and every wait for an answer reacts to the stop.
    ~AppModel() override;

    // Profiles and the connection.
    const QList<ServerProfile>& profiles() const;
    QUuid selectedProfileID() const { return m_selectedProfileID; }
    void setSelectedProfileID(const QUuid& id);
    std::optional<ServerProfile> selectedProfile() const;
    std::optional<ServerProfile> connectedProfile() const { return m_remote->connectedProfile(); }
    bool isConnected() const { return connectedProfile().has_value(); }

    // Connects the selected profile with its stored password, or opens the editor: empty for no
    // selection, on the profile when it does not remember its password.
    void connectSaved();
    // Opens a new connection after ending the current one, listing the profile's initial folder.
    // Refused with "wait_transfers" while transfers are pending; asks first while an edit's
    // changes are being uploaded.
    void connect(const ServerProfile& profile, const QString& password);
    // Ends the connection and all remote work: a comparison, an edit's download or upload, the
    // browse, planning, the waiting and running transfers (cancelled).
    void disconnect();
    // The person's disconnect: asks first while an edit's changes are being uploaded.
    void requestDisconnect();
    // Tells `decided` whether the person lets `stop` cut off the work still running: at once
    // when it cuts off nothing, otherwise once the question "transfers_active" is answered.
    void confirmStop(StopQuestion::Stop stop, const std::function<void(bool allowed)>& decided);
    // Stores a new or edited profile and its password (or forgets the password). The future holds
    // the sentence of the first failure, or nothing once saved; nothing after the failing step
    // has happened, except that a desktop without any secret store gets the profile all the same,
    // only not remembering its password. Never connects.
    QFuture<std::optional<QString>> save(const ServerProfile& profile, const QString& password);
    // The password the secret store keeps for the profile; empty when it keeps none.
    QFuture<QString> storedPassword(const QUuid& profileID) const;
    // Deletes the profile and its password; a failure is reported and leaves the list as it was.
    void removeProfile(const ServerProfile& profile);
    // Opens the server of an ftp://, ftps:// or sftp:// link, browsed to the link's path (to the
    // folder of a file, which is then selected): a saved profile of that protocol, host, port and
    // user is connected as connectSaved() would; any other server opens the editor on a new
    // profile. A password in the link is dropped. A malformed link is reported.
    void openLink(const QString& text);

    // The local pane.
    QString localURL() const { return m_local->url(); }
    const QList<FileEntry>& localFiles() const { return m_local->entries(); }
    QSet<QString> localSelection() const { return m_local->selection(); }
    void setLocalSelection(const QSet<QString>& names) { m_local->setSelection(names); }
    QString localSearch() const { return m_local->search(); }
    void setLocalSearch(const QString& text) { m_local->setSearch(text); }
    // Both list the folder on the pool: localFiles changes once the listing arrives.
    void refreshLocal() { m_local->refresh(); }
    void openLocal(const QString& folder) { m_local->open(folder); }
    // Asks the Prompter for a folder, starting at localURL, and opens it.
    void chooseLocalFolder() { m_local->chooseFolder(); }
    void openLocalSelection() { m_local->openSelection(); }
    void createLocalFolder(const QString& name) { m_local->createFolder(name); }

    // The remote pane.
    QString remotePath() const { return m_remote->path(); }
    const QList<FileEntry>& remoteFiles() const { return m_remote->entries(); }
    QSet<QString> remoteSelection() const { return m_remote->selection(); }
    void setRemoteSelection(const QSet<QString>& names) { m_remote->setSelection(names); }
    QString remoteSearch() const { return m_remote->search(); }
    void setRemoteSearch(const QString& text) { m_remote->setSearch(text); }
    // Lists `path`, or remotePath again; the folder changes only once the listing arrives.
    void browse(const std::optional<QString>& path = std::nullopt);
    void openRemoteSelection() { m_remote->openSelection(); }
    void createRemoteFolder(const QString& name);
    // Renames the single selected item of the local (true) or remote pane.
    void renameSelection(bool local, const QString& newName);
    // Moves the selected local items to the Trash, or deletes the remote ones for good, after the
    // person confirms.
    void deleteSelection(bool local);
    // `mode` is passed to the server as typed; the engine checks it.
    void changePermissions(const QString& mode);

    // Both panes.
    bool showHidden() const { return m_showHidden; }
    void setShowHidden(bool show);
    // The entries a pane shows: hidden ones only with showHidden, and only those holding `search`.
    QList<FileEntry> visible(const QList<FileEntry>& entries, const QString& search) const;

    // The transfer queue.
    const QList<TransferItem>& transfers() const { return m_queue->list().items(); }
    bool planning() const { return m_queue->planning(); }
    bool queuePaused() const { return m_queue->paused(); }
    void setQueuePaused(bool paused) { m_queue->setPaused(paused); }
    int simultaneousTransfers() const { return m_queue->simultaneous(); }
    void setSimultaneousTransfers(int count) { m_queue->setSimultaneous(count); }
    int pendingCount() const { return m_queue->list().pendingCount(); }
    int completedCount() const { return m_queue->list().completedCount(); }
    // What the pending transfers still need, in seconds; none while nothing moves.
    std::optional<double> queueSecondsLeft() const { return m_queue->list().secondsLeft(m_queue->simultaneous()); }
    // Plans the selection of the local pane (upload) or the remote pane (download) and queues it,
    // into the other pane's folder or into its folder `into`.
    void enqueue(bool upload, const QString& into = {});
    // Plans an upload of files dropped on the remote pane, into its folder or into its folder
    // `into`; false, with nothing queued, when the drop is refused.
    bool enqueueDroppedUploads(const QStringList& paths, const QString& into = {});
    void runNext() { m_queue->runNext(); }
    void cancel(const QUuid& id) { m_queue->cancel(id); }
    void cancelAll() { m_queue->cancelAll(); }
    // Plans a failed or cancelled item again over the live connection of its profile and queues
    // it; "queue_reconnect" without that connection.
    void retry(const QUuid& id) { m_queue->retry(id, client()); }
    // The same over every failed item of the live connection's profile, in one planning job.
    bool canRetryAllFailed() const { return m_queue->canRetryAllFailed(client()); }
    void retryAllFailed() { m_queue->retryAllFailed(client()); }
    void clearFinished() { m_queue->clearFinished(); }
    // Saves the queue when its saved content changed. Never fails: a failure lands in errorMessage.
    void persistQueue() { m_queue->persist(); }

    // The activity log and errors.
    const QList<Activity>& activity() const;
    void record(const QString& text);
    QString errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const QString& message);
    // Shows the sentence of `error` (none for a cancellation) and, with `log`, records it.
    void report(const std::exception_ptr& error, bool log = true);
    void report(const QString& sentence, bool log = true);

    // The connection editor.
    bool showConnectionEditor() const { return m_showConnectionEditor; }
    void setShowConnectionEditor(bool show);
    std::optional<ServerProfile> editingProfile() const { return m_editingProfile; }
    void setEditingProfile(const std::optional<ServerProfile>& profile);
    // What the editor tells the person as it opens for a link; empty otherwise.
    QString connectionNotice() const;

    // Remote editing.
    const QList<RemoteEdit>& edits() const { return m_edits->edits(); }
    bool showEdits() const { return m_edits->shown(); }
    void setShowEdits(bool show) { m_edits->setShown(show); }
    // Downloads the single selected remote file into a private copy, then opens the edits window
    // and asks for an application to open the copy with; a file of this connection already being
    // edited is reopened without a download. Refused with "edit_size_limit" above
    // RemoteEdit::maximumBytes or without a size.
    void editRemoteFile();
    // Asks for an application (those for the file's type first) and opens the edit's local copy
    // with it; each call asks again.
    void openEdit(const QUuid& id) { m_edits->open(id); }
    // Recomputes every edit's changed badge from its local copy; the timer does it every 3 s.
    void scanEdits() { m_edits->scan(); }
    // Uploads a snapshot of the local copy once the person confirms, told whether someone else
    // changed the server's file since. Needs a connection with the edit's own profile, no work
    // running and no transfer pending; "queue_reconnect" otherwise.
    void uploadEdit(const QUuid& id) { m_edits->upload(id, client(), !isWorking() && pendingCount() == 0); }
    // Drops the edit from the list; its local copy stays on disk.
    void forgetEdit(const QUuid& id) { m_edits->forget(id); }
    void showEditInFileManager(const QUuid& id);
    // Shows a local file or folder selected in the file manager, or opens its folder when no file
    // manager answers; a failure is reported.
    void showInFileManager(const QString& path);

    // Folder comparison.
    bool comparing() const { return m_comparison->comparing(); }
    const QList<ComparisonRow>& comparison() const { return m_comparison->rows(); }
    bool showComparison() const { return m_comparison->shown(); }
    void setShowComparison(bool show) { m_comparison->setShown(show); }
    // Compares localURL with remotePath over the live connection; the rows replace comparison and
    // open its window. Ignored without a connection or while working.
    void compareFolders();

    // Updates: checks the feed and, as the person answers, downloads, verifies and opens the
    // package, then emits quitRequested(). Ignored while a check runs.
    bool checkingUpdates() const { return m_updates->checking(); }
    void checkForUpdates() { m_updates->check(); }

    bool busy() const { return m_remote->busy() || m_edits->busy(); }
    bool isWorking() const;
    // Whether the command is available now; commandsChanged tells when any answer changes.
    bool can(Command command) const { return CommandRules::allows(command, commandState()); }

    // The quit sequence: the queue saved, then no more saving (so that the cancellations that
    // follow stay out of the file), the edit scan and any update check stopped, then everything
    // disconnected.
    void shutDown();
    bool shuttingDown() const { return m_shuttingDown; }

    // The panes as the window shows them.
    FilePane& localPane() const { return *m_local; }
    FilePane& remotePane() const { return *m_remote; }

    // Item models for the views.
    ProfileListModel* profileList() const { return m_profileList.get(); }
    FileListModel* localFileList() const;
    FileListModel* remoteFileList() const;
    // localFileList() and remoteFileList() as the panes show them (hidden entries and search).
    FileFilterModel* visibleLocalFiles() const;
    FileFilterModel* visibleRemoteFiles() const;
    TransferListModel* transferList() const;
    ActivityLog* activityLog() const { return m_activity.get(); }
    RemoteEditListModel* remoteEditList() const;
    ComparisonListModel* comparisonList() const;

Q_SIGNALS:
    void profilesChanged();
    void selectedProfileChanged();
    void connectedProfileChanged();
    void localURLChanged();
    void localFilesChanged();
    void localSelectionChanged();
    void localSearchChanged();
    void remotePathChanged();
    void remoteFilesChanged();
    void remoteSelectionChanged();
    void remoteSearchChanged();
    void showHiddenChanged();
    void busyChanged();
    void planningChanged();
    void isWorkingChanged();
    void queuePausedChanged();
    void simultaneousTransfersChanged();
    void pendingCountChanged();
    void completedCountChanged();
    void queueTimeLeftChanged();
    void errorMessageChanged();
    void showConnectionEditorChanged();
    void editingProfileChanged();
    void editsChanged();
    void showEditsChanged();
    void comparingChanged();
    void comparisonChanged();
    void showComparisonChanged();
    void checkingUpdatesChanged();
    void commandsChanged();
    // An update was handed to the installer: the program quits now, through its own quit path.
    void quitRequested();

private:
    // Connects the parts' signals to the model's and to each other.
    void wireParts();
    // The profile, hidden files and sort orders as the person left them.
    void restoreViewChoices();
    // isWorking may have changed: compares with the last value and notifies.
    void updateWorking();
    CommandState commandState() const;
    // Any input of the command rules changed: notifies when an answer did.
    void updateCommands();
    // The live connection (profile and password); none while disconnected or connecting.
    const std::optional<FTPClient>& client() const { return m_remote->client(); }
    // The remote pane shows the new state of a connection of that profile after work over it;
    // while other remote work runs (a listing that may have begun before the change), once it ends.
    void relist(const QUuid& profileID);
    // The remote pane's folder, or its folder `into`.
    QString remoteFolderOf(const QString& into) const;
    void setProfiles(QList<ServerProfile> profiles);
    // The list as the profiles file now holds it; the selection stays where its profile does.
    void adoptProfiles(QList<ServerProfile> profiles);
    // Puts the profile into the profiles file; the sentence of a failure.
    std::optional<QString> store(const ServerProfile& profile);

    // Goes last, once every part's slots have waited for their jobs.
    QThreadPool m_pool;
    std::unique_ptr<ProfileListModel> m_profileList;
    std::unique_ptr<ProfileFileWatcher> m_profileFile;
    std::unique_ptr<ActivityLog> m_activity;
    PartContext m_context;
    QUuid m_selectedProfileID;
    // Each connectSaved, connect and disconnect replaces the request before: a password or an answer
    // that arrives after a later one belongs to a request the person has already replaced.
    TaskSlot m_connectRequest{m_pool};
    bool m_showHidden = false;
    QString m_errorMessage;
    bool m_showConnectionEditor = false;
    std::optional<ServerProfile> m_editingProfile;
    bool m_shuttingDown = false;
    bool m_working = false;
    // The profile whose folder is listed again once the remote work under way ends.
    std::optional<QUuid> m_relistPending;
    unsigned long long m_commands = 0;
    std::unique_ptr<LinkOpener> m_links;
    std::unique_ptr<LocalPane> m_local;
    std::unique_ptr<RemoteSession> m_remote;
    std::unique_ptr<TransferQueue> m_queue;
    std::unique_ptr<RemoteEditing> m_edits;
    std::unique_ptr<FolderComparer> m_comparison;
    std::unique_ptr<UpdateChecker> m_updates;
};
