#include "PocketSphinxRecognizer.h"

#include "platform/Diag.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

#ifndef VOX_SPHINX_MODELDIR
#define VOX_SPHINX_MODELDIR "/usr/share/pocketsphinx/model"
#endif

namespace vox {

namespace {

constexpr int kSampleRate = 16000;
constexpr int kFramesPerSecond = 100;

// The decoder's failures, as the engine knows them.
constexpr auto ModelUnavailable = RecognitionFailure::ModelUnavailable;
constexpr auto UnsupportedFormat = RecognitionFailure::UnsupportedAudio;
// A decoder that cannot start or end an utterance has lost that request;
// a new request starts a fresh stream.
constexpr auto StartFailed = RecognitionFailure::Interrupted;
constexpr auto EndFailed = RecognitionFailure::Interrupted;
constexpr auto DecodeFailed = RecognitionFailure::Internal;
constexpr auto ForeignRequest = RecognitionFailure::Internal;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// PocketSphinx logs through one process-wide sink. Installed once, before the
// first decoder: errors go to our diagnostics log, the chatter is dropped.
// Decoders are never given -logfn (it would close the shared sink).
void sphinxLogSink(void *, err_lvl_t level, const char *fmt, ...)
{
    if (level < ERR_ERROR)
        return;
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    QString text = QString::fromLocal8Bit(line).trimmed();
    if (!text.isEmpty())
        diag(QStringLiteral("[PocketSphinx] ") + text);
}

void installSphinxLogging()
{
    static std::once_flag once;
    std::call_once(once, [] {
        err_set_logfp(nullptr); // no configuration dumps on stderr
        err_set_callback(&sphinxLogSink, nullptr);
    });
}

struct Word {
    QString text;
    int startFrame = 0;
    int endFrame = 0;
    bool operator==(const Word &) const = default;
};

QString capitalised(QString w)
{
    if (!w.isEmpty())
        w[0] = w[0].toUpper();
    return w;
}

} // namespace

namespace sphinx {

bool isFiller(const QString &word)
{
    return word.isEmpty() || word.startsWith(u'<') || word.startsWith(u'[') || word.startsWith(QLatin1String("++"));
}

// Plain character checks rather than a static regular expression: the
// decoder thread may still run while static objects are destroyed at exit.
QString stripAlternate(const QString &word)
{
    const qsizetype n = word.size();
    if (n < 3 || word.at(n - 1) != u')')
        return word;
    qsizetype i = n - 2;
    while (i >= 0 && word.at(i).isDigit() && word.at(i).unicode() < 128)
        --i;
    if (i < 0 || i == n - 2 || word.at(i) != u'(')
        return word;
    return word.left(i);
}

} // namespace sphinx

// ---------------------------------------------------------------------------

struct SphinxStream {
    RecognitionRequestOptions options;
    // Guarded by the core's mutex.
    std::deque<std::vector<int16_t>> audio;
    qint64 queuedSamples = 0;
    bool audioEnded = false;
    bool taskStarted = false;
    bool done = false;
    bool formatError = false;
    double badRate = 0;
    RecognitionHandler handler;
    // Delivery and cancel exclude each other, so nothing arrives after cancel().
    std::recursive_mutex deliveryMutex;
    std::atomic<bool> cancelled{false};
};

class SphinxCore : public std::enable_shared_from_this<SphinxCore> {
public:
    explicit SphinxCore(PocketSphinxOptions options);
    ~SphinxCore();

    void startThread();
    void shutdown();
    bool filesPresent() const { return m_filesPresent; }
    bool loadFailed() const { return m_loadFailed.load(); }
    bool waitUntilLoaded(int timeoutMs);
    bool fwdflat() const { return m_fwdflat; }
    std::atomic<double> maxUtteranceSeconds{25.0};

    void append(const std::shared_ptr<SphinxStream> &s, const PcmBuffer &buffer);
    void endAudio(const std::shared_ptr<SphinxStream> &s);
    void cancel(const std::shared_ptr<SphinxStream> &s);
    void start(const std::shared_ptr<SphinxStream> &s, RecognitionHandler handler);
    void registerRequest();

    double queuedSeconds();
    bool waitForRoom(double maxQueuedSeconds, int timeoutMs);
    bool waitUntilIdle(int timeoutMs);
    PocketSphinxRecognizer::Stats stats();

private:
    // Worker-only decoding state of the stream being decoded.
    struct Decoding {
        std::shared_ptr<SphinxStream> stream;
        bool uttOpen = false;
        bool heardSpeech = false;
        qint64 speechRunSamples = 0;
        bool capitalizeNext = true;
        std::vector<Word> fixedWords;      // earlier utterances, formatted
        std::vector<Word> lastLive;        // last partial of the current utterance (raw)
        QString lastDeliveredText;
        std::vector<RecognitionSegment> lastDeliveredSegments;
        bool deliveredAny = false;
    };

    void run();
    bool load();
    bool readyFront() const;
    void deliver(const std::shared_ptr<SphinxStream> &s, std::optional<RecognitionResult> r,
                 std::optional<RecognitionError> e);
    void fail(const std::shared_ptr<SphinxStream> &s, RecognitionFailure kind, const QString &message);
    void finishStream(const std::shared_ptr<SphinxStream> &s); // marks done, removes from order
    bool beginStream(const std::shared_ptr<SphinxStream> &s);
    bool process(const std::shared_ptr<SphinxStream> &s, const std::vector<int16_t> &samples);
    bool endUtterance(bool punctuate, bool restart);
    void finalize(const std::shared_ptr<SphinxStream> &s);
    void abandon();
    std::vector<Word> hypothesisWords();
    std::vector<Word> formatted(const std::vector<Word> &raw, bool capitalizeFirst, bool period) const;
    RecognitionResult transcript(const std::vector<Word> &live, bool isFinal) const;
    void deliverPartial(bool force);
    void checkContextualStrings(const QStringList &strings);

    PocketSphinxOptions m_options;
    QString m_hmm, m_lm, m_dict;
    bool m_filesPresent = false;
    bool m_fwdflat = false;

    ps_decoder_t *m_ps = nullptr;
    Decoding m_dec;
    QSet<QString> m_reportedUnknown;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;        // work for the worker
    std::condition_variable m_progress;  // queue drained, load finished, idle
    std::deque<std::shared_ptr<SphinxStream>> m_order;
    qint64 m_totalQueued = 0;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_loaded = false;
    std::atomic<bool> m_loadFailed{false};
    qint64 m_requestsMade = 0;
    qint64 m_openRequests = 0;
    PocketSphinxRecognizer::Stats m_stats;
    std::thread m_thread;
};

SphinxCore::SphinxCore(PocketSphinxOptions options) : m_options(std::move(options))
{
    QString dir = m_options.modelDir.isEmpty() ? QStringLiteral(VOX_SPHINX_MODELDIR) : m_options.modelDir;
    m_hmm = QDir(dir).filePath(QStringLiteral("en-us/en-us"));
    m_lm = QDir(dir).filePath(QStringLiteral("en-us/en-us.lm.bin"));
    m_dict = QDir(dir).filePath(QStringLiteral("en-us/cmudict-en-us.dict"));
    m_filesPresent = QFileInfo(m_hmm).isDir() && QFileInfo(QDir(m_hmm).filePath(QStringLiteral("mdef"))).isFile()
        && QFileInfo(m_lm).isFile() && QFileInfo(m_dict).isFile();

    if (m_options.fwdflat) {
        m_fwdflat = *m_options.fwdflat;
    } else {
        const QByteArray env = qgetenv("VOXLEAF_SPHINX_FWDFLAT").trimmed().toLower();
        m_fwdflat = env == "yes" || env == "1" || env == "true";
    }
    if (!m_filesPresent) {
        diag(QStringLiteral("PocketSphinx 模型文件缺失: ") + dir);
        m_loadFailed = true;
    }
    maxUtteranceSeconds = m_options.maxUtteranceSeconds;
}

void SphinxCore::startThread()
{
    // The thread keeps the core alive until it has freed the decoder.
    m_thread = std::thread([self = shared_from_this()] { self->run(); });
}

SphinxCore::~SphinxCore() { shutdown(); }

void SphinxCore::shutdown()
{
    {
        std::lock_guard lk(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
    }
    m_cv.notify_all();
    m_progress.notify_all();
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach(); // the last owner let go inside a result handler
        else
            m_thread.join();
    }
}

bool SphinxCore::load()
{
    if (!m_filesPresent)
        return false;
    installSphinxLogging();
    const auto t0 = std::chrono::steady_clock::now();
    const QByteArray hmm = QFile::encodeName(m_hmm), lm = QFile::encodeName(m_lm), dict = QFile::encodeName(m_dict);
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm", lm.constData(), "-dict",
                                   dict.constData(), "-fwdflat", m_fwdflat ? "yes" : "no", "-bestpath",
                                   m_fwdflat ? "yes" : "no", nullptr);
    if (!config)
        return false;
    m_ps = ps_init(config);
    cmd_ln_free_r(config);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    {
        std::lock_guard lk(m_mutex);
        m_stats.loadSeconds = seconds;
    }
    if (!m_ps)
        return false;
    diag(QStringLiteral("PocketSphinx 解码器已加载（%1，%2 s）")
             .arg(m_fwdflat ? QStringLiteral("多遍") : QStringLiteral("单遍"))
             .arg(seconds, 0, 'f', 2));
    return true;
}

bool SphinxCore::waitUntilLoaded(int timeoutMs)
{
    std::unique_lock lk(m_mutex);
    m_progress.wait_for(lk, std::chrono::milliseconds(timeoutMs),
                        [&] { return m_loaded || m_loadFailed.load() || m_stopping; });
    return m_loaded;
}

void SphinxCore::registerRequest()
{
    std::lock_guard lk(m_mutex);
    ++m_requestsMade;
    ++m_openRequests;
}

void SphinxCore::append(const std::shared_ptr<SphinxStream> &s, const PcmBuffer &buffer)
{
    const quint32 n = buffer.frameLength();
    const PcmFormat &f = buffer.format();
    if (n == 0 || f.channels == 0)
        return;
    if (f.sampleRate != kSampleRate) {
        std::lock_guard lk(m_mutex);
        if (!s->done && !s->audioEnded && !s->formatError) {
            s->formatError = true;
            s->badRate = f.sampleRate;
            m_cv.notify_all();
        }
        return;
    }
    std::vector<int16_t> samples(n);
    const float scale = 1.0f / float(f.channels);
    for (quint32 i = 0; i < n; ++i) {
        float v = 0;
        for (quint32 c = 0; c < f.channels; ++c)
            v += buffer.channel(c)[i];
        v *= scale * 32767.0f;
        samples[i] = int16_t(std::clamp(v, -32768.0f, 32767.0f));
    }
    std::lock_guard lk(m_mutex);
    if (s->done || s->audioEnded || s->cancelled || m_stopping)
        return;
    s->queuedSamples += n;
    m_totalQueued += n;
    s->audio.push_back(std::move(samples));
    m_cv.notify_all();
}

void SphinxCore::endAudio(const std::shared_ptr<SphinxStream> &s)
{
    std::lock_guard lk(m_mutex);
    if (!s->audioEnded) {
        s->audioEnded = true;
        --m_openRequests;
    }
    m_cv.notify_all();
}

void SphinxCore::cancel(const std::shared_ptr<SphinxStream> &s)
{
    {
        std::lock_guard g(s->deliveryMutex);
        s->cancelled = true;
    }
    std::lock_guard lk(m_mutex);
    if (!s->audioEnded) {
        s->audioEnded = true;
        --m_openRequests;
    }
    m_cv.notify_all();
}

void SphinxCore::start(const std::shared_ptr<SphinxStream> &s, RecognitionHandler handler)
{
    std::lock_guard lk(m_mutex);
    if (s->taskStarted || m_stopping)
        return;
    s->taskStarted = true;
    s->handler = std::move(handler);
    m_order.push_back(s);
    m_cv.notify_all();
}

double SphinxCore::queuedSeconds()
{
    std::lock_guard lk(m_mutex);
    return double(m_totalQueued) / kSampleRate;
}

bool SphinxCore::waitForRoom(double maxQueuedSeconds, int timeoutMs)
{
    std::unique_lock lk(m_mutex);
    const auto room = [&] {
        return m_stopping
            || (double(m_totalQueued) / kSampleRate < maxQueuedSeconds && (m_requestsMade == 0 || m_openRequests > 0));
    };
    return m_progress.wait_for(lk, std::chrono::milliseconds(timeoutMs), room);
}

bool SphinxCore::waitUntilIdle(int timeoutMs)
{
    std::unique_lock lk(m_mutex);
    return m_progress.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] {
        return m_stopping || (!m_busy && !readyFront() && (m_loaded || m_loadFailed.load()));
    });
}

PocketSphinxRecognizer::Stats SphinxCore::stats()
{
    std::lock_guard lk(m_mutex);
    return m_stats;
}

bool SphinxCore::readyFront() const
{
    if (m_order.empty())
        return false;
    const auto &s = m_order.front();
    return s->cancelled || s->formatError || !s->audio.empty() || s->audioEnded || !m_ps;
}

void SphinxCore::deliver(const std::shared_ptr<SphinxStream> &s, std::optional<RecognitionResult> r,
                         std::optional<RecognitionError> e)
{
    std::lock_guard g(s->deliveryMutex);
    if (s->cancelled || !s->handler)
        return;
    s->handler(std::move(r), std::move(e));
}

void SphinxCore::finishStream(const std::shared_ptr<SphinxStream> &s)
{
    std::lock_guard lk(m_mutex);
    s->done = true;
    m_totalQueued -= s->queuedSamples;
    s->queuedSamples = 0;
    s->audio.clear();
    if (!s->audioEnded) {
        s->audioEnded = true;
        --m_openRequests;
    }
    m_order.erase(std::remove(m_order.begin(), m_order.end(), s), m_order.end());
    m_progress.notify_all();
}

void SphinxCore::fail(const std::shared_ptr<SphinxStream> &s, RecognitionFailure kind, const QString &message)
{
    diag(QStringLiteral("PocketSphinx 识别失败（%1）: %2").arg(int(kind)).arg(message));
    if (m_dec.stream == s)
        abandon();
    finishStream(s);
    deliver(s, std::nullopt, RecognitionError{kind, message});
}

void SphinxCore::run()
{
    const bool ok = load();
    {
        std::lock_guard lk(m_mutex);
        m_loaded = ok;
        if (!ok)
            m_loadFailed = true;
    }
    m_progress.notify_all();

    std::unique_lock lk(m_mutex);
    for (;;) {
        m_cv.wait(lk, [&] { return m_stopping || readyFront(); });
        if (m_stopping)
            break;
        std::shared_ptr<SphinxStream> s = m_order.front();
        m_busy = true;
        if (s->cancelled) {
            lk.unlock();
            if (m_dec.stream == s)
                abandon();
            finishStream(s);
        } else if (!m_ps) {
            lk.unlock();
            fail(s, ModelUnavailable, QStringLiteral("英语语音识别模型不可用（请安装 pocketsphinx-en-us）"));
        } else if (s->formatError) {
            const double rate = s->badRate;
            lk.unlock();
            fail(s, UnsupportedFormat, QStringLiteral("识别器只接受 16 kHz 音频，收到 %1 Hz").arg(rate, 0, 'f', 0));
        } else if (!s->audio.empty()) {
            std::vector<int16_t> chunk = std::move(s->audio.front());
            s->audio.pop_front();
            s->queuedSamples -= qint64(chunk.size());
            m_totalQueued -= qint64(chunk.size());
            m_progress.notify_all();
            lk.unlock();
            process(s, chunk);
        } else {
            lk.unlock();
            finalize(s);
        }
        lk.lock();
        m_busy = false;
        m_progress.notify_all();
    }
    lk.unlock();
    if (m_dec.stream)
        abandon();
    if (m_ps)
        ps_free(m_ps);
    m_ps = nullptr;
}

bool SphinxCore::beginStream(const std::shared_ptr<SphinxStream> &s)
{
    m_dec = Decoding{};
    m_dec.stream = s;
    m_dec.capitalizeNext = s->options.addsPunctuation;
    checkContextualStrings(s->options.contextualStrings);
    // One stream per request: the noise estimate and the frame origin start
    // afresh here, and only here.
    if (ps_start_stream(m_ps) < 0 || ps_start_utt(m_ps) < 0) {
        fail(s, StartFailed, QStringLiteral("识别器无法开始解码"));
        return false;
    }
    m_dec.uttOpen = true;
    return true;
}

void SphinxCore::checkContextualStrings(const QStringList &strings)
{
    static const QRegularExpression split(QStringLiteral("[^\\w']+"));
    for (const QString &phrase : strings) {
        for (const QString &part : phrase.toLower().split(split, Qt::SkipEmptyParts)) {
            if (m_reportedUnknown.contains(part))
                continue;
            const QByteArray utf8 = part.toUtf8();
            char *phones = ps_lookup_word(m_ps, utf8.constData());
            if (phones) {
                ckd_free(phones);
                continue;
            }
            m_reportedUnknown.insert(part);
            diag(QStringLiteral("识别词典中没有术语词: ") + part);
        }
    }
}

std::vector<Word> SphinxCore::hypothesisWords()
{
    std::vector<Word> words;
    for (ps_seg_t *seg = ps_seg_iter(m_ps); seg; seg = ps_seg_next(seg)) {
        const QString w = QString::fromUtf8(ps_seg_word(seg));
        if (sphinx::isFiller(w))
            continue;
        int sf = 0, ef = 0;
        ps_seg_frames(seg, &sf, &ef);
        const QString text = sphinx::stripAlternate(w);
        if (text.isEmpty())
            continue;
        words.push_back(Word{text, sf, ef});
    }
    return words;
}

std::vector<Word> SphinxCore::formatted(const std::vector<Word> &raw, bool capitalizeFirst, bool period) const
{
    std::vector<Word> out = raw;
    if (!m_dec.stream || !m_dec.stream->options.addsPunctuation)
        return out;
    for (size_t i = 0; i < out.size(); ++i) {
        QString &t = out[i].text;
        if (t == QLatin1String("i") || t.startsWith(QLatin1String("i'")))
            t[0] = u'I';
        if (i == 0 && capitalizeFirst)
            t = capitalised(t);
    }
    if (period && !out.empty())
        out.back().text += u'.';
    return out;
}

RecognitionResult SphinxCore::transcript(const std::vector<Word> &live, bool isFinal) const
{
    RecognitionResult r;
    r.isFinal = isFinal;
    QString &text = r.bestTranscription.formattedString;
    auto add = [&](const Word &w) {
        if (!text.isEmpty())
            text += u' ';
        RecognitionSegment seg;
        seg.location = text.size();
        seg.length = w.text.size();
        seg.timestamp = double(w.startFrame) / kFramesPerSecond;
        seg.duration = double(std::max(0, w.endFrame - w.startFrame + 1)) / kFramesPerSecond;
        text += w.text;
        r.bestTranscription.segments.push_back(seg);
    };
    for (const Word &w : m_dec.fixedWords)
        add(w);
    for (const Word &w : formatted(live, m_dec.capitalizeNext, false))
        add(w);
    return r;
}

void SphinxCore::deliverPartial(bool force)
{
    const auto &s = m_dec.stream;
    if (!s->options.shouldReportPartialResults)
        return;
    RecognitionResult r = transcript(m_dec.lastLive, false);
    const auto &t = r.bestTranscription;
    const bool same = m_dec.deliveredAny && t.formattedString == m_dec.lastDeliveredText
        && t.segments.size() == m_dec.lastDeliveredSegments.size()
        && std::equal(t.segments.begin(), t.segments.end(), m_dec.lastDeliveredSegments.begin(),
                      [](const RecognitionSegment &a, const RecognitionSegment &b) {
                          return a.location == b.location && a.length == b.length && a.timestamp == b.timestamp
                              && a.duration == b.duration;
                      });
    if (same && !force)
        return;
    m_dec.deliveredAny = true;
    m_dec.lastDeliveredText = t.formattedString;
    m_dec.lastDeliveredSegments = t.segments;
    deliver(s, std::move(r), std::nullopt);
}

bool SphinxCore::endUtterance(bool punctuate, bool restart)
{
    const double t0 = threadCpuSeconds();
    const int rc = ps_end_utt(m_ps);
    const double cost = threadCpuSeconds() - t0;
    m_dec.uttOpen = false;
    if (rc < 0) {
        fail(m_dec.stream, EndFailed, QStringLiteral("识别器无法结束语句"));
        return false;
    }
    const std::vector<Word> words = hypothesisWords();
    {
        std::lock_guard lk(m_mutex);
        ++m_stats.utteranceEnds;
        if (!punctuate && restart)
            ++m_stats.utteranceCuts;
        m_stats.utteranceEndCpuSeconds += cost;
        m_stats.decodeCpuSeconds += cost;
        m_stats.maxUtteranceEndCpuSeconds = std::max(m_stats.maxUtteranceEndCpuSeconds, cost);
        if (!words.empty() && words != m_dec.lastLive)
            ++m_stats.finalsRewritten;
    }
    if (!words.empty()) {
        const bool period = punctuate && m_dec.stream->options.addsPunctuation;
        for (Word &w : formatted(words, m_dec.capitalizeNext, period))
            m_dec.fixedWords.push_back(std::move(w));
        m_dec.capitalizeNext = period;
    }
    m_dec.lastLive.clear();
    m_dec.heardSpeech = false;
    m_dec.speechRunSamples = 0;
    if (restart) {
        if (ps_start_utt(m_ps) < 0) {
            fail(m_dec.stream, StartFailed, QStringLiteral("识别器无法开始新语句"));
            return false;
        }
        m_dec.uttOpen = true;
    }
    return true;
}

bool SphinxCore::process(const std::shared_ptr<SphinxStream> &s, const std::vector<int16_t> &samples)
{
    if (m_dec.stream != s && !beginStream(s))
        return false;
    const double t0 = threadCpuSeconds();
    const int rc = ps_process_raw(m_ps, samples.data(), samples.size(), FALSE, FALSE);
    const bool inSpeech = ps_get_in_speech(m_ps) != 0;
    {
        std::lock_guard lk(m_mutex);
        m_stats.decodeCpuSeconds += threadCpuSeconds() - t0;
        m_stats.samplesDecoded += qint64(samples.size());
    }
    if (rc < 0) {
        fail(s, DecodeFailed, QStringLiteral("识别器解码失败"));
        return false;
    }
    if (inSpeech) {
        m_dec.heardSpeech = true;
        m_dec.speechRunSamples += qint64(samples.size());
    } else {
        m_dec.speechRunSamples = 0;
    }

    if (m_dec.heardSpeech && !inSpeech) {
        // Speech fell to silence: that utterance is a sentence.
        if (!endUtterance(true, true))
            return false;
        deliverPartial(false);
        return true;
    }
    if (inSpeech && m_dec.speechRunSamples > qint64(maxUtteranceSeconds.load() * kSampleRate)) {
        // Unbroken speech: cut it before the utterance's end gets expensive.
        if (!endUtterance(false, true))
            return false;
        deliverPartial(false);
        return true;
    }
    m_dec.lastLive = hypothesisWords();
    deliverPartial(false);
    return true;
}

void SphinxCore::finalize(const std::shared_ptr<SphinxStream> &s)
{
    if (m_dec.stream == s && m_dec.uttOpen) {
        if (!endUtterance(true, false))
            return;
    }
    RecognitionResult r;
    r.isFinal = true;
    if (m_dec.stream == s)
        r = transcript({}, true);
    m_dec = Decoding{};
    finishStream(s);
    deliver(s, std::move(r), std::nullopt);
}

void SphinxCore::abandon()
{
    if (m_dec.uttOpen && m_ps)
        ps_end_utt(m_ps);
    m_dec = Decoding{};
}

// ---------------------------------------------------------------------------

namespace {

class SphinxRequest : public RecognitionRequest {
public:
    SphinxRequest(std::weak_ptr<SphinxCore> core, const RecognitionRequestOptions &options)
        : m_core(std::move(core)), m_stream(std::make_shared<SphinxStream>())
    {
        m_stream->options = options;
    }
    // Nobody can add audio any more: the task may finish.
    ~SphinxRequest() override { endAudio(); }
    void append(const PcmBuffer &buffer) override
    {
        if (auto c = m_core.lock())
            c->append(m_stream, buffer);
    }
    void endAudio() override
    {
        if (auto c = m_core.lock())
            c->endAudio(m_stream);
    }
    const RecognitionRequestOptions &options() const override { return m_stream->options; }
    const std::shared_ptr<SphinxStream> &stream() const { return m_stream; }
    const std::weak_ptr<SphinxCore> &core() const { return m_core; }

private:
    std::weak_ptr<SphinxCore> m_core;
    std::shared_ptr<SphinxStream> m_stream;
};

class SphinxTask : public RecognitionTask {
public:
    SphinxTask(std::weak_ptr<SphinxCore> core, std::shared_ptr<SphinxStream> stream)
        : m_core(std::move(core)), m_stream(std::move(stream))
    {
    }
    void finish() override
    {
        if (auto c = m_core.lock())
            c->endAudio(m_stream);
    }
    void cancel() override
    {
        if (auto c = m_core.lock())
            c->cancel(m_stream);
        else
            m_stream->cancelled = true;
    }

private:
    std::weak_ptr<SphinxCore> m_core;
    std::shared_ptr<SphinxStream> m_stream;
};

} // namespace

PocketSphinxRecognizer::PocketSphinxRecognizer(PocketSphinxOptions options)
    : m_core(std::make_shared<SphinxCore>(std::move(options)))
{
    m_core->startThread();
}

PocketSphinxRecognizer::~PocketSphinxRecognizer() { m_core->shutdown(); }

bool PocketSphinxRecognizer::isAvailable() const { return m_core->filesPresent() && !m_core->loadFailed(); }

std::shared_ptr<RecognitionRequest> PocketSphinxRecognizer::makeRequest(const RecognitionRequestOptions &options)
{
    m_core->registerRequest();
    return std::make_shared<SphinxRequest>(m_core, options);
}

std::shared_ptr<RecognitionTask> PocketSphinxRecognizer::startTask(std::shared_ptr<RecognitionRequest> request,
                                                                   RecognitionHandler handler)
{
    auto *req = dynamic_cast<SphinxRequest *>(request.get());
    if (!req || req->core().lock() != m_core) {
        // Not one of ours: fail it on a stream of its own, on the recognizer thread.
        RecognitionRequestOptions opts = request ? request->options() : RecognitionRequestOptions{};
        auto stream = std::make_shared<SphinxStream>();
        stream->options = opts;
        stream->formatError = true;
        stream->audioEnded = true; // never counted as an open request
        auto h = std::move(handler);
        m_core->start(stream, [h](std::optional<RecognitionResult>, std::optional<RecognitionError>) {
            if (h)
                h(std::nullopt, RecognitionError{ForeignRequest, QStringLiteral("识别请求不属于此识别器")});
        });
        return std::make_shared<SphinxTask>(m_core, stream);
    }
    m_core->start(req->stream(), std::move(handler));
    return std::make_shared<SphinxTask>(m_core, req->stream());
}

bool PocketSphinxRecognizer::waitUntilLoaded(int timeoutMs) const { return m_core->waitUntilLoaded(timeoutMs); }
bool PocketSphinxRecognizer::usesFwdflat() const { return m_core->fwdflat(); }
void PocketSphinxRecognizer::setMaxUtteranceSeconds(double seconds) { m_core->maxUtteranceSeconds = seconds; }
double PocketSphinxRecognizer::queuedSeconds() const { return m_core->queuedSeconds(); }
bool PocketSphinxRecognizer::waitForRoom(double maxQueuedSeconds, int timeoutMs) const
{
    return m_core->waitForRoom(maxQueuedSeconds, timeoutMs);
}
bool PocketSphinxRecognizer::waitUntilIdle(int timeoutMs) const { return m_core->waitUntilIdle(timeoutMs); }
PocketSphinxRecognizer::Stats PocketSphinxRecognizer::stats() const { return m_core->stats(); }

std::shared_ptr<PocketSphinxRecognizer> makePocketSphinxRecognizer(PocketSphinxOptions options)
{
    return std::make_shared<PocketSphinxRecognizer>(std::move(options));
}

} // namespace vox
