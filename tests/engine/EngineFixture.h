#pragma once
// Shared set-up of the engine tests: virtual time, a temporary settings
// store, the fake platform and a fresh engine; helpers to run a session.
#include "engine/SpeechEngine.h"
#include "platform/fake/FakePlatform.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <limits>

namespace vox::test {

struct Submission {
    QStringList texts;
    QString reason;
};

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakes.install();
        engine = std::make_unique<SpeechEngine>(fakes.platform());
        // The fake microphone delivers only what a test pushes, so time may
        // pass without audio; the tests of a silent capture set it back.
        engine->setCaptureSilenceLimit(std::numeric_limits<double>::infinity());
        QObject::connect(engine.get(), &SpeechEngine::chunksSubmitted,
            [this](const std::vector<RecognitionChunk> &chunks, const QString &reason) {
                submissions.push_back(Submission{{}, reason});
                for (const auto &c : chunks)
                    submissions.back().texts.append(c.text);
            });
    }
    void TearDown() override { engine.reset(); }

    // Lets queued hops (recognizer results, audio activity) reach the engine.
    void pump() { time->advance(0); }
    void advance(double s) { time->advance(s); }

    // Starts on the 48 kHz microphone and waits out the device settle time.
    void startSession(const QString &device = QStringLiteral("mic-48k"))
    {
        engine->start(device);
        advance(0.4);
        ASSERT_TRUE(engine->isRecording()) << engine->lastError().toStdString();
    }
    fake::FakeAudioEngine *audio() { return fakes.audioEngines->current; }
    std::shared_ptr<fake::FakeRecognitionTask> task() { return fakes.recognizer->lastTask(); }
    // One 4096-frame buffer of a constant signal at 48 kHz stereo (1365 frames at 16 kHz).
    void pushAudio(float amplitude, int buffers = 1)
    {
        for (int i = 0; i < buffers; ++i)
            audio()->pushConstant(amplitude);
        pump();
    }

    void speak(int buffers = 1) { pushAudio(0.2f, buffers); }
    // Quiet buffers of about 1365/16000 s each; the first still carries the
    // resampler's tail of the speech, the other 11 make a pause of 0.94 s.
    void pause() { pushAudio(0.0f, 12); }
    // The recognizer hears `text` (its first word `firstTime` seconds into
    // the request); half a second later speech and a pause hand it on.
    void hear(const QString &text, double firstTime = 0.5)
    {
        task()->deliverPartial(text, firstTime);
        pump();
        advance(0.5);
        speak();
        pause();
    }

    QStringList reasons() const
    {
        QStringList r;
        for (const auto &s : submissions)
            r.append(s.reason);
        return r;
    }

    ScopedSettings settingsStore;
    ScopedVirtualTime time;
    fake::FakePlatform fakes;
    std::unique_ptr<SpeechEngine> engine;
    std::vector<Submission> submissions;
};

} // namespace vox::test
