#include "ComparisonView.h"

#include "AppModel.h"
#include "ComparisonListModel.h"
#include "L10n.h"

#include <QHeaderView>
#include <QTableView>

ComparisonView::ComparisonView(AppModel& model, QWidget* parent)
    : SheetWindow("compare_folders", "compare_hint", parent)
{
    m_table = new QTableView;
    m_table->setModel(model.comparisonList());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(ComparisonListModel::pathColumn, QHeaderView::Stretch);
    header->resizeSection(ComparisonListModel::statusColumn, 200);
    header->resizeSection(ComparisonListModel::localSizeColumn, 110);
    header->resizeSection(ComparisonListModel::remoteSizeColumn, 110);
    setContent(m_table);
    setMinimumSize(760, 480);
    retranslate();
}

void ComparisonView::retranslate()
{
    SheetWindow::retranslate();
    m_table->setAccessibleName(L("compare_folders"));
    m_table->viewport()->update();
    m_table->horizontalHeader()->viewport()->update();
}
