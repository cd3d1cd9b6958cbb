#include "ProfileListModel.h"

void ProfileListModel::setProfiles(QList<ServerProfile> profiles)
{
    beginResetModel();
    m_profiles = std::move(profiles);
    endResetModel();
}

int ProfileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_profiles.size());
}

QVariant ProfileListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ServerProfile& profile = m_profiles.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole: return profile.name;
    case IdRole: return profile.id;
    case HostRole: return profile.host;
    case ProtocolRole: return FTPProtocols::label(profile.protocolType);
    }
    return {};
}

QHash<int, QByteArray> ProfileListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{IdRole, "id"}, {NameRole, "name"}, {HostRole, "host"}, {ProtocolRole, "protocol"}});
    return names;
}
