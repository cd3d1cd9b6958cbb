#include "ProfileRowDelegate.h"

#include "Icons.h"
#include "ProfileListModel.h"

#include <QPainter>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {
constexpr int margin = 6;
constexpr int iconSize = 22;
constexpr int dotSize = 8;
} // namespace

ProfileRowDelegate::ProfileRowDelegate(std::function<QUuid()> connected, QObject* parent)
    : RowDelegate(parent), m_connected(std::move(connected))
{
}

QSize ProfileRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    QFont small = option.font;
    small.setPointSizeF(small.pointSizeF() * 0.85);
    return {200, option.fontMetrics.height() + QFontMetrics(small).height() + 2 * margin};
}

void ProfileRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintBackground(painter, option, index);

    const bool rightToLeft = option.direction == Qt::RightToLeft;
    const QRect area = option.rect.adjusted(margin, margin, -margin, -margin);
    static const QIcon server = Icons::icon(u"server.rack"_s);
    QRect icon(0, 0, iconSize, iconSize);
    icon.moveCenter(QPoint(rightToLeft ? area.right() - iconSize / 2 : area.left() + iconSize / 2, area.center().y()));
    server.paint(painter, icon);

    QRect text = area.adjusted(rightToLeft ? dotSize + margin : iconSize + margin, 0,
                               rightToLeft ? -(iconSize + margin) : -(dotSize + margin), 0);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const Qt::Alignment alignment = Qt::AlignVCenter | (rightToLeft ? Qt::AlignRight : Qt::AlignLeft);
    const QString name = index.data(ProfileListModel::NameRole).toString();
    QRect nameArea = text;
    nameArea.setHeight(option.fontMetrics.height());
    painter->drawText(nameArea, alignment, option.fontMetrics.elidedText(name, Qt::ElideRight, text.width()));
    QFont small = option.font;
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter->setFont(small);
    QRect hostArea = text;
    hostArea.setTop(nameArea.bottom() + 1);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    const QString host = index.data(ProfileListModel::HostRole).toString();
    painter->drawText(hostArea, alignment, QFontMetrics(small).elidedText(host, Qt::ElideRight, text.width()));

    if (index.data(ProfileListModel::IdRole).toUuid() == m_connected()) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0x2e, 0xa0, 0x43));
        QRect dot(0, 0, dotSize, dotSize);
        dot.moveCenter(QPoint(rightToLeft ? area.left() + dotSize / 2 : area.right() - dotSize / 2, area.center().y()));
        painter->drawEllipse(dot);
    }
    painter->restore();
}
