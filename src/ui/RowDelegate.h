#pragma once

#include <QStyledItemDelegate>

// A row the delegate draws itself: the style's background (selection, hover, alternating colour)
// first, then whatever the row shows.
class RowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    // Draws the row's background without text or icon; the style to draw the rest with.
    QStyle* paintBackground(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
};
