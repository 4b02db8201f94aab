#include "core/unitDMServices.h"
// A species description saved with its synonyms and its free text.

#include <QScopeGuard>
#include <QVector>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"

using namespace dmservices;

namespace {

const char* const kReadOnly = "Tabellen är skrivskyddad och kan inte ändras";

// The rows of one detail table of the species that the description replaces.
struct TDetailRows {
    TExtClientDataSet* Table = nullptr;
    QString Field;  // the field each line goes to
    QStringList Lines;
    int Flag = -1;  // the RowFlag of the rows replaced; -1: every row
    QStringList OldKeys;  // the rows replaced
};

}  // namespace

void TDMServices::SaveFungiDescription(const TFungiDescription& description) {
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    if (!fungi->Active() || (fungi->State() != TDataSetState::dsEdit && fungi->State() != TDataSetState::dsInsert))
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
            d.OldKeys.append(TextAt(stored, row, ukey));
        }
    }

    // What was typed, to edit again should the save fail.
    QVector<QVariant> typed;
    for (int field = 0; field < fungi->FieldCount(); ++field) typed.append(fungi->Fields(field)->Value());

    // The names, the text and the species land in their files together, or none of them
    // does and every table is read back from its file.
    TSaveUnit unit(m_dm);
    try {
        for (TDetailRows& d : details) {
            TBatch batch;
            auto cancel = qScopeGuard([&] {
                if (d.Table->State() != TDataSetState::dsBrowse) d.Table->Cancel();
            });
            batch.Touch(d.Table);
            for (const QString& old : d.OldKeys) batch.Remove(d.Table, old);
            for (int no = 0; no < d.Lines.size(); ++no) {
                d.Table->Append();
                if (d.Flag >= 0) {
                    d.Table->FieldByName(QStringLiteral("RowFlag"))->SetAsInteger(d.Flag);
                    d.Table->FieldByName(QStringLiteral("RowNo"))->SetAsInteger(no);
                }
                d.Table->FieldByName(d.Field)->SetAsString(d.Lines[no]);
                d.Table->Post();
            }
            batch.Commit();
        }
        fungi->Post();
        unit.Commit();
    } catch (...) {
        if (unit.Committed()) throw;
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
            } catch (...) {}
        }
        throw;
    }
}
