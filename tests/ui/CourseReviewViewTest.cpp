// The course review sheet: recording playback and seeking through the fake
// player on virtual time, the key field, the action buttons' enabling and the
// empty course.
#include "WindowTestHarness.h"
#include "platform/Settings.h"
#include "ui/CoursePlaybackModel.h"

#include <QDir>
#include <QFile>
#include <QQmlPropertyMap>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

QString key(const char *k)
{
    return QString::fromLatin1(k);
}

// A recording the fake player reads as `seconds` long (16 kHz float samples).
QString writeRecording(const QString &desktop, double seconds)
{
    const QString dir = desktop + QStringLiteral("/课程记录/课堂录音");
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/2026-05-01 09-00-00 课堂录音.caf");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray(qsizetype(seconds * 16000) * qsizetype(sizeof(float)), '\0'));
    return path;
}

CourseSession makeCourse(const QString &recording, std::vector<double> audioTimes)
{
    const Date start = Date::fromUnix(1'777'600'000.0);
    std::vector<TranslationEntry> entries;
    int n = 0;
    for (double t : audioTimes) {
        ++n;
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
    QObject *review = nullptr;

    void open(const CourseSession &course)
    {
        host.insert(QStringLiteral("reviewingCourse"), QVariant::fromValue(course));
        ASSERT_NE(h.load(QStringLiteral("CourseReviewView.qml"), QSize(1020, 640),
                         {{QStringLiteral("host"), QVariant::fromValue<QObject *>(&host)}}),
                  nullptr)
            << h.lastError.toStdString();
        playback = h.view->property("playback").value<CoursePlaybackModel *>();
        ASSERT_NE(playback, nullptr);
        review = playback->review();
        ASSERT_NE(review, nullptr);
    }
    fake::FakeAudioPlayer *player() const { return static_cast<fake::FakeAudioPlayer *>(playback->player()); }
    QString desktop() const { return h.fakePlatform.desktopPath(); }
};

} // namespace

TEST_F(ReviewFixture, HeaderShowsTimesDurationAndCount)
{
    open(makeCourse({}, {1, 2, 3}));
    const QString caption = h.text(QStringLiteral("headerCaption"));
    EXPECT_TRUE(caption.endsWith(QStringLiteral(" · 时长 01:02:05 · 共 3 条"))) << caption.toStdString();
    EXPECT_TRUE(caption.contains(QStringLiteral(" ～ ")));
    EXPECT_FALSE(h.shown(QStringLiteral("recordingBar")));
    // Without a recording a row click does nothing.
    h.click(QStringLiteral("entryRow1"));
    EXPECT_EQ(playback->player(), nullptr);
    EXPECT_FALSE(playback->isPlayingRecording());
}

TEST_F(ReviewFixture, SeekingClampsToHalfASecondBeforeTheEnd)
{
    open(makeCourse(writeRecording(desktop(), 10), {2.0, 12.0}));
    ASSERT_TRUE(h.shown(QStringLiteral("recordingBar")));
    EXPECT_EQ(h.text(QStringLiteral("playbackCaption")), QStringLiteral("2026-05-01 09-00-00 课堂录音.caf"));
    h.click(QStringLiteral("entryRow1"));
    ASSERT_NE(player(), nullptr);
    EXPECT_DOUBLE_EQ(player()->currentTime(), 9.5);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(h.text(QStringLiteral("playButton")), QStringLiteral("暂停"));
    EXPECT_EQ(h.find(QStringLiteral("playbackSymbol"))->property("name").toString(), QStringLiteral("pause.fill"));
    EXPECT_EQ(h.text(QStringLiteral("playbackCaption")), QStringLiteral("00:00:09 / 00:00:10"));

    // Another row while playing: the same player jumps.
    fake::FakeAudioPlayer *first = player();
    h.click(QStringLiteral("entryRow0"));
    EXPECT_EQ(player(), first);
    EXPECT_DOUBLE_EQ(first->currentTime(), 2.0);
}

TEST_F(ReviewFixture, PauseThenPlayStartsAgainFromZero)
{
    open(makeCourse(writeRecording(desktop(), 10), {4.0}));
    h.click(QStringLiteral("entryRow0"));
    fake::FakeAudioPlayer *first = player();
    ASSERT_NE(first, nullptr);
    first->advance(1.0);
    time->advance(0.25);
    EXPECT_DOUBLE_EQ(playback->playbackPosition(), 5.0);

    h.click(QStringLiteral("playButton")); // pause
    EXPECT_FALSE(first->isPlaying());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(h.text(QStringLiteral("playButton")), QStringLiteral("播放录音"));

    h.click(QStringLiteral("playButton")); // play: a new player from 0
    ASSERT_NE(player(), nullptr);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_DOUBLE_EQ(player()->currentTime(), 0.0);
    EXPECT_DOUBLE_EQ(playback->playbackPosition(), 0.0);
    EXPECT_TRUE(playback->isTimerRunning());
}

TEST_F(ReviewFixture, ReachingTheEndResetsTheButtonAndShowsTheFullDuration)
{
    open(makeCourse(writeRecording(desktop(), 10), {1.0}));
    h.click(QStringLiteral("playButton"));
    ASSERT_NE(player(), nullptr);
    player()->advance(3.0);
    time->advance(0.25);
    EXPECT_EQ(h.text(QStringLiteral("playbackCaption")), QStringLiteral("00:00:03 / 00:00:10"));
    EXPECT_NEAR(playback->progress(), 0.3, 1e-9);
    player()->advance(20.0); // past the end
    time->advance(0.25);
    h.settle();
    EXPECT_FALSE(playback->isPlayingRecording());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(h.text(QStringLiteral("playButton")), QStringLiteral("播放录音"));
    EXPECT_EQ(h.find(QStringLiteral("playbackSymbol"))->property("name").toString(), QStringLiteral("play.fill"));
    EXPECT_EQ(h.text(QStringLiteral("playbackCaption")), QStringLiteral("00:00:10 / 00:00:10"));
}

TEST_F(ReviewFixture, ClosingStopsPlayerAndTimer)
{
    open(makeCourse(writeRecording(desktop(), 10), {1.0}));
    QSignalSpy dismissed(h.view, SIGNAL(dismiss()));
    h.click(QStringLiteral("playButton"));
    ASSERT_TRUE(playback->isTimerRunning());
    QTest::keyClick(h.window, Qt::Key_Escape, Qt::ControlModifier);
    h.settle();
    EXPECT_EQ(dismissed.count(), 1);
    h.click(QStringLiteral("closeButton"));
    EXPECT_EQ(dismissed.count(), 2);

    fake::FakeAudioPlayer *p = player();
    playback->stopPlayback();
    EXPECT_FALSE(p->isPlaying());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_FALSE(playback->isPlayingRecording());
}

TEST_F(ReviewFixture, RevealSelectsTheRecording)
{
    const QString path = writeRecording(desktop(), 10);
    open(makeCourse(path, {1.0}));
    h.click(QStringLiteral("revealRecordingButton"));
    EXPECT_EQ(h.fakePlatform.desktop->revealed, QStringList{path});
}

TEST_F(ReviewFixture, UnreadableRecordingIsReportedInThePanel)
{
    const QString path = writeRecording(desktop(), 10);
    open(makeCourse(path, {1.0}));
    QFile::remove(path);
    h.click(QStringLiteral("playButton"));
    EXPECT_FALSE(playback->isPlayingRecording());
    EXPECT_TRUE(review->property("reviewMessage").toString().startsWith(QStringLiteral("无法播放录音：")));
    h.settle();
    EXPECT_TRUE(h.shown(QStringLiteral("reviewFailed")));
}

TEST_F(ReviewFixture, ActionButtonsNeedAKeyAndEntries)
{
    h.store->setValue(key(Keys::DeepSeekApiKey), QString());
    open(makeCourse({}, {1.0, 2.0}));
    EXPECT_FALSE(h.find(QStringLiteral("retranslateButton"))->isEnabled());
    EXPECT_FALSE(h.find(QStringLiteral("reviewButton"))->isEnabled());
    EXPECT_FALSE(h.find(QStringLiteral("saveKeyButton"))->isEnabled());

    h.typeInto(QStringLiteral("apiKeyField"), QStringLiteral("  sk-abc  "));
    EXPECT_EQ(h.store->string(key(Keys::DeepSeekApiKey)), QStringLiteral("sk-abc"));
    EXPECT_TRUE(h.find(QStringLiteral("retranslateButton"))->isEnabled());
    EXPECT_TRUE(h.find(QStringLiteral("reviewButton"))->isEnabled());
    EXPECT_TRUE(h.find(QStringLiteral("saveKeyButton"))->isEnabled());
    EXPECT_TRUE(h.text(QStringLiteral("retranslateCaption")).startsWith(QStringLiteral("把本节课 2 条英文原文")));

    // Clearing the field here clears the stored key.
    h.clearField(QStringLiteral("apiKeyField"));
    EXPECT_TRUE(h.store->contains(key(Keys::DeepSeekApiKey)));
    EXPECT_EQ(h.store->string(key(Keys::DeepSeekApiKey)), QString());
    EXPECT_FALSE(h.find(QStringLiteral("reviewButton"))->isEnabled());
}

TEST_F(ReviewFixture, EmptyCourseShowsTheNoticeAndDisablesBothActions)
{
    h.store->setValue(key(Keys::DeepSeekApiKey), QStringLiteral("sk-abc"));
    open(makeCourse({}, {}));
    EXPECT_TRUE(h.shown(QStringLiteral("noEntries")));
    EXPECT_FALSE(h.shown(QStringLiteral("entryList")));
    EXPECT_FALSE(h.find(QStringLiteral("retranslateButton"))->isEnabled());
    EXPECT_FALSE(h.find(QStringLiteral("reviewButton"))->isEnabled());
}

TEST_F(ReviewFixture, WithoutAHostCourseTheEnginesCompletedCourseIsShown)
{
    h.engine.setCompleted(makeCourse({}, {1.0, 2.0, 3.0, 4.0}));
    ASSERT_NE(h.load(QStringLiteral("CourseReviewView.qml"), QSize(1020, 640)), nullptr) << h.lastError.toStdString();
    auto *p = h.view->property("playback").value<CoursePlaybackModel *>();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->hasCourse());
    EXPECT_TRUE(h.text(QStringLiteral("headerCaption")).endsWith(QStringLiteral("共 4 条")));
}

TEST(ReviewScreenshots, EveryTheme)
{
    for (const char *theme : {"cyberpunk", "swiss", "oled", "glass"}) {
        WindowHarness h;
        ScopedVirtualTime time;
        h.store->setValue(QString::fromLatin1(Keys::UiTheme), QString::fromLatin1(theme));
        h.store->setValue(QString::fromLatin1(Keys::DeepSeekApiKey), QStringLiteral("sk-demo"));
        QQmlPropertyMap host;
        host.insert(QStringLiteral("reviewingCourse"),
                    QVariant::fromValue(makeCourse(writeRecording(h.fakePlatform.desktopPath(), 10),
                                                   {1.5, 4.0, 7.25, 9.0, 12.0, 15.0, 18.0, 21.0, 24.0})));
        ASSERT_NE(h.load(QStringLiteral("CourseReviewView.qml"), QSize(1020, 640),
                         {{QStringLiteral("host"), QVariant::fromValue<QObject *>(&host)}}),
                  nullptr)
            << h.lastError.toStdString();
        h.click(QStringLiteral("entryRow1"));
        EXPECT_TRUE(h.savePng(h.window, QStringLiteral("review-%1.png").arg(QString::fromLatin1(theme))));
    }
}
