#include "TransferRowDelegate.h"

#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"
#include "TransferItem.h"
#include "TransferListModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

constexpr int margin = 6;
constexpr int iconSize = 24;
constexpr int buttonSize = 22;
constexpr int barWidth = 120;

TransferItem::State state(const QModelIndex& index)
{
    return TransferItem::State(index.data(TransferListModel::StateRole).toInt());
}

QString stateText(TransferItem::State state)
{
    switch (state) {
    case TransferItem::State::waiting: return L("waiting");
    case TransferItem::State::running: return {};
    case TransferItem::State::completed: return L("completed");
    case TransferItem::State::failed: return L("failed");
    case TransferItem::State::cancelled: return L("cancelled");
    }
    return {};
}

// Red that reads on the row's background, light or dark.
QColor errorColour(const QPalette& palette)
{
    return palette.color(QPalette::Base).lightness() < 128 ? QColor(0xff, 0x7b, 0x72) : QColor(0xc0, 0x1c, 0x28);
}

// Lays `logical` out as written for left-to-right, mirrored within `row` for right-to-left.
QRect visual(const QStyleOptionViewItem& option, const QRect& logical)
{
    return QStyle::visualRect(option.direction, option.rect, logical);
}

const QIcon& cachedIcon(const char* symbol)
{
    static QHash<const char*, QIcon> icons;
    auto icon = icons.find(symbol);
    if (icon == icons.end())
        icon = icons.insert(symbol, Icons::icon(QString::fromLatin1(symbol)));
    return *icon;
}

} // namespace

bool TransferRowDelegate::canRetry(const QModelIndex& index)
{
    return index.isValid() &&
           (state(index) == TransferItem::State::failed || state(index) == TransferItem::State::cancelled);
}

bool TransferRowDelegate::canCancel(const QModelIndex& index)
{
    return index.isValid() &&
           (state(index) == TransferItem::State::waiting || state(index) == TransferItem::State::running);
}

QSize TransferRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {300, 2 * option.fontMetrics.height() + 3 * margin};
}

QRect TransferRowDelegate::buttonArea(const QRect& row, Qt::LayoutDirection direction)
{
    return QStyle::visualRect(
        direction, row,
        QRect(row.right() - margin - buttonSize, row.center().y() - buttonSize / 2, buttonSize, buttonSize));
}

void TransferRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyle* style = paintBackground(painter, option, index);
    const QWidget* widget = option.widget;

    const QRect row = option.rect;
    const int line = option.fontMetrics.height();
    const bool upload = index.data(TransferListModel::UploadRole).toBool();
    const TransferItem::State itemState = state(index);
    cachedIcon(upload ? "arrow.up.circle.fill" : "arrow.down.circle.fill")
        .paint(painter,
               visual(option, QRect(row.left() + margin, row.center().y() - iconSize / 2, iconSize, iconSize)));

    const int statusLeft = row.right() - 2 * margin - buttonSize - barWidth - 50;
    const int textLeft = row.left() + 2 * margin + iconSize;
    const QString error = index.data(TransferListModel::ErrorRole).toString();
    // One line stands in the middle of the row; with an error below it, the two share the row.
    const int firstLine = error.isEmpty() ? row.center().y() - line / 2 : row.top() + margin;
    const QRect nameArea(textLeft, firstLine, statusLeft - textLeft - margin, line);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor secondary = option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
    const Qt::Alignment leading = Qt::AlignVCenter | Qt::AlignLeading;
    painter->save();
    const QString name = index.data(Qt::DisplayRole).toString();
    const QString direction = upload ? L("to_server") : L("to_mac");
    painter->setPen(text);
    const QString shownName = option.fontMetrics.elidedText(name, Qt::ElideMiddle, nameArea.width() * 2 / 3);
    const int nameWidth = option.fontMetrics.horizontalAdvance(shownName);
    painter->drawText(visual(option, nameArea), leading, shownName);
    painter->setPen(secondary);
    painter->drawText(visual(option, nameArea.adjusted(nameWidth + margin, 0, 0, 0)), leading,
                      option.fontMetrics.elidedText(direction, Qt::ElideRight, nameArea.width() - nameWidth - margin));
    if (!error.isEmpty()) {
        painter->setPen(selected ? text : errorColour(option.palette));
        const QRect errorArea(textLeft, nameArea.bottom() + margin / 2,
                              row.right() - textLeft - 2 * margin - buttonSize, line);
        painter->drawText(visual(option, errorArea), leading,
                          option.fontMetrics.elidedText(error, Qt::ElideRight, errorArea.width()));
    }

    const QRect statusArea(statusLeft, firstLine, barWidth + 50, line);
    if (itemState == TransferItem::State::running) {
        const double progress = index.data(TransferListModel::ProgressRole).toDouble();
        const int percent = int(progress * 100);
        QStyleOptionProgressBar bar;
        bar.rect = visual(option, QRect(statusLeft, statusArea.top() + line / 4, barWidth, line / 2));
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = percent;
        bar.direction = option.direction;
        bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
        bar.palette = option.palette;
        // The style fills the groove with the base colour, which is the row's own: the button
        // colour sets it off from the row in light and dark palettes alike.
        bar.palette.setColor(QPalette::Base, option.palette.color(QPalette::Button));
        style->drawControl(QStyle::CE_ProgressBarGroove, &bar, painter, widget);
        style->drawControl(QStyle::CE_ProgressBarContents, &bar, painter, widget);
        painter->setPen(secondary);
        const QLocale locale = L10n::locale();
        painter->drawText(visual(option, statusArea.adjusted(barWidth + margin, 0, 0, 0)), leading,
                          locale.toString(percent) + locale.percent());
    } else {
        painter->setPen(secondary);
        painter->drawText(visual(option, statusArea), leading, stateText(itemState));
    }

    if (canRetry(index) || canCancel(index))
        cachedIcon(canRetry(index) ? "arrow.clockwise" : "xmark.circle")
            .paint(painter, buttonArea(option.rect, option.direction).adjusted(2, 2, -2, -2));
    painter->restore();
}

bool TransferRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                      const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto* click = static_cast<QMouseEvent*>(event);
    if (click->button() != Qt::LeftButton ||
        !buttonArea(option.rect, option.direction).contains(click->position().toPoint()))
        return false;
    const QUuid id = index.data(TransferListModel::IdRole).toUuid();
    if (canRetry(index))
        Q_EMIT retryRequested(id);
    else if (canCancel(index))
        Q_EMIT cancelRequested(id);
    return true;
}

bool TransferRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                    const QModelIndex& index)
{
    const QString error = index.data(TransferListModel::ErrorRole).toString();
    if (event->type() != QEvent::ToolTip || error.isEmpty())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), DisplayText::plainToolTip(error), view);
    return true;
}
