// The statements that steer what the document holds: conditions, choices, counted loops,
// assignments and the declarations of external functions. Preparation decides them; a run
// replays only the assignments and the loop counters.
#include <limits>

#include "script/QSExecData.h"
#include "script/QSHandler.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"

namespace {

bool Debugging(const TQSScriptObject& object) { return object.Script() && object.Script()->Mode() == hmDebug; }

// Two values are the same when both are numbers of equal value, or of one kind and equal.
bool SameValue(const TQuillValue& a, const TQuillValue& b) {
    auto number = [](const TQuillValue& v, double* out) {
        if (QuillKind(v) == TQuillKind::Integer)
            *out = std::get<qint32>(v);
        else if (QuillKind(v) == TQuillKind::Float)
            *out = std::get<double>(v);
        else
            return false;
        return true;
    };
    double x = 0, y = 0;
    if (number(a, &x) && number(b, &y)) return x == y;
    return a == b;
}

}  // namespace

// ---- IF ----

void TQSIf::Compile(TQuillCalc& calc) {
    TQSFreeContainer::Compile(calc);
    Result = EvaluateBooleanKey(QStringLiteral("Expression"));
}

void TQSIf::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    Compile(Script()->Calc());
    // In debug mode the script's author may force the branch: 1 never, 2 always.
    const int debugResult = Value(QStringLiteral("DebugResult")).toInt();
    const bool taken = Debugging(*this) ? debugResult == 2 || (debugResult == 0 && Result) : Result;
    if (taken) ExecuteChildren(exec);
}

// ---- CASE ----

bool TQSCaseField::IsElse() const { return Value(QStringLiteral("ElseCase")).toInt() != 0; }

bool TQSCaseField::Matches(const TQuillValue& value) const {
    return SameValue(EvaluateKey(QStringLiteral("CaseResult")), value);
}

void TQSCase::Compile(TQuillCalc& calc) {
    TQSContainer::Compile(calc);
    const TQSCaseField* elseRow = nullptr;
    for (int i = 0; i < ChildCount(); ++i) {
        const auto* row = dynamic_cast<const TQSCaseField*>(Child(i));
        if (!row || !row->IsElse()) continue;
        if (elseRow) throw QSException(row, QStringLiteral("Only one ELSE field allowed in CASE statements"));
        elseRow = row;
    }
    CaseValue = EvaluateKey(QStringLiteral("Expression"));
    m_useDebugValue = Debugging(*this) && !Value(QStringLiteral("DebugResult")).trimmed().isEmpty();
    if (m_useDebugValue) m_debugValue = EvaluateKey(QStringLiteral("DebugResult"));
}

TQSCaseField* TQSCase::ChooseRow(const TQuillValue& value) const {
    TQSCaseField* chosen = nullptr;
    for (int i = 0; i < ChildCount(); ++i) {
        auto* row = dynamic_cast<TQSCaseField*>(Child(i));
        if (!row) continue;
        if (row->IsElse()) {
            if (!chosen) chosen = row;
        } else if (row->Matches(value)) {
            chosen = row;
        }
    }
    return chosen;
}

void TQSCase::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    Compile(Script()->Calc());
    if (TQSCaseField* row = ChooseRow(m_useDebugValue ? m_debugValue : CaseValue)) {
        TQSExecData::OpenScope open(exec, this);
        row->ExecuteChildren(exec);
    }
}

// ---- FOR ----

bool TQSForLoop::Descending() const { return Value(QStringLiteral("Descending")).toInt() != 0; }

TQSVariable* TQSForLoop::Variable() const {
    const QString name = Value(QStringLiteral("Variable")).trimmed();
    auto* variables = dynamic_cast<TQSDataContainer*>(Script()->Root()->Section(1));
    return name.isEmpty() || !variables ? nullptr : dynamic_cast<TQSVariable*>(variables->FindByName(name));
}

qint64 TQSForLoop::LoopValue(const TQSVariable& variable) const {
    if (QuillKind(variable.CurrentValue) != TQuillKind::Integer)
        throw QSException(this, QStringLiteral("Type mismatch for property \"%1\"").arg(variable.Name()), -1,
                          QStringLiteral("Variable"));
    return std::get<qint32>(variable.CurrentValue);
}

void TQSForLoop::Compile(TQuillCalc& calc) {
    TQSFreeContainer::Compile(calc);
    if (!Variable())
        throw QSException(this, QStringLiteral("For-loop variable not found"), -1, QStringLiteral("Variable"));
    Start = EvaluateIntegerKey(QStringLiteral("StartValue"));
    End = EvaluateIntegerKey(QStringLiteral("EndValue"));
    UsesDebugEnd = Debugging(*this) && !Value(QStringLiteral("DebugEndValue")).trimmed().isEmpty();
    if (UsesDebugEnd) DebugEnd = EvaluateIntegerKey(QStringLiteral("DebugEndValue"));
}

void TQSForLoop::Execute(TQSExecData& exec) {
    const bool preparing = exec.Emit(this);
    Compile(Script()->Calc());
    TQSVariable* variable = Variable();
    variable->CurrentValue = Start;
    if (!preparing) return;
    // The count runs in 64 bits, so an end at the edge of the integers ends the loop too.
    const qint64 end = UsesDebugEnd ? DebugEnd : End;
    const qint64 step = Descending() ? -1 : 1;
    for (qint64 value = LoopValue(*variable); step > 0 ? value <= end : value >= end;) {
        ExecuteChildren(exec);
        m_counter->Execute(exec);
        value = LoopValue(*variable) + step;
        if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min()) break;
        variable->CurrentValue = qint32(value);
    }
}

void TQSForLoopCounter::Execute(TQSExecData& exec) {
    if (exec.Emit(this)) return;
    TQSForLoop* loop = Loop();
    TQSVariable* variable = loop->Variable();
    if (!variable) return;
    const qint64 value = loop->LoopValue(*variable) + (loop->Descending() ? -1 : 1);
    variable->CurrentValue = qint32(value);
}

// ---- Formula ----

void TQSFormula::Compile(TQuillCalc&) {
    const QString text = Value(QStringLiteral("Expression"));
    const QString key = QStringLiteral("Expression");
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0) throw QSException(this, QStringLiteral("Invalid expression"), -1, key);
    const QString target = text.left(equals).trimmed();
    const qsizetype dot = target.indexOf(u'.');
    const QString objectName = dot < 0 ? target : target.left(dot);
    m_property = dot < 0 ? QString() : target.mid(dot + 1).trimmed().toLower();
    m_toParent = objectName.compare(QLatin1String("parent"), Qt::CaseInsensitive) == 0;
    m_target = nullptr;
    if (!m_toParent) {
        m_target = Script()->FindNamedObject(objectName);
        if (!m_target)
            throw QSException(this, QStringLiteral("Object \"%1\" not found in script").arg(objectName), -1, key);
    }
    const QString expression = text.mid(equals + 1);
    m_value = EvaluateText(expression, key, int(equals + 1), m_toParent ? TQuillKind::Float : TQuillKind::Empty);
}

void TQSFormula::Execute(TQSExecData& exec) {
    Compile(Script()->Calc());
    exec.Emit(this);
    if (m_toParent) {
        if (TQSContainer* area = Area()) area->BindData().SetCurrentY(std::get<double>(m_value));
        return;
    }
    try {
        m_target->WriteProperty(m_property, m_value);
    } catch (const QSException& e) {
        // Told at the formula, where the script's author wrote the assignment.
        throw QSException(this, e.Message(), -1, QStringLiteral("Expression"));
    }
}

// ---- External function ----

void TQSExternalFunction::Compile(TQuillCalc&) {
    m_debugEvaluated = false;
    // Only the script editor answers with the debug value; the program serves the function.
    if (!Debugging(*this)) return;
    m_debugResult = EvaluateKey(QStringLiteral("DebugValue"));
    m_debugEvaluated = true;
}

TQuillValue TQSExternalFunction::DebugResult() {
    return m_debugEvaluated ? m_debugResult : EvaluateKey(QStringLiteral("DebugValue"));
}
