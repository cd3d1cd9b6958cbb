#pragma once

#include "RemoteEditListModel.h"
#include "TaskSlot.h"

#include <QTimer>
#include <QUuid>
#include <functional>
#include <optional>

class AppModel;

// Remote editing: the open edits (kept in "remote-edits.json"), their local copies opened in an
// application the person picks, a scan of the copies every three seconds, and the upload of a
// copy after a look at the server's file. Downloads and uploads run in the model's feature slot
// and keep the model busy; the scan hashes on the pool, so that the window never waits for it.
class RemoteEditing {
public:
    static constexpr int scanInterval = 3000; // milliseconds

    explicit RemoteEditing(AppModel& model);

    RemoteEditListModel& list() { return m_list; }
    const QList<RemoteEdit>& edits() const { return m_list.edits(); }
    bool busy() const { return m_busy; }
    // The name of the file whose changes are being uploaded, from the click until the upload
    // ends; stopping the connection then would cut it off.
    const std::optional<QString>& uploading() const { return m_uploading; }
    bool shown() const { return m_shown; }
    void setShown(bool shown);

    // Replaces the list with the file's; a file that cannot be read is reported and the list
    // starts empty.
    void load();
    // Makes one change of the edits file, which works on the file as it is on disk and returns
    // where a file it could not read was kept; a failure is reported, and the list in memory stays
    // as it is.
    void store(const std::function<QString()>& change);
    void startScanning() { m_timer.start(); }
    void stopScanning() { m_timer.stop(); }

    // Starts editing the single selected remote file, or reopens its edit.
    void edit();
    void open(const QUuid& id);
    // Recomputes every edit's changed badge; a copy that cannot be hashed keeps its badge. A scan
    // asked for while one runs is left out.
    void scan();
    void upload(const QUuid& id);
    // Drops the edit from the list; its local copy stays.
    void forget(const QUuid& id);
    void showInFileManager(const QUuid& id);

    // After a disconnect stopped the feature slot: not busy, and a late result changes only
    // the list.
    void abandon();
    // Stops the scan without touching any state, for the model's destructor.
    void cancelTasks() { m_scanTask.cancel(); }

private:
    // A fresh token for a new download or upload, which is returned.
    quint64 begin();
    void finishUpload();
    // Logs a cancelled upload, and shows it unless the program is quitting.
    void reportCancelled(const QString& name, bool writingDirectly);
    void setBusy(bool busy);
    // The list changed.
    void announce();

    AppModel& m_model;
    RemoteEditListModel m_list;
    bool m_busy = false;
    bool m_shown = false;
    bool m_scanning = false;
    std::optional<QString> m_uploading;
    // The token of the newest download or upload.
    quint64 m_task = 0;
    QTimer m_timer;
    TaskSlot m_scanTask;
};
