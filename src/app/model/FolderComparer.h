#pragma once

#include "ComparisonListModel.h"
#include "FTPClient.h"
#include "PartContext.h"
#include "TaskSlot.h"

#include <QObject>

// The folder comparison of the model: a local folder against a remote one, walked on the pool,
// and the rows of the last comparison that succeeded.
class FolderComparer : public QObject {
    Q_OBJECT

public:
    explicit FolderComparer(const PartContext& context, QObject* parent = nullptr);

    ComparisonListModel& list() { return m_list; }
    const QList<ComparisonRow>& rows() const { return m_list.rows(); }
    bool comparing() const { return m_task.running(); }
    bool shown() const { return m_shown; }
    void setShown(bool shown);

    // Ignored while a comparison runs.
    void compare(const FTPClient& client, const QString& localFolder, const QString& remoteFolder);
    // After a disconnect: no longer comparing, and the late result dropped.
    void abandon() { m_task.cancel(); }

Q_SIGNALS:
    void rowsChanged();
    void shownChanged();
    void comparingChanged();

private:
    PartContext m_context;
    ComparisonListModel m_list;
    bool m_shown = false;
    TaskSlot m_task;
};
