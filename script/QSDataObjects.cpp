// Variables, fonts and datasources: read and assigned by name in expressions and formulas,
// their state saved at every page start.
#include "script/QSDataset.h"
#include "script/QSExecData.h"
#include "script/QSHandler.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"

TQSDataset::~TQSDataset() = default;

namespace {

QString Unknown(const QString& property) { return QStringLiteral("Unknown property \"%1\"").arg(property); }
QString Mismatch(const QString& property) { return QStringLiteral("Type mismatch for property \"%1\"").arg(property); }

// Evaluates a property's expression; an expression error names the object and the property.
TQuillValue EvaluateKey(TQSScriptObject& object, TQuillCalc& calc, const QString& key) {
    try {
        return calc.Evaluate(object.Value(key));
    } catch (const EExpressionError& e) {
        throw QSException(&object, e.Message(), e.Position(), key);
    }
}

}  // namespace

// ---- Registration with the snapshots ----

TQSDataObject::~TQSDataObject() {
    if (Script()) Script()->ExecData().Unregister(this);
}

void TQSDataObject::Created() {
    TQSScriptObject::Created();
    if (Script()) Script()->ExecData().Register(this);
}

// ---- Variable ----

void TQSVariable::ReadProperty(TQuillCalc&, const QString& property, TQuillValue& result) {
    if (!property.isEmpty()) throw QSException(this, Unknown(property));
    result = CurrentValue;
}

void TQSVariable::WriteProperty(const QString& property, const TQuillValue& value) {
    if (!property.isEmpty()) throw QSException(this, Unknown(property));
    CurrentValue = value;
}

void TQSVariable::Compile(TQuillCalc& calc) {
    // A variable without an initial value starts empty.
    InitialValue = Value(QStringLiteral("InitialValue")).trimmed().isEmpty()
                       ? TQuillValue()
                       : EvaluateKey(*this, calc, QStringLiteral("InitialValue"));
    CurrentValue = InitialValue;
}

void TQSVariable::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    Compile(Script()->Calc());
}

bool TQSVariable::SaveState(TQSObjectState& state) const {
    state.Value = CurrentValue;
    return true;
}

void TQSVariable::RestoreState(const TQSObjectState& state) { CurrentValue = state.Value; }

// ---- Font ----

TQSFontSpec TQSFont::Described() const {
    TQSFontSpec font;
    font.Name = Value(QStringLiteral("FontName"));
    bool ok = false;
    const int size = Value(QStringLiteral("FontSize")).toInt(&ok);
    if (ok) font.Size = size;
    font.Bold = Value(QStringLiteral("FontBold")).toInt() != 0;
    font.Italic = Value(QStringLiteral("FontItalic")).toInt() != 0;
    font.Underline = Value(QStringLiteral("FontUnderline")).toInt() != 0;
    font.Strikeout = Value(QStringLiteral("FontStrikeout")).toInt() != 0;
    return font;
}

void TQSFont::Compile(TQuillCalc& calc) {
    Working = Described();
    const TQuillValue color = EvaluateKey(*this, calc, QStringLiteral("FontColor"));
    if (QuillKind(color) != TQuillKind::Integer)
        throw QSException(this, QStringLiteral("Integer expected"), -1, QStringLiteral("FontColor"));
    WorkingColor = std::get<qint32>(color);
}

void TQSFont::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    Compile(Script()->Calc());
}

void TQSFont::ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) {
    if (property == QLatin1String("name")) result = Working.Name;
    else if (property == QLatin1String("size")) result = qint32(Working.Size);
    else if (property == QLatin1String("color")) result = WorkingColor;
    else if (property == QLatin1String("bold")) result = Working.Bold;
    else if (property == QLatin1String("italic")) result = Working.Italic;
    else if (property == QLatin1String("underline")) result = Working.Underline;
    else if (property == QLatin1String("strikeout")) result = Working.Strikeout;
    else if (property == QLatin1String("height")) result = Script()->ExecData().TextHeightMm(Working);
    else if (property == QLatin1String("width")) {
        const QString text = std::get<QString>(calc.GetParam(TQuillKind::String, qpOnly));
        result = Script()->ExecData().TextWidthMm(Working, text);
    } else {
        throw QSException(this, Unknown(property));
    }
}

void TQSFont::WriteProperty(const QString& property, const TQuillValue& value) {
    auto flag = [&](bool& target) {
        if (QuillKind(value) != TQuillKind::Boolean) throw QSException(this, Mismatch(property));
        target = std::get<bool>(value);
    };
    auto integer = [&] {
        if (QuillKind(value) != TQuillKind::Integer) throw QSException(this, Mismatch(property));
        return std::get<qint32>(value);
    };
    if (property == QLatin1String("name")) {
        if (QuillKind(value) != TQuillKind::String) throw QSException(this, Mismatch(property));
        Working.Name = std::get<QString>(value);
    } else if (property == QLatin1String("size")) {
        Working.Size = integer();
    } else if (property == QLatin1String("color")) {
        WorkingColor = integer();
    } else if (property == QLatin1String("bold")) {
        flag(Working.Bold);
    } else if (property == QLatin1String("italic")) {
        flag(Working.Italic);
    } else if (property == QLatin1String("underline")) {
        flag(Working.Underline);
    } else if (property == QLatin1String("strikeout")) {
        flag(Working.Strikeout);
    } else if (property == QLatin1String("height") || property == QLatin1String("width")) {
        throw QSException(this, QStringLiteral("Property \"%1\" is readonly").arg(property));
    } else {
        throw QSException(this, Unknown(property));
    }
}

bool TQSFont::SaveState(TQSObjectState& state) const {
    state.Font = Working;
    state.Color = WorkingColor;
    return true;
}

void TQSFont::RestoreState(const TQSObjectState& state) {
    Working = state.Font;
    WorkingColor = state.Color;
}

// ---- Datasource ----

TQSDataset* TQSDataModuleDatasource::DataSet() const {
    const TQSHandler* handler = Script() ? Script()->Handler() : nullptr;
    if (!handler || !handler->FindDataset || Value(QStringLiteral("Datasource")).isEmpty()) return nullptr;
    TQSDataset* table =
        handler->FindDataset(Value(QStringLiteral("Datamodule")).toUpper(), Value(QStringLiteral("Datasource")).toUpper());
    return table && table->IsOpen() ? table : nullptr;
}

TQSDataset* TQSDataModuleDatasource::Connected() const {
    TQSDataset* table = DataSet();
    if (!table && Script() && Script()->Mode() == hmApplication)
        throw QSException(this, QStringLiteral("Datasource \"%1\" is not connected").arg(Name()));
    return table;
}

int TQSDataModuleDatasource::RecNo() const {
    const TQSDataset* table = DataSet();
    return table ? table->RecNo() : -1;
}

int TQSDataModuleDatasource::RecordCount() const {
    const TQSDataset* table = DataSet();
    return table ? table->RecordCount() : -1;
}

void TQSDataModuleDatasource::MoveTo(int recNo) {
    if (TQSDataset* table = DataSet()) table->MoveBy(recNo - table->RecNo());
}

void TQSDataModuleDatasource::ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) {
    TQSDataset* table = nullptr;
    if (property == QLatin1String("field")) {
        const QString field = std::get<QString>(calc.GetParam(TQuillKind::String, qpOnly));
        table = Connected();
        if (!table) throw QSException(this, QStringLiteral("No valid connection to dataset"));
        result = table->Field(field);
        // An empty field reads as an empty text, which every expression can take.
        if (QuillKind(result) == TQuillKind::Empty) result = QString();
    } else if (property == QLatin1String("locate")) {
        const QString field = std::get<QString>(calc.GetParam(TQuillKind::String, qpFirst));
        const TQuillValue value = calc.GetParam(TQuillKind::Any, qpLast);
        table = Connected();
        result = table ? table->Locate(field, value) : false;
    } else if (property == QLatin1String("recno")) {
        table = Connected();
        result = qint32(table ? table->RecNo() : -1);
    } else if (property == QLatin1String("recordcount")) {
        table = Connected();
        result = qint32(table ? table->RecordCount() : -1);
    } else if (property == QLatin1String("bof")) {
        table = Connected();
        result = table ? table->Bof() : false;
    } else if (property == QLatin1String("eof")) {
        table = Connected();
        result = table ? table->Eof() : false;
    } else if (property == QLatin1String("controlsdisabled")) {
        table = Connected();
        result = table ? table->ControlsDisabled() : false;
    } else {
        throw QSException(this, Unknown(property));
    }
}

void TQSDataModuleDatasource::WriteProperty(const QString& property, const TQuillValue& value) {
    if (property == QLatin1String("recno")) {
        if (QuillKind(value) != TQuillKind::Integer) throw QSException(this, Mismatch(property));
        if (TQSDataset* table = Connected()) table->MoveBy(std::get<qint32>(value) - table->RecNo());
    } else if (property == QLatin1String("controlsdisabled")) {
        if (QuillKind(value) != TQuillKind::Boolean) throw QSException(this, Mismatch(property));
        if (TQSDataset* table = Connected()) table->SetControlsDisabled(std::get<bool>(value));
    } else if (property == QLatin1String("recordcount") || property == QLatin1String("bof") ||
               property == QLatin1String("eof")) {
        throw QSException(this, QStringLiteral("Property \"%1\" is readonly").arg(property));
    } else {
        throw QSException(this, Unknown(property));
    }
}

void TQSDataModuleDatasource::Execute(TQSExecData& exec) { exec.Emit(this); }

bool TQSDataModuleDatasource::SaveState(TQSObjectState& state) const {
    const TQSDataset* table = DataSet();
    if (!table) return false;
    state.RecNo = table->RecNo();
    state.Marker = table->Eof() ? 2 : table->Bof() ? 1 : 0;
    return true;
}

void TQSDataModuleDatasource::RestoreState(const TQSObjectState& state) {
    TQSDataset* table = DataSet();
    if (!table) return;
    table->MoveBy(state.RecNo - table->RecNo());
    if (state.Marker == 1) table->First();
    else if (state.Marker == 2) table->Last();
}

// ---- Page break ----

void TQSPageBreak::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    // A header or foot runs on every page: a break there would start pages without end.
    for (const TQSContainer* c = Owner(); c; c = c->Owner())
        if (dynamic_cast<const TQSPageHeader*>(c) || dynamic_cast<const TQSPageFoot*>(c)) return;
    exec.NewPage(exec.CurrentPage() + 1);
}
