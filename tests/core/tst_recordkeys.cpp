#include <QtTest>
#include "support/TestSupport.h"

#include "core/ExtClientDataSet.h"
#include "platform/Clock.h"

namespace {

using testsupport::ExceptionText;

// A small table: UKey, MasterUKey, CreatedBy; keys K1, K2, K2, K3 (one key twice).
void FillKeyTable(TClientDataSet& table, bool withLinks) {
    TFieldDefs defs{{QStringLiteral("UKey"), TFieldType::ftString, 20}};
    if (withLinks) {
        defs.append({QStringLiteral("MasterUKey"), TFieldType::ftString, 20});
        defs.append({QStringLiteral("CreatedBy"), TFieldType::ftString, 20});
    }
    table.SetFieldDefs(defs);
    table.CreateDataSet();
    const QStringList keys{"K1", "K2", "K2", "K3"};
    for (int i = 0; i < keys.size(); ++i) {
        table.Append();
        table.Fields(0)->SetAsString(keys[i]);
        if (withLinks) {
            table.Fields(1)->SetAsString(QStringLiteral("M%1").arg(i));
            table.Fields(2)->SetAsString(QStringLiteral("C%1").arg(i));
        }
        table.Post();
    }
    table.First();
}

}  // namespace

class TestRecordKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Clock::SetFixedNow(std::nullopt); }

    void lettersFromNumber_data() {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QString>("letters");
        QTest::newRow("zero, no width") << qint64(0) << quint64(0) << "A";
        QTest::newRow("zero padded") << qint64(4) << quint64(0) << "AAAA";
        QTest::newRow("largest four letters") << qint64(4) << quint64(456975) << "ZZZZ";
        QTest::newRow("longer than width is not cut") << qint64(1) << quint64(26) << "BA";
        QTest::newRow("last one-letter value") << qint64(1) << quint64(25) << "Z";
        QTest::newRow("negative width") << qint64(-3) << quint64(27) << "BB";
        QTest::newRow("largest 64-bit value") << qint64(0) << std::numeric_limits<quint64>::max() << "HLHXCZMXSYUMQP";
        QTest::newRow("largest 64-bit value padded")
            << qint64(16) << std::numeric_limits<quint64>::max() << "AAHLHXCZMXSYUMQP";
    }
    void lettersFromNumber() {
        QFETCH(qint64, width);
        QFETCH(quint64, value);
        QFETCH(QString, letters);
        QCOMPARE(LettersFromNumber(width, value), letters);
    }

    void timeCode_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("code");
        // Month and day count from 1: the first moment is one 31-day month plus one day.
        QTest::newRow("first moment of 2000")
            << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0, 0)) << 15 << "AAAAAAAAIYSFKVO";
        QTest::newRow("one millisecond later")
            << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0, 1)) << 15 << "AAAAAAAAIYSFKVP";
        QTest::newRow("end of 2024, stamp")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999)) << 15 << "AAAAAADWKBGACCD";
        QTest::newRow("end of 2024, key part")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999)) << 11 << "AADWKBGACCD";
        // Far beyond 32 bits of milliseconds.
        QTest::newRow("2099") << QDateTime(QDate(2099, 6, 15), QTime(12, 30, 15, 500)) << 15 << "AAAAAAPIISKXASA";
    }
    void timeCode() {
        QFETCH(QDateTime, when);
        QFETCH(int, width);
        QFETCH(QString, code);
        Clock::SetFixedNow(when);
        QCOMPARE(MakeTimeCode(width), code);
    }

    void clockBefore2000Fails_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::newRow("last moment of 1999") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999));
        QTest::newRow("1970") << QDateTime(QDate(1970, 1, 1), QTime(0, 0));
    }
    void clockBefore2000Fails() {
        QFETCH(QDateTime, when);
        Clock::SetFixedNow(when);
        QCOMPARE(ExceptionText([] { MakeTimeCode(15); }),
                 QStringLiteral("Check the date of your Operating System. Year < 2000"));
    }

    void keysOfOneMillisecondDifferOnlyInTheirLastLetters() {
        Clock::SetFixedNow(QDateTime(QDate(2024, 5, 17), QTime(10, 20, 30, 400)));
        TExtClientDataSet table(nullptr, QStringLiteral("cdsFungi"));
        table.SetDatasetId(QStringLiteral("020"));
        const QString a = table.NewUKey();
        QString b = table.NewUKey();
        for (int i = 0; i < 20 && b == a; ++i) b = table.NewUKey();
        QCOMPARE(a.size(), 18);
        QCOMPARE(a.left(14), QStringLiteral("020") + MakeTimeCode(11));
        QCOMPARE(b.left(14), a.left(14));
        QVERIFY(a.right(4) != b.right(4));
        for (QChar c : a.right(4)) QVERIFY(c >= u'A' && c <= u'Z');
    }

    void locateUKey() {
        TClientDataSet table;
        FillKeyTable(table, false);
        table.SetRecNo(3);  // the second record with key K2
        // The current record's own key: the cursor stays although record 2 matches first.
        QVERIFY(LocateUKey(&table, QStringLiteral("K2")));
        QCOMPARE(table.RecNo(), 3);
        QVERIFY(LocateUKey(&table, QStringLiteral("K1")));
        QCOMPARE(table.RecNo(), 1);
        // Exact and case-sensitive only; a miss leaves the cursor where it was.
        QVERIFY(!LocateUKey(&table, QStringLiteral("k3")));
        QVERIFY(!LocateUKey(&table, QStringLiteral("K")));
        QCOMPARE(table.RecNo(), 1);
        QCOMPARE(GetUKey(&table), QStringLiteral("K1"));
        TClientDataSet closed;
        QCOMPARE(GetUKey(&closed), QString());
    }

    void editUKey() {
        TClientDataSet table;
        FillKeyTable(table, false);
        EditUKey(&table, QStringLiteral("K3"), true);
        QCOMPARE(table.State(), TDataSetState::dsEdit);
        QCOMPARE(GetUKey(&table), QStringLiteral("K3"));
        QVERIFY(!table.ControlsDisabled());
        QCOMPARE(ExceptionText([&] { EditUKey(&table, QStringLiteral("K1"), false); }),
                 QStringLiteral("Dataset not in BROWSE state"));
        table.Cancel();
        QCOMPARE(ExceptionText([&] { EditUKey(&table, QStringLiteral("K9"), true); }),
                 QStringLiteral("Record with matching UKey not found"));
        QCOMPARE(table.State(), TDataSetState::dsBrowse);
        QVERIFY(!table.ControlsDisabled());
    }

    void optionalKeyFields() {
        TClientDataSet linked;
        FillKeyTable(linked, true);
        linked.SetRecNo(2);
        QCOMPARE(GetMasterUKey(&linked), QStringLiteral("M1"));
        QCOMPARE(GetCreatedBy(&linked), QStringLiteral("C1"));
        TClientDataSet bare;
        FillKeyTable(bare, false);
        QCOMPARE(GetMasterUKey(&bare), QString());
        QCOMPARE(GetCreatedBy(&bare), QString());
    }
};

QTEST_GUILESS_MAIN(TestRecordKeys)
#include "tst_recordkeys.moc"
