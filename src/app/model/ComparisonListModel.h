#pragma once

#include "ComparisonRow.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the last folder comparison for the comparison window, in path order: the path, the
// verdict, and the size on each side ("—" where a side has no item, or a folder or an item without
// a size). A new result is one reset.
class ComparisonListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { pathColumn, statusColumn, localSizeColumn, remoteSizeColumn, columnTotal };
    // Every column also answers these roles with the row's own values.
    enum Role { PathRole = Qt::UserRole + 1, StatusKeyRole, LocalSizeRole, RemoteSizeRole };

    using QAbstractTableModel::QAbstractTableModel;

    const QList<ComparisonRow>& rows() const { return m_rows; }
    void setRows(QList<ComparisonRow> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<ComparisonRow> m_rows;
};
