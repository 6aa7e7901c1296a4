// The course review sheet: recording playback and seeking through the fake
// player on virtual time, and the key field and empty course wired to the
// review model (whose rules CourseReviewModelTest covers).
#include "UiHarness.h"
#include "platform/Settings.h"
#include "ui/CoursePlaybackModel.h"

#include <QDir>
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
    bool enabled(const char *name) const { return h.find(name)->isEnabled(); }
};

} // namespace

TEST_F(ReviewFixture, HeaderShowsTimesDurationAndCountOfTheHostsOrTheEnginesCourse)
{
    open(makeCourse({}, {1, 2, 3}));
    const QString caption = h.text("headerCaption");
    EXPECT_TRUE(caption.endsWith(" · 时长 01:02:05 · 共 3 条")) << caption.toStdString();
    EXPECT_FALSE(h.shown("recordingBar"));
    // Without a recording a row click does nothing.
    h.click("entryRow1");
    EXPECT_EQ(playback->player(), nullptr);
    EXPECT_FALSE(playback->isPlayingRecording());

    // Without a host course the engine's completed course is shown.
    h.engine->startCourse();
    h.land(makeCourse({}, {1.0, 2.0, 3.0, 4.0}).entries);
    h.engine->endCourse();
    ASSERT_TRUE(waitFor([&] { return h.engine->hasCompletedCourse(); }));
    open(std::nullopt);
    EXPECT_TRUE(playback->hasCourse());
    EXPECT_TRUE(h.text("headerCaption").endsWith("共 4 条"));
}

TEST_F(ReviewFixture, SeekingClampsBeforeTheEndPauseThenPlayStartsFromZeroAndTheEndResetsTheButton)
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

    // Pause, then play: a new player from 0.
    first->advance(1.0);
    time->advance(0.25);
    EXPECT_DOUBLE_EQ(playback->playbackPosition(), 3.0);

    h.click("playButton"); // pause
    EXPECT_FALSE(first->isPlaying());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(h.text("playButton"), "播放录音");

    h.click("playButton"); // play: a new player from 0
    ASSERT_NE(player(), nullptr);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_DOUBLE_EQ(player()->currentTime(), 0.0);
    EXPECT_DOUBLE_EQ(playback->playbackPosition(), 0.0);
    EXPECT_TRUE(playback->isTimerRunning());

    // Reaching the end resets the button and shows the full duration.
    player()->advance(3.0);
    time->advance(0.25);
    EXPECT_EQ(h.text("playbackCaption"), "00:00:03 / 00:00:10");
    EXPECT_NEAR(playback->progress(), 0.3, 1e-9);
    player()->advance(20.0); // past the end
    time->advance(0.25);
    h.settle();
    EXPECT_FALSE(playback->isPlayingRecording());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(h.text("playButton"), "播放录音");
    EXPECT_EQ(symbol(), "play.fill");
    EXPECT_EQ(h.text("playbackCaption"), "00:00:10 / 00:00:10");
}

TEST_F(ReviewFixture, ClosingStopsPlayerAndTimerRevealSelectsTheRecordingAndAnUnreadableOneIsReported)
{
    const QString path = recording();
    open(makeCourse(path, {1.0}));
    h.click("revealRecordingButton");
    EXPECT_EQ(h.fakePlatform.desktop->revealed, QStringList{path});

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
    EXPECT_FALSE(playback->isPlayingRecording());

    // A recording that cannot be read is reported in the panel.
    QFile::remove(path);
    h.click("playButton");
    EXPECT_FALSE(playback->isPlayingRecording());
    EXPECT_TRUE(playback->review()->property("reviewMessage").toString().startsWith("无法播放录音："));
    h.settle();
    EXPECT_TRUE(h.shown("reviewFailed"));
}

TEST_F(ReviewFixture, KeyFieldEnablesTheActionsAndAnEmptyCourseShowsTheNotice)
{
    h.store->setValue(Keys::DeepSeekApiKey, QString());
    open(makeCourse({}, {1.0, 2.0}));
    for (const char *button : {"retranslateButton", "reviewButton", "saveKeyButton"})
        EXPECT_FALSE(enabled(button)) << button;
    h.typeInto("apiKeyField", "  sk-abc  ");
    EXPECT_EQ(h.store->string(Keys::DeepSeekApiKey), "sk-abc");
    for (const char *button : {"retranslateButton", "reviewButton", "saveKeyButton"})
        EXPECT_TRUE(enabled(button)) << button;
    EXPECT_TRUE(h.text("retranslateCaption").startsWith("把本节课 2 条英文原文"));

    open(makeCourse({}, {}));
    EXPECT_TRUE(h.shown("noEntries"));
    EXPECT_FALSE(h.shown("entryList"));
    EXPECT_FALSE(enabled("reviewButton"));
}

TEST_F(ReviewFixture, ScreenshotsInEveryTheme)
{
    h.store->setValue(Keys::DeepSeekApiKey, "sk-demo");
    for (const char *theme : kThemes) {
        h.store->setValue(Keys::UiTheme, theme);
        open(makeCourse(recording(), {1.5, 4.0, 7.25, 9.0, 12.0, 15.0, 18.0, 21.0, 24.0}));
        h.click("entryRow1");
        EXPECT_TRUE(savePng(h.window, QStringLiteral("review-%1").arg(theme)));
    }
}
