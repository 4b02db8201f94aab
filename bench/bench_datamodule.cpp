// Start-up of the data module on a database of realistic size: opening every table (warm, and
// cold with the files out of the page cache) with the memory it takes, opening them when the
// species file has to be migrated because a field was added, and the places of each species.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "BenchSupport.h"
#include "BenchTables.h"

namespace {

using benchtables::GenerateDatabase;
using benchtables::kSpecies;

// The species file as an older version of the program wrote it: without its last field but one.
void WriteOldSpeciesFile(const QString& programFolder, const QString& target) {
    TClientDataSet current;
    current.LoadFromFile(programFolder + QStringLiteral("Data/Db/Fungi.dat"));
    TFieldDefs oldDefs = current.FieldDefs();
    oldDefs.removeAt(oldDefs.size() - 2);
    // The layout the species table is taken to have had, so that its file migrates.
    TDM::AddEarlierLayout(QStringLiteral("cdsFungi"), oldDefs);
    TClientDataSet old;
    old.SetFieldDefs(oldDefs);
    old.CreateDataSet();
    old.SetLogChanges(false);
    for (current.First(); !current.Eof(); current.Next()) {
        old.Append();
        for (int i = 0; i < old.FieldCount(); ++i)
            old.Fields(i)->SetValue(current.FieldByName(oldDefs[i].Name)->Value());
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

// The places of each species on the opened database: 12,000 finds on 6,000 visits to 2,000
// places.
void BM_BuildPlacesPerFungi(benchmark::State& state) {
    TDM dm(Db().program);
    TDMServices* services = TDMServices::Install(&dm);
    for (auto _ : state) services->BuildPlacesPerFungi();
    state.counters["rows"] = dm.cdsFungiSubPlaces->InternalDataSet()->RecordCount();
}

// Whether the processor says it runs under a hypervisor.
bool InVirtualMachine() {
    QFile cpu(QStringLiteral("/proc/cpuinfo"));
    if (!cpu.open(QIODevice::ReadOnly)) return false;
    const QByteArray info = cpu.readAll();
    return info.contains(" hypervisor");
}

// The same with the table files dropped from the page cache, as after a reboot. Only this
// system's cache is dropped: inside a virtual machine the host may still hold the files.

void BM_OpenAllTablesCold(benchmark::State& state) {
    Fixture& db = Db();
    const QDir folder(db.program + QStringLiteral("Data/Db/"));
    for (auto _ : state) {
        state.PauseTiming();
        for (const QFileInfo& file : folder.entryInfoList(QDir::Files)) {
            const int fd = ::open(QFile::encodeName(file.absoluteFilePath()).constData(), O_RDONLY);
            if (fd < 0) continue;
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
        state.ResumeTiming();
        TDM dm(db.program);
    }
}

BENCHMARK(BM_ReadAllFilesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAllTables)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAllTablesCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAllTablesMigratingSpecies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildPlacesPerFungi)->Unit(benchmark::kMillisecond);

// Run in a process of its own, so that nothing an earlier open left in the heap counts: the
// resident memory before, the peak while the data module opens, and the heap it keeps.
int PeakChild(const QString& program) {
    const long before = benchsupport::StatusKb("VmRSS");
    const double heapBefore = benchsupport::LiveHeapBytes();
    TDM dm(program);
    const double heapKept = benchsupport::LiveHeapBytes() - heapBefore;
    std::printf("%ld %ld %.0f\n", before, benchsupport::StatusKb("VmHWM"), heapKept);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak-child") == 0) {
        QCoreApplication app(argc, argv);
        return PeakChild(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    benchsupport::RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto ms = [&](const char* name) { return reporter.times.count(name) ? reporter.times.at(name) : 0.0; };
    const double files = ms("BM_ReadAllFilesOnly");
    const double open = ms("BM_OpenAllTables");
    const double cold = ms("BM_OpenAllTablesCold");
    const double migrate = ms("BM_OpenAllTablesMigratingSpecies");
    if (open > 0) {
        std::printf(
            "\nOpening all tables: %.1f ms warm (goal 150 ms: %.2f x), %.1f ms cold; "
            "%.2f x reading every table file into a bare table (%.1f ms)\n",
            open, open / 150.0, cold, files > 0 ? open / files : 0.0, files);
        std::printf("Cold: the files dropped from this system's page cache (posix_fadvise); %s\n",
                    InVirtualMachine() ? "this is a virtual machine, whose host may still cache them, so the "
                                         "cold figure can be warmer than after a real reboot"
                                       : "no virtual machine was detected");
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-child"), Db().program});
        if (child.waitForFinished(120000)) {
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            if (figures.size() == 3)
                std::printf(
                    "Peak memory while opening: %.1f MB resident (%.1f MB before the open); "
                    "the open tables keep %.1f MB of heap\n",
                    figures[1].toDouble() / 1024, figures[0].toDouble() / 1024, figures[2].toDouble() / 1e6);
        }
    }
    if (ms("BM_BuildPlacesPerFungi") > 0)
        std::printf("Places per species (12,000 finds): %.2f ms\n", ms("BM_BuildPlacesPerFungi"));
    if (open > 0 && migrate > 0)
        std::printf(
            "Migrating the species table (%d records) after a field was added: %.1f ms more "
            "(start-up %.2f x the plain one)\n",
            kSpecies, migrate - open, migrate / open);
    benchmark::Shutdown();
    return 0;
}
