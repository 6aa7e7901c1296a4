// The floating subtitle window: placement, stored frame, resizing, showing
// and hiding, the two newest translations and the font-size rule.
#include "WindowTestHarness.h"
#include "platform/Settings.h"
#include "ui/FloatingSubtitleController.h"
#include "ui/PlatformChoice.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

const QString kFrameKey = QString::fromLatin1(Keys::FloatingSubtitleFrame);

TranslationEntry entry(int n)
{
    return TranslationEntry(Date::fromUnix(1'780'000'000.0 + n), QStringLiteral("English sentence %1").arg(n),
                            QStringLiteral("中文句子 %1").arg(n), n * 2.0);
}

QRectF available()
{
    return QRectF(QGuiApplication::primaryScreen()->availableGeometry());
}

double primaryHeight()
{
    return QGuiApplication::primaryScreen()->geometry().height();
}

struct SubtitleFixture : ::testing::Test {
    WindowHarness h;
    std::unique_ptr<FloatingSubtitleController> c;

    void SetUp() override { make(); }
    void make()
    {
        c = std::make_unique<FloatingSubtitleController>();
        c->setQmlEngine(&h.qml);
        c->setEngine(&h.engine);
    }
    QQuickItem *item(const QString &name) const
    {
        return c->window() ? h.find(name, c->window()->contentItem()) : nullptr;
    }
};

} // namespace

TEST(SubtitleGeometry, DefaultPlacementIsCentredWithItsBottom240BelowTheTop)
{
    const QRectF v(0, 30, 1920, 1010);
    const QRectF r = subtitle::placement(v, QRectF(), QSizeF(360, 230));
    EXPECT_EQ(r, QRectF(960 - 180, 30 + 240 - 230, 360, 230));
}

TEST(SubtitleGeometry, StoredFrameIsUsedOnlyWhenWhollyVisibleAndWide)
{
    const QRectF v(0, 30, 1920, 1010); // right 1920, bottom 1040
    const QSizeF size(360, 230);
    const QRectF fallback = subtitle::placement(v, QRectF(), size);
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 100, 400, 300), size), QRectF(100, 100, 400, 300));
    // Touching the edges is still inside.
    EXPECT_EQ(subtitle::placement(v, QRectF(0, 30, 1920, 1010), size), QRectF(0, 30, 1920, 1010));
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 100, 0, 300), size), fallback);
    EXPECT_EQ(subtitle::placement(v, QRectF(1561, 100, 360, 230), size), fallback); // 1 point past the right
    EXPECT_EQ(subtitle::placement(v, QRectF(-1, 100, 360, 230), size), fallback);
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 29, 360, 230), size), fallback); // 1 point above
    EXPECT_EQ(subtitle::placement(v, QRectF(100, 811, 360, 230), size), fallback); // 1 point below
}

TEST(SubtitleGeometry, FrameTextRoundTripsInBottomLeftCoordinates)
{
    const QRectF topLeft(100, 50, 360, 230);
    const QRectF bl = subtitle::toBottomLeft(topLeft, 1080);
    EXPECT_EQ(bl, QRectF(100, 800, 360, 230));
    EXPECT_EQ(subtitle::rectToString(bl), QStringLiteral("{{100, 800}, {360, 230}}"));
    EXPECT_EQ(subtitle::toTopLeft(subtitle::rectFromString(QStringLiteral("{{100, 800}, {360, 230}}")), 1080), topLeft);
    EXPECT_EQ(subtitle::rectFromString(QStringLiteral("{{12.5, -3}, {280, 170.25}}")), QRectF(12.5, -3, 280, 170.25));
    for (const char *bad : {"", "garbage", "{{1, 2}, {3}}", "{{a, 2}, {3, 4}}", "{{1, 2}, {3, 4}} x"})
        EXPECT_EQ(subtitle::rectFromString(QString::fromLatin1(bad)), QRectF()) << bad;
}

TEST(SubtitleGeometry, ResizeKeepsTopLeftAndTheMinimum)
{
    const QRectF start(200, 100, 360, 230);
    EXPECT_EQ(subtitle::resizedFrame(start, 40, 20), QRectF(200, 100, 400, 250));
    EXPECT_EQ(subtitle::resizedFrame(start, -500, -500), QRectF(200, 100, 280, 170));
}

TEST(SubtitleGeometry, EnglishLineIsTwoPointsSmallerButNeverBelowTen)
{
    EXPECT_EQ(subtitle::englishFontSize(11), 10);
    EXPECT_EQ(subtitle::englishFontSize(15), 13);
    EXPECT_EQ(subtitle::englishFontSize(24), 22);
}

TEST_F(SubtitleFixture, FirstShowPlacesTheDefaultFrameAndStoresVisibility)
{
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr) << h.lastError.toStdString();
    EXPECT_TRUE(c->window()->isVisible());
    EXPECT_EQ(c->frame(), subtitle::placement(available(), QRectF(), QSizeF(360, 230)));
    EXPECT_TRUE(h.store->boolean(QString::fromLatin1(Keys::SubtitleVisible)));
    EXPECT_TRUE(c->window()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(c->window()->flags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(c->window()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
}

TEST_F(SubtitleFixture, StoredFrameOnScreenIsUsedAndOffScreenOneIgnored)
{
    const QRectF v = available();
    const QRectF wanted(v.left() + 20, v.top() + 30, 300, 200);
    h.store->setValue(kFrameKey, subtitle::rectToString(subtitle::toBottomLeft(wanted, primaryHeight())));
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    EXPECT_EQ(c->frame(), wanted);

    // A second controller (the next run) with a frame hanging 1 point off.
    make();
    const QRectF off(v.right() - 299, v.top() + 30, 300, 200);
    h.store->setValue(kFrameKey, subtitle::rectToString(subtitle::toBottomLeft(off, primaryHeight())));
    c->showSubtitle();
    EXPECT_EQ(c->frame(), subtitle::placement(v, QRectF(), QSizeF(360, 230)));

    make();
    h.store->setValue(kFrameKey, QStringLiteral("{{10, 10}, {0, 200}}"));
    c->showSubtitle();
    EXPECT_EQ(c->frame().size(), QSizeF(360, 230));
}

TEST_F(SubtitleFixture, HideAndShowKeepTheWindowAndWriteTheFrame)
{
    c->showSubtitle();
    QQuickWindow *first = c->window();
    ASSERT_NE(first, nullptr);
    c->resizeDrag(40, 10);
    c->endResize();
    const QRectF frame = c->frame();
    h.store->remove(kFrameKey);

    c->hideSubtitle();
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(h.store->boolean(QString::fromLatin1(Keys::SubtitleVisible)));
    EXPECT_EQ(subtitle::toTopLeft(subtitle::rectFromString(h.store->string(kFrameKey)), primaryHeight()), frame);

    c->showSubtitle();
    EXPECT_EQ(c->window(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(c->frame(), frame);
    EXPECT_TRUE(h.store->boolean(QString::fromLatin1(Keys::SubtitleVisible)));

    // The close button hides.
    h.click(item(QStringLiteral("closeButton")));
    EXPECT_FALSE(first->isVisible());
}

TEST_F(SubtitleFixture, ResizePastTheMinimumStopsAtItWithTheTopLeftFixed)
{
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    const QPointF topLeft = c->frame().topLeft();
    c->resizeDrag(-30, -30);
    c->resizeDrag(-400, -400); // the same drag, further
    EXPECT_EQ(c->frame(), QRectF(topLeft, QSizeF(280, 170)));
    c->endResize();
    EXPECT_EQ(subtitle::rectFromString(h.store->string(kFrameKey)).size(), QSizeF(280, 170));
    // A new drag starts from the current frame.
    c->resizeDrag(50, 60);
    EXPECT_EQ(c->frame(), QRectF(topLeft, QSizeF(330, 230)));
    c->endResize();
}

TEST_F(SubtitleFixture, ShowsTheNewestTwoNewestFirst)
{
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    EXPECT_TRUE(item(QStringLiteral("emptyState"))->isVisible());

    h.engine.setEntries({entry(1)});
    h.settle();
    ASSERT_EQ(c->entries().size(), 1);
    EXPECT_NE(item(QStringLiteral("subtitleEntry0")), nullptr);
    EXPECT_EQ(item(QStringLiteral("subtitleEntry1")), nullptr);

    h.engine.setEntries({entry(1), entry(2), entry(3)});
    h.settle();
    QQuickItem *top = item(QStringLiteral("subtitleEntry0"));
    QQuickItem *below = item(QStringLiteral("subtitleEntry1"));
    ASSERT_TRUE(top && below);
    EXPECT_LT(top->y(), below->y());
    EXPECT_EQ(h.find(QStringLiteral("targetText"), top)->property("text").toString(), QStringLiteral("中文句子 3"));
    EXPECT_EQ(h.find(QStringLiteral("sourceText"), below)->property("text").toString(),
              QStringLiteral("English sentence 2"));
    EXPECT_FALSE(item(QStringLiteral("emptyState"))->isVisible());
}

TEST_F(SubtitleFixture, FontSizesFollowTheStoredSize)
{
    h.engine.setEntries({entry(1)});
    h.store->setValue(QString::fromLatin1(Keys::SubtitleFontSize), 11.0);
    c->showSubtitle();
    ASSERT_NE(c->window(), nullptr);
    auto sizeOf = [&](const char *name) {
        QQuickItem *e = item(QStringLiteral("subtitleEntry0"));
        return h.find(QString::fromLatin1(name), e)->property("font").value<QFont>().pixelSize();
    };
    EXPECT_EQ(sizeOf("sourceText"), 10);
    EXPECT_EQ(sizeOf("targetText"), 11);
    c->setSubtitleFontSize(24);
    h.settle();
    EXPECT_EQ(sizeOf("sourceText"), 22);
    EXPECT_EQ(sizeOf("targetText"), 24);
    EXPECT_EQ(h.store->real(QString::fromLatin1(Keys::SubtitleFontSize)), 24.0);
    c->setSubtitleOpacity(0.5);
    EXPECT_EQ(h.store->real(QString::fromLatin1(Keys::SubtitleOpacity)), 0.5);
}

TEST_F(SubtitleFixture, AppearanceIsChosenOnceAtCreation)
{
    h.store->setValue(QString::fromLatin1(Keys::UiTheme), QStringLiteral("swiss"));
    c->showSubtitle();
    EXPECT_FALSE(c->darkAppearance());
    h.store->setValue(QString::fromLatin1(Keys::UiTheme), QStringLiteral("oled"));
    c->hideSubtitle();
    c->showSubtitle();
    EXPECT_FALSE(c->darkAppearance());

    make();
    h.store->setValue(QString::fromLatin1(Keys::UiTheme), QStringLiteral("misspelt"));
    c->showSubtitle();
    EXPECT_TRUE(c->darkAppearance());
}

TEST_F(SubtitleFixture, RestoreOpensOnlyWhenItWasVisibleAndSaveFrameWritesIt)
{
    c->restoreFromSettings();
    EXPECT_EQ(c->window(), nullptr);
    c->saveFrame(); // no window: nothing stored
    EXPECT_FALSE(h.store->contains(kFrameKey));
    h.store->setValue(QString::fromLatin1(Keys::SubtitleVisible), true);
    c->restoreFromSettings();
    ASSERT_NE(c->window(), nullptr);
    c->saveFrame();
    EXPECT_EQ(subtitle::toTopLeft(subtitle::rectFromString(h.store->string(kFrameKey)), primaryHeight()), c->frame());
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

TEST(SubtitleScreenshots, EveryTheme)
{
    WindowHarness h;
    for (const char *theme : {"cyberpunk", "swiss", "oled", "glass"}) {
        h.store->setValue(QString::fromLatin1(Keys::UiTheme), QString::fromLatin1(theme));
        for (bool withEntries : {false, true}) {
            FloatingSubtitleController c;
            c.setQmlEngine(&h.qml);
            c.setEngine(&h.engine);
            h.engine.setEntries(withEntries ? std::vector<TranslationEntry>{entry(1), entry(2), entry(3)}
                                            : std::vector<TranslationEntry>{});
            c.showSubtitle();
            ASSERT_NE(c.window(), nullptr);
            EXPECT_TRUE(h.savePng(c.window(), QStringLiteral("subtitle-%1%2.png")
                                                  .arg(QString::fromLatin1(theme), withEntries ? "" : "-empty")));
        }
    }
}
