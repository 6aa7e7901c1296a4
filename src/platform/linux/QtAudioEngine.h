#pragma once
// The capture engine on Qt Multimedia: a QAudioSource opened by name on the
// system's current default input (PulseAudio's default source; Qt 6.4's own
// default input is just the first device), 32-bit float samples in the
// device's own rate and channel count. The source lives on a dedicated
// thread, which cuts what arrives into buffers of exactly the tap size and
// calls the tap there (the audio thread).
#include "platform/AudioInput.h"

#include <memory>
#include <mutex>

class QAudioDevice;
class QThread;

namespace vox {

class CaptureWorker;

class QtAudioEngine final : public AudioEngine {
public:
    QtAudioEngine();
    ~QtAudioEngine() override;

    PcmFormat inputFormat() override;
    void installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block) override;
    void removeTap() override;
    void prepare() override;
    std::optional<Error> start() override;
    void stop() override;

    // The PulseAudio source the engine captures from (after inputFormat,
    // prepare or start).
    QString deviceName() const;

    // Called by the worker on the audio thread.
    void deliver(const PcmBuffer &buffer);
    quint32 tapBufferSize() const;

private:
    bool resolve();

    std::unique_ptr<QAudioDevice> m_device;
    PcmFormat m_format;
    bool m_resolved = false;

    mutable std::mutex m_tapMutex;
    std::function<void(const PcmBuffer &)> m_tap;
    quint32 m_bufferSize = 4096;

    QThread *m_thread = nullptr;
    CaptureWorker *m_worker = nullptr;
};

class QtAudioEngineFactory final : public AudioEngineFactory {
public:
    std::unique_ptr<AudioEngine> create() override { return std::make_unique<QtAudioEngine>(); }
};

} // namespace vox
