// The audio path: conversion, passthrough, buffering while detached, the
// recording file, level and adaptive silence.
#include "engine/AudioForwarder.h"
#include "platform/fake/FakeAudio.h"
#include "platform/fake/FakeSpeechRecognizer.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::fake;

namespace {

PcmBuffer constant(PcmFormat f, quint32 frames, float v)
{
    return test::makeBuffer(f, frames, [v](quint32, quint32) { return v; });
}

struct Harness {
    explicit Harness(PcmFormat input)
    {
        forwarder.setConverter(FakeAudioConverterFactory().create(input, PcmFormat::target()));
    }
    AudioForwarder forwarder;
};

const PcmFormat kStereo48{48000.0, 2, false};

std::shared_ptr<FakeRecognitionRequest> keptRequest()
{
    auto request = std::make_shared<FakeRecognitionRequest>(RecognitionRequestOptions{});
    request->setKeepBuffers(true);
    return request;
}

TEST(AudioForwarder, BuffersUpToTheLimitWhileDetachedAndReplaysInOrder)
{
    Harness h(PcmFormat::target());
    // 39 buffers of 4096 = 159744 frames: below the limit; the 40th crosses
    // it and is kept; the 41st is not.
    for (int i = 0; i < 41; ++i)
        h.forwarder.handle(constant(PcmFormat::target(), 4096, float(i) / 1000.0f));
    EXPECT_EQ(h.forwarder.bufferedBufferCount(), 40u);
    EXPECT_EQ(h.forwarder.bufferedFrames(), 40u * 4096u);
    auto request = keptRequest();
    h.forwarder.setRequest(request);
    auto got = request->buffers();
    ASSERT_EQ(got.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_FLOAT_EQ(got[size_t(i)].channel(0)[0], float(i) / 1000.0f);
    EXPECT_EQ(h.forwarder.bufferedFrames(), 0u);
    // Attached: straight into the request.
    h.forwarder.handle(constant(PcmFormat::target(), 4096, 0.5f));
    EXPECT_EQ(request->appendedBuffers(), 41);
    // Detaching keeps later audio; clearing empties it.
    h.forwarder.setRequest(nullptr);
    h.forwarder.handle(constant(PcmFormat::target(), 4096, 0.5f));
    EXPECT_EQ(h.forwarder.bufferedFrames(), 4096u);
    h.forwarder.clearBufferedAudio();
    EXPECT_EQ(h.forwarder.bufferedFrames(), 0u);
}

TEST(AudioForwarder, RecordingFileGetsEveryConvertedBuffer)
{
    QTemporaryDir dir;
    FakeAudioFiles files;
    auto w = files.createForWriting(dir.filePath(QStringLiteral("r.caf")), PcmFormat::target());
    ASSERT_TRUE(w.ok());
    std::shared_ptr<AudioFileWriter> file(std::move(w.value()));
    Harness h(kStereo48);
    h.forwarder.setRecordingFile(file);
    for (int i = 0; i < 3; ++i)
        h.forwarder.handle(constant(kStereo48, 4096, 0.1f));
    EXPECT_EQ(h.forwarder.recordedFrames(), file->length());
    EXPECT_NEAR(double(file->length()), 3 * 4096 / 3.0, 1.0);
    EXPECT_EQ(h.forwarder.takeRecordingFile(), file);
    h.forwarder.handle(constant(kStereo48, 4096, 0.1f));
    EXPECT_NEAR(double(file->length()), 3 * 4096 / 3.0, 1.0); // no longer written
}

TEST(AudioForwarder, LevelOfKnownSignals)
{
    const PcmFormat t = PcmFormat::target();
    EXPECT_FLOAT_EQ(AudioForwarder::computeLevel(constant(t, 4096, 0.0f)), 0.0f);
    EXPECT_NEAR(AudioForwarder::computeLevel(constant(t, 4096, 0.05f)), 0.6f, 1e-6);
    EXPECT_NEAR(AudioForwarder::computeLevel(constant(t, 4096, -0.05f)), 0.6f, 1e-6);
    EXPECT_FLOAT_EQ(AudioForwarder::computeLevel(constant(t, 4096, 0.2f)), 1.0f); // clamped
    // Short buffers use every sample; an empty buffer is silent.
    EXPECT_NEAR(AudioForwarder::computeLevel(constant(t, 10, 0.01f)), 0.12f, 1e-6);
    EXPECT_FLOAT_EQ(AudioForwarder::computeLevel(PcmBuffer(t, 16)), 0.0f);
}

TEST(AudioForwarder, SilenceStaysZeroBeforeSpeechAndGrowsAfter)
{
    AudioForwarder f;
    const double d = 1365.0 / 16000.0;
    for (int i = 0; i < 20; ++i)
        f.updateSilence(0.0f, d);
    EXPECT_EQ(f.silenceDuration(), 0.0);
    EXPECT_FALSE(f.hasSpoken());
    f.updateSilence(0.6f, d); // rms 0.05
    EXPECT_TRUE(f.hasSpoken());
    EXPECT_EQ(f.silenceDuration(), 0.0);
    f.updateSilence(0.01f, d);
    f.updateSilence(0.01f, d);
    EXPECT_NEAR(f.silenceDuration(), 2 * d, 1e-12);
    f.updateSilence(0.6f, d);
    EXPECT_EQ(f.silenceDuration(), 0.0);
}

TEST(AudioForwarder, SilenceThresholdAdaptsToTheRoom)
{
    AudioForwarder f;
    const double d = 0.125;
    // A noisy room (rms 0.01) for one 3 s window: the floor becomes 0.01,
    // the threshold 0.015 (clamped from 0.025).
    for (int i = 0; i < 24; ++i)
        f.updateSilence(0.12f, d);
    EXPECT_NEAR(f.noiseFloor(), 0.01f, 1e-6);
    // Before the window closed, 0.01 counted as speech (threshold 0.004).
    EXPECT_TRUE(f.hasSpoken());
    // The buffer that closed the window is already judged by the new floor.
    EXPECT_EQ(f.silenceDuration(), d);
    f.updateSilence(0.12f, d);
    EXPECT_EQ(f.silenceDuration(), 2 * d);
    f.updateSilence(0.18f, d); // rms 0.015: speech
    EXPECT_EQ(f.silenceDuration(), 0.0);
}

} // namespace
