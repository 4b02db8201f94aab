#pragma once
// The in-memory client dataset: typed records held in memory, a cursor, states, events,
// named indexes and field-list orders, a master-detail view, cloned cursors, and a table
// file (one SQLite database per table) that it is loaded from and saved to. The field types,
// the value conversions and the data links and sources have headers of their own, included
// here.
//
// Values are QVariants of one type per field type: QString (ftString), int (ftInteger),
// bool (ftBoolean), QDate (ftDate), QDateTime (ftDateTime), double (ftFloat); an empty
// field is a null QVariant.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "platform/DataLink.h"
#include "platform/DataSetTypes.h"
#include "platform/Exception.h"
#include "platform/FieldValue.h"

class TClientDataSet;
class TDataSource;
class TRecordValues;

// A table file read whole on any thread, for a table to take with LoadFromRead on its own
// thread: tables read side by side. Reading raises nothing; a failure is kept for LoadFromRead.
class TTableFileRead {
public:
    explicit TTableFileRead(const QString& fileName);
    ~TTableFileRead();
    TTableFileRead(const TTableFileRead&) = delete;
    TTableFileRead& operator=(const TTableFileRead&) = delete;
    QString FileName() const;

private:
    friend class TClientDataSet;
    struct Data;
    std::unique_ptr<Data> d;
};

// One field of a dataset: reads and writes the value of the dataset's current record
// (its edit buffer while editing or inserting).
class TField {
public:
    TField(TClientDataSet* dataSet, int index);

    TClientDataSet* DataSet() const { return m_dataSet; }
    int Index() const { return m_index; }
    const QString& FieldName() const;
    TFieldType DataType() const;
    int Size() const;

    bool IsNull() const;
    void Clear();

    // Raw value of the field's own type (null when empty).
    QVariant Value() const;
    // Converts the value to the field's type; a value that does not convert raises.
    void SetValue(const QVariant& value);

    // Text form: integers in decimal, floats with "." in the shortest exact form, Booleans
    // "True"/"False", dates "yyyy-MM-dd", date-times "yyyy-MM-dd hh:mm:ss"; empty is "".
    QString AsString() const;
    // Strings longer than the field's width are cut to the width; text that does not
    // convert to a non-string field raises.
    void SetAsString(const QString& text);
    int AsInteger() const;  // empty gives 0; raises when the value does not convert
    void SetAsInteger(int value);
    double AsFloat() const;  // empty gives 0
    void SetAsFloat(double value);
    bool AsBoolean() const;  // empty gives false
    void SetAsBoolean(bool value);
    QDate AsDate() const;
    void SetAsDate(const QDate& value);
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime& value);

private:
    TClientDataSet* m_dataSet;
    int m_index;
};

class TClientDataSet : public QObject {
    Q_OBJECT
public:
    explicit TClientDataSet(QObject* owner = nullptr, const QString& name = QString());
    ~TClientDataSet() override;

    QString Name() const { return objectName(); }

    // ---- Definitions, opening and files ----
    TFieldDefs& FieldDefs();
    const TFieldDefs& FieldDefs() const;
    void SetFieldDefs(const TFieldDefs& defs);
    // Creates the table empty with its field definitions and opens it.
    void CreateDataSet();

    QString FileName() const;
    void SetFileName(const QString& fileName);
    // With a file name set, loads the whole table (field definitions included) from it.
    // A missing, unreadable, damaged or foreign file raises an Exception naming the file.
    void Open();
    void Close();
    bool Active() const;
    void SetActive(bool active);
    // Loads the table from the given file; the file becomes the table's bound file.
    void LoadFromFile(const QString& fileName);
    // Loads the table from a file read ahead (see TTableFileRead), as LoadFromFile of that
    // file does: what the reading raised is raised here. The read is used up.
    void LoadFromRead(class TTableFileRead& read);
    // Writes the table. An empty name or the bound file's name commits exactly the changes
    // since the last save (or load) in one transaction; another name writes a full copy.
    // A failed save raises and the unsaved changes stay for the next save.
    void SaveToFile(const QString& fileName = QString());
    // True when there are changes that the bound file has not yet got.
    bool HasUnsavedChanges() const;
    // Those changes as the next save writes them: the records deleted, inserted and changed
    // since the file's generation (Generation), by record id with their stored values. A
    // table not bound to a file gives an empty FileName.
    struct TUnsavedChanges {
        QString FileName;
        TFieldDefs Defs;
        qint64 Generation = 0;
        std::vector<qint64> Deleted;
        std::vector<std::pair<qint64, QVector<QVariant>>> Inserted, Changed;
    };
    TUnsavedChanges UnsavedChanges() const;
    // True when the records in memory are exactly those of the bound file as it is now:
    // nothing unsaved, and the file still of the generation they were read from or last
    // saved to, so that reading it again would give the same records. Reads the file's
    // generation only; false when the table is closed, unbound or the file unreadable.
    bool MatchesBoundFile() const;

    // A table that refuses writes: append, edit and delete raise.
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);

    // Change log: with it off (the program's setting) edits apply at once.
    bool LogChanges() const;
    void SetLogChanges(bool on);

    // ---- Fields ----
    int FieldCount() const;
    TField* Fields(int index) const;
    // Without regard to case. FieldByName raises "Field '%s' not found" when missing,
    // FindField returns nullptr.
    TField* FieldByName(const QString& name) const;
    TField* FindField(const QString& name) const;
    // The current record's value of a field as text or as a number (FieldByName(name)'s, so a
    // missing field raises in the same way).
    QString FieldText(const QString& name) const;
    int FieldInteger(const QString& name) const;

    // ---- Cursor ----
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const;
    int RecordCount() const;  // records in the current view
    int RecNo() const;  // 1-based position in the view, 0 when empty
    void SetRecNo(int recNo);
    // Moves to the first record (in view order) whose field equals the value exactly;
    // "UKey" is found through a hash index. Returns whether a record was found; the cursor
    // stays where it was when none was.
    [[nodiscard]] bool Locate(const QString& fieldName, const QVariant& value);
    // The 0-based view position of the first record whose field equals the value, or -1;
    // does not move the cursor.
    int FindRecordIndex(const QString& fieldName, const QVariant& value) const;
    // A stored value of the view's record at a 0-based position (for grids).
    QVariant RecordValue(int row, int field) const;
    // The stored values of the view's record at a 0-based position, for readers that take
    // many values of one record without making QVariants; nullptr outside the view. Valid
    // until the record or the view changes.
    const TRecordValues* RecordValuesAt(int row) const;

    // ---- Editing ----
    TDataSetState State() const;
    bool Modified() const;
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Asks the bound controls to write their values into the edit buffer.
    void UpdateRecord();

    // ---- Bulk loading ----
    // Adds records as reading a file does, past the edit buffer, the events and the keys of
    // a post: each row holds one value per field in field order (a value not of the field's
    // type is converted, a text longer than its field is cut). The view keeps its order and
    // its current record (the first when it had none); the bound controls are told once. The
    // records count as inserted for the next save.
    void AppendRecords(const QList<QVariantList>& rows);
    // Adds, as AppendRecords does, records of another open table of the same field
    // definitions: those at the given positions of its view, in that order. They share their
    // stored values with the other table's records, so nothing is copied; a change on either
    // side gives that side values of its own.
    void AppendSharedRecords(const TClientDataSet& source, const std::vector<int>& rows);
    // Adds, as AppendRecords does, records whose stored values are already built for this
    // table's fields (one value per field, texts within their widths, an empty text as an
    // empty field); values of another field count raise and add nothing.
    void AppendRecordValues(std::vector<TRecordValues>&& values);

    // ---- Controls ----
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    // ---- Order ----
    // An index: fields separated by ";", descending ones listed in descFields.
    void AddIndex(const QString& name, const QString& fields, const QString& descFields = QString());
    QStringList IndexNames() const;
    QString IndexName() const;
    void SetIndexName(const QString& name);  // unknown name raises
    QString IndexFieldNames() const;
    void SetIndexFieldNames(const QString& fields);  // "A;B"; empty means file order

    // ---- Master-detail ----
    // The view shows only records whose link field equals the master's current value of
    // masterField. Detaching (nullptr) shows all records. On append the link field takes
    // the master's value.
    TDataSource* MasterSource() const;
    void SetMasterSource(TDataSource* source);
    QString MasterFields() const;
    void SetMasterFields(const QString& masterField);
    QString LinkField() const;  // default "MasterUKey"
    void SetLinkField(const QString& detailField);

    // ---- Cloned cursors ----
    // Shares the source's records (and its file binding): this dataset becomes an
    // independent cursor over all of them.
    void CloneCursor(TClientDataSet* source);

    // ---- Events (each receives the table) ----
    // They belong to the table's one owner (a screen or a frame); services that must always
    // run use observers instead.
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, BeforePost, AfterPost, AfterCancel, BeforeDelete,
        AfterDelete, AfterScroll, AfterOpen, BeforeClose;

    // ---- Internal observers ----
    // An observer runs before the event property, in the order observers were added, so that
    // assigning the property cannot switch it off. It ends with its context object (or with
    // RemoveObservers); an exception it raises stops the event as the property's would.
    void AddObserver(TDataSetEvent event, QObject* context, TDataSetNotifyEvent observer);
    void RemoveObservers(const QObject* context);

protected:
    // Hooks in the order the dataset runs them; the base versions call the events above.
    virtual void DoBeforeInsert();
    virtual void DoAfterInsert();
    virtual void DoBeforeEdit();
    virtual void DoBeforePost();
    virtual void DoAfterPost();
    virtual void DoAfterCancel();
    virtual void DoBeforeDelete();
    virtual void DoAfterDelete();
    virtual void DoAfterScroll();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();

private:
    friend class TField;
    friend class TDataSource;
    friend class TMasterLink;
    // The data sources that show this dataset (kept by TDataSource).
    void AddSource(TDataSource* source);
    void RemoveSource(TDataSource* source);
    friend struct TClientDataSetStore;
    struct Impl;
    std::unique_ptr<Impl> d;
};
