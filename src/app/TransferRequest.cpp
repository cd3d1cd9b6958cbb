#include "TransferRequest.h"

#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "RemotePath.h"

#include <QDir>
#include <QHash>
#include <QSet>

namespace TransferRequest {

QList<TransferSource> localSources(const QStringList& paths, const QString& remoteFolder)
{
    QList<TransferSource> sources;
    QSet<QString> seenPaths;
    QSet<QString> seenNames;
    for (const QString& given : paths) {
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(given));
        if (seenPaths.contains(path))
            continue;
        seenPaths.insert(path);
        const QString name = LocalFileSystem::lastComponent(path);
        if (!RemotePath::isValidName(name))
            throw FTPError::message(L("invalid_filename", name));
        if (seenNames.contains(name))
            throw FTPError::message(L("type_conflict", name));
        seenNames.insert(name);
        const bool directory = LocalFileSystem::attributes(path).isDirectory;
        sources.append(
            {FileEntry{name, directory, std::nullopt, std::nullopt}, path, RemotePath::joining(remoteFolder, name)});
    }
    return sources;
}

namespace {

// What the remote folders of an upload already hold, listed once per folder.
class RemoteContents {
public:
    RemoteContents(const FTPClient& ftpClient, const std::stop_token& stopToken) : client(ftpClient), token(stopToken)
    {
    }

    std::optional<FileEntry> entry(const QString& remote)
    {
        const QString folder = RemotePath::parent(remote);
        auto listing = folders.find(folder);
        if (listing == folders.end())
            listing = folders.insert(folder, client.list(folder, token));
        const QString name = RemotePath::lastComponent(remote);
        for (const FileEntry& existing : *listing)
            if (existing.name == name)
                return existing;
        return std::nullopt;
    }

private:
    const FTPClient& client;
    const std::stop_token& token;
    QHash<QString, QList<FileEntry>> folders;
};

void checkDestinations(bool upload, const QList<PlannedTransfer>& records)
{
    QSet<QString> destinations;
    destinations.reserve(records.size());
    for (const PlannedTransfer& record : records) {
        const QString& key = upload ? record.remote : record.local;
        if (destinations.contains(key))
            throw FTPError::message(L("duplicate_destination", key));
        destinations.insert(key);
    }
}

} // namespace

QList<PlannedTransfer> plan(bool upload, const QList<TransferSource>& sources, const FTPClient& client,
                            const TransferPlanner::Resolver& resolver, std::stop_token token,
                            const TransferPlanner::Skipped& skipped)
{
    RemoteContents remote(client, token);
    if (upload)
        for (const TransferSource& source : sources)
            remote.entry(source.remote);
    QList<PlannedTransfer> records;
    for (const TransferSource& source : sources) {
        records += upload ? TransferPlanner::upload(source.local, source.remote, remote.entry(source.remote), client, 0,
                                                    resolver, token)
                          : TransferPlanner::download(source.entry, source.local, source.remote, client, 0, resolver,
                                                      token, skipped);
        if (records.size() > maximumRecords)
            throw FTPError::message(L("batch_limit"));
    }
    CancellationError::check(token);
    checkDestinations(upload, records);
    return records;
}

} // namespace TransferRequest
