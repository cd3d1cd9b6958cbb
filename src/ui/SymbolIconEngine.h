#pragma once

#include <QIcon>
#include <QIconEngine>

// A one-colour icon drawn in the text colour of the current palette, as the desktop draws its
// symbolic icons: dark on light, light on dark, and faded only when its control is disabled. The
// shape's own colours (the theme's grey) are ignored; only its coverage counts.
class SymbolIconEngine : public QIconEngine {
public:
    explicit SymbolIconEngine(QIcon shape);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString iconName() override;
    bool isNull() override;
    QString key() const override;
    QIconEngine* clone() const override;

private:
    QIcon m_shape;
};
