#pragma once

#include "FileEntry.h"

#include <QAbstractTableModel>
#include <QList>

// The entries of one pane for its table: name, size and modification date, in the model's order.
// A new listing is one reset.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { nameColumn, sizeColumn, modifiedColumn, columnTotal };
    // Every column also answers these roles with the entry's own values.
    enum Role { NameRole = Qt::UserRole + 1, IsDirectoryRole, SizeRole, ModifiedRole };

    using QAbstractTableModel::QAbstractTableModel;

    const QList<FileEntry>& entries() const { return m_entries; }
    void setEntries(QList<FileEntry> entries);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<FileEntry> m_entries;
};
