#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

#include "platform/ClientDataSet.h"
#include "platform/DataSetScopes.h"
#include "platform/DataSetModel.h"
#include "platform/RecordValues.h"

using testsupport::ExceptionText;
using testsupport::NoException;

namespace {

TFieldDefs TestDefs() {
    return {
        {QStringLiteral("UKey"), TFieldType::ftString, 20},   {QStringLiteral("MasterUKey"), TFieldType::ftString, 20},
        {QStringLiteral("Name"), TFieldType::ftString, 10},   {QStringLiteral("Num"), TFieldType::ftInteger, 0},
        {QStringLiteral("Flag"), TFieldType::ftBoolean, 0},   {QStringLiteral("Day"), TFieldType::ftDate, 0},
        {QStringLiteral("Stamp"), TFieldType::ftDateTime, 0}, {QStringLiteral("Amount"), TFieldType::ftFloat, 0}};
}

void AddRow(TClientDataSet& ds, const QString& key, const QString& name, int num, const QString& master = QString()) {
    ds.Append();
    ds.FieldByName(QStringLiteral("UKey"))->SetAsString(key);
    if (!master.isEmpty()) ds.FieldByName(QStringLiteral("MasterUKey"))->SetAsString(master);
    ds.FieldByName(QStringLiteral("Name"))->SetAsString(name);
    ds.FieldByName(QStringLiteral("Num"))->SetAsInteger(num);
    ds.Post();
}

// The values of one field in view order, walking the cursor.
QStringList Column(TClientDataSet& ds, const QString& field) {
    QStringList out;
    for (ds.First(); !ds.Eof(); ds.Next()) out << ds.FieldByName(field)->AsString();
    return out;
}

// Records every hook in the order the dataset runs it.
class LoggingDataSet : public TClientDataSet {
public:
    QStringList log;
    QString failIn;  // a hook that raises

protected:
    void Hook(const char* name) {
        log << QLatin1String(name);
        if (failIn == QLatin1String(name)) throw Exception(QStringLiteral("refused"));
    }
    void DoBeforeInsert() override { Hook("BeforeInsert"); }
    void DoAfterInsert() override { Hook("AfterInsert"); }
    void DoBeforeEdit() override { Hook("BeforeEdit"); }
    void DoBeforePost() override {
        Hook("BeforePost");
        TClientDataSet::DoBeforePost();
    }
    void DoAfterPost() override { Hook("AfterPost"); }
    void DoAfterCancel() override { Hook("AfterCancel"); }
    void DoBeforeDelete() override { Hook("BeforeDelete"); }
    void DoAfterDelete() override { Hook("AfterDelete"); }
    void DoAfterScroll() override { Hook("AfterScroll"); }
    void DoAfterOpen() override { Hook("AfterOpen"); }
    void DoBeforeClose() override { Hook("BeforeClose"); }
};

// Counts what a bound control is told.
class CountingLink : public TDataLink {
public:
    int record = 0, fieldChanges = 0, active = 0, dataSet = 0, editing = 0, updateData = 0;
    std::function<void()> onUpdateData;
    void RecordChanged(TField* field) override {
        ++record;
        if (field) ++fieldChanges;
    }
    void ActiveChanged() override { ++active; }
    void DataSetChanged() override { ++dataSet; }
    void EditingChanged() override { ++editing; }
    void UpdateData() override {
        ++updateData;
        if (onUpdateData) onUpdateData();
    }
    int Total() const { return record + active + dataSet + editing + updateData; }
};

}  // namespace

class TestClientDataSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsByPositionAndNameWithoutCase() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        QVERIFY(ds.FindField(QStringLiteral("UKey")) == nullptr);  // closed: no fields yet
        ds.CreateDataSet();
        QCOMPARE(ds.FieldCount(), 8);
        QCOMPARE(ds.Fields(2)->FieldName(), QStringLiteral("Name"));
        QCOMPARE(ds.Fields(2)->Size(), 10);
        QCOMPARE(ds.Fields(3)->DataType(), TFieldType::ftInteger);
        QCOMPARE(ds.FieldByName(QStringLiteral("masterukey")), ds.Fields(1));
        QCOMPARE(ds.FindField(QStringLiteral("NAME")), ds.Fields(2));
        QVERIFY(ds.FindField(QStringLiteral("Missing")) == nullptr);
        QCOMPARE(ExceptionText([&] { ds.FieldByName(QStringLiteral("Missing")); }),
                 QStringLiteral("Field 'Missing' not found"));
        QVERIFY(ExceptionText([&] { ds.Fields(8); }) != NoException);
        QVERIFY(ds.FieldDefs() == TestDefs());
    }

    void typedValuesAndTextForms_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("string cut to width") << "Name" << QVariant(QStringLiteral("Kantarellerna")) << "Kantarelle"
                                             << "";
        QTest::newRow("string from integer") << "Name" << QVariant(42) << "42"
                                             << "";
        QTest::newRow("empty string is empty") << "Name" << QVariant(QString()) << ""
                                               << "";
        QTest::newRow("integer from text") << "Num" << QVariant(QStringLiteral(" -17 ")) << "-17"
                                           << "";
        QTest::newRow("integer from float rounds half to even") << "Num" << QVariant(2.5) << "2"
                                                                << "";
        QTest::newRow("integer refuses text") << "Num" << QVariant(QStringLiteral("abc")) << ""
                                              << "'abc' is not a valid integer value";
        QTest::newRow("integer refuses overflow") << "Num" << QVariant(QStringLiteral("3000000000")) << ""
                                                  << "'3000000000' is not a valid integer value";
        QTest::newRow("float shortest exact text") << "Amount" << QVariant(0.1) << "0.1"
                                                   << "";
        QTest::newRow("float from text with comma") << "Amount" << QVariant(QStringLiteral("2,5")) << "2.5"
                                                    << "";
        QTest::newRow("float refuses text") << "Amount" << QVariant(QStringLiteral("x1")) << ""
                                            << "'x1' is not a valid floating point value";
        QTest::newRow("boolean from text") << "Flag" << QVariant(QStringLiteral("true")) << "True"
                                           << "";
        QTest::newRow("boolean false") << "Flag" << QVariant(false) << "False"
                                       << "";
        QTest::newRow("boolean refuses text") << "Flag" << QVariant(QStringLiteral("kanske")) << ""
                                              << "'kanske' is not a valid boolean value";
        QTest::newRow("date from text") << "Day" << QVariant(QStringLiteral("2021-09-05")) << "2021-09-05"
                                        << "";
        QTest::newRow("date refuses month 13") << "Day" << QVariant(QStringLiteral("2021-13-05")) << ""
                                               << "'2021-13-05' is not a valid date";
        QTest::newRow("date-time from text")
            << "Stamp" << QVariant(QStringLiteral("2021-09-05 14:30:00")) << "2021-09-05 14:30:00"
            << "";
        QTest::newRow("date-time from date") << "Stamp" << QVariant(QDate(2021, 9, 5)) << "2021-09-05 00:00:00"
                                             << "";
    }
    void typedValuesAndTextForms() {
        QFETCH(QString, field);
        QFETCH(QVariant, input);
        QFETCH(QString, text);
        QFETCH(QString, error);
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        ds.Append();
        TField* f = ds.FieldByName(field);
        const QString before = f->AsString();
        const QString raised = ExceptionText([&] { f->SetValue(input); });
        QCOMPARE(raised, error.isEmpty() ? NoException : error);
        QCOMPARE(f->AsString(), error.isEmpty() ? text : before);
        if (error.isEmpty()) {
            ds.Post();
            QCOMPARE(ds.FieldByName(field)->AsString(), text);
        }
    }

    void typedReadsOfStoredValues() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        ds.Append();
        TField* num = ds.FieldByName(QStringLiteral("Num"));
        TField* name = ds.FieldByName(QStringLiteral("Name"));
        QVERIFY(num->IsNull());
        QCOMPARE(num->AsInteger(), 0);
        QCOMPARE(ds.FieldByName(QStringLiteral("Flag"))->AsBoolean(), false);
        QCOMPARE(ds.FieldByName(QStringLiteral("Amount"))->AsFloat(), 0.0);
        QVERIFY(!ds.FieldByName(QStringLiteral("Day"))->AsDate().isValid());
        num->SetAsInteger(12);
        QCOMPARE(num->Value(), QVariant(12));
        QCOMPARE(num->AsFloat(), 12.0);
        QCOMPARE(num->AsString(), QStringLiteral("12"));
        name->SetAsString(QStringLiteral("34"));
        QCOMPARE(name->AsInteger(), 34);
        name->SetAsString(QStringLiteral("Sopp"));
        QCOMPARE(ExceptionText([&] { name->AsInteger(); }), QStringLiteral("'Sopp' is not a valid integer value"));
        num->Clear();
        QVERIFY(num->IsNull());
        const QDateTime when(QDate(2020, 2, 29), QTime(23, 59, 58, 123));
        ds.FieldByName(QStringLiteral("Stamp"))->SetAsDateTime(when);
        QCOMPARE(ds.FieldByName(QStringLiteral("Stamp"))->AsDateTime(), when);
        QCOMPARE(ds.FieldByName(QStringLiteral("Stamp"))->AsDate(), QDate(2020, 2, 29));
    }

    void settingValuesOutsideEditingRaises() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        AddRow(ds, QStringLiteral("A"), QStringLiteral("a"), 1);
        QCOMPARE(ExceptionText([&] { ds.FieldByName(QStringLiteral("Num"))->SetAsInteger(2); }),
                 QStringLiteral("Dataset not in edit or insert mode"));
        QCOMPARE(ExceptionText([&] { ds.Post(); }), QStringLiteral("Dataset not in edit or insert mode"));
        QCOMPARE(ds.FieldByName(QStringLiteral("Num"))->AsInteger(), 1);
        ds.SetReadOnly(true);
        // The user may meet this one (a table whose file could not be read): it is Swedish.
        const QString readOnly = QStringLiteral("Tabellen är skrivskyddad och kan inte ändras");
        QCOMPARE(ExceptionText([&] { ds.Edit(); }), readOnly);
        QCOMPARE(ExceptionText([&] { ds.Append(); }), readOnly);
        QCOMPARE(ExceptionText([&] { ds.Delete(); }), readOnly);
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        QCOMPARE(ds.RecordCount(), 1);
    }

    void hooksRunInOrder() {
        LoggingDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        QCOMPARE(ds.log, QStringList({"AfterOpen", "AfterScroll"}));
        QStringList events;
        ds.BeforePost = [&](TClientDataSet* sender) {
            QCOMPARE(sender, &ds);
            events << QStringLiteral("event BeforePost");
        };
        ds.log.clear();
        ds.Append();
        QCOMPARE(ds.State(), TDataSetState::dsInsert);
        ds.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("A"));
        ds.Post();
        QCOMPARE(ds.log, QStringList({"BeforeInsert", "AfterInsert", "BeforePost", "AfterPost"}));
        QCOMPARE(events, QStringList({"event BeforePost"}));
        ds.log.clear();
        ds.Edit();
        QCOMPARE(ds.State(), TDataSetState::dsEdit);
        ds.Cancel();
        ds.Delete();
        QCOMPARE(ds.log, QStringList({"BeforeEdit", "AfterCancel", "BeforeDelete", "AfterDelete", "AfterScroll"}));
        ds.log.clear();
        ds.Close();
        QCOMPARE(ds.log, QStringList({"BeforeClose"}));
        QCOMPARE(ds.State(), TDataSetState::dsInactive);
    }

    void observersRunBeforeTheEventAndOutliveIt() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        QStringList seen;
        auto context = std::make_unique<QObject>();
        ds.AddObserver(TDataSetEvent::BeforePost, context.get(), [&](TClientDataSet* sender) {
            QCOMPARE(sender, &ds);
            seen << QStringLiteral("observer");
        });
        ds.BeforePost = [&](TClientDataSet*) { seen << QStringLiteral("first owner"); };
        ds.BeforePost = [&](TClientDataSet*) { seen << QStringLiteral("owner"); };
        ds.Append();
        ds.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("A"));
        ds.Post();
        QCOMPARE(seen, QStringList({"observer", "owner"}));

        // A failing observer stops the post like a failing event.
        QObject failing;
        ds.AddObserver(TDataSetEvent::BeforePost, &failing,
                       [](TClientDataSet*) { throw Exception(QStringLiteral("Stopp")); });
        ds.Edit();
        QVERIFY_THROWS_EXCEPTION(Exception, ds.Post());
        QCOMPARE(ds.State(), TDataSetState::dsEdit);
        ds.RemoveObservers(&failing);
        seen.clear();
        ds.Post();
        QCOMPARE(seen, QStringList({"observer", "owner"}));

        // An observer ends with its context.
        context.reset();
        seen.clear();
        ds.Edit();
        ds.Post();
        QCOMPARE(seen, QStringList({"owner"}));
    }

    void editScopeCancelsUnlessPosted() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        {
            TEditScope insert(&ds, TEditScope::Append);
            ds.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("A"));
            insert.Post();
        }
        QCOMPARE(ds.RecordCount(), 1);
        QVERIFY_THROWS_EXCEPTION(Exception, [&] {
            TEditScope edit(&ds);
            ds.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("B"));
            throw Exception(QStringLiteral("Avbrutet"));
        }());
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("A"));
        {
            TEditScope edit(&ds);
            edit.Keep();
        }
        QCOMPARE(ds.State(), TDataSetState::dsEdit);
        ds.Cancel();
        {
            const TDisabledControls outer(&ds);
            { const TDisabledControls inner(&ds); }
            QVERIFY(ds.ControlsDisabled());
        }
        QVERIFY(!ds.ControlsDisabled());
    }

    void failingBeforeHookLeavesStateAndRecord_data() {
        QTest::addColumn<QString>("hook");
        QTest::newRow("before insert") << "BeforeInsert";
        QTest::newRow("before edit") << "BeforeEdit";
        QTest::newRow("before post") << "BeforePost";
        QTest::newRow("before delete") << "BeforeDelete";
    }
    void failingBeforeHookLeavesStateAndRecord() {
        QFETCH(QString, hook);
        LoggingDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        AddRow(ds, QStringLiteral("A"), QStringLiteral("first"), 1);
        ds.failIn = hook;
        TDataSetState expected = TDataSetState::dsBrowse;
        QString raised;
        if (hook == QLatin1String("BeforeInsert")) {
            raised = ExceptionText([&] { ds.Append(); });
        } else if (hook == QLatin1String("BeforeEdit")) {
            raised = ExceptionText([&] { ds.Edit(); });
        } else if (hook == QLatin1String("BeforePost")) {
            ds.Edit();
            ds.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("changed"));
            raised = ExceptionText([&] { ds.Post(); });
            expected = TDataSetState::dsEdit;
            QCOMPARE(ds.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("changed"));
            ds.failIn.clear();
            ds.Cancel();
        } else {
            raised = ExceptionText([&] { ds.Delete(); });
        }
        QCOMPARE(raised, QStringLiteral("refused"));
        if (hook != QLatin1String("BeforePost")) QCOMPARE(ds.State(), expected);
        QCOMPARE(ds.RecordCount(), 1);
        QCOMPARE(ds.RecordValue(0, 2), QVariant(QStringLiteral("first")));
    }

    void movingWhileEditingPostsOrCancels() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        AddRow(ds, QStringLiteral("A"), QStringLiteral("a"), 1);
        AddRow(ds, QStringLiteral("B"), QStringLiteral("b"), 2);
        ds.First();
        ds.Edit();
        ds.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("changed"));
        ds.Next();
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        QCOMPARE(ds.RecordValue(0, 2), QVariant(QStringLiteral("changed")));
        // An append left unmodified disappears on a move.
        ds.Append();
        ds.First();
        QCOMPARE(ds.RecordCount(), 2);
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        // Edit on an empty table appends.
        TClientDataSet empty;
        empty.SetFieldDefs(TestDefs());
        empty.CreateDataSet();
        empty.Edit();
        QCOMPARE(empty.State(), TDataSetState::dsInsert);
    }

    void cursorWalksAndEndFlags() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        QVERIFY(ds.IsEmpty());
        QVERIFY(ds.Eof() && ds.Bof());
        QCOMPARE(ds.RecNo(), 0);
        for (int i = 1; i <= 3; ++i) AddRow(ds, QStringLiteral("K%1").arg(i), QStringLiteral("n%1").arg(i), i);
        QCOMPARE(Column(ds, QStringLiteral("Num")), QStringList({"1", "2", "3"}));
        QVERIFY(ds.Eof());
        QCOMPARE(ds.RecNo(), 3);
        ds.Prior();
        QCOMPARE(ds.RecNo(), 2);
        ds.SetRecNo(1);
        QVERIFY(!ds.Eof());
        ds.Prior();
        QVERIFY(ds.Bof());
        ds.Last();
        QCOMPARE(ds.FieldByName(QStringLiteral("Num"))->AsInteger(), 3);
        ds.Delete();
        QCOMPARE(ds.RecordCount(), 2);
        QCOMPARE(ds.FieldByName(QStringLiteral("Num"))->AsInteger(), 2);
    }

    void locateFindsExactValue() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        for (int i = 0; i < 50; ++i) AddRow(ds, QStringLiteral("K%1").arg(i), QStringLiteral("n%1").arg(i % 5), i);
        ds.SetIndexFieldNames(QStringLiteral("Num"));
        ds.AddIndex(QStringLiteral("desc"), QStringLiteral("Num"), QStringLiteral("Num"));
        ds.SetIndexName(QStringLiteral("desc"));
        QVERIFY(ds.Locate(QStringLiteral("UKey"), QStringLiteral("K10")));
        QCOMPARE(ds.FieldByName(QStringLiteral("Num"))->AsInteger(), 10);
        QCOMPARE(ds.RecNo(), 40);
        QCOMPARE(ds.FindRecordIndex(QStringLiteral("ukey"), QStringLiteral("K49")), 0);
        // Exact match only: case and prefix do not count; the cursor stays.
        QVERIFY(!ds.Locate(QStringLiteral("UKey"), QStringLiteral("k10")));
        QVERIFY(!ds.Locate(QStringLiteral("UKey"), QStringLiteral("K")));
        QVERIFY(!ds.Locate(QStringLiteral("UKey"), QStringLiteral("K999")));
        QVERIFY(ds.Locate(QStringLiteral("UKey"), QStringLiteral("K10")));
        QCOMPARE(ds.RecNo(), 40);
        // A non-key field: the first match in view order.
        QVERIFY(ds.Locate(QStringLiteral("Name"), QStringLiteral("n3")));
        QCOMPARE(ds.FieldByName(QStringLiteral("Num"))->AsInteger(), 48);
        QVERIFY(ds.Locate(QStringLiteral("Num"), 7));
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("K7"));
        QVERIFY(!ds.Locate(QStringLiteral("Num"), QStringLiteral("seven")));
        // The key index follows edits and deletes.
        ds.Edit();
        ds.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("NEW"));
        ds.Post();
        QCOMPARE(ds.FindRecordIndex(QStringLiteral("UKey"), QStringLiteral("K7")), -1);
        QVERIFY(ds.Locate(QStringLiteral("UKey"), QStringLiteral("NEW")));
        ds.Delete();
        QCOMPARE(ds.FindRecordIndex(QStringLiteral("UKey"), QStringLiteral("NEW")), -1);
        QCOMPARE(ExceptionText([&] { static_cast<void>(ds.Locate(QStringLiteral("Nope"), 1)); }),
                 QStringLiteral("Field 'Nope' not found"));
    }

    // Keys with any characters are found through the key index and the master link, whether
    // their record keeps its texts one byte or two a character, before and after a reload.
    void keysOfAnyTextAreFound_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("ASCII") << QStringLiteral("K1") << QStringLiteral("plain");
        QTest::newRow("Swedish") << QStringLiteral("Ålsvamp") << QStringLiteral("ätlig");
        QTest::newRow("Swedish key, wide name") << QStringLiteral("Ört") << QStringLiteral("5 €");
        QTest::newRow("wide key") << QStringLiteral("Łuk€") << QStringLiteral("x");
        QTest::newRow("surrogates") << QStringLiteral("🍄 1") << QString();
    }
    void keysOfAnyTextAreFound() {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("keys.dat"));
        TClientDataSet master;
        master.SetFieldDefs(TestDefs());
        master.CreateDataSet();
        AddRow(master, QStringLiteral("other"), QStringLiteral("o"), 0);
        AddRow(master, key, name, 1);
        TDataSource source;
        source.SetDataSet(&master);
        TClientDataSet detail;
        detail.SetFieldDefs(TestDefs());
        detail.CreateDataSet();
        AddRow(detail, QStringLiteral("D1"), name, 1, key);
        AddRow(detail, QStringLiteral("D2"), QStringLiteral("n"), 2, QStringLiteral("other"));
        AddRow(detail, QStringLiteral("D3"), QStringLiteral("n"), 3, key);
        detail.SetMasterSource(&source);
        detail.SetMasterFields(QStringLiteral("UKey"));
        for (int pass = 0; pass < 2; ++pass) {
            QVERIFY(master.Locate(QStringLiteral("UKey"), key));
            QCOMPARE(master.FieldByName(QStringLiteral("Num"))->AsInteger(), 1);
            QCOMPARE(master.FieldByName(QStringLiteral("Name"))->AsString(), name);
            QCOMPARE(master.FindRecordIndex(QStringLiteral("Name"), name.isEmpty() ? QVariant() : QVariant(name)), 1);
            QVERIFY(!master.Locate(QStringLiteral("UKey"), key + QLatin1Char('x')));
            QCOMPARE(Column(detail, QStringLiteral("UKey")), QStringList({"D1", "D3"}));
            QCOMPARE(detail.FieldByName(QStringLiteral("MasterUKey"))->AsString(), key);
            master.SaveToFile(file);
            master.LoadFromFile(file);
        }
    }

    void indexesAndFieldListsOrderTheView() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.AddIndex(QStringLiteral("main"), QStringLiteral("MasterUKey;Day"), QStringLiteral("Day"));
        ds.AddIndex(QStringLiteral("name"), QStringLiteral("Name;Num"));
        ds.SetIndexName(QStringLiteral("main"));  // before opening: applied on open
        ds.CreateDataSet();
        const struct {
            const char* key;
            const char* master;
            const char* name;
            int num;
            QDate day;
        } rows[] = {{"1", "M2", "Öl", 1, QDate(2020, 5, 1)},
                    {"2", "M1", "ask", 2, QDate(2021, 5, 1)},
                    {"3", "M1", "Ägg", 3, QDate(2019, 5, 1)},
                    {"4", "M2", "Zebra", 4, QDate(2022, 5, 1)},
                    {"5", "M1", "Ål", 5, QDate()},
                    {"6", "M2", "ask", 0, QDate(2020, 5, 1)}};
        for (const auto& r : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("UKey"))->SetAsString(QLatin1String(r.key));
            ds.FieldByName(QStringLiteral("MasterUKey"))->SetAsString(QLatin1String(r.master));
            ds.FieldByName(QStringLiteral("Name"))->SetAsString(QString::fromUtf8(r.name));
            ds.FieldByName(QStringLiteral("Num"))->SetAsInteger(r.num);
            ds.FieldByName(QStringLiteral("Day"))->SetAsDate(r.day);
            ds.Post();
        }
        // Descending date within master; an empty date sorts as the lowest value.
        QCOMPARE(Column(ds, QStringLiteral("UKey")), QStringList({"2", "3", "5", "4", "1", "6"}));
        // Swedish alphabetical order: case ignored, Å Ä Ö after Z; ties by the next field.
        ds.SetIndexName(QStringLiteral("name"));
        QCOMPARE(Column(ds, QStringLiteral("UKey")), QStringList({"6", "2", "4", "5", "3", "1"}));
        ds.SetIndexFieldNames(QStringLiteral("Num"));
        QCOMPARE(ds.IndexName(), QString());
        QCOMPARE(Column(ds, QStringLiteral("UKey")), QStringList({"6", "1", "2", "3", "4", "5"}));
        // A post moves the record to its place and the cursor follows it.
        ds.First();
        ds.Edit();
        ds.FieldByName(QStringLiteral("Num"))->SetAsInteger(10);
        ds.Post();
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("6"));
        QCOMPARE(ds.RecNo(), 6);
        ds.SetIndexFieldNames(QString());
        QCOMPARE(Column(ds, QStringLiteral("UKey")), QStringList({"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(ExceptionText([&] { ds.SetIndexName(QStringLiteral("nope")); }),
                 QStringLiteral("Index 'nope' not found"));
        QCOMPARE(ExceptionText([&] { ds.SetIndexFieldNames(QStringLiteral("Nope")); }),
                 QStringLiteral("Field 'Nope' not found"));
        QCOMPARE(Column(ds, QStringLiteral("UKey")), QStringList({"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(ds.IndexNames(), QStringList({"main", "name"}));
    }

    void masterDetailIsAViewOverAllRecords() {
        TClientDataSet master;
        master.SetFieldDefs(TestDefs());
        master.CreateDataSet();
        AddRow(master, QStringLiteral("M1"), QStringLiteral("one"), 1);
        AddRow(master, QStringLiteral("M2"), QStringLiteral("two"), 2);
        AddRow(master, QStringLiteral("M3"), QStringLiteral("three"), 3);
        TDataSource masterSource;
        masterSource.SetDataSet(&master);

        TClientDataSet detail;
        detail.SetFieldDefs(TestDefs());
        detail.SetIndexFieldNames(QStringLiteral("MasterUKey;Num"));
        detail.CreateDataSet();
        AddRow(detail, QStringLiteral("D1"), QStringLiteral("x"), 3, QStringLiteral("M1"));
        AddRow(detail, QStringLiteral("D2"), QStringLiteral("x"), 1, QStringLiteral("M2"));
        AddRow(detail, QStringLiteral("D3"), QStringLiteral("x"), 2, QStringLiteral("M1"));
        int scrolls = 0;
        detail.AfterScroll = [&](TClientDataSet*) { ++scrolls; };
        detail.SetMasterSource(&masterSource);
        detail.SetMasterFields(QStringLiteral("UKey"));
        master.First();
        QCOMPARE(Column(detail, QStringLiteral("UKey")), QStringList({"D3", "D1"}));
        scrolls = 0;
        master.Next();
        QVERIFY(scrolls > 0);
        QCOMPARE(detail.RecordCount(), 1);
        QCOMPARE(detail.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("D2"));
        master.Next();
        QVERIFY(detail.IsEmpty());
        // Append takes the master's key and the record joins this master's view.
        detail.Append();
        QCOMPARE(detail.FieldByName(QStringLiteral("MasterUKey"))->AsString(), QStringLiteral("M3"));
        detail.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("D4"));
        detail.Post();
        QCOMPARE(detail.RecordCount(), 1);
        // A pending detail edit is posted before the view follows the master.
        detail.Edit();
        detail.FieldByName(QStringLiteral("Num"))->SetAsInteger(9);
        master.First();
        QCOMPARE(detail.RecordCount(), 2);
        QVERIFY(detail.Locate(QStringLiteral("UKey"), QStringLiteral("D3")));
        QVERIFY(!detail.Locate(QStringLiteral("UKey"), QStringLiteral("D4")));  // hidden by the view
        // A changed master key moves the view.
        master.Edit();
        master.FieldByName(QStringLiteral("UKey"))->SetAsString(QStringLiteral("M2"));
        QCOMPARE(Column(detail, QStringLiteral("UKey")), QStringList({"D2"}));
        master.Cancel();
        QCOMPARE(detail.RecordCount(), 2);
        // Detached: every record, none lost.
        detail.SetMasterSource(nullptr);
        QCOMPARE(detail.RecordCount(), 4);
        QVERIFY(detail.Locate(QStringLiteral("UKey"), QStringLiteral("D4")));
        QCOMPARE(detail.FieldByName(QStringLiteral("Num"))->AsInteger(), 9);
        // A master source set while the detail is closed applies on opening, and one that
        // goes away leaves the detail safe.
        auto* shortSource = new TDataSource;
        shortSource->SetDataSet(&master);
        TClientDataSet lookup;
        lookup.SetMasterSource(shortSource);
        lookup.CloneCursor(&detail);
        QCOMPARE(Column(lookup, QStringLiteral("UKey")), QStringList({"D1", "D3"}));
        delete shortSource;
        QVERIFY(lookup.MasterSource() == nullptr);
        QCOMPARE(lookup.RecordCount(), 4);
        master.Next();
        QCOMPARE(lookup.RecordCount(), 4);
    }

    void clonedCursorSharesRecords() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.SetIndexFieldNames(QStringLiteral("Num"));
        ds.CreateDataSet();
        for (int i = 1; i <= 3; ++i) AddRow(ds, QStringLiteral("K%1").arg(i), QStringLiteral("n"), 10 - i);
        ds.First();
        TClientDataSet clone;
        clone.CloneCursor(&ds);
        QCOMPARE(clone.RecordCount(), 3);
        QVERIFY(clone.Locate(QStringLiteral("UKey"), QStringLiteral("K1")));
        clone.Edit();
        clone.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("via clone"));
        clone.Post();
        // The main cursor stays on its record and sees the change.
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("K3"));
        QVERIFY(ds.Locate(QStringLiteral("UKey"), QStringLiteral("K1")));
        QCOMPARE(ds.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("via clone"));
        AddRow(clone, QStringLiteral("K4"), QStringLiteral("new"), 0);
        QCOMPARE(ds.RecordCount(), 4);
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("K1"));
        ds.First();
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("K4"));
        QVERIFY(clone.Locate(QStringLiteral("UKey"), QStringLiteral("K2")));
        clone.Delete();
        QCOMPARE(ds.RecordCount(), 3);
        QCOMPARE(ds.FindRecordIndex(QStringLiteral("UKey"), QStringLiteral("K2")), -1);
        ds.Close();
        QCOMPARE(clone.RecordCount(), 3);  // the records live on with the clone
    }

    // Records added in bulk, as reading a file adds them: converted to their fields, past the
    // events, into the view's order with the cursor kept, and counted as new for the next save.
    void appendedRecordsGoPastTheEvents() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.dat"));
        LoggingDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.SetIndexFieldNames(QStringLiteral("Num"));
        ds.CreateDataSet();
        AddRow(ds, QStringLiteral("K1"), QStringLiteral("mitten"), 5);
        ds.SaveToFile(file);
        TClientDataSet clone;
        clone.CloneCursor(&ds);
        TDataSource source;
        source.SetDataSet(&clone);
        CountingLink link;
        link.SetDataSource(&source);
        link.active = 0;
        ds.log.clear();

        ds.AppendRecords({{QStringLiteral("K2"), QVariant(), QStringLiteral("en lång text"), QStringLiteral("9"), true,
                           QDate(2024, 5, 17)},
                          {QStringLiteral("K3"), QVariant(), QStringLiteral("först"), 1}});
        QVERIFY2(ds.log.isEmpty(), qPrintable(ds.log.join(',')));
        QCOMPARE(ds.FieldByName(QStringLiteral("UKey"))->AsString(), QStringLiteral("K1"));
        QCOMPARE(link.Total(), 1);
        QCOMPARE(link.dataSet, 1);
        QCOMPARE(clone.RecordCount(), 3);
        QCOMPARE(Column(ds, QStringLiteral("UKey")), QStringList({"K3", "K1", "K2"}));
        QVERIFY(ds.Locate(QStringLiteral("UKey"), QStringLiteral("K2")));
        QCOMPARE(ds.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("en lång te"));
        QCOMPARE(ds.FieldByName(QStringLiteral("Num"))->Value(), QVariant(9));
        QCOMPARE(ds.FieldByName(QStringLiteral("Day"))->AsDate(), QDate(2024, 5, 17));
        QVERIFY(ds.FieldByName(QStringLiteral("Stamp"))->IsNull());

        // A value that does not convert leaves the table as it was.
        const QString refused = ExceptionText([&] {
            ds.AppendRecords(
                {{QStringLiteral("K4")}, {QStringLiteral("K5"), QVariant(), QString(), QStringLiteral("många")}});
        });
        QVERIFY2(refused.contains(QStringLiteral("många")), qPrintable(refused));
        QCOMPARE(ds.RecordCount(), 3);

        QVERIFY(ds.HasUnsavedChanges());
        ds.SaveToFile();
        TClientDataSet back;
        back.LoadFromFile(file);
        QCOMPARE(back.RecordCount(), 3);
        QVERIFY(back.Locate(QStringLiteral("UKey"), QStringLiteral("K3")));
        QCOMPARE(back.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("först"));
    }

    // Records added as built stored values: the same records as AppendRecords makes of the
    // same rows, found by key, saved as new; values for another field list are refused whole.
    void appendedRecordValuesMatchAppendedRows() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.dat"));
        TClientDataSet byRows, byValues;
        for (TClientDataSet* ds : {&byRows, &byValues}) {
            ds->SetFieldDefs(TestDefs());
            ds->SetIndexFieldNames(QStringLiteral("Name"));
            ds->CreateDataSet();
        }
        byValues.SaveToFile(file);
        byRows.AppendRecords({{QStringLiteral("K1"), QVariant(), QStringLiteral("en lång text"), 7},
                              {QStringLiteral("K2"), QStringLiteral("M"), QStringLiteral("Älg")}});
        std::vector<TRecordValues> values;
        TRecordValues::Builder b;
        b.Start(int(TestDefs().size()));
        b.SetText(0, QStringLiteral("K1"));
        b.SetText(2, QStringLiteral("en lång text"), 10);
        b.SetNumber(3, 7);
        values.push_back(b.Finish());
        b.Start(int(TestDefs().size()));
        b.SetText(0, QStringLiteral("K2"));
        b.SetText(1, QStringLiteral("M"));
        b.SetText(2, QStringLiteral("Älg"), 10);
        values.push_back(b.Finish());
        byValues.AppendRecordValues(std::move(values));
        for (const char* field : {"UKey", "MasterUKey", "Name", "Num", "Flag"})
            QCOMPARE(Column(byValues, QString::fromLatin1(field)), Column(byRows, QString::fromLatin1(field)));
        QCOMPARE(byValues.FindRecordIndex(QStringLiteral("UKey"), QStringLiteral("K2")), 1);

        std::vector<TRecordValues> wrong;
        b.Start(2);
        b.SetText(0, QStringLiteral("K3"));
        wrong.push_back(b.Finish());
        QVERIFY(ExceptionText([&] { byValues.AppendRecordValues(std::move(wrong)); }) != NoException);
        QCOMPARE(byValues.RecordCount(), 2);

        byValues.SaveToFile();
        TClientDataSet back;
        back.LoadFromFile(file);
        QCOMPARE(back.RecordCount(), 2);
        QVERIFY(back.Locate(QStringLiteral("UKey"), QStringLiteral("K1")));
        QCOMPARE(back.FieldByName(QStringLiteral("Name"))->AsString(), QStringLiteral("en lång te"));
    }

    // Whether the records in memory are still exactly those of the bound file.
    void matchesBoundFileFollowsEverySave() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.dat"));
        TClientDataSet ds;
        QVERIFY(!ds.MatchesBoundFile());  // closed
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        AddRow(ds, QStringLiteral("K1"), QStringLiteral("ett"), 1);
        QVERIFY(!ds.MatchesBoundFile());  // bound to no file yet
        ds.SaveToFile(file);
        ds.SetFileName(file);
        QVERIFY(ds.MatchesBoundFile());
        AddRow(ds, QStringLiteral("K2"), QStringLiteral("två"), 2);
        QVERIFY(!ds.MatchesBoundFile());  // unsaved
        ds.SaveToFile();
        QVERIFY(ds.MatchesBoundFile());

        TClientDataSet other;
        other.LoadFromFile(file);
        QVERIFY(other.MatchesBoundFile());
        QVERIFY(other.Locate(QStringLiteral("UKey"), QStringLiteral("K1")));
        other.Edit();
        other.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("ändrad"));
        other.Post();
        QVERIFY(ds.MatchesBoundFile());  // not saved yet
        other.SaveToFile();
        QVERIFY(!ds.MatchesBoundFile());
        QVERIFY(other.MatchesBoundFile());

        // A full copy under the name, another name, a file that is gone.
        other.SaveToFile(dir.filePath(QStringLiteral("u.dat")));
        QVERIFY(other.MatchesBoundFile());
        ds.Close();
        ds.LoadFromFile(file);
        QVERIFY(ds.MatchesBoundFile());
        ds.SetFileName(dir.filePath(QStringLiteral("u.dat")));
        QVERIFY(!ds.MatchesBoundFile());
        ds.SetFileName(file);
        QVERIFY(QFile::remove(file));
        QVERIFY(!ds.MatchesBoundFile());
        QVERIFY(!other.MatchesBoundFile());
    }

    // Files read ahead on threads of their own give each table what reading its file gives:
    // the same records, the file bound, its generation; a damaged or missing file raises at
    // the load, with the reading's own words, and leaves the table as it was. A read is
    // taken once.
    void readAheadOnThreadsLoadsAsTheFileDoes() {
        QTemporaryDir dir;
        QStringList files;
        for (int t = 0; t < 6; ++t) {
            TClientDataSet source;
            source.SetFieldDefs(TestDefs());
            source.CreateDataSet();
            for (int i = 0; i < 200 * (t + 1); ++i)
                AddRow(source, QStringLiteral("K%1-%2").arg(t).arg(i), QStringLiteral("rad å%1").arg(i), i);
            files << dir.filePath(QStringLiteral("t%1.dat").arg(t));
            source.SaveToFile(files.last());
        }
        const QString damaged = dir.filePath(QStringLiteral("skadad.dat"));
        QVERIFY(testsupport::WriteBytes(damaged, QByteArray("SQLite format 3") + QByteArray(4000, 'x')));
        const QString missing = dir.filePath(QStringLiteral("saknas.dat"));
        files << damaged << missing;

        std::vector<std::unique_ptr<TTableFileRead>> reads(size_t(files.size()));
        std::vector<std::thread> threads;
        for (qsizetype i = 0; i < files.size(); ++i)
            threads.emplace_back([&, i] { reads[size_t(i)] = std::make_unique<TTableFileRead>(files.at(i)); });
        for (std::thread& t : threads) t.join();

        for (int t = 0; t < 6; ++t) {
            TClientDataSet ahead, direct;
            ahead.LoadFromRead(*reads[size_t(t)]);
            direct.LoadFromFile(files.at(t));
            QCOMPARE(ahead.FieldDefs(), direct.FieldDefs());
            QCOMPARE(ahead.RecordCount(), 200 * (t + 1));
            QCOMPARE(ahead.RecordCount(), direct.RecordCount());
            for (int row = 0; row < direct.RecordCount(); row += 37)
                for (int f = 0; f < direct.FieldCount(); ++f)
                    QCOMPARE(ahead.RecordValue(row, f), direct.RecordValue(row, f));
            ahead.SetFileName(files.at(t));
            QVERIFY(ahead.MatchesBoundFile());
            QVERIFY(ahead.Locate(QStringLiteral("UKey"), QStringLiteral("K%1-7").arg(t)));
            QVERIFY(!ExceptionText([&] { ahead.LoadFromRead(*reads[size_t(t)]); }).isEmpty());
            QCOMPARE(ahead.RecordCount(), 200 * (t + 1));  // the refused second take left it so
        }
        for (const QString& file : {damaged, missing}) {
            const qsizetype i = files.indexOf(file);
            TClientDataSet ahead, direct;
            ahead.SetFieldDefs(TestDefs());
            ahead.CreateDataSet();
            AddRow(ahead, QStringLiteral("K"), QStringLiteral("kvar"), 1);
            const QString fromRead = ExceptionText([&] { ahead.LoadFromRead(*reads[size_t(i)]); });
            const QString fromFile = ExceptionText([&] { direct.LoadFromFile(file); });
            QVERIFY(!fromRead.isEmpty());
            QCOMPARE(fromRead, fromFile);
            QVERIFY(ahead.Active());
            QCOMPARE(ahead.RecordCount(), 1);
        }
    }

    // Records taken from another table share its values until either side changes them.
    void sharedRecordsPartOnChange() {
        TClientDataSet source;
        source.SetFieldDefs(TestDefs());
        source.CreateDataSet();
        for (int i = 1; i <= 3; ++i) AddRow(source, QStringLiteral("K%1").arg(i), QStringLiteral("n%1").arg(i), i);
        TClientDataSet shown;
        shown.SetFieldDefs(TestDefs());
        shown.SetIndexFieldNames(QStringLiteral("Num"));
        shown.CreateDataSet();
        shown.AppendSharedRecords(source, {2, 0});
        QCOMPARE(Column(shown, QStringLiteral("UKey")), QStringList({"K1", "K3"}));
        QCOMPARE(shown.FindRecordIndex(QStringLiteral("UKey"), QStringLiteral("K3")), 1);

        QVERIFY(shown.Locate(QStringLiteral("UKey"), QStringLiteral("K1")));
        shown.Edit();
        shown.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("visad"));
        shown.Post();
        QVERIFY(source.Locate(QStringLiteral("UKey"), QStringLiteral("K3")));
        source.Edit();
        source.FieldByName(QStringLiteral("Num"))->SetAsInteger(0);
        source.Post();
        QCOMPARE(Column(shown, QStringLiteral("Name")), QStringList({"visad", "n3"}));
        QCOMPARE(Column(shown, QStringLiteral("Num")), QStringList({"1", "3"}));
        QCOMPARE(Column(source, QStringLiteral("Name")), QStringList({"n1", "n2", "n3"}));

        TClientDataSet other;
        other.SetFieldDefs({{QStringLiteral("UKey"), TFieldType::ftString, 20}});
        other.CreateDataSet();
        QVERIFY(ExceptionText([&] { other.AppendSharedRecords(source, {0}); }) != NoException);
        QVERIFY(ExceptionText([&] { shown.AppendSharedRecords(source, {3}); }) != NoException);
        QCOMPARE(shown.RecordCount(), 2);
        QCOMPARE(other.RecordCount(), 0);
    }

    void nestedDisableControls() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        TDataSource source;
        source.SetDataSet(&ds);
        CountingLink link;
        link.SetDataSource(&source);
        QCOMPARE(link.active, 1);  // bound to an open table
        link.active = 0;
        ds.DisableControls();
        ds.DisableControls();
        AddRow(ds, QStringLiteral("A"), QStringLiteral("a"), 1);
        ds.First();
        ds.EnableControls();
        QVERIFY(ds.ControlsDisabled());
        QCOMPARE(link.Total(), 0);
        ds.EnableControls();
        QVERIFY(!ds.ControlsDisabled());
        QCOMPARE(link.dataSet, 1);
        QCOMPARE(link.Total(), 1);
        ds.EnableControls();  // unbalanced: ignored
        QCOMPARE(link.Total(), 1);
    }

    void dataLinksAreTold() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        TDataSource source;
        source.SetDataSet(&ds);
        CountingLink link;
        link.SetDataSource(&source);
        int dataChanges = 0, stateChanges = 0;
        TField* lastField = nullptr;
        source.OnDataChange = [&](TDataSource* s, TField* f) {
            QCOMPARE(s, &source);
            ++dataChanges;
            lastField = f;
        };
        source.OnStateChange = [&](TDataSource*) { ++stateChanges; };
        ds.CreateDataSet();
        QCOMPARE(link.active, 1);
        QVERIFY(link.Active());
        QCOMPARE(link.DataSet(), &ds);
        AddRow(ds, QStringLiteral("A"), QStringLiteral("a"), 1);
        AddRow(ds, QStringLiteral("B"), QStringLiteral("b"), 2);
        link.record = link.fieldChanges = link.editing = link.updateData = 0;
        ds.First();
        QCOMPARE(link.record, 1);
        QCOMPARE(link.fieldChanges, 0);
        // A bound control writes its value when the table asks before a post.
        link.onUpdateData = [&] { ds.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("typed")); };
        QVERIFY(link.Edit());
        QCOMPARE(source.State(), TDataSetState::dsEdit);
        QCOMPARE(link.editing, 1);
        ds.FieldByName(QStringLiteral("Num"))->SetAsInteger(5);
        QCOMPARE(link.fieldChanges, 1);
        QCOMPARE(lastField, ds.FieldByName(QStringLiteral("Num")));
        ds.Post();
        link.onUpdateData = nullptr;
        QCOMPARE(link.updateData, 1);
        QCOMPARE(link.editing, 2);
        QCOMPARE(ds.RecordValue(0, 2), QVariant(QStringLiteral("typed")));
        QVERIFY(dataChanges > 0 && stateChanges > 0);
        // Without AutoEdit a control cannot start editing.
        source.SetAutoEdit(false);
        QVERIFY(!link.Edit());
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        ds.Close();
        QCOMPARE(link.active, 2);
        QVERIFY(!link.Active());
        // A link outliving its source, and a source outliving its dataset, are safe.
        auto* shortSource = new TDataSource;
        CountingLink other;
        other.SetDataSource(shortSource);
        delete shortSource;
        QVERIFY(other.DataSource() == nullptr);
        auto* shortSet = new TClientDataSet;
        source.SetDataSet(shortSet);
        delete shortSet;
        QVERIFY(source.DataSet() == nullptr);
    }

    void gridModelShowsTheView() {
        TClientDataSet ds;
        ds.SetFieldDefs(TestDefs());
        ds.CreateDataSet();
        TDataSource source;
        source.SetDataSet(&ds);
        DataSetModel model;
        model.SetDataSource(&source);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 8);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        AddRow(ds, QStringLiteral("A"), QStringLiteral("b-name"), 2);
        AddRow(ds, QStringLiteral("B"), QStringLiteral("a-name"), 1);
        QVERIFY(resets.count() > 0);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("2"));
        QCOMPARE(model.data(model.index(0, 3), Qt::EditRole), QVariant(2));
        model.SetColumns({QStringLiteral("name"), QStringLiteral("Num")}, {QStringLiteral("Namn")});
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Namn"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Num"));
        ds.SetIndexFieldNames(QStringLiteral("Name"));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("a-name"));
        QSignalSpy current(&model, &DataSetModel::currentRowChanged);
        ds.Last();
        QCOMPARE(model.CurrentRow(), 1);
        QCOMPARE(current.count(), 1);
        // The row being edited shows the typed value at once.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        ds.Edit();
        ds.FieldByName(QStringLiteral("Num"))->SetAsInteger(7);
        QVERIFY(changed.count() > 0);
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("7"));
        ds.Cancel();
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("2"));
        ds.Close();
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestClientDataSet)
#include "tst_clientdataset.moc"
