#pragma once

#include "FTPClient.h"
#include "FileEntry.h"
#include "PartContext.h"
#include "RemoteEditListModel.h"
#include "TaskSlot.h"

#include <QObject>
#include <QTimer>
#include <QUuid>
#include <functional>
#include <optional>

// Remote editing: the open edits (kept in "remote-edits.json"), their local copies opened in an
// application the person picks, a scan of the copies every three seconds, and the upload of a
// copy after a look at the server's file. Downloads and uploads run in a slot of their own and
// keep the part busy; the scan hashes on the pool, so that the window never waits for it.
class RemoteEditing : public QObject {
    Q_OBJECT

public:
    static constexpr int scanInterval = 3000; // milliseconds

    explicit RemoteEditing(const PartContext& context, QObject* parent = nullptr);

    RemoteEditListModel& list() { return m_list; }
    const QList<RemoteEdit>& edits() const { return m_list.edits(); }
    // A download or an upload runs.
    bool busy() const { return m_task.running(); }
    // The name of the file whose changes are being uploaded, from the click until the upload
    // ends; stopping the connection then would cut it off.
    const std::optional<QString>& uploading() const { return m_uploading; }
    bool shown() const { return m_shown; }
    void setShown(bool shown);

    // Replaces the list with the file's; a file that cannot be read is reported and the list
    // starts empty.
    void load();
    void startScanning() { m_timer.start(); }
    // The program quits: no more scans, and a cancelled upload is only recorded.
    void shutDown();

    // Starts editing `entry` of `folder` over `client`, or reopens its edit.
    void edit(const FTPClient& client, const FileEntry& entry, const QString& folder);
    void open(const QUuid& id);
    // Recomputes every edit's changed badge; a copy that cannot be hashed keeps its badge. A scan
    // asked for while one runs is left out.
    void scan();
    // Uploads over `live`, which must be a connection of the edit's profile, when `free` (no other
    // work, no transfer pending); "queue_reconnect" otherwise.
    void upload(const QUuid& id, const std::optional<FTPClient>& live, bool free);
    // Drops the edit from the list; its local copy stays.
    void forget(const QUuid& id);
    // Where the edit's local copy is.
    std::optional<QString> localPath(const QUuid& id) const;

    // After a disconnect: not busy, and a late result changes only the list.
    void abandon() { m_task.cancel(); }

Q_SIGNALS:
    void editsChanged();
    void shownChanged();
    void busyChanged();
    // An upload over a connection of that profile reached the server.
    void uploaded(const QUuid& profileID);

private:
    // Makes one change of the edits file, which works on the file as it is on disk and returns
    // where a file it could not read was kept; a failure is reported, and the list in memory stays
    // as it is.
    void store(const std::function<QString()>& change);
    // Logs a cancelled upload, and shows it unless the program is quitting.
    void reportCancelled(const QString& name, bool writingDirectly);

    PartContext m_context;
    RemoteEditListModel m_list;
    bool m_shown = false;
    bool m_quitting = false;
    std::optional<QString> m_uploading;
    QTimer m_timer;
    // The slots go first, waiting for their jobs, which use this part.
    TaskSlot m_task;
    TaskSlot m_scanTask;
};
