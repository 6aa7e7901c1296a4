#pragma once
// Sample-rate and channel conversion with libsoxr (high quality), streaming:
// the resampler keeps its state between buffers, and what it produces beyond
// an output buffer's capacity is kept for the next call, so the total output
// length follows the total input length exactly over time.
//
// Channels: to mono the input channels are averaged; between equal counts
// they pass through; from mono to several channels the one channel is copied.
// An input buffer of 0 frames marks the end of the stream: the resampler's
// tail is drained (EndOfStream once everything has been handed out).
#include "platform/AudioInput.h"

#include <vector>

struct soxr;

namespace vox {

class SoxrConverter final : public AudioConverter {
public:
    // nullptr when the formats cannot be converted.
    static std::unique_ptr<SoxrConverter> create(const PcmFormat &from, const PcmFormat &to);
    ~SoxrConverter() override;

    ConverterStatus convert(const PcmBuffer &in, PcmBuffer &out) override;

    // Frames produced but not yet handed out (waiting for output capacity).
    size_t pendingFrames() const { return m_fifo.empty() ? 0 : m_fifo[0].size() - m_fifoStart; }

private:
    SoxrConverter(const PcmFormat &from, const PcmFormat &to);
    void mixInto(const PcmBuffer &in);
    bool resample(bool flush);
    void appendToFifo(const std::vector<std::vector<float>> &planes, size_t frames);

    PcmFormat m_from;
    PcmFormat m_to;
    soxr *m_soxr = nullptr;
    std::vector<std::vector<float>> m_mixed;   // input in the target channel layout
    std::vector<std::vector<float>> m_scratch; // resampler output
    std::vector<std::vector<float>> m_fifo;    // produced, not yet handed out
    size_t m_fifoStart = 0;
    bool m_drained = false;
};

class SoxrConverterFactory final : public AudioConverterFactory {
public:
    std::unique_ptr<AudioConverter> create(const PcmFormat &from, const PcmFormat &to) override
    {
        return SoxrConverter::create(from, to);
    }
};

} // namespace vox
