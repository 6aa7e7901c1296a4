#include "AppBackground.h"

#include "BackgroundManager.h"

#include <QPainter>
#include <QRadialGradient>
#include <cmath>

namespace vox {

namespace {
QColor rgb(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

void diagonal(QPainter &p, const QRectF &r, std::initializer_list<QColor> colors)
{
    QLinearGradient g(r.topLeft(), r.bottomRight());
    const int n = int(colors.size());
    int i = 0;
    for (const QColor &c : colors)
        g.setColorAt(n == 1 ? 0.0 : double(i++) / (n - 1), c);
    p.fillRect(r, g);
}

// A disc of `diameter` blurred with a Gaussian of sigma = blurRadius / 3.33:
// the edge profile of a blurred disc is the normal CDF across its rim.
void blurredCircle(QPainter &p, const QRectF &r, double diameter, QColor color, double blurRadius, QPointF offset)
{
    const double radius = diameter / 2.0;
    const double sigma = std::max(blurRadius / 3.33, 0.5);
    const double outer = radius + 3.0 * sigma;
    const QPointF c = r.center() + offset;
    QRadialGradient g(c, outer);
    const double alpha = color.alphaF();
    constexpr int kStops = 24;
    for (int i = 0; i <= kStops; ++i) {
        const double d = outer * i / kStops;
        const double cover = 0.5 * std::erfc((d - radius) / (sigma * std::sqrt(2.0)));
        QColor s = color;
        s.setAlphaF(float(alpha * cover));
        g.setColorAt(double(i) / kStops, s);
    }
    QColor clear = color;
    clear.setAlphaF(0);
    g.setColorAt(1.0, clear);
    p.fillRect(r, g);
}
} // namespace

void paintAppBackground(QPainter &p, const QRectF &r, UITheme theme, const QImage *picture)
{
    p.save();
    p.setClipRect(r);
    if (picture && !picture->isNull()) {
        // Scaled to fill, centred and cropped.
        const QSizeF img = picture->size();
        const double scale = std::max(r.width() / img.width(), r.height() / img.height());
        const QSizeF drawn = img * scale;
        const QRectF target(r.center().x() - drawn.width() / 2, r.center().y() - drawn.height() / 2, drawn.width(),
                            drawn.height());
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, *picture);
        p.fillRect(r, rgb(0, 0, 0, customPictureDimming(theme)));
        QColor tint = palette(theme).primary;
        tint.setAlphaF(0.06f);
        p.fillRect(r, tint);
        p.restore();
        return;
    }
    switch (theme) {
    case UITheme::Cyberpunk: {
        diagonal(p, r, {rgb(0.04, 0.05, 0.1), rgb(0.1, 0.04, 0.18), rgb(0.03, 0.08, 0.14)});
        blurredCircle(p, r, 380, rgb(0, 0.85, 1.0, 0.22), 90, {-180, -160});
        blurredCircle(p, r, 420, rgb(1.0, 0.23, 0.58, 0.2), 100, {200, 180});
        QLinearGradient v(r.topLeft(), r.bottomLeft());
        v.setColorAt(0, rgb(1, 1, 1, 0.03));
        v.setColorAt(0.5, rgb(1, 1, 1, 0));
        v.setColorAt(1, rgb(1, 1, 1, 0.03));
        p.fillRect(r, v);
        break;
    }
    case UITheme::Swiss: {
        diagonal(p, r, {rgb(0.98, 0.98, 0.97), rgb(0.94, 0.94, 0.92)});
        const QPointF c = r.center() + QPointF(-220, -220);
        p.fillRect(QRectF(c.x() - 210, c.y() - 210, 420, 420), rgb(0.85, 0.1, 0.1, 0.08));
        QPen pen(rgb(0, 0, 0, 0.03));
        pen.setWidthF(1.0);
        pen.setCosmetic(true);
        p.setPen(pen);
        for (double x = r.left(); x <= r.right(); x += 48)
            p.drawLine(QPointF(x + 0.5, r.top()), QPointF(x + 0.5, r.bottom()));
        for (double y = r.top(); y <= r.bottom(); y += 48)
            p.drawLine(QPointF(r.left(), y + 0.5), QPointF(r.right(), y + 0.5));
        break;
    }
    case UITheme::Oled:
        p.fillRect(r, Qt::black);
        break;
    case UITheme::Glass:
        diagonal(p, r, {rgb(0.72, 0.82, 1.0), rgb(0.92, 0.8, 1.0), rgb(1.0, 0.84, 0.92)});
        blurredCircle(p, r, 420, rgb(1, 1, 1, 0.55), 110, {-180, -160});
        blurredCircle(p, r, 460, rgb(0.6, 0.8, 1.0, 0.45), 120, {200, 180});
        break;
    }
    p.restore();
}

AppBackground::AppBackground(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setOpaquePainting(true);
    m_anim.setStartValue(0.0);
    m_anim.setEndValue(1.0);
    m_anim.setDuration(300);
    m_anim.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_anim, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(&m_anim, &QVariantAnimation::stateChanged, this, [this] { Q_EMIT animatingChanged(); });
    connect(&m_anim, &QVariantAnimation::finished, this, [this] {
        m_previous = QImage();
        update();
    });
}

QObject *AppBackground::background() const
{
    return m_background.data();
}

void AppBackground::setBackground(QObject *b)
{
    auto *bm = qobject_cast<BackgroundManager *>(b);
    if (bm == m_background)
        return;
    if (m_background)
        disconnect(m_background, nullptr, this, nullptr);
    startTransition();
    m_background = bm;
    if (bm)
        connect(bm, &BackgroundManager::backgroundChanged, this, [this] {
            startTransition();
            update();
        });
    Q_EMIT backgroundChanged();
    update();
}

void AppBackground::setThemeName(const QString &name)
{
    if (name == m_themeName)
        return;
    const bool visibleChange = themeFromRaw(name) != themeFromRaw(m_themeName);
    if (visibleChange)
        startTransition();
    m_themeName = name;
    Q_EMIT themeNameChanged();
    update();
}

QImage AppBackground::currentPicture() const
{
    return m_background ? m_background->backgroundImage() : QImage();
}

void AppBackground::startTransition()
{
    const QSize sz = size().toSize();
    if (sz.isEmpty() || !isComponentComplete())
        return;
    // Freeze what is on screen now (including a half-finished fade).
    QImage snap(sz, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&snap);
    const QImage pic = currentPicture();
    paintAppBackground(p, QRectF(QPointF(0, 0), size()), themeFromRaw(m_themeName), &pic);
    if (!m_previous.isNull() && m_anim.state() == QAbstractAnimation::Running) {
        p.setOpacity(1.0 - m_anim.currentValue().toDouble());
        p.drawImage(QPointF(0, 0), m_previous);
    }
    p.end();
    m_previous = snap;
    m_anim.stop();
    m_anim.start();
}

void AppBackground::paint(QPainter *painter)
{
    const QImage pic = currentPicture();
    const QRectF r(QPointF(0, 0), size());
    paintAppBackground(*painter, r, themeFromRaw(m_themeName), &pic);
    if (!m_previous.isNull() && m_anim.state() == QAbstractAnimation::Running) {
        painter->setOpacity(1.0 - m_anim.currentValue().toDouble());
        painter->drawImage(r, m_previous);
        painter->setOpacity(1.0);
    }
}

} // namespace vox
