#include "SymbolIconEngine.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

using namespace Qt::StringLiterals;

namespace {

QColor colourFor(QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    switch (mode) {
    case QIcon::Disabled: return palette.color(QPalette::Disabled, QPalette::ButtonText);
    case QIcon::Selected: return palette.color(QPalette::Active, QPalette::HighlightedText);
    default: return palette.color(QPalette::Active, QPalette::ButtonText);
    }
}

} // namespace

SymbolIconEngine::SymbolIconEngine(QIcon shape) : m_shape(std::move(shape)) {}

void SymbolIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
}

QPixmap SymbolIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap SymbolIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale)
{
    QPixmap shape = m_shape.pixmap(size, scale, QIcon::Normal, state);
    if (shape.isNull())
        return shape;
    QPainter tint(&shape);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(QRect(QPoint(), shape.size() / shape.devicePixelRatio()), colourFor(mode));
    return shape;
}

QSize SymbolIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return m_shape.actualSize(size, mode, state);
}

QList<QSize> SymbolIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state)
{
    return m_shape.availableSizes(mode, state);
}

QString SymbolIconEngine::iconName()
{
    return m_shape.name();
}

bool SymbolIconEngine::isNull()
{
    return m_shape.isNull();
}

QString SymbolIconEngine::key() const
{
    return u"symbol"_s;
}

QIconEngine* SymbolIconEngine::clone() const
{
    return new SymbolIconEngine(m_shape);
}
