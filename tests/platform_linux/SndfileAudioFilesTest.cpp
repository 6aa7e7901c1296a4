// Recording files: CAF float written and read back, a writer that dies
// without closing, reading other formats, bad paths.
#include "LinuxTestUtil.h"
#include "platform/linux/SndfileAudioFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vox;
using namespace vox::test;

namespace {

float sampleAt(quint64 i)
{
    return float((i * 7919) % 2001) / 1000.0f - 1.0f;
}

// Writes `frames` frames of 16 kHz mono in 1365-frame buffers, as the
// forwarder does; the length grows with each buffer.
void writeFrames(AudioFileWriter &w, quint64 frames)
{
    for (quint64 done = 0; done < frames;) {
        const quint32 n = quint32(std::min<quint64>(1365, frames - done));
        EXPECT_TRUE(w.write(makeBuffer(PcmFormat::target(), n, [&](quint32, quint32 i) { return sampleAt(done + i); })));
        done += n;
        EXPECT_EQ(w.length(), qint64(done));
    }
}

} // namespace

TEST(SndfileAudioFiles, CafFloatRoundTripsWhetherClosedOrKilledWithoutClosing)
{
    QTemporaryDir dir;
    const QString closed = dir.filePath(QStringLiteral("2026-01-02 10-00-00 课堂录音.caf"));
    const QString killed = dir.filePath(QStringLiteral("killed.caf"));
    const quint64 frames = 1365 * 37 + 100;
    SndfileAudioFiles files;

    // A writer that dies by SIGKILL without closing its file.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto w = files.createForWriting(killed, PcmFormat::target());
        if (w)
            writeFrames(*w.value(), frames);
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child status " << status;

    auto w = files.createForWriting(closed, PcmFormat::target());
    ASSERT_TRUE(w) << w.error().message.toStdString();
    writeFrames(*w.value(), frames);
    EXPECT_TRUE(w.value()->write(PcmBuffer(PcmFormat::target(), 0))); // empty: nothing to do
    // A buffer in another format is refused, not written as garbage.
    EXPECT_FALSE(w.value()->write(makeBuffer(PcmFormat{48000, 2, false}, 10, [](quint32, quint32) { return 0.f; })));
    EXPECT_EQ(w.value()->length(), qint64(frames));
    w.value()->close();
    EXPECT_FALSE(w.value()->write(makeBuffer(PcmFormat::target(), 10, [](quint32, quint32) { return 0.f; })));

    for (const QString &path : {closed, killed}) {
        SCOPED_TRACE(path.toStdString());
        auto r = files.openForReading(path);
        ASSERT_TRUE(r) << r.error().message.toStdString();
        EXPECT_EQ(r.value()->format(), PcmFormat::target());
        EXPECT_EQ(r.value()->length(), qint64(frames));
        PcmBuffer all = r.value()->read(quint32(frames + 100));
        ASSERT_EQ(all.frameLength(), quint32(frames));
        for (quint64 i = 0; i < frames; i += 97)
            EXPECT_EQ(all.channel(0)[i], sampleAt(i)) << i;
        EXPECT_EQ(all.channel(0)[frames - 1], sampleAt(frames - 1));
        EXPECT_EQ(r.value()->read(100).frameLength(), 0u); // end
        ASSERT_TRUE(r.value()->seek(5000));
        EXPECT_EQ(r.value()->read(1).channel(0)[0], sampleAt(5000));
        EXPECT_FALSE(r.value()->seek(qint64(frames) + 1));
        EXPECT_FALSE(r.value()->seek(-1));
    }
}

TEST(SndfileAudioFiles, ReadsOtherFormatsAndReportsBadPathsAsErrors)
{
    QTemporaryDir dir;
    SndfileAudioFiles files;
    // A stereo 48 kHz file written through the same writer reads back planar.
    const QString stereo = dir.filePath(QStringLiteral("stereo.caf"));
    {
        auto w = files.createForWriting(stereo, PcmFormat{48000, 2, false});
        ASSERT_TRUE(w);
        w.value()->write(makeBuffer(PcmFormat{48000, 2, false}, 480, [](quint32 c, quint32 i) {
            return c == 0 ? float(i) / 1000.0f : -float(i) / 1000.0f;
        }));
    } // destroyed without close(): the destructor closes
    auto r = files.openForReading(stereo);
    ASSERT_TRUE(r);
    EXPECT_EQ(r.value()->format(), (PcmFormat{48000, 2, false}));
    PcmBuffer b = r.value()->read(480);
    ASSERT_EQ(b.frameLength(), 480u);
    EXPECT_FLOAT_EQ(b.channel(0)[479], 0.479f);
    EXPECT_FLOAT_EQ(b.channel(1)[479], -0.479f);

    // A missing folder, a text file, an empty file: error values.
    auto w = files.createForWriting(dir.filePath(QStringLiteral("no/such/folder/x.caf")), PcmFormat::target());
    ASSERT_FALSE(w);
    EXPECT_FALSE(w.error().message.isEmpty());
    EXPECT_FALSE(files.createForWriting(dir.filePath(QStringLiteral("y.caf")), PcmFormat{0, 1, false}));
    for (const auto &[name, bytes] : {std::pair{"notes.caf", QByteArray("| 英文 | 中文 |\nthis is not audio\n")},
             std::pair{"empty.wav", QByteArray()}}) {
        ASSERT_TRUE(writeFile(dir.filePath(QString::fromLatin1(name)), bytes));
        EXPECT_FALSE(files.openForReading(dir.filePath(QString::fromLatin1(name)))) << name;
    }
    EXPECT_FALSE(files.openForReading(dir.filePath(QStringLiteral("missing.wav"))));
}
