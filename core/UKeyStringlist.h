#pragma once
// A list of display names in which every name carries the record key (UKey) of the record
// it names: the species and contact name lists that the search panels look through.
// Several names may carry the same key. Each name holds the index of its key in UKeys, so
// sorting the names keeps every name's key while UKeys itself is never reordered.
#include <QList>
#include <QString>
#include <QStringList>

class TUKeyStringlist {
public:
    TUKeyStringlist() = default;
    virtual ~TUKeyStringlist() = default;

    int Count() const { return int(m_names.size()); }
    bool IsEmpty() const { return m_names.isEmpty(); }
    // The name at an index (0 to Count() - 1).
    const QString& Strings(int index) const { return m_names.at(index).Name; }
    // The index in UKeys of the key of the name at an index.
    int Objects(int index) const { return m_names.at(index).KeyIndex; }
    // The keys in the order they were added.
    const QStringList& UKeys() const { return m_ukeys; }

    // Appends the key to UKeys and the name with that key; returns the name's index.
    int AddUKey(const QString& name, const QString& ukey);
    // The key of the name at an index.
    QString GetUKey(int index) const;
    // The index of the first added name that carries the key (letter case ignored), or -1.
    int IndexOfUKey(const QString& ukey) const;

    // The index of the first name equal to the text (letter case ignored), or -1.
    int IndexOf(const QString& name) const;
    // On a sorted list: whether a name compares equal to the text; index receives the first
    // such name, or the place where the text would go.
    [[nodiscard]] bool Find(const QString& name, int& index) const;
    // Sorts the names in Swedish alphabetical order, letter case ignored; names that compare
    // equal keep the order they were added in.
    void Sort();
    // The order Sort uses: below 0, 0 or above 0.
    static int CompareStrings(const QString& a, const QString& b);

    // Removes every name and key.
    virtual void Clear();
    // Removes the name at an index and its key; every other name keeps its key.
    virtual void Delete(int index);

private:
    struct TEntry {
        QString Name;
        int KeyIndex = 0;
    };
    QList<TEntry> m_names;
    QStringList m_ukeys;
};
