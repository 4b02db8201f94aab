// The species catalogue shipped with the program: the tables the build generates, the key
// over them, the drawn main pictures, and the rule that a build never replaces a user's files.
#include <QtTest>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <algorithm>

#include "content/KeySelection.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "core/unitMain.h"
#include "platform/ClientDataSet.h"
#include "support/TestSupport.h"

namespace {

QString BuildDir() { return qEnvironmentVariable("MYKO_BUILD_DIR", QDir::currentPath()); }
QString Staging() { return BuildDir() + "/catalogue"; }
QString Generator() { return BuildDir() + "/tools/gencatalogue"; }
QString SourceFolder() { return testsupport::SourceDir() + "/data/catalogue"; }

using Record = QHash<QString, QVariant>;

// Every record of a table file, field by field.
QList<Record> ReadTable(const QString& path, TFieldDefs* defs = nullptr) {
    TClientDataSet table;
    table.LoadFromFile(path);
    if (defs) *defs = table.FieldDefs();
    QList<Record> records;
    for (table.First(); !table.Eof(); table.Next()) {
        Record r;
        for (int i = 0; i < table.FieldCount(); ++i) r.insert(table.Fields(i)->FieldName(), table.Fields(i)->Value());
        records << r;
    }
    table.Close();
    return records;
}

QString Str(const Record& r, const char* field) { return r.value(QString::fromLatin1(field)).toString(); }
int Int(const Record& r, const char* field) { return r.value(QString::fromLatin1(field)).toInt(); }

struct Run {
    int ExitCode = -1;
    QString Errors;
};

Run RunGenerator(const QStringList& args) {
    QProcess process;
    process.start(Generator(), args);
    process.waitForFinished(-1);
    return Run{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
               QString::fromUtf8(process.readAllStandardError())};
}

void CopyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files)) QFile::copy(from + "/" + name, to + "/" + name);
}

QMap<QString, QByteArray> FolderBytes(const QString& folder) {
    QMap<QString, QByteArray> bytes;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        bytes.insert(QDir(folder).relativeFilePath(file), testsupport::ReadBytes(file));
    }
    return bytes;
}

// The option (1-based) of the highest digit of a level string.
int Peak(const QString& levels) {
    int best = 0;
    for (int i = 1; i < levels.size(); ++i)
        if (levels[i] > levels[best]) best = i;
    return best + 1;
}

int FirstFlag(const QString& flags, int count) {
    for (int i = 0; i < std::min<int>(count, flags.size()); ++i)
        if (flags[i] == '1') return i + 1;
    return 0;
}

// One option of a question chosen: "0"/"1" per option (option counted from 1).
QString OneOf(int count, int option) {
    QString answer(count, QLatin1Char('0'));
    if (option >= 1 && option <= count) answer[option - 1] = QLatin1Char('1');
    return answer;
}
// A four-valued property (0 Ja, 1 Ofta, 2 Ibland, 3 Nej) answered "Ja" unless it is "Nej".
QString FourValued(int value) { return value < 3 ? QStringLiteral("10") : QStringLiteral("01"); }
QString Mid(const Record& s, const char* min, const char* max) {
    return QString::number(std::max(1, (Int(s, min) + Int(s, max)) / 2));
}

// The answers a finder gives to the key from the species' own description. The full set adds
// the properties beyond the ones every finder sees at once.
QStringList AnswerFromDescription(const Record& s, bool full) {
    QStringList a(KeyQuestionCount);
    const bool cap = Int(s, "HatFungi") == 0;
    a[kqHatFungi] = cap ? "10" : "01";
    a[kqHabitat] = OneOf(15, FirstFlag(Str(s, "Habitat"), 15));
    a[kqGrowthMethod] = OneOf(6, FirstFlag(Str(s, "GrowthMethod"), 6));
    a[kqSeason] = OneOf(12, Peak(Str(s, "Season")));
    a[kqOccurence] = OneOf(8, Peak(Str(s, "Occurence")));
    if (full) a[kqGroupedGrowth] = FourValued(Int(s, "GroupedGrowth"));
    const int type = Int(s, "HatSubType");
    if (cap) {
        a[kqHatSize] = Mid(s, "BodySizeMinimum", "BodySizeMaximum");
        a[kqHatSubType] = OneOf(4, type + 1);
        if (full) {
            a[kqLinedHat] = FourValued(Int(s, "LinedHat"));
            a[kqScaledHat] = FourValued(Int(s, "ScaledHat"));
            a[kqDottedHat] = FourValued(Int(s, "DottedHat"));
            const int growth = FirstFlag(Str(s, "HatSubGrowth"), 4);
            const int density = Int(s, "HatSubDensity") + 1;
            if (type == 0) {
                a[kqHatSubGrowth] = growth > 0 ? OneOf(4, growth) : QString();
                a[kqHatSubDensity] = OneOf(3, density);
            } else if (type == 1) {
                a[kqHatSubGrowth2] = growth > 0 ? OneOf(4, growth) : QString();
                a[kqHatSubDensity2] = OneOf(3, density);
            }
            a[kqFootRing] = FourValued(Int(s, "FootRing"));
            a[kqFootSize] = Mid(s, "FootSizeMinimum", "FootSizeMaximum");
        }
    } else {
        a[kqBodySize] = Mid(s, "BodySizeMinimum", "BodySizeMaximum") + "," + Mid(s, "BodyHeightMinimum", "BodyHeightMaximum");
    }
    a[kqSmell] = Str(s, "Smell") == "Mild" ? "10" : "01";
    a[kqTaste] = Str(s, "Taste") == "Mild" ? "10" : "01";
    if (full) {
        a[kqVisibleMeatJuice] = FourValued(Int(s, "VisibleMeatJuice"));
        a[kqSporeSize] = Mid(s, "SporeWidthMin", "SporeWidthMax") + "," + Mid(s, "SporeHeightMin", "SporeHeightMax");
        a[cap ? kqHatColor : kqBodyColor] = Str(s, "BodyColor").section('|', 0, 0);
    }
    return a;
}

// The selection the key makes of those answers.
QStringList KeyLinesFromDescription(const Record& s, bool full) {
    const TKeySelectionResult result = BuildKeySelection(KeyAnswersInForce(AnswerFromDescription(s, full)), 0);
    return result.Ok() ? result.Lines : QStringList{result.Error};
}

bool IsFlags(const QString& text, int count) {
    return text.size() == count && std::all_of(text.begin(), text.end(), [](QChar c) { return c == '0' || c == '1'; });
}
bool IsDigits(const QString& text, int count) {
    return text.size() == count && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}
bool IsColourList(const QString& text) {
    if (text.isEmpty()) return false;
    for (const QString& piece : text.split('|')) {
        bool ok = false;
        const uint v = piece.toUInt(&ok);
        if (!ok || v > 0xFFFFFF) return false;
    }
    return true;
}

// A complete, valid species for the generator's fault cases.
QJsonObject GoodSpecies() {
    return QJsonDocument::fromJson(R"({"Nr": 999999, "Latin": "Testus probatus", "Swedish": "Provsvamp",
        "Food": "Oätlig", "Cap": "Ja", "Size": [20, 40], "Color": ["brun"], "Underside": "Skivor",
        "UndersideGrowth": ["Fria"], "Density": "Täta", "UndersideColor": ["vit"], "Ring": "Nej",
        "Foot": [3, 6], "FootColor": ["vit"], "MeatColor": ["vit"], "SporeColor": ["vit"],
        "Spores": [3, 4, 5, 6], "SporeProps": ["Släta"], "Regions": "10000000", "Season": "000000010000",
        "Habitat": ["Annat"], "Substrate": ["Markväxande"], "Text": ["Provtext."]})")
        .object();
}

}  // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tablesHaveTheDesignedFields_data();
    void tablesHaveTheDesignedFields();
    void everySpeciesIsWellFormed();
    void completeSpeciesAnswerEveryKeyQuestion();
    void mustHaveSpecies_data();
    void mustHaveSpecies();
    void lookAlikesResolveBothWays();
    void everyDeadlySpeciesNamesTheEdibleOnesItPassesFor();
    void textsWarnAndMarkPoison();
    void speciesInfoTextsWarn_data();
    void speciesInfoTextsWarn();
    void keysAreStable_data();
    void keysAreStable();
    void everyCompleteSpeciesIdentifiesItself();
    void illustrations();
    void illustrationsArePictureRecords();
    void installKeepsExistingFiles();
    void installFillsAnEmptyProgramFolderOnce();
    void dataModuleLoadsTheInstalledCatalogueAsItIs();
    void generatorRefusesFaultySource_data();
    void generatorRefusesFaultySource();
    void generatorAcceptsTheFaultFixture();

private:
    QList<Record> m_fungi;
    QHash<QString, Record> m_byKey;
    QHash<QString, Record> m_byLatin;
};

void TestCatalogue::initTestCase() {
    QVERIFY2(QFileInfo::exists(Staging() + "/Db/Fungi.dat"), "the build has not generated the catalogue");
    m_fungi = ReadTable(Staging() + "/Db/Fungi.dat");
    for (const Record& r : m_fungi) {
        m_byKey.insert(Str(r, "UKey"), r);
        m_byLatin.insert(Str(r, "LatinName"), r);
    }
}

void TestCatalogue::tablesHaveTheDesignedFields_data() {
    QTest::addColumn<QString>("table");
    for (const char* t : {"cdsFungi", "cdsSwedishNames", "cdsLatinNames", "cdsFungiTexts", "cdsFungiMixups",
                          "cdsFungiGroups", "cdsFungiPics"})
        QTest::newRow(t) << QString::fromLatin1(t);
}

// The data module loads the files as they stand: no migration at the first start.
void TestCatalogue::tablesHaveTheDesignedFields() {
    QFETCH(QString, table);
    TFieldDefs defs;
    const QList<Record> records = ReadTable(Staging() + "/Db/" + table.mid(3) + ".dat", &defs);
    QCOMPARE(defs, TDM::FindTableInfo(table)->Fields);
    QVERIFY(!records.isEmpty());
}

void TestCatalogue::everySpeciesIsWellFormed() {
    QStringList faults;
    QSet<QString> keys, latin, swedish;
    QSet<QString> groups;
    for (const Record& g : ReadTable(Staging() + "/Db/FungiGroups.dat")) groups.insert(Str(g, "FungiGroup"));
    int complete = 0, inProgress = 0, notCompleted = 0;
    for (const Record& s : m_fungi) {
        const QString name = Str(s, "LatinName");
        auto fault = [&](const QString& what) { faults << name + ": " + what; };
        const QString key = Str(s, "UKey");
        if (key.size() != 18 || !key.startsWith("020")) fault("key " + key);
        if (keys.contains(key)) fault("key used twice");
        if (latin.contains(name)) fault("Latin name used twice");
        if (!Str(s, "SwedishName").isEmpty() && swedish.contains(Str(s, "SwedishName"))) fault("Swedish name used twice");
        keys.insert(key);
        latin.insert(name);
        swedish.insert(Str(s, "SwedishName"));
        if (!groups.contains(Str(s, "FungiGroup"))) fault("group " + Str(s, "FungiGroup"));
        const QString state = Str(s, "FungiData");
        complete += state == "CPLD";
        inProgress += state == "CPNG";
        notCompleted += state == "UNCP";
        if (state != "CPLD" && state != "CPNG" && state != "UNCP") fault("state " + state);
        if (state == "UNCP") continue;

        // A description in progress may leave an encoded field empty: no data yet.
        auto encoded = [&](const char* field, bool ok) {
            if (!ok && !(state == "CPNG" && Str(s, field).isEmpty())) fault(QString("%1 \"%2\"").arg(field, Str(s, field)));
        };
        encoded("Season", IsDigits(Str(s, "Season"), 12));
        encoded("Occurence", IsDigits(Str(s, "Occurence"), 8));
        encoded("Habitat", IsFlags(Str(s, "Habitat"), 15));
        encoded("GrowthMethod", IsFlags(Str(s, "GrowthMethod"), 6));
        encoded("HatSubGrowth", IsFlags(Str(s, "HatSubGrowth"), 5));
        encoded("SporeProps", IsFlags(Str(s, "SporeProps"), 18));
        for (const char* f : {"FoodValue1", "FoodValue2"})
            if (Int(s, f) < 0 || Int(s, f) > 5) fault(f);
        for (const char* f : {"HatFungi", "CookingRequired"})
            if (Int(s, f) < 0 || Int(s, f) > 1) fault(f);
        for (const char* f : {"ScaledHat", "DottedHat", "LinedHat", "GroupedGrowth", "FootRing", "VisibleMeatJuice"})
            if (Int(s, f) < 0 || Int(s, f) > 3) fault(f);
        const bool cap = Int(s, "HatFungi") == 0;
        if (cap ? (Int(s, "HatSubType") < 0 || Int(s, "HatSubType") > 3) : Int(s, "HatSubType") != -1)
            fault("underside");
        if (cap && Int(s, "HatSubType") <= 1 && (Int(s, "HatSubDensity") < 0 || Int(s, "HatSubDensity") > 2))
            fault("density");
        for (const char* f : {"BodyColor", "HatSubColor", "FootColor", "MeatColor", "MeatJuiceColor", "SporeColor"})
            if (!Str(s, f).isEmpty() && !IsColourList(Str(s, f))) fault(QString(f) + " " + Str(s, f));
        for (const auto& [lo, hi] : {std::pair{"BodySizeMinimum", "BodySizeMaximum"},
                                     std::pair{"BodyHeightMinimum", "BodyHeightMaximum"},
                                     std::pair{"FootSizeMinimum", "FootSizeMaximum"},
                                     std::pair{"SporeWidthMin", "SporeWidthMax"},
                                     std::pair{"SporeHeightMin", "SporeHeightMax"}})
            if (Int(s, lo) > Int(s, hi)) fault(QString("%1 above %2").arg(lo, hi));
        // Parboiling only makes a species worth eating: it never is the value after it.
        if (Int(s, "CookingRequired") == 0 && (Int(s, "FoodValue1") < 3 || Int(s, "FoodValue2") >= Int(s, "FoodValue1")))
            fault("food value with parboiling");
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    QVERIFY2(m_fungi.size() >= 100, qPrintable(QString::number(m_fungi.size())));
    QVERIFY2(complete >= 80, qPrintable(QString::number(complete)));
    QCOMPARE(inProgress, 1);
    QVERIFY(notCompleted >= 1);
}

void TestCatalogue::completeSpeciesAnswerEveryKeyQuestion() {
    QStringList faults;
    for (const Record& s : m_fungi) {
        if (Str(s, "FungiData") != "CPLD") continue;
        const QString name = Str(s, "LatinName");
        auto need = [&](bool ok, const char* what) {
            if (!ok) faults << name + ": " + what;
        };
        const bool cap = Int(s, "HatFungi") == 0;
        need(Str(s, "Habitat").contains('1'), "habitat");
        need(Str(s, "GrowthMethod").contains('1'), "substrate");
        need(Str(s, "Season").contains(QRegularExpression("[1-9]")), "season");
        need(Str(s, "Occurence").contains(QRegularExpression("[1-9]")), "regions");
        need(!Str(s, "MeatColor").isEmpty(), "flesh colour");
        need(!Str(s, "BodyColor").isEmpty(), "cap or fruit-body colour");
        need(Int(s, "BodySizeMinimum") >= 1, "size");
        need(!Str(s, "Smell").isEmpty() && !Str(s, "Taste").isEmpty(), "smell and taste");
        need(Int(s, "VisibleMeatJuice") == 3 || !Str(s, "MeatJuiceColor").isEmpty(), "juice colour");
        need(Str(s, "SporeProps").contains('1'), "spore properties");
        need(Int(s, "SporeWidthMin") >= 1 && Int(s, "SporeHeightMin") >= Int(s, "SporeWidthMin"), "spore size");
        need(!Str(s, "SporeColor").isEmpty(), "spore colour");
        if (cap) {
            need(!Str(s, "HatSubColor").isEmpty(), "underside colour");
            need(!Str(s, "FootColor").isEmpty(), "foot colour");
            need(Int(s, "FootSizeMaximum") >= 1, "foot thickness");
            if (Int(s, "HatSubType") <= 1) need(Str(s, "HatSubGrowth").left(4).contains('1'), "underside growth");
        } else {
            need(Int(s, "BodyHeightMinimum") >= 1, "height");
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::mustHaveSpecies_data() {
    QTest::addColumn<QString>("latin");
    QTest::addColumn<bool>("edible");
    for (const char* e : {"Cantharellus cibarius", "Craterellus tubaeformis", "Craterellus cornucopioides",
                          "Boletus edulis", "Hydnum repandum", "Leccinum scabrum", "Leccinum versipelle",
                          "Suillus luteus", "Suillus bovinus", "Lactarius deterrimus", "Macrolepiota procera",
                          "Coprinus comatus", "Sparassis crispa", "Agaricus campestris", "Morchella esculenta",
                          "Morchella elata"})
        QTest::newRow(e) << QString::fromLatin1(e) << true;
    for (const char* p : {"Amanita phalloides", "Amanita virosa", "Cortinarius rubellus", "Cortinarius orellanus",
                          "Galerina marginata", "Gyromitra esculenta", "Amanita muscaria", "Amanita pantherina",
                          "Paxillus involutus", "Tricholoma equestre", "Inocybe erubescens", "Entoloma sinuatum",
                          "Hypholoma fasciculare", "Clitocybe rivulosa"})
        QTest::newRow(p) << QString::fromLatin1(p) << false;
}

// The species a forager meets first are described, and every poisonous one is linked to an
// edible species it is taken for.
void TestCatalogue::mustHaveSpecies() {
    QFETCH(QString, latin);
    QFETCH(bool, edible);
    QVERIFY2(m_byLatin.contains(latin), "missing");
    const Record s = m_byLatin.value(latin);
    QCOMPARE(Str(s, "FungiData"), QString("CPLD"));
    QVERIFY(!Str(s, "SwedishName").isEmpty());
    if (edible) {
        QVERIFY(Int(s, "FoodValue1") >= 3);
        return;
    }
    QVERIFY(Int(s, "FoodValue1") <= 1);
    QStringList edibleLookAlikes;
    for (const Record& m : ReadTable(Staging() + "/Db/FungiMixups.dat"))
        if (Str(m, "MasterUKey") == Str(s, "UKey") && Int(m_byKey.value(Str(m, "MixupUKey")), "FoodValue1") >= 3)
            edibleLookAlikes << Str(m, "MixupName");
    QVERIFY2(!edibleLookAlikes.isEmpty(), "no edible look-alike");
}

void TestCatalogue::lookAlikesResolveBothWays() {
    QStringList faults;
    QSet<QString> pairs, rowKeys;
    const QList<Record> mixups = ReadTable(Staging() + "/Db/FungiMixups.dat");
    for (const Record& m : mixups) {
        const QString from = Str(m, "MasterUKey"), to = Str(m, "MixupUKey");
        const QString where = Str(m_byKey.value(from), "LatinName") + " / " + Str(m, "MixupName");
        if (!m_byKey.contains(from) || !m_byKey.contains(to)) faults << where + ": key does not resolve";
        const Record target = m_byKey.value(to);
        const QString shown = Str(target, "SwedishName").isEmpty() ? Str(target, "LatinName") : Str(target, "SwedishName");
        if (Str(m, "MixupName") != shown) faults << where + ": name";
        if (Str(m, "DifferenceText").size() < 20) faults << where + ": no difference text";
        if (Str(m, "MixupEdible").isEmpty()) faults << where + ": edibility";
        if (rowKeys.contains(Str(m, "UKey"))) faults << where + ": row key used twice";
        rowKeys.insert(Str(m, "UKey"));
        pairs.insert(from + '>' + to);
    }
    for (const Record& m : mixups)
        if (!pairs.contains(Str(m, "MixupUKey") + '>' + Str(m, "MasterUKey"))) faults << Str(m, "MixupName") + ": one way only";
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    // The classic pair.
    QVERIFY(pairs.contains(Str(m_byLatin.value("Cantharellus cibarius"), "UKey") + '>' +
                           Str(m_byLatin.value("Hygrophoropsis aurantiaca"), "UKey")));
}

void TestCatalogue::everyDeadlySpeciesNamesTheEdibleOnesItPassesFor() {
    QSet<QString> linked;
    for (const Record& m : ReadTable(Staging() + "/Db/FungiMixups.dat"))
        if (Int(m_byKey.value(Str(m, "MixupUKey")), "FoodValue1") >= 3) linked.insert(Str(m, "MasterUKey"));
    QStringList missing;
    for (const Record& s : m_fungi)
        if (Str(s, "FungiData") != "UNCP" && Int(s, "FoodValue1") == 0 && !linked.contains(Str(s, "UKey")))
            missing << Str(s, "LatinName");
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

void TestCatalogue::textsWarnAndMarkPoison() {
    QHash<QString, QStringList> rows;
    for (const Record& t : ReadTable(Staging() + "/Db/FungiTexts.dat")) {
        QStringList& list = rows[Str(t, "MasterUKey")];
        if (Int(t, "RowNo") != list.size()) QFAIL(qPrintable("rows out of order for " + Str(t, "MasterUKey")));
        list << Str(t, "RowText");
    }
    QStringList faults;
    for (const Record& s : m_fungi) {
        if (Str(s, "FungiData") == "UNCP") continue;
        const QString text = rows.value(Str(s, "UKey")).join(' ');
        const QString name = Str(s, "LatinName");
        if (!text.contains("Ät aldrig en svamp enbart på grund av vad det här programmet säger")) faults << name + ": no warning";
        if (Int(s, "FoodValue1") == 0 && !text.startsWith("DÖDLIGT GIFTIG!")) faults << name + ": deadly, not marked";
        if (Int(s, "FoodValue1") == 1 && !text.startsWith("GIFTIG!")) faults << name + ": poisonous, not marked";
        if (Int(s, "CookingRequired") == 0 && !text.contains("förvällning")) faults << name + ": parboiling not told";
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::speciesInfoTextsWarn_data() {
    QTest::addColumn<QString>("label");
    for (const char* label : {"infocompleting", "infouncomplete", "infouncomplete_hidden"})
        QTest::newRow(label) << QString::fromLatin1(label);
}

// The species pages without a full description show an info text instead; it warns too.
void TestCatalogue::speciesInfoTextsWarn() {
    QFETCH(QString, label);
    SetProgramFolder(testsupport::ProgramDir());
    QStringList lines;
    SetInfoText(label, lines);
    SetProgramFolder(QString());
    QVERIFY(lines.join(' ').contains("Ät aldrig en svamp enbart på grund av vad det här programmet säger"));
}

void TestCatalogue::keysAreStable_data() {
    QTest::addColumn<QString>("latin");
    QTest::addColumn<QString>("key");
    // A species' key never changes: finds, pictures and notes of users point at it.
    QTest::newRow("kantarell") << "Cantharellus cibarius" << "020AAEEBMCFKEJAAAA";
    QTest::newRow("trattkantarell") << "Craterellus tubaeformis" << "020AAEEBMCFKEKAAAA";
}

void TestCatalogue::keysAreStable() {
    QFETCH(QString, latin);
    QFETCH(QString, key);
    QCOMPARE(Str(m_byLatin.value(latin), "UKey"), key);
}

void TestCatalogue::everyCompleteSpeciesIdentifiesItself() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(Staging() + "/Db/Fungi.dat", dir.filePath("Fungi.dat")));
    TExtClientDataSet table(nullptr, "cdsFungi");
    table.SetDatasetId("020");
    table.SetFilename(dir.filePath("Fungi.dat"));
    QStringList faults;
    for (bool full : {false, true}) {
        QList<int> counts;
        QString largest;
        for (const Record& s : m_fungi) {
            if (Str(s, "FungiData") != "CPLD") continue;
            table.SetSel(KeyLinesFromDescription(s, full));
            table.LoadData();
            if (!LocateUKey(&table, Str(s, "UKey")))
                faults << Str(s, "LatinName") + (full ? " (all answers)" : "") + ":\n  " + table.Sel().join("\n  ");
            if (counts.isEmpty() || table.RecordCount() > *std::max_element(counts.begin(), counts.end()))
                largest = Str(s, "LatinName");
            counts << table.RecordCount();
        }
        std::sort(counts.begin(), counts.end());
        const int most = counts.last(), median = counts[counts.size() / 2];
        qInfo("%s: %lld species, largest match count %d (%s), median %d", full ? "all answers" : "first answers",
              qlonglong(counts.size()), most, qPrintable(largest), median);
        // The key narrows the catalogue down to a handful of species to compare.
        QVERIFY2(most * 5 <= counts.size() && median * 10 <= counts.size(), qPrintable(largest));
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::illustrations() {
    QStringList faults;
    const int pictures = int(std::count_if(m_fungi.begin(), m_fungi.end(), [](const Record& r) { return r.value("HasPic").toBool(); }));
    QImage sheet(10 * 106, (pictures + 9) / 10 * 106, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int n = 0;
    for (const Record& s : m_fungi) {
        const QString file = Staging() + "/MainPics/MP" + Str(s, "UKey") + ".jpg";
        const bool hasPic = s.value("HasPic").toBool();
        if (hasPic != QFileInfo::exists(file)) faults << Str(s, "LatinName") + ": picture and HasPic disagree";
        if (!hasPic) continue;
        const QImage image(file);
        if (image.size() != QSize(211, 211)) {
            faults << Str(s, "LatinName") + ": not 211 x 211";
            continue;
        }
        // Deadly species carry a red band along the lower edge.
        const QColor band = image.pixelColor(4, 205);
        const bool red = band.red() > 160 && band.green() < 60 && band.blue() < 60;
        if (red != (Int(s, "FoodValue1") == 0)) faults << Str(s, "LatinName") + ": band";
        painter.drawImage(QRect((n % 10) * 106, (n / 10) * 106, 105, 105), image);
        // One edible, one deadly and one species without cap at full size, for review.
        for (const char* shown : {"Cantharellus cibarius", "Amanita phalloides", "Sparassis crispa"})
            if (Str(s, "LatinName") == shown)
                image.save(testsupport::ArtefactDir() + "/catalogue_" + QString(shown).replace(' ', '_') + ".png");
        ++n;
    }
    painter.end();
    sheet.save(testsupport::ArtefactDir() + "/catalogue_illustrations.png");
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

// Each illustration is the species' one picture record, with its picture, its thumbnail and
// the main-picture square in the middle.
void TestCatalogue::illustrationsArePictureRecords() {
    QStringList faults;
    QHash<QString, QList<Record>> bySpecies;
    for (const Record& p : ReadTable(Staging() + "/Db/FungiPics.dat")) bySpecies[Str(p, "MasterUKey")] << p;
    for (const Record& s : m_fungi) {
        const QString name = Str(s, "LatinName");
        const QList<Record> pics = bySpecies.take(Str(s, "UKey"));
        if (Int(s, "PicCount") != pics.size()) faults << name + ": PicCount";
        if (s.value("HasPic").toBool() != !pics.isEmpty()) faults << name + ": HasPic without a picture record";
        for (const Record& p : pics) {
            const QString key = Str(p, "UKey");
            if (!key.startsWith("02D") || key.size() != 18) faults << name + ": picture key " + key;
            if (Str(p, "PicType") != "APP" || Str(p, "Photographer") != "Mykotekshallen" ||
                !p.value("IsMainPic").toBool() || !p.value("MainPicSource").toBool())
                faults << name + ": picture record";
            const QImage picture(Staging() + "/FungiPics/Pic" + key + ".jpg");
            const QImage thumbnail(Staging() + "/FungiPicThumbs/Tn" + key + ".bmp");
            const QRect square(QPoint(Int(p, "MainPicX1"), Int(p, "MainPicY1")),
                               QPoint(Int(p, "MainPicX2") - 1, Int(p, "MainPicY2") - 1));
            if (picture.isNull() || thumbnail.isNull()) {
                faults << name + ": picture or thumbnail missing";
                continue;
            }
            if (std::max(thumbnail.width(), thumbnail.height()) != 90) faults << name + ": thumbnail not fitted to 90";
            if (square.width() != square.height() || square.width() != picture.height() ||
                !picture.rect().contains(square) || square.center().x() != picture.rect().center().x())
                faults << name + ": main-picture square";
        }
    }
    if (!bySpecies.isEmpty()) faults << "pictures of no species";
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    const Record kantarell = m_byLatin.value("Cantharellus cibarius");
    for (const Record& p : ReadTable(Staging() + "/Db/FungiPics.dat"))
        if (Str(p, "MasterUKey") == Str(kantarell, "UKey"))
            QImage(Staging() + "/FungiPics/Pic" + Str(p, "UKey") + ".jpg")
                .save(testsupport::ArtefactDir() + "/catalogue_picture_Cantharellus_cibarius.png");
}

// A program folder that has its own species table keeps it byte for byte, and gets no detail
// rows or pictures for species it does not hold.
void TestCatalogue::installKeepsExistingFiles() {
    QTemporaryDir program;
    const QString db = program.filePath("Data/Db");
    QDir().mkpath(db);
    const QString ownKey = Str(m_byLatin.value("Cantharellus cibarius"), "UKey");
    {
        TClientDataSet own;
        own.SetFieldDefs(TDM::FindTableInfo("cdsFungi")->Fields);
        own.CreateDataSet();
        own.Append();
        own.FieldByName("UKey")->SetAsString(ownKey);
        own.FieldByName("LatinName")->SetAsString("Cantharellus cibarius");
        own.FieldByName("SwedishName")->SetAsString("Min egen kantarell");
        own.FieldByName("HasPic")->SetAsBoolean(true);
        own.Post();
        own.SaveToFile(db + "/Fungi.dat");
        own.Close();
    }
    QVERIFY(testsupport::WriteBytes(db + "/FungiGroups.dat", "not touched"));
    const QMap<QString, QByteArray> before = FolderBytes(program.path());

    const Run run = RunGenerator({"install", Staging(), program.path()});
    QCOMPARE(run.ExitCode, 0);
    QMap<QString, QByteArray> after = FolderBytes(program.path());
    for (auto it = before.begin(); it != before.end(); ++it) QCOMPARE(after.value(it.key()), it.value());
    // Only the picture of the one species the user's table has, with its main picture.
    after.remove("Data/Db/Fungi.dat");
    after.remove("Data/Db/FungiGroups.dat");
    QCOMPARE(after.keys(), QStringList{"Data/Pics/MainPics/MP" + ownKey + ".jpg"});
}

void TestCatalogue::installFillsAnEmptyProgramFolderOnce() {
    QTemporaryDir program;
    QCOMPARE(RunGenerator({"install", Staging(), program.path()}).ExitCode, 0);
    const QMap<QString, QByteArray> first = FolderBytes(program.path());
    for (const char* t :
         {"Fungi", "SwedishNames", "LatinNames", "FungiTexts", "FungiMixups", "FungiGroups", "FungiPics"})
        QCOMPARE(first.value(QString("Data/Db/%1.dat").arg(t)), testsupport::ReadBytes(Staging() + "/Db/" + t + ".dat"));
    for (const char* folder : {"MainPics", "FungiPics", "FungiPicThumbs"}) {
        int pictures = 0;
        for (const QString& file : first.keys()) pictures += file.startsWith(QString("Data/Pics/%1/").arg(folder));
        QCOMPARE(pictures, int(QDir(Staging() + "/" + folder).entryList(QDir::Files).size()));
        QVERIFY(pictures > 0);
    }

    // The user completes species; the next build leaves the table as the user left it.
    QVERIFY(testsupport::WriteBytes(program.filePath("Data/Db/Fungi.dat"), "the user's own table"));
    QCOMPARE(RunGenerator({"install", Staging(), program.path()}).ExitCode, 0);
    QCOMPARE(testsupport::ReadBytes(program.filePath("Data/Db/Fungi.dat")), QByteArray("the user's own table"));
    QMap<QString, QByteArray> second = FolderBytes(program.path());
    second.remove("Data/Db/Fungi.dat");
    QMap<QString, QByteArray> expected = first;
    expected.remove("Data/Db/Fungi.dat");
    QCOMPARE(second, expected);
}

// The first start of the program takes the shipped tables as they are: no migration, no rewrite.
void TestCatalogue::dataModuleLoadsTheInstalledCatalogueAsItIs() {
    QTemporaryDir program;
    QCOMPARE(RunGenerator({"install", Staging(), program.path()}).ExitCode, 0);
    const QMap<QString, QByteArray> before = FolderBytes(program.filePath("Data/Db"));
    {
        TDM dm(program.path());
        QVERIFY2(dm.StartupErrors().isEmpty(), qPrintable(dm.StartupErrors().join('\n')));
        for (const char* t : {"cdsFungi", "cdsSwedishNames", "cdsLatinNames", "cdsFungiTexts", "cdsFungiMixups",
                              "cdsFungiGroups", "cdsFungiPics"}) {
            const TDM::TStartupResult result = dm.StartupResult(t);
            QVERIFY2(result.Outcome == TDM::TStartupOutcome::Loaded, t);
            QVERIFY2(result.Records > 0, t);
        }
        QCOMPARE(dm.StartupResult("cdsFungi").Records, int(m_fungi.size()));
    }
    const QMap<QString, QByteArray> after = FolderBytes(program.filePath("Data/Db"));
    for (auto it = before.begin(); it != before.end(); ++it) QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
}

void TestCatalogue::generatorRefusesFaultySource_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");  // JSON
    QTest::addColumn<QString>("message");
    QTest::newRow("name too wide") << "Swedish" << "\"Alldeles för långt svenskt namn på en svamp, över fyrtio\""
                                   << "longer than 40 characters";
    QTest::newRow("season of 11 months") << "Season" << "\"00000001000\"" << "Season must be 12 digits";
    QTest::newRow("regions of 9") << "Regions" << "\"100000000\"" << "Regions must be 8 digits";
    QTest::newRow("size min above max") << "Size" << "[50, 20]" << "Size [50, 20] must have";
    QTest::newRow("unknown colour") << "Color" << "[\"himmelsblå\"]" << "is not a colour of colours.json";
    QTest::newRow("unknown habitat") << "Habitat" << "[\"Granskog\"]" << "\"Granskog\" is not one of";
    QTest::newRow("misspelt field") << "Smel" << "\"Mild\"" << "unknown entry \"Smel\"";
    QTest::newRow("number taken") << "Nr" << "1" << "Nr 1 is taken by another species";
    QTest::newRow("Latin name taken") << "Latin" << "\"Cantharellus cibarius\"" << "the Latin name is used twice";
    QTest::newRow("missing spores") << "Spores" << "null" << "Spores is missing";
    QTest::newRow("unknown look-alike") << "*mixup" << "\"Amanita imaginaria\"" << "is not a species of the catalogue";
}

// A fault in the source stops the generator with a message that names the fault, and the
// staged tables stay as they were.
void TestCatalogue::generatorRefusesFaultySource() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString source = dir.filePath("source"), staging = dir.filePath("staging");
    CopyFolder(SourceFolder(), source);
    QJsonObject species = GoodSpecies();
    if (field == "*mixup") {
        QJsonArray mixups = QJsonDocument::fromJson(testsupport::ReadBytes(source + "/mixups.json")).array();
        mixups.append(QJsonObject{{"A", "Testus probatus"},
                                  {"B", QJsonDocument::fromJson("[" + value.toUtf8() + "]").array()[0]},
                                  {"Text", "En skillnad som är lång nog."}});
        QVERIFY(testsupport::WriteBytes(source + "/mixups.json", QJsonDocument(mixups).toJson()));
    } else {
        const QJsonValue v = QJsonDocument::fromJson("[" + value.toUtf8() + "]").array()[0];
        if (v.isNull()) species.remove(field);
        else species.insert(field, v);
    }
    QVERIFY(testsupport::WriteBytes(source + "/zz_prov.json",
                                    QJsonDocument(QJsonObject{{"Group", "Övriga"}, {"Species", QJsonArray{species}}}).toJson()));
    CopyFolder(Staging() + "/Db", staging + "/Db");
    const QMap<QString, QByteArray> before = FolderBytes(staging);

    const Run run = RunGenerator({"generate", source, staging});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Errors.contains(message), qPrintable(run.Errors));
    QCOMPARE(FolderBytes(staging), before);
}

// The fixture of the fault cases is sound in itself: without a fault it goes through.
void TestCatalogue::generatorAcceptsTheFaultFixture() {
    QTemporaryDir dir;
    const QString source = dir.filePath("source"), staging = dir.filePath("staging");
    CopyFolder(SourceFolder(), source);
    QVERIFY(testsupport::WriteBytes(source + "/zz_prov.json",
                                    QJsonDocument(QJsonObject{{"Group", "Övriga"}, {"Species", QJsonArray{GoodSpecies()}}}).toJson()));
    const Run run = RunGenerator({"generate", source, staging});
    QVERIFY2(run.ExitCode == 0, qPrintable(run.Errors));
    const QList<Record> fungi = ReadTable(staging + "/Db/Fungi.dat");
    QCOMPARE(fungi.size(), m_fungi.size() + 1);
}

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
