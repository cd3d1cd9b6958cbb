#include "TransferItem.h"

#include "FTPBatch.h"
#include "LocalFileSystem.h"

#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

TransferItem::TransferItem(FTPClient ftpClient) : client(std::move(ftpClient)) {}

TransferItem TransferItem::planned(const PlannedTransfer& record, bool upload, const FTPClient& client)
{
    TransferItem item(client);
    item.upload = upload;
    item.localURL = record.local;
    item.remotePath = record.remote;
    item.directory = record.directory;
    item.overwrite = record.overwrite;
    item.destinationExisted = record.exists;
    item.resumeOffset = record.resumeOffset;
    item.listedSize = record.listedSize;
    return item;
}

QString TransferItem::fileName() const
{
    return LocalFileSystem::lastComponent(localURL);
}

namespace {

// Where an item writes, as a path that a folder item's destination is a prefix of.
QString destinationOf(const TransferItem& item)
{
    if (item.upload)
        return ServerProfile::uuidText(item.client.profile().id) + u':' + item.remotePath;
    return u"local:"_s + item.localURL;
}

// The destination or a folder above it is among `taken`.
bool overlaps(QString destination, const QSet<QString>& taken)
{
    for (; !destination.isEmpty(); destination.truncate(std::max(qsizetype(0), destination.lastIndexOf(u'/'))))
        if (taken.contains(destination))
            return true;
    return false;
}

} // namespace

qsizetype TransferItem::batchLimit(const QList<TransferItem>& items, const QSet<QUuid>& held, int lanes)
{
    if (lanes <= 1)
        return 1;
    const qsizetype waiting = std::count_if(items.begin(), items.end(), [&held](const TransferItem& item) {
        return item.state == State::waiting && !held.contains(item.id);
    });
    return std::clamp((waiting + lanes - 1) / lanes, qsizetype(1), FTPBatch::maximumFiles);
}

QList<qsizetype> TransferItem::startableBatch(const QList<TransferItem>& items, const QSet<QUuid>& held,
                                              qsizetype maximum,
                                              const std::function<bool(const TransferItem&)>& batchable)
{
    QSet<QString> taken;
    for (const TransferItem& item : items)
        if (item.state == State::running || held.contains(item.id))
            taken.insert(destinationOf(item));
    QList<qsizetype> rows;
    for (qsizetype row = 0; row < items.size() && rows.size() < maximum; ++row) {
        const TransferItem& item = items.at(row);
        if (item.state != State::waiting || held.contains(item.id))
            continue;
        const QString destination = destinationOf(item);
        const bool free = !overlaps(destination, taken);
        // What waits keeps its turn before later items of the same destination.
        taken.insert(destination);
        if (!free)
            continue;
        if (rows.isEmpty()) {
            rows.append(row);
            if (!batchable || !batchable(item))
                return rows;
            continue;
        }
        const TransferItem& first = items.at(rows.first());
        if (item.upload == first.upload && item.client.profile() == first.client.profile() && batchable(item))
            rows.append(row);
    }
    return rows;
}
