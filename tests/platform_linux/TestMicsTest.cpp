// Integration tests on the test microphones of scripts/testmics.sh: device
// list, default input switching, capture and conversion, recording, playback.
#include "LinuxTestUtil.h"
#include "platform/linux/PulseHardwareAudio.h"
#include "platform/linux/QtAudioEngine.h"
#include "platform/linux/QtCaptureDevices.h"
#include "platform/linux/SinkAudioPlayer.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <pulse/def.h>
#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/wait.h>
#include <unistd.h>

using namespace vox;
using namespace vox::test;

namespace {

class TestMics : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = testMicsUnavailableReason();
        if (!why.isEmpty()) {
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                FAIL() << "CI must run with the test microphones: " << why.toStdString();
            GTEST_SKIP() << why.toStdString();
        }
        ASSERT_EQ(hw.defaultInputDevice(originalDefault), 0);
    }
    void TearDown() override
    {
        if (originalDefault != 0)
            hw.setDefaultInputDevice(originalDefault);
    }

    AudioObjectID idOf(const QString &uid)
    {
        std::vector<AudioObjectID> ids;
        EXPECT_EQ(hw.deviceIDs(ids), 0);
        for (AudioObjectID id : ids) {
            QString u;
            if (hw.deviceUID(id, u) == 0 && u == uid)
                return id;
        }
        return 0;
    }

    QString clip(const char *name) { return QDir(testMicsDir()).filePath(QString::fromLatin1(name)); }

    // Captures about `seconds` of audio from the current default input.
    std::vector<PcmBuffer> capture(double seconds, PcmFormat *format)
    {
        QtAudioEngine engine;
        *format = engine.inputFormat();
        std::mutex m;
        std::vector<PcmBuffer> got;
        quint64 frames = 0;
        engine.installTap(4096, [&](const PcmBuffer &b) {
            std::lock_guard lock(m);
            got.push_back(b);
            frames += b.frameLength();
        });
        engine.prepare();
        const auto err = engine.start();
        EXPECT_FALSE(err.has_value()) << (err ? err->message.toStdString() : "");
        waitFor(
            [&] {
                std::lock_guard lock(m);
                return frames >= quint64(seconds * format->sampleRate);
            },
            8000);
        engine.removeTap();
        engine.stop();
        std::lock_guard lock(m);
        return got;
    }

    PulseHardwareAudio hw;
    AudioObjectID originalDefault = 0;
};

} // namespace

TEST_F(TestMics, BothMicrophonesAreListedWithNamesAndMonitorsAreNotInputs)
{
    QtCaptureDevices devices;
    const auto list = devices.discover();
    auto find = [&](const char *id) -> const CaptureDevice * {
        for (const auto &d : list)
            if (d.uniqueID == QLatin1String(id))
                return &d;
        return nullptr;
    };
    ASSERT_TRUE(find("vox_mic48"));
    ASSERT_TRUE(find("vox_mic16"));
    EXPECT_EQ(find("vox_mic48")->localizedName, QStringLiteral("Voxleaf Test Mic 48k"));
    EXPECT_EQ(find("vox_mic16")->localizedName, QStringLiteral("Voxleaf Test Mic 16k"));
    for (const auto &d : list)
        EXPECT_FALSE(d.uniqueID.endsWith(QLatin1String(".monitor"))) << d.uniqueID.toStdString();
    ASSERT_TRUE(devices.device(QStringLiteral("vox_mic16")));
    EXPECT_FALSE(devices.device(QStringLiteral("no_such_mic")));

    // The hardware layer agrees: UID = source name, name = description, and
    // only real sources have input streams. No device is numbered 0.
    std::vector<AudioObjectID> ids;
    ASSERT_EQ(hw.deviceIDs(ids), 0);
    int inputs = 0, monitors = 0;
    for (AudioObjectID id : ids) {
        EXPECT_NE(id, 0u);
        QString uid, name;
        quint32 streams = 99;
        ASSERT_EQ(hw.deviceUID(id, uid), 0);
        ASSERT_EQ(hw.deviceName(id, name), 0);
        ASSERT_EQ(hw.inputStreamCount(id, streams), 0);
        if (uid.endsWith(QLatin1String(".monitor"))) {
            EXPECT_EQ(streams, 0u);
            ++monitors;
        } else {
            EXPECT_GT(streams, 0u);
            ++inputs;
        }
        if (uid == QLatin1String("vox_mic48")) {
            EXPECT_EQ(name, QStringLiteral("Voxleaf Test Mic 48k"));
        }
    }
    EXPECT_GE(inputs, 2);
    EXPECT_GE(monitors, 3);
    QString uid;
    EXPECT_EQ(hw.deviceUID(0, uid), PA_ERR_NOENTITY);
}

TEST_F(TestMics, DefaultInputSwitchesToTheChosenMicrophoneAndBack)
{
    const AudioObjectID mic48 = idOf(QStringLiteral("vox_mic48"));
    const AudioObjectID mic16 = idOf(QStringLiteral("vox_mic16"));
    ASSERT_NE(mic48, 0u);
    ASSERT_NE(mic16, 0u);
    QtCaptureDevices devices;

    ASSERT_EQ(hw.setDefaultInputDevice(mic16), 0);
    AudioObjectID now = 0;
    ASSERT_EQ(hw.defaultInputDevice(now), 0);
    EXPECT_EQ(now, mic16);
    ASSERT_TRUE(devices.defaultDevice());
    EXPECT_EQ(devices.defaultDevice()->uniqueID, QStringLiteral("vox_mic16"));

    ASSERT_EQ(hw.setDefaultInputDevice(mic48), 0);
    ASSERT_EQ(hw.defaultInputDevice(now), 0);
    EXPECT_EQ(now, mic48);
    EXPECT_EQ(devices.defaultDevice()->uniqueID, QStringLiteral("vox_mic48"));

    // Unknown devices: an error status, the default stays where it was.
    EXPECT_EQ(hw.setDefaultInputDevice(999999), PA_ERR_NOENTITY);
    EXPECT_NE(pulse::Connection().setDefaultSource(QStringLiteral("no_such_source")), 0);
    const AudioObjectID monitor = idOf(QStringLiteral("vox_feed48.monitor"));
    ASSERT_NE(monitor, 0u);
    EXPECT_NE(hw.setDefaultInputDevice(monitor), 0);
    ASSERT_EQ(hw.defaultInputDevice(now), 0);
    EXPECT_EQ(now, mic48);
}

TEST_F(TestMics, CaptureFromEachMicrophoneConvertsAndMatchesItsOwnClip)
{
    const std::vector<float> ref48 = readAs16kMono(clip("clip48.wav"));
    const std::vector<float> ref16 = readAs16kMono(clip("clip16.wav"));
    ASSERT_GT(ref48.size(), 16000u);
    ASSERT_GT(ref16.size(), 16000u);

    struct Case {
        const char *uid;
        PcmFormat format;
        const std::vector<float> *own;
        const std::vector<float> *other;
    };
    const Case cases[] = {{"vox_mic48", PcmFormat{48000, 2, false}, &ref48, &ref16},
                          {"vox_mic16", PcmFormat{16000, 1, false}, &ref16, &ref48}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.uid);
        ASSERT_EQ(hw.setDefaultInputDevice(idOf(QString::fromLatin1(c.uid))), 0);
        PcmFormat format;
        const std::vector<PcmBuffer> buffers = capture(2.5, &format);
        EXPECT_EQ(format, c.format);
        ASSERT_FALSE(buffers.empty());
        for (const PcmBuffer &b : buffers) {
            EXPECT_EQ(b.frameLength(), 4096u); // exactly the tap size, never empty
            EXPECT_EQ(b.format(), c.format);
        }
        const std::vector<float> mono = convertTo16kMono(buffers);
        EXPECT_NEAR(double(mono.size()), double(buffers.size()) * 4096 * 16000 / c.format.sampleRate, 2.0);
        const double own = bestWindowCorrelation(mono, *c.own);
        const double other = bestWindowCorrelation(mono, *c.other);
        RecordProperty(std::string(c.uid) + "_own", std::to_string(own));
        RecordProperty(std::string(c.uid) + "_other", std::to_string(other));
        std::printf("%s: correlation with its own clip %.3f, with the other %.3f\n", c.uid, own, other);
        EXPECT_GT(own, 0.9);
        EXPECT_LT(other, 0.5);
    }
}

TEST_F(TestMics, ARecordingFromTheMicrophoneSurvivesAKilledWriter)
{
    ASSERT_EQ(hw.setDefaultInputDevice(idOf(QStringLiteral("vox_mic48"))), 0);
    PcmFormat format;
    const std::vector<float> mono = convertTo16kMono(capture(1.0, &format));
    ASSERT_GT(mono.size(), 10000u);

    QTemporaryDir dir;
    const QString closedPath = dir.filePath(QStringLiteral("closed.caf"));
    const QString killedPath = dir.filePath(QStringLiteral("killed.caf"));
    auto writeAll = [&](AudioFileWriter &w) {
        for (size_t i = 0; i < mono.size(); i += 1365) {
            const quint32 n = quint32(std::min<size_t>(1365, mono.size() - i));
            w.write(makeBuffer(PcmFormat::target(), n, [&](quint32, quint32 k) { return mono[i + k]; }));
        }
    };
    SndfileAudioFiles files;
    {
        auto w = files.createForWriting(closedPath, PcmFormat::target());
        ASSERT_TRUE(w);
        writeAll(*w.value());
        EXPECT_EQ(w.value()->length(), qint64(mono.size()));
        w.value()->close();
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto w = files.createForWriting(killedPath, PcmFormat::target());
        if (w)
            writeAll(*w.value());
        raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    for (const QString &path : {closedPath, killedPath}) {
        auto r = files.openForReading(path);
        ASSERT_TRUE(r) << path.toStdString();
        EXPECT_EQ(r.value()->length(), qint64(mono.size())) << path.toStdString();
        PcmBuffer back = r.value()->read(quint32(mono.size()));
        ASSERT_EQ(back.frameLength(), quint32(mono.size()));
        EXPECT_EQ(back.channel(0)[mono.size() / 2], mono[mono.size() / 2]);
    }
}

TEST_F(TestMics, PlayerPositionFollowsPlaybackAndTheEndRewinds)
{
    // A 1.2 s recording in the course format.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("课堂录音.caf"));
    {
        SndfileAudioFiles files;
        auto w = files.createForWriting(path, PcmFormat::target());
        ASSERT_TRUE(w);
        w.value()->write(makeBuffer(PcmFormat::target(), 19200, [](quint32, quint32 i) {
            return float(0.2 * std::sin(i * 0.1));
        }));
        w.value()->close();
    }
    SinkAudioPlayer player;
    EXPECT_FALSE(player.load(dir.filePath(QStringLiteral("missing.caf"))));
    ASSERT_TRUE(player.load(path));
    EXPECT_DOUBLE_EQ(player.duration(), 1.2);
    EXPECT_EQ(player.currentTime(), 0.0);
    int finished = 0;
    Qt::HANDLE finishedThread = nullptr;
    player.setFinishedHandler([&] {
        ++finished;
        finishedThread = QThread::currentThreadId();
    });

    QElapsedTimer wall;
    player.play();
    wall.start();
    EXPECT_TRUE(player.isPlaying());
    waitFor([&] { return wall.elapsed() >= 400; }, 2000);
    const double pos = player.currentTime();
    const double elapsed = wall.elapsed() / 1000.0;
    // Never ahead of what can have been heard; moving at all.
    EXPECT_GT(pos, 0.05);
    EXPECT_LE(pos, elapsed + 0.02);

    player.pause();
    const double paused = player.currentTime();
    waitFor([] { return false; }, 150);
    EXPECT_DOUBLE_EQ(player.currentTime(), paused);
    EXPECT_FALSE(player.isPlaying());

    player.setCurrentTime(0.9);
    EXPECT_NEAR(player.currentTime(), 0.9, 1e-3);
    player.play();
    ASSERT_TRUE(waitFor([&] { return finished > 0; }, 3000));
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(finishedThread, QThread::currentThreadId());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.currentTime(), 0.0);

    player.setCurrentTime(50); // clamped to the end
    EXPECT_DOUBLE_EQ(player.currentTime(), 1.2);
}

TEST_F(TestMics, RemovedTapIsNeverCalledAgainAndEnginesRestart)
{
    ASSERT_EQ(hw.setDefaultInputDevice(idOf(QStringLiteral("vox_mic16"))), 0);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        QtAudioEngine engine;
        EXPECT_EQ(engine.inputFormat(), (PcmFormat{16000, 1, false}));
        EXPECT_EQ(engine.deviceName(), QStringLiteral("vox_mic16"));
        std::atomic<int> calls{0};
        std::atomic<bool> removed{false};
        std::atomic<int> lateCalls{0};
        engine.installTap(1024, [&](const PcmBuffer &b) {
            EXPECT_EQ(b.frameLength(), 1024u);
            if (removed)
                ++lateCalls;
            ++calls;
        });
        ASSERT_FALSE(engine.start().has_value());
        ASSERT_TRUE(waitFor([&] { return calls >= 2; }, 5000));
        engine.removeTap();
        removed = true;
        waitFor([] { return false; }, 200);
        EXPECT_EQ(lateCalls, 0);
        if (round == 0)
            engine.stop(); // the second engine is stopped by its destructor
    }
}
