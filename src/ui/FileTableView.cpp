#include "FileTableView.h"

#include "FileIconDelegate.h"
#include "FileListModel.h"
#include "L10n.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace {

// Local files only: a drag that carries anything else is not taken.
QStringList localFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

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

void FileTableView::acceptDrops(std::function<bool(const QStringList&)> accept)
{
    m_accept = std::move(accept);
    setAcceptDrops(bool(m_accept));
    viewport()->setAcceptDrops(bool(m_accept));
    setDropIndicatorShown(false);
}

void FileTableView::setDropTargeted(bool targeted)
{
    if (targeted == m_dropTargeted)
        return;
    m_dropTargeted = targeted;
    viewport()->update();
}

void FileTableView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_accept || localFiles(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    setDropTargeted(true);
}

void FileTableView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_dropTargeted)
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileTableView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropTargeted(false);
    event->accept();
}

void FileTableView::dropEvent(QDropEvent* event)
{
    setDropTargeted(false);
    const QStringList paths = localFiles(event->mimeData());
    if (m_accept && !paths.isEmpty() && m_accept(paths))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileTableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    QPainter painter(viewport());
    if (model() && model()->rowCount() == 0) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect(), Qt::AlignCenter, L("no_files"));
    }
    if (m_dropTargeted) {
        QColor tint = palette().color(QPalette::Highlight);
        painter.setPen(QPen(tint, 3));
        tint.setAlpha(30);
        painter.setBrush(tint);
        painter.drawRoundedRect(viewport()->rect().adjusted(2, 2, -2, -2), 6, 6);
    }
}
