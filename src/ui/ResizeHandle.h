#pragma once

#include <QAbstractSlider>
#include <optional>

// The thin handle between two parts of the window that the person drags to resize one of them,
// or moves with the arrow keys in steps; to assistive technology it is an adjustable value. Its
// value is the size of the part it resizes, within the range the window allows.
class ResizeHandle : public QAbstractSlider {
    Q_OBJECT

public:
    // Horizontal: a handle after the part, dragged sideways (the part follows the layout
    // direction). Vertical: a handle above the part, which grows when dragged up.
    ResizeHandle(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Shows `size` within the bounds without counting as the person's change.
    void showSize(int size, int minimum, int maximum);

    QSize sizeHint() const override;

Q_SIGNALS:
    // The person changed the size: by a drag, a key or an accessibility action.
    void resized(int size);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int dragDistance(const QPoint& from, const QPoint& to) const;

    bool m_showing = false;
    // The size and the pointer's position where the drag began.
    std::optional<std::pair<int, QPoint>> m_dragStart;
};
