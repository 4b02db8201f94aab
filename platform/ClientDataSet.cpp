#include "platform/ClientDataSet.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "platform/FieldOrder.h"
#include "platform/FieldValue.h"
#include "platform/RecordValues.h"
#include "platform/TableFile.h"

namespace {

// One record: its internal id (the file's row id) and one value per field.
struct Rec {
    qint64 id = 0;
    TRecordValues v;
};

QStringList SplitNames(const QString& list) {
    QStringList out;
    for (const QString& part : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) out << name;
    }
    return out;
}

QString AbsolutePath(const QString& fileName) { return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()); }

// A hash of a key text, the same for a text in either form.
template <typename Text>
size_t KeyHash(Text text) {
    std::uint64_t h = 14695981039346656037ULL;
    for (auto c : text) {
        h ^= std::uint64_t(char16_t(QChar(c).unicode()));
        h *= 1099511628211ULL;
    }
    return size_t(h);
}

// A hash index of one field: the records by the exact key text of their value. Only a hash
// of the key is kept; a lookup checks each record's own value.
struct KeyIndex {
    int field = 0;
    TFieldType type = TFieldType::ftUnknown;
    QHash<size_t, QVarLengthArray<Rec*, 1>> buckets;

    size_t HashOf(const Rec* r) const {
        if (type == TFieldType::ftString) return r->v.VisitText(field, [](auto text) { return KeyHash(text); });
        return KeyHash(QStringView(r->v.KeyText(field, type)));
    }
    bool HasKey(const Rec* r, const QString& key) const {
        if (type == TFieldType::ftString) return r->v.TextEquals(field, key);
        return r->v.KeyText(field, type) == key;
    }
    void Add(Rec* r) {
        if (!r->v.IsNull(field)) buckets[HashOf(r)].append(r);
    }
    void Remove(Rec* r) {
        if (r->v.IsNull(field)) return;
        auto bucket = buckets.find(HashOf(r));
        if (bucket == buckets.end()) return;
        auto& list = *bucket;
        for (qsizetype i = 0; i < list.size(); ++i)
            if (list[i] == r) {
                list.remove(i);
                break;
            }
        if (list.isEmpty()) buckets.erase(bucket);
    }
    // The records whose key is the given text, in the order they were added.
    std::vector<Rec*> Find(const QString& key) const {
        std::vector<Rec*> out;
        auto bucket = buckets.constFind(KeyHash(QStringView(key)));
        if (bucket == buckets.cend()) return out;
        for (Rec* r : *bucket)
            if (HasKey(r, key)) out.push_back(r);
        return out;
    }
};

const QString& EmptyString() {
    static const QString empty;
    return empty;
}

}  // namespace

// ---- The shared records ----

struct TClientDataSetStore {
    TFieldDefs defs;
    std::vector<std::unique_ptr<Rec>> recs;  // file order: ids ascending
    qint64 nextId = 1;
    // Hash indexes, a few fields at most: those built, and the fields that get one at their
    // first look-up (a table loaded and only shown never builds its key index).
    std::vector<KeyIndex> hashes;
    std::vector<int> wantedHashes;
    QList<TClientDataSet::Impl*> views;
    // The bound file and the changes it has not yet got.
    bool bound = false;
    QString boundFile;
    qint64 generation = 0;
    QSet<qint64> inserted, changed, deleted;
    bool dirty = false;
    // The connection that saves to the bound file, kept from one save to the next.
    std::unique_ptr<TableFile::Writer> writer;

    Rec* FindById(qint64 id) const {
        auto it = std::lower_bound(recs.begin(), recs.end(), id,
                                   [](const std::unique_ptr<Rec>& r, qint64 key) { return r->id < key; });
        return it != recs.end() && (*it)->id == id ? it->get() : nullptr;
    }
    KeyIndex* Hash(int field) {
        for (KeyIndex& h : hashes)
            if (h.field == field) return &h;
        if (std::find(wantedHashes.begin(), wantedHashes.end(), field) != wantedHashes.end()) return &EnsureHash(field);
        return nullptr;
    }
    KeyIndex& EnsureHash(int field) {
        for (KeyIndex& existing : hashes)
            if (existing.field == field) return existing;
        KeyIndex& h = hashes.emplace_back();
        h.field = field;
        h.type = defs.at(field).DataType;
        h.buckets.reserve(qsizetype(recs.size()));
        for (const auto& r : recs) h.Add(r.get());
        return h;
    }
    void HashAdd(Rec* r) {
        for (KeyIndex& h : hashes) h.Add(r);
    }
    void HashRemove(Rec* r) {
        for (KeyIndex& h : hashes) h.Remove(r);
    }
    void ClearTracking() {
        inserted.clear();
        changed.clear();
        deleted.clear();
        dirty = false;
    }
};

// ---- The dataset's own state ----

class TMasterLink : public TDataLink {
public:
    explicit TMasterLink(TClientDataSet::Impl* owner) : m_owner(owner) {}
    void RecordChanged(TField* field) override;
    void ActiveChanged() override;
    void DataSetChanged() override;
    void EditingChanged() override;

private:
    TClientDataSet::Impl* m_owner;
};

struct TClientDataSet::Impl {
    struct IndexDef {
        QString name, fields, descFields;
    };
    struct KeyPart {
        int field;
        bool desc;
        TFieldType type;
    };
    enum class Note { Record, Active, DataSet, Editing, UpdateData };

    explicit Impl(TClientDataSet* owner) : q(owner), masterLink(this) {}

    struct Observer {
        TDataSetEvent event;
        QPointer<QObject> context;
        TDataSetNotifyEvent run;
    };
    std::vector<Observer> observers;

    // Observers first, then the owner's property.
    void RunEvent(TDataSetEvent event, const TDataSetNotifyEvent& property) {
        if (!observers.empty()) {
            // A copy: an observer may add or remove observers while it runs.
            const std::vector<Observer> now = observers;
            for (const Observer& o : now)
                if (o.event == event && o.context) o.run(q);
        }
        if (property) property(q);
    }

    TClientDataSet* q;
    TFieldDefs fieldDefs;
    TFieldDefs activeDefs;
    QString fileName;
    bool active = false;
    TDataSetState state = TDataSetState::dsInactive;
    bool readOnly = false;
    bool logChanges = true;
    std::shared_ptr<TClientDataSetStore> store;
    std::vector<std::unique_ptr<TField>> fields;
    QHash<QString, int> fieldIndex;  // lower-case name -> position
    // The fields' own names -> the position the lower-case look-up gives them: most names
    // are asked for as they are written, and then need no lower-case copy.
    QHash<QString, int> exactFieldIndex;

    std::vector<Rec*> view;
    int cur = -1;
    bool bof = true, eof = true;

    QVector<QVariant> buf;
    Rec* editRec = nullptr;
    bool modified = false;
    int savedCur = -1;
    int pendingPos = -1;

    QList<IndexDef> indexDefs;
    QString indexName, indexFieldNames;
    std::vector<KeyPart> order;

    bool settingMaster = false;
    QString masterFields = QStringLiteral("UKey");
    QString linkField = QStringLiteral("MasterUKey");
    TMasterLink masterLink;
    int linkIdx = -1;
    bool masterHasKey = false;
    QString masterKey;
    QVariant masterValue;

    int disableCount = 0;
    TDataSetState disableState = TDataSetState::dsInactive;
    QList<TDataSource*> sources;
    bool destroying = false;

    // ---- helpers ----
    // The master link stays on its source while the table is closed, and a source that
    // goes away takes itself off the link.
    TDataSource* MasterSource() const { return masterLink.DataSource(); }
    bool Editing() const { return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert; }
    Rec* CurRec() const { return cur >= 0 && cur < int(view.size()) ? view[cur] : nullptr; }
    int FieldCount() const { return active ? int(activeDefs.size()) : 0; }

    void CheckActive() const {
        if (!active) throw Exception(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
    void CheckCanModify() const {
        CheckActive();
        if (readOnly) throw Exception(QStringLiteral("Tabellen är skrivskyddad och kan inte ändras"));
    }
    int FieldIndexOf(const QString& name) const {
        if (const auto exact = exactFieldIndex.constFind(name); exact != exactFieldIndex.cend()) return *exact;
        return fieldIndex.value(name.toLower(), -1);
    }
    int RequireField(const QString& name) const {
        const int i = active ? FieldIndexOf(name) : -1;
        if (i < 0) throw Exception(QStringLiteral("Field '%1' not found").arg(name));
        return i;
    }

    void Notify(Note note, TField* field = nullptr) {
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

    // ---- order and filter ----
    bool Less(const Rec* a, const Rec* b) const {
        for (const KeyPart& k : order) {
            int c = TRecordValues::Compare(a->v, b->v, k.field, k.type);
            if (k.desc) c = -c;
            if (c != 0) return c < 0;
        }
        return a->id < b->id;
    }
    bool Matches(const Rec* r) const {
        if (!MasterSource()) return true;
        if (linkIdx < 0 || !masterHasKey) return false;
        if (r->v.IsNull(linkIdx)) return false;
        const TFieldType type = activeDefs.at(linkIdx).DataType;
        if (type == TFieldType::ftString) return r->v.TextEquals(linkIdx, masterKey);
        return r->v.KeyText(linkIdx, type) == masterKey;
    }
    int PosOf(const Rec* r) const {
        auto it =
            std::lower_bound(view.begin(), view.end(), r, [this](const Rec* a, const Rec* b) { return Less(a, b); });
        return it != view.end() && *it == r ? int(it - view.begin()) : -1;
    }
    int InsertPos(const Rec* r) const {
        auto it =
            std::upper_bound(view.begin(), view.end(), r, [this](const Rec* a, const Rec* b) { return Less(a, b); });
        return int(it - view.begin());
    }

    void ResolveOrder() {
        order.clear();
        QString fieldsList, descList;
        if (!indexName.isEmpty()) {
            const IndexDef* def = FindIndex(indexName);
            if (!def) throw Exception(QStringLiteral("Index '%1' not found").arg(indexName));
            fieldsList = def->fields;
            descList = def->descFields;
        } else {
            fieldsList = indexFieldNames;
        }
        QSet<QString> desc;
        for (const QString& n : SplitNames(descList)) desc.insert(n.toLower());
        for (const QString& n : SplitNames(fieldsList)) {
            const int i = RequireField(n);
            order.push_back({i, desc.contains(n.toLower()), activeDefs.at(i).DataType});
        }
    }
    const IndexDef* FindIndex(const QString& name) const {
        for (const IndexDef& d : indexDefs)
            if (d.name.compare(name, Qt::CaseInsensitive) == 0) return &d;
        return nullptr;
    }

    // Reads the master's current link value.
    void ReadMasterKey() {
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

    void RebuildView() {
        view.clear();
        if (!store) return;
        if (MasterSource()) {
            if (linkIdx < 0 || !masterHasKey) return;
            view = store->EnsureHash(linkIdx).Find(masterKey);
        } else {
            view.reserve(store->recs.size());
            for (const auto& r : store->recs) view.push_back(r.get());
            if (order.empty()) return;  // already in file order
        }
        std::sort(view.begin(), view.end(), [this](const Rec* a, const Rec* b) { return Less(a, b); });
    }

    // Rebuilds keeping the current record when it is still in view.
    void RebuildKeepingCursor() {
        Rec* keep = CurRec();
        RebuildView();
        const int pos = keep ? PosOf(keep) : -1;
        cur = pos >= 0 ? pos : (view.empty() ? -1 : 0);
        if (pos < 0) bof = true;
        eof = view.empty();
    }

    // ---- store changes (from this or another cursor over the same records) ----
    void OnInserted(Rec* r, bool follow) {
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
    void OnBeforeChange(Rec* r) { pendingPos = PosOf(r); }
    void OnAfterChange(Rec* r, bool follow) {
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
    // After records were added past the cursor: every cursor over the store rebuilds its
    // view, keeping its record, and the others' controls are told.
    void RefreshViews() {
        const QList<Impl*> all = store->views;
        for (Impl* v : all) {
            v->RebuildKeepingCursor();
            v->Notify(Note::DataSet);
        }
    }

    void OnRemoving(Rec* r) {
        if (editRec == r) editRec = nullptr;
        const int pos = PosOf(r);
        if (pos < 0) return;
        view.erase(view.begin() + pos);
        if (cur > pos) --cur;
        if (cur >= int(view.size())) cur = int(view.size()) - 1;
    }

    // Runs a change of the shared records through every cursor over them, then tells the
    // other cursors' controls.
    template <typename Before, typename Change, typename After>
    void ChangeStore(Before before, Change change, After after) {
        const QList<Impl*> others = store->views;
        for (Impl* v : others) before(v);
        change();
        for (Impl* v : others) after(v, v == this);
        for (Impl* v : others) {
            if (v == this || !store || !store->views.contains(v)) continue;
            if (v->view.empty()) {
                v->bof = v->eof = true;
            }
            v->Notify(Note::DataSet);
        }
    }

    // Resolves the order just set; when it cannot be resolved, the one before stays in force.
    void ResolveOrderOrRestore(const QString& oldName, const QString& oldFields) {
        auto restore = qScopeGuard([&] {
            indexName = oldName;
            indexFieldNames = oldFields;
            try {
                ResolveOrder();
            } catch (...) {
                order.clear();
            }
        });
        ResolveOrder();
        restore.dismiss();
    }

    // ---- activation ----
    void BuildFields() {
        fieldIndex.clear();
        while (fields.size() < size_t(activeDefs.size()))
            fields.push_back(std::make_unique<TField>(q, int(fields.size())));
        for (int i = 0; i < activeDefs.size(); ++i) fieldIndex.insert(activeDefs.at(i).Name.toLower(), i);
        exactFieldIndex.clear();
        for (const TFieldDef& def : activeDefs) exactFieldIndex.insert(def.Name, fieldIndex.value(def.Name.toLower()));
    }

    void Attach(std::shared_ptr<TClientDataSetStore> s) {
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

    void Detach() {
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

    static std::shared_ptr<TClientDataSetStore> NewStore(const TFieldDefs& defs) {
        auto s = std::make_shared<TClientDataSetStore>();
        s->defs = defs;
        for (int i = 0; i < defs.size(); ++i)
            if (defs.at(i).Name.compare(QLatin1String("UKey"), Qt::CaseInsensitive) == 0 &&
                defs.at(i).DataType == TFieldType::ftString)
                s->wantedHashes.push_back(i);
        return s;
    }

    void CheckBrowseMode() {
        if (!Editing()) return;
        q->UpdateRecord();
        if (modified)
            q->Post();
        else
            q->Cancel();
    }

    void Scrolled() {
        Notify(Note::Record);
        q->DoAfterScroll();
    }

    void MasterChanged(bool force) {
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
};

void TMasterLink::RecordChanged(TField* field) {
    if (field && field->FieldName().compare(m_owner->masterFields, Qt::CaseInsensitive) != 0) return;
    m_owner->MasterChanged(false);
}
void TMasterLink::ActiveChanged() { m_owner->MasterChanged(false); }
void TMasterLink::DataSetChanged() { m_owner->MasterChanged(false); }
void TMasterLink::EditingChanged() { m_owner->MasterChanged(false); }

// ---- TField ----

TField::TField(TClientDataSet* dataSet, int index) : m_dataSet(dataSet), m_index(index) {}

const QString& TField::FieldName() const {
    const auto& defs = m_dataSet->d->activeDefs;
    return m_index < defs.size() ? defs.at(m_index).Name : EmptyString();
}
TFieldType TField::DataType() const {
    const auto& defs = m_dataSet->d->activeDefs;
    return m_index < defs.size() ? defs.at(m_index).DataType : TFieldType::ftUnknown;
}
int TField::Size() const {
    const auto& defs = m_dataSet->d->activeDefs;
    return m_index < defs.size() ? defs.at(m_index).Size : 0;
}
bool TField::IsNull() const { return Value().isNull(); }
void TField::Clear() { SetValue(QVariant()); }

QVariant TField::Value() const {
    const auto* d = m_dataSet->d.get();
    if (!d->active || m_index >= d->activeDefs.size()) return QVariant();
    if (d->Editing()) return m_index < d->buf.size() ? d->buf.at(m_index) : QVariant();
    const Rec* r = d->CurRec();
    return r ? r->v.Value(m_index, d->activeDefs.at(m_index).DataType) : QVariant();
}

void TField::SetValue(const QVariant& value) {
    auto* d = m_dataSet->d.get();
    if (!d->active || !d->Editing()) throw Exception(QStringLiteral("Dataset not in edit or insert mode"));
    const TFieldDef& def = d->activeDefs.at(m_index);
    d->buf[m_index] = ConvertFieldValue(value, def.DataType, def.Size);
    d->modified = true;
    d->Notify(TClientDataSet::Impl::Note::Record, this);
}

QString TField::AsString() const { return FieldValueText(Value(), DataType()); }
void TField::SetAsString(const QString& text) { SetValue(QVariant(text)); }
int TField::AsInteger() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftInteger, 0);
    return v.isNull() ? 0 : v.toInt();
}
void TField::SetAsInteger(int value) { SetValue(QVariant(value)); }
double TField::AsFloat() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftFloat, 0);
    return v.isNull() ? 0.0 : v.toDouble();
}
void TField::SetAsFloat(double value) { SetValue(QVariant(value)); }
bool TField::AsBoolean() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftBoolean, 0);
    return v.isNull() ? false : v.toBool();
}
void TField::SetAsBoolean(bool value) { SetValue(QVariant(value)); }
QDate TField::AsDate() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftDate, 0);
    return v.isNull() ? QDate() : v.toDate();
}
void TField::SetAsDate(const QDate& value) { SetValue(value.isValid() ? QVariant(value) : QVariant()); }
QDateTime TField::AsDateTime() const {
    const QVariant v = ConvertFieldValue(Value(), TFieldType::ftDateTime, 0);
    return v.isNull() ? QDateTime() : v.toDateTime();
}
void TField::SetAsDateTime(const QDateTime& value) { SetValue(value.isValid() ? QVariant(value) : QVariant()); }

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

void TClientDataSet::LoadFromFile(const QString& fileName) {
    const QString path = AbsolutePath(fileName);
    auto store = std::make_shared<TClientDataSetStore>();
    TFieldDefs defs;
    std::vector<std::unique_ptr<Rec>> recs;
    qint64 generation = 0;
    // Texts longer than their field's width come cut, as on assignment.
    TableFile::Read(
        fileName, defs,
        [&](qint64 id, TRecordValues&& values) {
            auto r = std::make_unique<Rec>();
            r->id = id;
            r->v = std::move(values);
            recs.push_back(std::move(r));
        },
        &generation);
    Close();
    auto s = Impl::NewStore(defs);
    s->recs = std::move(recs);
    s->nextId = s->recs.empty() ? 1 : s->recs.back()->id + 1;
    s->bound = true;
    s->boundFile = path;
    s->generation = generation;
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

int TClientDataSet::FindRecordIndex(const QString& fieldName, const QVariant& value) const {
    d->CheckActive();
    const int f = d->RequireField(fieldName);
    const TFieldDef& def = d->activeDefs.at(f);
    QVariant key;
    try {
        // A string key is compared whole: no cut to the field's width.
        key = ConvertFieldValue(value, def.DataType, def.DataType == TFieldType::ftString ? 0 : def.Size);
    } catch (const Exception&) {
        return -1;
    }
    if (const KeyIndex* index = key.isNull() ? nullptr : d->store->Hash(f)) {
        int best = -1;
        for (const Rec* r : index->Find(FieldKeyText(key, def.DataType))) {
            if (!d->Matches(r)) continue;
            const int pos = d->PosOf(r);
            if (pos >= 0 && (best < 0 || pos < best)) best = pos;
        }
        return best;
    }
    if (key.isNull()) {
        for (int i = 0; i < int(d->view.size()); ++i)
            if (d->view[i]->v.IsNull(f)) return i;
        return -1;
    }
    if (def.DataType == TFieldType::ftString) {
        const QString text = key.toString();
        for (int i = 0; i < int(d->view.size()); ++i)
            if (!d->view[i]->v.IsNull(f) && d->view[i]->v.TextEquals(f, text)) return i;
        return -1;
    }
    for (int i = 0; i < int(d->view.size()); ++i)
        if (FieldValuesEqual(d->view[i]->v.Value(f, def.DataType), key, def.DataType)) return i;
    return -1;
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

void TClientDataSet::AddIndex(const QString& name, const QString& fields, const QString& descFields) {
    for (auto& def : d->indexDefs) {
        if (def.name.compare(name, Qt::CaseInsensitive) == 0) {
            def.fields = fields;
            def.descFields = descFields;
            if (d->active && d->indexName.compare(name, Qt::CaseInsensitive) == 0) SetIndexName(d->indexName);
            return;
        }
    }
    d->indexDefs.append({name, fields, descFields});
}

QStringList TClientDataSet::IndexNames() const {
    QStringList names;
    for (const auto& def : d->indexDefs) names << def.name;
    return names;
}

QString TClientDataSet::IndexName() const { return d->indexName; }

void TClientDataSet::SetIndexName(const QString& name) {
    if (!name.isEmpty() && !d->FindIndex(name)) throw Exception(QStringLiteral("Index '%1' not found").arg(name));
    const QString oldName = d->indexName;
    const QString oldFields = d->indexFieldNames;
    if (d->active) d->CheckBrowseMode();
    d->indexName = name;
    d->indexFieldNames.clear();
    if (!d->active) return;
    d->ResolveOrderOrRestore(oldName, oldFields);
    d->RebuildKeepingCursor();
    d->Notify(Impl::Note::DataSet);
}

QString TClientDataSet::IndexFieldNames() const { return d->indexFieldNames; }

void TClientDataSet::SetIndexFieldNames(const QString& fields) {
    const QString oldName = d->indexName;
    const QString oldFields = d->indexFieldNames;
    if (d->active) d->CheckBrowseMode();
    d->indexName.clear();
    d->indexFieldNames = fields;
    if (!d->active) return;
    d->ResolveOrderOrRestore(oldName, oldFields);
    d->RebuildKeepingCursor();
    d->Notify(Impl::Note::DataSet);
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
