// The soxr converter: 48 kHz stereo to 16 kHz mono as the microphones need
// it, streaming exactness and the formats it refuses.
#include "LinuxTestUtil.h"
#include "platform/linux/SoxrConverter.h"

#include <gtest/gtest.h>
#include <cmath>
#include <numeric>
#include <numbers>

using namespace vox;
using namespace vox::test;

namespace {

const PcmFormat k48Stereo{48000, 2, false};
const PcmFormat k16Mono = PcmFormat::target();

// Feeds `input` (48 kHz stereo) buffer by buffer into outputs with room for
// the whole result, or for `room` frames; returns every produced sample, the
// tail drained when `drain` is set.
std::vector<float> run(SoxrConverter &c, const std::vector<PcmBuffer> &input, bool drain,
                       std::vector<quint32> *perBuffer = nullptr, quint32 room = 0)
{
    std::vector<float> out;
    for (const PcmBuffer &in : input) {
        PcmBuffer o(k16Mono, room ? room : quint32(std::floor(in.frameLength() / 3.0)) + 16);
        const ConverterStatus st = c.convert(in, o);
        EXPECT_TRUE(st == ConverterStatus::HaveData || st == ConverterStatus::InputRanDry);
        if (perBuffer)
            perBuffer->push_back(o.frameLength());
        out.insert(out.end(), o.channel(0), o.channel(0) + o.frameLength());
    }
    const PcmBuffer end(k48Stereo, 0);
    for (int i = 0; drain && i < 100; ++i) {
        PcmBuffer o(k16Mono, room ? room : 1024);
        const ConverterStatus st = c.convert(end, o);
        out.insert(out.end(), o.channel(0), o.channel(0) + o.frameLength());
        if (st == ConverterStatus::EndOfStream)
            break;
    }
    return out;
}

// 48 kHz stereo: a 1 kHz tone on both channels plus a 10 kHz tone (above the
// 8 kHz limit of the target) in the left one; in buffers of the given sizes,
// in turn.
std::vector<PcmBuffer> toneInput(quint64 totalFrames, std::vector<quint32> sizes)
{
    std::vector<PcmBuffer> v;
    for (quint64 start = 0; start < totalFrames; start += v.back().frameLength()) {
        const quint32 n = quint32(std::min<quint64>(sizes[v.size() % sizes.size()], totalFrames - start));
        v.push_back(makeBuffer(k48Stereo, n, [&](quint32 c, quint32 i) {
            const double t = double(start + i) / 48000.0;
            double s = 0.5 * std::sin(2 * std::numbers::pi * 1000 * t);
            if (c == 0)
                s += 0.3 * std::sin(2 * std::numbers::pi * 10000 * t);
            return float(s);
        }));
    }
    return v;
}

} // namespace

TEST(SoxrConverter, MicrophoneBuffersBecomeOneThirdLongAndKeepTheToneOnly)
{
    auto c = SoxrConverter::create(k48Stereo, k16Mono);
    const quint64 total = 4096ull * 60; // about 5 s
    std::vector<quint32> per;
    const std::vector<float> out = run(*c, toneInput(total, {4096}), false, &per);

    // The resampler works in blocks, so single buffers vary a little around
    // 1365 frames (never beyond the forwarder's capacity of 1381), but the
    // running total never drifts from a third of the input: it only lags by
    // the filter's delay.
    quint64 produced = 0;
    for (size_t i = 0; i < per.size(); ++i) {
        EXPECT_LE(per[i], 1381u) << i;
        produced += per[i];
        const double ideal = double(4096 * (i + 1)) / 3.0;
        EXPECT_LE(double(produced), ideal + 1) << i;
        if (i >= 4) {
            EXPECT_GE(double(produced), ideal - 1024) << i; // 64 ms at most
        }
    }

    // Steady state: the 1 kHz tone at its downmixed amplitude, the 10 kHz one
    // (averaged to 0.15) removed rather than folded to 6 kHz.
    const std::vector<float> steady(out.begin() + 16000, out.end());
    EXPECT_NEAR(toneAmplitude(steady, 16000, 1000), 0.5, 0.01);
    EXPECT_LT(toneAmplitude(steady, 16000, 6000), 0.15 * 1e-3); // more than 60 dB down
}

TEST(SoxrConverter, StreamingGivesTheSameSamplesAsOneBlockAndTheExactLengthAtTheEnd)
{
    const quint64 total = 48000 * 3 + 77;
    auto whole = SoxrConverter::create(k48Stereo, k16Mono);
    auto chunked = SoxrConverter::create(k48Stereo, k16Mono);
    const std::vector<float> a = run(*whole, toneInput(total, {quint32(total)}), true);
    // Odd chunk sizes, as a device might deliver before slicing.
    const std::vector<float> b = run(*chunked, toneInput(total, {1, 4096, 333, 4095, 17, 8000}), true);
    EXPECT_NEAR(double(a.size()), double(total) / 3.0, 1.0);
    ASSERT_EQ(a.size(), b.size());
    double maxDiff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        maxDiff = std::max(maxDiff, double(std::fabs(a[i] - b[i])));
    EXPECT_LT(maxDiff, 1e-5);
}

TEST(SoxrConverter, TooSmallOutputBuffersLoseNothing)
{
    auto c = SoxrConverter::create(k48Stereo, k16Mono);
    std::vector<quint32> per;
    run(*c, toneInput(4096 * 20, {4096}), false, &per, 1000); // less room than the 1365 produced
    EXPECT_EQ(*std::max_element(per.begin(), per.end()), 1000u);
    EXPECT_GT(c->pendingFrames(), 0u);
    const auto tail = run(*c, {}, true, nullptr, 1000);
    EXPECT_NEAR(double(std::accumulate(per.begin(), per.end(), size_t(tail.size()))), 4096.0 * 20 / 3, 1.0);
}

TEST(SoxrConverter, DownmixAveragesChannelsAndSameRateMonoPassesThrough)
{
    // Same rate, stereo to mono: exact averages, no delay.
    auto mix = SoxrConverter::create(PcmFormat{16000, 2, false}, k16Mono);
    PcmBuffer in = makeBuffer(PcmFormat{16000, 2, false}, 100, [](quint32 c, quint32 i) {
        return c == 0 ? float(i) / 100.0f : 0.0f;
    });
    PcmBuffer out(k16Mono, 116);
    EXPECT_EQ(mix->convert(in, out), ConverterStatus::HaveData);
    ASSERT_EQ(out.frameLength(), 100u);
    for (quint32 i = 0; i < 100; ++i)
        EXPECT_FLOAT_EQ(out.channel(0)[i], float(i) / 200.0f);

    // Opposite channels cancel after resampling too.
    auto c = SoxrConverter::create(k48Stereo, k16Mono);
    const auto opposite = makeBuffer(k48Stereo, 48000, [](quint32 ch, quint32 i) {
        const float s = float(0.5 * std::sin(2 * std::numbers::pi * 440 * i / 48000.0));
        return ch == 0 ? s : -s;
    });
    const std::vector<float> o = run(*c, {opposite}, true);
    EXPECT_LT(rms(o.data(), o.size()), 1e-6);
}

TEST(SoxrConverter, RefusesImpossibleFormatsAndMismatchedBuffers)
{
    for (const auto &[from, to] : {std::pair{PcmFormat{0, 2, false}, k16Mono}, {PcmFormat{48000, 0, false}, k16Mono},
             {PcmFormat{NAN, 1, false}, k16Mono}, {PcmFormat{48000, 3, false}, PcmFormat{16000, 2, false}}})
        EXPECT_FALSE(SoxrConverter::create(from, to)) << from.sampleRate << " Hz, " << from.channels;
    EXPECT_TRUE(SoxrConverter::create(PcmFormat{44100, 1, false}, PcmFormat{16000, 2, false}));

    auto c = SoxrConverter::create(k48Stereo, k16Mono);
    PcmBuffer wrongIn = makeBuffer(PcmFormat{44100, 2, false}, 441, [](quint32, quint32) { return 0.1f; });
    PcmBuffer out(k16Mono, 200);
    EXPECT_EQ(c->convert(wrongIn, out), ConverterStatus::Error);
    EXPECT_EQ(out.frameLength(), 0u);
    PcmBuffer wrongOut(PcmFormat{48000, 2, false}, 5000);
    EXPECT_EQ(c->convert(toneInput(4096, {4096}).front(), wrongOut), ConverterStatus::Error);
}
