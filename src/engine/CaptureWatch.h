#pragma once
// Watches a running capture for a microphone that goes away: the chosen
// device leaving the device list (PulseAudio moves a stream whose source
// disappears to another source, so audio may keep coming), or a capture that
// has delivered audio falling silent for longer than the silence limit. A
// lost capture ends the session as a stop does; the device is then looked
// for every kDeviceReturnPoll seconds and the capture resumes when it is back.
// Main thread only; what it needs of the engine goes through CaptureWatchHost.
#include "platform/Platform.h"
#include "platform/Time.h"

#include <QObject>
#include <QString>

namespace vox {

class CaptureWatchHost {
public:
    virtual ~CaptureWatchHost() = default;
    virtual bool isRecording() const = 0;
    virtual bool isStarting() const = 0;
    virtual bool isCourseActive() const = 0;
    // Ends the capture session (its last result still comes).
    virtual void stopRecording() = 0;
    // Starts a capture session on the device that came back.
    virtual void resumeCapture(const QString &deviceID) = 0;
    // The microphone went away: the engine shows why until capture resumes.
    virtual void captureLostNotice(const QString &message) = 0;
};

class CaptureWatch : public QObject {
    Q_OBJECT
public:
    // A running capture that delivers nothing this long has lost its device.
    static constexpr double kSilenceLimit = 3.0;
    // How often a lost device is looked for.
    static constexpr double kDeviceReturnPoll = 1.0;

    CaptureWatch(Platform platform, CaptureWatchHost &host, QObject *parent = nullptr);

    void setSilenceLimit(double seconds) { m_silenceLimit = seconds; }
    // A capture runs on `deviceID`: any wait for a lost device ends.
    void begin(const QString &deviceID);
    // Audio came from the running capture.
    void audioArrived();
    // Looks at the running capture now (also done on every device change).
    void check();
    // Gives up waiting for a lost device.
    void stopWaiting();
    // A capture was lost and its device is awaited.
    bool isInterrupted() const { return m_interrupted; }

Q_SIGNALS:
    void interruptedChanged();

private:
    void lost(const QString &why);
    void setInterrupted(bool on);

    Platform m_platform;
    CaptureWatchHost &m_host;
    QString m_deviceID;
    Date m_lastAudioAt;
    bool m_heardAudio = false;
    bool m_interrupted = false;
    double m_silenceLimit = kSilenceLimit;
    TaskHandle m_returnPoll;
};

} // namespace vox
