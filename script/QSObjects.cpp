#include "script/QSObjects.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "script/QSHandler.h"
#include "script/QSScript.h"

namespace {

const QString kInvalidClass = QStringLiteral("Invalid class (%1) found in scriptfile!");
const QString kInvalidSpan = QStringLiteral("Error in Pagelayout. Invalid page span");
const QString kInvalidValue = QStringLiteral("Invalid value of key \"%1\" found in scriptfile!");
const QString kLineBreak = QStringLiteral("|#13#10|");

// The registry's storage; a deque, so records never move.
std::deque<TQSRegisteredObject>& Storage() {
    static std::deque<TQSRegisteredObject> records;
    return records;
}

void Add(TQSRegisteredObject record) {
    auto& records = Storage();
    for (const TQSRegisteredObject& r : records)
        if (r.ID == record.ID)
            throw Exception(
                QStringLiteral("ERROR! Duplicate object IDs when registering script objects (ID: %1)").arg(record.ID));
    for (const TQSRegisteredObject& r : records)
        if (r.ClassName == record.ClassName)
            throw Exception(QStringLiteral("Objectclass \"%1\" already registered").arg(record.ClassName));
    records.push_back(std::move(record));
}

template <class T, class Parent>
TQSRegisteredObject Record(const char* className, const char* parentName, const char* display, int id,
                           const char* category, quint8 flags, QList<TQSKey> keys = {}, const char* stem = "") {
    TQSRegisteredObject r;
    r.ClassName = QLatin1String(className);
    r.ParentClassName = QLatin1String(parentName);
    r.DisplayName = QLatin1String(display);
    r.Category = QLatin1String(category);
    r.ID = id;
    r.Flags = flags;
    r.Create = [] { return std::unique_ptr<TQSScriptObject>(new T); };
    r.AcceptsParent = [](const TQSContainer& c) {
        if constexpr (std::is_same_v<Parent, TQSContainer>)
            return true;
        else
            return dynamic_cast<const Parent*>(&c) != nullptr;
    };
    r.Keys = std::move(keys);
    r.NameStem = QLatin1String(stem);
    return r;
}

TQSKey Text(const char* name, const char* def = "") {
    return {QLatin1String(name), TQSKeyKind::Text, QString::fromUtf8(def)};
}
TQSKey Int(const char* name, const char* def = "0") {
    return {QLatin1String(name), TQSKeyKind::Integer, QLatin1String(def)};
}
TQSKey Float(const char* name, const char* def) { return {QLatin1String(name), TQSKeyKind::Float, QLatin1String(def)}; }
TQSKey List(const char* name) { return {QLatin1String(name), TQSKeyKind::List, QString()}; }

void Build() {
    using B = TQSBaseContainer;
    using F = TQSFreeContainer;
    const QList<TQSKey> box{Text("PositionX", "0"), Text("PositionY", "0"), Text("Width", "0"), Text("Height", "0")};
    Add(Record<TQSDummy, TQSContainer>("TQSDummy", "TQSContainer", "(empty)", 16, "", 4));
    Add(Record<TQSScriptSettings, B>(
        "TQSScriptSettings", "TQSBaseContainer", "Scriptsettings", 14, "", 10,
        {Text("ScriptName", "New script"), Int("PaperSize", "1"), Float("PrintSizeX", "210"),
         Float("PrintSizeY", "297"), Int("Orientation", "0"), List("Params")}));
    Add(Record<TQSFonts, B>("TQSFonts", "TQSBaseContainer", "Fonts", 3, "", 10));
    Add(Record<TQSFont, TQSFonts>(
        "TQSFont", "TQSFonts", "Font", 4, "Basic", 17,
        {Text("Name"), Text("FontName", "Liberation Sans"), Int("FontSize", "10"), Int("FontBold"), Int("FontItalic"),
         Int("FontUnderline"), Int("FontStrikeout"), Text("FontColor", "0")},
        "font"));
    Add(Record<TQSVariables, B>("TQSVariables", "TQSBaseContainer", "Variables", 1, "", 10));
    Add(Record<TQSVariable, TQSVariables>("TQSVariable", "TQSVariables", "Variable", 2, "Basic", 17,
                                          {Text("Name"), Text("InitialValue")}, "variable"));
    Add(Record<TQSDatasources, B>("TQSDatasources", "TQSBaseContainer", "Datasources", 5, "", 10));
    Add(Record<TQSDataModuleDatasource, TQSDatasources>(
        "TQSDataModuleDatasource", "TQSDatasources", "Datamodule", 6, "Datasources", 17,
        {Text("Name"), Text("Datamodule"), Text("Datasource"), List("TestQuery")}, "datasource"));
    Add(Record<TQSCDSDatasource, TQSDatasources>(
        "TQSCDSDatasource", "TQSDatasources", "ClientDS", 29, "Datasources", 17,
        {Text("Name"), Text("Datamodule"), Text("Datasource"), Text("DebugFilename")}, "datasource"));
    Add(Record<TQSPagelayouts, B>("TQSPagelayouts", "TQSBaseContainer", "Pagelayouts", 7, "", 10));
    Add(Record<TQSPagelayout, TQSPagelayouts>(
        "TQSPagelayout", "TQSPagelayouts", "Pagelayout", 8, "Basic", 17,
        {Text("PageSpan", "*"), Text("TopMargin", "15"), Text("BottomMargin", "10"), Text("LeftMargin", "20"),
         Text("RightMargin", "20"), Text("HeaderSize", "10"), Text("FootSize", "15")}));
    Add(Record<TQSPageHeader, TQSPagelayout>("TQSPageHeader", "TQSPagelayout", "Page header", 17, "", 10));
    Add(Record<TQSPageFoot, TQSPagelayout>("TQSPageFoot", "TQSPagelayout", "Page foot", 18, "", 10));
    Add(Record<TQSSubroutines, B>("TQSSubroutines", "TQSBaseContainer", "Subroutines", 9, "", 10));
    Add(Record<TQSSubroutine, TQSSubroutines>("TQSSubroutine", "TQSSubroutines", "Subroutine", 10, "Basic", 17));
    Add(Record<TQSExternalFunctions, B>("TQSExternalFunctions", "TQSBaseContainer", "External functions", 31, "", 10));
    Add(Record<TQSExternalFunction, TQSExternalFunctions>(
        "TQSExternalFunction", "TQSExternalFunctions", "Ext.function", 32, "Basic", 17,
        {Text("Name"), Int("ParamCount"), Text("DebugValue")}, "function"));
    Add(Record<TQSBaseScriptContainer, B>("TQSBaseScriptContainer", "TQSBaseContainer", "Script objects", 15, "", 10));
    Add(Record<TQSFormula, F>("TQSFormula", "TQSFreeContainer", "Formula", 23, "Control", 0, {Text("Expression")}));
    Add(Record<TQSIf, F>("TQSIf", "TQSFreeContainer", "IF", 11, "Control", 0,
                         {Text("Expression", "<expression>"), Int("DebugResult")}));
    Add(Record<TQSCase, F>("TQSCase", "TQSFreeContainer", "CASE", 12, "Control", 0,
                           {Text("Expression", "<expression>"), Text("DebugResult")}));
    Add(Record<TQSCaseField, TQSCase>("TQSCaseField", "TQSCase", "CASE-row", 13, "Control", 1,
                                      {Text("CaseResult", "<result>"), Int("ElseCase")}));
    Add(Record<TQSForLoop, F>(
        "TQSForLoop", "TQSFreeContainer", "FOR-loop", 21, "Control", 0,
        {Text("Variable"), Text("StartValue"), Text("EndValue"), Int("Descending"), Text("DebugEndValue")}));
    Add(Record<TQSPageBreak, F>("TQSPageBreak", "TQSFreeContainer", "Page break", 30, "Control", 0));
    Add(Record<TQSText, F>("TQSText", "TQSFreeContainer", "Textrow", 22, "Text", 0,
                           {Text("FontName"), Text("Text"), Text("PositionX", "0"), Text("PositionY", "0"),
                            Text("Width", "0"), Int("Alignment"), Int("Linefeed")}));
    Add(Record<TQSRectangle, F>(
        "TQSRectangle", "TQSFreeContainer", "Rectangle", 24, "Graphic", 0,
        box +
            QList<TQSKey>{Text("Margin", "0"), Text("BorderWidth", "0.5"), Text("CornerRadius", "0"),
                          Text("BorderColor", "0"), Text("BackgroundColor", "16777215")}));
    Add(Record<TQSLine, F>("TQSLine", "TQSFreeContainer", "Line", 25, "Graphic", 0,
                           {Text("StartX", "0"), Text("StartY", "0"), Text("EndX", "0"), Text("EndY", "0"),
                            Text("LineWidth", "0.5"), Text("LineColor", "0")}));
    Add(Record<TQSPicture, F>("TQSPicture", "TQSFreeContainer", "Picture", 26, "Graphic", 0,
                              box +
                                  QList<TQSKey>{Text("Stretch", "False"), Int("HorizAlignment"), Int("VertiAlignment"),
                                                Text("Filename", "\"\""), Int("PicType"), Int("Transparent")}));
    Add(Record<TQSColorBar, F>(
        "TQSColorBar", "TQSFreeContainer", "ColorBar", 28, "Graphic", 0,
        box + QList<TQSKey>{Text("ColorInfo", "\"\""), Text("BorderWidth", "0.5"), Text("BorderColor", "0")}));
    Add(Record<TQSComment, F>("TQSComment", "TQSFreeContainer", "Comment", 27, "Basic", 0, {Text("Text")}));
}

void EnsureBuilt() {
    static const bool built = (Build(), true);
    (void)built;
}

// The root is no registered class: nothing may create it from a file.
const TQSRegisteredObject& RootRecord() {
    static const TQSRegisteredObject record = [] {
        TQSRegisteredObject r;
        r.ClassName = QStringLiteral("TQSBaseContainer");
        r.AcceptsParent = [](const TQSContainer&) { return false; };
        return r;
    }();
    return record;
}

// A FOR-loop's counter stands in no file: it belongs to its loop.
const TQSRegisteredObject& CounterRecord() {
    static const TQSRegisteredObject record = [] {
        TQSRegisteredObject r;
        r.ClassName = QStringLiteral("TQSForLoopCounter");
        r.Create = [] { return std::unique_ptr<TQSScriptObject>(new TQSForLoopCounter); };
        r.AcceptsParent = [](const TQSContainer&) { return false; };
        return r;
    }();
    return record;
}

QString EncodeText(const QString& value) {
    QString out = value;
    out.replace(QLatin1String("\r\n"), kLineBreak);
    out.replace(QLatin1Char('\n'), kLineBreak);
    out.replace(QLatin1Char('\r'), kLineBreak);
    return out;
}

QString DecodeText(const QString& value) {
    QString out = value;
    return out.replace(kLineBreak, QLatin1String("\r\n"));
}

QString FloatText(double v) { return QString::number(v, 'g', 15); }

bool ParsePlainInteger(const QString& text, qint32* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok) *value = v;
    return ok;
}

bool ParsePlainFloat(const QString& text, double* value) {
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

}  // namespace

// ---- Registry ----

void RegisterScriptObjectClass(TQSRegisteredObject record) {
    EnsureBuilt();
    Add(std::move(record));
}

const std::deque<TQSRegisteredObject>& TQSRegisteredObjects() {
    EnsureBuilt();
    return Storage();
}

const TQSRegisteredObject* FindRegisteredClass(const QString& className) {
    for (const TQSRegisteredObject& r : TQSRegisteredObjects())
        if (r.ClassName == className) return &r;
    return nullptr;
}

const TQSRegisteredObject* FindRegisteredID(int id) {
    for (const TQSRegisteredObject& r : TQSRegisteredObjects())
        if (r.ID == id) return &r;
    return nullptr;
}

// ---- Exception ----

QSException::QSException(const TQSScriptObject* object, const QString& message)
    : Exception(message), m_object(object), m_position(-1) {}

QSException::QSException(const TQSScriptObject* object, const QString& message, int position, const QString& property)
    : Exception(message),
      m_object(object),
      m_path(property.isEmpty() || !object ? QString() : object->ClassName() + u'.' + property),
      m_position(position) {}

// ---- Layout area ----

void TQSBindData::SetArea(double x, double y, double width, double height) {
    X = x;
    Y = y;
    Width = width;
    Height = height;
    m_currentX = 0;
    m_currentY = 0;
}

void TQSBindData::SetAreaWithin(const TQSBindData& outer, double x, double y, double width, double height) {
    if (width <= 0 || width > outer.ClientWidth()) width = outer.ClientWidth();
    if (height <= 0 || height > outer.ClientHeight()) height = outer.ClientHeight();
    SetArea(outer.ClientX() + x, outer.ClientY() + y, width, height);
}

void TQSBindData::SetCurrentX(double x) {
    m_currentX = x;
    if ((x < 0 || x > Width) && OnOverflow) OnOverflow();
}

void TQSBindData::SetCurrentY(double y) {
    m_currentY = y;
    if ((y < 0 || y > Height) && OnOverflow) OnOverflow();
}

// ---- Objects ----

// Creates objects of a record in a script: values from the keys' defaults.
struct TQSFactory {
    static std::unique_ptr<TQSScriptObject> Make(const TQSRegisteredObject& record, TQSContainer* owner,
                                                 TQSScript* script) {
        std::unique_ptr<TQSScriptObject> object = record.Create();
        object->m_record = &record;
        object->m_owner = owner;
        object->m_script = script;
        for (const TQSKey& key : record.Keys) {
            object->m_values.append(key.Default);
            object->m_lists.append(QStringList());
        }
        return object;
    }
};

TQSObject::~TQSObject() = default;

TQSScriptObject::TQSScriptObject() = default;

TQSScriptObject::~TQSScriptObject() {
    if (m_script) {
        if (IsNamed()) m_script->ReleaseName(this, m_name);
        m_script->Fire(qeObjectFreed, this);
    }
}

void TQSScriptObject::Created() {
    if (!IsNamed() || !m_script) return;
    m_name = m_script->FreeName(m_record->NameStem);
    m_script->TakeName(this, m_name);
}

void TQSScriptObject::SetName(const QString& name) {
    if (m_script) {
        const TQSScriptObject* other = m_script->FindNamedObject(name);
        if (other && other != this)
            throw QSException(
                this,
                QStringLiteral("There is already an object (%1) by the name \"%2\"").arg(other->NameKind(), name));
        if (IsNamed()) {
            m_script->ReleaseName(this, m_name);
            m_script->TakeName(this, name);
        }
    }
    m_name = name;
}

QString TQSScriptObject::NameKind() const {
    if (dynamic_cast<const TQSFont*>(this)) return QStringLiteral("font");
    if (dynamic_cast<const TQSVariable*>(this)) return QStringLiteral("variable");
    if (dynamic_cast<const TQSDatasource*>(this)) return QStringLiteral("datasource");
    return QString();
}

QString TQSScriptObject::Value(const QString& key) const {
    if (IsNamed() && key == QLatin1String("Name")) return m_name;
    for (int i = 0; i < m_record->Keys.size(); ++i)
        if (m_record->Keys[i].Name == key) return m_values[i];
    return QString();
}

void TQSScriptObject::SetValue(const QString& key, const QString& value) {
    if (IsNamed() && key == QLatin1String("Name")) {
        SetName(value);
        return;
    }
    for (int i = 0; i < m_record->Keys.size(); ++i)
        if (m_record->Keys[i].Name == key) m_values[i] = value;
}

QStringList TQSScriptObject::ListValue(const QString& key) const {
    for (int i = 0; i < m_record->Keys.size(); ++i)
        if (m_record->Keys[i].Name == key) return m_lists[i];
    return QStringList();
}

void TQSScriptObject::SetListValue(const QString& key, const QStringList& items) {
    for (int i = 0; i < m_record->Keys.size(); ++i)
        if (m_record->Keys[i].Name == key) m_lists[i] = items;
}

QString TQSScriptObject::DisplayText() const { return QStringLiteral("undefined"); }

void TQSScriptObject::ReadProperty(TQuillCalc&, const QString& property, TQuillValue&) {
    throw QSException(this, QStringLiteral("Unknown property \"%1\"").arg(property));
}

void TQSScriptObject::WriteProperty(const QString& property, const TQuillValue&) {
    throw QSException(this, QStringLiteral("Unknown property \"%1\"").arg(property));
}

void TQSScriptObject::Compile(TQuillCalc&) {}

void TQSScriptObject::Execute(TQSExecData& exec) { exec.Emit(this); }

bool TQSScriptObject::SaveState(TQSObjectState&) const { return false; }

void TQSScriptObject::RestoreState(const TQSObjectState&) {}

QString TQSScriptObject::StateText(const TQSObjectState&) const { return QString(); }

TQSContainer* TQSScriptObject::Area() const {
    for (TQSContainer* container = m_owner; container; container = container->Owner())
        if (container->IsArea()) return container;
    return m_script && m_script->Root() ? m_script->Root()->ScriptObjects() : nullptr;
}

TQuillValue TQSScriptObject::EvaluateText(const QString& text, const QString& key, int offset, TQuillKind kind) const {
    TQSExecData::EvaluatingScope scope(m_script ? &m_script->ExecData() : nullptr, this);
    TQuillCalc& calc = m_script->Calc();
    try {
        switch (kind) {
            case TQuillKind::Boolean:
                return calc.EvaluateBoolean(text);
            case TQuillKind::String:
                return calc.EvaluateString(text);
            case TQuillKind::Integer:
                return calc.EvaluateInteger(text);
            case TQuillKind::Float:
                return calc.EvaluateFloat(text);
            default:
                return calc.Evaluate(text);
        }
    } catch (const EExpressionError& e) {
        // A position past the end of the text means its end.
        const int position = std::clamp(e.Position() + offset, 1, std::max(1, int(Value(key).size())));
        throw QSException(this, e.Message(), offset == 0 ? e.Position() : position, key);
    }
}

TQuillValue TQSScriptObject::EvaluateKey(const QString& key) const {
    return EvaluateText(Value(key), key, 0, TQuillKind::Empty);
}

bool TQSScriptObject::EvaluateBooleanKey(const QString& key) const {
    return std::get<bool>(EvaluateText(Value(key), key, 0, TQuillKind::Boolean));
}

double TQSScriptObject::EvaluateFloatKey(const QString& key) const {
    return std::get<double>(EvaluateText(Value(key), key, 0, TQuillKind::Float));
}

qint32 TQSScriptObject::EvaluateIntegerKey(const QString& key) const {
    return std::get<qint32>(EvaluateText(Value(key), key, 0, TQuillKind::Integer));
}

QString TQSScriptObject::EvaluateStringKey(const QString& key) const {
    return std::get<QString>(EvaluateText(Value(key), key, 0, TQuillKind::String));
}

TQSScriptObject* TQSScriptObject::FindFirstObject(const QString& className, bool) {
    return ClassName() == className ? this : nullptr;
}

void TQSScriptObject::Announce() {
    if (m_script) m_script->Fire(qeAnnounce, this);
}

void TQSScriptObject::SaveProperties(QStringList& lines) const {
    for (int i = 0; i < m_record->Keys.size(); ++i) {
        const TQSKey& key = m_record->Keys[i];
        switch (key.Kind) {
            case TQSKeyKind::Text:
                lines.append(key.Name + u'=' + EncodeText(Value(key.Name)));
                break;
            case TQSKeyKind::Integer: {
                qint32 v = 0;
                ParsePlainInteger(m_values[i], &v);
                lines.append(key.Name + u'=' + QString::number(v));
                break;
            }
            case TQSKeyKind::Float: {
                double v = 0;
                ParsePlainFloat(m_values[i], &v);
                lines.append(key.Name + u'=' + FloatText(v));
                break;
            }
            case TQSKeyKind::List:
                for (int n = 0; n < m_lists[i].size(); ++n)
                    lines.append(key.Name + QString::number(n).rightJustified(3, u'0') + u'=' +
                                 EncodeText(m_lists[i][n]));
                break;
        }
    }
}

QHash<QString, QString> TQSScriptObject::BlockValues(const QStringList& lines) {
    QHash<QString, QString> values;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = line.left(eq);
        if (!values.contains(key)) values.insert(key, line.mid(eq + 1));
    }
    return values;
}

void TQSScriptObject::LoadKey(const TQSKey& key, const QHash<QString, QString>& block) {
    const int index = int(&key - m_record->Keys.constData());
    if (key.Kind == TQSKeyKind::List) {
        QStringList items;
        for (int n = 0;; ++n) {
            const auto it = block.constFind(key.Name + QString::number(n).rightJustified(3, u'0'));
            if (it == block.constEnd()) break;
            items.append(DecodeText(*it));
        }
        m_lists[index] = items;
        return;
    }
    const auto it = block.constFind(key.Name);
    if (it == block.constEnd()) return;
    switch (key.Kind) {
        case TQSKeyKind::Integer: {
            qint32 v;
            if (!ParsePlainInteger(*it, &v)) throw Exception(kInvalidValue.arg(key.Name));
            m_values[index] = QString::number(v);
            break;
        }
        case TQSKeyKind::Float: {
            double v;
            if (!ParsePlainFloat(*it, &v)) throw Exception(kInvalidValue.arg(key.Name));
            m_values[index] = FloatText(v);
            break;
        }
        default:
            if (IsNamed() && key.Name == QLatin1String("Name"))
                SetName(DecodeText(*it));
            else
                m_values[index] = DecodeText(*it);
            break;
    }
}

void TQSScriptObject::LoadProperties(const QStringList& lines) {
    const QHash<QString, QString> block = BlockValues(lines);
    for (const TQSKey& key : m_record->Keys) LoadKey(key, block);
}

// ---- Containers ----

TQSContainer::TQSContainer() {
    m_bindData.OnOverflow = [this] { Overflow(); };
}

TQSContainer::~TQSContainer() {
    // Children go first, while their owner is still whole.
    while (!m_children.empty()) m_children.pop_back();
}

void TQSContainer::Compile(TQuillCalc& calc) {
    if (Script() && Script()->ExecData().State() != TQSExecState::Compiling) return;
    for (const auto& child : m_children) child->Compile(calc);
}

void TQSContainer::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    ExecuteChildren(exec);
}

void TQSContainer::ExecuteChildren(TQSExecData& exec) {
    TQSExecData::OpenScope open(exec, this);
    // A child may start a page, which runs the layout's statements in between; the
    // children themselves do not change meanwhile.
    for (size_t i = 0; i < m_children.size(); ++i) m_children[i]->Execute(exec);
}

void TQSContainer::RequestRoom(TQSExecData&, double) {}

void TQSBaseScriptContainer::RequestRoom(TQSExecData& exec, double height) {
    if (exec.State() != TQSExecState::Preparing) return;
    const TQSBindData& area = BindData();
    if (area.CurrentY() > 0 && area.CurrentY() + height > area.ClientHeight()) exec.NewPage(exec.CurrentPage() + 1);
}

void TQSContainer::Created() {
    TQSScriptObject::Created();
    if (Script() && !Script()->IsLoading() && Script()->Mode() == hmDebug) EnsurePlaceholder();
}

// The placeholder only ever stands alone.
bool TQSContainer::HoldsPlaceholder() const {
    return m_children.size() == 1 && dynamic_cast<const TQSDummy*>(m_children.front().get());
}

int TQSContainer::ChildCount() const { return HoldsPlaceholder() ? 0 : int(m_children.size()); }

TQSScriptObject* TQSContainer::Child(int index) const {
    return index >= 0 && index < ChildCount() ? m_children[size_t(index)].get() : nullptr;
}

void TQSContainer::EnsurePlaceholder() {
    if (!m_children.empty()) return;
    const TQSRegisteredObject* dummy = FindRegisteredID(16);
    m_children.push_back(TQSFactory::Make(*dummy, this, Script()));
}

TQSScriptObject* TQSContainer::CreateChild(const TQSRegisteredObject& record, const TQSScriptObject* after) {
    if (!record.AcceptsParent(*this)) throw Exception(kInvalidClass.arg(record.ClassName));
    if (record.ClassName == QLatin1String("TQSDummy")) {
        // The placeholder stands only in a container without real children.
        EnsurePlaceholder();
        return dynamic_cast<TQSDummy*>(m_children.front().get());
    }
    std::unique_ptr<TQSScriptObject> object = TQSFactory::Make(record, this, Script());
    TQSScriptObject* raw = object.get();
    // A real child takes the placeholder's place (which may be the `after` given).
    if (HoldsPlaceholder()) {
        after = nullptr;
        m_children.clear();
    }
    auto replaced = record.IsUnique()
        ? std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return &c->Record() == &record; })
        : m_children.end();
    if (replaced != m_children.end()) {
        std::unique_ptr<TQSScriptObject> old = std::move(*replaced);
        *replaced = std::move(object);
        old.reset();
    } else if (!after || after == m_children.back().get()) {
        m_children.push_back(std::move(object));
    } else {
        auto pos = std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c.get() == after; });
        if (pos != m_children.end()) ++pos;
        m_children.insert(pos, std::move(object));
    }
    raw->Created();
    return raw;
}

TQSScriptObject* TQSContainer::InsertChild(const TQSRegisteredObject& record, const TQSScriptObject* after) {
    TQSScriptObject* object = CreateChild(record, after);
    object->Announce();
    return object;
}

void TQSContainer::RemoveChild(TQSScriptObject* child) {
    const auto it = std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c.get() == child; });
    if (it == m_children.end()) return;
    std::unique_ptr<TQSScriptObject> old = std::move(*it);
    m_children.erase(it);
    old.reset();
    if (!(Script() && Script()->IsLoading())) EnsurePlaceholder();
}

TQSScriptObject* TQSContainer::NextChild(const TQSScriptObject* child) const {
    for (size_t i = 0; i + 1 < m_children.size(); ++i)
        if (m_children[i].get() == child) return m_children[i + 1].get();
    return nullptr;
}

TQSScriptObject* TQSContainer::PreviousChild(const TQSScriptObject* child) const {
    for (size_t i = 1; i < m_children.size(); ++i)
        if (m_children[i].get() == child) return m_children[i - 1].get();
    return nullptr;
}

TQSScriptObject* TQSContainer::FindFirstObject(const QString& className, bool deep) {
    if (ClassName() == className) return this;
    for (const auto& child : m_children)
        if (child->ClassName() == className) return child.get();
    if (deep)
        for (const auto& child : m_children)
            if (TQSScriptObject* found = child->FindFirstObject(className, true)) return found;
    return nullptr;
}

void TQSContainer::Announce() {
    TQSScriptObject::Announce();
    for (const auto& child : m_children) child->Announce();
}

TQSScriptObject* TQSDataContainer::FindByName(const QString& name) const {
    for (const auto& child : Children())
        if (child->IsNamed() && child->Name().compare(name, Qt::CaseInsensitive) == 0) return child.get();
    return nullptr;
}

// ---- Root ----

std::unique_ptr<TQSBaseContainer> TQSBaseContainer::Create(TQSScript* script) {
    if (!script) throw Exception(QStringLiteral("Error when creating Basecontainer. Script = nil!"));
    std::unique_ptr<TQSBaseContainer> root(new TQSBaseContainer);
    root->m_record = &RootRecord();
    root->m_script = script;
    for (const char* section : {"TQSScriptSettings", "TQSVariables", "TQSFonts", "TQSDatasources", "TQSPagelayouts",
                                "TQSSubroutines", "TQSExternalFunctions", "TQSBaseScriptContainer"})
        root->CreateChild(*FindRegisteredClass(QLatin1String(section)));
    return root;
}

TQSContainer* TQSBaseContainer::Section(int index) const {
    return index >= 0 && index < int(Children().size()) ? dynamic_cast<TQSContainer*>(Children()[size_t(index)].get())
                                                        : nullptr;
}

TQSScriptSettings* TQSBaseContainer::GetScriptSettings() const {
    return Children().empty() ? nullptr : dynamic_cast<TQSScriptSettings*>(Children()[0].get());
}

TQSPagelayouts* TQSBaseContainer::Pagelayouts() const { return dynamic_cast<TQSPagelayouts*>(Section(4)); }

TQSBaseScriptContainer* TQSBaseContainer::ScriptObjects() const {
    return dynamic_cast<TQSBaseScriptContainer*>(Section(7));
}

// ---- Script settings ----

namespace {
struct PaperDims {
    double width, height;
};
const PaperDims kPapers[3] = {{297, 420}, {210, 297}, {148.5, 210}};
}  // namespace

int TQSScriptSettings::PaperSize() const { return Value("PaperSize").toInt(); }
int TQSScriptSettings::Orientation() const { return Value("Orientation").toInt(); }
double TQSScriptSettings::PrintSizeX() const { return QLocale::c().toDouble(Value("PrintSizeX")); }
double TQSScriptSettings::PrintSizeY() const { return QLocale::c().toDouble(Value("PrintSizeY")); }

void TQSScriptSettings::SetPaperSize(int paperSize) {
    SetValue("PaperSize", QString::number(paperSize));
    if (paperSize < 0 || paperSize > 2) return;
    const PaperDims d = kPapers[paperSize];
    const bool landscape = Orientation() == 1;
    SetValue("PrintSizeX", FloatText(landscape ? d.height : d.width));
    SetValue("PrintSizeY", FloatText(landscape ? d.width : d.height));
}

void TQSScriptSettings::SetOrientation(int orientation) {
    if (orientation == Orientation()) return;
    const QString x = Value("PrintSizeX");
    SetValue("PrintSizeX", Value("PrintSizeY"));
    SetValue("PrintSizeY", x);
    SetValue("Orientation", QString::number(orientation));
}

// Orientation first, then the paper size; the stored sizes count only for a custom paper.
void TQSScriptSettings::LoadProperties(const QStringList& lines) {
    const QHash<QString, QString> block = BlockValues(lines);
    const QList<TQSKey>& keys = Record().Keys;
    auto key = [&](const char* name) -> const TQSKey& {
        return *std::find_if(keys.begin(), keys.end(), [&](const TQSKey& k) { return k.Name == QLatin1String(name); });
    };
    LoadKey(key("ScriptName"), block);
    LoadKey(key("Params"), block);
    const QString orientation = Value("Orientation");
    LoadKey(key("Orientation"), block);
    const int newOrientation = Value("Orientation").toInt();
    SetValue("Orientation", orientation);
    SetOrientation(newOrientation);
    LoadKey(key("PaperSize"), block);
    const int newPaper = Value("PaperSize").toInt();
    SetPaperSize(newPaper);
    if (newPaper == 3) {
        LoadKey(key("PrintSizeX"), block);
        LoadKey(key("PrintSizeY"), block);
    }
}

QString TQSScriptSettings::DisplayText() const {
    return QStringLiteral("Script settings, script \"%1\"").arg(Value("ScriptName"));
}

// ---- Sections ----

QString TQSVariables::DisplayText() const { return QStringLiteral("Variables (%1 items)").arg(ChildCount()); }
QString TQSFonts::DisplayText() const { return QStringLiteral("Fonts (%1 items)").arg(ChildCount()); }
QString TQSDatasources::DisplayText() const { return QStringLiteral("Datasources (%1 items)").arg(ChildCount()); }
QString TQSExternalFunctions::DisplayText() const {
    return QStringLiteral("External functions (%1 items)").arg(ChildCount());
}
QString TQSSubroutines::DisplayText() const { return QStringLiteral("Subroutines (%1 items)").arg(ChildCount()); }
QString TQSPagelayouts::DisplayText() const { return QStringLiteral("Pagelayouts (%1 items)").arg(ChildCount()); }

// A new, empty script serves all pages with one default layout.
void TQSPagelayouts::Created() {
    TQSContainer::Created();
    if (Script() && !Script()->IsLoading()) CreateChild(*FindRegisteredClass(QStringLiteral("TQSPagelayout")));
}

TQSPagelayout* TQSPagelayouts::FindLayoutForPage(int page) const {
    TQSPagelayout* last = nullptr;
    for (const auto& child : Children()) {
        auto* layout = dynamic_cast<TQSPagelayout*>(child.get());
        if (!layout) continue;
        if (layout->CoversPage(page)) return layout;
        last = layout;
    }
    return last;
}

// ---- Page layouts ----

void TQSPagelayout::Created() {
    TQSContainer::Created();
    if (Script() && Script()->IsLoading()) return;
    CreateChild(*FindRegisteredClass(QStringLiteral("TQSPageHeader")));
    CreateChild(*FindRegisteredClass(QStringLiteral("TQSPageFoot")), Header());
}

QString TQSPagelayout::DisplayText() const {
    const QString span = Value("PageSpan");
    return span == QLatin1String("*") ? QStringLiteral("Layout for all pages")
                                      : QStringLiteral("Layout for pages: %1").arg(span);
}

TQSPageHeader* TQSPagelayout::Header() const {
    for (const auto& child : Children())
        if (auto* h = dynamic_cast<TQSPageHeader*>(child.get())) return h;
    return nullptr;
}

TQSPageFoot* TQSPagelayout::Foot() const {
    for (const auto& child : Children())
        if (auto* f = dynamic_cast<TQSPageFoot*>(child.get())) return f;
    return nullptr;
}

void TQSPagelayout::CompileSizes(TQuillCalc& calc) {
    TopMargin = calc.EvaluateFloat(Value("TopMargin"));
    BottomMargin = calc.EvaluateFloat(Value("BottomMargin"));
    LeftMargin = calc.EvaluateFloat(Value("LeftMargin"));
    RightMargin = calc.EvaluateFloat(Value("RightMargin"));
    HeaderSize = calc.EvaluateFloat(Value("HeaderSize"));
    FootSize = calc.EvaluateFloat(Value("FootSize"));
}

TQSBand TQSPagelayout::HeaderBand(double pageWidth, double) const {
    return {TopMargin, HeaderSize, LeftMargin, pageWidth - LeftMargin - RightMargin};
}

TQSBand TQSPagelayout::FootBand(double pageWidth, double pageHeight) const {
    return {pageHeight - BottomMargin - FootSize, FootSize, LeftMargin, pageWidth - LeftMargin - RightMargin};
}

TQSBand TQSPagelayout::BodyBand(double pageWidth, double pageHeight) const {
    return {TopMargin + HeaderSize, pageHeight - TopMargin - HeaderSize - BottomMargin - FootSize, LeftMargin,
            pageWidth - LeftMargin - RightMargin};
}

void TQSPagelayout::SetBands(double pageWidth, double pageHeight) {
    for (TQSPageBand* band : {static_cast<TQSPageBand*>(Header()), static_cast<TQSPageBand*>(Foot())}) {
        if (!band) continue;
        const TQSBand b = band->Band(*this, pageWidth, pageHeight);
        band->BindData().SetArea(b.Left, b.Top, b.Width, b.Height);
    }
}

TQSBand TQSPageHeader::Band(const TQSPagelayout& layout, double pageWidth, double pageHeight) const {
    return layout.HeaderBand(pageWidth, pageHeight);
}

TQSBand TQSPageFoot::Band(const TQSPagelayout& layout, double pageWidth, double pageHeight) const {
    return layout.FootBand(pageWidth, pageHeight);
}

void TQSPagelayout::Execute(TQSExecData& exec) {
    if (!exec.Emit(this)) return;
    CompileSizes(Script()->Calc());
    ExecuteChildren(exec);
}

void TQSPageBand::Execute(TQSExecData& exec) {
    const bool preparing = exec.Emit(this);
    if (const auto* layout = dynamic_cast<const TQSPagelayout*>(Owner())) {
        const TQSScriptSettings* settings = Script()->Root()->GetScriptSettings();
        const TQSBand b = Band(*layout, settings->PrintSizeX(), settings->PrintSizeY());
        BindData().SetArea(b.Left, b.Top, b.Width, b.Height);
    }
    if (preparing) ExecuteChildren(exec);
}

void TQSBaseContainer::SetPageAreas(const TQSPagelayout& layout) {
    const TQSScriptSettings* settings = GetScriptSettings();
    const double width = settings->PrintSizeX(), height = settings->PrintSizeY();
    BindData().SetArea(0, 0, width, height);
    const TQSBand body = layout.BodyBand(width, height);
    if (TQSBaseScriptContainer* section = ScriptObjects())
        section->BindData().SetArea(body.Left, body.Top, body.Width, body.Height);
}

bool TQSPagelayout::CoversPage(int page) const {
    QString span = Value("PageSpan");
    span.remove(u' ');
    if (span == QLatin1String("*")) return true;
    auto number = [this](const QString& text) {
        bool ok = false;
        const int v = text.toInt(&ok, 10);
        if (!ok) throw QSException(this, kInvalidSpan, -1, QStringLiteral("PageSpan"));
        return qint64(v);
    };
    for (const QString& item : span.split(u',')) {
        // A lone "*" among other items also means every page.
        if (item == QLatin1String("*")) return true;
        if (const qsizetype star = item.indexOf(u'*'); star >= 0) {
            const qint64 from = number(item.left(star)), step = number(item.mid(star + 1));
            if (step == 0) throw QSException(this, kInvalidSpan, -1, QStringLiteral("PageSpan"));
            if (page >= from && (page - from) % step == 0) return true;
        } else if (const qsizetype dash = item.indexOf(u'-'); dash > 0) {
            if (number(item.left(dash)) <= page && page <= number(item.mid(dash + 1))) return true;
        } else if (number(item) == page) {
            return true;
        }
    }
    return false;
}

// ---- FOR-loop ----

TQSForLoop::~TQSForLoop() = default;

void TQSForLoop::Created() {
    TQSFreeContainer::Created();
    // The counter raises no events of its own: it is part of its loop.
    std::unique_ptr<TQSScriptObject> counter = TQSFactory::Make(CounterRecord(), this, nullptr);
    m_counter.reset(static_cast<TQSForLoopCounter*>(counter.release()));
}

TQSForLoop* TQSForLoopCounter::Loop() const { return static_cast<TQSForLoop*>(Owner()); }

// ---- Display texts of the other objects ----

void TQSFont::Created() {
    TQSDataObject::Created();
    TQSHandler* handler = Script() ? Script()->Handler() : nullptr;
    if (!handler || !handler->DefaultFont) return;
    const TQSFontSpec& font = *handler->DefaultFont;
    SetValue("FontName", font.Name);
    SetValue("FontSize", QString::number(font.Size));
    SetValue("FontBold", font.Bold ? "1" : "0");
    SetValue("FontItalic", font.Italic ? "1" : "0");
    SetValue("FontUnderline", font.Underline ? "1" : "0");
    SetValue("FontStrikeout", font.Strikeout ? "1" : "0");
}

QString TQSVariable::DisplayText() const { return QStringLiteral("%1 = %2").arg(Name(), Value("InitialValue")); }

QString TQSFont::DisplayText() const {
    const QString face = Value("FontName").isEmpty() ? QStringLiteral("unnamed") : Value("FontName");
    QString text = QStringLiteral("%1 = %2, size: %3").arg(Name(), face, QString::number(Value("FontSize").toInt()));
    QString style;
    if (Value("FontBold").toInt()) style += QStringLiteral(" Bold");
    if (Value("FontItalic").toInt()) style += QStringLiteral(" Italic");
    if (Value("FontUnderline").toInt()) style += QStringLiteral(" Underline");
    if (Value("FontStrikeout").toInt()) style += QStringLiteral(" Strikeout");
    if (!style.isEmpty()) text += QStringLiteral(", attr: %1").arg(style);
    return text;
}

QString TQSDataModuleDatasource::DisplayText() const {
    return QStringLiteral("%1, datamodule: %2, datasource : %3").arg(Name(), Value("Datamodule"), Value("Datasource"));
}

QString TQSCDSDatasource::DisplayText() const {
    return QStringLiteral("%1 (TClientDataset), datamodule: %2, datasource : %3")
        .arg(Name(), Value("Datamodule"), Value("Datasource"));
}

QString TQSExternalFunction::DisplayText() const {
    return QStringLiteral("%1 (%2 parameters)").arg(Name(), QString::number(Value("ParamCount").toInt()));
}

QString TQSFormula::DisplayText() const {
    return Value("Expression").isEmpty() ? QStringLiteral("Empty formula") : Value("Expression");
}

QString TQSIf::DisplayText() const { return QStringLiteral("If %1 then").arg(Value("Expression")); }
QString TQSCase::DisplayText() const { return QStringLiteral("Case %1 of").arg(Value("Expression")); }
QString TQSCaseField::DisplayText() const {
    return Value("ElseCase").toInt() ? QStringLiteral("else:") : QStringLiteral("on %1:").arg(Value("CaseResult"));
}
QString TQSForLoop::DisplayText() const {
    return (Value("Descending").toInt() ? QStringLiteral("For %1 = %2 downto %3") : QStringLiteral("For %1 = %2 to %3"))
        .arg(Value("Variable"), Value("StartValue"), Value("EndValue"));
}
QString TQSText::DisplayText() const {
    return QStringLiteral("Text with font %1: %2").arg(Value("FontName"), Value("Text"));
}
QString TQSRectangle::DisplayText() const {
    return QStringLiteral("Rectangle, x: %1, y: %2, width: %3, height: %4")
        .arg(Value("PositionX"), Value("PositionY"), Value("Width"), Value("Height"));
}
QString TQSLine::DisplayText() const {
    return QStringLiteral("Line, from: %1, %2, to: %3, %4, width: %5")
        .arg(Value("StartX"), Value("StartY"), Value("EndX"), Value("EndY"), Value("LineWidth"));
}
QString TQSPicture::DisplayText() const {
    return QStringLiteral("Picture, x: %1, y: %2, width: %3, height: %4")
        .arg(Value("PositionX"), Value("PositionY"), Value("Width"), Value("Height"));
}
QString TQSColorBar::DisplayText() const {
    return QStringLiteral("Color bar, x: %1, y: %2, width: %3, height: %4")
        .arg(Value("PositionX"), Value("PositionY"), Value("Width"), Value("Height"));
}
QString TQSComment::DisplayText() const { return QStringLiteral("******* %1 *******").arg(Value("Text")); }
