#include "ResizeHandle.h"

#include "PanelSizes.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int thickness = 7;
constexpr int step = PanelSizes::step;
} // namespace

ResizeHandle::ResizeHandle(Qt::Orientation orientation, QWidget* parent) : QAbstractSlider(parent)
{
    setOrientation(orientation);
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    setFocusPolicy(Qt::TabFocus);
    setSingleStep(step);
    setPageStep(step);
    if (orientation == Qt::Horizontal)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    else
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractSlider::valueChanged, this, [this](int size) {
        if (!m_showing)
            Q_EMIT resized(size);
    });
}

void ResizeHandle::showSize(int size, int minimum, int maximum)
{
    m_showing = true;
    setRange(minimum, maximum);
    setValue(size);
    m_showing = false;
}

QSize ResizeHandle::sizeHint() const
{
    return orientation() == Qt::Horizontal ? QSize(thickness, 0) : QSize(0, thickness);
}

int ResizeHandle::dragDistance(const QPoint& from, const QPoint& to) const
{
    if (orientation() == Qt::Vertical)
        return from.y() - to.y();
    return isRightToLeft() ? from.x() - to.x() : to.x() - from.x();
}

void ResizeHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractSlider::mousePressEvent(event);
    m_dragStart = std::pair(value(), event->globalPosition().toPoint());
    setSliderDown(true);
    event->accept();
}

void ResizeHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragStart)
        return QAbstractSlider::mouseMoveEvent(event);
    setValue(m_dragStart->first + dragDistance(m_dragStart->second, event->globalPosition().toPoint()));
    event->accept();
}

void ResizeHandle::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragStart)
        return QAbstractSlider::mouseReleaseEvent(event);
    m_dragStart.reset();
    setSliderDown(false);
    event->accept();
}

void ResizeHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor line = palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid);
    painter.setPen(QPen(line, hasFocus() ? 2 : 1));
    const QRect area = rect();
    if (orientation() == Qt::Horizontal)
        painter.drawLine(area.center().x(), area.top(), area.center().x(), area.bottom());
    else
        painter.drawLine(area.left(), area.center().y(), area.right(), area.center().y());
}
