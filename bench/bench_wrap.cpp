// Cutting a long text into lines with the real font metrics: a text of 200 characters against
// one of 2,000, as time per character; the ratio stays near 1 when measuring a line does not
// grow with the square of its length.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdio>
#include <string>

#include "script/qt/QSQtDevices.h"
#include "BenchSupport.h"

namespace {

QString Text(int length) {
    QString text;
    while (text.size() < length) text += QStringLiteral("Trattkantarell ");
    return text.left(length);
}

void WrapText(benchmark::State& state, double widthMm) {
    const QString text = Text(int(state.range(0)));
    const TQSFontMetricsMeasurer measurer;
    const TQSFontSpec font{QString(), 10};
    for (auto _ : state) {
        QString rest = text;
        int lines = 0;
        while (!rest.isEmpty()) {
            benchmark::DoNotOptimize(WrapLine(measurer, font, rest, widthMm));
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Lines of a page's width, and one line as wide as the whole text.
void BM_WrapPageWidth(benchmark::State& state) { WrapText(state, 170); }
void BM_WrapOneLine(benchmark::State& state) { WrapText(state, 1e6); }

BENCHMARK(BM_WrapPageWidth)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WrapOneLine)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchsupport::RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    for (const char* name : {"BM_WrapPageWidth", "BM_WrapOneLine"}) {
        const std::string small = std::string(name) + "/200", large = std::string(name) + "/2000";
        if (!reporter.times.count(small) || !reporter.times.count(large)) continue;
        const double a = reporter.times.at(small) / 200, b = reporter.times.at(large) / 2000;
        std::printf("%s per character: %.3f us at 200, %.3f us at 2,000; ratio %.2f\n", name, a, b, b / a);
    }
    return 0;
}
