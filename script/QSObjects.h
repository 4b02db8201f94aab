#pragma once
// The object model of a page-layout script: a tree of script objects under a root with eight
// fixed sections, and the registry of every class that may stand in a script. Containers own
// their children; the registry creates objects by class name for the script-file reader.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Exception.h"
#include "script/QSFontSpec.h"
#include "script/QuillCalc.h"

class TQSScript;
class TQSScriptObject;
class TQSContainer;
class TQSPagelayout;
class TQSExecData;
class TClientDataSet;
struct TQSObjectState;

// The engine's exception: the object concerned, the property path (class name, ".",
// property name; empty when not given) and the 1-based position in the property's
// expression (-1 when none).
class QSException : public Exception {
public:
    QSException(const TQSScriptObject* object, const QString& message);
    QSException(const TQSScriptObject* object, const QString& message, int position, const QString& property);
    const TQSScriptObject* Object() const noexcept { return m_object; }
    const QString& PropertyPath() const noexcept { return m_path; }
    int Position() const noexcept { return m_position; }

private:
    const TQSScriptObject* m_object;
    QString m_path;
    int m_position;
};

// One key of an object's block in a script file.
enum class TQSKeyKind { Text, Integer, Float, List };
struct TQSKey {
    QString Name;
    TQSKeyKind Kind;
    QString Default;
};

// One registration record.
struct TQSRegisteredObject {
    QString ClassName;
    QString ParentClassName;
    QString DisplayName;
    QString Category;
    int ID = 0;
    quint8 Flags = 0;
    std::function<std::unique_ptr<TQSScriptObject>()> Create;
    // Whether an object may be a child of the given container.
    std::function<bool(const TQSContainer&)> AcceptsParent;
    QList<TQSKey> Keys;
    // Named data objects: the stem of their default names ("variable" gives variable1, ...).
    QString NameStem;

    bool IsUnique() const { return Flags & 2; }
};

// Appends a record; raises on an ID or class name that is already registered (the registry
// is then unchanged).
void RegisterScriptObjectClass(TQSRegisteredObject record);
// Every record, in registration order (records never move, so objects keep pointers to them).
const std::deque<TQSRegisteredObject>& TQSRegisteredObjects();
const TQSRegisteredObject* FindRegisteredClass(const QString& className);
const TQSRegisteredObject* FindRegisteredID(int id);

// A container's layout area in millimetres, in page coordinates, with the current position
// from which its statements place themselves.
struct TQSBindData {
    double X = 0, Y = 0, Width = 0, Height = 0;
    double MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;
    // Called when the current position leaves the area.
    std::function<void()> OnOverflow;

    // Takes the values as given; the current position goes back to 0, 0.
    void SetArea(double x, double y, double width, double height);
    // An area inside another one (a rectangle's box): the position is offset by the outer
    // client origin, and a width or height of 0 or less, or beyond the outer client size,
    // becomes the outer client size.
    void SetAreaWithin(const TQSBindData& outer, double x, double y, double width, double height);
    void SetMargins(double margin) { MarginLeft = MarginTop = MarginRight = MarginBottom = margin; }

    double CurrentX() const { return m_currentX; }
    double CurrentY() const { return m_currentY; }
    void SetCurrentX(double x);
    void SetCurrentY(double y);

    double ClientX() const { return X + MarginLeft; }
    double ClientY() const { return Y + MarginTop; }
    double ClientWidth() const { return Width - MarginLeft - MarginRight; }
    double ClientHeight() const { return Height - MarginTop - MarginBottom; }
    // The room of an object at x, y whose width or height is 0: the rest of the client area.
    double RestWidth(double x) const { return ClientWidth() - m_currentX - x; }
    double RestHeight(double y) const { return ClientHeight() - m_currentY - y; }

private:
    double m_currentX = 0, m_currentY = 0;
};

// The position and size of a rectangle, picture or colour bar in millimetres.
struct TQSBox {
    double X = 0, Y = 0, Width = 0, Height = 0;
};

// A band of the page in millimetres.
struct TQSBand {
    double Top = 0, Height = 0, Left = 0, Width = 0;
    bool operator==(const TQSBand&) const = default;
};

// The property save and load of every object: values by key, in the order of the class's
// keys.
class TQSObject {
public:
    virtual ~TQSObject();
    virtual void SaveProperties(QStringList& lines) const = 0;
    virtual void LoadProperties(const QStringList& lines) = 0;
};

class TQSScriptObject : public TQSObject {
public:
    ~TQSScriptObject() override;
    TQSScriptObject(const TQSScriptObject&) = delete;
    TQSScriptObject& operator=(const TQSScriptObject&) = delete;

    const TQSRegisteredObject& Record() const { return *m_record; }
    const QString& ClassName() const { return m_record->ClassName; }
    TQSContainer* Owner() const { return m_owner; }
    TQSScript* Script() const { return m_script; }

    // Named data objects only (variables, fonts, datasources, external functions).
    bool IsNamed() const { return !m_record->NameStem.isEmpty(); }
    const QString& Name() const { return m_name; }
    // Raises when another object of the script holds the name (any letter case).
    void SetName(const QString& name);
    // "font", "variable", "datasource" or empty: the kind named in the name clash message.
    QString NameKind() const;

    // Property values as stored (expressions as their texts).
    QString Value(const QString& key) const;
    void SetValue(const QString& key, const QString& value);
    QStringList ListValue(const QString& key) const;
    void SetListValue(const QString& key, const QStringList& items);

    virtual QString DisplayText() const;
    // The value of a property read by name in an expression (name.property; the object's own
    // value for an empty property). Parameters are read from the calculator. Raises "Unknown
    // property "%s"" for a name it lacks.
    virtual void ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result);
    // A property assigned by a formula (the object's own value for an empty property).
    virtual void WriteProperty(const QString& property, const TQuillValue& value);

    // Resolves names and checks expressions before preparation.
    virtual void Compile(TQuillCalc& calc);
    // In preparation emits the statement; in a run does its work.
    virtual void Execute(TQSExecData& exec);
    // Runs together with the instruction before it (a loop's counter).
    virtual bool IsSlave() const { return false; }
    // The data objects' state at a page start; false for objects that keep none.
    virtual bool SaveState(TQSObjectState& state) const;
    virtual void RestoreState(const TQSObjectState& state);
    // The saved state as text, for the debugging listing.
    virtual QString StateText(const TQSObjectState& state) const;
    // The container whose area the object is laid out in: the nearest page body, header, foot
    // or rectangle around it (control statements lend theirs); the page body when there is none.
    TQSContainer* Area() const;
    // The object itself when its class matches; a container also searches its children.
    virtual TQSScriptObject* FindFirstObject(const QString& className, bool deep);
    // Raises the handler's announce event for the object (a container: its whole subtree).
    virtual void Announce();
    virtual bool IsContainer() const { return false; }

    void SaveProperties(QStringList& lines) const override;
    void LoadProperties(const QStringList& lines) override;

    // Picture objects keep an embedded bitmap (the bytes of a BMP file).
    virtual bool HasPictureSlot() const { return false; }

    // A property's expression evaluated by the script's calculator with this object current;
    // an expression error names the object, the property and the position.
    TQuillValue EvaluateKey(const QString& key) const;
    bool EvaluateBooleanKey(const QString& key) const;
    double EvaluateFloatKey(const QString& key) const;
    qint32 EvaluateIntegerKey(const QString& key) const;
    QString EvaluateStringKey(const QString& key) const;
    // An expression that stands at `offset` characters into the property's text: the error
    // position counts in the whole text. `kind` Empty takes any kind of value.
    TQuillValue EvaluateText(const QString& text, const QString& key, int offset, TQuillKind kind) const;

protected:
    TQSScriptObject();
    // Called once the object stands in its owner; named objects take their first free name.
    virtual void Created();
    // Reads one key from the values of its own block (key to value, first line wins); a
    // missing key keeps the current value.
    void LoadKey(const TQSKey& key, const QHash<QString, QString>& block);
    static QHash<QString, QString> BlockValues(const QStringList& lines);

private:
    friend class TQSContainer;
    friend class TQSBaseContainer;
    friend struct TQSFactory;
    const TQSRegisteredObject* m_record = nullptr;
    TQSContainer* m_owner = nullptr;
    TQSScript* m_script = nullptr;
    QString m_name;
    QList<QString> m_values;  // per key of the record
    QList<QStringList> m_lists;  // per key of the record (list keys only)
};

class TQSContainer : public TQSScriptObject {
public:
    ~TQSContainer() override;
    bool IsContainer() const override { return true; }

    // Children as the other parts see them: without the placeholder.
    int ChildCount() const;
    TQSScriptObject* Child(int index) const;
    // The placeholder included.
    const std::vector<std::unique_ptr<TQSScriptObject>>& Children() const { return m_children; }

    // Creates an object of the class in this container, after `after` (appended when it is
    // absent or the last); a class unique in its owner replaces the existing object of that
    // class in place. Raises "Invalid class (%s) found in scriptfile!" when the class may not
    // stand here. A placeholder asked for is made only where no real child is (else none).
    TQSScriptObject* CreateChild(const TQSRegisteredObject& record, const TQSScriptObject* after = nullptr);
    // CreateChild, and the new object is announced.
    TQSScriptObject* InsertChild(const TQSRegisteredObject& record, const TQSScriptObject* after = nullptr);
    // Frees the child; the last real child leaves the placeholder.
    void RemoveChild(TQSScriptObject* child);
    TQSScriptObject* NextChild(const TQSScriptObject* child) const;
    TQSScriptObject* PreviousChild(const TQSScriptObject* child) const;
    // Adds the placeholder when no real child is there.
    void EnsurePlaceholder();
    bool HoldsPlaceholder() const;

    TQSBindData& BindData() { return m_bindData; }
    const TQSBindData& BindData() const { return m_bindData; }
    // Called when the current position of the area leaves it; a plain container does nothing.
    virtual void Overflow() {}
    // Whether the statements inside are laid out in this container's own area (the page body,
    // a header, a foot, a rectangle); control statements lend their children the area around.
    virtual bool IsArea() const { return false; }
    // Asked before a statement of the given height is emitted into this area; the page body
    // starts a new page during preparation when it does not fit. Others always have room.
    virtual void RequestRoom(TQSExecData& exec, double height);
    // Executes the children in order (in preparation they emit themselves), this container
    // open meanwhile, so that a page starting inside it keeps its area.
    void ExecuteChildren(TQSExecData& exec);

    TQSScriptObject* FindFirstObject(const QString& className, bool deep) override;
    void Announce() override;
    // Compiles the children during compilation only.
    void Compile(TQuillCalc& calc) override;
    // In preparation: emits itself, then its children.
    void Execute(TQSExecData& exec) override;

protected:
    TQSContainer();
    void Created() override;

private:
    std::vector<std::unique_ptr<TQSScriptObject>> m_children;
    TQSBindData m_bindData;
};

// A container that holds statements.
class TQSFreeContainer : public TQSContainer {};
// A section of named objects.
class TQSDataContainer : public TQSContainer {
public:
    // The first child of that name, regardless of letter case.
    TQSScriptObject* FindByName(const QString& name) const;
};

class TQSDummy : public TQSScriptObject {
public:
    QString DisplayText() const override { return QStringLiteral("(empty)"); }
    // A placeholder stands only in the editor; it is no instruction.
    void Execute(TQSExecData&) override {}
};

class TQSScriptSettings : public TQSScriptObject {
public:
    QString DisplayText() const override;
    int PaperSize() const;
    int Orientation() const;
    double PrintSizeX() const;
    double PrintSizeY() const;
    // 0 A3, 1 A4, 2 A5 set the sizes (exchanged in landscape); 3 keeps them.
    void SetPaperSize(int paperSize);
    // Another orientation exchanges the sizes.
    void SetOrientation(int orientation);
    void LoadProperties(const QStringList& lines) override;
};

class TQSVariables : public TQSDataContainer {
    QString DisplayText() const override;
};
class TQSFonts : public TQSDataContainer {
    QString DisplayText() const override;
};
class TQSDatasources : public TQSDataContainer {
    QString DisplayText() const override;
};
class TQSExternalFunctions : public TQSDataContainer {
    QString DisplayText() const override;
};
class TQSSubroutines : public TQSContainer {
    QString DisplayText() const override;
    // Subroutines run only where they are called.
    void Execute(TQSExecData&) override {}
};
// The statements of the document; its area is the page body.
class TQSBaseScriptContainer : public TQSFreeContainer {
public:
    QString DisplayText() const override { return QStringLiteral("Script objects"); }
    bool IsArea() const override { return true; }
    // A statement that does not fit below the current position starts a new page, unless the
    // position is still at the top of the page (a taller statement would fit on no page).
    void RequestRoom(TQSExecData& exec, double height) override;
};

class TQSPagelayouts : public TQSContainer {
public:
    QString DisplayText() const override;
    // The first layout whose span covers the page, else the last layout; none when the
    // section holds no layout. A span that does not parse raises "Error in Pagelayout.
    // Invalid page span".
    TQSPagelayout* FindLayoutForPage(int page) const;

protected:
    void Created() override;
};

// The header or the foot of a page layout: its statements are drawn in its band on every
// page of the layout.
class TQSPageBand : public TQSFreeContainer {
public:
    bool IsArea() const override { return true; }
    // Sets its band as its area (also in a run); in preparation then its statements.
    void Execute(TQSExecData& exec) override;
    virtual TQSBand Band(const TQSPagelayout& layout, double pageWidth, double pageHeight) const = 0;
};
class TQSPageHeader : public TQSPageBand {
public:
    QString DisplayText() const override { return QStringLiteral("Header"); }
    TQSBand Band(const TQSPagelayout& layout, double pageWidth, double pageHeight) const override;
};
class TQSPageFoot : public TQSPageBand {
public:
    QString DisplayText() const override { return QStringLiteral("Foot"); }
    TQSBand Band(const TQSPagelayout& layout, double pageWidth, double pageHeight) const override;
};

class TQSPagelayout : public TQSContainer {
public:
    QString DisplayText() const override;
    // Evaluates the six sizes as Floats, in the order TopMargin, BottomMargin, LeftMargin,
    // RightMargin, HeaderSize, FootSize, and keeps them; an expression error passes on.
    void CompileSizes(TQuillCalc& calc);
    double TopMargin = 15, BottomMargin = 10, LeftMargin = 20, RightMargin = 20, HeaderSize = 10, FootSize = 15;
    // The bands of a page of the given size with the kept sizes.
    TQSBand HeaderBand(double pageWidth, double pageHeight) const;
    TQSBand FootBand(double pageWidth, double pageHeight) const;
    TQSBand BodyBand(double pageWidth, double pageHeight) const;
    // Sets the header's and the foot's areas to their bands.
    void SetBands(double pageWidth, double pageHeight);
    // Whether the span (blanks removed) covers the page; raises on a faulty span.
    bool CoversPage(int page) const;
    TQSPageHeader* Header() const;
    TQSPageFoot* Foot() const;
    // In preparation: emits itself, evaluates its sizes again, then its header and foot.
    void Execute(TQSExecData& exec) override;

protected:
    void Created() override;
};

// The root of a script with its eight sections.
class TQSBaseContainer : public TQSContainer {
public:
    // The root's area is the whole page of the script settings; the statements section takes
    // the body band of the layout.
    void SetPageAreas(const TQSPagelayout& layout);
    // Raises "Error when creating Basecontainer. Script = nil!" without a script.
    static std::unique_ptr<TQSBaseContainer> Create(TQSScript* script);
    TQSScriptSettings* GetScriptSettings() const;
    TQSContainer* Section(int index) const;
    TQSPagelayouts* Pagelayouts() const;
    TQSBaseScriptContainer* ScriptObjects() const;
};

// Variables, fonts and datasources: registered with the page snapshots while they live.
class TQSDataObject : public TQSScriptObject {
public:
    ~TQSDataObject() override;

protected:
    void Created() override;
};

class TQSVariable : public TQSDataObject {
public:
    QString DisplayText() const override;
    void ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) override;
    void WriteProperty(const QString& property, const TQuillValue& value) override;
    void Compile(TQuillCalc& calc) override;
    void Execute(TQSExecData& exec) override;
    bool SaveState(TQSObjectState& state) const override;
    void RestoreState(const TQSObjectState& state) override;
    QString StateText(const TQSObjectState& state) const override;
    // The evaluated initial value and the current value (empty until compiled).
    TQuillValue InitialValue, CurrentValue;
    // A value the program gives the variable for the next runs in place of its InitialValue
    // expression, taken as it is (a text is never read as an expression). The script's reset
    // forgets it.
    std::optional<TQuillValue> Preset;
};

class TQSFont : public TQSDataObject {
public:
    QString DisplayText() const override;
    // The font the keys describe, and the working copy that a run uses and formulas change.
    TQSFontSpec Described() const;
    TQSFontSpec Working;
    qint32 WorkingColor = 0;
    void ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) override;
    void WriteProperty(const QString& property, const TQuillValue& value) override;
    void Compile(TQuillCalc& calc) override;
    void Execute(TQSExecData& exec) override;
    bool SaveState(TQSObjectState& state) const override;
    void RestoreState(const TQSObjectState& state) override;
    QString StateText(const TQSObjectState& state) const override;

protected:
    // A new font takes the handler's default font.
    void Created() override;
};

// A table of the program read by a script. The base kind has no table.
class TQSDatasource : public TQSDataObject {
public:
    // The table read now: none when there is none or it is closed.
    virtual TClientDataSet* DataSet() const { return nullptr; }
    bool IsConnected() const { return DataSet() != nullptr; }
    // -1 when not connected.
    int RecNo() const;
    int RecordCount() const;
    // Moves by n - RecNo records: beyond the last record the table stands at its end, before
    // the first at its beginning. Nothing when not connected.
    void MoveTo(int recNo);
    void ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) override;
    void WriteProperty(const QString& property, const TQuillValue& value) override;
    void Execute(TQSExecData& exec) override;
    bool SaveState(TQSObjectState& state) const override;
    void RestoreState(const TQSObjectState& state) override;
    QString StateText(const TQSObjectState& state) const override;
    // Enables the table's controls again as often as the script disabled them.
    void ReleaseControls();

private:
    // The table; in application mode a datasource without one stops the expression.
    TClientDataSet* Connected() const;
    int m_disabledByScript = 0;
};

// Bound by name to a data source of one of the program's data modules.
class TQSDataModuleDatasource : public TQSDatasource {
public:
    QString DisplayText() const override;
    // In application mode the registered data source's open table.
    TClientDataSet* DataSet() const override;
};

// In debug mode its test table is the client-table file DebugFilename.
class TQSCDSDatasource : public TQSDataModuleDatasource {
public:
    TQSCDSDatasource();
    ~TQSCDSDatasource() override;
    QString DisplayText() const override;
    TClientDataSet* DataSet() const override;
    void LoadProperties(const QStringList& lines) override;

private:
    std::unique_ptr<TClientDataSet> m_testTable;
};

// An instruction that runs in the same step as the instruction before it.
class TQSSlaveObject : public TQSScriptObject {
public:
    bool IsSlave() const override { return true; }
};

class TQSForLoop;
// Counts a FOR-loop's variable on at the end of each turn.
class TQSForLoopCounter : public TQSSlaveObject {
public:
    TQSForLoop* Loop() const;
    void Execute(TQSExecData& exec) override;
};

class TQSSubroutine : public TQSFreeContainer {
public:
    // Compiled with the script, but never run.
    void Execute(TQSExecData&) override {}
};

class TQSExternalFunction : public TQSScriptObject {
public:
    QString DisplayText() const override;
    // In debug mode evaluates the debug value.
    void Compile(TQuillCalc& calc) override;
    // The value answered in debug mode: as compiled, or evaluated now before any compilation.
    TQuillValue DebugResult();

private:
    TQuillValue m_debugResult;
    bool m_debugEvaluated = false;
};

// An assignment: "parent" (the line position of the area around it), a variable by its bare
// name, or a property of a font or a datasource, "=" and an expression.
class TQSFormula : public TQSScriptObject {
public:
    QString DisplayText() const override;
    void Compile(TQuillCalc& calc) override;
    void Execute(TQSExecData& exec) override;

private:
    bool m_toParent = false;
    TQSScriptObject* m_target = nullptr;
    QString m_property;
    TQuillValue m_value;
};

class TQSIf : public TQSFreeContainer {
public:
    QString DisplayText() const override;
    void Compile(TQuillCalc& calc) override;
    // In preparation emits its statements only when the condition holds.
    void Execute(TQSExecData& exec) override;
    bool Result = false;
};

class TQSCaseField;
class TQSCase : public TQSContainer {
public:
    QString DisplayText() const override;
    void Compile(TQuillCalc& calc) override;
    // In preparation emits the statements of the chosen row.
    void Execute(TQSExecData& exec) override;
    // The row chosen for the value: the last normal row whose result equals it, else the ELSE
    // row when it stands before any match; none when nothing matches.
    TQSCaseField* ChooseRow(const TQuillValue& value) const;
    // The value compared with the rows, as last evaluated.
    TQuillValue CaseValue;

private:
    TQuillValue m_debugValue;
    bool m_useDebugValue = false;
};

class TQSCaseField : public TQSFreeContainer {
public:
    QString DisplayText() const override;
    bool IsElse() const;
    // Rows are not instructions: their case runs the chosen one's statements.
    void Execute(TQSExecData&) override {}
    // Whether the row's result equals the value (numbers by value, other kinds alike).
    bool Matches(const TQuillValue& value) const;
};

class TQSForLoop : public TQSFreeContainer {
public:
    ~TQSForLoop() override;
    QString DisplayText() const override;
    void Compile(TQuillCalc& calc) override;
    // Sets the variable to the start value; in preparation then emits one turn of its
    // statements and its counter for each value up to the end.
    void Execute(TQSExecData& exec) override;
    // The loop's variable by name; none when the script holds no such variable.
    TQSVariable* Variable() const;
    bool Descending() const;
    // The variable's value; raises when it holds no integer.
    qint64 LoopValue(const TQSVariable& variable) const;
    qint32 Start = 0, End = 0, DebugEnd = 0;
    bool UsesDebugEnd = false;

protected:
    void Created() override;

private:
    std::unique_ptr<TQSForLoopCounter> m_counter;
};

class TQSPageBreak : public TQSScriptObject {
public:
    QString DisplayText() const override { return QStringLiteral("New page"); }
    // In preparation starts the next page; nothing inside a header or a foot.
    void Execute(TQSExecData& exec) override;
};

class TQSText : public TQSScriptObject {
public:
    QString DisplayText() const override;
    // Evaluates its properties and finds its font.
    void Compile(TQuillCalc& calc) override;
    // Wraps the text at its width; asks for the room of all its lines, then draws them in a
    // run, moving the area's line position down between them (and after the last one when
    // Linefeed is set).
    void Execute(TQSExecData& exec) override;

private:
    TQSFont* m_font = nullptr;
    QString m_text;
    double m_x = 0, m_y = 0, m_width = 0;
};

class TQSRectangle : public TQSFreeContainer {
public:
    QString DisplayText() const override;
    bool IsArea() const override { return true; }
    void Compile(TQuillCalc& calc) override;
    // Draws its box in a run; its statements lie inside the box, less the margin.
    void Execute(TQSExecData& exec) override;

private:
    TQSBox m_box;
    double m_margin = 0, m_border = 0, m_corner = 0;
    qint32 m_borderColor = 0, m_backgroundColor = 0;
};

class TQSLine : public TQSScriptObject {
public:
    QString DisplayText() const override;
    void Compile(TQuillCalc& calc) override;
    void Execute(TQSExecData& exec) override;

private:
    double m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0, m_width = 0;
    qint32 m_color = 0;
};

class TQSPicture : public TQSScriptObject {
public:
    QString DisplayText() const override;
    bool HasPictureSlot() const override { return true; }
    void Compile(TQuillCalc& calc) override;
    // Draws the embedded picture or the file into its box in a run; a file that cannot be
    // read as a picture raises.
    void Execute(TQSExecData& exec) override;
    // The embedded bitmap as the bytes of a BMP file; empty when there is none.
    QByteArray Bitmap;

private:
    TQSBox m_box;
    bool m_stretch = false;
    QString m_fileName;
};

class TQSColorBar : public TQSScriptObject {
public:
    static constexpr int kMaxPoints = 20;
    QString DisplayText() const override;
    // Evaluates its properties and reads the colour points.
    void Compile(TQuillCalc& calc) override;
    // Draws the colours as a gradient across its box in a run, and its frame.
    void Execute(TQSExecData& exec) override;
    // The colour numbers of a ColorInfo text joined by "|"; a piece that is no whole number
    // leaves none; points beyond the 20th are ignored.
    static QList<qint32> ParseColorInfo(const QString& info);
    QList<qint32> Points;

private:
    TQSBox m_box;
    double m_border = 0;
    qint32 m_borderColor = 0;
};

class TQSComment : public TQSScriptObject {
    QString DisplayText() const override;
};
