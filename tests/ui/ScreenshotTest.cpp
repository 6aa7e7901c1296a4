// Renders the main window in every theme, with and without a custom
// picture, idle and recording with text and translations, to PNG files in
// <build>/ui-screenshots for a person to look at. Also checks that nothing
// in the window runs off its edges at the minimum size.
#include "UiHarness.h"

#include "platform/Settings.h"
#include "translation/TranslationPipeline.h"

#include <QPainter>
#include <QRadialGradient>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

QString makePicture(const QString &path)
{
    // Something photo-like: a warm sky, a hill and a bright sun.
    QImage img(1200, 800, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, 800);
    sky.setColorAt(0, QColor(250, 170, 90));
    sky.setColorAt(1, QColor(90, 60, 140));
    p.fillRect(img.rect(), sky);
    QRadialGradient sun(QPointF(850, 260), 160);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(1, QColor(255, 250, 220, 0));
    p.fillRect(img.rect(), sun);
    p.setBrush(QColor(40, 70, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(-300, 560, 1800, 700));
    p.end();
    img.save(path, "JPG");
    return path;
}

// A course recording for 754 s: three translated sentences, key points and
// the next sentence being heard.
void fillRecording(UiHarness &h, ScopedSettings &settings, ScopedVirtualTime &time)
{
    h.setDevices({{"mic-1", "USB 麦克风 (Blue Yeti)"}}, "mic-1");
    time->setNow(entryDate(31 - 740));
    h.click("courseStartButton");
    time->advance(0.5);
    // The first sentence is heard while the microphone delivers sound, so
    // the start's checks find audio and text.
    const auto first = makeEntry(1, "Good morning, everyone, and welcome back to thermodynamics.",
                                 "大家早上好，欢迎回到热力学课程。");
    h.translation->targets.insert(first.source, first.target);
    h.translation->hold = true;
    h.engine->pipeline().submitChunks({{first.source, first.audioTime}}, QStringLiteral("测试"));
    for (int i = 0; i < 9; ++i) {
        h.fakes->audioEngines->current->pushConstant(0.05f);
        time->advance(1);
    }
    time->setNow(first.timestamp);
    h.translation->release();
    time->advance(0);
    h.land({makeEntry(14, "Last week we defined entropy as a measure of disorder.", "上周我们把熵定义为无序程度的度量。"),
            makeEntry(31, "Today we will see why it never decreases in an isolated system.",
                      "今天我们将看到为什么在孤立系统中熵永远不会减少。")});
    EXPECT_TRUE(summarize(h.engine, *settings, {"熵是孤立系统无序程度的度量", "热量自发地从高温物体流向低温物体"}));
    // The next sentence being heard.
    time->advance(14.7);
    h.fakes->recognizer->lastTask()->deliverPartial(
        "So let us start with a simple example: two blocks of metal at different temperatures");
    for (int i = 0; i < 3; ++i)
        h.fakes->audioEngines->current->pushConstant(0.05f);
    time->advance(0);
    h.settle();
}

// Items whose right or bottom edge lies outside the window (a sign of
// clipping), ignoring what scrolls inside a list or scroll area.
QStringList overflowing(QQuickItem *root, QQuickItem *window)
{
    QStringList out;
    const QList<QQuickItem *> children = root->childItems();
    for (QQuickItem *c : children) {
        if (!c->isVisible() || c->inherits("QQuickFlickable") || c->width() <= 0)
            continue;
        const QRectF r = c->mapRectToItem(window, QRectF(0, 0, c->width(), c->height()));
        if (r.right() > window->width() + 0.5 || r.bottom() > window->height() + 0.5)
            out << QStringLiteral("%1 (%2) right %3, bottom %4")
                       .arg(c->objectName(), QString::fromLatin1(c->metaObject()->className()))
                       .arg(r.right())
                       .arg(r.bottom());
        out << overflowing(c, window);
    }
    return out;
}

} // namespace

class Screenshots : public ::testing::TestWithParam<const char *> {};

TEST_P(Screenshots, MainWindowInTheme)
{
    const QString theme = QString::fromLatin1(GetParam());
    for (bool picture : {false, true}) {
        for (bool recording : {false, true}) {
            ScopedSettings settings;
            ScopedVirtualTime time;
            settings->setValue(Keys::UiTheme, theme);
            UiHarness h;
            h.setDevices({}, QString());
            const QUrl sunset = QUrl::fromLocalFile(makePicture(h.dirs.filePath("Pictures/sunset.jpg")));
            if (picture && !h.app()->background()->setBackgroundFromFile(sunset))
                FAIL() << "the picture was refused";
            if (recording)
                fillRecording(h, settings, time);
            const QString name = QStringLiteral("main-%1-%2-%3")
                                     .arg(theme, picture ? "picture" : "plain", recording ? "recording" : "idle");
            EXPECT_TRUE(savePng(h.window(), name)) << name.toStdString();
            const QStringList over = overflowing(h.window()->contentItem(), h.window()->contentItem());
            EXPECT_TRUE(over.isEmpty()) << name.toStdString() << ": " << over.join("; ").toStdString();
            if (recording) {
                // The same at the default size and at a roomy one (key
                // points beside the translations).
                h.window()->resize(760, 640);
                EXPECT_TRUE(savePng(h.window(), name + "-760x640"));
                h.window()->resize(960, 700);
                EXPECT_TRUE(savePng(h.window(), name + "-960x700"));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllThemes, Screenshots, ::testing::ValuesIn(kThemes));
