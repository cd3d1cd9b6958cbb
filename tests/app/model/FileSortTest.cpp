#include "FileFilterModel.h"
#include "FileListModel.h"
#include "QtPrinters.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <gtest/gtest.h>

namespace {

QStringList shownNames(const QAbstractItemModel& rows)
{
    QStringList names;
    for (int row = 0; row < rows.rowCount(); ++row)
        names << rows.index(row, 0).data(FileListModel::NameRole).toString();
    return names;
}

} // namespace

// Sorted through the filter the panes show, as a click on a column heading does.
TEST(FileSort, FoldersFirstNamesInNaturalOrderAndFilesWithoutSizeOrDateLastInBothDirections)
{
    const QDateTime day(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    FileListModel files;
    files.setEntries({{"a10", false, 10, day},
                      {"a2", false, 300, day.addDays(1)},
                      {"B folder", true, std::nullopt, day.addDays(2)},
                      {"A folder", true, std::nullopt, std::nullopt},
                      {"no size", false, std::nullopt, std::nullopt},
                      {"A1", false, 20, day.addDays(-1)}});
    FileFilterModel visible;
    visible.setSourceModel(&files);
    QAbstractItemModelTester checkedFiles(&files);
    QAbstractItemModelTester checkedVisible(&visible);
    EXPECT_EQ(shownNames(visible), (QStringList{"A folder", "B folder", "A1", "a2", "a10", "no size"}));
    const QPersistentModelIndex followed = visible.index(3, 0);

    const struct {
        FileListModel::Column column;
        Qt::SortOrder order;
        QStringList names;
    } cases[] = {
        {FileListModel::nameColumn, Qt::DescendingOrder, {"B folder", "A folder", "no size", "a10", "a2", "A1"}},
        // Folders have no size to compare: they keep the listing's order.
        {FileListModel::sizeColumn, Qt::AscendingOrder, {"B folder", "A folder", "a10", "A1", "a2", "no size"}},
        {FileListModel::sizeColumn, Qt::DescendingOrder, {"B folder", "A folder", "a2", "A1", "a10", "no size"}},
        {FileListModel::modifiedColumn, Qt::AscendingOrder, {"B folder", "A folder", "A1", "a10", "a2", "no size"}},
        {FileListModel::modifiedColumn, Qt::DescendingOrder, {"B folder", "A folder", "a2", "a10", "A1", "no size"}},
        {FileListModel::nameColumn, Qt::AscendingOrder, {"A folder", "B folder", "A1", "a2", "a10", "no size"}},
    };
    for (const auto& c : cases) {
        visible.sort(c.column, c.order);
        EXPECT_EQ(shownNames(visible), c.names) << c.column << " " << c.order;
        // What a view keeps (its selection) follows the entry.
        EXPECT_EQ(followed.data(FileListModel::NameRole).toString(), "a2");
    }
    // The listing's own order is left as it came.
    EXPECT_EQ(files.entries().first().name, "a10");
}
