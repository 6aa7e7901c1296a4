#pragma once
// Mirrors the microphone and speech-recognition permissions for the views and
// asks for whatever is missing.
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <functional>

namespace vox {

class PermissionManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(PermissionStatus microphoneStatus READ microphoneStatus NOTIFY statusChanged)
    Q_PROPERTY(PermissionStatus speechStatus READ speechStatus NOTIFY statusChanged)
    Q_PROPERTY(bool allGranted READ allGranted NOTIFY statusChanged)
    // Empty when there is no hint.
    Q_PROPERTY(QString denialHint READ denialHint NOTIFY statusChanged)
public:
    enum class PermissionStatus { NotDetermined, Denied, Restricted, Granted };
    Q_ENUM(PermissionStatus)

    static constexpr double kSpeechWait = 2.0;

    explicit PermissionManager(QObject *parent = nullptr);
    explicit PermissionManager(const Platform &platform, QObject *parent = nullptr);

    PermissionStatus microphoneStatus() const { return m_microphone; }
    PermissionStatus speechStatus() const { return m_speech; }
    bool allGranted() const { return m_microphone == PermissionStatus::Granted && m_speech == PermissionStatus::Granted; }
    QString denialHint() const;

    static PermissionStatus fromPlatform(AuthorizationState s);

    Q_INVOKABLE void refreshStatus();
    // Asks for every missing permission (speech waits at most 2 s), then
    // refreshes; `done` and requestAllFinished() follow on the main thread.
    Q_INVOKABLE void requestAll() { requestAll(nullptr); }
    void requestAll(std::function<void()> done);

Q_SIGNALS:
    void statusChanged();
    void requestAllFinished();

private:
    void requestSpeechThenFinish(std::function<void()> done);
    void finish(const std::function<void()> &done);

    Platform m_platform;
    PermissionStatus m_microphone = PermissionStatus::NotDetermined;
    PermissionStatus m_speech = PermissionStatus::NotDetermined;
};

} // namespace vox
