// The table store: loading 10,000 species with LoadData against reading the same file through
// SQLite's C API, once only stepping and fetching every cell (the floor) and once keeping each
// record as one compact block (like for like); the memory a species record takes against its
// bytes on file; and the post latency (edit one record and save the table to its file) on a
// table of 1,000 records and on one of 100,000. A post should cost the record, not the table,
// so the ratio of the two should stay below 2.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "core/ExtClientDataSet.h"
#include "platform/ClientDataSet.h"
#include "BenchSupport.h"
#include "BenchTables.h"

namespace {

// ---- Loading 10,000 species ----

void BM_LoadData10000Species(benchmark::State& state) {
    benchtables::Species();  // made before the clock runs
    int records = 0;
    for (auto _ : state) {
        records = benchtables::LoadSpecies();
        benchmark::DoNotOptimize(records);
    }
    if (records != benchtables::kSpeciesRecords) state.SkipWithError("not every species was loaded");
}

// The baselines read the same file through SQLite's C API: the field list, then every record in
// file order, as LoadData does.
//
// The floor: every cell stepped to and fetched (texts as their UTF-8 bytes), nothing kept.
// The like-for-like reader: each record kept as one compact block, as the table store keeps
// it: an 8-byte slot per field (numbers, or the place and length of a text) and the texts'
// UTF-8 bytes after them, in one allocation per record.
struct TRecordBlock {
    std::unique_ptr<char[]> bytes;
};

enum class TReadKind { Floor, Blocks };

int ReadWithCApi(const QString& fileName, TReadKind kind, std::vector<TRecordBlock>* blocks) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    sqlite3_stmt* st = nullptr;
    int n = 0;
    sqlite3_prepare_v2(db, "SELECT name, type, size FROM fielddefs ORDER BY pos", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        benchmark::DoNotOptimize(sqlite3_column_text(st, 0));
        benchmark::DoNotOptimize(sqlite3_column_text(st, 1));
        benchmark::DoNotOptimize(sqlite3_column_int(st, 2));
        ++n;
    }
    sqlite3_finalize(st);
    std::string sql = "SELECT rid";
    for (int i = 1; i <= n; ++i) sql += ",f" + std::to_string(i);
    sql += " FROM records ORDER BY rid";
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    int records = 0;
    std::vector<std::uint64_t> slots(size_t(n) + 1);
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++records;
        size_t textBytes = 0;
        for (int col = 0; col <= n; ++col) {
            switch (sqlite3_column_type(st, col)) {
                case SQLITE_INTEGER:
                    slots[size_t(col)] = std::uint64_t(sqlite3_column_int64(st, col));
                    break;
                case SQLITE_FLOAT: {
                    const double v = sqlite3_column_double(st, col);
                    std::memcpy(&slots[size_t(col)], &v, sizeof v);
                    break;
                }
                case SQLITE_TEXT: {
                    benchmark::DoNotOptimize(sqlite3_column_text(st, col));
                    const int bytes = sqlite3_column_bytes(st, col);
                    slots[size_t(col)] = std::uint64_t(textBytes) | (std::uint64_t(bytes) << 32);
                    textBytes += size_t(bytes);
                    break;
                }
                default:
                    slots[size_t(col)] = 0;
                    break;
            }
        }
        if (kind == TReadKind::Floor) {
            benchmark::DoNotOptimize(slots.data());
            continue;
        }
        const size_t slotBytes = slots.size() * sizeof(std::uint64_t);
        TRecordBlock block{std::make_unique<char[]>(slotBytes + textBytes)};
        std::memcpy(block.bytes.get(), slots.data(), slotBytes);
        char* text = block.bytes.get() + slotBytes;
        for (int col = 0; col <= n; ++col)
            if (sqlite3_column_type(st, col) == SQLITE_TEXT) {
                const int bytes = sqlite3_column_bytes(st, col);
                std::memcpy(text, sqlite3_column_text(st, col), size_t(bytes));
                text += bytes;
            }
        blocks->push_back(std::move(block));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return records;
}

void BM_CApiFloor10000Species(benchmark::State& state) {
    const QString fileName = benchtables::Species().fileName;
    int records = 0;
    for (auto _ : state) {
        records = ReadWithCApi(fileName, TReadKind::Floor, nullptr);
        benchmark::DoNotOptimize(records);
    }
    if (records != benchtables::kSpeciesRecords) state.SkipWithError("the file did not read");
}

void BM_CApiBlocks10000Species(benchmark::State& state) {
    const QString fileName = benchtables::Species().fileName;
    int records = 0;
    for (auto _ : state) {
        std::vector<TRecordBlock> blocks;
        blocks.reserve(size_t(benchtables::kSpeciesRecords));
        records = ReadWithCApi(fileName, TReadKind::Blocks, &blocks);
        benchmark::DoNotOptimize(blocks.data());
    }
    if (records != benchtables::kSpeciesRecords) state.SkipWithError("the file did not read");
}

BENCHMARK(BM_LoadData10000Species)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiFloor10000Species)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CApiBlocks10000Species)->Unit(benchmark::kMillisecond);

// The heap a loaded species table keeps (its stored and its visible records), per record.
double BytesPerSpeciesInMemory() {
    const double before = benchsupport::LiveHeapBytes();
    TExtClientDataSet table(nullptr, QStringLiteral("cdsFungi"));
    table.SetDatasetId(QStringLiteral("020"));
    table.SetFilename(benchtables::Species().fileName);
    table.LoadData();
    const double after = benchsupport::LiveHeapBytes();
    return (after - before) / std::max(1, table.RecordCount());
}

double BytesPerSpeciesOnFile() {
    return double(QFileInfo(benchtables::Species().fileName).size()) / benchtables::kSpeciesRecords;
}

// ---- Post and save ----

TFieldDefs Defs() {
    return {{"UKey", TFieldType::ftString, 20},        {"LatinName", TFieldType::ftString, 40},
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
// The processor time of a post and save, without the waits for the disk that dominate it.
double g_smallCpu = 0, g_largeCpu = 0;

double CpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

void BM_PostAndSaveInTurn(benchmark::State& state) {
    TClientDataSet& small = *TableOf(1000).ds;
    TClientDataSet& large = *TableOf(100000).ds;
    using Clock = std::chrono::steady_clock;
    Clock::duration smallTime{}, largeTime{};
    double smallCpu = 0, largeCpu = 0;
    int i = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double c0 = CpuMicroseconds();
        PostOne(small, 1000, i);
        const auto t1 = Clock::now();
        const double c1 = CpuMicroseconds();
        PostOne(large, 100000, i);
        smallTime += t1 - t0;
        largeTime += Clock::now() - t1;
        smallCpu += c1 - c0;
        largeCpu += CpuMicroseconds() - c1;
        ++i;
    }
    g_small = std::chrono::duration<double, std::micro>(smallTime).count() / std::max(1, i);
    g_large = std::chrono::duration<double, std::micro>(largeTime).count() / std::max(1, i);
    g_smallCpu = smallCpu / std::max(1, i);
    g_largeCpu = largeCpu / std::max(1, i);
    state.counters["us_1000"] = g_small;
    state.counters["us_100000"] = g_large;
    state.counters["ratio"] = g_small > 0 ? g_large / g_small : 0;
}
BENCHMARK(BM_PostAndSaveInTurn)->Unit(benchmark::kMicrosecond)->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    // The heap is not handed back between passes, so that neither side of a comparison pays for
    // growing it again after the other has freed its memory.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QCoreApplication app(argc, argv);
    benchsupport::RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_LoadData10000Species") && t.count("BM_CApiFloor10000Species") &&
        t.count("BM_CApiBlocks10000Species")) {
        const double load = t.at("BM_LoadData10000Species");
        const double floor = t.at("BM_CApiFloor10000Species");
        const double blocks = t.at("BM_CApiBlocks10000Species");
        std::printf("\nLoadData of %d species:                        %8.2f ms\n", benchtables::kSpeciesRecords, load);
        std::printf("C API, every cell stepped and fetched (floor): %8.2f ms\n", floor);
        std::printf("C API, one compact block per record:           %8.2f ms\n", blocks);
        std::printf("ratio LoadData / floor:                        %8.2f (goal 1.3 at most)\n", load / floor);
        std::printf("ratio LoadData / one block per record:         %8.2f\n", load / blocks);
    }
    if (t.count("BM_LoadData10000Species")) {
        const double memory = BytesPerSpeciesInMemory();
        const double file = BytesPerSpeciesOnFile();
        std::printf("\nA species record: %.0f bytes in memory, %.0f bytes on file, ratio %.2f (goal 5 at most)\n",
                    memory, file, memory / file);
    }
    if (g_small > 0) {
        std::printf("\nPost + save, 1,000 records:   %.1f us (%.1f us processor time)\n", g_small, g_smallCpu);
        std::printf("Post + save, 100,000 records: %.1f us (%.1f us processor time)\n", g_large, g_largeCpu);
        std::printf("Ratio 100,000 / 1,000: %.2f (should stay below 2)\n", g_large / g_small);
    }
    benchmark::Shutdown();
    return 0;
}
