// The course review sheet over the fake player on virtual time (the review
// model's rules are CourseReviewModelTest's).
#include "UiHarness.h"
#include "platform/Settings.h"
#include "ui/CoursePlaybackModel.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QQmlPropertyMap>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

CourseSession makeCourse(const QString &recording, std::vector<double> audioTimes)
{
    const Date start = Date::fromUnix(1'777'600'000.0);
    std::vector<TranslationEntry> entries;
    for (double t : audioTimes) {
        const int n = int(entries.size()) + 1;
        entries.emplace_back(start.addSeconds(t), QStringLiteral("Sentence number %1 of the lecture.").arg(n),
                             QStringLiteral("这是课堂上的第 %1 句话。").arg(n), t);
    }
    std::optional<QUrl> url;
    if (!recording.isEmpty())
        url = QUrl::fromLocalFile(recording);
    return CourseSession(start, start.addSeconds(3725.9), std::move(entries), url);
}

struct ReviewFixture : ::testing::Test {
    WindowHarness h;
    ScopedVirtualTime time;
    QQmlPropertyMap host;
    CoursePlaybackModel *playback = nullptr;

    // The sheet over `course`; without one, over the engine's completed course.
    void open(const std::optional<CourseSession> &course)
    {
        if (course)
            host.insert("reviewingCourse", QVariant::fromValue(*course));
        const QVariantMap initial{{"host", QVariant::fromValue<QObject *>(&host)}};
        ASSERT_NE(h.load("CourseReviewView.qml", QSize(1020, 640), course ? initial : QVariantMap()), nullptr)
            << h.lastError.toStdString();
        playback = h.view->property("playback").value<CoursePlaybackModel *>();
        ASSERT_NE(playback, nullptr);
    }
    fake::FakeAudioPlayer *player() const { return static_cast<fake::FakeAudioPlayer *>(playback->player()); }
    // A recording the fake player reads as 10 s long (16 kHz float samples).
    QString recording() const
    {
        const QString dir = h.fakePlatform.desktopPath() + QStringLiteral("/课程记录/课堂录音");
        QDir().mkpath(dir);
        QFile f(dir + QStringLiteral("/2026-05-01 09-00-00 课堂录音.caf"));
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(10 * 16000 * qsizetype(sizeof(float)), '\0'));
        return f.fileName();
    }
    QString symbol() const { return h.find("playbackSymbol")->property("name").toString(); }
    // The window point at `fraction` of the progress bar's width.
    QPoint onProgressBar(double fraction) const
    {
        QQuickItem *bar = h.find("playbackProgress");
        return bar->mapToScene(QPointF(bar->width() * fraction, bar->height() / 2)).toPoint();
    }
    // The rows showing the playing accent.
    QStringList highlightedRows() const
    {
        QStringList rows;
        for (QQuickItem *accent : h.findAll("playingAccent"))
            if (accent->isVisible())
                rows << accent->parentItem()->objectName();
        return rows;
    }
    // The row lies wholly inside the list's viewport.
    bool inView(const QString &row) const
    {
        QQuickItem *list = h.find("entryList");
        QQuickItem *item = h.find(row, list);
        if (!item)
            return false;
        const QRectF r = item->mapRectToItem(list, QRectF(0, 0, item->width(), item->height()));
        return r.top() >= 0 && r.bottom() <= list->height();
    }
    bool enabled(const char *name) const { return h.find(name)->isEnabled(); }
};

} // namespace

TEST_F(ReviewFixture, HeaderOfTheHostsOrTheEnginesCourseTheKeyFieldEnablesTheActionsAndAnEmptyCourse)
{
    h.store->setValue(Keys::DeepSeekApiKey, QString());
    open(makeCourse({}, {1, 2, 3}));
    const QString caption = h.text("headerCaption");
    EXPECT_TRUE(caption.endsWith(" · 时长 01:02:05 · 共 3 条")) << caption.toStdString();
    EXPECT_FALSE(h.shown("recordingBar"));
    h.click("entryRow1"); // without a recording: nothing
    EXPECT_EQ(playback->player(), nullptr);
    for (const char *button : {"retranslateButton", "reviewButton", "saveKeyButton"})
        EXPECT_FALSE(enabled(button)) << button;
    h.typeInto("apiKeyField", "  sk-abc  ");
    EXPECT_EQ(h.store->string(Keys::DeepSeekApiKey), "sk-abc");
    for (const char *button : {"retranslateButton", "reviewButton", "saveKeyButton"})
        EXPECT_TRUE(enabled(button)) << button;

    open(makeCourse({}, {}));
    EXPECT_TRUE(h.shown("noEntries"));
    EXPECT_FALSE(h.shown("entryList"));
    EXPECT_FALSE(enabled("reviewButton"));

    // Without a host course the engine's completed course is shown.
    h.engine->startCourse();
    h.land(makeCourse({}, {1.0, 2.0, 3.0, 4.0}).entries);
    h.engine->endCourse();
    ASSERT_TRUE(waitFor([&] { return h.engine->hasCompletedCourse(); }));
    open(std::nullopt);
    EXPECT_TRUE(h.text("headerCaption").endsWith("共 4 条"));
}

TEST_F(ReviewFixture, RowsSeekClampedBeforeTheEndPauseThenPlayStartsFromZeroAndTheEndResetsTheButton)
{
    open(makeCourse(recording(), {2.0, 12.0}));
    ASSERT_TRUE(h.shown("recordingBar"));
    EXPECT_EQ(h.text("playbackCaption"), "2026-05-01 09-00-00 课堂录音.caf");
    h.click("entryRow1");
    ASSERT_NE(player(), nullptr);
    EXPECT_DOUBLE_EQ(player()->currentTime(), 9.5);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(h.text("playButton"), "暂停");
    EXPECT_EQ(symbol(), "pause.fill");
    EXPECT_EQ(h.text("playbackCaption"), "00:00:09 / 00:00:10");

    // Another row while playing: the same player jumps.
    fake::FakeAudioPlayer *first = player();
    h.click("entryRow0");
    EXPECT_EQ(player(), first);
    EXPECT_DOUBLE_EQ(first->currentTime(), 2.0);

    h.click("playButton"); // pause
    EXPECT_FALSE(first->isPlaying());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(h.text("playButton"), "播放录音");
    h.click("playButton"); // play: a new player from 0
    ASSERT_NE(player(), nullptr);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_DOUBLE_EQ(player()->currentTime(), 0.0);

    // The position follows the player; the end resets the button.
    player()->advance(3.0);
    time->advance(0.25);
    EXPECT_EQ(h.text("playbackCaption"), "00:00:03 / 00:00:10");
    EXPECT_NEAR(playback->progress(), 0.3, 1e-9);
    player()->advance(20.0); // past the end
    time->advance(0.25);
    h.settle();
    EXPECT_FALSE(playback->isPlayingRecording());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(symbol(), "play.fill");
    EXPECT_EQ(h.text("playbackCaption"), "00:00:10 / 00:00:10");
}

TEST_F(ReviewFixture, SeekToFractionClampsAndThePlayingEntryFollowsThePosition)
{
    CoursePlaybackModel m;
    m.setCourse(makeCourse(recording(), {2.0, 4.0, 4.0, 7.0}));
    QSignalSpy entryChanges(&m, &CoursePlaybackModel::playingEntryIndexChanged);
    m.seekToFraction(0.1); // before the first entry; the first seek opens the player
    auto *p = static_cast<fake::FakeAudioPlayer *>(m.player());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(m.playingEntryIndex(), -1);
    p->advance(3.5); // 4.5: the later of two entries at 4 s
    time->advance(0.25);
    EXPECT_EQ(m.playingEntryIndex(), 2);
    m.seekToFraction(3.0); // half a second before the end; the last entry lasts until then
    EXPECT_DOUBLE_EQ(p->currentTime(), 9.5);
    EXPECT_EQ(m.playingEntryIndex(), 3);
    m.seekToFraction(-1.0);
    EXPECT_DOUBLE_EQ(p->currentTime(), 0.0);
    EXPECT_EQ(m.playingEntryIndex(), -1);
    EXPECT_EQ(entryChanges.count(), 3);

    // Paused there is no entry being heard; a seek plays again.
    m.seekToFraction(0.5);
    m.togglePlayback();
    EXPECT_EQ(m.playingEntryIndex(), -1);
    m.seekToFraction(0.75);
    EXPECT_EQ(m.player(), p);
    EXPECT_TRUE(p->isPlaying());
    EXPECT_TRUE(m.isTimerRunning());
    EXPECT_EQ(m.playingEntryIndex(), 3);
}

TEST_F(ReviewFixture, ProgressBarSeeksOnClickAndOnReleaseOfADragAndThePlayedRowIsHighlightedInView)
{
    std::vector<double> times;
    for (int i = 0; i < 30; ++i)
        times.push_back(0.1 + 0.3 * i);
    open(makeCourse(recording(), times));
    ASSERT_TRUE(h.shown("playbackProgress")); // seekable before anything played
    EXPECT_TRUE(highlightedRows().isEmpty());
    ASSERT_TRUE(inView("entryRow0"));
    ASSERT_FALSE(inView("entryRow26"));

    QTest::mouseClick(h.window, Qt::LeftButton, {}, onProgressBar(0.8));
    h.settle();
    ASSERT_NE(player(), nullptr);
    EXPECT_NEAR(player()->currentTime(), 8.0, 0.05); // within a pixel
    EXPECT_EQ(highlightedRows(), QStringList{"entryRow26"});
    EXPECT_TRUE(inView("entryRow26"));

    // Dragging previews under the handle and seeks where it is let go.
    QTest::mousePress(h.window, Qt::LeftButton, {}, onProgressBar(0.2));
    EXPECT_NEAR(player()->currentTime(), 2.0, 0.05);
    QTest::mouseMove(h.window, onProgressBar(0.4));
    QTest::mouseMove(h.window, onProgressBar(0.6));
    h.settle();
    QQuickItem *handle = h.find("playbackHandle");
    EXPECT_NEAR(handle->x() + handle->width() / 2, h.find("playbackProgress")->width() * 0.6, 1.5);
    EXPECT_NEAR(player()->currentTime(), 2.0, 0.05);
    QTest::mouseRelease(h.window, Qt::LeftButton, {}, onProgressBar(0.6));
    h.settle();
    EXPECT_NEAR(player()->currentTime(), 6.0, 0.05);
    EXPECT_EQ(highlightedRows(), QStringList{"entryRow19"});
    EXPECT_TRUE(inView("entryRow19"));
}

TEST_F(ReviewFixture, FilesOpenOrShowClosingStopsThePlayerAndAnUnreadableRecordingIsReported)
{
    const QString recorded = recording();
    open(makeCourse(recorded, {1.0}));
    EXPECT_FALSE(h.shown("exportMessage"));
    playback->reviewModel()->exportSubtitle("srt");
    h.settle();
    const QString exported = playback->reviewModel()->exportedPath();
    EXPECT_EQ(h.text("exportMessageText"), "字幕已导出：" + QFileInfo(exported).fileName());
    h.click("openExportedButton");
    h.click("revealExportedButton");
    h.click("revealRecordingButton");
    EXPECT_EQ(h.fakePlatform.desktop->opened, QStringList{exported});
    EXPECT_EQ(h.fakePlatform.desktop->revealed, (QStringList{exported, recorded}));
    h.click("dismissExportButton");
    EXPECT_FALSE(h.shown("exportMessage"));

    QSignalSpy dismissed(h.view, SIGNAL(dismiss()));
    h.click("playButton");
    ASSERT_TRUE(playback->isTimerRunning());
    QTest::keyClick(h.window, Qt::Key_Escape, Qt::ControlModifier);
    h.settle();
    EXPECT_EQ(dismissed.count(), 1);
    h.click("closeButton");
    EXPECT_EQ(dismissed.count(), 2);
    fake::FakeAudioPlayer *p = player();
    playback->stopPlayback();
    EXPECT_FALSE(p->isPlaying());
    EXPECT_FALSE(playback->isTimerRunning());

    QFile::remove(recorded);
    h.click("playButton");
    EXPECT_FALSE(playback->isPlayingRecording());
    EXPECT_TRUE(playback->review()->property("reviewMessage").toString().startsWith("无法播放录音："));
    h.settle();
    EXPECT_TRUE(h.shown("reviewFailed"));
}

TEST_F(ReviewFixture, ScreenshotsInEveryTheme)
{
    h.store->setValue(Keys::DeepSeekApiKey, "sk-demo");
    for (const char *theme : kThemes) {
        h.store->setValue(Keys::UiTheme, theme);
        open(makeCourse(recording(), {0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.25, 9.0}));
        playback->seekToFraction(0.75);
        playback->reviewModel()->exportSubtitle("srt");
        EXPECT_TRUE(savePng(h.window, QStringLiteral("review-playing-export-%1").arg(theme)));
        // The message above the list pushes nothing being heard out of view.
        EXPECT_TRUE(inView("entryRow7")) << theme;
    }
}
