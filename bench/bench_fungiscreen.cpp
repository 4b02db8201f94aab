// The species screen on a species table of 5,000 records: widening the selection by one species
// 50 times in a row (the selection grows by two lines each time), and browsing to the next
// species with the whole description column laid out, against a plain move of the cursor.
// And the quick selection ("Gör urval" of "Urval") on the shipped catalogue copied 10 and 100
// times (1,170 and 11,700 species, bench/BenchCatalogue.h) with the species screen shown, from
// the rebuilt selection to the updated screen, against the same with the selection cleared
// (every species); goal: at most 25 ms at 11,700 species.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiScreen.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitUserScreen.h"
#include "tests/shell/ScreenTestHost.h"
#include "BenchCatalogue.h"

namespace {

constexpr int kSpecies = 5000;
constexpr int kWidenings = 50;

// 5,000 species, every tenth one not completed; the selection of the complete ones hides those.
struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    TFRIniFile settings;
    std::unique_ptr<TestMainWindow> window;
    TFRFungiScreen* screen = nullptr;
    QStringList hidden;

    Fixture() {
        SetProgramFolder(dir.path());
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        settings.SetDefaults(TFRIniFile::ProgramDefaults());
        TUserEnvironment env;
        env.DM = dm.get();
        env.Settings = &settings;
        SetUserEnvironment(env);
        TExtClientDataSet* fungi = dm->cdsFungi;
        fungi->SetAutoSave(false);
        for (int i = 0; i < kSpecies; ++i) {
            fungi->Append();
            fungi->FieldByName("SwedishName")->SetAsString(QStringLiteral("Svamp %1").arg(i, 5, 10, QLatin1Char('0')));
            fungi->FieldByName("LatinName")->SetAsString(QStringLiteral("Fungus %1").arg(i));
            fungi->FieldByName("FungiData")->SetAsString(i % 10 == 5 ? QStringLiteral("UNCP") : QStringLiteral("CPLD"));
            fungi->FieldByName("FungiGroup")->SetAsString(QStringLiteral("Skivlingar"));
            fungi->FieldByName("HatFungi")->SetAsInteger(i % 3 == 0 ? 1 : 0);
            fungi->FieldByName("HatSubType")->SetAsInteger(i % 4);
            fungi->FieldByName("FoodValue1")->SetAsInteger(i % 6);
            fungi->FieldByName("BodyColor")->SetAsString(QStringLiteral("255|65280"));
            fungi->FieldByName("Habitat")->SetAsString(QStringLiteral("110000000000000"));
            if (i % 10 == 5) hidden << GetUKey(fungi);
            fungi->Post();
        }
        fungi->SetAutoSave(true);
        window = std::make_unique<TestMainWindow>();
        window->resize(1024, 768);
        window->show();
        screen = static_cast<TFRFungiScreen*>(CreateFungiScreen(window.get()));
    }
    void SelectComplete() {
        dm->cdsFungi->SetSel({QStringLiteral("Str(FungiData = \"CPLD\")")});
        dm->cdsFungi->LoadData();
    }
};

// One fixture at a time: the user environment and the screen host are program-wide.
std::unique_ptr<Fixture> g_fixture;
struct CatalogueFixture;
std::unique_ptr<CatalogueFixture> g_catalogue;

Fixture& F() {
    g_catalogue.reset();
    if (!g_fixture) g_fixture = std::make_unique<Fixture>();
    return *g_fixture;
}

// The catalogue copied a number of times, the species screen shown on it, and a user's quick
// selection: complete species with a Swedish name, found in August or September in region 4,
// under spruce.
struct CatalogueFixture {
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    TFRIniFile settings;
    TQuickSelectionHandler quick;
    std::unique_ptr<TestMainWindow> window;
    TFRFungiScreen* screen = nullptr;
    TDMServices* services = nullptr;
    int copies = 0;
    int species = 0;

    explicit CatalogueFixture(int copyCount) : copies(copyCount) {
        SetProgramFolder(dir.path());
        species = benchcatalogue::WriteCatalogueCopies(dir.path(), copies);
        dm = std::make_unique<TDM>(dir.path());
        services = TDMServices::Install(dm.get());
        settings.SetDefaults(TFRIniFile::ProgramDefaults());
        TUserEnvironment env;
        env.DM = dm.get();
        env.Settings = &settings;
        SetUserEnvironment(env);
        quick.Complete = true;
        quick.SwedishName = true;
        quick.CountryPart = QStringLiteral("00010000");
        quick.Season = QStringLiteral("000000011000");
        quick.Habitat = QStringLiteral("000100000000000");
        services->Hooks.QuickSelection = &quick;
        services->Hooks.Settings = &settings;
        window = std::make_unique<TestMainWindow>();
        window->resize(1024, 768);
        window->show();
        screen = static_cast<TFRFungiScreen*>(CreateFungiScreen(window.get()));
        services->Hooks.UpdateFungiScreen = [this] { screen->UpdateFrame(); };
        screen->Activate(QString());
    }
    ~CatalogueFixture() {
        window.reset();
        SetUserEnvironment({});
        SetProgramFolder(QString());
    }
};

CatalogueFixture* Catalogue(int copies) {
    g_fixture.reset();
    if (!g_catalogue || g_catalogue->copies != copies) {
        g_catalogue.reset();
        g_catalogue = std::make_unique<CatalogueFixture>(copies);
    }
    return g_catalogue->species > 0 ? g_catalogue.get() : nullptr;
}

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_Widen50(benchmark::State& state) {
    Fixture& f = F();
    double first = 0, last = 0, total = 0;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.SelectComplete();
        state.ResumeTiming();
        for (int i = 0; i < kWidenings; ++i) {
            const auto start = Clock::now();
            f.screen->ShowFungiInSelection(f.hidden[i]);
            const double ms = Ms(Clock::now() - start);
            total += ms;
            if (i == 0) first += ms;
            if (i == kWidenings - 1) last += ms;
        }
        ++runs;
    }
    if (f.dm->cdsFungi->Sel().size() != 1 + 2 * kWidenings)
        state.SkipWithError("the selection did not grow by two lines");
    state.counters["per_widening_ms"] = total / (runs * kWidenings);
    state.counters["first_ms"] = first / runs;
    state.counters["fiftieth_ms"] = last / runs;
    state.counters["growth"] = first > 0 ? last / first : 0;
}
BENCHMARK(BM_Widen50)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BrowseNextWithFrame(benchmark::State& state) {
    Fixture& f = F();
    f.dm->cdsFungi->SetSel({});
    f.dm->cdsFungi->LoadData();
    f.screen->Activate(QString());
    TframeFungi* frame = f.screen->FungiFrame();
    frame->ModeClick(1);
    f.dm->cdsFungi->First();
    for (auto _ : state) {
        if (f.dm->cdsFungi->RecNo() == f.dm->cdsFungi->RecordCount()) {
            state.PauseTiming();
            f.dm->cdsFungi->First();
            state.ResumeTiming();
        }
        frame->BrowseClick(3);
    }
}
BENCHMARK(BM_BrowseNextWithFrame)->Unit(benchmark::kMillisecond);

// The baseline: the cursor alone moves (the detail tables follow it), no frame is shown.
void BM_BrowseNextCursorOnly(benchmark::State& state) {
    Fixture& f = F();
    ScreenHost()->HideCurrentScreen();
    f.dm->cdsFungi->First();
    for (auto _ : state) {
        if (f.dm->cdsFungi->Eof()) f.dm->cdsFungi->First();
        f.dm->cdsFungi->Next();
    }
}
BENCHMARK(BM_BrowseNextCursorOnly)->Unit(benchmark::kMillisecond);

// "Gör urval": the selection rebuilt from the quick selection, the table reloaded through it
// and the species screen updated.
void BM_QuickSelection(benchmark::State& state) {
    CatalogueFixture* f = Catalogue(int(state.range(0)));
    if (!f) {
        state.SkipWithError("the species catalogue is missing");
        return;
    }
    for (auto _ : state) f->services->BuildQuickSelection(false);
    state.counters["species"] = f->species;
    state.counters["matches"] = f->dm->cdsFungi->RecordCount();
}

// The baseline: the same with the selection cleared, every species shown.
void BM_QuickSelectionCleared(benchmark::State& state) {
    CatalogueFixture* f = Catalogue(int(state.range(0)));
    if (!f) {
        state.SkipWithError("the species catalogue is missing");
        return;
    }
    for (auto _ : state) f->services->BuildQuickSelection(true);
    state.counters["species"] = f->species;
    state.counters["matches"] = f->dm->cdsFungi->RecordCount();
}
BENCHMARK(BM_QuickSelectionCleared)->Arg(10)->ArgName("copies")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSelection)->Arg(10)->ArgName("copies")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSelectionCleared)->Arg(100)->ArgName("copies")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSelection)->Arg(100)->ArgName("copies")->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    std::map<std::string, std::map<std::string, double>> counters;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
                for (const auto& [name, counter] : run.counters) counters[run.benchmark_name()][name] = counter.value;
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    std::printf("\n%d species\n", kSpecies);
    for (const auto& [name, c] : reporter.counters)
        if (name.rfind("BM_Widen50", 0) == 0)
            std::printf("widening: %.3f ms each; first %.3f ms, fiftieth %.3f ms (%.2fx the first)\n",
                        c.at("per_widening_ms"), c.at("first_ms"), c.at("fiftieth_ms"), c.at("growth"));
    const auto frame = t.find("BM_BrowseNextWithFrame");
    const auto cursor = t.find("BM_BrowseNextCursorOnly");
    if (frame != t.end()) {
        std::printf("browsing with the frame: %.3f ms per step (%.2fx the 16 ms budget)\n", frame->second,
                    frame->second / 16.0);
        if (cursor != t.end() && cursor->second > 0)
            std::printf("cursor alone:            %.3f ms per step (frame / cursor %.1fx)\n", cursor->second,
                        frame->second / cursor->second);
    }
    for (const int copies : {10, 100}) {
        const std::string arg = "/copies:" + std::to_string(copies);
        const auto quick = t.find("BM_QuickSelection" + arg);
        const auto all = t.find("BM_QuickSelectionCleared" + arg);
        if (quick == t.end() || all == t.end()) continue;
        const auto& c = reporter.counters;
        std::printf(
            "quick selection, %.0f species: %.2f ms (%.0f matches); cleared (all species) %.2f ms; "
            "ratio %.2f; %.2fx the 25 ms goal\n",
            c.at("BM_QuickSelection" + arg).at("species"), quick->second, c.at("BM_QuickSelection" + arg).at("matches"),
            all->second, quick->second / all->second, quick->second / 25.0);
    }
    benchmark::Shutdown();
    // The screens go before the tables they show.
    g_fixture.reset();
    g_catalogue.reset();
    SetUserEnvironment({});
    return 0;
}
