#include "ComparisonListModel.h"

#include "L10n.h"
#include "TextRules.h"

using namespace Qt::StringLiterals;

namespace {

std::optional<qint64> fileSize(const std::optional<FileEntry>& entry)
{
    if (!entry || entry->isDirectory)
        return std::nullopt;
    return entry->size;
}

QString sizeText(const std::optional<FileEntry>& entry)
{
    const std::optional<qint64> size = fileSize(entry);
    return size ? L10n::byteCount(*size) : u"—"_s;
}

QVariant sizeValue(const std::optional<FileEntry>& entry)
{
    const std::optional<qint64> size = fileSize(entry);
    return size ? QVariant(*size) : QVariant();
}

} // namespace

void ComparisonListModel::setRows(QList<ComparisonRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int ComparisonListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ComparisonListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant ComparisonListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ComparisonRow& row = m_rows.at(index.row());
    switch (role) {
    case PathRole: return row.path;
    case StatusKeyRole: return row.statusKey();
    case LocalSizeRole: return sizeValue(row.local);
    case RemoteSizeRole: return sizeValue(row.remote);
    case Qt::DisplayRole: break;
    default: return {};
    }
    switch (index.column()) {
    case pathColumn: return TextRules::visible(row.path);
    case statusColumn: return row.status();
    case localSizeColumn: return sizeText(row.local);
    case remoteSizeColumn: return sizeText(row.remote);
    }
    return {};
}

QVariant ComparisonListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case pathColumn: return L("name");
    case statusColumn: return L("status");
    case localSizeColumn: return L("this_mac");
    case remoteSizeColumn: return L("ftp_server");
    }
    return {};
}

QHash<int, QByteArray> ComparisonListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractTableModel::roleNames();
    names.insert({{PathRole, "path"},
                  {StatusKeyRole, "statusKey"},
                  {LocalSizeRole, "localSize"},
                  {RemoteSizeRole, "remoteSize"}});
    return names;
}
