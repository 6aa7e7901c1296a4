#pragma once
// The audio the live recognizer is given, kept so that a finished sentence can
// be decoded again from its own samples. Wraps the platform's recognizer:
// each request it makes copies what it receives (16 kHz mono) into one bounded
// buffer before passing it on. The buffer follows the newest request, whose
// word times count from its first sample; it holds at most kKeptSeconds, the
// oldest audio going first. Keeping is off until switched on, so the live
// recognizer alone costs nothing extra.
#include "platform/SpeechRecognizer.h"

#include <memory>
#include <vector>

namespace vox {

class RecognizerAudioTap final : public SpeechRecognizer {
public:
    // Longer than the longest request (rotation at 60 s, plus the audio kept
    // while no request was open).
    static constexpr double kKeptSeconds = 90.0;

    explicit RecognizerAudioTap(std::shared_ptr<SpeechRecognizer> inner);
    ~RecognizerAudioTap() override;

    void setKeeping(bool on);

    // Samples between two times in seconds from the newest request's first
    // audio, clipped to what is kept (any thread).
    std::vector<float> samples(double from, double to) const;
    // Seconds the newest request has received.
    double heardSeconds() const;

    bool isAvailable() const override;
    void preload() override;
    std::shared_ptr<RecognitionRequest> makeRequest(const RecognitionRequestOptions &options) override;
    std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                               RecognitionHandler handler) override;

    struct Store;

private:
    std::shared_ptr<SpeechRecognizer> m_inner;
    std::shared_ptr<Store> m_store;
};

} // namespace vox
