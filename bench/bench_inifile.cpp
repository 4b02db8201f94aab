// Opening a settings file full of repeated sections (a file that grew by some old fault):
// 1, 2 and 4 MB of duplicate blocks against a file of the same size with distinct
// sections, and reading the file's bytes alone as the floor. Removing the duplicates is one
// pass, so the duplicate files open in time proportional to their size.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <string>

#include "core/FRIniFile.h"

namespace {

QTemporaryDir& Dir() {
    static QTemporaryDir dir;
    return dir;
}

// A file of about Megabytes MB; Distinct: every block a section of its own, else a few
// names over and over.
QString MakeFile(int megabytes, bool distinct) {
    const QString name = Dir().filePath(QStringLiteral("%1%2.ini").arg(megabytes).arg(distinct ? "d" : "r"));
    if (QFile::exists(name)) return name;
    QByteArray bytes;
    const qsizetype size = qsizetype(megabytes) * 1024 * 1024;
    for (int i = 0; bytes.size() < size; ++i) {
        bytes += "[Section" + QByteArray::number(distinct ? i : i % 5) + "]\nKey=" + QByteArray::number(i) +
            "\nOther=value\n\n";
    }
    QFile f(name);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return name;
}

void OpenFile(benchmark::State& state, bool distinct) {
    const QString file = MakeFile(int(state.range(0)), distinct);
    for (auto _ : state) {
        TFRIniFile store;
        store.SetFilename(file);
        store.Open();
        benchmark::DoNotOptimize(store.IsOpen());
    }
}

void BM_OpenDuplicates(benchmark::State& state) { OpenFile(state, false); }
void BM_OpenDistinct(benchmark::State& state) { OpenFile(state, true); }
void BM_ReadBytes(benchmark::State& state) {
    const QString file = MakeFile(int(state.range(0)), false);
    for (auto _ : state) {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(f.readAll().size());
    }
}

BENCHMARK(BM_OpenDuplicates)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDistinct)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBytes)->Arg(4)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;  // ms per iteration
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    const auto has = [&](const char* name) { return t.count(name) != 0; };
    if (has("BM_OpenDuplicates/1") && has("BM_OpenDuplicates/4"))
        std::printf("\nduplicates 4 MB / 1 MB:        %8.2f  (linear: about 4)\n",
                    t.at("BM_OpenDuplicates/4") / t.at("BM_OpenDuplicates/1"));
    if (has("BM_OpenDuplicates/4") && has("BM_OpenDistinct/4"))
        std::printf("duplicates / distinct at 4 MB: %8.2f\n", t.at("BM_OpenDuplicates/4") / t.at("BM_OpenDistinct/4"));
    if (has("BM_OpenDuplicates/4") && has("BM_ReadBytes/4"))
        std::printf("duplicates / reading bytes:    %8.2f  (4 MB opens in %.1f ms)\n",
                    t.at("BM_OpenDuplicates/4") / t.at("BM_ReadBytes/4"), t.at("BM_OpenDuplicates/4"));
    benchmark::Shutdown();
    return 0;
}
