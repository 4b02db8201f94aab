// The master link: a detail table shows the records whose link field holds the master's
// current key, and follows the master as it moves, opens, closes and edits.
#include "platform/ClientDataSetImpl.h"

void TMasterLink::RecordChanged(TField* field) {
    if (field && field->FieldName().compare(m_owner->masterFields, Qt::CaseInsensitive) != 0) return;
    m_owner->MasterChanged(false);
}
void TMasterLink::ActiveChanged() { m_owner->MasterChanged(false); }
void TMasterLink::DataSetChanged() { m_owner->MasterChanged(false); }
void TMasterLink::EditingChanged() { m_owner->MasterChanged(false); }

void TClientDataSet::Impl::ReadMasterKey() {
    masterHasKey = false;
    masterKey.clear();
    masterValue = QVariant();
    TDataSource* source = MasterSource();
    linkIdx = source ? FieldIndexOf(linkField) : -1;
    if (!source) return;
    TClientDataSet* master = source->DataSet();
    if (!master || !master->Active()) return;
    if (!master->d->Editing() && master->d->CurRec() == nullptr) return;
    TField* f = master->FindField(masterFields);
    if (!f) return;
    const QVariant v = f->Value();
    if (v.isNull() || linkIdx < 0) return;
    try {
        masterValue = ConvertFieldValue(v, activeDefs.at(linkIdx).DataType, activeDefs.at(linkIdx).Size);
    } catch (const Exception&) {
        return;
    }
    if (masterValue.isNull()) return;
    masterKey = FieldKeyText(masterValue, activeDefs.at(linkIdx).DataType);
    masterHasKey = true;
}

void TClientDataSet::Impl::MasterChanged(bool force) {
    if (!active || destroying || settingMaster) return;
    const bool hadKey = masterHasKey;
    const QString oldKey = masterKey;
    const int oldLink = linkIdx;
    ReadMasterKey();
    if (!force && hadKey == masterHasKey && oldKey == masterKey && oldLink == linkIdx) return;
    if (Editing()) {
        // The detail's edit belongs to the old master record.
        const bool newHas = masterHasKey;
        const QString newKey = masterKey;
        const QVariant newValue = masterValue;
        masterHasKey = hadKey;
        masterKey = oldKey;
        CheckBrowseMode();
        masterHasKey = newHas;
        masterKey = newKey;
        masterValue = newValue;
    }
    RebuildView();
    cur = view.empty() ? -1 : 0;
    bof = true;
    eof = view.empty();
    Notify(Note::DataSet);
    q->DoAfterScroll();
}

TDataSource* TClientDataSet::MasterSource() const { return d->MasterSource(); }

void TClientDataSet::SetMasterSource(TDataSource* source) {
    if (d->MasterSource() == source) return;
    if (d->active) d->CheckBrowseMode();
    d->settingMaster = true;
    d->masterLink.SetDataSource(source);
    d->settingMaster = false;
    d->MasterChanged(true);
}

QString TClientDataSet::MasterFields() const { return d->masterFields; }
void TClientDataSet::SetMasterFields(const QString& masterField) {
    d->masterFields = masterField;
    if (d->MasterSource()) d->MasterChanged(true);
}
QString TClientDataSet::LinkField() const { return d->linkField; }
void TClientDataSet::SetLinkField(const QString& detailField) {
    d->linkField = detailField;
    if (d->MasterSource()) d->MasterChanged(true);
}
