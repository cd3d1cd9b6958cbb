#include "ActivityLog.h"

#include "TextRules.h"

void ActivityLog::record(const QString& text)
{
    beginInsertRows({}, 0, 0);
    m_entries.prepend({QUuid::createUuid(), QDateTime::currentDateTime(), text});
    endInsertRows();
    if (m_entries.size() <= maximumLines)
        return;
    beginRemoveRows({}, maximumLines, maximumLines);
    m_entries.removeLast();
    endRemoveRows();
}

int ActivityLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant ActivityLog::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Activity& entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole: return TextRules::visible(entry.text);
    case TextRole: return entry.text;
    case IdRole: return entry.id;
    case DateRole: return entry.date;
    }
    return {};
}

QHash<int, QByteArray> ActivityLog::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{IdRole, "id"}, {DateRole, "date"}, {TextRole, "text"}});
    return names;
}
