#include "PermissionManager.h"

#include "platform/MainThread.h"
#include "platform/Time.h"

#include <QCoreApplication>
#include <QPointer>
#include <mutex>

namespace vox {

PermissionManager::PermissionManager(QObject *parent) : PermissionManager(vox::platform(), parent) {}

PermissionManager::PermissionManager(const Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform)
{
    refreshStatus();
}

PermissionManager::PermissionStatus PermissionManager::fromPlatform(AuthorizationState s)
{
    switch (s) {
    case AuthorizationState::NotDetermined:
        return PermissionStatus::NotDetermined;
    case AuthorizationState::Denied:
        return PermissionStatus::Denied;
    case AuthorizationState::Restricted:
        return PermissionStatus::Restricted;
    case AuthorizationState::Authorized:
        return PermissionStatus::Granted;
    }
    return PermissionStatus::NotDetermined;
}

QString PermissionManager::denialHint() const
{
    if (m_microphone == PermissionStatus::Denied)
        return QStringLiteral("麦克风权限被拒绝，请在 系统设置 → 声音 → 输入 中允许本应用使用麦克风（并确认 PulseAudio/PipeWire 未将本应用静音）。");
    if (m_speech == PermissionStatus::Denied)
        return QStringLiteral("语音识别权限被拒绝：请确认本机语音识别已启用，并已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us。");
    return {};
}

void PermissionManager::refreshStatus()
{
    if (!m_platform.permissions)
        return;
    const auto mic = fromPlatform(m_platform.permissions->microphoneStatus());
    const auto speech = fromPlatform(m_platform.permissions->speechStatus());
    if (mic == m_microphone && speech == m_speech)
        return;
    m_microphone = mic;
    m_speech = speech;
    emit statusChanged();
}

void PermissionManager::requestAll(std::function<void()> done)
{
    if (!m_platform.permissions) {
        finish(done);
        return;
    }
    if (m_microphone != PermissionStatus::Granted) {
        QPointer<PermissionManager> weak(this);
        m_platform.permissions->requestMicrophone([weak, done](bool) {
            hopToMain(weak, [done](PermissionManager *self) { self->requestSpeechThenFinish(done); });
        });
        return;
    }
    requestSpeechThenFinish(std::move(done));
}

void PermissionManager::requestSpeechThenFinish(std::function<void()> done)
{
    if (m_speech == PermissionStatus::Granted) {
        finish(done);
        return;
    }
    // The platform's answer and the time limit race; the first one resumes.
    struct Gate {
        std::mutex lock;
        bool resumed = false;
        TaskHandle timer;
    };
    auto gate = std::make_shared<Gate>();
    auto resume = [gate]() {
        std::lock_guard l(gate->lock);
        if (gate->resumed)
            return false;
        gate->resumed = true;
        return true;
    };
    gate->timer = timeSource().after(kSpeechWait, this, [this, resume, done] {
        if (resume())
            finish(done);
    });
    QPointer<PermissionManager> weak(this);
    m_platform.permissions->requestSpeech([weak, resume, gate, done](AuthorizationState) {
        if (!resume())
            return;
        hopToMain(weak, [gate, done](PermissionManager *self) {
            gate->timer.cancel();
            self->finish(done);
        });
    });
}

void PermissionManager::finish(const std::function<void()> &done)
{
    refreshStatus();
    if (done)
        done();
    emit requestAllFinished();
}

} // namespace vox
