#include "core/unitDMServices.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <memory>

#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"

namespace {

const QString kUKey = QStringLiteral("UKey");
const QString kMasterUKey = QStringLiteral("MasterUKey");
const QString kCreatedBy = QStringLiteral("CreatedBy");
const QString kRefCount = QStringLiteral("RefCount");
const QString kTimestamp = QStringLiteral("Timestamp");
// The last character of a stored piece that ended in a blank.
constexpr char16_t kBlankMark = 254;

// The table's stored records (every record of its file, whatever its selection shows), or
// nullptr for a table whose file could not be read at start-up.
TClientDataSet* StoredRecords(TExtClientDataSet* table) {
    TClientDataSet* internal = table->InternalDataSet();
    if (internal->Active()) return internal;
    if (table->ReadOnly() || internal->ReadOnly()) return nullptr;
    table->OpenInternal();
    return internal;
}

int FieldIndex(const TClientDataSet* records, const QString& name) {
    const TField* field = records->FindField(name);
    return field ? field->Index() : -1;
}

QString TextAt(const TClientDataSet* records, int row, int field) {
    return field < 0 ? QString() : records->RecordValue(row, field).toString();
}

// The key of the detail table's current parent record; empty when it has none.
QString ParentKey(TClientDataSet* detail) {
    TDataSource* source = detail->MasterSource();
    TClientDataSet* master = source ? source->DataSet() : nullptr;
    if (!master || !master->Active()) return QString();
    const TField* field = master->FindField(detail->MasterFields());
    return field ? field->AsString() : QString();
}

// A text control's lines as the lines of a plain text file.
QStringList PlainLines(const QStringList& lines) {
    QStringList out;
    for (const QString& entry : lines) {
        QString text = entry;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        out.append(text.split(QLatin1Char('\n')));
    }
    return out;
}

void RemoveFiles(const QStringList& files) {
    // A file that is not there is no failure.
    for (const QString& file : files) QFile::remove(file);
}

QString DateText(const QVariant& value) {
    const QDate date = value.toDate();
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

}  // namespace

// ---- Declared rules ----

struct TDMServices::TCascadeRule {
    struct TFile {
        TKeyFile Path;
        QString Condition{};  // a Boolean field that must be True, or empty for always
    };
    QString Table;
    QStringList Details{};  // deleted by MasterUKey before the record, in this order
    QList<TFile> Files{};   // deleted once the record is gone
};

const QList<TDMServices::TCascadeRule>& TDMServices::CascadeRules() {
    using K = TKeyFile;
    const QString hasPic = QStringLiteral("HasPic");
    static const QList<TCascadeRule> rules = {
        {.Table = "cdsFungi",
         .Details = {"cdsLatinNames", "cdsSwedishNames", "cdsFungiPics", "cdsFungiFinds", "cdsFungiMixups",
                     "cdsFungiTexts", "cdsFungiPrivateTexts"},
         .Files = {{.Path = K::MainPic, .Condition = hasPic}}},
        {.Table = "cdsFungiPics", .Files = {{.Path = K::FungiPic}, {.Path = K::FungiPicThumb}}},
        {.Table = "cdsKnowbase", .Files = {{.Path = K::KnowBase}}},
        {.Table = "cdsContactGroups", .Details = {"cdsContactGroupRows"}},
        {.Table = "cdsPlaces", .Details = {"cdsPlaceVisits"}},
        {.Table = "cdsPlaceVisits", .Details = {"cdsPlacePeople", "cdsPlaceFinds"}},
        {.Table = "cdsFoods",
         .Details = {"cdsFoodTexts"},
         .Files = {{.Path = K::FoodPic, .Condition = hasPic}, {.Path = K::FoodPicThumb, .Condition = hasPic}}},
        {.Table = "cdsContacts", .Files = {{.Path = K::ContactPic, .Condition = hasPic}}},
        {.Table = "cdsInternet", .Details = {"cdsInternetTexts"}, .Files = {{.Path = K::InternetPic, .Condition = hasPic}}},
        // Users' pictures lie beside the contacts' pictures, named by the user's key.
        {.Table = "cdsUsers", .Files = {{.Path = K::ContactPic, .Condition = hasPic}}},
    };
    return rules;
}

const TDMServices::TCascadeRule* TDMServices::CascadeRuleOf(const QString& tableName) {
    for (const TCascadeRule& rule : CascadeRules())
        if (rule.Table == tableName) return &rule;
    return nullptr;
}

const QString TDMServices::RefPrefix = QStringLiteral(" UKEY=");

const QList<TTableRefFields>& TDMServices::ReferenceFields() {
    static const QList<TTableRefFields> list = [] {
        // CreatedBy of every table that has it, and the few fields that name a person.
        const QHash<QString, QList<TRefField>> more = {
            {"cdsFungi", {{"CompletedBy", TRefField::Key}}},
            {"cdsFungiPics", {{"Photographer", TRefField::Reference}}},
            {"cdsPlacePeople", {{"Individual", TRefField::Reference}}},
            {"cdsUsers", {{"ContactUKey", TRefField::Key}}},
        };
        QList<TTableRefFields> out;
        for (const TDM::TTableInfo& info : TDM::Catalogue()) {
            TTableRefFields entry{info.TableName, {}};
            for (const TFieldDef& def : info.Fields)
                if (def.Name == kCreatedBy) entry.Fields.append({kCreatedBy, TRefField::Key});
            entry.Fields.append(more.value(info.TableName));
            if (!entry.Fields.isEmpty()) out.append(entry);
        }
        return out;
    }();
    return list;
}

const TTableRefFields* TDMServices::ReferenceFieldsOf(const QString& tableName) {
    for (const TTableRefFields& entry : ReferenceFields())
        if (entry.Table == tableName) return &entry;
    return nullptr;
}

QString TDMServices::ReferencedKey(const TRefField& field, const QString& value) {
    if (field.Kind == TRefField::Key) return value;
    // A free name is no use of a contact.
    return value.startsWith(RefPrefix) ? value.mid(RefPrefix.size()) : QString();
}

// ---- Batches of changes over several tables ----

// Collects the changes of one operation: each table it touches saves its file once, at the
// end, and a failure on the way puts back every touched table as its file holds it.
class TDMServices::TBatch {
public:
    TBatch() = default;
    ~TBatch() {
        if (!m_done) Rollback();
    }
    TBatch(const TBatch&) = delete;
    TBatch& operator=(const TBatch&) = delete;

    void Touch(TExtClientDataSet* table) {
        if (Find(table)) return;
        auto entry = std::make_unique<TEntry>();
        entry->Table = table;
        entry->AutoSave = table->AutoSave();
        TClientDataSet* internal = table->InternalDataSet();
        entry->Clean = !internal->Active() || !internal->HasUnsavedChanges();
        table->DisableControls();
        table->SetAutoSave(false);
        m_entries.push_back(std::move(entry));
    }

    // Removes a record from the table's stored and visible records, past its events.
    void Remove(TExtClientDataSet* table, const QString& key) {
        Touch(table);
        TEntry* entry = Find(table);
        table->OpenInternal();
        TClientDataSet* internal = table->InternalDataSet();
        if (LocateUKey(internal, key)) internal->Delete();
        if (table->Active()) {
            if (!entry->Visible) {
                entry->Visible = std::make_unique<TClientDataSet>();
                entry->Visible->CloneCursor(table);
            }
            if (LocateUKey(entry->Visible.get(), key)) entry->Visible->Delete();
        }
    }

    QStringList Files;

    void Commit() {
        m_done = true;
        size_t i = 0;
        // On a failing save, what is not yet in its file goes back to what the file holds.
        auto putBack = qScopeGuard([&] {
            for (size_t j = i; j < m_entries.size(); ++j) PutBack(*m_entries[j]);
            EnableAll();
        });
        for (; i < m_entries.size(); ++i) {
            TEntry& entry = *m_entries[i];
            entry.Visible.reset();
            entry.Table->SetAutoSave(entry.AutoSave);
        }
        putBack.dismiss();
        EnableAll();
        RemoveFiles(Files);
    }

    void Rollback() {
        m_done = true;
        for (auto& entry : m_entries) PutBack(*entry);
        EnableAll();
    }

private:
    struct TEntry {
        TExtClientDataSet* Table = nullptr;
        bool AutoSave = true;
        bool Clean = true;
        bool Enabled = false;
        std::unique_ptr<TClientDataSet> Visible;
    };

    TEntry* Find(TExtClientDataSet* table) const {
        for (const auto& entry : m_entries)
            if (entry->Table == table) return entry.get();
        return nullptr;
    }

    static void PutBack(TEntry& entry) {
        entry.Visible.reset();
        TExtClientDataSet* table = entry.Table;
        try {
            // Reload only a table whose file held everything when the batch began and whose
            // visible records hold no edit; otherwise what is in memory stays.
            if (entry.AutoSave && entry.Clean && table->State() == TDataSetState::dsBrowse) {
                const bool active = table->Active();
                const QString key = active ? GetUKey(table) : QString();
                table->CloseInternal();
                if (active) {
                    table->LoadData();
                    if (!key.isEmpty()) LocateUKey(table, key);
                }
            }
            table->SetAutoSave(entry.AutoSave);
        } catch (...) {
        }
    }

    void EnableAll() {
        for (auto& entry : m_entries) {
            if (entry->Enabled) continue;
            entry->Enabled = true;
            entry->Table->EnableControls();
        }
    }

    std::vector<std::unique_ptr<TEntry>> m_entries;
    bool m_done = false;
};

// ---- Construction ----

TDMServices::TDMServices(TDM* dm) : QObject(dm), m_dm(dm) {
    setObjectName(QStringLiteral("DMServices"));
}

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
    if (!table) throw Exception(QStringLiteral("Table %1 not found").arg(name));
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
    for (TExtClientDataSet* table : {m_dm->cdsFungi, m_dm->cdsFungiPics, m_dm->cdsContactGroupRows, m_dm->cdsPlacePeople})
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
    if (table->AutoSave()) internal->SaveToFile();
}

// ---- Reference counting while records are posted ----

void TDMServices::OnBeforeEdit(TExtClientDataSet* table) {
    const TTableRefFields* refs = ReferenceFieldsOf(table->objectName());
    if (!refs) return;
    QStringList old;
    for (const TRefField& field : refs->Fields) old.append(table->FieldByName(field.Field)->AsString());
    m_editMemory.insert(table, {GetUKey(table), old});
}

void TDMServices::OnBeforePost(TExtClientDataSet* table) {
    m_pendingUses.remove(table);
    const TTableRefFields* refs = ReferenceFieldsOf(table->objectName());
    if (!refs) return;
    QList<TRefChange> changes;
    if (table->State() == TDataSetState::dsInsert) {
        for (const TRefField& field : refs->Fields) {
            const QString key = ReferencedKey(field, table->FieldByName(field.Field)->AsString());
            if (!key.isEmpty()) changes.append({key, roAdd});
        }
    } else if (table->State() == TDataSetState::dsEdit) {
        const QString ukey = GetUKey(table);
        QStringList old;
        const auto memory = m_editMemory.constFind(table);
        if (memory != m_editMemory.constEnd() && memory->first == ukey && memory->second.size() == refs->Fields.size()) {
            old = memory->second;
        } else {
            // An edit that began before the services were bound: the stored record is
            // still the old one until the post reaches it.
            const TRecord stored = StoredRecord(table, ukey);
            for (const TRefField& field : refs->Fields) old.append(stored.Str(field.Field));
        }
        for (int i = 0; i < refs->Fields.size(); ++i) {
            const TRefField& field = refs->Fields[i];
            const QString before = ReferencedKey(field, old[i]);
            const QString after = ReferencedKey(field, table->FieldByName(field.Field)->AsString());
            if (before == after) continue;
            if (!before.isEmpty()) changes.append({before, roSubtract});
            if (!after.isEmpty()) changes.append({after, roAdd});
        }
    }
    if (!changes.isEmpty()) m_pendingUses.insert(table, changes);
}

void TDMServices::OnAfterPost(TExtClientDataSet* table) {
    m_editMemory.remove(table);
    // The counts change only once the record is in its file, and never from inside the
    // post of the contacts table itself.
    const QList<TRefChange> changes = m_pendingUses.take(table);
    if (!changes.isEmpty()) {
        TBatch batch;
        batch.Touch(m_dm->cdsContacts);
        for (const TRefChange& change : changes) ChangeRefCount(change.Op, change.Key);
        batch.Commit();
    }
    if (table == m_dm->cdsFungiPics && Hooks.FungiPicsChanged) Hooks.FungiPicsChanged();
}

QList<TDMServices::TRefChange> TDMServices::UsesOf(const QString& tableName, const TRecord& row, int op) const {
    QList<TRefChange> changes;
    if (const TTableRefFields* refs = ReferenceFieldsOf(tableName)) {
        for (const TRefField& field : refs->Fields) {
            const QString key = ReferencedKey(field, row.Str(field.Field));
            if (!key.isEmpty()) changes.append({key, op});
        }
    }
    return changes;
}

// ---- Cascading deletes ----

QStringList TDMServices::FilesOf(const QString& tableName, const TRecord& row) const {
    QStringList files;
    const TCascadeRule* rule = CascadeRuleOf(tableName);
    const QString key = row.Key();
    if (!rule || !IsValidPathName(key)) return files;
    for (const TCascadeRule::TFile& file : rule->Files) {
        if (!file.Condition.isEmpty() && !row.Bool(file.Condition)) continue;
        files.append(FileOf(file.Path, key));
    }
    return files;
}

void TDMServices::CheckWritable(const QString& tableName, QStringList& seen) {
    const TCascadeRule* rule = CascadeRuleOf(tableName);
    if (!rule) return;
    for (const QString& detail : rule->Details) {
        if (seen.contains(detail)) continue;
        seen.append(detail);
        TExtClientDataSet* table = Table(detail);
        if (table->ReadOnly() || table->InternalDataSet()->ReadOnly())
            throw Exception(QStringLiteral("Cannot modify a read-only dataset"));
        table->OpenInternal();
        CheckWritable(detail, seen);
    }
}

void TDMServices::DeleteDetails(const QString& tableName, const QString& masterKey, TBatch& batch) {
    TExtClientDataSet* table = Table(tableName);
    // An edit of a row whose parent goes away has nothing left to be saved to.
    if (table->State() != TDataSetState::dsBrowse && table->State() != TDataSetState::dsInactive) table->Cancel();
    batch.Touch(table);
    if (masterKey.isEmpty()) return;

    // Every stored row of the parent, whatever the table's selection or view shows.
    QList<TRecord> rows;
    if (TClientDataSet* stored = StoredRecords(table)) {
        const int master = FieldIndex(stored, kMasterUKey);
        for (int row = 0; row < stored->RecordCount(); ++row) {
            if (TextAt(stored, row, master) != masterKey) continue;
            TRecord record;
            record.Found = true;
            for (int i = 0; i < stored->FieldCount(); ++i)
                record.Values.insert(stored->Fields(i)->FieldName().toLower(), stored->RecordValue(row, i));
            rows.append(record);
        }
    }
    for (const TRecord& row : rows) DeleteRow(tableName, row, batch);
}

void TDMServices::DeleteRow(const QString& tableName, const TRecord& row, TBatch& batch) {
    if (const TCascadeRule* rule = CascadeRuleOf(tableName))
        for (const QString& detail : rule->Details) DeleteDetails(detail, row.Key(), batch);
    batch.Remove(Table(tableName), row.Key());
    batch.Files.append(FilesOf(tableName, row));
    const QList<TRefChange> uses = UsesOf(tableName, row, roSubtract);
    if (!uses.isEmpty()) {
        batch.Touch(m_dm->cdsContacts);
        for (const TRefChange& change : uses) ChangeRefCount(change.Op, change.Key);
    }
}

void TDMServices::OnBeforeDelete(TExtClientDataSet* table) {
    const QString name = table->objectName();
    m_pendingDelete.remove(table);
    TRecord record = StoredRecord(table, GetUKey(table));
    if (!record.Found) return;  // the table class refuses the delete itself

    QStringList seen;
    CheckWritable(name, seen);
    if (const TCascadeRule* rule = CascadeRuleOf(name); rule && !rule->Details.isEmpty()) {
        TBatch batch;
        for (const QString& detail : rule->Details) DeleteDetails(detail, record.Key(), batch);
        batch.Commit();
    }
    // The record's own files and uses go once the record itself is gone.
    m_pendingDelete.insert(table, record);
}

void TDMServices::OnAfterDelete(TExtClientDataSet* table) {
    const auto pending = m_pendingDelete.constFind(table);
    if (pending == m_pendingDelete.constEnd()) return;
    const TRecord record = *pending;
    m_pendingDelete.erase(pending);
    const QString name = table->objectName();

    TBatch batch;
    batch.Files = FilesOf(name, record);
    const QList<TRefChange> uses = UsesOf(name, record, roSubtract);
    if (!uses.isEmpty()) {
        batch.Touch(m_dm->cdsContacts);
        for (const TRefChange& change : uses) ChangeRefCount(change.Op, change.Key);
    }
    if (table == m_dm->cdsUsers) {
        batch.Touch(m_dm->cdsContacts);
        AfterUserDeleted(record);
    }
    batch.Commit();
    if (table == m_dm->cdsFungiPics) {
        AfterFungiPicDeleted(record);
        if (Hooks.FungiPicsChanged) Hooks.FungiPicsChanged();
    }
}

void TDMServices::AfterFungiPicDeleted(const TRecord& pic) {
    const QString fungiKey = pic.Str(kMasterUKey);
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    if (fungiKey.isEmpty() || !StoredRecord(fungi, fungiKey).Found) return;
    int count = 0;
    if (TClientDataSet* pics = StoredRecords(m_dm->cdsFungiPics)) {
        const int master = FieldIndex(pics, kMasterUKey);
        for (int row = 0; row < pics->RecordCount(); ++row)
            if (TextAt(pics, row, master) == fungiKey) ++count;
    }
    QList<QPair<QString, QVariant>> values{{QStringLiteral("PicCount"), count}};
    if (pic.Bool(QStringLiteral("IsMainPic"))) values.append({QStringLiteral("HasPic"), false});
    UpdateStored(fungi, fungiKey, values, true);
    if (pic.Bool(QStringLiteral("IsMainPic")) && IsValidPathName(fungiKey))
        QFile::remove(FileOf(TKeyFile::MainPic, fungiKey));
}

void TDMServices::AfterUserDeleted(const TRecord& user) {
    const QString contactKey = user.Str(QStringLiteral("ContactUKey"));
    if (contactKey.isEmpty() || !StoredRecord(m_dm->cdsContacts, contactKey).Found) return;
    UpdateStored(m_dm->cdsContacts, contactKey, {{QStringLiteral("UserUKey"), QVariant()}}, true);
}

// ---- Contact references ----

int TDMServices::ChangeRefCount(int op, const QString& ref) {
    const QString key = ref.startsWith(RefPrefix) ? ref.mid(RefPrefix.size()) : ref;
    if (key.isEmpty()) return -1;
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    TClientDataSet* stored = StoredRecords(contacts);
    if (!stored) return -1;
    const int row = stored->FindRecordIndex(kUKey, key);
    if (row < 0) return -1;
    const int field = FieldIndex(stored, kRefCount);
    if (field < 0) return -1;
    const QVariant value = stored->RecordValue(row, field);
    const int count = std::max(0, value.toInt());
    const int changed = op == roAdd ? count + 1 : std::max(0, count - 1);
    if (changed != count || value.isNull()) UpdateStored(contacts, key, {{kRefCount, changed}}, false);
    return changed;
}

QString TDMServices::GetContactName(const QString& contactKey) {
    if (contactKey.isEmpty()) return QStringLiteral("Mykotekshallen");
    return StoredRecord(m_dm->cdsContacts, contactKey).Str(QStringLiteral("UserName"));
}

QString TDMServices::GetRefText(const QString& ref) {
    if (!ref.startsWith(RefPrefix)) return ref;
    return GetContactName(ref.mid(RefPrefix.size()));
}

// ---- Quick selection ----

void TDMServices::LoadQuickSelection(TQuickSelectionHandler& handler) {
    TFRIniFile* settings = Hooks.Settings;
    if (!settings) return;
    struct SectionGuard {
        TFRIniFile* settings;
        ~SectionGuard() { settings->CloseSection(); }
    } guard{settings};
    if (!settings->SelectSection(QStringLiteral("QuickSelection"))) return;
    auto readBool = [settings](const char* key, bool& target) {
        try {
            target = settings->ReadBool(QLatin1String(key));
        } catch (const Exception&) {
        }
    };
    auto readText = [settings](const char* key, QString& target) {
        try {
            target = settings->ReadString(QLatin1String(key));
        } catch (const Exception&) {
        }
    };
    readBool("Complete", handler.Complete);
    readBool("CompleteLocked", handler.CompleteLocked);
    readBool("SwedishName", handler.SwedishName);
    readBool("SwedishNameLocked", handler.SwedishNameLocked);
    readBool("Edible", handler.Edible);
    readBool("HasPicture", handler.HasPicture);
    readText("CountryPart", handler.CountryPart);
    readText("Season", handler.Season);
    readText("Habitat", handler.Habitat);
    readText("FungiGroup", handler.FungiGroup);
}

QStringList TDMServices::QuickSelectionLines(const TQuickSelectionHandler& handler) {
    QStringList sel{QStringLiteral("(")};
    bool first = true;
    QString joiner = QStringLiteral("AND");
    auto term = [&](const QString& text) {
        sel.append(first ? text : joiner + QLatin1Char(' ') + text);
        first = false;
    };
    // A flag string of another length holds no data; a group is written only with terms.
    auto flagged = [](const QString& flags, int length) {
        QList<int> positions;
        if (flags.size() != length) return positions;
        for (int i = 0; i < length; ++i)
            if (flags[i] != u'0') positions.append(i + 1);
        return positions;
    };
    auto group = [&](const QList<int>& positions, const char* pattern) {
        if (positions.isEmpty()) return;
        term(QStringLiteral("("));
        first = true;
        joiner = QStringLiteral("OR");
        for (int position : positions) term(QString::fromLatin1(pattern).arg(position));
        sel.append(QStringLiteral(")"));
        joiner = QStringLiteral("AND");
        first = false;
    };

    if (handler.Complete) term(QStringLiteral("Str(FungiData = \"CPLD\")"));
    if (handler.SwedishName) term(QStringLiteral("Str(SwedishName <> \"\")"));
    if (handler.Edible) term(QStringLiteral("Num(FoodValue1 >= 3)"));
    if (handler.HasPicture) term(QStringLiteral("Num(PicCount > 0)"));
    group(flagged(handler.CountryPart, 8), "Pos(Occurence,%1 > 0)");
    group(flagged(handler.Season, 12), "Pos(Season,%1 > 0)");

    // A forest type stands for its trees, and a tree for its forest type.
    QSet<int> habitat;
    for (int position : flagged(handler.Habitat, 15)) {
        habitat.insert(position);
        if (position == 1) habitat.unite({4, 5, 6});
        if (position == 2) habitat.unite({7, 8, 9, 10, 11, 12, 13});
        if (position >= 4 && position <= 6) habitat.insert(1);
        if (position >= 7 && position <= 13) habitat.insert(2);
    }
    QList<int> habitats(habitat.begin(), habitat.end());
    std::sort(habitats.begin(), habitats.end());
    group(habitats, "Pos(Habitat,%1 > 0)");

    if (!handler.FungiGroup.isEmpty()) term(QStringLiteral("Str(FungiGroup = %1)").arg(SelQuote(handler.FungiGroup)));
    sel.append(QStringLiteral(")"));
    if (sel.size() == 2) sel.clear();  // nothing chosen: every species
    return sel;
}

void TDMServices::BuildQuickSelection(bool clearOnly) {
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    fungi->SetSel(clearOnly ? QStringList() : QuickSelectionLines(QuickSelection()));
    {
        struct Busy {
            TDMServices* services;
            TExtClientDataSet* table;
            Busy(TDMServices* s, TExtClientDataSet* t) : services(s), table(t) {
                if (services->Hooks.SetBusyCursor) services->Hooks.SetBusyCursor(true);
                table->DisableControls();
            }
            ~Busy() {
                table->EnableControls();
                if (services->Hooks.SetBusyCursor) services->Hooks.SetBusyCursor(false);
            }
        } busy(this, fungi);
        fungi->LoadData();
    }
    if (Hooks.UpdateFungiScreen) Hooks.UpdateFungiScreen();
}

// ---- Text rows ----

void TDMServices::SaveTextRows(const QStringList& lines, TExtClientDataSet* dataSet, int rowWidth, int rowFlag) {
    if (!dataSet) return;
    TField* textField = dataSet->FieldByName(QStringLiteral("RowText"));
    // A row never holds more than its field does.
    int width = rowWidth;
    if (textField->Size() > 0 && (width <= 0 || width > textField->Size())) width = textField->Size();
    if (width <= 0) throw Exception(QStringLiteral("Invalid row width (%1)").arg(rowWidth));
    const bool hasBroken = dataSet->FindField(QStringLiteral("Broken")) != nullptr;

    struct TPiece {
        QString Text;
        bool Broken;
    };
    QList<TPiece> pieces;
    for (QString line : PlainLines(lines)) {
        while (!line.isEmpty()) {
            QString piece = line.left(width);
            line.remove(0, piece.size());
            if (piece.endsWith(QLatin1Char(' '))) piece[piece.size() - 1] = QChar(kBlankMark);
            pieces.append({piece, !line.isEmpty()});
        }
    }

    const bool linked = dataSet->MasterSource() != nullptr;
    const QString parent = ParentKey(dataSet);
    if (linked && parent.isEmpty()) throw Exception(QStringLiteral("No master record for the text rows"));

    // The rows that the new text replaces, found among all stored rows of the parent.
    QStringList oldKeys;
    if (TClientDataSet* stored = StoredRecords(dataSet)) {
        const int master = FieldIndex(stored, kMasterUKey);
        const int flag = FieldIndex(stored, QStringLiteral("RowFlag"));
        const int key = FieldIndex(stored, kUKey);
        for (int row = 0; row < stored->RecordCount(); ++row) {
            if (linked && TextAt(stored, row, master) != parent) continue;
            if (stored->RecordValue(row, flag).toInt() != rowFlag) continue;
            oldKeys.append(TextAt(stored, row, key));
        }
    } else {
        throw Exception(QStringLiteral("Cannot modify a read-only dataset"));
    }

    if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
    TBatch batch;
    batch.Touch(dataSet);
    QStringList newKeys;
    // Until the old rows are gone, any way out takes the new rows out again; the old ones are
    // then still all there.
    auto takeOut = qScopeGuard([&] {
        try {
            if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
            for (const QString& key : newKeys) batch.Remove(dataSet, key);
            batch.Commit();
        } catch (...) {
            batch.Rollback();
        }
    });
    {
        for (int no = 0; no < pieces.size(); ++no) {
            dataSet->Append();
            newKeys.append(GetUKey(dataSet));
            dataSet->FieldByName(QStringLiteral("RowFlag"))->SetAsInteger(rowFlag);
            dataSet->FieldByName(QStringLiteral("RowNo"))->SetAsInteger(no);
            textField->SetAsString(pieces[no].Text);
            if (hasBroken) dataSet->FieldByName(QStringLiteral("Broken"))->SetAsBoolean(pieces[no].Broken);
            dataSet->Post();
            if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
        }
        for (const QString& key : oldKeys) batch.Remove(dataSet, key);
    }
    takeOut.dismiss();
    batch.Commit();
}

void TDMServices::LoadTextRows(TExtClientDataSet* dataSet, QStringList& lines, int rowFlag) {
    lines = LoadTextRows(dataSet, rowFlag);
}

QStringList TDMServices::LoadTextRows(TExtClientDataSet* dataSet, int rowFlag) {
    QStringList lines;
    TClientDataSet* stored = dataSet ? StoredRecords(dataSet) : nullptr;
    if (!stored) return lines;
    const bool linked = dataSet->MasterSource() != nullptr;
    const QString parent = ParentKey(dataSet);
    if (linked && parent.isEmpty()) return lines;

    struct TRow {
        int No;
        QString Text;
        bool Broken;
    };
    QList<TRow> rows;
    const int master = FieldIndex(stored, kMasterUKey);
    const int flag = FieldIndex(stored, QStringLiteral("RowFlag"));
    const int no = FieldIndex(stored, QStringLiteral("RowNo"));
    const int text = FieldIndex(stored, QStringLiteral("RowText"));
    const int broken = FieldIndex(stored, QStringLiteral("Broken"));
    for (int row = 0; row < stored->RecordCount(); ++row) {
        if (linked && TextAt(stored, row, master) != parent) continue;
        if (stored->RecordValue(row, flag).toInt() != rowFlag) continue;
        rows.append({stored->RecordValue(row, no).toInt(), TextAt(stored, row, text),
                     broken >= 0 && stored->RecordValue(row, broken).toBool()});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const TRow& a, const TRow& b) { return a.No < b.No; });

    QString line;
    bool open = false;
    for (TRow& row : rows) {
        if (row.Text.endsWith(QChar(kBlankMark))) row.Text[row.Text.size() - 1] = QLatin1Char(' ');
        line = open ? line + row.Text : row.Text;
        open = row.Broken;
        if (!open) lines.append(line);
    }
    if (open) lines.append(line);  // a last row marked as going on still ends its line
    return lines;
}

// ---- Places ----

void TDMServices::SetPlaceSelection(const QString& province, const QString& district) {
    TExtClientDataSet* places = m_dm->cdsPlaces;
    places->Close();
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
        ~Relink() { table->SetMasterSource(master); }
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
        for (int row = 0; row < visits->RecordCount(); ++row)
            visitsOfPlace[TextAt(visits, row, masterField)].append(TextAt(visits, row, key));
    }
    QHash<QString, QStringList> fungiOfVisit;
    if (TClientDataSet* finds = StoredRecords(m_dm->cdsPlaceFinds)) {
        const int masterField = FieldIndex(finds, kMasterUKey);
        const int fungi = FieldIndex(finds, QStringLiteral("FungiUKey"));
        for (int row = 0; row < finds->RecordCount(); ++row)
            fungiOfVisit[TextAt(finds, row, masterField)].append(TextAt(finds, row, fungi));
    }
    TClientDataSet* places = StoredRecords(m_dm->cdsPlaces);
    if (!places) return;
    const int placeKey = FieldIndex(places, kUKey);
    const int placeName = FieldIndex(places, QStringLiteral("PlaceName"));

    subPlaces->DisableControls();
    struct Enable {
        TExtClientDataSet* table;
        ~Enable() { table->EnableControls(); }
    } enable{subPlaces};
    for (int row = 0; row < places->RecordCount(); ++row) {
        const QString key = TextAt(places, row, placeKey);
        if (key.isEmpty()) continue;
        const QString name = TextAt(places, row, placeName);
        QSet<QString> listed;
        for (const QString& visit : visitsOfPlace.value(key)) {
            for (const QString& fungiKey : fungiOfVisit.value(visit)) {
                if (fungiKey.isEmpty() || listed.contains(fungiKey)) continue;
                subPlaces->Append();
                subPlaces->FieldByName(kMasterUKey)->SetAsString(fungiKey);
                subPlaces->FieldByName(QStringLiteral("PlaceUKey"))->SetAsString(key);
                subPlaces->FieldByName(QStringLiteral("PlaceName"))->SetAsString(name);
                subPlaces->Post();
                listed.insert(fungiKey);
            }
        }
    }
}

// ---- Record exchange ----

QString TDMServices::EFHeader(TExtClientDataSet* table) {
    if (!table || !table->Active() || table->IsEmpty()) return QString();
    auto text = [table](const char* field) {
        const TField* f = table->FindField(QLatin1String(field));
        return f ? f->AsString() : QString();
    };
    auto value = [table](const char* field) {
        const TField* f = table->FindField(QLatin1String(field));
        return f ? f->Value() : QVariant();
    };
    auto joined = [](const QString& a, const QString& b, const QString& separator) {
        if (a.isEmpty()) return b;
        if (b.isEmpty()) return a;
        return a + separator + b;
    };
    if (table == m_dm->cdsFungi) {
        const QString swedish = text("SwedishName");
        const QString latin = text("LatinName");
        return swedish.isEmpty() ? latin : latin.isEmpty() ? swedish : QStringLiteral("%1 (%2)").arg(swedish, latin);
    }
    if (table == m_dm->cdsContacts) return text("UserName");
    if (table == m_dm->cdsPlaces) return text("PlaceName");
    if (table == m_dm->cdsPlaceVisits) {
        const QString place = StoredRecord(m_dm->cdsPlaces, text("MasterUKey")).Str(QStringLiteral("PlaceName"));
        return joined(place, DateText(value("VisitDate")), QStringLiteral(", "));
    }
    if (table == m_dm->cdsPlacePeople) return GetRefText(text("Individual"));
    if (table == m_dm->cdsPlaceFinds) return text("FungiName");
    if (table == m_dm->cdsFoods) {
        const QString category =
            StoredRecord(m_dm->cdsFoodTypes, text("MasterUKey")).Str(QStringLiteral("CategoryName"));
        return category.isEmpty() ? text("FoodName") : QStringLiteral("%1 (%2)").arg(text("FoodName"), category);
    }
    if (table == m_dm->cdsKnowbase) {
        const bool article = value("ItemType").toInt() == 1;
        QString title = (article ? QStringLiteral("Artikel: ") : QStringLiteral("Artikelgrupp: ")) + text("ItemName");
        if (!text("Author").isEmpty()) title += QStringLiteral(" (%1)").arg(text("Author"));
        return title;
    }
    if (table == m_dm->cdsFungiFinds) return QStringLiteral("Fynd %1").arg(DateText(value("FindDate"))).trimmed();
    if (table == m_dm->cdsFungiPics)
        return joined(QStringLiteral("Bild %1").arg(DateText(value("PicDate"))).trimmed(),
                      GetRefText(text("Photographer")), QStringLiteral(", "));
    if (table == m_dm->cdsInternet) return text("Header");
    return QString();
}

QStringList TDMServices::EFFiles(TExtClientDataSet* table) {
    QStringList files;
    if (!table || !table->Active() || table->IsEmpty()) return files;
    const QString key = GetUKey(table);
    if (!IsValidPathName(key)) throw Exception(QStringLiteral("Invalid record key \"%1\"").arg(key));
    auto flag = [table](const char* field) {
        const TField* f = table->FindField(QLatin1String(field));
        return f && f->AsBoolean();
    };
    if (table == m_dm->cdsFungiPics) {
        // A web picture that was never downloaded has no files.
        const bool link = table->FieldByName(QStringLiteral("PicType"))->AsString() == QLatin1String("LINK");
        if (!link || flag("PicDownloaded")) files << FileOf(TKeyFile::FungiPic, key) << FileOf(TKeyFile::FungiPicThumb, key);
    } else if (table == m_dm->cdsContacts) {
        if (flag("HasPic")) files << FileOf(TKeyFile::ContactPic, key);
    } else if (table == m_dm->cdsFoods) {
        if (flag("HasPic")) files << FileOf(TKeyFile::FoodPic, key) << FileOf(TKeyFile::FoodPicThumb, key);
    } else if (table == m_dm->cdsInternet) {
        if (flag("HasPic")) files << FileOf(TKeyFile::InternetPic, key);
    } else if (table == m_dm->cdsKnowbase) {
        if (table->FieldByName(QStringLiteral("ItemType"))->AsInteger() == 1) files << FileOf(TKeyFile::KnowBase, key);
    }
    return files;
}

void TDMServices::EFExport(TExtClientDataSet* table, QIODevice& stream) {
    for (const QString& file : EFFiles(table)) StreamSaveFile(stream, file);
}

void TDMServices::EFImport(TExtClientDataSet* table, QIODevice& stream) {
    for (const QString& file : EFFiles(table)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        StreamLoadFile(stream, file);
    }
    if (table == m_dm->cdsFungiPics && !table->IsEmpty() &&
        table->FieldByName(QStringLiteral("MainPicSource"))->AsBoolean()) {
        const QString fungiKey = table->FieldByName(kMasterUKey)->AsString();
        const TRecord fungi = StoredRecord(m_dm->cdsFungi, fungiKey);
        if (fungi.Found && !fungi.Bool(QStringLiteral("HasPic")) && Hooks.MakeMainPicture)
            Hooks.MakeMainPicture(fungiKey, GetUKey(table));
    }
}
