#include "SentencePass.h"

#include "platform/Diag.h"

#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vox {

namespace {
// Tokens a sentence may take: a fast speaker says about three words a second,
// a word is one or two tokens.
int tokenLimit(double seconds)
{
    return int(std::ceil(seconds * 5.0)) + 10;
}
} // namespace

struct SentencePass::Job {
    quint64 id = 0;
    QString reason;
    std::vector<Sentence> live;
    std::vector<std::optional<QString>> decoded;
    size_t owed = 0; // decodes the worker still owes
    bool passThrough = false;
    bool overdue = false;
    TaskHandle deadline;
};

// One thread, one sentence at a time. Results hop back to the pass's thread;
// the pass joins the thread before it goes, so its events never outlive it.
struct SentencePass::Worker {
    struct Item {
        quint64 job = 0;
        size_t index = 0;
        std::vector<float> samples;
        SentenceDecodeOptions options;
    };

    Worker(std::shared_ptr<SentenceDecoder> d, SentencePass *owner) : decoder(std::move(d)), owner(owner)
    {
        thread = std::thread([this] { run(); });
    }
    ~Worker()
    {
        {
            std::lock_guard guard(lock);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void push(Item item)
    {
        {
            std::lock_guard guard(lock);
            items.push_back(std::move(item));
        }
        wake.notify_all();
    }
    // Every job up to `job` is no longer wanted: its decode stops.
    void abandonThrough(quint64 job)
    {
        quint64 seen = abandoned.load();
        while (seen < job && !abandoned.compare_exchange_weak(seen, job)) {
        }
    }

    void run()
    {
        for (;;) {
            Item item;
            {
                std::unique_lock guard(lock);
                wake.wait(guard, [this] { return stopping || !items.empty(); });
                if (stopping)
                    return;
                item = std::move(items.front());
                items.pop_front();
            }
            if (item.job <= abandoned.load())
                continue;
            const quint64 job = item.job;
            item.options.shouldStop = [this, job] { return stopping.load() || job <= abandoned.load(); };
            const auto began = std::chrono::steady_clock::now();
            std::optional<QString> text = decoder->decode(item.samples, item.options);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            SentencePass *pass = owner;
            const size_t index = item.index;
            const double audio = double(item.samples.size()) / 16000.0;
            QMetaObject::invokeMethod(
                pass, [pass, job, index, text, seconds, audio] { pass->onDecoded(job, index, text, seconds, audio); },
                Qt::QueuedConnection);
        }
    }

    std::shared_ptr<SentenceDecoder> decoder;
    SentencePass *owner;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Item> items;
    std::atomic<bool> stopping{false};
    std::atomic<quint64> abandoned{0};
    std::thread thread;
};

SentencePass::SentencePass(Release release, QObject *parent) : QObject(parent), m_release(std::move(release)) {}

SentencePass::~SentencePass()
{
    m_worker.reset();
}

std::shared_ptr<SpeechRecognizer> SentencePass::tap(std::shared_ptr<SpeechRecognizer> recognizer)
{
    if (!recognizer)
        return nullptr;
    m_tap = std::make_shared<RecognizerAudioTap>(std::move(recognizer));
    m_tap->setKeeping(bool(m_decoder));
    return m_tap;
}

void SentencePass::setDecoder(std::shared_ptr<SentenceDecoder> decoder)
{
    if (decoder == m_decoder)
        return;
    releaseAllNow();
    m_worker.reset();
    m_decoder = std::move(decoder);
    if (m_decoder)
        m_worker = std::make_unique<Worker>(m_decoder, this);
    if (m_tap)
        m_tap->setKeeping(bool(m_decoder));
    diag(QStringLiteral("句子识别器：%1").arg(recognizerName()));
    emit recognizerNameChanged();
}

QString SentencePass::recognizerName() const
{
    return m_decoder ? m_decoder->displayName() : QStringLiteral("PocketSphinx");
}

void SentencePass::submit(const std::vector<RecognitionChunk> &chunks, double requestStart, const QString &reason,
                          const QString &prompt, std::optional<double> followingStart)
{
    if (chunks.empty())
        return;
    Job job;
    job.id = m_nextJob++;
    job.reason = reason;
    for (const auto &c : chunks)
        job.live.push_back(Sentence{c.text, requestStart + c.startTimestamp.value_or(0.0)});
    job.decoded.resize(chunks.size());

    if (!m_decoder || !m_worker || !m_tap) {
        m_release(job.live, reason);
        return;
    }

    const auto waitingForDecoder =
        std::count_if(m_jobs.begin(), m_jobs.end(), [](const Job &j) { return !j.passThrough && j.owed > 0; });
    if (!m_patient && (m_bypassing || waitingForDecoder >= kBacklogLimit)) {
        job.passThrough = true;
        m_stats.backlogPassed += int(chunks.size());
        setBypassing(true);
    } else {
        double audio = 0;
        const double heard = m_tap->heardSeconds();
        for (size_t i = 0; i < chunks.size(); ++i) {
            if (!chunks[i].startTimestamp)
                continue;
            const double start = *chunks[i].startTimestamp;
            double end = heard + kMarginAfter;
            if (i + 1 < chunks.size() && chunks[i + 1].startTimestamp)
                end = *chunks[i + 1].startTimestamp;
            else if (followingStart && *followingStart > start)
                end = *followingStart;
            const double from = std::max(0.0, start - kMarginBefore);
            const double length = end - from;
            if (length < kShortestSentence || length > kLongestSentence)
                continue;
            std::vector<float> samples = m_tap->samples(from, end);
            if (samples.size() < size_t(kShortestSentence * 16000))
                continue;
            const double seconds = double(samples.size()) / 16000.0;
            SentenceDecodeOptions options;
            options.prompt = prompt;
            options.maxTokens = tokenLimit(seconds);
            m_worker->push(Worker::Item{job.id, i, std::move(samples), options});
            ++job.owed;
            audio += seconds;
        }
        if (job.owed > 0 && !m_patient) {
            const quint64 id = job.id;
            job.deadline = timeSource().after(kDeadlineFactor * audio + kDeadlineExtra, this, [this, id] {
                for (auto &j : m_jobs)
                    if (j.id == id)
                        j.overdue = true;
                pump();
            });
        }
    }
    m_jobs.push_back(std::move(job));
    pump();
}

void SentencePass::pump()
{
    while (!m_jobs.empty()) {
        Job &head = m_jobs.front();
        if (!(head.passThrough || head.owed == 0 || head.overdue))
            break;
        Job job = std::move(head);
        m_jobs.pop_front();
        releaseJob(job, job.owed > 0);
    }
    if (m_jobs.empty())
        setBypassing(false);
}

void SentencePass::releaseJob(Job &job, bool timedOut)
{
    job.deadline.cancel();
    if (timedOut) {
        ++m_stats.deadlineFallbacks;
        if (m_worker)
            m_worker->abandonThrough(job.id);
        diag(QStringLiteral("%1 未在时限内完成，%2 句沿用 PocketSphinx 文本").arg(recognizerName()).arg(job.owed));
    }
    std::vector<Sentence> out = job.live;
    for (size_t i = 0; i < out.size(); ++i) {
        if (!job.decoded[i])
            continue;
        diag(QStringLiteral("%1 重识别: [%2] → [%3]").arg(recognizerName(), out[i].text, *job.decoded[i]));
        out[i].text = *job.decoded[i];
    }
    m_release(out, job.reason);
}

void SentencePass::onDecoded(quint64 job, size_t index, std::optional<QString> text, double seconds, double audio)
{
    for (auto &j : m_jobs) {
        if (j.id != job)
            continue;
        if (index < j.decoded.size() && j.owed > 0) {
            // Text without a word in it would be dropped by translation.
            if (text && std::none_of(text->begin(), text->end(), [](QChar c) { return c.isLetterOrNumber(); }))
                text.reset();
            j.decoded[index] = std::move(text);
            --j.owed;
            ++m_stats.decoded;
            m_stats.decodeSeconds += seconds;
            m_stats.audioSeconds += audio;
        }
        break;
    }
    pump();
}

std::vector<SentencePass::Sentence> SentencePass::waiting() const
{
    std::vector<Sentence> out;
    for (const auto &j : m_jobs)
        out.insert(out.end(), j.live.begin(), j.live.end());
    return out;
}

void SentencePass::releaseAllNow()
{
    while (!m_jobs.empty()) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        releaseJob(job, job.owed > 0);
    }
    setBypassing(false);
}

void SentencePass::setBypassing(bool on)
{
    if (on == m_bypassing)
        return;
    m_bypassing = on;
    diag(on ? QStringLiteral("%1 积压，新句子暂用 PocketSphinx 文本").arg(recognizerName())
            : QStringLiteral("%1 积压已清空，恢复重识别").arg(recognizerName()));
    emit bypassingChanged();
}

} // namespace vox
