#pragma once
// The inside of TClientDataSet, shared by its units and by nothing else: the records a table
// and its cloned cursors share (with their key indexes and the bookkeeping of the bound file),
// and each cursor's own state. ClientDataSet.cpp holds opening, saving, moving and editing,
// ClientDataSetOrder.cpp the key indexes and the orders, ClientDataSetMaster.cpp the master
// link, ClientDataSetField.cpp the fields.
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVarLengthArray>
#include <QVector>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ClientDataSet.h"
#include "platform/DataLink.h"
#include "platform/FieldOrder.h"
#include "platform/FieldValue.h"
#include "platform/RecordValues.h"
#include "platform/TableFile.h"

namespace DataSetInternals {

// One record: its internal id (the file's row id) and one value per field.
struct Rec {
    qint64 id = 0;
    TRecordValues v;
};

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
    void Remove(Rec* r);
    // The records whose key is the given text, in the order they were added.
    std::vector<Rec*> Find(const QString& key) const;
};

}  // namespace DataSetInternals

// ---- The shared records ----

struct TClientDataSetStore {
    using Rec = DataSetInternals::Rec;
    using KeyIndex = DataSetInternals::KeyIndex;

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
    // The index of a field: built, or built now when the field wants one; else none.
    KeyIndex* Hash(int field);
    KeyIndex& EnsureHash(int field);
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

// Follows the master's source and tells its detail when the master's record changes.
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
    using Rec = DataSetInternals::Rec;

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

    void Notify(Note note, TField* field = nullptr);

    // ---- order and filter (ClientDataSetOrder.cpp, the filter by the master in
    // ClientDataSetMaster.cpp) ----
    bool Less(const Rec* a, const Rec* b) const {
        for (const KeyPart& k : order) {
            int c = TRecordValues::Compare(a->v, b->v, k.field, k.type);
            if (k.desc) c = -c;
            if (c != 0) return c < 0;
        }
        return a->id < b->id;
    }
    // Whether a record belongs to the master's current record (every record, without a master).
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

    void ResolveOrder();
    const IndexDef* FindIndex(const QString& name) const;
    // Resolves the order just set; when it cannot be resolved, the one before stays in force.
    void ResolveOrderOrRestore(const QString& oldName, const QString& oldFields);
    void RebuildView();
    // Rebuilds keeping the current record when it is still in view.
    void RebuildKeepingCursor();

    // ---- the master ----
    // Reads the master's current link value.
    void ReadMasterKey();
    void MasterChanged(bool force);

    // ---- store changes (from this or another cursor over the same records) ----
    void OnInserted(Rec* r, bool follow);
    void OnBeforeChange(Rec* r) { pendingPos = PosOf(r); }
    void OnAfterChange(Rec* r, bool follow);
    // After records were added past the cursor: every cursor over the store rebuilds its
    // view, keeping its record, and the others' controls are told.
    void RefreshViews();
    void OnRemoving(Rec* r);

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

    // ---- activation ----
    void BuildFields();
    void Attach(std::shared_ptr<TClientDataSetStore> s);
    void Detach();
    static std::shared_ptr<TClientDataSetStore> NewStore(const TFieldDefs& defs);
    void CheckBrowseMode();
    void Scrolled();
};
