#pragma once
// The field link of the data-aware controls. A control binds one field of a table through
// it and hears from it when to show the field and when to write it:
//   - the field is read (OnDataChange) when the table opens or closes, when the record
//     moves or is replaced, when this field changes, and when the table enters or leaves
//     edit state, so an edit begun elsewhere shows the record as it now stands;
//   - a user's change is accepted only when Edit() puts the table into edit state (the
//     data source's AutoEdit decides); the control then calls SetModified();
//   - the field is written (OnUpdateData) only when modified, when the table asks its
//     controls for their values before a post, or when the control calls UpdateRecord().
// Every read forgets "modified".
//
// The table behind the link is a TFieldLinkTable: the real one wraps a data source, tests
// give a fake of their own.
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "platform/ClientDataSet.h"

class TFieldLink;

// The table side of a field link.
class TFieldLinkTable {
public:
    virtual ~TFieldLinkTable();
    // The table is open.
    virtual bool Active() const = 0;
    // The table is in edit or insert state.
    virtual bool Editing() const = 0;
    // The table can be changed at all (open and not read-only).
    virtual bool CanModify() const = 0;
    virtual bool HasField(const QString& field) const = 0;
    // The field's value in the current record (its edit buffer while editing), a null value
    // when empty; and its text form as the table writes it.
    virtual QVariant Value(const QString& field) const = 0;
    virtual QString Text(const QString& field) const = 0;
    // The field's width in characters (0 when it has none).
    virtual int Size(const QString& field) const = 0;
    virtual TFieldType DataType(const QString& field) const = 0;
    // Writes the field of the edit buffer; raises when the table is not editing or the value
    // does not convert. An empty text or a null value empties the field.
    virtual void SetValue(const QString& field, const QVariant& value) = 0;
    // Puts the table into edit state where allowed; returns whether it is editing now.
    virtual bool Edit() = 0;
    // The data source's name, for messages ("dsFungi").
    virtual QString SourceName() const = 0;
    // The links the table tells of its changes.
    virtual void AddLink(TFieldLink* link) = 0;
    virtual void RemoveLink(TFieldLink* link) = 0;

protected:
    // A table tells its links what happened; a null field name means the whole record.
    friend class TFieldLink;
    static void TellRecordChanged(TFieldLink* link, const QString& field);
    static void TellActiveChanged(TFieldLink* link);
    static void TellEditingChanged(TFieldLink* link);
    static void TellUpdateData(TFieldLink* link);
};

class TFieldLink {
public:
    TFieldLink();
    ~TFieldLink();
    TFieldLink(const TFieldLink&) = delete;
    TFieldLink& operator=(const TFieldLink&) = delete;

    // Binds a data source of the program's tables (nullptr unbinds).
    void SetDataSource(TDataSource* source);
    TDataSource* DataSource() const { return m_source; }
    // Binds a table of another kind (tests); the link does not own it and the table must
    // call Detach(this) when it goes first.
    void SetTable(TFieldLinkTable* table);
    void Detach(TFieldLinkTable* table);
    TFieldLinkTable* Table() const { return m_table; }

    QString FieldName() const { return m_fieldName; }
    void SetFieldName(const QString& name);

    // The table is open and has the field.
    bool Active() const;
    bool Editing() const;
    bool CanModify() const;
    // Puts the table into edit state where allowed; whether it is editing now.
    bool Edit();

    QVariant Value() const;
    QString AsString() const;
    bool AsBoolean() const;
    int Size() const;
    TFieldType DataType() const;
    // Writes the field (raises when the table is not editing). An empty text empties it.
    void SetValue(const QVariant& value);
    void SetAsString(const QString& text) { SetValue(QVariant(text)); }
    void SetAsBoolean(bool value) { SetValue(QVariant(value)); }

    bool Modified() const { return m_modified; }
    void SetModified() { m_modified = true; }
    // Reads the field again, dropping an unwritten change.
    void Reset();
    // Writes the control's value now when it is modified.
    void UpdateRecord();
    // The data source's name ("" without one).
    QString SourceName() const;

    // Show the field in the control.
    std::function<void()> OnDataChange;
    // Put the control's value into the field (called only when modified).
    std::function<void()> OnUpdateData;
    // The table entered or left edit state, or opened or closed (read-only look).
    std::function<void()> OnEditingChange;

private:
    friend class TFieldLinkTable;
    class TSourceTable;
    void RecordChanged(const QString& field);
    void ActiveChanged();
    void EditingChanged();
    void UpdateData();

    QPointer<TDataSource> m_source;
    std::unique_ptr<TSourceTable> m_own;
    TFieldLinkTable* m_table = nullptr;
    QString m_fieldName;
    bool m_modified = false;
    bool m_editing = false;
};

// What every data-aware control shows of its field link: the data source, the field and the
// link itself. A control derives from it beside its widget class and wires m_link's events.
class TDataAwareControl {
public:
    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source) { m_link.SetDataSource(source); }
    QString DataField() const { return m_link.FieldName(); }
    void SetDataField(const QString& field) { m_link.SetFieldName(field); }
    TFieldLink& Link() { return m_link; }

protected:
    TDataAwareControl() = default;
    ~TDataAwareControl() = default;
    TFieldLink m_link;
};
