#pragma once
// Audio files for tests: a tone written with libsndfile, and a WAV header
// that lies about its sample rate. (Programs using these link libsndfile.)
#include <QFile>
#include <QString>
#include <QtEndian>
#include <sndfile.h>

#include <cmath>
#include <vector>

namespace vox::test {

// Writes `frames` frames in libsndfile's `format`; sample i of channel c is
// amplitude * sin(i * step + c), so any lost, repeated or reordered frame
// shows. Returns the path, empty when the file could not be written.
inline QString writeTone(const QString &path, int format, int rate, int channels, int frames, double amplitude = 0.5,
                         double step = 0.01)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return {};
    std::vector<float> s(size_t(frames) * size_t(channels));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = float(amplitude * std::sin(double(i / size_t(channels)) * step + double(i % size_t(channels))));
    sf_writef_float(f, s.data(), frames);
    sf_close(f);
    return path;
}

// Rewrites the sample rate (and byte rate) a WAV file's header claims; the
// samples stay as they are.
inline bool claimSampleRate(const QString &path, quint32 rate)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    const QByteArray head = f.read(64);
    const qsizetype fmt = head.indexOf("fmt ");
    if (fmt < 0)
        return false;
    const quint16 blockAlign = qFromLittleEndian<quint16>(head.constData() + fmt + 20);
    uchar fields[8];
    qToLittleEndian<quint32>(rate, fields);
    qToLittleEndian<quint32>(rate * blockAlign, fields + 4);
    return f.seek(fmt + 12) && f.write(reinterpret_cast<const char *>(fields), 8) == 8;
}

} // namespace vox::test
