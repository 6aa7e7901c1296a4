#include "QtAudioEngine.h"

#include "PulseHardwareAudio.h"
#include "platform/Diag.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>

namespace vox {

namespace {

constexpr const char *kDomain = "VoxleafAudio";

// Receives the captured bytes (interleaved float) and cuts them into
// buffers of exactly the tap size. Runs on the capture thread only.
class SliceSink final : public QIODevice {
public:
    SliceSink(QtAudioEngine *engine, PcmFormat format) : m_engine(engine), m_format(format) {}

    void flush()
    {
        const quint32 frames = quint32(m_pending.size() / frameBytes());
        if (frames > 0)
            emitFrames(frames);
        m_pending.clear();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        if (!data || len <= 0)
            return 0; // an empty read is never passed on
        m_pending.append(data, len);
        const quint32 size = std::max<quint32>(1, m_engine->tapBufferSize());
        while (quint64(m_pending.size()) >= quint64(size) * frameBytes())
            emitFrames(size);
        return len;
    }

private:
    qsizetype frameBytes() const { return qsizetype(sizeof(float)) * m_format.channels; }

    void emitFrames(quint32 frames)
    {
        const auto *samples = reinterpret_cast<const float *>(m_pending.constData());
        PcmBuffer buffer = PcmBuffer::fromInterleaved(m_format, samples, frames);
        m_pending.remove(0, qsizetype(frames) * frameBytes());
        m_engine->deliver(buffer);
    }

    QtAudioEngine *m_engine;
    PcmFormat m_format;
    QByteArray m_pending;
};

} // namespace

// Owns the QAudioSource; lives on the capture thread.
class CaptureWorker final : public QObject {
public:
    explicit CaptureWorker(QtAudioEngine *engine) : m_engine(engine) {}
    ~CaptureWorker() override { close(); }

    // Returns an empty string on success, else what went wrong.
    QString open(const QAudioDevice &device, const PcmFormat &format, quint32 bufferFrames)
    {
        close();
        QAudioFormat f;
        f.setSampleRate(int(format.sampleRate));
        f.setChannelCount(int(format.channels));
        f.setSampleFormat(QAudioFormat::Float);
        f.setChannelConfig(QAudioFormat::defaultChannelConfigForChannelCount(int(format.channels)));
        m_sink = new SliceSink(m_engine, format);
        m_sink->open(QIODevice::WriteOnly);
        m_source = new QAudioSource(device, f);
        m_source->setBufferSize(qsizetype(bufferFrames) * qsizetype(sizeof(float)) * format.channels);
        m_source->start(m_sink);
        if (m_source->error() != QAudio::NoError) {
            const int err = int(m_source->error());
            close();
            return QStringLiteral("音频输入设备无法打开（错误 %1）。").arg(err);
        }
        return {};
    }

    void close()
    {
        if (m_source) {
            m_source->stop();
            delete m_source;
            m_source = nullptr;
        }
        if (m_sink) {
            static_cast<SliceSink *>(m_sink)->flush();
            delete m_sink;
            m_sink = nullptr;
        }
    }

private:
    QtAudioEngine *m_engine;
    QAudioSource *m_source = nullptr;
    QIODevice *m_sink = nullptr;
};

QtAudioEngine::QtAudioEngine() : m_device(std::make_unique<QAudioDevice>()) {}

QString QtAudioEngine::deviceName() const
{
    return QString::fromUtf8(m_device->id());
}

QtAudioEngine::~QtAudioEngine()
{
    stop();
}

bool QtAudioEngine::resolve()
{
    m_resolved = false;
    *m_device = QAudioDevice();
    m_format = PcmFormat{};
    const auto def = pulse::defaultSource();
    if (!def) {
        // Without PulseAudio answering, Qt's default is the best guess.
        const QAudioDevice d = QMediaDevices::defaultAudioInput();
        if (d.isNull())
            return false;
        *m_device = d;
        const QAudioFormat f = d.preferredFormat();
        m_format = PcmFormat{double(f.sampleRate()), quint32(std::max(0, f.channelCount())), false};
        m_resolved = m_format.isValid();
        return m_resolved;
    }
    // Qt learns of new sources a little after PulseAudio does.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
            if (QString::fromUtf8(d.id()) == def->name) {
                *m_device = d;
                break;
            }
        }
        if (!m_device->isNull() || waited.elapsed() > 1000)
            break;
        QThread::msleep(50);
    }
    if (m_device->isNull()) {
        diag(QStringLiteral("QtAudioEngine: 默认输入 %1 不在 Qt 设备列表中").arg(def->name));
        return false;
    }
    m_format = PcmFormat{def->sampleRate, def->channels, false};
    m_resolved = m_format.isValid();
    return m_resolved;
}

PcmFormat QtAudioEngine::inputFormat()
{
    if (m_worker)
        return m_format; // running: the format being captured
    resolve();
    return m_format;
}

void QtAudioEngine::installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block)
{
    std::lock_guard lock(m_tapMutex);
    m_bufferSize = bufferSize > 0 ? bufferSize : 4096;
    m_tap = std::move(block);
}

void QtAudioEngine::removeTap()
{
    // Waits for a tap call in progress: after this returns the block is
    // never called again.
    std::lock_guard lock(m_tapMutex);
    m_tap = nullptr;
}

quint32 QtAudioEngine::tapBufferSize() const
{
    std::lock_guard lock(m_tapMutex);
    return m_bufferSize;
}

void QtAudioEngine::deliver(const PcmBuffer &buffer)
{
    if (buffer.frameLength() == 0)
        return;
    std::lock_guard lock(m_tapMutex);
    if (m_tap)
        m_tap(buffer);
}

void QtAudioEngine::prepare()
{
    if (!m_resolved)
        resolve();
}

std::optional<Error> QtAudioEngine::start()
{
    if (m_worker)
        return std::nullopt;
    if (!m_resolved && !resolve())
        return Error{QString::fromLatin1(kDomain), 1, QStringLiteral("找不到系统默认的音频输入设备。")};

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("vox-audio"));
    m_worker = new CaptureWorker(this);
    m_worker->moveToThread(m_thread);
    m_thread->start(QThread::TimeCriticalPriority);

    QString failure;
    const QAudioDevice device = *m_device;
    const PcmFormat format = m_format;
    // The device delivers in pieces of about 20 ms (a quarter of a tap
    // buffer at most), so a tap buffer is handed on as soon as it is full
    // rather than a device period later.
    const quint32 frames = std::max<quint32>(256, std::min<quint32>(tapBufferSize() / 4, quint32(format.sampleRate / 50)));
    QMetaObject::invokeMethod(
        m_worker, [&] { failure = m_worker->open(device, format, frames); }, Qt::BlockingQueuedConnection);
    if (!failure.isEmpty()) {
        stop();
        return Error{QString::fromLatin1(kDomain), 2, failure};
    }
    return std::nullopt;
}

void QtAudioEngine::stop()
{
    if (!m_worker)
        return;
    CaptureWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_worker = nullptr;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace vox
