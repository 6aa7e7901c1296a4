// A live session on the test microphones of scripts/testmics.sh, with the
// real Linux platform, the real recognizer and system time: the speech engine
// on the 48 kHz microphone for several seconds of real time. (Capture from
// both microphones is checked against their clips in test_platform_linux.)
#include "LinuxTestUtil.h"
#include "engine/AudioDeviceManager.h"
#include "engine/SpeechEngine.h"
#include "platform/fake/FakeDesktopServices.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

// Lower-case words of a text that say something (three letters or more, not
// "the"), apostrophes kept, a plural "s" dropped (the recognizer often hears
// "notebook" for "notebooks").
QSet<QString> wordsOf(const QString &text)
{
    QSet<QString> out;
    static const QRegularExpression re(QStringLiteral("[a-z']{3,}"));
    auto it = re.globalMatch(text.toLower());
    while (it.hasNext()) {
        QString w = it.next().captured();
        if (w.size() > 3 && w.endsWith(QLatin1Char('s')) && !w.endsWith(QLatin1String("ss")))
            w.chop(1);
        if (w != QLatin1String("the"))
            out.insert(w);
    }
    return out;
}

using Live = TestMicsFixture;

} // namespace

TEST_F(Live, EngineSessionOnThe48kMicrophoneRecognisesHandsOnAndRecords)
{
    ScopedSettings settings;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    Platform p = makeLinuxPlatform();
    ASSERT_TRUE(p.recognizer->isAvailable()) << "the PocketSphinx model is missing";
    for (const char *sub : {"Desktop", "data"})
        QDir(home.path()).mkpath(QLatin1String(sub));
    p.desktop = std::make_shared<fake::FakeDesktopServices>(home.filePath(QStringLiteral("Desktop")),
                                                            home.filePath(QStringLiteral("data")));

    // Start from the other microphone so the switch and its undoing are seen.
    const AudioObjectID mic48 = idOf(QStringLiteral("vox_mic48"));
    const AudioObjectID mic16 = idOf(QStringLiteral("vox_mic16"));
    ASSERT_NE(mic48, 0u);
    ASSERT_TRUE(hw.setDefaultInputDevice(mic16));

    AudioDeviceManager devices(p);
    devices.refresh();
    const auto listed = devices.devices();
    ASSERT_TRUE(std::any_of(listed.begin(), listed.end(), [](const AudioDevice &d) { return d.id == "vox_mic48"; }))
        << "vox_mic48 is not among the engine's devices";

    QFile clip(testMicsFile(QStringLiteral("clip48.txt")));
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QSet<QString> own = wordsOf(QString::fromUtf8(clip.readAll()));
    SpeechEngine engine(p);
    std::vector<std::pair<QString, std::vector<RecognitionChunk>>> handedOn;
    QObject::connect(&engine, &SpeechEngine::chunksSubmitted, &engine,
                     [&](const std::vector<RecognitionChunk> &chunks, const QString &reason) {
                         handedOn.emplace_back(reason, chunks);
                     });

    engine.start(QStringLiteral("vox_mic48"));
    ASSERT_TRUE(waitFor([&] { return engine.isRecording(); }, 5000)) << engine.lastError().toStdString();
    QElapsedTimer session;
    session.start();
    EXPECT_EQ(hw.defaultInputDevice().value(), mic48);
    const QString path = engine.currentRecordingPath();

    // Words of the clip within a few seconds (2-4 s on a quiet machine; the
    // clip loops, so a busy machine gets another pass at it).
    const bool heard = waitFor([&] { return wordsOf(engine.recognizedText()).intersect(own).size() >= 2; }, 20000);
    EXPECT_TRUE(heard) << "recognizedText: " << engine.recognizedText().toStdString();
    EXPECT_TRUE(engine.audioActive());

    // A sentence is handed on at a pause of the looping clip.
    const bool handedDuringSession = waitFor([&] { return !handedOn.empty(); }, 15000);
    const double sessionSeconds = session.elapsed() / 1000.0;
    engine.stop();
    const double stoppedAt = session.elapsed() / 1000.0;
    EXPECT_FALSE(engine.isRecording());
    if (!handedDuringSession)
        waitFor([&] { return !handedOn.empty(); }, 5000);
    ASSERT_FALSE(handedOn.empty()) << "no chunk handed on; recognizedText: " << engine.recognizedText().toStdString();
    EXPECT_TRUE(handedDuringSession) << "the first chunk came only at stop: " << handedOn.front().first.toStdString();

    EXPECT_EQ(hw.defaultInputDevice().value(), mic16); // the default input is back where it was

    // The recording holds the captured audio, measured against wall time:
    // never more than the time that passed (the last tap unfilled at stop is
    // at most 85 ms), and less by the device start-up and the first tap
    // filling, which cost up to 2 s on a loaded two-core machine (measured),
    // hence the wide bound.
    SndfileAudioFiles files;
    auto reader = files.openForReading(path);
    ASSERT_TRUE(reader) << path.toStdString();
    EXPECT_EQ(reader.value()->format(), PcmFormat::target());
    const double fileSeconds = double(reader.value()->length()) / 16000;
    EXPECT_GT(fileSeconds, sessionSeconds - 2.5);
    EXPECT_LT(fileSeconds, stoppedAt + 0.15);
}
