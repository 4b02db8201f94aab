// A field of a table: reads the current record's value (the edit buffer while editing) and
// writes the edit buffer, converting to and from the field's type.
#include <QDate>
#include <QDateTime>

#include "platform/ClientDataSetImpl.h"

namespace {

const QString& EmptyString() {
    static const QString empty;
    return empty;
}

}  // namespace

TField::TField(TClientDataSet* dataSet, int index) : m_dataSet(dataSet), m_index(index) {}

const QString& TField::FieldName() const {
    const auto& defs = m_dataSet->d->activeDefs;
    return m_index < defs.size() ? defs.at(m_index).Name : EmptyString();
}
TFieldType TField::DataType() const {
    const auto& defs = m_dataSet->d->activeDefs;
    return m_index < defs.size() ? defs.at(m_index).DataType : TFieldType::ftUnknown;
}
int TField::Size() const {
    const auto& defs = m_dataSet->d->activeDefs;
    return m_index < defs.size() ? defs.at(m_index).Size : 0;
}
bool TField::IsNull() const { return Value().isNull(); }
void TField::Clear() { SetValue(QVariant()); }

QVariant TField::Value() const {
    const auto* d = m_dataSet->d.get();
    if (!d->active || m_index >= d->activeDefs.size()) return QVariant();
    if (d->Editing()) return m_index < d->buf.size() ? d->buf.at(m_index) : QVariant();
    const DataSetInternals::Rec* r = d->CurRec();
    return r ? r->v.Value(m_index, d->activeDefs.at(m_index).DataType) : QVariant();
}

void TField::SetValue(const QVariant& value) {
    auto* d = m_dataSet->d.get();
    if (!d->active || !d->Editing()) throw Exception(QStringLiteral("Dataset not in edit or insert mode"));
    const TFieldDef& def = d->activeDefs.at(m_index);
    d->buf[m_index] = ConvertFieldValue(value, def.DataType, def.Size);
    d->modified = true;
    d->Notify(TClientDataSet::Impl::Note::Record, this);
}

QString TField::AsString() const { return FieldValueText(Value(), DataType()); }
void TField::SetAsString(const QString& text) { SetValue(QVariant(text)); }
int TField::AsInteger() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftInteger, 0);
    return v.isNull() ? 0 : v.toInt();
}
void TField::SetAsInteger(int value) { SetValue(QVariant(value)); }
double TField::AsFloat() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftFloat, 0);
    return v.isNull() ? 0.0 : v.toDouble();
}
void TField::SetAsFloat(double value) { SetValue(QVariant(value)); }
bool TField::AsBoolean() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftBoolean, 0);
    return v.isNull() ? false : v.toBool();
}
void TField::SetAsBoolean(bool value) { SetValue(QVariant(value)); }
QDate TField::AsDate() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftDate, 0);
    return v.isNull() ? QDate() : v.toDate();
}
void TField::SetAsDate(const QDate& value) { SetValue(value.isValid() ? QVariant(value) : QVariant()); }
QDateTime TField::AsDateTime() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftDateTime, 0);
    return v.isNull() ? QDateTime() : v.toDateTime();
}
void TField::SetAsDateTime(const QDateTime& value) { SetValue(value.isValid() ? QVariant(value) : QVariant()); }
