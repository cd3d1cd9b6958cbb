#pragma once

#include "ServerProfile.h"

#include <QAbstractListModel>
#include <QList>

// The saved profiles for the sidebar, in file order; every change of the list is one reset.
class ProfileListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { IdRole = Qt::UserRole + 1, NameRole, HostRole, ProtocolRole };

    using QAbstractListModel::QAbstractListModel;

    const QList<ServerProfile>& profiles() const { return m_profiles; }
    void setProfiles(QList<ServerProfile> profiles);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<ServerProfile> m_profiles;
};
