#pragma once
// The four looks of the application: palettes, badge gradients, window
// appearances and the background dimming over a custom picture. A stored
// "ui_theme" that is none of the raw values is treated as cyberpunk.
#include <QColor>
#include <QGradientStops>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <vector>

namespace vox {

enum class UITheme { Cyberpunk, Swiss, Oled, Glass };

struct ThemePalette {
    QColor primary, secondary, tertiary;
    QColor panelBackground;
    QColor cardFill;          // a translucent stand-in where the card is "material"
    bool cardIsMaterial = false;
    QColor stroke, glow;
    // Label colours of the window appearance (not the theme's own secondary).
    QColor textPrimary, textSecondary;
    QColor warning, danger, success;
};

const std::vector<UITheme> &allThemes(); // menu order
UITheme themeFromRaw(const QString &raw);  // unknown → Cyberpunk
QString rawValue(UITheme t);
QString displayName(UITheme t);
QString menuSymbol(UITheme t);
bool isDarkAppearance(UITheme t);
ThemePalette palette(UITheme t);
// Colours of the primary gradient, top-left to bottom-right.
std::vector<QColor> primaryGradientColors(UITheme t);
// Black laid over a custom background picture.
double customPictureDimming(UITheme t);

// The current theme for the views, the QML singleton Theme: follows
// "ui_theme" in the settings store. Besides the colours it names the text
// sizes the views use; they are the same in every theme.
class ThemeModel : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Theme)
    QML_SINGLETON
    Q_PROPERTY(QString name READ name NOTIFY changed)
    Q_PROPERTY(QString displayName READ displayName NOTIFY changed)
    Q_PROPERTY(bool isDark READ isDark NOTIFY changed)
    Q_PROPERTY(QColor primary READ primary NOTIFY changed)
    Q_PROPERTY(QColor secondary READ secondary NOTIFY changed)
    Q_PROPERTY(QColor tertiary READ tertiary NOTIFY changed)
    Q_PROPERTY(QColor panelBackground READ panelBackground NOTIFY changed)
    Q_PROPERTY(QColor cardFill READ cardFill NOTIFY changed)
    Q_PROPERTY(bool cardIsMaterial READ cardIsMaterial NOTIFY changed)
    Q_PROPERTY(QColor stroke READ stroke NOTIFY changed)
    Q_PROPERTY(QColor glow READ glow NOTIFY changed)
    Q_PROPERTY(QColor textPrimary READ textPrimary NOTIFY changed)
    Q_PROPERTY(QColor textSecondary READ textSecondary NOTIFY changed)
    Q_PROPERTY(QColor warning READ warning NOTIFY changed)
    Q_PROPERTY(QColor danger READ danger NOTIFY changed)
    Q_PROPERTY(QColor success READ success NOTIFY changed)
    Q_PROPERTY(QVariantList primaryGradient READ primaryGradient NOTIFY changed)
    // [{name, displayName, symbol}] in menu order.
    Q_PROPERTY(QVariantList themes READ themes CONSTANT)
public:
    // Text sizes in pixels (Theme.FontBody), smallest first.
    enum FontSize {
        FontTiny = 10,        // fine print under a control
        FontCaption = 11,     // captions, small buttons
        FontFootnote = 12,    // secondary lines, labels
        FontBody = 13,        // running text, buttons
        FontCallout = 14,     // emphasised controls, key points
        FontSubheadline = 15, // compact source sentences
        FontHeadline = 16,    // sheet titles, source sentences
        FontTitle = 17,       // window titles, compact translations
        FontLarge = 18,       // translations
        FontExtraLarge = 19,  // the English being recognized
        FontDisplay = 20,     // the permission request's title
    };
    Q_ENUM(FontSize)

    explicit ThemeModel(QObject *parent = nullptr);

    UITheme theme() const { return m_theme; }
    QString name() const { return rawValue(m_theme); }
    QString displayName() const { return vox::displayName(m_theme); }
    bool isDark() const { return isDarkAppearance(m_theme); }
    QColor primary() const { return m_p.primary; }
    QColor secondary() const { return m_p.secondary; }
    QColor tertiary() const { return m_p.tertiary; }
    QColor panelBackground() const { return m_p.panelBackground; }
    QColor cardFill() const { return m_p.cardFill; }
    bool cardIsMaterial() const { return m_p.cardIsMaterial; }
    QColor stroke() const { return m_p.stroke; }
    QColor glow() const { return m_p.glow; }
    QColor textPrimary() const { return m_p.textPrimary; }
    QColor textSecondary() const { return m_p.textSecondary; }
    QColor warning() const { return m_p.warning; }
    QColor danger() const { return m_p.danger; }
    QColor success() const { return m_p.success; }
    QVariantList primaryGradient() const;
    QVariantList themes() const;

    // Stores the raw value in "ui_theme".
    Q_INVOKABLE void select(const QString &raw);

Q_SIGNALS:
    void changed();

private:
    void reload();
    UITheme m_theme = UITheme::Cyberpunk;
    ThemePalette m_p;
};

} // namespace vox
