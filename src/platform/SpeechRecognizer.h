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

// Called repeatedly on a recognizer thread: a result, an error, or (rarely) both.
using RecognitionHandler = std::function<void(std::optional<RecognitionResult>, std::optional<Error>)>;

enum class AuthorizationState { NotDetermined, Denied, Restricted, Authorized };

class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    virtual bool isAvailable() const = 0;
    virtual std::shared_ptr<RecognitionRequest> makeRequest(const RecognitionRequestOptions &options) = 0;
    virtual std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                                       RecognitionHandler handler) = 0;
};

} // namespace vox
