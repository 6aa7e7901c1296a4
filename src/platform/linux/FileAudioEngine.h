#pragma once
// An audio engine that plays a file into the input tap instead of a
// microphone: anything libsndfile opens (WAV, FLAC, Ogg, CAF, ...), delivered
// as buffers of the tap's size in the file's own format (its sample rate and
// channel count, float samples) on the engine's own thread.
//
// Pacing:
// - realTime: each buffer is delivered when its audio would have been heard.
// - otherwise as fast as the consumer keeps up. Before every buffer the
//   engine asks `readyForMore(timeoutMs)`; while it answers false the engine
//   asks again (and notices stop() in between), so nothing is ever dropped.
//   Give it the consumer's wait, for example
//   `[rec](int ms) { return rec->waitForRoom(2.0, ms); }` with a
//   PocketSphinxRecognizer. Without it, buffers go out back to back.
//
// The end of the file (or a read error) is reported once through `onEnd`, on
// the engine thread, after the last buffer was delivered. A file that ends
// before the frames its header promised (cut short while it was being read)
// ends with an error that says so.
//
// A file whose format no recording can have is refused (see checkFormat): a
// header claiming 7 Hz would otherwise be played as hours of audio.
#include "platform/AudioInput.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vox {

struct FileAudioEngineOptions {
    QString path;
    bool realTime = false;
    std::function<bool(int timeoutMs)> readyForMore;
    // framesDelivered: every frame of the file that reached the tap.
    std::function<void(qint64 framesDelivered, std::optional<Error> error)> onEnd;
};

class FileAudioEngine : public AudioEngine {
public:
    static constexpr double kMinSampleRate = 8000;
    static constexpr double kMaxSampleRate = 384000;
    static constexpr quint32 kMaxChannels = 64;

    enum ErrorCode { CannotOpen = 1, ReadFailed = 2, UnsupportedFormat = 3, EndedEarly = 4 };

    // Why audio of this format cannot be played (a sample rate outside
    // kMinSampleRate … kMaxSampleRate, no channel or more than kMaxChannels),
    // or nothing.
    static std::optional<Error> checkFormat(const PcmFormat &format);

    explicit FileAudioEngine(FileAudioEngineOptions options);
    ~FileAudioEngine() override;

    // The file's format; sample rate 0 when it cannot be opened.
    PcmFormat inputFormat() override;
    void installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block) override;
    void removeTap() override;
    void prepare() override;
    // Fails when the file cannot be opened as audio or its format is refused;
    // a second start while running does nothing.
    std::optional<Error> start() override;
    // Stops delivering (the thread is joined unless called from the tap).
    void stop() override;

    qint64 framesDelivered() const { return m_delivered.load(); }
    // Frames in the file (-1 when it cannot be opened).
    qint64 totalFrames();
    bool isFinished() const { return m_finished.load(); }

private:
    void run();
    bool open(QString *error);

    FileAudioEngineOptions m_options;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void(const PcmBuffer &)> m_tap;
    quint32 m_bufferSize = 4096;
    void *m_file = nullptr; // SNDFILE*
    PcmFormat m_format;
    qint64 m_frames = -1;
    bool m_stopRequested = false;
    std::atomic<qint64> m_delivered{0};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

class FileAudioEngineFactory : public AudioEngineFactory {
public:
    explicit FileAudioEngineFactory(FileAudioEngineOptions options) : m_options(std::move(options)) {}
    std::unique_ptr<AudioEngine> create() override;

private:
    FileAudioEngineOptions m_options;
};

} // namespace vox
