#pragma once
// The selection language of the tables: a boolean expression over the fields of one
// record, given as text lines. Evaluation is strictly left to right (no precedence of AND
// over OR); errors are raised as Exceptions with the language's messages and positions.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "platform/ClientDataSet.h"
#include "platform/RecordValues.h"

// One record as the selection language sees it.
class TSelRecord {
public:
    virtual ~TSelRecord() = default;
    // The field's index without regard to case, or -1 when the record has no such field.
    virtual int FieldIndex(const QString& name) const = 0;
    virtual TFieldType FieldType(int index) const = 0;
    // The stored value (null when empty), of the field type's QVariant type.
    virtual QVariant FieldValue(int index) const = 0;
    // Records that give the same non-zero id have the same fields at the same indexes, so a
    // selection matched against many of them looks each field up once. An adapter that is
    // made anew for each load (or whose table's fields may change) gives a fresh id each
    // time; 0, the default, means "look the fields up for every record".
    virtual quintptr LayoutId() const { return 0; }
    // The record's stored values in their compact form, when it keeps them so (one per
    // field, of FieldType's types): texts and numbers are then read in place, with the same
    // results as through FieldValue. nullptr, the default, means "read through FieldValue".
    virtual const TRecordValues* StoredValues() const { return nullptr; }
};

// A selection prepared once and matched against many records.
class TSelExpression {
public:
    // The lines are joined, each followed by "\r\n".
    explicit TSelExpression(const QStringList& lines);
    ~TSelExpression();
    TSelExpression(const TSelExpression&) = delete;
    TSelExpression& operator=(const TSelExpression&) = delete;

    // An empty selection (no text at all) matches every record.
    bool IsEmpty() const;
    // Evaluates from position 1 at depth 0; raises on a faulty selection. Faults are found
    // only where the evaluation gets to, so a skipped faulty part raises nothing. Keeps
    // per-expression caches: one expression is matched from one thread at a time.
    bool Match(const TSelRecord& record) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The value as a quoted text of the selection language: in double quotes, inner double
// quotes doubled. Builders put every value taken from user data through it.
QString SelQuote(const QString& value);
