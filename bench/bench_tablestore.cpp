// Post latency of the table store: edit one record and save the table to its file, on a
// table of 1,000 records and on one of 100,000. A post should cost the record, not the
// table, so the ratio of the two should stay below 2.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
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

// Edits one record chosen by the step number and saves the table to its file.
void PostOne(TClientDataSet& ds, int records, int step) {
    const int target = int((unsigned(step) * 2654435761u) % unsigned(records));
    if (!ds.Locate(QStringLiteral("UKey"), Key(target))) return;
    ds.Edit();
    ds.Fields(2)->SetAsString(QStringLiteral("Kantarell %1").arg(target + step));
    ds.Fields(3)->SetAsInteger(step);
    ds.Post();
    ds.SaveToFile();
}

void BM_PostAndSave(benchmark::State& state) {
    const int records = int(state.range(0));
    TClientDataSet& ds = *TableOf(records).ds;
    int i = 0;
    for (auto _ : state) PostOne(ds, records, i++);
}
BENCHMARK(BM_PostAndSave)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The two sizes posted in turn, so that both meet the same disk conditions (the sync
// to disk dominates a post and varies with the machine's load): the ratio comes from here.
double g_small = 0, g_large = 0;
void BM_PostAndSaveInTurn(benchmark::State& state) {
    TClientDataSet& small = *TableOf(1000).ds;
    TClientDataSet& large = *TableOf(100000).ds;
    using Clock = std::chrono::steady_clock;
    Clock::duration smallTime{}, largeTime{};
    int i = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        PostOne(small, 1000, i);
        const auto t1 = Clock::now();
        PostOne(large, 100000, i);
        smallTime += t1 - t0;
        largeTime += Clock::now() - t1;
        ++i;
    }
    g_small = std::chrono::duration<double, std::micro>(smallTime).count() / std::max(1, i);
    g_large = std::chrono::duration<double, std::micro>(largeTime).count() / std::max(1, i);
    state.counters["us_1000"] = g_small;
    state.counters["us_100000"] = g_large;
    state.counters["ratio"] = g_small > 0 ? g_large / g_small : 0;
}
BENCHMARK(BM_PostAndSaveInTurn)->Unit(benchmark::kMicrosecond)->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (g_small > 0) {
        std::printf("\nPost + save, 1,000 records:   %.1f us\n", g_small);
        std::printf("Post + save, 100,000 records: %.1f us\n", g_large);
        std::printf("Ratio 100,000 / 1,000: %.2f (should stay below 2)\n", g_large / g_small);
    }
    benchmark::Shutdown();
    return 0;
}
