#pragma once
// whisper.cpp as the sentence re-decoder: CPU only, greedy decoding, the
// encoder's context cut to the sentence's length.
#include "platform/SentenceDecoder.h"

#include <memory>

namespace vox {

// Loads ggml Whisper model files. Every file is inspected first, so that a
// missing, foreign or truncated one is refused with a clear message instead
// of reaching whisper.cpp.
std::shared_ptr<SentenceDecoderLoader> makeWhisperLoader();

// Threads one decode uses: $VOXLEAF_WHISPER_THREADS, else half the cores
// (at least one, at most four).
int whisperThreadCount();

} // namespace vox
