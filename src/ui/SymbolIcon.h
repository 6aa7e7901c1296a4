#pragma once
// Single-colour icons for the symbol names the views use ("mic.fill",
// "captions.bubble", …). Each name stands for an icon of the installed icon
// theme (the symbolic icons of Adwaita, or of the desktop's own theme where it
// has the same name), or, for the few that no theme has, for an SVG file
// bundled under :/icons/. The icon is drawn in the item's colour.
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QQuickPaintedItem>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace vox {

// The theme the icons come from when the desktop's theme lacks them.
inline constexpr char kIconFallbackTheme[] = "Adwaita";

// Makes the icon theme reachable whatever the desktop (or none, as in the
// offscreen tests): the system icon folder is searched and Adwaita is the
// fallback theme. Runs once; the functions below call it.
void useIconTheme();

QStringList knownSymbols();
bool isKnownSymbol(const QString &name);
// The theme icon `name` stands for; empty for a bundled or unknown one.
QString themeIconName(const QString &name);
// The icon itself; null for an unknown name or one whose icon is missing.
QIcon symbolIcon(const QString &name);

// `name` drawn in `color` into `size` logical pixels at `dpr`. An unknown name,
// or one whose icon cannot be found, draws the theme's "image missing" icon and
// is reported once on the log; `found` tells which happened.
QImage renderSymbol(const QString &name, QSize size, qreal dpr, const QColor &color, bool *found = nullptr);

class SymbolIcon : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    explicit SymbolIcon(QQuickItem *parent = nullptr);
    QString name() const { return m_name; }
    void setName(const QString &n);
    QColor color() const { return m_color; }
    void setColor(const QColor &c);
    void paint(QPainter *p) override;

Q_SIGNALS:
    void nameChanged();
    void colorChanged();

protected:
    void updatePolish() override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void refresh();

    QString m_name;
    QColor m_color = Qt::white;
    QImage m_image; // rendered on the GUI thread, drawn by paint()
};

} // namespace vox
