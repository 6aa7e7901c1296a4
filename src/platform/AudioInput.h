#pragma once
// Audio capture: the capture engine with its input tap, the list of capture
// devices, and the hardware layer that owns the system default input.
#include "AudioTypes.h"
#include "Error.h"

#include <QString>

class QObject;
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

// The capture engine. installTap's block is called on the audio thread with
// buffers of about `bufferSize` frames in the input's own format.
class AudioEngine {
public:
    virtual ~AudioEngine() = default;
    // Format of the current default input (sample rate 0 when unknown).
    virtual PcmFormat inputFormat() = 0;
    virtual void installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block) = 0;
    virtual void removeTap() = 0;
    virtual void prepare() = 0;
    virtual std::optional<Error> start() = 0;
    virtual void stop() = 0;
};

class AudioEngineFactory {
public:
    virtual ~AudioEngineFactory() = default;
    virtual std::unique_ptr<AudioEngine> create() = 0;
};

struct CaptureDevice {
    QString uniqueID;
    QString localizedName;
    bool connected = true;
    bool suspended = false;
};

class CaptureDevices {
public:
    virtual ~CaptureDevices() = default;
    virtual std::vector<CaptureDevice> discover() = 0;
    virtual std::optional<CaptureDevice> defaultDevice() = 0;
    virtual std::optional<CaptureDevice> device(const QString &uniqueID) = 0;
    // Calls `handler` on `context`'s thread whenever a device comes or goes,
    // for as long as `context` lives.
    virtual void watch(QObject *context, std::function<void()> handler)
    {
        (void)context;
        (void)handler;
    }
};

using AudioObjectID = quint32;

// The hardware audio layer. A failure carries the layer's own error code.
class HardwareAudio {
public:
    virtual ~HardwareAudio() = default;
    virtual Result<std::vector<AudioObjectID>> deviceIDs() = 0;
    virtual Result<quint32> inputStreamCount(AudioObjectID id) = 0;
    virtual Result<QString> deviceUID(AudioObjectID id) = 0;
    virtual Result<QString> deviceName(AudioObjectID id) = 0;
    virtual Result<AudioObjectID> defaultInputDevice() = 0;
    virtual Result<bool> setDefaultInputDevice(AudioObjectID id) = 0;
};

enum class ConverterStatus { HaveData, InputRanDry, EndOfStream, Error };

// Streaming converter: keeps its state between buffers, so the output length
// over time is exact. `out` must have been created in the target format with
// enough capacity; its frame length is set to what was produced.
class AudioConverter {
public:
    virtual ~AudioConverter() = default;
    virtual ConverterStatus convert(const PcmBuffer &in, PcmBuffer &out) = 0;
};

class AudioConverterFactory {
public:
    virtual ~AudioConverterFactory() = default;
    // nullptr when no converter between the two formats can be made.
    virtual std::unique_ptr<AudioConverter> create(const PcmFormat &from, const PcmFormat &to) = 0;
};

} // namespace vox
