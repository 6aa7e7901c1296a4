// The accurate pass over finished sentences: the decoded text replaces the
// live one on its way to translation, in order and at the sentence's place in
// the recording; a decode past its deadline, or a backlog, leaves the live
// text; sentences waiting for the decoder are shown and kept by a course.
#include "EngineFixture.h"

#include "platform/fake/FakeSentenceDecoder.h"
#include "platform/fake/InstantTranslationSession.h"

using namespace vox;
using namespace vox::test;

namespace {

class SentencePassTest : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        engine->setTranslationSession(std::make_shared<fake::InstantTranslationSession>());
        engine->setSentenceDecoder(decoder);
        startSession();
    }
    // One more sentence of the running request: its words, two seconds of
    // speech, then a pause that hands it on.
    void say(const QString &sentence)
    {
        spoken += (spoken.isEmpty() ? QString() : QStringLiteral(" ")) + sentence;
        task()->deliverPartial(spoken);
        pump();
        pushAudio(0.2f, 24);
        advance(0.35);
        pushAudio(0.0f, 12);
    }
    bool decoded(size_t n) { return waitFor([&] { return submissions.size() >= n; }); }

    std::shared_ptr<fake::FakeSentenceDecoder> decoder =
        std::make_shared<fake::FakeSentenceDecoder>(QStringLiteral("Whisper test"));
    QString spoken;
};

TEST_F(SentencePassTest, TheDecodedTextIsWhatIsTranslatedAtTheSentencesPlace)
{
    EXPECT_EQ(engine->recognizerName(), QStringLiteral("Whisper test"));
    decoder->script({QStringLiteral("Hello, world."), std::nullopt});
    decoder->hold();
    say(QStringLiteral("hello word."));
    ASSERT_TRUE(decoder->waitForCalls(1));
    EXPECT_TRUE(submissions.empty());
    EXPECT_EQ(engine->recognizedText(), QStringLiteral("hello word.")); // shown while it waits
    decoder->release();
    ASSERT_TRUE(decoded(1));
    EXPECT_EQ(submissions[0].texts, QStringList{QStringLiteral("Hello, world.")});
    const auto call = decoder->calls().at(0);
    EXPECT_GT(call.samples, size_t(16000)); // its own audio, from just before its first word
    EXPECT_GT(call.maxTokens, 10);

    // A sentence the decoder hears nothing in keeps the live text.
    say(QStringLiteral("second one."));
    ASSERT_TRUE(decoded(2));
    EXPECT_EQ(submissions[1].texts, QStringList{QStringLiteral("second one.")});
    advance(1);
    const auto &entries = engine->translationEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, QStringLiteral("Hello, world."));
    EXPECT_DOUBLE_EQ(entries[0].audioTime, 0.5); // the first word's time
    EXPECT_TRUE(engine->recognizedText().isEmpty());
}

TEST_F(SentencePassTest, DeadlineAndBacklogLeaveTheLiveTextAndKeepTheOrder)
{
    decoder->hold();
    say(QStringLiteral("One."));
    ASSERT_TRUE(decoder->waitForCalls(1));
    say(QStringLiteral("Two."));
    say(QStringLiteral("Three."));
    EXPECT_FALSE(engine->sentencePass().isBypassing());
    say(QStringLiteral("Four.")); // three wait for the decoder: this one passes
    EXPECT_TRUE(engine->sentencePass().isBypassing());
    EXPECT_TRUE(submissions.empty());

    // The first sentence's deadline (1.5 × its audio + 1 s) releases it with
    // its live text and stops its decode; the others are overdue by then.
    advance(30);
    QStringList landed;
    for (const auto &s : submissions)
        landed += s.texts;
    EXPECT_EQ(landed, (QStringList{QStringLiteral("One."), QStringLiteral("Two."), QStringLiteral("Three."),
                                   QStringLiteral("Four.")}));
    EXPECT_FALSE(engine->sentencePass().isBypassing());
    EXPECT_TRUE(waitFor([&] { return !decoder->calls().empty() && decoder->calls()[0].stopped; }));
    EXPECT_EQ(engine->sentencePass().stats().deadlineFallbacks, 3);
    decoder->release();
}

TEST_F(SentencePassTest, ACourseEndingNowKeepsTheSentencesStillBeingDecoded)
{
    engine->startCourse();
    decoder->hold();
    say(QStringLiteral("Never lost."));
    engine->endCourseNow();
    decoder->release();
    const auto &course = engine->completedCourse();
    ASSERT_TRUE(course);
    ASSERT_EQ(course->entries.size(), 1u);
    EXPECT_EQ(course->entries[0].source, QStringLiteral("Never lost."));
    EXPECT_DOUBLE_EQ(course->entries[0].audioTime, 0.5);
}

} // namespace
