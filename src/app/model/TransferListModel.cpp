#include "TransferListModel.h"

#include "L10n.h"
#include "QueueStore.h"
#include "TextRules.h"

#include <cmath>

using namespace Qt::StringLiterals;

std::optional<int> TransferListModel::row(const QUuid& id) const
{
    const auto found = m_rows.constFind(id);
    return found == m_rows.cend() ? std::nullopt : std::optional<int>(*found);
}

std::optional<int> TransferListModel::firstWaiting() const
{
    for (qsizetype n = 0; n < m_items.size(); ++n)
        if (m_items.at(n).state == TransferItem::State::waiting)
            return int(n);
    return std::nullopt;
}

void TransferListModel::count(const TransferItem& item, int sign)
{
    if (item.isPending())
        m_pending += sign;
    if (item.state == TransferItem::State::completed)
        m_completed += sign;
}

void TransferListModel::append(QList<TransferItem> items)
{
    if (items.isEmpty())
        return;
    const int first = int(m_items.size());
    beginInsertRows({}, first, first + int(items.size()) - 1);
    m_items.reserve(first + items.size());
    m_records.reserve(first + items.size());
    m_rows.reserve(first + items.size());
    std::optional<ServerProfile> profile;
    QByteArray savedProfile;
    for (TransferItem& item : items) {
        if (profile != item.client.profile()) {
            profile = item.client.profile();
            savedProfile = QueueStore::profileRecord(*profile);
        }
        m_rows.insert(item.id, int(m_items.size()));
        m_records.append(QueueStore::record(item, savedProfile));
        count(item, 1);
        m_items.append(std::move(item));
    }
    endInsertRows();
    ++m_savedFormVersion;
    Q_EMIT countsChanged();
}

void TransferListModel::changeState(int row, TransferItem::State state)
{
    TransferItem& item = m_items[row];
    const bool wasSaved = QueueStore::isSaved(item.state);
    count(item, -1);
    item.state = state;
    count(item, 1);
    if (state != TransferItem::State::running)
        m_paces.remove(item.id);
    if (wasSaved != QueueStore::isSaved(state))
        ++m_savedFormVersion;
}

void TransferListModel::finish(int row, TransferItem::State state, const std::optional<QString>& error)
{
    changeState(row, state);
    TransferItem& item = m_items[row];
    item.error = error;
    if (state == TransferItem::State::completed)
        item.progress = 1;
    Q_EMIT dataChanged(index(row), index(row));
    Q_EMIT countsChanged();
}

void TransferListModel::setProgress(int row, double progress, const Pace& pace)
{
    m_items[row].progress = progress;
    m_paces.insert(m_items.at(row).id, pace);
    Q_EMIT dataChanged(index(row), index(row), {ProgressRole, PaceRole});
}

std::optional<double> TransferListModel::secondsLeft(int simultaneous) const
{
    double running = 0;
    double wholeItems = 0;
    int measured = 0;
    int waiting = 0;
    for (const TransferItem& item : m_items) {
        if (item.state == TransferItem::State::waiting && !item.directory)
            ++waiting;
        const auto pace = m_paces.constFind(item.id);
        if (item.state != TransferItem::State::running || pace == m_paces.cend() || !pace->perSecond ||
            *pace->perSecond <= 0)
            continue;
        running += (1 - item.progress) / *pace->perSecond;
        wholeItems += 1 / *pace->perSecond;
        ++measured;
    }
    if (measured == 0)
        return std::nullopt;
    return (running + waiting * wholeItems / measured) / std::clamp(simultaneous, 1, std::max(measured, 1));
}

QString TransferListModel::duration(double seconds)
{
    const qint64 whole = std::llround(std::max(seconds, 0.0));
    const QLocale locale = L10n::locale();
    const auto twoDigits = [&locale](qint64 value) -> QString {
        return (value < 10 ? locale.toString(0) : QString()) + locale.toString(value);
    };
    const QString minutes =
        whole >= 3600 ? locale.toString(whole / 3600) + u':' + twoDigits(whole / 60 % 60) : locale.toString(whole / 60);
    return minutes + u':' + twoDigits(whole % 60);
}

QString TransferListModel::paceText(const TransferItem& item) const
{
    const auto pace = m_paces.constFind(item.id);
    if (item.state != TransferItem::State::running || pace == m_paces.cend())
        return {};
    QStringList parts;
    if (pace->total)
        parts << L("bytes_of_total", L10n::byteCount(qint64(item.progress * double(*pace->total))),
                   L10n::byteCount(*pace->total));
    if (pace->perSecond && *pace->perSecond > 0) {
        if (pace->total)
            parts << L("per_second", L10n::byteCount(qint64(*pace->perSecond * double(*pace->total))));
        parts << L("time_left", duration((1 - item.progress) / *pace->perSecond));
    }
    return parts.join(u" · "_s);
}

void TransferListModel::cancelWaiting()
{
    std::optional<int> first;
    int last = 0;
    for (int row = 0; row < int(m_items.size()); ++row) {
        if (m_items.at(row).state != TransferItem::State::waiting)
            continue;
        changeState(row, TransferItem::State::cancelled);
        m_items[row].error.reset();
        first = first.value_or(row);
        last = row;
    }
    if (!first)
        return;
    Q_EMIT dataChanged(index(*first), index(last));
    Q_EMIT countsChanged();
}

void TransferListModel::replace(int row, TransferItem item, bool keepState)
{
    if (keepState)
        item.state = m_items.at(row).state;
    count(m_items.at(row), -1);
    count(item, 1);
    m_records[row] = QueueStore::record(item);
    m_items[row] = std::move(item);
    ++m_savedFormVersion;
    Q_EMIT dataChanged(index(row), index(row));
    Q_EMIT countsChanged();
}

void TransferListModel::removeFinished()
{
    beginResetModel();
    QList<TransferItem> kept;
    QList<QByteArray> keptRecords;
    m_rows.clear();
    for (qsizetype n = 0; n < m_items.size(); ++n) {
        if (!m_items.at(n).isPending())
            continue;
        m_rows.insert(m_items.at(n).id, int(kept.size()));
        kept.append(std::move(m_items[n]));
        keptRecords.append(std::move(m_records[n]));
    }
    m_items = std::move(kept);
    m_records = std::move(keptRecords);
    m_completed = 0;
    endResetModel();
    ++m_savedFormVersion;
    Q_EMIT countsChanged();
}

QByteArray TransferListModel::savedData() const
{
    QList<QByteArray> records;
    records.reserve(m_records.size());
    for (qsizetype n = 0; n < m_items.size(); ++n)
        if (QueueStore::isSaved(m_items.at(n).state))
            records.append(m_records.at(n));
    return QueueStore::join(records);
}

int TransferListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant TransferListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TransferItem& item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole: return TextRules::visible(item.fileName());
    case FileNameRole: return item.fileName();
    case IdRole: return item.id;
    case UploadRole: return item.upload;
    case StateRole: return int(item.state);
    case ProgressRole: return item.progress;
    case ErrorRole: return item.error.value_or(QString());
    case DirectoryRole: return item.directory;
    case PaceRole: return paceText(item);
    }
    return {};
}

QHash<int, QByteArray> TransferListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{IdRole, "id"},
                  {UploadRole, "upload"},
                  {FileNameRole, "fileName"},
                  {StateRole, "state"},
                  {ProgressRole, "progress"},
                  {ErrorRole, "error"},
                  {DirectoryRole, "directory"},
                  {PaceRole, "pace"}});
    return names;
}
