#include "FileSortComparator.h"

namespace {

// Both present: the lesser value first, reversed when descending; one missing: the present one
// first in both directions; both missing: equal.
template <typename Value>
int compareOptional(const std::optional<Value>& a, const std::optional<Value>& b, Qt::SortOrder order)
{
    if (a.has_value() != b.has_value())
        return a ? -1 : 1;
    if (!a || *a == *b)
        return 0;
    const int ascending = *a < *b ? -1 : 1;
    return order == Qt::AscendingOrder ? ascending : -ascending;
}

} // namespace

bool FileSortComparator::before(const FileEntry& a, const QCollatorSortKey& aKey, const FileEntry& b,
                                const QCollatorSortKey& bKey) const
{
    if (a.isDirectory != b.isDirectory)
        return a.isDirectory;
    switch (field) {
    case Field::name: {
        const int ascending = aKey.compare(bKey);
        return order == Qt::AscendingOrder ? ascending < 0 : ascending > 0;
    }
    case Field::size:
        // Folders have no size worth comparing.
        return !a.isDirectory && compareOptional(a.size, b.size, order) < 0;
    case Field::modified: return compareOptional(a.modified, b.modified, order) < 0;
    }
    return false;
}
