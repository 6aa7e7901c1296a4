#include "platform/linux/FileAudioEngine.h"
#include "support/TestEnv.h"
#include "support/WavHeader.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

using namespace vox;

using namespace vox::test;

namespace {

QString toneFile(const QTemporaryDir &dir, const char *name, int format, int rate, int channels, int frames)
{
    return writeTone(dir.filePath(QString::fromLatin1(name)), format, rate, channels, frames);
}

struct Sink {
    std::mutex m;
    std::condition_variable cv;
    std::vector<PcmBuffer> buffers;
    bool ended = false;
    qint64 endFrames = -1;
    std::optional<Error> endError;

    FileAudioEngineOptions options(const QString &path)
    {
        FileAudioEngineOptions o;
        o.path = path;
        o.onEnd = [this](qint64 frames, std::optional<Error> e) {
            std::lock_guard lk(m);
            ended = true;
            endFrames = frames;
            endError = e;
            cv.notify_all();
        };
        return o;
    }
    std::function<void(const PcmBuffer &)> tap()
    {
        return [this](const PcmBuffer &b) {
            std::lock_guard lk(m);
            buffers.push_back(b);
        };
    }
    bool waitEnd(int ms = 20000)
    {
        std::unique_lock lk(m);
        return cv.wait_for(lk, std::chrono::milliseconds(ms), [&] { return ended; });
    }
};

} // namespace

// The consumer says "not yet" three times out of four: the engine waits and
// drops nothing.
TEST(FileAudioEngine, DeliversEveryFrameOfEachFormatInTapSizedBuffersDespiteBackPressure)
{
    QTemporaryDir dir;
    struct Case {
        const char *name;
        int format;
        int rate;
        int channels;
        bool lossless;
    };
    const Case cases[] = {
        {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, false},
        {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, false},
        {"c.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 16000, 1, false},
        {"d.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 16000, 2, true},
    };
    const int frames = 4096 * 3 + 123;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const QString path = toneFile(dir, k.name, k.format, k.rate, k.channels, frames);
        ASSERT_FALSE(path.isEmpty());
        Sink sink;
        FileAudioEngineOptions o = sink.options(path);
        std::atomic<int> asks{0};
        o.readyForMore = [&](int) { return ++asks % 4 == 0; };
        FileAudioEngine engine(o);
        EXPECT_EQ(engine.inputFormat(), (PcmFormat{double(k.rate), quint32(k.channels), false}));
        engine.installTap(4096, sink.tap());
        engine.prepare();
        ASSERT_FALSE(engine.start());
        ASSERT_TRUE(sink.waitEnd());
        EXPECT_FALSE(sink.endError);
        const qint64 total = engine.totalFrames();
        EXPECT_EQ(sink.endFrames, total);
        EXPECT_EQ(engine.framesDelivered(), total);
        EXPECT_TRUE(engine.isFinished());
        if (k.format != (SF_FORMAT_OGG | SF_FORMAT_VORBIS)) {
            EXPECT_EQ(total, frames);
        }
        qint64 sum = 0;
        for (size_t i = 0; i < sink.buffers.size(); ++i) {
            const PcmBuffer &b = sink.buffers[i];
            EXPECT_EQ(b.format(), engine.inputFormat());
            if (i + 1 < sink.buffers.size()) {
                EXPECT_EQ(b.frameLength(), 4096u);
            }
            sum += b.frameLength();
        }
        EXPECT_EQ(sum, total);
        EXPECT_GE(asks.load(), 4 * int(sink.buffers.size()));
        // Planar channels, every frame in order across buffer borders.
        size_t frame = 0;
        for (const PcmBuffer &b : sink.buffers)
            for (quint32 i = 0; k.lossless && i < b.frameLength(); ++i, ++frame)
                for (quint32 c = 0; c < b.format().channels; ++c)
                    ASSERT_FLOAT_EQ(b.channel(c)[i], float(0.5 * std::sin(double(frame) * 0.01 + c))) << frame;
        engine.stop();
    }
}

TEST(FileAudioEngine, StopEndsTheWaitForAConsumer)
{
    QTemporaryDir dir;
    const QString path = toneFile(dir, "p.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 16000, 1, 4096 * 5);
    Sink blocked;
    FileAudioEngineOptions never = blocked.options(path);
    never.readyForMore = [](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
        return false;
    };
    FileAudioEngine stuck(never);
    stuck.installTap(4096, blocked.tap());
    ASSERT_FALSE(stuck.start());
    stuck.stop();
    EXPECT_EQ(stuck.framesDelivered(), 0);
    EXPECT_FALSE(blocked.ended);
}

TEST(FileAudioEngine, RealTimePacingAndUnreadableFiles)
{
    QTemporaryDir dir;
    // 0.3 s of audio paced in real time cannot arrive in much less than that.
    const QString path = toneFile(dir, "rt.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 16000, 1, 4800);
    Sink sink;
    FileAudioEngineOptions o = sink.options(path);
    o.realTime = true;
    FileAudioEngine engine(o);
    engine.installTap(1600, sink.tap());
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_FALSE(engine.start());
    ASSERT_TRUE(sink.waitEnd());
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(took, 0.18);
    EXPECT_EQ(sink.buffers.size(), 3u);

    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeFile(text, "this is not audio\n"));
    for (const QString &bad : {text, dir.filePath(QStringLiteral("missing.wav"))}) {
        FileAudioEngine e(FileAudioEngineOptions{bad, false, {}, {}});
        EXPECT_EQ(e.inputFormat().sampleRate, 0);
        const auto err = e.start();
        ASSERT_TRUE(err);
        EXPECT_EQ(err->domain, QStringLiteral("FileAudioEngine"));
        EXPECT_TRUE(err->message.startsWith(QStringLiteral("无法读取音频文件：") + bad)) << err->message.toStdString();
        EXPECT_EQ(e.totalFrames(), -1);
    }
}

// Headers claiming a rate no recording has are refused before a frame is
// played (7 Hz made hours of audio of a small file); a file cut short while
// it is read ends with an error that says so instead of a quiet end.
TEST(FileAudioEngine, RefusesImpossibleSampleRatesAndReportsAFileCutShort)
{
    QTemporaryDir dir;
    for (quint32 rate : {7u, 1u, 500000u, 8000u}) {
        SCOPED_TRACE(rate);
        const QString path = toneFile(dir, "claimed.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, 8000);
        ASSERT_TRUE(claimSampleRate(path, rate));
        Sink sink;
        FileAudioEngine engine(sink.options(path));
        engine.installTap(4096, sink.tap());
        const auto err = engine.start();
        if (rate == 8000) { // a real rate: the crafted header itself is fine
            ASSERT_FALSE(err);
            ASSERT_TRUE(sink.waitEnd());
            EXPECT_FALSE(sink.endError);
            EXPECT_EQ(sink.endFrames, 8000);
            continue;
        }
        EXPECT_EQ(engine.inputFormat().sampleRate, 0);
        ASSERT_TRUE(err);
        EXPECT_EQ(err->message,
            QStringLiteral("无法读取音频文件：%1（音频文件的采样率 %2 Hz 超出支持范围（8000–384000 Hz））").arg(path).arg(rate))
            << err->message.toStdString();
        EXPECT_EQ(engine.framesDelivered(), 0);
    }
    // The bounds, and channel counts the converter cannot take.
    EXPECT_FALSE(FileAudioEngine::checkFormat(PcmFormat{8000, 1, false}));
    EXPECT_FALSE(FileAudioEngine::checkFormat(PcmFormat{384000, 64, false}));
    for (const PcmFormat &bad : {PcmFormat{7999.5, 1, false}, PcmFormat{384001, 2, false},
             PcmFormat{std::nan(""), 1, false}, PcmFormat{16000, 0, false}, PcmFormat{16000, 65, false}}) {
        const auto e = FileAudioEngine::checkFormat(bad);
        ASSERT_TRUE(e) << bad.sampleRate << " Hz, " << bad.channels;
        EXPECT_EQ(e->code, FileAudioEngine::UnsupportedFormat);
    }

    // 16384 frames promised; after the first buffer the file is cut to 6400.
    const QString path = toneFile(dir, "cut.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 16000, 1, 16384);
    const qint64 header = QFileInfo(path).size() - 16384 * 4;
    Sink sink;
    FileAudioEngine engine(sink.options(path));
    engine.installTap(4096, [&](const PcmBuffer &b) {
        if (sink.buffers.empty())
            QFile::resize(path, header + 6400 * 4);
        sink.tap()(b);
    });
    ASSERT_FALSE(engine.start());
    ASSERT_TRUE(sink.waitEnd());
    EXPECT_EQ(sink.endFrames, 6400);
    ASSERT_TRUE(sink.endError);
    EXPECT_EQ(sink.endError->code, FileAudioEngine::EndedEarly);
    EXPECT_EQ(sink.endError->message, QStringLiteral("音频文件提前结束：文件头声明 1.0 秒，只读到 0.4 秒"));
}
