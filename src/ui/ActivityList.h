#pragma once

#include <QListView>

class ActivityLog;

// The activity log as the person reads it: each line's time of day, then its text, newest first.
// Lines can be selected and copied.
class ActivityList : public QListView {
    Q_OBJECT

public:
    explicit ActivityList(ActivityLog* log, QWidget* parent = nullptr);

    // The selected lines in the order shown, one per line of text.
    QString selectedText() const;
};
