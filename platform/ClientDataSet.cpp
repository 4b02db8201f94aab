// The in-memory table: opening from and saving to its file, the cursor, editing, adding
// records in bulk, cloned cursors and the events. The key indexes and orders, the master link
// and the fields have units of their own beside this one.
#include "platform/ClientDataSet.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "platform/ClientDataSetImpl.h"

using DataSetInternals::KeyIndex;
using DataSetInternals::Rec;

namespace {

QString AbsolutePath(const QString& fileName) { return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()); }

}  // namespace

// ---- Telling the controls ----

void TClientDataSet::Impl::Notify(Note note, TField* field) {
    if (disableCount > 0 || destroying) return;
    const QList<TDataSource*> list = sources;
    for (TDataSource* s : list) {
        if (!sources.contains(s)) continue;
        switch (note) {
            case Note::Record:
                s->NotifyRecordChanged(field);
                break;
            case Note::Active:
                s->NotifyActiveChanged();
                break;
            case Note::DataSet:
                s->NotifyDataSetChanged();
                break;
            case Note::Editing:
                s->NotifyEditingChanged();
                break;
            case Note::UpdateData:
                s->NotifyUpdateData();
                break;
        }
    }
}

// ---- Changes of the shared records, from this or another cursor over them ----

void TClientDataSet::Impl::OnInserted(Rec* r, bool follow) {
    if (!Matches(r)) return;
    const int pos = InsertPos(r);
    view.insert(view.begin() + pos, r);
    if (follow) {
        cur = pos;
    } else if (cur < 0) {
        cur = 0;
    } else if (cur >= pos) {
        ++cur;
    }
}

void TClientDataSet::Impl::OnAfterChange(Rec* r, bool follow) {
    const int oldPos = pendingPos;
    pendingPos = -1;
    const bool in = Matches(r);
    if (oldPos >= 0 && in) {
        const bool afterPrev = oldPos == 0 || Less(view[oldPos - 1], r);
        const bool beforeNext = oldPos + 1 >= int(view.size()) || Less(r, view[oldPos + 1]);
        if (afterPrev && beforeNext) {
            if (follow) cur = oldPos;
            return;
        }
    }
    bool wasCurrent = false;
    if (oldPos >= 0) {
        view.erase(view.begin() + oldPos);
        if (cur == oldPos) {
            wasCurrent = true;
        } else if (cur > oldPos) {
            --cur;
        }
    }
    if (in) {
        const int pos = InsertPos(r);
        view.insert(view.begin() + pos, r);
        if (wasCurrent || follow) {
            cur = pos;
        } else if (cur < 0) {
            cur = 0;
        } else if (cur >= pos) {
            ++cur;
        }
    } else if (wasCurrent || follow) {
        cur = std::min(oldPos >= 0 ? oldPos : cur, int(view.size()) - 1);
    }
    if (cur >= int(view.size())) cur = int(view.size()) - 1;
}

void TClientDataSet::Impl::RefreshViews() {
    const QList<Impl*> all = store->views;
    for (Impl* v : all) {
        v->RebuildKeepingCursor();
        v->Notify(Note::DataSet);
    }
}

void TClientDataSet::Impl::OnRemoving(Rec* r) {
    if (editRec == r) editRec = nullptr;
    const int pos = PosOf(r);
    if (pos < 0) return;
    view.erase(view.begin() + pos);
    if (cur > pos) --cur;
    if (cur >= int(view.size())) cur = int(view.size()) - 1;
}

// ---- Opening and closing ----

void TClientDataSet::Impl::BuildFields() {
    fieldIndex.clear();
    while (fields.size() < size_t(activeDefs.size())) fields.push_back(std::make_unique<TField>(q, int(fields.size())));
    for (int i = 0; i < activeDefs.size(); ++i) fieldIndex.insert(activeDefs.at(i).Name.toLower(), i);
    exactFieldIndex.clear();
    for (const TFieldDef& def : activeDefs) exactFieldIndex.insert(def.Name, fieldIndex.value(def.Name.toLower()));
}

void TClientDataSet::Impl::Attach(std::shared_ptr<TClientDataSetStore> s) {
    store = std::move(s);
    activeDefs = store->defs;
    fieldDefs = store->defs;
    active = true;
    BuildFields();
    {
        // A table whose order cannot be resolved does not open.
        auto closed = qScopeGuard([this] {
            order.clear();
            active = false;
            store.reset();
        });
        ResolveOrder();
        closed.dismiss();
    }
    store->views.append(this);
    ReadMasterKey();
    RebuildView();
    cur = view.empty() ? -1 : 0;
    bof = true;
    eof = view.empty();
    state = TDataSetState::dsBrowse;
    Notify(Note::Active);
    q->DoAfterOpen();
    q->DoAfterScroll();
}

void TClientDataSet::Impl::Detach() {
    if (store) store->views.removeOne(this);
    store.reset();
    view.clear();
    cur = -1;
    bof = eof = true;
    buf.clear();
    editRec = nullptr;
    modified = false;
    active = false;
    state = TDataSetState::dsInactive;
}

std::shared_ptr<TClientDataSetStore> TClientDataSet::Impl::NewStore(const TFieldDefs& defs) {
    auto s = std::make_shared<TClientDataSetStore>();
    s->defs = defs;
    for (int i = 0; i < defs.size(); ++i)
        if (defs.at(i).Name.compare(QLatin1String("UKey"), Qt::CaseInsensitive) == 0 &&
            defs.at(i).DataType == TFieldType::ftString)
            s->wantedHashes.push_back(i);
    return s;
}

void TClientDataSet::Impl::CheckBrowseMode() {
    if (!Editing()) return;
    q->UpdateRecord();
    if (modified)
        q->Post();
    else
        q->Cancel();
}

void TClientDataSet::Impl::Scrolled() {
    Notify(Note::Record);
    q->DoAfterScroll();
}

// ---- TClientDataSet ----

TClientDataSet::TClientDataSet(QObject* owner, const QString& name) : QObject(owner), d(std::make_unique<Impl>(this)) {
    setObjectName(name);
}

TClientDataSet::~TClientDataSet() {
    d->destroying = true;
    d->masterLink.SetDataSource(nullptr);
    const QList<TDataSource*> list = d->sources;
    for (TDataSource* s : list) s->SetDataSet(nullptr);
    d->Detach();
}

TFieldDefs& TClientDataSet::FieldDefs() { return d->fieldDefs; }
const TFieldDefs& TClientDataSet::FieldDefs() const { return d->fieldDefs; }
void TClientDataSet::SetFieldDefs(const TFieldDefs& defs) { d->fieldDefs = defs; }

void TClientDataSet::CreateDataSet() {
    Close();
    if (d->fieldDefs.isEmpty()) throw Exception(QStringLiteral("No fields defined. Cannot create dataset"));
    QSet<QString> names;
    for (const TFieldDef& def : d->fieldDefs) {
        if (def.Name.isEmpty()) throw Exception(QStringLiteral("Field name missing"));
        if (names.contains(def.Name.toLower()))
            throw Exception(QStringLiteral("Duplicate field name '%1'").arg(def.Name));
        if (def.DataType == TFieldType::ftUnknown)
            throw Exception(QStringLiteral("Field '%1' is of an unknown type").arg(def.Name));
        names.insert(def.Name.toLower());
    }
    d->Attach(Impl::NewStore(d->fieldDefs));
}

QString TClientDataSet::FileName() const { return d->fileName; }
void TClientDataSet::SetFileName(const QString& fileName) { d->fileName = fileName; }

void TClientDataSet::Open() {
    if (d->active) return;
    if (d->fileName.isEmpty()) throw Exception(QStringLiteral("Dataset has no filename"));
    LoadFromFile(d->fileName);
}

void TClientDataSet::Close() {
    if (!d->active) return;
    DoBeforeClose();
    d->Detach();
    d->Notify(Impl::Note::Active);
}

bool TClientDataSet::Active() const { return d->active; }
void TClientDataSet::SetActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

struct TTableFileRead::Data {
    QString fileName;
    TFieldDefs defs;
    std::vector<std::unique_ptr<Rec>> recs;
    qint64 generation = 0;
    std::exception_ptr failure;
    bool used = false;

    // Texts longer than their field's width come cut, as on assignment.
    void Read() {
        TableFile::Read(
            fileName, defs,
            [&](qint64 id, TRecordValues&& values) {
                auto r = std::make_unique<Rec>();
                r->id = id;
                r->v = std::move(values);
                recs.push_back(std::move(r));
            },
            &generation);
    }
};

TTableFileRead::TTableFileRead(const QString& fileName) : d(std::make_unique<Data>()) {
    d->fileName = fileName;
    try {
        d->Read();
    } catch (...) {
        d->recs.clear();
        d->failure = std::current_exception();
    }
}

TTableFileRead::~TTableFileRead() = default;

QString TTableFileRead::FileName() const { return d->fileName; }

void TClientDataSet::LoadFromFile(const QString& fileName) {
    TTableFileRead read(fileName);
    LoadFromRead(read);
}

void TClientDataSet::LoadFromRead(TTableFileRead& read) {
    TTableFileRead::Data& r = *read.d;
    if (r.used) throw Exception(QStringLiteral("The table file's records were already taken"));
    r.used = true;
    if (r.failure) std::rethrow_exception(r.failure);
    Close();
    auto s = Impl::NewStore(r.defs);
    s->recs = std::move(r.recs);
    s->nextId = s->recs.empty() ? 1 : s->recs.back()->id + 1;
    s->bound = true;
    s->boundFile = AbsolutePath(r.fileName);
    s->generation = r.generation;
    d->Attach(std::move(s));
}

void TClientDataSet::SaveToFile(const QString& fileName) {
    d->CheckActive();
    auto& s = *d->store;
    QString target = fileName;
    if (target.isEmpty()) target = !d->fileName.isEmpty() ? d->fileName : (s.bound ? s.boundFile : QString());
    if (target.isEmpty()) throw Exception(QStringLiteral("Dataset has no filename"));
    const QString path = AbsolutePath(target);

    auto rowsOf = [&](const QSet<qint64>& ids) {
        std::vector<qint64> sorted(ids.begin(), ids.end());
        std::sort(sorted.begin(), sorted.end());
        std::vector<TableFile::Row> rows;
        rows.reserve(sorted.size());
        for (qint64 id : sorted)
            if (const Rec* r = s.FindById(id)) rows.push_back({r->id, &r->v});
        return rows;
    };
    auto allRows = [&] {
        std::vector<TableFile::Row> rows;
        rows.reserve(s.recs.size());
        for (const auto& r : s.recs) rows.push_back({r->id, &r->v});
        return rows;
    };

    if (s.bound && path == s.boundFile) {
        if (s.inserted.isEmpty() && s.changed.isEmpty() && s.deleted.isEmpty()) return;
        std::vector<qint64> deleted(s.deleted.begin(), s.deleted.end());
        std::sort(deleted.begin(), deleted.end());
        qint64 generation = s.generation;
        if (!s.writer) s.writer = std::make_unique<TableFile::Writer>();
        if (!s.writer->Commit(path, s.defs, &generation, deleted, rowsOf(s.inserted), rowsOf(s.changed))) {
            // Another table rewrote the file: our record ids no longer match its rows.
            s.writer->Close();
            generation = TableFile::WriteFull(path, s.defs, allRows());
        }
        s.generation = generation;
        s.ClearTracking();
        return;
    }
    const qint64 generation = TableFile::WriteFull(path, s.defs, allRows());
    // A table not yet bound to a file is bound to the first file it is written to.
    if (!s.bound) {
        s.bound = true;
        s.boundFile = path;
        s.generation = generation;
        s.ClearTracking();
    }
}

bool TClientDataSet::HasUnsavedChanges() const {
    if (!d->store) return false;
    const auto& s = *d->store;
    if (s.bound) return !s.inserted.isEmpty() || !s.changed.isEmpty() || !s.deleted.isEmpty();
    return s.dirty || !s.recs.empty();
}

TClientDataSet::TUnsavedChanges TClientDataSet::UnsavedChanges() const {
    TUnsavedChanges changes;
    if (!d->store || !d->store->bound) return changes;
    const auto& s = *d->store;
    changes.FileName = s.boundFile;
    changes.Defs = s.defs;
    changes.Generation = s.generation;
    changes.Deleted.assign(s.deleted.begin(), s.deleted.end());
    std::sort(changes.Deleted.begin(), changes.Deleted.end());
    const auto rowsOf = [&](const QSet<qint64>& ids, std::vector<std::pair<qint64, QVector<QVariant>>>& out) {
        std::vector<qint64> sorted(ids.begin(), ids.end());
        std::sort(sorted.begin(), sorted.end());
        for (qint64 id : sorted)
            if (const Rec* r = s.FindById(id)) out.emplace_back(id, r->v.ToVariants(s.defs));
    };
    rowsOf(s.inserted, changes.Inserted);
    rowsOf(s.changed, changes.Changed);
    return changes;
}

bool TClientDataSet::MatchesBoundFile() const {
    if (!d->active || !d->store || HasUnsavedChanges()) return false;
    const auto& s = *d->store;
    // Opening reads the file of the table's name, which may no longer be the bound one.
    if (!s.bound || (!d->fileName.isEmpty() && AbsolutePath(d->fileName) != s.boundFile)) return false;
    qint64 generation = 0;
    return TableFile::ReadGeneration(s.boundFile, &generation) && generation == s.generation;
}

bool TClientDataSet::ReadOnly() const { return d->readOnly; }
void TClientDataSet::SetReadOnly(bool readOnly) { d->readOnly = readOnly; }
bool TClientDataSet::LogChanges() const { return d->logChanges; }
void TClientDataSet::SetLogChanges(bool on) { d->logChanges = on; }

int TClientDataSet::FieldCount() const { return d->FieldCount(); }

TField* TClientDataSet::Fields(int index) const {
    if (index < 0 || index >= d->FieldCount())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return d->fields[index].get();
}

TField* TClientDataSet::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f) throw Exception(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

QString TClientDataSet::FieldText(const QString& name) const { return FieldByName(name)->AsString(); }

int TClientDataSet::FieldInteger(const QString& name) const { return FieldByName(name)->AsInteger(); }

TField* TClientDataSet::FindField(const QString& name) const {
    if (!d->active) return nullptr;
    const int i = d->FieldIndexOf(name);
    return i < 0 ? nullptr : d->fields[i].get();
}

void TClientDataSet::First() {
    d->CheckActive();
    d->CheckBrowseMode();
    d->cur = d->view.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->view.empty();
    d->Scrolled();
}

void TClientDataSet::Last() {
    d->CheckActive();
    d->CheckBrowseMode();
    d->cur = int(d->view.size()) - 1;
    d->eof = true;
    d->bof = d->view.empty();
    d->Scrolled();
}

void TClientDataSet::Next() {
    d->CheckActive();
    d->CheckBrowseMode();
    if (d->cur + 1 < int(d->view.size())) {
        ++d->cur;
        d->bof = d->eof = false;
        d->Scrolled();
    } else {
        d->eof = true;
    }
}

void TClientDataSet::Prior() {
    d->CheckActive();
    d->CheckBrowseMode();
    if (d->cur > 0) {
        --d->cur;
        d->bof = d->eof = false;
        d->Scrolled();
    } else {
        d->bof = true;
    }
}

bool TClientDataSet::Eof() const { return !d->active || d->eof || d->view.empty(); }
bool TClientDataSet::Bof() const { return !d->active || d->bof || d->view.empty(); }
bool TClientDataSet::IsEmpty() const { return !d->active || (d->view.empty() && d->state != TDataSetState::dsInsert); }
int TClientDataSet::RecordCount() const { return d->active ? int(d->view.size()) : 0; }
int TClientDataSet::RecNo() const { return d->active && d->cur >= 0 ? d->cur + 1 : 0; }

void TClientDataSet::SetRecNo(int recNo) {
    d->CheckActive();
    d->CheckBrowseMode();
    if (d->view.empty()) return;
    const int target = std::clamp(recNo, 1, int(d->view.size())) - 1;
    if (target == d->cur) return;
    d->cur = target;
    d->bof = d->eof = false;
    d->Scrolled();
}

bool TClientDataSet::Locate(const QString& fieldName, const QVariant& value) {
    d->CheckActive();
    d->CheckBrowseMode();
    const int pos = FindRecordIndex(fieldName, value);
    if (pos < 0) return false;
    d->cur = pos;
    d->bof = d->eof = false;
    d->Scrolled();
    return true;
}

QVariant TClientDataSet::RecordValue(int row, int field) const {
    if (!d->active || row < 0 || row >= int(d->view.size()) || field < 0 || field >= d->activeDefs.size())
        return QVariant();
    return d->view[row]->v.Value(field, d->activeDefs.at(field).DataType);
}

const TRecordValues* TClientDataSet::RecordValuesAt(int row) const {
    if (!d->active || row < 0 || row >= int(d->view.size())) return nullptr;
    return &d->view[row]->v;
}

TDataSetState TClientDataSet::State() const { return d->state; }
bool TClientDataSet::Modified() const { return d->modified; }

void TClientDataSet::Append() {
    d->CheckCanModify();
    d->CheckBrowseMode();
    DoBeforeInsert();
    d->savedCur = d->cur;
    d->buf = QVector<QVariant>(d->activeDefs.size());
    if (d->MasterSource() && d->linkIdx >= 0 && d->masterHasKey) d->buf[d->linkIdx] = d->masterValue;
    d->editRec = nullptr;
    d->state = TDataSetState::dsInsert;
    d->modified = false;
    d->Notify(Impl::Note::Editing);
    d->Notify(Impl::Note::DataSet);
    DoAfterInsert();
}

void TClientDataSet::Edit() {
    d->CheckActive();
    if (d->Editing()) return;
    d->CheckCanModify();
    if (d->view.empty()) {
        Append();
        return;
    }
    DoBeforeEdit();
    Rec* r = d->CurRec();
    d->buf = r->v.ToVariants(d->activeDefs);
    d->editRec = r;
    d->state = TDataSetState::dsEdit;
    d->modified = false;
    d->Notify(Impl::Note::Editing);
    d->Notify(Impl::Note::Record);
}

void TClientDataSet::Post() {
    d->CheckActive();
    UpdateRecord();
    DoBeforePost();
    auto& s = *d->store;
    if (d->state == TDataSetState::dsInsert) {
        auto rec = std::make_unique<Rec>();
        rec->id = s.nextId;
        rec->v = TRecordValues::FromVariants(d->buf, s.defs);
        Rec* r = rec.get();
        d->ChangeStore([](Impl*) {},
                       [&] {
                           ++s.nextId;
                           s.recs.push_back(std::move(rec));
                           s.HashAdd(r);
                           s.inserted.insert(r->id);
                           s.dirty = true;
                       },
                       [&](Impl* v, bool own) { v->OnInserted(r, own); });
        // A record outside the master's view leaves the cursor where it was before the append.
        if (d->PosOf(r) < 0) d->cur = d->view.empty() ? -1 : std::clamp(d->savedCur, 0, int(d->view.size()) - 1);
    } else {
        Rec* r = d->editRec;
        if (!r) throw Exception(QStringLiteral("The record being edited no longer exists"));
        TRecordValues posted = TRecordValues::FromVariants(d->buf, s.defs);
        d->ChangeStore([&](Impl* v) { v->OnBeforeChange(r); },
                       [&] {
                           s.HashRemove(r);
                           r->v = std::move(posted);
                           s.HashAdd(r);
                           if (!s.inserted.contains(r->id)) s.changed.insert(r->id);
                           s.dirty = true;
                       },
                       [&](Impl* v, bool own) { v->OnAfterChange(r, own); });
    }
    d->state = TDataSetState::dsBrowse;
    d->buf.clear();
    d->editRec = nullptr;
    d->modified = false;
    d->bof = d->eof = d->view.empty();
    d->Notify(Impl::Note::Editing);
    d->Notify(Impl::Note::DataSet);
    DoAfterPost();
}

void TClientDataSet::Cancel() {
    if (!d->Editing()) return;
    const bool wasInsert = d->state == TDataSetState::dsInsert;
    d->state = TDataSetState::dsBrowse;
    d->buf.clear();
    d->editRec = nullptr;
    d->modified = false;
    if (wasInsert) d->cur = std::min(d->savedCur, int(d->view.size()) - 1);
    if (d->cur < 0 && !d->view.empty()) d->cur = 0;
    d->Notify(Impl::Note::Editing);
    d->Notify(Impl::Note::DataSet);
    DoAfterCancel();
}

void TClientDataSet::Delete() {
    d->CheckCanModify();
    if (d->state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (d->view.empty()) throw Exception(QStringLiteral("Cannot perform this operation on an empty dataset"));
    DoBeforeDelete();
    Rec* r = d->CurRec();
    if (!r) throw Exception(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const bool wasEditing = d->Editing();
    d->state = TDataSetState::dsBrowse;
    d->buf.clear();
    d->editRec = nullptr;
    d->modified = false;
    auto& s = *d->store;
    d->ChangeStore([&](Impl* v) { v->OnRemoving(r); },
                   [&] {
                       s.HashRemove(r);
                       if (s.inserted.contains(r->id)) {
                           s.inserted.remove(r->id);
                       } else {
                           s.changed.remove(r->id);
                           s.deleted.insert(r->id);
                       }
                       s.dirty = true;
                       auto it =
                           std::lower_bound(s.recs.begin(), s.recs.end(), r->id,
                                            [](const std::unique_ptr<Rec>& x, qint64 key) { return x->id < key; });
                       if (it != s.recs.end() && it->get() == r) s.recs.erase(it);
                   },
                   [](Impl*, bool) {});
    d->bof = d->eof = d->view.empty();
    if (wasEditing) d->Notify(Impl::Note::Editing);
    d->Notify(Impl::Note::DataSet);
    DoAfterDelete();
    DoAfterScroll();
}

namespace {

// A value in its stored form for the field, converted only when it is not in that form yet.
QVariant StoredForm(const QVariant& value, const TFieldDef& def) {
    if (value.isNull()) return QVariant();
    if (def.DataType == TFieldType::ftString && value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (!text.isEmpty() && (def.Size <= 0 || text.size() <= def.Size)) return value;
    }
    return ConvertFieldValue(value, def.DataType, def.Size);
}

// Adds records past the events, as new to the file.
void AddStored(TClientDataSetStore& s, std::vector<TRecordValues>&& values) {
    if (values.empty()) return;
    s.recs.reserve(s.recs.size() + values.size());
    for (KeyIndex& h : s.hashes) h.buckets.reserve(h.buckets.size() + qsizetype(values.size()));
    for (TRecordValues& v : values) {
        auto rec = std::make_unique<Rec>();
        rec->id = s.nextId++;
        rec->v = std::move(v);
        s.HashAdd(rec.get());
        if (s.bound) s.inserted.insert(rec->id);
        s.recs.push_back(std::move(rec));
    }
    s.dirty = true;
}

}  // namespace

void TClientDataSet::AppendRecords(const QList<QVariantList>& rows) {
    d->CheckCanModify();
    d->CheckBrowseMode();
    if (rows.isEmpty()) return;
    auto& s = *d->store;
    const qsizetype count = s.defs.size();
    std::vector<TRecordValues> added;
    added.reserve(size_t(rows.size()));
    // Converted first, so that a value that does not convert leaves the table as it was.
    for (const QVariantList& row : rows) {
        QVector<QVariant> values(count);
        for (qsizetype i = 0; i < count && i < row.size(); ++i) values[i] = StoredForm(row.at(i), s.defs.at(i));
        added.push_back(TRecordValues::FromVariants(values, s.defs));
    }
    AddStored(s, std::move(added));
    d->RefreshViews();
}

void TClientDataSet::AppendSharedRecords(const TClientDataSet& source, const std::vector<int>& rows) {
    d->CheckCanModify();
    d->CheckBrowseMode();
    source.d->CheckActive();
    if (source.d->activeDefs != d->activeDefs) throw Exception(QStringLiteral("The tables' fields differ"));
    const auto& from = source.d->view;
    std::vector<TRecordValues> shared;
    shared.reserve(rows.size());
    for (int row : rows) {
        if (row < 0 || row >= int(from.size()))
            throw Exception(QStringLiteral("List index out of bounds (%1)").arg(row));
        shared.push_back(from[size_t(row)]->v);
    }
    AddStored(*d->store, std::move(shared));
    d->RefreshViews();
}

void TClientDataSet::AppendRecordValues(std::vector<TRecordValues>&& values) {
    d->CheckCanModify();
    d->CheckBrowseMode();
    if (values.empty()) return;
    const int count = int(d->store->defs.size());
    for (const TRecordValues& v : values)
        if (v.Count() != count) throw Exception(QStringLiteral("The record's values do not match the fields"));
    AddStored(*d->store, std::move(values));
    d->RefreshViews();
}

void TClientDataSet::UpdateRecord() {
    if (!d->active || !d->Editing()) throw Exception(QStringLiteral("Dataset not in edit or insert mode"));
    d->Notify(Impl::Note::UpdateData);
}

void TClientDataSet::DisableControls() {
    if (d->disableCount++ == 0) d->disableState = d->state;
}

void TClientDataSet::EnableControls() {
    if (d->disableCount == 0) return;
    if (--d->disableCount > 0) return;
    if (d->disableState != d->state) {
        const bool wasActive = d->disableState != TDataSetState::dsInactive;
        if (wasActive != d->active)
            d->Notify(Impl::Note::Active);
        else
            d->Notify(Impl::Note::Editing);
    }
    if (d->active) d->Notify(Impl::Note::DataSet);
}

bool TClientDataSet::ControlsDisabled() const { return d->disableCount > 0; }

void TClientDataSet::CloneCursor(TClientDataSet* source) {
    if (!source || source == this) throw Exception(QStringLiteral("Cannot clone a cursor from this dataset"));
    source->d->CheckActive();
    Close();
    d->fileName = source->d->fileName;
    d->Attach(source->d->store);
}

void TClientDataSet::DoBeforeInsert() { d->RunEvent(TDataSetEvent::BeforeInsert, BeforeInsert); }
void TClientDataSet::DoAfterInsert() { d->RunEvent(TDataSetEvent::AfterInsert, AfterInsert); }
void TClientDataSet::DoBeforeEdit() { d->RunEvent(TDataSetEvent::BeforeEdit, BeforeEdit); }
void TClientDataSet::DoBeforePost() { d->RunEvent(TDataSetEvent::BeforePost, BeforePost); }
void TClientDataSet::DoAfterPost() { d->RunEvent(TDataSetEvent::AfterPost, AfterPost); }
void TClientDataSet::DoAfterCancel() { d->RunEvent(TDataSetEvent::AfterCancel, AfterCancel); }
void TClientDataSet::DoBeforeDelete() { d->RunEvent(TDataSetEvent::BeforeDelete, BeforeDelete); }
void TClientDataSet::DoAfterDelete() { d->RunEvent(TDataSetEvent::AfterDelete, AfterDelete); }
void TClientDataSet::DoAfterScroll() { d->RunEvent(TDataSetEvent::AfterScroll, AfterScroll); }
void TClientDataSet::DoAfterOpen() { d->RunEvent(TDataSetEvent::AfterOpen, AfterOpen); }
void TClientDataSet::DoBeforeClose() { d->RunEvent(TDataSetEvent::BeforeClose, BeforeClose); }

void TClientDataSet::AddObserver(TDataSetEvent event, QObject* context, TDataSetNotifyEvent observer) {
    if (!context || !observer) return;
    d->observers.push_back({event, context, std::move(observer)});
}

void TClientDataSet::RemoveObservers(const QObject* context) {
    std::erase_if(d->observers, [context](const Impl::Observer& o) { return !o.context || o.context == context; });
}

void TClientDataSet::AddSource(TDataSource* source) { d->sources.append(source); }
void TClientDataSet::RemoveSource(TDataSource* source) { d->sources.removeOne(source); }
