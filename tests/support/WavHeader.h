#pragma once
// Crafting hostile audio files: a WAV header that lies about its sample rate.
#include <QFile>
#include <QString>
#include <QtEndian>

namespace vox::test {

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
