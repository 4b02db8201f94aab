#include "core/unitDMServices.h"
// Long texts kept as rows of a detail table.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <memory>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"

using namespace dmservices;

// ---- Text rows ----

void TDMServices::SaveTextRows(const QStringList& lines, TExtClientDataSet* dataSet, int rowWidth, int rowFlag) {
    if (!dataSet) return;
    TField* textField = dataSet->FieldByName(QStringLiteral("RowText"));
    // A row never holds more than its field does.
    int width = rowWidth;
    if (textField->Size() > 0 && (width <= 0 || width > textField->Size())) width = textField->Size();
    if (width <= 0) throw Exception(QStringLiteral("Ogiltig radbredd (%1) för textraderna").arg(rowWidth));
    const bool hasBroken = dataSet->FindField(QStringLiteral("Broken")) != nullptr;

    struct TPiece {
        QString Text;
        bool Broken;
    };
    QList<TPiece> pieces;
    for (QString line : PlainLines(lines)) {
        while (!line.isEmpty()) {
            QString piece = line.left(width);
            line.remove(0, piece.size());
            if (piece.endsWith(QLatin1Char(' '))) piece[piece.size() - 1] = QChar(kBlankMark);
            pieces.append({piece, !line.isEmpty()});
        }
    }

    const bool linked = dataSet->MasterSource() != nullptr;
    const QString parent = ParentKey(dataSet);
    if (linked && parent.isEmpty()) throw Exception(QStringLiteral("Textraderna saknar huvudpost"));

    // The rows that the new text replaces, found among all stored rows of the parent.
    QStringList oldKeys;
    if (TClientDataSet* stored = StoredRecords(dataSet)) {
        const int master = FieldIndex(stored, kMasterUKey);
        const int flag = FieldIndex(stored, QStringLiteral("RowFlag"));
        const int key = FieldIndex(stored, kUKey);
        for (int row = 0; row < stored->RecordCount(); ++row) {
            if (linked && TextAt(stored, row, master) != parent) continue;
            if (stored->RecordValue(row, flag).toInt() != rowFlag) continue;
            oldKeys.append(TextAt(stored, row, key));
        }
    } else {
        throw Exception(QStringLiteral("Tabellen är skrivskyddad och kan inte ändras"));
    }

    if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
    TBatch batch;
    batch.Touch(dataSet);
    QStringList newKeys;
    // Until the old rows are gone, any way out takes the new rows out again; the old ones are
    // then still all there.
    auto takeOut = qScopeGuard([&] {
        try {
            if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
            for (const QString& key : newKeys) batch.Remove(dataSet, key);
            batch.Commit();
        } catch (...) {
            batch.Rollback();
        }
    });
    {
        for (int no = 0; no < pieces.size(); ++no) {
            dataSet->Append();
            newKeys.append(GetUKey(dataSet));
            dataSet->FieldByName(QStringLiteral("RowFlag"))->SetAsInteger(rowFlag);
            dataSet->FieldByName(QStringLiteral("RowNo"))->SetAsInteger(no);
            textField->SetAsString(pieces[no].Text);
            if (hasBroken) dataSet->FieldByName(QStringLiteral("Broken"))->SetAsBoolean(pieces[no].Broken);
            dataSet->Post();
            if (dataSet->State() != TDataSetState::dsBrowse) dataSet->Cancel();
        }
        for (const QString& key : oldKeys) batch.Remove(dataSet, key);
    }
    takeOut.dismiss();
    batch.Commit();
}

void TDMServices::LoadTextRows(TExtClientDataSet* dataSet, QStringList& lines, int rowFlag) {
    lines = LoadTextRows(dataSet, rowFlag);
}

QStringList TDMServices::LoadTextRows(TExtClientDataSet* dataSet, int rowFlag) {
    QStringList lines;
    TClientDataSet* stored = dataSet ? StoredRecords(dataSet) : nullptr;
    if (!stored) return lines;
    const bool linked = dataSet->MasterSource() != nullptr;
    const QString parent = ParentKey(dataSet);
    if (linked && parent.isEmpty()) return lines;

    struct TRow {
        int No;
        QString Text;
        bool Broken;
    };
    QList<TRow> rows;
    const int master = FieldIndex(stored, kMasterUKey);
    const int flag = FieldIndex(stored, QStringLiteral("RowFlag"));
    const int no = FieldIndex(stored, QStringLiteral("RowNo"));
    const int text = FieldIndex(stored, QStringLiteral("RowText"));
    const int broken = FieldIndex(stored, QStringLiteral("Broken"));
    for (int row = 0; row < stored->RecordCount(); ++row) {
        if (linked && TextAt(stored, row, master) != parent) continue;
        if (stored->RecordValue(row, flag).toInt() != rowFlag) continue;
        rows.append({stored->RecordValue(row, no).toInt(), TextAt(stored, row, text),
                     broken >= 0 && stored->RecordValue(row, broken).toBool()});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const TRow& a, const TRow& b) { return a.No < b.No; });

    QString line;
    bool open = false;
    for (TRow& row : rows) {
        if (row.Text.endsWith(QChar(kBlankMark))) row.Text[row.Text.size() - 1] = QLatin1Char(' ');
        line = open ? line + row.Text : row.Text;
        open = row.Broken;
        if (!open) lines.append(line);
    }
    if (open) lines.append(line);  // a last row marked as going on still ends its line
    return lines;
}
