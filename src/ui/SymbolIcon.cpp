#include "SymbolIcon.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPixmap>
#include <QQuickWindow>
#include <QSet>
#include <algorithm>

namespace vox {

namespace {

// A symbol name and what draws it: an icon of the theme (freedesktop naming,
// symbolic variant) or an SVG file under :/icons/ where no theme has one.
struct Symbol {
    const char *name;
    const char *themeIcon;
    const char *bundled;
};

constexpr Symbol kSymbols[] = {
    {"mic.fill", "audio-input-microphone-symbolic", nullptr},
    {"mic.fill.badge.plus", "audio-input-microphone-symbolic", nullptr},
    {"mic.slash", "microphone-disabled-symbolic", nullptr},
    {"waveform", nullptr, "waveform.svg"},
    {"captions.bubble", "media-view-subtitles-symbolic", nullptr},
    {"captions.bubble.fill", nullptr, "subtitles-filled.svg"},
    {"character.bubble", "preferences-desktop-locale-symbolic", nullptr},
    {"clock.arrow.circlepath", "document-open-recent-symbolic", nullptr},
    {"arrow.clockwise", "view-refresh-symbolic", nullptr},
    {"arrow.counterclockwise", "edit-undo-symbolic", nullptr},
    {"arrow.triangle.2.circlepath", "emblem-synchronizing-symbolic", nullptr},
    {"arrow.up.left.and.arrow.down.right", "view-fullscreen-symbolic", nullptr},
    {"arrow.right", "go-next-symbolic", nullptr},
    {"arrow.up", "go-up-symbolic", nullptr},
    {"chevron.up", "pan-up-symbolic", nullptr},
    {"chevron.down", "pan-down-symbolic", nullptr},
    {"gearshape", "emblem-system-symbolic", nullptr},
    {"gearshape.2.fill", "system-run-symbolic", nullptr},
    {"paintpalette.fill", "applications-graphics-symbolic", nullptr},
    {"photo.fill", "image-x-generic-symbolic", nullptr},
    {"photo.on.rectangle.angled", "preferences-desktop-wallpaper-symbolic", nullptr},
    {"folder", "folder-symbolic", nullptr},
    {"bolt.fill", "thunderbolt-symbolic", nullptr},
    {"square.grid.2x2.fill", "view-grid-symbolic", nullptr},
    {"moon.fill", "weather-clear-night-symbolic", nullptr},
    {"drop.fill", nullptr, "drop.svg"},
    {"checkmark", "object-select-symbolic", nullptr},
    {"checkmark.circle.fill", "emblem-default-symbolic", nullptr},
    {"xmark.circle.fill", "window-close-symbolic", nullptr},
    {"xmark.octagon.fill", "dialog-error-symbolic", nullptr},
    {"exclamationmark.triangle", "dialog-warning-symbolic", nullptr},
    {"exclamationmark.triangle.fill", "dialog-warning-symbolic", nullptr},
    {"record.circle.fill", "media-record-symbolic", nullptr},
    {"stop.circle.fill", "media-playback-stop-symbolic", nullptr},
    {"play.circle.fill", "media-playback-start-symbolic", nullptr},
    {"play.fill", "media-playback-start-symbolic", nullptr},
    {"pause.fill", "media-playback-pause-symbolic", nullptr},
    {"graduationcap.fill", nullptr, "graduationcap.svg"},
    {"list.bullet.rectangle", "view-list-bullet-symbolic", nullptr},
    {"textformat", "preferences-desktop-font-symbolic", nullptr},
    {"slider.horizontal.3", nullptr, "sliders.svg"},
    {"square.and.arrow.down", "document-save-symbolic", nullptr},
    {"text.page", "x-office-document-symbolic", nullptr},
    {"doc.badge.gearshape", "document-properties-symbolic", nullptr},
};

const char kMissingIcon[] = "image-missing-symbolic";

const Symbol *find(const QString &name)
{
    for (const Symbol &s : kSymbols)
        if (name == QLatin1String(s.name))
            return &s;
    return nullptr;
}

void reportMissing(const QString &name, bool known)
{
    static QMutex mutex;
    static QSet<QString> reported;
    QMutexLocker lock(&mutex);
    if (reported.contains(name))
        return;
    reported.insert(name);
    if (known)
        qWarning().noquote() << "SymbolIcon: no icon found for" << name
                             << "- is the icon theme (adwaita-icon-theme) and Qt's SVG support (libqt6svg6) installed?";
    else
        qWarning().noquote() << "SymbolIcon: unknown symbol name" << name;
}

QImage tinted(const QPixmap &pixmap, const QColor &color)
{
    QImage img = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(img.rect(), color);
    return img;
}

} // namespace

void useIconTheme()
{
    static const bool done = [] {
        const QString fallback = QString::fromLatin1(kIconFallbackTheme);
        // Sandboxed or unusual XDG_DATA_DIRS may leave the system folder out.
        const QString system = QStringLiteral("/usr/share/icons");
        QStringList paths = QIcon::themeSearchPaths();
        if (!paths.contains(system)) {
            paths << system;
            QIcon::setThemeSearchPaths(paths);
        }
        // The desktop's theme wins where it has an icon; Adwaita fills in.
        // Without a desktop (offscreen, a bare X server) there is no theme or
        // only hicolor, which has no symbolic icons.
        QIcon::setFallbackThemeName(fallback);
        const QString current = QIcon::themeName();
        if (current.isEmpty() || current == QLatin1String("hicolor"))
            QIcon::setThemeName(fallback);
        return true;
    }();
    Q_UNUSED(done);
}

QStringList knownSymbols()
{
    QStringList out;
    for (const Symbol &s : kSymbols)
        out << QString::fromLatin1(s.name);
    return out;
}

bool isKnownSymbol(const QString &name)
{
    return find(name) != nullptr;
}

QString themeIconName(const QString &name)
{
    const Symbol *s = find(name);
    return s && s->themeIcon ? QString::fromLatin1(s->themeIcon) : QString();
}

QIcon symbolIcon(const QString &name)
{
    const Symbol *s = find(name);
    if (!s)
        return {};
    if (s->themeIcon) {
        useIconTheme();
        return QIcon::fromTheme(QString::fromLatin1(s->themeIcon));
    }
    return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(s->bundled));
}

QImage renderSymbol(const QString &name, QSize size, qreal dpr, const QColor &color, bool *found)
{
    const bool known = isKnownSymbol(name);
    QIcon icon = symbolIcon(name);
    QPixmap pixmap = icon.isNull() ? QPixmap() : icon.pixmap(size, dpr);
    const bool ok = known && !pixmap.isNull();
    if (!ok) {
        reportMissing(name, known);
        useIconTheme();
        pixmap = QIcon::fromTheme(QString::fromLatin1(kMissingIcon)).pixmap(size, dpr);
    }
    if (found)
        *found = ok;
    if (pixmap.isNull()) {
        QImage empty((size * dpr), QImage::Format_ARGB32_Premultiplied);
        empty.setDevicePixelRatio(dpr);
        empty.fill(Qt::transparent);
        return empty;
    }
    return tinted(pixmap, color);
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
    refresh();
}

void SymbolIcon::setColor(const QColor &c)
{
    if (c == m_color)
        return;
    m_color = c;
    Q_EMIT colorChanged();
    refresh();
}

void SymbolIcon::refresh()
{
    // Icons are loaded here, on the GUI thread; paint() may run on the
    // render thread.
    polish();
}

void SymbolIcon::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        refresh();
}

void SymbolIcon::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged)
        refresh();
}

void SymbolIcon::updatePolish()
{
    const qreal side = std::min(width(), height());
    const qreal dpr = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    if (m_name.isEmpty() || side <= 0) {
        m_image = QImage();
    } else {
        const int px = qRound(side);
        m_image = renderSymbol(m_name, QSize(px, px), dpr, m_color);
    }
    update();
}

void SymbolIcon::paint(QPainter *p)
{
    if (m_image.isNull())
        return;
    const qreal side = std::min(width(), height());
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    p->setRenderHint(QPainter::SmoothPixmapTransform);
    p->drawImage(box, m_image);
}

} // namespace vox
