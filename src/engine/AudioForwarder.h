#pragma once
// The audio path of one recording session. handle() runs on the audio thread
// for every captured buffer: conversion to 16 kHz mono float, feeding the
// current recognition request (or keeping the audio while none is attached),
// the recording file, level and adaptive silence. One lock guards the request
// slot, the buffered audio and the recording file slot; it is never held while
// calling out except to append buffers to the request. The callbacks run on the
// audio thread: whoever installs them hops to its own thread.
#include "platform/AudioFile.h"
#include "platform/AudioInput.h"
#include "platform/SpeechRecognizer.h"

#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

namespace vox {

struct AudioActivity {
    float level = 0;          // 0…1
    double silenceDuration = 0; // seconds of silence since the last speech
};

class AudioForwarder {
public:
    static constexpr quint32 kTapBufferSize = 4096;
    static constexpr quint32 kBufferLimitFrames = 160000; // 10 s at 16 kHz
    static constexpr float kLevelScale = 12.0f;
    static constexpr double kNoiseWindow = 3.0;

    explicit AudioForwarder(PcmFormat targetFormat = PcmFormat::target());

    // Set once, before audio flows.
    void setConverter(std::unique_ptr<AudioConverter> converter) { m_converter = std::move(converter); }
    std::function<void(AudioActivity)> onActivity;
    std::function<void(const QString &)> onError;

    // Audio thread.
    void handle(const PcmBuffer &buffer);

    // Attaches a request (buffered audio goes into it first, in order) or
    // detaches (none): further audio is buffered up to the limit.
    void setRequest(std::shared_ptr<RecognitionRequest> request);
    // Empties the buffered audio (stop).
    void clearBufferedAudio();
    // Recording file slot; the count of frames starts from what the file
    // already holds (a course appends to one file across sessions).
    void setRecordingFile(std::shared_ptr<AudioFileWriter> file);
    std::shared_ptr<AudioFileWriter> takeRecordingFile();
    // Frames written to the current recording file (any thread).
    qint64 recordedFrames() const { return m_recordedFrames.load(); }

    quint32 bufferedFrames() const;
    size_t bufferedBufferCount() const;
    bool hasRequest() const;
    // Audio-thread state; read by tests after the audio has been handled.
    double silenceDuration() const { return m_silenceDuration; }
    bool hasSpoken() const { return m_hasSpoken; }
    float noiseFloor() const { return m_noiseFloor; }

    // Level of a buffer in the target format: RMS over a strided subsample,
    // times 12, clamped to 0…1.
    static float computeLevel(const PcmBuffer &buffer);
    void updateSilence(float level, double duration);

private:
    // Converted audio, or none on failure; `passthrough` when the input
    // already is the target format (nothing copied).
    std::optional<PcmBuffer> convert(const PcmBuffer &buffer, bool &passthrough);
    void appendToRecognition(const PcmBuffer &buffer);

    PcmFormat m_target;
    std::unique_ptr<AudioConverter> m_converter;

    mutable std::mutex m_requestLock;
    std::shared_ptr<RecognitionRequest> m_request;
    std::deque<PcmBuffer> m_bufferedAudio;
    quint32 m_bufferedFrames = 0;
    std::shared_ptr<AudioFileWriter> m_recordingFile;

    std::atomic<qint64> m_recordedFrames{0};
    std::atomic<bool> m_recordingFailed{false};

    // Audio thread only.
    double m_silenceDuration = 0;
    bool m_hasSpoken = false;
    float m_noiseFloor = 0;
    float m_windowMinRMS = std::numeric_limits<float>::max();
    double m_windowElapsed = 0;
};

// A 64-bit float in its plain textual form: integral values keep one
// decimal ("48000.0", "0.0"), others the shortest exact digits.
QString formatDouble(double v);

} // namespace vox
