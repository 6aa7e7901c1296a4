// Recognizer figures: real-time factor, peak memory, word error rate and the
// cost of an utterance end, for the single-pass and the multi-pass decoder.
// Audio is streamed in 1365-frame buffers (what a 48 kHz microphone becomes at
// 16 kHz) as fast as the recognizer keeps up.
//
// Sets: the LibriVox recordings of pocketsphinx-testdata (each as its own
// request, and all five as one "lecture" with pauses), and an espeak-ng
// lecture made with a lead-in, a lower level and faint noise.
//
// Usage: bench_recognizer [single|multi]   (default: both, each in a child
// process so that peak memory is measured per configuration)
#include "platform/linux/PocketSphinxRecognizer.h"
#include "support/SpeechMeasures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>

using namespace vox;

namespace {

constexpr int kRate = 16000;
const QString kLibrivoxDir = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox");

struct Clip {
    QString name;
    std::vector<float> samples;
    QStringList reference;
};

std::vector<float> readMono16k(const QString &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return {};
    std::vector<float> inter(size_t(info.frames) * info.channels);
    sf_readf_float(f, inter.data(), info.frames);
    sf_close(f);
    if (info.samplerate != kRate)
        return {};
    std::vector<float> out(size_t(info.frames));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = inter[i * info.channels];
    return out;
}

std::vector<Clip> librivoxClips()
{
    std::vector<Clip> clips;
    QFile f(kLibrivoxDir + QStringLiteral("/transcription"));
    if (!f.open(QIODevice::ReadOnly))
        return clips;
    static const QRegularExpression line(QStringLiteral("^<s> (.*) </s> \\((.*)\\)$"));
    for (const QString &l : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const auto m = line.match(l.trimmed());
        if (!m.hasMatch())
            continue;
        Clip c;
        c.name = m.captured(2);
        c.samples = readMono16k(kLibrivoxDir + u'/' + c.name + QStringLiteral(".wav"));
        c.reference = vox::test::normalizedWords(m.captured(1));
        if (!c.samples.empty())
            clips.push_back(std::move(c));
    }
    return clips;
}

const char *kLecture[] = {
    "Today we begin our discussion of the water cycle and its role in the climate.",
    "Water evaporates from the surface of the ocean when the sun warms it.",
    "The vapour rises into the atmosphere and cools as it climbs.",
    "When it cools enough it condenses into small drops that form clouds.",
    "These drops grow larger until they fall back to the ground as rain or snow.",
    "Some of the water flows into rivers and returns to the sea.",
    "The rest soaks into the soil and becomes ground water.",
    "Plants take up this water through their roots and release it through their leaves.",
    "Scientists measure each of these flows to understand how the climate is changing.",
    "For next week please read the second chapter of the textbook.",
};

// espeak-ng sentences at 16 kHz, a lower level, a lead-in and faint noise
// between them. Empty when espeak-ng or sox is missing.
Clip espeakLecture(const QString &dir, int repeats)
{
    Clip c;
    c.name = QStringLiteral("espeak-ng lecture");
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
        return c;
    quint32 seed = 5;
    vox::test::appendPinkNoise(c.samples, 1.0, seed);
    int k = 0;
    for (int r = 0; r < repeats; ++r) {
        for (const char *sentence : kLecture) {
            const QString raw = dir + QStringLiteral("/s%1.wav").arg(k);
            const QString res = dir + QStringLiteral("/r%1.wav").arg(k++);
            if (QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-s"), QStringLiteral("150"),
                                                                QStringLiteral("-w"), raw, QString::fromUtf8(sentence)})
                    != 0
                || QProcess::execute(QStringLiteral("sox"),
                                     {QStringLiteral("-v"), QStringLiteral("0.5"), raw, QStringLiteral("-r"),
                                      QStringLiteral("16000"), res})
                    != 0)
                return Clip{};
            std::vector<float> s = readMono16k(res);
            for (float &x : s)
                x *= 0.6f; // 0.3 of espeak-ng's level in all
            quint32 nseed = seed;
            std::vector<float> noise;
            vox::test::appendPinkNoise(noise, double(s.size()) / kRate, nseed, 0.0008);
            for (size_t i = 0; i < s.size() && i < noise.size(); ++i)
                s[i] += noise[i];
            seed = nseed;
            c.samples.insert(c.samples.end(), s.begin(), s.end());
            vox::test::appendPinkNoise(c.samples, 1.0, seed);
            c.reference += vox::test::normalizedWords(QString::fromUtf8(sentence));
        }
    }
    return c;
}

struct Outcome {
    QString text;
    int errors = 0;
    int refWords = 0;
    double finalLatency = 0; // wall seconds from endAudio to the final result
    int partials = 0;
};

Outcome run(PocketSphinxRecognizer &rec, const Clip &clip)
{
    std::mutex m;
    std::condition_variable cv;
    std::optional<RecognitionResult> final;
    bool failed = false;
    int partials = 0;
    auto req = rec.makeRequest({});
    auto task = rec.startTask(req, [&](std::optional<RecognitionResult> r, std::optional<RecognitionError> e) {
        std::lock_guard lk(m);
        if (e)
            failed = true;
        if (r && r->isFinal)
            final = r;
        else if (r)
            ++partials;
        cv.notify_all();
    });
    constexpr quint32 chunk = 1365;
    for (size_t at = 0; at < clip.samples.size(); at += chunk) {
        while (!rec.waitForRoom(1.0, 100)) {
        }
        const quint32 n = quint32(std::min<size_t>(chunk, clip.samples.size() - at));
        req->append(PcmBuffer::fromInterleaved(PcmFormat::target(), clip.samples.data() + at, n));
    }
    rec.waitUntilIdle(600000);
    const auto t0 = std::chrono::steady_clock::now();
    req->endAudio();
    std::unique_lock lk(m);
    cv.wait(lk, [&] { return final || failed; });
    Outcome o;
    o.finalLatency = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    o.partials = partials;
    if (final) {
        o.text = final->bestTranscription.formattedString;
        o.errors = vox::test::editDistance(clip.reference, vox::test::normalizedWords(o.text));
    } else {
        o.errors = int(clip.reference.size());
    }
    o.refWords = int(clip.reference.size());
    return o;
}

long peakRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int runConfig(bool multi)
{
    PocketSphinxOptions o;
    o.fwdflat = multi;
    const char *label = multi ? "multi-pass (-fwdflat yes, -bestpath yes)" : "single-pass (-fwdflat no, -bestpath no)";
    std::printf("\n=== %s ===\n", label);
    const long rssBefore = peakRssKb();
    auto rec = makePocketSphinxRecognizer(o);
    if (!rec->waitUntilLoaded(120000)) {
        std::printf("decoder unavailable (model missing?)\n");
        return 1;
    }
    std::printf("decoder load: %.2f s, peak memory after load %.0f MB (+%.0f MB)\n", rec->stats().loadSeconds,
                peakRssKb() / 1024.0, (peakRssKb() - rssBefore) / 1024.0);

    std::vector<Clip> sets;
    const std::vector<Clip> libri = librivoxClips();
    quint32 seed = 9;
    // Each recording as its own request, with a lead-in and a tail.
    for (const Clip &c : libri) {
        Clip x;
        x.name = c.name;
        vox::test::appendPinkNoise(x.samples, 0.5, seed);
        x.samples.insert(x.samples.end(), c.samples.begin(), c.samples.end());
        vox::test::appendPinkNoise(x.samples, 1.0, seed);
        x.reference = c.reference;
        sets.push_back(std::move(x));
    }
    // All five as one request with pauses: five utterance ends.
    if (!libri.empty()) {
        Clip lecture;
        lecture.name = QStringLiteral("librivox as one lecture");
        vox::test::appendPinkNoise(lecture.samples, 0.5, seed);
        for (const Clip &c : libri) {
            lecture.samples.insert(lecture.samples.end(), c.samples.begin(), c.samples.end());
            vox::test::appendPinkNoise(lecture.samples, 1.5, seed);
            lecture.reference += c.reference;
        }
        sets.push_back(std::move(lecture));
    }
    QTemporaryDir tmp;
    Clip espeak = espeakLecture(tmp.path(), 3);
    if (!espeak.samples.empty())
        sets.push_back(std::move(espeak));
    else
        std::printf("espeak-ng or sox missing: no espeak-ng lecture\n");

    struct Group {
        const char *title = "";
        int errors = 0, words = 0;
        double audio = 0, cpu = 0, maxLatency = 0;
        PocketSphinxRecognizer::Stats before, after;
    };
    Group groups[3];
    groups[0].title = "librivox, one request per recording";
    groups[1].title = "librivox as one lecture";
    groups[2].title = "espeak-ng lecture";
    for (const Clip &c : sets) {
        const int g = c.name.startsWith(QStringLiteral("librivox as")) ? 1 : c.name.startsWith(u'e') ? 2 : 0;
        Group &G = groups[g];
        const auto s0 = rec->stats();
        if (G.words == 0)
            G.before = s0;
        const Outcome out = run(*rec, c);
        const auto s1 = rec->stats();
        G.after = s1;
        G.errors += out.errors;
        G.words += out.refWords;
        G.audio += double(c.samples.size()) / kRate;
        G.cpu += s1.decodeCpuSeconds - s0.decodeCpuSeconds;
        G.maxLatency = std::max(G.maxLatency, out.finalLatency);
        std::printf("  %-40s %5.1f s audio  WER %5.1f%%  RTF %.3f  final after endAudio %.3f s  partials %d\n",
                    c.name.toUtf8().constData(), double(c.samples.size()) / kRate,
                    100.0 * out.errors / std::max(1, out.refWords), (s1.decodeCpuSeconds - s0.decodeCpuSeconds)
                        / (double(c.samples.size()) / kRate),
                    out.finalLatency, out.partials);
        if (g != 0)
            std::printf("    \"%s\"\n", out.text.left(300).toUtf8().constData());
    }
    std::printf("\n");
    for (const Group &G : groups) {
        if (G.words == 0)
            continue;
        const qint64 ends = G.after.utteranceEnds - G.before.utteranceEnds;
        const double endCpu = G.after.utteranceEndCpuSeconds - G.before.utteranceEndCpuSeconds;
        std::printf("%-38s audio %6.1f s  WER %5.1f%% (%d/%d)  RTF %.3f (decoder CPU / audio)\n", G.title, G.audio,
                    100.0 * G.errors / G.words, G.errors, G.words, G.cpu / G.audio);
        std::printf("%-38s utterance ends %lld, mean cost %.1f ms, finals rewritten vs last partial %lld\n", "",
                    (long long)ends, ends ? 1000.0 * endCpu / double(ends) : 0.0,
                    (long long)(G.after.finalsRewritten - G.before.finalsRewritten));
    }
    const auto st = rec->stats();
    std::printf("all: utterance end cost max %.1f ms, cuts %lld; peak memory %.0f MB\n",
                1000.0 * st.maxUtteranceEndCpuSeconds, (long long)st.utteranceCuts, peakRssKb() / 1024.0);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("VOXLEAF_DIAG_LOG"))
        qputenv("VOXLEAF_DIAG_LOG", QFile::encodeName(QDir::temp().filePath(QStringLiteral("bench_recognizer_diag.log"))));
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (which == QLatin1String("single"))
        return runConfig(false);
    if (which == QLatin1String("multi"))
        return runConfig(true);
    int rc = 0;
    for (const char *cfg : {"single", "multi"}) {
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/proc/self/exe", argv[0], cfg, static_cast<char *>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        rc |= WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    return rc;
}
