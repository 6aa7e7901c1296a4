// The floating subtitle window and its geometry and text-fit rules.
#include "UiHarness.h"
#include "platform/Settings.h"
#include "ui/FloatingSubtitleController.h"
#include "ui/PlatformChoice.h"

#include <QGuiApplication>
#include <QPainter>
#include <QQuickPaintedItem>
#include <QScreen>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

QRectF available()
{
    return QRectF(QGuiApplication::primaryScreen()->availableGeometry());
}

// The stored frame text (bottom-left coordinates) as a top-left frame.
QRectF fromStored(const QString &text)
{
    return subtitle::toTopLeft(subtitle::rectFromString(text), QGuiApplication::primaryScreen()->geometry().height());
}

struct SubtitleFixture : ::testing::Test {
    WindowHarness h;
    std::unique_ptr<FloatingSubtitleController> c;

    void SetUp() override { make(); }
    // A new controller, as at the next start.
    void make()
    {
        c = std::make_unique<FloatingSubtitleController>();
        c->setQmlEngine(&h.qml);
        c->setEngine(h.engine);
    }
    QQuickItem *item(const QString &name) const
    {
        return c->window() ? h.find(name, c->window()->contentItem()) : nullptr;
    }
    QString storedFrame() { return h.store->string(Keys::FloatingSubtitleFrame); }
    int pixelSize(const char *text, int entry = 0) const
    {
        return h.find(text, item(QStringLiteral("subtitleEntry%1").arg(entry)))->property("font").value<QFont>().pixelSize();
    }
    static QRectF sceneRect(QQuickItem *i) { return i->mapRectToScene(QRectF(0, 0, i->width(), i->height())); }
    // Every entry lies inside the body, clear of the style controls, its texts whole.
    void expectEntriesWhollyVisible() const
    {
        const QRectF body = sceneRect(item("subtitleBody"));
        QQuickItem *style = item("stylePopup");
        ASSERT_GT(c->entries()->rowCount(), 0);
        for (int row = 0; row < c->entries()->rowCount(); ++row) {
            QQuickItem *entry = item(QStringLiteral("subtitleEntry%1").arg(row));
            ASSERT_NE(entry, nullptr);
            const QRectF r = sceneRect(entry);
            EXPECT_TRUE(body.contains(r)) << row << " " << r.bottom() << " > " << body.bottom();
            EXPECT_TRUE(QRectF(QPointF(), c->window()->size()).contains(r)) << row;
            EXPECT_FALSE(style->isVisible() && sceneRect(style).intersects(r)) << row;
            for (const char *text : {"sourceText", "targetText"})
                EXPECT_FALSE(h.find(text, entry)->property("truncated").toBool()) << row << text;
        }
    }
};

const std::vector<subtitle::ShownEntry> kTwo{{"Sentence number 1.", "第 1 句。"}, {"Sentence number 2.", "第 2 句。"}};

// A bright, busy desktop, put behind the card for a screenshot (the window's
// own picture has no transparency to lay over one).
class BusyDesktop : public QQuickPaintedItem {
public:
    explicit BusyDesktop(QQuickWindow *window) : QQuickPaintedItem(window->contentItem())
    {
        setZ(-1);
        setSize(window->size());
    }
    void paint(QPainter *p) override
    {
        for (int x = 0; x < width(); x += 14)
            p->fillRect(x, 0, 14, int(height()), QColor::fromHsv((x * 5) % 360, 90, 255));
        for (int y = 12; y < height(); y += 15) {
            p->setPen(y % 2 ? Qt::white : Qt::black);
            p->drawText(2 + y % 7, y, QStringLiteral("Lorem ipsum dolor sit amet 背景文字干扰 consectetur adipiscing elit"));
        }
    }
};

} // namespace

TEST(SubtitleGeometry, DefaultPlacementAndStoredFrameOnlyWhenWhollyVisibleAndWide)
{
    const QRectF v(0, 30, 1920, 1010); // right 1920, bottom 1040
    const QSizeF size(360, 230);
    // Centred, its bottom 240 below the top of the visible area.
    const QRectF fallback(960 - 180, 30 + 240 - 230, 360, 230);
    EXPECT_EQ(subtitle::placement(v, QRectF(), size), fallback);
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 100, 400, 300), size), QRectF(100, 100, 400, 300));
    // Touching the edges is still inside.
    EXPECT_EQ(subtitle::placement(v, QRectF(0, 30, 1920, 1010), size), QRectF(0, 30, 1920, 1010));
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 100, 0, 300), size), fallback);
    EXPECT_EQ(subtitle::placement(v, QRectF(1561, 100, 360, 230), size), fallback); // 1 point past the right
    EXPECT_EQ(subtitle::placement(v, QRectF(-1, 100, 360, 230), size), fallback);
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 29, 360, 230), size), fallback);  // 1 point above
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 811, 360, 230), size), fallback); // 1 point below
}

TEST(SubtitleGeometry, FrameTextRoundTripsInBottomLeftCoordinates)
{
    const QRectF topLeft(100, 50, 360, 230);
    const QRectF bl = subtitle::toBottomLeft(topLeft, 1080);
    EXPECT_EQ(bl, QRectF(100, 800, 360, 230));
    EXPECT_EQ(subtitle::rectToString(bl), "{{100, 800}, {360, 230}}");
    EXPECT_EQ(subtitle::toTopLeft(subtitle::rectFromString("{{100, 800}, {360, 230}}"), 1080), topLeft);
    EXPECT_EQ(subtitle::rectFromString("{{12.5, -3}, {280, 170.25}}"), QRectF(12.5, -3, 280, 170.25));
    for (const char *bad : {"", "garbage", "{{1, 2}, {3}}", "{{a, 2}, {3, 4}}", "{{1, 2}, {3, 4}} x"})
        EXPECT_EQ(subtitle::rectFromString(QString::fromLatin1(bad)), QRectF()) << bad;
}

TEST(SubtitleTextFit, GrowsWithTheBodyWithinTheSettingAndTheCap)
{
    using namespace subtitle;
    const FittedText small = fitText(kTwo, {300, 130}, 15);
    const FittedText large = fitText(kTwo, {400, 180}, 15);
    EXPECT_GT(small.chineseSize, 15);
    EXPECT_GT(large.chineseSize, small.chineseSize);
    EXPECT_EQ(fitText(kTwo, {3000, 3000}, 15).chineseSize, fitCap(15));
    // The largest that fits: one pixel more would not.
    EXPECT_LE(entriesHeight(kTwo, 400, large.chineseSize, large.englishSize), 180);
    EXPECT_GT(entriesHeight(kTwo, 400, large.chineseSize + 1, englishSizeFor(large.chineseSize + 1, 15)), 180);
    // The English line keeps its ratio to the setting's sizes (13 to 15).
    EXPECT_EQ(large.englishSize, std::lround(large.chineseSize * 13.0 / 15));
    EXPECT_EQ(large.lineLimit, INT_MAX);
    // No body yet: the setting's sizes.
    EXPECT_EQ(fitText(kTwo, {}, 15).chineseSize, 15);

    // Text too long for the body: the setting's size, never less, and as many
    // lines as leave both entries room.
    const std::vector<ShownEntry> crowded(2, {QStringLiteral("a long English sentence ").repeated(8),
                                              QStringLiteral("很长的中文译文").repeated(12)});
    const FittedText fit = fitText(crowded, {300, 130}, 15);
    EXPECT_EQ(fit.chineseSize, 15);
    EXPECT_EQ(fit.englishSize, 13);
    EXPECT_LE(entriesHeight(crowded, 300, 15, 13, fit.lineLimit), 130);
    EXPECT_TRUE(fit.lineLimit == 1 || entriesHeight(crowded, 300, 15, 13, fit.lineLimit + 1) > 130);
}

TEST(SubtitleTextFit, EntryBackdropKeepsTheTextReadableAtAnyCardOpacity)
{
    for (double card = 0.3; card <= 1.0; card += 0.05) {
        const double backdrop = subtitle::entryBackdropOpacity(card);
        EXPECT_GE(1 - (1 - card) * (1 - backdrop), 0.85 - 1e-9) << card;
        EXPECT_GE(backdrop, 0.4) << card;
    }
}

TEST_F(SubtitleFixture, FirstShowPlacesTheDefaultFrameStoresVisibilityAndResizeStopsAtTheMinimum)
{
    h.store->setValue(Keys::UiTheme, "swiss");
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr) << h.lastError.toStdString();
    EXPECT_TRUE(c->window()->isVisible());
    EXPECT_EQ(c->frame(), subtitle::placement(available(), QRectF(), QSizeF(360, 230)));
    EXPECT_TRUE(h.store->boolean(Keys::SubtitleVisible));
    for (Qt::WindowType flag : {Qt::WindowStaysOnTopHint, Qt::FramelessWindowHint, Qt::WindowDoesNotAcceptFocus})
        EXPECT_TRUE(c->window()->flags().testFlag(flag)) << flag;
    // What the flags do not cover goes to the window manager once it is shown.
    EXPECT_EQ(h.fakePlatform.windowHints->keptAbove, std::vector<QWindow *>{c->window()});

    // Resizing past the minimum stops at it, the top-left fixed.
    const QPointF topLeft = c->frame().topLeft();
    c->resizeDrag(-30, -30);
    c->resizeDrag(-400, -400); // the same drag, further
    EXPECT_EQ(c->frame(), QRectF(topLeft, QSizeF(280, 170)));
    c->endResize();
    EXPECT_EQ(subtitle::rectFromString(storedFrame()).size(), QSizeF(280, 170));
    // A new drag starts from the current frame.
    c->resizeDrag(50, 60);
    EXPECT_EQ(c->frame(), QRectF(topLeft, QSizeF(330, 230)));
    c->endResize();

    // The appearance is chosen once, when the window is made.
    h.store->setValue(Keys::UiTheme, "oled");
    c->hideSubtitle();
    c->showSubtitle();
    EXPECT_FALSE(c->darkAppearance());
}

TEST_F(SubtitleFixture, RestoreHideAndShowKeepTheWindowAndWriteTheFrame)
{
    // Restored only when it was visible at the last exit; no window, no frame to save.
    c->restoreFromSettings();
    EXPECT_EQ(c->window(), nullptr);
    c->saveFrame();
    EXPECT_FALSE(h.store->contains(Keys::FloatingSubtitleFrame));
    h.store->setValue(Keys::SubtitleVisible, true);
    c->restoreFromSettings();
    QQuickWindow *first = c->window();
    ASSERT_NE(first, nullptr);
    c->resizeDrag(40, 10);
    c->endResize();
    const QRectF frame = c->frame();
    h.store->remove(Keys::FloatingSubtitleFrame);

    c->hideSubtitle();
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(h.store->boolean(Keys::SubtitleVisible));
    EXPECT_EQ(fromStored(storedFrame()), frame);

    c->showSubtitle();
    EXPECT_EQ(c->window(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(c->frame(), frame);
    EXPECT_TRUE(h.store->boolean(Keys::SubtitleVisible));

    // The close button hides; the next start opens at the stored frame.
    h.click(item("closeButton"));
    EXPECT_FALSE(first->isVisible());
    make();
    c->showSubtitle();
    EXPECT_EQ(c->frame(), frame);
}

TEST_F(SubtitleFixture, TheNewestTwoNewestFirstGrowWithTheWindowAndStayWhollyVisible)
{
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    EXPECT_TRUE(item("emptyState")->isVisible());
    h.land({makeEntry(1)});
    EXPECT_NE(item("subtitleEntry0"), nullptr);
    EXPECT_EQ(item("subtitleEntry1"), nullptr);
    h.land({makeEntry(2), makeEntry(3)});
    QQuickItem *top = item("subtitleEntry0");
    QQuickItem *below = item("subtitleEntry1");
    ASSERT_TRUE(top && below);
    EXPECT_LT(top->y(), below->y());
    EXPECT_EQ(h.find("targetText", top)->property("text").toString(), "第 3 句。");
    EXPECT_EQ(h.find("sourceText", below)->property("text").toString(), "Sentence number 2.");
    EXPECT_FALSE(item("emptyState")->isVisible());

    const int first = c->fittedChineseSize();
    EXPECT_GT(first, 15);
    EXPECT_EQ(pixelSize("targetText"), first);
    EXPECT_EQ(pixelSize("sourceText", 1), c->fittedEnglishSize());
    expectEntriesWhollyVisible();
    // The style controls leave the body its room.
    h.click(item("styleMenuButton"));
    EXPECT_TRUE(item("opacitySlider")->isVisible());
    EXPECT_EQ(c->fittedChineseSize(), first);
    expectEntriesWhollyVisible();
    h.click(item("styleMenuButton"));
    EXPECT_FALSE(item("stylePopup")->isVisible());
    EXPECT_FALSE(c->styleControlsOpen());

    c->resizeDrag(240, 160);
    c->endResize();
    h.settle();
    EXPECT_GT(c->fittedChineseSize(), first);
    EXPECT_EQ(pixelSize("targetText", 1), c->fittedChineseSize());
    expectEntriesWhollyVisible();
    // A longer sentence takes its room from the size.
    const int enlarged = c->fittedChineseSize();
    h.land({makeEntry(4, QStringLiteral("A much longer sentence that needs a few lines of its own to be shown."),
                      QStringLiteral("一个长得多的句子，需要好几行才能完整显示出来。"))});
    EXPECT_LT(c->fittedChineseSize(), enlarged);
    expectEntriesWhollyVisible();
}

TEST_F(SubtitleFixture, AtTheSettingsSizeTheEnglishLineIsTwoPointsSmallerButNeverBelowTen)
{
    // Sentences too long to grow in the first window.
    const QString english = QStringLiteral("A sentence long enough to fill the subtitle window on its own. ").repeated(3);
    const QString chinese = QStringLiteral("一句足够长、单独就能占满字幕窗的译文。").repeated(3);
    h.land({makeEntry(1, english, chinese), makeEntry(2, english, chinese)});
    h.store->setValue(Keys::SubtitleFontSize, 11.0);
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    h.settle();
    EXPECT_EQ(pixelSize("sourceText"), 10);
    EXPECT_EQ(pixelSize("targetText"), 11);
    EXPECT_TRUE(h.find("targetText", item("subtitleEntry1"))->property("truncated").toBool());
    c->setSubtitleFontSize(24);
    h.settle();
    EXPECT_EQ(pixelSize("sourceText"), 22);
    EXPECT_EQ(pixelSize("targetText"), 24);
    EXPECT_EQ(h.store->real(Keys::SubtitleFontSize), 24.0);
    c->setSubtitleOpacity(0.5);
    EXPECT_EQ(h.store->real(Keys::SubtitleOpacity), 0.5);
}

TEST_F(SubtitleFixture, ScreenshotsInEveryTheme)
{
    for (bool withEntries : {false, true}) {
        if (withEntries)
            h.land({makeEntry(1), makeEntry(2), makeEntry(3)});
        for (const char *theme : kThemes) {
            h.store->setValue(Keys::UiTheme, theme);
            c.reset();
            make(); // the appearance is chosen when the window is made
            c->showSubtitle();
            ASSERT_NE(c->window(), nullptr);
            const QString name = QStringLiteral("subtitle-%1%2").arg(theme, withEntries ? "" : "-empty");
            EXPECT_TRUE(savePng(c->window(), name));
            if (!withEntries)
                continue;
            // With the style controls open, enlarged, and faint over a busy desktop.
            c->setStyleControlsOpen(true);
            EXPECT_TRUE(savePng(c->window(), name + "-style"));
            c->setStyleControlsOpen(false);
            c->resizeDrag(260, 120);
            c->endResize();
            EXPECT_TRUE(savePng(c->window(), name + "-enlarged"));
            c->setSubtitleOpacity(0.3);
            {
                BusyDesktop desktop(c->window());
                EXPECT_TRUE(savePng(c->window(), name + "-faint"));
            }
            c->setSubtitleOpacity(0.95);
            c->resizeDrag(-260, -120);
            c->endResize();
        }
    }
}

TEST(PlatformChoice, WaylandWithoutAChoiceRunsThroughXWayland)
{
    using ui::preferredPlatform;
    EXPECT_EQ(preferredPlatform({"", "wayland", "wayland-0", ":0"}), QByteArray("xcb"));
    EXPECT_EQ(preferredPlatform({"", "", "wayland-0", ":1"}), QByteArray("xcb"));
    EXPECT_FALSE(preferredPlatform({"wayland", "wayland", "wayland-0", ":0"})); // the user's choice
    EXPECT_FALSE(preferredPlatform({"", "wayland", "wayland-0", ""}));          // no XWayland
    EXPECT_FALSE(preferredPlatform({"", "x11", "", ":0"}));
}
