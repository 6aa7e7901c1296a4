#pragma once
// Plays one recording file; position and duration in seconds.
#include "Error.h"

#include <QString>
#include <functional>
#include <memory>

namespace vox {

class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;
    virtual bool load(const QString &path) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // Position of the audio actually heard.
    virtual double currentTime() const = 0;
    virtual void setCurrentTime(double seconds) = 0;
    virtual double duration() const = 0;
    // Called on the main thread when playback reaches the end.
    virtual void setFinishedHandler(std::function<void()> handler) = 0;
};

class AudioPlayerFactory {
public:
    virtual ~AudioPlayerFactory() = default;
    virtual std::unique_ptr<AudioPlayer> create() = 0;
};

} // namespace vox
