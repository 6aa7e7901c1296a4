#include "SinkAudioPlayer.h"

#include "PulseHardwareAudio.h"
#include "platform/Diag.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>
#include <sndfile.h>

#include <algorithm>

namespace vox {

// Decodes the file on demand for the sink (interleaved float).
class SinkSource final : public QIODevice {
public:
    explicit SinkSource(QObject *parent) : QIODevice(parent) {}
    ~SinkSource() override
    {
        if (m_file)
            sf_close(m_file);
    }

    bool load(const QString &path)
    {
        SF_INFO info{};
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        if (!f)
            return false;
        if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0) {
            sf_close(f);
            return false;
        }
        if (m_file)
            sf_close(m_file);
        m_file = f;
        m_info = info;
        m_position = 0;
        return true;
    }

    bool loaded() const { return m_file != nullptr; }
    qint64 frames() const { return m_file ? m_info.frames : 0; }
    int rate() const { return m_info.samplerate; }
    int channels() const { return m_info.channels; }
    qint64 bytesPerFrame() const { return qint64(sizeof(float)) * m_info.channels; }
    // Frames handed to the sink (the decoding position).
    qint64 handed() const { return m_position; }

    bool seekFrame(qint64 frame)
    {
        if (!m_file)
            return false;
        frame = std::clamp<qint64>(frame, 0, m_info.frames);
        if (sf_seek(m_file, frame, SEEK_SET) < 0)
            return false;
        m_position = frame;
        return true;
    }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return !m_file || m_position >= m_info.frames; }
    qint64 bytesAvailable() const override
    {
        return (m_file ? (m_info.frames - m_position) * bytesPerFrame() : 0) + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxlen) override
    {
        if (!m_file || maxlen <= 0)
            return 0;
        const qint64 want = std::min(maxlen / bytesPerFrame(), m_info.frames - m_position);
        if (want <= 0)
            return 0;
        const sf_count_t got = sf_readf_float(m_file, reinterpret_cast<float *>(data), want);
        if (got <= 0) {
            m_position = m_info.frames; // unreadable rest: treat as the end
            return 0;
        }
        m_position += got;
        return got * bytesPerFrame();
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    SNDFILE *m_file = nullptr;
    SF_INFO m_info{};
    qint64 m_position = 0;
};

namespace {

// The system's current default output: PulseAudio's default sink, matched by
// name (Qt 6.4's own default is not reliable); Qt's choice as a fallback.
QAudioDevice outputDevice()
{
    if (const auto name = pulse::defaultSinkName(1000)) {
        for (const QAudioDevice &d : QMediaDevices::audioOutputs()) {
            if (QString::fromUtf8(d.id()) == *name)
                return d;
        }
    }
    return QMediaDevices::defaultAudioOutput();
}

} // namespace

SinkAudioPlayer::SinkAudioPlayer() : m_context(std::make_unique<QObject>())
{
    m_source = new SinkSource(m_context.get());
    m_timer = new QTimer(m_context.get());
    m_timer->setInterval(20);
    QObject::connect(m_timer, &QTimer::timeout, m_context.get(), [this] { checkEnd(); });
}

SinkAudioPlayer::~SinkAudioPlayer()
{
    stopSink();
}

bool SinkAudioPlayer::load(const QString &path)
{
    stopSink();
    m_playing = false;
    m_pausedFrame = 0;
    if (!m_source->load(path))
        return false;
    return true;
}

double SinkAudioPlayer::duration() const
{
    if (!m_source->loaded() || m_source->rate() <= 0)
        return 0;
    return double(m_source->frames()) / m_source->rate();
}

qint64 SinkAudioPlayer::heardFrame() const
{
    if (!m_sink)
        return m_pausedFrame;
    // Upper bound: frames handed over minus what the sink reports it still
    // holds. Qt's PulseAudio sink reads ahead beyond that buffer, though, so
    // the bound runs about 0.1 s early; the stream's own playback clock
    // (processedUSecs, from the server's timing) is what is being heard.
    const qint64 bpf = m_source->bytesPerFrame();
    qint64 buffered = 0;
    const QAudio::State st = m_sink->state();
    if (st == QAudio::ActiveState || st == QAudio::IdleState)
        buffered = std::max<qint64>(0, m_sink->bufferSize() - m_sink->bytesFree()) / bpf;
    const qint64 upper = m_source->handed() - buffered;
    const qint64 played = m_pausedFrame + qint64(double(m_sink->processedUSecs()) * m_source->rate() / 1e6);
    return std::clamp<qint64>(std::min(played, upper), m_pausedFrame, m_source->frames());
}

double SinkAudioPlayer::currentTime() const
{
    if (!m_source->loaded() || m_source->rate() <= 0)
        return 0;
    return double(heardFrame()) / m_source->rate();
}

void SinkAudioPlayer::startSink(qint64 fromFrame)
{
    stopSink();
    m_source->seekFrame(fromFrame);
    m_pausedFrame = m_source->handed();
    QAudioFormat f;
    f.setSampleRate(m_source->rate());
    f.setChannelCount(m_source->channels());
    f.setSampleFormat(QAudioFormat::Float);
    f.setChannelConfig(QAudioFormat::defaultChannelConfigForChannelCount(m_source->channels()));
    m_sink = new QAudioSink(outputDevice(), f, m_context.get());
    m_sink->setBufferSize(qsizetype(m_bufferSeconds * m_source->rate()) * m_source->bytesPerFrame());
    if (!m_source->isOpen())
        m_source->open(QIODevice::ReadOnly);
    m_endSeen.invalidate();
    m_sink->start(m_source);
    if (m_sink->error() != QAudio::NoError)
        diag(QStringLiteral("SinkAudioPlayer: 无法启动播放（错误 %1）").arg(int(m_sink->error())));
    m_timer->start();
}

void SinkAudioPlayer::stopSink()
{
    if (!m_sink)
        return;
    m_pausedFrame = heardFrame();
    m_timer->stop();
    m_sink->stop();
    delete m_sink;
    m_sink = nullptr;
}

void SinkAudioPlayer::play()
{
    if (!m_source->loaded() || m_playing)
        return;
    qint64 from = m_pausedFrame;
    if (from >= m_source->frames())
        from = 0;
    m_playing = true;
    startSink(from);
}

void SinkAudioPlayer::pause()
{
    if (!m_playing)
        return;
    stopSink();
    m_playing = false;
}

void SinkAudioPlayer::stop()
{
    pause();
}

void SinkAudioPlayer::setCurrentTime(double seconds)
{
    if (!m_source->loaded())
        return;
    const qint64 frame =
        std::clamp<qint64>(qint64(std::max(0.0, seconds) * m_source->rate()), 0, m_source->frames());
    if (m_playing) {
        startSink(frame);
    } else {
        stopSink();
        m_source->seekFrame(frame);
        m_pausedFrame = frame;
    }
}

void SinkAudioPlayer::checkEnd()
{
    if (!m_playing || !m_sink)
        return;
    if (!m_source->atEnd())
        m_endSeen.invalidate();
    else if (!m_endSeen.isValid())
        m_endSeen.start();
    // Normally the sink reports its buffer empty; should it never do so, the
    // end is taken once the buffer's length (and a margin) has passed.
    const bool drained = m_source->atEnd() && (heardFrame() >= m_source->frames() ||
                                               m_endSeen.elapsed() > qint64(m_bufferSeconds * 1000) + 500);
    const bool failed = m_sink->state() == QAudio::StoppedState && m_sink->error() != QAudio::NoError;
    if (!drained && !failed)
        return;
    stopSink();
    m_playing = false;
    m_pausedFrame = 0; // a finished player starts again from the beginning
    m_source->seekFrame(0);
    if (m_finished)
        m_finished();
}

} // namespace vox
