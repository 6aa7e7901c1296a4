#pragma once
// Writes Whisper models in ggml form with the real layout and tensor sizes of
// a given geometry and constant weights: what whisper.cpp loads and runs like
// a real model (the words it then produces mean nothing). For tests and
// benchmarks; no real model is ever downloaded for them.
#include "platform/WhisperModelFile.h"

#include <QString>

namespace vox::test {

// A small English model that loads and decodes in a blink.
WhisperGeometry tinyTestGeometry(int32_t ftype = 1);

// Writes the model to `path`; returns its size in bytes, or -1 when the file
// could not be written.
qint64 writeWhisperModel(const QString &path, const WhisperGeometry &geometry, float weight = 0.01f);

} // namespace vox::test
