// The cost of one landed sentence reaching the windows with N sentences kept:
// the pipeline appends it (record-only, so no translation work is counted),
// the transcript models update, and the main window's list and the floating
// subtitle window read what their delegates show. Figures are printed by
// Google Benchmark; nothing is asserted.
#include "platform/fake/FakeDesktopServices.h"
#include "platform/fake/FakePlatform.h"
#include "ui/AppController.h"

#include "support/TestEnv.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace vox;

namespace {

// What the two windows read after a sentence landed: the roles of every row
// that came or changed, as their delegates do.
struct Consumers {
    explicit Consumers(AppController &app)
    {
        watch(app.recentTranslations());
        watch(app.floatingSubtitle()->entries());
    }
    void watch(QAbstractItemModel *m)
    {
        const QList<int> roles = m->roleNames().keys();
        auto read = [this, m, roles](int first, int last) {
            for (int r = first; r <= last; ++r)
                for (int role : roles)
                    benchmark::DoNotOptimize(m->index(r, 0).data(role));
            ++reads;
        };
        QObject::connect(m, &QAbstractItemModel::rowsInserted, m,
                         [read](const QModelIndex &, int first, int last) { read(first, last); });
        QObject::connect(m, &QAbstractItemModel::dataChanged, m,
                         [read](const QModelIndex &tl, const QModelIndex &br) { read(tl.row(), br.row()); });
    }
    long reads = 0;
};

void BM_LandedSentenceToWindows(benchmark::State &state)
{
    test::ScopedSettings store;
    test::ScopedVirtualTime time;
    QTemporaryDir dir;
    {
        fake::FakePlatform fakes;
        fakes.install();
        fake::FakeDesktopServices desktop(dir.path(), dir.path(), dir.path());
        AppModels models;
        models.engine = std::make_unique<SpeechEngine>(fakes.platform());
        models.deviceManager = std::make_unique<AudioDeviceManager>(fakes.platform());
        models.permissions = std::make_unique<PermissionManager>(fakes.platform());
        models.glossary = std::make_unique<GlossaryManager>();
        AppController app(std::move(models), &desktop);
        TranslationPipeline &pipeline = app.engine()->pipeline();
        pipeline.setRecordOnly(true);
        int n = 0;
        auto landOne = [&] {
            pipeline.submitChunks({RecognitionChunk{QStringLiteral("Sentence number %1 of the lecture.").arg(n++), 0.5}},
                                  QStringLiteral("停顿"));
            time->advance(0.5); // its English leaves the live text
        };
        for (int i = 0; i < state.range(0); ++i)
            landOne();
        Consumers consumers(app); // reads counts both windows
        for (auto _ : state)
            landOne();
        state.counters["kept"] = double(app.engine()->translationEntries().size());
        state.counters["reads"] = double(consumers.reads) / double(state.iterations());
    }
}
BENCHMARK(BM_LandedSentenceToWindows)->Arg(100)->Arg(1000)->Arg(10000)->Iterations(300)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("VOXLEAF_DIAG_LOG"))
        qputenv("VOXLEAF_DIAG_LOG", "/dev/null");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
