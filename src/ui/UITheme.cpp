#include "UITheme.h"

#include "platform/Settings.h"

namespace vox {

namespace {
QColor rgb(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}
} // namespace

const std::vector<UITheme> &allThemes()
{
    static const std::vector<UITheme> themes{UITheme::Cyberpunk, UITheme::Swiss, UITheme::Oled, UITheme::Glass};
    return themes;
}

UITheme themeFromRaw(const QString &raw)
{
    if (raw == QLatin1String("swiss"))
        return UITheme::Swiss;
    if (raw == QLatin1String("oled"))
        return UITheme::Oled;
    if (raw == QLatin1String("glass"))
        return UITheme::Glass;
    return UITheme::Cyberpunk;
}

QString rawValue(UITheme t)
{
    switch (t) {
    case UITheme::Swiss: return QStringLiteral("swiss");
    case UITheme::Oled: return QStringLiteral("oled");
    case UITheme::Glass: return QStringLiteral("glass");
    case UITheme::Cyberpunk: break;
    }
    return QStringLiteral("cyberpunk");
}

QString displayName(UITheme t)
{
    switch (t) {
    case UITheme::Swiss: return QStringLiteral("极简瑞士");
    case UITheme::Oled: return QStringLiteral("OLED 暗黑");
    case UITheme::Glass: return QStringLiteral("玻璃拟态");
    case UITheme::Cyberpunk: break;
    }
    return QStringLiteral("赛博朋克");
}

QString menuSymbol(UITheme t)
{
    switch (t) {
    case UITheme::Swiss: return QStringLiteral("square.grid.2x2.fill");
    case UITheme::Oled: return QStringLiteral("moon.fill");
    case UITheme::Glass: return QStringLiteral("drop.fill");
    case UITheme::Cyberpunk: break;
    }
    return QStringLiteral("bolt.fill");
}

bool isDarkAppearance(UITheme t)
{
    return t == UITheme::Cyberpunk || t == UITheme::Oled;
}

ThemePalette palette(UITheme t)
{
    ThemePalette p;
    const bool dark = isDarkAppearance(t);
    p.textPrimary = dark ? rgb(1, 1, 1, 0.92) : rgb(0, 0, 0, 0.86);
    p.textSecondary = dark ? rgb(0.92, 0.92, 0.96, 0.6) : rgb(0.24, 0.24, 0.26, 0.65);
    p.warning = dark ? rgb(1.0, 0.62, 0.04) : rgb(0.86, 0.45, 0.0);
    p.danger = dark ? rgb(1.0, 0.27, 0.23) : rgb(0.85, 0.15, 0.12);
    p.success = dark ? rgb(0.19, 0.82, 0.35) : rgb(0.12, 0.62, 0.25);
    switch (t) {
    case UITheme::Cyberpunk:
        p.primary = rgb(0, 0.9, 1.0);
        p.secondary = rgb(1.0, 0.23, 0.58);
        p.tertiary = rgb(0.55, 0.35, 1.0);
        p.panelBackground = rgb(0.05, 0.06, 0.12);
        // Ultra-thin dark material: the background shows through, tinted.
        p.cardFill = rgb(0.07, 0.08, 0.15, 0.55);
        p.cardIsMaterial = true;
        p.stroke = rgb(0, 0.9, 1.0, 0.35);
        p.glow = rgb(0, 0.9, 1.0, 0.18);
        break;
    case UITheme::Swiss:
        p.primary = rgb(0.85, 0.1, 0.1);
        p.secondary = rgb(0.12, 0.12, 0.12);
        p.tertiary = rgb(0.3, 0.3, 0.3);
        p.panelBackground = rgb(0.97, 0.97, 0.96);
        p.cardFill = rgb(0.99, 0.99, 0.98);
        p.stroke = rgb(0.1, 0.1, 0.1, 0.14);
        p.glow = rgb(0, 0, 0, 0.08);
        break;
    case UITheme::Oled:
        p.primary = rgb(0.35, 0.85, 0.85);
        p.secondary = rgb(0.3, 0.8, 1.0);
        p.tertiary = rgb(0.1, 0.45, 0.6);
        p.panelBackground = rgb(0, 0, 0);
        p.cardFill = rgb(0.03, 0.03, 0.03);
        p.stroke = rgb(0.35, 0.85, 0.85, 0.35);
        p.glow = rgb(0.35, 0.85, 0.85, 0.15);
        break;
    case UITheme::Glass:
        p.primary = rgb(0.35, 0.6, 1.0);
        p.secondary = rgb(0.7, 0.45, 1.0);
        p.tertiary = rgb(1.0, 0.55, 0.8);
        p.panelBackground = rgb(0.9, 0.94, 1.0);
        // Ultra-thin light material.
        p.cardFill = rgb(1, 1, 1, 0.42);
        p.cardIsMaterial = true;
        p.stroke = rgb(1, 1, 1, 0.65);
        p.glow = rgb(0, 0, 0, 0.12);
        break;
    }
    return p;
}

std::vector<QColor> primaryGradientColors(UITheme t)
{
    const ThemePalette p = palette(t);
    switch (t) {
    case UITheme::Swiss: return {p.primary, rgb(0.55, 0.08, 0.08)};
    case UITheme::Oled: return {rgb(0.35, 0.85, 0.85), rgb(0.1, 0.45, 0.6)};
    case UITheme::Glass: return {rgb(0.35, 0.6, 1.0), p.secondary, p.tertiary};
    case UITheme::Cyberpunk: break;
    }
    return {p.primary, p.tertiary, p.secondary};
}

double customPictureDimming(UITheme t)
{
    return (t == UITheme::Swiss || t == UITheme::Glass) ? 0.3 : 0.5;
}

ThemeModel::ThemeModel(QObject *parent) : QObject(parent)
{
    reload();
    connect(&settings(), &Settings::changed, this, [this](const QString &key) {
        if (key == QLatin1String(Keys::UiTheme))
            reload();
    });
}

void ThemeModel::reload()
{
    const UITheme t = themeFromRaw(settings().string(QLatin1String(Keys::UiTheme)));
    const bool first = m_p.primary == QColor();
    if (!first && t == m_theme)
        return;
    m_theme = t;
    m_p = palette(t);
    Q_EMIT changed();
}

QVariantList ThemeModel::primaryGradient() const
{
    QVariantList out;
    for (const QColor &c : primaryGradientColors(m_theme))
        out.append(c);
    return out;
}

QVariantList ThemeModel::themes() const
{
    QVariantList out;
    for (UITheme t : allThemes()) {
        out.append(QVariantMap{{QStringLiteral("name"), rawValue(t)},
                               {QStringLiteral("displayName"), vox::displayName(t)},
                               {QStringLiteral("symbol"), menuSymbol(t)}});
    }
    return out;
}

void ThemeModel::select(const QString &raw)
{
    settings().setValue(QLatin1String(Keys::UiTheme), raw);
}

} // namespace vox
