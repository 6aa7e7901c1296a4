#include "FakeAudio.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace vox::fake {

// ---- capture engine --------------------------------------------------------

FakeAudioEngine::FakeAudioEngine(FakeAudioEngineFactory *factory, FakeAudioConfig config)
    : m_factory(factory), m_config(std::move(config))
{
}

FakeAudioEngine::~FakeAudioEngine()
{
    if (m_factory && m_factory->current == this)
        m_factory->current = nullptr;
}

PcmFormat FakeAudioEngine::inputFormat()
{
    const auto &list = m_config.inputFormats;
    PcmFormat f;
    if (!list.empty())
        f = list[std::min<size_t>(size_t(formatReads), list.size() - 1)];
    formatReads++;
    m_lastFormat = f;
    return f;
}

void FakeAudioEngine::installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block)
{
    tapBufferSize = bufferSize;
    m_tap = std::move(block);
}

void FakeAudioEngine::removeTap()
{
    m_tap = nullptr;
}

std::optional<Error> FakeAudioEngine::start()
{
    if (m_config.startError)
        return m_config.startError;
    running = true;
    return std::nullopt;
}

bool FakeAudioEngine::push(const PcmBuffer &buffer)
{
    if (!running || !m_tap)
        return false;
    m_tap(buffer);
    return true;
}

PcmBuffer FakeAudioEngine::makeBuffer(quint32 frames, float amplitude) const
{
    PcmFormat f = m_lastFormat.isValid() ? m_lastFormat : PcmFormat{48000.0, 2, false};
    PcmBuffer b(f, frames);
    for (quint32 c = 0; c < f.channels; ++c) {
        float *p = b.channel(c);
        for (quint32 i = 0; i < frames; ++i)
            p[i] = amplitude;
    }
    b.setFrameLength(frames);
    return b;
}

std::unique_ptr<AudioEngine> FakeAudioEngineFactory::create()
{
    auto e = std::make_unique<FakeAudioEngine>(this, config);
    current = e.get();
    created++;
    return e;
}

// ---- capture devices ---------------------------------------------------------

std::optional<CaptureDevice> FakeCaptureDevices::defaultDevice()
{
    if (defaultID.isEmpty())
        return std::nullopt;
    for (const auto &d : devices)
        if (d.uniqueID == defaultID)
            return d;
    CaptureDevice d;
    d.uniqueID = defaultID;
    d.localizedName = defaultID;
    return d;
}

void FakeCaptureDevices::watch(QObject *context, std::function<void()> handler)
{
    m_watchers.emplace_back(context, std::move(handler));
}

void FakeCaptureDevices::notifyChanged()
{
    const auto watchers = m_watchers;
    for (const auto &[context, handler] : watchers)
        if (context)
            handler();
}

std::optional<CaptureDevice> FakeCaptureDevices::device(const QString &uniqueID)
{
    for (const auto &d : devices)
        if (d.uniqueID == uniqueID)
            return d;
    return std::nullopt;
}

// ---- hardware layer ------------------------------------------------------------

const FakeHardwareAudio::Device *FakeHardwareAudio::find(AudioObjectID id) const
{
    for (const auto &d : devices)
        if (d.id == id)
            return &d;
    return nullptr;
}

Error FakeHardwareAudio::failure(int code)
{
    return Error{QStringLiteral("FakeHardwareAudio"), code, QStringLiteral("音频设备操作失败（错误码 %1）").arg(code)};
}

Result<std::vector<AudioObjectID>> FakeHardwareAudio::deviceIDs()
{
    if (listStatus != 0)
        return failure(listStatus);
    std::vector<AudioObjectID> out;
    for (const auto &d : devices)
        out.push_back(d.id);
    return out;
}

Result<quint32> FakeHardwareAudio::inputStreamCount(AudioObjectID id)
{
    const Device *d = find(id);
    if (!d)
        return failure(-1);
    return d->inputStreams;
}

Result<QString> FakeHardwareAudio::deviceUID(AudioObjectID id)
{
    const Device *d = find(id);
    if (!d)
        return failure(-1);
    return d->uid;
}

Result<QString> FakeHardwareAudio::deviceName(AudioObjectID id)
{
    const Device *d = find(id);
    if (!d)
        return failure(-1);
    return d->name;
}

Result<AudioObjectID> FakeHardwareAudio::defaultInputDevice()
{
    return defaultInput;
}

Result<bool> FakeHardwareAudio::setDefaultInputDevice(AudioObjectID id)
{
    setCalls.push_back(id);
    if (setStatus != 0)
        return failure(setStatus);
    defaultInput = id;
    return true;
}

// ---- converter -------------------------------------------------------------------

ConverterStatus FakeAudioConverter::convert(const PcmBuffer &in, PcmBuffer &out)
{
    if (failAlways || !m_from.isValid() || !m_to.isValid()) {
        out.setFrameLength(0);
        return ConverterStatus::Error;
    }
    const quint32 n = in.frameLength();
    const quint32 channels = std::max<quint32>(1, in.format().channels);
    const double ratio = m_from.sampleRate / m_to.sampleRate; // input frames per output frame
    auto mixed = [&](qint64 i) -> float {
        if (i < 0)
            return m_prev;
        float s = 0;
        for (quint32 c = 0; c < channels; ++c)
            s += in.channel(c)[i];
        return s / float(channels);
    };
    quint32 produced = 0;
    const quint32 cap = out.frameCapacity();
    const quint32 outChannels = out.format().channels;
    while (n > 0 && m_pos < double(n) - 1.0 && produced < cap) {
        const double fl = std::floor(m_pos);
        const qint64 i = qint64(fl);
        const float frac = float(m_pos - fl);
        const float v = mixed(i) + (mixed(i + 1) - mixed(i)) * frac;
        for (quint32 c = 0; c < outChannels; ++c)
            out.channel(c)[produced] = v;
        ++produced;
        m_pos += ratio;
    }
    if (n > 0) {
        m_prev = mixed(qint64(n) - 1);
        m_pos -= double(n);
    }
    out.setFrameLength(produced);
    return ConverterStatus::InputRanDry;
}

std::unique_ptr<AudioConverter> FakeAudioConverterFactory::create(const PcmFormat &from, const PcmFormat &to)
{
    if (refuse || !from.isValid() || !to.isValid())
        return nullptr;
    created++;
    auto c = std::make_unique<FakeAudioConverter>(from, to);
    c->failAlways = convertersFail;
    return c;
}

// ---- files ---------------------------------------------------------------------------

namespace {

class RawWriter : public AudioFileWriter {
public:
    RawWriter(const QString &path, PcmFormat f, std::optional<qint64> limit) : m_file(path), m_format(f), m_limit(limit) {}
    bool open() { return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered); }
    bool write(const PcmBuffer &buffer) override
    {
        if (!m_file.isOpen())
            return false;
        const quint32 n = buffer.frameLength();
        if (m_limit && m_frames + n > *m_limit)
            return false;
        const quint32 ch = buffer.format().channels;
        std::vector<float> inter(size_t(n) * ch);
        for (quint32 i = 0; i < n; ++i)
            for (quint32 c = 0; c < ch; ++c)
                inter[size_t(i) * ch + c] = buffer.channel(c)[i];
        const qint64 bytes = qint64(inter.size() * sizeof(float));
        if (m_file.write(reinterpret_cast<const char *>(inter.data()), bytes) != bytes)
            return false;
        m_frames += n;
        return true;
    }
    qint64 length() const override { return m_frames; }
    void close() override { m_file.close(); }

private:
    QFile m_file;
    PcmFormat m_format;
    std::optional<qint64> m_limit;
    qint64 m_frames = 0;
};

class RawReader : public AudioFileReader {
public:
    explicit RawReader(const QString &path) : m_file(path) {}
    bool open() { return m_file.open(QIODevice::ReadOnly); }
    PcmFormat format() const override { return PcmFormat::target(); }
    qint64 length() const override { return m_file.size() / qint64(sizeof(float)); }
    PcmBuffer read(quint32 frames) override
    {
        PcmBuffer b(PcmFormat::target(), frames);
        const qint64 got = m_file.read(reinterpret_cast<char *>(b.channel(0)), qint64(frames) * qint64(sizeof(float)));
        b.setFrameLength(got > 0 ? quint32(got / qint64(sizeof(float))) : 0);
        return b;
    }
    bool seek(qint64 frame) override { return m_file.seek(frame * qint64(sizeof(float))); }

private:
    QFile m_file;
};

} // namespace

Result<std::unique_ptr<AudioFileWriter>> FakeAudioFiles::createForWriting(const QString &path, const PcmFormat &format)
{
    if (createError)
        return *createError;
    auto w = std::make_unique<RawWriter>(path, format, diskFullAfterFrames);
    if (!w->open())
        return Error{QStringLiteral("FakeAudioFiles"), 1, QStringLiteral("无法创建文件: ") + path};
    created++;
    return std::unique_ptr<AudioFileWriter>(std::move(w));
}

Result<std::unique_ptr<AudioFileReader>> FakeAudioFiles::openForReading(const QString &path)
{
    auto r = std::make_unique<RawReader>(path);
    if (!r->open())
        return Error{QStringLiteral("FakeAudioFiles"), 2, QStringLiteral("无法打开文件: ") + path};
    return std::unique_ptr<AudioFileReader>(std::move(r));
}

// ---- player ----------------------------------------------------------------------------

bool FakeAudioPlayer::load(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists())
        return false;
    loadedPath = path;
    m_duration = double(info.size()) / sizeof(float) / 16000.0;
    m_time = 0;
    m_playing = false;
    return true;
}

void FakeAudioPlayer::advance(double seconds)
{
    if (!m_playing)
        return;
    m_time += seconds;
    if (m_time >= m_duration) {
        m_time = m_duration;
        m_playing = false;
        if (m_finished)
            m_finished();
    }
}

std::unique_ptr<AudioPlayer> FakeAudioPlayerFactory::create()
{
    auto p = std::make_unique<FakeAudioPlayer>();
    last = p.get();
    return p;
}

} // namespace vox::fake
