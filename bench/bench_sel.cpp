// Cost of a table load through a selection: LoadData spends, besides taking the records it
// keeps, one Match per stored record. Measured over the 10,000 species records of a species
// table file (the species table's full field list) held in memory by the table store, the
// selection reading each record's stored values in place as LoadData does, with the selection the
// quick selection builds when every option is set; against SQLite running the same condition
// as a WHERE clause over the same records in an in-memory database of the same fields, which
// decodes each row from its pages. Both compare in memory; neither reads a file.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QStringList>
#include <QVariant>

#include <cstdio>
#include <map>
#include <memory>
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

// The species file loaded once into the table store.
const TClientDataSet& Stored() {
    static const std::unique_ptr<TClientDataSet> table = [] {
        auto t = std::make_unique<TClientDataSet>();
        t->LoadFromFile(benchtables::Species().fileName);
        return t;
    }();
    return *table;
}

// One stored record at a time, as the table class's adapter over its internal table.
class StoredRecord : public TSelRecord {
public:
    StoredRecord(const TClientDataSet& table, quintptr layoutId) : m_table(table), m_layoutId(layoutId) {}
    void SetRow(int row) { m_row = row; }
    int FieldIndex(const QString& name) const override {
        const TField* field = m_table.FindField(name);
        return field ? field->Index() : -1;
    }
    TFieldType FieldType(int index) const override { return m_table.Fields(index)->DataType(); }
    QVariant FieldValue(int index) const override { return m_table.RecordValue(m_row, index); }
    const TRecordValues* StoredValues() const override { return m_table.RecordValuesAt(m_row); }
    quintptr LayoutId() const override { return m_layoutId; }

private:
    const TClientDataSet& m_table;
    quintptr m_layoutId;
    int m_row = 0;
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
    const TClientDataSet& table = Stored();
    StoredRecord record(table, layoutId);
    int matched = 0;
    for (int row = 0; row < table.RecordCount(); ++row) {
        record.SetRow(row);
        matched += sel.Match(record) ? 1 : 0;
    }
    return matched;
}

// The same records with the same fields in an in-memory SQLite database.
struct Database {
    sqlite3* db = nullptr;
    Database() {
        sqlite3_open(":memory:", &db);
        const TClientDataSet& table = Stored();
        const TFieldDefs& defs = table.FieldDefs();
        std::string create = "CREATE TABLE Fungi (";
        std::string insert = "INSERT INTO Fungi VALUES (";
        for (int i = 0; i < defs.size(); ++i) {
            const TFieldType type = defs[i].DataType;
            create += (i ? ", " : "") + defs[i].Name.toStdString();
            create += type == TFieldType::ftInteger || type == TFieldType::ftBoolean ? " INTEGER"
                : type == TFieldType::ftFloat                                        ? " REAL"
                                                                                     : " TEXT";
            insert += i ? ", ?" : "?";
        }
        create += ")";
        insert += ")";
        sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, insert.c_str(), -1, &stmt, nullptr);
        for (int row = 0; row < table.RecordCount(); ++row) {
            for (int i = 0; i < defs.size(); ++i) {
                const QVariant v = table.RecordValue(row, i);
                if (v.isNull()) {
                    sqlite3_bind_null(stmt, i + 1);
                    continue;
                }
                switch (defs[i].DataType) {
                    case TFieldType::ftInteger:
                    case TFieldType::ftBoolean:
                        sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
                        break;
                    case TFieldType::ftFloat:
                        sqlite3_bind_double(stmt, i + 1, v.toDouble());
                        break;
                    default: {
                        const QByteArray utf8 = v.toString().toUtf8();
                        sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                        break;
                    }
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
        std::printf(
            "\n%d species records with the species table's %d fields, in memory on both sides: the\n"
            "selection reads the table store's stored values in place, SQLite decodes its in-memory pages; "
            "%d selection lines\n",
            kRecords, int(Stored().FieldCount()), int(kSelection.size()));
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
