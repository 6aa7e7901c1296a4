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

TEST(UITheme, RawValuesInMenuOrderAndAnythingElseIsCyberpunk)
{
    const char *raw[] = {"cyberpunk", "swiss", "oled", "glass"};
    ASSERT_EQ(allThemes().size(), std::size(raw));
    for (size_t i = 0; i < std::size(raw); ++i)
        EXPECT_EQ(themeFromRaw(raw[i]), allThemes()[i]) << raw[i];
    for (const char *bad : {"", "Swiss", "cyberpunk ", "neon"})
        EXPECT_EQ(themeFromRaw(bad), UITheme::Cyberpunk) << bad;
}

TEST(AppBackgroundPainter, EachThemesOwnPattern)
{
    // Cyberpunk: white at 0.03 over the gradient; the cyan circle lights its
    // centre (centre + (−180, −160)).
    const QImage cyber = render(UITheme::Cyberpunk);
    EXPECT_TRUE(near(cyber.pixel(0, 0), c255(0.04 * 0.97 + 0.03), c255(0.05 * 0.97 + 0.03), c255(0.1 * 0.97 + 0.03)));
    const QRgb glow = cyber.pixel(800 - 180, 600 - 160);
    EXPECT_GT(qBlue(glow), qBlue(cyber.pixel(0, 0)) + 40);
    EXPECT_GT(qGreen(glow), qGreen(cyber.pixel(0, 0)) + 30);

    // Swiss: grid lines every 48 points, the red square at the centre + (−220, −220).
    const QImage swiss = render(UITheme::Swiss);
    EXPECT_LT(qRed(swiss.pixel(48, 300)), qRed(swiss.pixel(50, 300)));
    EXPECT_LT(qRed(swiss.pixel(300, 96)), qRed(swiss.pixel(300, 98)));
    const QRgb sq = swiss.pixel(800 - 220 + 1, 600 - 220 + 1);
    EXPECT_GT(qRed(sq) - qGreen(sq), 8);

    const QImage oled = render(UITheme::Oled);
    EXPECT_TRUE(near(oled.pixel(0, 0), 0, 0, 0, 0));
    EXPECT_TRUE(near(oled.pixel(800, 600), 0, 0, 0, 0));

    const QImage glass = render(UITheme::Glass);
    EXPECT_TRUE(near(glass.pixel(0, 0), c255(0.72), c255(0.82), c255(1.0)));
    EXPECT_GT(qRed(glass.pixel(800 - 180, 600 - 160)), c255(0.9)); // the white circle
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
    static QByteArray jpeg(QColor c = Qt::darkCyan)
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

TEST_F(BackgroundManagerTest, JpegStoredUnderPngNameShownAfterRestartUnreadableChoicesIgnoredAndClearKeepsTheFiles)
{
    const QByteArray bytes = jpeg();
    QString stored;
    {
        BackgroundManager m(&desktop);
        QSignalSpy spy(&m, &BackgroundManager::backgroundChanged);
        auto r = m.setBackground(bytes);
        ASSERT_TRUE(r.ok()) << r.error().message.toStdString();
        stored = r.value();
        EXPECT_EQ(stored, folder() + "/background-1700000000.png");
        EXPECT_EQ(m.backgroundImage().size(), QSize(64, 32));
        EXPECT_GE(spy.count(), 1);
        QFile f(stored);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes); // bytes unchanged, whatever the name says
        EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), stored);

        // Bytes that are no picture are refused before anything is written,
        // and a file that cannot be read changes nothing either.
        time->advance(5);
        EXPECT_FALSE(m.setBackground(QByteArray("plain text, not a picture")).ok());
        EXPECT_FALSE(m.setBackgroundFromFile(QUrl::fromLocalFile(dir.filePath("nope.jpg"))));
        EXPECT_TRUE(m.hasCustomBackground());
        EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), stored);
        EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 1);
    }
    BackgroundManager restarted(&desktop);
    EXPECT_TRUE(restarted.hasCustomBackground());

    // Another picture leaves two files, and clearing keeps them.
    time->advance(1.0);
    auto r = restarted.setBackground(jpeg(Qt::red));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), r.value());
    restarted.clearBackground();
    EXPECT_FALSE(restarted.hasCustomBackground());
    EXPECT_TRUE(restarted.backgroundImage().isNull());
    EXPECT_FALSE(settings->contains(Keys::CustomBackgroundImagePath));
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 2);
    BackgroundManager again(&desktop);
    EXPECT_FALSE(again.hasCustomBackground());
}

TEST_F(BackgroundManagerTest, BrokenOrMissingStoredPictureFallsBackAndKeepsKey)
{
    QFile text(dir.filePath("text.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not an image");
    text.close();
    for (const QString &path : {dir.filePath("missing.png"), text.fileName()}) {
        SCOPED_TRACE(path.toStdString());
        settings->setValue(Keys::CustomBackgroundImagePath, path);
        BackgroundManager m(&desktop);
        EXPECT_FALSE(m.hasCustomBackground());
        EXPECT_EQ(settings->string(Keys::CustomBackgroundImagePath), path);
    }
}

TEST_F(BackgroundManagerTest, MissingOrBlockedDataFolderMakesSaveFail)
{
    // No application-data folder, or one that cannot be created (a file sits where it should be).
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (const QString &data : {QString(), blocker.fileName()}) {
        SCOPED_TRACE(data.toStdString());
        fake::FakeDesktopServices services(dir.filePath("Desktop"), data, QString());
        BackgroundManager m(&services);
        EXPECT_FALSE(m.setBackground(jpeg()).ok());
        EXPECT_FALSE(m.hasCustomBackground());
        EXPECT_FALSE(settings->contains(Keys::CustomBackgroundImagePath));
    }
}
