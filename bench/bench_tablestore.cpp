// Post latency of the table store: edit one record and save the table to its file, on a
// table of 1,000 records and on one of 100,000. A post should cost the record, not the
// table, so the ratio of the two should stay below 2.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>

#include "platform/ClientDataSet.h"

namespace {

TFieldDefs Defs() {
    return {{"UKey", TFieldType::ftString, 20},       {"LatinName", TFieldType::ftString, 40},
            {"SwedishName", TFieldType::ftString, 40}, {"PicCount", TFieldType::ftInteger, 0},
            {"HasPic", TFieldType::ftBoolean, 0},      {"FindDate", TFieldType::ftDate, 0},
            {"NoteText", TFieldType::ftString, 255},   {"MeterPerPixelX", TFieldType::ftFloat, 0},
            {"CreatedBy", TFieldType::ftString, 20},   {"Timestamp", TFieldType::ftString, 20}};
}

QString Key(int i) { return QStringLiteral("020BENCH%1").arg(i, 10, 10, QLatin1Char('0')); }

// One table file per size, made once and opened by a dataset that stays open.
struct Table {
    QTemporaryDir dir;
    std::unique_ptr<TClientDataSet> ds;
};

Table& TableOf(int records) {
    static std::map<int, std::unique_ptr<Table>> tables;
    auto& slot = tables[records];
    if (slot) return *slot;
    slot = std::make_unique<Table>();
    const QString file = slot->dir.filePath(QStringLiteral("Fungi.dat"));
    {
        TClientDataSet maker;
        maker.SetFieldDefs(Defs());
        maker.SetIndexFieldNames(QStringLiteral("SwedishName;LatinName"));
        maker.CreateDataSet();
        for (int i = 0; i < records; ++i) {
            maker.Append();
            maker.Fields(0)->SetAsString(Key(i));
            maker.Fields(1)->SetAsString(QStringLiteral("Cantharellus cibarius %1").arg(i));
            maker.Fields(2)->SetAsString(QStringLiteral("Kantarell %1").arg((i * 7919) % records));
            maker.Fields(3)->SetAsInteger(i % 17);
            maker.Fields(4)->SetAsBoolean(i % 2 == 0);
            maker.Fields(5)->SetAsDate(QDate(2000, 1, 1).addDays(i % 9000));
            maker.Fields(6)->SetAsString(QStringLiteral("Växer i barrskog och blandskog, ofta i mossa. %1").arg(i));
            maker.Fields(7)->SetAsFloat(2.5 + i);
            maker.Fields(8)->SetAsString(QStringLiteral("060USER"));
            maker.Fields(9)->SetAsString(QStringLiteral("AAAAAAAAAAAAAAA"));
            maker.Post();
        }
        maker.SaveToFile(file);
    }
    slot->ds = std::make_unique<TClientDataSet>();
    slot->ds->SetFileName(file);
    // Ordered as a visible table is: each post finds the record's place in the order.
    slot->ds->SetIndexFieldNames(QStringLiteral("SwedishName;LatinName"));
    slot->ds->Open();
    return *slot;
}

void BM_PostAndSave(benchmark::State& state) {
    const int records = int(state.range(0));
    TClientDataSet& ds = *TableOf(records).ds;
    int i = 0;
    for (auto _ : state) {
        const int target = int((i * 2654435761u) % unsigned(records));
        if (!ds.Locate(QStringLiteral("UKey"), Key(target))) state.SkipWithError("record not found");
        ds.Edit();
        ds.Fields(2)->SetAsString(QStringLiteral("Kantarell %1").arg(target + i));
        ds.Fields(3)->SetAsInteger(i);
        ds.Post();
        ds.SaveToFile();
        ++i;
    }
    state.counters["records"] = records;
}
BENCHMARK(BM_PostAndSave)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Keeps the mean time per post of each size to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<long, double> perPost;  // records -> microseconds
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const auto it = run.counters.find("records");
            if (it == run.counters.end()) continue;
            perPost[long(it->second.value)] = run.GetAdjustedRealTime();
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.perPost.count(1000) && reporter.perPost.count(100000)) {
        const double small = reporter.perPost[1000];
        const double large = reporter.perPost[100000];
        std::printf("\nPost + save, 1,000 records:   %.1f us\n", small);
        std::printf("Post + save, 100,000 records: %.1f us\n", large);
        std::printf("Ratio 100,000 / 1,000: %.2f (should stay below 2)\n", large / small);
    }
    benchmark::Shutdown();
    return 0;
}
