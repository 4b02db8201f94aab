#include "script/QSHandler.h"

#include "platform/Clock.h"

namespace {

// Takes the next piece off the front of the text.
QString Cut(QString& rest, const QString& delimiter) {
    const qsizetype at = rest.indexOf(delimiter);
    if (at < 0) {
        const QString piece = rest;
        rest.clear();
        return piece;
    }
    const QString piece = rest.left(at);
    rest.remove(0, at + delimiter.size());
    return piece;
}

}  // namespace

QString SplitSection(const QString& text, const QString& delimiter, int index) {
    if (index < 0) return QString();
    if (delimiter.isEmpty()) return index == 0 ? text : QString();
    QString rest = text, piece;
    for (int i = 0; i <= index; ++i) {
        if (rest.isEmpty() && i > 0) return QString();
        piece = Cut(rest, delimiter);
    }
    return piece;
}

QString PickSections(const QString& text, const QString& mask, const QString& separator) {
    QString rest = text;
    QStringList taken;
    for (const QChar c : mask) {
        const QString piece = Cut(rest, QStringLiteral(";"));
        if (c > u'0') taken.append(piece);
    }
    return taken.join(separator);
}

TQSHandler::TQSHandler(QObject* owner) : QObject(owner) {
    m_calc.SetCustomFunctions({QStringLiteral("splitsection"), QStringLiteral("picksections")});
    m_calc.OnFunction = [this](TQuillCalc&, const QString& name, TQuillValue& result) { HandleFunction(name, result); };
    m_calc.OnVariable = [this](TQuillCalc&, const QString& name, TQuillValue& result) { HandleVariable(name, result); };
}

TQSHandler::~TQSHandler() {
    while (!m_scripts.empty()) m_scripts.pop_back();
}

TQSScript* TQSHandler::Script(int index) const {
    return index >= 0 && index < ScriptCount() ? m_scripts[size_t(index)].get() : nullptr;
}

void TQSHandler::SetScriptIndex(int index) {
    if (index < 0 || index >= ScriptCount()) throw Exception(QStringLiteral("Script index out of range"));
    m_scriptIndex = index;
}

TQSScript* TQSHandler::GetCurrentScript() const { return Script(m_scriptIndex); }

TQSScript* TQSHandler::AddScript(const QString& fileName) {
    auto script = std::make_unique<TQSScript>(this);
    script->LoadFromFile(fileName);
    TQSScript* raw = script.get();
    m_scripts.push_back(std::move(script));
    m_scriptIndex = ScriptCount() - 1;
    raw->Reset();
    raw->Root()->Announce();
    return raw;
}

bool TQSHandler::HandleExternal(const QString& name, TQuillValue& result) {
    TQSScript* script = GetCurrentScript();
    TQSScriptObject* function = script ? script->FindExternalFunction(name) : nullptr;
    if (!function) return false;
    if (m_mode == hmApplication) {
        if (!OnExternalFunction)
            throw Exception(QStringLiteral("External function \"%1\" has no implementation").arg(name));
        OnExternalFunction(*this, name, result);
        if (result.index() == 0)
            throw EExpressionError(QStringLiteral("Custom function not implemented (\"%1\")").arg(name),
                                   m_calc.Position());
        return true;
    }
    // Debug mode: the declared arguments are read and dropped; the debug value answers.
    const int count = function->Value(QStringLiteral("ParamCount")).toInt();
    for (int i = 0; i < count; ++i)
        m_calc.GetParam(TQuillKind::Any, count == 1 ? qpOnly : i == 0 ? qpFirst : i == count - 1 ? qpLast : qpMiddle);
    result = static_cast<TQSExternalFunction*>(function)->DebugResult();
    return true;
}

void TQSHandler::HandleFunction(const QString& name, TQuillValue& result) {
    if (HandleExternal(name, result)) return;
    if (name == QLatin1String("splitsection")) {
        const QString text = std::get<QString>(m_calc.GetParam(TQuillKind::String, qpFirst));
        const QString delimiter = std::get<QString>(m_calc.GetParam(TQuillKind::String, qpMiddle));
        const qint32 index = std::get<qint32>(m_calc.GetParam(TQuillKind::Integer, qpLast));
        result = SplitSection(text, delimiter, index);
    } else if (name == QLatin1String("picksections")) {
        const QString text = std::get<QString>(m_calc.GetParam(TQuillKind::String, qpFirst));
        const QString mask = std::get<QString>(m_calc.GetParam(TQuillKind::String, qpMiddle));
        const QString separator = std::get<QString>(m_calc.GetParam(TQuillKind::String, qpLast));
        result = PickSections(text, mask, separator);
    }
}

void TQSHandler::HandleVariable(const QString& name, TQuillValue& result) {
    // External functions belong to the script that declares them.
    if (HandleExternal(name, result)) return;
    TQSScript* current = GetCurrentScript();
    auto values = [current] { return current ? current->ExecData().RunValues() : TQSRunValues(); };
    if (name == QLatin1String("page")) {
        result = qint32(values().Page);
    } else if (name == QLatin1String("pagecount")) {
        result = qint32(values().PageCount);
    } else if (name == QLatin1String("now")) {
        result = QuillDayCount(Clock::Now());
    } else if (name == QLatin1String("printtime")) {
        result = values().PrintTime;
    } else if (name == QLatin1String("clientwidth")) {
        result = values().ClientWidth;
    } else if (name == QLatin1String("clientheight")) {
        result = values().ClientHeight;
    } else if (name == QLatin1String("parent.y")) {
        result = values().ParentY;
    } else {
        const qsizetype dot = name.indexOf(u'.');
        const QString objectName = dot < 0 ? name : name.left(dot);
        TQSScript* script = GetCurrentScript();
        TQSScriptObject* object = script ? script->FindNamedObject(objectName) : nullptr;
        if (!object) throw QSException(nullptr, QStringLiteral("Object \"%1\" not found in script").arg(name));
        object->ReadProperty(m_calc, dot < 0 ? QString() : name.mid(dot + 1), result);
    }
}
