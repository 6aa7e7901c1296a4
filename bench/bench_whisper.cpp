// The Whisper sentence pass: what one finished sentence costs the decoder
// (seconds and real-time factor), how long a hand-over waits in the pass
// before it goes on to translation (the time Whisper adds between the end of
// a sentence and its entry landing), the load time and the peak memory, with
// models of the real tiny.en and base.en-q5_1 sizes written with constant
// weights (the words they produce mean nothing; the arithmetic is the real
// model's). PocketSphinx decodes a lecture at real-time pace on its own thread
// meanwhile, as it does live.
//
// Usage: bench_whisper [tiny.en|base.en-q5_1]   (default: both, each in a
// child process so that peak memory is measured per model)
#include "engine/SentencePass.h"
#include "platform/fake/FakeSpeechRecognizer.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "platform/whisper/WhisperDecoder.h"
#include "support/WhisperModelWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace vox;

namespace {

constexpr int kRate = 16000;
const QString kLibrivoxDir = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox");

std::vector<float> readMono16k(const QString &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    std::vector<float> inter(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(f, inter.data(), info.frames);
    sf_close(f);
    std::vector<float> out(size_t(info.frames));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = inter[i * size_t(info.channels)];
    return info.samplerate == kRate ? out : std::vector<float>{};
}

std::vector<std::vector<float>> librivoxSentences()
{
    std::vector<std::vector<float>> out;
    for (const QString &name : QDir(kLibrivoxDir).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name)) {
        auto s = readMono16k(kLibrivoxDir + QLatin1Char('/') + name);
        if (!s.empty())
            out.push_back(std::move(s));
    }
    return out;
}

// PocketSphinx recognizing `audio` over and over at real-time pace until told
// to stop: the live recognizer's share of the machine.
class LiveRecognizerLoad {
public:
    explicit LiveRecognizerLoad(std::vector<float> audio) : m_audio(std::move(audio))
    {
        m_thread = std::thread([this] { run(); });
    }
    ~LiveRecognizerLoad()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void run()
    {
        auto sphinx = makePocketSphinxRecognizer();
        if (!sphinx->waitUntilLoaded(60000))
            return;
        auto request = sphinx->makeRequest({});
        auto task = sphinx->startTask(request, [](auto, auto) {});
        const quint32 frames = 1365;
        auto next = std::chrono::steady_clock::now();
        for (size_t at = 0; !m_stop; at = (at + frames) % (m_audio.size() - frames)) {
            PcmBuffer b = PcmBuffer::fromInterleaved(PcmFormat::target(), m_audio.data() + at, frames);
            request->append(b);
            next += std::chrono::microseconds(1'000'000 * frames / kRate);
            std::this_thread::sleep_until(next);
        }
        task->cancel();
    }
    std::vector<float> m_audio;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

int runModel(const QString &name)
{
    const WhisperGeometry geometry =
        name == QLatin1String("tiny.en") ? WhisperModelFile::tinyEn(1) : WhisperModelFile::baseEn(9);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("model.bin"));
    const qint64 size = test::writeWhisperModel(path, geometry);
    const auto sentences = librivoxSentences();
    if (size <= 0 || sentences.empty()) {
        std::fprintf(stderr, "cannot write the model or read the LibriVox recordings\n");
        return 1;
    }
    std::vector<float> lecture;
    for (const auto &s : sentences)
        lecture.insert(lecture.end(), s.begin(), s.end());
    const double before = peakMegabytes();
    LiveRecognizerLoad load(lecture);

    QElapsedTimer t;
    t.start();
    auto decoder = makeWhisperLoader()->load(path);
    if (!decoder) {
        std::fprintf(stderr, "%s\n", qPrintable(decoder.error().message));
        return 1;
    }
    std::printf("%s (%.1f MB file): loaded in %.2f s\n", qPrintable(name), double(size) / 1e6, t.elapsed() / 1000.0);

    for (int threads : {1, 2}) {
        qputenv("VOXLEAF_WHISPER_THREADS", QByteArray::number(threads));
        std::vector<double> waits, rtfs, costs;
        bool released = false;
        SentencePass pass([&](const auto &, const auto &) { released = true; });
        auto recognizer = pass.tap(std::make_shared<fake::FakeSpeechRecognizer>());
        pass.setDecoder(decoder.value());
        // Every decode runs to its end here; a deadline that would have
        // passed is counted instead (live, the sentence would have gone on
        // with PocketSphinx's text at that moment).
        pass.setPatient(true);
        int pastDeadline = 0;
        for (int round = 0; round < 2; ++round) {
            for (const auto &s : sentences) {
                auto request = recognizer->makeRequest({});
                request->append(PcmBuffer::fromInterleaved(PcmFormat::target(), s.data(), quint32(s.size())));
                released = false;
                const double decodedBefore = pass.stats().decodeSeconds;
                QElapsedTimer wait;
                wait.start();
                pass.submit({RecognitionChunk{QStringLiteral("sentence"), 0.3}}, 0.0,
                                     QStringLiteral("停顿判句"), QStringLiteral("lecture, climate"));
                while (!released)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
                const double audio = double(s.size()) / kRate;
                const double cost = pass.stats().decodeSeconds - decodedBefore;
                waits.push_back(wait.elapsed() / 1000.0);
                costs.push_back(cost);
                rtfs.push_back(cost / audio);
                if (waits.back() > SentencePass::kDeadlineFactor * audio + SentencePass::kDeadlineExtra)
                    ++pastDeadline;
            }
        }
        std::printf("  %d thread%s: per sentence (2.5–7 s of audio) decode %.2f s median, %.2f s p95; "
                    "RTF %.2f median, %.2f p95; hand-over → translation %.2f s median, %.2f s p95; "
                    "%d of %zu past the deadline\n",
                    threads, threads > 1 ? "s" : "", percentile(costs, 0.5), percentile(costs, 0.95),
                    percentile(rtfs, 0.5), percentile(rtfs, 0.95), percentile(waits, 0.5), percentile(waits, 0.95),
                    pastDeadline, waits.size());
    }
    double loadAverage[3] = {0, 0, 0};
    getloadavg(loadAverage, 3);
    std::printf("  peak memory %.0f MB (%.0f MB before PocketSphinx and the model); load average %.1f\n",
                peakMegabytes(), before, loadAverage[0]);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        return runModel(QString::fromLocal8Bit(argv[1]));
    int rc = 0;
    for (const char *m : {"tiny.en", "base.en-q5_1"})
        rc |= QProcess::execute(QCoreApplication::applicationFilePath(), {QString::fromLatin1(m)});
    return rc;
}
