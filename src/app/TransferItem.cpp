#include "TransferItem.h"

#include "LocalFileSystem.h"

TransferItem::TransferItem(FTPClient client) : client(std::move(client)) {}

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
    return item;
}

QString TransferItem::fileName() const
{
    return LocalFileSystem::lastComponent(localURL);
}
