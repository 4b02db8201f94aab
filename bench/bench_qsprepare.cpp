// Preparing a list script with the real font metrics: a FOR-loop of 1,000 and of 10,000 rows of
// three text rows each (a number, a name and a description that wraps), compiled into its pages.
// Prints the time of the 10,000 rows (well under a second is the goal) and the time per row of
// both sizes, whose ratio stays near 1 for a preparation that is linear.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdio>

#include "script/QSHandler.h"
#include "script/qt/QSQtDevices.h"
#include "BenchSupport.h"

namespace {

const TQSRegisteredObject& Rec(const char* className) { return *FindRegisteredClass(QLatin1String(className)); }

TQSScriptObject* Add(TQSContainer* container, const char* className,
                     std::initializer_list<std::pair<const char*, QString>> values) {
    TQSScriptObject* object = container->CreateChild(Rec(className));
    for (const auto& [key, value] : values) object->SetValue(QLatin1String(key), value);
    return object;
}

// A handler in the program's mode with one list script of the given number of rows.
struct ListScript {
    explicit ListScript(int rows) {
        handler.SetMode(hmApplication);
        handler.Measurer = std::make_shared<TQSFontMetricsMeasurer>();
        const QString path = dir.filePath(QStringLiteral("lista.qsf"));
        {
            TQSScript empty;
            QSaveFile file(path);
            file.open(QIODevice::WriteOnly);
            empty.SaveToStream(file);
            file.commit();
        }
        script = handler.AddScript(path);
        TQSBaseContainer* root = script->Root();
        Add(root->Section(1), "TQSVariable", {{"InitialValue", "0"}})->SetName(QStringLiteral("i"));
        Add(root->Section(1), "TQSVariable",
            {{"InitialValue", "\"Kantarell;Karljohan;Trattkantarell;Fårticka;Blodriska\""}})
            ->SetName(QStringLiteral("namn"));
        Add(root->Section(2), "TQSFont", {{"FontName", "Liberation Sans"}, {"FontSize", "10"}})
            ->SetName(QStringLiteral("f"));
        auto* loop = static_cast<TQSContainer*>(
            Add(root->ScriptObjects(), "TQSForLoop",
                {{"Variable", "i"}, {"StartValue", "1"}, {"EndValue", QString::number(rows)}}));
        Add(loop, "TQSText", {{"FontName", "\"f\""}, {"Text", "inttostr(i) + \".\""}, {"Width", "15"}});
        Add(loop, "TQSText",
            {{"FontName", "\"f\""},
             {"Text", "splitsection(namn, \";\", i mod 5)"},
             {"PositionX", "15"},
             {"Width", "50"}});
        Add(loop, "TQSText",
            {{"FontName", "\"f\""},
             {"Text",
              "\"Hatten är äggula till orange, skivlika åsar löper ned på foten, och köttet "
              "doftar svagt av aprikos; växer i mossig barrskog från juli till oktober.\""},
             {"PositionX", "70"},
             {"Linefeed", "1"}});
    }
    QTemporaryDir dir;
    TQSHandler handler;
    TQSScript* script = nullptr;
};

void BM_PrepareList(benchmark::State& state) {
    ListScript list(int(state.range(0)));
    TQSExecData& exec = list.script->ExecData();
    for (auto _ : state) {
        list.script->Reset();
        exec.Compile();
        benchmark::DoNotOptimize(exec.PageCount());
    }
    state.counters["pages"] = exec.PageCount();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_PrepareList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchsupport::RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_PrepareList/1000") && t.count("BM_PrepareList/10000")) {
        const double small = t.at("BM_PrepareList/1000") / 1000, large = t.at("BM_PrepareList/10000") / 10000;
        std::printf("\n10,000 rows of three text rows prepared in %.0f ms\n", t.at("BM_PrepareList/10000"));
        std::printf("per row: %.1f us at 1,000 rows, %.1f us at 10,000; ratio %.2f\n", small * 1000, large * 1000,
                    large / small);
    }
    benchmark::Shutdown();
    return 0;
}
