#pragma once
// The start of a capture session, in awaited steps: microphone and speech
// permission, the recognizer, the chosen device, the switch of the system
// default input to it (remembered, see DefaultInputSwitch), the input format,
// the converter, the forwarder and its tap, the audio engine. Every wait is a
// scheduled step that checks the start is still the current one; a stop or a
// new start abandons it. A start that does not go through leaves nothing
// behind: one clean-up drops what it made and gives the default input back.
// Main thread only; what it needs of the engine goes through StartHost.
#include "engine/AudioForwarder.h"
#include "engine/DefaultInputSwitch.h"
#include "platform/Platform.h"
#include "platform/Time.h"

#include <QObject>
#include <QString>
#include <memory>

namespace vox {

// What a start that went through hands over.
struct StartedCapture {
    QString deviceID;
    std::unique_ptr<AudioEngine> engine;
    std::shared_ptr<AudioForwarder> forwarder;
};

class StartHost {
public:
    virtual ~StartHost() = default;
    // The device is known: the new session's recognition state is set up,
    // before the default input switches.
    virtual void prepareSession() = 0;
    // The forwarder's callbacks, set before any audio can come.
    virtual void connectForwarder(const std::shared_ptr<AudioForwarder> &forwarder) = 0;
    // The start failed with a message for the user (after the clean-up).
    virtual void startFailed(const QString &message) = 0;
    // The capture runs.
    virtual void started(StartedCapture capture) = 0;
};

class SessionStarter : public QObject {
    Q_OBJECT
public:
    static constexpr double kSpeechAuthorizationWait = 1.5;
    static constexpr double kDeviceSettle = 0.4;
    static constexpr double kFormatRetry = 0.5;

    SessionStarter(Platform platform, StartHost &host, QObject *parent = nullptr);
    ~SessionStarter() override;

    // Begins a start on the capture device `deviceID`, abandoning one still
    // under way.
    void start(const QString &deviceID);
    // Ends a start still under way (nothing happens when there is none).
    void abandon(const QString &why);
    // True between start() and the end of its awaited steps.
    bool isStarting() const { return bool(m_pending); }

    DefaultInputSwitch &defaultInput() { return m_defaultInput; }
    const DefaultInputSwitch &defaultInput() const { return m_defaultInput; }

private:
    struct Pending;

    // A permission already answered: denied or restricted fails the start,
    // authorized goes on with `next`. False while the answer is to come.
    bool decided(AuthorizationState state, const QString &name, const QString &deniedMessage,
                 void (SessionStarter::*next)());
    void checkMicrophone();
    void checkSpeech();
    void fromRecognizer();
    void afterSettle();
    void withFormat(PcmFormat format);
    // Runs `step` after `seconds` if this start is still the current one.
    template <typename Step>
    void after(double seconds, Step step);
    bool pendingIs(quint64 token) const;
    void fail(const QString &message, const QString &logLine);
    void drop();

    Platform m_platform;
    StartHost &m_host;
    DefaultInputSwitch m_defaultInput;
    std::unique_ptr<Pending> m_pending;
    quint64 m_token = 0;
};

} // namespace vox
