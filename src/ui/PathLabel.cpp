#include "PathLabel.h"

#include "DisplayText.h"

PathLabel::PathLabel(QWidget* parent) : QLabel(parent)
{
    DisplayText::plain(this);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::setPath(const QString& path)
{
    m_path = path;
    DisplayText::setPlainToolTip(this, path);
    setAccessibleName(path);
    elide();
}

QSize PathLabel::minimumSizeHint() const
{
    return {fontMetrics().averageCharWidth() * 4, QLabel::minimumSizeHint().height()};
}

void PathLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void PathLabel::elide()
{
    setText(DisplayText::path(fontMetrics().elidedText(m_path, Qt::ElideMiddle, width())));
}
