#include "ActivityList.h"

#include "ActivityLog.h"
#include "L10n.h"
#include "RowDelegate.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

QString timeOfDay(const QModelIndex& index)
{
    return L10n::locale().toString(index.data(ActivityLog::DateRole).toDateTime().time(), QLocale::ShortFormat);
}

// The time in digits of fixed width, in the secondary colour, then the text.
class LineDelegate : public RowDelegate {
public:
    using RowDelegate::RowDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        paintBackground(painter, option, index);
        const bool selected = option.state & QStyle::State_Selected;
        QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        digits.setPointSizeF(option.font.pointSizeF());
        const QString time = timeOfDay(index);
        const int timeWidth = QFontMetrics(digits).horizontalAdvance(time) + 12;
        const QRect row = option.rect.adjusted(6, 0, -6, 0);
        const Qt::Alignment leading = Qt::AlignVCenter | Qt::AlignLeading;
        painter->save();
        painter->setFont(digits);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->drawText(QStyle::visualRect(option.direction, row, row.adjusted(0, 0, timeWidth - row.width(), 0)),
                          leading, time);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect text = row.adjusted(timeWidth, 0, 0, 0);
        painter->drawText(
            QStyle::visualRect(option.direction, row, text), leading,
            option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, text.width()));
        painter->restore();
    }
};

} // namespace

ActivityList::ActivityList(ActivityLog* log, QWidget* parent) : QListView(parent)
{
    setModel(log);
    setItemDelegate(new LineDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(selectedText()); });
    addAction(copy);
}

QString ActivityList::selectedText() const
{
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : std::as_const(rows))
        lines << timeOfDay(row) + u' ' + row.data(ActivityLog::TextRole).toString();
    return lines.join(u'\n');
}
