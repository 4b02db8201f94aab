#include <QtTest>

#include "core/SelLanguage.h"

namespace {

struct Layout {
    QStringList names;
    QList<TFieldType> types;
};

class FakeRecord : public TSelRecord {
public:
    FakeRecord(const Layout* layout, QVariantList values, quintptr layoutId = 0)
        : m_layout(layout), m_values(std::move(values)), m_layoutId(layoutId) {}
    int FieldIndex(const QString& name) const override {
        for (int i = 0; i < m_layout->names.size(); ++i)
            if (m_layout->names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    TFieldType FieldType(int index) const override { return m_layout->types[index]; }
    QVariant FieldValue(int index) const override { return m_values[index]; }
    quintptr LayoutId() const override { return m_layoutId; }
    void SetLayoutId(quintptr id) { m_layoutId = id; }

private:
    const Layout* m_layout;
    QVariantList m_values;
    quintptr m_layoutId;
};

using FT = TFieldType;
const Layout kLayout{
    {"Name", "FungiGroup", "FungiData", "Count", "Weight", "HasPic", "Found", "Seen", "Color", "Season", "Habitat"},
    {FT::ftString, FT::ftString, FT::ftString, FT::ftInteger, FT::ftFloat, FT::ftBoolean, FT::ftDate, FT::ftDateTime,
     FT::ftString, FT::ftString, FT::ftString}};

const QVariant kNull;

// Colours: 255 is red, 65280 green, 16711680 blue.
QList<QVariantList> FixtureValues() {
    return {
        {"Karljohan", "A", "CPLD", 5, 2.5, true, QDate(2023, 8, 15), QDateTime(QDate(2023, 8, 15), QTime(10, 30)),
         "255", "000000123000", "100100000000000"},
        {"Kantarell", "B", "", 0, -1.25, false, kNull, kNull, "255|65280", "000001111100", "010000100000000"},
        {"flugsvamp", "C", "CPLD", 12, 0.1, kNull, QDate(2024, 1, 2), kNull, "", "", ""},
        {"Say \"hi\"", "A", "CPLD", 1, 3.0, true, kNull, kNull, "16711680", "111111111111", "000000000000001"},
    };
}

QList<FakeRecord> Fixture() {
    QList<FakeRecord> records;
    for (const QVariantList& values : FixtureValues()) records.append(FakeRecord(&kLayout, values));
    return records;
}

// One letter per fixture record: T matches, F does not, E raises the expected message.
QString Outcomes(const TSelExpression& sel, const QList<FakeRecord>& records, const QString& error) {
    QString got;
    for (const FakeRecord& r : records) {
        try {
            got += sel.Match(r) ? u'T' : u'F';
        } catch (const Exception& e) {
            got += u'E';
            if (e.Message() != error) return QStringLiteral("raised \"%1\"").arg(e.Message());
        }
    }
    return got;
}

// A record that keeps its values in the compact stored form, as a table's records do; read
// either in place or only through FieldValue, from the very same values.
class StoredRecord : public TSelRecord {
public:
    StoredRecord(const Layout* layout, const QVariantList& values, bool inPlace)
        : m_layout(layout), m_inPlace(inPlace) {
        TFieldDefs defs;
        for (int i = 0; i < layout->names.size(); ++i) defs.append({layout->names[i], layout->types[i], 0});
        m_values = TRecordValues::FromVariants(QVector<QVariant>(values.begin(), values.end()), defs);
    }
    int FieldIndex(const QString& name) const override {
        for (int i = 0; i < m_layout->names.size(); ++i)
            if (m_layout->names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    TFieldType FieldType(int index) const override { return m_layout->types[index]; }
    QVariant FieldValue(int index) const override { return m_values.Value(index, m_layout->types[index]); }
    const TRecordValues* StoredValues() const override { return m_inPlace ? &m_values : nullptr; }

private:
    const Layout* m_layout;
    TRecordValues m_values;
    bool m_inPlace;
};

const Layout kStoredLayout{
    {"Name", "Note", "Count", "Weight", "HasPic", "Found", "Color", "Season"},
    {FT::ftString, FT::ftString, FT::ftInteger, FT::ftFloat, FT::ftBoolean, FT::ftDate, FT::ftString, FT::ftString}};

// Texts of one byte a character, texts beyond Latin-1, an empty text and empty fields.
QList<QVariantList> StoredFixture() {
    return {
        {QString::fromUtf8("Åkerfräken"), "mild", 5, 2.5, true, QDate(2023, 8, 15), "255|65280", "000001111100"},
        {QString::fromUtf8("Ωmega svamp"), QString::fromUtf8("Ω"), -3, 0.0, false, kNull, "16711680", "12"},
        {QString(""), kNull, kNull, kNull, kNull, kNull, QString(""), QString("")},
        {kNull, QString::fromUtf8("ÅÄÖ"), 0, -1.5, true, QDate(1999, 12, 31), kNull, kNull},
    };
}

}  // namespace

// Declared apart from the definitions: moc does not read the raw strings of the case tables.
class TestSelLanguage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void match_data();
    void match();
    void emptySelectionMatchesEverything();
    void keptFieldIndexesFollowTheLayout();
    void damagedColourField_data();
    void damagedColourField();
    void quotedValuesRoundTrip();
    void storedValuesReadInPlace_data();
    void storedValuesReadInPlace();
};

void TestSelLanguage::initTestCase() {
    // Numbers in a selection are read with "." whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
}

void TestSelLanguage::match_data() {
    QTest::addColumn<QString>("sel");  // lines separated by "\n"
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("error");
    auto row = [](const char* name, const QString& sel, const char* expected, const QString& error = QString()) {
        QTest::newRow(name) << sel << QString::fromLatin1(expected) << error;
    };

    // Strictly left to right; a false result before AND ends the group or the expression.
    row("A OR B AND C is (A OR B) AND C", R"(Str(FungiGroup = "A") OR Str(FungiGroup = "B") AND Num(Count > 3))",
        "TFFF");
    row("false A in A AND B OR C ends the expression",
        R"(Str(FungiGroup = "C") AND Num(Count > 100) OR Str(FungiData = "CPLD"))", "FFTF");
    row("NOT before a group", R"(NOT (Str(FungiGroup = "A") OR Str(FungiGroup = "B")))", "FFTF");
    row("NOT turns only the next term", R"(NOT Str(FungiGroup = "A") OR Num(Count > 3))", "TTTF");
    row("skip ends at the group's parenthesis",
        R"((Str(FungiGroup = "C") AND Num(Count > 100) OR Str(FungiGroup = "A")) OR Num(Count = 0))", "FTFF");
    row("skip inside a nested group",
        R"(Str(FungiData = "CPLD") AND ((Str(FungiGroup = "C") AND Num(Count > 100)) OR Str(Name = "Karljohan")))",
        "TFFF");
    row("quick selection shape", "(\nStr(FungiData = \"CPLD\")\nAND (\nPos(Season,7 > 0)\nOR Pos(Season,1 > 0)\n)\n)",
        "TFFT");
    row("skipped faults raise nothing", R"(Str(FungiGroup = "X") AND Bogus(1) AND Str(Name = "abc)", "FFFF");
    row("fault raised only where reached", R"(Str(FungiGroup = "B") AND Num(Name = 1))", "FEFF", "No numeric format");
    row("fault in a group skipped for some records",
        R"((Str(FungiGroup = "A") AND Str(Nope = "1")) OR Str(FungiGroup = "B"))", "ETFE",
        R"(Field does not exist in Sel-property (field "NOPE"))");
    row("OR reads its term even after true", R"(Str(FungiGroup = "A") OR Num(Name = 1))", "EEEE", "No numeric format");

    // STR: ordinal, case-sensitive; other field types as their text form.
    row("str =", R"(Str(Name = "Karljohan"))", "TFFF");
    row("str = is case-sensitive", R"(Str(Name = "karljohan"))", "FFFF");
    row("str = keeps the quoted case", R"(Str(Name = "flugsvamp"))", "FFTF");
    row("str <>", R"(Str(Name <> "Karljohan"))", "FTTT");
    row("str > is ordinal", R"(Str(Name > "Kb"))", "FFTT");
    row("str <", R"(Str(Name < "Kb"))", "TTFF");
    row("str >=", R"(Str(Name >= "Karljohan"))", "TFTT");
    row("str <=", R"(Str(Name <= "Kantarell"))", "FTFF");
    row("str * contains", R"(Str(Name * "an"))", "TTFF");
    row("str *| starts with", R"(Str(Name *| "Ka"))", "TTFF");
    row("str *| is case-sensitive", R"(Str(Name *| "ka"))", "FFFF");
    row("str |* ends with", R"(Str(Name |* "ll"))", "FTFF");
    row("str <> empty", R"(Str(FungiData <> ""))", "TFTT");
    row("str doubled quotes", R"(Str(Name = "Say ""hi"""))", "FFFT");
    row("str bare word value", R"(Str(FungiGroup = a))", "TFFT");
    row("str integer field", R"(Str(Count = 5))", "TFFF");
    row("str float field", R"(Str(Weight = "2.5"))", "TFFF");
    row("str float field shortest form", R"(Str(Weight = "3"))", "FFFT");
    row("str Boolean field", R"(Str(HasPic = "True"))", "TFFT");
    row("str empty Boolean field", R"(Str(HasPic = ""))", "FFTF");
    row("str date field", R"(Str(Found = "2023-08-15"))", "TFFF");
    row("str empty date field", R"(Str(Found = ""))", "FTFT");
    row("str date-time field", R"(Str(Seen = "2023-08-15 10:30:00"))", "TFFF");
    row("lower-case keywords", R"(str(fungigroup = "A") and not num(count > 3))", "FFFT");
    row("mixed-case keywords", R"(sTr(NaMe *| "Ka") oR pOs(sEaSoN,1 > 0))", "TTFT");

    // NUM by field type.
    row("num integer =", "Num(Count = 5)", "TFFF");
    row("num integer <>", "Num(Count <> 5)", "FTTT");
    row("num integer >", "Num(Count > 1)", "TFTF");
    row("num integer <", "Num(Count < 1)", "FTFF");
    row("num integer >=", "Num(Count >= 12)", "FFTF");
    row("num integer <=", "Num(Count <= 1)", "FTFT");
    row("num negative number", "Num(Count > -1)", "TTTT");
    row("num float =", "Num(Weight = 2.5)", "TFFF");
    row("num float <", "Num(Weight < 0)", "FTFF");
    row("num float >= integer text", "Num(Weight >= 3)", "FFFT");
    row("num float <= negative", "Num(Weight <= -1.25)", "FTFF");
    row("num float >", "Num(Weight > 0.1)", "TFFT");
    row("num float <>", "Num(Weight <> 0.1)", "TTFT");
    row("num Boolean = 1", "Num(HasPic = 1)", "TFFT");
    row("num Boolean <> 1", "Num(HasPic <> 1)", "FTTF");
    row("num Boolean = 0, empty is False", "Num(HasPic = 0)", "FTTF");
    row("num Boolean > 0", "Num(HasPic > 0)", "TFFT");

    // POS: the digit at a position; beyond the text is false.
    row("pos >", "Pos(Season,7 > 0)", "TTFT");
    row("pos =", "Pos(Season,9 = 3)", "TFFF");
    row("pos <>", "Pos(Season,8 <> 2)", "FTFT");
    row("pos >=", "Pos(Season,9 >= 2)", "TFFF");
    row("pos <", "Pos(Season,1 < 1)", "TTFF");
    row("pos <=", "Pos(Season,10 <= 0)", "TFFF");
    row("pos beyond the text", "Pos(Season,13 > 0)", "FFFF");
    row("pos beyond the text, any operator", "Pos(Season,13 < 9)", "FFFF");
    row("pos 0", "Pos(Season,0 < 9)", "FFFF");
    row("pos negative", "Pos(Season,-1 < 9)", "FFFF");
    row("pos on an integer's text", "Pos(Count,2 = 2)", "FFTF");

    // COLOR: near in every channel (strictly), or near a point of a segment.
    row("color near", R"(Color(Color,10,OR,"250"))", "TTFF");
    row("color near is strict", R"(Color(Color,5,OR,"250"))", "FFFF");
    row("color near just inside", R"(Color(Color,6,OR,"250"))", "TTFF");
    row("color halfway on a segment", R"(Color(Color,2,OR,"32896"))", "FTFF");
    row("color segment point needs the tolerance", R"(Color(Color,1,OR,"32896"))", "FFFF");
    row("color OR over wanted colours", R"(Color(Color,10,OR,"16711680|250"))", "TTFT");
    row("color AND over every pair", R"(Color(Color,10,AND,"250|255"))", "TFFF");
    row("color AND with no wanted colours", R"(Color(Color,10,AND,""))", "TTFT");
    row("color bare number", "Color(Color,10,OR,255)", "TTFF");
    row("color lower case", "color(color,10,or,255)", "TTFF");

    // Errors and their positions.
    row("unterminated text", R"(Str(Name = "Karljohan)", "EEEE", "Unterminated string in Sel-property");
    row("( expected", R"(Str Name = "x"))", "EEEE", R"("(" expected in Sel-property (position 5))");
    row("( expected at the end", "Num", "EEEE", R"("(" expected in Sel-property (position 6))");
    row("unknown field", R"(Str(Nope = "x"))", "EEEE", R"(Field does not exist in Sel-property (field "NOPE"))");
    row("invalid str operator", R"(Str(Name => "x"))", "EEEE", R"(Invalid operator in Sel-property ("=>"))");
    row("text operator on num", "Num(Count * 5)", "EEEE", R"(Invalid operator in Sel-property ("*"))");
    row("text operator on pos", "Pos(Season,1 *| 0)", "EEEE", R"(Invalid operator in Sel-property ("*|"))");
    row("text where the operator belongs", R"(Str(Name "x"))", "EEEE", R"(Invalid operator in Sel-property ("x"))");
    row(") expected", R"(Str(Name = "x" OR Str(Name = "y")))", "EEEE", "\")\" expected in Sel-property (position 16)");
    row("num on a string", "Num(Name = 1)", "EEEE", "No numeric format");
    row("num on a date", "Num(Found = 1)", "EEEE", "No numeric format");
    row(", expected in pos", "Pos(Season 7 > 0)", "EEEE", R"("," expected in Sel-property (position 12))");
    row(", expected after the colour field", R"(Color(Color 5,OR,"1"))", "EEEE",
        R"("," expected in Sel-property (position 13))");
    row(", expected after the colour mode", R"(Color(Color,5,OR "1"))", "EEEE",
        R"("," expected in Sel-property (position 18))");
    row("pos index a word", "Pos(Season,x > 0)", "EEEE", "Invalid position in POS-statement (position 12)");
    row("pos index a fraction", "Pos(Season,1.5 > 0)", "EEEE", "Invalid position in POS-statement (position 12)");
    row("color tolerance a fraction", R"(Color(Color,1.5,OR,"1"))", "EEEE",
        "Invalid tolerance in COLOR-statement (position 13)");
    row("color mode", R"(Color(Color,5,XOR,"1"))", "EEEE", "Invalid operator in COLOR-statement (position 15)");
    row("unknown command", R"(Foo(Name = "x"))", "EEEE", R"(Unknown command in Sel-Property ("FOO"))");
    row("term after a term", R"(Str(Name <> "x") Str(Name = "y"))", "EEEE",
        R"(Unknown command in Sel-Property ("STR"))");
    row("NOT NOT", R"(NOT NOT Str(Name = "x"))", "EEEE", R"(Unknown command in Sel-Property ("NOT"))");
    row("blanks only", "   ", "EEEE", R"(Unknown command in Sel-Property (""))");
    row("AND at the end", R"(Str(Name <> "x") AND)", "EEEE", R"(Unknown command in Sel-Property (""))");
    row("tab is no blank", "Str(Name =\t\"x\")", "EEEE", "\")\" expected in Sel-property (position 11)");
    row("tab after a term", "Str(Name <> \"x\")\tOR Num(Count = 1)", "EEEE", R"(Unknown command in Sel-Property (""))");
    row("position on a later line", "(\nStr(Name <> \"x\")\nAND Pos(Season 7 > 0)\n)", "EEEE",
        R"("," expected in Sel-property (position 37))");
    row("position after non-ASCII letters", R"(Str(Name = "ßß" x)", "EEEE",
        "\")\" expected in Sel-property (position 17)");
    row("integer conversion", "Num(Count = 1.5)", "EEEE", "'1.5' is not a valid integer value");
    row("float conversion", "Num(Weight = 1.2.3)", "EEEE", "'1.2.3' is not a valid floating point value");
    row("Boolean takes an integer", "Num(HasPic = 1.0)", "EEEE", "'1.0' is not a valid integer value");
    row("pos number conversion", "Pos(Season,1 = -)", "EEEE", "'-' is not a valid integer value");
    row("colour conversion", R"(Color(Color,5,OR,"255|red"))", "EEEE", "'red' is not a valid integer value");
}

void TestSelLanguage::match() {
    QFETCH(QString, sel);
    QFETCH(QString, expected);
    QFETCH(QString, error);
    const TSelExpression expression(sel.split(u'\n'));
    QVERIFY(!expression.IsEmpty());
    QList<FakeRecord> records = Fixture();
    // Looked up per record, then with the field indexes kept for the layout, then again
    // from the kept terms: the same outcome every time.
    QCOMPARE(Outcomes(expression, records, error), expected);
    for (FakeRecord& r : records) r.SetLayoutId(1);
    QCOMPARE(Outcomes(expression, records, error), expected);
    QCOMPARE(Outcomes(expression, records, error), expected);
    // And read in place from the same values in their stored form, as a table's records are.
    QString stored;
    for (const QVariantList& values : FixtureValues()) {
        try {
            stored += expression.Match(StoredRecord(&kLayout, values, true)) ? u'T' : u'F';
        } catch (const Exception& e) {
            stored += e.Message() == error ? u'E' : u'?';
        }
    }
    QCOMPARE(stored, expected);
}

void TestSelLanguage::emptySelectionMatchesEverything() {
    const TSelExpression expression{QStringList()};
    QVERIFY(expression.IsEmpty());
    for (const FakeRecord& r : Fixture()) QVERIFY(expression.Match(r));
}

void TestSelLanguage::keptFieldIndexesFollowTheLayout() {
    // The same fields in another order: a new layout id must look them up again.
    const Layout other{{"Count", "Name"}, {FT::ftInteger, FT::ftString}};
    const FakeRecord first(&kLayout, {"Karljohan", "A", "CPLD", 5, 2.5, true, kNull, kNull, "", "", ""}, 1);
    const FakeRecord second(&other, {7, "Karljohan"}, 2);
    const FakeRecord unkeyed(&other, {7, "Kantarell"}, 0);
    const TSelExpression expression({R"(Str(Name = "Karljohan") AND Num(Count > 4))"});
    QVERIFY(expression.Match(first));
    QVERIFY(expression.Match(second));
    QVERIFY(!expression.Match(unkeyed));
    QVERIFY(expression.Match(first));
    const Layout noCount{{"Name"}, {FT::ftString}};
    const FakeRecord third(&noCount, {"Karljohan"}, 3);
    QVERIFY_THROWS_EXCEPTION(Exception, expression.Match(third));
}

void TestSelLanguage::damagedColourField_data() {
    QTest::addColumn<QString>("colours");
    QTest::addColumn<QString>("error");
    QTest::newRow("letter") << "255|x"
                            << "'x' is not a valid integer value";
    QTest::newRow("empty piece") << "255|"
                                 << "'' is not a valid integer value";
}
void TestSelLanguage::damagedColourField() {
    QFETCH(QString, colours);
    QFETCH(QString, error);
    const Layout layout{{"Color"}, {FT::ftString}};
    const FakeRecord record(&layout, {colours});
    const TSelExpression expression({R"(Color(Color,5,OR,"255"))"});
    try {
        expression.Match(record);
        QFAIL("no exception");
    } catch (const Exception& e) {
        QCOMPARE(e.Message(), error);
    }
}

void TestSelLanguage::quotedValuesRoundTrip() {
    QCOMPARE(SelQuote("Say \"hi\""), QStringLiteral("\"Say \"\"hi\"\"\""));
    QCOMPARE(SelQuote(""), QStringLiteral("\"\""));
    const QList<FakeRecord> records = Fixture();
    for (const QString& value : {QStringLiteral("Say \"hi\""), QStringLiteral("\"\"\""), QStringLiteral("a) OR (")}) {
        const TSelExpression expression({"Str(Name = " + SelQuote(value) + ")"});
        const Layout layout{{"Name"}, {FT::ftString}};
        QVERIFY(expression.Match(FakeRecord(&layout, {value})));
        QVERIFY(!expression.Match(FakeRecord(&layout, {value + "x"})));
    }
}

void TestSelLanguage::storedValuesReadInPlace_data() {
    QTest::addColumn<QString>("sel");
    QTest::addColumn<QString>("expected");  // one letter per fixture record, as in match
    QTest::addColumn<QString>("error");  // the messages of the records that raise, "|" between them
    auto row = [](const char* name, const QString& sel, const char* expected, const QString& error = QString()) {
        QTest::newRow(name) << sel << QString::fromLatin1(expected) << error;
    };
    row("equal, Latin-1", QString::fromUtf8(R"(Str(Name = "Åkerfräken"))"), "TFFF");
    row("equal, beyond Latin-1", QString::fromUtf8(R"(Str(Name = "Ωmega svamp"))"), "FTFF");
    row("equal to nothing", R"(Str(Name = ""))", "FFTT");
    row("not equal to nothing", R"(Str(Note <> ""))", "TTFT");
    row("contains", R"(Str(Name * "r"))", "TFFF");
    row("contains nothing", R"(Str(Note * ""))", "TTTT");
    row("contains beyond Latin-1", QString::fromUtf8(R"(Str(Name * "ga s"))"), "FTFF");
    row("begins with", QString::fromUtf8(R"(Str(Name *| "Åk"))"), "TFFF");
    row("begins with nothing", R"(Str(Name *| ""))", "TTTT");
    row("ends with", R"(Str(Name |* "svamp"))", "FTFF");
    row("ends with nothing", R"(Str(Note |* ""))", "TTTT");
    row("ordered, greater", R"(Str(Name > "B"))", "TTFF");
    row("ordered, less or equal", QString::fromUtf8(R"(Str(Note <= "Ω"))"), "TTTT");
    row("ordered, less", R"(Str(Note < "n"))", "TFTF");
    row("text of an integer field", R"(Str(Count = "-3"))", "FTFF");
    row("text of a date field", R"(Str(Found *| "2023"))", "TFFF");
    row("integer", "Num(Count >= 0)", "TFTT");
    row("empty integer is 0", "Num(Count = 0)", "FFTT");
    row("float", "Num(Weight < 0.5)", "FTTT");
    row("Boolean", "Num(HasPic = 1)", "TFFT");
    row("digit of a flag string", "Pos(Season,7 > 0)", "TFFF");
    row("digit beyond the text", "Pos(Season,3 = 0)", "TFFF");
    row("digit of a short text", "Pos(Season,2 = 2)", "FTFF");
    row("digit of an integer field", "Pos(Count,1 = 5)", "TFFF");
    row("digit of a text beyond Latin-1", QString::fromUtf8("Pos(Name,1 > 0)"), "TTFF");
    row("colour near", R"(Color(Color,20,OR,"65290"))", "TFFF");
    row("colour on the segment", R"(Color(Color,20,OR,"32896"))", "TFFF");
    row("colour, AND of all", R"(Color(Color,5,AND,"16711680"))", "FTFF");
    row("damaged colour text", R"(Color(Name,5,OR,"255"))", "EEFF",
        QString::fromUtf8("'Åkerfräken' is not a valid integer value|'Ωmega svamp' is not a valid integer value"));
    row("number on a text field", "Num(Name = 1)", "EEEE", "No numeric format");
}

void TestSelLanguage::storedValuesReadInPlace() {
    QFETCH(QString, sel);
    QFETCH(QString, expected);
    QFETCH(QString, error);
    const TSelExpression expression(sel.split(u'\n'));
    for (const bool inPlace : {false, true}) {
        QString got;
        for (const QVariantList& values : StoredFixture()) {
            const StoredRecord record(&kStoredLayout, values, inPlace);
            try {
                got += expression.Match(record) ? u'T' : u'F';
            } catch (const Exception& e) {
                got += error.split(u'|').contains(e.Message()) ? u'E' : u'?';
            }
        }
        QCOMPARE(got, expected);
    }
}

QTEST_GUILESS_MAIN(TestSelLanguage)
#include "tst_sellanguage.moc"
