// Cost of a table load through a selection: LoadData spends, besides copying the records it
// keeps, one Match per stored record. Measured here over 10,000 in-memory records shaped like
// the species table, with the selection the quick selection builds when every option is set,
// against SQLite running the same condition as a WHERE clause over the same records.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QStringList>
#include <QVariant>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "core/ExtClientDataSet.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "BenchSupport.h"
#include "BenchTables.h"

namespace {

constexpr int kRecords = benchtables::kSpeciesRecords;
using benchtables::SpeciesColumns;
using benchtables::SpeciesRows;

// An adapter over one row at a time, as the table class's adapter over its internal cursor.
class RowRecord : public TSelRecord {
public:
    explicit RowRecord(quintptr layoutId) : m_layoutId(layoutId) {}
    void SetRow(const QVariantList* row) { m_row = row; }
    int FieldIndex(const QString& name) const override {
        const auto& columns = SpeciesColumns();
        for (int i = 0; i < int(columns.size()); ++i)
            if (name.compare(QLatin1String(columns[size_t(i)].name), Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    TFieldType FieldType(int index) const override { return SpeciesColumns()[size_t(index)].type; }
    QVariant FieldValue(int index) const override { return (*m_row)[index]; }
    quintptr LayoutId() const override { return m_layoutId; }

private:
    const QVariantList* m_row = nullptr;
    quintptr m_layoutId;
};

// Every quick-selection option set: complete, Swedish name, edible, picture, two regions,
// two months, one habitat, a group.
const QStringList kSelection{
    "(",
    "Str(FungiData = \"CPLD\")",
    "AND Str(SwedishName <> \"\")",
    "AND Num(FoodValue1 >= 3)",
    "AND Num(PicCount > 0)",
    "AND (",
    "Pos(Occurence,1 > 0)",
    "OR Pos(Occurence,2 > 0)",
    ")",
    "AND (",
    "Pos(Season,8 > 0)",
    "OR Pos(Season,9 > 0)",
    ")",
    "AND (",
    "Pos(Habitat,3 > 0)",
    ")",
    "AND Str(FungiGroup = \"Soppar\")",
    ")",
};

// The same condition in SQL; a position beyond the text gives NULL, which is false as above.
const char* const kWhere =
    "SELECT rowid FROM Fungi WHERE FungiData = 'CPLD' AND SwedishName <> '' AND FoodValue1 >= 3 AND PicCount > 0"
    " AND (unicode(substr(Occurence,1,1)) - 48 > 0 OR unicode(substr(Occurence,2,1)) - 48 > 0)"
    " AND (unicode(substr(Season,8,1)) - 48 > 0 OR unicode(substr(Season,9,1)) - 48 > 0)"
    " AND (unicode(substr(Habitat,3,1)) - 48 > 0)"
    " AND FungiGroup = 'Soppar'";

int MatchAll(quintptr layoutId) {
    // LoadData prepares the selection once per load.
    const TSelExpression sel(kSelection);
    RowRecord record(layoutId);
    int matched = 0;
    for (const QVariantList& row : SpeciesRows()) {
        record.SetRow(&row);
        matched += sel.Match(record) ? 1 : 0;
    }
    return matched;
}

struct Database {
    sqlite3* db = nullptr;
    Database() {
        sqlite3_open(":memory:", &db);
        const auto& columns = SpeciesColumns();
        std::string create = "CREATE TABLE Fungi (";
        for (size_t i = 0; i < columns.size(); ++i) {
            create += (i ? ", " : "") + std::string(columns[i].name);
            create += columns[i].type == TFieldType::ftString ? " TEXT" : " INTEGER";
        }
        create += ")";
        sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        std::string insert = "INSERT INTO Fungi VALUES (";
        for (size_t i = 0; i < columns.size(); ++i) insert += i ? ", ?" : "?";
        insert += ")";
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, insert.c_str(), -1, &stmt, nullptr);
        for (const QVariantList& row : SpeciesRows()) {
            for (int i = 0; i < int(columns.size()); ++i) {
                const QVariant& v = row[i];
                if (columns[size_t(i)].type == TFieldType::ftString) {
                    const QByteArray utf8 = v.toString().toUtf8();
                    sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_bind_int(stmt, i + 1, v.toInt());
                }
            }
            sqlite3_step(stmt);
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    ~Database() { sqlite3_close(db); }
};

int QueryAll(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kWhere, -1, &stmt, nullptr);
    int matched = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) ++matched;
    sqlite3_finalize(stmt);
    return matched;
}

void BM_SelMatch(benchmark::State& state) {
    static quintptr load = 0;
    int matched = 0;
    for (auto _ : state) {
        // A fresh layout id per load, as the table class gives.
        matched = MatchAll(++load);
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = matched;
}

void BM_SelMatchFieldLookupPerRecord(benchmark::State& state) {
    int matched = 0;
    for (auto _ : state) {
        matched = MatchAll(0);
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = matched;
}

void BM_SqliteWhere(benchmark::State& state) {
    static Database database;
    const int expected = MatchAll(0);
    int matched = 0;
    for (auto _ : state) {
        matched = QueryAll(database.db);
        benchmark::DoNotOptimize(matched);
    }
    if (matched != expected) state.SkipWithError("SQLite and the selection disagree");
    state.counters["matched"] = matched;
}

// The same records as a species table file with the species table's full field list, loaded by
// the table class: LoadData with the selection above, and LoadData of all records.
using benchtables::LoadSpecies;

void BM_LoadDataSel(benchmark::State& state) {
    benchtables::Species();  // made before the clock runs
    int matched = 0;
    for (auto _ : state) {
        matched = LoadSpecies(kSelection);
        benchmark::DoNotOptimize(matched);
    }
    if (matched != MatchAll(0)) state.SkipWithError("LoadData and the selection disagree");
    state.counters["matched"] = matched;
}

void BM_LoadDataAll(benchmark::State& state) {
    benchtables::Species();
    int loaded = 0;
    for (auto _ : state) {
        loaded = LoadSpecies({});
        benchmark::DoNotOptimize(loaded);
    }
    state.counters["records"] = loaded;
}

BENCHMARK(BM_SelMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDataSel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDataAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelMatchFieldLookupPerRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteWhere)->Unit(benchmark::kMillisecond);

using benchsupport::RatioReporter;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_SqliteWhere") && t.count("BM_SelMatch")) {
        const double sql = t.at("BM_SqliteWhere");
        std::printf("\n%d records, %d selection lines\n", kRecords, int(kSelection.size()));
        std::printf("selection (fields kept per load): %8.3f ms\n", t.at("BM_SelMatch"));
        if (t.count("BM_SelMatchFieldLookupPerRecord"))
            std::printf("selection (fields looked up):     %8.3f ms  (%.2fx SQLite)\n",
                        t.at("BM_SelMatchFieldLookupPerRecord"), t.at("BM_SelMatchFieldLookupPerRecord") / sql);
        std::printf("SQLite WHERE:                     %8.3f ms\n", sql);
        std::printf("ratio selection / SQLite:         %8.2f\n", t.at("BM_SelMatch") / sql);
        if (t.count("BM_LoadDataSel"))
            std::printf("LoadData with the selection:      %8.3f ms  (%.2fx SQLite)\n", t.at("BM_LoadDataSel"),
                        t.at("BM_LoadDataSel") / sql);
        if (t.count("BM_LoadDataAll"))
            std::printf("LoadData of all %d records:    %8.3f ms\n", kRecords, t.at("BM_LoadDataAll"));
    }
    benchmark::Shutdown();
    return 0;
}
