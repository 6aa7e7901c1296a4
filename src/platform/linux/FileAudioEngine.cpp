#include "FileAudioEngine.h"

#include "platform/Diag.h"

#include <QFile>
#include <chrono>
#include <sndfile.h>
#include <vector>

namespace vox {

namespace {
const QString kDomain = QStringLiteral("FileAudioEngine");
constexpr int kReadyPollMs = 100;
} // namespace

std::optional<Error> FileAudioEngine::checkFormat(const PcmFormat &format)
{
    if (!(format.sampleRate >= kMinSampleRate && format.sampleRate <= kMaxSampleRate))
        return Error{kDomain, UnsupportedFormat,
            QStringLiteral("音频文件的采样率 %1 Hz 超出支持范围（%2–%3 Hz）")
                .arg(QString::number(format.sampleRate, 'g', 10))
                .arg(kMinSampleRate)
                .arg(kMaxSampleRate)};
    if (format.channels == 0 || format.channels > kMaxChannels)
        return Error{kDomain, UnsupportedFormat,
            QStringLiteral("音频文件的声道数 %1 超出支持范围（1–%2）").arg(format.channels).arg(kMaxChannels)};
    return std::nullopt;
}

FileAudioEngine::FileAudioEngine(FileAudioEngineOptions options) : m_options(std::move(options)) {}

FileAudioEngine::~FileAudioEngine()
{
    stop();
    if (m_file)
        sf_close(static_cast<SNDFILE *>(m_file));
}

bool FileAudioEngine::open(QString *error)
{
    if (m_file)
        return true;
    SF_INFO info{};
    const QByteArray path = QFile::encodeName(m_options.path);
    SNDFILE *f = sf_open(path.constData(), SFM_READ, &info);
    if (!f) {
        if (error)
            *error = QString::fromLocal8Bit(sf_strerror(nullptr));
        return false;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(f);
        if (error)
            *error = QStringLiteral("no audio");
        return false;
    }
    if (const auto refused = checkFormat(PcmFormat{double(info.samplerate), quint32(info.channels), false})) {
        sf_close(f);
        if (error)
            *error = refused->message;
        return false;
    }
    m_file = f;
    m_format = PcmFormat{double(info.samplerate), quint32(info.channels), false};
    // libsndfile gives SF_COUNT_MAX when it cannot tell the length.
    m_frames = info.frames == SF_COUNT_MAX ? -1 : info.frames;
    return true;
}

PcmFormat FileAudioEngine::inputFormat()
{
    std::lock_guard lk(m_mutex);
    open(nullptr);
    return m_format;
}

qint64 FileAudioEngine::totalFrames()
{
    std::lock_guard lk(m_mutex);
    open(nullptr);
    return m_frames;
}

void FileAudioEngine::installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block)
{
    std::lock_guard lk(m_mutex);
    m_bufferSize = bufferSize > 0 ? bufferSize : 4096;
    m_tap = std::move(block);
}

void FileAudioEngine::removeTap()
{
    std::lock_guard lk(m_mutex);
    m_tap = nullptr;
}

void FileAudioEngine::prepare()
{
    std::lock_guard lk(m_mutex);
    open(nullptr);
}

std::optional<Error> FileAudioEngine::start()
{
    std::lock_guard lk(m_mutex);
    if (m_thread.joinable())
        return std::nullopt;
    QString why;
    if (!open(&why))
        return Error{kDomain, CannotOpen, QStringLiteral("无法读取音频文件：") + m_options.path + QStringLiteral("（") + why
                                     + QStringLiteral("）")};
    diag(QStringLiteral("开始读取音频文件：%1（%2 Hz，%3 声道，%4 帧）")
             .arg(m_options.path)
             .arg(m_format.sampleRate)
             .arg(m_format.channels)
             .arg(m_frames));
    m_stopRequested = false;
    m_thread = std::thread([this] { run(); });
    return std::nullopt;
}

void FileAudioEngine::stop()
{
    std::thread t;
    {
        std::lock_guard lk(m_mutex);
        m_stopRequested = true;
        if (!m_thread.joinable())
            return;
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach(); // stopped from the tap: the loop ends on its own
            return;
        }
        t = std::move(m_thread);
    }
    m_wake.notify_all();
    t.join();
}

void FileAudioEngine::run()
{
    using clock = std::chrono::steady_clock;
    const auto began = clock::now();
    const qint64 firstFrame = m_delivered.load();
    std::vector<float> interleaved;
    std::optional<Error> error;
    bool reachedEnd = false;

    for (;;) {
        std::function<void(const PcmBuffer &)> tap;
        quint32 frames = 0;
        PcmFormat format;
        {
            std::unique_lock lk(m_mutex);
            if (m_stopRequested)
                return;
            if (m_options.realTime) {
                const double due = double(m_delivered.load() - firstFrame) / m_format.sampleRate;
                const auto at = began + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(due));
                if (m_wake.wait_until(lk, at, [&] { return m_stopRequested; }))
                    return;
            }
            tap = m_tap;
            frames = m_bufferSize;
            format = m_format;
        }
        if (!m_options.realTime && m_options.readyForMore) {
            bool ready = false;
            while (!ready) {
                {
                    std::lock_guard lk(m_mutex);
                    if (m_stopRequested)
                        return;
                }
                ready = m_options.readyForMore(kReadyPollMs);
            }
        }
        interleaved.resize(size_t(frames) * format.channels);
        sf_count_t got = 0;
        {
            std::lock_guard lk(m_mutex);
            if (m_stopRequested)
                return;
            auto *f = static_cast<SNDFILE *>(m_file);
            got = sf_readf_float(f, interleaved.data(), frames);
            if (got < 0 || sf_error(f) != SF_ERR_NO_ERROR) {
                error = Error{kDomain, ReadFailed, QStringLiteral("读取音频文件出错：") + QString::fromLocal8Bit(sf_strerror(f))};
                got = 0;
            }
        }
        if (got > 0) {
            const PcmBuffer buffer = PcmBuffer::fromInterleaved(format, interleaved.data(), quint32(got));
            if (tap)
                tap(buffer);
            m_delivered += got;
        }
        if (got < sf_count_t(frames) || error) {
            reachedEnd = true;
            break;
        }
    }
    if (reachedEnd) {
        // Short of what the header promised without a read error: the file
        // was cut while it was being read.
        const qint64 delivered = m_delivered.load();
        if (!error && m_frames > 0 && delivered < m_frames)
            error = Error{kDomain, EndedEarly,
                QStringLiteral("音频文件提前结束：文件头声明 %1 秒，只读到 %2 秒")
                    .arg(double(m_frames) / m_format.sampleRate, 0, 'f', 1)
                    .arg(double(delivered) / m_format.sampleRate, 0, 'f', 1)};
        m_finished = true;
        if (error)
            diag(error->message);
        if (m_options.onEnd)
            m_options.onEnd(m_delivered.load(), error);
    }
}

std::unique_ptr<AudioEngine> FileAudioEngineFactory::create()
{
    return std::make_unique<FileAudioEngine>(m_options);
}

} // namespace vox
