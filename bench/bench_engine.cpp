// Engine figures: the audio thread's cost per 4096-frame buffer, and the
// engine's memory over two hours of virtual-time recognition with the fake
// recognizer. Figures are printed, never asserted.
#include "engine/AudioForwarder.h"
#include "engine/SpeechEngine.h"
#include "platform/Settings.h"
#include "platform/Time.h"
#include "platform/TranslationSession.h"
#include "platform/fake/FakePlatform.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "platform/linux/SoxrConverter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <unistd.h>

using namespace vox;

namespace {

PcmBuffer speechLike(PcmFormat f, quint32 frames)
{
    PcmBuffer b(f, frames);
    for (quint32 c = 0; c < f.channels; ++c)
        for (quint32 i = 0; i < frames; ++i)
            b.channel(c)[i] = 0.1f * float(std::sin(0.05 * i) + 0.3 * std::sin(0.31 * i + c));
    b.setFrameLength(frames);
    return b;
}

// The whole per-buffer path: conversion (soxr), request append, file write
// (libsndfile CAF), level and silence.
void BM_HandleBuffer48kStereo(benchmark::State &state)
{
    QTemporaryDir dir;
    const PcmFormat in{48000.0, 2, false};
    AudioForwarder f;
    f.setConverter(SoxrConverterFactory().create(in, PcmFormat::target()));
    auto request = std::make_shared<fake::FakeRecognitionRequest>(RecognitionRequestOptions{});
    f.setRequest(request);
    SndfileAudioFiles files;
    auto w = files.createForWriting(dir.filePath(QStringLiteral("bench.caf")), PcmFormat::target());
    if (w.ok())
        f.setRecordingFile(std::shared_ptr<AudioFileWriter>(std::move(w.value())));
    float sink = 0;
    f.onActivity = [&](AudioActivity a) { sink += a.level; };
    const PcmBuffer buffer = speechLike(in, 4096);
    for (auto _ : state)
        f.handle(buffer);
    benchmark::DoNotOptimize(sink);
    state.counters["frames_out"] = double(request->appendedFrames()) / double(state.iterations());
}
BENCHMARK(BM_HandleBuffer48kStereo);

// Same without the recording file.
void BM_HandleBuffer48kStereoNoFile(benchmark::State &state)
{
    const PcmFormat in{48000.0, 2, false};
    AudioForwarder f;
    f.setConverter(SoxrConverterFactory().create(in, PcmFormat::target()));
    f.setRequest(std::make_shared<fake::FakeRecognitionRequest>(RecognitionRequestOptions{}));
    const PcmBuffer buffer = speechLike(in, 4096);
    for (auto _ : state)
        f.handle(buffer);
}
BENCHMARK(BM_HandleBuffer48kStereoNoFile);

// 16 kHz mono input: no conversion.
void BM_HandleBufferPassthrough(benchmark::State &state)
{
    AudioForwarder f;
    f.setConverter(SoxrConverterFactory().create(PcmFormat::target(), PcmFormat::target()));
    f.setRequest(std::make_shared<fake::FakeRecognitionRequest>(RecognitionRequestOptions{}));
    const PcmBuffer buffer = speechLike(PcmFormat::target(), 4096);
    for (auto _ : state)
        f.handle(buffer);
}
BENCHMARK(BM_HandleBufferPassthrough);

// Detached: the buffer is copied for the next request (kept under the limit).
void BM_HandleBufferDetached(benchmark::State &state)
{
    AudioForwarder f;
    f.setConverter(SoxrConverterFactory().create(PcmFormat::target(), PcmFormat::target()));
    const PcmBuffer buffer = speechLike(PcmFormat::target(), 4096);
    int n = 0;
    for (auto _ : state) {
        f.handle(buffer);
        if (++n == 30) {
            state.PauseTiming();
            f.clearBufferedAudio();
            n = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_HandleBufferDetached);

void BM_ComputeLevel(benchmark::State &state)
{
    const PcmBuffer buffer = speechLike(PcmFormat::target(), 1365);
    for (auto _ : state)
        benchmark::DoNotOptimize(AudioForwarder::computeLevel(buffer));
}
BENCHMARK(BM_ComputeLevel);

// ---- two hours of recognition on virtual time ---------------------------------

class InstantSession : public TranslationSession {
public:
    void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) override
    {
        QStringList out;
        for (const auto &t : texts)
            out.append(QStringLiteral("译文：") + t);
        done(out);
    }
};

double residentMB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() < 2)
        return 0;
    return parts[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void twoHoursOfRecognition()
{
    QTemporaryDir dir;
    Settings store(dir.filePath(QStringLiteral("settings.ini")));
    setSettings(&store);
    VirtualTime time;
    setTimeSource(&time);
    {
        fake::FakePlatform fakes;
        // No recording file: two hours of audio would be 460 MB on disk.
        fakes.audioFiles->createError = Error{QStringLiteral("bench"), 1, QStringLiteral("不录音")};
        fakes.install();
        SpeechEngine engine(fakes.platform());
        engine.setTranslationSession(std::make_shared<InstantSession>());
        engine.start(QStringLiteral("mic-48k"));
        time.advance(0.5);
        if (!engine.isRecording()) {
            std::printf("engine did not start: %s\n", qPrintable(engine.lastError()));
            return;
        }
        auto *audio = fakes.audioEngines->current;
        const PcmBuffer loud = audio->makeBuffer(4096, 0.2f);
        const PcmBuffer quiet = audio->makeBuffer(4096, 0.0f);
        std::shared_ptr<fake::FakeRecognitionTask> task = fakes.recognizer->lastTask();
        QString transcript;
        long sentence = 0;
        std::printf("\nTwo hours of virtual-time recognition (two sentences a second):\n");
        std::printf("%10s %10s %10s %10s %12s %10s\n", "minutes", "RSS MB", "entries", "in flight", "buffered fr",
                    "rotations");
        const double baseline = residentMB();
        for (int second = 1; second <= 7200; ++second) {
            if (fakes.recognizer->lastTask() != task) {
                task = fakes.recognizer->lastTask();
                transcript.clear();
                fakes.recognizer->forgetHistory();
            }
            for (int k = 0; k < 2; ++k) {
                ++sentence;
                transcript += QStringLiteral("Sentence number %1 is spoken here. ").arg(sentence);
            }
            task->deliverPartial(transcript.trimmed());
            for (int i = 0; i < 6; ++i)
                audio->push(loud);
            time.advance(0.45);
            for (int i = 0; i < 12; ++i)
                audio->push(quiet);
            time.advance(0.55);
            if (engine.isRotating())
                task->deliverFinal(transcript.trimmed());
            if (second % 1200 == 0 || second == 60) {
                std::printf("%10.0f %10.1f %10zu %10zu %12u %10lld\n", second / 60.0, residentMB(),
                            engine.translationEntries().size(), engine.pipeline().inFlightBatches().size(),
                            engine.forwarder() ? engine.forwarder()->bufferedFrames() : 0u,
                            (long long)engine.rotationCount());
            }
        }
        std::printf("RSS growth over the run: %.1f MB (baseline %.1f MB); recognized text %lld chars; "
                    "translated text %lld chars\n",
                    residentMB() - baseline, baseline, (long long)engine.recognizedText().size(),
                    (long long)engine.translatedText().size());
        engine.stop();
        time.advance(5);
    }
    setTimeSource(nullptr);
    setSettings(nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("VOXLEAF_DIAG_LOG"))
        qputenv("VOXLEAF_DIAG_LOG", "/dev/null");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    twoHoursOfRecognition();
    return 0;
}
