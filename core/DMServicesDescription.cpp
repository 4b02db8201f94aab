#include "core/unitDMServices.h"
// A species description saved with its synonyms and its free text.

#include <QScopeGuard>
#include <QVector>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"

using namespace dmservices;

namespace {

const char* const kReadOnly = "Tabellen är skrivskyddad och kan inte ändras";

// The rows of one detail table of the species that the description replaces.
struct TDetailRows {
    TExtClientDataSet* Table = nullptr;
    QString Field;       // the field each line goes to
    QStringList Lines;
    int Flag = -1;       // the RowFlag of the rows replaced; -1: every row
    QList<QVector<QVariant>> OldRows;  // every field of each row replaced, to put it back
    QStringList OldKeys;
    QStringList NewKeys;
    bool Saved = false;
};

}  // namespace

void TDMServices::SaveFungiDescription(const TFungiDescription& description) {
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    if (!fungi->Active() ||
        (fungi->State() != TDataSetState::dsEdit && fungi->State() != TDataSetState::dsInsert))
        throw Exception(QStringLiteral("Ingen art redigeras"));
    if (!StoredRecords(fungi)) throw Exception(QString::fromUtf8(kReadOnly));
    const QString key = GetUKey(fungi);

    QList<TDetailRows> details(3);
    details[0].Table = m_dm->cdsSwedishNames;
    details[0].Field = QStringLiteral("SwedishName");
    details[0].Lines = description.SwedishNames;
    details[1].Table = m_dm->cdsLatinNames;
    details[1].Field = QStringLiteral("LatinName");
    details[1].Lines = description.LatinNames;
    details[2].Table = m_dm->cdsFungiTexts;
    details[2].Field = QStringLiteral("RowText");
    details[2].Lines = description.TextRows;
    details[2].Flag = 0;
    for (TDetailRows& d : details) {
        TClientDataSet* stored = StoredRecords(d.Table);
        if (!stored) throw Exception(QString::fromUtf8(kReadOnly));
        const int master = FieldIndex(stored, kMasterUKey);
        const int flag = FieldIndex(stored, QStringLiteral("RowFlag"));
        const int ukey = FieldIndex(stored, kUKey);
        for (int row = 0; row < stored->RecordCount(); ++row) {
            if (TextAt(stored, row, master) != key) continue;
            if (d.Flag >= 0 && stored->RecordValue(row, flag).toInt() != d.Flag) continue;
            QVector<QVariant> values;
            for (int field = 0; field < stored->FieldCount(); ++field) values.append(stored->RecordValue(row, field));
            d.OldRows.append(values);
            d.OldKeys.append(TextAt(stored, row, ukey));
        }
    }

    // A detail table whose file already took the new rows gets its old rows back.
    auto putBackRows = [](TDetailRows& d) {
        TBatch undo;
        undo.Touch(d.Table);
        for (const QString& added : d.NewKeys) undo.Remove(d.Table, added);
        TClientDataSet* internal = d.Table->InternalDataSet();
        for (const QVector<QVariant>& values : d.OldRows) {
            internal->Append();
            for (int field = 0; field < values.size() && field < internal->FieldCount(); ++field)
                internal->Fields(field)->SetValue(values[field]);
            internal->Post();
        }
        undo.Commit();
        d.Table->LoadData();
    };
    // What was typed, to edit again should the species' own file refuse it.
    QVector<QVariant> typed;
    for (int field = 0; field < fungi->FieldCount(); ++field) typed.append(fungi->Fields(field)->Value());

    try {
        for (TDetailRows& d : details) {
            // One batch, and so one save, per table.
            TBatch batch;
            auto cancel = qScopeGuard([&] {
                if (d.Table->State() != TDataSetState::dsBrowse) d.Table->Cancel();
            });
            batch.Touch(d.Table);
            for (const QString& old : d.OldKeys) batch.Remove(d.Table, old);
            for (int no = 0; no < d.Lines.size(); ++no) {
                d.Table->Append();
                d.NewKeys.append(GetUKey(d.Table));
                if (d.Flag >= 0) {
                    d.Table->FieldByName(QStringLiteral("RowFlag"))->SetAsInteger(d.Flag);
                    d.Table->FieldByName(QStringLiteral("RowNo"))->SetAsInteger(no);
                }
                d.Table->FieldByName(d.Field)->SetAsString(d.Lines[no]);
                d.Table->Post();
            }
            batch.Commit();
            d.Saved = true;
        }
        fungi->Post();
    } catch (...) {
        for (TDetailRows& d : details) {
            if (!d.Saved) continue;
            try {
                putBackRows(d);
            } catch (...) {
            }
        }
        // A post that reached the table but not its file: the record is read back from the
        // file and edited again with what was typed.
        if (fungi->State() == TDataSetState::dsBrowse) {
            try {
                fungi->CloseInternal();
                fungi->LoadData();
                if (LocateUKey(fungi, key)) {
                    fungi->Edit();
                    for (int field = 0; field < typed.size() && field < fungi->FieldCount(); ++field)
                        fungi->Fields(field)->SetValue(typed[field]);
                }
            } catch (...) {
            }
        }
        throw;
    }
}
