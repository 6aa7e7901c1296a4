#pragma once
// Recognized words and the sentence chunks handed to translation.
#include <QString>
#include <optional>

namespace vox {

struct TextRange {
    qint64 location = 0; // UTF-16 units
    qint64 length = 0;
    bool operator==(const TextRange &) const = default;
};

struct RecognitionWord {
    TextRange range;
    double timestamp = 0; // seconds from the request's first audio; 0 = no time yet
    double duration = 0;
    bool operator==(const RecognitionWord &) const = default;
};

struct RecognitionChunk {
    QString text;                          // trimmed, never empty
    std::optional<double> startTimestamp;  // request-relative seconds
    bool operator==(const RecognitionChunk &) const = default;
};

} // namespace vox
