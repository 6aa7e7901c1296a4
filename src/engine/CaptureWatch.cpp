#include "CaptureWatch.h"

#include "platform/Diag.h"

namespace vox {

CaptureWatch::CaptureWatch(Platform platform, CaptureWatchHost &host, QObject *parent)
    : QObject(parent), m_platform(std::move(platform)), m_host(host)
{
    // A microphone pulled out while recording is noticed at once.
    if (m_platform.captureDevices)
        m_platform.captureDevices->watch(this, [this] { check(); });
}

void CaptureWatch::begin(const QString &deviceID)
{
    m_deviceID = deviceID;
    m_lastAudioAt = timeSource().now();
    m_heardAudio = false;
    stopWaiting();
}

void CaptureWatch::audioArrived()
{
    m_lastAudioAt = timeSource().now();
    m_heardAudio = true;
}

void CaptureWatch::check()
{
    if (!m_host.isRecording())
        return;
    if (m_platform.captureDevices && !m_deviceID.isEmpty() && !m_platform.captureDevices->device(m_deviceID)) {
        lost(QStringLiteral("设备已断开"));
        return;
    }
    if (m_heardAudio && timeSource().now().secondsSince(m_lastAudioAt) >= m_silenceLimit)
        lost(QStringLiteral("%1 秒未收到音频").arg(m_silenceLimit));
}

void CaptureWatch::lost(const QString &why)
{
    const QString deviceID = m_deviceID;
    diag(QStringLiteral("麦克风采集中断（%1）: %2；停止本段识别，等待设备恢复").arg(why, deviceID));
    // The session ends as a stop does (its last sentence is kept); a course
    // goes on and its recording stays open for the resumed capture.
    m_host.stopRecording();
    setInterrupted(true);
    m_host.captureLostNotice(QStringLiteral("麦克风连接中断（%1）：已识别的内容已保留%2，设备恢复后会自动继续。")
                            .arg(why, m_host.isCourseActive() ? QStringLiteral("，课程仍在进行") : QString()));
    m_returnPoll = timeSource().every(kDeviceReturnPoll, this, [this, deviceID] {
        if (m_host.isRecording() || m_host.isStarting())
            return;
        if (m_platform.captureDevices && !m_platform.captureDevices->device(deviceID))
            return;
        diag(QStringLiteral("麦克风已恢复，继续采集: ") + deviceID);
        m_host.resumeCapture(deviceID);
    });
}

void CaptureWatch::setInterrupted(bool on)
{
    if (m_interrupted == on)
        return;
    m_interrupted = on;
    emit interruptedChanged();
}

void CaptureWatch::stopWaiting()
{
    m_returnPoll.cancel();
    m_returnPoll = TaskHandle();
    setInterrupted(false);
}

} // namespace vox
