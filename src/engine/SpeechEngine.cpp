#include "SpeechEngine.h"

#include "engine/AudioDeviceManager.h"
#include "glossary/GlossaryManager.h"
#include "platform/Diag.h"
#include "platform/MainThread.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QPointer>

namespace vox {

namespace {

const QString kNoAudio3s = QStringLiteral(
    "3 秒内未采集到音频：请在「系统设置 → 声音 → 输入」（或 PulseAudio 音量控制 pavucontrol 的「输入设备」）中确认所选麦克风未被静音，并确认输入音量不为 0。");
const QString kNoText8s = QStringLiteral(
    "已采集到音频但未产生识别结果：请确认已安装英语模型包 pocketsphinx-en-us（若已安装，先点「停止」再重新「开始」以重新初始化语音识别），并确认所选麦克风正在收到说话声。");

} // namespace

// ---- construction ----------------------------------------------------------------

SpeechEngine::SpeechEngine(QObject *parent) : SpeechEngine(vox::platform(), parent) {}

SpeechEngine::SpeechEngine(const Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform), m_recording(platform)
{
    init();
}

void SpeechEngine::init()
{
    m_pipeline = std::make_unique<TranslationPipeline>(*this);
    m_sentencePass = std::make_unique<SentencePass>(
        [this](const std::vector<SentencePass::Sentence> &s, const QString &reason) { toTranslation(s, reason); });
    connect(m_sentencePass.get(), &SentencePass::recognizerNameChanged, this, &SpeechEngine::recognizerNameChanged);
    Platform recognition = m_platform;
    recognition.recognizer = m_sentencePass->tap(m_platform.recognizer);
    m_recognition = std::make_unique<RecognitionSession>(recognition, *this);
    connect(m_pipeline.get(), &TranslationPipeline::translationEntriesChanged, this,
            &SpeechEngine::translationEntriesChanged);
    connect(m_pipeline.get(), &TranslationPipeline::translatedTextChanged, this,
            &SpeechEngine::translatedTextChanged);
    connect(m_pipeline.get(), &TranslationPipeline::isTranslatingChanged, this, &SpeechEngine::isTranslatingChanged);
    connect(m_pipeline.get(), &TranslationPipeline::translationEngineChanged, this,
            &SpeechEngine::translationEngineChanged);

    // Every landed sentence joins the running (or ending) course.
    connect(m_pipeline.get(), &TranslationPipeline::entryAppended, this, [this](const TranslationEntry &e) {
        if (auto *course = m_courses->live())
            course->addEntry(e);
    });
    connect(m_pipeline.get(), &TranslationPipeline::entryReplaced, this,
            [this](const TranslationEntry &e) { m_courses->replaceTranslation(e); });
    connect(this, &SpeechEngine::chunksSubmitted, this, [this] {
        if (auto *course = m_courses->live())
            course->touch();
    });

    m_liveSummary = std::make_unique<LiveSummary>(*this);
    // A key stored in the settings window ends the key-points warning.
    connect(&settings(), &Settings::changed, this, [this](const QString &key) {
        if (key == QLatin1String(Keys::DeepSeekApiKey) && !settings().string(key).isEmpty())
            m_notices.settle(NoticeCause::SummaryApiKey);
    });
    connect(m_liveSummary.get(), &LiveSummary::summaryPointsChanged, this, &SpeechEngine::summaryPointsChanged);
    connect(m_liveSummary.get(), &LiveSummary::summaryPointsChanged, this, [this] {
        if (auto *course = m_courses->live())
            course->setSummaryPoints(m_liveSummary->summaryPoints());
    });

    m_courses = std::make_unique<CourseKeeper>(*this, *m_liveSummary, m_recording);
    connect(m_courses.get(), &CourseKeeper::isActiveChanged, this, &SpeechEngine::isCourseActiveChanged);
    connect(m_courses.get(), &CourseKeeper::startDateChanged, this, &SpeechEngine::courseStartDateChanged);
    connect(m_courses.get(), &CourseKeeper::durationChanged, this, &SpeechEngine::courseDurationChanged);
    connect(m_courses.get(), &CourseKeeper::completedChanged, this, &SpeechEngine::completedCourseChanged);
    connect(m_courses.get(), &CourseKeeper::isEndingChanged, this, &SpeechEngine::isEndingCourseChanged);
    connect(m_courses.get(), &CourseKeeper::entryCountChanged, this, &SpeechEngine::courseEntryCountChanged);
    connect(m_courses.get(), &CourseKeeper::archivePathChanged, this, &SpeechEngine::courseArchivePathChanged);
    connect(m_courses.get(), &CourseKeeper::ended, this, &SpeechEngine::courseEnded);
    connect(m_liveSummary.get(), &LiveSummary::isSummarizingChanged, this, &SpeechEngine::isSummarizingChanged);

    // A previous run that died while the default input was switched left its
    // note behind: put the user's default back now.
    m_starter = std::make_unique<SessionStarter>(m_platform, *this);
    m_starter->defaultInput().restoreLeftOver();

    m_watch = std::make_unique<CaptureWatch>(m_platform, *this);
    connect(m_watch.get(), &CaptureWatch::interruptedChanged, this, &SpeechEngine::captureInterruptedChanged);

    // Application exit: end the session and give the default input back even
    // if the engine itself outlives the event loop.
    if (auto *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { shutDown(QStringLiteral("应用退出")); });
    }
}

void SpeechEngine::shutDown(const QString &why)
{
    m_starter->abandon(why);
    if (m_isRecording)
        stop();
    // Whatever ends the process, the course is written first.
    endCourseNow();
    m_starter->defaultInput().restore();
}

SpeechEngine::~SpeechEngine()
{
    shutDown(QStringLiteral("引擎释放"));
    m_sessionTimerTask.cancel();
    m_recognition.reset();
    // The collaborators call back into the engine while they go.
    m_sentencePass.reset();
    m_liveSummary.reset();
    m_pipeline.reset();
}

// ---- published values ----------------------------------------------------------------

QString SpeechEngine::translatedText() const
{
    return m_pipeline ? m_pipeline->translatedText() : QString();
}

bool SpeechEngine::isTranslating() const
{
    return m_pipeline && m_pipeline->isTranslating();
}

void SpeechEngine::setTranslationUnavailable(bool on)
{
    if (m_translationUnavailable == on)
        return;
    m_translationUnavailable = on;
    emit translationUnavailableChanged();
}

void SpeechEngine::setTranslationEnabled(bool on)
{
    if (m_isTranslationEnabled == on)
        return;
    m_isTranslationEnabled = on;
    emit isTranslationEnabledChanged();
}

TranslationEngine SpeechEngine::translationEngine() const
{
    return m_pipeline->translationEngine();
}

void SpeechEngine::setTranslationEngine(TranslationEngine e)
{
    m_pipeline->setTranslationEngine(e);
}

QString SpeechEngine::translationEngineRaw() const
{
    return rawValue(translationEngine());
}

void SpeechEngine::setTranslationEngineRaw(const QString &raw)
{
    if (auto e = translationEngineFromRaw(raw))
        setTranslationEngine(*e);
}

const TranscriptEntries &SpeechEngine::translationEntries() const
{
    return m_pipeline->translationEntries();
}

QDateTime SpeechEngine::courseStartDateTime() const
{
    const auto start = m_courses->startDate();
    return start ? start->toQDateTime() : QDateTime();
}

QStringList SpeechEngine::summaryPoints() const
{
    return m_liveSummary ? m_liveSummary->summaryPoints() : QStringList();
}

bool SpeechEngine::isSummarizing() const
{
    return m_liveSummary && m_liveSummary->isSummarizing();
}

void SpeechEngine::setGlossaryManager(GlossaryManager *g)
{
    m_glossaryManager = g;
    m_pipeline->setGlossaryManager(g);
}

void SpeechEngine::setTranslationSession(std::shared_ptr<TranslationSession> s)
{
    m_pipeline->setTranslationSession(std::move(s));
}

std::shared_ptr<TranslationSession> SpeechEngine::translationSession() const
{
    return m_pipeline->translationSession();
}

void SpeechEngine::setRecognizedText(const QString &t)
{
    if (m_recognizedText == t)
        return;
    m_recognizedText = t;
    if (!t.isEmpty())
        m_notices.settle({NoticeCause::NoText, NoticeCause::Recognition});
    emit recognizedTextChanged();
}

void SpeechEngine::setRecording(bool on)
{
    if (m_isRecording == on)
        return;
    m_isRecording = on;
    emit isRecordingChanged();
}

void SpeechEngine::setLevel(double v)
{
    if (m_level == v)
        return;
    m_level = v;
    emit levelChanged();
}

void SpeechEngine::setAudioActive(bool on)
{
    if (m_audioActive == on)
        return;
    m_audioActive = on;
    if (on)
        m_notices.settle(NoticeCause::NoAudio);
    emit audioActiveChanged();
}

void SpeechEngine::setLastError(const QString &message)
{
    m_notices.raise(NoticeCause::General, message);
}

namespace {
NoticeCause noticeCause(PipelineNotice cause)
{
    switch (cause) {
    case PipelineNotice::Translation:
        return NoticeCause::Translation;
    case PipelineNotice::DeepSeek:
        return NoticeCause::DeepSeek;
    case PipelineNotice::ApiKey:
        return NoticeCause::TranslationApiKey;
    }
    return NoticeCause::Translation;
}
} // namespace

void SpeechEngine::raiseNotice(PipelineNotice cause, const QString &message)
{
    m_notices.raise(noticeCause(cause), message);
}

void SpeechEngine::settleNotice(PipelineNotice cause)
{
    m_notices.settle(noticeCause(cause));
}

void SpeechEngine::summaryProblem(const QString &message, bool needsKey)
{
    m_notices.raise(needsKey ? NoticeCause::SummaryApiKey : NoticeCause::Summary, message);
}

void SpeechEngine::setSessionDuration(double v)
{
    if (m_sessionDuration == v)
        return;
    m_sessionDuration = v;
    emit sessionDurationChanged();
}

// ---- device resolution -------------------------------------------------------------

std::vector<AudioObjectID> SpeechEngine::allAudioDeviceIDs(HardwareAudio &hw)
{
    return AudioDeviceManager::allAudioDeviceIDs(hw);
}

std::vector<AudioObjectID> SpeechEngine::inputDeviceIDs(HardwareAudio &hw)
{
    return AudioDeviceManager::inputDeviceIDs(hw);
}

std::optional<AudioObjectID> SpeechEngine::audioDeviceID(const QString &deviceID, const Platform &platform)
{
    return AudioDeviceManager::audioDeviceID(deviceID, platform);
}

// ---- start ------------------------------------------------------------------------------

void SpeechEngine::start(const QString &deviceID)
{
    if (m_isRecording)
        stop();
    m_starter->start(deviceID);
}

void SpeechEngine::prepareSession()
{
    m_recognition->reset();
    m_pipeline->clearInFlightBatches();
    logRecognizedTextBeforeClear(QStringLiteral("开始录音"));
    setRecognizedText(QString());
}

void SpeechEngine::connectForwarder(const std::shared_ptr<AudioForwarder> &forwarder)
{
    // Audio thread → main thread; what a replaced forwarder sends is stale.
    QPointer<SpeechEngine> weak(this);
    std::weak_ptr<AudioForwarder> weakForwarder = forwarder;
    auto current = [weakForwarder](SpeechEngine *self) {
        auto f = weakForwarder.lock();
        return f && f == self->m_forwarder;
    };
    forwarder->onActivity = [weak, current](AudioActivity a) {
        hopToMain(weak, [a, current](SpeechEngine *self) {
            if (current(self))
                self->onActivity(a);
        });
    };
    forwarder->onError = [weak, current](const QString &message) {
        hopToMain(weak, [message, current](SpeechEngine *self) {
            if (current(self))
                self->m_notices.raise(NoticeCause::Recording, message);
        });
    };
}

void SpeechEngine::startFailed(const QString &message)
{
    m_notices.raise(NoticeCause::Start, message);
}

void SpeechEngine::started(StartedCapture capture)
{
    m_forwarder = std::move(capture.forwarder);
    m_audioEngine = std::move(capture.engine);

    // A successful start clears the warnings about capture first, so that a
    // recording that cannot be made is still reported; translation and
    // course warnings go when their cause does.
    m_notices.settle({NoticeCause::General, NoticeCause::Start, NoticeCause::NoAudio, NoticeCause::NoText,
                      NoticeCause::Capture, NoticeCause::Recognition, NoticeCause::Recording});
    openRecordingFile();

    m_watch->begin(capture.deviceID);
    setRecording(true);
    setLevel(0);
    setAudioActive(false);
    m_sessionStartDate = timeSource().now();
    setSessionDuration(0);
    m_recognition->begin();
    startSessionTimer();
    diag(QStringLiteral("长时间运行保护已启动（停顿处轮换 %1-%2s / 自动重连 / 计时）")
             .arg(int(kRotationAtPause))
             .arg(int(kHardRotation)));

    // Watchdogs: one-shot, never cancelled; they re-check the state.
    timeSource().after(3.0, this, [this] {
        if (m_isRecording && !m_audioActive)
            m_notices.raise(NoticeCause::NoAudio, kNoAudio3s);
    });
    timeSource().after(8.0, this, [this] {
        if (m_isRecording && m_audioActive && !m_notices.current() && m_recognizedText.isEmpty())
            m_notices.raise(NoticeCause::NoText, kNoText8s);
    });
}

// ---- recording file -----------------------------------------------------------------------

std::optional<QString> SpeechEngine::recordingURL(const Date &start) const
{
    return m_recording.pathFor(start);
}

double SpeechEngine::recordingPosition() const
{
    return m_recording.position(m_forwarder.get());
}

void SpeechEngine::openRecordingFile()
{
    const auto courseStart = m_courses->startDate();
    const Date start = (m_courses->isActive() && courseStart) ? *courseStart : timeSource().now();
    if (const auto problem = m_recording.open(*m_forwarder, start, m_courses->live()))
        m_notices.raise(NoticeCause::Recording, *problem);
    emit recordingPathsChanged();
}

void SpeechEngine::finalizeRecording()
{
    m_recording.sessionStopped();
    emit recordingPathsChanged();
}

// ---- stop ---------------------------------------------------------------------------------

void SpeechEngine::stop()
{
    if (!m_isRecording) {
        // A start still waiting for permission, the device or its format
        // ends here too, without leaving the default input switched; so
        // does the wait for a lost microphone.
        m_starter->abandon(QStringLiteral("停止"));
        m_watch->stopWaiting();
        return;
    }
    // 1. What was said about the capture of this session no longer holds.
    setRecording(false);
    m_notices.settle({NoticeCause::NoAudio, NoticeCause::NoText});
    m_sessionTimerTask.cancel();
    m_sessionTimerTask = TaskHandle();
    m_sessionStartDate.reset();

    // 2.
    if (m_audioEngine) {
        m_audioEngine->stop();
        m_audioEngine->removeTap();
        m_audioEngine.reset();
    }

    // 3.
    if (m_forwarder) {
        m_forwarder->setRequest(nullptr);
        m_forwarder->clearBufferedAudio();
        m_forwarder->takeRecordingFile();
    }

    // 4–5.
    m_recognition->finishForStop();

    // 6.
    finalizeRecording();

    // 7.
    m_forwarder.reset();
    m_starter->defaultInput().restore();

    // 8.
    setLevel(0);
    setAudioActive(false);
}

// ---- timers -------------------------------------------------------------------------------

void SpeechEngine::startSessionTimer()
{
    m_sessionTimerTask.cancel();
    m_sessionTimerTask = timeSource().every(1.0, this, [this] {
        if (!m_isRecording) {
            m_sessionTimerTask.cancel();
            return;
        }
        if (m_sessionStartDate)
            setSessionDuration(timeSource().now().secondsSince(*m_sessionStartDate));
        m_recognition->evaluate();
        m_watch->check();
    });
}


// ---- a microphone that goes away ----------------------------------------------------------

void SpeechEngine::resumeCapture(const QString &deviceID)
{
    start(deviceID);
}

void SpeechEngine::onActivity(AudioActivity a)
{
    m_watch->audioArrived();
    setLevel(a.level);
    if (!m_audioActive)
        setAudioActive(true);
    m_recognition->onSilence(a.silenceDuration);
}

// ---- recognition --------------------------------------------------------------------------

QStringList SpeechEngine::contextualStrings() const
{
    QStringList out;
    if (!m_glossaryManager)
        return out;
    for (const auto &term : m_glossaryManager->terms()) {
        if (term.source.isEmpty())
            continue;
        out.append(term.source);
        if (out.size() >= kContextualStringLimit)
            break;
    }
    return out;
}

void SpeechEngine::refreshRecognizedText()
{
    QStringList parts;
    for (const auto &b : m_pipeline->inFlightBatches())
        if (!b.sourceText.isEmpty())
            parts.append(b.sourceText);
    if (m_sentencePass)
        for (const auto &s : m_sentencePass->waiting())
            parts.append(s.text);
    const QString pending = m_recognition ? m_recognition->pendingText() : QString();
    if (!pending.isEmpty())
        parts.append(pending);
    setRecognizedText(parts.join(QLatin1Char(' ')));
}

void SpeechEngine::logRecognizedTextBeforeClear(const QString &reason)
{
    if (m_recognizedText.isEmpty())
        return;
    diag(QStringLiteral("英语识别清除[%1]: %2").arg(reason, m_recognizedText));
}

void SpeechEngine::handOver(const std::vector<RecognitionChunk> &chunks, const QString &reason)
{
    if (chunks.empty())
        return;
    if (!m_sentencePass->hasDecoder()) {
        emit chunksSubmitted(chunks, reason);
        m_pipeline->submitChunks(chunks, reason);
        return;
    }
    // The words still being recognized begin where this hand-over's audio ends.
    std::optional<double> following;
    const auto &a = m_recognition->assembler();
    if (a.emittedWordCount() < qsizetype(a.words().size()) && a.words()[size_t(a.emittedWordCount())].timestamp > 0)
        following = a.words()[size_t(a.emittedWordCount())].timestamp;
    m_recognition->clearPendingSince();
    m_sentencePass->submit(chunks, m_recognition->requestStartRecordingTime(), reason,
                           contextualStrings().join(QStringLiteral(", ")), following);
    refreshRecognizedText();
}

void SpeechEngine::toTranslation(const std::vector<SentencePass::Sentence> &sentences, const QString &reason)
{
    // The pipeline places a chunk at the current request's start plus its
    // own time; a sentence that waited may belong to an earlier request.
    const double requestStart = m_recognition ? m_recognition->requestStartRecordingTime() : 0.0;
    std::vector<RecognitionChunk> chunks;
    for (const auto &s : sentences)
        chunks.push_back(RecognitionChunk{
            s.text, s.audioTime ? std::optional<double>(*s.audioTime - requestStart) : std::nullopt});
    emit chunksSubmitted(chunks, reason);
    m_pipeline->submitChunks(chunks, reason);
}

void SpeechEngine::setSentenceDecoder(std::shared_ptr<SentenceDecoder> decoder)
{
    m_sentencePass->setDecoder(std::move(decoder));
}

void SpeechEngine::recognitionProblem(const QString &message)
{
    m_notices.raise(NoticeCause::Recognition, message);
}

void SpeechEngine::pendingTextChanged()
{
    refreshRecognizedText();
}

QString SpeechEngine::friendlyMessage(const RecognitionError &error)
{
    return RecognitionSession::friendlyMessage(error);
}

// ---- course lifecycle -------------------------------------------------------------------

void SpeechEngine::startCourse()
{
    m_courses->start();
}

void SpeechEngine::endCourse()
{
    if (!m_courses->isActive())
        return;
    m_courses->end();
    m_watch->stopWaiting();
}

void SpeechEngine::endCourseNow()
{
    m_courses->endNow();
}

void SpeechEngine::stopRecording()
{
    stop();
}

bool SpeechEngine::sentencesUnderWay() const
{
    return m_recognition->isFinalizingStop() || !m_sentencePass->isIdle() || !m_pipeline->isIdle();
}

std::vector<TranslationEntry> SpeechEngine::waitingSentences() const
{
    std::vector<TranslationEntry> out = m_pipeline->waitingSentences();
    const Date now = timeSource().now();
    for (const auto &s : m_sentencePass->waiting())
        out.emplace_back(now, s.text, TranslationPipeline::placeholder(), std::max(0.0, s.audioTime.value_or(0.0)));
    return out;
}

void SpeechEngine::courseWriteProblem(const QString &message, const QString &previous)
{
    if (!message.isEmpty())
        m_notices.raise(NoticeCause::Course, message);
    else if (!previous.isEmpty())
        m_notices.settle(NoticeCause::Course, previous);
}

} // namespace vox
