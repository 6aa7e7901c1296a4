#include "RecognitionSession.h"

#include "engine/AudioForwarder.h"
#include "platform/Diag.h"
#include "platform/MainThread.h"

#include <QPointer>

namespace vox {

RecognitionSession::RecognitionSession(Platform platform, RecognitionHost &host, QObject *parent)
    : QObject(parent), m_platform(std::move(platform)), m_host(host)
{
    const Date now = timeSource().now();
    m_requestStartedAt = now;
    m_transcriptChangedAt = now;
}

RecognitionSession::~RecognitionSession()
{
    if (m_task)
        m_task->cancel();
}

void RecognitionSession::reset()
{
    m_isFinalizingStop = false;
    m_isRotating = false;
    m_rotationStartRecordingTime.reset();
    m_silenceDuration = 0;
    m_assembler.reset();
}

void RecognitionSession::begin()
{
    m_rotationCount = 0;
    m_autoRestartFailures = 0;
    startRequest();
}

void RecognitionSession::finishForStop()
{
    m_isRotating = false;
    if (m_request) {
        m_request->endAudio();
        m_request.reset();
    }
    if (m_task) {
        m_isFinalizingStop = true;
        m_task->finish();
        scheduleFinalizationFallback(m_generation);
    } else {
        if (m_host.isTranslationEnabled())
            handOver(m_assembler.take(true), QStringLiteral("停止收尾"));
        m_assembler.reset();
    }
}

void RecognitionSession::onSilence(double silenceDuration)
{
    m_silenceDuration = silenceDuration;
    evaluate();
}

void RecognitionSession::evaluate()
{
    evaluateSentenceBoundary();
    evaluateRotation();
}

void RecognitionSession::handOver(const std::vector<RecognitionChunk> &chunks, const QString &reason)
{
    if (!chunks.empty())
        m_host.handOver(chunks, reason);
}

void RecognitionSession::startRequest()
{
    // 1–2.
    if (!m_host.isRecording())
        return;
    if (!m_platform.recognizer || !m_platform.recognizer->isAvailable()) {
        diag(QStringLiteral("识别器不可用，稍后重试"));
        m_host.recognitionProblem(QStringLiteral("语音识别服务暂时不可用，正在自动重试…"));
        scheduleAutoRestart();
        return;
    }
    // 3.
    RecognitionRequestOptions options;
    options.shouldReportPartialResults = true;
    options.requiresOnDeviceRecognition = true;
    options.addsPunctuation = true;
    options.contextualStrings = m_host.contextualStrings();
    auto request = m_platform.recognizer->makeRequest(options);
    // 4.
    const qint64 g = ++m_generation;
    // 5.
    QPointer<RecognitionSession> weak(this);
    auto task = m_platform.recognizer->startTask(
        request, [weak, g](std::optional<RecognitionResult> result, std::optional<RecognitionError> error) {
            hopToMain(weak, [g, result = std::move(result), error = std::move(error)](RecognitionSession *self) {
                self->handleResult(result, error, g);
            });
        });
    m_task = task;
    m_request = request;
    // 6.
    m_assembler.reset();
    // 7.
    m_requestStartRecordingTime = m_rotationStartRecordingTime ? *m_rotationStartRecordingTime : m_host.recordingPosition();
    m_rotationStartRecordingTime.reset();
    // 8.
    const Date now = timeSource().now();
    m_requestStartedAt = now;
    m_transcriptChangedAt = now;
    m_pendingSince.reset();
    // 9.
    if (auto *f = m_host.forwarder())
        f->setRequest(request);
    // 10.
    diag(QStringLiteral("识别请求已开启（术语提示 %1 条，音频起点 %2s）")
             .arg(request->options().contextualStrings.size())
             .arg(QString::asprintf("%.1f", m_requestStartRecordingTime)));
}

void RecognitionSession::handleResult(const std::optional<RecognitionResult> &result,
                                      const std::optional<RecognitionError> &error, qint64 generation)
{
    // 1.
    if (generation != m_generation)
        return;
    // 2.
    if (result) {
        m_autoRestartFailures = 0;
        applyTranscription(result->bestTranscription);
        if (!error && !result->isFinal)
            return;
    }
    // 3.
    if (!result && !error)
        return;
    // 4.
    if (error) {
        m_host.recognitionProblem(friendlyMessage(*error));
        diag(QStringLiteral("识别错误（类别 %1）: %2").arg(int(error->kind)).arg(error->detail));
    }
    // 5.
    m_isFinalizingStop = false;
    m_isRotating = false;
    if (m_host.isTranslationEnabled())
        handOver(m_assembler.take(true), QStringLiteral("识别段结束"));
    m_assembler.reset();
    m_request.reset();
    m_task.reset();
    if (!m_rotationStartRecordingTime)
        m_rotationStartRecordingTime = m_host.recordingPosition();
    if (auto *f = m_host.forwarder())
        f->setRequest(nullptr);
    // 6.
    if (m_host.isRecording()) {
        if (error)
            scheduleAutoRestart();
        else
            startRequest();
    }
}

void RecognitionSession::applyTranscription(const RecognitionTranscription &t)
{
    // 1.
    std::vector<RecognitionWord> words;
    words.reserve(t.segments.size());
    for (const auto &s : t.segments)
        words.push_back(RecognitionWord{TextRange{s.location, s.length}, s.timestamp, s.duration});
    // 2.
    if (words.empty() && !t.formattedString.isEmpty()) {
        diag(QStringLiteral("识别结果无词片段，本次跳过: ") + t.formattedString);
        return;
    }
    // 3.
    const QString old = m_assembler.fullText();
    // 4.
    auto rescued = m_assembler.update(t.formattedString, std::move(words), m_host.isTranslationEnabled());
    if (!rescued.empty())
        handOver(rescued, QStringLiteral("识别撤回抢救"));
    // 5.
    const QString now = m_assembler.fullText();
    if (now != old) {
        m_transcriptChangedAt = timeSource().now();
        if (now.size() < old.size())
            diag(QStringLiteral("识别修正撤回: [%1] → [%2]").arg(old, now));
    }
    // 6.
    m_host.pendingTextChanged();
}

void RecognitionSession::evaluateSentenceBoundary()
{
    // 1.
    if (!m_host.isRecording() || !m_host.isTranslationEnabled())
        return;
    // 2.
    if (m_assembler.pendingText().isEmpty()) {
        m_pendingSince.reset();
        return;
    }
    const Date now = timeSource().now();
    // 3.
    if (!m_pendingSince)
        m_pendingSince = now;
    // 4.
    if (now.secondsSince(m_transcriptChangedAt) < kSettleTime)
        return;
    // 5–6.
    if (m_silenceDuration >= kPauseLength) {
        handOver(m_assembler.take(true), QStringLiteral("停顿判句"));
    } else if (m_pendingSince && now.secondsSince(*m_pendingSince) >= kBacklogLimit) {
        handOver(m_assembler.take(false), QStringLiteral("积压放行"));
    }
}

void RecognitionSession::evaluateRotation()
{
    if (!m_host.isRecording() || m_isRotating || !m_request)
        return;
    const double age = timeSource().now().secondsSince(m_requestStartedAt);
    if (age >= kHardRotation)
        rotate(QStringLiteral("硬上限 %1s").arg(int(kHardRotation)));
    else if (age >= kRotationAtPause && m_silenceDuration >= kPauseLength && m_assembler.pendingText().isEmpty())
        rotate(QStringLiteral("停顿处轮换"));
}

void RecognitionSession::rotate(const QString &reason)
{
    // 1.
    if (!m_host.isRecording() || m_isRotating || !m_request)
        return;
    // 2.
    m_isRotating = true;
    m_rotationCount++;
    diag(QStringLiteral("轮换识别请求 #%1（%2）").arg(m_rotationCount).arg(reason));
    // 3.
    if (m_host.isTranslationEnabled())
        handOver(m_assembler.take(true), QStringLiteral("轮换收尾"));
    // 4.
    m_rotationStartRecordingTime = m_host.recordingPosition();
    // 5.
    if (auto *f = m_host.forwarder())
        f->setRequest(nullptr);
    // 6.
    m_request->endAudio();
    m_request.reset();
    // 7.
    scheduleFinalizationFallback(m_generation);
}

void RecognitionSession::scheduleFinalizationFallback(qint64 g)
{
    timeSource().after(kFinalizationFallback, this, [this, g] {
        if (m_generation != g)
            return;
        // 1.
        if (!m_isFinalizingStop && !m_isRotating)
            return;
        // 2.
        diag(QStringLiteral("识别请求 %1 秒未返回最终结果，强制收尾").arg(int(kFinalizationFallback)));
        // 3.
        const bool wasRotating = m_isRotating;
        m_isFinalizingStop = false;
        m_isRotating = false;
        m_generation++;
        // 4.
        if (m_task) {
            m_task->cancel();
            m_task.reset();
        }
        m_request.reset();
        // 5.
        if (m_host.isTranslationEnabled())
            handOver(m_assembler.take(true), QStringLiteral("收尾超时"));
        m_assembler.reset();
        // 6.
        if (wasRotating && m_host.isRecording())
            startRequest();
    });
}

void RecognitionSession::scheduleAutoRestart()
{
    // 1.
    if (!m_host.isRecording() || m_isRotating)
        return;
    // 2.
    m_autoRestartFailures++;
    // 3.
    if (m_autoRestartFailures <= kAutoRestartLimit) {
        diag(QStringLiteral("识别异常，3 秒后自动重连（第 %1 次）…").arg(m_autoRestartFailures));
        timeSource().after(kAutoRestartDelay, this, [this] {
            if (m_host.isRecording() && !m_isRotating && !m_request)
                startRequest();
        });
        return;
    }
    // 4.
    m_host.recognitionProblem(QStringLiteral("语音识别已连续中断多次，请点「停止」后重新「开始」。"));
    diag(QStringLiteral("自动重连超过 5 次，停止重试"));
}

QString RecognitionSession::friendlyMessage(const RecognitionError &error)
{
    switch (error.kind) {
    case RecognitionFailure::NoSpeech:
        return QStringLiteral("未检测到语音：请确认已选中正确的麦克风、麦克风权限已开启、系统输入音量不为 0，并靠近麦克风清晰说话。");
    case RecognitionFailure::ModelUnavailable:
        return QStringLiteral("语音识别不可用：请确认本机语音识别已启用，并已安装英语模型包 pocketsphinx-en-us。");
    case RecognitionFailure::Interrupted:
        return QStringLiteral("识别任务中断，正在自动重连…（如连续失败请点「停止」后重新「开始」）");
    case RecognitionFailure::Busy:
        return QStringLiteral("语音识别服务暂时不可用，请稍后重试。");
    case RecognitionFailure::UnsupportedAudio:
    case RecognitionFailure::Internal:
        break;
    }
    return QStringLiteral("识别错误：") + error.detail;
}

} // namespace vox
