#pragma once
// Scriptable audio platform: capture engine with a tap the test feeds,
// capture devices, the hardware layer's device table and default input, a
// streaming resampler, raw-sample files and a player.
#include "platform/AudioFile.h"
#include "platform/AudioInput.h"
#include "platform/AudioPlayer.h"

#include <QPointer>
#include <QString>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace vox::fake {

struct FakeAudioConfig {
    // Formats returned by successive inputFormat() calls; the last repeats.
    std::vector<PcmFormat> inputFormats{PcmFormat{48000.0, 2, false}};
    std::optional<Error> startError;
};

class FakeAudioEngineFactory;

class FakeAudioEngine : public AudioEngine {
public:
    FakeAudioEngine(FakeAudioEngineFactory *factory, FakeAudioConfig config);
    ~FakeAudioEngine() override;

    PcmFormat inputFormat() override;
    void installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block) override;
    void removeTap() override;
    void prepare() override { prepared = true; }
    std::optional<Error> start() override;
    void stop() override { running = false; }

    // Passes a buffer to the tap as the audio thread would (on the calling
    // thread). Nothing happens unless running with a tap installed.
    bool push(const PcmBuffer &buffer);
    // A buffer of `frames` frames in the current input format, every sample
    // set to `amplitude` (a constant signal: RMS = |amplitude|).
    PcmBuffer makeBuffer(quint32 frames, float amplitude) const;
    bool pushConstant(float amplitude, quint32 frames = 4096) { return push(makeBuffer(frames, amplitude)); }

    bool prepared = false;
    bool running = false;
    bool hasTap() const { return bool(m_tap); }
    quint32 tapBufferSize = 0;
    int formatReads = 0;

private:
    FakeAudioEngineFactory *m_factory;
    FakeAudioConfig m_config;
    PcmFormat m_lastFormat;
    std::function<void(const PcmBuffer &)> m_tap;
};

class FakeAudioEngineFactory : public AudioEngineFactory {
public:
    std::unique_ptr<AudioEngine> create() override;
    FakeAudioConfig config;
    // The engine alive right now (nullptr when none).
    FakeAudioEngine *current = nullptr;
    int created = 0;
};

class FakeCaptureDevices : public CaptureDevices {
public:
    std::vector<CaptureDevice> discover() override { return devices; }
    std::optional<CaptureDevice> defaultDevice() override;
    std::optional<CaptureDevice> device(const QString &uniqueID) override;
    void watch(QObject *context, std::function<void()> handler) override;
    // Tells the watchers that `devices` changed.
    void notifyChanged();

    std::vector<CaptureDevice> devices;
    QString defaultID; // empty: no default device

private:
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_watchers;
};

class FakeHardwareAudio : public HardwareAudio {
public:
    struct Device {
        AudioObjectID id = 0;
        QString uid;
        QString name;
        quint32 inputStreams = 1;
    };

    Result<std::vector<AudioObjectID>> deviceIDs() override;
    Result<quint32> inputStreamCount(AudioObjectID id) override;
    Result<QString> deviceUID(AudioObjectID id) override;
    Result<QString> deviceName(AudioObjectID id) override;
    Result<AudioObjectID> defaultInputDevice() override;
    Result<bool> setDefaultInputDevice(AudioObjectID id) override;

    const Device *find(AudioObjectID id) const;
    // The error of a call that fails with `code`.
    static Error failure(int code);

    std::vector<Device> devices;
    AudioObjectID defaultInput = 0;
    int listStatus = 0;       // error code of deviceIDs(), 0 = none
    int setStatus = 0;        // error code of setDefaultInputDevice(); non-zero leaves the default
    std::vector<AudioObjectID> setCalls;
};

// Linear-interpolating resampler with channel averaging. Streaming: the
// fractional read position and the last input frame carry over between
// buffers, so output lengths add up exactly over time.
class FakeAudioConverter : public AudioConverter {
public:
    FakeAudioConverter(PcmFormat from, PcmFormat to) : m_from(from), m_to(to) {}
    ConverterStatus convert(const PcmBuffer &in, PcmBuffer &out) override;

    bool failAlways = false;

private:
    PcmFormat m_from, m_to;
    double m_pos = 0;      // next output position in input frames, relative to the buffer start
    float m_prev = 0;      // last mixed input sample of the previous buffer
};

class FakeAudioConverterFactory : public AudioConverterFactory {
public:
    std::unique_ptr<AudioConverter> create(const PcmFormat &from, const PcmFormat &to) override;
    bool refuse = false;
    bool convertersFail = false;
    int created = 0;
};

// Files of raw 32-bit float samples (16 kHz mono assumed on reading unless
// a format was recorded when the file was written in this process).
class FakeAudioFiles : public AudioFiles {
public:
    Result<std::unique_ptr<AudioFileWriter>> createForWriting(const QString &path, const PcmFormat &format) override;
    Result<std::unique_ptr<AudioFileReader>> openForReading(const QString &path) override;

    std::optional<Error> createError;
    // A disk that fills up: writers refuse buffers past this many frames.
    std::optional<qint64> diskFullAfterFrames;
    int created = 0;
};

class FakeAudioPlayer : public AudioPlayer {
public:
    bool load(const QString &path) override;
    void play() override { m_playing = true; }
    void pause() override { m_playing = false; }
    void stop() override
    {
        m_playing = false;
        m_time = 0;
    }
    bool isPlaying() const override { return m_playing; }
    double currentTime() const override { return m_time; }
    void setCurrentTime(double s) override { m_time = s; }
    double duration() const override { return m_duration; }
    void setFinishedHandler(std::function<void()> h) override { m_finished = std::move(h); }

    // Test control: moves the play head; reaching the end stops and reports.
    void advance(double seconds);
    QString loadedPath;

private:
    bool m_playing = false;
    double m_time = 0;
    double m_duration = 0;
    std::function<void()> m_finished;
};

class FakeAudioPlayerFactory : public AudioPlayerFactory {
public:
    std::unique_ptr<AudioPlayer> create() override;
    FakeAudioPlayer *last = nullptr;
};

} // namespace vox::fake
