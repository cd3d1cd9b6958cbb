#include "FileTableView.h"

#include "FileIconDelegate.h"
#include "FileListModel.h"
#include "L10n.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>

FileTableView::FileTableView(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table in one press; the arrows move within it.
    setTabKeyNavigation(false);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setItemDelegateForColumn(FileListModel::nameColumn, new FileIconDelegate(this));
    setSortingEnabled(true);
    sortByColumn(FileListModel::nameColumn, Qt::AscendingOrder);
    // Rows of one fixed height: a long listing is laid out without measuring each row.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setMinimumSectionSize(65);
    horizontalHeader()->setHighlightSections(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAcceptDrops(false);
}

void FileTableView::acceptDrops(DropRule rule)
{
    m_dropRule = std::move(rule);
    setAcceptDrops(bool(m_dropRule));
    viewport()->setAcceptDrops(bool(m_dropRule));
    setDropIndicatorShown(false);
}

void FileTableView::dragRows(std::function<QMimeData*()> make)
{
    m_dragData = std::move(make);
    setDragEnabled(bool(m_dragData));
}

QMimeData* FileTableView::mimeData() const
{
    return m_dragData ? m_dragData() : nullptr;
}

void FileTableView::startDrag(Qt::DropActions)
{
    QMimeData* carried = mimeData();
    if (!carried)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(carried);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void FileTableView::showDropTarget(const std::optional<Drop>& drop)
{
    std::optional<QPersistentModelIndex> target;
    if (drop)
        target = drop->into;
    if (target == m_dropTarget)
        return;
    m_dropTarget = target;
    viewport()->update();
}

std::optional<FileTableView::Drop> FileTableView::dropAt(const QDropEvent* event) const
{
    return m_dropRule ? m_dropRule(event->mimeData(), indexAt(event->position().toPoint())) : std::nullopt;
}

void FileTableView::follow(QDropEvent* event)
{
    const std::optional<Drop> drop = dropAt(event);
    showDropTarget(drop);
    if (!drop)
        return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileTableView::dragEnterEvent(QDragEnterEvent* event)
{
    follow(event);
}

void FileTableView::dragMoveEvent(QDragMoveEvent* event)
{
    follow(event);
}

void FileTableView::dragLeaveEvent(QDragLeaveEvent* event)
{
    showDropTarget(std::nullopt);
    event->accept();
}

void FileTableView::dropEvent(QDropEvent* event)
{
    const std::optional<Drop> drop = dropAt(event);
    showDropTarget(std::nullopt);
    if (drop && drop->perform()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FileTableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    QPainter painter(viewport());
    if (model() && model()->rowCount() == 0) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect(), Qt::AlignCenter, L("no_files"));
    }
    if (m_dropTarget) {
        QColor tint = palette().color(QPalette::Highlight);
        painter.setPen(QPen(tint, 3));
        tint.setAlpha(30);
        painter.setBrush(tint);
        QRect area = viewport()->rect();
        if (m_dropTarget->isValid()) {
            const QRect row = visualRect(*m_dropTarget);
            area = QRect(area.left(), row.top(), area.width(), row.height());
        }
        painter.drawRoundedRect(area.adjusted(2, 2, -2, -2), 6, 6);
    }
}
