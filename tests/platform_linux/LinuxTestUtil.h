#pragma once
// Helpers of the Linux platform tests: synthetic signals, whole-file
// conversion to 16 kHz mono, normalised cross-correlation, and the test
// microphones (scripts/testmics.sh).
#include "platform/AudioTypes.h"

#include <QString>
#include <vector>

namespace vox::test {

// A planar buffer filled by f(channel, frameIndex).
template <typename F>
PcmBuffer makeBuffer(PcmFormat format, quint32 frames, F f)
{
    PcmBuffer b(format, frames);
    for (quint32 c = 0; c < format.channels; ++c)
        for (quint32 i = 0; i < frames; ++i)
            b.channel(c)[i] = f(c, i);
    b.setFrameLength(frames);
    return b;
}

// Amplitude of frequency `hz` in `x` (Goertzel), for a sine of amplitude A ≈ A.
double toneAmplitude(const std::vector<float> &x, double rate, double hz);
double rms(const float *x, size_t n);

// Reads a whole file and converts it to 16 kHz mono with the soxr converter.
std::vector<float> readAs16kMono(const QString &path);
// Converts collected buffers (one format) to 16 kHz mono, tail included.
std::vector<float> convertTo16kMono(const std::vector<PcmBuffer> &buffers);

// The best normalised correlation of `segment` with any stretch of `ref`.
double bestCorrelation(const std::vector<float> &segment, const std::vector<float> &ref);
// The best of bestCorrelation over 0.5 s windows of `captured` that carry sound.
double bestWindowCorrelation(const std::vector<float> &captured, const std::vector<float> &ref);

// Folder of the running test microphones (clip files), or empty.
QString testMicsDir();
// Empty when the test microphones answer, else why not.
QString testMicsUnavailableReason();

} // namespace vox::test
