#include "core/unitDMServices.h"
// Contact references and their counts, and the cascading deletes.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <memory>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"

using namespace dmservices;

// ---- Declared rules ----

struct TDMServices::TCascadeRule {
    struct TFile {
        TKeyFile Path;
        QString Condition{};  // a Boolean field that must be True, or empty for always
    };
    QString Table;
    QStringList Details{};  // deleted by MasterUKey before the record, in this order
    QList<TFile> Files{};  // deleted once the record is gone
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
        {.Table = "cdsInternet",
         .Details = {"cdsInternetTexts"},
         .Files = {{.Path = K::InternetPic, .Condition = hasPic}}},
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
        if (memory != m_editMemory.constEnd() && memory->first == ukey &&
            memory->second.size() == refs->Fields.size()) {
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

QList<TDMServices::TRefChange> TDMServices::UsesOf(const QString& tableName, const TRecord& row, TRefOp op) const {
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
            throw Exception(QStringLiteral("Tabellen är skrivskyddad och kan inte ändras"));
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
    if (!m_pendingDelete.contains(table)) return;
    // Taken out, not referred to: the entry is gone before the record is used.
    const TRecord record = m_pendingDelete.take(table);
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
        RemoveFiles({FileOf(TKeyFile::MainPic, fungiKey)});
}

void TDMServices::AfterUserDeleted(const TRecord& user) {
    const QString contactKey = user.Str(QStringLiteral("ContactUKey"));
    if (contactKey.isEmpty() || !StoredRecord(m_dm->cdsContacts, contactKey).Found) return;
    UpdateStored(m_dm->cdsContacts, contactKey, {{QStringLiteral("UserUKey"), QVariant()}}, true);
}

// ---- Contact references ----

int TDMServices::ChangeRefCount(TRefOp op, const QString& ref) {
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
