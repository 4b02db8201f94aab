// The identification key's search on the shipped catalogue copied 10 and 100 times (1,170 and
// 11,700 species, bench/BenchCatalogue.h): ten questions answered, from "Gör urval" to the
// result page filled (the table page, and the big-picture list). Goal: at most 25 ms at
// 11,700 species. The baseline is the species table reloaded through a selection of only the
// completeness test, measured in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "content/key/KeySelection.h"
#include "content/key/unitFrameKeys.h"
#include "content/key/unitKeyScreen.h"
#include "controls/FRKeyPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "platform/UIServices.h"
#include "BenchCatalogue.h"

namespace {

constexpr double kGoalMs = 25;

struct World {
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TformFRMain> main;
    TframeKeys* frame = nullptr;
    int species = 0;

    explicit World(int copies) {
        SetProgramFolder(dir.path());
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        species = benchcatalogue::WriteCatalogueCopies(dir.path(), copies);
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        TformFRMain::ClearScreenFactories();
        RegisterKeyScreen();
        main->CreateScreens();
        main->resize(1280, 1024);
        main->show();
        FRKeyScreen->Navigate();
        frame = FRKeyScreen->KeysFrame();
        // A white-fleshed cap fungus with gills, found on the ground in spruce forest in
        // August: about one in twenty of the catalogue's species.
        const QMap<int, QString> answers{{kqHatFungi, "10"},         {kqHabitat, "000100000000000"},
                                         {kqGrowthMethod, "100000"}, {kqSeason, "000000010000"},
                                         {kqOccurence, "00010000"},  {kqGroupedGrowth, "01"},
                                         {kqMeatColor, "16777215"},  {kqHatSize, "60"},
                                         {kqHatSubType, "1000"},     {kqSmell, "10"}};
        for (auto it = answers.begin(); it != answers.end(); ++it) frame->Panel(it.key())->SetValue(it.value());
        frame->UpdateFrame();
    }
    ~World() {
        main.reset();
        TformFRMain::ClearScreenFactories();
        SetProgramFolder(QString());
    }
};

// One world at a time: the key screen is program-wide.
std::unique_ptr<World> g_world;
int g_copies = 0;

World* WorldOf(int copies) {
    if (g_copies != copies) {
        g_world.reset();
        g_world = std::make_unique<World>(copies);
        g_copies = copies;
    }
    return g_world->species > 0 ? g_world.get() : nullptr;
}

void BM_ReloadAllComplete(benchmark::State& state) {
    World* world = WorldOf(int(state.range(0)));
    if (!world) {
        state.SkipWithError("the species catalogue is missing");
        return;
    }
    TExtClientDataSet* fungi = world->dm->cdsFungi;
    for (auto _ : state) {
        fungi->SetSel(BuildKeySelection({}, 0).Lines);
        fungi->LoadData();
        benchmark::DoNotOptimize(fungi->RecordCount());
    }
    state.counters["species"] = world->species;
    state.counters["matches"] = fungi->RecordCount();
}

void BM_MakeSelection(benchmark::State& state) {
    World* world = WorldOf(int(state.range(0)));
    if (!world) {
        state.SkipWithError("the species catalogue is missing");
        return;
    }
    world->frame->SetPresentation(int(state.range(1)));
    for (auto _ : state) {
        world->frame->MakeSelection();
        benchmark::DoNotOptimize(world->frame->listboxBigPics->count());
    }
    state.counters["species"] = world->species;
    state.counters["matches"] = world->dm->cdsFungi->RecordCount();
}

BENCHMARK(BM_ReloadAllComplete)->Arg(10)->ArgName("copies")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeSelection)
    ->Args({10, 1})
    ->Args({10, 2})
    ->ArgNames({"copies", "presentation"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReloadAllComplete)->Arg(100)->ArgName("copies")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeSelection)
    ->Args({100, 1})
    ->Args({100, 2})
    ->ArgNames({"copies", "presentation"})
    ->Unit(benchmark::kMillisecond);

class Reporter : public benchmark::ConsoleReporter {
public:
    struct Figure {
        double ms = 0;
        int species = 0;
        int matches = 0;
    };
    std::map<std::string, Figure> figures;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                Figure& f = figures[run.benchmark_name()];
                f.ms = run.GetAdjustedRealTime();
                if (run.counters.count("species")) f.species = int(run.counters.at("species").value);
                if (run.counters.count("matches")) f.matches = int(run.counters.at("matches").value);
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
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    g_world.reset();
    std::printf("\n");
    for (const int copies : {10, 100}) {
        const auto reload = reporter.figures.find("BM_ReloadAllComplete/copies:" + std::to_string(copies));
        if (reload == reporter.figures.end()) continue;
        std::printf("%d species (%d complete): reload of every complete species %.2f ms\n", reload->second.species,
                    reload->second.matches, reload->second.ms);
        for (const int presentation : {1, 2}) {
            const auto it = reporter.figures.find("BM_MakeSelection/copies:" + std::to_string(copies) +
                                                  "/presentation:" + std::to_string(presentation));
            if (it == reporter.figures.end()) continue;
            std::printf("  key search, %-11s %6.2f ms (%d matches): %.2f x the reload, %.2f x the %.0f ms goal\n",
                        presentation == 1 ? "table:" : "big pictures:", it->second.ms, it->second.matches,
                        it->second.ms / reload->second.ms, it->second.ms / kGoalMs, kGoalMs);
        }
    }
    benchmark::Shutdown();
    return 0;
}
