// Recognition requests over a session: results and generations, sentence
// hand-over (pause, backlog, revocation), rotation, the finalization
// fallback, automatic restarts and error wording.
#include "EngineFixture.h"

using namespace vox;
using namespace vox::test;

namespace {

class RecognitionTest : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        startSession();
        requestStart = time->now();
    }
    double age() { return time->now().secondsSince(requestStart); }
    void advanceToAge(double a) { advance(a - age()); }

    Date requestStart;
};

TEST_F(RecognitionTest, PartialResultsAreShownAndAPauseHandsThemOn)
{
    speak();
    task()->deliverPartial(QStringLiteral("Hello world. How are"));
    EXPECT_TRUE(engine->recognizedText().isEmpty()); // not before the hop
    pump();
    EXPECT_EQ(engine->recognizedText(), QStringLiteral("Hello world. How are"));
    // Text without word segments is skipped.
    RecognitionResult r;
    r.bestTranscription.formattedString = QStringLiteral("garbled");
    task()->deliver(r, std::nullopt);
    pump();
    EXPECT_EQ(engine->recognizedText(), QStringLiteral("Hello world. How are"));

    pause(); // the text changed just now: no decision yet
    EXPECT_TRUE(submissions.empty());
    advance(0.35);
    pause();
    ASSERT_EQ(reasons(), QStringList{QStringLiteral("停顿判句")});
    EXPECT_EQ(submissions[0].texts, (QStringList{QStringLiteral("Hello world."), QStringLiteral("How are")}));
}

TEST_F(RecognitionTest, BacklogReleasesCompleteSentencesAndTheHardRotationTheRest)
{
    task()->deliverPartial(QStringLiteral("Done here. still talking and"));
    pump();
    speak();
    advance(11.9);
    speak();
    EXPECT_TRUE(submissions.empty());
    advance(0.2);
    speak();
    EXPECT_EQ(reasons(), QStringList{QStringLiteral("积压放行")});
    EXPECT_EQ(submissions[0].texts, QStringList{QStringLiteral("Done here.")});
    // Without a pause the fragment waits until the hard rotation at 60 s.
    advanceToAge(59.5);
    speak();
    EXPECT_EQ(engine->rotationCount(), 0);
    advanceToAge(60);
    EXPECT_EQ(engine->rotationCount(), 1);
    ASSERT_EQ(reasons(), (QStringList{QStringLiteral("积压放行"), QStringLiteral("轮换收尾")}));
    EXPECT_EQ(submissions[1].texts, QStringList{QStringLiteral("still talking and")});
}

TEST_F(RecognitionTest, TranslationDisabledHandsNothingOn)
{
    engine->setTranslationEnabled(false);
    task()->deliverPartial(QStringLiteral("First one. Second one. third"));
    pump();
    advance(1);
    pause();
    advance(13);
    speak();
    // Revocation is not rescued either.
    task()->deliverPartial(QStringLiteral("Something else entirely"));
    pump();
    advanceToAge(61); // hard rotation
    task()->deliverFinal(QStringLiteral("Something else entirely."));
    pump();
    task()->deliverPartial(QStringLiteral("more words"));
    pump();
    engine->stop();
    task()->deliverFinal(QStringLiteral("more words."));
    pump();
    EXPECT_TRUE(submissions.empty());
    EXPECT_FALSE(engine->pendingSince().has_value());
}

TEST_F(RecognitionTest, RevokedWaitingWordsAreRescued)
{
    task()->deliverPartial(QStringLiteral("Alpha beta. Gamma delta epsilon zeta"));
    pump();
    speak();
    advance(12.5);
    speak(); // backlog: "Alpha beta." handed on, four words wait
    ASSERT_EQ(submissions.size(), 1u);
    task()->deliverPartial(QStringLiteral("Alpha beta. Other"));
    pump();
    ASSERT_EQ(submissions.size(), 2u);
    EXPECT_EQ(submissions[1].reason, QStringLiteral("识别撤回抢救"));
    EXPECT_EQ(submissions[1].texts, QStringList{QStringLiteral("Gamma delta epsilon zeta")});
}

TEST_F(RecognitionTest, RotationAtAPauseAfterFortyFiveSeconds)
{
    // A pause before 45 s hands on the sentence but does not rotate.
    task()->deliverPartial(QStringLiteral("Early words."));
    pump();
    advance(1);
    speak();
    pause();
    EXPECT_EQ(reasons(), QStringList{QStringLiteral("停顿判句")});
    speak(); // speech again: no pause
    advanceToAge(50);
    EXPECT_EQ(engine->rotationCount(), 0);
    // The pause comes: rotate, nothing pending.
    const auto generation = engine->recognitionGeneration();
    auto rotated = task();
    pause();
    EXPECT_EQ(engine->rotationCount(), 1);
    EXPECT_TRUE(rotated->request()->audioEnded());
    EXPECT_EQ(engine->recognitionGeneration(), generation);
    // Audio meanwhile is buffered for the next request.
    speak(2);
    const qint64 buffered = engine->forwarder()->bufferedFrames();
    EXPECT_NEAR(buffered, 2 * 1365, 1);
    // The rotated task's final result opens the next request at once.
    rotated->deliverFinal(QStringLiteral("Early words."));
    pump();
    ASSERT_NE(task(), rotated);
    EXPECT_FALSE(engine->isRotating());
    EXPECT_EQ(task()->request()->appendedFrames(), buffered);
    // The later fallback finds nothing to do.
    advance(3.5);
    EXPECT_EQ(reasons(), QStringList{QStringLiteral("停顿判句")});
    EXPECT_EQ(fakes.recognizer->tasks.size(), 2u);
}

TEST_F(RecognitionTest, RotationWithoutFinalResultFallsBackAfterThreeSeconds)
{
    speak(3);
    advanceToAge(60);
    ASSERT_TRUE(engine->isRotating());
    auto abandoned = task();
    const double position = engine->recordingPosition();
    // A partial of the rotating task still counts (same generation).
    abandoned->deliverPartial(QStringLiteral("late but valid"));
    pump();
    speak(1);
    advance(2.9);
    EXPECT_TRUE(engine->isRotating());
    advance(0.1);
    EXPECT_TRUE(abandoned->isCancelled());
    EXPECT_EQ(reasons().last(), QStringLiteral("收尾超时"));
    EXPECT_EQ(submissions.back().texts, QStringList{QStringLiteral("late but valid")});
    ASSERT_NE(task(), abandoned);
    // The next request's audio starts where the old one stopped.
    EXPECT_DOUBLE_EQ(engine->requestStartRecordingTime(), position);
    EXPECT_NEAR(task()->request()->appendedFrames(), 1365, 1);

    // Stale: the abandoned task's late results change nothing.
    const QString before = engine->recognizedText();
    const auto count = submissions.size();
    abandoned->deliverPartial(QStringLiteral("ghost words"));
    abandoned->deliverFinal(QStringLiteral("ghost words."));
    pump();
    EXPECT_EQ(engine->recognizedText(), before);
    EXPECT_EQ(submissions.size(), count);
}

TEST_F(RecognitionTest, ConsecutiveErrorsRestartFiveTimesThenGiveUp)
{
    const RecognitionError err{RecognitionFailure::Interrupted, QStringLiteral("interrupted")};
    engine->setTranslationEnabled(false); // only the recognizer's errors show
    // A result between errors starts the count again.
    for (int i = 0; i < 4; ++i) {
        task()->deliverError(err);
        pump();
        advance(3);
    }
    EXPECT_EQ(engine->autoRestartFailures(), 4);
    task()->deliverPartial(QStringLiteral("alive"));
    pump();
    EXPECT_EQ(engine->autoRestartFailures(), 0);
    for (int i = 1; i <= 5; ++i) {
        task()->deliverError(err);
        pump();
        EXPECT_EQ(
            engine->lastError(), QStringLiteral("识别任务中断，正在自动重连…（如连续失败请点「停止」后重新「开始」）"));
        advance(2.9);
        EXPECT_EQ(fakes.recognizer->tasks.size(), size_t(i + 4));
        advance(0.1);
        EXPECT_EQ(fakes.recognizer->tasks.size(), size_t(i + 5));
    }
    task()->deliverError(err);
    pump();
    EXPECT_EQ(engine->lastError(), QStringLiteral("语音识别已连续中断多次，请点「停止」后重新「开始」。"));
    advance(10);
    EXPECT_EQ(fakes.recognizer->tasks.size(), 10u);
    EXPECT_TRUE(engine->isRecording());
    // Audio keeps being buffered.
    speak(2);
    EXPECT_NEAR(engine->forwarder()->bufferedFrames(), 2 * 1365, 1);
}

TEST_F(RecognitionTest, RecognizerUnavailableAtRequestTimeRetries)
{
    task()->deliverFinal(QStringLiteral("Fine."));
    fakes.recognizer->available = false;
    pump();
    EXPECT_EQ(engine->lastError(), QStringLiteral("语音识别服务暂时不可用，正在自动重试…"));
    fakes.recognizer->available = true;
    advance(3);
    EXPECT_TRUE(engine->hasRecognitionRequest());
}

} // namespace
