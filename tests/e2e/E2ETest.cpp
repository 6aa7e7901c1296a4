// The headless tool end to end: real recordings through the recognizer, the
// engine, the pipeline and the archive, with local imitations of DeepSeek and
// of the local translation server. Nothing here reaches the internet.
#include "E2EFixture.h"

#include "support/WhisperModelWriter.h"

using namespace vox;
using namespace vox::test;

// Measured with the default (single-pass) decoder and the stock model: the
// LibriVox lecture gives a word error rate of 0.38. The bound leaves a
// margin; a broken path (lost audio, dropped or duplicated sentences, wrong
// order) lands far above it.
constexpr double kLibrivoxWerBound = 0.5;

TEST_F(EndToEnd, LibrivoxLectureLandsInOrderWithArchiveAndSubtitlesAndTheSecondRunComesFromTheCache)
{
    const QString srt = m_home.filePath(QStringLiteral("out/lecture.srt"));
    const CliRun r = transcribe(s_librivox.path, {"--engine", "deepseek", "--course", "--srt", srt});
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.stdErr.toStdString();
    ASSERT_FALSE(r.entries.empty()) << r.stdErr.toStdString();
    double previous = 0;
    for (const auto &e : r.entries) {
        EXPECT_EQ(e.target, QStringLiteral("译：") + e.source) << "one translation per sentence, in order";
        EXPECT_GE(e.audioTime, previous) << "audio times never go back";
        EXPECT_LT(e.audioTime, soundSeconds(s_librivox.path));
        previous = e.audioTime;
        // The audio at a sentence's time is speech, not the pause before it.
        // (A word or two may be the recognizer's guess at a noise in a pause,
        // and starts there: seen once in about fifteen runs.)
        if (e.source.split(QLatin1Char(' '), Qt::SkipEmptyParts).size() > 2)
            EXPECT_GT(rmsAt(s_librivox.path, e.audioTime, 0.4), 0.01) << e.source.toStdString() << " at " << e.audioTime;
    }
    const double wer = wordErrorRate(s_librivox.reference(), r.joinedSources());
    std::printf("word error rate %.3f over %d entries\n", wer, int(r.entries.size()));
    EXPECT_LT(wer, kLibrivoxWerBound);

    // A sentence known to start at a given place starts there (within 0.5 s).
    const Spoken &known = s_librivox.sentences.at(1); // "he was not an ill disposed young man"
    const auto young = std::find_if(r.entries.begin(), r.entries.end(), [](const Landed &e) {
        return e.source.contains(QStringLiteral("young"), Qt::CaseInsensitive);
    });
    ASSERT_NE(young, r.entries.end()) << "no sentence with 'young' was recognized";
    EXPECT_NEAR(young->audioTime, known.start, 0.5) << young->source.toStdString();

    // The archive reads back (as the history window lists it) with the same
    // sentences; the recording exists.
    const std::vector<CourseSession> archived = [&] {
        ScopedDesktop desktop(m_home.filePath(QStringLiteral("Desktop")));
        return CourseArchive::loadAll();
    }();
    ASSERT_EQ(archived.size(), 1u) << r.stdErr.toStdString();
    const CourseSession *course = &archived.front();
    ASSERT_EQ(course->entries.size(), r.entries.size());
    for (size_t i = 0; i < r.entries.size(); ++i)
        EXPECT_EQ(course->entries[i].source, r.entries[i].source);
    ASSERT_TRUE(course->recordingURL.has_value());
    EXPECT_NEAR(soundSeconds(course->recordingPath()), soundSeconds(s_librivox.path), 0.3);
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("课程已存档")));

    // One subtitle cue per entry.
    EXPECT_EQ(QString::fromUtf8(readFile(srt)).count(QStringLiteral(" --> ")), int(r.entries.size()));

    // The same file again gives the same sentences and translations, and no
    // request reaches the server: they come from the cache.
    const int requests = m_deepseek.requestCount(QStringLiteral("/chat/completions"));
    EXPECT_GT(requests, 0);
    const CliRun second = transcribe(s_librivox.path, {"--engine", "deepseek"});
    ASSERT_EQ(second.exitCode, 0) << second.stdErr.toStdString();
    ASSERT_EQ(second.entries.size(), r.entries.size());
    for (size_t i = 0; i < r.entries.size(); ++i) {
        EXPECT_EQ(second.entries[i].source, r.entries[i].source);
        EXPECT_EQ(second.entries[i].target, r.entries[i].target);
    }
    EXPECT_EQ(m_deepseek.requestCount(QStringLiteral("/chat/completions")), requests);
}

TEST_F(EndToEnd, ServersDownKeepEveryEnglishSentenceWithThePlaceholder)
{
    const CliRun r = transcribe(s_librivox.path, {"--engine", "deepseek"}, false);
    ASSERT_TRUE(r.finished);
    EXPECT_NE(r.exitCode, 0) << "the exit status says that translation failed";
    ASSERT_FALSE(r.entries.empty());
    for (const auto &e : r.entries)
        EXPECT_EQ(e.target, QStringLiteral("（译文缺失，请参考英文原文）"));
    EXPECT_LE(wordErrorRate(s_librivox.reference(), r.joinedSources()), kLibrivoxWerBound);
}

TEST_F(EndToEnd, AWhisperModelDecodesEverySentenceAgainAndABadOneLeavesPocketSphinxAtWork)
{
    // A model with the real layout and constant weights: its words mean
    // nothing, the path through the decoder is what is checked.
    const QString model = m_home.filePath(QStringLiteral("ggml-test.bin"));
    ASSERT_GT(writeWhisperModel(model, tinyTestGeometry()), 0);
    const CliRun r = transcribe(s_librivox.path, {"--no-translate", "--model", model});
    if (r.stdErr.contains(QStringLiteral("未包含 Whisper")))
        GTEST_SKIP() << "built without whisper.cpp";
    ASSERT_EQ(r.exitCode, 0) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("识别器: Whisper custom-1x64.en"))) << r.stdErr.toStdString();
    ASSERT_FALSE(r.entries.empty());
    double previous = 0;
    for (const auto &e : r.entries) {
        EXPECT_GE(e.audioTime, previous);
        previous = e.audioTime;
    }
    EXPECT_TRUE(diagLog().contains(QStringLiteral("Whisper custom-1x64.en 重识别")));

    QFile(model).resize(QFileInfo(model).size() / 2);
    const CliRun cut = transcribe(s_librivox.path, {"--no-translate", "--model", model});
    ASSERT_EQ(cut.exitCode, 0) << cut.stdErr.toStdString();
    EXPECT_TRUE(cut.stdErr.contains(QStringLiteral("识别模型文件不完整"))) << cut.stdErr.toStdString();
    EXPECT_LE(wordErrorRate(s_librivox.reference(), cut.joinedSources()), kLibrivoxWerBound);
}
