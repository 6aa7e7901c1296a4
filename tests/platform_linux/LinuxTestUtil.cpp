#include "LinuxTestUtil.h"

#include "platform/AudioInput.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "platform/linux/SoxrConverter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>
#include <numbers>

namespace vox::test {

namespace {

using Complex = std::complex<double>;

void fft(std::vector<Complex> &a, bool inverse)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = 2 * std::numbers::pi / double(len) * (inverse ? 1 : -1);
        const Complex wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            Complex w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const Complex u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
    if (inverse)
        for (auto &x : a)
            x /= double(n);
}

} // namespace

double toneAmplitude(const std::vector<float> &x, double rate, double hz)
{
    const double w = 2 * std::numbers::pi * hz / rate;
    double re = 0, im = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        re += x[i] * std::cos(w * double(i));
        im -= x[i] * std::sin(w * double(i));
    }
    return 2 * std::hypot(re, im) / double(x.size());
}

double rms(const float *x, size_t n)
{
    double s = 0;
    for (size_t i = 0; i < n; ++i)
        s += double(x[i]) * x[i];
    return n ? std::sqrt(s / double(n)) : 0;
}

std::vector<float> convertTo16kMono(const std::vector<PcmBuffer> &buffers)
{
    std::vector<float> out;
    if (buffers.empty())
        return out;
    auto conv = SoxrConverter::create(buffers.front().format(), PcmFormat::target());
    if (!conv)
        return out;
    auto take = [&](const PcmBuffer &in) {
        const double ratio = 16000.0 / in.format().sampleRate;
        PcmBuffer o(PcmFormat::target(), quint32(ratio * in.frameLength()) + 4096);
        const ConverterStatus st = conv->convert(in, o);
        out.insert(out.end(), o.channel(0), o.channel(0) + o.frameLength());
        return st;
    };
    for (const PcmBuffer &b : buffers)
        take(b);
    const PcmBuffer end(buffers.front().format(), 0);
    for (int i = 0; i < 100 && take(end) != ConverterStatus::EndOfStream; ++i) {
    }
    return out;
}

std::vector<float> readAs16kMono(const QString &path)
{
    SndfileAudioFiles files;
    auto r = files.openForReading(path);
    if (!r)
        return {};
    std::vector<PcmBuffer> buffers;
    for (;;) {
        PcmBuffer b = r.value()->read(4096);
        if (b.frameLength() == 0)
            break;
        buffers.push_back(std::move(b));
    }
    return convertTo16kMono(buffers);
}

double bestWindowCorrelation(const std::vector<float> &captured, const std::vector<float> &ref)
{
    // The three loudest 1 s windows (hop 0.5 s): speech, not the gaps.
    const size_t L = 16000, hop = 8000, M = ref.size();
    std::vector<std::pair<double, size_t>> loud;
    for (size_t start = 0; start + L <= captured.size(); start += hop)
        loud.emplace_back(rms(captured.data() + start, L), start);
    std::sort(loud.begin(), loud.end(), std::greater<>());
    if (M < L)
        return 0;
    // Each window is correlated with every stretch of the reference through
    // one transform of the reference, normalised by the energy of both.
    size_t n = 1;
    while (n < M + L)
        n <<= 1;
    std::vector<Complex> refT(n);
    std::vector<double> prefix(M + 1, 0); // running energy of the reference
    for (size_t i = 0; i < M; ++i) {
        refT[i] = ref[i];
        prefix[i + 1] = prefix[i] + double(ref[i]) * ref[i];
    }
    fft(refT, false);
    double best = 0;
    for (size_t k = 0; k < loud.size() && k < 3; ++k) {
        const float *segment = captured.data() + loud[k].second;
        std::vector<Complex> b(n);
        double segEnergy = 0;
        for (size_t i = 0; i < L; ++i) {
            b[i] = segment[L - 1 - i]; // reversed: convolution gives correlation
            segEnergy += double(segment[i]) * segment[i];
        }
        fft(b, false);
        for (size_t i = 0; i < n; ++i)
            b[i] *= refT[i];
        fft(b, true);
        for (size_t lag = 0; lag + L <= M; ++lag) {
            const double refEnergy = prefix[lag + L] - prefix[lag];
            if (refEnergy > 1e-9 && segEnergy > 1e-9)
                best = std::max(best, b[lag + L - 1].real() / std::sqrt(refEnergy * segEnergy));
        }
    }
    return best;
}

std::vector<PcmBuffer> capture(AudioEngine &engine, double seconds)
{
    const PcmFormat format = engine.inputFormat();
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
            return frames >= quint64(seconds * format.sampleRate);
        },
        int(seconds * 1000) + 6000);
    engine.removeTap();
    engine.stop();
    std::lock_guard lock(m);
    return got;
}

void TestMicsFixture::SetUp()
{
    VOX_REQUIRE_TEST_MICS(testMicsMissing());
    const auto current = hw.defaultInputDevice();
    ASSERT_TRUE(current) << "PulseAudio at " << qEnvironmentVariable("PULSE_SERVER").toStdString() << " does not answer";
    originalDefault = current.value();
}

void TestMicsFixture::TearDown()
{
    if (originalDefault != 0)
        hw.setDefaultInputDevice(originalDefault);
}

AudioObjectID TestMicsFixture::idOf(const QString &uid)
{
    const auto ids = hw.deviceIDs();
    EXPECT_TRUE(ids);
    if (!ids)
        return 0;
    for (AudioObjectID id : ids.value()) {
        if (auto u = hw.deviceUID(id); u && u.value() == uid)
            return id;
    }
    return 0;
}

} // namespace vox::test
