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
    m_file = f;
    m_format = PcmFormat{double(info.samplerate), quint32(info.channels), false};
    m_frames = info.frames;
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
        return Error{kDomain, 1, QStringLiteral("无法读取音频文件：") + m_options.path + QStringLiteral("（") + why
                                     + QStringLiteral("）")};
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
                error = Error{kDomain, 2, QStringLiteral("读取音频文件出错：") + QString::fromLocal8Bit(sf_strerror(f))};
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
