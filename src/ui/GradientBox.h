#pragma once
// A rounded rectangle filled with a diagonal gradient (top-left to
// bottom-right) and an optional outline: the theme's primaryGradient fill.
#include <QColor>
#include <QQuickPaintedItem>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace vox {

class GradientBox : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList colors READ colors WRITE setColors NOTIFY changed)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor NOTIFY changed)
    Q_PROPERTY(qreal borderWidth READ borderWidth WRITE setBorderWidth NOTIFY changed)
public:
    explicit GradientBox(QQuickItem *parent = nullptr);
    QVariantList colors() const { return m_colors; }
    void setColors(const QVariantList &c);
    qreal radius() const { return m_radius; }
    void setRadius(qreal r);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &c);
    qreal borderWidth() const { return m_borderWidth; }
    void setBorderWidth(qreal w);
    void paint(QPainter *p) override;

Q_SIGNALS:
    void changed();

private:
    // Stores a property and repaints; an unchanged value costs nothing.
    template <typename T>
    void assign(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT changed();
        update();
    }

    QVariantList m_colors;
    qreal m_radius = 0;
    QColor m_borderColor = Qt::transparent;
    qreal m_borderWidth = 0;
};

} // namespace vox
