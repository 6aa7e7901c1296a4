// Course lifecycle on the engine: entry selection by time, the recording
// path, archiving once, the course timer and the live summary hooks.
#include "EngineFixture.h"

#include "course/CourseArchive.h"
#include "engine/AudioDeviceManager.h"
#include "platform/Files.h"
#include "platform/fake/InstantTranslationSession.h"

#include <QDir>
#include <QFileInfo>

using namespace vox;
using namespace vox::test;

namespace {

class CourseTest : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        engine->setTranslationSession(std::make_shared<fake::InstantTranslationSession>());
    }
    static std::optional<CourseSession> onDisk(const QString &file)
    {
        return CourseSession::decode(Files::readRegularFile(file).value());
    }
};

TEST_F(CourseTest, EntriesBeforeTheStartAreLeftOutAndTheArchiveIsWrittenOnce)
{
    startSession();
    hear(QStringLiteral("Before the course.")); // translated at once
    advance(1);
    ASSERT_EQ(engine->translationEntries().size(), 1u);

    // The next sentence is handed on and translated at the very instant the
    // course starts: it belongs to the course.
    task()->deliverPartial(QStringLiteral("Before the course. Exactly now."));
    pump();
    advance(0.5);
    speak();
    engine->startCourse();
    pause();
    const Date start = *engine->courseStartDate();
    ASSERT_EQ(engine->translationEntries().size(), 2u);
    EXPECT_EQ(engine->translationEntries()[1].timestamp, start);
    advance(5);
    const double shown = engine->courseDuration();
    EXPECT_DOUBLE_EQ(shown, 5.0);

    // The course's file is on disk from the start and follows every landed
    // sentence within a second or so, marked in progress.
    const QString file = engine->courseArchivePath();
    ASSERT_FALSE(file.isEmpty());
    ASSERT_TRUE(onDisk(file).has_value());
    EXPECT_TRUE(onDisk(file)->inProgress);
    ASSERT_EQ(onDisk(file)->entries.size(), 1u);
    EXPECT_TRUE(CourseArchive::loadAll().empty()); // not listed as finished yet

    // Ending right after a sentence is spoken, before its final result:
    // recognition stops, the sentence lands, then the course is finished.
    task()->deliverPartial(QStringLiteral("Before the course. Exactly now. The last words"));
    pump();
    const QString recording = engine->currentRecordingPath();
    engine->endCourse();
    EXPECT_TRUE(engine->isEndingCourse());
    EXPECT_FALSE(engine->hasCompletedCourse());
    task()->deliverFinal(QStringLiteral("Before the course. Exactly now. The last words."));
    advance(0.2);
    EXPECT_FALSE(engine->isEndingCourse());
    ASSERT_TRUE(engine->completedCourse().has_value());
    const CourseSession &c = *engine->completedCourse();
    EXPECT_EQ(c.startDate, start);
    ASSERT_EQ(c.entries.size(), 2u);
    EXPECT_EQ(c.entries[0].source, QStringLiteral("Exactly now."));
    EXPECT_EQ(c.entries[1].source, QStringLiteral("The last words."));
    EXPECT_EQ(c.recordingPath(), recording);
    EXPECT_EQ(c.archivePath, file);
    ASSERT_TRUE(onDisk(file).has_value());
    EXPECT_FALSE(onDisk(file)->inProgress);
    EXPECT_EQ(onDisk(file)->entries.size(), 2u);

    // A second endCourse does nothing; the duration keeps its last value.
    engine->endCourse();
    advance(5);
    EXPECT_EQ(CourseArchive::loadAll().size(), 1u);
    EXPECT_EQ(engine->courseDuration(), shown);
}

TEST_F(CourseTest, EndingWaitsForTheBatchesStillTranslatingAndTheEngineGoingAwaySavesEverything)
{
    // A translation service that answers only when told to.
    auto held = std::make_shared<fake::InstantTranslationSession>();
    held->hold = true;
    engine->setTranslationSession(held);
    engine->startCourse();
    const QString file = engine->courseArchivePath();
    startSession();
    hear(QStringLiteral("Waiting for its translation."));
    ASSERT_EQ(held->heldCount(), 1u);

    // The waiting English is on disk before it is translated.
    advance(LiveCourse::kSaveDelay + 0.1);
    ASSERT_EQ(onDisk(file)->pendingEntries.size(), 1u);
    EXPECT_EQ(onDisk(file)->pendingEntries[0].source, QStringLiteral("Waiting for its translation."));

    engine->endCourse();
    advance(5);
    EXPECT_TRUE(engine->isEndingCourse()); // still waiting for the translation
    held->targets[QStringLiteral("Waiting for its translation.")] = QStringLiteral("等待翻译。");
    held->release();
    held->hold = true;
    advance(0.2);
    ASSERT_TRUE(engine->completedCourse().has_value());
    ASSERT_EQ(engine->completedCourse()->entries.size(), 1u);
    EXPECT_EQ(onDisk(file)->entries[0].target, QStringLiteral("等待翻译。"));

    // The engine released mid-course (the application quitting at once):
    // the course is finished with the waiting English and its placeholder.
    engine->startCourse();
    const QString second = engine->courseArchivePath();
    EXPECT_NE(second, file);
    startSession();
    hear(QStringLiteral("Still waiting."));
    engine.reset();
    const auto saved = onDisk(second);
    ASSERT_TRUE(saved.has_value());
    EXPECT_FALSE(saved->inProgress);
    ASSERT_EQ(saved->entries.size(), 1u);
    EXPECT_EQ(saved->entries[0].source, QStringLiteral("Still waiting."));
    EXPECT_EQ(saved->entries[0].target, TranslationPipeline::placeholder());
}

TEST_F(CourseTest, SentencesKeptWithThePlaceholderAreTranslatedAgainIntoTheEndedCourseAndItsFile)
{
    engine->setTranslationEngineRaw(QStringLiteral("deepseek")); // no key: every attempt fails
    engine->startCourse();
    startSession();
    hear(QStringLiteral("Lost for now."));
    advance(3.1); // three attempts, 1.5 s apart
    engine->endCourse();
    task()->deliverFinal(QStringLiteral("Lost for now."));
    advance(0.5);
    ASSERT_TRUE(engine->completedCourse().has_value());
    const QString file = engine->completedCourse()->archivePath;
    ASSERT_EQ(onDisk(file)->entries.size(), 1u);
    EXPECT_EQ(onDisk(file)->entries[0].target, TranslationPipeline::placeholder());

    // The service is back: the next retry fills the gap in the ended course
    // and its file.
    engine->setTranslationEngineRaw(QStringLiteral("system"));
    advance(TranslationPipeline::kRetryInterval);
    EXPECT_EQ(engine->completedCourse()->entries[0].target, QStringLiteral("译:Lost for now."));
    EXPECT_EQ(onDisk(file)->entries[0].target, QStringLiteral("译:Lost for now."));
}

TEST_F(CourseTest, OneRecordingForAllSessionsOfACourse)
{
    engine->startCourse();
    startSession();
    pushAudio(0.1f, 12); // 12 × 1365 frames at 16 kHz
    const QString recording = engine->currentRecordingPath();
    const double firstLength = engine->recordingPosition();
    engine->stop();
    advance(30);

    // The next session of the course continues the same file: a sentence
    // of it seeks past the first session's audio.
    startSession(QStringLiteral("builtin-uid")); // another microphone
    EXPECT_EQ(engine->currentRecordingPath(), recording);
    EXPECT_DOUBLE_EQ(engine->recordingPosition(), firstLength);
    hear(QStringLiteral("Second session."), 0.25);
    ASSERT_GE(engine->translationEntries().size(), 1u);
    EXPECT_DOUBLE_EQ(engine->translationEntries().back().audioTime, firstLength + 0.25);
    // No final result comes: the ending waits for the finalization fallback.
    engine->endCourse();
    advance(SpeechEngine::kFinalizationFallback + 0.2);
    ASSERT_TRUE(engine->completedCourse().has_value());
    EXPECT_EQ(engine->completedCourse()->recordingPath(), recording);
    EXPECT_EQ(QDir(QFileInfo(recording).path()).entryList(QDir::Files).size(), 1);
}

TEST_F(CourseTest, AMicrophoneThatGoesAwayIsReportedAndCaptureResumesIntoTheSameRecording)
{
    engine->setCaptureSilenceLimit(SpeechEngine::kCaptureSilenceLimit);
    AudioDeviceManager devices(fakes.platform());
    devices.refresh();
    engine->startCourse();
    startSession();
    pushAudio(0.1f, 3);
    const QString recording = engine->currentRecordingPath();
    ASSERT_FALSE(recording.isEmpty());

    // Pulled out: PulseAudio moves the stream to another source and audio
    // keeps coming, but the chosen device is gone.
    auto &list = fakes.captureDevices->devices;
    const CaptureDevice mic = list[1];
    ASSERT_EQ(mic.uniqueID, QStringLiteral("mic-48k"));
    list.erase(list.begin() + 1);
    fakes.captureDevices->notifyChanged();
    pump();
    EXPECT_TRUE(engine->captureInterrupted());
    EXPECT_EQ(devices.devices().size(), 1u); // the list follows by itself
    advance(5);
    EXPECT_FALSE(engine->isRecording());

    // Back: capture resumes by itself, into the course's recording.
    list.push_back(mic);
    fakes.captureDevices->notifyChanged();
    advance(SpeechEngine::kDeviceReturnPoll);
    advance(SpeechEngine::kDeviceSettle);
    ASSERT_TRUE(engine->isRecording()) << engine->lastError().toStdString();
    EXPECT_FALSE(engine->captureInterrupted());
    EXPECT_TRUE(engine->lastError().isEmpty());
    EXPECT_EQ(engine->currentRecordingPath(), recording);
    EXPECT_EQ(devices.devices().size(), 2u);

    // A capture that falls silent counts as lost too.
    pushAudio(0.1f);
    advance(SpeechEngine::kCaptureSilenceLimit + 1);
    EXPECT_TRUE(engine->captureInterrupted());
    // Stopping by hand ends the wait.
    engine->stop();
    EXPECT_FALSE(engine->captureInterrupted());
    advance(5);
    EXPECT_FALSE(engine->isRecording());
}

TEST_F(CourseTest, EmptyCourseAndARestartedClock)
{
    settingsStore->setValue(QString::fromLatin1(Keys::DeepSeekApiKey), QStringLiteral("sk-test"));
    engine->startCourse();
    EXPECT_TRUE(engine->liveSummary().isAutoSummaryRunning());
    advance(2);
    engine->endCourse();
    EXPECT_FALSE(engine->liveSummary().isAutoSummaryRunning());
    ASSERT_TRUE(engine->completedCourse().has_value());
    EXPECT_TRUE(engine->completedCourse()->entries.empty());
    EXPECT_FALSE(engine->completedCourse()->recordingURL.has_value());
    EXPECT_EQ(CourseArchive::loadAll().size(), 1u);

    // Starting again clears the completed course and restarts the clock,
    // also while a course runs.
    engine->startCourse();
    EXPECT_FALSE(engine->hasCompletedCourse());
    EXPECT_EQ(engine->courseDuration(), 0.0);
    advance(10);
    engine->startCourse();
    EXPECT_EQ(engine->courseDuration(), 0.0);
    advance(2);
    EXPECT_DOUBLE_EQ(engine->courseDuration(), 2.0);
}

} // namespace
