// The headless tool on input that is not what it claims to be.
#include "E2EFixture.h"
#include "support/WavHeader.h"

#include <QFileInfo>
#include <sys/stat.h>

using namespace vox::test;

namespace {

class HostileAudio : public CliHome {
protected:
    // 16-bit mono WAV of a quiet tone.
    QString writeWav(const QString &name, int rate, int frames) const
    {
        return writeTone(m_home.filePath(name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1, frames, 0.05, 0.05);
    }
};

} // namespace

// 227 KB claiming 7 Hz once made a 1 GB recording (the other impossible
// rates are FileAudioEngineTest's).
TEST_F(HostileAudio, AnImpossibleSampleRateIsRefusedAsUnreadableInput)
{
    const QString path = writeWav(QStringLiteral("claims-7.wav"), 16000, 113000);
    ASSERT_TRUE(claimSampleRate(path, 7));
    auto p = startCli({QStringLiteral("transcribe"), path, QStringLiteral("--no-translate"), QStringLiteral("--json")});
    ASSERT_TRUE(p->waitForFinished(60000));
    const QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_EQ(p->exitCode(), 65) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("音频文件的采样率 7 Hz 超出支持范围（8000–384000 Hz）（%1）").arg(path)))
        << err.toStdString();
    EXPECT_TRUE(p->readAllStandardOutput().isEmpty());
}

// 20 s promised, cut to 3 s once the tool has opened the file: it says the
// input ended early (the file engine opens it before the first line below).
TEST_F(HostileAudio, AFileCutShortWhileReadIsReported)
{
    const QString path = writeWav(QStringLiteral("cut.wav"), 16000, 20 * 16000);
    const qint64 header = QFileInfo(path).size() - 20 * 16000 * 2;
    auto p = startCli({QStringLiteral("transcribe"), path, QStringLiteral("--no-translate"), QStringLiteral("--json"),
        QStringLiteral("--realtime")});
    // Real-time pacing: 3 s of audio take 3 s to read, far longer than
    // noticing the line takes.
    const auto opened = [&] { return diagLog().contains(QStringLiteral("开始读取音频文件")); };
    waitFor([&] { return opened() || p->state() == QProcess::NotRunning; }, 90000);
    if (!opened() || p->state() == QProcess::NotRunning) {
        p->kill();
        p->waitForFinished();
        FAIL() << "the file was never opened: " << p->readAllStandardError().toStdString();
    }
    ASSERT_TRUE(QFile::resize(path, header + 3 * 16000 * 2));
    ASSERT_TRUE(p->waitForFinished(120000));
    const QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("音频文件提前结束：文件头声明 20.0 秒，只读到 3.0 秒；已处理到此处为止。")))
        << err.toStdString();
    EXPECT_EQ(p->exitCode(), 0) << err.toStdString();
}

// A device, a FIFO or a link to a device given as input is refused at once
// (it once allocated until the sanitizer gave up, or blocked for minutes).
TEST_F(HostileAudio, NonRegularFilesAreRefusedAtOnce)
{
    const QString fifo = m_home.filePath(QStringLiteral("x.json"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = m_home.filePath(QStringLiteral("zero.wav"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    for (const QString &input : {QStringLiteral("/dev/zero"), fifo, link}) {
        for (const QStringList &args : {QStringList{"transcribe", input, "--no-translate"},
                                        QStringList{"export", input, "--srt"}, QStringList{"review", input}}) {
            SCOPED_TRACE((args.join(' ')).toStdString());
            auto p = startCli(args);
            ASSERT_TRUE(p->waitForFinished(20000));
            EXPECT_EQ(p->exitCode(), 65) << p->readAllStandardError().toStdString();
        }
    }
}
