// The key indexes of a table's shared records, and the order a cursor shows them in: named
// indexes, field lists, the look-up of a record by a field's value.
#include <QScopeGuard>
#include <QSet>

#include <algorithm>

#include "platform/ClientDataSetImpl.h"

using DataSetInternals::KeyHash;
using DataSetInternals::KeyIndex;
using DataSetInternals::Rec;

namespace {

// The names of a list separated by semicolons, trimmed, the empty ones left out.
QStringList SplitNames(const QString& list) {
    QStringList out;
    for (const QString& part : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) out << name;
    }
    return out;
}

}  // namespace

// ---- Key indexes ----

void KeyIndex::Remove(Rec* r) {
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

std::vector<Rec*> KeyIndex::Find(const QString& key) const {
    std::vector<Rec*> out;
    auto bucket = buckets.constFind(KeyHash(QStringView(key)));
    if (bucket == buckets.cend()) return out;
    for (Rec* r : *bucket)
        if (HasKey(r, key)) out.push_back(r);
    return out;
}

KeyIndex* TClientDataSetStore::Hash(int field) {
    for (KeyIndex& h : hashes)
        if (h.field == field) return &h;
    if (std::find(wantedHashes.begin(), wantedHashes.end(), field) != wantedHashes.end()) return &EnsureHash(field);
    return nullptr;
}

KeyIndex& TClientDataSetStore::EnsureHash(int field) {
    for (KeyIndex& existing : hashes)
        if (existing.field == field) return existing;
    KeyIndex& h = hashes.emplace_back();
    h.field = field;
    h.type = defs.at(field).DataType;
    h.buckets.reserve(qsizetype(recs.size()));
    for (const auto& r : recs) h.Add(r.get());
    return h;
}

// ---- A cursor's order ----

void TClientDataSet::Impl::ResolveOrder() {
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

const TClientDataSet::Impl::IndexDef* TClientDataSet::Impl::FindIndex(const QString& name) const {
    for (const IndexDef& d : indexDefs)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0) return &d;
    return nullptr;
}

void TClientDataSet::Impl::ResolveOrderOrRestore(const QString& oldName, const QString& oldFields) {
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

void TClientDataSet::Impl::RebuildView() {
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

void TClientDataSet::Impl::RebuildKeepingCursor() {
    Rec* keep = CurRec();
    RebuildView();
    const int pos = keep ? PosOf(keep) : -1;
    cur = pos >= 0 ? pos : (view.empty() ? -1 : 0);
    if (pos < 0) bof = true;
    eof = view.empty();
}

// ---- The table's indexes and look-up ----

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
