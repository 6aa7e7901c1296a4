#include "AudioForwarder.h"

#include "platform/Diag.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace vox {

QString formatDouble(double v)
{
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(v, 'f', 1);
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

AudioForwarder::AudioForwarder(PcmFormat targetFormat) : m_target(targetFormat) {}

void AudioForwarder::handle(const PcmBuffer &buffer)
{
    if (!m_converter)
        return;
    bool passthrough = false;
    std::optional<PcmBuffer> converted = convert(buffer, passthrough);
    if (!passthrough && !converted) {
        diagForwarder(QStringLiteral("handle: 转换失败（输入 %1Hz/%2ch/%3frames）")
                          .arg(formatDouble(buffer.format().sampleRate))
                          .arg(buffer.format().channels)
                          .arg(buffer.frameLength()));
        if (onError)
            onError(QStringLiteral("音频格式转换失败，请尝试更换输入设备。"));
        return;
    }
    const PcmBuffer &out = passthrough ? buffer : *converted;

    appendToRecognition(out);

    std::shared_ptr<AudioFileWriter> file;
    {
        std::lock_guard lock(m_requestLock);
        file = m_recordingFile;
    }
    if (file && out.frameLength() > 0) {
        // The position counts only what reached the file, so entry times
        // keep pointing into the audio that is really there.
        if (file->write(out)) {
            m_recordedFrames.fetch_add(out.frameLength());
        } else if (!m_recordingFailed.exchange(true)) {
            diagForwarder(QStringLiteral("handle: 课堂录音写入失败"));
            if (onError)
                onError(QStringLiteral("课堂录音无法写入（磁盘已满或文件夹不可写），录音停在此处；识别和翻译继续进行。"));
        }
    }

    const float level = computeLevel(out);
    const double duration = double(out.frameLength()) / 16000.0;
    updateSilence(level, duration);
    if (onActivity)
        onActivity(AudioActivity{level, m_silenceDuration});
}

std::optional<PcmBuffer> AudioForwarder::convert(const PcmBuffer &buffer, bool &passthrough)
{
    const PcmFormat &f = buffer.format();
    if (f.sampleRate == m_target.sampleRate && f.channels == m_target.channels) {
        passthrough = true;
        return std::nullopt;
    }
    if (!(f.sampleRate > 0))
        return std::nullopt;
    const double capacity = std::floor(m_target.sampleRate / f.sampleRate * double(buffer.frameLength())) + 16.0;
    if (!(capacity > 0) || capacity > 16.0 * 1024 * 1024)
        return std::nullopt;
    PcmBuffer out(m_target, quint32(capacity));
    const ConverterStatus status = m_converter->convert(buffer, out);
    if (status == ConverterStatus::HaveData || status == ConverterStatus::InputRanDry)
        return out;
    return std::nullopt;
}

void AudioForwarder::appendToRecognition(const PcmBuffer &buffer)
{
    std::lock_guard lock(m_requestLock);
    if (m_request) {
        m_request->append(buffer);
        return;
    }
    if (m_bufferedFrames < kBufferLimitFrames) {
        // A copy of exactly the frames in use.
        PcmBuffer copy(buffer.format(), buffer.frameLength());
        for (quint32 c = 0; c < buffer.format().channels; ++c)
            std::copy_n(buffer.channel(c), buffer.frameLength(), copy.channel(c));
        copy.setFrameLength(buffer.frameLength());
        m_bufferedFrames += buffer.frameLength();
        m_bufferedAudio.push_back(std::move(copy));
    }
}

void AudioForwarder::setRequest(std::shared_ptr<RecognitionRequest> request)
{
    std::lock_guard lock(m_requestLock);
    m_request = std::move(request);
    if (m_request) {
        for (const PcmBuffer &b : m_bufferedAudio)
            m_request->append(b);
        m_bufferedAudio.clear();
        m_bufferedFrames = 0;
    }
}

void AudioForwarder::clearBufferedAudio()
{
    std::lock_guard lock(m_requestLock);
    m_bufferedAudio.clear();
    m_bufferedFrames = 0;
}

void AudioForwarder::setRecordingFile(std::shared_ptr<AudioFileWriter> file)
{
    std::lock_guard lock(m_requestLock);
    // A course's recording goes on across sessions: the position continues
    // from what the file already holds.
    m_recordedFrames.store(file ? file->length() : 0);
    m_recordingFile = std::move(file);
    m_recordingFailed.store(false);
}

std::shared_ptr<AudioFileWriter> AudioForwarder::takeRecordingFile()
{
    std::lock_guard lock(m_requestLock);
    return std::exchange(m_recordingFile, nullptr);
}

quint32 AudioForwarder::bufferedFrames() const
{
    std::lock_guard lock(m_requestLock);
    return m_bufferedFrames;
}

size_t AudioForwarder::bufferedBufferCount() const
{
    std::lock_guard lock(m_requestLock);
    return m_bufferedAudio.size();
}

bool AudioForwarder::hasRequest() const
{
    std::lock_guard lock(m_requestLock);
    return bool(m_request);
}

float AudioForwarder::computeLevel(const PcmBuffer &buffer)
{
    const quint32 n = buffer.frameLength();
    if (n == 0 || buffer.format().channels == 0)
        return 0;
    const float *data = buffer.channel(0);
    const quint32 stride = n < 128 ? 1 : n / 128;
    double sum = 0;
    quint32 taken = 0;
    for (quint32 i = 0; i < n; i += stride) {
        sum += double(data[i]) * double(data[i]);
        ++taken;
    }
    const double rms = std::sqrt(sum / double(taken));
    const double level = rms * kLevelScale;
    if (!(level > 0))
        return 0;
    return float(std::min(level, 1.0));
}

void AudioForwarder::updateSilence(float level, double duration)
{
    const float rms = level / kLevelScale;
    m_windowMinRMS = std::min(m_windowMinRMS, rms);
    m_windowElapsed += duration;
    if (m_windowElapsed >= kNoiseWindow) {
        m_noiseFloor = m_windowMinRMS;
        m_windowMinRMS = std::numeric_limits<float>::max();
        m_windowElapsed = 0;
    }
    const float threshold = std::clamp(m_noiseFloor * 2.5f, 0.004f, 0.015f);
    if (rms >= threshold) {
        m_hasSpoken = true;
        m_silenceDuration = 0;
    } else if (m_hasSpoken) {
        m_silenceDuration += duration;
    }
}

} // namespace vox
