#pragma once

#include "ComparisonListModel.h"

class AppModel;

// The folder comparison of the model: the local pane's folder against the remote pane's, walked
// in the model's feature slot, and the rows of the last comparison that succeeded.
class FolderComparer {
public:
    explicit FolderComparer(AppModel& model);

    ComparisonListModel& list() { return m_list; }
    const QList<ComparisonRow>& rows() const { return m_list.rows(); }
    bool comparing() const { return m_comparing; }
    bool shown() const { return m_shown; }
    void setShown(bool shown);

    // Ignored without a connection, while the model works or while a comparison runs.
    void compare();
    // After a disconnect stopped the feature slot: no longer comparing, and the late result dropped.
    void abandon();

private:
    void setComparing(bool comparing);

    AppModel& m_model;
    ComparisonListModel m_list;
    bool m_comparing = false;
    bool m_shown = false;
    // The token of the newest comparison.
    quint64 m_task = 0;
};
