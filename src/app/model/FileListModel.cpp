#include "FileListModel.h"

#include "L10n.h"
#include "TextRules.h"

#include <QCollator>
#include <algorithm>
#include <numeric>

using namespace Qt::StringLiterals;

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent), m_sortLocale(L10n::locale()) {}

FileListModel::Listing FileListModel::prepare(QList<FileEntry> entries, const QLocale& locale,
                                              const FileSortComparator& order)
{
    Listing listing{std::move(entries), locale, order, {}, {}};
    listing.sortKeys = sortKeys(listing.entries, locale);
    listing.rows = sortedRows(listing.entries, listing.sortKeys, order);
    return listing;
}

void FileListModel::setEntries(QList<FileEntry> entries)
{
    setListing(prepare(std::move(entries), m_sortLocale, m_sortOrder));
}

void FileListModel::setListing(Listing listing)
{
    if (listing.locale != m_sortLocale)
        listing = prepare(std::move(listing.entries), m_sortLocale, m_sortOrder);
    else if (listing.order != m_sortOrder)
        listing.rows = sortedRows(listing.entries, listing.sortKeys, m_sortOrder);
    beginResetModel();
    m_entries = std::move(listing.entries);
    m_sortKeys = std::move(listing.sortKeys);
    m_rows = std::move(listing.rows);
    endResetModel();
}

std::vector<QCollatorSortKey> FileListModel::sortKeys(const QList<FileEntry>& entries, const QLocale& locale)
{
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const FileEntry& entry : entries)
        keys.push_back(collator.sortKey(entry.name));
    return keys;
}

QList<int> FileListModel::sortedRows(const QList<FileEntry>& entries, const std::vector<QCollatorSortKey>& keys,
                                     const FileSortComparator& order)
{
    QList<int> rows(entries.size());
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(),
                     [&](int a, int b) { return order.before(entries.at(a), keys[a], entries.at(b), keys[b]); });
    return rows;
}

void FileListModel::setSortOrder(const FileSortComparator& order)
{
    if (order == m_sortOrder)
        return;
    m_sortOrder = order;
    reorder();
    Q_EMIT sortOrderChanged();
}

void FileListModel::reorder()
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QList<int> rows = sortedRows(m_entries, m_sortKeys, m_sortOrder);
    // Rows kept by views (selection, current row) follow their entries.
    QList<int> newRow(m_entries.size());
    for (int row = 0; row < int(rows.size()); ++row)
        newRow[rows.at(row)] = row;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(newRow.at(m_rows.at(index.row())), index.column()));
    m_rows = rows;
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    static constexpr FileSortComparator::Field fields[] = {
        FileSortComparator::Field::name, FileSortComparator::Field::size, FileSortComparator::Field::modified};
    if (column >= 0 && column < columnTotal)
        setSortOrder({fields[column], order});
}

void FileListModel::setLocale(const QLocale& locale)
{
    if (locale != m_sortLocale) {
        m_sortLocale = locale;
        m_sortKeys = sortKeys(m_entries, m_sortLocale);
        reorder();
    }
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnTotal - 1);
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, sizeColumn), index(int(m_rows.size()) - 1, modifiedColumn), {Qt::DisplayRole});
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FileEntry& entry = this->entry(index.row());
    switch (role) {
    case NameRole: return entry.name;
    case IsDirectoryRole: return entry.isDirectory;
    case SizeRole: return entry.size ? QVariant(*entry.size) : QVariant();
    case ModifiedRole: return entry.modified ? QVariant(*entry.modified) : QVariant();
    case Qt::DisplayRole: break;
    default: return {};
    }
    switch (index.column()) {
    case nameColumn: return TextRules::visible(entry.name);
    case sizeColumn: return entry.size && !entry.isDirectory ? L10n::byteCount(*entry.size) : QString();
    case modifiedColumn:
        return entry.modified ? L10n::locale().toString(entry.modified->toLocalTime(), QLocale::ShortFormat)
                              : QString();
    }
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case nameColumn: return L("name");
    case sizeColumn: return L("size");
    case modifiedColumn: return L("date_modified");
    }
    return {};
}

QHash<int, QByteArray> FileListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractTableModel::roleNames();
    names.insert(
        {{NameRole, "name"}, {IsDirectoryRole, "isDirectory"}, {SizeRole, "size"}, {ModifiedRole, "modified"}});
    return names;
}
