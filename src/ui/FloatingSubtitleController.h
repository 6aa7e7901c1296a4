#pragma once
// The floating subtitle window: a small frameless window above all others that
// shows the two newest translations. Created on the first showSubtitle() of a
// run and kept until the end; hiding only takes it off the screen. Its frame is
// stored under "floatingSubtitleFrame" as "{{x, y}, {width, height}}" with the
// origin at the bottom left of the primary screen (y grows upwards), the form
// the store has always used; Qt's top-left coordinates are converted on the
// way in and out.
#include "course/CourseRecords.h"
#include "engine/SpeechEngine.h"
#include "platform/WindowHints.h"
#include "ui/SubtitleTextFit.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <memory>
#include <optional>
#include <vector>

#include <QQmlEngine>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

namespace vox {

namespace subtitle {

inline constexpr double kFirstWidth = 360;
inline constexpr double kFirstHeight = 230;
inline constexpr double kMinimumWidth = 280;
inline constexpr double kMinimumHeight = 170;

// "{{x, y}, {w, h}}"; numbers in their shortest exact form.
QString rectToString(const QRectF &r);
// The inverse; anything that does not parse yields a zero rectangle.
QRectF rectFromString(const QString &text);

// Between Qt's top-left screen coordinates and bottom-left ones, for a
// primary screen `primaryHeight` high.
QRectF toBottomLeft(const QRectF &topLeftRect, double primaryHeight);
QRectF toTopLeft(const QRectF &bottomLeftRect, double primaryHeight);

// Where a new window goes, all in top-left coordinates. `available` is the
// usable area of the screen; `stored` the stored frame converted to top-left
// coordinates (a zero rectangle when absent or unreadable). The stored frame is
// used when it has a width and lies wholly inside `available`; otherwise the
// window keeps `size` and is centred for the first width, its bottom edge 240
// points below the top of the area.
QRectF placement(const QRectF &available, const QRectF &stored, const QSizeF &size);

// The frame during a resize drag from `start` by (dx, dy) (dy positive
// downwards): never below the minimum, top-left corner fixed.
QRectF resizedFrame(const QRectF &start, double dx, double dy,
                    const QSizeF &minimum = QSizeF(kMinimumWidth, kMinimumHeight));

// The opacity of an entry's own backdrop for the card's opacity: the two
// together always cover at least 85 % of what lies behind the text.
double entryBackdropOpacity(double cardOpacity);

} // namespace subtitle

class FloatingSubtitleController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("App.floatingSubtitle")
    // The two newest translations, newest first.
    Q_PROPERTY(vox::LatestEntriesModel *entries READ entries CONSTANT)
    Q_PROPERTY(bool hasEntries READ hasEntries NOTIFY entriesChanged)
    Q_PROPERTY(double subtitleOpacity READ subtitleOpacity WRITE setSubtitleOpacity NOTIFY subtitleOpacityChanged)
    Q_PROPERTY(double subtitleFontSize READ subtitleFontSize WRITE setSubtitleFontSize NOTIFY subtitleFontSizeChanged)
    Q_PROPERTY(double englishFontSize READ englishFontSize NOTIFY subtitleFontSizeChanged)
    // The size of the area the entries are laid out in, set by the view; the
    // text sizes fitted to it (see SubtitleTextFit.h).
    Q_PROPERTY(QSizeF bodySize READ bodySize WRITE setBodySize NOTIFY bodySizeChanged)
    Q_PROPERTY(int fittedChineseSize READ fittedChineseSize NOTIFY fittedTextChanged)
    Q_PROPERTY(int fittedEnglishSize READ fittedEnglishSize NOTIFY fittedTextChanged)
    Q_PROPERTY(int fittedLineLimit READ fittedLineLimit NOTIFY fittedTextChanged)
    // The entry layout the fit assumes.
    Q_PROPERTY(int entryPaddingX READ entryPaddingX CONSTANT)
    Q_PROPERTY(int entryPaddingY READ entryPaddingY CONSTANT)
    Q_PROPERTY(int entryLineGap READ entryLineGap CONSTANT)
    Q_PROPERTY(int entryGap READ entryGap CONSTANT)
    Q_PROPERTY(double entryBackdropOpacity READ entryBackdropOpacity NOTIFY subtitleOpacityChanged)
    // The opacity and font-size controls shown in the title row.
    Q_PROPERTY(bool styleControlsOpen READ styleControlsOpen WRITE setStyleControlsOpen NOTIFY styleControlsOpenChanged)
    Q_PROPERTY(QString themeName READ themeName NOTIFY themeNameChanged)
    Q_PROPERTY(bool darkAppearance READ darkAppearance NOTIFY darkAppearanceChanged)
    Q_PROPERTY(bool isSubtitleVisible READ isSubtitleVisible NOTIFY isSubtitleVisibleChanged)
    // The window once created (it then lives until the controller goes).
    Q_PROPERTY(QQuickWindow *window READ window NOTIFY windowChanged)
    // The speech engine whose newest translations are shown.
    Q_PROPERTY(vox::SpeechEngine *engine READ engine WRITE setEngine NOTIFY engineChanged)

public:
    explicit FloatingSubtitleController(QObject *parent = nullptr);
    ~FloatingSubtitleController() override;

    // The QML engine that builds the window (default: the engine of this
    // object, when it was handed to QML).
    void setQmlEngine(QQmlEngine *engine);
    SpeechEngine *engine() const { return m_engine; }
    void setEngine(SpeechEngine *engine);
    LatestEntriesModel *entries() const { return m_entries.get(); }
    bool hasEntries() const { return m_entries->rowCount() > 0; }
    double subtitleOpacity() const;
    void setSubtitleOpacity(double v);
    double subtitleFontSize() const;
    void setSubtitleFontSize(double v);
    double englishFontSize() const { return subtitle::englishFontSize(subtitleFontSize()); }
    QSizeF bodySize() const { return m_bodySize; }
    void setBodySize(const QSizeF &size);
    int fittedChineseSize() const { return m_fitted.chineseSize; }
    int fittedEnglishSize() const { return m_fitted.englishSize; }
    int fittedLineLimit() const { return m_fitted.lineLimit; }
    static int entryPaddingX() { return subtitle::kEntryPaddingX; }
    static int entryPaddingY() { return subtitle::kEntryPaddingY; }
    static int entryLineGap() { return subtitle::kEntryLineGap; }
    static int entryGap() { return subtitle::kEntryGap; }
    double entryBackdropOpacity() const { return subtitle::entryBackdropOpacity(subtitleOpacity()); }
    bool styleControlsOpen() const { return m_styleControlsOpen; }
    void setStyleControlsOpen(bool open);
    QString themeName() const;
    bool darkAppearance() const { return m_darkAppearance; }
    bool isSubtitleVisible() const;

    QQuickWindow *window() const { return m_window; }

    // Creates (once), places and shows the window; stores "subtitle_visible".
    Q_INVOKABLE void showSubtitle();
    // Stores the frame and takes the window off the screen; the window stays.
    Q_INVOKABLE void hideSubtitle();
    Q_INVOKABLE void toggleSubtitle();
    // At start-up: reopens the window when it was open at the last exit.
    Q_INVOKABLE void restoreFromSettings();
    // Stores the frame when the window exists.
    Q_INVOKABLE void saveFrame();
    // At termination: stores the frame; closing the window from now on no
    // longer counts as the user hiding it.
    void beginExit();

    // Deletes the window (before the QML engine that built it goes).
    void releaseWindow();

    // Frame in top-left screen coordinates (invalid without a window).
    QRectF frame() const;

    // Resize drag on the handle, (dx, dy) the translation since the press.
    Q_INVOKABLE void resizeDrag(double dx, double dy);
    Q_INVOKABLE void endResize();
    // Moving by the background: the window manager's move when it offers one,
    // otherwise by hand from the press position.
    Q_INVOKABLE bool beginMove();
    Q_INVOKABLE void moveDrag(double dx, double dy);
    Q_INVOKABLE void endMove();

Q_SIGNALS:
    void entriesChanged();
    void subtitleOpacityChanged();
    void subtitleFontSizeChanged();
    void themeNameChanged();
    void darkAppearanceChanged();
    void isSubtitleVisibleChanged();
    void windowChanged();
    void engineChanged();
    void bodySizeChanged();
    void fittedTextChanged();
    void styleControlsOpenChanged();
    // After a resize drag ended, with the stored frame (bottom-left form).
    void frameStored(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool createWindow();
    void place();
    void setFrame(const QRectF &topLeftFrame);
    void storeFrame();
    void applyDesktopHints();
    void onSettingChanged(const QString &key);
    void refit();

    // From the process-wide platform when the controller is made.
    std::shared_ptr<WindowHints> m_windowHints;
    QPointer<QQmlEngine> m_qmlEngine;
    QPointer<QQuickWindow> m_window;
    QPointer<SpeechEngine> m_engine;
    std::unique_ptr<LatestEntriesModel> m_entries;
    bool m_darkAppearance = true;
    std::optional<QRectF> m_resizeStartFrame;
    std::optional<QPointF> m_moveStartPos;
    bool m_exiting = false;
    QSizeF m_bodySize;
    subtitle::FittedText m_fitted;
    bool m_styleControlsOpen = false;
};

} // namespace vox
