#pragma once

#include "FileEntry.h"
#include "FileSortComparator.h"

#include <QAbstractTableModel>
#include <QCollatorSortKey>
#include <QList>
#include <QLocale>
#include <vector>

// The entries of one pane for its table: name, size and modification date, in the table's sort
// order (folders first, names in natural order to begin with). entries() keeps the order the
// listing came in; only the rows are sorted, on sort keys made once per listing, so that sorting a
// large folder compares bytes rather than collating names. A new listing is one reset, a new sort
// order one layout change.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { nameColumn, sizeColumn, modifiedColumn, columnTotal };
    // Every column also answers these roles with the entry's own values.
    enum Role { NameRole = Qt::UserRole + 1, IsDirectoryRole, SizeRole, ModifiedRole };

    // A listing made ready to show, on any thread: its sort keys for a language and its rows in a
    // sort order, which are the slow part of a large folder.
    struct Listing {
        QList<FileEntry> entries;
        QLocale locale;
        FileSortComparator order;
        std::vector<QCollatorSortKey> sortKeys;
        QList<int> rows;
    };
    static Listing prepare(QList<FileEntry> entries, const QLocale& locale, const FileSortComparator& order);

    explicit FileListModel(QObject* parent = nullptr);

    const QList<FileEntry>& entries() const { return m_entries; }
    void setEntries(QList<FileEntry> entries);
    // Keys or rows made for another language or order than the table's now are made again.
    void setListing(Listing listing);
    const QLocale& sortLocale() const { return m_sortLocale; }
    // The entry shown in `row`.
    const FileEntry& entry(int row) const { return m_entries.at(m_rows.at(row)); }

    FileSortComparator sortOrder() const { return m_sortOrder; }
    void setSortOrder(const FileSortComparator& order);
    // By the column's field.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The interface language changed (it is the one in use at first): names collate, and sizes,
    // dates and headings read, in the new one.
    void setLocale(const QLocale& locale);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Rows can be dragged onto the other pane.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void sortOrderChanged();

private:
    static std::vector<QCollatorSortKey> sortKeys(const QList<FileEntry>& entries, const QLocale& locale);
    // The listing's indices in the sort order.
    static QList<int> sortedRows(const QList<FileEntry>& entries, const std::vector<QCollatorSortKey>& keys,
                                 const FileSortComparator& order);
    // Puts the rows in the sort order; views keep their selection.
    void reorder();

    QList<FileEntry> m_entries;
    std::vector<QCollatorSortKey> m_sortKeys;
    QList<int> m_rows;
    QLocale m_sortLocale;
    FileSortComparator m_sortOrder;
};
