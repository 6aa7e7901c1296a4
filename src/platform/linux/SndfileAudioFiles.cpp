#include "SndfileAudioFiles.h"

#include <QFile>
#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace vox {

namespace {

const QString kDomain = QStringLiteral("VoxleafAudioFile");

class SndfileWriter final : public AudioFileWriter {
public:
    SndfileWriter(SNDFILE *file, PcmFormat format) : m_file(file), m_format(format) {}
    ~SndfileWriter() override { close(); }

    bool write(const PcmBuffer &buffer) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_file)
            return false;
        const quint32 n = buffer.frameLength();
        if (n == 0)
            return true;
        if (!(buffer.format() == m_format))
            return false;
        const quint32 ch = m_format.channels;
        const float *samples = buffer.channel(0);
        if (ch > 1) {
            m_interleaved.resize(size_t(n) * ch);
            for (quint32 c = 0; c < ch; ++c) {
                const float *src = buffer.channel(c);
                for (quint32 i = 0; i < n; ++i)
                    m_interleaved[size_t(i) * ch + c] = src[i];
            }
            samples = m_interleaved.data();
        }
        const sf_count_t written = sf_writef_float(m_file, samples, n);
        if (written > 0)
            m_length += written;
        return written == sf_count_t(n);
    }

    qint64 length() const override { return m_length.load(); }

    void close() override
    {
        std::lock_guard lock(m_mutex);
        if (m_file) {
            sf_close(m_file);
            m_file = nullptr;
        }
    }

private:
    std::mutex m_mutex;
    SNDFILE *m_file;
    PcmFormat m_format;
    std::atomic<qint64> m_length{0};
    std::vector<float> m_interleaved;
};

class SndfileReader final : public AudioFileReader {
public:
    SndfileReader(SNDFILE *file, const SF_INFO &info)
        : m_file(file), m_format{double(info.samplerate), quint32(info.channels), false}, m_length(info.frames)
    {
    }
    ~SndfileReader() override { sf_close(m_file); }

    PcmFormat format() const override { return m_format; }
    qint64 length() const override { return m_length; }

    PcmBuffer read(quint32 frames) override
    {
        m_interleaved.resize(size_t(frames) * m_format.channels);
        sf_count_t got = frames > 0 ? sf_readf_float(m_file, m_interleaved.data(), frames) : 0;
        if (got < 0)
            got = 0;
        PcmBuffer out = PcmBuffer::fromInterleaved(m_format, m_interleaved.data(), quint32(got));
        return out;
    }

    bool seek(qint64 frame) override
    {
        if (frame < 0 || frame > m_length)
            return false;
        return sf_seek(m_file, frame, SEEK_SET) >= 0;
    }

private:
    SNDFILE *m_file;
    PcmFormat m_format;
    qint64 m_length;
    std::vector<float> m_interleaved;
};

} // namespace

Result<std::unique_ptr<AudioFileWriter>> SndfileAudioFiles::createForWriting(const QString &path,
                                                                             const PcmFormat &format)
{
    if (!format.isValid() || format.sampleRate != std::floor(format.sampleRate) || format.sampleRate > 1e6 ||
        format.channels > 64)
        return Error{kDomain, SF_ERR_UNSUPPORTED_ENCODING, QStringLiteral("不支持的录音格式。")};
    SF_INFO info{};
    info.samplerate = int(format.sampleRate);
    info.channels = int(format.channels);
    info.format = SF_FORMAT_CAF | SF_FORMAT_FLOAT;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) {
        const int code = sf_error(nullptr);
        return Error{kDomain, code ? code : -1,
                     QStringLiteral("无法创建音频文件：%1").arg(QString::fromUtf8(sf_strerror(nullptr)))};
    }
    // Keep the header's length current after every write.
    sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    return std::unique_ptr<AudioFileWriter>(new SndfileWriter(file, format));
}

Result<std::unique_ptr<AudioFileReader>> SndfileAudioFiles::openForReading(const QString &path)
{
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        const int code = sf_error(nullptr);
        return Error{kDomain, code ? code : -1,
                     QStringLiteral("无法读取音频文件：%1").arg(QString::fromUtf8(sf_strerror(nullptr)))};
    }
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0) {
        sf_close(file);
        return Error{kDomain, SF_ERR_MALFORMED_FILE, QStringLiteral("音频文件格式无效。")};
    }
    return std::unique_ptr<AudioFileReader>(new SndfileReader(file, info));
}

} // namespace vox
