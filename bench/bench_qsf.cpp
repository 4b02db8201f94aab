// Reading a script file grows with its size: one read of a script of 1,000 objects against one
// of 20,000 (variables and text rows, half of them unnamed), as time per object; the ratio of
// the two stays near 1 for a reader that is linear.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>

#include <cstdio>
#include <map>
#include <string>

#include "script/QSAnsi.h"
#include "script/QSScript.h"
#include "BenchSupport.h"

namespace {

QByteArray Le32(qint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}
QByteArray Str(const QByteArray& s) { return Le32(qint32(s.size())) + s; }
QByteArray Block(const QByteArray& data) {
    return Str("BOFFILE") + Le32(qint32(data.size())) + Le32(0) + data + Str("EOFFILE");
}

QByteArray ScriptFile(int objects) {
    QStringList lines{"[TQSVariables]"};
    for (int i = 0; i < objects / 2; ++i) {
        lines << "[TQSVariable]";
        if (i % 2) lines << QStringLiteral("Name=v%1").arg(i);
        lines << QStringLiteral("InitialValue=%1").arg(i) << "[End]";
    }
    lines << "[End]"
          << "[TQSBaseScriptContainer]";
    for (int i = 0; i < objects / 2; ++i)
        lines << "[TQSText]" << QStringLiteral("Text=\"Rad %1\"").arg(i) << "PositionY=4.5"
              << "[End]";
    lines << "[End]";
    return Str("***** ZADUZORURER scriptfile, DO NOT ALTER MANUALLY! *****") +
        Block(StringToAnsi(lines.join("\r\n") + "\r\n")) + Block({});
}

void BM_ReadScript(benchmark::State& state) {
    const QByteArray file = ScriptFile(int(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(file);
        buffer.open(QIODevice::ReadOnly);
        TQSScript script;
        script.LoadFromStream(buffer);
        benchmark::DoNotOptimize(script.Root());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ReadScript)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

using benchsupport::RatioReporter;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_ReadScript/1000") && t.count("BM_ReadScript/20000")) {
        const double small = t.at("BM_ReadScript/1000") / 1000, large = t.at("BM_ReadScript/20000") / 20000;
        std::printf("\nper object: %.2f us at 1,000 objects, %.2f us at 20,000\n", small * 1000, large * 1000);
        std::printf("ratio 20,000 / 1,000 per object: %.2f\n", large / small);
    }
    benchmark::Shutdown();
    return 0;
}
