#include "FloatingSubtitleController.h"

#include "platform/Diag.h"
#include "platform/Platform.h"
#include "platform/Settings.h"
#include "engine/SpeechEngine.h"
#include "ui/UITheme.h"

#include <QGuiApplication>
#include <QLocale>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace vox {

namespace subtitle {

namespace {
QString number(double v)
{
    if (v == 0)
        v = 0; // no "-0"
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}
} // namespace

QString rectToString(const QRectF &r)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()));
}

QRectF rectFromString(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*\{\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*,\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*\}\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = m.captured(i + 1).toDouble(&ok);
        if (!ok || !std::isfinite(v[i]))
            return {};
    }
    return QRectF(v[0], v[1], v[2], v[3]);
}

QRectF toBottomLeft(const QRectF &r, double primaryHeight)
{
    return QRectF(r.x(), primaryHeight - (r.y() + r.height()), r.width(), r.height());
}

QRectF toTopLeft(const QRectF &r, double primaryHeight)
{
    // The same reflection both ways.
    return toBottomLeft(r, primaryHeight);
}

QRectF placement(const QRectF &available, const QRectF &stored, const QSizeF &size)
{
    if (stored.width() > 0 && available.left() <= stored.left() && stored.right() <= available.right()
        && available.top() <= stored.top() && stored.bottom() <= available.bottom())
        return stored;
    // Centred for the first width; the bottom edge 240 points below the top.
    const double x = available.center().x() - kFirstWidth / 2;
    const double bottom = available.top() + 240;
    return QRectF(x, bottom - size.height(), size.width(), size.height());
}

QRectF resizedFrame(const QRectF &start, double dx, double dy, const QSizeF &minimum)
{
    const double w = std::max(minimum.width(), start.width() + dx);
    const double h = std::max(minimum.height(), start.height() + dy);
    return QRectF(start.x(), start.y(), w, h);
}

double entryBackdropOpacity(double cardOpacity)
{
    constexpr double kCover = 0.85;
    constexpr double kLeast = 0.4;
    if (cardOpacity >= kCover)
        return kLeast;
    return std::max(kLeast, 1 - (1 - kCover) / (1 - cardOpacity));
}

} // namespace subtitle

namespace {

double primaryScreenHeight()
{
    QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}


} // namespace

FloatingSubtitleController::FloatingSubtitleController(QObject *parent)
    : QObject(parent),
      m_windowHints(platform().windowHints),
      m_entries(std::make_unique<LatestEntriesModel>(2))
{
    connect(m_entries.get(), &LatestEntriesModel::countChanged, this, &FloatingSubtitleController::entriesChanged);
    connect(&settings(), &Settings::changed, this, &FloatingSubtitleController::onSettingChanged);
    // Any change of the shown texts or of the setting fits the sizes anew.
    connect(m_entries.get(), &QAbstractItemModel::rowsInserted, this, &FloatingSubtitleController::refit);
    connect(m_entries.get(), &QAbstractItemModel::rowsRemoved, this, &FloatingSubtitleController::refit);
    connect(m_entries.get(), &QAbstractItemModel::dataChanged, this, &FloatingSubtitleController::refit);
    connect(m_entries.get(), &QAbstractItemModel::modelReset, this, &FloatingSubtitleController::refit);
    connect(this, &FloatingSubtitleController::subtitleFontSizeChanged, this, &FloatingSubtitleController::refit);
    refit();
}

FloatingSubtitleController::~FloatingSubtitleController()
{
    delete m_window.data();
}

void FloatingSubtitleController::setQmlEngine(QQmlEngine *engine)
{
    m_qmlEngine = engine;
}

void FloatingSubtitleController::releaseWindow()
{
    if (!m_window)
        return;
    delete m_window.data();
    emit windowChanged();
}

void FloatingSubtitleController::setEngine(SpeechEngine *engine)
{
    if (engine == m_engine)
        return;
    m_engine = engine;
    m_entries->setSource(engine ? engine->transcript() : nullptr);
    emit engineChanged();
}

double FloatingSubtitleController::subtitleOpacity() const
{
    const double v = settings().real(QString::fromLatin1(Keys::SubtitleOpacity));
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.95;
}

void FloatingSubtitleController::setSubtitleOpacity(double v)
{
    if (!std::isfinite(v))
        return;
    settings().setValue(QString::fromLatin1(Keys::SubtitleOpacity), std::clamp(v, 0.0, 1.0));
}

double FloatingSubtitleController::subtitleFontSize() const
{
    const double v = settings().real(QString::fromLatin1(Keys::SubtitleFontSize));
    // The style menu offers 11 to 24; a stored value outside it (edited by
    // hand) would make the text vanish or overflow the window.
    return std::isfinite(v) ? std::clamp(v, 11.0, 24.0) : 15.0;
}

void FloatingSubtitleController::setSubtitleFontSize(double v)
{
    if (!std::isfinite(v))
        return;
    settings().setValue(QString::fromLatin1(Keys::SubtitleFontSize), std::clamp(std::round(v), 11.0, 24.0));
}

void FloatingSubtitleController::setBodySize(const QSizeF &size)
{
    if (size == m_bodySize)
        return;
    m_bodySize = size;
    emit bodySizeChanged();
    refit();
}

void FloatingSubtitleController::refit()
{
    std::vector<subtitle::ShownEntry> shown;
    for (int row = 0; row < m_entries->rowCount(); ++row)
        shown.push_back({m_entries->entry(row).source, m_entries->entry(row).target});
    const subtitle::FittedText fit = subtitle::fitText(shown, m_bodySize, subtitleFontSize());
    if (fit.chineseSize == m_fitted.chineseSize && fit.englishSize == m_fitted.englishSize
        && fit.lineLimit == m_fitted.lineLimit)
        return;
    m_fitted = fit;
    emit fittedTextChanged();
}

void FloatingSubtitleController::setStyleControlsOpen(bool open)
{
    if (open == m_styleControlsOpen)
        return;
    m_styleControlsOpen = open;
    emit styleControlsOpenChanged();
}

QString FloatingSubtitleController::themeName() const
{
    return settings().string(QString::fromLatin1(Keys::UiTheme));
}

bool FloatingSubtitleController::isSubtitleVisible() const
{
    return settings().boolean(QString::fromLatin1(Keys::SubtitleVisible));
}

void FloatingSubtitleController::onSettingChanged(const QString &key)
{
    if (key == QLatin1String(Keys::SubtitleOpacity))
        emit subtitleOpacityChanged();
    else if (key == QLatin1String(Keys::SubtitleFontSize))
        emit subtitleFontSizeChanged();
    else if (key == QLatin1String(Keys::UiTheme))
        emit themeNameChanged();
    else if (key == QLatin1String(Keys::SubtitleVisible))
        emit isSubtitleVisibleChanged();
}

bool FloatingSubtitleController::createWindow()
{
    QQmlEngine *engine = m_qmlEngine ? m_qmlEngine.data() : qmlEngine(this);
    if (!engine) {
        diag(QStringLiteral("字幕窗：没有 QML 引擎，无法创建窗口"));
        return false;
    }
    // The appearance is fixed for the life of the window.
    m_darkAppearance = isDarkAppearance(themeFromRaw(themeName()));
    emit darkAppearanceChanged();

    QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/qt/qml/Voxleaf/qml/FloatingSubtitleView.qml")));
    if (!component.isReady()) { // (creating from a broken component crashes)
        diag(QStringLiteral("字幕窗：创建失败 ") + component.errorString());
        return false;
    }
    QObject *obj = component.createWithInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(this)}});
    auto *window = qobject_cast<QQuickWindow *>(obj);
    if (!window) {
        diag(QStringLiteral("字幕窗：创建失败 ") + component.errorString());
        delete obj;
        return false;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                     | Qt::NoDropShadowWindowHint);
    window->setColor(Qt::transparent);
    window->setMinimumSize(QSize(int(subtitle::kMinimumWidth), int(subtitle::kMinimumHeight)));
    window->resize(int(subtitle::kFirstWidth), int(subtitle::kFirstHeight));
    window->setPosition(0, 0);
    // Closed by the window manager: hidden like the close button does.
    window->installEventFilter(this);
    m_window = window;
    emit windowChanged();
    return true;
}

QRectF FloatingSubtitleController::frame() const
{
    if (!m_window)
        return {};
    return QRectF(m_window->geometry());
}

void FloatingSubtitleController::setFrame(const QRectF &r)
{
    if (!m_window)
        return;
    m_window->setGeometry(r.toAlignedRect());
}

void FloatingSubtitleController::place()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !m_window)
        return;
    const QRectF available(screen->availableGeometry());
    const QString stored = settings().string(QString::fromLatin1(Keys::FloatingSubtitleFrame));
    QRectF storedTopLeft;
    if (!stored.isEmpty()) {
        const QRectF r = subtitle::rectFromString(stored);
        if (r.width() > 0)
            storedTopLeft = subtitle::toTopLeft(r, primaryScreenHeight());
    }
    setFrame(subtitle::placement(available, storedTopLeft, frame().size()));
}

void FloatingSubtitleController::storeFrame()
{
    if (!m_window)
        return;
    const QString text = subtitle::rectToString(subtitle::toBottomLeft(frame(), primaryScreenHeight()));
    settings().setValue(QString::fromLatin1(Keys::FloatingSubtitleFrame), text);
}

void FloatingSubtitleController::applyDesktopHints()
{
    if (m_window && m_windowHints)
        m_windowHints->keepAboveOnAllWorkspaces(m_window);
}

void FloatingSubtitleController::showSubtitle()
{
    if (!m_window) {
        if (!createWindow())
            return;
        place();
    }
    m_window->show();
    m_window->raise();
    applyDesktopHints();
    settings().setValue(QString::fromLatin1(Keys::SubtitleVisible), true);
}

void FloatingSubtitleController::hideSubtitle()
{
    if (m_window) {
        storeFrame();
        m_window->hide();
    }
    settings().setValue(QString::fromLatin1(Keys::SubtitleVisible), false);
}

void FloatingSubtitleController::toggleSubtitle()
{
    if (isSubtitleVisible() && m_window && m_window->isVisible())
        hideSubtitle();
    else
        showSubtitle();
}

void FloatingSubtitleController::restoreFromSettings()
{
    if (isSubtitleVisible())
        showSubtitle();
}

void FloatingSubtitleController::saveFrame()
{
    storeFrame();
}

void FloatingSubtitleController::beginExit()
{
    storeFrame();
    m_exiting = true;
}

bool FloatingSubtitleController::eventFilter(QObject *watched, QEvent *event)
{
    // The close goes ahead (it never holds up the application's end); outside
    // the exit it counts as hiding, so the next start leaves the window shut.
    if (event->type() == QEvent::Close && watched == m_window && !m_exiting && m_window->isVisible())
        hideSubtitle();
    return QObject::eventFilter(watched, event);
}

void FloatingSubtitleController::resizeDrag(double dx, double dy)
{
    if (!m_window)
        return;
    if (!m_resizeStartFrame)
        m_resizeStartFrame = frame();
    setFrame(subtitle::resizedFrame(*m_resizeStartFrame, dx, dy));
}

void FloatingSubtitleController::endResize()
{
    m_resizeStartFrame.reset();
    if (!m_window)
        return;
    storeFrame();
    emit frameStored(settings().string(QString::fromLatin1(Keys::FloatingSubtitleFrame)));
}

bool FloatingSubtitleController::beginMove()
{
    if (!m_window)
        return false;
    m_moveStartPos.reset();
    if (m_window->startSystemMove())
        return true;
    m_moveStartPos = QPointF(m_window->position());
    return false;
}

void FloatingSubtitleController::moveDrag(double dx, double dy)
{
    if (!m_window || !m_moveStartPos)
        return;
    m_window->setPosition((*m_moveStartPos + QPointF(dx, dy)).toPoint());
}

void FloatingSubtitleController::endMove()
{
    m_moveStartPos.reset();
}

} // namespace vox
