#pragma once
// The types a dataset, its fields and its data links share.
#include <QList>
#include <QString>
#include <functional>

class TClientDataSet;

enum class TFieldType { ftUnknown, ftString, ftInteger, ftBoolean, ftDate, ftDateTime, ftFloat };
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
// The events a dataset runs, named as its event properties.
enum class TDataSetEvent {
    BeforeInsert,
    AfterInsert,
    BeforeEdit,
    BeforePost,
    AfterPost,
    AfterCancel,
    BeforeDelete,
    AfterDelete,
    AfterScroll,
    AfterOpen,
    BeforeClose
};

struct TFieldDef {
    QString Name;
    TFieldType DataType = TFieldType::ftUnknown;
    int Size = 0;  // width in characters for strings, 0 otherwise
    // Field definitions compare by name (exact), type and size.
    bool operator==(const TFieldDef& other) const = default;
};
using TFieldDefs = QList<TFieldDef>;

using TDataSetNotifyEvent = std::function<void(TClientDataSet*)>;
