#pragma once
// A table of the application as a datasource of a script reads it.
#include <QString>

#include "script/QuillCalc.h"

class TQSDataset {
public:
    virtual ~TQSDataset();
    virtual bool IsOpen() const = 0;
    virtual int RecNo() const = 0;  // 1-based
    virtual int RecordCount() const = 0;
    virtual bool Bof() const = 0;
    virtual bool Eof() const = 0;
    virtual void MoveBy(int distance) = 0;
    virtual void First() = 0;
    virtual void Last() = 0;
    // The named field's value of the current record; a missing field raises the table's own error.
    virtual TQuillValue Field(const QString& name) const = 0;
    // Positions on the first record whose field equals the value.
    virtual bool Locate(const QString& field, const TQuillValue& value) = 0;
    virtual bool ControlsDisabled() const = 0;
    virtual void SetControlsDisabled(bool disabled) = 0;
};
