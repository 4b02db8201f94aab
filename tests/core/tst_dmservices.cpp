#include <QtTest>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <memory>

#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/Clock.h"
#include "support/TestSupport.h"

namespace {

using Values = QList<QPair<QString, QVariant>>;

// Appends a record through the visible table, as a screen does; gives its key.
QString Insert(TExtClientDataSet* table, const Values& values) {
    table->Append();
    const QString key = GetUKey(table);
    for (const auto& [field, value] : values) table->FieldByName(field)->SetValue(value);
    table->Post();
    return key;
}

void Edit(TExtClientDataSet* table, const QString& key, const Values& values) {
    QVERIFY(LocateUKey(table, key));
    table->Edit();
    for (const auto& [field, value] : values) table->FieldByName(field)->SetValue(value);
    table->Post();
}

void Delete(TExtClientDataSet* table, const QString& key) {
    QVERIFY(LocateUKey(table, key));
    table->Delete();
}

// A stored value, read past any selection or master link.
QVariant Stored(TExtClientDataSet* table, const QString& key, const QString& field) {
    TClientDataSet* internal = table->InternalDataSet();
    const int row = internal->FindRecordIndex(QStringLiteral("UKey"), key);
    return row < 0 ? QVariant() : internal->RecordValue(row, internal->FieldByName(field)->Index());
}

int StoredCount(TExtClientDataSet* table, const QString& masterKey) {
    TClientDataSet* internal = table->InternalDataSet();
    const int field = internal->FieldByName(QStringLiteral("MasterUKey"))->Index();
    int count = 0;
    for (int row = 0; row < internal->RecordCount(); ++row)
        if (internal->RecordValue(row, field).toString() == masterKey) ++count;
    return count;
}

// The records of a table file as its file holds them: key -> field -> value.
QHash<QString, QVariantMap> FileRecords(const QString& path) {
    QHash<QString, QVariantMap> out;
    TClientDataSet t;
    t.LoadFromFile(path);
    for (t.First(); !t.Eof(); t.Next()) {
        QVariantMap row;
        for (int i = 0; i < t.FieldCount(); ++i) row.insert(t.Fields(i)->FieldName(), t.Fields(i)->Value());
        out.insert(t.FieldByName(QStringLiteral("UKey"))->AsString(), row);
    }
    t.Close();
    return out;
}

// The database's change counter: every committed write of the file moves it on by one.
quint32 Writes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(24)) return 0;
    const QByteArray bytes = f.read(4);
    return bytes.size() == 4 ? qFromBigEndian<quint32>(bytes.constData()) : 0;
}

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("picture");
}

}  // namespace

class TestDMServices : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TDM> m_dm;
    TDMServices* s = nullptr;

    TDM* dm() { return m_dm.get(); }
    QString DbFile(const char* name) { return m_dm->DatabaseFolder() + QLatin1String(name); }
    void Reopen() {
        m_dm.reset();
        m_dm = std::make_unique<TDM>(m_dir->path());
        s = TDMServices::Install(m_dm.get());
    }
    int RefCount(const QString& contact) { return Stored(dm()->cdsContacts, contact, "RefCount").toInt(); }
    QString Contact(const QString& name) { return Insert(dm()->cdsContacts, {{"UserName", name}}); }
    QString Species(const QString& name, const Values& more = {}) {
        Values values{{"SwedishName", name}, {"LatinName", name + QStringLiteral(" latinus")}};
        values.append(more);
        return Insert(dm()->cdsFungi, values);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dm = std::make_unique<TDM>(m_dir->path());
        s = TDMServices::Install(m_dm.get());
        QVERIFY(s);
        QCOMPARE(TDMServices::Install(m_dm.get()), s);
        QCOMPARE(TDMServices::Of(m_dm.get()), s);
    }
    void cleanup() {
        m_dm.reset();
        m_dir.reset();
    }

    // ---- Quick selection ----

    void quickSelectionLines_data() {
        QTest::addColumn<QStringList>("flags");  // Complete, SwedishName, Edible, HasPicture as "1"/"0"
        QTest::addColumn<QString>("country");
        QTest::addColumn<QString>("season");
        QTest::addColumn<QString>("habitat");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("expected");
        const QString noRegion = "00000000", noSeason = "000000000000", noHabitat = "000000000000000";

        QTest::newRow("nothing chosen") << QStringList{"0", "0", "0", "0"} << noRegion << noSeason << noHabitat
                                        << QString() << QStringList{};
        QTest::newRow("every option") << QStringList{"1", "1", "1", "1"} << "10100001"
                                      << "000001110000"
                                      << "000010000000001"
                                      << "Sopp \"x\""
                                      << QStringList{"(",
                                                     "Str(FungiData = \"CPLD\")",
                                                     "AND Str(SwedishName <> \"\")",
                                                     "AND Num(FoodValue1 >= 3)",
                                                     "AND Num(PicCount > 0)",
                                                     "AND (",
                                                     "Pos(Occurence,1 > 0)",
                                                     "OR Pos(Occurence,3 > 0)",
                                                     "OR Pos(Occurence,8 > 0)",
                                                     ")",
                                                     "AND (",
                                                     "Pos(Season,6 > 0)",
                                                     "OR Pos(Season,7 > 0)",
                                                     "OR Pos(Season,8 > 0)",
                                                     ")",
                                                     "AND (",
                                                     "Pos(Habitat,1 > 0)",
                                                     "OR Pos(Habitat,5 > 0)",
                                                     "OR Pos(Habitat,15 > 0)",
                                                     ")",
                                                     "AND Str(FungiGroup = \"Sopp \"\"x\"\"\")",
                                                     ")"};
        QTest::newRow("a group first stands alone")
            << QStringList{"0", "0", "0", "0"} << "01000000" << noSeason << noHabitat << QString()
            << QStringList{"(", "(", "Pos(Occurence,2 > 0)", ")", ")"};
        QTest::newRow("term after a group")
            << QStringList{"0", "0", "0", "0"} << noRegion << "100000000001" << noHabitat << "Kremlor"
            << QStringList{
                   "(", "(", "Pos(Season,1 > 0)", "OR Pos(Season,12 > 0)", ")", "AND Str(FungiGroup = \"Kremlor\")",
                   ")"};
        QTest::newRow("coniferous forest widens to its trees")
            << QStringList{"0", "0", "0", "0"} << noRegion << noSeason << "100000000000000" << QString()
            << QStringList{"(",
                           "(",
                           "Pos(Habitat,1 > 0)",
                           "OR Pos(Habitat,4 > 0)",
                           "OR Pos(Habitat,5 > 0)",
                           "OR Pos(Habitat,6 > 0)",
                           ")",
                           ")"};
        QTest::newRow("deciduous forest widens to its trees")
            << QStringList{"0", "0", "0", "0"} << noRegion << noSeason << "010000000000000" << QString()
            << QStringList{"(",
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
                           ")"};
        QTest::newRow("a tree adds its forest")
            << QStringList{"0", "0", "0", "0"} << noRegion << noSeason << "000010001000000" << QString()
            << QStringList{"(",
                           "(",
                           "Pos(Habitat,1 > 0)",
                           "OR Pos(Habitat,2 > 0)",
                           "OR Pos(Habitat,5 > 0)",
                           "OR Pos(Habitat,9 > 0)",
                           ")",
                           ")"};
        QTest::newRow("strings of another length hold no data")
            << QStringList{"0", "0", "1", "0"} << "0100"
            << "000000000000001"
            << "1" << QString() << QStringList{"(", "Num(FoodValue1 >= 3)", ")"};
        QTest::newRow("wrong lengths alone select all") << QStringList{"0", "0", "0", "0"} << "111111111"
                                                        << "1"
                                                        << "11111111111111" << QString() << QStringList{};
    }
    void quickSelectionLines() {
        QFETCH(QStringList, flags);
        QFETCH(QString, country);
        QFETCH(QString, season);
        QFETCH(QString, habitat);
        QFETCH(QString, group);
        QFETCH(QStringList, expected);
        TQuickSelectionHandler h;
        h.Complete = flags[0] == "1";
        h.SwedishName = flags[1] == "1";
        h.Edible = flags[2] == "1";
        h.HasPicture = flags[3] == "1";
        h.CountryPart = country;
        h.Season = season;
        h.Habitat = habitat;
        h.FungiGroup = group;
        QCOMPARE(TDMServices::QuickSelectionLines(h), expected);
    }

    void buildQuickSelectionReloadsSpecies() {
        Species("Karljohan", {{"FungiData", "CPLD"}, {"FoodValue1", 4}, {"Season", "000000011100"}});
        Species("Flugsvamp", {{"FungiData", "CPLD"}, {"FoodValue1", 0}, {"Season", "000000011100"}});
        Species("Kantarell", {{"FoodValue1", 5}});
        Species("Citronskivling", {{"FungiData", "CPLD"}, {"FungiGroup", "Ska\"lad"}});
        int updates = 0;
        QStringList cursor;
        s->Hooks.UpdateFungiScreen = [&] { ++updates; };
        s->Hooks.SetBusyCursor = [&](bool on) { cursor << (on ? "on" : "off"); };

        TQuickSelectionHandler& h = s->QuickSelection();
        h.Complete = true;
        h.Edible = true;
        h.Season = "000000010000";
        s->BuildQuickSelection(false);
        QCOMPARE(dm()->cdsFungi->RecordCount(), 1);
        QCOMPARE(dm()->cdsFungi->FieldByName("SwedishName")->AsString(), QString("Karljohan"));
        QCOMPARE(updates, 1);
        QCOMPARE(cursor, (QStringList{"on", "off"}));

        h = TQuickSelectionHandler();
        h.FungiGroup = "Ska\"lad";
        s->BuildQuickSelection(false);
        QCOMPARE(dm()->cdsFungi->RecordCount(), 1);
        QCOMPARE(dm()->cdsFungi->FieldByName("SwedishName")->AsString(), QString("Citronskivling"));

        // Every option at once is one valid expression.
        Species("Stensopp",
                {{"FungiData", "CPLD"},
                 {"FoodValue1", 5},
                 {"PicCount", 2},
                 {"Occurence", "00100000"},
                 {"Season", "000000010000"},
                 {"Habitat", "000010000000000"},
                 {"FungiGroup", "Sopp \"x\""}});
        h.Complete = h.SwedishName = h.Edible = h.HasPicture = true;
        h.CountryPart = "10100001";
        h.Season = "000001110000";
        h.Habitat = "100000000000000";
        h.FungiGroup = "Sopp \"x\"";
        s->BuildQuickSelection(false);
        QCOMPARE(dm()->cdsFungi->RecordCount(), 1);
        QCOMPARE(dm()->cdsFungi->FieldByName("SwedishName")->AsString(), QString("Stensopp"));

        s->BuildQuickSelection(true);
        QVERIFY(dm()->cdsFungi->Sel().isEmpty());
        QCOMPARE(dm()->cdsFungi->RecordCount(), 5);
        QCOMPARE(updates, 4);
    }

    void loadQuickSelection() {
        TQuickSelectionHandler h;
        h.Season = "111111111111";
        s->LoadQuickSelection(h);  // no settings store: nothing changes
        QCOMPARE(h.Season, QString("111111111111"));

        TFRIniFile ini;
        ini.SetDefaults(TFRIniFile::ProgramDefaults());
        ini.SetFilename(m_dir->filePath("user.ini"));
        ini.Open();
        s->Hooks.Settings = &ini;
        s->LoadQuickSelection(h);  // the program's defaults
        QVERIFY(h.Complete && h.CompleteLocked && !h.SwedishName && !h.Edible);
        QCOMPARE(h.Season, QString("000000000000"));

        ini.WriteString("QuickSelection/Edible", "1");
        ini.WriteString("QuickSelection/HasPicture", "ja");  // unreadable: kept as it was
        ini.WriteString("QuickSelection/CountryPart", "00010000");
        ini.WriteString("QuickSelection/FungiGroup", "Soppar");
        h.HasPicture = true;
        s->LoadQuickSelection(h);
        QVERIFY(h.Edible);
        QVERIFY(h.HasPicture);
        QCOMPARE(h.CountryPart, QString("00010000"));
        QCOMPARE(h.FungiGroup, QString("Soppar"));
        QVERIFY(ini.ActiveSection().isEmpty());

        TFRIniFile bare;  // no defaults and no such section: the handler stays
        bare.SetFilename(m_dir->filePath("bare.ini"));
        bare.Open();
        s->Hooks.Settings = &bare;
        const TQuickSelectionHandler before = h;
        s->LoadQuickSelection(h);
        QVERIFY(h.Complete == before.Complete && h.Edible == before.Edible && h.HasPicture == before.HasPicture &&
                h.CountryPart == before.CountryPart && h.FungiGroup == before.FungiGroup);
        s->Hooks.Settings = nullptr;
    }

    // ---- Text rows ----

    void textRowsLongLine() {
        Insert(dm()->cdsFoodTypes, {{"CategoryName", "Soppor"}});
        Insert(dm()->cdsFoods, {{"FoodName", "Svampsoppa"}});
        TExtClientDataSet* texts = dm()->cdsFoodTexts;
        const QString line = QString(120, 'a') + QString(120, 'b') + QString(10, 'c');
        s->SaveTextRows({line}, texts, 120, 0);

        QCOMPARE(texts->RecordCount(), 3);
        QList<bool> broken;
        QStringList pieces;
        for (texts->First(); !texts->Eof(); texts->Next()) {
            QCOMPARE(texts->FieldByName("RowNo")->AsInteger(), pieces.size());
            pieces << texts->FieldByName("RowText")->AsString();
            broken << texts->FieldByName("Broken")->AsBoolean();
        }
        QCOMPARE(pieces, (QStringList{QString(120, 'a'), QString(120, 'b'), QString(10, 'c')}));
        QCOMPARE(broken, (QList<bool>{true, true, false}));
        QCOMPARE(s->LoadTextRows(texts, 0), QStringList{line});

        Reopen();
        QCOMPARE(s->LoadTextRows(dm()->cdsFoodTexts, 0), QStringList{line});
    }

    void textRowsBlankAndEmptyLines() {
        Insert(dm()->cdsFoodTypes, {{"CategoryName", "Soppor"}});
        Insert(dm()->cdsFoods, {{"FoodName", "Svampsoppa"}});
        TExtClientDataSet* texts = dm()->cdsFoodTexts;
        const QString blankAtCut = QString(119, 'x') + " yz";
        const QStringList lines{"Ta fram", "", blankAtCut, "slut "};
        s->SaveTextRows(lines, texts, 120, 0);
        QStringList stored;
        for (texts->First(); !texts->Eof(); texts->Next()) stored << texts->FieldByName("RowText")->AsString();
        QCOMPARE(stored, (QStringList{"Ta fram", QString(119, 'x') + QChar(254), "yz", "slut" + QString(QChar(254))}));
        QCOMPARE(s->LoadTextRows(texts, 0), (QStringList{"Ta fram", blankAtCut, "slut "}));

        // Lines given as one text with line breaks are the same lines.
        s->SaveTextRows({"ett\r\ntvå\n\ntre"}, texts, 120, 0);
        QCOMPARE(s->LoadTextRows(texts, 0), (QStringList{"ett", "två", "tre"}));
    }

    void textRowsFlagsAndParentsKeptApart() {
        Insert(dm()->cdsInternet, {{"Header", "Svampföreningen"}});
        const QString second = Insert(dm()->cdsInternet, {{"Header", "Artdatabanken"}});
        TExtClientDataSet* texts = dm()->cdsInternetTexts;
        s->SaveTextRows({"andra"}, texts, 120, 0);
        QVERIFY(dm()->cdsInternet->Locate("Header", "Svampföreningen"));
        s->SaveTextRows({"noll"}, texts, 120, 0);
        s->SaveTextRows({"ett", "två"}, texts, 120, 1);

        const quint32 before = Writes(DbFile("InternetTexts.dat"));
        s->SaveTextRows({"uno"}, texts, 120, 1);
        QCOMPARE(Writes(DbFile("InternetTexts.dat")), before + 1);  // one save for the whole change
        QCOMPARE(s->LoadTextRows(texts, 1), QStringList{"uno"});
        QCOMPARE(s->LoadTextRows(texts, 0), QStringList{"noll"});
        QVERIFY(LocateUKey(dm()->cdsInternet, second));
        QCOMPARE(s->LoadTextRows(texts, 0), QStringList{"andra"});
        QVERIFY(s->LoadTextRows(texts, 1).isEmpty());
    }

    void textRowsNeverWiderThanTheField() {
        Species("Karljohan");
        const QString line = QString(100, 'k');
        s->SaveTextRows({line}, dm()->cdsFungiTexts, 120, 2);
        QCOMPARE(dm()->cdsFungiTexts->RecordCount(), 2);
        // Without a Broken field the rows come back as lines of their own, with nothing cut.
        QCOMPARE(s->LoadTextRows(dm()->cdsFungiTexts, 2).join(QString()), line);
    }

    void textRowsFailureLeavesOldText() {
        Insert(dm()->cdsFoodTypes, {{"CategoryName", "Soppor"}});
        Insert(dm()->cdsFoods, {{"FoodName", "Svampsoppa"}});
        TExtClientDataSet* texts = dm()->cdsFoodTexts;
        const QStringList old{"gammal rad ett", "gammal rad två"};
        s->SaveTextRows(old, texts, 120, 0);
        const int stored = texts->InternalDataSet()->RecordCount();
        const quint32 before = Writes(DbFile("FoodTexts.dat"));

        int posts = 0;
        texts->BeforePost = [&](TClientDataSet*) {
            if (++posts == 2) throw Exception("disk full");
        };
        QVERIFY_THROWS_EXCEPTION(Exception, s->SaveTextRows({"ny ett", "ny två", "ny tre"}, texts, 120, 0));
        texts->BeforePost = nullptr;
        QCOMPARE(texts->State(), TDataSetState::dsBrowse);
        QVERIFY(texts->AutoSave());
        QCOMPARE(texts->InternalDataSet()->RecordCount(), stored);
        QCOMPARE(texts->RecordCount(), stored);
        QCOMPARE(s->LoadTextRows(texts, 0), old);
        QCOMPARE(Writes(DbFile("FoodTexts.dat")), before);

        Reopen();
        QCOMPARE(s->LoadTextRows(dm()->cdsFoodTexts, 0), old);
    }

    // ---- Places ----

    void placeSelection() {
        Insert(dm()->cdsPlaces, {{"PlaceName", "Ängen"}, {"Province", "Uppsala län"}, {"District", "Tierp"}});
        Insert(dm()->cdsPlaces, {{"PlaceName", "Backen"}, {"Province", "Uppsala län"}, {"District", "Öst\"hammar"}});
        Insert(dm()->cdsPlaces, {{"PlaceName", "Mossen"}, {"Province", "Dalarnas län"}, {"District", "Mora"}});
        TExtClientDataSet* places = dm()->cdsPlaces;
        s->SetPlaceSelection("Uppsala län", QString());
        QCOMPARE(places->RecordCount(), 2);
        s->SetPlaceSelection("Dalarnas län", "Öst\"hammar");  // the district decides
        QCOMPARE(places->RecordCount(), 1);
        QCOMPARE(places->FieldByName("PlaceName")->AsString(), QString("Backen"));
        s->SetPlaceSelection(QString(), QString());
        QCOMPARE(places->RecordCount(), 3);
    }

    void placesPerFungi() {
        const QString s1 = Species("Karljohan");
        const QString s2 = Species("Kantarell");
        TExtClientDataSet* places = dm()->cdsPlaces;
        TExtClientDataSet* visits = dm()->cdsPlaceVisits;
        TExtClientDataSet* finds = dm()->cdsPlaceFinds;
        const QString p1 = Insert(places, {{"PlaceName", "Ängen"}, {"Province", "Uppsala län"}});
        Insert(visits, {{"VisitDate", QDate(2023, 9, 1)}});
        Insert(finds, {{"FungiUKey", s1}, {"FungiName", "Karljohan"}});
        Insert(finds, {{"FungiUKey", s1}, {"FungiName", "Karljohan"}});
        const QString v12 = Insert(visits, {{"VisitDate", QDate(2023, 9, 8)}});
        Insert(finds, {{"FungiUKey", s1}, {"FungiName", "Karljohan"}});
        Insert(finds, {{"FungiUKey", s2}, {"FungiName", "Kantarell"}});
        const QString p2 = Insert(places, {{"PlaceName", "Mossen"}, {"Province", "Dalarnas län"}});
        Insert(visits, {{"VisitDate", QDate(2023, 8, 1)}});
        Insert(finds, {{"FungiUKey", s1}, {"FungiName", "Karljohan"}});

        // Only the first place shows, and the cursors stand on its second visit.
        s->SetPlaceSelection("Uppsala län", QString());
        QVERIFY(LocateUKey(places, p1));
        QVERIFY(LocateUKey(visits, v12));
        // The rows are no posts: nothing runs the table's events, and no key or time stamp is
        // drawn (a clock before 2000 would refuse that).
        TExtClientDataSet* sub = dm()->cdsFungiSubPlaces;
        int events = 0;
        for (TDataSetEvent event : {TDataSetEvent::BeforeInsert, TDataSetEvent::BeforePost, TDataSetEvent::AfterPost})
            sub->AddObserver(event, this, [&](TClientDataSet*) { ++events; });
        Clock::SetFixedNow(QDateTime(QDate(1999, 12, 31), QTime(12, 0)));
        const auto clockBack = qScopeGuard([] { Clock::SetFixedNow(std::nullopt); });
        s->BuildPlacesPerFungi();
        QCOMPARE(events, 0);
        QCOMPARE(GetUKey(places), p1);
        QCOMPARE(GetUKey(visits), v12);
        QCOMPARE(places->RecordCount(), 1);

        QCOMPARE(sub->InternalDataSet()->RecordCount(), 3);
        // Each row has a key of its own, of the table's form.
        QSet<QString> keys;
        TClientDataSet* stored = sub->InternalDataSet();
        for (int row = 0; row < stored->RecordCount(); ++row) {
            const QString key = stored->RecordValue(row, stored->FieldByName("UKey")->Index()).toString();
            QCOMPARE(key.size(), 18);
            QVERIFY(key.startsWith("02G"));
            keys.insert(key);
        }
        QCOMPARE(keys.size(), 3);
        QVERIFY(LocateUKey(dm()->cdsFungi, s1));
        QStringList at;
        for (sub->First(); !sub->Eof(); sub->Next()) at << sub->FieldByName("PlaceUKey")->AsString();
        QCOMPARE(at.size(), 2);
        QVERIFY(at.contains(p1) && at.contains(p2));
        QVERIFY(LocateUKey(dm()->cdsFungi, s2));
        QCOMPARE(sub->RecordCount(), 1);
        QCOMPARE(sub->FieldByName("PlaceName")->AsString(), QString("Ängen"));
        QVERIFY(!QFileInfo::exists(DbFile("FungiSubPlaces.dat")));

        s->BuildPlacesPerFungi();  // again: built anew, not added to
        QCOMPARE(sub->InternalDataSet()->RecordCount(), 3);
    }

    // ---- Cascading deletes ----

    void deletingSpeciesCascades() {
        const QString me = Contact("Jag");
        const QString other = Species("Flugsvamp");
        Insert(dm()->cdsLatinNames, {{"LatinName", "Amanita muscaria"}});
        const QString otherPic = Insert(dm()->cdsFungiPics, {{"PicIndex", 0}});
        const QString fungi = Species("Karljohan", {{"HasPic", true}, {"CompletedBy", me}, {"CreatedBy", me}});
        const QString pic1 = Insert(dm()->cdsFungiPics, {{"PicIndex", 0}, {"CreatedBy", me}});
        const QString pic2 =
            Insert(dm()->cdsFungiPics, {{"PicIndex", 1}, {"IsMainPic", true}, {"Photographer", " UKEY=" + me}});
        Insert(dm()->cdsLatinNames, {{"LatinName", "Boletus edulis"}});
        Insert(dm()->cdsSwedishNames, {{"SwedishName", "Stensopp"}});
        Insert(dm()->cdsFungiFinds, {{"FindDate", QDate(2023, 9, 1)}, {"CreatedBy", me}});
        Insert(dm()->cdsFungiMixups, {{"MixupUKey", other}, {"MixupName", "Flugsvamp"}});
        s->SaveTextRows({"Beskrivning"}, dm()->cdsFungiTexts, 80, 0);
        s->SaveTextRows({"Egen text"}, dm()->cdsFungiPrivateTexts, 80, 0);
        QCOMPARE(RefCount(me), 5);
        for (const QString& key : {pic1, pic2, otherPic}) {
            Touch(s->FileOf(TKeyFile::FungiPic, key));
            Touch(s->FileOf(TKeyFile::FungiPicThumb, key));
        }
        Touch(s->FileOf(TKeyFile::MainPic, fungi));

        // A selection that hides one of the pictures does not keep it from the cascade.
        dm()->cdsFungiPics->SetSel({"Num(PicIndex = 0)"});
        dm()->cdsFungiPics->LoadData();
        QVERIFY(LocateUKey(dm()->cdsFungi, fungi));
        QCOMPARE(dm()->cdsFungiPics->RecordCount(), 1);

        const char* details[] = {"LatinNames.dat",  "SwedishNames.dat", "FungiPics.dat",        "FungiFinds.dat",
                                 "FungiMixups.dat", "FungiTexts.dat",   "FungiPrivateTexts.dat"};
        QHash<QString, quint32> before;
        for (const char* file : details) before.insert(file, Writes(DbFile(file)));
        const quint32 fungiWrites = Writes(DbFile("Fungi.dat"));
        int picHooks = 0;
        s->Hooks.FungiPicsChanged = [&] { ++picHooks; };

        QVERIFY(LocateUKey(dm()->cdsFungi, fungi));
        dm()->cdsFungi->Delete();

        for (const char* file : details) QCOMPARE(Writes(DbFile(file)), before.value(file) + 1);
        QCOMPARE(Writes(DbFile("Fungi.dat")), fungiWrites + 1);  // no picture posted the species
        QCOMPARE(picHooks, 0);
        for (TExtClientDataSet* table :
             {dm()->cdsLatinNames, dm()->cdsSwedishNames, dm()->cdsFungiPics, dm()->cdsFungiFinds, dm()->cdsFungiMixups,
              dm()->cdsFungiTexts, dm()->cdsFungiPrivateTexts})
            QCOMPARE(StoredCount(table, fungi), 0);
        for (const QString& key : {pic1, pic2}) {
            QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::FungiPic, key)));
            QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::FungiPicThumb, key)));
        }
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::MainPic, fungi)));
        QVERIFY(QFileInfo::exists(s->FileOf(TKeyFile::FungiPic, otherPic)));
        QCOMPARE(RefCount(me), 0);
        QVERIFY(dm()->cdsFungiPics->AutoSave() && dm()->cdsLatinNames->AutoSave());

        Reopen();
        QVERIFY(!FileRecords(DbFile("Fungi.dat")).contains(fungi));
        QVERIFY(FileRecords(DbFile("Fungi.dat")).contains(other));
        QCOMPARE(StoredCount(dm()->cdsFungiPics, fungi), 0);
        QCOMPARE(StoredCount(dm()->cdsFungiPics, other), 1);
        QCOMPARE(StoredCount(dm()->cdsLatinNames, other), 1);
        QCOMPARE(StoredCount(dm()->cdsFungiTexts, fungi), 0);
        QCOMPARE(RefCount(me), 0);
    }

    void cascadeThatCannotRunKeepsEverything() {
        const QString fungi = Species("Karljohan", {{"HasPic", true}});
        Insert(dm()->cdsLatinNames, {{"LatinName", "Boletus edulis"}});
        Insert(dm()->cdsFungiMixups, {{"MixupName", "Gallsopp"}});
        Touch(s->FileOf(TKeyFile::MainPic, fungi));
        dm()->cdsFungiMixups->SetReadOnly(true);  // as a table whose file could not be read
        QVERIFY(LocateUKey(dm()->cdsFungi, fungi));
        QVERIFY_THROWS_EXCEPTION(Exception, dm()->cdsFungi->Delete());
        QVERIFY(LocateUKey(dm()->cdsFungi, fungi));
        QCOMPARE(StoredCount(dm()->cdsLatinNames, fungi), 1);
        QCOMPARE(StoredCount(dm()->cdsFungiMixups, fungi), 1);
        QVERIFY(QFileInfo::exists(s->FileOf(TKeyFile::MainPic, fungi)));
        Reopen();
        QVERIFY(FileRecords(DbFile("Fungi.dat")).contains(fungi));
        QCOMPARE(StoredCount(dm()->cdsLatinNames, fungi), 1);
    }

    void cascadeFailingMidwayPutsBackItsTables() {
        const QString me = Contact("Jag");
        const QString fungi = Species("Karljohan", {{"CreatedBy", me}});
        Insert(dm()->cdsLatinNames, {{"LatinName", "Boletus edulis"}});
        Insert(dm()->cdsSwedishNames, {{"SwedishName", "Stensopp"}});
        Insert(dm()->cdsFungiPics, {{"PicIndex", 0}, {"CreatedBy", me}});
        Insert(dm()->cdsFungiFinds, {{"FindDate", QDate(2023, 9, 1)}, {"CreatedBy", me}});
        QCOMPARE(RefCount(me), 3);
        // The names go first; the picture then fails.
        QObject failing;
        dm()->cdsFungiPics->InternalDataSet()->AddObserver(TDataSetEvent::BeforeDelete, &failing, [](TClientDataSet*) {
            throw Exception("Bilden kunde inte tas bort");
        });
        QVERIFY(LocateUKey(dm()->cdsFungi, fungi));
        QVERIFY_THROWS_EXCEPTION(Exception, dm()->cdsFungi->Delete());

        QCOMPARE(GetUKey(dm()->cdsFungi), fungi);
        for (TExtClientDataSet* table :
             {dm()->cdsLatinNames, dm()->cdsSwedishNames, dm()->cdsFungiPics, dm()->cdsFungiFinds}) {
            QCOMPARE(StoredCount(table, fungi), 1);
            QCOMPARE(table->RecordCount(), 1);  // the views follow the species again
            QVERIFY(table->AutoSave());
            QVERIFY(!table->ControlsDisabled());
        }
        QCOMPARE(RefCount(me), 3);
        Reopen();
        QCOMPARE(StoredCount(dm()->cdsLatinNames, fungi), 1);
        QCOMPARE(StoredCount(dm()->cdsSwedishNames, fungi), 1);
        QCOMPARE(RefCount(me), 3);
    }

    void deletingPictureUpdatesSpecies() {
        const QString fungi = Species("Karljohan", {{"HasPic", true}, {"PicCount", 3}});
        Insert(dm()->cdsFungiPics, {{"PicIndex", 0}});
        const QString main = Insert(dm()->cdsFungiPics, {{"PicIndex", 1}, {"IsMainPic", true}});
        Insert(dm()->cdsFungiPics, {{"PicIndex", 2}});
        Touch(s->FileOf(TKeyFile::MainPic, fungi));
        Touch(s->FileOf(TKeyFile::FungiPic, main));
        int picHooks = 0;
        s->Hooks.FungiPicsChanged = [&] { ++picHooks; };

        Delete(dm()->cdsFungiPics, main);
        QCOMPARE(picHooks, 1);
        QCOMPARE(dm()->cdsFungi->FieldByName("PicCount")->AsInteger(), 2);
        QVERIFY(!dm()->cdsFungi->FieldByName("HasPic")->AsBoolean());
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::MainPic, fungi)));
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::FungiPic, main)));
        const QVariantMap stored = FileRecords(DbFile("Fungi.dat")).value(fungi);
        QCOMPARE(stored.value("PicCount").toInt(), 2);
        QCOMPARE(stored.value("HasPic").toBool(), false);
        QCOMPARE(dm()->cdsFungiPics->RecordCount(), 2);
    }

    void otherCascades() {
        const QString me = Contact("Jag");
        // A place with two visits, each with participants and finds.
        const QString place = Insert(dm()->cdsPlaces, {{"PlaceName", "Ängen"}, {"CreatedBy", me}});
        Insert(dm()->cdsPlaceVisits, {{"VisitDate", QDate(2023, 9, 1)}, {"CreatedBy", me}});
        Insert(dm()->cdsPlacePeople, {{"Individual", " UKEY=" + me}});
        Insert(dm()->cdsPlacePeople, {{"Individual", "Anna"}});
        Insert(dm()->cdsPlaceFinds, {{"FungiName", "Karljohan"}});
        Insert(dm()->cdsPlaceVisits, {{"VisitDate", QDate(2023, 9, 8)}});
        Insert(dm()->cdsPlaceFinds, {{"FungiName", "Kantarell"}});
        const QString keep = Insert(dm()->cdsPlaces, {{"PlaceName", "Mossen"}});
        const QString keptVisit = Insert(dm()->cdsPlaceVisits, {{"VisitDate", QDate(2023, 7, 1)}});
        Insert(dm()->cdsPlaceFinds, {{"FungiName", "Flugsvamp"}});
        QCOMPARE(RefCount(me), 3);

        const quint32 people = Writes(DbFile("PlacePeople.dat"));
        Delete(dm()->cdsPlaces, place);
        QCOMPARE(Writes(DbFile("PlacePeople.dat")), people + 1);
        QCOMPARE(StoredCount(dm()->cdsPlaceVisits, place), 0);
        QCOMPARE(dm()->cdsPlacePeople->InternalDataSet()->RecordCount(), 0);
        QCOMPARE(dm()->cdsPlaceFinds->InternalDataSet()->RecordCount(), 1);
        QCOMPARE(StoredCount(dm()->cdsPlaceFinds, keptVisit), 1);
        QCOMPARE(StoredCount(dm()->cdsPlaceVisits, keep), 1);
        QCOMPARE(RefCount(me), 0);

        // A recipe with its rows and pictures.
        Insert(dm()->cdsFoodTypes, {{"CategoryName", "Soppor"}});
        const QString food = Insert(dm()->cdsFoods, {{"FoodName", "Svampsoppa"}, {"HasPic", true}});
        s->SaveTextRows({"Koka"}, dm()->cdsFoodTexts, 120, 0);
        Touch(s->FileOf(TKeyFile::FoodPic, food));
        Touch(s->FileOf(TKeyFile::FoodPicThumb, food));
        Delete(dm()->cdsFoods, food);
        QCOMPARE(StoredCount(dm()->cdsFoodTexts, food), 0);
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::FoodPic, food)));
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::FoodPicThumb, food)));

        // An internet resource, an article, a contact group.
        const QString link = Insert(dm()->cdsInternet, {{"Header", "Föreningen"}, {"HasPic", true}});
        s->SaveTextRows({"Om föreningen"}, dm()->cdsInternetTexts, 120, 0);
        Touch(s->FileOf(TKeyFile::InternetPic, link));
        Delete(dm()->cdsInternet, link);
        QCOMPARE(StoredCount(dm()->cdsInternetTexts, link), 0);
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::InternetPic, link)));

        const QString article = Insert(dm()->cdsKnowbase, {{"ItemName", "Sporer"}, {"ItemType", 1}});
        Touch(s->FileOf(TKeyFile::KnowBase, article));
        Delete(dm()->cdsKnowbase, article);
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::KnowBase, article)));

        const QString group = Insert(dm()->cdsContactGroups, {{"GroupName", "Vänner"}, {"CreatedBy", me}});
        Insert(dm()->cdsContactGroupRows, {{"ContactUKey", me}, {"ContactName", "Jag"}});
        QCOMPARE(RefCount(me), 1);  // membership is no use
        Delete(dm()->cdsContactGroups, group);
        QCOMPARE(StoredCount(dm()->cdsContactGroupRows, group), 0);
        QCOMPARE(RefCount(me), 0);
    }

    // ---- Reference counts ----

    void referenceCountsReturnToStart() {
        testsupport::ClockGuard clock(QDateTime(QDate(2024, 5, 1), QTime(8, 0)));
        const QString a = Contact("Anna");
        const QString b = Contact("Bertil");
        QCOMPARE(RefCount(a), 0);
        const QString stampA = Stored(dm()->cdsContacts, a, "Timestamp").toString();
        clock.SetNow(QDateTime(QDate(2024, 5, 2), QTime(9, 0)));

        // A contact made by another: counted from within the contacts table's own post.
        const QString c = Insert(dm()->cdsContacts, {{"UserName", "Cecilia"}, {"CreatedBy", a}});
        QCOMPARE(RefCount(a), 1);
        QCOMPARE(RefCount(c), 0);

        const QString fungi = Species("Karljohan", {{"CreatedBy", a}, {"CompletedBy", b}});
        QCOMPARE(RefCount(a), 2);
        QCOMPARE(RefCount(b), 1);
        Edit(dm()->cdsFungi, fungi, {{"CompletedBy", a}});
        QCOMPARE(RefCount(a), 3);
        QCOMPARE(RefCount(b), 0);
        Edit(dm()->cdsFungi, fungi, {{"SwedishName", "Stensopp"}});  // no reference changed
        QCOMPARE(RefCount(a), 3);

        const QString pic = Insert(dm()->cdsFungiPics, {{"Photographer", " UKEY=" + b}, {"CreatedBy", a}});
        QCOMPARE(RefCount(a), 4);
        QCOMPARE(RefCount(b), 1);
        Edit(dm()->cdsFungiPics, pic, {{"Photographer", "Okänd fotograf"}});
        QCOMPARE(RefCount(b), 0);
        Edit(dm()->cdsFungiPics, pic, {{"Photographer", " UKEY=" + b}});
        QCOMPARE(RefCount(b), 1);

        // An edit that is cancelled changes nothing.
        QVERIFY(LocateUKey(dm()->cdsFungiPics, pic));
        dm()->cdsFungiPics->Edit();
        dm()->cdsFungiPics->FieldByName("Photographer")->SetAsString(" UKEY=" + a);
        dm()->cdsFungiPics->Cancel();
        QCOMPARE(RefCount(a), 4);
        QCOMPARE(RefCount(b), 1);

        const QString user = Insert(dm()->cdsUsers, {{"UserName", "bertil"}, {"ContactUKey", b}});
        Edit(dm()->cdsContacts, b, {{"UserUKey", user}});
        QCOMPARE(RefCount(b), 2);

        Insert(dm()->cdsPlaces, {{"PlaceName", "Ängen"}, {"CreatedBy", a}});
        Insert(dm()->cdsPlaceVisits, {{"VisitDate", QDate(2023, 9, 1)}, {"CreatedBy", b}});
        const QString person = Insert(dm()->cdsPlacePeople, {{"Individual", " UKEY=" + c}});
        QCOMPARE(RefCount(c), 1);
        Delete(dm()->cdsPlacePeople, person);
        QCOMPARE(RefCount(c), 0);
        QCOMPARE(RefCount(a), 5);
        QCOMPARE(RefCount(b), 3);

        // Taking everything away again.
        Delete(dm()->cdsPlaces, GetUKey(dm()->cdsPlaces));
        Delete(dm()->cdsUsers, user);
        QVERIFY(Stored(dm()->cdsContacts, b, "UserUKey").isNull());
        Delete(dm()->cdsFungi, fungi);  // with its picture
        Delete(dm()->cdsContacts, c);
        QCOMPARE(RefCount(a), 0);
        QCOMPARE(RefCount(b), 0);
        QCOMPARE(Stored(dm()->cdsContacts, a, "Timestamp").toString(), stampA);

        Reopen();
        QCOMPARE(RefCount(a), 0);
        QCOMPARE(RefCount(b), 0);
    }

    // A screen owns the tables' public events; the counts and cascades run whatever it sets.
    void countsAndCascadesSurviveAssignedEvents() {
        // Shared: the events outlive this function until the data module goes in cleanup().
        auto ran = std::make_shared<QStringList>();
        for (TExtClientDataSet* table : dm()->Tables()) {
            const auto mine = [ran](TClientDataSet* ds) { *ran << ds->objectName(); };
            for (TDataSetNotifyEvent* event :
                 {&table->BeforeInsert, &table->AfterInsert, &table->BeforeEdit, &table->BeforePost, &table->AfterPost,
                  &table->AfterCancel, &table->BeforeDelete, &table->AfterDelete, &table->AfterScroll,
                  &table->AfterOpen, &table->BeforeClose})
                *event = mine;
        }
        auto scrolled = std::make_shared<int>(0);
        s->Hooks.FungiScrolled = [scrolled] { ++*scrolled; };

        const QString me = Contact("Jag");
        QCOMPARE(RefCount(me), 0);  // a new contact starts with no uses
        const QString other = Species("Flugsvamp");
        const QString fungi = Species("Karljohan", {{"HasPic", true}, {"CreatedBy", me}});
        *scrolled = 0;
        QVERIFY(LocateUKey(dm()->cdsFungi, other));
        QVERIFY(LocateUKey(dm()->cdsFungi, fungi));
        QCOMPARE(*scrolled, 2);
        const QString pic = Insert(dm()->cdsFungiPics, {{"PicIndex", 0}, {"Photographer", " UKEY=" + me}});
        Insert(dm()->cdsLatinNames, {{"LatinName", "Boletus edulis"}});
        QCOMPARE(RefCount(me), 2);
        Edit(dm()->cdsFungiPics, pic, {{"Photographer", "Okänd fotograf"}});
        QCOMPARE(RefCount(me), 1);
        Touch(s->FileOf(TKeyFile::MainPic, fungi));
        Touch(s->FileOf(TKeyFile::FungiPic, pic));
        QVERIFY(ran->contains("cdsFungiPics") && ran->contains("cdsContacts"));  // the screen's own events ran too

        Delete(dm()->cdsFungi, fungi);
        QCOMPARE(StoredCount(dm()->cdsFungiPics, fungi), 0);
        QCOMPARE(StoredCount(dm()->cdsLatinNames, fungi), 0);
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::MainPic, fungi)));
        QVERIFY(!QFileInfo::exists(s->FileOf(TKeyFile::FungiPic, pic)));
        QCOMPARE(RefCount(me), 0);
    }

    void changeRefCount_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("ref");  // "%1" stands for the contact's key
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("after");
        QTest::newRow("reference, add") << 0 << 0 << " UKEY=%1" << 1 << 1;
        QTest::newRow("bare key, add") << 2 << 0 << "%1" << 3 << 3;
        QTest::newRow("subtract") << 2 << 1 << " UKEY=%1" << 1 << 1;
        QTest::newRow("never below zero") << 0 << 1 << "%1" << 0 << 0;
        QTest::newRow("no such contact") << 2 << 0 << " UKEY=060AAAAAAAAAAAZZZZ" << -1 << 2;
        QTest::newRow("free name") << 2 << 0 << "Anna" << -1 << 2;
        QTest::newRow("empty reference") << 2 << 1 << " UKEY=" << -1 << 2;
        QTest::newRow("empty") << 2 << 1 << "" << -1 << 2;
    }
    void changeRefCount() {
        QFETCH(int, start);
        QFETCH(int, op);
        QFETCH(QString, ref);
        QFETCH(int, result);
        QFETCH(int, after);
        testsupport::ClockGuard clock(QDateTime(QDate(2024, 5, 1), QTime(8, 0)));
        const QString key = Insert(dm()->cdsContacts, {{"UserName", "Anna"}, {"RefCount", start}});
        const QString stamp = Stored(dm()->cdsContacts, key, "Timestamp").toString();
        clock.SetNow(QDateTime(QDate(2024, 6, 1), QTime(8, 0)));
        QCOMPARE(s->ChangeRefCount(TDMServices::TRefOp(op), ref.contains("%1") ? ref.arg(key) : ref), result);
        QCOMPARE(RefCount(key), after);
        QCOMPARE(dm()->cdsContacts->FieldByName("RefCount")->AsInteger(), after);  // the visible record too
        const QVariantMap stored = FileRecords(DbFile("Contacts.dat")).value(key);
        QCOMPARE(stored.value("RefCount").toInt(), after);
        QCOMPARE(stored.value("Timestamp").toString(), stamp);
    }

    void newContactStartsWithNoUses() {
        TExtClientDataSet* contacts = dm()->cdsContacts;
        contacts->Append();
        QCOMPARE(contacts->FieldByName("RefCount")->Value(), QVariant(0));
        contacts->Cancel();
    }

    void refText() {
        const QString a = Contact("Anna");
        QCOMPARE(s->GetRefText(" UKEY=" + a), QString("Anna"));
        QCOMPARE(s->GetRefText(" UKEY=060AAAAAAAAAAAZZZZ"), QString());
        QCOMPARE(s->GetRefText("Bertil"), QString("Bertil"));
        QCOMPARE(s->GetContactName(QString()), QString("Mykotekshallen"));
    }

    void referenceFieldsDeclared() {
        // One list serves the counting and the recount: CreatedBy wherever a table has it.
        int createdBy = 0;
        for (const TDM::TTableInfo& info : TDM::Catalogue())
            for (const TFieldDef& def : info.Fields)
                if (def.Name == "CreatedBy") ++createdBy;
        int listed = 0;
        for (const TTableRefFields& entry : TDMServices::ReferenceFields())
            for (const TRefField& field : entry.Fields)
                if (field.Field == "CreatedBy") ++listed;
        QCOMPARE(listed, createdBy);
        QVERIFY(!TDMServices::ReferenceFieldsOf("cdsContactGroupRows"));
        QCOMPARE(TDMServices::ReferenceFieldsOf("cdsPlacePeople")->Fields.first().Kind, TRefField::Reference);
        QCOMPARE(TDMServices::ReferenceFieldsOf("cdsUsers")->Fields.first().Field, QString("ContactUKey"));
    }

    // ---- Teardown ----

    // A detail record still being edited when the data module goes away is dropped, as a
    // closed table saves nothing: it is not posted as its master table goes, and no count of
    // the services runs on tables that are already gone.
    void teardownPostsNoOpenEdit_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("inserting");
        QTest::newRow("find being inserted") << "cdsFungiFinds" << true;
        QTest::newRow("find being edited") << "cdsFungiFinds" << false;
        QTest::newRow("participant being inserted") << "cdsPlacePeople" << true;
        QTest::newRow("participant being edited") << "cdsPlacePeople" << false;
        QTest::newRow("picture being edited") << "cdsFungiPics" << false;
        QTest::newRow("group member being inserted") << "cdsContactGroupRows" << true;
    }
    void teardownPostsNoOpenEdit() {
        QFETCH(QString, table);
        QFETCH(bool, inserting);
        const QString me = Contact("Jag");
        const QString other = Contact("Anna");
        Species("Karljohan");
        Insert(dm()->cdsPlaces, {{"PlaceName", "Ängen"}});
        Insert(dm()->cdsPlaceVisits, {{"VisitDate", QDate(2023, 9, 1)}});
        Insert(dm()->cdsContactGroups, {{"GroupName", "Föreningen"}});
        // The field that names a contact, and the row the detail table has already.
        const QHash<QString, QPair<QString, QString>> refField = {
            {"cdsFungiFinds", {"CreatedBy", me}},
            {"cdsPlacePeople", {"Individual", " UKEY=" + me}},
            {"cdsFungiPics", {"Photographer", " UKEY=" + me}},
            {"cdsContactGroupRows", {"ContactUKey", me}},
        };
        TExtClientDataSet* detail = dm()->Table(table);
        const auto [field, value] = refField.value(table);
        const QString existing = Insert(detail, {{field, value}});
        const int uses = RefCount(me);
        const QString file = detail->Filename();
        const QHash<QString, QVariantMap> before = FileRecords(file);
        const QByteArray contactsBefore = testsupport::ReadBytes(DbFile("Contacts.dat"));

        if (inserting) {
            detail->Append();
            detail->FieldByName(field)->SetAsString(value);
        } else {
            QVERIFY(LocateUKey(detail, existing));
            detail->Edit();
            const QString otherValue = value.startsWith(" UKEY=") ? " UKEY=" + other : other;
            detail->FieldByName(field)->SetAsString(otherValue);
        }
        QVERIFY(detail->Modified());
        m_dm.reset();

        QCOMPARE(FileRecords(file), before);
        QCOMPARE(testsupport::ReadBytes(m_dir->path() + "/Data/Db/Contacts.dat"), contactsBefore);
        Reopen();
        QCOMPARE(RefCount(me), uses);
        QCOMPARE(RefCount(other), 0);
    }

    // ---- Record exchange ----

    void exchangeHeaders() {
        const QString a = Contact("Anna");
        Insert(dm()->cdsPlaces, {{"PlaceName", "Ängen"}});
        Insert(dm()->cdsPlaceVisits, {{"VisitDate", QDate(2023, 9, 1)}});
        Insert(dm()->cdsPlacePeople, {{"Individual", " UKEY=" + a}});
        Insert(dm()->cdsFoodTypes, {{"CategoryName", "Soppor"}});
        Insert(dm()->cdsFoods, {{"FoodName", "Svampsoppa"}});
        QCOMPARE(s->EFHeader(dm()->cdsContacts), QString("Anna"));
        QCOMPARE(s->EFHeader(dm()->cdsPlaceVisits), QString("Ängen, 2023-09-01"));
        QCOMPARE(s->EFHeader(dm()->cdsPlacePeople), QString("Anna"));
        QCOMPARE(s->EFHeader(dm()->cdsFoods), QString("Svampsoppa (Soppor)"));
    }

    void exchangeFilesRoundTrip() {
        const QString fungi = Species("Karljohan");
        const QString pic = Insert(dm()->cdsFungiPics, {{"MainPicSource", true}, {"PicType", "JPG"}});
        Touch(s->FileOf(TKeyFile::FungiPic, pic));
        Touch(s->FileOf(TKeyFile::FungiPicThumb, pic));
        QBuffer stream;
        stream.open(QIODevice::ReadWrite);
        s->EFExport(dm()->cdsFungiPics, stream);
        QFile::remove(s->FileOf(TKeyFile::FungiPic, pic));
        QFile::remove(s->FileOf(TKeyFile::FungiPicThumb, pic));

        QStringList made;
        s->Hooks.MakeMainPicture = [&](const QString& f, const QString& p) { made << f << p; };
        stream.seek(0);
        s->EFImport(dm()->cdsFungiPics, stream);
        QVERIFY(QFileInfo::exists(s->FileOf(TKeyFile::FungiPic, pic)));
        QVERIFY(QFileInfo::exists(s->FileOf(TKeyFile::FungiPicThumb, pic)));
        QCOMPARE(made, (QStringList{fungi, pic}));

        // A web picture that was never fetched has no files to move.
        Insert(dm()->cdsFungiPics, {{"PicType", "LINK"}});
        QVERIFY(s->EFFiles(dm()->cdsFungiPics).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDMServices)
#include "tst_dmservices.moc"
