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

#include "platform/Exception.h"
#include "script/QSFontSpec.h"
#include "script/QuillCalc.h"

class TQSScript;
class TQSScriptObject;
class TQSContainer;
class TQSPagelayout;
class TQSExecData;
class TQSDataset;
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
    // The object itself when its class matches; a container also searches its children.
    virtual TQSScriptObject* FindFirstObject(const QString& className, bool deep);
    // Raises the handler's announce event for the object (a container: its whole subtree).
    virtual void Announce();
    virtual bool IsContainer() const { return false; }

    void SaveProperties(QStringList& lines) const override;
    void LoadProperties(const QStringList& lines) override;

    // Picture objects keep an embedded bitmap (the bytes of a BMP file).
    virtual bool HasPictureSlot() const { return false; }

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
    QList<QString> m_values;      // per key of the record
    QList<QStringList> m_lists;   // per key of the record (list keys only)
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

    TQSScriptObject* FindFirstObject(const QString& className, bool deep) override;
    void Announce() override;
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
class TQSBaseScriptContainer : public TQSFreeContainer {
    QString DisplayText() const override { return QStringLiteral("Script objects"); }
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

class TQSPageHeader : public TQSFreeContainer {
    QString DisplayText() const override { return QStringLiteral("Header"); }
};
class TQSPageFoot : public TQSFreeContainer {
    QString DisplayText() const override { return QStringLiteral("Foot"); }
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

// Statements and other objects whose behaviour lies in the execution engine.
// Variables, fonts and datasources register with the page snapshots while they live.
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
    // The evaluated initial value and the current value (empty until compiled).
    TQuillValue InitialValue, CurrentValue;
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

protected:
    // A new font takes the handler's default font.
    void Created() override;
};

class TQSDataModuleDatasource : public TQSDataObject {
public:
    QString DisplayText() const override;
    // The bound table, none when there is none or it is closed.
    TQSDataset* DataSet() const;
    bool IsConnected() const { return DataSet() != nullptr; }
    int RecNo() const;
    int RecordCount() const;
    void MoveTo(int recNo);
    void ReadProperty(TQuillCalc& calc, const QString& property, TQuillValue& result) override;
    void WriteProperty(const QString& property, const TQuillValue& value) override;
    void Compile(TQuillCalc&) override {}
    void Execute(TQSExecData& exec) override;
    bool SaveState(TQSObjectState& state) const override;
    void RestoreState(const TQSObjectState& state) override;

private:
    // In application mode a table that is not there stops the expression.
    TQSDataset* Connected() const;
};
class TQSCDSDatasource : public TQSDataModuleDatasource {
    QString DisplayText() const override;
};
class TQSSubroutine : public TQSFreeContainer {};
class TQSExternalFunction : public TQSScriptObject {
    QString DisplayText() const override;
};
class TQSFormula : public TQSScriptObject {
    QString DisplayText() const override;
};
class TQSIf : public TQSFreeContainer {
    QString DisplayText() const override;
};
class TQSCase : public TQSContainer {
    QString DisplayText() const override;
};
class TQSCaseField : public TQSFreeContainer {
    QString DisplayText() const override;
};
class TQSForLoop : public TQSFreeContainer {
    QString DisplayText() const override;
};
class TQSPageBreak : public TQSScriptObject {
public:
    QString DisplayText() const override { return QStringLiteral("New page"); }
    void Execute(TQSExecData& exec) override;
};
class TQSText : public TQSScriptObject {
    QString DisplayText() const override;
};
class TQSRectangle : public TQSFreeContainer {
    QString DisplayText() const override;
};
class TQSLine : public TQSScriptObject {
    QString DisplayText() const override;
};
class TQSPicture : public TQSScriptObject {
public:
    QString DisplayText() const override;
    bool HasPictureSlot() const override { return true; }
    // The embedded bitmap as the bytes of a BMP file; empty when there is none.
    QByteArray Bitmap;
};
class TQSColorBar : public TQSScriptObject {
    QString DisplayText() const override;
};
class TQSComment : public TQSScriptObject {
    QString DisplayText() const override;
};
