#include "core/ExtClientDataSet.h"

#include "core/ProgramFolders.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "core/SaveUnit.h"
#include "core/SelLanguage.h"
#include "platform/DataSetScopes.h"

namespace {

const QString kUKey = QStringLiteral("UKey");

// The selection language reads a stored record of the internal table through this view.
class InternalRecord final : public TSelRecord {
public:
    explicit InternalRecord(const TClientDataSet* dataSet) : m_dataSet(dataSet), m_layout(NextLayoutId()) {}
    void SetRow(int row) { m_row = row; }
    // One id per load: the field list cannot change while LoadData walks the records, so the
    // expression may keep its field look-ups for the whole walk.
    quintptr LayoutId() const override { return m_layout; }
    int FieldIndex(const QString& name) const override {
        const TField* field = m_dataSet->FindField(name);
        return field ? field->Index() : -1;
    }
    TFieldType FieldType(int index) const override { return m_dataSet->Fields(index)->DataType(); }
    QVariant FieldValue(int index) const override { return m_dataSet->RecordValue(m_row, index); }
    const TRecordValues* StoredValues() const override { return m_dataSet->RecordValuesAt(m_row); }

private:
    static quintptr NextLayoutId() {
        static quintptr next = 0;
        return ++next;
    }
    const TClientDataSet* m_dataSet;
    quintptr m_layout;
    int m_row = 0;
};

// The current record's values (the edit buffer while editing), by position.
QVector<QVariant> CurrentValues(const TClientDataSet* from) {
    QVector<QVariant> values(from->FieldCount());
    for (int i = 0; i < values.size(); ++i) values[i] = from->Fields(i)->Value();
    return values;
}

// Puts values into the edited record by position; both tables have the same field list.
void PutValues(const QVector<QVariant>& values, TClientDataSet* to) {
    const int count = std::min(int(values.size()), to->FieldCount());
    for (int i = 0; i < count; ++i) {
        const QVariant& value = values.at(i);
        TField* target = to->Fields(i);
        if (value.isNull())
            target->Clear();
        else
            target->SetValue(value);
    }
}

QString KeyOf(const TClientDataSet* dataSet) {
    const TField* field = dataSet->FindField(kUKey);
    return field ? field->AsString() : QString();
}

}  // namespace

struct TExtClientDataSet::Impl {
    std::unique_ptr<TClientDataSet> internal;
    bool autoSave = true;
    QString datasetId;
    TCDSWorkMode workMode = TCDSWorkMode::wmTimeSave;
    QStringList lockRelations;
    QStringList sel;
    QString filename;
    bool loading = false;
    // While LoadData closes the visible table, the internal one is left open, so that its
    // records serve again when the file still holds exactly them.
    bool keepInternalOnClose = false;

    // Bookkeeping between the before and after hooks of one post or delete.
    QString drawnKey;  // the key this table drew for the record being inserted
    QString editKey;  // the key the record had when its edit began
    bool postWasInsert = false;
    bool postKeyIsDrawn = false;
    QString postKey;
    // The values being posted, taken before the post: once posted, a record the view no
    // longer shows (a detail row of another master) is not under the cursor.
    QVector<QVariant> postValues;
    bool deletePending = false;
    QString deleteKey;
};

TExtClientDataSet::TExtClientDataSet(QObject* owner, const QString& name)
    : TClientDataSet(owner, name), d(std::make_unique<Impl>()) {
    d->internal = std::make_unique<TClientDataSet>();
}

TExtClientDataSet::~TExtClientDataSet() {
    if (d->internal && d->internal->Active()) d->internal->Close();
    d->internal.reset();
}

// ---- Properties ----

bool TExtClientDataSet::AutoSave() const { return d->autoSave; }

void TExtClientDataSet::SetAutoSave(bool on) {
    const bool was = d->autoSave;
    d->autoSave = on;
    // The changes collected while saving was off go to the file in one commit.
    if (on && !was && d->internal && d->internal->Active()) SaveInternal();
}

QString TExtClientDataSet::DatasetId() const { return d->datasetId; }
void TExtClientDataSet::SetDatasetId(const QString& id) { d->datasetId = id; }

TCDSWorkMode TExtClientDataSet::WorkMode() const { return d->workMode; }

void TExtClientDataSet::SetWorkMode(TCDSWorkMode mode) {
    d->workMode = mode;
    ReleaseInternal();
}

QStringList& TExtClientDataSet::LockRelations() { return d->lockRelations; }
const QStringList& TExtClientDataSet::LockRelations() const { return d->lockRelations; }
QStringList& TExtClientDataSet::Sel() { return d->sel; }
const QStringList& TExtClientDataSet::Sel() const { return d->sel; }
void TExtClientDataSet::SetSel(const QStringList& lines) { d->sel = lines; }

QString TExtClientDataSet::Filename() const { return d->filename; }

void TExtClientDataSet::SetFilename(const QString& fileName) {
    if (fileName == d->filename) return;
    // The records in memory belong to the old file; the next use opens the new one.
    if (d->internal && d->internal->Active()) d->internal->Close();
    d->filename = fileName;
    if (d->internal) d->internal->SetFileName(fileName);
}

bool TExtClientDataSet::Loading() const { return d->loading; }

// ---- The internal table ----

TClientDataSet* TExtClientDataSet::InternalDataSet() {
    if (!d->internal) {
        d->internal = std::make_unique<TClientDataSet>();
        d->internal->SetFileName(d->filename);
    }
    return d->internal.get();
}

void TExtClientDataSet::SaveInternal() {
    if (TSaveUnit::Defer(this)) return;
    InternalDataSet()->SaveToFile();
}

void TExtClientDataSet::OpenInternal(TTableFileRead* readAhead) {
    TClientDataSet* internal = InternalDataSet();
    if (internal->Active()) return;
    if (d->filename.isEmpty()) throw Exception(QStringLiteral("Dataset has no filename"));
    internal->SetFileName(d->filename);
    if (readAhead && readAhead->FileName() == d->filename)
        internal->LoadFromRead(*readAhead);
    else
        internal->Open();
    internal->SetLogChanges(false);
}

void TExtClientDataSet::CloseInternal() {
    if (d->internal && d->internal->Active()) d->internal->Close();
}

// A use of the internal table: in wmMemSave it is closed again when the use ends (always, or
// only on failure). On the way out of a failure a failing close is dropped, so that the first
// failure is the one reported.
class TExtClientDataSet::TInternalLease {
public:
    enum TWhen { Always, OnFailure };
    explicit TInternalLease(TExtClientDataSet* table, TWhen when = Always)
        : m_table(table), m_when(when), m_uncaught(std::uncaught_exceptions()) {}
    ~TInternalLease() noexcept(false) {
        if (std::uncaught_exceptions() > m_uncaught) {
            try {
                m_table->ReleaseInternal();
            } catch (...) {}
        } else if (m_when == Always) {
            m_table->ReleaseInternal();
        }
    }
    TInternalLease(const TInternalLease&) = delete;
    TInternalLease& operator=(const TInternalLease&) = delete;

private:
    TExtClientDataSet* m_table;
    TWhen m_when;
    int m_uncaught;
};

void TExtClientDataSet::ReleaseInternal() {
    // Closing drops what the file has not got yet, so a table holding unsaved changes
    // (saving off, or a save that failed) stays open until a save has written them.
    if (d->workMode != TCDSWorkMode::wmMemSave) return;
    if (d->internal && d->internal->Active() && !d->internal->HasUnsavedChanges()) d->internal->Close();
}

// ---- Keys ----

QString TExtClientDataSet::NewUKey(const std::function<bool(const QString&)>& alsoTaken) const {
    auto* self = const_cast<TExtClientDataSet*>(this);
    const QString prefix = d->datasetId + MakeTimeCode(11);

    // Every record of the file is in the internal table; open it for the check if need be.
    TClientDataSet* internal = self->InternalDataSet();
    bool openedHere = false;
    if (!internal->Active() && !d->filename.isEmpty()) {
        try {
            self->OpenInternal();
            openedHere = true;
        } catch (const Exception&) {
            // The post that follows reports the file's problem.
        }
    }
    const bool checkInternal = internal->Active() && internal->FindField(kUKey) != nullptr;
    const bool checkVisible = Active() && FindField(kUKey) != nullptr;
    auto taken = [&](const QString& key) {
        return (checkInternal && internal->FindRecordIndex(kUKey, key) >= 0) ||
            (checkVisible && FindRecordIndex(kUKey, key) >= 0) || (alsoTaken && alsoTaken(key));
    };

    constexpr quint32 kRange = 456'976;
    constexpr int kRandomTries = 32;
    quint32 value = DrawUKeyRandom();
    QString key = prefix + LettersFromNumber(4, value);
    // A few fresh draws, then a walk through the remaining values, so the loop always ends.
    for (quint32 attempt = 1; taken(key); ++attempt) {
        if (attempt >= kRandomTries + kRange) {
            if (openedHere) self->ReleaseInternal();
            throw Exception(QStringLiteral("Det finns ingen ledig postnyckel"));
        }
        value = attempt < kRandomTries ? DrawUKeyRandom() : (value + 1) % kRange;
        key = prefix + LettersFromNumber(4, value);
    }
    if (openedHere) self->ReleaseInternal();
    return key;
}

// ---- Loading ----

void TExtClientDataSet::LoadData() { BuildVisible(true); }

void TExtClientDataSet::LoadDataAsRead() { BuildVisible(false); }

void TExtClientDataSet::BuildVisible(bool askFile) {
    DisableControls();
    d->loading = true;
    struct Finish {
        TExtClientDataSet* table;
        ~Finish() {
            table->EnableControls();
            table->d->loading = false;
            table->ReleaseInternal();
        }
    } finish{this};

    {
        d->keepInternalOnClose = true;
        struct Restore {
            Impl* d;
            ~Restore() { d->keepInternalOnClose = false; }
        } restore{d.get()};
        Close();
    }
    // Back to the file, as closing does, unless the file is still of the generation the
    // records in memory came from, when reading it again would give the very same records.
    // A file that cannot be read is read afresh, which reports what is wrong with it.
    // Unsaved changes keep the records in memory, as closing does.
    if (askFile && d->internal && d->internal->Active() && !d->internal->HasUnsavedChanges() &&
        !d->internal->MatchesBoundFile())
        d->internal->Close();
    OpenInternal();
    TClientDataSet* internal = d->internal.get();
    SetFieldDefs(internal->FieldDefs());
    CreateDataSet();

    // The visible table takes the matching records as they are stored: it shares their values
    // with the internal table, so that nothing is copied, converted or posted.
    const TSelExpression selection(d->sel);
    const bool all = selection.IsEmpty();
    InternalRecord record(internal);
    const int count = internal->RecordCount();
    std::vector<int> rows;
    rows.reserve(size_t(count));
    try {
        for (int row = 0; row < count; ++row) {
            record.SetRow(row);
            if (all || selection.Match(record)) rows.push_back(row);
            if (AfterICDSScroll) {
                internal->SetRecNo(row + 1);
                AfterICDSScroll(this);
            }
        }
    } catch (...) {
        // A selection that fails on a record ends the load with the records matched so far;
        // the first failure is the one reported.
        try {
            AppendSharedRecords(*internal, rows);
        } catch (...) {}
        throw;
    }
    AppendSharedRecords(*internal, rows);
    // Where walking the records leaves the internal cursor.
    internal->Last();
    First();
}

void TExtClientDataSet::CopyRecord() {
    if (!d->internal || !d->internal->Active())
        throw Exception(QStringLiteral("Error in CopyRecord. Internal dataset is not active"));
    if (!Active()) throw Exception(QStringLiteral("Error in CopyRecord. Dataset is not active"));

    const bool hadNoTimestamp = NoTimestamp;
    NoTimestamp = true;
    DisableControls();
    struct Finish {
        TExtClientDataSet* table;
        bool noTimestamp;
        ~Finish() {
            table->NoTimestamp = noTimestamp;
            if (table->State() != TDataSetState::dsBrowse) table->Cancel();
            table->EnableControls();
        }
    } finish{this, hadNoTimestamp};

    Append();
    PutValues(CurrentValues(d->internal.get()), this);
    Post();
}

// ---- Hooks ----

void TExtClientDataSet::DoBeforeInsert() {
    if (d->loading) return;
    TClientDataSet::DoBeforeInsert();
}

void TExtClientDataSet::DoAfterInsert() {
    if (d->loading) return;
    d->drawnKey.clear();
    if (TField* field = FindField(kUKey)) {
        // No record without a key: the insert does not happen.
        TEditScope insert(this, TEditScope::AsItIs);
        const QString key = NewUKey();
        insert.Keep();
        field->SetAsString(key);
        d->drawnKey = field->AsString();
    }
    TClientDataSet::DoAfterInsert();
}

void TExtClientDataSet::DoAfterOpen() {
    SetLogChanges(false);
    TClientDataSet::DoAfterOpen();
}

void TExtClientDataSet::DoBeforeEdit() {
    if (d->loading) return;
    d->editKey = KeyOf(this);
    TClientDataSet::DoBeforeEdit();
}

void TExtClientDataSet::DoBeforePost() {
    if (d->loading) return;
    d->postWasInsert = State() == TDataSetState::dsInsert;
    const QString key = KeyOf(this);
    // A key this table drew is new to the file; a key put in by the caller names its record.
    d->postKeyIsDrawn = d->postWasInsert && !d->drawnKey.isEmpty() && key == d->drawnKey;
    d->postKey = d->postWasInsert ? key : d->editKey;
    if (!NoTimestamp) {
        if (TField* stamp = FindField(QStringLiteral("Timestamp"))) stamp->SetAsString(MakeTimeCode(15));
    }
    TClientDataSet::DoBeforePost();
    // A file that cannot be opened stops the post before the visible table takes it.
    OpenInternal();
    d->postValues = CurrentValues(this);
}

void TExtClientDataSet::DoAfterPost() {
    if (d->loading) return;
    const bool appendOnly = d->postWasInsert && d->postKeyIsDrawn;
    const QString key = d->postKey;
    const QVector<QVariant> values = std::exchange(d->postValues, {});
    d->postWasInsert = d->postKeyIsDrawn = false;
    d->drawnKey.clear();

    TClientDataSet* internal = InternalDataSet();
    {
        TInternalLease lease(this);
        OpenInternal();
        const bool found = !appendOnly && internal->FindField(kUKey) != nullptr && LocateUKey(internal, key);
        TEditScope edit(internal, found ? TEditScope::Edit : TEditScope::Append);
        PutValues(values, internal);
        edit.Post();
        if (d->autoSave) SaveInternal();
    }
    TClientDataSet::DoAfterPost();
}

void TExtClientDataSet::DoBeforeDelete() {
    d->deletePending = false;
    OpenInternal();
    const QString key = KeyOf(this);
    TClientDataSet* internal = d->internal.get();
    if (internal->FindField(kUKey) == nullptr || !LocateUKey(internal, key)) {
        ReleaseInternal();
        throw Exception(QStringLiteral("UKey not found in DoBeforeDelete"));
    }
    // The cascades run first: when one fails, the record stays in the table and its file.
    {
        TInternalLease lease(this, TInternalLease::OnFailure);
        TClientDataSet::DoBeforeDelete();
    }
    d->deleteKey = key;
    d->deletePending = true;
}

void TExtClientDataSet::DoAfterDelete() {
    if (d->deletePending) {
        d->deletePending = false;
        TClientDataSet* internal = InternalDataSet();
        TInternalLease lease(this);
        OpenInternal();
        if (internal->FindField(kUKey) != nullptr && LocateUKey(internal, d->deleteKey)) internal->Delete();
        if (d->autoSave) SaveInternal();
    }
    TClientDataSet::DoAfterDelete();
}

void TExtClientDataSet::DoAfterScroll() {
    if (d->loading) return;
    TClientDataSet::DoAfterScroll();
}

void TExtClientDataSet::DoBeforeClose() {
    // Back to the file on the next use; unsaved changes keep the records in memory.
    if (!d->keepInternalOnClose && d->internal && d->internal->Active() && !d->internal->HasUnsavedChanges())
        d->internal->Close();
    TClientDataSet::DoBeforeClose();
}

// ---- Static helpers ----

QString TExtClientDataSet::GetDataFileName(const QObject* component) {
    const QString name = component ? component->objectName() : QString();
    const QString base = name.mid(3);
    // The name becomes part of a path.
    if (!IsValidPathName(base)) throw Exception(QStringLiteral("Ogiltigt tabellnamn \"%1\"").arg(name));
    return base + QStringLiteral(".dat");
}

void TExtClientDataSet::CopyRecordTo(TClientDataSet* source, TClientDataSet* dest, bool asNew) {
    if (asNew) {
        dest->Append();
    } else {
        try {
            EditUKey(dest, GetUKey(source), true);
        } catch (const Exception&) {
            dest->Append();
        }
    }
    // No half-copied record is left behind in edit or insert state.
    TEditScope copy(dest, TEditScope::AsItIs);
    const int count = std::min(source->FieldCount(), dest->FieldCount());
    for (int i = 0; i < count; ++i) dest->Fields(i)->SetAsString(source->Fields(i)->AsString());
    copy.Post();
}
