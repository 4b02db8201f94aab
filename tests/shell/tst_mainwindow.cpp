#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSet>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <QToolTip>

#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIConnection.h"
#include "core/FRIniFile.h"
#include "shell/FRScreens.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

const QString kDistrictsMissing =
    QString::fromUtf8("Filen \"Data/Res/Districts.dat\" kunde inte hittas. Du måste installera om programmet");

// A frame that tells what was asked of it.
class StandInFrame : public TFRFrameBase {
public:
    int saves = 0;
    void SaveSettings() override {
        ++saves;
        if (IniFile()) IniFile()->WriteString("Fungi/LastVisited", "saved by frame");
    }
};

// A main screen with a caption and an empty frame, standing in for a function area.
class StandInScreen : public TFRMainScreen {
public:
    StandInScreen(QObject* owner, QString caption, QString hint = QString())
        : TFRMainScreen(owner), caption(std::move(caption)), hint(std::move(hint)) {}
    void Initialize() override {
        MenuButton()->setText(caption);
        MenuButton()->setToolTip(hint);
        TFRMainScreen::Initialize();
    }
    void CreateFrame() override {
        if (Frame()) return;
        auto* frame = TFRFrameBase::Create<StandInFrame>();
        frame->panelFrameHeader->setText(caption);
        auto* text = new QLabel(hint, frame);
        text->setWordWrap(true);
        text->setContentsMargins(12, 12, 12, 12);
        frame->BodyLayout()->addWidget(text);
        frame->BodyLayout()->addStretch(1);
        SetFrame(frame);
        lastFrame = frame;
    }
    QString caption, hint;
    QPointer<StandInFrame> lastFrame;
};

void RegisterStandIn(int id, const QString& caption, const QString& hint = QString()) {
    TformFRMain::RegisterScreenFactory(id, [caption, hint](TformFRMain* owner) -> TFRMainScreen* {
        return TFRScreen::Create<StandInScreen>(owner, caption, hint);
    });
}

QString ShippedDistricts() { return testsupport::ProgramDir() + "/Data/Res/Districts.dat"; }

// A program folder of its own for one case.
struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder() { SetProgramFolder(dir.path()); }
    ~ProgramFolder() { SetProgramFolder(QString()); }
    QString path(const QString& rel) const { return dir.path() + "/" + rel; }
    void withDistricts() const {
        QDir().mkpath(path("Data/Res"));
        QVERIFY(QFile::copy(ShippedDistricts(), path("Data/Res/Districts.dat")));
    }
    void write(const QString& rel, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(path(rel)).absolutePath());
        QFile f(path(rel));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

QStringList Captions(const QMenu* menu) {
    QStringList list;
    for (const QAction* a : menu->actions()) list.append(a->text());
    return list;
}

// Writes a small table file: a table of the data module gets its designed fields (another field
// list would be taken for damage), any other file string fields.
void WriteTable(const QString& file, const QStringList& fields, const QList<QStringList>& rows) {
    TClientDataSet table;
    TFieldDefs defs;
    if (const TDM::TTableInfo* info = TDM::FindTableInfo(QStringLiteral("cds") + QFileInfo(file).baseName()))
        defs = info->Fields;
    else
        for (const QString& f : fields) defs.append({f, TFieldType::ftString, 50});
    table.SetFieldDefs(defs);
    table.CreateDataSet();
    for (const QStringList& row : rows) {
        table.Append();
        for (int i = 0; i < fields.size(); ++i) table.FieldByName(fields[i])->SetAsString(row.value(i));
        table.Post();
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    table.SaveToFile(file);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        TformFRMain::ClearScreenFactories();
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
    }
    void cleanup() {
        UIServices::SetMessageHook({});
        TformFRMain::ClearScreenFactories();
    }

    // ---- The district table ----

    void generatedDistrictTableHoldsEveryCountyAndMunicipality() {
        TClientDataSet table;
        table.LoadFromFile(ShippedDistricts());
        QCOMPARE(table.FieldCount(), 2);
        QCOMPARE(table.Fields(0)->FieldName(), QString("Province"));
        QCOMPARE(table.Fields(1)->FieldName(), QString("District"));
        QCOMPARE(table.Fields(0)->DataType(), TFieldType::ftString);
        QCOMPARE(table.Fields(1)->DataType(), TFieldType::ftString);
        QCOMPARE(table.RecordCount(), 290);
        QStringList order;
        QHash<QString, int> perCounty;
        QSet<QString> municipalities;
        for (int row = 0; row < table.RecordCount(); ++row) {
            const QString province = table.RecordValue(row, 0).toString();
            const QString district = table.RecordValue(row, 1).toString();
            QVERIFY(!district.isEmpty());
            if (order.isEmpty() || order.last() != province) {
                QVERIFY2(!order.contains(province), qPrintable(province + " is not kept together"));
                order.append(province);
            }
            ++perCounty[province];
            municipalities.insert(district);
        }
        QCOMPARE(order.size(), 21);
        QCOMPARE(municipalities.size(), 290);
        for (const QString& p : order) QVERIFY2(p.endsWith(QString::fromUtf8(" län")), qPrintable(p));
        QCOMPARE(perCounty.value(QString::fromUtf8("Stockholms län")), 26);
        QCOMPARE(perCounty.value(QString::fromUtf8("Västra Götalands län")), 49);
        QCOMPARE(perCounty.value(QString::fromUtf8("Skåne län")), 33);
        QCOMPARE(perCounty.value(QString::fromUtf8("Gotlands län")), 1);
        QCOMPARE(perCounty.value(QString::fromUtf8("Norrbottens län")), 14);
        QVERIFY(municipalities.contains(QString::fromUtf8("Malung-Sälen")));
        QVERIFY(municipalities.contains(QString::fromUtf8("Upplands Väsby")));
        // Ordered by province, in Swedish alphabetical order.
        QStringList sorted = order;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString& a, const QString& b) { return TUKeyStringlist::CompareStrings(a, b) < 0; });
        QCOMPARE(order, sorted);
    }

    void windowLoadsTheDistrictTable() {
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        QVERIFY(UIServices::MessageLog().isEmpty());
        QCOMPARE(w.cdsDistricts->RecordCount(), 290);
        QCOMPARE(w.objectName(), QString("formFRMain"));
        QCOMPARE(w.lblVersion->text(), "version " + GetProgramVersion());
        QCOMPARE(IniFile(), w.inifileMain);
        QVERIFY(SecondIniFile() && SecondIniFile() != IniFile());
        QCOMPARE(SecondIniFile()->Defaults(), w.inifileMain->Defaults());
        QCOMPARE(MainForm(), &w);
        // The one HTTP connection, loud until a caller quiets it.
        QVERIFY(w.Connection());
        QVERIFY(!w.Connection()->Quiet());
        QVERIFY(!w.Connection()->Connected());
    }

    void missingOrDamagedDistrictFileIsToldOnceAndLeavesAnEmptyTable_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::addColumn<QString>("told");
        QTest::newRow("missing") << QByteArray() << kDistrictsMissing;
        // A file that is there is not called missing: its cause is told.
        QTest::newRow("damaged") << QByteArray("not a table file at all\n")
                                 << QString::fromUtf8(
                                        "Filen \"Data/Res/Districts.dat\" med länens och kommunernas "
                                        "namn kunde inte läsas: Filen \"%1\" är ingen tabellfil för "
                                        "Mykotekshallen. Du måste installera om programmet");
    }
    void missingOrDamagedDistrictFileIsToldOnceAndLeavesAnEmptyTable() {
        QFETCH(QByteArray, content);
        QFETCH(QString, told);
        ProgramFolder folder;
        if (!content.isEmpty()) folder.write("Data/Res/Districts.dat", content);
        TformFRMain w;
        QCOMPARE(UIServices::MessageLog().size(), 1);
        if (told.contains("%1")) told = told.arg(QDir::toNativeSeparators(folder.path("Data/Res/Districts.dat")));
        QCOMPARE(UIServices::MessageLog().first().Text, told);
        QVERIFY(!told.contains(QLatin1Char('\\')));
        QCOMPARE(UIServices::MessageLog().first().Icon, UIServices::TMsgIcon::Error);
        QVERIFY(w.cdsDistricts->Active());
        QCOMPARE(w.cdsDistricts->RecordCount(), 0);
        w.BuildPlaceMenus();
        QCOMPARE(Captions(w.miProvince), QStringList({QString::fromUtf8("Alla län")}));
        QCOMPARE(Captions(w.miDistrict), QStringList({QString::fromUtf8("Välj ett län")}));
        QVERIFY(!w.miDistrict->actions().first()->isEnabled());
        QStringList provinces, districts;
        TClientDataSet record;
        record.SetFieldDefs({{"Province", TFieldType::ftString, 30}, {"District", TFieldType::ftString, 30}});
        record.CreateDataSet();
        w.FillDistrictItems(&record, provinces, districts);
        QVERIFY(provinces.isEmpty() && districts.isEmpty());
        // The damaged file is left as it was.
        if (!content.isEmpty()) {
            QFile f(folder.path("Data/Res/Districts.dat"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }

    // ---- Place menus ----

    void placeMenusWithoutAProvince() {
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        w.BuildPlaceMenus();
        const QStringList provinces = Captions(w.miProvince);
        QCOMPARE(provinces.size(), 22);
        QCOMPARE(provinces.first(), QString::fromUtf8("Alla län"));
        QCOMPARE(provinces.at(1), QString::fromUtf8("Blekinge län"));
        QCOMPARE(provinces.last(), QString::fromUtf8("Östergötlands län"));
        for (const QAction* a : w.miProvince->actions()) {
            QVERIFY(a->isEnabled() && a->isCheckable() && !a->isChecked());
        }
        QCOMPARE(w.miProvince->actions().at(1)->data().toInt(), 1);  // first record of Blekinge
        QCOMPARE(w.miProvince->actions().at(2)->data().toInt(), 6);  // Dalarnas after Blekinge's five
        QCOMPARE(Captions(w.miDistrict), QStringList({QString::fromUtf8("Välj ett län")}));
        QVERIFY(!w.miDistrict->actions().first()->isEnabled());
        QCOMPARE(w.inifileMain->ReadString("Place/SelProvince"), QString());
    }

    void placeMenusForOneProvince() {
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        w.PlaceSelProvince = QString::fromUtf8("Västmanlands län");
        w.PlaceSelDistrict = QString::fromUtf8("Köping");
        QString chosenProvince = "none", chosenDistrict = "none";
        int chosenTag = 0;
        w.OnProvinceChosen = [&](const QString& p, int tag) {
            chosenProvince = p;
            chosenTag = tag;
        };
        w.OnDistrictChosen = [&](const QString& d) { chosenDistrict = d; };
        w.BuildPlaceMenus();
        QCOMPARE(w.inifileMain->ReadString("Place/SelProvince"), QString::fromUtf8("Västmanlands län"));
        QCOMPARE(w.inifileMain->ReadString("Place/SelDistrict"), QString::fromUtf8("Köping"));

        const QStringList districts = Captions(w.miDistrict);
        QCOMPARE(districts,
                 QStringList({"Alla kommuner", "Arboga", "Fagersta", "Hallstahammar", QString::fromUtf8("Kungsör"),
                              QString::fromUtf8("Köping"), "Norberg", "Sala", "Skinnskatteberg", "Surahammar",
                              QString::fromUtf8("Västerås")}));
        for (const QAction* a : w.miDistrict->actions())
            QCOMPARE(a->isChecked(), a->text() == QString::fromUtf8("Köping"));
        int checkedProvinces = 0;
        for (const QAction* a : w.miProvince->actions()) {
            if (a->isChecked()) {
                ++checkedProvinces;
                QCOMPARE(a->text(), QString::fromUtf8("Västmanlands län"));
            }
        }
        QCOMPARE(checkedProvinces, 1);

        w.miDistrict->actions().at(5)->trigger();
        QCOMPARE(chosenDistrict, QString::fromUtf8("Köping"));
        w.miDistrict->actions().at(0)->trigger();
        QCOMPARE(chosenDistrict, QString());
        w.miProvince->actions().at(1)->trigger();
        QCOMPARE(chosenProvince, QString::fromUtf8("Blekinge län"));
        QCOMPARE(chosenTag, 1);
        w.miProvince->actions().at(0)->trigger();
        QCOMPARE(chosenProvince, QString());
        QCOMPARE(chosenTag, -1);

        // Building again replaces the items.
        w.PlaceSelProvince = QString::fromUtf8("Gotlands län");
        w.PlaceSelDistrict.clear();
        w.BuildPlaceMenus();
        QCOMPARE(Captions(w.miDistrict), QStringList({"Alla kommuner", "Gotland"}));
        QCOMPARE(w.miProvince->actions().size(), 22);
    }

    // ---- FillDistrictItems ----

    void fillDistrictItems_data() {
        QTest::addColumn<QString>("province");
        QTest::addColumn<QString>("district");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<bool>("provincesGiven");
        QTest::addColumn<QString>("provinceAfter");
        QTest::addColumn<QStringList>("districts");  // empty: all 290
        const QString norrbotten = QString::fromUtf8("Norrbottens län");
        const QStringList norrbottenDistricts = {"Arjeplog",
                                                 "Arvidsjaur",
                                                 "Boden",
                                                 QString::fromUtf8("Gällivare"),
                                                 "Haparanda",
                                                 "Jokkmokk",
                                                 "Kalix",
                                                 "Kiruna",
                                                 QString::fromUtf8("Luleå"),
                                                 "Pajala",
                                                 QString::fromUtf8("Piteå"),
                                                 QString::fromUtf8("Älvsbyn"),
                                                 QString::fromUtf8("Överkalix"),
                                                 QString::fromUtf8("Övertorneå")};
        QTest::newRow("province given") << norrbotten << "" << false << false << norrbotten << norrbottenDistricts;
        QTest::newRow("nothing given") << ""
                                       << "" << true << false << "" << QStringList();
        QTest::newRow("district only, editing") << ""
                                                << "Kiruna" << true << false << norrbotten << norrbottenDistricts;
        QTest::newRow("district only, editing, provinces kept")
            << ""
            << "Kiruna" << true << true << norrbotten << norrbottenDistricts;
        QTest::newRow("district only, browsing") << ""
                                                 << "Kiruna" << false << false << "" << QStringList();
        QTest::newRow("unknown district") << ""
                                          << "Atlantis" << true << false << "" << QStringList();
        QTest::newRow("unknown province") << "Atlantis"
                                          << "" << true << false << "Atlantis" << QStringList({});
    }
    void fillDistrictItems() {
        QFETCH(QString, province);
        QFETCH(QString, district);
        QFETCH(bool, editing);
        QFETCH(bool, provincesGiven);
        QFETCH(QString, provinceAfter);
        QFETCH(QStringList, districts);
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        w.cdsDistricts->SetRecNo(100);

        TClientDataSet record;
        record.SetFieldDefs({{"Province", TFieldType::ftString, 30}, {"District", TFieldType::ftString, 30}});
        record.CreateDataSet();
        record.Append();
        record.FieldByName("Province")->SetAsString(province);
        record.FieldByName("District")->SetAsString(district);
        record.Post();
        if (editing) record.Edit();

        QStringList provinces = provincesGiven ? QStringList({"Eget län"}) : QStringList();
        QStringList districtItems{"gammal"};
        w.FillDistrictItems(&record, provinces, districtItems);

        QCOMPARE(record.FieldByName("Province")->AsString(), provinceAfter);
        QCOMPARE(record.FieldByName("District")->AsString(), district);
        if (provincesGiven) {
            QCOMPARE(provinces, QStringList({"Eget län"}));
        } else {
            QCOMPARE(provinces.size(), 21);
            QCOMPARE(provinces.first(), QString::fromUtf8("Blekinge län"));
            QCOMPARE(provinces.last(), QString::fromUtf8("Östergötlands län"));
        }
        if (QTest::currentDataTag() == QLatin1String("unknown province")) {
            QVERIFY(districtItems.isEmpty());
        } else if (districts.isEmpty()) {
            QCOMPARE(districtItems.size(), 290);
            QStringList sorted = districtItems;
            std::sort(sorted.begin(), sorted.end(),
                      [](const QString& a, const QString& b) { return TUKeyStringlist::CompareStrings(a, b) < 0; });
            QCOMPARE(districtItems, sorted);
            QCOMPARE(districtItems.first(), QString("Ale"));
            QCOMPARE(districtItems.last(), QString::fromUtf8("Övertorneå"));
        } else {
            QCOMPARE(districtItems, districts);
        }
        // The district table stays where it was.
        QCOMPARE(w.cdsDistricts->RecNo(), 100);
    }

    // ---- Colour memory ----

    void prevColorsSkipBadAndMissingKeys() {
        ProgramFolder folder;
        folder.withDistricts();
        folder.write("user.ini",
                     "[Settings]\n"
                     "PrevColors0=5,3,1,2,4,6\n"
                     "PrevColors1=x,1\n"
                     "PrevColors2=\n"
                     "PrevColors3=16777216,9\n"
                     "PrevColors4=10, 7\n"
                     "PrevColors7=-1\n"
                     "PrevColors19=255,65280,16711680\n"
                     "LastVisitedScreen=0\n\n");
        RegisterStandIn(ssFungi, "Artbeskrivningar");
        TformFRMain w;
        w.inifileMain->SetFilename(folder.path("user.ini"));
        w.inifileMain->Open();
        w.CreateScreens();
        w.PrevColors = {99};
        w.LoadPrevColors();
        QCOMPARE(w.PrevColors, QList<int>({1, 2, 3, 4, 5, 6, 7, 10, 255, 65280, 16711680}));

        // The show hook runs to its end around the colour memory.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.PrevColors.size(), 11);
        QVERIFY(w.CurrentScreen() == w.Screen(ssFungi));
        QVERIFY(UIServices::MessageLog().isEmpty());
        QVERIFY(Resources::HasScreenCursor(5));
        QCOMPARE(w.windowTitle(), QString("Mykotekshallen"));
        w.HideCurrentScreen();
    }

    void prevColorsWrittenBackAreReadAgain() {
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        for (int i = 0; i < 130; ++i) w.PrevColors.append(1000 - i);
        w.SortPrevColors();
        w.SavePrevColors();
        QCOMPARE(w.inifileMain->ReadString("Settings/PrevColors0"), QString("871,872,873,874,875,876"));
        QList<int> expected = w.PrevColors.mid(0, 120);
        w.LoadPrevColors();
        QCOMPARE(w.PrevColors, expected);
    }

    // ---- Name lists ----

    void nameListsComeFromTheTableFiles() {
        ProgramFolder folder;
        folder.withDistricts();
        const QString db = GetDatabaseFolder();
        WriteTable(db + "Fungi.dat", {"UKey", "LatinName", "SwedishName", "FungiData"},
                   {{"020A", "Boletus edulis", "Stensopp", "CPLD"},
                    {"020B", "Cantharellus cibarius", "Kantarell", "UNCP"},
                    {"020C", "Amanita virosa", "", "CPLD"}});
        WriteTable(db + "SwedishNames.dat", {"MasterUKey", "UKey", "SwedishName"},
                   {{"020A", "02BA", "Karljohan"}, {"020C", "02BB", "Vit flugsvamp"}});
        WriteTable(db + "LatinNames.dat", {"MasterUKey", "UKey", "LatinName"}, {{"020C", "02AA", "Amanita verna"}});
        WriteTable(db + "Contacts.dat", {"UKey", "UserName"},
                   {{"060B", "Östen Ek"}, {"060A", "Anna Andersson"}, {"060C", QString::fromUtf8("Åsa Berg")}});
        TformFRMain w;
        w.BuildSpeciesNameList();
        QCOMPARE(w.CompleteFungiCount, 2);
        QStringList names;
        QStringList keys;
        for (int i = 0; i < w.FungiNames.Count(); ++i) {
            names.append(w.FungiNames.Strings(i));
            keys.append(w.FungiNames.GetUKey(i));
        }
        QCOMPARE(names,
                 QStringList({"Amanita verna", "Amanita virosa", "Boletus edulis", "Cantharellus cibarius", "Kantarell",
                              "Karljohan", "Stensopp", "Vit flugsvamp"}));
        QCOMPARE(keys, QStringList({"020C", "020C", "020A", "020B", "020B", "020A", "020A", "020C"}));
        // The species without a Swedish name has no empty entry.
        QCOMPARE(w.FungiNames.IndexOf(""), -1);

        w.BuildContactNameList();
        QCOMPARE(w.ContactNames.Count(), 3);
        QCOMPARE(w.ContactNames.Strings(0), QString("Anna Andersson"));
        QCOMPARE(w.ContactNames.Strings(1), QString::fromUtf8("Åsa Berg"));
        QCOMPARE(w.ContactNames.Strings(2), QString::fromUtf8("Östen Ek"));
        QCOMPARE(w.ContactNames.GetUKey(2), QString("060B"));

        // Built again, the lists are replaced, not added to.
        w.BuildSpeciesNameList();
        QCOMPARE(w.FungiNames.Count(), 8);
    }

    // The lists read the files the data module keeps open and writes through.
    void nameListsAndGroupsBesideTheDataModule() {
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        TDM dm(GetProgramFolder());
        w.SetDataModule(&dm);
        for (const char* name : {"Kerstin Lind", "Bo Ek"}) {
            dm.cdsContacts->Append();
            dm.cdsContacts->FieldByName("UserName")->SetAsString(QString::fromUtf8(name));
            dm.cdsContacts->Post();
        }
        for (const char* group : {"Soppar", "Kremlor", "Flugsvampar"}) {
            dm.cdsFungiGroups->Append();
            dm.cdsFungiGroups->FieldByName("FungiGroup")->SetAsString(QString::fromUtf8(group));
            dm.cdsFungiGroups->Post();
        }
        w.BuildContactNameList();
        QCOMPARE(w.ContactNames.Count(), 2);
        QCOMPARE(w.ContactNames.Strings(0), QString("Bo Ek"));
        QVERIFY(dm.cdsContacts->Locate("UserName", "Bo Ek"));
        QCOMPARE(w.ContactNames.GetUKey(0), dm.cdsContacts->FieldByName("UKey")->AsString());
        const int at = dm.cdsFungiGroups->RecNo();
        w.BuildFungiGroupList();
        // In the table's own order, which is by group name.
        QCOMPARE(w.FungiGroups, QStringList({"Flugsvampar", "Kremlor", "Soppar"}));
        QCOMPARE(dm.cdsFungiGroups->RecNo(), at);
        // The data module's tables still take changes afterwards.
        dm.cdsContacts->Append();
        dm.cdsContacts->FieldByName("UserName")->SetAsString("Cecilia Ahl");
        dm.cdsContacts->Post();
        w.BuildContactNameList();
        QCOMPARE(w.ContactNames.Count(), 3);
        w.SetDataModule(nullptr);
    }

    // Beside a data module the lists are what the table files give, however the files and the
    // data module's tables came apart since it opened them.
    void nameListsBesideTheDataModuleAreThoseOfTheFiles_data() {
        QTest::addColumn<QString>("change");
        for (const char* change : {"nothing", "files written by other tables", "unsaved in the data module",
                                   "posted in the data module", "selection in the data module"})
            QTest::newRow(change) << QString::fromLatin1(change);
    }
    void nameListsBesideTheDataModuleAreThoseOfTheFiles() {
        QFETCH(QString, change);
        ProgramFolder folder;
        folder.withDistricts();
        const QString db = GetDatabaseFolder();
        WriteTable(db + "Fungi.dat", {"UKey", "LatinName", "SwedishName", "FungiData"},
                   {{"020A", "Boletus edulis", "Stensopp", "CPLD"},
                    {"020B", "Cantharellus cibarius", "Kantarell", "UNCP"},
                    {"020C", "Amanita virosa", "", "CPLD"}});
        WriteTable(db + "SwedishNames.dat", {"MasterUKey", "UKey", "SwedishName"}, {{"020A", "02BA", "Karljohan"}});
        WriteTable(db + "LatinNames.dat", {"MasterUKey", "UKey", "LatinName"}, {{"020C", "02AA", "Amanita verna"}});
        WriteTable(db + "Contacts.dat", {"UKey", "UserName"}, {{"060B", "Östen Ek"}, {"060A", "Anna Andersson"}});
        TDM dm(GetProgramFolder());
        TformFRMain w;
        w.SetDataModule(&dm);
        const auto add = [](TClientDataSet* t, const QStringList& fields, const QStringList& values) {
            t->Append();
            for (int i = 0; i < fields.size(); ++i) t->FieldByName(fields[i])->SetAsString(values[i]);
            t->Post();
        };
        const QStringList species{"UKey", "LatinName", "SwedishName", "FungiData"};
        if (change == "files written by other tables") {
            for (const char* file : {"Fungi.dat", "SwedishNames.dat", "Contacts.dat"}) {
                TClientDataSet other;
                other.LoadFromFile(db + file);
                if (QLatin1String(file) == QLatin1String("Fungi.dat"))
                    add(&other, species, {"020D", "Morchella esculenta", "Toppmurkla", "CPLD"});
                else if (QLatin1String(file) == QLatin1String("Contacts.dat"))
                    add(&other, {"UKey", "UserName"}, {"060C", "Bo Lind"});
                else
                    add(&other, {"MasterUKey", "UKey", "SwedishName"}, {"020B", "02BB", "Gul kantarell"});
                other.SaveToFile();
            }
        }
        if (change == "unsaved in the data module") {
            dm.cdsFungi->SetAutoSave(false);
            dm.cdsContacts->SetAutoSave(false);
            add(dm.cdsFungi, {"LatinName", "SwedishName", "FungiData"}, {"Morchella esculenta", "Toppmurkla", "CPLD"});
            add(dm.cdsContacts, {"UserName"}, {"Bo Lind"});
        }
        if (change == "posted in the data module") {
            add(dm.cdsFungi, {"LatinName", "SwedishName", "FungiData"}, {"Morchella esculenta", "Toppmurkla", "CPLD"});
            add(dm.cdsContacts, {"UserName"}, {"Bo Lind"});
        }
        if (change == "selection in the data module") {
            dm.cdsFungi->SetSel({"Str(FungiData = \"CPLD\")"});
            dm.cdsFungi->LoadData();
        }
        w.BuildSpeciesNameList();
        w.BuildContactNameList();
        const auto entries = [](const TUKeyStringlist& list) {
            QStringList out;
            for (int i = 0; i < list.Count(); ++i) out.append(list.Strings(i) + u'=' + list.GetUKey(i));
            return out;
        };
        const QStringList species1 = entries(w.FungiNames), contacts1 = entries(w.ContactNames);
        const int complete = w.CompleteFungiCount;
        // The same lists read from the files alone.
        w.SetDataModule(nullptr);
        w.BuildSpeciesNameList();
        w.BuildContactNameList();
        QCOMPARE(species1, entries(w.FungiNames));
        QCOMPARE(contacts1, entries(w.ContactNames));
        QCOMPARE(complete, w.CompleteFungiCount);
        QCOMPARE(species1.size(),
                 change == "files written by other tables"   ? 10
                     : change == "posted in the data module" ? 9
                                                             : 7);
    }

    void nameListsWithoutTableFilesAreEmpty() {
        ProgramFolder folder;
        folder.withDistricts();
        folder.write("Data/Db/Fungi.dat", "damaged");
        TformFRMain w;
        w.BuildSpeciesNameList();
        w.BuildContactNameList();
        QCOMPARE(w.FungiNames.Count(), 0);
        QCOMPARE(w.ContactNames.Count(), 0);
        QCOMPARE(w.CompleteFungiCount, 0);
    }

    // ---- Small services ----

    void checkEditNumber_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::newRow("0 empty") << 0 << "" << false;
        QTest::newRow("0 blanks") << 0 << "   " << false;
        QTest::newRow("0 text") << 0 << "abc" << true;
        QTest::newRow("1 zero") << 1 << "0" << false;
        QTest::newRow("1 positive") << 1 << "5" << true;
        QTest::newRow("1 with blanks") << 1 << " 7 " << true;
        QTest::newRow("1 negative") << 1 << "-1" << false;
        QTest::newRow("1 decimal") << 1 << "1.5" << false;
        QTest::newRow("1 text") << 1 << "abc" << false;
        QTest::newRow("1 empty") << 1 << "" << false;
        QTest::newRow("2 zero") << 2 << "0" << true;
        QTest::newRow("2 negative") << 2 << "-3" << false;
        QTest::newRow("2 large") << 2 << "2147483647" << true;
        QTest::newRow("2 too large") << 2 << "2147483648" << false;
        QTest::newRow("unknown mode") << 3 << "5" << false;
    }
    void checkEditNumber() {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QWidget form;
        auto* other = new QLineEdit(&form);
        auto* edit = new QLineEdit(&form);
        edit->move(0, 30);
        edit->setText(text);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        other->setFocus();
        QVERIFY(other->hasFocus());
        try {
            CheckEditNumber(mode, edit, "Ogiltigt antal.");
            QVERIFY(ok);
            QVERIFY(other->hasFocus());
        } catch (const Exception& e) {
            QVERIFY(!ok);
            QCOMPARE(e.Message(), QString("Ogiltigt antal."));
            QVERIFY(edit->hasFocus());
        }
    }

    void stackControlPlacesShownControlsOneBelowTheOther() {
        ProgramFolder folder;
        folder.withDistricts();
        TformFRMain w;
        QWidget panel;
        QLabel a(&panel), b(&panel), c(&panel);
        a.move(10, 500);
        w.StackPos = 5;
        w.StackControl(&a, true, 20, 3);
        w.StackControl(&b, false, 20, 0);
        w.StackControl(&c, true, 35, 0);
        QCOMPARE(a.pos(), QPoint(10, 8));
        QCOMPARE(c.y(), 25);
        QCOMPARE(w.StackPos, 60);
        QVERIFY(!a.isHidden() && b.isHidden() && !c.isHidden());
    }

    void quickSelectionResetKeepsLockedChoices() {
        TQuickSelectionHandler q;
        q.Complete = q.CompleteLocked = true;
        q.SwedishName = true;
        q.Edible = q.HasPicture = true;
        q.CountryPart = "10000000";
        q.Season = "000011000000";
        q.Habitat = "100000000000000";
        q.FungiGroup = "Soppar";
        q.Reset();
        QVERIFY(q.Complete);
        QVERIFY(!q.SwedishName && !q.Edible && !q.HasPicture);
        QCOMPARE(q.CountryPart, QString("00000000"));
        QCOMPARE(q.Season, QString("000000000000"));
        QCOMPARE(q.Habitat, QString("000000000000000"));
        QVERIFY(q.FungiGroup.isEmpty());
    }

    // ---- Screens, showing and quitting ----

    void showActivatesTheLastVisitedScreen_data() {
        QTest::addColumn<QString>("stored");  // empty: no such key in the file
        QTest::addColumn<int>("expected");  // -1: no screen
        QTest::newRow("absent") << "" << 0;
        QTest::newRow("third slot, earlier ones missing") << "3" << 3;
        QTest::newRow("no such screen") << "7" << -1;
        QTest::newRow("not a number") << "abc" << 0;
    }
    void showActivatesTheLastVisitedScreen() {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        ProgramFolder folder;
        folder.withDistricts();
        folder.write("user.ini",
                     stored.isEmpty() ? QByteArray("[Settings]\n\n")
                                      : ("[Settings]\nLastVisitedScreen=" + stored.toUtf8() + "\n\n"));
        RegisterStandIn(ssFungi, "Artbeskrivningar");
        RegisterStandIn(ssFood, "Svamp i maten");
        TformFRMain w;
        w.inifileMain->SetFilename(folder.path("user.ini"));
        w.inifileMain->Open();
        w.CreateScreens();
        QCOMPARE(w.Screens().size(), 2);
        QCOMPARE(w.Screen(ssFood)->ScreenID, 3);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (expected < 0) {
            QVERIFY(!w.CurrentScreen());
        } else {
            QVERIFY(w.CurrentScreen());
            QCOMPARE(w.CurrentScreen()->ScreenID, expected);
            QVERIFY(w.CurrentScreen()->Frame()->isVisible());
        }
        QVERIFY(UIServices::MessageLog().isEmpty());
        // 800 x 600 where the screen has room for it and the frame; never above the screen.
        const QRect area = w.screen()->availableGeometry();
        QCOMPARE(w.size(), QSize(800, 600).boundedTo(area.size() - QSize(16, 48)).expandedTo(w.minimumSizeHint()));
        QVERIFY(w.frameGeometry().top() >= area.top());
        QVERIFY(w.frameGeometry().left() >= area.left());
    }

    void quitSequenceRunsOnceAndEmptiesTheArticleFolder() {
        ProgramFolder folder;
        folder.withDistricts();
        folder.write("Temp/KnowBase/020ABC/main.htm", "<html></html>");
        folder.write("Temp/KnowBase/020ABC/pics/a.jpg", "x");
        folder.write("Temp/KnowBase/020DEF.dat", "zip");
        RegisterStandIn(ssFungi, "Artbeskrivningar");
        RegisterStandIn(ssMap, "Kartor");
        TformFRMain w;
        w.inifileMain->SetFilename(folder.path("Data/Users/u.ini"));
        w.inifileMain->Open();
        w.CreateScreens();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Screen(ssMap)->Navigate();
        auto* screen = static_cast<StandInScreen*>(w.Screen(ssMap));
        QPointer<StandInFrame> frame = screen->lastFrame;
        QVERIFY(frame);
        bool terminated = false;
        w.OnTerminate = [&] { terminated = true; };

        w.sbtnQuit->click();
        QVERIFY(terminated);
        QVERIFY(w.QuitDone());
        QVERIFY(!IniFile());
        QVERIFY(!w.CurrentScreen());
        QCOMPARE(frame ? frame->saves : 1, 1);
        QVERIFY(!QFileInfo::exists(folder.path("Temp/KnowBase/020ABC/main.htm")));
        QVERIFY(!QFileInfo::exists(folder.path("Temp/KnowBase/020DEF.dat")));
        QVERIFY(!QFileInfo::exists(folder.path("Temp/KnowBase/020ABC")));

        // What the quit wrote reached the user's file.
        TFRIniFile check;
        check.SetDefaults(TFRIniFile::ProgramDefaults());
        check.SetFilename(folder.path("Data/Users/u.ini"));
        check.Open();
        QCOMPARE(check.ReadInteger("Settings/LastVisitedScreen"), 1);
        QCOMPARE(check.ReadString("Fungi/LastVisited"), QString("saved by frame"));
        QCOMPARE(check.ReadInteger("formFRMain/Width"),
                 w.normalGeometry().isValid() ? w.normalGeometry().width() : w.width());

        // Closing after quitting runs nothing a second time.
        folder.write("Temp/KnowBase/later.dat", "x");
        w.close();
        QVERIFY(QFileInfo::exists(folder.path("Temp/KnowBase/later.dat")));
        QVERIFY(UIServices::MessageLog().isEmpty());
    }

    void closeIsRefusedWhileNavigationIsLocked() {
        ProgramFolder folder;
        folder.withDistricts();
        folder.write("Temp/KnowBase/a.dat", "x");
        RegisterStandIn(ssFungi, "Artbeskrivningar");
        TformFRMain w;
        w.CreateScreens();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SetNavigationEnabled(false);
        QVERIFY(!w.FormCloseQuery());
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(!w.QuitDone());
        QVERIFY(!w.sbtnBack->isEnabled() && !w.sbtnForward->isEnabled() && !w.sbtnHelp->isEnabled());
        // Refused, but not silently: the close and every locked button say why.
        const QString why = QString::fromUtf8(NavigationLockedText);
        QCOMPARE(QToolTip::text(), why);
        for (QAbstractButton* b : {static_cast<QAbstractButton*>(w.sbtnBack), static_cast<QAbstractButton*>(w.sbtnHelp),
                                   static_cast<QAbstractButton*>(w.Screen(ssFungi)->MenuButton())})
            QCOMPARE(b->toolTip(), why);
        QVERIFY(QFileInfo::exists(folder.path("Temp/KnowBase/a.dat")));
        w.SetNavigationEnabled(true);
        QVERIFY(w.sbtnHelp->toolTip() != why);
        QVERIFY(w.close());
        QVERIFY(w.QuitDone());
        QVERIFY(!QFileInfo::exists(folder.path("Temp/KnowBase/a.dat")));
    }

    void backAndForwardButtonsFollowTheHistory() {
        ProgramFolder folder;
        folder.withDistricts();
        RegisterStandIn(ssFungi, "Artbeskrivningar");
        RegisterStandIn(ssMap, "Kartor");
        TformFRMain w;
        w.CreateScreens();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.sbtnBack->isEnabled() && !w.sbtnForward->isEnabled());
        auto* item = new TFRHistoryItem;
        item->Screen = w.Screen(ssMap);
        item->Title = "Till Kartor";
        History()->Add(item);
        QVERIFY(w.sbtnBack->isEnabled());
        QCOMPARE(w.sbtnBack->toolTip(), QString("Till Kartor"));
        w.sbtnBack->click();  // the stand-in frame describes no view: nothing is added
        QCOMPARE(w.CurrentScreen(), w.Screen(ssMap));
        QVERIFY(!w.sbtnBack->isEnabled());
        w.HideCurrentScreen();
    }

    // The menu column as the user sees it, with every function area in place.
    void screenshot() {
        ProgramFolder folder;
        folder.withDistricts();
        const QList<std::pair<const char*, const char*>> screens = {
            {"Artbeskrivningar", "Sök och detaljstudera olika arters egenskaper och utseende"},
            {"Kartor", ""},
            {"Svampställen", "Registrera Dina bästa svampställen och utflykterna Du gör till dem"},
            {"Svamp i maten", "Här kan Du lagra Dina bästa svamprecept och ta del av andras godbitar!"},
            {"Svampnyckel", "Kolla vilken svamp Du just hittat genom att beskriva dess färg, form, lukt och smak"},
            {"Svampvetenskap", ""},
            {"Kontakter", "Håll reda på alla Dina svampvänner och skicka e-post till grupper eller individer"},
            {"Internet-resurser", "Här hittar du svamplänkar, kontroll av programuppdatering och mycket mera"},
            {"Användarhantering", "Ändra Dina personliga uppgifter, hantera användare (endast administratör)"},
            {"Verktyg", "Verktyg för säkerhetskopiering, databasreparation, bildimport m.m."},
        };
        for (int i = 0; i < screens.size(); ++i)
            RegisterStandIn(i, QString::fromUtf8(screens[i].first), QString::fromUtf8(screens[i].second));
        TformFRMain w;
        w.CreateScreens();
        QCOMPARE(w.Screens().size(), 10);
        // The tenth button lies 9 x 32 pixels below the first.
        QCOMPARE(w.Screen(9)->MenuButton()->y() - w.Screen(0)->MenuButton()->y(), 9 * 32);
        for (int i = 0; i < 10; ++i) QCOMPARE(w.Screen(i)->ScreenID, i);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.CurrentScreen(), w.Screen(ssFungi));
        QVERIFY(w.Screen(ssFungi)->MenuButton()->isChecked());
        w.lblCurrentUser->setText("Anna Andersson");
        QTest::qWait(20);
        const QImage shot = w.grab().toImage();
        QVERIFY(!shot.isNull());
        QCOMPARE(shot.size(), w.size() * w.devicePixelRatio());  // the window, fitted to the screen
        QVERIFY(shot.save(testsupport::ArtefactDir() + "/mainwindow.png"));
        // The menu column is drawn in its own colour, left of the screen holder.
        const QColor menu = shot.pixelColor(4, shot.height() / 2);
        const QColor holder = shot.pixelColor(shot.width() - 4, shot.height() - 4);
        QVERIFY(menu.green() > menu.red() && menu.lightness() < 120);
        QVERIFY(holder.lightness() > 200);
        w.HideCurrentScreen();
    }

private:
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
