#pragma once
// The hardware audio layer on PulseAudio: synchronous libpulse calls on a
// private main loop, each bounded by a time limit.
//
//   device id   = source index + 1 (so that 0 never names a device: callers
//                 use 0 for "no device", and PulseAudio's first source has
//                 index 0)
//   device UID  = source name
//   device name = source description
//   default input = the server's default source
//
// Monitor sources (the "what is playing" side of a sink) are devices without
// input streams. A failed call's error code is the PA_ERR_* code.
#include "platform/AudioInput.h"

#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vox::pulse {

struct SourceInfo {
    quint32 index = 0;
    QString name;
    QString description;
    bool monitor = false;
    double sampleRate = 0;
    quint32 channels = 0;
};

// One connection to the server (PULSE_SERVER or the session default), used
// from one thread at a time. Every call waits at most `timeoutMs`.
class Connection {
public:
    explicit Connection(int timeoutMs = 2000);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Connects if not connected (again after the server went away).
    int ensureConnected();
    int sources(std::vector<SourceInfo> &out);
    int defaultSourceName(QString &name);
    int defaultSinkName(QString &name);
    int setDefaultSource(const QString &name);

private:
    int serverDefaults(QString &source, QString &sink);

    struct Impl;
    std::unique_ptr<Impl> d;
};

// One-shot helpers over a fresh connection; none when the server is unreachable.
std::optional<QString> defaultSourceName(int timeoutMs = 2000);
std::optional<QString> defaultSinkName(int timeoutMs = 2000);
std::optional<std::vector<SourceInfo>> listSources(int timeoutMs = 2000);
std::optional<SourceInfo> defaultSource(int timeoutMs = 2000);

} // namespace vox::pulse

namespace vox {

class PulseHardwareAudio final : public HardwareAudio {
public:
    static AudioObjectID idOf(quint32 sourceIndex) { return sourceIndex + 1; }

    explicit PulseHardwareAudio(int timeoutMs = 2000);
    ~PulseHardwareAudio() override;

    Result<std::vector<AudioObjectID>> deviceIDs() override;
    Result<quint32> inputStreamCount(AudioObjectID id) override;
    Result<QString> deviceUID(AudioObjectID id) override;
    Result<QString> deviceName(AudioObjectID id) override;
    Result<AudioObjectID> defaultInputDevice() override;
    Result<bool> setDefaultInputDevice(AudioObjectID id) override;

    // The error for a PA_ERR_* code (the code is kept as the error's code).
    static Error failure(int paError);

private:
    Result<pulse::SourceInfo> findSource(AudioObjectID id);

    std::mutex m_mutex;
    pulse::Connection m_conn;
};

} // namespace vox
