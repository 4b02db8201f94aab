#pragma once
// A table of one record for the field link's tests: it counts the writes each field gets
// and tells its links what a real table would.
#include <QHash>
#include <QList>
#include <QStringList>

#include "controls/FRFieldLink.h"
#include "platform/Exception.h"

class FakeFieldTable : public TFieldLinkTable {
public:
    ~FakeFieldTable() override {
        const auto links = m_links;
        for (TFieldLink* l : links) l->Detach(this);
    }

    // ---- What a test does to the table ----
    void Open(const QHash<QString, QVariant>& record) {
        m_record = record;
        m_active = true;
        for (TFieldLink* l : m_links) TellActiveChanged(l);
    }
    void Close() {
        m_active = false;
        m_editing = false;
        for (TFieldLink* l : m_links) TellActiveChanged(l);
    }
    // Another record becomes current.
    void Scroll(const QHash<QString, QVariant>& record) {
        m_record = record;
        for (TFieldLink* l : m_links) TellRecordChanged(l, QString());
    }
    void BeginEdit() {
        m_saved = m_record;
        m_editing = true;
        for (TFieldLink* l : m_links) TellEditingChanged(l);
    }
    // Asks the links for their values, then leaves edit state.
    void Post() {
        for (TFieldLink* l : m_links) TellUpdateData(l);
        m_editing = false;
        for (TFieldLink* l : m_links) TellEditingChanged(l);
    }
    void Cancel() {
        m_record = m_saved;
        m_editing = false;
        for (TFieldLink* l : m_links) TellEditingChanged(l);
        for (TFieldLink* l : m_links) TellRecordChanged(l, QString());
    }
    // A change made by someone else while the record is shown.
    void Store(const QString& field, const QVariant& value) {
        m_record[field] = value;
        for (TFieldLink* l : m_links) TellRecordChanged(l, field);
    }
    // A change the links are not told of (made through another cursor).
    void StoreQuietly(const QString& field, const QVariant& value) { m_record[field] = value; }
    QVariant Stored(const QString& field) const { return m_record.value(field); }
    int Writes(const QString& field) const { return m_writes.value(field); }
    bool AutoEdit = true;
    bool ReadOnly = false;

    // ---- TFieldLinkTable ----
    bool Active() const override { return m_active; }
    bool Editing() const override { return m_active && m_editing; }
    bool CanModify() const override { return m_active && !ReadOnly; }
    bool HasField(const QString& field) const override { return m_active && m_record.contains(field); }
    QVariant Value(const QString& field) const override { return m_record.value(field); }
    QString Text(const QString& field) const override {
        const QVariant v = m_record.value(field);
        if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        return v.toString();
    }
    int Size(const QString&) const override { return 0; }
    TFieldType DataType(const QString& field) const override {
        return m_record.value(field).typeId() == QMetaType::Bool ? TFieldType::ftBoolean : TFieldType::ftString;
    }
    void SetValue(const QString& field, const QVariant& value) override {
        if (!Editing()) throw Exception(QStringLiteral("Dataset not in edit or insert mode"));
        ++m_writes[field];
        m_record[field] = value;
        for (TFieldLink* l : m_links) TellRecordChanged(l, field);
    }
    bool Edit() override {
        if (!m_editing && AutoEdit && CanModify()) BeginEdit();
        return Editing();
    }
    QString SourceName() const override { return QStringLiteral("dsFake"); }
    void AddLink(TFieldLink* link) override {
        if (!m_links.contains(link)) m_links.append(link);
    }
    void RemoveLink(TFieldLink* link) override { m_links.removeOne(link); }

private:
    QHash<QString, QVariant> m_record, m_saved;
    QHash<QString, int> m_writes;
    QList<TFieldLink*> m_links;
    bool m_active = false;
    bool m_editing = false;
};
