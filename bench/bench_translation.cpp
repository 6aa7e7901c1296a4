// Live translation costs:
//  - hand-over → landing: from submitChunks to the entry being appended, with
//    a local translation server on 127.0.0.1 that answers at once (HTTP,
//    JSON, memo, cache write, Traditional→Simplified), and with an in-process
//    session that answers at once (the pipeline's own work only);
//  - a cache write with 2000 keys in the store, and the write that trims.
// Figures are printed by Google Benchmark; nothing is asserted.
#include "platform/Settings.h"
#include "platform/Time.h"
#include "translation/LocalTranslationSession.h"
#include "translation/TranslationCache.h"
#include "translation/TranslationPipeline.h"

#include "support/HttpTestServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace vox;

namespace {

struct NullHost : PipelineHost {
    void raiseNotice(PipelineNotice, const QString &) override {}
    void settleNotice(PipelineNotice) override {}
    double requestStartRecordingTime() const override { return 0; }
    void clearPendingSince() override {}
    void refreshRecognizedText() override {}
    void logRecognizedTextBeforeClear(const QString &) override {}
};

// Answers on the next turn of the event loop, like a reply would.
class InstantSession : public TranslationSession {
public:
    void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) override
    {
        QStringList out;
        for (const auto &t : texts)
            out.append(QStringLiteral("译文：") + t);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [out, done = std::move(done)] { done(out); }, Qt::QueuedConnection);
    }
};

struct TempStore {
    QTemporaryDir dir;
    std::unique_ptr<Settings> store;
    explicit TempStore(int cacheEntries = 0)
    {
        const QString path = dir.filePath(QStringLiteral("settings.ini"));
        if (cacheEntries > 0) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            QByteArray ini = "[General]\n";
            for (int i = 0; i < cacheEntries; ++i) {
                const QString k = TranslationCache::key(TranslationCache::glossaryFingerprint({}),
                                                        QStringLiteral("cached sentence %1").arg(i, 5, 10, QLatin1Char('0')));
                ini += Settings::encodeKey(k).toLatin1() + "=v" + QByteArray::number(i) + "\n";
            }
            f.write(ini);
        }
        store = std::make_unique<Settings>(path);
        setSettings(store.get());
    }
    ~TempStore() { setSettings(nullptr); }
};

void runHandOver(benchmark::State &state, std::shared_ptr<TranslationSession> session)
{
    TempStore store;
    NullHost host;
    TranslationPipeline pipeline(host);
    pipeline.setTranslationSession(std::move(session));
    int n = 0;
    for (auto _ : state) {
        const size_t before = pipeline.translationEntries().size();
        // A new sentence every time: no cache or memo hit.
        pipeline.submitChunks({RecognitionChunk{QStringLiteral("Sentence number %1 of the lecture.").arg(n++), 0.5}},
                              QStringLiteral("停顿"));
        while (pipeline.translationEntries().size() == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    state.counters["entries"] = double(pipeline.translationEntries().size());
}

void BM_HandOverToLanding_LocalServer(benchmark::State &state)
{
    test::HttpTestServer server;
    server.installLibreTranslate({QStringLiteral("zh")}, [](const QString &s) { return QStringLiteral("譯文：") + s; });
    runHandOver(state, std::make_shared<LocalTranslationSession>(server.url(), QStringLiteral("zh")));
}
// Stay below 2000 sentences so no trim happens inside the figure.
BENCHMARK(BM_HandOverToLanding_LocalServer)->Iterations(500)->Unit(benchmark::kMicrosecond);

void BM_HandOverToLanding_InstantSession(benchmark::State &state)
{
    runHandOver(state, std::make_shared<InstantSession>());
}
BENCHMARK(BM_HandOverToLanding_InstantSession)->Iterations(500)->Unit(benchmark::kMicrosecond);

// One new sentence written with 2000 (then 2001) keys stored; the new key is
// removed again outside the timing so the store stays at 2000.
void BM_CacheWrite_2000Keys(benchmark::State &state)
{
    TempStore store(1999);
    const QString fp = TranslationCache::glossaryFingerprint({});
    int n = 0;
    for (auto _ : state) {
        const QString sentence = QStringLiteral("zz new sentence %1").arg(n++);
        TranslationCache::cacheResults({QStringLiteral("新的译文")}, {sentence}, fp);
        state.PauseTiming();
        store.store->remove(TranslationCache::key(fp, sentence));
        TranslationCache::trimIfNeeded(); // recount
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CacheWrite_2000Keys)->Iterations(50)->Unit(benchmark::kMillisecond);

// The 2001st write: it removes the 1000 smallest keys.
void BM_CacheWrite_Trimming(benchmark::State &state)
{
    const QString fp = TranslationCache::glossaryFingerprint({});
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<TempStore>(2000);
        state.ResumeTiming();
        TranslationCache::cacheResults({QStringLiteral("新的译文")}, {QStringLiteral("zz the 2001st")}, fp);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CacheWrite_Trimming)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
