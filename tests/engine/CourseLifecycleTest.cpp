// Course lifecycle on the engine: entry selection by time, the recording
// path, archiving once, the course timer and the live summary hooks.
#include "EngineFixture.h"

#include "course/CourseArchive.h"
#include "platform/TranslationSession.h"

using namespace vox;
using namespace vox::test;

namespace {

// Translates at once: "译:" + source.
class InstantSession : public TranslationSession {
public:
    void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) override
    {
        QStringList out;
        for (const auto &t : texts)
            out.append(QStringLiteral("译:") + t);
        done(out);
    }
};

class CourseTest : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        engine->setTranslationSession(std::make_shared<InstantSession>());
    }
};

TEST_F(CourseTest, EntriesBeforeTheStartAreLeftOutAndTheArchiveIsWrittenOnce)
{
    startSession();
    task()->deliverPartial(QStringLiteral("Before the course."));
    pump();
    advance(0.5);
    pushAudio(0.2f);
    pushAudio(0.0f, 12); // a pause hands it on, it is translated at once
    advance(1);
    ASSERT_EQ(engine->translationEntries().size(), 1u);

    // The next sentence is handed on and translated at the very instant the
    // course starts: it belongs to the course.
    task()->deliverPartial(QStringLiteral("Before the course. Exactly now."));
    pump();
    advance(0.5);
    pushAudio(0.2f);
    engine->startCourse();
    pushAudio(0.0f, 12);
    const Date start = *engine->courseStartDate();
    ASSERT_EQ(engine->translationEntries().size(), 2u);
    EXPECT_EQ(engine->translationEntries()[1].timestamp, start);
    advance(5);
    const double shown = engine->courseDuration();
    EXPECT_DOUBLE_EQ(shown, 5.0);

    // Course button: endCourse while the recording is still open.
    const QString recording = engine->currentRecordingPath();
    engine->endCourse();
    ASSERT_TRUE(engine->completedCourse().has_value());
    const CourseSession &c = *engine->completedCourse();
    EXPECT_EQ(c.startDate, start);
    EXPECT_EQ(c.endDate, time->now());
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].source, QStringLiteral("Exactly now."));
    EXPECT_EQ(c.recordingPath(), recording);
    EXPECT_FALSE(engine->isCourseActive());
    EXPECT_TRUE(engine->isRecording()); // endCourse does not stop recording

    // A second endCourse does nothing; the duration keeps its last value.
    engine->endCourse();
    advance(5);
    EXPECT_EQ(CourseArchive::loadAll().size(), 1u);
    EXPECT_EQ(engine->courseDuration(), shown);
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
