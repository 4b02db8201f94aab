// The identification key's selection, made from answers without any screen: the lines in
// their fixed order and joining, the habitat marking, the size checks and their messages,
// the questions that are in force, and how the lines select through the selection language.
#include <QtTest>

#include "content/key/KeySelection.h"
#include "core/SelLanguage.h"

namespace {

using Answers = QMap<int, QString>;

QStringList AnswerList(const Answers& given) {
    QStringList list;
    for (int i = 0; i < KeyQuestionCount; ++i) list << given.value(i);
    return list;
}

const QString Open = QStringLiteral("(");
const QString Complete = QStringLiteral("Str(FungiData = \"CPLD\") AND");
const QString Close = QStringLiteral(")");

// A species record with only the fields the cases use.
class SpeciesRecord : public TSelRecord {
public:
    explicit SpeciesRecord(QMap<QString, QVariant> values) : m_values(std::move(values)) {}
    int FieldIndex(const QString& name) const override {
        const QStringList names = m_values.keys();
        for (int i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    TFieldType FieldType(int index) const override {
        return m_values.values()[index].typeId() == QMetaType::Int ? TFieldType::ftInteger : TFieldType::ftString;
    }
    QVariant FieldValue(int index) const override { return m_values.values()[index]; }

private:
    QMap<QString, QVariant> m_values;
};

}  // namespace

class TestKeySelection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void questionTable();
    void lines_data();
    void lines();
    void sizes_data();
    void sizes();
    void questionsNotInForceAddNothing();
    void mildnessSelectsInsideTheChain_data();
    void mildnessSelectsInsideTheChain();
    void tolerance_data();
    void tolerance();
};

void TestKeySelection::questionTable() {
    const QList<TKeyQuestion>& q = KeyQuestions();
    QCOMPARE(q.size(), int(KeyQuestionCount));
    QCOMPARE(QString(q[kqHatFungi].Name), QString("keypHatFungi"));
    QCOMPARE(QString(q[kqFootColor].Name), QString("keypFootColor"));
    QCOMPARE(q[kqHabitat].Options.size(), 15);
    QCOMPARE(q[kqSeason].Options.size(), 12);
    QCOMPARE(q[kqOccurence].Options.size(), 8);
    QCOMPARE(q[kqSporeProps].Options.size(), 18);
    QCOMPARE(q[kqSporeSize].InputCaption, QString("Bredd, höjd (µm):"));
    QCOMPARE(q[kqHatSubGrowth].Tag, 14);
    QCOMPARE(q[kqHatSubDensity2].Tag, 15);
    QCOMPARE(q[kqMeatJuiceColor].Tag, 13);
    QCOMPARE(q[kqBodySize].Tag, 12);
}

void TestKeySelection::lines_data() {
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing answered lists every complete species")
        << Answers{} << QStringList{Open, "Str(FungiData = \"CPLD\")", Close};
    QTest::newRow("only a cap fungus") << Answers{{kqHatFungi, "10"}}
                                       << QStringList{Open, Complete, "Num(HatFungi = 0)", Close};
    QTest::newRow("no cap") << Answers{{kqHatFungi, "01"}} << QStringList{Open, Complete, "Num(HatFungi = 1)", Close};
    QTest::newRow("a spruce marks the conifer forest")
        << Answers{{kqHabitat, "000100000000000"}}
        << QStringList{Open, Complete, "(", "Pos(Habitat,1 > 0)", "OR Pos(Habitat,4 > 0)", ")", Close};
    QTest::newRow("the leaf forest marks its seven trees") << Answers{{kqHabitat, "010000000000000"}}
                                                           << QStringList{Open,
                                                                          Complete,
                                                                          "(",
                                                                          "Pos(Habitat,2 > 0)",
                                                                          "OR Pos(Habitat,7 > 0)",
                                                                          "OR Pos(Habitat,8 > 0)",
                                                                          "OR Pos(Habitat,9 > 0)",
                                                                          "OR Pos(Habitat,10 > 0)",
                                                                          "OR Pos(Habitat,11 > 0)",
                                                                          "OR Pos(Habitat,12 > 0)",
                                                                          "OR Pos(Habitat,13 > 0)",
                                                                          ")",
                                                                          Close};
    QTest::newRow("grass and sand mark only themselves")
        << Answers{{kqHabitat, "001000000000010"}}
        << QStringList{Open, Complete, "(", "Pos(Habitat,3 > 0)", "OR Pos(Habitat,14 > 0)", ")", Close};
    QTest::newRow("groups, a four-valued answer and a colour, joined in visiting order")
        << Answers{{kqHatFungi, "10"},      {kqSeason, "000000011000"}, {kqGrowthMethod, "010000"},
                   {kqGroupedGrowth, "10"}, {kqMeatColor, "16777215"},  {kqOccurence, "00000001"}}
        << QStringList{Open,
                       Complete,
                       "Num(HatFungi = 0)",
                       "AND (",
                       "Pos(GrowthMethod,2 > 0)",
                       ")",
                       "AND (",
                       "Pos(Season,8 > 0)",
                       "OR Pos(Season,9 > 0)",
                       ")",
                       "AND (",
                       "Pos(Occurence,8 > 0)",
                       ")",
                       "AND Num(GroupedGrowth <> 3)",
                       "AND Color(MeatColor,100,OR,16777215)",
                       Close};
    QTest::newRow("cap questions") << Answers{{kqHatFungi, "10"},       {kqHatSize, " 60 "},
                                              {kqHatSubType, "1000"},   {kqLinedHat, "01"},
                                              {kqScaledHat, "10"},      {kqDottedHat, "01"},
                                              {kqHatSubGrowth, "0010"}, {kqHatSubDensity, "001"},
                                              {kqFootRing, "10"},       {kqFootSize, "12"},
                                              {kqHatColor, "255"},      {kqFootColor, "0"}}
                                   << QStringList{Open,
                                                  Complete,
                                                  "Num(HatFungi = 0)",
                                                  "AND Num(BodySizeMinimum <= 60)",
                                                  "AND Num(BodySizeMaximum >= 60)",
                                                  "AND Num(HatSubType = 0)",
                                                  "AND Num(LinedHat <> 0)",
                                                  "AND Num(ScaledHat <> 3)",
                                                  "AND Num(DottedHat <> 0)",
                                                  "AND Pos(HatSubGrowth,3 > 0)",
                                                  "AND Num(HatSubDensity = 2)",
                                                  "AND Num(FootRing <> 3)",
                                                  "AND Num(FootSizeMinimum <= 12)",
                                                  "AND Num(FootSizeMaximum >= 12)",
                                                  "AND Color(BodyColor,100,OR,255)",
                                                  "AND Color(FootColor,100,OR,0)",
                                                  Close};
    QTest::newRow("pores use the gill fields")
        << Answers{{kqHatSubGrowth2, "0001"}, {kqHatSubDensity2, "100"}}
        << QStringList{Open, Complete, "Pos(HatSubGrowth,4 > 0)", "AND Num(HatSubDensity = 0)", Close};
    QTest::newRow("fruit body width then height, not swapped")
        << Answers{{kqBodySize, " 40 , 25"}, {kqBodyColor, "1234"}}
        << QStringList{Open,
                       Complete,
                       "Num(BodySizeMinimum <= 40)",
                       "AND Num(BodySizeMaximum >= 40)",
                       "AND Num(BodyHeightMinimum <= 25)",
                       "AND Num(BodyHeightMaximum >= 25)",
                       "AND Color(BodyColor,100,OR,1234)",
                       Close};
    QTest::newRow("smell and taste keep their exact texts")
        << Answers{{kqSmell, "10"}, {kqTaste, "01"}, {kqVisibleMeatJuice, "10"}, {kqMeatJuiceColor, "65280"}}
        << QStringList{Open,
                       Complete,
                       "Str(Smell = \"Mild\") or Str(Smell = \"Okänd\")",
                       "AND Str(Taste <> \"Mild\")",
                       "AND Num(VisibleMeatJuice <> 3)",
                       "AND Color(MeatJuiceColor,100,OR,65280)",
                       Close};
    QTest::newRow("mild taste names the taste field in both terms")
        << Answers{{kqTaste, "10"}}
        << QStringList{Open, Complete, "Str(Taste = \"Mild\") or Str(Taste = \"Okänd\")", Close};
    QTest::newRow("spores: 12 , 8 is width 8 and height 12")
        << Answers{{kqSporeProps, "010000000100000001"}, {kqSporeSize, "12 , 8"}, {kqSporeColor, "8421504"}}
        << QStringList{Open,
                       Complete,
                       "(",
                       "Pos(SporeProps,2 > 0)",
                       "OR Pos(SporeProps,10 > 0)",
                       "OR Pos(SporeProps,18 > 0)",
                       ")",
                       "AND Num(SporeWidthMin <= 8)",
                       "AND Num(SporeWidthMax >= 8)",
                       "AND Num(SporeHeightMin <= 12)",
                       "AND Num(SporeHeightMax >= 12)",
                       "AND Color(SporeColor,100,OR,8421504)",
                       Close};
    QTest::newRow("headers, empty options and no colour add nothing")
        << Answers{{kqHeader1, "*"}, {kqHabitat, "000000000000000"}, {kqMeatColor, "-1"}, {kqHatFungi, "01"}}
        << QStringList{Open, Complete, "Num(HatFungi = 1)", Close};
}

void TestKeySelection::lines() {
    QFETCH(Answers, answers);
    QFETCH(QStringList, expected);
    const TKeySelectionResult result = BuildKeySelection(AnswerList(answers), 0);
    QCOMPARE(result.Error, QString());
    QCOMPARE(result.Lines, expected);
}

void TestKeySelection::sizes_data() {
    QTest::addColumn<int>("question");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const int cap = kqHatSize, foot = kqFootSize, body = kqBodySize, spore = kqSporeSize;
    QTest::newRow("cap 1") << cap << "1" << true;
    QTest::newRow("cap 800") << cap << "800" << true;
    QTest::newRow("cap 0") << cap << "0" << false;
    QTest::newRow("cap 801") << cap << "801" << false;
    QTest::newRow("cap with a sign") << cap << "+50" << false;
    QTest::newRow("cap hexadecimal") << cap << "$20" << false;
    QTest::newRow("cap with a unit") << cap << "50 mm" << false;
    QTest::newRow("cap only blanks") << cap << "   " << false;
    QTest::newRow("cap with leading zeros") << cap << "0000000060" << true;
    QTest::newRow("cap beyond any integer") << cap << "99999999999999999999" << false;
    QTest::newRow("foot 200") << foot << "200" << true;
    QTest::newRow("foot 201") << foot << "201" << false;
    QTest::newRow("foot decimal comma") << foot << "1,5" << false;
    QTest::newRow("body 1000,1") << body << "1000,1" << true;
    QTest::newRow("body 1001,1") << body << "1001,1" << false;
    QTest::newRow("body without comma") << body << "12" << false;
    QTest::newRow("body empty height") << body << "12," << false;
    QTest::newRow("spore 1000,1000") << spore << "1000, 1000" << true;
    QTest::newRow("spore 0,5") << spore << "0,5" << false;
    QTest::newRow("spore alone") << spore << "12" << false;
    QTest::newRow("spore negative") << spore << "-3,5" << false;
}

void TestKeySelection::sizes() {
    QFETCH(int, question);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    static const QMap<int, QString> messages{
        {kqHatSize, "Ogiltig eller orimlig hattstorlek."},
        {kqFootSize, "Ogiltig eller orimlig fottjocklek."},
        {kqBodySize,
         "Ogiltig eller orimlig bredd/höjd på fruktkropp. Skriv bredden och höjden uttryckt i hela "
         "millimeter med ett kommatecken mellan."},
        {kqSporeSize,
         "Ogiltig eller orimlig bredd/höjd på sporerna. Skriv bredden och höjden uttryckt i hela "
         "mikrometer med ett kommatecken mellan."}};
    // An answer before the size is in the chain; on a refusal no line is handed out.
    const TKeySelectionResult result = BuildKeySelection(AnswerList({{kqSeason, "000010000000"}, {question, text}}), 0);
    if (accepted) {
        QVERIFY2(result.Ok(), qPrintable(result.Error));
        QVERIFY(result.Lines.size() > 6);
    } else {
        QCOMPARE(result.Error, messages[question]);
        QCOMPARE(result.ErrorQuestion, question);
        QVERIFY(result.Lines.isEmpty());
    }
}

void TestKeySelection::questionsNotInForceAddNothing() {
    // Cap questions answered while "Ja" was chosen stay stored but add nothing after "Nej".
    Answers stored{{kqHatFungi, "01"},  {kqHatSize, "50"},     {kqHatSubType, "1000"}, {kqHatSubGrowth, "1000"},
                   {kqHatColor, "255"}, {kqBodySize, "20,30"}, {kqMeatJuiceColor, "5"}};
    const QStringList inForce = KeyAnswersInForce(AnswerList(stored));
    QCOMPARE(inForce[kqHatSize], QString());
    QCOMPARE(inForce[kqHatSubGrowth], QString());
    QCOMPARE(inForce[kqHatColor], QString());
    QCOMPARE(inForce[kqMeatJuiceColor], QString());
    QCOMPARE(inForce[kqBodySize], QString("20,30"));
    QCOMPARE(BuildKeySelection(inForce, 0).Lines,
             QStringList({Open, Complete, "Num(HatFungi = 1)", "AND Num(BodySizeMinimum <= 20)",
                          "AND Num(BodySizeMaximum >= 20)", "AND Num(BodyHeightMinimum <= 30)",
                          "AND Num(BodyHeightMaximum >= 30)", Close}));
    // Gills and pores follow the kind of the underside.
    QVERIFY(KeyTagActive(14, AnswerList({{kqHatFungi, "10"}, {kqHatSubType, "1000"}})));
    QVERIFY(!KeyTagActive(15, AnswerList({{kqHatFungi, "10"}, {kqHatSubType, "1000"}})));
    QVERIFY(KeyTagActive(15, AnswerList({{kqHatFungi, "10"}, {kqHatSubType, "0100"}})));
    QVERIFY(!KeyTagActive(14, AnswerList({{kqHatFungi, "01"}, {kqHatSubType, "1000"}})));
    QVERIFY(KeyTagActive(13, AnswerList({{kqVisibleMeatJuice, "10"}})));
    QVERIFY(!KeyTagActive(11, AnswerList({})));
    QVERIFY(!KeyTagActive(12, AnswerList({})));

    // Gill answers left from before the underside was changed to pores add nothing: only the
    // pore questions select (both kinds write the same fields).
    Answers pores{{kqHatFungi, "10"},       {kqHatSubType, "0100"},    {kqHatSubGrowth, "1000"},
                  {kqHatSubDensity, "100"}, {kqHatSubGrowth2, "0010"}, {kqHatSubDensity2, "001"}};
    QVERIFY(!KeyTagActive(14, AnswerList(pores)));
    const QStringList poresInForce = KeyAnswersInForce(AnswerList(pores));
    QCOMPARE(poresInForce[kqHatSubGrowth], QString());
    QCOMPARE(poresInForce[kqHatSubDensity], QString());
    QCOMPARE(BuildKeySelection(poresInForce, 0).Lines,
             QStringList({Open, Complete, "Num(HatFungi = 0)", "AND Num(HatSubType = 1)", "AND Pos(HatSubGrowth,3 > 0)",
                          "AND Num(HatSubDensity = 2)", Close}));
    // And the other way round: pore answers add nothing under gills.
    pores[kqHatSubType] = "1000";
    QCOMPARE(BuildKeySelection(KeyAnswersInForce(AnswerList(pores)), 0).Lines,
             QStringList({Open, Complete, "Num(HatFungi = 0)", "AND Num(HatSubType = 0)", "AND Pos(HatSubGrowth,1 > 0)",
                          "AND Num(HatSubDensity = 0)", Close}));
}

void TestKeySelection::mildnessSelectsInsideTheChain_data() {
    QTest::addColumn<int>("hatFungi");
    QTest::addColumn<QString>("smell");
    QTest::addColumn<QString>("taste");
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("selected");
    QTest::newRow("cap, mild, bitter") << 0 << "Mild"
                                       << "Bitter"
                                       << "CPLD" << true;
    QTest::newRow("cap, unknown smell") << 0 << "Okänd"
                                        << "Skarp"
                                        << "CPLD" << true;
    QTest::newRow("cap, strong smell") << 0 << "Anis"
                                       << "Bitter"
                                       << "CPLD" << false;
    QTest::newRow("cap, mild taste") << 0 << "Mild"
                                     << "Mild"
                                     << "CPLD" << false;
    // The second mild term must not rescue an earlier failure in the chain.
    QTest::newRow("no cap but unknown smell") << 1 << "Okänd"
                                              << "Bitter"
                                              << "CPLD" << false;
    QTest::newRow("incomplete description") << 0 << "Mild"
                                            << "Bitter"
                                            << "" << false;
}

void TestKeySelection::mildnessSelectsInsideTheChain() {
    QFETCH(int, hatFungi);
    QFETCH(QString, smell);
    QFETCH(QString, taste);
    QFETCH(QString, data);
    QFETCH(bool, selected);
    const TKeySelectionResult result =
        BuildKeySelection(AnswerList({{kqHatFungi, "10"}, {kqSmell, "10"}, {kqTaste, "01"}}), 0);
    TSelExpression expression(result.Lines);
    SpeciesRecord record({{"FungiData", data}, {"HatFungi", hatFungi}, {"Smell", smell}, {"Taste", taste}});
    QCOMPARE(expression.Match(record), selected);
    // Nothing answered: every complete species and only those.
    TSelExpression all(BuildKeySelection({}, 0).Lines);
    QCOMPARE(all.Match(record), data == "CPLD");
}

void TestKeySelection::tolerance_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("number");
    QTest::newRow("0") << 0 << 100;
    QTest::newRow("1") << 1 << 80;
    QTest::newRow("2") << 2 << 60;
    QTest::newRow("3") << 3 << 40;
    QTest::newRow("4") << 4 << 20;
}

void TestKeySelection::tolerance() {
    QFETCH(int, level);
    QFETCH(int, number);
    QCOMPARE(BuildKeySelection(AnswerList({{kqSporeColor, "42"}}), level).Lines[2],
             QString("Color(SporeColor,%1,OR,42)").arg(number));
}

// The content layer is one visual library, so this test links it as the screens do; it makes no widget.
QTEST_MAIN(TestKeySelection)
#include "tst_keyselection.moc"
