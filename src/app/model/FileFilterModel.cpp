#include "FileFilterModel.h"

#include "FileListModel.h"

bool FileFilterModel::accepts(const FileEntry& entry, const QString& search, bool showHidden)
{
    if (!showHidden && entry.name.startsWith(u'.'))
        return false;
    return search.isEmpty() || entry.name.contains(search, Qt::CaseInsensitive);
}

void FileFilterModel::setSearch(const QString& search)
{
    if (search == m_search)
        return;
    m_search = search;
    invalidateRowsFilter();
}

void FileFilterModel::setShowHidden(bool showHidden)
{
    if (showHidden == m_showHidden)
        return;
    m_showHidden = showHidden;
    invalidateRowsFilter();
}

bool FileFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const auto* files = qobject_cast<const FileListModel*>(sourceModel());
    return !files || accepts(files->entries().at(sourceRow), m_search, m_showHidden);
}
