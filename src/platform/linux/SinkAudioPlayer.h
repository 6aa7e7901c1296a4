#pragma once
// Plays a recording (any file libsndfile reads; the course recordings are
// CAF, float, 16 kHz mono) into Qt's QAudioSink. Qt's media player cannot
// open CAF files, so the samples are decoded here and handed to the sink on
// demand.
//
// The position is the number of frames handed to the sink minus what the sink
// still holds, so it follows what is actually heard rather than what was
// decoded. Main thread only; the finished handler runs on the main thread.
// Like the platform player, reaching the end rewinds to 0 and a new play()
// starts from the beginning.
#include "platform/AudioPlayer.h"

#include <QElapsedTimer>
#include <QObject>
#include <memory>

class QAudioSink;
class QTimer;

namespace vox {

class SinkSource;

class SinkAudioPlayer final : public AudioPlayer {
public:
    SinkAudioPlayer();
    ~SinkAudioPlayer() override;

    bool load(const QString &path) override;
    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override { return m_playing; }
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    double duration() const override;
    void setFinishedHandler(std::function<void()> handler) override { m_finished = std::move(handler); }

    // The sink's output buffer in seconds (how far decoding runs ahead).
    void setBufferSeconds(double seconds) { m_bufferSeconds = seconds; }

private:
    qint64 heardFrame() const;
    void startSink(qint64 fromFrame);
    void stopSink();
    void checkEnd();

    std::unique_ptr<QObject> m_context; // owns the sink, the timer and the source
    SinkSource *m_source = nullptr;
    QAudioSink *m_sink = nullptr;
    QTimer *m_timer = nullptr;
    std::function<void()> m_finished;
    bool m_playing = false;
    qint64 m_pausedFrame = 0;
    double m_bufferSeconds = 0.1;
    QElapsedTimer m_endSeen;
};

class SinkAudioPlayerFactory final : public AudioPlayerFactory {
public:
    std::unique_ptr<AudioPlayer> create() override { return std::make_unique<SinkAudioPlayer>(); }
};

} // namespace vox
