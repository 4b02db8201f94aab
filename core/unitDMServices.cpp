#include "core/unitDMServices.h"
// The services' construction, their table observers, stored records and the places.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"

using namespace dmservices;

// ---- Construction ----

TDMServices::TDMServices(TDM* dm) : QObject(dm), m_dm(dm) { setObjectName(QStringLiteral("DMServices")); }

QString TDMServices::FileOf(TKeyFile kind, const QString& key) const {
    return KeyFilePath(m_dm->ProgramFolder(), kind, key);
}

TDMServices* TDMServices::Install(TDM* dm) {
    if (!dm) return nullptr;
    if (TDMServices* existing = Of(dm)) return existing;
    auto* services = new TDMServices(dm);
    services->BindHooks();
    return services;
}

TDMServices* TDMServices::Of(const TDM* dm) {
    return dm ? dm->findChild<TDMServices*>(QStringLiteral("DMServices"), Qt::FindDirectChildrenOnly) : nullptr;
}

TQuickSelectionHandler& TDMServices::QuickSelection() {
    return Hooks.QuickSelection ? *Hooks.QuickSelection : m_ownQuickSelection;
}

TExtClientDataSet* TDMServices::Table(const QString& name) const {
    TExtClientDataSet* table = m_dm->Table(name);
    if (!table) throw Exception(QStringLiteral("Tabellen %1 saknas").arg(name));
    return table;
}

void TDMServices::BindHooks() {
    // Observers, not the public events: a screen that sets a table's events keeps the counts
    // and cascades running.
    using E = TDataSetEvent;
    for (TExtClientDataSet* table : m_dm->Tables()) {
        const QString name = table->objectName();
        const bool counted = ReferenceFieldsOf(name) != nullptr;
        if (counted) {
            table->AddObserver(E::BeforeEdit, this, [this, table](TClientDataSet*) { OnBeforeEdit(table); });
            table->AddObserver(E::BeforePost, this, [this, table](TClientDataSet*) { OnBeforePost(table); });
            table->AddObserver(E::AfterPost, this, [this, table](TClientDataSet*) { OnAfterPost(table); });
        }
        if (counted || CascadeRuleOf(name)) {
            table->AddObserver(E::BeforeDelete, this, [this, table](TClientDataSet*) { OnBeforeDelete(table); });
            table->AddObserver(E::AfterDelete, this, [this, table](TClientDataSet*) { OnAfterDelete(table); });
        }
    }
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    contacts->AddObserver(E::AfterInsert, this,
                          [contacts](TClientDataSet*) { contacts->FieldByName(kRefCount)->SetAsInteger(0); });
    m_dm->cdsFungi->AddObserver(E::AfterScroll, this, [this](TClientDataSet*) {
        if (Hooks.FungiScrolled) Hooks.FungiScrolled();
    });

    // The exchange's "added" and "deleting" events have nothing to do here.
    const auto nothing = [](TExtClientDataSet*) {};
    for (TExtClientDataSet* table :
         {m_dm->cdsFungi, m_dm->cdsFungiPics, m_dm->cdsContactGroupRows, m_dm->cdsPlacePeople})
        if (!table->OnEFAdded) table->OnEFAdded = nothing;
    for (TExtClientDataSet* table : {m_dm->cdsFungiPics, m_dm->cdsContactGroupRows, m_dm->cdsPlacePeople})
        if (!table->OnEFDeleting) table->OnEFDeleting = nothing;
}

// ---- Stored records ----

TDMServices::TRecord TDMServices::StoredRecord(TExtClientDataSet* table, const QString& key) {
    TRecord record;
    TClientDataSet* stored = StoredRecords(table);
    if (!stored || key.isEmpty()) return record;
    const int row = stored->FindRecordIndex(kUKey, key);
    if (row < 0) return record;
    record.Found = true;
    for (int i = 0; i < stored->FieldCount(); ++i)
        record.Values.insert(stored->Fields(i)->FieldName().toLower(), stored->RecordValue(row, i));
    return record;
}

void TDMServices::UpdateStored(TExtClientDataSet* table, const QString& key,
                               const QList<QPair<QString, QVariant>>& values, bool stamp) {
    table->OpenInternal();
    TClientDataSet* internal = table->InternalDataSet();
    QList<QPair<QString, QVariant>> all = values;
    if (stamp && internal->FindField(kTimestamp)) all.append({kTimestamp, MakeTimeCode(15)});
    if (!LocateUKey(internal, key)) return;

    {
        TEditScope edit(internal);
        for (const auto& [field, value] : all) internal->FieldByName(field)->SetValue(value);
        edit.Post();
    }
    if (table->Active()) {
        // An edit that is open on the same record keeps the new values when it is posted.
        if (table->State() == TDataSetState::dsEdit && GetUKey(table) == key)
            for (const auto& [field, value] : all) table->FieldByName(field)->SetValue(value);
        TClientDataSet visible;
        visible.CloneCursor(table);
        if (LocateUKey(&visible, key)) {
            TEditScope edit(&visible);
            for (const auto& [field, value] : all) visible.FieldByName(field)->SetValue(value);
            edit.Post();
        }
    }
    if (table->AutoSave()) table->SaveInternal();
}

// ---- Places ----

void TDMServices::SetPlaceSelection(const QString& province, const QString& district) {
    // LoadData closes the table itself and keeps the stored records while the file still
    // holds exactly them; closing it here first would read the whole file again.
    TExtClientDataSet* places = m_dm->cdsPlaces;
    QStringList sel;
    if (!district.isEmpty())
        sel.append(QStringLiteral("Str(District = %1)").arg(SelQuote(district)));
    else if (!province.isEmpty())
        sel.append(QStringLiteral("Str(Province = %1)").arg(SelQuote(province)));
    places->SetSel(sel);
    places->LoadData();
}

void TDMServices::BuildPlacesPerFungi() {
    TExtClientDataSet* subPlaces = m_dm->cdsFungiSubPlaces;
    const TDM::TTableInfo* info = TDM::FindTableInfo(subPlaces->objectName());
    TDataSource* master = subPlaces->MasterSource() ? subPlaces->MasterSource() : m_dm->dsFungi;

    // A working table: its rows live in memory only.
    subPlaces->SetMasterSource(nullptr);
    struct Relink {
        TExtClientDataSet* table;
        TDataSource* master;
        bool done = false;
        void Now() {
            done = true;
            table->SetMasterSource(master);
        }
        ~Relink() {
            if (!done) table->SetMasterSource(master);
        }
    } relink{subPlaces, master};
    subPlaces->Close();
    TClientDataSet* internal = subPlaces->InternalDataSet();
    internal->Close();
    internal->SetFieldDefs(info->Fields);
    internal->CreateDataSet();
    internal->SetLogChanges(false);
    subPlaces->SetFieldDefs(info->Fields);
    subPlaces->CreateDataSet();

    // Every stored place, visit and find, whatever the place selection shows.
    QHash<QString, QStringList> visitsOfPlace;
    if (TClientDataSet* visits = StoredRecords(m_dm->cdsPlaceVisits)) {
        const int masterField = FieldIndex(visits, kMasterUKey);
        const int key = FieldIndex(visits, kUKey);
        visitsOfPlace.reserve(visits->RecordCount());
        for (int row = 0; row < visits->RecordCount(); ++row)
            visitsOfPlace[StoredText(visits, row, masterField)].append(StoredText(visits, row, key));
    }
    QHash<QString, QStringList> fungiOfVisit;
    if (TClientDataSet* finds = StoredRecords(m_dm->cdsPlaceFinds)) {
        const int masterField = FieldIndex(finds, kMasterUKey);
        const int fungi = FieldIndex(finds, QStringLiteral("FungiUKey"));
        fungiOfVisit.reserve(finds->RecordCount());
        for (int row = 0; row < finds->RecordCount(); ++row)
            fungiOfVisit[StoredText(finds, row, masterField)].append(StoredText(finds, row, fungi));
    }
    TClientDataSet* places = StoredRecords(m_dm->cdsPlaces);
    if (!places) return;
    const int placeKey = FieldIndex(places, kUKey);
    const int placeName = FieldIndex(places, QStringLiteral("PlaceName"));

    // The rows are made here and given to the table at once: no post, no drawn key and no
    // time stamp for a table that is rebuilt whole each time. A row's key is the table's
    // identifier and its number, unique within the table. Each value is stored as a post
    // would store it: cut to its field's width, an empty text left empty.
    const int fieldCount = subPlaces->FieldCount();
    const TFieldDefs& defs = internal->FieldDefs();
    const int rowFungi = FieldIndex(subPlaces, kMasterUKey);
    const int rowKey = FieldIndex(subPlaces, kUKey);
    const int rowPlace = FieldIndex(subPlaces, QStringLiteral("PlaceUKey"));
    const int rowName = FieldIndex(subPlaces, QStringLiteral("PlaceName"));
    const QString keyPrefix = subPlaces->DatasetId();
    std::vector<TRecordValues> rows;
    TRecordValues::Builder row;
    const auto put = [&](int field, const QString& text) {
        if (field >= 0 && !text.isEmpty()) row.SetText(field, text, defs.at(field).Size);
    };
    QSet<QString> listed;
    for (int placeRow = 0; placeRow < places->RecordCount(); ++placeRow) {
        const QString key = StoredText(places, placeRow, placeKey);
        if (key.isEmpty()) continue;
        const auto visitsHere = visitsOfPlace.constFind(key);
        if (visitsHere == visitsOfPlace.cend()) continue;
        const QString name = StoredText(places, placeRow, placeName);
        listed.clear();
        for (const QString& visit : *visitsHere) {
            const auto fungiHere = fungiOfVisit.constFind(visit);
            if (fungiHere == fungiOfVisit.cend()) continue;
            for (const QString& fungiKey : *fungiHere) {
                if (fungiKey.isEmpty() || listed.contains(fungiKey)) continue;
                row.Start(fieldCount);
                put(rowFungi, fungiKey);
                put(rowKey, keyPrefix + LettersFromNumber(15, quint64(rows.size()) + 1));
                put(rowPlace, key);
                put(rowName, name);
                rows.push_back(row.Finish());
                listed.insert(fungiKey);
            }
        }
    }
    internal->AppendRecordValues(std::move(rows));
    // Back on its master first, so that the visible table orders only the rows it shows; it
    // shares the rows of the internal table.
    relink.Now();
    std::vector<int> all(size_t(internal->RecordCount()));
    std::iota(all.begin(), all.end(), 0);
    subPlaces->AppendSharedRecords(*internal, all);
    subPlaces->First();
}
