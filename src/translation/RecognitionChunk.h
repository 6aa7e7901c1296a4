#pragma once
// A recognized sentence as it is handed to translation.
#include <QString>
#include <optional>

namespace vox {

struct RecognitionChunk {
    QString text;                          // trimmed, never empty
    std::optional<double> startTimestamp;  // request-relative seconds
    bool operator==(const RecognitionChunk &) const = default;
};

} // namespace vox
