#pragma once
// A scriptable speech recognizer for tests and benchmarks.
//
// Delivery: results and errors are handed to the task's handler on the thread
// that calls deliverPartial/deliverFinal/deliverError (normally the test's
// main thread). Consumers hop to their own thread themselves, exactly as they
// must with the real recognizer, so a test then processes events (for
// example VirtualTime::advance(0)) to see the effect.
#include "platform/SpeechRecognizer.h"

#include <QStringList>
#include <mutex>
#include <vector>

namespace vox::fake {

class FakeRecognitionRequest : public RecognitionRequest {
public:
    explicit FakeRecognitionRequest(RecognitionRequestOptions o) : m_options(std::move(o)) {}

    void append(const PcmBuffer &buffer) override;
    void endAudio() override;
    const RecognitionRequestOptions &options() const override { return m_options; }

    // Thread-safe readers for tests.
    qint64 appendedFrames() const;
    int appendedBuffers() const;
    bool audioEnded() const;
    // Keeps copies of appended buffers when true (off by default to keep
    // long benchmarks small).
    void setKeepBuffers(bool keep);
    std::vector<PcmBuffer> buffers() const;

private:
    RecognitionRequestOptions m_options;
    mutable std::mutex m_mutex;
    qint64 m_frames = 0;
    int m_count = 0;
    bool m_ended = false;
    bool m_keep = false;
    std::vector<PcmBuffer> m_buffers;
};

class FakeRecognitionTask : public RecognitionTask {
public:
    FakeRecognitionTask(std::shared_ptr<FakeRecognitionRequest> request, RecognitionHandler handler)
        : m_request(std::move(request)), m_handler(std::move(handler)) {}

    void finish() override { m_finishCalls++; }
    void cancel() override { m_cancelled = true; }

    // Simple transcription: words split on blanks, each with the given
    // spacing in seconds (first word at `firstTime`).
    static RecognitionResult makeResult(const QString &text, bool isFinal, double firstTime = 0.5,
                                        double spacing = 0.3);

    void deliver(std::optional<RecognitionResult> result, std::optional<RecognitionError> error);
    void deliverPartial(const QString &text, double firstTime = 0.5);
    void deliverFinal(const QString &text, double firstTime = 0.5);
    void deliverError(const RecognitionError &error);

    const std::shared_ptr<FakeRecognitionRequest> &request() const { return m_request; }
    int finishCalls() const { return m_finishCalls; }
    bool isCancelled() const { return m_cancelled; }

private:
    std::shared_ptr<FakeRecognitionRequest> m_request;
    RecognitionHandler m_handler;
    int m_finishCalls = 0;
    bool m_cancelled = false;
};

class FakeSpeechRecognizer : public SpeechRecognizer {
public:
    bool isAvailable() const override { return available; }
    void preload() override { preloads++; }
    std::shared_ptr<RecognitionRequest> makeRequest(const RecognitionRequestOptions &options) override;
    std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                               RecognitionHandler handler) override;

    // The most recently started task (or nullptr).
    std::shared_ptr<FakeRecognitionTask> lastTask() const { return tasks.empty() ? nullptr : tasks.back(); }
    std::shared_ptr<FakeRecognitionRequest> lastRequest() const
    {
        return requests.empty() ? nullptr : requests.back();
    }

    bool available = true;
    int preloads = 0;
    bool keepBuffers = false;
    // Drops references to finished tasks and requests (benchmarks).
    void forgetHistory();
    std::vector<std::shared_ptr<FakeRecognitionRequest>> requests;
    std::vector<std::shared_ptr<FakeRecognitionTask>> tasks;
};

} // namespace vox::fake
