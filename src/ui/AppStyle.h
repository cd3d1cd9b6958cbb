#pragma once

#include <QProxyStyle>

// The platform's style (or Fusion where an appearance is forced) with what it leaves hard to see:
// the rings of check boxes and radio buttons on a dark background, and the keyboard focus of a
// tool button, which an icon-only button would otherwise not show at all.
class AppStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit AppStyle(const QString& baseStyle);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
};
