// Audio path costs: conversion and level per 4096-frame buffer, recording
// writes, and how long capture takes to start on the test microphones.
// Prints figures; asserts nothing.
//
//   bench_audio                 (converter, level, file)
//   PULSE_SERVER=... bench_audio   (also capture start latency)
#include "platform/linux/PulseHardwareAudio.h"
#include "platform/linux/QtAudioEngine.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "platform/linux/SoxrConverter.h"

#include <QElapsedTimer>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using namespace vox;
using Clock = std::chrono::steady_clock;

namespace {

PcmBuffer toneBuffer(PcmFormat f, quint32 frames, quint64 offset)
{
    PcmBuffer b(f, frames);
    for (quint32 c = 0; c < f.channels; ++c)
        for (quint32 i = 0; i < frames; ++i)
            b.channel(c)[i] = float(0.3 * std::sin(2 * std::numbers::pi * 440 * double(offset + i) / f.sampleRate));
    b.setFrameLength(frames);
    return b;
}

// The forwarder's level estimate: strided RMS over about 128 samples.
float level(const PcmBuffer &b)
{
    const quint32 n = b.frameLength();
    if (n == 0)
        return 0;
    const quint32 stride = n < 128 ? 1 : n / 128;
    double sum = 0;
    quint32 taken = 0;
    for (quint32 i = 0; i < n; i += stride, ++taken)
        sum += double(b.channel(0)[i]) * b.channel(0)[i];
    return std::clamp(float(std::sqrt(sum / taken) * 12), 0.0f, 1.0f);
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

void benchConverter(PcmFormat from, const char *label)
{
    auto conv = SoxrConverter::create(from, PcmFormat::target());
    const int buffers = 2000;
    std::vector<PcmBuffer> input;
    for (int i = 0; i < 16; ++i)
        input.push_back(toneBuffer(from, 4096, quint64(i) * 4096));
    std::vector<double> us;
    volatile float sink = 0;
    std::vector<double> levelNs;
    for (int i = 0; i < buffers; ++i) {
        PcmBuffer out(PcmFormat::target(), quint32(4096 * 16000 / from.sampleRate) + 16);
        const auto t0 = Clock::now();
        conv->convert(input[size_t(i) % input.size()], out);
        const auto t1 = Clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        const auto t2 = Clock::now();
        for (int k = 0; k < 100; ++k)
            sink = sink + level(out);
        const auto t3 = Clock::now();
        levelNs.push_back(std::chrono::duration<double, std::nano>(t3 - t2).count() / 100);
    }
    const double bufferSeconds = 4096 / from.sampleRate;
    double total = 0;
    for (double v : us)
        total += v;
    std::printf("convert %-22s per 4096-frame buffer: median %.1f us, p99 %.1f us (%.3f%% of the buffer's %.1f ms)\n",
                label, percentile(us, 0.5), percentile(us, 0.99), 100 * total / buffers / 1e6 / bufferSeconds,
                bufferSeconds * 1000);
    std::printf("level   %-22s per converted buffer:   median %.0f ns\n", label, percentile(levelNs, 0.5));
}

void benchFile()
{
    QTemporaryDir dir;
    SndfileAudioFiles files;
    auto w = files.createForWriting(dir.filePath(QStringLiteral("bench.caf")), PcmFormat::target());
    if (!w)
        return;
    std::vector<double> us;
    const PcmBuffer b = toneBuffer(PcmFormat::target(), 1365, 0);
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = Clock::now();
        w.value()->write(b);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::printf("write   CAF 1365 frames (header updated each time): median %.1f us, p99 %.1f us\n",
                percentile(us, 0.5), percentile(us, 0.99));
}

void benchCapture()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || !pulse::defaultSource()) {
        std::printf("capture: skipped (no PulseAudio test microphones; scripts/testmics.sh start DIR)\n");
        return;
    }
    std::vector<double> startMs, firstMs;
    for (int run = 0; run < 8; ++run) {
        QtAudioEngine engine;
        std::atomic<qint64> firstNs{-1};
        QElapsedTimer t;
        const PcmFormat f = engine.inputFormat();
        engine.installTap(4096, [&](const PcmBuffer &) {
            qint64 expected = -1;
            firstNs.compare_exchange_strong(expected, t.nsecsElapsed());
        });
        t.start();
        const auto err = engine.start();
        const double started = t.nsecsElapsed() / 1e6;
        if (err) {
            std::printf("capture: start failed: %s\n", qPrintable(err->message));
            return;
        }
        while (firstNs.load() < 0 && t.elapsed() < 5000)
            QThread::msleep(1);
        engine.stop();
        startMs.push_back(started);
        firstMs.push_back(firstNs.load() / 1e6);
        if (run == 0)
            std::printf("capture from %s (%.0f Hz, %u ch)\n", qPrintable(engine.deviceName()), f.sampleRate,
                        f.channels);
    }
    std::printf("capture start() returns after: median %.1f ms, max %.1f ms\n", percentile(startMs, 0.5),
                percentile(startMs, 1.0));
    std::printf("first 4096-frame buffer after start(): median %.1f ms, max %.1f ms (the buffer itself is %.1f ms)\n",
                percentile(firstMs, 0.5), percentile(firstMs, 1.0), 4096 / 48.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchConverter(PcmFormat{48000, 2, false}, "48 kHz stereo -> 16k");
    benchConverter(PcmFormat{44100, 1, false}, "44.1 kHz mono -> 16k");
    benchConverter(PcmFormat{16000, 1, false}, "16 kHz mono (pass)");
    benchFile();
    benchCapture();
    return 0;
}
