// Evaluations per second of a fact-sheet text: a few names served by the handler, string joins,
// a number formatted with a decimal comma and a date, against the same text built directly in
// C++ (the floor). The calculator reads the text anew on every evaluation and resolves the names
// through its variable event, as the print engine does.
#include <benchmark/benchmark.h>

#include <QDate>
#include <QHash>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "script/QuillCalc.h"
#include "BenchSupport.h"

namespace {

const QString kExpression = QStringLiteral(
    "uc1(swedishname) + \" (\" + latinname + \"), \" + format(weight / 1000, 0, 2) + \" kg, hittad \" + "
    "date(\"D MMMM ÅÅÅÅ\", found) + \", sida \" + inttostr(page) + \" av \" + inttostr(pagecount)");

struct Find {
    QString swedishName = QStringLiteral("karljohansvamp");
    QString latinName = QStringLiteral("Boletus edulis");
    double weight = 1234.5;
    double found = 45150;  // 11 August 2023
    qint32 page = 3;
    qint32 pageCount = 12;
};

const char16_t* const kMonths[12] = {u"januari", u"februari", u"mars",      u"april",   u"maj",      u"juni",
                                     u"juli",    u"augusti",  u"september", u"oktober", u"november", u"december"};

// The same text written directly.
QString Direct(const Find& f) {
    QString name = f.swedishName;
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    QString weight = QString::number(f.weight / 1000, 'f', 2);
    weight.replace(u'.', u',');
    const QDate date = QDate(1899, 12, 30).addDays(qint64(f.found));
    const QString when = QString::number(date.day()) + u' ' + QString::fromUtf16(kMonths[date.month() - 1]).toUpper() +
        u' ' + QString::number(date.year());
    return name + QStringLiteral(" (") + f.latinName + QStringLiteral("), ") + weight + QStringLiteral(" kg, hittad ") +
        when + QStringLiteral(", sida ") + QString::number(f.page) + QStringLiteral(" av ") +
        QString::number(f.pageCount);
}

struct Handler {
    TQuillCalc calc;
    QHash<QString, TQuillValue> variables;
    explicit Handler(const Find& f) {
        calc.SetDecimalSeparator(u',');
        variables.insert("swedishname", f.swedishName);
        variables.insert("latinname", f.latinName);
        variables.insert("weight", f.weight);
        variables.insert("found", f.found);
        variables.insert("page", f.page);
        variables.insert("pagecount", f.pageCount);
        calc.OnVariable = [this](TQuillCalc&, const QString& name, TQuillValue& result) {
            if (const auto it = variables.constFind(name); it != variables.constEnd()) result = *it;
        };
    }
};

void BM_Direct(benchmark::State& state) {
    const Find find;
    QString text;
    for (auto _ : state) {
        text = Direct(find);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Calculator(benchmark::State& state) {
    const Find find;
    Handler handler(find);
    QString text;
    for (auto _ : state) {
        text = handler.calc.EvaluateString(kExpression);
        benchmark::DoNotOptimize(text);
    }
    if (text != Direct(find)) state.SkipWithError("the calculator and the direct code disagree");
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Direct);
BENCHMARK(BM_Calculator);

using benchsupport::RatioReporter;

}  // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_Direct") && t.count("BM_Calculator")) {
        std::printf("\nfact-sheet text of %d characters\n", int(kExpression.size()));
        std::printf("direct C++:  %10.0f evaluations/s\n", 1e9 / t.at("BM_Direct"));
        std::printf("calculator:  %10.0f evaluations/s\n", 1e9 / t.at("BM_Calculator"));
        std::printf("ratio calculator / direct: %.1f\n", t.at("BM_Calculator") / t.at("BM_Direct"));
    }
    benchmark::Shutdown();
    return 0;
}
