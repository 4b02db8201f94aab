// Start-up of the data module on a database of realistic size: opening every table, and
// opening them when the species file has to be migrated because a field was added.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "core/unitDM.h"

namespace {

constexpr int kSpecies = 3000;
constexpr int kPictures = 10000;
constexpr int kTextRows = 60000;
constexpr int kFinds = 5000;
constexpr int kPlaces = 2000;
constexpr int kVisitsPerPlace = 3;

QString Key(const char* id, int n) { return QStringLiteral("%1KEY%2").arg(QLatin1String(id)).arg(n, 11, 10, QLatin1Char('0')); }

// Fills a table of the design with generated records and writes its file.
void Generate(const QString& folder, const QString& table, int count,
              const std::function<void(TClientDataSet&, int)>& fill) {
    const TDM::TTableInfo* info = TDM::FindTableInfo(table);
    TClientDataSet t;
    t.SetFieldDefs(info->Fields);
    t.CreateDataSet();
    t.SetLogChanges(false);
    for (int r = 0; r < count; ++r) {
        t.Append();
        t.FieldByName(QStringLiteral("UKey"))->SetAsString(Key(info->DatasetId.toLatin1().constData(), r));
        if (TField* stamp = t.FindField(QStringLiteral("Timestamp"))) stamp->SetAsString(QStringLiteral("AAAABCDEFGHIJKL"));
        fill(t, r);
        t.Post();
    }
    t.SaveToFile(folder + table.mid(3) + QStringLiteral(".dat"));
    t.Close();
}

QString Words(QRandomGenerator& rng, int length) {
    static const char* words[] = {"svamp", "hatt", "fot", "skivor", "porer", "ring", "gul", "brun", "vit",
                                  "barrskog", "lövskog", "ätlig", "giftig", "lukt", "smak", "mild", "kant"};
    QString text;
    while (text.size() < length) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QString::fromUtf8(words[rng.bounded(int(sizeof words / sizeof *words))]);
    }
    return text.left(length);
}

// The database of a well-used installation.
void GenerateDatabase(const QString& programFolder) {
    const QString db = programFolder + QStringLiteral("Data/Db/");
    QDir().mkpath(db);
    QRandomGenerator rng(4711);
    Generate(db, QStringLiteral("cdsFungi"), kSpecies, [&](TClientDataSet& t, int r) {
        t.FieldByName("LatinName")->SetAsString(QStringLiteral("Species latinus %1").arg(r));
        t.FieldByName("SwedishName")->SetAsString(QStringLiteral("Svamp %1").arg(r));
        t.FieldByName("FungiData")->SetAsString(r % 3 ? QStringLiteral("CPLD") : QString());
        t.FieldByName("HasPic")->SetAsBoolean(true);
        t.FieldByName("PicCount")->SetAsInteger(3);
        t.FieldByName("FungiGroup")->SetAsString(QStringLiteral("Grupp %1").arg(r % 40));
        for (const char* f : {"Difficulty", "FoodValue1", "FoodValue2", "HatFungi", "HatSubType", "ScaledHat",
                              "BodySizeMinimum", "BodySizeMaximum", "FootSizeMinimum", "FootSizeMaximum"})
            t.FieldByName(f)->SetAsInteger(rng.bounded(10));
        for (const char* f : {"HatSubColor", "BodyColor", "FootColor", "MeatColor", "SporeColor"})
            t.FieldByName(f)->SetAsString(QStringLiteral("%1|%2").arg(rng.bounded(1 << 24)).arg(rng.bounded(1 << 24)));
        t.FieldByName("Season")->SetAsString(QStringLiteral("000012345000"));
        t.FieldByName("Occurence")->SetAsString(QStringLiteral("12340000"));
        t.FieldByName("Habitat")->SetAsString(QStringLiteral("100100000000010"));
        t.FieldByName("Smell")->SetAsString(Words(rng, 30));
        t.FieldByName("Taste")->SetAsString(Words(rng, 30));
    });
    auto species = [&](int r) { return Key("020", r % kSpecies); };
    Generate(db, QStringLiteral("cdsSwedishNames"), kSpecies, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r));
        t.FieldByName("SwedishName")->SetAsString(QStringLiteral("Annat namn %1").arg(r));
    });
    Generate(db, QStringLiteral("cdsLatinNames"), kSpecies, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r));
        t.FieldByName("LatinName")->SetAsString(QStringLiteral("Synonymus %1").arg(r));
    });
    Generate(db, QStringLiteral("cdsFungiPics"), kPictures, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r));
        t.FieldByName("PicIndex")->SetAsInteger(r / kSpecies);
        t.FieldByName("IsMainPic")->SetAsBoolean(r < kSpecies);
        t.FieldByName("PicType")->SetAsString(QStringLiteral("JPG"));
        t.FieldByName("PicSource")->SetAsString(QStringLiteral("Egen bild"));
        t.FieldByName("Photographer")->SetAsString(QStringLiteral("Fotograf %1").arg(r % 50));
        t.FieldByName("PicDate")->SetAsDate(QDate(2015, 1, 1).addDays(r % 3000));
        t.FieldByName("NoteText")->SetAsString(Words(rng, 120));
    });
    Generate(db, QStringLiteral("cdsFungiTexts"), kTextRows, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r / 20));
        t.FieldByName("RowFlag")->SetAsInteger(r % 4);
        t.FieldByName("RowNo")->SetAsInteger(r % 20);
        t.FieldByName("RowText")->SetAsString(Words(rng, 80));
    });
    Generate(db, QStringLiteral("cdsFungiFinds"), kFinds, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r * 7));
        t.FieldByName("FindDate")->SetAsDate(QDate(2010, 8, 1).addDays(r % 4000));
        t.FieldByName("BodyCount")->SetAsInteger(rng.bounded(30));
        t.FieldByName("PositionX")->SetAsInteger(1300000 + rng.bounded(500000));
        t.FieldByName("PositionY")->SetAsInteger(6100000 + rng.bounded(1500000));
        t.FieldByName("Province")->SetAsString(QStringLiteral("Uppland"));
        t.FieldByName("RouteNote")->SetAsString(Words(rng, 100));
    });
    Generate(db, QStringLiteral("cdsPlaces"), kPlaces, [&](TClientDataSet& t, int r) {
        t.FieldByName("PlaceName")->SetAsString(QStringLiteral("Ställe %1").arg(r));
        t.FieldByName("PositionX")->SetAsInteger(1300000 + rng.bounded(500000));
        t.FieldByName("PositionY")->SetAsInteger(6100000 + rng.bounded(1500000));
        t.FieldByName("SizeX")->SetAsInteger(200);
        t.FieldByName("SizeY")->SetAsInteger(300);
        t.FieldByName("Province")->SetAsString(QStringLiteral("Småland"));
        t.FieldByName("District")->SetAsString(QStringLiteral("Växjö"));
        t.FieldByName("NoteText")->SetAsString(Words(rng, 150));
    });
    const int visits = kPlaces * kVisitsPerPlace;
    Generate(db, QStringLiteral("cdsPlaceVisits"), visits, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(Key("140", r / kVisitsPerPlace));
        t.FieldByName("VisitDate")->SetAsDate(QDate(2012, 9, 1).addDays(r % 3000));
        t.FieldByName("Weather")->SetAsString(QStringLiteral("Mulet"));
        t.FieldByName("NoteText")->SetAsString(Words(rng, 100));
    });
    Generate(db, QStringLiteral("cdsPlaceFinds"), visits * 2, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(Key("14A", r / 2));
        t.FieldByName("FungiUKey")->SetAsString(species(r * 13));
        t.FieldByName("FungiName")->SetAsString(QStringLiteral("Svamp %1").arg((r * 13) % kSpecies));
        t.FieldByName("BodyCount")->SetAsInteger(rng.bounded(20));
    });
    Generate(db, QStringLiteral("cdsPlacePeople"), visits, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(Key("14A", r));
        t.FieldByName("Individual")->SetAsString(QStringLiteral(" UKEY=%1").arg(Key("060", r % 200)));
    });
    Generate(db, QStringLiteral("cdsContacts"), 200, [&](TClientDataSet& t, int r) {
        t.FieldByName("UserName")->SetAsString(QStringLiteral("Person %1").arg(r));
        t.FieldByName("EMail")->SetAsString(QStringLiteral("person%1@example.se").arg(r));
        t.FieldByName("RefCount")->SetAsInteger(rng.bounded(100));
    });
    Generate(db, QStringLiteral("cdsFungiGroups"), 40, [&](TClientDataSet& t, int r) {
        t.FieldByName("FungiGroup")->SetAsString(QStringLiteral("Grupp %1").arg(r));
    });
}

// The species file as an older version of the program wrote it: without its last field but one.
void WriteOldSpeciesFile(const QString& programFolder, const QString& target) {
    TClientDataSet current;
    current.LoadFromFile(programFolder + QStringLiteral("Data/Db/Fungi.dat"));
    TFieldDefs oldDefs = current.FieldDefs();
    oldDefs.removeAt(oldDefs.size() - 2);
    TClientDataSet old;
    old.SetFieldDefs(oldDefs);
    old.CreateDataSet();
    old.SetLogChanges(false);
    for (current.First(); !current.Eof(); current.Next()) {
        old.Append();
        for (int i = 0; i < old.FieldCount(); ++i) old.Fields(i)->SetValue(current.FieldByName(oldDefs[i].Name)->Value());
        old.Post();
    }
    old.SaveToFile(target);
    old.Close();
}

struct Fixture {
    QTemporaryDir dir;
    QString program;
    QString oldSpecies;
    Fixture() {
        program = dir.path() + QStringLiteral("/program/");
        GenerateDatabase(program);
        TDM first(program);  // lets start-up create the empty files once
        oldSpecies = dir.path() + QStringLiteral("/OldFungi.dat");
        WriteOldSpeciesFile(program, oldSpecies);
    }
};

Fixture& Db() {
    static Fixture fixture;
    return fixture;
}

// The baseline: every table file read into a bare in-memory table.
void BM_ReadAllFilesOnly(benchmark::State& state) {
    const QString db = Db().program + QStringLiteral("Data/Db/");
    QStringList files;
    for (const TDM::TTableInfo& info : TDM::Catalogue())
        if (info.AutoSave) files << db + info.TableName.mid(3) + QStringLiteral(".dat");
    for (auto _ : state) {
        int records = 0;
        for (const QString& file : files) {
            TClientDataSet t;
            t.LoadFromFile(file);
            records += t.RecordCount();
        }
        benchmark::DoNotOptimize(records);
    }
}

void BM_OpenAllTables(benchmark::State& state) {
    Fixture& db = Db();
    int records = 0;
    for (auto _ : state) {
        TDM dm(db.program);
        records = 0;
        for (TExtClientDataSet* t : dm.Tables())
            if (t->AutoSave()) records += t->InternalDataSet()->RecordCount();
    }
    state.counters["records"] = records;
}

void BM_OpenAllTablesMigratingSpecies(benchmark::State& state) {
    Fixture& db = Db();
    const QString species = db.program + QStringLiteral("Data/Db/Fungi.dat");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(species);
        QFile::copy(db.oldSpecies, species);
        state.ResumeTiming();
        TDM dm(db.program);
        if (dm.StartupResult(QStringLiteral("cdsFungi")).Outcome != TDM::TStartupOutcome::Migrated)
            state.SkipWithError("species table was not migrated");
    }
}

BENCHMARK(BM_ReadAllFilesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAllTables)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAllTablesMigratingSpecies)->Unit(benchmark::kMillisecond);

// Collects the mean time of each benchmark to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    QMap<QString, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred)
                ms[QString::fromStdString(run.benchmark_name())] =
                    run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond ? 1.0 : 1e-6);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double files = reporter.ms.value("BM_ReadAllFilesOnly");
    const double open = reporter.ms.value("BM_OpenAllTables");
    const double migrate = reporter.ms.value("BM_OpenAllTablesMigratingSpecies");
    if (open > 0 && migrate > 0) {
        std::printf("\nOpening all tables: %.1f ms (%.2f x reading every table file into a bare table, %.1f ms)\n",
                    open, files > 0 ? open / files : 0.0, files);
        std::printf("Migrating the species table (%d records) after a field was added: %.1f ms more "
                    "(start-up %.2f x the plain one)\n",
                    kSpecies, migrate - open, migrate / open);
    }
    benchmark::Shutdown();
    return 0;
}
