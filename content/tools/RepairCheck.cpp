#include "content/tools/RepairCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

#include "content/species/pictures/FungiPicOperations.h"
#include "content/recipes/FoodPictures.h"
#include "core/DatasetNames.h"
#include "core/ExtClientDataSet.h"
#include "core/MyUtils.h"
#include "core/PendingFile.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "core/UserAccounts.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"

const QString TRepairCheck::PlaceholderContactKey = QStringLiteral("060BBBBBBBBBBBBBBB");
const QString TRepairCheck::PlaceholderContactName = QStringLiteral("Borttagen kontakt");
const QString TRepairCheck::BuiltInContactKey = QStringLiteral("060AAAAAAAAAAAAAAA");

namespace {

const QString kUKey = QStringLiteral("UKey");
const QString kHasPic = QStringLiteral("HasPic");

QString TableSkipped(const QString& name) {
    return QStringLiteral("   Tabell %1: tabellfilen kunde inte läsas, tabellen hoppades över...").arg(name);
}

QString StepSkipped(const QString& what) {
    return QStringLiteral("   %1: tabellfilen kunde inte läsas, steget hoppades över...").arg(what);
}

}  // namespace

bool ApplyReportLine(QStringList& lines, const QString& text) {
    if (text.startsWith(QLatin1Char('*')) && !lines.isEmpty()) {
        lines.last() = text.mid(1);
        return true;
    }
    lines.append(text.startsWith(QLatin1Char('*')) ? text.mid(1) : text);
    return false;
}

// ---- Progress ----

// One line of a walk, written with 0 when it starts, again about twenty times during the walk
// and once more with 100 when the walk is over.
class TRepairCheck::TProgress {
public:
    // The line holds "%1" where the percentage goes.
    TProgress(TRepairCheck* check, QString line) : m_check(check), m_line(std::move(line)) {
        m_check->Report(m_line.arg(0));
    }
    void SetTotal(qint64 total) {
        m_total = total;
        m_step = std::max<qint64>(1, total / 20);
    }
    void At(qint64 number) {
        if (number % m_step == 0) m_check->Report(QLatin1Char('*') + m_line.arg(Percent(number)));
    }
    void Done() { m_check->Report(QLatin1Char('*') + m_line.arg(100)); }
    // The walk's line gives way to another text.
    void Replace(const QString& text) { m_check->Report(QLatin1Char('*') + text); }

private:
    int Percent(qint64 number) const {
        if (m_total <= 0) return 100;
        return std::clamp(Round(double(number) * 100.0 / double(m_total)), 0, 100);
    }
    TRepairCheck* m_check;
    QString m_line;
    qint64 m_total = 0;
    qint64 m_step = 1;
};

// ---- Table guard ----

// Remembers what a walk changes on a table and gives it back, however the walk ends: the
// master link, the order, NoTimestamp and AutoSave (switching it back on saves in one commit
// what the walk changed). Bound controls hear nothing meanwhile.
class TRepairCheck::TTableGuard {
public:
    explicit TTableGuard(TExtClientDataSet* table)
        : m_table(table),
          m_master(table->MasterSource()),
          m_autoSave(table->AutoSave()),
          m_noTimestamp(table->NoTimestamp),
          m_indexName(table->IndexName()),
          m_indexFields(table->IndexFieldNames()) {
        table->DisableControls();
    }
    ~TTableGuard() {
        try {
            Restore();
        } catch (...) {
            // Unwinding from another failure: that one is reported.
        }
    }
    TTableGuard(const TTableGuard&) = delete;
    TTableGuard& operator=(const TTableGuard&) = delete;

    // Saving may fail; the failure goes to the caller.
    void Restore() {
        if (m_restored) return;
        m_restored = true;
        TExtClientDataSet* table = m_table;
        auto enable = qScopeGuard([table] { table->EnableControls(); });
        if (table->Active() && table->State() != TDataSetState::dsBrowse) table->Cancel();
        table->NoTimestamp = m_noTimestamp;
        table->SetMasterSource(m_master);
        if (!m_indexName.isEmpty())
            table->SetIndexName(m_indexName);
        else
            table->SetIndexFieldNames(m_indexFields);
        table->SetAutoSave(m_autoSave);
    }

private:
    TExtClientDataSet* m_table;
    TDataSource* m_master;
    bool m_autoSave;
    bool m_noTimestamp;
    QString m_indexName;
    QString m_indexFields;
    bool m_restored = false;
};

// ---- The files of the tables ----

namespace {

struct TFileStep {
    TExtClientDataSet* TDM::*Table;
    TKeyFile Kind;
    const char* Prefix;
    const char* Extension;
    const char* Line;  // "%1" where the percentage goes

    QString LineText() const { return QString::fromUtf8(Line); }
    // What the line names, for the line that says the step was passed over.
    QString Name() const { return LineText().section(QStringLiteral(" ("), 0, 0).trimmed(); }
};

// The files named by a record key, with the line of each in the report. Users' and contacts'
// pictures share one folder and one prefix.
const TFileStep kFileSteps[] = {
    {&TDM::cdsUsers, TKeyFile::ContactPic, "US", ".jpg", "   Användarbilder (%1%)..."},
    {&TDM::cdsFungiPics, TKeyFile::FungiPic, "Pic", ".jpg", "   Svampbilder, fullstorlek (%1%)..."},
    {&TDM::cdsFungiPics, TKeyFile::FungiPicThumb, "Tn", ".bmp", "   Svampbilder, miniatyrer (%1%)..."},
    {&TDM::cdsFungi, TKeyFile::MainPic, "MP", ".jpg", "   Svampbilder, huvudbilder (%1%)..."},
    {&TDM::cdsFoods, TKeyFile::FoodPic, "FP", ".jpg", "   Receptbilder, fullstorlek (%1%)..."},
    {&TDM::cdsFoods, TKeyFile::FoodPicThumb, "FPTN", ".bmp", "   Receptbilder, miniatyrer (%1%)..."},
    {&TDM::cdsContacts, TKeyFile::ContactPic, "US", ".jpg", "   Kontaktbilder (%1%)..."},
    {&TDM::cdsInternet, TKeyFile::InternetPic, "IP", ".bmp", "   Internetbilder (%1%)..."},
};
// The tables with a picture flag, in the order their missing files are looked for.
constexpr int kFlaggedSteps[] = {0, 3, 4, 5, 6, 7};
constexpr int kFungiPicStep = 1;
}  // namespace

// ---- The check ----

TRepairCheck::TRepairCheck(TDM* dm) : m_dm(dm) {
    if (!dm) throw Exception(QStringLiteral("Datamodulen saknas"));
}

TRepairCheck::~TRepairCheck() = default;

void TRepairCheck::Report(const QString& line) {
    ApplyReportLine(m_report, line);
    if (OnReportLine) OnReportLine(line);
}

void TRepairCheck::CheckStop() const {
    if (m_stop) throw TStopped{};
}

QString TRepairCheck::FileOf(TKeyFile kind, const QString& key) const {
    return KeyFilePath(m_dm->ProgramFolder(), kind, key);
}

TRepairCheck::TOutcome TRepairCheck::Run() {
    m_counters = TCounters{};
    m_report.clear();
    m_summary.clear();
    m_contactKeys.clear();
    m_refCounts.clear();
    m_failure.clear();
    m_currentUserRepaired = false;

    // The species screen's picture count follows the visible pictures of the current
    // species, which the walks detach; the check counts by MasterUKey itself.
    TDMServices* services = TDMServices::Of(m_dm);
    std::function<void()> picsChanged;
    std::function<void()> scrolled;
    if (services) {
        picsChanged = std::exchange(services->Hooks.FungiPicsChanged, nullptr);
        scrolled = std::exchange(services->Hooks.FungiScrolled, nullptr);
    }
    auto hooksBack = qScopeGuard([&] {
        if (!services) return;
        services->Hooks.FungiPicsChanged = picsChanged;
        services->Hooks.FungiScrolled = scrolled;
    });

    // The logged-in user's record is read again when the check gave that user a new contact,
    // however the run ends.
    auto reselect = qScopeGuard([this] {
        if (!m_currentUserRepaired) return;
        try {
            SelectCurrentUser(m_dm, LoggedInUserKey());
        } catch (const Exception&) {}
    });
    // Each step is one save: what it changed in its tables and files lands together, also
    // when a stop request ends it early; a step that fails changes nothing.
    const auto step = [this](void (TRepairCheck::*run)()) {
        TSaveUnit unit(m_dm);
        try {
            (this->*run)();
        } catch (const TStopped&) {
            unit.Commit();
            throw;
        }
        unit.Commit();
    };
    try {
        step(&TRepairCheck::LoadContactList);
        CheckStop();
        step(&TRepairCheck::CheckMasterDetail);
        step(&TRepairCheck::CheckContactReferences);
        step(&TRepairCheck::FixContactRefCounts);
        step(&TRepairCheck::DeleteOrphanFiles);
        step(&TRepairCheck::FixPicCounts);
        step(&TRepairCheck::CheckMissingFiles);
    } catch (const TStopped&) {
        WriteResult(QStringLiteral("Kontrollen avbruten. Resultat så långt: "),
                    QStringLiteral("Klicka på \"Avsluta\" för att stänga det här fönstret."));
        return TOutcome::Stopped;
    } catch (const Exception& e) {
        m_failure = e.Message();
    } catch (const std::exception& e) {
        m_failure = QString::fromUtf8(e.what());
    }
    if (!m_failure.isEmpty()) {
        WriteResult(QStringLiteral("Kontrollen avbröts av ett fel (%1). Resultat så långt: ").arg(m_failure),
                    QStringLiteral("Klicka på \"Avsluta\" för att stänga det här fönstret."));
        return TOutcome::Failed;
    }
    WriteResult(QStringLiteral("Kontrollen är nu slutförd. Resultat: "),
                QStringLiteral("Klicka på \"Hjälp\" för mer information om rapportens olika delar, eller klicka på "
                               "\"Avsluta\" för att stänga det här fönstret."));
    return TOutcome::Completed;
}

void TRepairCheck::WriteResult(const QString& heading, const QString& closing) {
    const QString dashes(66, QLatin1Char('-'));
    Report(QString());
    Report(heading);
    Report(dashes);
    while (!m_summary.isEmpty()) Report(m_summary.takeFirst());
    Report(dashes);
    Report(closing);
}

// ---- Helpers of the walks ----

bool TRepairCheck::Unreadable(TExtClientDataSet* table) {
    return !table || table->ReadOnly() || table->InternalDataSet()->ReadOnly();
}

bool TRepairCheck::Prepare(TExtClientDataSet* table) {
    try {
        table->SetMasterSource(nullptr);
        table->SetSel({});
        table->LoadData();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool TRepairCheck::HasStoredKey(TExtClientDataSet* table, const QString& key) {
    table->OpenInternal();
    return table->InternalDataSet()->FindRecordIndex(kUKey, key) >= 0;
}

bool TRepairCheck::SetFieldAndPost(TField* field, const QVariant& value) {
    try {
        TEditScope edit(field->DataSet());
        field->SetValue(value);
        edit.Post();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void TRepairCheck::Walk(TExtClientDataSet* table, TProgress& progress, const std::function<void()>& row) {
    progress.SetTotal(table->RecordCount());
    int index = 0;
    qint64 done = 0;
    while (index < table->RecordCount()) {
        table->SetRecNo(index + 1);
        const int before = table->RecordCount();
        row();
        if (table->Active() && table->State() != TDataSetState::dsBrowse) table->Cancel();
        // A deleted row's place is taken by the next one; anything else moves on.
        if (table->RecordCount() >= before) ++index;
        progress.At(++done);
        CheckStop();
    }
    progress.Done();
}

void TRepairCheck::WalkTable(TExtClientDataSet* table, TProgress& progress, const QString& skipped, bool keepPosition,
                             const std::function<void()>& row) {
    if (Unreadable(table)) {
        progress.Replace(skipped);
        return;
    }
    const QString current = keepPosition && table->Active() && !table->IsEmpty() ? GetUKey(table) : QString();
    {
        TTableGuard guard(table);
        table->SetAutoSave(false);
        table->NoTimestamp = true;
        if (!Prepare(table)) {
            progress.Replace(skipped);
        } else {
            table->SetIndexFieldNames(QString());
            Walk(table, progress, row);
        }
        guard.Restore();
    }
    if (!current.isEmpty()) static_cast<void>(LocateUKey(table, current));
}

// ---- Step 1: the contact list ----

void TRepairCheck::LoadContactList() {
    Report(QStringLiteral("Läser in kontaktlistan..."));
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    m_contactsReadable = !Unreadable(contacts);
    if (m_contactsReadable) {
        try {
            contacts->OpenInternal();
        } catch (const Exception&) {
            m_contactsReadable = false;
        }
    }
    if (m_contactsReadable) {
        const TClientDataSet* stored = contacts->InternalDataSet();
        const TField* ukey = stored->FindField(kUKey);
        for (int row = 0; ukey && row < stored->RecordCount(); ++row) {
            const QString key = stored->RecordValue(row, ukey->Index()).toString();
            if (key.isEmpty() || m_refCounts.contains(key)) continue;
            m_contactKeys.append(key);
            m_refCounts.insert(key, 0);
        }
    } else {
        Report(StepSkipped(QStringLiteral("Kontakter")));
    }
    m_counters.Contacts = int(m_contactKeys.size());
    m_summary.append(QStringLiteral("Det finns %1 kontakter i databasen...").arg(m_counters.Contacts));
}

// ---- Step 2: master-detail links ----

void TRepairCheck::CheckMasterDetail() {
    Report(QStringLiteral("Kontrollerar master-detail relationer..."));
    for (TExtClientDataSet* detail : m_dm->Tables()) {
        const QString name = GetDatasetDisplayName(detail->objectName());
        TDataSource* source = detail->MasterSource();
        if (name.isEmpty() || !source) continue;
        auto* master = qobject_cast<TExtClientDataSet*>(source->DataSet());
        TProgress progress(this, QStringLiteral("   Tabell %1 (%2%)...").arg(name, QStringLiteral("%1")));
        // Without the master's rows every detail row would look orphaned.
        if (Unreadable(master) || Unreadable(detail)) {
            progress.Replace(TableSkipped(name));
            CheckStop();
            continue;
        }
        TTableGuard masterGuard(master);
        TTableGuard detailGuard(detail);
        master->SetAutoSave(false);
        detail->SetAutoSave(false);
        if (!Prepare(master) || !Prepare(detail)) {
            progress.Replace(TableSkipped(name));
        } else {
            detail->SetIndexFieldNames(QString());
            Walk(detail, progress, [&] {
                if (master->FindRecordIndex(kUKey, GetMasterUKey(detail)) >= 0) return;
                try {
                    detail->Delete();
                    ++m_counters.BrokenDetails;
                } catch (const Exception&) {
                    // A cascade that failed leaves the row; the walk goes on.
                }
            });
        }
        detailGuard.Restore();
        masterGuard.Restore();
        CheckStop();
    }
    m_summary.append(QStringLiteral("%1 poster med brutna master-detail relationer hittades och raderades...")
                         .arg(m_counters.BrokenDetails));
}

// ---- Step 3: contact references ----

bool TRepairCheck::CountContact(const QString& key) {
    const auto found = m_refCounts.find(key);
    if (found == m_refCounts.end()) return false;
    ++*found;
    return true;
}

bool TRepairCheck::EnsurePlaceholderContact() {
    if (m_refCounts.contains(PlaceholderContactKey)) return true;
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    // The contacts may be the table being walked: the cursor goes back to its row.
    const int recNo = contacts->RecNo();
    try {
        TEditScope add(contacts, TEditScope::Append);
        contacts->FieldByName(kUKey)->SetAsString(PlaceholderContactKey);
        contacts->FieldByName(QStringLiteral("UserName"))->SetAsString(PlaceholderContactName);
        if (TField* stamp = contacts->FindField(QStringLiteral("Timestamp"))) stamp->SetAsString(MakeTimeCode(15));
        add.Post();
    } catch (const Exception&) {
        return false;
    }
    if (recNo > 0) contacts->SetRecNo(recNo);
    m_contactKeys.append(PlaceholderContactKey);
    m_refCounts.insert(PlaceholderContactKey, 0);
    return true;
}

void TRepairCheck::CheckReference(TExtClientDataSet* table, const QString& fieldName, bool asReference) {
    TField* field = table->FindField(fieldName);
    if (!field) return;
    const QString value = field->AsString();
    QString key;
    if (asReference) {
        // Any other text is a free name.
        if (!value.startsWith(TDMServices::RefPrefix)) return;
        key = value.mid(TDMServices::RefPrefix.size());
    } else {
        if (value.isEmpty()) return;
        key = value;
    }
    if (CountContact(key)) return;
    // The program's own author is no contact of the database.
    if (key == BuiltInContactKey) return;
    ++m_counters.MissingContacts;
    if (!EnsurePlaceholderContact()) return;
    const QString repaired = asReference ? TDMServices::RefPrefix + PlaceholderContactKey : PlaceholderContactKey;
    if (SetFieldAndPost(field, repaired)) ++m_refCounts[PlaceholderContactKey];
}

void TRepairCheck::RepairUserContact(TExtClientDataSet* users) {
    TField* field = users->FindField(QStringLiteral("ContactUKey"));
    if (!field) return;
    const QString key = field->AsString();
    if (key.isEmpty() || CountContact(key)) return;
    // The user gets a new mirror contact, copied from this user's own record.
    const QString userKey = GetUKey(users);
    QString contactKey;
    try {
        contactKey = MirrorUserToContact(m_dm->cdsUsers, m_dm->cdsContacts, key);
    } catch (const Exception&) {
        return;
    }
    if (!SetFieldAndPost(field, contactKey)) return;
    m_contactKeys.append(contactKey);
    m_refCounts.insert(contactKey, 1);
    try {
        MirrorUserPicture(userKey, contactKey, users->FieldByName(kHasPic)->AsBoolean());
    } catch (const Exception&) {
        // Without its picture the contact is still the user's.
    }
    if (userKey == LoggedInUserKey()) m_currentUserRepaired = true;
}

void TRepairCheck::CheckContactReferences() {
    Report(QStringLiteral("Kontrollerar databasens kontaktreferenser..."));
    if (!m_contactsReadable) {
        Report(StepSkipped(QStringLiteral("Kontakter")));
    } else {
        for (TExtClientDataSet* table : m_dm->Tables()) {
            const QString name = GetDatasetDisplayName(table->objectName());
            if (name.isEmpty()) continue;
            TProgress progress(this, QStringLiteral("   Tabell %1 (%2%)...").arg(name, QStringLiteral("%1")));
            WalkTable(table, progress, TableSkipped(name), false, [&] {
                CheckReference(table, QStringLiteral("CreatedBy"), false);
                if (table == m_dm->cdsFungi) CheckReference(table, QStringLiteral("CompletedBy"), false);
                if (table == m_dm->cdsFungiPics) CheckReference(table, QStringLiteral("Photographer"), true);
                if (table == m_dm->cdsUsers) RepairUserContact(table);
                if (table == m_dm->cdsPlacePeople) CheckReference(table, QStringLiteral("Individual"), true);
                if (table == m_dm->cdsContactGroupRows) {
                    // Membership of a group is no use of the contact: a row of a contact that is
                    // gone goes, a row of a known one is left.
                    const QString key = table->FieldByName(QStringLiteral("ContactUKey"))->AsString();
                    if (!key.isEmpty() && !m_refCounts.contains(key)) {
                        try {
                            table->Delete();
                        } catch (const Exception&) {}
                    }
                }
            });
            CheckStop();
        }
    }
    m_summary.append(QStringLiteral("%1 poster innehöll referenser till kontakter som inte kunde hittas...")
                         .arg(m_counters.MissingContacts));
}

// ---- Step 4: reference counts ----

void TRepairCheck::FixContactRefCounts() {
    Report(QStringLiteral("Korrigerar kontaktreferenser..."));
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    if (!m_contactsReadable) {
        Report(StepSkipped(QStringLiteral("Kontakter")));
    } else {
        TTableGuard guard(contacts);
        contacts->SetAutoSave(false);
        contacts->NoTimestamp = true;
        if (Prepare(contacts)) {
            for (const QString& key : std::as_const(m_contactKeys)) {
                if (!LocateUKey(contacts, key)) continue;
                TField* count = contacts->FieldByName(QStringLiteral("RefCount"));
                const int found = m_refCounts.value(key);
                if (count->AsInteger() != found && SetFieldAndPost(count, found)) ++m_counters.CorrectedRefCounts;
                CheckStop();
            }
        } else {
            Report(StepSkipped(QStringLiteral("Kontakter")));
        }
        guard.Restore();
    }
    m_summary.append(QStringLiteral("%1 kontakter hade felaktig referensuppgift som nu korrigerats...")
                         .arg(m_counters.CorrectedRefCounts));
}

// ---- Step 5: orphaned files ----

void TRepairCheck::DeleteOrphanFiles() {
    Report(QStringLiteral("Kontrollerar förekomst av överblivna data- och bildfiler..."));
    m_counters.OrphanFiles = 0;
    TExtClientDataSet* users = m_dm->cdsUsers;
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    for (const TFileStep& step : kFileSteps) {
        const QString line = step.LineText();
        TProgress progress(this, line);
        TExtClientDataSet* table = m_dm->*step.Table;
        const bool sharedFolder = table == users || table == contacts;
        // A table that could not be read owns files nobody can see: they stay.
        if (Unreadable(table) || (sharedFolder && (Unreadable(users) || Unreadable(contacts)))) {
            progress.Replace(StepSkipped(step.Name()));
            CheckStop();
            continue;
        }

        QStringList listed;
        TFolderTotals totals;
        totals.List = &listed;
        try {
            HandleFolders(KeyFileFolder(m_dm->ProgramFolder(), step.Kind), QString(), totals,
                          HF_COUNT | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        } catch (const Exception&) {
            listed.clear();
        }
        const QString prefix = QString::fromLatin1(step.Prefix);
        const QString extension = QString::fromLatin1(step.Extension);
        QList<QPair<QString, QString>> files;  // path, key
        for (const QString& path : std::as_const(listed)) {
            const QString name = QFileInfo(path).fileName();
            if (name.size() != prefix.size() + 18 + extension.size() || !name.startsWith(prefix, Qt::CaseInsensitive) ||
                !name.endsWith(extension, Qt::CaseInsensitive))
                continue;
            files.append({path, path.mid(path.size() - extension.size() - 18, 18)});
        }

        progress.SetTotal(files.size());
        for (int i = 0; i < files.size(); ++i) {
            const QString& key = files.at(i).second;
            bool owned = HasStoredKey(table, key);
            if (!owned && sharedFolder) owned = HasStoredKey(table == users ? contacts : users, key);
            // Only a file that is really gone is counted as deleted.
            if (!owned && QFile::remove(files.at(i).first)) ++m_counters.OrphanFiles;
            progress.At(i);
            CheckStop();
        }
        progress.Done();
        CheckStop();
    }
    m_summary.append(
        QStringLiteral("%1 herrelösa bild- eller datafiler hittades och raderades...").arg(m_counters.OrphanFiles));
}

// ---- Step 6: picture counts ----

QHash<QString, int> TRepairCheck::PicCountsBySpecies() const {
    QHash<QString, int> counts;
    TExtClientDataSet* pics = m_dm->cdsFungiPics;
    pics->OpenInternal();
    const TClientDataSet* stored = pics->InternalDataSet();
    const TField* master = stored->FindField(QStringLiteral("MasterUKey"));
    for (int row = 0; master && row < stored->RecordCount(); ++row)
        ++counts[stored->RecordValue(row, master->Index()).toString()];
    return counts;
}

bool TRepairCheck::CorrectPicCount(TExtClientDataSet* fungi, const QHash<QString, int>& counts) {
    TField* field = fungi->FieldByName(QStringLiteral("PicCount"));
    const int count = counts.value(GetUKey(fungi));
    if (field->AsInteger() == count) return false;
    return SetFieldAndPost(field, count);
}

void TRepairCheck::FixPicCounts() {
    TProgress progress(this, QStringLiteral("Kontrollerar arternas uppgift om bildantal (%1%)..."));
    const QString skipped = StepSkipped(QStringLiteral("Bildantal")).trimmed();
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    if (Unreadable(m_dm->cdsFungiPics)) {
        progress.Replace(skipped);
    } else {
        const QHash<QString, int> counts = PicCountsBySpecies();
        WalkTable(fungi, progress, skipped, false, [&] {
            if (CorrectPicCount(fungi, counts)) ++m_counters.CorrectedPicCounts;
        });
    }
    m_summary.append(
        QStringLiteral("%1 artbeskrivningar hade felaktig antalsuppgift på svampbilderna, som nu korrigerats...")
            .arg(m_counters.CorrectedPicCounts));
}

// ---- Step 7: missing files ----

void TRepairCheck::CheckMissingFiles() {
    Report(QStringLiteral("Kontrollerar förekomst av saknade data- och bildfiler..."));
    m_counters.MissingFiles = 0;
    m_mainPicCleared.clear();
    m_speciesLostPictures.clear();
    for (int index : kFlaggedSteps) {
        const TFileStep& step = kFileSteps[index];
        TProgress progress(this, step.LineText());
        TExtClientDataSet* table = m_dm->*step.Table;
        TField* hasPic = nullptr;
        WalkTable(table, progress, StepSkipped(step.Name()), true, [&] {
            if (!hasPic) hasPic = table->FindField(kHasPic);
            if (!hasPic || !hasPic->AsBoolean()) return;
            const QString key = GetUKey(table);
            // A key that cannot name a file has none to look for.
            if (key.isEmpty() || !IsValidPathName(key)) return;
            if (QFileInfo::exists(FileOf(step.Kind, key))) return;
            if (step.Kind == TKeyFile::FoodPicThumb && QFileInfo::exists(FileOf(TKeyFile::FoodPic, key))) {
                // The recipe's picture is there: its thumbnail is made again.
                try {
                    TPendingFile thumbnail = MakeFoodThumbnail(QImage(FileOf(TKeyFile::FoodPic, key)), key);
                    thumbnail.Commit();
                    return;
                } catch (const Exception&) {}
            }
            ++m_counters.MissingFiles;
            if (SetFieldAndPost(hasPic, false) && table == m_dm->cdsFungi) m_mainPicCleared.insert(key);
        });
        CheckStop();
    }
    CheckFungiPicFiles();
    m_summary.append(QStringLiteral("%1 poster hänvisade till bild- eller datafiler som inte kunde hittas...")
                         .arg(m_counters.MissingFiles));
}

void TRepairCheck::CheckFungiPicFiles() {
    const TFileStep& step = kFileSteps[kFungiPicStep];
    TProgress progress(this, step.LineText());
    TExtClientDataSet* pics = m_dm->cdsFungiPics;
    WalkTable(pics, progress, StepSkipped(step.Name()), true, [&] {
        const QString key = GetUKey(pics);
        const QString species = GetMasterUKey(pics);
        TField* isMain = pics->FieldByName(QStringLiteral("IsMainPic"));
        // A species whose main picture was missing has no main picture any more.
        if (isMain->AsBoolean() && m_mainPicCleared.contains(species)) SetFieldAndPost(isMain, false);
        const QString kind = pics->FieldByName(QStringLiteral("PicType"))->AsString();
        TField* downloaded = pics->FieldByName(QStringLiteral("PicDownloaded"));
        const bool link = kind == QLatin1String("LINK");
        const bool stored = kind == QLatin1String("APP") || kind == QLatin1String("PERSONAL") ||
            kind == QLatin1String("EXTERN") || (link && downloaded->AsBoolean());
        if (!stored || key.isEmpty() || !IsValidPathName(key)) return;
        if (!QFileInfo::exists(FileOf(TKeyFile::FungiPic, key))) {
            ++m_counters.MissingFiles;
            if (link) {
                SetFieldAndPost(downloaded, false);
                return;
            }
            try {
                pics->Delete();
                m_speciesLostPictures.insert(species);
            } catch (const Exception&) {}
            return;
        }
        if (!QFileInfo::exists(FileOf(TKeyFile::FungiPicThumb, key))) {
            try {
                fungipics::MakeThumbnail(key);
            } catch (const Exception&) {
                // A picture that cannot be read keeps its row; the species screen shows it
                // without a thumbnail.
            }
        }
    });
    CheckStop();

    // The species that lost pictures get the count of those they have left.
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    if (m_speciesLostPictures.isEmpty() || Unreadable(fungi)) return;
    TTableGuard guard(fungi);
    fungi->SetAutoSave(false);
    fungi->NoTimestamp = true;
    if (Prepare(fungi)) {
        const QHash<QString, int> counts = PicCountsBySpecies();
        for (const QString& species : std::as_const(m_speciesLostPictures))
            if (LocateUKey(fungi, species)) CorrectPicCount(fungi, counts);
    }
    guard.Restore();
}
