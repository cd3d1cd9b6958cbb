#pragma once

#include "RowDelegate.h"

#include <functional>

// A saved connection in the sidebar: the server symbol, its name, below it the host in smaller
// type, and a dot when it is the connected one.
class ProfileRowDelegate : public RowDelegate {
    Q_OBJECT

public:
    // `connected` tells the id of the connected profile (null for none).
    ProfileRowDelegate(std::function<QUuid()> connected, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    std::function<QUuid()> m_connected;
};
