#include "RemoteEditListModel.h"

#include "LocalFileSystem.h"
#include "TextRules.h"

using namespace Qt::StringLiterals;

QString RemoteEditListModel::name(const RemoteEdit& edit)
{
    return LocalFileSystem::lastComponent(localPath(edit));
}

std::optional<int> RemoteEditListModel::row(const QUuid& id) const
{
    for (int row = 0; row < m_edits.size(); ++row)
        if (m_edits.at(row).id == id)
            return row;
    return std::nullopt;
}

void RemoteEditListModel::setEdits(QList<RemoteEdit> edits)
{
    beginResetModel();
    m_edits = std::move(edits);
    endResetModel();
}

void RemoteEditListModel::append(const RemoteEdit& edit)
{
    beginInsertRows({}, int(m_edits.size()), int(m_edits.size()));
    m_edits.append(edit);
    endInsertRows();
}

void RemoteEditListModel::remove(const QUuid& id)
{
    while (const std::optional<int> found = row(id)) {
        beginRemoveRows({}, *found, *found);
        m_edits.removeAt(*found);
        endRemoveRows();
    }
}

void RemoteEditListModel::replace(int row, const RemoteEdit& edit)
{
    m_edits[row] = edit;
    Q_EMIT dataChanged(index(row), index(row));
}

int RemoteEditListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_edits.size());
}

QVariant RemoteEditListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const RemoteEdit& edit = m_edits.at(index.row());
    switch (role) {
    case IdRole: return edit.id;
    case Qt::DisplayRole: return TextRules::visible(name(edit));
    case NameRole: return name(edit);
    case RemotePathRole: return edit.remotePath;
    case ProfileNameRole: return edit.profile.name;
    case DetailRole: return QString(edit.profile.name + u" · "_s + edit.remotePath);
    case LocalPathRole: return localPath(edit);
    case ChangedRole: return edit.changed;
    }
    return {};
}

QHash<int, QByteArray> RemoteEditListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{IdRole, "id"},
                  {NameRole, "name"},
                  {RemotePathRole, "remotePath"},
                  {ProfileNameRole, "profileName"},
                  {DetailRole, "detail"},
                  {LocalPathRole, "localPath"},
                  {ChangedRole, "changed"}});
    return names;
}
