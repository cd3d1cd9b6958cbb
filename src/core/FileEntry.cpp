#include "FileEntry.h"

#include "L10n.h"

#include <QCollator>
#include <QHashFunctions>

#include <algorithm>
#include <numeric>
#include <vector>

bool FileEntry::operator==(const FileEntry& other) const
{
    return name == other.name && isDirectory == other.isDirectory && size == other.size && modified == other.modified &&
           isSymbolicLink == other.isSymbolicLink;
}

void FileEntry::markSymbolicLink()
{
    isDirectory = false;
    isSymbolicLink = true;
    size.reset();
}

QList<FileEntry> FileEntry::sorted(QList<FileEntry> entries)
{
    QCollator collator(L10n::locale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    // One sort key per entry: comparing keys is far cheaper than collating names pairwise.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const FileEntry& entry : entries)
        keys.push_back(collator.sortKey(entry.name));

    std::vector<qsizetype> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        if (entries[a].isDirectory != entries[b].isDirectory)
            return entries[a].isDirectory;
        return keys[a].compare(keys[b]) < 0;
    });

    QList<FileEntry> result;
    result.reserve(entries.size());
    for (qsizetype index : order)
        result.append(std::move(entries[index]));
    return result;
}

size_t qHash(const FileEntry& entry, size_t seed)
{
    return qHashMulti(seed, entry.name, entry.isDirectory, entry.size.value_or(-1),
                      entry.modified ? entry.modified->toMSecsSinceEpoch() : -1, entry.isSymbolicLink);
}
