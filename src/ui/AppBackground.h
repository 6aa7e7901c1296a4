#pragma once
// The window background: the user's picture (dimmed and tinted) or a
// background drawn for the theme. Painted with QPainter only, so it looks the
// same in the software renderer used headless. Theme and picture changes
// cross-fade over 0.3 s.
#include "UITheme.h"

#include <QImage>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QVariantAnimation>
#include <QtQml/qqmlregistration.h>

class QPainter;

namespace vox {

class BackgroundManager;

// Paints the full background into `rect`. `picture` may be null or empty.
void paintAppBackground(QPainter &p, const QRectF &rect, UITheme theme, const QImage *picture);

class AppBackground : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject *background READ background WRITE setBackground NOTIFY backgroundChanged)
    // Raw "ui_theme" text; unknown values draw the cyberpunk background.
    Q_PROPERTY(QString themeName READ themeName WRITE setThemeName NOTIFY themeNameChanged)
    Q_PROPERTY(bool animating READ animating NOTIFY animatingChanged)
public:
    explicit AppBackground(QQuickItem *parent = nullptr);

    QObject *background() const;
    void setBackground(QObject *b);
    QString themeName() const { return m_themeName; }
    void setThemeName(const QString &name);
    bool animating() const { return m_anim.state() == QAbstractAnimation::Running; }

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void backgroundChanged();
    void themeNameChanged();
    void animatingChanged();

private:
    void startTransition();
    QImage currentPicture() const;
    QPointer<BackgroundManager> m_background;
    QString m_themeName;
    QImage m_previous; // last frame before a change, faded out
    QVariantAnimation m_anim;
};

} // namespace vox
