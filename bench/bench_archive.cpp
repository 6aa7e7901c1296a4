// What opening the history window costs: CourseArchive::loadAll and search
// over 500 archived courses of 1,000 entries each on a temporary Desktop; and
// what keeping a running course's file current costs.
#include "course/CourseArchive.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktopServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace vox;

namespace {

constexpr int kCourses = 500;
constexpr int kEntries = 1000;

struct Archive {
    QTemporaryDir dir;
    qint64 bytes = 0;

    Archive()
    {
        Platform p = platform();
        p.desktop = std::make_shared<fake::FakeDesktopServices>(dir.path());
        setPlatform(p);
        const Date first = Date::fromUnix(1'700'000'000);
        QElapsedTimer t;
        t.start();
        for (int c = 0; c < kCourses; ++c) {
            const Date start = first.addSeconds(c * 86400.0);
            std::vector<TranslationEntry> entries;
            entries.reserve(kEntries);
            for (int i = 0; i < kEntries; ++i)
                entries.emplace_back(start.addSeconds(i * 3.1),
                                     QStringLiteral("In lecture %1 the professor explained sentence number %2 about cellular respiration.")
                                         .arg(c)
                                         .arg(i),
                                     QStringLiteral("在第 %1 讲中，教授讲解了关于细胞呼吸的第 %2 句话。").arg(c).arg(i), i * 3.1);
            CourseArchive::save(CourseSession(start, start.addSeconds(3600), std::move(entries), std::nullopt));
        }
        for (const QFileInfo &fi : QDir(*CourseArchive::folder()).entryInfoList(QDir::Files))
            bytes += fi.size();
        std::printf("archive: %d courses x %d entries, %.1f MB, written in %.2f s\n", kCourses, kEntries,
                    bytes / 1048576.0, t.elapsed() / 1000.0);
    }
};

Archive &archive()
{
    static Archive a;
    return a;
}

void BM_LoadAll(benchmark::State &state)
{
    archive();
    size_t n = 0;
    for (auto _ : state) {
        auto all = CourseArchive::loadAll();
        n = all.size();
        benchmark::DoNotOptimize(all);
    }
    state.counters["courses"] = double(n);
    state.counters["MB/s"] = benchmark::Counter(double(archive().bytes) / 1048576.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Search(benchmark::State &state, const QString &keyword)
{
    const auto all = CourseArchive::loadAll();
    size_t hits = 0;
    for (auto _ : state) {
        auto found = CourseArchive::search(all, keyword);
        hits = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["hits"] = double(hits);
}
// No course matches: every entry of every course is compared.
BENCHMARK_CAPTURE(BM_Search, english_miss, QStringLiteral("MITOCHONDRIA"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, chinese_miss, QStringLiteral("线粒体"))->Unit(benchmark::kMillisecond);
// Found in the last entry of one course only.
BENCHMARK_CAPTURE(BM_Search, english_one_late_hit, QStringLiteral("Lecture 499 the professor explained sentence number 999 "))
    ->Unit(benchmark::kMillisecond);
// Every course matches at its first entry.
BENCHMARK_CAPTURE(BM_Search, chinese_early_hit, QStringLiteral("细胞呼吸"))->Unit(benchmark::kMillisecond);

// What keeping a running course on disk costs: one rewrite of the course
// file (encoding, an atomic write and its sync) with N sentences kept. The
// file is rewritten at most once a second while sentences land.
void BM_RunningCourseRewrite(benchmark::State &state)
{
    QTemporaryDir dir;
    const Date start = Date::fromUnix(1'800'000'000);
    CourseSession course(start, start, {}, std::nullopt);
    for (int i = 0; i < state.range(0); ++i)
        course.entries.emplace_back(start.addSeconds(i * 3.1),
                                    QStringLiteral("The professor explained sentence number %1 about cellular respiration.").arg(i),
                                    QStringLiteral("教授讲解了关于细胞呼吸的第 %1 句话。").arg(i), i * 3.1);
    course.inProgress = true;
    course.archivePath = dir.filePath(QStringLiteral("course.json"));
    for (auto _ : state) {
        auto saved = CourseArchive::save(course);
        if (!saved)
            state.SkipWithError("write failed");
    }
    state.counters["entries"] = double(state.range(0));
}
BENCHMARK(BM_RunningCourseRewrite)->Arg(400)->Arg(1300)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    archive();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
