#include "GradientBox.h"

#include <QLinearGradient>
#include <QPainter>

namespace vox {

GradientBox::GradientBox(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void GradientBox::setColors(const QVariantList &c)
{
    assign(m_colors, c);
}

void GradientBox::setRadius(qreal r)
{
    assign(m_radius, r);
}

void GradientBox::setBorderColor(const QColor &c)
{
    assign(m_borderColor, c);
}

void GradientBox::setBorderWidth(qreal w)
{
    assign(m_borderWidth, w);
}

void GradientBox::paint(QPainter *p)
{
    p->setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(QPointF(0, 0), size()).adjusted(m_borderWidth / 2, m_borderWidth / 2, -m_borderWidth / 2,
                                                             -m_borderWidth / 2);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    const int n = int(m_colors.size());
    for (int i = 0; i < n; ++i)
        g.setColorAt(n == 1 ? 0.0 : double(i) / (n - 1), m_colors.at(i).value<QColor>());
    p->setBrush(g);
    if (m_borderWidth > 0)
        p->setPen(QPen(m_borderColor, m_borderWidth));
    else
        p->setPen(Qt::NoPen);
    p->drawRoundedRect(r, m_radius, m_radius);
}

} // namespace vox
