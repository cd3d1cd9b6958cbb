#include "TransferItem.h"

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

std::optional<qsizetype> TransferItem::firstStartable(const QList<TransferItem>& items)
{
    QSet<QString> taken;
    for (const TransferItem& item : items)
        if (item.state == State::running)
            taken.insert(destinationOf(item));
    for (qsizetype row = 0; row < items.size(); ++row) {
        if (items.at(row).state != State::waiting)
            continue;
        const QString destination = destinationOf(items.at(row));
        if (!overlaps(destination, taken))
            return row;
        // What waits keeps its turn before later items of the same destination.
        taken.insert(destination);
    }
    return std::nullopt;
}
