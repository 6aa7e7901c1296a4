#include "SymbolIcon.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <cmath>
#include <functional>

namespace vox {

namespace {

// Every shape is drawn in a 24 × 24 design grid and scaled to the box.
using Draw = std::function<void(QPainter &, const QColor &)>;

QPen line(const QColor &c, double w = 2.0)
{
    QPen pen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    return pen;
}

void stroke(QPainter &p, const QColor &c, double w = 2.0)
{
    p.setPen(line(c, w));
    p.setBrush(Qt::NoBrush);
}

void fill(QPainter &p, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
}

void mic(QPainter &p, const QColor &c, bool filled)
{
    if (filled)
        fill(p, c);
    else
        stroke(p, c);
    p.drawRoundedRect(QRectF(8.5, 2, 7, 12.5), 3.5, 3.5);
    stroke(p, c);
    QPainterPath arc;
    arc.moveTo(5, 11);
    arc.cubicTo(5, 19, 19, 19, 19, 11);
    p.drawPath(arc);
    p.drawLine(QPointF(12, 17.5), QPointF(12, 21.5));
    p.drawLine(QPointF(8.5, 21.5), QPointF(15.5, 21.5));
}

void bubble(QPainter &p, const QColor &c, bool filled, bool lines)
{
    QPainterPath b;
    b.addRoundedRect(QRectF(2.5, 3.5, 19, 14), 4, 4);
    QPainterPath tail;
    tail.moveTo(7, 17);
    tail.lineTo(6, 21.5);
    tail.lineTo(11.5, 17);
    b = b.united(tail);
    if (filled) {
        fill(p, c);
        p.drawPath(b);
    } else {
        stroke(p, c, 1.8);
        p.drawPath(b);
    }
    if (lines) {
        QColor lc = filled ? QColor(0, 0, 0, 150) : c;
        if (filled)
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        stroke(p, filled ? QColor(0, 0, 0, 255) : lc, 1.8);
        p.drawLine(QPointF(6.5, 9), QPointF(17.5, 9));
        p.drawLine(QPointF(6.5, 13), QPointF(13.5, 13));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

void circleArrow(QPainter &p, const QColor &c, bool clockwise)
{
    stroke(p, c);
    const QRectF r(4, 4, 16, 16);
    if (clockwise) {
        p.drawArc(r, 80 * 16, -300 * 16);
        QPolygonF head{{12.5, 1.2}, {16.5, 4.2}, {12.5, 7.2}};
        fill(p, c);
        p.drawPolygon(head);
    } else {
        p.drawArc(r, 100 * 16, 300 * 16);
        QPolygonF head{{11.5, 1.2}, {7.5, 4.2}, {11.5, 7.2}};
        fill(p, c);
        p.drawPolygon(head);
    }
}

void knockout(QPainter &p, const std::function<void()> &draw)
{
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    draw();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void circleWith(QPainter &p, const QColor &c, const std::function<void()> &inner)
{
    fill(p, c);
    p.drawEllipse(QRectF(2, 2, 20, 20));
    knockout(p, inner);
}

void gear(QPainter &p, const QColor &c, QPointF centre, double scale, bool filled)
{
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a = M_PI * i / teeth;
        const double r = (i % 2 == 0 ? 10.0 : 7.6) * scale;
        const double a0 = a - M_PI / teeth / 2, a1 = a + M_PI / teeth / 2;
        const QPointF p0 = centre + QPointF(std::cos(a0) * r, std::sin(a0) * r);
        const QPointF p1 = centre + QPointF(std::cos(a1) * r, std::sin(a1) * r);
        if (i == 0)
            path.moveTo(p0);
        else
            path.lineTo(p0);
        path.lineTo(p1);
    }
    path.closeSubpath();
    if (filled) {
        fill(p, c);
        p.drawPath(path);
        knockout(p, [&] { p.drawEllipse(centre, 3.2 * scale, 3.2 * scale); });
    } else {
        stroke(p, c, 1.7);
        p.drawPath(path);
        p.drawEllipse(centre, 3.2 * scale, 3.2 * scale);
    }
}

void triangleWarning(QPainter &p, const QColor &c, bool filled)
{
    QPainterPath t;
    t.moveTo(12, 2.5);
    t.lineTo(22, 20.5);
    t.lineTo(2, 20.5);
    t.closeSubpath();
    if (filled) {
        fill(p, c);
        p.drawPath(t);
        knockout(p, [&] {
            stroke(p, Qt::black, 2.2);
            p.drawLine(QPointF(12, 8.5), QPointF(12, 14));
            fill(p, Qt::black);
            p.drawEllipse(QPointF(12, 17.3), 1.3, 1.3);
        });
    } else {
        stroke(p, c, 1.8);
        p.drawPath(t);
        p.drawLine(QPointF(12, 8.5), QPointF(12, 14));
        fill(p, c);
        p.drawEllipse(QPointF(12, 17.3), 1.2, 1.2);
    }
}

void waveform(QPainter &p, const QColor &c)
{
    stroke(p, c, 2.2);
    const double hs[] = {4, 10, 16, 8, 13, 5};
    for (int i = 0; i < 6; ++i) {
        const double x = 3.5 + i * 3.4;
        p.drawLine(QPointF(x, 12 - hs[i] / 2), QPointF(x, 12 + hs[i] / 2));
    }
}

void photo(QPainter &p, const QColor &c, bool filled)
{
    if (filled) {
        fill(p, c);
        p.drawRoundedRect(QRectF(2, 4, 20, 16), 3, 3);
        knockout(p, [&] {
            fill(p, Qt::black);
            p.drawPolygon(QPolygonF{{4.5, 17.5}, {10, 10.5}, {14, 15}, {16.5, 12.5}, {19.5, 17.5}});
            p.drawEllipse(QPointF(16.5, 8.5), 1.8, 1.8);
        });
    } else {
        stroke(p, c, 1.7);
        p.drawRoundedRect(QRectF(2.5, 4.5, 19, 15), 3, 3);
        fill(p, c);
        p.drawPolygon(QPolygonF{{4.5, 17.5}, {10, 10.5}, {14, 15}, {16.5, 12.5}, {19.5, 17.5}});
        p.drawEllipse(QPointF(16.5, 8.5), 1.6, 1.6);
    }
}

const QHash<QString, Draw> &table()
{
    static const QHash<QString, Draw> t = [] {
        QHash<QString, Draw> m;
        m.insert(QStringLiteral("mic.fill"), [](QPainter &p, const QColor &c) { mic(p, c, true); });
        m.insert(QStringLiteral("mic"), [](QPainter &p, const QColor &c) { mic(p, c, false); });
        m.insert(QStringLiteral("mic.slash"), [](QPainter &p, const QColor &c) {
            mic(p, c, false);
            stroke(p, c, 2);
            p.drawLine(QPointF(3, 3), QPointF(21, 21));
        });
        m.insert(QStringLiteral("mic.fill.badge.plus"), [](QPainter &p, const QColor &c) {
            p.save();
            p.translate(-2, 0);
            mic(p, c, true);
            p.restore();
            fill(p, c);
            p.drawEllipse(QPointF(19, 6), 5, 5);
            knockout(p, [&] {
                stroke(p, Qt::black, 1.6);
                p.drawLine(QPointF(19, 3.5), QPointF(19, 8.5));
                p.drawLine(QPointF(16.5, 6), QPointF(21.5, 6));
            });
        });
        m.insert(QStringLiteral("waveform"), [](QPainter &p, const QColor &c) { waveform(p, c); });
        m.insert(QStringLiteral("captions.bubble"), [](QPainter &p, const QColor &c) { bubble(p, c, false, true); });
        m.insert(QStringLiteral("captions.bubble.fill"),
                 [](QPainter &p, const QColor &c) { bubble(p, c, true, true); });
        m.insert(QStringLiteral("character.bubble"), [](QPainter &p, const QColor &c) {
            bubble(p, c, false, false);
            QFont f;
            f.setPixelSize(10);
            f.setBold(true);
            p.setFont(f);
            p.setPen(c);
            p.drawText(QRectF(2.5, 3.5, 19, 14), Qt::AlignCenter, QStringLiteral("文"));
        });
        m.insert(QStringLiteral("clock.arrow.circlepath"), [](QPainter &p, const QColor &c) {
            circleArrow(p, c, false);
            stroke(p, c, 1.8);
            p.drawLine(QPointF(12, 8), QPointF(12, 12.5));
            p.drawLine(QPointF(12, 12.5), QPointF(15, 14.5));
        });
        m.insert(QStringLiteral("arrow.clockwise"), [](QPainter &p, const QColor &c) { circleArrow(p, c, true); });
        m.insert(QStringLiteral("arrow.counterclockwise"),
                 [](QPainter &p, const QColor &c) { circleArrow(p, c, false); });
        m.insert(QStringLiteral("arrow.triangle.2.circlepath"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            p.drawArc(QRectF(4, 4, 16, 16), 20 * 16, 140 * 16);
            p.drawArc(QRectF(4, 4, 16, 16), 200 * 16, 140 * 16);
            fill(p, c);
            p.drawPolygon(QPolygonF{{20.5, 9}, {17, 13}, {22.5, 13.5}});
            p.drawPolygon(QPolygonF{{3.5, 15}, {7, 11}, {1.5, 10.5}});
        });
        m.insert(QStringLiteral("gearshape"), [](QPainter &p, const QColor &c) { gear(p, c, {12, 12}, 1.0, false); });
        m.insert(QStringLiteral("gearshape.fill"),
                 [](QPainter &p, const QColor &c) { gear(p, c, {12, 12}, 1.0, true); });
        m.insert(QStringLiteral("gearshape.2.fill"), [](QPainter &p, const QColor &c) {
            gear(p, c, {9, 10}, 0.75, true);
            gear(p, c, {17, 17}, 0.55, true);
        });
        m.insert(QStringLiteral("paintpalette.fill"), [](QPainter &p, const QColor &c) {
            QPainterPath pal;
            pal.moveTo(12, 2.5);
            pal.cubicTo(4, 2.5, 1.5, 9, 2.5, 14);
            pal.cubicTo(3.5, 19.5, 9, 21.5, 12.5, 21.5);
            pal.cubicTo(15.5, 21.5, 15, 18, 13.5, 16.5);
            pal.cubicTo(12, 15, 13.5, 13, 16, 13.5);
            pal.cubicTo(19.5, 14.5, 22, 12.5, 21.5, 9.5);
            pal.cubicTo(20.5, 5, 16.5, 2.5, 12, 2.5);
            fill(p, c);
            p.drawPath(pal);
            knockout(p, [&] {
                fill(p, Qt::black);
                p.drawEllipse(QPointF(7, 10), 1.7, 1.7);
                p.drawEllipse(QPointF(11, 6.5), 1.7, 1.7);
                p.drawEllipse(QPointF(16, 7.5), 1.7, 1.7);
                p.drawEllipse(QPointF(7.5, 15.5), 1.7, 1.7);
            });
        });
        m.insert(QStringLiteral("photo.fill"), [](QPainter &p, const QColor &c) { photo(p, c, true); });
        m.insert(QStringLiteral("photo"), [](QPainter &p, const QColor &c) { photo(p, c, false); });
        m.insert(QStringLiteral("photo.on.rectangle.angled"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.5);
            p.save();
            p.translate(12, 12);
            p.rotate(-10);
            p.translate(-12, -12);
            p.drawRoundedRect(QRectF(4, 2.5, 17, 13), 2, 2);
            p.restore();
            p.save();
            p.translate(-1.5, 5);
            p.scale(0.8, 0.8);
            photo(p, c, true);
            p.restore();
        });
        m.insert(QStringLiteral("folder"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            QPainterPath f;
            f.moveTo(2.5, 6);
            f.lineTo(2.5, 19);
            f.lineTo(21.5, 19);
            f.lineTo(21.5, 8);
            f.lineTo(11.5, 8);
            f.lineTo(9.5, 5);
            f.lineTo(3.5, 5);
            f.closeSubpath();
            p.drawPath(f);
        });
        m.insert(QStringLiteral("bolt.fill"), [](QPainter &p, const QColor &c) {
            fill(p, c);
            p.drawPolygon(QPolygonF{{13.5, 1.5}, {4.5, 13.5}, {11, 13.5}, {9.5, 22.5}, {19.5, 9.5}, {13, 9.5}});
        });
        m.insert(QStringLiteral("square.grid.2x2.fill"), [](QPainter &p, const QColor &c) {
            fill(p, c);
            for (double x : {3.0, 13.0})
                for (double y : {3.0, 13.0})
                    p.drawRoundedRect(QRectF(x, y, 8, 8), 1.8, 1.8);
        });
        m.insert(QStringLiteral("moon.fill"), [](QPainter &p, const QColor &c) {
            QPainterPath a;
            a.addEllipse(QRectF(3, 3, 18, 18));
            QPainterPath b;
            b.addEllipse(QRectF(9, 0, 16, 16));
            fill(p, c);
            p.drawPath(a.subtracted(b));
        });
        m.insert(QStringLiteral("drop.fill"), [](QPainter &p, const QColor &c) {
            QPainterPath d;
            d.moveTo(12, 2);
            d.cubicTo(12, 2, 4.5, 10.5, 4.5, 14.5);
            d.cubicTo(4.5, 19, 8, 22, 12, 22);
            d.cubicTo(16, 22, 19.5, 19, 19.5, 14.5);
            d.cubicTo(19.5, 10.5, 12, 2, 12, 2);
            fill(p, c);
            p.drawPath(d);
        });
        m.insert(QStringLiteral("checkmark"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 2.4);
            p.drawPolyline(QPolygonF{{4.5, 12.5}, {9.5, 17.5}, {19.5, 6}});
        });
        m.insert(QStringLiteral("checkmark.circle.fill"), [](QPainter &p, const QColor &c) {
            circleWith(p, c, [&] {
                stroke(p, Qt::black, 2.4);
                p.drawPolyline(QPolygonF{{7, 12.5}, {10.5, 16}, {17, 8.5}});
            });
        });
        m.insert(QStringLiteral("xmark.circle.fill"), [](QPainter &p, const QColor &c) {
            circleWith(p, c, [&] {
                stroke(p, Qt::black, 2.2);
                p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
                p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
            });
        });
        m.insert(QStringLiteral("xmark.octagon.fill"), [](QPainter &p, const QColor &c) {
            QPolygonF o;
            for (int i = 0; i < 8; ++i) {
                const double a = M_PI / 8 + i * M_PI / 4;
                o << QPointF(12 + 10.5 * std::cos(a), 12 + 10.5 * std::sin(a));
            }
            fill(p, c);
            p.drawPolygon(o);
            knockout(p, [&] {
                stroke(p, Qt::black, 2.2);
                p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
                p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
            });
        });
        m.insert(QStringLiteral("stop.circle.fill"), [](QPainter &p, const QColor &c) {
            circleWith(p, c, [&] {
                fill(p, Qt::black);
                p.drawRoundedRect(QRectF(8, 8, 8, 8), 1.5, 1.5);
            });
        });
        m.insert(QStringLiteral("record.circle.fill"), [](QPainter &p, const QColor &c) {
            circleWith(p, c, [&] {
                stroke(p, Qt::black, 1.6);
                p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
            });
            fill(p, c);
            p.drawEllipse(QPointF(12, 12), 5, 5);
        });
        m.insert(QStringLiteral("play.circle.fill"), [](QPainter &p, const QColor &c) {
            circleWith(p, c, [&] {
                fill(p, Qt::black);
                p.drawPolygon(QPolygonF{{9.5, 7.5}, {17, 12}, {9.5, 16.5}});
            });
        });
        m.insert(QStringLiteral("play.fill"), [](QPainter &p, const QColor &c) {
            fill(p, c);
            p.drawPolygon(QPolygonF{{6, 3.5}, {20, 12}, {6, 20.5}});
        });
        m.insert(QStringLiteral("pause.fill"), [](QPainter &p, const QColor &c) {
            fill(p, c);
            p.drawRoundedRect(QRectF(5.5, 4, 4.5, 16), 1, 1);
            p.drawRoundedRect(QRectF(14, 4, 4.5, 16), 1, 1);
        });
        m.insert(QStringLiteral("exclamationmark.triangle"),
                 [](QPainter &p, const QColor &c) { triangleWarning(p, c, false); });
        m.insert(QStringLiteral("exclamationmark.triangle.fill"),
                 [](QPainter &p, const QColor &c) { triangleWarning(p, c, true); });
        m.insert(QStringLiteral("graduationcap.fill"), [](QPainter &p, const QColor &c) {
            fill(p, c);
            p.drawPolygon(QPolygonF{{12, 3.5}, {23, 9}, {12, 14.5}, {1, 9}});
            p.drawPolygon(QPolygonF{{5.5, 12}, {12, 15.5}, {18.5, 12}, {18.5, 17}, {12, 20.5}, {5.5, 17}});
            stroke(p, c, 1.4);
            p.drawLine(QPointF(21, 10), QPointF(21, 16));
        });
        m.insert(QStringLiteral("list.bullet.rectangle"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.6);
            p.drawRoundedRect(QRectF(2.5, 3.5, 19, 17), 3, 3);
            for (double y : {8.5, 12.0, 15.5}) {
                p.drawLine(QPointF(10, y), QPointF(18, y));
                fill(p, c);
                p.drawEllipse(QPointF(6.8, y), 1.1, 1.1);
                stroke(p, c, 1.6);
            }
        });
        m.insert(QStringLiteral("textformat"), [](QPainter &p, const QColor &c) {
            QFont f;
            f.setPixelSize(17);
            f.setBold(true);
            p.setFont(f);
            p.setPen(c);
            p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("Aa"));
        });
        m.insert(QStringLiteral("plus"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 2.2);
            p.drawLine(QPointF(12, 4), QPointF(12, 20));
            p.drawLine(QPointF(4, 12), QPointF(20, 12));
        });
        m.insert(QStringLiteral("slider.horizontal.3"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            const double ys[] = {6, 12, 18}, xs[] = {15, 8, 13};
            for (int i = 0; i < 3; ++i) {
                p.drawLine(QPointF(3, ys[i]), QPointF(21, ys[i]));
                fill(p, c);
                p.drawEllipse(QPointF(xs[i], ys[i]), 2.6, 2.6);
                stroke(p, c, 1.8);
            }
        });
        m.insert(QStringLiteral("arrow.up.left.and.arrow.down.right"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            p.drawLine(QPointF(5, 5), QPointF(19, 19));
            p.drawPolyline(QPolygonF{{5, 11}, {5, 5}, {11, 5}});
            p.drawPolyline(QPolygonF{{13, 19}, {19, 19}, {19, 13}});
        });
        m.insert(QStringLiteral("arrow.right"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 2);
            p.drawLine(QPointF(4, 12), QPointF(20, 12));
            p.drawPolyline(QPolygonF{{14, 6}, {20, 12}, {14, 18}});
        });
        m.insert(QStringLiteral("sparkles"), [](QPainter &p, const QColor &c) {
            fill(p, c);
            auto star = [&](QPointF o, double r) {
                QPainterPath s;
                s.moveTo(o + QPointF(0, -r));
                s.quadTo(o, o + QPointF(r, 0));
                s.quadTo(o, o + QPointF(0, r));
                s.quadTo(o, o + QPointF(-r, 0));
                s.quadTo(o, o + QPointF(0, -r));
                p.drawPath(s);
            };
            star({10, 13}, 8);
            star({18.5, 5.5}, 4);
        });
        m.insert(QStringLiteral("magnifyingglass"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 2);
            p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
            p.drawLine(QPointF(15, 15), QPointF(21, 21));
        });
        m.insert(QStringLiteral("tray"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            p.drawPolyline(QPolygonF{{2.5, 13}, {6, 4.5}, {18, 4.5}, {21.5, 13}, {21.5, 19.5}, {2.5, 19.5}, {2.5, 13}});
            p.drawPolyline(QPolygonF{{2.5, 13}, {8, 13}, {9.5, 15.5}, {14.5, 15.5}, {16, 13}, {21.5, 13}});
        });
        m.insert(QStringLiteral("trash"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            p.drawLine(QPointF(3.5, 6), QPointF(20.5, 6));
            p.drawPolyline(QPolygonF{{9, 6}, {9, 3.5}, {15, 3.5}, {15, 6}});
            p.drawPolyline(QPolygonF{{5.5, 6}, {6.5, 21}, {17.5, 21}, {18.5, 6}});
        });
        m.insert(QStringLiteral("square.and.arrow.down"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.8);
            p.drawPolyline(QPolygonF{{8, 9}, {4.5, 9}, {4.5, 21}, {19.5, 21}, {19.5, 9}, {16, 9}});
            p.drawLine(QPointF(12, 2.5), QPointF(12, 15));
            p.drawPolyline(QPolygonF{{8, 11}, {12, 15}, {16, 11}});
        });
        m.insert(QStringLiteral("text.page"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.7);
            p.drawRoundedRect(QRectF(4.5, 2.5, 15, 19), 2.5, 2.5);
            for (double y : {8.0, 12.0, 16.0})
                p.drawLine(QPointF(8, y), QPointF(16, y));
        });
        m.insert(QStringLiteral("doc.badge.gearshape"), [](QPainter &p, const QColor &c) {
            stroke(p, c, 1.7);
            p.drawPolyline(QPolygonF{{12, 21.5}, {3.5, 21.5}, {3.5, 2.5}, {13, 2.5}, {18, 7.5}, {18, 10}});
            gear(p, c, {17, 17}, 0.5, true);
        });
        return m;
    }();
    return t;
}
} // namespace

bool isKnownSymbol(const QString &name)
{
    return table().contains(name);
}

bool paintSymbol(QPainter &p, const QString &name, const QRectF &box, const QColor &color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(box.width(), box.height());
    p.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    p.scale(side / 24.0, side / 24.0);
    const auto it = table().constFind(name);
    const bool known = it != table().constEnd();
    if (known) {
        (*it)(p, color);
    } else {
        fill(p, color);
        p.drawEllipse(QPointF(12, 12), 4, 4);
    }
    p.restore();
    return known;
}

SymbolIcon::SymbolIcon(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    setImplicitWidth(16);
    setImplicitHeight(16);
}

void SymbolIcon::setName(const QString &n)
{
    if (n == m_name)
        return;
    m_name = n;
    Q_EMIT nameChanged();
    update();
}

void SymbolIcon::setColor(const QColor &c)
{
    if (c == m_color)
        return;
    m_color = c;
    Q_EMIT colorChanged();
    update();
}

void SymbolIcon::paint(QPainter *p)
{
    // Knock-outs need a layer of their own so they cut only the icon.
    const QSize px = (size() * (window() ? window()->effectiveDevicePixelRatio() : 1.0)).toSize();
    if (px.isEmpty())
        return;
    QImage layer(px, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(window() ? window()->effectiveDevicePixelRatio() : 1.0);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        paintSymbol(lp, m_name, QRectF(QPointF(0, 0), size()), m_color);
    }
    p->drawImage(QRectF(QPointF(0, 0), size()), layer);
}

} // namespace vox
