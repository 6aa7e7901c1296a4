#include "SphinxCore.h"

#include "platform/Diag.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace vox {

namespace {

constexpr int kSampleRate = 16000;

// The decoder's failures, as the engine knows them.
constexpr auto ModelUnavailable = RecognitionFailure::ModelUnavailable;
constexpr auto UnsupportedFormat = RecognitionFailure::UnsupportedAudio;
// A decoder that cannot start or end an utterance has lost that request;
// a new request starts a fresh stream.
constexpr auto StartFailed = RecognitionFailure::Interrupted;
constexpr auto EndFailed = RecognitionFailure::Interrupted;
constexpr auto DecodeFailed = RecognitionFailure::Internal;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

} // namespace

SphinxCore::SphinxCore(PocketSphinxOptions options)
    : m_options(std::move(options)), m_model(SphinxModel::locate(m_options))
{
    if (!m_model.filesPresent) {
        diag(QStringLiteral("PocketSphinx 模型文件缺失: ") + m_model.dir);
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

void SphinxCore::requestLoad()
{
    {
        std::lock_guard lk(m_mutex);
        if (m_loadRequested)
            return;
        m_loadRequested = true;
    }
    m_cv.notify_all();
}

bool SphinxCore::waitUntilLoaded(int timeoutMs)
{
    requestLoad();
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
        return m_stopping
            || (!m_busy && !readyFront() && (m_loaded || m_loadFailed.load() || !m_loadRequested));
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
    return s->cancelled || s->formatError || !s->audio.empty() || s->audioEnded || !m_loaded;
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
    {
        // Nothing is loaded until someone needs the decoder: a preload or a task.
        std::unique_lock lk(m_mutex);
        m_cv.wait(lk, [&] { return m_stopping || m_loadRequested || !m_order.empty(); });
        if (m_stopping)
            return;
        m_loadRequested = true;
        ++m_stats.loads;
    }
    double loadSeconds = 0;
    ps_decoder_t *ps = m_model.load(loadSeconds);
    {
        std::lock_guard lk(m_mutex);
        m_ps = ps;
        m_stats.loadSeconds = loadSeconds;
        m_loaded = ps != nullptr;
        if (!ps)
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
    m_dec.transcript = SphinxTranscript(s->options.addsPunctuation);
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

void SphinxCore::deliverPartial()
{
    const auto &s = m_dec.stream;
    if (!s->options.shouldReportPartialResults)
        return;
    RecognitionResult r = m_dec.transcript.partialResult();
    if (m_dec.transcript.markDelivered(r))
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
    const std::vector<sphinx::Word> words = sphinx::hypothesisWords(m_ps);
    {
        std::lock_guard lk(m_mutex);
        ++m_stats.utteranceEnds;
        if (!punctuate && restart)
            ++m_stats.utteranceCuts;
        m_stats.utteranceEndCpuSeconds += cost;
        m_stats.decodeCpuSeconds += cost;
        m_stats.maxUtteranceEndCpuSeconds = std::max(m_stats.maxUtteranceEndCpuSeconds, cost);
        if (!words.empty() && words != m_dec.transcript.live())
            ++m_stats.finalsRewritten;
    }
    m_dec.transcript.endUtterance(words, punctuate);
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
        deliverPartial();
        return true;
    }
    if (inSpeech && m_dec.speechRunSamples > qint64(maxUtteranceSeconds.load() * kSampleRate)) {
        // Unbroken speech: cut it before the utterance's end gets expensive.
        if (!endUtterance(false, true))
            return false;
        deliverPartial();
        return true;
    }
    m_dec.transcript.setLive(sphinx::hypothesisWords(m_ps));
    deliverPartial();
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
        r = m_dec.transcript.finalResult();
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

} // namespace vox
