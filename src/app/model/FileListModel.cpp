#include "FileListModel.h"

#include "L10n.h"

using namespace Qt::StringLiterals;

void FileListModel::setEntries(QList<FileEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FileEntry& entry = m_entries.at(index.row());
    switch (role) {
    case NameRole: return entry.name;
    case IsDirectoryRole: return entry.isDirectory;
    case SizeRole: return entry.size ? QVariant(*entry.size) : QVariant();
    case ModifiedRole: return entry.modified ? QVariant(*entry.modified) : QVariant();
    case Qt::DisplayRole: break;
    default: return {};
    }
    switch (index.column()) {
    case nameColumn: return entry.name;
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
