#pragma once
// Field values: their text forms and their conversion to a field's type.
//
// Values are QVariants of one type per field type: QString (ftString), int (ftInteger),
// bool (ftBoolean), QDate (ftDate), QDateTime (ftDateTime), double (ftFloat); an empty
// field is a null QVariant.
#include <QString>
#include <QVariant>

#include "platform/DataSetTypes.h"

// The name of a field type as the table file and messages write it ("String", "Integer", ...).
QString FieldTypeName(TFieldType type);
// The text form of a stored value: integers in decimal, floats with "." in the shortest
// exact form, Booleans "True"/"False", dates "yyyy-MM-dd", date-times
// "yyyy-MM-dd hh:mm:ss"; an empty value is "".
QString FieldValueText(const QVariant& value, TFieldType type);
// The value converted to the field type (strings cut to size when size > 0); a value that
// does not convert raises "'%1' is not a valid %2".
QVariant ConvertFieldValue(const QVariant& value, TFieldType type, int size);
// The exact key of a non-empty value for the hash indexes.
QString FieldKeyText(const QVariant& value, TFieldType type);
