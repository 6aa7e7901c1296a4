// Live tests on the test microphones of scripts/testmics.sh, with the real
// Linux platform, the real recognizer and system time: the recognizer on each
// microphone's clip and a whole engine session on the 48 kHz microphone. Each
// runs for a few seconds of real time.
#include "LinuxTestUtil.h"
#include "engine/AudioDeviceManager.h"
#include "engine/SpeechEngine.h"
#include "platform/fake/FakeDesktopServices.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

using namespace vox;
using namespace vox::test;

namespace {

// One platform (and so one decoder) for the whole program.
const Platform &linuxPlatform()
{
    static const Platform p = makeLinuxPlatform();
    return p;
}

// Lower-case words of a text, apostrophes kept, a plural "s" dropped (the
// recognizer often hears "notebook" for "notebooks").
QSet<QString> wordsOf(const QString &text)
{
    QSet<QString> out;
    static const QRegularExpression re(QStringLiteral("[a-z']+"));
    auto it = re.globalMatch(text.toLower());
    while (it.hasNext()) {
        QString w = it.next().captured();
        if (w.size() > 3 && w.endsWith(QLatin1Char('s')) && !w.endsWith(QLatin1String("ss")))
            w.chop(1);
        out.insert(w);
    }
    return out;
}

// Words of a clip's text that say something (three letters or more, not "the").
QSet<QString> contentWordsOf(const QString &text)
{
    QSet<QString> out;
    for (const QString &w : wordsOf(text))
        if (w.size() >= 3 && w != QLatin1String("the"))
            out.insert(w);
    return out;
}

int common(const QSet<QString> &a, const QSet<QString> &b)
{
    return int(QSet<QString>(a).intersect(b).size());
}

QString joined(const QSet<QString> &s)
{
    QStringList l(s.begin(), s.end());
    l.sort();
    return l.join(QLatin1Char(' '));
}

class Live : public TestMicsFixture {
protected:
    void SetUp() override
    {
        TestMicsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(linuxPlatform().recognizer->isAvailable()) << "the PocketSphinx model is missing";
    }
    static QString clipText(const QString &mic)
    {
        QFile f(testMicsFile(QStringLiteral("clip%1.txt").arg(mic)));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

    ScopedSettings settings;
};

} // namespace

TEST_F(Live, RecognizerTurnsEachMicrophonesCaptureIntoWordsOfItsOwnClip)
{
    const Platform &p = linuxPlatform();
    const QString mics[] = {QStringLiteral("48"), QStringLiteral("16")};
    for (const QString &mic : mics) {
        SCOPED_TRACE(mic.toStdString());
        const QString other = mic == mics[0] ? mics[1] : mics[0];
        const QSet<QString> own = contentWordsOf(clipText(mic));
        const QSet<QString> foreign = contentWordsOf(clipText(other)) - own;
        ASSERT_GE(own.size(), 8);

        // Capture a little more than one loop of the clip from this microphone.
        const QString wav = testMicsFile(QStringLiteral("clip%1.wav").arg(mic));
        const double clipSeconds = double(readAs16kMono(wav).size()) / 16000;
        ASSERT_GT(clipSeconds, 2.0);
        const double seconds = std::min(clipSeconds * 1.6, 10.0);
        ASSERT_EQ(hw.setDefaultInputDevice(idOf(QStringLiteral("vox_mic") + mic)), 0);
        auto engine = p.audioEngines->create();
        const PcmFormat format = engine->inputFormat();
        ASSERT_GT(format.sampleRate, 0);
        const std::vector<PcmBuffer> captured = capture(*engine, seconds);
        quint64 frames = 0;
        for (const PcmBuffer &b : captured)
            frames += b.frameLength();
        ASSERT_GE(frames, quint64(seconds * format.sampleRate)) << "the microphone delivered too little audio";

        // The soxr conversion to 16 kHz mono, then the recognizer as a request.
        const std::vector<float> mono = convertTo16kMono(captured);
        ASSERT_NEAR(double(mono.size()) / 16000, double(frames) / format.sampleRate, 0.05);
        auto request = p.recognizer->makeRequest(RecognitionRequestOptions{});
        RecognitionCollector c;
        auto task = p.recognizer->startTask(request, c.handler());
        feed(*request, mono, 1365);
        request->endAudio();
        task->finish();
        ASSERT_TRUE(c.waitEnd(20000)) << "no final result";
        std::lock_guard lock(c.m);
        ASSERT_TRUE(c.errors.empty()) << c.errors[0].message.toStdString();
        const QString text = c.final->bestTranscription.formattedString;
        const QSet<QString> heard = wordsOf(text);
        // espeak-ng over a virtual microphone is recognised with a high word
        // error rate (measured: 5 of 10 words of the 48 kHz clip, 3 of 11 of
        // the 16 kHz one), but some words of the clip come through, and more
        // of them than of the other microphone's clip.
        EXPECT_GE(common(heard, own), 2)
            << "heard: " << text.toStdString() << "\nclip words: " << joined(own).toStdString();
        EXPECT_GT(common(heard, own), common(heard, foreign)) << "heard: " << text.toStdString();
        std::printf("[ live ] vox_mic%s: %.1f s captured; heard \"%s\"; %d of %d clip words\n", qPrintable(mic),
                    double(frames) / format.sampleRate, qPrintable(text), common(heard, own), int(own.size()));
    }
}

TEST_F(Live, EngineSessionOnThe48kMicrophoneRecognisesHandsOnAndRecords)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    Platform p = linuxPlatform();
    auto desktop = std::make_shared<fake::FakeDesktopServices>(home.filePath(QStringLiteral("Desktop")),
                                                               home.filePath(QStringLiteral("data")));
    QDir().mkpath(home.filePath(QStringLiteral("Desktop")));
    QDir().mkpath(home.filePath(QStringLiteral("data")));
    p.desktop = desktop;

    // Start from the other microphone so the switch and its undoing are seen.
    const AudioObjectID mic48 = idOf(QStringLiteral("vox_mic48"));
    const AudioObjectID mic16 = idOf(QStringLiteral("vox_mic16"));
    ASSERT_NE(mic48, 0u);
    ASSERT_EQ(hw.setDefaultInputDevice(mic16), 0);
    AudioObjectID before = 0;
    ASSERT_EQ(hw.defaultInputDevice(before), 0);

    AudioDeviceManager devices(p);
    devices.refresh();
    std::optional<QString> deviceID;
    for (const AudioDevice &d : devices.devices())
        if (d.id == QLatin1String("vox_mic48"))
            deviceID = d.id;
    ASSERT_TRUE(deviceID) << "vox_mic48 is not among the engine's devices";

    const QSet<QString> own = contentWordsOf(clipText(QStringLiteral("48")));
    SpeechEngine engine(p);
    std::vector<std::pair<QString, std::vector<RecognitionChunk>>> handedOn;
    QObject::connect(&engine, &SpeechEngine::chunksSubmitted, &engine,
                     [&](const std::vector<RecognitionChunk> &chunks, const QString &reason) {
                         handedOn.emplace_back(reason, chunks);
                     });

    engine.start(*deviceID);
    ASSERT_TRUE(waitFor([&] { return engine.isRecording(); }, 5000)) << engine.lastError().toStdString();
    QElapsedTimer session;
    session.start();
    AudioObjectID during = 0;
    ASSERT_EQ(hw.defaultInputDevice(during), 0);
    EXPECT_EQ(during, mic48);
    const QString path = engine.currentRecordingPath();
    EXPECT_TRUE(path.startsWith(home.filePath(QStringLiteral("Desktop/课程记录/课堂录音/")))) << path.toStdString();

    // Words of the clip within a few seconds.
    const bool heard = waitFor([&] { return common(wordsOf(engine.recognizedText()), own) >= 2; }, 10000);
    const double heardAfter = session.elapsed() / 1000.0;
    EXPECT_TRUE(heard) << "recognizedText: " << engine.recognizedText().toStdString();
    EXPECT_TRUE(engine.audioActive());

    // A sentence is handed on at a pause of the looping clip.
    const bool handedDuringSession = waitFor([&] { return !handedOn.empty(); }, 15000);
    const double sessionSeconds = session.elapsed() / 1000.0;
    const qint64 framesBeforeStop = engine.forwarder()->recordedFrames();
    engine.stop();
    const double stoppedAt = session.elapsed() / 1000.0;
    EXPECT_FALSE(engine.isRecording());
    if (!handedDuringSession)
        waitFor([&] { return !handedOn.empty(); }, 5000);
    ASSERT_FALSE(handedOn.empty()) << "no chunk handed on; recognizedText: " << engine.recognizedText().toStdString();
    EXPECT_TRUE(handedDuringSession) << "the first chunk came only at stop: " << handedOn.front().first.toStdString();
    QString handedText;
    for (const auto &[reason, chunks] : handedOn) {
        EXPECT_FALSE(reason.isEmpty());
        for (const RecognitionChunk &c : chunks) {
            EXPECT_FALSE(c.text.trimmed().isEmpty());
            handedText += c.text + QLatin1Char(' ');
        }
    }
    EXPECT_FALSE(handedText.trimmed().isEmpty());

    // The default input is back where it was.
    AudioObjectID after = 0;
    ASSERT_EQ(hw.defaultInputDevice(after), 0);
    EXPECT_EQ(after, before);

    // The recording holds the captured audio. Against the forwarder's count
    // read just before stop: the audio thread may still have written the one
    // or two 4096-frame taps (1365 frames each at 16 kHz) in flight. Against
    // wall time: the device start-up and the first tap filling cost up to a
    // second on a loaded two-core machine (measured shortfalls of 0.05 to 2.0 s
    // while other builds ran; not yet explained whether start-up or lost
    // periods, hence the wide bound), the
    // unfilled last tap at stop at most 85 ms; the file can never hold more
    // than the time that passed.
    EXPECT_EQ(engine.lastRecordingPath(), path);
    ASSERT_TRUE(QFileInfo::exists(path));
    SndfileAudioFiles files;
    auto reader = files.openForReading(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader.value()->format(), PcmFormat::target());
    const qint64 fileFrames = reader.value()->length();
    EXPECT_GE(fileFrames, framesBeforeStop);
    EXPECT_LE(fileFrames, framesBeforeStop + 2 * 1366);
    const double fileSeconds = double(fileFrames) / 16000;
    EXPECT_GT(fileSeconds, sessionSeconds - 2.5);
    EXPECT_LT(fileSeconds, stoppedAt + 0.15);
    std::printf("[ live ] words after %.2f s; first hand-over \"%s\" (%s); session %.2f s, file %.3f s "
                "(%lld frames, %lld before stop)\n",
                heardAfter, qPrintable(handedOn.front().second.empty() ? QString() : handedOn.front().second.front().text),
                qPrintable(handedOn.front().first), stoppedAt, fileSeconds, (long long)fileFrames,
                (long long)framesBeforeStop);
}
