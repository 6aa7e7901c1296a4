#pragma once
// PCM formats and buffers: 32-bit float samples, one plane per channel.
#include <QtGlobal>
#include <cstring>
#include <vector>

namespace vox {

struct PcmFormat {
    double sampleRate = 0;
    quint32 channels = 0;
    bool interleaved = false; // informational: buffers are always stored planar

    bool operator==(const PcmFormat &o) const { return sampleRate == o.sampleRate && channels == o.channels; }
    bool isValid() const { return sampleRate > 0 && channels > 0; }
    // 16 kHz mono float: the recognizer side and the recording format.
    static PcmFormat target() { return PcmFormat{16000.0, 1, false}; }
};

class PcmBuffer {
public:
    PcmBuffer() = default;
    PcmBuffer(PcmFormat f, quint32 capacity)
        : m_format(f), m_capacity(capacity), m_data(size_t(f.channels) * capacity, 0.0f) {}

    const PcmFormat &format() const { return m_format; }
    quint32 frameCapacity() const { return m_capacity; }
    quint32 frameLength() const { return m_length; }
    void setFrameLength(quint32 n) { m_length = n > m_capacity ? m_capacity : n; }

    float *channel(quint32 c) { return m_data.data() + size_t(c) * m_capacity; }
    const float *channel(quint32 c) const { return m_data.data() + size_t(c) * m_capacity; }
    double duration() const { return m_format.sampleRate > 0 ? m_length / m_format.sampleRate : 0; }

    // From interleaved samples (frames * channels floats).
    static PcmBuffer fromInterleaved(PcmFormat f, const float *samples, quint32 frames)
    {
        PcmBuffer b(f, frames);
        for (quint32 c = 0; c < f.channels; ++c) {
            float *dst = b.channel(c);
            for (quint32 i = 0; i < frames; ++i)
                dst[i] = samples[size_t(i) * f.channels + c];
        }
        b.setFrameLength(frames);
        return b;
    }

private:
    PcmFormat m_format;
    quint32 m_capacity = 0;
    quint32 m_length = 0;
    std::vector<float> m_data;
};

} // namespace vox
