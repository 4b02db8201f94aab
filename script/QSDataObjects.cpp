// Variables, fonts and datasources: read and assigned by name in expressions and formulas,
// their state saved at every page start.
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

#include "platform/ClientDataSet.h"
#include "script/QSDataRegistry.h"
#include "script/QSExecData.h"
#include "script/QSHandler.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"

namespace {

QString Unknown(const QString& property) { return QStringLiteral("Unknown property \"%1\"").arg(property); }
QString Mismatch(const QString& property) { return QStringLiteral("Type mismatch for property \"%1\"").arg(property); }

QString Bit(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

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

void TQSVariable::Compile(TQuillCalc&) {
    // An empty initial value is reported here, with the variable and its property, and not
    // later as an unknown name wherever the variable is read.
    if (Preset)
        InitialValue = *Preset;
    else
        InitialValue = EvaluateKey(QStringLiteral("InitialValue"));
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

QString TQSVariable::StateText(const TQSObjectState& state) const {
    QString text;
    switch (QuillKind(state.Value)) {
        case TQuillKind::Boolean:
            text = std::get<bool>(state.Value) ? QStringLiteral("True") : QStringLiteral("False");
            break;
        case TQuillKind::String:
            text = std::get<QString>(state.Value);
            break;
        case TQuillKind::Integer:
            text = QString::number(std::get<qint32>(state.Value));
            break;
        case TQuillKind::Float:
            text = QLocale::c().toString(std::get<double>(state.Value), 'g', 17);
            break;
        default:
            break;
    }
    return QStringLiteral("%1|%2").arg(int(QuillKind(state.Value))).arg(text);
}

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

void TQSFont::Compile(TQuillCalc&) {
    Working = Described();
    WorkingColor = EvaluateIntegerKey(QStringLiteral("FontColor"));
}

void TQSFont::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    Compile(Script()->Calc());
}

void TQSFont::ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) {
    if (property == QLatin1String("name"))
        result = Working.Name;
    else if (property == QLatin1String("size"))
        result = qint32(Working.Size);
    else if (property == QLatin1String("color"))
        result = WorkingColor;
    else if (property == QLatin1String("bold"))
        result = Working.Bold;
    else if (property == QLatin1String("italic"))
        result = Working.Italic;
    else if (property == QLatin1String("underline"))
        result = Working.Underline;
    else if (property == QLatin1String("strikeout"))
        result = Working.Strikeout;
    else if (property == QLatin1String("height"))
        result = Script()->ExecData().TextHeightMm(Working);
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

QString TQSFont::StateText(const TQSObjectState& state) const {
    const TQSFontSpec& f = state.Font;
    return QStringList{f.Name,          QString::number(f.Size), QString::number(state.Color),
                       Bit(f.Bold),     Bit(f.Italic),           Bit(f.Strikeout),
                       Bit(f.Underline)}
        .join(u'|');
}

// ---- Datasources ----

namespace {

QDateTime FromDayCount(double days) {
    const double whole = std::floor(days);
    return QDateTime(QDate(1899, 12, 30).addDays(qint64(whole)), QTime(0, 0))
        .addMSecs(qint64(std::nearbyint((days - whole) * 86400000.0)));
}

// A field's value as an expression takes it; an empty field gives its type's empty value.
TQuillValue FieldValue(const TField& field) {
    const QVariant value = field.Value();
    switch (field.DataType()) {
        case TFieldType::ftInteger:
            return qint32(value.toInt());
        case TFieldType::ftBoolean:
            return value.toBool();
        case TFieldType::ftFloat:
            return value.toDouble();
        case TFieldType::ftDate:
            return value.isNull() ? 0.0 : QuillDayCount(QDateTime(value.toDate(), QTime(0, 0)));
        case TFieldType::ftDateTime:
            return value.isNull() ? 0.0 : QuillDayCount(value.toDateTime());
        default:
            return value.toString();
    }
}

// A value to look for in a field: dates and times come as day counts.
QVariant SearchValue(const TQuillValue& value, TFieldType type) {
    const bool dated = type == TFieldType::ftDate || type == TFieldType::ftDateTime;
    switch (QuillKind(value)) {
        case TQuillKind::Boolean:
            return std::get<bool>(value);
        case TQuillKind::String:
            return std::get<QString>(value);
        case TQuillKind::Integer:
            if (dated) return FromDayCount(std::get<qint32>(value));
            return std::get<qint32>(value);
        case TQuillKind::Float: {
            const double v = std::get<double>(value);
            if (dated && std::isfinite(v) && std::abs(v) < 3e6) return FromDayCount(v);
            return v;
        }
        default:
            return QVariant();
    }
}

}  // namespace

TClientDataSet* TQSDatasource::Connected() const {
    TClientDataSet* table = DataSet();
    if (!table && Script() && Script()->Mode() == hmApplication)
        throw QSException(this, QStringLiteral("Datasource \"%1\" is not connected").arg(Name()));
    return table;
}

int TQSDatasource::RecNo() const {
    const TClientDataSet* table = DataSet();
    return table ? table->RecNo() : -1;
}

int TQSDatasource::RecordCount() const {
    const TClientDataSet* table = DataSet();
    return table ? table->RecordCount() : -1;
}

void TQSDatasource::MoveTo(int recNo) {
    TClientDataSet* table = DataSet();
    if (!table || table->RecordCount() == 0) return;
    const int count = table->RecordCount();
    if (recNo > count) {
        table->SetRecNo(count);
        table->Next();
    } else if (recNo < 1) {
        table->SetRecNo(1);
        table->Prior();
    } else {
        table->SetRecNo(recNo);
    }
}

void TQSDatasource::ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) {
    // The table's own errors (a field it does not have) name the datasource too.
    auto tableError = [this](const Exception& e) { return QSException(this, e.Message()); };
    if (property == QLatin1String("field")) {
        const QString field = std::get<QString>(calc.GetParam(TQuillKind::String, qpOnly));
        TClientDataSet* table = Connected();
        if (!table) throw QSException(this, QStringLiteral("No valid connection to dataset"));
        try {
            result = FieldValue(*table->FieldByName(field));
        } catch (const QSException&) {
            throw;
        } catch (const Exception& e) {
            throw tableError(e);
        }
    } else if (property == QLatin1String("locate")) {
        const QString field = std::get<QString>(calc.GetParam(TQuillKind::String, qpFirst));
        const TQuillValue value = calc.GetParam(TQuillKind::Any, qpLast);
        TClientDataSet* table = Connected();
        try {
            result = table ? table->Locate(field, SearchValue(value, table->FieldByName(field)->DataType())) : false;
        } catch (const Exception& e) {
            throw tableError(e);
        }
    } else if (property == QLatin1String("recno")) {
        TClientDataSet* table = Connected();
        result = qint32(table ? table->RecNo() : -1);
    } else if (property == QLatin1String("recordcount")) {
        TClientDataSet* table = Connected();
        result = qint32(table ? table->RecordCount() : -1);
    } else if (property == QLatin1String("bof")) {
        TClientDataSet* table = Connected();
        result = table ? table->Bof() : false;
    } else if (property == QLatin1String("eof")) {
        TClientDataSet* table = Connected();
        result = table ? table->Eof() : false;
    } else if (property == QLatin1String("controlsdisabled")) {
        TClientDataSet* table = Connected();
        result = table ? table->ControlsDisabled() : false;
    } else {
        throw QSException(this, Unknown(property));
    }
}

void TQSDatasource::WriteProperty(const QString& property, const TQuillValue& value) {
    if (property == QLatin1String("recno")) {
        if (QuillKind(value) != TQuillKind::Integer) throw QSException(this, Mismatch(property));
        if (Connected()) MoveTo(std::get<qint32>(value));
    } else if (property == QLatin1String("controlsdisabled")) {
        if (QuillKind(value) != TQuillKind::Boolean) throw QSException(this, Mismatch(property));
        TClientDataSet* table = Connected();
        if (!table) return;
        // The script disables the controls once and enables only what it disabled.
        if (std::get<bool>(value) && m_disabledByScript == 0) {
            table->DisableControls();
            ++m_disabledByScript;
        } else if (!std::get<bool>(value) && m_disabledByScript > 0) {
            table->EnableControls();
            --m_disabledByScript;
        }
    } else if (property == QLatin1String("recordcount") || property == QLatin1String("bof") ||
               property == QLatin1String("eof")) {
        throw QSException(this, QStringLiteral("Property \"%1\" is readonly").arg(property));
    } else {
        throw QSException(this, Unknown(property));
    }
}

void TQSDatasource::ReleaseControls() {
    TClientDataSet* table = DataSet();
    for (; m_disabledByScript > 0; --m_disabledByScript)
        if (table) table->EnableControls();
}

void TQSDatasource::Execute(TQSExecData& exec) {
    if (exec.Emit(this)) Compile(Script()->Calc());
}

bool TQSDatasource::SaveState(TQSObjectState& state) const {
    const TClientDataSet* table = DataSet();
    if (!table) return false;
    state.RecNo = table->RecNo();
    state.Marker = table->Eof() ? 2 : table->Bof() ? 1 : 0;
    return true;
}

void TQSDatasource::RestoreState(const TQSObjectState& state) {
    TClientDataSet* table = DataSet();
    if (!table) return;
    MoveTo(state.RecNo);
    if (state.Marker == 1)
        table->First();
    else if (state.Marker == 2)
        table->Last();
}

QString TQSDatasource::StateText(const TQSObjectState& state) const {
    return QStringLiteral("%1|%2")
        .arg(state.RecNo)
        .arg(state.Marker == 2       ? QStringLiteral("EOF")
                 : state.Marker == 1 ? QStringLiteral("BOF")
                                     : QStringLiteral("###"));
}

TClientDataSet* TQSDataModuleDatasource::DataSet() const {
    // The test query of the script editor has no table in the program.
    const TQSHandler* handler = Script() ? Script()->Handler() : nullptr;
    if (!handler || handler->Mode() != hmApplication) return nullptr;
    const QString name = Value(QStringLiteral("Datasource"));
    if (name.isEmpty()) return nullptr;
    const TDataSource* source = handler->DataSources.Find(Value(QStringLiteral("Datamodule")), name);
    TClientDataSet* table = source ? source->DataSet() : nullptr;
    return table && table->Active() ? table : nullptr;
}

TQSCDSDatasource::TQSCDSDatasource() = default;
TQSCDSDatasource::~TQSCDSDatasource() = default;

TClientDataSet* TQSCDSDatasource::DataSet() const {
    if (Script() && Script()->Mode() == hmApplication) return TQSDataModuleDatasource::DataSet();
    return m_testTable && m_testTable->Active() ? m_testTable.get() : nullptr;
}

// In debug mode the table file named by DebugFilename stands in for the program's table.
void TQSCDSDatasource::LoadProperties(const QStringList& lines) {
    TQSDataModuleDatasource::LoadProperties(lines);
    if (!Script() || Script()->Mode() != hmDebug || (m_testTable && m_testTable->Active())) return;
    const QString file = Value(QStringLiteral("DebugFilename"));
    if (!QFileInfo(file).isFile()) return;
    auto table = std::make_unique<TClientDataSet>();
    try {
        table->SetFileName(file);
        table->Open();
    } catch (const Exception&) {
        return;  // no test table: the datasource is not connected
    }
    m_testTable = std::move(table);
}
