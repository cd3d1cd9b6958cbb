#pragma once

#include "FileEntry.h"

#include <QCollatorSortKey>
#include <Qt>

// The order of a file table by one column. Folders come first whatever the direction; names
// compare in natural order (case-insensitive, digit runs by value) for the interface language;
// files without a size or a date come after those with one, in both directions.
struct FileSortComparator {
    enum class Field { name, size, modified };

    Field field = Field::name;
    Qt::SortOrder order = Qt::AscendingOrder;

    // Whether `a` goes before `b`, given the collator's sort keys of their names. Entries that
    // compare equal keep their order (the sort is stable).
    bool before(const FileEntry& a, const QCollatorSortKey& aKey, const FileEntry& b,
                const QCollatorSortKey& bKey) const;

    bool operator==(const FileSortComparator&) const = default;
};
