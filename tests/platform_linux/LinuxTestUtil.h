#pragma once
// Helpers of the Linux platform and live tests: synthetic signals, conversion
// to 16 kHz mono, normalised cross-correlation, and the test microphones
// (scripts/testmics.sh) with a fixture for the tests that use them.
#include "platform/AudioTypes.h"
#include "platform/linux/PulseHardwareAudio.h"
#include "support/TestEnv.h"

#include <QString>
#include <gtest/gtest.h>
#include <vector>

namespace vox {
class AudioEngine;
}

namespace vox::test {

// Amplitude of frequency `hz` in `x` (Goertzel), for a sine of amplitude A ≈ A.
double toneAmplitude(const std::vector<float> &x, double rate, double hz);
double rms(const float *x, size_t n);

// Reads a whole file and converts it to 16 kHz mono with the soxr converter.
std::vector<float> readAs16kMono(const QString &path);
// Converts collected buffers (one format) to 16 kHz mono, tail included.
std::vector<float> convertTo16kMono(const std::vector<PcmBuffer> &buffers);

// The best normalised correlation of the three loudest 1 s windows of
// `captured` with any stretch of `ref`.
double bestWindowCorrelation(const std::vector<float> &captured, const std::vector<float> &ref);

// Starts `engine`, collects its 4096-frame tap buffers until `seconds` of
// audio have arrived (or `seconds` + 6 s have passed), then stops it.
std::vector<PcmBuffer> capture(AudioEngine &engine, double seconds);

// A test on the test microphones: skipped when they are not running (a
// failure on CI, which always starts them); the default input is put back.
class TestMicsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The device id of the source named `uid`, 0 if there is none.
    AudioObjectID idOf(const QString &uid);

    PulseHardwareAudio hw;
    AudioObjectID originalDefault = 0;
};

} // namespace vox::test
