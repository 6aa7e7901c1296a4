// Themes, the background painter and the custom background store.
#include "platform/Settings.h"
#include "platform/fake/FakeDesktopServices.h"
#include "support/TestEnv.h"
#include "ui/AppBackground.h"
#include "ui/BackgroundManager.h"
#include "ui/UITheme.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;

namespace {

::testing::AssertionResult near(QRgb px, int r, int g, int b, int tol = 3)
{
    if (std::abs(qRed(px) - r) <= tol && std::abs(qGreen(px) - g) <= tol && std::abs(qBlue(px) - b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << qRed(px) << ", " << qGreen(px) << ", " << qBlue(px)
                                         << ") expected (" << r << ", " << g << ", " << b << ")";
}

// Large enough that the blurred circles and the swiss square stay away from the corners.
QImage render(UITheme t, const QImage *picture = nullptr, QSize size = QSize(1600, 1200))
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::magenta);
    QPainter p(&img);
    paintAppBackground(p, QRectF(QPointF(0, 0), QSizeF(size)), t, picture);
    return img;
}

int c255(double v)
{
    return int(std::lround(v * 255));
}

} // namespace

TEST(UITheme, RawValuesAndUnknownFallBackToCyberpunk)
{
    EXPECT_EQ(themeFromRaw("swiss"), UITheme::Swiss);
    EXPECT_EQ(themeFromRaw("oled"), UITheme::Oled);
    EXPECT_EQ(themeFromRaw("glass"), UITheme::Glass);
    EXPECT_EQ(themeFromRaw("cyberpunk"), UITheme::Cyberpunk);
    for (const char *bad : {"", "Swiss", "cyberpunk ", "neon"})
        EXPECT_EQ(themeFromRaw(bad), UITheme::Cyberpunk) << bad;
    EXPECT_EQ(customPictureDimming(themeFromRaw("neon")), 0.5);
    EXPECT_EQ(customPictureDimming(UITheme::Swiss), 0.3);
    EXPECT_EQ(customPictureDimming(UITheme::Glass), 0.3);
    EXPECT_EQ(customPictureDimming(UITheme::Oled), 0.5);

    EXPECT_TRUE(isDarkAppearance(UITheme::Cyberpunk));
    EXPECT_FALSE(isDarkAppearance(UITheme::Swiss));
    EXPECT_TRUE(isDarkAppearance(UITheme::Oled));
    EXPECT_FALSE(isDarkAppearance(UITheme::Glass));

    QStringList names;
    for (UITheme t : allThemes())
        names << displayName(t);
    EXPECT_EQ(names, (QStringList{"赛博朋克", "极简瑞士", "OLED 暗黑", "玻璃拟态"}));
}

TEST(UITheme, PaletteAndGradients)
{
    EXPECT_EQ(palette(UITheme::Swiss).primary, QColor::fromRgbF(0.85f, 0.1f, 0.1f));
    EXPECT_EQ(palette(UITheme::Oled).cardFill, QColor::fromRgbF(0.03f, 0.03f, 0.03f));
    EXPECT_NEAR(palette(UITheme::Cyberpunk).stroke.alphaF(), 0.35, 0.01);
    EXPECT_NEAR(palette(UITheme::Glass).stroke.alphaF(), 0.65, 0.01);
    EXPECT_TRUE(palette(UITheme::Glass).cardIsMaterial);
    EXPECT_FALSE(palette(UITheme::Swiss).cardIsMaterial);

    const auto cyber = primaryGradientColors(UITheme::Cyberpunk);
    ASSERT_EQ(cyber.size(), 3u);
    EXPECT_EQ(cyber[0], palette(UITheme::Cyberpunk).primary);
    EXPECT_EQ(cyber[1], palette(UITheme::Cyberpunk).tertiary);
    EXPECT_EQ(cyber[2], palette(UITheme::Cyberpunk).secondary);
    EXPECT_EQ(primaryGradientColors(UITheme::Swiss).back(), QColor::fromRgbF(0.55f, 0.08f, 0.08f));
    EXPECT_EQ(primaryGradientColors(UITheme::Glass)[1], palette(UITheme::Glass).secondary);
}

TEST(UITheme, ModelFollowsStoredThemeAndStoresSelection)
{
    test::ScopedSettings s;
    ThemeModel m;
    EXPECT_EQ(m.name(), "cyberpunk");
    QSignalSpy spy(&m, &ThemeModel::changed);
    m.select("glass");
    EXPECT_EQ(s->string(Keys::UiTheme), "glass");
    EXPECT_EQ(m.name(), "glass");
    EXPECT_FALSE(m.isDark());
    s->setValue(Keys::UiTheme, "nonsense");
    EXPECT_EQ(m.name(), "cyberpunk");
    EXPECT_EQ(m.displayName(), "赛博朋克");
    EXPECT_EQ(spy.count(), 2);
}

TEST(AppBackgroundPainter, GradientEndsOfEachTheme)
{
    // Cyberpunk: diagonal gradient, with white at 0.03 over the top and bottom edges.
    const QImage cyber = render(UITheme::Cyberpunk);
    auto withWhite = [](double v) { return c255(v * 0.97 + 0.03); };
    EXPECT_TRUE(near(cyber.pixel(0, 0), withWhite(0.04), withWhite(0.05), withWhite(0.1)));
    EXPECT_TRUE(near(cyber.pixel(1599, 1199), withWhite(0.03), withWhite(0.08), withWhite(0.14)));
    // The cyan circle lights its centre (centre + (−180, −160)).
    const QRgb glow = cyber.pixel(800 - 180, 600 - 160);
    EXPECT_GT(qBlue(glow), qBlue(cyber.pixel(0, 0)) + 40);
    EXPECT_GT(qGreen(glow), qGreen(cyber.pixel(0, 0)) + 30);

    const QImage swiss = render(UITheme::Swiss);
    EXPECT_TRUE(near(swiss.pixel(5, 5), c255(0.98), c255(0.98), c255(0.97)));
    EXPECT_TRUE(near(swiss.pixel(1594, 1194), c255(0.94), c255(0.94), c255(0.92)));
    // Grid lines every 48 points: slightly darker than the cells beside them.
    EXPECT_LT(qRed(swiss.pixel(48, 300)), qRed(swiss.pixel(50, 300)));
    EXPECT_LT(qRed(swiss.pixel(300, 96)), qRed(swiss.pixel(300, 98)));
    // The red square at the centre + (−220, −220) tints towards red.
    const QRgb sq = swiss.pixel(800 - 220 + 1, 600 - 220 + 1);
    EXPECT_GT(qRed(sq) - qGreen(sq), 8);

    const QImage oled = render(UITheme::Oled);
    EXPECT_TRUE(near(oled.pixel(0, 0), 0, 0, 0, 0));
    EXPECT_TRUE(near(oled.pixel(800, 600), 0, 0, 0, 0));

    const QImage glass = render(UITheme::Glass);
    EXPECT_TRUE(near(glass.pixel(0, 0), c255(0.72), c255(0.82), c255(1.0)));
    EXPECT_TRUE(near(glass.pixel(1599, 1199), c255(1.0), c255(0.84), c255(0.92)));
    // The white circle brightens the middle of the left-top area.
    const QRgb white = glass.pixel(800 - 180, 600 - 160);
    EXPECT_GT(qRed(white), c255(0.9));
}

TEST(AppBackgroundPainter, BlurredCircleHasSoftGaussianEdge)
{
    // Along a ray from the cyan circle's centre the tint falls smoothly: no hard rim.
    const QImage img = render(UITheme::Cyberpunk);
    const int cx = 800 - 180, cy = 600 - 160;
    int previous = 256, maxStep = 0;
    for (int d = 0; d <= 320; d += 8) {
        const int g = qGreen(img.pixel(cx - d, cy));
        if (previous != 256)
            maxStep = std::max(maxStep, std::abs(previous - g));
        previous = g;
    }
    EXPECT_LE(maxStep, 12);
    // Well outside (radius 190 + 3σ) the circle no longer tints.
    EXPECT_LT(qGreen(img.pixel(cx - 300, cy)), qGreen(img.pixel(cx - 120, cy)));
}

TEST(AppBackgroundPainter, CustomPictureDimmedTintedAndFilling)
{
    QImage pic(100, 50, QImage::Format_RGB32);
    pic.fill(QColor(200, 100, 50));
    // Dim 0.5 then primary (0, 0.9, 1.0) at 0.06.
    const QImage cyber = render(UITheme::Cyberpunk, &pic, QSize(400, 300));
    EXPECT_TRUE(near(cyber.pixel(200, 150), c255((200 / 255.0 * 0.5) * 0.94), c255((100 / 255.0 * 0.5) * 0.94 + 0.9 * 0.06),
                     c255((50 / 255.0 * 0.5) * 0.94 + 0.06)));
    // Dim 0.3 then primary (0.85, 0.1, 0.1) at 0.06.
    const QImage swiss = render(UITheme::Swiss, &pic, QSize(400, 300));
    EXPECT_TRUE(near(swiss.pixel(10, 10), c255((200 / 255.0 * 0.7) * 0.94 + 0.85 * 0.06),
                     c255((100 / 255.0 * 0.7) * 0.94 + 0.1 * 0.06), c255((50 / 255.0 * 0.7) * 0.94 + 0.1 * 0.06)));
    // Scaled to fill, centred and cropped: a picture with a left red and right
    // blue half keeps its split in the middle and covers every corner.
    QImage split(100, 50, QImage::Format_RGB32);
    split.fill(Qt::blue);
    QPainter(&split).fillRect(0, 0, 50, 50, Qt::red);
    const QImage filled = render(UITheme::Glass, &split, QSize(300, 400));
    EXPECT_GT(qRed(filled.pixel(140, 200)), qBlue(filled.pixel(140, 200)));
    EXPECT_GT(qBlue(filled.pixel(160, 200)), qRed(filled.pixel(160, 200)));
    for (QPoint corner : {QPoint(0, 0), QPoint(299, 0), QPoint(0, 399), QPoint(299, 399)})
        EXPECT_NE(filled.pixel(corner), QColor(Qt::magenta).rgb());
}

class BackgroundManagerTest : public ::testing::Test {
protected:
    BackgroundManagerTest()
        : desktop(dir.filePath("Desktop"), dir.filePath("data"), dir.filePath("Pictures"))
    {
        time->setNow(Date::fromUnix(1'700'000'000.0));
    }
    QByteArray jpeg(QColor c = Qt::darkCyan)
    {
        QImage img(64, 32, QImage::Format_RGB32);
        img.fill(c);
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "JPG");
        return bytes;
    }
    QString folder() const { return dir.filePath("data/Voxleaf/Backgrounds"); }

    QTemporaryDir dir;
    test::ScopedSettings settings;
    test::ScopedVirtualTime time;
    fake::FakeDesktopServices desktop;
};

TEST_F(BackgroundManagerTest, JpegStoredUnderPngNameAndShownAgainAfterRestart)
{
    const QByteArray bytes = jpeg();
    {
        BackgroundManager m(&desktop);
        EXPECT_FALSE(m.hasCustomBackground());
        QSignalSpy spy(&m, &BackgroundManager::backgroundChanged);
        auto r = m.setBackground(bytes);
        ASSERT_TRUE(r.ok()) << r.error().message.toStdString();
        EXPECT_EQ(r.value(), folder() + "/background-1700000000.png");
        EXPECT_TRUE(m.hasCustomBackground());
        EXPECT_EQ(m.backgroundImage().size(), QSize(64, 32));
        EXPECT_GE(spy.count(), 1);
        QFile f(r.value());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes); // bytes unchanged, whatever the name says
        EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), r.value());
    }
    BackgroundManager restarted(&desktop);
    EXPECT_TRUE(restarted.hasCustomBackground());
}

TEST_F(BackgroundManagerTest, ThreePicturesLeaveThreeFilesAndClearKeepsThem)
{
    BackgroundManager m(&desktop);
    QString last;
    for (int i = 0; i < 3; ++i) {
        auto r = m.setBackground(jpeg(QColor(i * 60, 0, 0)));
        ASSERT_TRUE(r.ok());
        last = r.value();
        time->advance(1.0);
    }
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), last);

    m.clearBackground();
    EXPECT_FALSE(m.hasCustomBackground());
    EXPECT_TRUE(m.backgroundImage().isNull());
    EXPECT_FALSE(settings->contains(Keys::CustomBackgroundImagePath));
    EXPECT_TRUE(QFile::exists(last));
    BackgroundManager restarted(&desktop);
    EXPECT_FALSE(restarted.hasCustomBackground());
}

TEST_F(BackgroundManagerTest, BrokenOrMissingStoredPictureFallsBackAndKeepsKey)
{
    settings->setValue(Keys::CustomBackgroundImagePath, dir.filePath("missing.png"));
    BackgroundManager missing(&desktop);
    EXPECT_FALSE(missing.hasCustomBackground());
    EXPECT_TRUE(settings->contains(Keys::CustomBackgroundImagePath));

    QFile f(dir.filePath("text.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not an image");
    f.close();
    settings->setValue(Keys::CustomBackgroundImagePath, f.fileName());
    BackgroundManager notImage(&desktop);
    EXPECT_FALSE(notImage.hasCustomBackground());
    EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), f.fileName());
}

TEST_F(BackgroundManagerTest, UnreadableChoiceLeavesCurrentBackground)
{
    BackgroundManager m(&desktop);
    auto first = m.setBackground(jpeg());
    ASSERT_TRUE(first.ok());
    time->advance(5);
    // Bytes that are no picture: refused before anything is written.
    auto bad = m.setBackground(QByteArray("plain text, not a picture"));
    EXPECT_FALSE(bad.ok());
    EXPECT_TRUE(m.hasCustomBackground());
    EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), first.value());
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 1);
    // A file that cannot be read.
    EXPECT_FALSE(m.setBackgroundFromFile(QUrl::fromLocalFile(dir.filePath("nope.jpg"))));
    EXPECT_TRUE(m.hasCustomBackground());
}

TEST_F(BackgroundManagerTest, NoApplicationDataFolderMakesSaveFail)
{
    fake::FakeDesktopServices none(dir.filePath("Desktop"), QString(), QString());
    BackgroundManager m(&none);
    auto r = m.setBackground(jpeg());
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(m.hasCustomBackground());
    EXPECT_FALSE(settings->contains(Keys::CustomBackgroundImagePath));

    // A folder that cannot be created (a file sits where it should be).
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    fake::FakeDesktopServices blocked(dir.filePath("Desktop"), blocker.fileName(), QString());
    BackgroundManager b(&blocked);
    EXPECT_FALSE(b.setBackground(jpeg()).ok());
}
