// Integration tests on the test microphones of scripts/testmics.sh: device
// list, default input switching, capture and conversion, playback, taps.
#include "LinuxTestUtil.h"
#include "platform/linux/QtAudioEngine.h"
#include "platform/linux/QtCaptureDevices.h"
#include "platform/linux/SinkAudioPlayer.h"
#include "support/WavHeader.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <pulse/def.h>
#include <atomic>

using namespace vox;
using namespace vox::test;

using TestMics = TestMicsFixture;

TEST_F(TestMics, BothMicrophonesAreListedWithNamesAndMonitorsAreNotInputs)
{
    QtCaptureDevices devices;
    const auto list = devices.discover();
    const std::pair<const char *, const char *> mics[] = {{"vox_mic48", "Voxleaf Test Mic 48k"},
                                                          {"vox_mic16", "Voxleaf Test Mic 16k"}};
    for (const auto &[uid, name] : mics) {
        const auto d = std::find_if(list.begin(), list.end(), [&](const auto &d) { return d.uniqueID == uid; });
        ASSERT_NE(d, list.end()) << uid;
        EXPECT_EQ(d->localizedName, QLatin1String(name));
    }
    for (const auto &d : list)
        EXPECT_FALSE(d.uniqueID.endsWith(QLatin1String(".monitor"))) << d.uniqueID.toStdString();
    EXPECT_TRUE(devices.device(QStringLiteral("vox_mic16")) && !devices.device(QStringLiteral("no_such_mic")));

    // The hardware layer agrees (UID = source name, name = description);
    // only real sources have input streams; no device is numbered 0.
    const auto ids = hw.deviceIDs();
    ASSERT_TRUE(ids);
    int monitors = 0;
    for (AudioObjectID id : ids.value()) {
        EXPECT_NE(id, 0u);
        const auto uid = hw.deviceUID(id), name = hw.deviceName(id);
        const auto streams = hw.inputStreamCount(id);
        ASSERT_TRUE(uid && name && streams);
        if (uid.value() == QLatin1String("vox_mic48"))
            EXPECT_EQ(name.value(), QStringLiteral("Voxleaf Test Mic 48k"));
        const bool monitor = uid.value().endsWith(QLatin1String(".monitor"));
        monitors += monitor ? 1 : 0;
        EXPECT_EQ(streams.value() > 0, !monitor) << uid.value().toStdString();
    }
    EXPECT_GE(monitors, 3);
    const auto none = hw.deviceUID(0);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().code, PA_ERR_NOENTITY);
}

TEST_F(TestMics, DefaultInputSwitchesToTheChosenMicrophoneAndBack)
{
    const AudioObjectID mic16 = idOf(QStringLiteral("vox_mic16"));
    ASSERT_NE(mic16, originalDefault);
    ASSERT_TRUE(hw.setDefaultInputDevice(mic16));
    ASSERT_TRUE(QtCaptureDevices().defaultDevice());
    EXPECT_EQ(QtCaptureDevices().defaultDevice()->uniqueID, QStringLiteral("vox_mic16"));

    // Unknown devices and monitors: an error status, the default stays.
    const auto unknown = hw.setDefaultInputDevice(999999);
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().code, PA_ERR_NOENTITY);
    EXPECT_NE(pulse::Connection().setDefaultSource(QStringLiteral("no_such_source")), 0);
    const AudioObjectID monitor = idOf(QStringLiteral("vox_feed48.monitor"));
    ASSERT_NE(monitor, 0u);
    EXPECT_FALSE(hw.setDefaultInputDevice(monitor));
    const auto now = hw.defaultInputDevice();
    ASSERT_TRUE(now);
    EXPECT_EQ(now.value(), mic16);
}

TEST_F(TestMics, CaptureFromEachMicrophoneConvertsAndMatchesItsOwnClip)
{
    const std::vector<float> ref48 = readAs16kMono(testMicsFile(QStringLiteral("clip48.wav")));
    const std::vector<float> ref16 = readAs16kMono(testMicsFile(QStringLiteral("clip16.wav")));
    ASSERT_TRUE(ref48.size() > 16000u && ref16.size() > 16000u);

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
        ASSERT_TRUE(hw.setDefaultInputDevice(idOf(QString::fromLatin1(c.uid))));
        QtAudioEngine engine;
        EXPECT_EQ(engine.inputFormat(), c.format);
        const std::vector<PcmBuffer> buffers = capture(engine, 2.5);
        ASSERT_FALSE(buffers.empty());
        for (const PcmBuffer &b : buffers) {
            EXPECT_EQ(b.frameLength(), 4096u); // exactly the tap size, never empty
            EXPECT_EQ(b.format(), c.format);
        }
        const std::vector<float> mono = convertTo16kMono(buffers);
        EXPECT_NEAR(double(mono.size()), double(buffers.size()) * 4096 * 16000 / c.format.sampleRate, 2.0);
        const double own = bestWindowCorrelation(mono, *c.own);
        const double other = bestWindowCorrelation(mono, *c.other);
        std::printf("%s: correlation with its own clip %.3f, with the other %.3f\n", c.uid, own, other);
        // Clean it is ~1.0 against its own clip and ~0.2-0.3 against the other;
        // on a loaded machine the looping player can drop a few blocks, which
        // costs the own match some points but never makes the clips alike.
        EXPECT_GT(own, 0.7);
        EXPECT_LT(other, 0.5);
        EXPECT_GT(own - other, 0.3);
    }
}

TEST_F(TestMics, PlayerFollowsWallTimeHoldsWhenPausedAndRewindsAtTheEnd)
{
    // A 2 s recording in the course format.
    QTemporaryDir dir;
    const QString path =
        writeTone(dir.filePath(QStringLiteral("课堂录音.caf")), SF_FORMAT_CAF | SF_FORMAT_FLOAT, 16000, 1, 32000, 0.2, 0.1);
    SinkAudioPlayer player;
    EXPECT_FALSE(player.load(dir.filePath(QStringLiteral("missing.caf"))));
    ASSERT_TRUE(player.load(path));
    EXPECT_DOUBLE_EQ(player.duration(), 2.0);
    EXPECT_EQ(player.currentTime(), 0.0);
    int finished = 0;
    double finishedAt = 0;
    Qt::HANDLE finishedThread = nullptr;
    QElapsedTimer wall;
    player.setFinishedHandler([&] {
        ++finished;
        finishedAt = wall.elapsed() / 1000.0;
        finishedThread = QThread::currentThreadId();
    });

    // The sink takes a moment to start (over 0.3 s on a loaded machine);
    // from the moment the position first moves it must follow wall time,
    // never ahead of what can have been heard.
    player.play();
    wall.start();
    EXPECT_TRUE(player.isPlaying());
    ASSERT_TRUE(waitFor([&] { return player.currentTime() > 0; }, 2000)) << "the position never moved";
    const double startup = wall.elapsed() / 1000.0 - player.currentTime();
    waitFor([&] { return wall.elapsed() >= (startup + 1.0) * 1000; }, 3000);
    const double pos = player.currentTime();
    const double elapsed = wall.elapsed() / 1000.0;
    EXPECT_LT(startup, 0.6);
    EXPECT_NEAR(pos, elapsed - startup, 0.25) << "after " << elapsed << " s, started after " << startup << " s";
    EXPECT_LE(pos, elapsed + 0.02);

    // The end comes when the last of the audio has been played, once, on
    // this thread, and rewinds.
    ASSERT_TRUE(waitFor([&] { return finished > 0; }, 3000)) << "no end after " << wall.elapsed() << " ms";
    EXPECT_NEAR(finishedAt - startup, 2.0, 0.4);
    EXPECT_EQ(finishedThread, QThread::currentThreadId());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.currentTime(), 0.0);

    // Played on from a chosen place, then paused: the position holds there.
    player.setCurrentTime(1.0);
    EXPECT_NEAR(player.currentTime(), 1.0, 1e-3);
    wall.restart();
    player.play();
    waitFor([] { return false; }, 300);
    player.pause();
    const double paused = player.currentTime();
    EXPECT_GE(paused, 1.0);
    EXPECT_LE(paused, 1.0 + wall.elapsed() / 1000.0 + 0.02);
    waitFor([] { return false; }, 150);
    EXPECT_DOUBLE_EQ(player.currentTime(), paused);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(finished, 1);
    player.setCurrentTime(50); // clamped to the end
    EXPECT_DOUBLE_EQ(player.currentTime(), 2.0);
}

TEST_F(TestMics, RemovedTapIsNeverCalledAgainAndEnginesRestart)
{
    ASSERT_TRUE(hw.setDefaultInputDevice(idOf(QStringLiteral("vox_mic16"))));
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
