#include "SoxrConverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace vox {

std::unique_ptr<SoxrConverter> SoxrConverter::create(const PcmFormat &from, const PcmFormat &to)
{
    if (!from.isValid() || !to.isValid() || !std::isfinite(from.sampleRate) || !std::isfinite(to.sampleRate))
        return nullptr;
    if (from.sampleRate > 1e6 || to.sampleRate > 1e6 || from.channels > 64 || to.channels > 64)
        return nullptr;
    if (!(to.channels == 1 || to.channels == from.channels || from.channels == 1))
        return nullptr;
    std::unique_ptr<SoxrConverter> c(new SoxrConverter(from, to));
    if (from.sampleRate != to.sampleRate && !c->m_soxr)
        return nullptr;
    return c;
}

SoxrConverter::SoxrConverter(const PcmFormat &from, const PcmFormat &to)
    : m_from(from), m_to(to), m_mixed(to.channels), m_scratch(to.channels), m_fifo(to.channels)
{
    if (from.sampleRate != to.sampleRate) {
        soxr_error_t err = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        m_soxr = soxr_create(from.sampleRate, to.sampleRate, to.channels, &err, &io, &quality, &runtime);
        if (err) {
            soxr_delete(m_soxr);
            m_soxr = nullptr;
        }
    }
}

SoxrConverter::~SoxrConverter()
{
    if (m_soxr)
        soxr_delete(m_soxr);
}

void SoxrConverter::mixInto(const PcmBuffer &in)
{
    const quint32 n = in.frameLength();
    const quint32 inCh = in.format().channels;
    for (auto &plane : m_mixed)
        plane.assign(n, 0.0f);
    if (m_to.channels == 1 && inCh > 1) {
        const float scale = 1.0f / float(inCh);
        float *dst = m_mixed[0].data();
        for (quint32 c = 0; c < inCh; ++c) {
            const float *src = in.channel(c);
            for (quint32 i = 0; i < n; ++i)
                dst[i] += src[i];
        }
        for (quint32 i = 0; i < n; ++i)
            dst[i] *= scale;
    } else if (inCh == m_to.channels) {
        for (quint32 c = 0; c < inCh; ++c)
            std::copy(in.channel(c), in.channel(c) + n, m_mixed[c].begin());
    } else { // mono to several channels
        for (quint32 c = 0; c < m_to.channels; ++c)
            std::copy(in.channel(0), in.channel(0) + n, m_mixed[c].begin());
    }
}

void SoxrConverter::appendToFifo(const std::vector<std::vector<float>> &planes, size_t frames)
{
    if (frames == 0)
        return;
    if (m_fifoStart > 0) {
        for (auto &f : m_fifo)
            f.erase(f.begin(), f.begin() + std::ptrdiff_t(m_fifoStart));
        m_fifoStart = 0;
    }
    for (quint32 c = 0; c < m_to.channels; ++c)
        m_fifo[c].insert(m_fifo[c].end(), planes[c].begin(), planes[c].begin() + std::ptrdiff_t(frames));
}

bool SoxrConverter::resample(bool flush)
{
    const size_t inFrames = flush ? 0 : m_mixed[0].size();
    size_t consumed = 0;
    for (;;) {
        const size_t outCap = std::max<size_t>(
            256, size_t(std::ceil(double(inFrames - consumed) * m_to.sampleRate / m_from.sampleRate)) + 64);
        std::vector<const float *> inPtr(m_to.channels);
        std::vector<float *> outPtr(m_to.channels);
        for (quint32 c = 0; c < m_to.channels; ++c) {
            m_scratch[c].resize(outCap);
            inPtr[c] = flush ? nullptr : m_mixed[c].data() + consumed;
            outPtr[c] = m_scratch[c].data();
        }
        size_t idone = 0, odone = 0;
        soxr_error_t err = soxr_process(m_soxr, flush ? nullptr : static_cast<soxr_in_t>(inPtr.data()),
                                        inFrames - consumed, &idone, static_cast<soxr_out_t>(outPtr.data()), outCap,
                                        &odone);
        if (err)
            return false;
        appendToFifo(m_scratch, odone);
        consumed += idone;
        if (flush) {
            if (odone == 0) {
                m_drained = true;
                return true;
            }
            continue;
        }
        if (consumed >= inFrames && odone < outCap)
            return true;
        if (idone == 0 && odone == 0)
            return true; // no progress possible; never spin
    }
}

ConverterStatus SoxrConverter::convert(const PcmBuffer &in, PcmBuffer &out)
{
    out.setFrameLength(0);
    if (out.format().channels != m_to.channels || out.format().sampleRate != m_to.sampleRate)
        return ConverterStatus::Error;
    const bool endOfInput = in.frameLength() == 0;
    if (!endOfInput) {
        if (in.format().channels != m_from.channels || in.format().sampleRate != m_from.sampleRate)
            return ConverterStatus::Error;
        mixInto(in);
        if (m_soxr) {
            if (!resample(false))
                return ConverterStatus::Error;
        } else {
            appendToFifo(m_mixed, m_mixed[0].size());
        }
    } else if (m_soxr && !m_drained) {
        if (!resample(true))
            return ConverterStatus::Error;
    }

    const size_t available = pendingFrames();
    const size_t n = std::min<size_t>(available, out.frameCapacity());
    for (quint32 c = 0; c < m_to.channels; ++c) {
        const float *src = m_fifo[c].data() + m_fifoStart;
        std::copy(src, src + n, out.channel(c));
    }
    m_fifoStart += n;
    if (m_fifoStart == (m_fifo.empty() ? 0 : m_fifo[0].size())) {
        for (auto &f : m_fifo)
            f.clear();
        m_fifoStart = 0;
    }
    out.setFrameLength(quint32(n));
    if (endOfInput && pendingFrames() == 0)
        return ConverterStatus::EndOfStream;
    if (n == 0)
        return ConverterStatus::InputRanDry;
    return ConverterStatus::HaveData;
}

} // namespace vox
