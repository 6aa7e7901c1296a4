#include "SessionStarter.h"

#include "engine/AudioDeviceManager.h"
#include "platform/Diag.h"
#include "platform/MainThread.h"

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

QString describe(const Error &e)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(e.domain).arg(e.code).arg(e.message);
}

} // namespace

struct SessionStarter::Pending {
    quint64 token = 0;
    QString deviceID;
    std::unique_ptr<AudioEngine> engine;
    std::shared_ptr<AudioForwarder> forwarder;
    bool speechAnswered = false;
    TaskHandle timer;
};

SessionStarter::SessionStarter(Platform platform, StartHost &host, QObject *parent)
    : QObject(parent), m_platform(platform), m_host(host), m_defaultInput(std::move(platform))
{
}

// The owner abandons a start still under way first (see abandon()).
SessionStarter::~SessionStarter() = default;

bool SessionStarter::pendingIs(quint64 token) const
{
    return m_pending && m_pending->token == token;
}

template <typename Step>
void SessionStarter::after(double seconds, Step step)
{
    const quint64 token = m_pending->token;
    m_pending->timer = timeSource().after(seconds, this, [this, token, step] {
        if (pendingIs(token))
            step();
    });
}

void SessionStarter::drop()
{
    // The one clean-up of a start that does not go through: nothing of it
    // stays behind, and the default input is the user's again.
    if (m_pending) {
        m_pending->timer.cancel();
        if (m_pending->engine)
            m_pending->engine->removeTap();
    }
    m_pending.reset();
    m_token++;
    m_defaultInput.restore();
}

void SessionStarter::abandon(const QString &why)
{
    if (!m_pending)
        return;
    diag(QStringLiteral("未完成的开始已放弃（%1）").arg(why));
    drop();
}

void SessionStarter::fail(const QString &message, const QString &logLine)
{
    drop();
    m_host.startFailed(message);
    if (!logLine.isEmpty())
        diag(logLine);
}

void SessionStarter::start(const QString &deviceID)
{
    abandon(QStringLiteral("新的开始"));
    m_pending = std::make_unique<Pending>();
    m_pending->token = ++m_token;
    m_pending->deviceID = deviceID;
    diag(QStringLiteral("===== start(deviceID=%1) =====").arg(deviceID));
    checkMicrophone();
}

bool SessionStarter::decided(AuthorizationState state, const QString &name, const QString &deniedMessage,
                             void (SessionStarter::*next)())
{
    switch (state) {
    case AuthorizationState::Denied:
    case AuthorizationState::Restricted:
        fail(deniedMessage, name + QStringLiteral("权限 denied/restricted"));
        return true;
    case AuthorizationState::Authorized:
        diag(name + QStringLiteral("权限已授权"));
        (this->*next)();
        return true;
    case AuthorizationState::NotDetermined:
        break;
    }
    diag(name + QStringLiteral("权限 notDetermined，主动请求…"));
    return false;
}

void SessionStarter::checkMicrophone()
{
    Permissions *perms = m_platform.permissions.get();
    const AuthorizationState mic = perms ? perms->microphoneStatus() : AuthorizationState::Authorized;
    if (decided(mic, QStringLiteral("麦克风"), kMicDenied, &SessionStarter::checkSpeech))
        return;
    // The answer is awaited without a time limit and not examined.
    const quint64 token = m_pending->token;
    QPointer<SessionStarter> weak(this);
    perms->requestMicrophone([weak, token](bool granted) {
        hopToMain(weak, [token, granted](SessionStarter *self) {
            diag(QStringLiteral("请求麦克风权限结果: ") + (granted ? QStringLiteral("true") : QStringLiteral("false")));
            if (self->pendingIs(token))
                self->checkSpeech();
        });
    });
}

void SessionStarter::checkSpeech()
{
    Permissions *perms = m_platform.permissions.get();
    const AuthorizationState speech = perms ? perms->speechStatus() : AuthorizationState::Authorized;
    if (decided(speech, QStringLiteral("语音识别"), kSpeechDenied, &SessionStarter::fromRecognizer))
        return;
    // The time limit first, so that an answer given at once still wins; the
    // answer itself is not examined.
    const quint64 token = m_pending->token;
    after(kSpeechAuthorizationWait, [this] {
        if (m_pending->speechAnswered)
            return;
        m_pending->speechAnswered = true;
        diag(QStringLiteral("语音识别授权请求超时：疑似本机语音识别未就绪"));
        fail(kSpeechTimeout, QString());
    });
    QPointer<SessionStarter> weak(this);
    perms->requestSpeech([weak, token](AuthorizationState) {
        hopToMain(weak, [token](SessionStarter *self) {
            diag(QStringLiteral("语音识别授权回调"));
            if (!self->pendingIs(token) || self->m_pending->speechAnswered)
                return;
            self->m_pending->speechAnswered = true;
            self->m_pending->timer.cancel();
            self->fromRecognizer();
        });
    });
}

void SessionStarter::fromRecognizer()
{
    if (!m_platform.recognizer || !m_platform.recognizer->isAvailable()) {
        fail(kRecognizerUnavailable, QStringLiteral("语音识别器不可用（isAvailable=false）"));
        return;
    }

    const QString deviceID = m_pending->deviceID;
    const auto resolved = AudioDeviceManager::audioDeviceID(deviceID, m_platform);
    if (!resolved) {
        fail(QStringLiteral("找不到所选麦克风对应的系统音频设备，请重新选择或刷新设备列表。"),
             QStringLiteral("找不到对应的 PulseAudio 输入源: ") + deviceID);
        return;
    }
    diag(QStringLiteral("所选设备 %1 → PulseAudio 输入源编号 %2").arg(deviceID).arg(*resolved));

    m_host.prepareSession();

    const auto switched = m_defaultInput.switchTo(*resolved);
    diag(QStringLiteral("setDefaultInputDevice(%1) 返回 %2").arg(*resolved).arg(statusOf(switched)));
    if (!switched) {
        fail(QStringLiteral("无法切换到所选麦克风（错误码 %1）。").arg(switched.error().code), QString());
        return;
    }
    after(kDeviceSettle, [this] { afterSettle(); });
}

void SessionStarter::afterSettle()
{
    const auto now = m_platform.hardware->defaultInputDevice();
    diag(QStringLiteral("切换后默认输入设备 id=%1").arg(now ? now.value() : 0));

    m_pending->engine = m_platform.audioEngines ? m_platform.audioEngines->create() : nullptr;
    if (!m_pending->engine) {
        fail(QStringLiteral("无法适配麦克风音频格式（0.0Hz）。"), QStringLiteral("音频输入创建失败"));
        return;
    }
    const PcmFormat format = m_pending->engine->inputFormat();
    if (!(format.sampleRate > 0) || format.channels == 0) {
        diag(QStringLiteral("首次取格式异常 (%1Hz/%2ch)，重试…").arg(formatDouble(format.sampleRate)).arg(format.channels));
        after(kFormatRetry, [this] { withFormat(m_pending->engine->inputFormat()); });
        return;
    }
    withFormat(format);
}

void SessionStarter::withFormat(PcmFormat format)
{
    diag(QStringLiteral("硬件格式: %1Hz / %2ch").arg(formatDouble(format.sampleRate)).arg(format.channels));

    std::unique_ptr<AudioConverter> converter;
    if (format.sampleRate > 0 && format.channels != 0 && m_platform.converters)
        converter = m_platform.converters->create(format, PcmFormat::target());
    if (!converter) {
        fail(QStringLiteral("无法适配麦克风音频格式（%1Hz）。").arg(formatDouble(format.sampleRate)),
             QStringLiteral("转换器创建失败"));
        return;
    }

    // The forwarder gets its callbacks before the tap can feed it.
    auto forwarder = std::make_shared<AudioForwarder>(PcmFormat::target());
    forwarder->setConverter(std::move(converter));
    m_host.connectForwarder(forwarder);
    m_pending->forwarder = forwarder;

    AudioEngine &engine = *m_pending->engine;
    std::weak_ptr<AudioForwarder> weakForwarder = forwarder;
    engine.installTap(AudioForwarder::kTapBufferSize, [weakForwarder](const PcmBuffer &buffer) {
        if (auto f = weakForwarder.lock())
            f->handle(buffer);
    });

    engine.prepare();
    if (auto err = engine.start()) {
        fail(QStringLiteral("无法启动录音：") + err->message, QStringLiteral("音频采集启动失败: ") + describe(*err));
        return;
    }
    diag(QStringLiteral("音频采集已启动（Qt 音频输入）"));

    StartedCapture capture{m_pending->deviceID, std::move(m_pending->engine), std::move(m_pending->forwarder)};
    m_pending.reset();
    m_host.started(std::move(capture));
}

} // namespace vox
