// The species screen on a species table of 5,000 records: widening the selection by one species
// 50 times in a row (the selection grows by two lines each time), and browsing to the next
// species with the whole description column laid out, against a plain move of the cursor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "content/unitFrameFungi.h"
#include "content/unitFungiScreen.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "core/unitUserScreen.h"
#include "tests/core/ScreenTestHost.h"

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

Fixture& F() {
    static Fixture fixture;
    return fixture;
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
    if (f.dm->cdsFungi->Sel().size() != 1 + 2 * kWidenings) state.SkipWithError("the selection did not grow by two lines");
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
    benchmark::Shutdown();
    // The screen goes before the tables it shows.
    F().window.reset();
    SetUserEnvironment({});
    return 0;
}
