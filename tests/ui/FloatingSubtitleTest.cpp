// The floating subtitle window: placement, stored frame, resizing, showing
// and hiding, the two newest translations and the font-size rule.
#include "UiHarness.h"
#include "platform/Settings.h"
#include "ui/FloatingSubtitleController.h"
#include "ui/PlatformChoice.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

QRectF available()
{
    return QRectF(QGuiApplication::primaryScreen()->availableGeometry());
}

// The stored frame text (bottom-left coordinates) for a top-left frame, and back.
QString stored(const QRectF &frame)
{
    return subtitle::rectToString(subtitle::toBottomLeft(frame, QGuiApplication::primaryScreen()->geometry().height()));
}

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

TEST_F(SubtitleFixture, FirstShowPlacesTheDefaultFrameStoresVisibilityAndResizeStopsAtTheMinimum)
{
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
}

TEST_F(SubtitleFixture, StoredFrameIsUsed)
{
    // Which stored frames are accepted: SubtitleGeometry above.
    const QRectF v = available();
    const QRectF wanted(v.left() + 20, v.top() + 30, 300, 200);
    h.store->setValue(Keys::FloatingSubtitleFrame, stored(wanted));
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    EXPECT_EQ(c->frame(), wanted);
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

    // The close button hides.
    h.click(item("closeButton"));
    EXPECT_FALSE(first->isVisible());
}

TEST_F(SubtitleFixture, ShowsTheNewestTwoNewestFirst)
{
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    EXPECT_TRUE(item("emptyState")->isVisible());

    h.land({makeEntry(1)});
    ASSERT_EQ(c->entries()->rowCount(), 1);
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
}

TEST_F(SubtitleFixture, EnglishLineIsTwoPointsSmallerButNeverBelowTen)
{
    h.land({makeEntry(1)});
    h.store->setValue(Keys::SubtitleFontSize, 11.0);
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    auto sizeOf = [&](const char *name) {
        return h.find(name, item("subtitleEntry0"))->property("font").value<QFont>().pixelSize();
    };
    EXPECT_EQ(sizeOf("sourceText"), 10);
    EXPECT_EQ(sizeOf("targetText"), 11);
    c->setSubtitleFontSize(24);
    h.settle();
    EXPECT_EQ(sizeOf("sourceText"), 22);
    EXPECT_EQ(sizeOf("targetText"), 24);
    EXPECT_EQ(h.store->real(Keys::SubtitleFontSize), 24.0);
    c->setSubtitleOpacity(0.5);
    EXPECT_EQ(h.store->real(Keys::SubtitleOpacity), 0.5);
}

TEST_F(SubtitleFixture, AppearanceIsChosenOnceAtCreation)
{
    h.store->setValue(Keys::UiTheme, "swiss");
    c->showSubtitle();
    EXPECT_FALSE(c->darkAppearance());
    h.store->setValue(Keys::UiTheme, "oled");
    c->hideSubtitle();
    c->showSubtitle();
    EXPECT_FALSE(c->darkAppearance());
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
            EXPECT_TRUE(savePng(c->window(), QStringLiteral("subtitle-%1%2").arg(theme, withEntries ? "" : "-empty")));
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
