// The PocketSphinx adapter against real recordings (the LibriVox test files
// of pocketsphinx-testdata), streamed buffer by buffer as live audio would be.
// One decoder serves the whole suite.
#include "LinuxTestUtil.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "support/SpeechMeasures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace vox;
using namespace vox::test;

namespace {

const char *kLibrivox = "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-";
constexpr int kRate = 16000;

std::vector<float> readClip(const QString &name)
{
    return readAs16kMono(QString::fromLatin1(kLibrivox) + name + QStringLiteral(".wav"));
}

// Where speech really starts in a recording: the first 10 ms frame whose level
// is four times the recording's opening noise floor.
double speechOnset(const std::vector<float> &s)
{
    auto level = [&](size_t frame) {
        return rms(s.data() + frame * 160, std::min<size_t>(160, s.size() - frame * 160));
    };
    std::vector<double> floor;
    for (size_t k = 0; k < 10; ++k)
        floor.push_back(level(k));
    std::sort(floor.begin(), floor.end());
    const double threshold = 4 * floor[5];
    for (size_t k = 0; k * 160 < s.size(); ++k)
        if (level(k) > threshold)
            return double(k) / 100.0;
    return -1;
}

// The recordings with faint noise around them: gaps[i] seconds before
// speech[i], the last gap after the end. `starts` receives where the speech
// of each recording begins.
std::vector<float> withPauses(const std::vector<const std::vector<float> *> &speech, const std::vector<double> &gaps,
                              quint32 &seed, std::vector<double> *starts = nullptr)
{
    std::vector<float> out;
    for (size_t i = 0; i < speech.size(); ++i) {
        appendPinkNoise(out, gaps[i], seed);
        if (starts)
            starts->push_back(double(out.size()) / kRate + speechOnset(*speech[i]));
        out.insert(out.end(), speech[i]->begin(), speech[i]->end());
    }
    appendPinkNoise(out, gaps.back(), seed);
    return out;
}

// Every report of every task gets the next number, so the order of reports
// across tasks shows.
std::atomic<int> g_reports{0};

struct RecognitionCollector {
    std::mutex m;
    std::condition_variable cv;
    std::vector<RecognitionResult> partials;
    std::optional<RecognitionResult> final;
    std::vector<RecognitionError> errors;
    int calls = 0;
    int firstReport = -1, finalReport = -1;

    RecognitionHandler handler()
    {
        return [this](std::optional<RecognitionResult> r, std::optional<RecognitionError> e) {
            std::lock_guard lk(m);
            const int report = g_reports++;
            if (calls++ == 0)
                firstReport = report;
            if (e)
                errors.push_back(*e);
            if (r) {
                if (r->isFinal) {
                    final = *r;
                    finalReport = report;
                } else {
                    partials.push_back(*r);
                }
            }
            cv.notify_all();
        };
    }
    bool waitEnd(int ms = 180000)
    {
        std::unique_lock lk(m);
        return cv.wait_for(lk, std::chrono::milliseconds(ms), [&] { return final || !errors.empty(); });
    }
};

void feed(RecognitionRequest &req, const std::vector<float> &samples, quint32 chunk = 4096)
{
    for (size_t at = 0; at < samples.size(); at += chunk) {
        const quint32 n = quint32(std::min<size_t>(chunk, samples.size() - at));
        req.append(PcmBuffer::fromInterleaved(PcmFormat::target(), samples.data() + at, n));
    }
}

QStringList wordsOf(const RecognitionTranscription &t)
{
    QStringList out;
    for (const auto &s : t.segments)
        out << t.formattedString.mid(int(s.location), int(s.length));
    return out;
}

// Every segment points at one plain word of the text (never a filler such as
// "<sil>" or "read(2)"), in order, the words joined by single spaces; times
// are ordered and inside the audio.
void expectWellFormed(const RecognitionTranscription &t, double audioSeconds)
{
    EXPECT_EQ(wordsOf(t).join(u' '), t.formattedString);
    static const QRegularExpression word(QStringLiteral("^[A-Za-z][A-Za-z']*\\.?$"));
    for (const QString &w : wordsOf(t))
        EXPECT_TRUE(word.match(w).hasMatch()) << "not a plain word: " << w.toStdString();
    double last = -1;
    for (const auto &s : t.segments) {
        EXPECT_GE(s.timestamp, last);
        EXPECT_GT(s.duration, 0);
        EXPECT_LE(s.timestamp + s.duration, audioSeconds + 0.05);
        last = s.timestamp;
    }
}

class PocketSphinxRecognizerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        PocketSphinxOptions o;
        o.fwdflat = false;
        s_rec = makePocketSphinxRecognizer(o);
        // Preloaded, not awaited: the first test's task starts while the
        // decoder loads, and every recognition checks it was loaded once.
        s_rec->preload();
    }
    static void TearDownTestSuite() { s_rec.reset(); }
    void SetUp() override
    {
        if (!s_rec->isAvailable())
            GTEST_SKIP() << "PocketSphinx English model missing (package pocketsphinx-en-us)";
        if (readClip(QStringLiteral("0930")).empty())
            GTEST_SKIP() << "LibriVox test recordings missing (package pocketsphinx-testdata)";
        s_rec->setMaxUtteranceSeconds(25);
    }
    // One request with `samples`, to its end.
    static void recognize(RecognitionCollector &c, const std::vector<float> &samples,
                          const RecognitionRequestOptions &options = {}, quint32 chunk = 4096)
    {
        auto req = s_rec->makeRequest(options);
        auto task = s_rec->startTask(req, c.handler());
        feed(*req, samples, chunk);
        req->endAudio();
        ASSERT_TRUE(c.waitEnd());
        EXPECT_EQ(s_rec->stats().loads, 1);
    }
    static inline std::shared_ptr<PocketSphinxRecognizer> s_rec;
};

} // namespace

// A recognizer whose model did not load: unavailable, and a task fails with
// the model named as the cause.
void expectModelUnavailable(PocketSphinxRecognizer &rec)
{
    EXPECT_FALSE(rec.isAvailable());
    auto req = rec.makeRequest({});
    RecognitionCollector c;
    auto task = rec.startTask(req, c.handler());
    std::vector<float> s(16000, 0.001f);
    feed(*req, s);
    ASSERT_TRUE(c.waitEnd(10000));
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0].kind, RecognitionFailure::ModelUnavailable);
    EXPECT_FALSE(c.final);
    req->endAudio();
    task->finish();
}

TEST(PocketSphinxAvailability, MissingModelIsUnavailableAndFailsTasksWithAnError)
{
    QTemporaryDir empty;
    PocketSphinxOptions o;
    o.modelDir = empty.path();
    auto rec = makePocketSphinxRecognizer(o);
    EXPECT_FALSE(rec->waitUntilLoaded(10000));
    expectModelUnavailable(*rec);
}

// The files are there but the language model is broken: the preload fails
// on its thread, and the first start learns it as it would a missing model.
TEST(PocketSphinxAvailability, FailedPreloadIsReportedByTheFirstStart)
{
    const QString system = QStringLiteral("/usr/share/pocketsphinx/model/en-us/");
    if (!QFileInfo::exists(system + QStringLiteral("en-us/mdef")))
        GTEST_SKIP() << "PocketSphinx English model missing (package pocketsphinx-en-us)";
    QTemporaryDir dir;
    const QDir model(dir.filePath(QStringLiteral("en-us")));
    ASSERT_TRUE(model.mkpath(QStringLiteral(".")));
    ASSERT_TRUE(QFile::link(system + QStringLiteral("en-us"), model.filePath(QStringLiteral("en-us"))));
    ASSERT_TRUE(QFile::link(system + QStringLiteral("cmudict-en-us.dict"),
                            model.filePath(QStringLiteral("cmudict-en-us.dict"))));
    ASSERT_TRUE(writeFile(model.filePath(QStringLiteral("en-us.lm.bin")), "not a language model\n"));
    PocketSphinxOptions o;
    o.modelDir = dir.path();
    auto rec = makePocketSphinxRecognizer(o);
    EXPECT_TRUE(rec->isAvailable()); // nothing tried yet
    rec->preload();
    EXPECT_FALSE(rec->waitUntilLoaded(120000));
    EXPECT_EQ(rec->stats().loads, 1);
    expectModelUnavailable(*rec);
}

// Two sentences with a pause between them: each utterance becomes a sentence,
// the second continues the same transcript, words sit where they are spoken.
TEST_F(PocketSphinxRecognizerTest, SentencesWordRangesAndTimes)
{
    const std::vector<float> a = readClip(QStringLiteral("0930")); // he might even have been made amiable himself
    const std::vector<float> b = readClip(QStringLiteral("0880")); // he was not an ill disposed young man
    quint32 seed = 7;
    std::vector<double> starts;
    const std::vector<float> clip = withPauses({&a, &b}, {0.5, 2.0, 1.0}, seed, &starts);
    const double seconds = double(clip.size()) / kRate;

    RecognitionRequestOptions opts;
    opts.addsPunctuation = true;
    RecognitionCollector c;
    ASSERT_NO_FATAL_FAILURE(recognize(c, clip, opts));
    ASSERT_TRUE(c.errors.empty()) << c.errors[0].detail.toStdString();
    ASSERT_TRUE(c.final);

    const RecognitionTranscription &t = c.final->bestTranscription;
    SCOPED_TRACE(t.formattedString.toStdString());
    expectWellFormed(t, seconds);
    const QStringList words = wordsOf(t);

    // Two sentences, each capitalised and ending in ".".
    QStringList sentences = t.formattedString.split(QStringLiteral(". "));
    ASSERT_EQ(sentences.size(), 2);
    EXPECT_TRUE(sentences[0].startsWith(QStringLiteral("He ")) && sentences[0].contains(QStringLiteral("amiable himself")));
    EXPECT_TRUE(sentences[1].startsWith(QStringLiteral("He ")) && sentences[1].contains(QStringLiteral("young man")));

    // Start times where the speech is (request-relative, 10 ms frames).
    const qsizetype second =
        std::find_if(words.begin(), words.end(), [](const QString &w) { return w.endsWith(u'.'); }) - words.begin() + 1;
    ASSERT_LT(second, words.size());
    EXPECT_NEAR(t.segments[0].timestamp, starts[0], 0.2);
    EXPECT_NEAR(t.segments[size_t(second)].timestamp, starts[1], 0.2);

    // Partial results: well formed (so never a filler), and the second
    // sentence grows behind the finished first one.
    ASSERT_FALSE(c.partials.empty());
    bool continued = false;
    for (const auto &p : c.partials) {
        const QString &text = p.bestTranscription.formattedString;
        expectWellFormed(p.bestTranscription, seconds);
        if (text.startsWith(sentences[0] + QStringLiteral(". ")) && text.size() > sentences[0].size() + 2)
            continued = true;
    }
    EXPECT_TRUE(continued);
}

// Also with a contextual word missing from the dictionary.
TEST_F(PocketSphinxRecognizerTest, SilenceEndsWithEmptyFinalResult)
{
    std::vector<float> quiet;
    quint32 seed = 3;
    appendPinkNoise(quiet, 2.5, seed);
    quiet.resize(quiet.size() + 8000, 0.0f); // and a stretch of digital silence
    RecognitionRequestOptions opts;
    opts.contextualStrings = {QStringLiteral("Zyxqwvort theorem"), QStringLiteral("lecture")};
    RecognitionCollector c;
    ASSERT_NO_FATAL_FAILURE(recognize(c, quiet, opts, 1365));
    EXPECT_TRUE(c.errors.empty());
    ASSERT_TRUE(c.final);
    EXPECT_TRUE(c.final->bestTranscription.formattedString.isEmpty())
        << c.final->bestTranscription.formattedString.toStdString();
    EXPECT_TRUE(c.final->bestTranscription.segments.empty());
}

// Rotation: the next task is started while the previous one still has audio
// queued. Each keeps its own audio and times; the first ends before the
// second says anything; a cancelled third task says nothing at all.
TEST_F(PocketSphinxRecognizerTest, TasksInARowKeepTheirAudioApartAndCancelSilences)
{
    const std::vector<float> a = readClip(QStringLiteral("0930"));
    const std::vector<float> b = readClip(QStringLiteral("0880"));
    quint32 seed = 11;
    std::vector<double> bStart;
    const std::vector<float> clipA = withPauses({&a}, {0.5, 0.5}, seed);
    const std::vector<float> clipB = withPauses({&b}, {0.5, 0.5}, seed, &bStart);

    RecognitionCollector ca, cb, cc;
    auto reqA = s_rec->makeRequest({});
    auto taskA = s_rec->startTask(reqA, ca.handler());
    feed(*reqA, clipA);
    reqA->endAudio();
    auto reqB = s_rec->makeRequest({});
    auto taskB = s_rec->startTask(reqB, cb.handler());
    feed(*reqB, clipB);
    taskB->finish();
    ASSERT_TRUE(ca.waitEnd() && cb.waitEnd());
    ASSERT_TRUE(ca.final && cb.final);

    const QString ta = ca.final->bestTranscription.formattedString.toLower();
    const QString tb = cb.final->bestTranscription.formattedString.toLower();
    EXPECT_TRUE(ta.contains(QStringLiteral("amiable"))) << ta.toStdString();
    EXPECT_FALSE(ta.contains(QStringLiteral("young"))) << ta.toStdString();
    EXPECT_TRUE(tb.contains(QStringLiteral("young man"))) << tb.toStdString();
    EXPECT_FALSE(tb.contains(QStringLiteral("amiable"))) << tb.toStdString();
    ASSERT_FALSE(cb.final->bestTranscription.segments.empty());
    EXPECT_NEAR(cb.final->bestTranscription.segments[0].timestamp, bStart[0], 0.2);
    EXPECT_LT(ca.finalReport, cb.firstReport);

    // Cancel while audio is queued: no result of any kind afterwards.
    auto reqC = s_rec->makeRequest({});
    auto taskC = s_rec->startTask(reqC, cc.handler());
    feed(*reqC, clipA);
    taskC->cancel();
    const int callsAtCancel = [&] {
        std::lock_guard lk(cc.m);
        return cc.calls;
    }();
    feed(*reqC, clipB);
    reqC->endAudio();
    ASSERT_TRUE(s_rec->waitUntilIdle(60000));
    std::lock_guard lk(cc.m);
    EXPECT_EQ(cc.calls, callsAtCancel);
    EXPECT_FALSE(cc.final);
    EXPECT_EQ(s_rec->queuedSeconds(), 0);
}

TEST_F(PocketSphinxRecognizerTest, LongSpeechIsCutAndWrongRateIsAnError)
{
    const std::vector<float> a = readClip(QStringLiteral("0870")); // 7 s of unbroken speech
    s_rec->setMaxUtteranceSeconds(2.0);
    const auto before = s_rec->stats();
    RecognitionCollector c;
    ASSERT_NO_FATAL_FAILURE(recognize(c, a));
    ASSERT_TRUE(c.final);
    EXPECT_GT(s_rec->stats().utteranceCuts, before.utteranceCuts);
    const QString text = c.final->bestTranscription.formattedString;
    // Only the request's end closes a sentence.
    EXPECT_EQ(text.count(u'.'), 1) << text.toStdString();
    EXPECT_TRUE(text.endsWith(u'.'));
    expectWellFormed(c.final->bestTranscription, double(a.size()) / kRate);

    auto req2 = s_rec->makeRequest({});
    RecognitionCollector c2;
    auto task2 = s_rec->startTask(req2, c2.handler());
    std::vector<float> stereo(2 * 4800, 0.01f);
    req2->append(PcmBuffer::fromInterleaved(PcmFormat{48000, 2, false}, stereo.data(), 4800));
    ASSERT_TRUE(c2.waitEnd(60000));
    ASSERT_EQ(c2.errors.size(), 1u);
    EXPECT_EQ(c2.errors[0].kind, RecognitionFailure::UnsupportedAudio);
    EXPECT_FALSE(c2.final);
}
