#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

// One line of the activity log, already in the interface language.
struct Activity {
    QUuid id;
    QDateTime date;
    QString text;
};

// The activity log, the program's only log: at most 200 lines, newest first. Each new line is
// one row inserted at the top, and the oldest beyond the limit one row removed.
class ActivityLog : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int maximumLines = 200;

    enum Role { IdRole = Qt::UserRole + 1, DateRole, TextRole };

    using QAbstractListModel::QAbstractListModel;

    const QList<Activity>& entries() const { return m_entries; }
    void record(const QString& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<Activity> m_entries;
};
