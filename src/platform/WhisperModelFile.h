#pragma once
// The layout of a Whisper model in ggml form, as whisper.cpp reads it: a magic
// number, the geometry, the mel filter bank, the vocabulary, then every tensor
// (header and data, no padding). inspect() walks a file without loading it, so
// that a missing, foreign or truncated file is named clearly before any
// decoder touches it, and tells which model it holds.
#include "Error.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace vox {

struct WhisperGeometry {
    int32_t nVocab = 51864; // 51864: English only
    int32_t nAudioCtx = 1500;
    int32_t nAudioState = 384;
    int32_t nAudioHead = 6;
    int32_t nAudioLayer = 4;
    int32_t nTextCtx = 448;
    int32_t nTextState = 384;
    int32_t nTextHead = 6;
    int32_t nTextLayer = 4;
    int32_t nMels = 80;
    int32_t ftype = 1; // 0 f32, 1 f16, 2 q4_0, 3 q4_1, 7 q8_0, 8 q5_0, 9 q5_1

    bool operator==(const WhisperGeometry &) const = default;
};

// One tensor as stored: ggml type id and dimensions, innermost first.
struct WhisperTensorSpec {
    QByteArray name;
    std::vector<int32_t> ne;
    int32_t type = 0;
    qint64 elements() const;
};

namespace WhisperModelFile {

constexpr uint32_t kMagic = 0x67676d6c; // "ggml"
constexpr int32_t kMelFftBins = 201;

// The standard English models (weights in 16-bit floats unless ftype says
// otherwise).
WhisperGeometry tinyEn(int32_t ftype = 1);
WhisperGeometry baseEn(int32_t ftype = 1);
WhisperGeometry smallEn(int32_t ftype = 1);

// The ggml type of the large weights for a file type; nothing when unknown.
std::optional<int32_t> weightType(int32_t ftype);
// Bytes of `elements` values of ggml type `type`; nothing for an unknown type
// or a count that does not fill whole blocks.
std::optional<qint64> tensorBytes(int32_t type, qint64 elements);
// Every tensor of a model in the order whisper.cpp's converter writes them.
std::vector<WhisperTensorSpec> tensors(const WhisperGeometry &g);
// "tiny.en", "base.en-q5_1", "small"; "custom" sizes keep their layer count.
QString modelName(const WhisperGeometry &g);

struct Description {
    WhisperGeometry geometry;
    QString name;   // modelName
    qint64 size = 0;
};

// Reads the file's headers and checks that every tensor is there whole.
// Errors: domain kModelErrorDomain (SentenceDecoder.h), code a ModelFailure.
Result<Description> inspect(const QString &path);

} // namespace WhisperModelFile
} // namespace vox
