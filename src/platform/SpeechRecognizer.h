#pragma once
// Streaming speech recognizer: buffer-fed requests, a task per request that
// reports a growing formatted transcription with word segments.
#include "AudioTypes.h"
#include "Error.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

struct RecognitionSegment {
    qint64 location = 0; // UTF-16 units into the formatted string
    qint64 length = 0;
    double timestamp = 0; // seconds from the request's first audio
    double duration = 0;
};

struct RecognitionTranscription {
    QString formattedString;
    std::vector<RecognitionSegment> segments;
};

struct RecognitionResult {
    bool isFinal = false;
    RecognitionTranscription bestTranscription;
};

struct RecognitionRequestOptions {
    bool shouldReportPartialResults = true;
    bool requiresOnDeviceRecognition = true;
    bool addsPunctuation = true;
    QStringList contextualStrings;
};

// Fed from the audio thread and the main thread; implementations are
// thread-safe. append() never blocks on decoding.
class RecognitionRequest {
public:
    virtual ~RecognitionRequest() = default;
    virtual void append(const PcmBuffer &buffer) = 0;
    virtual void endAudio() = 0;
    virtual const RecognitionRequestOptions &options() const = 0;
};

class RecognitionTask {
public:
    virtual ~RecognitionTask() = default;
    // Decode what is queued and deliver the final result soon.
    virtual void finish() = 0;
    // Stop at once; no final result.
    virtual void cancel() = 0;
};

// What went wrong in recognition, whatever the backend: each recognizer maps
// its own failures to these kinds, the engine maps the kinds to what the user
// reads.
enum class RecognitionFailure {
    NoSpeech,         // the audio held nothing to recognize
    ModelUnavailable, // the recognizer's model is missing or did not load
    Interrupted,      // the request ended early; a new one may work
    Busy,             // the recognizer is out of service for a moment
    UnsupportedAudio, // audio in a form the recognizer does not take
    Internal,         // anything else inside the recognizer
};

struct RecognitionError {
    RecognitionFailure kind = RecognitionFailure::Internal;
    QString detail; // the backend's own words, for the log
    bool operator==(const RecognitionError &) const = default;
};

// Called repeatedly on a recognizer thread: a result, an error, or (rarely) both.
using RecognitionHandler =
    std::function<void(std::optional<RecognitionResult>, std::optional<RecognitionError>)>;

enum class AuthorizationState { NotDetermined, Denied, Restricted, Authorized };

class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    virtual bool isAvailable() const = 0;
    // Loads what the first task needs (the model) ahead of it, on a thread of
    // the recognizer's own, and returns at once. A task started while the
    // load is under way waits for it; nothing is loaded twice. A load that
    // fails is reported as a failed load would be at the first task.
    virtual void preload() = 0;
    virtual std::shared_ptr<RecognitionRequest> makeRequest(const RecognitionRequestOptions &options) = 0;
    virtual std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                                       RecognitionHandler handler) = 0;
};

} // namespace vox
