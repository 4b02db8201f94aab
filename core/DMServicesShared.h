#pragma once
// What the parts of the data-module services share: field names, access to a table's stored
// records, and the batch that saves the tables of one operation together. Included only by
// the services' own sources.
#include <QDate>
#include <QFile>
#include <QScopeGuard>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "core/ExtClientDataSet.h"
#include "core/SaveUnit.h"
#include "core/unitDMServices.h"
#include "platform/RecordValues.h"

namespace dmservices {

inline const QString kUKey = QStringLiteral("UKey");
inline const QString kMasterUKey = QStringLiteral("MasterUKey");
inline const QString kCreatedBy = QStringLiteral("CreatedBy");
inline const QString kRefCount = QStringLiteral("RefCount");
inline const QString kTimestamp = QStringLiteral("Timestamp");
// The last character of a stored piece that ended in a blank.
inline constexpr char16_t kBlankMark = 254;

// The table's stored records (every record of its file, whatever its selection shows), or
// nullptr for a table whose file could not be read at start-up.
inline TClientDataSet* StoredRecords(TExtClientDataSet* table) {
    TClientDataSet* internal = table->InternalDataSet();
    if (internal->Active()) return internal;
    if (table->ReadOnly() || internal->ReadOnly()) return nullptr;
    table->OpenInternal();
    return internal;
}

inline int FieldIndex(const TClientDataSet* records, const QString& name) {
    const TField* field = records->FindField(name);
    return field ? field->Index() : -1;
}

inline QString TextAt(const TClientDataSet* records, int row, int field) {
    return field < 0 ? QString() : records->RecordValue(row, field).toString();
}

// TextAt of a text field, read from the stored values without a QVariant between.
inline QString StoredText(const TClientDataSet* records, int row, int field) {
    if (field < 0 || records->Fields(field)->DataType() != TFieldType::ftString) return TextAt(records, row, field);
    const TRecordValues* values = records->RecordValuesAt(row);
    return values && !values->IsNull(field) ? values->Text(field) : QString();
}

// The key of the detail table's current parent record; empty when it has none.
inline QString ParentKey(TClientDataSet* detail) {
    TDataSource* source = detail->MasterSource();
    TClientDataSet* master = source ? source->DataSet() : nullptr;
    if (!master || !master->Active()) return QString();
    const TField* field = master->FindField(detail->MasterFields());
    return field ? field->AsString() : QString();
}

// A text control's lines as the lines of a plain text file.
inline QStringList PlainLines(const QStringList& lines) {
    QStringList out;
    for (const QString& entry : lines) {
        QString text = entry;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        out.append(text.split(QLatin1Char('\n')));
    }
    return out;
}

inline void RemoveFiles(const QStringList& files) {
    // A file that is not there is no failure. In a save unit the files go with its commit.
    TSaveUnit::RemoveFiles(files);
}

inline QString DateText(const QVariant& value) {
    const QDate date = value.toDate();
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

}  // namespace dmservices

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
        dmservices::RemoveFiles(Files);
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
                    // A record that is gone leaves the cursor on the first one.
                    if (!key.isEmpty()) static_cast<void>(LocateUKey(table, key));
                }
            }
            table->SetAutoSave(entry.AutoSave);
        } catch (...) {}
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
