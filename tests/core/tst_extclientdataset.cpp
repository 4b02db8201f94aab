#include <QtTest>
#include "support/TestSupport.h"

#include "core/ExtClientDataSet.h"
#include "platform/Clock.h"

namespace {

TFieldDefs Defs() {
    return {{QStringLiteral("UKey"), TFieldType::ftString, 20},
            {QStringLiteral("Name"), TFieldType::ftString, 30},
            {QStringLiteral("Timestamp"), TFieldType::ftString, 20},
            {QStringLiteral("Count"), TFieldType::ftInteger, 0}};
}

// Writes a table file holding records "key=name" (Timestamp "OLD", Count 1).
void WriteTable(const QString& path, const QStringList& records) {
    TClientDataSet table;
    table.SetFieldDefs(Defs());
    table.CreateDataSet();
    for (const QString& record : records) {
        table.Append();
        table.FieldByName("UKey")->SetAsString(record.section(u'=', 0, 0));
        table.FieldByName("Name")->SetAsString(record.section(u'=', 1));
        table.FieldByName("Timestamp")->SetAsString(QStringLiteral("OLD"));
        table.FieldByName("Count")->SetAsInteger(1);
        table.Post();
    }
    table.SaveToFile(path);
}

// The records of a table as "key=name", in order.
QStringList Records(TClientDataSet* table) {
    QStringList out;
    for (table->First(); !table->Eof(); table->Next())
        out << table->FieldByName("UKey")->AsString() + u'=' + table->FieldByName("Name")->AsString();
    return out;
}

// The records that the file holds now, read by a table of its own.
QStringList FileRecords(const QString& path) {
    TClientDataSet table;
    table.SetFileName(path);
    table.Open();
    return Records(&table);
}

QByteArray FileBytes(const QString& path) { return testsupport::ReadBytes(path); }

using testsupport::ExceptionText;

// The visible table gets the same number of visible rows as the file minus those hidden.
std::unique_ptr<TExtClientDataSet> LoadedTable(const QString& path) {
    auto table = std::make_unique<TExtClientDataSet>(nullptr, QStringLiteral("cdsTest"));
    table->SetDatasetId(QStringLiteral("020"));
    table->SetFilename(path);
    table->LoadData();
    return table;
}

}  // namespace

class TestExtClientDataSet : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("Test.dat"));
        Clock::SetFixedNow(QDateTime(QDate(2024, 5, 17), QTime(10, 20, 30, 400)));
    }
    void cleanup() {
        Clock::SetFixedNow(std::nullopt);
        SetUKeyRandomSource({});
        m_dir.reset();
    }

    void defaults() {
        TExtClientDataSet table(nullptr, QStringLiteral("cdsTest"));
        QVERIFY(table.AutoSave());
        QCOMPARE(table.WorkMode(), TCDSWorkMode::wmTimeSave);
        QVERIFY(table.DatasetId().isEmpty());
        QVERIFY(table.Sel().isEmpty());
        QVERIFY(table.LockRelations().isEmpty());
        QVERIFY(!table.NoTimestamp);
        QVERIFY(!table.Loading());
        QVERIFY(table.InternalDataSet() != nullptr);
        table.SetFilename(m_path);
        QCOMPARE(table.Filename(), m_path);
        QCOMPARE(table.InternalDataSet()->FileName(), m_path);
    }

    void loadDataCopiesEveryRecordWithTheFilesFields() {
        WriteTable(m_path, {"K1=Ett", "K2=Två", "K3=Tre"});
        auto table = LoadedTable(m_path);
        QCOMPARE(table->FieldDefs(), Defs());
        QCOMPARE(Records(table.get()), QStringList({"K1=Ett", "K2=Två", "K3=Tre"}));
        table->First();
        QCOMPARE(table->RecNo(), 1);
        QCOMPARE(table->FieldByName("Count")->AsInteger(), 1);
        QCOMPARE(table->InternalDataSet()->RecordCount(), 3);
    }

    // Records the visible table does not show stay in the file when others are posted.
    void hiddenRecordsStayInTheFile() {
        WriteTable(m_path, {"K1=Ett", "K2=Två", "K3=Tre"});
        auto table = std::make_unique<TExtClientDataSet>(nullptr, QStringLiteral("cdsTest"));
        table->SetDatasetId(QStringLiteral("020"));
        table->SetFilename(m_path);
        table->Sel() << QStringLiteral("Str(Name = \"Två\")");
        QCOMPARE(ExceptionText([&] { table->LoadData(); }), testsupport::NoException);
        QCOMPARE(Records(table.get()), QStringList({"K2=Två"}));
        table->Edit();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Två!"));
        table->Post();
        table->Append();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Fyra"));
        table->Post();
        const QString newKey = GetUKey(table.get());
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", "K2=Två!", "K3=Tre", newKey + "=Fyra"}));
    }

    // The same without a selection: records that reached the file after the load.
    void recordsOnlyInTheFileAreKeptOnPost() {
        WriteTable(m_path, {"K1=Ett"});
        auto table = LoadedTable(m_path);
        TClientDataSet* internal = table->InternalDataSet();
        internal->Append();
        internal->FieldByName("UKey")->SetAsString(QStringLiteral("K2"));
        internal->FieldByName("Name")->SetAsString(QStringLiteral("Bara i filen"));
        internal->Post();
        table->First();
        table->Edit();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Ett!"));
        table->Post();
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett!", "K2=Bara i filen"}));
        QCOMPARE(table->RecordCount(), 1);
    }

    // A detail row posted for another master leaves the view; what it holds still reaches
    // the file whole, and no other row is touched.
    void detailRowOfAnotherMasterIsWrittenWhole_data() {
        QTest::addColumn<bool>("insert");
        QTest::newRow("inserted") << true;
        QTest::newRow("edited") << false;
    }
    void detailRowOfAnotherMasterIsWrittenWhole() {
        QFETCH(bool, insert);
        const TFieldDefs defs{{QStringLiteral("UKey"), TFieldType::ftString, 20},
                              {QStringLiteral("MasterUKey"), TFieldType::ftString, 20},
                              {QStringLiteral("Name"), TFieldType::ftString, 30}};
        {
            TClientDataSet file;
            file.SetFieldDefs(defs);
            file.CreateDataSet();
            file.AppendRecords({{"D1", "M1", "Ett"}, {"D2", "M1", "Två"}});
            file.SaveToFile(m_path);
        }
        TClientDataSet master;
        master.SetFieldDefs({{QStringLiteral("UKey"), TFieldType::ftString, 20}});
        master.CreateDataSet();
        master.AppendRecords({{"M1"}, {"M2"}});
        TDataSource masterSource;
        masterSource.SetDataSet(&master);
        master.First();

        TExtClientDataSet detail(nullptr, QStringLiteral("cdsTest"));
        detail.SetDatasetId(QStringLiteral("020"));
        detail.SetFilename(m_path);
        detail.SetMasterSource(&masterSource);
        detail.LoadData();
        QCOMPARE(detail.RecordCount(), 2);

        QString key = QStringLiteral("D1");
        if (insert) {
            detail.Append();
            key = GetUKey(&detail);
        } else {
            QVERIFY(LocateUKey(&detail, key));
            detail.Edit();
        }
        detail.FieldByName("MasterUKey")->SetAsString(QStringLiteral("M2"));
        detail.FieldByName("Name")->SetAsString(QStringLiteral("Flyttad"));
        detail.Post();
        QCOMPARE(Records(&detail), insert ? QStringList({"D1=Ett", "D2=Två"}) : QStringList({"D2=Två"}));

        TClientDataSet saved;
        saved.SetFileName(m_path);
        saved.Open();
        QStringList rows;
        for (saved.First(); !saved.Eof(); saved.Next())
            rows << saved.FieldByName("UKey")->AsString() + u'=' + saved.FieldByName("MasterUKey")->AsString() + u'/' +
                    saved.FieldByName("Name")->AsString();
        const QStringList expected = insert ? QStringList({"D1=M1/Ett", "D2=M1/Två", key + "=M2/Flyttad"})
                                            : QStringList({"D1=M2/Flyttad", "D2=M1/Två"});
        QCOMPARE(rows, expected);
    }

    void postingTwiceEditsOneInternalRecord() {
        WriteTable(m_path, {"K1=Ett"});
        auto table = LoadedTable(m_path);
        table->Append();
        const QString key = GetUKey(table.get());
        QCOMPARE(key.left(14), QStringLiteral("020") + MakeTimeCode(11));
        table->FieldByName("Name")->SetAsString(QStringLiteral("Ny"));
        table->Post();
        QCOMPARE(table->FieldByName("Timestamp")->AsString(), MakeTimeCode(15));
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", key + "=Ny"}));

        Clock::SetFixedNow(QDateTime(QDate(2024, 5, 18), QTime(8, 0)));
        QVERIFY(LocateUKey(table.get(), key));
        table->Edit();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Ändrad"));
        table->Post();
        QCOMPARE(table->InternalDataSet()->RecordCount(), 2);
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", key + "=Ändrad"}));
        QCOMPARE(GetUKey(table.get()), key);
        QCOMPARE(table->FieldByName("Timestamp")->AsString(), MakeTimeCode(15));

        // With NoTimestamp the stamp stays as it was.
        const QString stamp = table->FieldByName("Timestamp")->AsString();
        Clock::SetFixedNow(QDateTime(QDate(2024, 5, 19), QTime(8, 0)));
        table->NoTimestamp = true;
        table->Edit();
        table->FieldByName("Count")->SetAsInteger(7);
        table->Post();
        QCOMPARE(table->FieldByName("Timestamp")->AsString(), stamp);
        QVERIFY(table->InternalDataSet()->Locate("UKey", key));
        QCOMPARE(table->InternalDataSet()->FieldByName("Timestamp")->AsString(), stamp);
        QCOMPARE(table->InternalDataSet()->FieldByName("Count")->AsInteger(), 7);
    }

    // A key put in by the caller names the record of the file that has it.
    void insertWithAKeyOfTheFileWritesToThatRecord() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        auto table = LoadedTable(m_path);
        table->Append();
        table->FieldByName("UKey")->SetAsString(QStringLiteral("K2"));
        table->FieldByName("Name")->SetAsString(QStringLiteral("Importerad"));
        table->Post();
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", "K2=Importerad"}));
    }

    // A drawn key that another record got meanwhile must not overwrite that record.
    void insertedRecordNeverOverwritesAnother() {
        WriteTable(m_path, {"K1=Ett"});
        auto table = LoadedTable(m_path);
        table->Append();
        const QString key = GetUKey(table.get());
        TClientDataSet* internal = table->InternalDataSet();
        internal->Append();
        internal->FieldByName("UKey")->SetAsString(key);
        internal->FieldByName("Name")->SetAsString(QStringLiteral("Annan"));
        internal->Post();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Min"));
        table->Post();
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", key + "=Annan", key + "=Min"}));
    }

    void newKeyIsDrawnAgainWhileTheTableHoldsIt() {
        WriteTable(m_path, {});
        auto table = LoadedTable(m_path);
        const QString prefix = QStringLiteral("020") + MakeTimeCode(11);
        // A record only the file holds (hidden from the visible table) counts too.
        TClientDataSet* internal = table->InternalDataSet();
        internal->Append();
        internal->FieldByName("UKey")->SetAsString(prefix + LettersFromNumber(4, 5));
        internal->Post();

        QList<quint32> draws{5, 5, 7};
        SetUKeyRandomSource([&] { return draws.isEmpty() ? 9u : draws.takeFirst(); });
        table->Append();
        QCOMPARE(GetUKey(table.get()), prefix + LettersFromNumber(4, 7));
        table->Post();
        QCOMPARE(table->InternalDataSet()->RecordCount(), 2);

        // A source that keeps giving taken values still ends, on the next free value.
        SetUKeyRandomSource([] { return 7u; });
        table->Append();
        QCOMPARE(GetUKey(table.get()), prefix + LettersFromNumber(4, 8));
        table->Cancel();
    }

    void autoSaveOffCollectsChangesUntilSwitchedOn() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        auto table = LoadedTable(m_path);
        table->SetAutoSave(false);
        table->Append();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Tre"));
        table->Post();
        const QString newKey = GetUKey(table.get());
        QVERIFY(LocateUKey(table.get(), QStringLiteral("K1")));
        table->Edit();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Ett!"));
        table->Post();
        QVERIFY(LocateUKey(table.get(), QStringLiteral("K2")));
        table->Delete();
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", "K2=Två"}));

        // Reloading and switching to closing the internal table keep the collected changes.
        table->LoadData();
        table->SetWorkMode(TCDSWorkMode::wmMemSave);
        QCOMPARE(Records(table.get()), QStringList({"K1=Ett!", newKey + "=Tre"}));
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", "K2=Två"}));

        table->SetAutoSave(true);
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett!", newKey + "=Tre"}));
    }

    // A failed save raises; the changes stay in memory and the next save writes them.
    void failedSaveKeepsChangesForTheNextSave() {
        WriteTable(m_path, {"K1=Ett"});
        auto table = LoadedTable(m_path);
        const QString away = m_dir->filePath(QStringLiteral("Away.dat"));
        QVERIFY(QFile::rename(m_path, away));
        table->Edit();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Ett!"));
        const QString text = ExceptionText([&] { table->Post(); });
        QVERIFY2(text.contains(QStringLiteral("Test.dat")), qPrintable(text));
        QVERIFY(!QFile::exists(m_path));
        QVERIFY(table->InternalDataSet()->HasUnsavedChanges());
        QCOMPARE(Records(table.get()), QStringList({"K1=Ett!"}));
        // Closing the internal table now would drop the change: switching the mode keeps it.
        table->SetWorkMode(TCDSWorkMode::wmMemSave);
        QVERIFY(table->InternalDataSet()->Active());

        QVERIFY(QFile::rename(away, m_path));
        table->Append();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Två"));
        table->Post();
        const QString key = GetUKey(table.get());
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett!", key + "=Två"}));
        QVERIFY(!table->InternalDataSet()->Active());
    }

    void loadDataIsQuiet() {
        WriteTable(m_path, {"K1=Ett", "K2=Två", "K3=Tre"});
        const QByteArray before = FileBytes(m_path);
        TExtClientDataSet table(nullptr, QStringLiteral("cdsTest"));
        table.SetDatasetId(QStringLiteral("020"));
        table.SetFilename(m_path);
        int events = 0;
        QStringList looked;
        auto count = [&](TClientDataSet*) { ++events; };
        table.BeforeInsert = table.AfterInsert = table.BeforePost = table.AfterPost = table.AfterScroll = count;
        table.AfterICDSScroll = [&](TExtClientDataSet* sender) {
            QVERIFY(sender->Loading());
            looked << sender->InternalDataSet()->FieldByName("UKey")->AsString();
        };
        for (bool noTimestamp : {false, true}) {
            looked.clear();
            events = 0;
            table.NoTimestamp = noTimestamp;
            table.LoadData();
            QCOMPARE(table.NoTimestamp, noTimestamp);
            QCOMPARE(events, 0);
            QCOMPARE(looked, QStringList({"K1", "K2", "K3"}));
            for (table.First(); !table.Eof(); table.Next())
                QCOMPARE(table.FieldByName("Timestamp")->AsString(), QStringLiteral("OLD"));
            QCOMPARE(Records(&table), QStringList({"K1=Ett", "K2=Två", "K3=Tre"}));
        }
        QVERIFY(!table.Loading());
        QVERIFY(!table.ControlsDisabled());
        QCOMPARE(FileBytes(m_path), before);
        QVERIFY(!table.InternalDataSet()->HasUnsavedChanges());
        // Outside the load the events run again.
        table.NoTimestamp = false;
        events = 0;
        table.Edit();
        table.Post();
        QCOMPARE(events, 2);
    }

    // A faulty selection ends the load; the table is usable again afterwards.
    void failingSelectionEndsTheLoadCleanly() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        TExtClientDataSet table(nullptr, QStringLiteral("cdsTest"));
        table.SetFilename(m_path);
        table.SetWorkMode(TCDSWorkMode::wmMemSave);
        table.Sel() << QStringLiteral("Str(Saknas = \"x\")");
        QVERIFY(ExceptionText([&] { table.LoadData(); }) != testsupport::NoException);
        QVERIFY(!table.Loading());
        QVERIFY(!table.ControlsDisabled());
        QVERIFY(!table.InternalDataSet()->Active());
        table.Sel().clear();
        table.LoadData();
        QCOMPARE(table.RecordCount(), 2);

        // A failure on a later record leaves the records looked at before it.
        WriteTable(m_path, {"K1=Ett", "K2=Två", "K3=Tre"});
        table.AfterICDSScroll = [](TExtClientDataSet* sender) {
            if (sender->InternalDataSet()->FieldByName("UKey")->AsString() == QStringLiteral("K2"))
                throw Exception(QStringLiteral("Avbruten"));
        };
        QCOMPARE(ExceptionText([&] { table.LoadData(); }), QStringLiteral("Avbruten"));
        QCOMPARE(Records(&table), QStringList({"K1=Ett", "K2=Två"}));
        QVERIFY(!table.Loading());
    }

    void deleteWritesThroughAfterTheCascade() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        auto table = LoadedTable(m_path);
        bool recordWasInFile = false;
        table->BeforeDelete = [&](TClientDataSet* sender) {
            auto* ext = static_cast<TExtClientDataSet*>(sender);
            recordWasInFile = ext->InternalDataSet()->FindRecordIndex("UKey", GetUKey(sender)) >= 0;
        };
        QVERIFY(LocateUKey(table.get(), QStringLiteral("K1")));
        table->Delete();
        QVERIFY(recordWasInFile);
        QCOMPARE(Records(table.get()), QStringList({"K2=Två"}));
        QCOMPARE(FileRecords(m_path), QStringList({"K2=Två"}));
    }

    void failingCascadeKeepsTheRecord() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        auto table = LoadedTable(m_path);
        table->BeforeDelete = [](TClientDataSet*) { throw Exception(QStringLiteral("Kaskaden misslyckades")); };
        QVERIFY(LocateUKey(table.get(), QStringLiteral("K1")));
        QCOMPARE(ExceptionText([&] { table->Delete(); }), QStringLiteral("Kaskaden misslyckades"));
        QCOMPARE(Records(table.get()), QStringList({"K1=Ett", "K2=Två"}));
        QCOMPARE(Records(table->InternalDataSet()), QStringList({"K1=Ett", "K2=Två"}));
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", "K2=Två"}));
        QVERIFY(!table->InternalDataSet()->HasUnsavedChanges());
    }

    void deleteOfARecordMissingFromTheFileFails() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        auto table = LoadedTable(m_path);
        bool cascadeRan = false;
        table->BeforeDelete = [&](TClientDataSet*) { cascadeRan = true; };
        TClientDataSet* internal = table->InternalDataSet();
        QVERIFY(internal->Locate("UKey", QStringLiteral("K2")));
        internal->Delete();
        QVERIFY(LocateUKey(table.get(), QStringLiteral("K2")));
        QCOMPARE(ExceptionText([&] { table->Delete(); }), QStringLiteral("UKey not found in DoBeforeDelete"));
        QVERIFY(!cascadeRan);
        QCOMPARE(Records(table.get()), QStringList({"K1=Ett", "K2=Två"}));
    }

    void failureTexts_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("text");
        QTest::newRow("load without a file name") << 0 << "Dataset has no filename";
        QTest::newRow("post without a file name") << 1 << "Dataset has no filename";
        QTest::newRow("copy with the internal table closed")
            << 2 << "Error in CopyRecord. Internal dataset is not active";
        QTest::newRow("copy with the visible table closed") << 3 << "Error in CopyRecord. Dataset is not active";
        QTest::newRow("insert before 2000") << 4 << "Check the date of your Operating System. Year < 2000";
        QTest::newRow("post before 2000") << 5 << "Check the date of your Operating System. Year < 2000";
    }
    void failureTexts() {
        QFETCH(int, which);
        QFETCH(QString, text);
        WriteTable(m_path, {"K1=Ett"});
        TExtClientDataSet table(nullptr, QStringLiteral("cdsTest"));
        table.SetDatasetId(QStringLiteral("020"));
        const QDateTime before2000(QDate(1999, 12, 31), QTime(23, 59, 59, 999));
        std::function<void()> action;
        switch (which) {
            case 0:
                action = [&] { table.LoadData(); };
                break;
            case 1:
                table.SetFieldDefs(Defs());
                table.CreateDataSet();
                table.Append();
                action = [&] { table.Post(); };
                break;
            case 2:
                action = [&] { table.CopyRecord(); };
                break;
            case 3:
                table.SetFilename(m_path);
                table.OpenInternal();
                action = [&] { table.CopyRecord(); };
                break;
            case 4:
                table.SetFilename(m_path);
                table.LoadData();
                Clock::SetFixedNow(before2000);
                action = [&] { table.Append(); };
                break;
            case 5:
                table.SetFilename(m_path);
                table.LoadData();
                Clock::SetFixedNow(before2000);
                table.Edit();
                table.FieldByName("Name")->SetAsString(QStringLiteral("Ändrad"));
                action = [&] { table.Post(); };
                break;
        }
        QCOMPARE(ExceptionText(action), text);
        if (which == 4) {
            // No record without a key is left behind.
            QCOMPARE(table.State(), TDataSetState::dsBrowse);
            QCOMPARE(table.RecordCount(), 1);
        }
        if (which >= 4) QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett"}));
    }

    // A file that cannot be read stops the post before the visible table takes it.
    void unreadableFileStopsThePost() {
        WriteTable(m_path, {"K1=Ett"});
        auto table = LoadedTable(m_path);
        table->SetWorkMode(TCDSWorkMode::wmMemSave);
        QVERIFY(!table->InternalDataSet()->Active());
        {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        }
        table->Edit();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Ändrad"));
        const QString text = ExceptionText([&] { table->Post(); });
        QVERIFY2(text.contains(m_path) || text.contains(QStringLiteral("Test.dat")), qPrintable(text));
        QCOMPARE(table->State(), TDataSetState::dsEdit);
        QCOMPARE(FileBytes(m_path), QByteArray(4096, 'x'));
        table->Cancel();
    }

    // Loading again shows what the file holds now, whoever changed it in between: the same
    // records, or the same failure, as a table that reads the file for the first time.
    void loadDataShowsTheFileAsItIsNow_data() {
        QTest::addColumn<QString>("change");
        for (const char* change :
             {"nothing", "own post", "own delete", "other table posts", "other table deletes", "other table appends",
              "rewritten whole", "older copy put back", "removed", "damaged", "selection changed"})
            QTest::newRow(change) << QString::fromLatin1(change);
    }
    void loadDataShowsTheFileAsItIsNow() {
        QFETCH(QString, change);
        WriteTable(m_path, {"K1=Ett", "K2=Två", "K3=Tre"});
        const QString copy = m_dir->filePath(QStringLiteral("Copy.dat"));
        QVERIFY(QFile::copy(m_path, copy));
        auto table = LoadedTable(m_path);
        table->Sel() << QStringLiteral("Str(Name <> \"Tre\")");
        table->LoadData();
        QCOMPARE(Records(table.get()), QStringList({"K1=Ett", "K2=Två"}));
        auto other = LoadedTable(m_path);
        auto edit = [](TClientDataSet* t, const char* key, const char* name) {
            QVERIFY(LocateUKey(t, QLatin1String(key)));
            t->Edit();
            t->FieldByName("Name")->SetAsString(QString::fromUtf8(name));
            t->Post();
        };
        if (change == "own post") edit(table.get(), "K1", "Ett!");
        if (change == "own delete") {
            QVERIFY(LocateUKey(table.get(), QStringLiteral("K2")));
            table->Delete();
        }
        if (change == "other table posts") edit(other.get(), "K2", "Två!");
        if (change == "other table deletes") {
            QVERIFY(LocateUKey(other.get(), QStringLiteral("K1")));
            other->Delete();
        }
        if (change == "other table appends") {
            other->Append();
            other->FieldByName("Name")->SetAsString(QStringLiteral("Fyra"));
            other->Post();
        }
        if (change == "rewritten whole") WriteTable(m_path, {"K7=Sju", "K1=Ett igen"});
        if (change == "older copy put back") {
            edit(table.get(), "K1", "Ett!");
            QVERIFY(QFile::remove(m_path));
            QVERIFY(QFile::copy(copy, m_path));
        }
        if (change == "removed") QVERIFY(QFile::remove(m_path));
        if (change == "damaged") {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        }
        if (change == "selection changed") table->Sel() = QStringList{QStringLiteral("Str(Name <> \"Ett\")")};

        const QString error = ExceptionText([&] { table->LoadData(); });
        auto fresh = std::make_unique<TExtClientDataSet>(nullptr, QStringLiteral("cdsTest"));
        fresh->SetFilename(m_path);
        fresh->SetSel(table->Sel());
        QCOMPARE(error, ExceptionText([&] { fresh->LoadData(); }));
        if (error != testsupport::NoException) return;
        QCOMPARE(Records(table.get()), Records(fresh.get()));
        QCOMPARE(Records(table->InternalDataSet()), Records(fresh->InternalDataSet()));
        // Posting after the load writes into the file as it is now.
        table->First();
        table->Edit();
        table->FieldByName("Count")->SetAsInteger(9);
        table->Post();
        QCOMPARE(FileRecords(m_path), Records(fresh->InternalDataSet()));
    }

    void memSaveClosesTheInternalTableAfterUse() {
        WriteTable(m_path, {"K1=Ett"});
        auto table = LoadedTable(m_path);
        QVERIFY(table->InternalDataSet()->Active());
        table->SetWorkMode(TCDSWorkMode::wmMemSave);
        QVERIFY(!table->InternalDataSet()->Active());
        table->LoadData();
        QVERIFY(!table->InternalDataSet()->Active());
        table->Append();
        table->FieldByName("Name")->SetAsString(QStringLiteral("Två"));
        table->Post();
        QVERIFY(!table->InternalDataSet()->Active());
        const QString key = GetUKey(table.get());
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", key + "=Två"}));
        table->Delete();
        QVERIFY(!table->InternalDataSet()->Active());
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett"}));
    }

    void dataFileName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("species") << "cdsFungi"
                                 << "Fungi.dat";
        QTest::newRow("users") << "cdsCurrentUser"
                               << "CurrentUser.dat";
        QTest::newRow("too short") << "cds"
                                   << "";
        QTest::newRow("path in name") << "cds../Fungi"
                                      << "";
        QTest::newRow("folder in name") << "cdsDb/Fungi"
                                        << "";
    }
    void dataFileName() {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QObject component;
        component.setObjectName(name);
        if (file.isEmpty())
            QCOMPARE(ExceptionText([&] { TExtClientDataSet::GetDataFileName(&component); }),
                     QStringLiteral("Ogiltigt tabellnamn \"%1\"").arg(name));
        else
            QCOMPARE(TExtClientDataSet::GetDataFileName(&component), file);
    }

    void copyRecordTo() {
        WriteTable(m_path, {"K1=Ett", "K2=Två"});
        auto dest = LoadedTable(m_path);
        TClientDataSet source;
        source.SetFieldDefs(Defs());
        source.CreateDataSet();
        auto add = [&](const QString& key, const QString& name) {
            source.Append();
            source.FieldByName("UKey")->SetAsString(key);
            source.FieldByName("Name")->SetAsString(name);
            source.FieldByName("Count")->SetAsInteger(42);
            source.Post();
        };
        add(QStringLiteral("K2"), QStringLiteral("Två!"));
        TExtClientDataSet::CopyRecordTo(&source, dest.get(), false);  // has the key: edited
        add(QStringLiteral("K3"), QStringLiteral("Tre"));
        TExtClientDataSet::CopyRecordTo(&source, dest.get(), false);  // has not: appended
        QCOMPARE(Records(dest.get()), QStringList({"K1=Ett", "K2=Två!", "K3=Tre"}));
        QCOMPARE(FileRecords(m_path), QStringList({"K1=Ett", "K2=Två!", "K3=Tre"}));
        QVERIFY(LocateUKey(dest.get(), QStringLiteral("K3")));
        QCOMPARE(dest->FieldByName("Count")->AsInteger(), 42);
        QVERIFY(!dest->ControlsDisabled());

        // As new into a plain table: appended with the source's values.
        TClientDataSet copy;
        copy.SetFieldDefs(Defs());
        copy.CreateDataSet();
        TExtClientDataSet::CopyRecordTo(&source, &copy, true);
        TExtClientDataSet::CopyRecordTo(&source, &copy, true);
        QCOMPARE(Records(&copy), QStringList({"K3=Tre", "K3=Tre"}));
    }
};

QTEST_GUILESS_MAIN(TestExtClientDataSet)
#include "tst_extclientdataset.moc"
