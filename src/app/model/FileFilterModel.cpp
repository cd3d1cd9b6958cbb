#include "FileFilterModel.h"

#include "FileListModel.h"

bool FileFilterModel::accepts(const FileEntry& entry, const QString& search, bool showHidden)
{
    if (!showHidden && entry.name.startsWith(u'.'))
        return false;
    return search.isEmpty() || entry.name.contains(search, Qt::CaseInsensitive);
}

void FileFilterModel::refilter()
{
    // One layout change, not a removal or insertion per run of rows: a keystroke in a large
    // folder changes thousands of scattered runs, and a view handles each of those on its own.
    invalidate();
}

void FileFilterModel::setSearch(const QString& search)
{
    if (search == m_search)
        return;
    m_search = search;
    refilter();
}

void FileFilterModel::setShowHidden(bool showHidden)
{
    if (showHidden == m_showHidden)
        return;
    m_showHidden = showHidden;
    refilter();
}

bool FileFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const auto* files = qobject_cast<const FileListModel*>(sourceModel());
    return !files || accepts(files->entry(sourceRow), m_search, m_showHidden);
}

void FileFilterModel::sort(int column, Qt::SortOrder order)
{
    if (QAbstractItemModel* files = sourceModel())
        files->sort(column, order);
}
