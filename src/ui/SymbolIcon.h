#pragma once
// Small line-and-fill icons standing in for the symbol names the views use
// ("mic.fill", "captions.bubble", …). Drawn with QPainter in a square of the
// item's size, so they never depend on an icon font being installed.
#include <QColor>
#include <QQuickPaintedItem>
#include <QString>

class QPainter;

namespace vox {

// Draws `name` into the square `box`; unknown names draw a small dot.
// Returns false for an unknown name.
bool paintSymbol(QPainter &p, const QString &name, const QRectF &box, const QColor &color);
bool isKnownSymbol(const QString &name);

class SymbolIcon : public QQuickPaintedItem {
    Q_OBJECT
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

private:
    QString m_name;
    QColor m_color = Qt::white;
};

} // namespace vox
