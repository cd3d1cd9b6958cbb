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
// Above and below the text, together: rows as close as still reads, so that many show at once.
constexpr int padding = 4;
constexpr int iconSize = 16;
constexpr int buttonSize = 18;
constexpr int barWidth = 80;

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

// One line a row, so that a long queue shows many items at once.
QSize TransferRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {300, std::max(option.fontMetrics.height(), buttonSize) + padding};
}

QRect TransferRowDelegate::buttonArea(const QRect& row, Qt::LayoutDirection direction)
{
    return QStyle::visualRect(
        direction, row,
        QRect(row.right() - margin - buttonSize, row.center().y() - buttonSize / 2, buttonSize, buttonSize));
}

QString TransferRowDelegate::statusText(const QModelIndex& index)
{
    if (state(index) != TransferItem::State::running)
        return stateText(state(index));
    const QLocale locale = L10n::locale();
    const QString pace = index.data(TransferListModel::PaceRole).toString();
    return locale.toString(int(index.data(TransferListModel::ProgressRole).toDouble() * 100)) + locale.percent() +
           (pace.isEmpty() ? QString() : u" · "_s + pace);
}

// The status keeps what it needs up to half the row, after the bar while it runs; the name and the
// error share the rest.
QRect TransferRowDelegate::statusArea(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QRect row = option.rect;
    const int textLeft = row.left() + 2 * margin + iconSize;
    const int end = row.right() - 2 * margin - buttonSize;
    const int bar = state(index) == TransferItem::State::running ? barWidth + margin : 0;
    const int width =
        std::min(option.fontMetrics.horizontalAdvance(statusText(index)) + margin + bar, (end - textLeft) / 2);
    return {end - width + bar, row.top(), width - bar, row.height()};
}

void TransferRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyle* style = paintBackground(painter, option, index);
    const QRect row = option.rect;
    const QFontMetrics& metrics = option.fontMetrics;
    const bool upload = index.data(TransferListModel::UploadRole).toBool();
    cachedIcon(upload ? "arrow.up.circle.fill" : "arrow.down.circle.fill")
        .paint(painter,
               visual(option, QRect(row.left() + margin, row.center().y() - iconSize / 2, iconSize, iconSize)));

    const bool running = state(index) == TransferItem::State::running;
    const QString status = statusText(index);
    const QRect statusArea = TransferRowDelegate::statusArea(option, index);
    const int statusLeft = statusArea.left() - (running ? barWidth + margin : 0);
    const int textLeft = row.left() + 2 * margin + iconSize;
    const QRect line(textLeft, row.top(), statusLeft - textLeft - margin, row.height());
    const bool selected = option.state & QStyle::State_Selected;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor secondary = option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
    const Qt::Alignment leading = Qt::AlignVCenter | Qt::AlignLeading;
    const QString error = index.data(TransferListModel::ErrorRole).toString();
    painter->save();
    const QString direction = upload ? L("to_server") : L("to_mac");
    painter->setPen(text);
    const QString shownName = metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                                 error.isEmpty() ? line.width() * 2 / 3 : line.width() / 3);
    int used = metrics.horizontalAdvance(shownName) + margin;
    painter->drawText(visual(option, line), leading, shownName);
    painter->setPen(secondary);
    const QString shownDirection =
        metrics.elidedText(direction, Qt::ElideRight, error.isEmpty() ? line.width() - used : line.width() / 4);
    painter->drawText(visual(option, line.adjusted(used, 0, 0, 0)), leading, shownDirection);
    used += metrics.horizontalAdvance(shownDirection) + margin;
    if (!error.isEmpty()) {
        painter->setPen(selected ? text : errorColour(option.palette));
        painter->drawText(visual(option, line.adjusted(used, 0, 0, 0)), leading,
                          metrics.elidedText(error, Qt::ElideRight, line.width() - used));
    }

    if (running) {
        QStyleOptionProgressBar bar;
        bar.rect =
            visual(option, QRect(statusLeft, row.center().y() - metrics.height() / 4, barWidth, metrics.height() / 2));
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = int(index.data(TransferListModel::ProgressRole).toDouble() * 100);
        bar.direction = option.direction;
        bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
        bar.palette = option.palette;
        // The style fills the groove with the base colour, which is the row's own: the button
        // colour sets it off from the row in light and dark palettes alike.
        bar.palette.setColor(QPalette::Base, option.palette.color(QPalette::Button));
        style->drawControl(QStyle::CE_ProgressBarGroove, &bar, painter, option.widget);
        style->drawControl(QStyle::CE_ProgressBarContents, &bar, painter, option.widget);
    }
    painter->setPen(secondary);
    painter->drawText(visual(option, statusArea), leading,
                      metrics.elidedText(status, Qt::ElideRight, statusArea.width()));

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
