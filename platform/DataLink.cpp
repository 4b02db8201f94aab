#include "platform/DataLink.h"

#include "platform/ClientDataSet.h"

// ---- TDataLink ----

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    if (m_source) m_source->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (m_source == source) return;
    const bool wasActive = Active();
    if (m_source) m_source->RemoveLink(this);
    if (source) source->AddLink(this);
    if (wasActive != Active()) ActiveChanged();
}

TClientDataSet* TDataLink::DataSet() const { return m_source ? m_source->DataSet() : nullptr; }
bool TDataLink::Active() const { return DataSet() && DataSet()->Active(); }

bool TDataLink::Edit() {
    TClientDataSet* ds = DataSet();
    if (!ds || !ds->Active()) return false;
    const auto editing = [ds] {
        return ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
    };
    if (!editing() && m_source->AutoEdit()) ds->Edit();
    return editing();
}

// ---- TDataSource ----

TDataSource::TDataSource(QObject* owner, const QString& name) : QObject(owner) { setObjectName(name); }

TDataSource::~TDataSource() {
    const bool wasActive = m_dataSet && m_dataSet->Active();
    if (m_dataSet) m_dataSet->RemoveSource(this);
    m_dataSet = nullptr;
    const QList<TDataLink*> links = m_links;
    m_links.clear();
    for (TDataLink* l : links) l->m_source = nullptr;
    // The links lose their table: let them show that (a detail shows all its records).
    if (wasActive)
        for (TDataLink* l : links) l->ActiveChanged();
}

void TDataSource::SetDataSet(TClientDataSet* dataSet) {
    if (m_dataSet == dataSet) return;
    if (m_dataSet) m_dataSet->RemoveSource(this);
    m_dataSet = dataSet;
    if (m_dataSet) m_dataSet->AddSource(this);
    NotifyActiveChanged();
}

TDataSetState TDataSource::State() const { return m_dataSet ? m_dataSet->State() : TDataSetState::dsInactive; }

void TDataSource::NotifyRecordChanged(TField* field) {
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links)
        if (m_links.contains(l)) l->RecordChanged(field);
    if (OnDataChange) OnDataChange(this, field);
}

void TDataSource::NotifyActiveChanged() {
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links)
        if (m_links.contains(l)) l->ActiveChanged();
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::NotifyDataSetChanged() {
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links)
        if (m_links.contains(l)) l->DataSetChanged();
    if (OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyEditingChanged() {
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links)
        if (m_links.contains(l)) l->EditingChanged();
    if (OnStateChange) OnStateChange(this);
}

void TDataSource::NotifyUpdateData() {
    const QList<TDataLink*> links = m_links;
    for (TDataLink* l : links)
        if (m_links.contains(l)) l->UpdateData();
}

void TDataSource::AddLink(TDataLink* link) {
    if (!link || m_links.contains(link)) return;
    if (link->m_source && link->m_source != this) link->m_source->RemoveLink(link);
    m_links.append(link);
    link->m_source = this;
}

void TDataSource::RemoveLink(TDataLink* link) {
    m_links.removeOne(link);
    if (link && link->m_source == this) link->m_source = nullptr;
}
