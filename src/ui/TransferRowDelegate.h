#pragma once

#include "RowDelegate.h"

#include <QUuid>

// One item of the transfer queue on one line: its direction, its file and where it goes, its error
// in red, its state (while it runs a bar, the percentage and its pace), and the button that retries
// a finished item or cancels a pending one.
class TransferRowDelegate : public RowDelegate {
    Q_OBJECT

public:
    using RowDelegate::RowDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Whether the row's item can be retried (failed or cancelled) or cancelled (waiting, running).
    static bool canRetry(const QModelIndex& index);
    static bool canCancel(const QModelIndex& index);
    // Where a row shows its retry or cancel button.
    static QRect buttonArea(const QRect& row, Qt::LayoutDirection direction);
    // What the row shows at its end: the state, or while it runs the percentage and its pace.
    static QString statusText(const QModelIndex& index);
    // Where that text goes, laid out left to right within the row; it is shortened beyond that.
    static QRect statusArea(const QStyleOptionViewItem& option, const QModelIndex& index);

Q_SIGNALS:
    void retryRequested(const QUuid& id);
    void cancelRequested(const QUuid& id);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // The row shows its error on one line, shortened to fit: the tooltip has all of it.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
