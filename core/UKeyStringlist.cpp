#include "core/UKeyStringlist.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <algorithm>
#include <numeric>

namespace {
QCollator& SwedishCollator() {
    static QCollator collator = [] {
        QCollator c{QLocale(QLocale::Swedish, QLocale::Sweden)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}
}  // namespace

int TUKeyStringlist::AddUKey(const QString& name, const QString& ukey) {
    m_ukeys.append(ukey);
    m_names.append({name, int(m_ukeys.size()) - 1});
    return int(m_names.size()) - 1;
}

QString TUKeyStringlist::GetUKey(int index) const { return m_ukeys.at(m_names.at(index).KeyIndex); }

int TUKeyStringlist::IndexOfUKey(const QString& ukey) const {
    int keyIndex = -1;
    for (int k = 0; k < m_ukeys.size() && keyIndex < 0; ++k)
        if (m_ukeys[k].compare(ukey, Qt::CaseInsensitive) == 0) keyIndex = k;
    if (keyIndex < 0) return -1;
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names[i].KeyIndex == keyIndex) return i;
    return -1;
}

int TUKeyStringlist::IndexOf(const QString& name) const {
    for (int i = 0; i < m_names.size(); ++i)
        if (CompareStrings(m_names[i].Name, name) == 0) return i;
    return -1;
}

bool TUKeyStringlist::Find(const QString& name, int& index) const {
    int lo = 0, hi = int(m_names.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (CompareStrings(m_names[mid].Name, name) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    index = lo;
    return lo < m_names.size() && CompareStrings(m_names[lo].Name, name) == 0;
}

int TUKeyStringlist::CompareStrings(const QString& a, const QString& b) { return SwedishCollator().compare(a, b); }

void TUKeyStringlist::Sort() {
    // One sort key per name: the collation is computed once rather than at every comparison.
    QCollator& collator = SwedishCollator();
    QList<QCollatorSortKey> keys;
    keys.reserve(m_names.size());
    for (const TEntry& e : m_names) keys.append(collator.sortKey(e.Name));
    QList<int> order(m_names.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return keys[x].compare(keys[y]) < 0; });
    QList<TEntry> sorted;
    sorted.reserve(m_names.size());
    for (int i : order) sorted.append(m_names[i]);
    m_names = std::move(sorted);
}

void TUKeyStringlist::Clear() {
    m_names.clear();
    m_ukeys.clear();
}

void TUKeyStringlist::Delete(int index) {
    const int keyIndex = m_names.at(index).KeyIndex;
    m_names.removeAt(index);
    m_ukeys.removeAt(keyIndex);
    for (TEntry& e : m_names)
        if (e.KeyIndex > keyIndex) --e.KeyIndex;
}
