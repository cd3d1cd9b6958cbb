#pragma once

#include "FileEntry.h"

#include <QSortFilterProxyModel>
#include <QString>

// What a pane shows of its entries: hidden names only when asked for, and only names holding the
// search text. It filters and never sorts.
class FileFilterModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // A name beginning with "." is hidden; the search text, used as typed, must occur in the name
    // ignoring case. An empty search keeps everything.
    static bool accepts(const FileEntry& entry, const QString& search, bool showHidden);

    void setSearch(const QString& search);
    void setShowHidden(bool showHidden);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_search;
    bool m_showHidden = false;
};
