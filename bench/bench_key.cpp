// The identification key's search on 5,000 complete species: ten questions answered, from
// "Gör urval" to the result page filled (the table page, and the big-picture list). The
// baseline is the species table reloaded through a selection of only the completeness test,
// measured in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "content/KeySelection.h"
#include "content/unitFrameKeys.h"
#include "content/unitKeyScreen.h"
#include "controls/FRKeyPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "core/unitMain.h"
#include "platform/UIServices.h"

namespace {

constexpr int kSpecies = 5000;

struct World {
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TformFRMain> main;
    TframeKeys* frame = nullptr;

    World() {
        SetProgramFolder(dir.path());
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        TExtClientDataSet* fungi = dm->cdsFungi;
        fungi->SetAutoSave(false);
        for (int i = 0; i < kSpecies; ++i) {
            fungi->Append();
            auto set = [fungi](const char* field, const QString& v) { fungi->FieldByName(field)->SetAsString(v); };
            auto flags = [i](int n, int step) {
                QString s(n, QLatin1Char('0'));
                for (int k = 0; k < n; ++k)
                    if ((i + k * step) % 3 != 0) s[k] = QLatin1Char('1');
                return s;
            };
            set("SwedishName", QStringLiteral("Art %1").arg(i));
            set("LatinName", QStringLiteral("Species %1").arg(i));
            set("FungiData", QStringLiteral("CPLD"));
            set("HatFungi", QString::number(i % 5 == 0 ? 1 : 0));
            set("Habitat", flags(15, 1));
            set("GrowthMethod", flags(6, 2));
            set("Season", flags(12, 1));
            set("Occurence", flags(8, 5));
            set("GroupedGrowth", QString::number(i % 4));
            set("HatSubType", QString::number((i / 3) % 4));
            set("LinedHat", QString::number((i / 4) % 4));
            set("BodySizeMinimum", QString::number(20 + i % 30));
            set("BodySizeMaximum", QString::number(80 + i % 60));
            set("Smell", i % 3 ? QStringLiteral("Mild") : QStringLiteral("Kryddig"));
            set("Taste", i % 2 ? QStringLiteral("Mild") : QStringLiteral("Bitter"));
            // Half of them grey-fleshed (the colour asked for), the others of scattered colours.
            set("MeatColor", QString::number(i % 2 ? 0x808080 : (i * 7919) & 0xFFFFFF));
            fungi->Post();
        }
        fungi->SetAutoSave(true);
        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        TformFRMain::ClearScreenFactories();
        RegisterKeyScreen();
        main->CreateScreens();
        main->resize(1280, 1024);
        main->show();
        FRKeyScreen->Navigate();
        frame = FRKeyScreen->KeysFrame();
        const QMap<int, QString> answers{
            {kqHatFungi, "10"},         {kqHabitat, "000100000000000"}, {kqGrowthMethod, "100000"},
            {kqSeason, "000000011000"}, {kqOccurence, "00010000"},      {kqGroupedGrowth, "01"},
            {kqMeatColor, "8421504"},   {kqHatSize, "60"},              {kqHatSubType, "1000"},
            {kqSmell, "10"}};
        for (auto it = answers.begin(); it != answers.end(); ++it) frame->Panel(it.key())->SetValue(it.value());
        frame->UpdateFrame();
    }
    ~World() {
        main.reset();
        TformFRMain::ClearScreenFactories();
        SetProgramFolder(QString());
    }
};

World* g_world = nullptr;

void BM_ReloadAllComplete(benchmark::State& state) {
    TExtClientDataSet* fungi = g_world->dm->cdsFungi;
    for (auto _ : state) {
        fungi->SetSel(BuildKeySelection({}, 0).Lines);
        fungi->LoadData();
        benchmark::DoNotOptimize(fungi->RecordCount());
    }
}

void BM_MakeSelection(benchmark::State& state) {
    g_world->frame->SetPresentation(int(state.range(0)));
    for (auto _ : state) {
        g_world->frame->MakeSelection();
        benchmark::DoNotOptimize(g_world->frame->listboxBigPics->count());
    }
    state.counters["matches"] = g_world->dm->cdsFungi->RecordCount();
}

BENCHMARK(BM_ReloadAllComplete)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeSelection)->Arg(1)->Arg(2)->ArgName("presentation")->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const double t = run.GetAdjustedRealTime();
            if (run.benchmark_name() == "BM_ReloadAllComplete") baseline = t;
            else if (baseline > 0)
                std::printf("%s: %.2f x the reload of every complete species\n", run.benchmark_name().c_str(),
                            t / baseline);
        }
    }
    double baseline = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    World world;
    g_world = &world;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    g_world = nullptr;
    benchmark::Shutdown();
    return 0;
}
