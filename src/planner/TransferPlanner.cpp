#include "TransferPlanner.h"

#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "RemotePath.h"

#include <QHash>
#include <QSet>

namespace TransferPlanner {

namespace {

[[noreturn]] void fail(const QString& key)
{
    throw FTPError::message(L(key));
}

[[noreturn]] void fail(const QString& key, const QString& argument)
{
    throw FTPError::message(L(key, argument));
}

// Records are appended to one list shared by the whole walk; each level remembers where its own
// records begin so that the per-level limit reads exactly as if every level returned its own list.
class Walk {
public:
    Walk(const ListFolder& lister, const Resolver& resolve, std::stop_token stopToken, Skipped skippedSoFar = {})
        : list(lister), resolver(resolve), token(std::move(stopToken)), skipped(std::move(skippedSoFar))
    {
    }

    void upload(const QString& local, const QString& remote, std::optional<FileEntry> existing, int depth,
                const std::optional<LocalFileSystem::Attributes>& listedKind = std::nullopt);
    // `picked`: the item the person chose, the only one whose link to a folder is followed.
    void download(const FileEntry& entry, const QString& local, const QString& remote, int depth, bool picked = true);

    QList<PlannedTransfer> records;

private:
    void enter(int depth) const;
    std::optional<ConflictAction> settle(PlannedTransfer& record, const TransferConflict& conflict,
                                         const QString& refusedText, bool resumeOverwrites) const;
    void checkLevelSize(qsizetype levelStart) const;
    QString renamedRemote(const QString& remote, const FileEntry& source) const;
    std::optional<QList<FileEntry>> linkedFolder(const QString& remote) const;

    const ListFolder& list;
    const Resolver& resolver;
    std::stop_token token;
    Skipped skipped;
};

void Walk::enter(int depth) const
{
    CancellationError::check(token);
    if (depth > maximumDepth)
        fail(QStringLiteral("folder_depth"));
}

// Marks `record` for a destination that is already there. With nobody to ask, the item goes into
// what exists when the kinds match; otherwise the answer decides, and renaming, which needs a
// free name on the destination's side, is left to the caller. A download that resumes rewrites
// the local file from the offset on, so it also counts as overwriting.
std::optional<ConflictAction> Walk::settle(PlannedTransfer& record, const TransferConflict& conflict,
                                           const QString& refusedText, bool resumeOverwrites) const
{
    if (!resolver) {
        if (conflict.source.isDirectory != conflict.target.isDirectory)
            fail(QStringLiteral("type_conflict"), refusedText);
        record.exists = true;
        return std::nullopt;
    }
    const ConflictAction action = resolver(conflict);
    if (!conflict.allows(action))
        fail(QStringLiteral("type_conflict"), refusedText);
    record.exists = action != ConflictAction::rename && action != ConflictAction::skip;
    record.overwrite = action == ConflictAction::overwrite || (action == ConflictAction::resume && resumeOverwrites);
    if (action == ConflictAction::resume)
        record.resumeOffset = conflict.target.size;
    return action;
}

void Walk::checkLevelSize(qsizetype levelStart) const
{
    if (records.size() - levelStart > maximumRecords)
        fail(QStringLiteral("batch_limit"));
}

QString Walk::renamedRemote(const QString& remote, const FileEntry& source) const
{
    const QString parent = RemotePath::parent(remote);
    QSet<QString> names;
    for (const FileEntry& entry : list(parent))
        names.insert(entry.name);
    const QString name = availableName(source.name, source.isDirectory,
                                       [&names](const QString& candidate) { return names.contains(candidate); });
    return RemotePath::joining(parent, name);
}

void Walk::upload(const QString& local, const QString& remote, std::optional<FileEntry> existing, int depth,
                  const std::optional<LocalFileSystem::Attributes>& listedKind)
{
    enter(depth);
    // Size and date only matter to a conflict; for the rest the folder listing's kind suffices,
    // which spares one read of every file in a large new tree.
    const LocalFileSystem::Attributes attributes =
        listedKind && !existing ? *listedKind : LocalFileSystem::attributes(local);
    const QString name = LocalFileSystem::lastComponent(local);
    if (attributes.isSymbolicLink)
        fail(QStringLiteral("symlink_source"), name);
    if (!attributes.isDirectory && !attributes.isRegularFile)
        fail(QStringLiteral("unsupported_file"), name);
    const FileEntry source{name, attributes.isDirectory, attributes.size, attributes.modified};

    PlannedTransfer record{local, remote, source.isDirectory, false, false, std::nullopt, std::nullopt};
    if (existing) {
        const auto action = settle(record, TransferConflict{true, local, remote, source, *existing}, remote, false);
        if (action == ConflictAction::skip)
            return;
        if (action == ConflictAction::rename) {
            record.remote = renamedRemote(remote, source);
            existing.reset();
        }
    }

    const qsizetype levelStart = records.size();
    records.append(record);
    if (!source.isDirectory)
        return;

    QHash<QString, FileEntry> remoteChildren;
    if (existing)
        for (const FileEntry& child : list(record.remote))
            if (!remoteChildren.contains(child.name))
                remoteChildren.insert(child.name, child);
    for (const LocalFileSystem::Child& child : LocalFileSystem::children(local)) {
        const QString childName = QString::fromUtf8(child.name);
        // A name that is not UTF-8 would reach the server as a different name than the one on disk.
        if (childName.toUtf8() != child.name || !RemotePath::isValidName(childName))
            fail(QStringLiteral("invalid_filename"), childName);
        const auto match = remoteChildren.constFind(childName);
        upload(LocalFileSystem::joining(local, childName), RemotePath::joining(record.remote, childName),
               match == remoteChildren.cend() ? std::nullopt : std::optional<FileEntry>(*match), depth + 1, child.kind);
        checkLevelSize(levelStart);
    }
}

// The listing of what a symbolic link leads to, or nothing when that is no folder (a file, a
// loop, a dangling link): then it is downloaded as a file.
std::optional<QList<FileEntry>> Walk::linkedFolder(const QString& remote) const
{
    try {
        return list(remote);
    } catch (const CancellationError&) {
        throw;
    } catch (...) {
        CancellationError::check(token);
        return std::nullopt;
    }
}

void Walk::download(const FileEntry& listed, const QString& local, const QString& remote, int depth, bool picked)
{
    enter(depth);
    FileEntry entry = listed;
    std::optional<QList<FileEntry>> children;
    if (entry.isSymbolicLink && (children = linkedFolder(remote))) {
        if (!picked) {
            if (skipped)
                skipped(remote);
            return;
        }
        entry.isDirectory = true;
    }
    PlannedTransfer record{
        local, remote, entry.isDirectory, false, false, std::nullopt, entry.isDirectory ? std::nullopt : entry.size};
    if (const auto attributes = LocalFileSystem::attributesIfPresent(local)) {
        if (attributes->isSymbolicLink)
            fail(QStringLiteral("symlink_destination"), local);
        const FileEntry target{LocalFileSystem::lastComponent(local), attributes->isDirectory, attributes->size,
                               attributes->modified};
        const auto action = settle(record, TransferConflict{false, local, remote, entry, target}, local, true);
        if (action == ConflictAction::skip)
            return;
        if (action == ConflictAction::rename) {
            const QString folder = LocalFileSystem::parent(local);
            record.local = LocalFileSystem::joining(
                folder, availableName(entry.name, entry.isDirectory, [&folder](const QString& candidate) {
                    return LocalFileSystem::attributesIfPresent(LocalFileSystem::joining(folder, candidate))
                        .has_value();
                }));
        }
    }

    const qsizetype levelStart = records.size();
    records.append(record);
    if (!entry.isDirectory)
        return;
    if (!children)
        children = list(remote);
    for (const FileEntry& child : std::as_const(*children)) {
        // The listing comes from the server: a name like ".." must never lead outside `local`.
        if (!RemotePath::isValidName(child.name))
            fail(QStringLiteral("invalid_filename"), child.name);
        download(child, LocalFileSystem::joining(record.local, child.name), RemotePath::joining(remote, child.name),
                 depth + 1, false);
        checkLevelSize(levelStart);
    }
}

} // namespace

QList<PlannedTransfer> upload(const QString& local, const QString& remote, const std::optional<FileEntry>& existing,
                              const ListFolder& list, int depth, const Resolver& resolver, std::stop_token token)
{
    Walk walk(list, resolver, std::move(token));
    walk.upload(local, remote, existing, depth);
    return std::move(walk.records);
}

QList<PlannedTransfer> download(const FileEntry& entry, const QString& local, const QString& remote,
                                const ListFolder& list, int depth, const Resolver& resolver, std::stop_token token,
                                const Skipped& skipped)
{
    Walk walk(list, resolver, std::move(token), skipped);
    walk.download(entry, local, remote, depth);
    return std::move(walk.records);
}

static ListFolder listingThrough(const FTPClient& client, const std::stop_token& token)
{
    return [&client, token](const QString& path) { return client.list(path, token); };
}

QList<PlannedTransfer> upload(const QString& local, const QString& remote, const std::optional<FileEntry>& existing,
                              const FTPClient& client, int depth, const Resolver& resolver, std::stop_token token)
{
    return upload(local, remote, existing, listingThrough(client, token), depth, resolver, token);
}

QList<PlannedTransfer> download(const FileEntry& entry, const QString& local, const QString& remote,
                                const FTPClient& client, int depth, const Resolver& resolver, std::stop_token token,
                                const Skipped& skipped)
{
    return download(entry, local, remote, listingThrough(client, token), depth, resolver, token, skipped);
}

QString pathExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return {};
    return name.mid(dot + 1);
}

QString availableName(const QString& name, bool directory, const Taken& taken)
{
    const QString extension = directory ? QString() : pathExtension(name);
    const QString base = extension.isEmpty() ? name : name.left(name.size() - extension.size() - 1);
    const QString suffix = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    for (int n = 2; n <= 50000; ++n) {
        const QString candidate = base + QStringLiteral(" (") + QString::number(n) + QLatin1Char(')') + suffix;
        if (!taken(candidate))
            return candidate;
    }
    fail(QStringLiteral("batch_limit"));
}

} // namespace TransferPlanner
