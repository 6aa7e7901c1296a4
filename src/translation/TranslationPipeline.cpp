#include "TranslationPipeline.h"

#include "ChatCompletions.h"
#include "PipelineTexts.h"
#include "DeepSeekTranslationService.h"
#include "LocalTranslationSession.h"
#include "TranslationCache.h"
#include "TranslationService.h"
#include "platform/Diag.h"
#include "platform/Settings.h"
#include "platform/Time.h"

#include "glossary/GlossaryManager.h"

#include <QPointer>
#include <algorithm>
#include <deque>

namespace vox {

namespace {

constexpr int kMaxAttempts = 3;
constexpr double kRetryDelay = 1.5;
constexpr double kMinimumDisplay = 0.45;
constexpr size_t kRecentContextLimit = 5;
constexpr size_t kEntryLimit = 10000;

const QString kPlaceholder = QStringLiteral("（译文缺失，请参考英文原文）");
const QString kRemoveReason = QStringLiteral("译文落地移除原文");
const QString kSep = QStringLiteral(" | ");

} // namespace

namespace M = PipelineTexts;

struct PendingBatch {
    QStringList texts;
    std::vector<double> audioTimes;
    QUuid id;
    Date submittedAt;
    // Set when this is a landed entry's placeholder translated again: the
    // entry's id. Such a batch runs beside the chain and says nothing to the
    // user when it fails.
    std::optional<QUuid> replaces;
};

struct TranslationPipeline::Private {
    TranslationPipeline *q;
    PipelineHost &host;

    TranscriptModel transcript{kEntryLimit};
    QString translatedText;
    bool isTranslating = false;
    TranslationEngine engine = TranslationEngine::System;
    std::vector<InFlightBatch> inFlight;
    std::deque<ContextPair> recent;
    std::shared_ptr<TranslationSession> session;
    std::unique_ptr<TranslationService> service;
    QPointer<GlossaryManager> glossary;

    // The chain: batches wait here in submission order; one runs at a time.
    std::deque<PendingBatch> queue;
    std::optional<PendingBatch> current;
    int attempt = 0;
    bool pumping = false;
    bool recordOnly = false;

    // Landed entries holding the placeholder, oldest first, and the retry
    // of the first of them when one is under way.
    TranslationServiceStatus status;
    std::deque<QUuid> retryIds;
    bool retrying = false;
    TaskHandle retryTimer;

    Private(TranslationPipeline *q, PipelineHost &host) : q(q), host(host) {}

    // The local server's address, empty for a session of another kind.
    QUrl localAddress() const
    {
        const auto *local = dynamic_cast<const LocalTranslationSession *>(session.get());
        return local ? local->baseUrl() : QUrl();
    }

    std::vector<GlossaryPair> glossaryTerms() const
    {
        if (!glossary)
            return {};
        return glossaryPairs(glossary->terms());
    }
    QString fingerprint() const { return TranslationCache::glossaryFingerprint(glossaryTerms()); }

    TranslationService &translationService()
    {
        if (!service)
            service = std::make_unique<TranslationService>();
        return *service;
    }

    void setTranslating(bool on)
    {
        if (isTranslating == on)
            return;
        isTranslating = on;
        Q_EMIT q->isTranslatingChanged();
    }

    // ------------------------------------------------------------ chain

    void enqueue(PendingBatch b)
    {
        queue.push_back(std::move(b));
        pump();
    }

    // Starts queued batches one at a time. A batch that ends synchronously
    // (a cache hit) lets the loop start the next without recursion.
    void pump()
    {
        if (pumping)
            return;
        pumping = true;
        while (!current && !queue.empty()) {
            current = std::move(queue.front());
            queue.pop_front();
            attempt = 1;
            runAttempt();
        }
        pumping = false;
    }

    void runAttempt()
    {
        const QUuid id = current->id;
        const int thisAttempt = attempt;
        translateSentences(*current, [this, id, thisAttempt](bool ok) { attemptEnded(id, thisAttempt, ok); });
    }

    void attemptEnded(const QUuid &id, int thisAttempt, bool ok)
    {
        if (!current || current->id != id || attempt != thisAttempt)
            return;
        if (ok) {
            batchEnded();
            // The service answers: the sentences it failed before get their turn.
            retryPlaceholders();
            return;
        }
        if (attempt >= kMaxAttempts) {
            recordTranslationFailure(*current);
            batchEnded();
            return;
        }
        attempt += 1;
        timeSource().after(kRetryDelay, q, [this, id] {
            if (!current || current->id != id)
                return;
            diag(QStringLiteral("翻译重试（第 %1 次）: ").arg(attempt - 1) + current->texts.join(kSep));
            runAttempt();
        });
    }

    void batchEnded()
    {
        current.reset();
        pump();
    }

    // ------------------------------------------------------------ placeholders

    void keepForRetry(const QUuid &entryId)
    {
        retryIds.push_back(entryId);
        if (!retryTimer.isActive())
            retryTimer = timeSource().every(TranslationPipeline::kRetryInterval, q, [this] { retryPlaceholders(); });
    }

    // Translates the oldest placeholder again when nothing else waits.
    void retryPlaceholders()
    {
        if (retrying || recordOnly || current || !queue.empty())
            return;
        const TranscriptEntries &entries = transcript.entries();
        while (!retryIds.empty()) {
            const QUuid id = retryIds.front();
            const auto it = std::find_if(entries.begin(), entries.end(), [&](const TranslationEntry &e) { return e.id == id; });
            if (it == entries.end() || it->target != kPlaceholder) {
                retryIds.pop_front();
                continue;
            }
            retrying = true;
            PendingBatch b{QStringList{it->source}, {it->audioTime}, QUuid::createUuid(), timeSource().now(), id};
            diag(QStringLiteral("重新翻译译文缺失的句子: ") + it->source);
            translateSentences(b, [this, id](bool ok) {
                retrying = false;
                if (!ok)
                    return; // the service still fails: the next landing or the timer tries again
                if (!retryIds.empty() && retryIds.front() == id)
                    retryIds.pop_front();
                retryPlaceholders();
            });
            return;
        }
        retryTimer.cancel();
        retryTimer = TaskHandle();
    }

    // The placeholder of entry `b.replaces` is replaced by its translation.
    bool replacePlaceholder(const QStringList &results, const PendingBatch &b)
    {
        const auto cleaned = M::cleanedResults(results, b.texts.size());
        const TranscriptEntries &entries = transcript.entries();
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const TranslationEntry &e) { return e.id == *b.replaces; });
        if (!cleaned || it == entries.end())
            return false;
        TranslationCache::cacheResults(*cleaned, b.texts, fingerprint());
        const int row = int(it - entries.begin());
        transcript.setTarget(row, cleaned->front());
        diag(QStringLiteral("译文已补上: ") + it->source + kSep + it->target);
        host.settleNotice(PipelineNotice::Translation);
        Q_EMIT q->entryReplaced(*it, row);
        Q_EMIT q->translationEntriesChanged();
        return true;
    }

    void notice(const PendingBatch &b, PipelineNotice cause, const QString &message)
    {
        if (!b.replaces)
            host.raiseNotice(cause, message);
    }

    void setTranslatingFor(const PendingBatch &b, bool on)
    {
        if (!b.replaces)
            setTranslating(on);
    }

    // ------------------------------------------------------------ attempts

    void translateSentences(const PendingBatch &b, std::function<void(bool)> done)
    {
        if (recordOnly) {
            // Sentences are kept without a translation: no engine, no cache,
            // no context.
            appendTranslationResults(QStringList(b.texts.size(), QString()), b.texts, b.audioTimes, true);
            completeInFlightBatch(b.id);
            done(true);
            return;
        }
        if (const auto cached = TranslationCache::cachedResults(b.texts, fingerprint())) {
            diag(QStringLiteral("命中离线翻译缓存: ") + b.texts.join(kSep));
            done(finishTranslation(*cached, b));
            return;
        }
        if (engine == TranslationEngine::DeepSeek) {
            translateViaDeepSeek(b, std::move(done));
            return;
        }
        // Linux always has the local facility; only its session can be missing.
        if (!session) {
            notice(b, PipelineNotice::Translation, M::sessionNotReady);
            diag(QStringLiteral("翻译会话未就绪，保留英文原文"));
            done(false);
            return;
        }
        setTranslatingFor(b, true);
        diag(QStringLiteral("开始翻译: ") + b.texts.join(kSep));
        translationService().translate(b.texts, session, q, [this, b, done](Result<QStringList> r) {
            if (r) {
                diag(QStringLiteral("翻译完成: ") + r.value().join(kSep));
                status.localTranslated(localAddress());
                const bool landed = finishTranslation(r.value(), b);
                setTranslatingFor(b, false);
                done(landed);
                return;
            }
            diag(QStringLiteral("翻译失败: ") + ChatCompletions::fullDescription(r.error()));
            if (isLanguagePackMissing(r.error())) {
                status.localAnswered(localAddress(), false);
                notice(b, PipelineNotice::Translation, M::languagePackMissing);
            } else {
                if (r.error().domain != QLatin1String(kLocalTranslationDomain))
                    status.localNotAnswering(localAddress());
                notice(b, PipelineNotice::Translation, M::translateFailedPrefix + r.error().message);
            }
            setTranslatingFor(b, false);
            done(false);
        });
    }

    void translateViaDeepSeek(const PendingBatch &b, std::function<void(bool)> done)
    {
        const QString apiKey = settings().string(QLatin1String(Keys::DeepSeekApiKey));
        if (apiKey.isEmpty()) {
            notice(b, PipelineNotice::ApiKey, M::noApiKey);
            done(false);
            return;
        }
        setTranslatingFor(b, true);
        diag(QStringLiteral("DeepSeek 翻译: ") + b.texts.join(kSep));
        DeepSeekTranslationService::Input in;
        in.sentences = b.texts;
        in.glossary = glossaryTerms();
        in.apiKey = apiKey;
        in.recent.assign(recent.begin(), recent.end());
        in.subject = settings().string(QLatin1String(Keys::CourseSubject));
        DeepSeekTranslationService::translate(in, q, [this, b, done](Result<QStringList> r) {
            if (r) {
                diag(QStringLiteral("DeepSeek 翻译完成: ") + r.value().join(kSep));
                host.settleNotice(PipelineNotice::DeepSeek);
                const bool landed = finishTranslation(r.value(), b);
                setTranslatingFor(b, false);
                done(landed);
                return;
            }
            diag(QStringLiteral("DeepSeek 翻译失败，尝试降级系统翻译: ") + ChatCompletions::fullDescription(r.error()));
            notice(b, PipelineNotice::DeepSeek, M::deepSeekFellBackPrefix + r.error().message);
            if (!session) {
                notice(b, PipelineNotice::Translation, M::deepSeekNoSession);
                setTranslatingFor(b, false);
                done(false);
                return;
            }
            translationService().translate(b.texts, session, q, [this, b, done](Result<QStringList> f) {
                if (f) {
                    const bool landed = finishTranslation(f.value(), b);
                    setTranslatingFor(b, false);
                    done(landed);
                    return;
                }
                diag(QStringLiteral("系统降级翻译也失败: ") + ChatCompletions::fullDescription(f.error()));
                notice(b, PipelineNotice::Translation, M::bothFailedPrefix + f.error().message);
                setTranslatingFor(b, false);
                done(false);
            });
        });
    }

    // ------------------------------------------------------------ landing

    bool finishTranslation(const QStringList &results, const PendingBatch &b)
    {
        if (b.replaces)
            return replacePlaceholder(results, b);
        // A batch that was given up (landed with its placeholder) ignores a
        // late answer.
        if (!current || current->id != b.id)
            return false;
        if (const auto cleaned = M::cleanedResults(results, b.texts.size())) {
            TranslationCache::cacheResults(*cleaned, b.texts, fingerprint());
            appendTranslationResults(*cleaned, b.texts, b.audioTimes, false);
            completeInFlightBatch(b.id);
            host.settleNotice(PipelineNotice::Translation);
            return true;
        }
        host.raiseNotice(PipelineNotice::Translation, M::incomplete);
        diag(QStringLiteral("翻译结果不完整，保留英文: expected=%1, actual=%2").arg(b.texts.size()).arg(results.size()));
        return false;
    }

    void appendTranslationResults(const QStringList &results, const QStringList &texts,
                                  const std::vector<double> &audioTimes, bool isPlaceholder)
    {
        std::vector<TranslationEntry> appended;
        for (qsizetype i = 0; i < texts.size() && i < results.size(); ++i) {
            const double audio = size_t(i) < audioTimes.size() ? audioTimes[size_t(i)] : 0.0;
            appended.emplace_back(timeSource().now(), texts[i], results[i], audio);
            transcript.append(appended.back());
            if (results[i] == kPlaceholder)
                keepForRetry(appended.back().id);
            if (!isPlaceholder) {
                recent.push_back(ContextPair{texts[i], results[i]});
                while (recent.size() > kRecentContextLimit)
                    recent.pop_front();
            }
            if (!translatedText.isEmpty())
                translatedText += QLatin1Char('\n');
            translatedText += results[i];
        }
        if (appended.empty())
            return;
        Q_EMIT q->translationEntriesChanged();
        Q_EMIT q->translatedTextChanged();
        for (const auto &e : appended)
            Q_EMIT q->entryAppended(e);
    }

    bool removeInFlight(const QUuid &id)
    {
        const auto it = std::find_if(inFlight.begin(), inFlight.end(), [&](const InFlightBatch &b) { return b.id == id; });
        if (it == inFlight.end())
            return false;
        host.logRecognizedTextBeforeClear(kRemoveReason);
        // The host may have touched the list; look again.
        const auto again = std::find_if(inFlight.begin(), inFlight.end(), [&](const InFlightBatch &b) { return b.id == id; });
        if (again != inFlight.end())
            inFlight.erase(again);
        host.refreshRecognizedText();
        return true;
    }

    void completeInFlightBatch(const QUuid &id)
    {
        const auto it = std::find_if(inFlight.begin(), inFlight.end(), [&](const InFlightBatch &b) { return b.id == id; });
        if (it == inFlight.end())
            return;
        const double remaining = std::max(0.0, kMinimumDisplay - timeSource().now().secondsSince(it->submittedAt));
        if (remaining <= 0) {
            removeInFlight(id);
            return;
        }
        timeSource().after(remaining, q, [this, id] { removeInFlight(id); });
    }

    void recordTranslationFailure(const PendingBatch &b)
    {
        diag(QStringLiteral("翻译连续失败 %1 次，保留英文原文入账: ").arg(kMaxAttempts) + b.texts.join(kSep));
        QStringList placeholders;
        for (qsizetype i = 0; i < b.texts.size(); ++i)
            placeholders.append(kPlaceholder);
        appendTranslationResults(placeholders, b.texts, b.audioTimes, true);
        removeInFlight(b.id);
        host.raiseNotice(PipelineNotice::Translation, M::gaveUp);
    }
};

// ---------------------------------------------------------------- public

TranslationPipeline::TranslationPipeline(PipelineHost &host, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this, host))
{
    // A key stored in the settings window ends the "no key" warning.
    connect(&settings(), &Settings::changed, this, [this](const QString &key) {
        if (key == QLatin1String(Keys::DeepSeekApiKey) && !settings().string(key).isEmpty())
            d->host.settleNotice(PipelineNotice::ApiKey);
    });
}

TranslationPipeline::~TranslationPipeline() = default;

void TranslationPipeline::submitChunks(const std::vector<RecognitionChunk> &chunks, const QString &reason)
{
    QStringList texts;
    std::vector<double> audioTimes;
    const double requestStart = d->host.requestStartRecordingTime();
    for (const auto &c : chunks) {
        if (!M::hasLetterOrNumber(c.text))
            continue;
        texts.append(c.text);
        audioTimes.push_back(std::max(0.0, requestStart + c.startTimestamp.value_or(0.0)));
    }
    if (texts.isEmpty())
        return;
    d->host.clearPendingSince();
    InFlightBatch batch{QUuid::createUuid(), texts.join(QLatin1Char(' ')), timeSource().now()};
    d->inFlight.push_back(batch);
    diag(QStringLiteral("判句[") + reason + QStringLiteral("]: ") + texts.join(kSep));
    d->enqueue(PendingBatch{texts, std::move(audioTimes), batch.id, batch.submittedAt});
    d->host.refreshRecognizedText();
}

const TranscriptEntries &TranslationPipeline::translationEntries() const
{
    return d->transcript.entries();
}

TranscriptModel *TranslationPipeline::transcript() const
{
    return &d->transcript;
}

const QString &TranslationPipeline::translatedText() const
{
    return d->translatedText;
}

bool TranslationPipeline::isTranslating() const
{
    return d->isTranslating;
}

TranslationEngine TranslationPipeline::translationEngine() const
{
    return d->engine;
}

void TranslationPipeline::setTranslationEngine(TranslationEngine e)
{
    if (d->engine == e)
        return;
    d->engine = e;
    d->status.setOnline(e == TranslationEngine::DeepSeek);
    if (e == TranslationEngine::System) {
        d->host.settleNotice(PipelineNotice::ApiKey);
        d->host.settleNotice(PipelineNotice::DeepSeek);
    }
    Q_EMIT translationEngineChanged();
}

const std::vector<InFlightBatch> &TranslationPipeline::inFlightBatches() const
{
    return d->inFlight;
}

void TranslationPipeline::clearInFlightBatches()
{
    d->inFlight.clear();
}

void TranslationPipeline::setGlossaryManager(GlossaryManager *g)
{
    d->glossary = g;
}

void TranslationPipeline::setTranslationSession(std::shared_ptr<TranslationSession> s)
{
    d->session = std::move(s);
    if (!d->session)
        return;
    const auto *local = dynamic_cast<const LocalTranslationSession *>(d->session.get());
    d->status.localAnswered(d->localAddress(), !local || local->chineseAvailable());
    if (d->engine == TranslationEngine::System)
        d->host.settleNotice(PipelineNotice::Translation);
    d->retryPlaceholders();
}

TranslationServiceStatus &TranslationPipeline::serviceStatus()
{
    return d->status;
}

qsizetype TranslationPipeline::placeholdersToRetry() const
{
    const TranscriptEntries &entries = d->transcript.entries();
    return qsizetype(std::count_if(entries.begin(), entries.end(),
                                   [](const TranslationEntry &e) { return e.target == kPlaceholder; }));
}

std::shared_ptr<TranslationSession> TranslationPipeline::translationSession() const
{
    return d->session;
}

void TranslationPipeline::setRecordOnly(bool on)
{
    d->recordOnly = on;
}

bool TranslationPipeline::isIdle() const
{
    return !d->current && d->queue.empty();
}

std::vector<TranslationEntry> TranslationPipeline::waitingSentences() const
{
    std::vector<TranslationEntry> out;
    auto add = [&out](const PendingBatch &b) {
        for (qsizetype i = 0; i < b.texts.size(); ++i)
            out.emplace_back(b.submittedAt, b.texts[i], kPlaceholder,
                             size_t(i) < b.audioTimes.size() ? b.audioTimes[size_t(i)] : 0.0);
    };
    if (d->current)
        add(*d->current);
    for (const auto &b : d->queue)
        add(b);
    return out;
}

void TranslationPipeline::landWaitingNow()
{
    std::vector<PendingBatch> batches;
    if (d->current)
        batches.push_back(std::move(*d->current));
    d->current.reset();
    for (auto &b : d->queue)
        batches.push_back(std::move(b));
    d->queue.clear();
    d->setTranslating(false);
    for (const auto &b : batches) {
        diag(QStringLiteral("不再等待翻译，保留英文原文入账: ") + b.texts.join(kSep));
        d->appendTranslationResults(QStringList(b.texts.size(), kPlaceholder), b.texts, b.audioTimes, true);
        d->removeInFlight(b.id);
    }
}

const QString &TranslationPipeline::placeholder()
{
    return kPlaceholder;
}

} // namespace vox
