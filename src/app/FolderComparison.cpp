#include "FolderComparison.h"

#include "CancellationError.h"
#include "FTPError.h"
#include "L10n.h"
#include "LocalFileSystem.h"
#include "RemotePath.h"

#include <QFile>
#include <QHash>
#include <algorithm>

namespace FolderComparison {

namespace {

using Entries = QHash<QString, FileEntry>;

void checkDepth(int depth)
{
    if (depth > maximumDepth)
        throw FTPError::message(L("folder_depth"));
}

void record(Entries& map, const QString& key, const FileEntry& entry)
{
    map.insert(key, entry);
    if (map.size() > maximumEntries)
        throw FTPError::message(L("batch_limit"));
}

void walkLocal(const QString& folder, const QString& prefix, int depth, Entries& map, const std::stop_token& token)
{
    checkDepth(depth);
    CancellationError::check(token);
    for (const LocalFileSystem::Child& child : LocalFileSystem::children(folder)) {
        const QString name = QFile::decodeName(child.name);
        const QString path = LocalFileSystem::joining(folder, name);
        const LocalFileSystem::Attributes attributes = LocalFileSystem::attributes(path);
        // A link may point anywhere, even above the root; the server side cannot tell either.
        if (attributes.isSymbolicLink)
            continue;
        const QString key = prefix + name;
        record(map, key, FileEntry{name, attributes.isDirectory, attributes.size, attributes.modified});
        if (attributes.isDirectory)
            walkLocal(path, key + QLatin1Char('/'), depth + 1, map, token);
    }
}

void walkRemote(const ListFolder& list, const QString& folder, const QString& prefix, int depth, Entries& map)
{
    checkDepth(depth);
    for (const FileEntry& entry : list(folder)) {
        const QString key = prefix + entry.name;
        record(map, key, entry);
        if (entry.isDirectory)
            walkRemote(list, RemotePath::joining(folder, entry.name), key + QLatin1Char('/'), depth + 1, map);
    }
}

// Orders UTF-16 code units so that surrogates (U+D800 to U+DFFF) come after the rest of the
// Basic Multilingual Plane, which turns UTF-16 order into code-point order.
char16_t codePointRank(char16_t unit)
{
    if (unit >= 0xE000)
        return char16_t(unit - 0x800);
    if (unit >= 0xD800)
        return char16_t(unit + 0x2000);
    return unit;
}

// Code-point order, which differs from UTF-16 order once characters beyond U+FFFF take part.
bool codePointLess(const QString& a, const QString& b)
{
    const auto [left, right] = std::mismatch(a.cbegin(), a.cend(), b.cbegin(), b.cend());
    if (right == b.cend())
        return false;
    if (left == a.cend())
        return true;
    return codePointRank(left->unicode()) < codePointRank(right->unicode());
}

} // namespace

QList<ComparisonRow> compare(const QString& local, const QString& remote, const FTPClient& client,
                             std::stop_token token)
{
    return compare(
        local, remote, [&](const QString& folder) { return client.list(folder, token); }, token);
}

QList<ComparisonRow> compare(const QString& local, const QString& remote, const ListFolder& list, std::stop_token token)
{
    Entries localEntries;
    walkLocal(local, QString(), 0, localEntries, token);
    Entries remoteEntries;
    walkRemote(list, remote, QString(), 0, remoteEntries);

    QStringList paths = localEntries.keys();
    for (auto it = remoteEntries.cbegin(); it != remoteEntries.cend(); ++it)
        if (!localEntries.contains(it.key()))
            paths.append(it.key());
    std::sort(paths.begin(), paths.end(), codePointLess);

    QList<ComparisonRow> rows;
    rows.reserve(paths.size());
    for (const QString& path : paths) {
        ComparisonRow row{path, std::nullopt, std::nullopt};
        if (const auto found = localEntries.constFind(path); found != localEntries.cend())
            row.local = *found;
        if (const auto found = remoteEntries.constFind(path); found != remoteEntries.cend())
            row.remote = *found;
        rows.append(row);
    }
    return rows;
}

} // namespace FolderComparison
