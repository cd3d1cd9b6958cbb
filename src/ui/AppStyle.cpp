#include "AppStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace {

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace

AppStyle::AppStyle(const QString& baseStyle) : QProxyStyle(baseStyle) {}

void AppStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (button && (element == PE_IndicatorRadioButton || element == PE_IndicatorCheckBox) && isDark(option->palette)) {
        // Fusion outlines an indicator in a shade darker than the window, which on a dark window
        // all but vanishes: the shade of a light window gives a ring that stands out.
        QStyleOptionButton lifted = *button;
        lifted.palette.setColor(QPalette::Window, option->palette.color(QPalette::WindowText).darker(110));
        return QProxyStyle::drawPrimitive(element, &lifted, painter, widget);
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void AppStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                  const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    const bool keyboardFocus = (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange);
    if (control != CC_ToolButton || !keyboardFocus)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(option->palette.color(QPalette::Highlight), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(option->rect).adjusted(1, 1, -1, -1), 3, 3);
    painter->restore();
}
