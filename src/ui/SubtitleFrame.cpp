#include "SubtitleFrame.h"

#include <QRegularExpression>

namespace vox::ui {

namespace {
QString num(double v)
{
    return QString::number(v, 'g', 12);
}
} // namespace

QString frameToText(const QRectF &r)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(num(r.x()), num(r.y()), num(r.width()), num(r.height()));
}

QRectF frameFromText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*\{\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*,\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*\}\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    bool ok[4];
    const double v[4] = {m.captured(1).toDouble(&ok[0]), m.captured(2).toDouble(&ok[1]), m.captured(3).toDouble(&ok[2]),
                         m.captured(4).toDouble(&ok[3])};
    for (bool b : ok)
        if (!b)
            return {};
    return QRectF(v[0], v[1], v[2], v[3]);
}

QRectF toBottomLeft(const QRectF &g, double h)
{
    return QRectF(g.x(), h - g.y() - g.height(), g.width(), g.height());
}

QRectF toTopLeft(const QRectF &f, double h)
{
    return QRectF(f.x(), h - f.y() - f.height(), f.width(), f.height());
}

} // namespace vox::ui
