#include <QtTest>
#include "support/TestSupport.h"

#include "ScriptTestSupport.h"
#include "core/ExtClientDataSet.h"
#include "platform/Clock.h"

using namespace scripttest;
using testsupport::ExceptionText;

namespace {

// A species table of the program's table class, bound to a file of the given names (one
// record each, Count its 1-based number, Found a date), with an empty record when asked.
struct SpeciesTable {
    SpeciesTable(const QString& path, const QStringList& names, bool withEmptyRecord = false) {
        TClientDataSet file;
        file.SetFieldDefs({{QStringLiteral("UKey"), TFieldType::ftString, 20},
                           {QStringLiteral("Name"), TFieldType::ftString, 40},
                           {QStringLiteral("Count"), TFieldType::ftInteger, 0},
                           {QStringLiteral("Edible"), TFieldType::ftBoolean, 0},
                           {QStringLiteral("Found"), TFieldType::ftDate, 0},
                           {QStringLiteral("Weight"), TFieldType::ftFloat, 0}});
        file.CreateDataSet();
        for (int i = 0; i < names.size(); ++i) {
            file.Append();
            file.FieldByName("UKey")->SetAsString(QStringLiteral("020AAAAAAAAAAAAAA%1").arg(i));
            file.FieldByName("Name")->SetAsString(names[i]);
            file.FieldByName("Count")->SetAsInteger(i + 1);
            file.FieldByName("Edible")->SetAsBoolean(i % 2 == 0);
            file.FieldByName("Found")->SetAsDate(QDate(2004, 9, 1 + i));
            file.FieldByName("Weight")->SetAsFloat(1.5 * (i + 1));
            file.Post();
        }
        if (withEmptyRecord) {
            file.Append();
            file.FieldByName("UKey")->SetAsString(QStringLiteral("020AAAAAAAAAAAAAAZ"));
            file.Post();
        }
        file.SaveToFile(path);
        table.SetDatasetId(QStringLiteral("020"));
        table.SetFilename(path);
        table.LoadData();
        source.SetDataSet(&table);
    }
    TExtClientDataSet table{nullptr, QStringLiteral("cdsArter")};
    TDataSource source{nullptr, QStringLiteral("dsArter")};
};

// A script in the program's mode, whose handler knows the species table as "dsArter" of "DM".
struct Scripted {
    Scripted(const QString& path, const QTemporaryDir& dir, const QStringList& names, bool withEmptyRecord = false)
        : species(path, names, withEmptyRecord) {
        handler.SetMode(hmApplication);
        handler.DataSources.Register("DM", &species.source);
        script = NewScript(handler, dir);
    }
    SpeciesTable species;
    TQSHandler handler;
    TQSScript* script = nullptr;
};

// A datasource "arter" bound to the data module "DM" and the source given.
TQSDatasource* AddDatasource(TQSScript* script, const char* className = "TQSCDSDatasource",
                             const QString& source = QStringLiteral("DSARTER")) {
    auto* ds =
        Add<TQSDatasource>(script->Root()->Section(3), className, {{"Datamodule", "dm"}, {"Datasource", source}});
    ds->SetName("arter");
    return ds;
}

}  // namespace

class TestQSDatasources : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    int m_file = 0;

private Q_SLOTS:
    void init() {
        Clock::SetFixedNow(QDateTime(QDate(2024, 5, 17), QTime(10, 20)));
        m_path = m_dir.filePath(QStringLiteral("Arter%1.dat").arg(++m_file));
    }
    void cleanup() { Clock::SetFixedNow(std::nullopt); }

    void registryMatchesWithoutCase() {
        TDataSource a(nullptr, "dsArter"), b(nullptr, "dsKontakter"), again(nullptr, "DSARTER");
        TQSDataRegistry registry;
        registry.Register("DM", &a);
        registry.Register("dm", &again);  // the first of a name wins
        registry.Register("DM", &b);
        QCOMPARE(registry.Find("Dm", "dsarter"), &a);
        QCOMPARE(registry.Find("DM", "dsKontakter"), &b);
        QCOMPARE(registry.Find("Other", "dsArter"), nullptr);
        QCOMPARE(registry.Find("DM", "dsPlatser"), nullptr);
        {
            TDataSource gone(nullptr, "dsPlatser");
            registry.Register("DM", &gone);
            QCOMPARE(registry.Find("DM", "dsPlatser"), &gone);
        }
        QCOMPARE(registry.Find("DM", "dsPlatser"), nullptr);
    }

    void readsFields_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("recno") << "arter.recno"
                               << "Integer 2";
        QTest::newRow("recordcount") << "arter.RecordCount"
                                     << "Integer 4";
        QTest::newRow("text") << "arter.field(\"Name\")"
                              << "String \"Karljohan\"";
        QTest::newRow("field name without case") << "arter.field(\"NAME\")"
                                                 << "String \"Karljohan\"";
        QTest::newRow("integer") << "arter.field(\"Count\") * 10"
                                 << "Integer 20";
        QTest::newRow("boolean") << "arter.field(\"Edible\")"
                                 << "Boolean false";
        QTest::newRow("date as day count") << "date(\"ÅÅÅÅ-MM-DD\", arter.field(\"Found\"))"
                                           << "String \"2004-09-02\"";
        QTest::newRow("float") << "arter.field(\"Weight\")"
                               << "Float 3";
        QTest::newRow("bof") << "arter.bof"
                             << "Boolean false";
        QTest::newRow("eof") << "arter.eof"
                             << "Boolean false";
        QTest::newRow("controls") << "arter.controlsdisabled"
                                  << "Boolean false";
        QTest::newRow("locate") << "arter.locate(\"Name\", \"Trattkantarell\") and (arter.recno = 3)"
                                << "Boolean true";
        QTest::newRow("locate a date") << "arter.locate(\"Found\", arter.field(\"Found\") + 2)"
                                       << "Boolean true";
        QTest::newRow("locate nothing") << "arter.locate(\"Name\", \"Flugsvamp\")"
                                        << "Boolean false";
    }
    void readsFields() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        Scripted f(m_path, m_dir, {"Kantarell", "Karljohan", "Trattkantarell", "Fårticka"});
        f.species.table.SetRecNo(2);
        TQSScript* script = f.script;
        AddDatasource(script);
        QCOMPARE(Describe(f.handler.Calc().Evaluate(expression)), expected);
    }

    void emptyFieldsGiveTheirTypesEmptyValue_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << "Name"
                              << "String \"\"";
        QTest::newRow("integer") << "Count"
                                 << "Integer 0";
        QTest::newRow("boolean") << "Edible"
                                 << "Boolean false";
        QTest::newRow("date") << "Found"
                              << "Float 0";
        QTest::newRow("float") << "Weight"
                               << "Float 0";
    }
    void emptyFieldsGiveTheirTypesEmptyValue() {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        Scripted f(m_path, m_dir, {"Kantarell"}, true);
        f.species.table.Last();
        TQSScript* script = f.script;
        AddDatasource(script);
        QCOMPARE(Describe(f.handler.Calc().Evaluate(QStringLiteral("arter.field(\"%1\")").arg(field))), expected);
    }

    void errors_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("message");
        QTest::newRow("not connected") << "dsSaknas"
                                       << "arter.recno"
                                       << "Datasource \"arter\" is not connected";
        QTest::newRow("not connected, field") << "dsSaknas"
                                              << "arter.field(\"Name\")"
                                              << "Datasource \"arter\" is not connected";
        QTest::newRow("no such field") << "dsArter"
                                       << "arter.field(\"Svamp\")"
                                       << "Field 'Svamp' not found";
        QTest::newRow("no such property") << "dsArter"
                                          << "arter.namn"
                                          << "Unknown property \"namn\"";
    }
    void errors() {
        QFETCH(QString, source);
        QFETCH(QString, expression);
        QFETCH(QString, message);
        Scripted f(m_path, m_dir, {"Kantarell"});
        TQSScript* script = f.script;
        TQSDatasource* ds = AddDatasource(script, "TQSDataModuleDatasource", source);
        try {
            f.handler.Calc().Evaluate(expression);
            QFAIL("evaluated");
        } catch (const QSException& e) {
            QCOMPARE(e.Message(), message);
            QCOMPARE(e.Object(), ds);
        }
    }

    void assignments() {
        Scripted f(m_path, m_dir, {"Kantarell", "Karljohan", "Trattkantarell"});
        TQSScript* script = f.script;
        TQSDatasource* ds = AddDatasource(script);
        ds->WriteProperty("recno", qint32(3));
        QCOMPARE(f.species.table.RecNo(), 3);
        QVERIFY(!f.species.table.Eof());
        // Beyond the last record the table stands at its end, before the first at its beginning.
        ds->WriteProperty("recno", qint32(4));
        QCOMPARE(f.species.table.RecNo(), 3);
        QVERIFY(f.species.table.Eof());
        ds->WriteProperty("recno", qint32(0));
        QCOMPARE(f.species.table.RecNo(), 1);
        QVERIFY(f.species.table.Bof());
        ds->WriteProperty("controlsdisabled", true);
        ds->WriteProperty("controlsdisabled", true);
        QVERIFY(f.species.table.ControlsDisabled());
        ds->WriteProperty("controlsdisabled", false);
        QVERIFY(!f.species.table.ControlsDisabled());
        QCOMPARE(ExceptionText([&] { ds->WriteProperty("recno", QStringLiteral("2")); }),
                 QStringLiteral("Type mismatch for property \"recno\""));
        QCOMPARE(ExceptionText([&] { ds->WriteProperty("controlsdisabled", qint32(1)); }),
                 QStringLiteral("Type mismatch for property \"controlsdisabled\""));
        QCOMPARE(ExceptionText([&] { ds->WriteProperty("eof", true); }),
                 QStringLiteral("Property \"eof\" is readonly"));
        QCOMPARE(ExceptionText([&] { ds->WriteProperty("antal", true); }),
                 QStringLiteral("Unknown property \"antal\""));
    }

    // A list over the table: a page that is run on its own reads the records it read in
    // preparation, and the table is back on its record afterwards.
    void listOverTheTable() {
        Scripted f(m_path, m_dir, {"Kantarell", "Karljohan", "Trattkantarell", "Fårticka", "Rödgul trumpetsvamp"});
        f.species.table.SetRecNo(4);
        TQSScript* script = f.script;
        AddFont(script);
        AddDatasource(script);
        AddVariable(script, "i", "0");
        Add(Body(script), "TQSFormula", {{"Expression", "arter.controlsdisabled = true"}});
        Add(Body(script), "TQSFormula", {{"Expression", "arter.recno = 1"}});
        TQSContainer* loop = AddFor(Body(script), "i", "1", "arter.recordcount");
        AddText(loop, "inttostr(arter.recno) + \" \" + arter.field(\"Name\")");
        Add(Add<TQSContainer>(loop, "TQSIf", {{"Expression", "i = 2"}}), "TQSPageBreak");
        Add(loop, "TQSFormula", {{"Expression", "arter.recno = arter.recno + 1"}});
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(f.species.table.RecNo(), 4);
        QVERIFY(!f.species.table.ControlsDisabled());
        QCOMPARE(exec.PageCount(), 2);
        const QStringList second = Texts(RunPage(script, 2));
        QCOMPARE(second, QStringList({"3 Trattkantarell", "4 Fårticka", "5 Rödgul trumpetsvamp"}));
        QCOMPARE(f.species.table.RecNo(), 4);
        QVERIFY(!f.species.table.ControlsDisabled());
        QCOMPARE(Texts(RunPage(script, 1)), QStringList({"1 Kantarell", "2 Karljohan"}));
        QCOMPARE(Texts(RunPage(script, 2)), second);
        script->Reset();
        QCOMPARE(f.species.table.RecNo(), 4);
    }

    void snapshotKeepsTheEnds_data() {
        QTest::addColumn<QString>("move");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("bof");
        QTest::addColumn<bool>("eof");
        QTest::newRow("within") << "arter.recno = 2"
                                << "2|###" << false << false;
        QTest::newRow("at the beginning") << "arter.recno = 0"
                                          << "1|BOF" << true << false;
        QTest::newRow("at the end") << "arter.recno = 4"
                                    << "3|EOF" << false << true;
    }
    void snapshotKeepsTheEnds() {
        QFETCH(QString, move);
        QFETCH(QString, state);
        QFETCH(bool, bof);
        QFETCH(bool, eof);
        Scripted f(m_path, m_dir, {"Kantarell", "Karljohan", "Trattkantarell"});
        TQSScript* script = f.script;
        TQSDatasource* ds = AddDatasource(script);
        Add(Body(script), "TQSFormula", {{"Expression", move}});
        Add(Body(script), "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        const TQSSnapshot& page2 = exec.Snapshots()[1];
        QCOMPARE(page2.States.size(), size_t(1));
        QCOMPARE(ds->StateText(page2.States[0].second), state);
        exec.GotoPage(TQSExecState::Print, 2);
        QCOMPARE(f.species.table.Bof(), bof);
        QCOMPARE(f.species.table.Eof(), eof);
    }

    void endWinsOverBeginning() {
        // One record: stepping past it leaves the table at both its ends.
        Scripted f(m_path, m_dir, {"Kantarell"});
        TQSScript* script = f.script;
        TQSDatasource* ds = AddDatasource(script);
        f.species.table.First();
        ds->MoveTo(2);
        QVERIFY(f.species.table.Bof() && f.species.table.Eof());
        TQSObjectState state;
        QVERIFY(ds->SaveState(state));
        QCOMPARE(ds->StateText(state), QStringLiteral("1|EOF"));
    }

    void unboundDatasource() {
        TQSHandler handler;
        handler.SetMode(hmApplication);
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        TQSDatasource* ds = AddDatasource(script, "TQSDataModuleDatasource");
        ds->SetName("ds");
        AddText(Body(script), "ds.field(\"Name\")");
        QCOMPARE(ds->RecNo(), -1);
        QCOMPARE(ds->RecordCount(), -1);
        QCOMPARE(ExceptionText([&] { script->ExecData().Compile(); }),
                 QStringLiteral("Datasource \"ds\" is not connected"));
        QVERIFY(!script->ExecData().Compiled());
        // A closed table is no connection either.
        SpeciesTable species(m_path, {"Kantarell"});
        handler.DataSources.Register("DM", &species.source);
        species.table.Close();
        QVERIFY(!ds->IsConnected());
    }

    void debugModeReadsTheTestTable() {
        SpeciesTable species(m_path, {"Kantarell", "Karljohan"});
        TQSHandler handler;
        handler.DataSources.Register("DM", &species.source);
        // The script editor's test table: the file named in the script.
        const QString path = m_dir.filePath("test.qsf");
        {
            TQSScript script;
            auto* ds = Add<TQSDatasource>(script.Root()->Section(3), "TQSCDSDatasource", {{"DebugFilename", m_path}});
            ds->SetName("arter");
            auto* other = Add<TQSDatasource>(script.Root()->Section(3), "TQSDataModuleDatasource",
                                             {{"Datamodule", "DM"}, {"Datasource", "dsArter"}});
            other->SetName("modul");
            QSaveFile file(path);
            file.open(QIODevice::WriteOnly);
            script.SaveToStream(file);
            file.commit();
        }
        handler.AddScript(path);
        TQuillCalc& calc = handler.Calc();
        QCOMPARE(calc.EvaluateInteger("arter.recordcount"), 2);
        QCOMPARE(calc.EvaluateInteger("modul.recordcount"), -1);
        QCOMPARE(ExceptionText([&] { calc.Evaluate("modul.field(\"Name\")"); }),
                 QStringLiteral("No valid connection to dataset"));
    }
};

QTEST_GUILESS_MAIN(TestQSDatasources)
#include "tst_qsdatasources.moc"
