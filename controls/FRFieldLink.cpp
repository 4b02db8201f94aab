#include "controls/FRFieldLink.h"

TFieldLinkTable::~TFieldLinkTable() = default;

void TFieldLinkTable::TellRecordChanged(TFieldLink* link, const QString& field) { link->RecordChanged(field); }
void TFieldLinkTable::TellActiveChanged(TFieldLink* link) { link->ActiveChanged(); }
void TFieldLinkTable::TellEditingChanged(TFieldLink* link) { link->EditingChanged(); }
void TFieldLinkTable::TellUpdateData(TFieldLink* link) { link->UpdateData(); }

// ---- The program's tables, through a data source ----

class TFieldLink::TSourceTable : public TFieldLinkTable, public TDataLink {
public:
    TField* Field(const QString& name) const {
        TClientDataSet* ds = DataSet();
        return ds && ds->Active() && !name.isEmpty() ? ds->FindField(name) : nullptr;
    }
    bool Active() const override { return TDataLink::Active(); }
    bool Editing() const override {
        const TClientDataSet* ds = DataSet();
        return ds && ds->Active() && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert);
    }
    bool CanModify() const override {
        const TClientDataSet* ds = DataSet();
        return ds && ds->Active() && !ds->ReadOnly();
    }
    bool HasField(const QString& field) const override { return Field(field) != nullptr; }
    QVariant Value(const QString& field) const override {
        const TField* f = Field(field);
        return f ? f->Value() : QVariant();
    }
    QString Text(const QString& field) const override {
        const TField* f = Field(field);
        return f ? f->AsString() : QString();
    }
    int Size(const QString& field) const override {
        const TField* f = Field(field);
        return f ? f->Size() : 0;
    }
    TFieldType DataType(const QString& field) const override {
        const TField* f = Field(field);
        return f ? f->DataType() : TFieldType::ftUnknown;
    }
    void SetValue(const QString& field, const QVariant& value) override {
        TClientDataSet* ds = DataSet();
        if (!ds) throw Exception(QStringLiteral("Dataset not in edit or insert mode"));
        TField* f = ds->FieldByName(field);
        if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
            f->Clear();
        else
            f->SetValue(value);
    }
    bool Edit() override { return TDataLink::Edit(); }
    QString SourceName() const override { return DataSource() ? DataSource()->objectName() : QString(); }
    void AddLink(TFieldLink* link) override { m_link = link; }
    void RemoveLink(TFieldLink* link) override {
        if (m_link == link) m_link = nullptr;
    }

    // ---- What the data source tells ----
    void RecordChanged(TField* field) override {
        if (m_link) TellRecordChanged(m_link, field ? field->FieldName() : QString());
    }
    void ActiveChanged() override {
        if (m_link) TellActiveChanged(m_link);
    }
    void DataSetChanged() override {
        if (m_link) TellRecordChanged(m_link, QString());
    }
    void EditingChanged() override {
        if (m_link) TellEditingChanged(m_link);
    }
    void UpdateData() override {
        if (m_link) TellUpdateData(m_link);
    }

private:
    TFieldLink* m_link = nullptr;
};

// ---- TFieldLink ----

TFieldLink::TFieldLink() = default;

TFieldLink::~TFieldLink() {
    if (m_table) m_table->RemoveLink(this);
    m_table = nullptr;
    m_own.reset();
}

void TFieldLink::SetDataSource(TDataSource* source) {
    if (source && source == m_source) return;
    if (m_table) m_table->RemoveLink(this);
    m_table = nullptr;
    m_own.reset();
    m_source = source;
    if (source) {
        m_own = std::make_unique<TSourceTable>();
        m_own->AddLink(this);
        m_table = m_own.get();
        m_own->SetDataSource(source);
    }
    ActiveChanged();
}

void TFieldLink::SetTable(TFieldLinkTable* table) {
    if (table == m_table) return;
    if (m_table) m_table->RemoveLink(this);
    m_own.reset();
    m_source = nullptr;
    m_table = table;
    if (table) table->AddLink(this);
    ActiveChanged();
}

void TFieldLink::Detach(TFieldLinkTable* table) {
    if (!table || table != m_table) return;
    m_table->RemoveLink(this);
    m_table = nullptr;
    ActiveChanged();
}

void TFieldLink::SetFieldName(const QString& name) {
    if (name == m_fieldName) return;
    m_fieldName = name;
    ActiveChanged();
}

bool TFieldLink::Active() const { return m_table && m_table->Active() && m_table->HasField(m_fieldName); }
bool TFieldLink::Editing() const { return Active() && m_table->Editing(); }
bool TFieldLink::CanModify() const { return Active() && m_table->CanModify(); }

bool TFieldLink::Edit() {
    if (!CanModify()) return false;
    return m_table->Editing() || m_table->Edit();
}

QVariant TFieldLink::Value() const { return Active() ? m_table->Value(m_fieldName) : QVariant(); }
QString TFieldLink::AsString() const { return Active() ? m_table->Text(m_fieldName) : QString(); }
bool TFieldLink::AsBoolean() const {
    const QVariant v = Value();
    if (v.isNull()) return false;
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    const QString text = v.toString().trimmed();
    return text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
}
int TFieldLink::Size() const { return Active() ? m_table->Size(m_fieldName) : 0; }
TFieldType TFieldLink::DataType() const { return Active() ? m_table->DataType(m_fieldName) : TFieldType::ftUnknown; }

void TFieldLink::SetValue(const QVariant& value) {
    if (!m_table) throw Exception(QStringLiteral("Dataset not in edit or insert mode"));
    m_table->SetValue(m_fieldName, value);
}

void TFieldLink::Reset() {
    m_modified = false;
    if (OnDataChange) OnDataChange();
    m_modified = false;
}

void TFieldLink::UpdateRecord() { UpdateData(); }

QString TFieldLink::SourceName() const { return m_table ? m_table->SourceName() : QString(); }

void TFieldLink::RecordChanged(const QString& field) {
    if (!field.isEmpty() && field.compare(m_fieldName, Qt::CaseInsensitive) != 0) return;
    Reset();
}

void TFieldLink::ActiveChanged() {
    m_editing = Editing();
    if (OnEditingChange) OnEditingChange();
    Reset();
}

void TFieldLink::EditingChanged() {
    const bool editing = Editing();
    if (OnEditingChange) OnEditingChange();
    // Entering edit state: the record may have changed since it was shown.
    if (editing && !m_editing) {
        m_editing = editing;
        Reset();
    }
    m_editing = editing;
}

void TFieldLink::UpdateData() {
    if (!m_modified || !Active()) return;
    if (OnUpdateData) OnUpdateData();
    m_modified = false;
}
