// Renders the main window in every theme while recording, once over a custom
// picture, and the permission view, to PNG files in <build>/ui-screenshots
// for a person to look at.
#include "UiHarness.h"

#include "platform/Settings.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

QString makePicture(const QString &path)
{
    // A warm sky over a dark hill.
    QImage img(1200, 800, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, 800);
    sky.setColorAt(0, QColor(250, 170, 90));
    sky.setColorAt(1, QColor(90, 60, 140));
    p.fillRect(img.rect(), sky);
    p.setBrush(QColor(40, 70, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(-300, 560, 1800, 700));
    p.end();
    img.save(path, "JPG");
    return path;
}

void fillRecording(UiHarness &h)
{
    h.setDevices({{"mic-1", "USB 麦克风 (Blue Yeti)"}}, "mic-1");
    h.engine->setEntries({makeEntry(1, "Good morning, everyone, and welcome back to thermodynamics.",
                                    "大家早上好，欢迎回到热力学课程。"),
                          makeEntry(14, "Last week we defined entropy as a measure of disorder.",
                                    "上周我们把熵定义为无序程度的度量。"),
                          makeEntry(31, "Today we will see why it never decreases in an isolated system.",
                                    "今天我们将看到为什么在孤立系统中熵永远不会减少。")});
    const std::pair<const char *, QVariant> values[] = {
        {"recognizedText", "So let us start with a simple example: two blocks of metal at different temperatures"},
        {"level", 0.42f},
        {"audioActive", true},
        {"sessionDuration", 754.2},
        {"courseDuration", 754.2},
        {"isCourseActive", true},
        {"isTranslating", true},
        {"summaryPoints", QStringList{"熵是孤立系统无序程度的度量", "热量自发地从高温物体流向低温物体"}},
        {"isRecording", true},
    };
    for (const auto &[name, value] : values)
        h.engine->setProperty(name, value);
}

// Items whose right or bottom edge lies outside the window (a sign of
// clipping), ignoring what sits inside the scrolling transcript.
QStringList overflowing(QQuickItem *root, QQuickItem *window, QQuickItem *scrollArea)
{
    QStringList out;
    const QList<QQuickItem *> children = root->childItems();
    for (QQuickItem *c : children) {
        if (!c->isVisible() || c == scrollArea || c->width() <= 0)
            continue;
        const QRectF r = c->mapRectToItem(window, QRectF(0, 0, c->width(), c->height()));
        if (r.right() > window->width() + 0.5 || r.bottom() > window->height() + 0.5)
            out << QStringLiteral("%1 (%2) %3,%4 %5x%6")
                       .arg(c->objectName(), QString::fromLatin1(c->metaObject()->className()))
                       .arg(r.x())
                       .arg(r.y())
                       .arg(r.width())
                       .arg(r.height());
        out << overflowing(c, window, scrollArea);
    }
    return out;
}

} // namespace

class Screenshots : public ::testing::TestWithParam<const char *> {};

// Recording with text and translations at the minimum size: one picture per
// theme, and nothing runs off the window's edges.
TEST_P(Screenshots, MainWindowRecordingInTheme)
{
    const QString theme = QString::fromLatin1(GetParam());
    ScopedSettings settings;
    settings->setValue(Keys::UiTheme, theme);
    UiHarness h;
    fillRecording(h);
    EXPECT_TRUE(savePng(h.window(), "main-" + theme));
    const QStringList over =
        overflowing(h.window()->contentItem(), h.window()->contentItem(), h.find("transcriptFlick"));
    EXPECT_TRUE(over.isEmpty()) << theme.toStdString() << ": " << over.join("; ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllThemes, Screenshots, ::testing::ValuesIn(kThemes));

TEST(ScreenshotsMain, CustomPictureAndPermissionView)
{
    ScopedSettings settings;
    {
        UiHarness h;
        const QUrl sunset = QUrl::fromLocalFile(makePicture(h.dirs.filePath("Pictures/sunset.jpg")));
        ASSERT_TRUE(h.app()->background()->setBackgroundFromFile(sunset));
        EXPECT_TRUE(savePng(h.window(), "main-picture"));
    }
    UiHarness h(false);
    h.permissions->set(1, 3);
    EXPECT_TRUE(savePng(h.window(), "permission-denied"));
}
