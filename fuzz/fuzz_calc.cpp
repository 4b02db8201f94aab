// Random text as an expression, with handlers that answer a few variables and functions the
// way the script handler does. Only EExpressionError (or a handler's own Exception) may come
// out, at a position inside the text (or just past it), and a successful evaluation gives a value of one of the four kinds
// that the typed evaluations agree with.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "script/QuillCalc.h"

namespace {

TQuillCalc& Calc() {
    static TQuillCalc* calc = [] {
        auto* c = new TQuillCalc;
        c->SetDecimalSeparator(u',');
        c->SetCustomFunctions({"f", "g", "h", "nest"});
        c->OnFunction = [](TQuillCalc& sender, const QString& name, TQuillValue& result) {
            if (name == "f") {
                result = sender.GetParam(TQuillKind::Any, qpOnly);
            } else if (name == "g") {
                const QString text = std::get<QString>(sender.GetParam(TQuillKind::String, qpFirst));
                const qint32 index = std::get<qint32>(sender.GetParam(TQuillKind::Integer, qpMiddle));
                const double factor = std::get<double>(sender.GetParam(TQuillKind::Float, qpLast));
                result = text + QString::number(index) + QString::number(factor);
            } else if (name == "nest") {
                // Evaluates its text argument on the same calculator; an error of the inner text
                // is the handler's own error, as a script handler reports it.
                const QString inner = std::get<QString>(sender.GetParam(TQuillKind::String, qpOnly));
                // Only texts that name random may differ between two evaluations.
                if (inner.contains(QLatin1String("random"), Qt::CaseInsensitive)) throw Exception("random");
                try {
                    result = sender.Evaluate(inner);
                } catch (const EExpressionError& e) {
                    if (e.Position() < 1 || e.Position() > inner.size() + 1) std::abort();
                    throw Exception(e.Message());
                }
            }
            // "h" leaves the result empty.
        };
        c->OnVariable = [](TQuillCalc&, const QString& name, TQuillValue& result) {
            if (name == "x")
                result = qint32(-2147483647 - 1);
            else if (name == "y")
                result = 2.5;
            else if (name == "s")
                result = QStringLiteral("Kantarell");
            else if (name == "b")
                result = true;
            else if (name == "parent.y")
                result = 12.75;
        };
        return c;
    }();
    return *calc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    TQuillCalc& calc = Calc();
    const bool random = text.contains(QLatin1String("random"), Qt::CaseInsensitive);
    TQuillValue value;
    try {
        value = calc.Evaluate(text);
    } catch (const EExpressionError& e) {
        if (e.Position() < 1 || e.Position() > text.size() + 1) std::abort();
        return 0;
    } catch (const Exception&) {
        return 0;  // raised by a handler
    }
    if (value.index() == 0) std::abort();
    if (QuillKind(value) == TQuillKind::Float && !std::isfinite(std::get<double>(value))) std::abort();
    if (random) return 0;
    // The same text again gives the same value, and the typed evaluations agree with its kind.
    if (calc.Evaluate(text) != value) std::abort();
    try {
        switch (QuillKind(value)) {
            case TQuillKind::Boolean:
                if (calc.EvaluateBoolean(text) != std::get<bool>(value)) std::abort();
                break;
            case TQuillKind::String:
                if (calc.EvaluateString(text) != std::get<QString>(value)) std::abort();
                break;
            case TQuillKind::Integer:
                if (calc.EvaluateInteger(text) != std::get<qint32>(value)) std::abort();
                break;
            default:
                calc.EvaluateFloat(text);
                break;
        }
    } catch (const EExpressionError&) {
        std::abort();
    }
    return 0;
}
