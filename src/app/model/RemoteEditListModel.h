#pragma once

#include "RemoteEdit.h"

#include <QAbstractListModel>
#include <QList>
#include <QUuid>
#include <optional>

// The open remote edits for the remote-edits window, one row per edit in list order, and the list
// itself. A new edit is one insertion, a forgotten one one removal, a changed badge or new hashes
// one row's dataChanged; loading the list is one reset.
class RemoteEditListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        // The local copy's file name, which is the remote file's name; also the display text.
        NameRole,
        RemotePathRole,
        ProfileNameRole,
        // The secondary line: the profile's name, " · ", the remote path.
        DetailRole,
        LocalPathRole,
        ChangedRole,
    };

    using QAbstractListModel::QAbstractListModel;

    const QList<RemoteEdit>& edits() const { return m_edits; }
    std::optional<int> row(const QUuid& id) const;
    void setEdits(QList<RemoteEdit> edits);
    void append(const RemoteEdit& edit);
    // Removes every edit with that id.
    void remove(const QUuid& id);
    void replace(int row, const RemoteEdit& edit);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    static QString localPath(const RemoteEdit& edit) { return edit.localURL.toLocalFile(); }
    static QString name(const RemoteEdit& edit);

private:
    QList<RemoteEdit> m_edits;
};
