#pragma once
// A second recognizer that decodes one finished sentence again from its own
// audio (16 kHz mono float), more slowly and more accurately than the live
// one. decode() blocks: the caller runs it on a worker thread of its own.
#include "Error.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

struct SentenceDecodeOptions {
    // Words to expect (the glossary terms), may be empty.
    QString prompt;
    // Upper bound of the text tokens produced; 0 leaves it to the decoder.
    int maxTokens = 0;
    // Polled while decoding: true stops it (decode then returns nothing).
    std::function<bool()> shouldStop;
};

class SentenceDecoder {
public:
    virtual ~SentenceDecoder() = default;
    // The recognizer as the user reads it, e.g. "Whisper base.en".
    virtual QString displayName() const = 0;
    // The text of the audio, trimmed; nothing when the decoder failed, was
    // stopped, or heard no words.
    virtual std::optional<QString> decode(const std::vector<float> &samples,
                                          const SentenceDecodeOptions &options) = 0;
};

// Error domain of a model file that cannot be used.
inline const QString kModelErrorDomain = QStringLiteral("SentenceModel");
enum class ModelFailure { Missing = 1, Unreadable, Foreign, Truncated, Unsupported, LoadFailed };

class SentenceDecoderLoader {
public:
    virtual ~SentenceDecoderLoader() = default;
    // Loads a model file (takes a while: off the main thread when it can).
    // Errors carry kModelErrorDomain, a ModelFailure code and a message for
    // the user.
    virtual Result<std::shared_ptr<SentenceDecoder>> load(const QString &path) = 0;
};

} // namespace vox
