#include "SpeechEngine.h"

#include "course/CourseArchive.h"
#include "engine/AudioDeviceManager.h"
#include "glossary/GlossaryManager.h"
#include "platform/Diag.h"
#include "platform/Files.h"
#include "platform/MainThread.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>


namespace vox {

namespace {

const QString kMicDenied = QStringLiteral(
    "麦克风权限未开启：请在「系统设置 → 声音 → 输入」中确认本应用可以使用麦克风（PulseAudio/PipeWire 未将本应用静音），然后重试。");
const QString kSpeechDenied = QStringLiteral(
    "语音识别权限未开启：请确认本机语音识别已启用（已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us），然后重试。");
const QString kSpeechTimeout = QStringLiteral(
    "语音识别不可用：请先确认已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us，再点「开始」重试。");
const QString kRecognizerUnavailable = QStringLiteral(
    "语音识别不可用：请确认已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us（如缺失，可用 sudo apt install pocketsphinx-en-us 安装）。");
const QString kNoAudio3s = QStringLiteral(
    "3 秒内未采集到音频：请在「系统设置 → 声音 → 输入」（或 PulseAudio 音量控制 pavucontrol 的「输入设备」）中确认所选麦克风未被静音，并确认输入音量不为 0。");
const QString kNoText8s = QStringLiteral(
    "已采集到音频但未产生识别结果：请确认已安装英语模型包 pocketsphinx-en-us（若已安装，先点「停止」再重新「开始」以重新初始化语音识别），并确认所选麦克风正在收到说话声。");

QString describe(const Error &e)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(e.domain).arg(e.code).arg(e.message);
}

} // namespace

struct SpeechEngine::PendingStart {
    quint64 token = 0;
    QString deviceID;
    AudioObjectID deviceId = 0;
    std::unique_ptr<AudioEngine> engine;
    bool speechAnswered = false;
    TaskHandle timer;
};

// ---- construction ----------------------------------------------------------------

SpeechEngine::SpeechEngine(QObject *parent) : SpeechEngine(vox::platform(), parent) {}

SpeechEngine::SpeechEngine(const Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform), m_defaultInput(platform), m_recording(platform)
{
    init();
}

void SpeechEngine::init()
{
    const Date now = timeSource().now();

    m_pipeline = std::make_unique<TranslationPipeline>(*this);
    m_recognition = std::make_unique<RecognitionSession>(m_platform, *this);
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
    m_defaultInput.restoreLeftOver();

    // A microphone pulled out while recording is noticed at once.
    if (m_platform.captureDevices)
        m_platform.captureDevices->watch(this, [this] { checkCapture(); });

    // Application exit: end the session and give the default input back even
    // if the engine itself outlives the event loop.
    if (auto *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (m_pending)
                abandonPendingStart(QStringLiteral("应用退出"));
            if (m_isRecording)
                stop();
            // Whatever ends the process, the course is written first.
            endCourseNow();
            m_defaultInput.restore();
        });
    }
}

SpeechEngine::~SpeechEngine()
{
    if (m_pending)
        abandonPendingStart(QStringLiteral("引擎释放"));
    if (m_isRecording)
        stop();
    endCourseNow();
    m_defaultInput.restore();
    m_sessionTimerTask.cancel();
    m_recognition.reset();
    // The collaborators call back into the engine while they go.
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

const std::vector<TranslationEntry> &SpeechEngine::translationEntries() const
{
    return m_pipeline->translationEntries();
}

QVariantList SpeechEngine::translationEntriesVariant() const
{
    QVariantList list;
    const auto &entries = translationEntries();
    list.reserve(qsizetype(entries.size()));
    for (const auto &e : entries) {
        QVariantMap m;
        m.insert(QStringLiteral("source"), e.source);
        m.insert(QStringLiteral("target"), e.target);
        m.insert(QStringLiteral("audioTime"), e.audioTime);
        m.insert(QStringLiteral("timestamp"), e.timestamp.sinceReference);
        list.append(m);
    }
    return list;
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

bool SpeechEngine::pendingIs(quint64 token) const
{
    return m_pending && m_pending->token == token;
}

void SpeechEngine::dropPendingStart()
{
    // The one clean-up of a start that does not go through: nothing of it
    // stays behind, and the default input is the user's again.
    if (m_pending) {
        m_pending->timer.cancel();
        if (m_pending->engine)
            m_pending->engine->removeTap();
    }
    m_pending.reset();
    m_startToken++;
    m_forwarder.reset();
    m_defaultInput.restore();
}

void SpeechEngine::abandonPendingStart(const QString &why)
{
    if (!m_pending)
        return;
    diag(QStringLiteral("未完成的开始已放弃（%1）").arg(why));
    dropPendingStart();
}

void SpeechEngine::failStart(const QString &message, const QString &logLine)
{
    dropPendingStart();
    m_notices.raise(NoticeCause::Start, message);
    if (!logLine.isEmpty())
        diag(logLine);
}

void SpeechEngine::start(const QString &deviceID)
{
    // 1.
    if (m_isRecording)
        stop();
    if (m_pending)
        abandonPendingStart(QStringLiteral("新的开始"));

    m_pending = std::make_unique<PendingStart>();
    m_pending->token = ++m_startToken;
    m_pending->deviceID = deviceID;

    // 2.
    diag(QStringLiteral("===== start(deviceID=%1) =====").arg(deviceID));
    startCheckMicrophone();
}

void SpeechEngine::startCheckMicrophone()
{
    // 3. Microphone permission.
    Permissions *perms = m_platform.permissions.get();
    const AuthorizationState mic = perms ? perms->microphoneStatus() : AuthorizationState::Authorized;
    switch (mic) {
    case AuthorizationState::Denied:
    case AuthorizationState::Restricted:
        failStart(kMicDenied, QStringLiteral("麦克风权限 denied/restricted"));
        return;
    case AuthorizationState::Authorized:
        diag(QStringLiteral("麦克风权限已授权"));
        startCheckSpeech();
        return;
    case AuthorizationState::NotDetermined: {
        diag(QStringLiteral("麦克风权限 notDetermined，主动请求…"));
        const quint64 token = m_pending->token;
        QPointer<SpeechEngine> weak(this);
        perms->requestMicrophone([weak, token](bool granted) {
            hopToMain(weak, [token, granted](SpeechEngine *self) {
                diag(QStringLiteral("请求麦克风权限结果: ") + (granted ? QStringLiteral("true") : QStringLiteral("false")));
                if (self->pendingIs(token))
                    self->startCheckSpeech();
            });
        });
        return;
    }
    }
}

void SpeechEngine::startCheckSpeech()
{
    // 4. Speech-recognition permission.
    Permissions *perms = m_platform.permissions.get();
    const AuthorizationState speech = perms ? perms->speechStatus() : AuthorizationState::Authorized;
    switch (speech) {
    case AuthorizationState::Denied:
    case AuthorizationState::Restricted:
        failStart(kSpeechDenied, QStringLiteral("语音识别权限 denied/restricted"));
        return;
    case AuthorizationState::Authorized:
        diag(QStringLiteral("语音识别权限已授权"));
        startFromRecognizer();
        return;
    case AuthorizationState::NotDetermined: {
        diag(QStringLiteral("语音识别权限 notDetermined，主动请求…"));
        const quint64 token = m_pending->token;
        // The time limit first, so that an answer given at once still wins.
        m_pending->timer = timeSource().after(kSpeechAuthorizationWait, this, [this, token] {
            if (!pendingIs(token) || m_pending->speechAnswered)
                return;
            m_pending->speechAnswered = true;
            diag(QStringLiteral("语音识别授权请求超时：疑似「听写」未开启"));
            failStart(kSpeechTimeout, QString());
        });
        QPointer<SpeechEngine> weak(this);
        perms->requestSpeech([weak, token](AuthorizationState) {
            hopToMain(weak, [token](SpeechEngine *self) {
                diag(QStringLiteral("语音识别授权回调"));
                if (!self->pendingIs(token) || self->m_pending->speechAnswered)
                    return;
                self->m_pending->speechAnswered = true;
                self->m_pending->timer.cancel();
                self->startFromRecognizer();
            });
        });
        return;
    }
    }
}

void SpeechEngine::startFromRecognizer()
{
    // 5. Recognizer.
    if (!m_platform.recognizer || !m_platform.recognizer->isAvailable()) {
        failStart(kRecognizerUnavailable, QStringLiteral("语音识别器不可用（isAvailable=false）"));
        return;
    }

    // 6. Device.
    const QString deviceID = m_pending->deviceID;
    const auto resolved = audioDeviceID(deviceID, m_platform);
    if (!resolved) {
        failStart(QStringLiteral("找不到所选麦克风对应的系统音频设备，请重新选择或刷新设备列表。"),
                  QStringLiteral("audioDeviceID(for:) 匹配失败: ") + deviceID);
        return;
    }
    m_pending->deviceId = *resolved;
    diag(QStringLiteral("所选设备 %1 → PulseAudio 输入源编号 %2").arg(deviceID).arg(*resolved));

    // 7. Per-session recognition state.
    m_recognition->reset();
    m_pipeline->clearInFlightBatches();
    logRecognizedTextBeforeClear(QStringLiteral("开始录音"));
    setRecognizedText(QString());

    // 8. Switch the system default input.
    const int status = m_defaultInput.switchTo(*resolved);
    diag(QStringLiteral("setDefaultInputDevice(%1) 返回 %2").arg(*resolved).arg(status));
    if (status != 0) {
        failStart(QStringLiteral("无法切换到所选麦克风（错误码 %1）。").arg(status), QString());
        return;
    }
    const quint64 token = m_pending->token;
    m_pending->timer = timeSource().after(kDeviceSettle, this, [this, token] {
        if (pendingIs(token))
            startAfterSettle();
    });
}

void SpeechEngine::startAfterSettle()
{
    AudioObjectID now = 0;
    m_platform.hardware->defaultInputDevice(now);
    diag(QStringLiteral("切换后默认输入设备 id=%1").arg(now));

    // 9. Audio engine and its input format.
    m_pending->engine = m_platform.audioEngines ? m_platform.audioEngines->create() : nullptr;
    if (!m_pending->engine) {
        failStart(QStringLiteral("无法适配麦克风音频格式（0.0Hz）。"), QStringLiteral("转换器创建失败"));
        return;
    }
    const PcmFormat format = m_pending->engine->inputFormat();
    if (!(format.sampleRate > 0) || format.channels == 0) {
        diag(QStringLiteral("首次取格式异常 (%1Hz/%2ch)，重试…").arg(formatDouble(format.sampleRate)).arg(format.channels));
        const quint64 token = m_pending->token;
        m_pending->timer = timeSource().after(kFormatRetry, this, [this, token] {
            if (pendingIs(token))
                startWithFormat(m_pending->engine->inputFormat());
        });
        return;
    }
    startWithFormat(format);
}

void SpeechEngine::startWithFormat(PcmFormat format)
{
    // 10.
    diag(QStringLiteral("硬件格式: %1Hz / %2ch").arg(formatDouble(format.sampleRate)).arg(format.channels));

    // 11. Converter.
    std::unique_ptr<AudioConverter> converter;
    if (format.sampleRate > 0 && format.channels != 0 && m_platform.converters)
        converter = m_platform.converters->create(format, PcmFormat::target());
    if (!converter) {
        failStart(QStringLiteral("无法适配麦克风音频格式（%1Hz）。").arg(formatDouble(format.sampleRate)),
                  QStringLiteral("转换器创建失败"));
        return;
    }

    // 12. Forwarder with its two callbacks (audio thread → main thread).
    auto forwarder = std::make_shared<AudioForwarder>(PcmFormat::target());
    forwarder->setConverter(std::move(converter));
    QPointer<SpeechEngine> weak(this);
    std::weak_ptr<AudioForwarder> weakForwarder = forwarder;
    forwarder->onActivity = [weak, weakForwarder](AudioActivity a) {
        hopToMain(weak, [a, weakForwarder](SpeechEngine *self) {
            // Activity of a forwarder that has been replaced is stale.
            auto f = weakForwarder.lock();
            if (!f || f != self->m_forwarder)
                return;
            self->onActivity(a);
        });
    };
    forwarder->onError = [weak, weakForwarder](const QString &message) {
        hopToMain(weak, [message, weakForwarder](SpeechEngine *self) {
            auto f = weakForwarder.lock();
            if (!f || f != self->m_forwarder)
                return;
            self->m_notices.raise(NoticeCause::Recording, message);
        });
    };
    m_forwarder = forwarder;

    // 13. Tap.
    AudioEngine &engine = *m_pending->engine;
    engine.installTap(AudioForwarder::kTapBufferSize, [weakForwarder](const PcmBuffer &buffer) {
        if (auto f = weakForwarder.lock())
            f->handle(buffer);
    });

    // 14. Start the engine.
    engine.prepare();
    if (auto err = engine.start()) {
        failStart(QStringLiteral("无法启动录音：") + err->message, QStringLiteral("音频采集启动失败: ") + describe(*err));
        return;
    }
    diag(QStringLiteral("音频采集已启动（Qt 音频输入）"));

    // 15. Recording file. A successful start clears the warnings about
    // capture first, so that a recording that cannot be made is still
    // reported; translation and course warnings go when their cause does.
    m_notices.settle({NoticeCause::General, NoticeCause::Start, NoticeCause::NoAudio, NoticeCause::NoText,
                      NoticeCause::Capture, NoticeCause::Recognition, NoticeCause::Recording});
    openRecordingFile();

    // 16. Publish the session.
    m_sessionDeviceID = m_pending->deviceID;
    m_lastAudioAt = timeSource().now();
    stopWaitingForDevice();
    m_audioEngine = std::move(m_pending->engine);
    m_pending.reset();
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
        if (m_pending)
            abandonPendingStart(QStringLiteral("停止"));
        stopWaitingForDevice();
        return;
    }
    // 1.
    setRecording(false);
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
    m_defaultInput.restore();

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
        checkCapture();
    });
}

// ---- a microphone that goes away ----------------------------------------------------------

void SpeechEngine::checkCapture()
{
    if (!m_isRecording)
        return;
    // PulseAudio moves a stream whose source disappears to another source,
    // so audio may keep coming: the chosen device itself must still be there.
    if (m_platform.captureDevices && !m_sessionDeviceID.isEmpty()
        && !m_platform.captureDevices->device(m_sessionDeviceID)) {
        captureLost(QStringLiteral("设备已断开"));
        return;
    }
    if (m_audioActive && timeSource().now().secondsSince(m_lastAudioAt) >= m_captureSilenceLimit)
        captureLost(QStringLiteral("%1 秒未收到音频").arg(m_captureSilenceLimit));
}

void SpeechEngine::captureLost(const QString &why)
{
    const QString deviceID = m_sessionDeviceID;
    diag(QStringLiteral("麦克风采集中断（%1）: %2；停止本段识别，等待设备恢复").arg(why, deviceID));
    // The session ends as a stop does (its last sentence is kept); a course
    // goes on and its recording stays open for the resumed capture.
    stop();
    setCaptureInterrupted(true);
    m_notices.raise(NoticeCause::Capture, QStringLiteral("麦克风连接中断（%1）：已识别的内容已保留%2，设备恢复后会自动继续。")
                     .arg(why, m_courses->isActive() ? QStringLiteral("，课程仍在进行") : QString()));
    m_deviceReturnPoll = timeSource().every(kDeviceReturnPoll, this, [this, deviceID] {
        if (m_isRecording || m_pending)
            return;
        if (m_platform.captureDevices && !m_platform.captureDevices->device(deviceID))
            return;
        diag(QStringLiteral("麦克风已恢复，继续采集: ") + deviceID);
        start(deviceID);
    });
}

void SpeechEngine::setCaptureInterrupted(bool on)
{
    if (m_captureInterrupted == on)
        return;
    m_captureInterrupted = on;
    emit captureInterruptedChanged();
}

void SpeechEngine::stopWaitingForDevice()
{
    m_deviceReturnPoll.cancel();
    m_deviceReturnPoll = TaskHandle();
    setCaptureInterrupted(false);
}

void SpeechEngine::onActivity(AudioActivity a)
{
    m_lastAudioAt = timeSource().now();
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
    emit chunksSubmitted(chunks, reason);
    m_pipeline->submitChunks(chunks, reason);
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
    stopWaitingForDevice();
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
    return m_recognition->isFinalizingStop() || !m_pipeline->isIdle();
}

std::vector<TranslationEntry> SpeechEngine::waitingSentences() const
{
    return m_pipeline->waitingSentences();
}

void SpeechEngine::courseWriteProblem(const QString &message, const QString &previous)
{
    if (!message.isEmpty())
        m_notices.raise(NoticeCause::Course, message);
    else if (!previous.isEmpty())
        m_notices.settle(NoticeCause::Course, previous);
}

} // namespace vox
