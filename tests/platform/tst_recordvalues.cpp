#include <QDate>
#include <QDateTime>
#include <QtTest>

#include "platform/FieldOrder.h"
#include "platform/RecordValues.h"

namespace {

TFieldDefs Defs() {
    return {{QStringLiteral("Name"), TFieldType::ftString, 40}, {QStringLiteral("Note"), TFieldType::ftString, 0},
            {QStringLiteral("Num"), TFieldType::ftInteger, 0},  {QStringLiteral("Flag"), TFieldType::ftBoolean, 0},
            {QStringLiteral("Day"), TFieldType::ftDate, 0},     {QStringLiteral("Stamp"), TFieldType::ftDateTime, 0},
            {QStringLiteral("Amount"), TFieldType::ftFloat, 0}};
}

// A record of the definitions above with one text in each text field.
TRecordValues TwoTexts(const QString& name, const QString& note) {
    QVector<QVariant> values(Defs().size());
    if (!name.isNull()) values[0] = name;
    if (!note.isNull()) values[1] = note;
    return TRecordValues::FromVariants(values, Defs());
}

}  // namespace

class TestRecordValues : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every type, empty or not, comes back as the stored value it went in as.
    void valuesComeBackAsTheyWentIn_data() {
        QTest::addColumn<QVariantList>("values");
        const QDateTime stamp(QDate(2024, 9, 14), QTime(8, 30, 15, 250));
        QTest::newRow("all empty") << QVariantList(7);
        QTest::newRow("plain") << QVariantList{
            QStringLiteral("Boletus edulis"), QStringLiteral("Ätlig"), 42, true, QDate(2023, 8, 1), stamp, 2.5};
        QTest::newRow("extremes") << QVariantList{
            QStringLiteral("a"), QVariant(), std::numeric_limits<int>::min(), false, QDate(1, 1, 1), QVariant(), -0.1};
        QTest::newRow("most positive") << QVariantList{QVariant(), QStringLiteral("x"), std::numeric_limits<int>::max(),
                                                       QVariant(), QDate(9999, 12, 31), stamp.addYears(-60),
                                                       1e300};
        QTest::newRow("wide texts") << QVariantList{
            QStringLiteral("Kantarell €"), QStringLiteral("Svamp 🍄 i skogen"), 0, false, QVariant(), QVariant(), 0.0};
        QTest::newRow("one Latin-1, one wide") << QVariantList{QStringLiteral("Blåsvamp"),
                                                               QStringLiteral("Łukasz"),
                                                               QVariant(),
                                                               QVariant(),
                                                               QVariant(),
                                                               stamp,
                                                               QVariant()};
    }
    void valuesComeBackAsTheyWentIn() {
        QFETCH(QVariantList, values);
        const TFieldDefs defs = Defs();
        const TRecordValues record = TRecordValues::FromVariants(QVector<QVariant>(values.begin(), values.end()), defs);
        QCOMPARE(record.Count(), int(defs.size()));
        const QVector<QVariant> back = record.ToVariants(defs);
        for (int i = 0; i < defs.size(); ++i) {
            const QVariant& in = values.at(i);
            QCOMPARE(record.IsNull(i), in.isNull());
            QCOMPARE(back.at(i).isNull(), in.isNull());
            if (in.isNull()) continue;
            QCOMPARE(back.at(i).typeId(), in.typeId());
            QCOMPARE(back.at(i), in);
            QCOMPARE(record.Value(i, defs.at(i).DataType), in);
        }
        // A copy shares the values and outlives the original.
        TRecordValues copy = record;
        {
            const TRecordValues gone = std::move(copy);
            copy = gone;
        }
        QCOMPARE(copy.ToVariants(defs), back);
    }

    // Texts read from a file's UTF-8 come out as QString::fromUtf8 would make them, cut to the
    // field's width.
    void textsFromUtf8_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("width");
        QTest::newRow("ASCII") << QByteArray("Boletus edulis") << 0;
        QTest::newRow("Swedish") << QByteArray("Röd flugsvamp på ängen") << 0;
        QTest::newRow("beyond Latin-1") << QByteArray("Pris 5 € – ej ätlig") << 0;
        QTest::newRow("surrogate pair") << QByteArray("svamp 🍄 svamp") << 0;
        QTest::newRow("broken sequence") << QByteArray("ab\xff\xc3 cd") << 0;
        QTest::newRow("cut in the middle of a sequence") << QByteArray("abc\xc3") << 0;
        QTest::newRow("leading byte order mark") << QByteArray("\xef\xbb\xbfText") << 0;
        QTest::newRow("byte order mark after text") << QByteArray("ab\xef\xbb\xbf") << 0;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("cut ASCII") << QByteArray("Boletus edulis") << 7;
        QTest::newRow("cut Swedish") << QByteArray("Åkerfräken") << 4;
        QTest::newRow("shorter than the width") << QByteArray("Ört") << 10;
        QTest::newRow("highest Latin-1") << QByteArray("\xc3\xbf and \xc2\x80") << 0;
        QTest::newRow("overlong form") << QByteArray(
                                              "a\xc0\x80"
                                              "b\xc1\xbf")
                                       << 0;
        QTest::newRow("lead without its second byte") << QByteArray(
                                                             "\xc2"
                                                             "A\xc3")
                                                      << 0;
        QTest::newRow("stray second byte") << QByteArray(
                                                  "\x80"
                                                  "abc")
                                           << 0;
        QTest::newRow("byte order mark after Latin-1") << QByteArray(
                                                              "\xc3\xa4\xef\xbb\xbf"
                                                              "x")
                                                       << 0;
        QTest::newRow("beyond Latin-1 after Latin-1") << QByteArray("Åsa €") << 0;
        QTest::newRow("beyond Latin-1 cut away") << QByteArray("åäö€") << 3;
        QTest::newRow("beyond Latin-1 kept by the cut") << QByteArray("åä€ö") << 3;
        QTest::newRow("broken after Latin-1, cut") << QByteArray("Öl\xff\xfe") << 3;
        // Long plain runs, read eight bytes at a time, with other bytes in and after them.
        QTest::newRow("Latin-1 after a long plain run") << QByteArray("Kantarellen är god") << 0;
        QTest::newRow("Latin-1 lead as the eighth byte") << QByteArray("abcdefg\xc3\xa4hijklmnopq") << 0;
        QTest::newRow("broken after a long plain run") << QByteArray("Boletus edulis\xff\xfe svamp") << 0;
        QTest::newRow("beyond Latin-1 after a long plain run") << QByteArray("Flugsvampar kostar 5 €") << 0;
        QTest::newRow("long plain run cut") << QByteArray("Boletus edulis och mer text") << 17;
        QTest::newRow("byte order mark after a long plain run") << QByteArray("Boletus edulis\xef\xbb\xbf") << 0;
    }

    // One builder makes record after record, as a file is read: each record holds its own
    // texts, whatever the records before it held.
    void builderMakesRecordAfterRecord() {
        const QList<QByteArray> texts{QByteArray("Trattkantarell i mossan vid bäcken"),
                                      QByteArray("kort"),
                                      QByteArray("Pris 5 € per liter"),
                                      QByteArray("åter smal"),
                                      QByteArray(""),
                                      QByteArray("Boletus edulis\xff")};
        TRecordValues::Builder builder;
        QList<TRecordValues> records;
        for (const QByteArray& text : texts) {
            builder.Start(2);
            builder.SetUtf8(0, text.constData(), int(text.size()));
            builder.SetText(1, QString::fromUtf8(text).left(3));
            records.append(builder.Finish());
        }
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(records[i].Text(0), QString::fromUtf8(texts[i]));
            QCOMPARE(records[i].Text(1), QString::fromUtf8(texts[i]).left(3));
        }
    }
    void textsFromUtf8() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, width);
        QString expected = QString::fromUtf8(bytes);
        if (width > 0) expected = expected.left(width);
        // After a text of one byte a character, and after one beyond Latin-1, with one after.
        for (const QString& before : {QStringLiteral("före"), QStringLiteral("€ före")}) {
            const QByteArray first = before.toUtf8();
            TRecordValues::Builder builder;
            builder.Start(4);
            builder.SetUtf8(0, first.constData(), int(first.size()));
            builder.SetUtf8(1, bytes.constData(), int(bytes.size()), width);
            builder.SetNumber(2, 7);
            builder.SetText(3, QStringLiteral("efter ä"));
            const TRecordValues record = builder.Finish();
            QVERIFY(!record.IsNull(1));
            QCOMPARE(record.Text(1), expected);
            QVERIFY(record.TextEquals(1, expected));
            QCOMPARE(record.Value(1, TFieldType::ftString), QVariant(expected));
            // The neighbours keep their values.
            QCOMPARE(record.Text(0), before);
            QCOMPARE(record.Number(2), 7);
            QCOMPARE(record.Text(3), QStringLiteral("efter ä"));
            // The same texts set as texts give the same record.
            TRecordValues::Builder again;
            again.Start(4);
            again.SetText(0, before);
            again.SetText(1, expected);
            again.SetNumber(2, 7);
            again.SetText(3, QStringLiteral("efter ä"));
            const TRecordValues same = again.Finish();
            for (int field : {0, 1, 3}) QCOMPARE(TRecordValues::Compare(record, same, field, TFieldType::ftString), 0);
            QCOMPARE(same.Text(1), expected);
        }
    }

    // Records order their texts as the field order orders the same texts, whichever form
    // (one byte or two a character) each record keeps them in.
    void textsOrderAsTheFieldOrder_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("same") << QStringLiteral("Fjällig") << QStringLiteral("Fjällig");
        QTest::newRow("case only") << QStringLiteral("abc") << QStringLiteral("ABC");
        QTest::newRow("Å after Z") << QStringLiteral("Zon") << QStringLiteral("Ålsvamp");
        QTest::newRow("Ä before Ö") << QStringLiteral("Ärt") << QStringLiteral("Ört");
        QTest::newRow("prefix") << QStringLiteral("Svamp") << QStringLiteral("Svampar");
        QTest::newRow("accent aside") << QStringLiteral("éa") << QStringLiteral("eb");
        QTest::newRow("case decides late") << QStringLiteral("aB") << QStringLiteral("Ab");
        QTest::newRow("digits before letters") << QStringLiteral("9") << QStringLiteral("a");
        QTest::newRow("empty text against text") << QString() << QStringLiteral("a");
    }
    void textsOrderAsTheFieldOrder() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        const int expected = CompareFieldValues(a.isEmpty() ? QVariant() : QVariant(a),
                                                b.isEmpty() ? QVariant() : QVariant(b), TFieldType::ftString);
        const QString wide = QStringLiteral("€");  // a second text that makes a record keep two bytes a character
        const TRecordValues narrowA = TwoTexts(a.isEmpty() ? QString() : a, QStringLiteral("x"));
        const TRecordValues wideA = TwoTexts(a.isEmpty() ? QString() : a, wide);
        const TRecordValues narrowB = TwoTexts(b.isEmpty() ? QString() : b, QStringLiteral("x"));
        const TRecordValues wideB = TwoTexts(b.isEmpty() ? QString() : b, wide);
        auto sign = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
        for (const TRecordValues* x : {&narrowA, &wideA})
            for (const TRecordValues* y : {&narrowB, &wideB}) {
                QCOMPARE(sign(TRecordValues::Compare(*x, *y, 0, TFieldType::ftString)), sign(expected));
                QCOMPARE(sign(TRecordValues::Compare(*y, *x, 0, TFieldType::ftString)), -sign(expected));
            }
    }

    // Numbers, dates and date-times order as their values do, empty first.
    void numbersOrderAsTheirValues_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QVariant>("a");
        QTest::addColumn<QVariant>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("negative integer") << 2 << QVariant(-5) << QVariant(3) << -1;
        QTest::newRow("equal integers") << 2 << QVariant(4) << QVariant(4) << 0;
        QTest::newRow("empty first") << 2 << QVariant() << QVariant(-100) << -1;
        QTest::newRow("false before true") << 3 << QVariant(false) << QVariant(true) << -1;
        QTest::newRow("dates") << 4 << QVariant(QDate(2020, 1, 2)) << QVariant(QDate(2019, 12, 31)) << 1;
        QTest::newRow("date-times") << 5 << QVariant(QDateTime(QDate(2020, 1, 1), QTime(10, 0)))
                                    << QVariant(QDateTime(QDate(2020, 1, 1), QTime(10, 0, 0, 1))) << -1;
        QTest::newRow("negative floats") << 6 << QVariant(-2.5) << QVariant(-0.5) << -1;
    }
    void numbersOrderAsTheirValues() {
        QFETCH(int, field);
        QFETCH(QVariant, a);
        QFETCH(QVariant, b);
        QFETCH(int, expected);
        const TFieldDefs defs = Defs();
        QVector<QVariant> va(defs.size()), vb(defs.size());
        va[field] = a;
        vb[field] = b;
        const TRecordValues ra = TRecordValues::FromVariants(va, defs);
        const TRecordValues rb = TRecordValues::FromVariants(vb, defs);
        const TFieldType type = defs.at(field).DataType;
        auto sign = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
        QCOMPARE(sign(TRecordValues::Compare(ra, rb, field, type)), expected);
        QCOMPARE(sign(TRecordValues::Compare(rb, ra, field, type)), -expected);
        QCOMPARE(sign(CompareFieldValues(a, b, type)), expected);
    }
};

QTEST_GUILESS_MAIN(TestRecordValues)
#include "tst_recordvalues.moc"
