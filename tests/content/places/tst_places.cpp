#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QScopeGuard>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <csignal>
#include <memory>

#include "content/contacts/unitContactScreen.h"
#include "content/contacts/unitFrameContacts.h"
#include "content/places/unitFramePlaces.h"
#include "content/species/unitFungiScreen.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FREdits.h"
#include "controls/FRLocks.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/AtomicFile.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"
#include "shell/UserTestSupport.h"

using UIServices::TMsgResult;

namespace {

const char* kChildFolder = "MYKO_PLACES_CHILD_FOLDER";
const char* kChildStep = "MYKO_PLACES_CHILD_STEP";

// The places screen in the main window over a data module in its own program folder, with
// Anna logged in. Cecilia is a contact who is not a user.
struct PlaceFixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir tmp;
    QString folder;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TFRIniFile> settings;
    std::unique_ptr<TformFRMain> main;
    TFRPlaceScreen* screen = nullptr;
    QString anna, annaContact, bertil, bertilContact, cecilia;

    // Neighbours: the real species and contact screens are made too.
    explicit PlaceFixture(const QString& useFolder = QString(), bool neighbours = false) {
        folder = useFolder.isEmpty() ? tmp.path() : useFolder;
        ui.AnswerBoxes(TMsgResult::OK);  // the test folder has no district file
        SetProgramFolder(folder);
        dm = std::make_unique<TDM>(folder);
        settings = UseDataModule(dm.get());
        if (dm->cdsUsers->IsEmpty()) {
            annaContact = AddContact("Anna Andersson");
            bertilContact = AddContact("Bertil Berg");
            cecilia = AddContact("Cecilia Ek");
            anna = AddUser("Anna Andersson", annaContact);
            bertil = AddUser("Bertil Berg", bertilContact);
        } else {
            anna = KeyOf(dm->cdsUsers, "UserName", "Anna Andersson");
            bertil = KeyOf(dm->cdsUsers, "UserName", "Bertil Berg");
            annaContact = KeyOf(dm->cdsContacts, "UserName", "Anna Andersson");
            cecilia = KeyOf(dm->cdsContacts, "UserName", "Cecilia Ek");
        }
        SelectCurrentUser(anna);
        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        main->BuildContactNameList();
        main->resize(800, 600);
        main->show();
        TformFRMain::ClearScreenFactories();
        RegisterPlaceScreen();
        if (neighbours) {
            RegisterFungiScreen();
            RegisterContactScreen();
        }
        main->CreateScreens();
        screen = qobject_cast<TFRPlaceScreen*>(main->Screen(ssPlace));
        screen->Activate(QString());
        UIServices::ClearMessageLog();
    }
    ~PlaceFixture() {
        main.reset();
        TformFRMain::ClearScreenFactories();
        SetUserEnvironment({});
        SetProgramFolder(QString());
    }

    TframePlaces* Frame() const { return screen->PlacesFrame(); }
    TExtClientDataSet* Places() const { return dm->cdsPlaces; }
    TExtClientDataSet* Visits() const { return dm->cdsPlaceVisits; }
    TExtClientDataSet* People() const { return dm->cdsPlacePeople; }
    TExtClientDataSet* Finds() const { return dm->cdsPlaceFinds; }

    static QString KeyOf(TClientDataSet* table, const char* field, const QString& value) {
        for (table->First(); !table->Eof(); table->Next())
            if (table->FieldByName(field)->AsString() == value) return GetUKey(table);
        return QString();
    }
    QString AddContact(const QString& name) {
        TExtClientDataSet* contacts = dm->cdsContacts;
        contacts->Append();
        contacts->FieldByName("UserName")->SetAsString(name);
        contacts->Post();
        return GetUKey(contacts);
    }
    QString AddUser(const QString& name, const QString& contact) {
        TExtClientDataSet* users = dm->cdsUsers;
        users->Append();
        users->FieldByName("UserName")->SetAsString(name);
        users->FieldByName("ContactUKey")->SetAsString(contact);
        users->Post();
        return GetUKey(users);
    }
    void Login(const QString& user) {
        SelectCurrentUser(user);
        Frame()->UpdateFrame();
    }
    int RefCountInFile(const QString& contact) const {
        TClientDataSet t;
        t.LoadFromFile(dm->cdsContacts->Filename());
        return t.Locate("UKey", contact) ? t.FieldByName("RefCount")->AsInteger() : -1;
    }
    QStringList FileColumn(TExtClientDataSet* table, const char* field) const {
        TClientDataSet t;
        t.LoadFromFile(table->Filename());
        QStringList values;
        for (t.First(); !t.Eof(); t.Next()) values << t.FieldByName(field)->AsString();
        values.sort();
        return values;
    }

    // A place stored straight into the table, by the logged-in user.
    QString AddPlace(const QString& name, const QString& province, const QString& district = QString()) {
        Places()->Append();
        Places()->FieldByName("PlaceName")->SetAsString(name);
        Places()->FieldByName("Province")->SetAsString(province);
        Places()->FieldByName("District")->SetAsString(district);
        Places()->FieldByName("CreatedBy")->SetAsString(GetCurrentUserContactUKey());
        Places()->Post();
        return GetUKey(Places());
    }

    // A visit of the current place entered through the frame: participants are contact keys
    // or free names, finds are species names.
    QString EnterVisit(const QString& date, const QStringList& people, const QStringList& finds) {
        TframePlaces* f = Frame();
        f->VisitStart(true);
        f->editVisitDate->setText(date);
        for (const QString& who : people) {
            f->btnPeopleNewClick();
            const QString name =
                dm->cdsContacts->Locate("UKey", who) ? dm->cdsContacts->FieldByName("UserName")->AsString() : QString();
            if (!name.isEmpty()) {
                // Found through the search panel by the first name.
                f->searchPeople->Edit->setText(name.section(' ', 0, 0));
                f->searchPeople->Search();
            } else {
                f->searchPeople->Edit->setText(who);
            }
            f->btnPeopleSaveClick();
        }
        for (const QString& species : finds) {
            f->btnFindNewClick();
            SpeciesKey(species);
            f->searchFungi->Edit->setText(species);
            f->searchFungi->Search();
            f->btnFindSaveClick();
        }
        f->btnVisitSaveClick();
        return GetUKey(Visits());
    }
    QString SpeciesKey(const QString& name) {
        const QString existing = KeyOf(dm->cdsFungi, "SwedishName", name);
        if (!existing.isEmpty()) return existing;
        dm->cdsFungi->Append();
        dm->cdsFungi->FieldByName("SwedishName")->SetAsString(name);
        dm->cdsFungi->Post();
        const QString key = GetUKey(dm->cdsFungi);
        Frame()->searchFungi->SearchList.AddUKey(name, key);
        return key;
    }
    QStringList Lines(QListWidget* list) const {
        QStringList lines;
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    }
};

// Run as a child process: stores a visit with two participants and two finds, then starts
// to replace them and is killed in the middle of the save.
int RunKilledChild(const QString& folder, int killStep) {
    PlaceFixture f(folder);
    f.AddPlace("Storskogen", "Skåne län");
    f.EnterVisit("2024-09-14", {f.cecilia, "Kalle"}, {"Kantarell", "Karljohan"});
    f.Frame()->VisitStart(false);
    f.Frame()->listPeople->setCurrentRow(0);
    f.Frame()->btnPeopleDeleteClick();
    f.Frame()->btnFindNewClick();
    f.Frame()->searchFungi->Edit->setText("Trattkantarell");
    f.Frame()->FindChosen(f.SpeciesKey("Trattkantarell"));
    f.Frame()->btnFindSaveClick();
    // Steps up to 3 are the frame's (before any file is written); 100 + n is the save
    // unit's step n (2: the visit's file written, the others not yet).
    f.Frame()->OnVisitSaveStep = [killStep](int step) {
        if (step == killStep) std::raise(SIGKILL);
    };
    TSaveUnit::StepHook = [killStep](int step) {
        if (100 + step == killStep) std::raise(SIGKILL);
    };
    f.Frame()->btnVisitSaveClick();
    return 0;
}

}  // namespace

class TestPlaces : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void screen_registeredInItsSlot();
    void heading_followsPlaceSelection_data();
    void heading_followsPlaceSelection();
    void deletePlace_confirmsAndCascades_data();
    void deletePlace_confirmsAndCascades();
    void visit_linesAndParticipants();
    void participantAndFind_missingNames();
    void newPlace_startsWithLastLocks();
    void savePlace_withoutProvince_staysInEdit();
    void cancelledVisitEdit_leavesFilesUnchanged();
    void editingTwoVisits_keepsEachOnesRows();
    void rowBeingEntered_isKeptNotDropped();
    void rowsEnteredInOneMillisecond_getKeysOfTheirOwn();
    void visitSave_failureMidway_restoresStoredRows_data();
    void visitSave_failureMidway_restoresStoredRows();
    void visitSave_killed_leavesStoredRowsIntact_data();
    void visitSave_killed_leavesStoredRowsIntact();
    void otherUser_mayDeleteButNotEdit();
    void visitDate_invalid_keepsField_data();
    void visitDate_invalid_keepsField();
    void history_describesVisitView();
    void deletedSpeciesAndContact_showStoredNames();
    void sortOrder_storedAndApplied();
    void doubleClick_opensContactAndSpecies();
    void provinceLeftUnmarkedAfterSave();
    void screenshots();
};

void TestPlaces::screen_registeredInItsSlot() {
    PlaceFixture f;
    QVERIFY(f.screen);
    QCOMPARE(f.screen->MenuButton()->text(), QString("Svampställen"));
    QCOMPARE(f.screen->MenuButton()->toolTip(),
             QString("Registrera Dina bästa svampställen och utflykterna Du gör till dem"));
    QCOMPARE(f.screen->DataSet(), static_cast<TClientDataSet*>(f.Places()));
    QVERIFY(f.Frame());
    QVERIFY(f.Frame()->pagesPlaces->currentWidget() == f.Frame()->tabsPlace);
    // The map and print services are not there yet.
    QVERIFY(!f.Frame()->btnMarkOnMap->isEnabled());
    QVERIFY(!f.Frame()->sbtnShowOnMap->isEnabled());
    QVERIFY(!f.Frame()->sbtnPrint->isEnabled());
}

void TestPlaces::heading_followsPlaceSelection_data() {
    QTest::addColumn<QString>("province");
    QTest::addColumn<QString>("district");
    QTest::addColumn<QString>("heading");
    QTest::newRow("none") << ""
                          << ""
                          << "5 svampställen, urval ej aktivt";
    QTest::newRow("province") << "Skåne län"
                              << ""
                              << "4 svampställen, urval aktivt";
    QTest::newRow("district") << "Skåne län"
                              << "Lund"
                              << "3 svampställen, urval aktivt";
}

void TestPlaces::heading_followsPlaceSelection() {
    QFETCH(QString, province);
    QFETCH(QString, district);
    QFETCH(QString, heading);
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län", "Lund");
    f.AddPlace("Ekbacken", "Skåne län", "Lund");
    f.AddPlace("Bokskogen", "Skåne län", "Lund");
    f.AddPlace("Fäladen", "Skåne län", "Ystad");
    f.AddPlace("Hagen", "Uppsala län", "Uppsala");
    f.screen->ChooseProvince(province);
    if (!district.isEmpty()) f.screen->ChooseDistrict(district);
    QCOMPARE(f.Frame()->lblPlaceList->text(), heading);
    QCOMPARE(f.main->PlaceSelProvince, province);
    QCOMPARE(f.main->PlaceSelDistrict, district);
    // Another province clears the district; the empty entry clears both.
    f.screen->ChooseProvince("Uppsala län");
    QCOMPARE(f.screen->SelDistrict(), QString());
    QCOMPARE(f.Frame()->lblPlaceList->text(), QString("1 svampställe, urval aktivt"));
    f.screen->ChooseProvince(QString());
    QCOMPARE(f.Frame()->lblPlaceList->text(), QString("5 svampställen, urval ej aktivt"));
}

void TestPlaces::deletePlace_confirmsAndCascades_data() {
    QTest::addColumn<int>("visits");
    QTest::addColumn<QString>("question");
    QTest::newRow("no visits") << 0
                               << "Du är på väg att radera svampstället \"Storskogen\". Skall raderingen genomföras?";
    QTest::newRow("three visits") << 3
                                  << "Du är på väg att radera svampstället \"Storskogen\" och 3 svamputflykter som "
                                     "hör till det. Skall raderingen genomföras?";
}

void TestPlaces::deletePlace_confirmsAndCascades() {
    QFETCH(int, visits);
    QFETCH(QString, question);
    PlaceFixture f;
    f.AddPlace("Hagen", "Uppsala län");
    const QString kept = f.EnterVisit("2024-08-01", {f.cecilia}, {"Kantarell"});
    f.AddPlace("Storskogen", "Skåne län");
    f.Frame()->UpdateFrame();
    for (int i = 0; i < visits; ++i)
        f.EnterVisit(QString("2024-09-1%1").arg(i), {f.cecilia, "Kalle"}, {"Kantarell", "Karljohan"});
    QCOMPARE(f.RefCountInFile(f.cecilia), 1 + visits);

    f.ui.AnswerBoxes(TMsgResult::No);
    f.Frame()->sbtnPlaceDeleteClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, question);
    QCOMPARE(UIServices::MessageLog().first().Caption, QString("Mykotekshallen - Bekräfta radering"));
    QVERIFY(UIServices::MessageLog().first().Icon == UIServices::TMsgIcon::Warning);
    QCOMPARE(f.FileColumn(f.Places(), "PlaceName"), QStringList({"Hagen", "Storskogen"}));

    f.ui.AnswerBoxes(TMsgResult::Yes);
    f.Frame()->sbtnPlaceDeleteClick();
    QCOMPARE(f.FileColumn(f.Places(), "PlaceName"), QStringList({"Hagen"}));
    // Only the other place's visit, participant and find are left.
    QCOMPARE(f.FileColumn(f.Visits(), "UKey"), QStringList({kept}));
    QCOMPARE(f.FileColumn(f.People(), "MasterUKey"), QStringList({kept}));
    QCOMPARE(f.FileColumn(f.Finds(), "MasterUKey"), QStringList({kept}));
    QCOMPARE(f.RefCountInFile(f.cecilia), 1);
}

void TestPlaces::visit_linesAndParticipants() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    const QString visit = f.EnterVisit("2024-09-14", {f.cecilia, "Kalle Karlsson"}, {"Kantarell"});
    TframePlaces* fr = f.Frame();
    QCOMPARE(f.Lines(fr->listVisits), QStringList({"2024-09-14 (2 deltagare)"}));
    fr->SetShowingVisit(true);
    QVERIFY(fr->pagesPlaces->currentWidget() == fr->tabsVisit);
    QCOMPARE(fr->lblVisitHeading->text(), QString("Storskogen - utflykt 1 av 1"));
    QStringList people = f.Lines(fr->listPeople);
    people.sort();
    QCOMPARE(people, QStringList({"Cecilia Ek (kontakt)", "Kalle Karlsson"}));
    QCOMPARE(f.Lines(fr->listFinds), QStringList({"Kantarell   Antal: -   Kvalitet: Unga"}));
    // Stored as a contact reference and as the typed name.
    QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({" UKEY=" + f.cecilia, "Kalle Karlsson"}));
    QCOMPARE(f.FileColumn(f.People(), "MasterUKey"), QStringList({visit, visit}));
    QCOMPARE(f.RefCountInFile(f.cecilia), 1);

    // The headings while editing; the weather is typed into the visit.
    fr->VisitStart(false);
    QCOMPARE(fr->lblVisitHeading->text(), QString("Storskogen - ändra svamputflykt"));
    QTest::keyClicks(fr->dbeditWeather, "Mulet, 12 grader");
    fr->btnVisitSaveClick();
    QCOMPARE(f.FileColumn(f.Visits(), "Weather"), QStringList({"Mulet, 12 grader"}));
    QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({" UKEY=" + f.cecilia, "Kalle Karlsson"}));
    fr->VisitStart(true);
    QCOMPARE(fr->lblVisitHeading->text(), QString("Storskogen - ny svamputflykt"));
    QVERIFY(!f.main->NavigationEnabled());
    fr->btnVisitCancelClick();
    QVERIFY(f.main->NavigationEnabled());
    QCOMPARE(f.Visits()->RecordCount(), 1);

    // Taking the contact out of a participant gives its use back.
    fr->VisitStart(false);
    for (int row = 0; row < fr->listPeople->count(); ++row) {
        if (!fr->listPeople->item(row)->text().endsWith(" (kontakt)")) continue;
        fr->listPeople->setCurrentRow(row);
        fr->btnPeopleDeleteClick();
        break;
    }
    fr->btnVisitSaveClick();
    QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({"Kalle Karlsson"}));
    QCOMPARE(f.RefCountInFile(f.cecilia), 0);
}

void TestPlaces::participantAndFind_missingNames() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    TframePlaces* fr = f.Frame();
    fr->VisitStart(true);
    fr->btnPeopleNewClick();
    QCOMPARE(testsupport::ExceptionText([&] { fr->btnPeopleSaveClick(); }), QString("Namn på deltagare saknas!"));
    fr->btnFindNewClick();
    fr->searchFungi->Edit->setText("Kantarell");
    QCOMPARE(testsupport::ExceptionText([&] { fr->btnFindSaveClick(); }), QString("Namn på funnen art saknas!"));
    // A contact chosen and then typed over becomes the typed free name.
    fr->btnPeopleNewClick();
    fr->searchPeople->Edit->setText("Cecilia Ek");
    fr->PeopleChosen(f.cecilia);
    fr->searchPeople->Edit->setText("Cecilia Ekström");
    fr->btnPeopleSaveClick();
    QCOMPARE(f.Lines(fr->listPeople), QStringList({"Cecilia Ekström"}));
    // An edited free name is stored as edited.
    fr->listPeople->setCurrentRow(0);
    QCOMPARE(fr->searchPeople->Edit->text(), QString("Cecilia Ekström"));
    fr->searchPeople->Edit->setText("Cecilia Eriksson");
    fr->btnPeopleSaveClick();
    QCOMPARE(f.Lines(fr->listPeople), QStringList({"Cecilia Eriksson"}));
    fr->btnVisitCancelClick();
}

void TestPlaces::newPlace_startsWithLastLocks() {
    PlaceFixture f;
    TframePlaces* fr = f.Frame();
    f.screen->NewPlace();
    QVERIFY(fr->EditingPlace());
    QVERIFY(!f.main->NavigationEnabled());
    QVERIFY(!fr->dblockPosition->Locked());
    QCOMPARE(f.Places()->FieldByName("CreatedBy")->AsString(), f.annaContact);
    f.Places()->FieldByName("PlaceName")->SetAsString("Storskogen");
    f.Places()->FieldByName("Province")->SetAsString("Skåne län");
    f.Places()->FieldByName("PositionLocked")->SetAsBoolean(true);
    fr->btnSaveClick();
    QVERIFY(!fr->EditingPlace());
    QVERIFY(f.main->NavigationEnabled());
    QCOMPARE(f.FileColumn(f.Places(), "PlaceName"), QStringList({"Storskogen"}));

    f.screen->NewPlace();
    QVERIFY(f.Places()->FieldByName("PositionLocked")->AsBoolean());
    QVERIFY(!f.Places()->FieldByName("RouteNoteLocked")->AsBoolean());
    QVERIFY(!f.Places()->FieldByName("NoteTextLocked")->AsBoolean());
    fr->btnCancelClick();
    QCOMPARE(f.Places()->RecordCount(), 1);
}

void TestPlaces::savePlace_withoutProvince_staysInEdit() {
    PlaceFixture f;
    f.screen->NewPlace();
    f.Places()->FieldByName("PlaceName")->SetAsString("Storskogen");
    f.Frame()->btnSaveClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, QString("Du måste ange vilket län fyndet gjordes i"));
    QCOMPARE(UIServices::MessageLog().first().Caption, QString("Mykotekshallen - Fel"));
    QVERIFY(UIServices::MessageLog().first().Icon == UIServices::TMsgIcon::Error);
    QVERIFY(f.Frame()->EditingPlace());
    QVERIFY(f.FileColumn(f.Places(), "PlaceName").isEmpty());
    f.Frame()->btnCancelClick();
}

void TestPlaces::cancelledVisitEdit_leavesFilesUnchanged() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    f.EnterVisit("2024-09-14", {f.cecilia, "Kalle"}, {"Kantarell", "Karljohan"});
    const QByteArray people = testsupport::ReadBytes(f.People()->Filename());
    const QByteArray finds = testsupport::ReadBytes(f.Finds()->Filename());
    const QByteArray contacts = testsupport::ReadBytes(f.dm->cdsContacts->Filename());
    QVERIFY(!people.isEmpty() && !finds.isEmpty());

    TframePlaces* fr = f.Frame();
    fr->VisitStart(false);
    fr->listPeople->setCurrentRow(0);
    fr->btnPeopleDeleteClick();
    fr->btnPeopleNewClick();
    fr->searchPeople->Edit->setText("Lisa");
    fr->btnPeopleSaveClick();
    fr->listFinds->setCurrentRow(0);
    fr->btnFindDeleteClick();
    QCOMPARE(fr->listPeople->count(), 2);
    QCOMPARE(fr->listFinds->count(), 1);
    fr->btnVisitCancelClick();

    QCOMPARE(testsupport::ReadBytes(f.People()->Filename()), people);
    QCOMPARE(testsupport::ReadBytes(f.Finds()->Filename()), finds);
    QCOMPARE(testsupport::ReadBytes(f.dm->cdsContacts->Filename()), contacts);
    fr->SetShowingVisit(true);
    QCOMPARE(fr->listPeople->count(), 2);
    QCOMPARE(fr->listFinds->count(), 2);
}

void TestPlaces::editingTwoVisits_keepsEachOnesRows() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    const QString a = f.EnterVisit("2024-09-14", {"Kalle"}, {"Kantarell"});
    const QString b = f.EnterVisit("2024-09-20", {"Lisa", "Mats"}, {"Karljohan"});
    TframePlaces* fr = f.Frame();
    QVERIFY(LocateUKey(f.Visits(), a));
    fr->VisitStart(false);
    fr->btnPeopleNewClick();
    fr->searchPeople->Edit->setText("Nils");
    fr->btnPeopleSaveClick();
    fr->btnVisitSaveClick();
    QVERIFY(LocateUKey(f.Visits(), b));
    fr->VisitStart(false);
    fr->btnVisitSaveClick();
    QVERIFY(LocateUKey(f.Visits(), a));
    fr->UpdateFrame();
    QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({"Kalle", "Lisa", "Mats", "Nils"}));
    QCOMPARE(f.FileColumn(f.Finds(), "FungiName"), QStringList({"Kantarell", "Karljohan"}));
    QCOMPARE(f.Lines(fr->listVisits), QStringList({"2024-09-20 (2 deltagare)", "2024-09-14 (2 deltagare)"}));
}

// A find or participant still being entered when the next one is begun or the visit is
// saved is kept; a find typed without its species stops the save with the Part's message
// instead of vanishing.
void TestPlaces::rowBeingEntered_isKeptNotDropped() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    f.SpeciesKey("Kantarell");
    f.SpeciesKey("Karljohan");
    TframePlaces* fr = f.Frame();
    fr->VisitStart(true);
    fr->editVisitDate->setText("2024-09-14");
    // Chosen but not saved, then the next one begun: both stay.
    fr->btnPeopleNewClick();
    fr->searchPeople->Edit->setText("Kalle");
    fr->btnPeopleNewClick();
    fr->searchPeople->Edit->setText("Lisa");
    fr->btnFindNewClick();
    fr->searchFungi->Edit->setText("Kantarell");
    fr->searchFungi->Search();
    fr->btnFindNewClick();
    fr->searchFungi->Edit->setText("Karl");
    // Typed, but no species chosen: the save stops and says why.
    const QString error = testsupport::ExceptionText([&] { fr->btnVisitSaveClick(); });
    QCOMPARE(error, QString("Namn på funnen art saknas!"));
    QVERIFY(fr->EditingVisit());
    QCOMPARE(f.Lines(fr->listFinds).size(), 1);
    fr->searchFungi->Search();
    fr->btnVisitSaveClick();
    QVERIFY(!fr->EditingVisit());
    QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({"Kalle", "Lisa"}));
    QCOMPARE(f.FileColumn(f.Finds(), "FungiName"), QStringList({"Kantarell", "Karljohan"}));
}

// Rows entered within one millisecond (a fixed clock) whose random parts come out alike:
// each still gets a key of its own, so that no row takes another's place when stored.
void TestPlaces::rowsEnteredInOneMillisecond_getKeysOfTheirOwn() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    f.SpeciesKey("Kantarell");
    f.SpeciesKey("Karljohan");
    f.SpeciesKey("Trattkantarell");
    testsupport::ClockGuard clock(QDateTime(QDate(2024, 9, 14), QTime(10, 0)));
    SetUKeyRandomSource([] { return 4711u; });
    const auto restore = qScopeGuard([] { SetUKeyRandomSource({}); });
    const QString visit = f.EnterVisit("2024-09-14", {"Kalle", "Lisa"}, {"Kantarell", "Karljohan", "Trattkantarell"});
    QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({"Kalle", "Lisa"}));
    QCOMPARE(f.FileColumn(f.Finds(), "FungiName"), QStringList({"Kantarell", "Karljohan", "Trattkantarell"}));
    QCOMPARE(f.FileColumn(f.Finds(), "MasterUKey"), QStringList(3, visit));
    const QStringList keys = f.FileColumn(f.Finds(), "UKey");
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 3);
}

void TestPlaces::visitSave_failureMidway_restoresStoredRows_data() {
    QTest::addColumn<int>("step");  // 0: the save's journal cannot be written (a full disk)
    QTest::newRow("after the deletes") << 2;
    QTest::newRow("after the new rows") << 3;
    QTest::newRow("journal not written") << 0;
}

void TestPlaces::visitSave_failureMidway_restoresStoredRows() {
    QFETCH(int, step);
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    const QString visit = f.EnterVisit("2024-09-14", {f.cecilia, "Kalle"}, {"Kantarell", "Karljohan"});
    const QByteArray people = testsupport::ReadBytes(f.People()->Filename());
    const QByteArray finds = testsupport::ReadBytes(f.Finds()->Filename());
    const QByteArray contacts = testsupport::ReadBytes(f.dm->cdsContacts->Filename());

    TframePlaces* fr = f.Frame();
    fr->VisitStart(false);
    fr->listPeople->setCurrentRow(0);
    fr->btnPeopleDeleteClick();
    fr->listPeople->setCurrentRow(0);
    fr->btnPeopleDeleteClick();
    fr->btnPeopleNewClick();
    fr->searchPeople->Edit->setText("Lisa");
    fr->btnPeopleSaveClick();
    fr->OnVisitSaveStep = [step](int n) {
        if (n == step) throw Exception("Disken är full");
    };
    if (step == 0) AtomicFileFaults::FailNext(TWriteStep::Flush);
    const QString error = testsupport::ExceptionText([&] { fr->btnVisitSaveClick(); });
    AtomicFileFaults::Clear();
    QVERIFY2(error.startsWith("Svamputflykten kunde inte sparas. Deltagare och fynd är de som sparades tidigare.") &&
                 error.contains(step == 0 ? "(disken är full)" : "Disken är full"),
             qPrintable(error));
    // Nothing of the failed save is left beside the tables.
    QCOMPARE(QDir(f.folder + "/Data/Db").entryList({"*.journal*", "*.tmp"}, QDir::Files), QStringList());

    QCOMPARE(testsupport::ReadBytes(f.People()->Filename()), people);
    QCOMPARE(testsupport::ReadBytes(f.Finds()->Filename()), finds);
    QCOMPARE(testsupport::ReadBytes(f.dm->cdsContacts->Filename()), contacts);
    // Memory holds the stored rows again, and the counts of uses are the stored ones.
    QVERIFY(LocateUKey(f.Visits(), visit));
    QCOMPARE(f.People()->RecordCount(), 2);
    QCOMPARE(f.Finds()->RecordCount(), 2);
    QVERIFY(f.dm->cdsContacts->Locate("UKey", f.cecilia));
    QCOMPARE(f.dm->cdsContacts->FieldByName("RefCount")->AsInteger(), 1);
    for (TExtClientDataSet* t : {f.Visits(), f.People(), f.Finds(), f.dm->cdsContacts}) QVERIFY(t->AutoSave());

    // A later save goes through.
    fr->OnVisitSaveStep = nullptr;
    if (!fr->EditingVisit()) fr->VisitStart(false);
    fr->btnVisitSaveClick();
    QVERIFY(!fr->EditingVisit());
    QVERIFY(f.main->NavigationEnabled());
}

void TestPlaces::visitSave_killed_leavesStoredRowsIntact_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("landed");
    QTest::newRow("before any file is written") << 3 << false;
    QTest::newRow("journal written, no table file") << 101 << true;
    QTest::newRow("after the visit's file") << 102 << true;
    QTest::newRow("every table file written") << 105 << true;
}

void TestPlaces::visitSave_killed_leavesStoredRowsIntact() {
    QFETCH(int, step);
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildFolder, dir.path());
    env.insert(kChildStep, QString::number(step));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    // The next start finds the save whole or not at all: the rows as stored before, or the
    // new ones with the contacts' counts that go with them.
    QFETCH(bool, landed);
    PlaceFixture f(dir.path());
    QVERIFY(f.dm->StartupErrors().isEmpty());
    QCOMPARE(f.Places()->RecordCount(), 1);
    QCOMPARE(f.Visits()->RecordCount(), 1);
    if (landed) {
        QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({"Kalle"}));
        QCOMPARE(f.FileColumn(f.Finds(), "FungiName"), QStringList({"Kantarell", "Karljohan", "Trattkantarell"}));
        QCOMPARE(f.RefCountInFile(f.cecilia), 0);
    } else {
        QCOMPARE(f.FileColumn(f.People(), "Individual"), QStringList({" UKEY=" + f.cecilia, "Kalle"}));
        QCOMPARE(f.FileColumn(f.Finds(), "FungiName"), QStringList({"Kantarell", "Karljohan"}));
        QCOMPARE(f.RefCountInFile(f.cecilia), 1);
    }
    QCOMPARE(QDir(dir.path() + "/Data/Db").entryList({"*.journal*", "*.tmp"}, QDir::Files), QStringList());
}

void TestPlaces::otherUser_mayDeleteButNotEdit() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    f.EnterVisit("2024-09-14", {"Kalle"}, {});
    TframePlaces* fr = f.Frame();
    QVERIFY(fr->sbtnPlaceEdit->isEnabled());
    QVERIFY(fr->sbtnVisitEdit->isEnabled());

    f.Login(f.bertil);
    QVERIFY(!fr->sbtnPlaceEdit->isEnabled());
    QVERIFY(!fr->sbtnVisitEdit->isEnabled());
    QVERIFY(fr->sbtnPlaceDelete->isEnabled());
    QVERIFY(fr->sbtnVisitDelete->isEnabled());
    fr->VisitStart(false);
    QVERIFY(!fr->EditingVisit());
    f.screen->EditPlace();
    QVERIFY(!fr->EditingPlace());
    QVERIFY(f.main->NavigationEnabled());

    f.ui.AnswerBoxes(TMsgResult::Yes);
    fr->sbtnVisitDeleteClick();
    QCOMPARE(UIServices::MessageLog().last().Text,
             QString("Du är på väg att radera den markerade svamputflykten daterad 2024-09-14. Skall raderingen "
                     "genomföras?"));
    QVERIFY(f.FileColumn(f.Visits(), "UKey").isEmpty());
    QVERIFY(f.FileColumn(f.People(), "UKey").isEmpty());
    fr->sbtnPlaceDeleteClick();
    QVERIFY(f.FileColumn(f.Places(), "UKey").isEmpty());
}

void TestPlaces::visitDate_invalid_keepsField_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("no month 13") << "2024-13-01";
    QTest::newRow("Swedish short form") << "14/9 2024";
    QTest::newRow("empty") << "";
    QTest::newRow("no 30 February") << "2024-02-30";
}

void TestPlaces::visitDate_invalid_keepsField() {
    QFETCH(QString, typed);
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    TframePlaces* fr = f.Frame();
    fr->VisitStart(true);
    fr->editVisitDate->setText(typed);
    fr->editVisitDate->setModified(true);
    fr->btnVisitSaveClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, QString("Ogiltigt datum"));
    QVERIFY(fr->EditingVisit());
    QCOMPARE(fr->editVisitDate->text(), typed);
    QVERIFY(f.FileColumn(f.Visits(), "UKey").isEmpty());
    fr->editVisitDate->setText("2024-09-14");
    fr->btnVisitSaveClick();
    QCOMPARE(f.Lines(fr->listVisits), QStringList({"2024-09-14 (0 deltagare)"}));
}

void TestPlaces::history_describesVisitView() {
    PlaceFixture f;
    const QString place = f.AddPlace("Storskogen", "Skåne län");
    const QString visit = f.EnterVisit("2024-09-14", {"Kalle"}, {"Kantarell"});
    TframePlaces* fr = f.Frame();
    std::unique_ptr<TFRHistoryItem> item(fr->CreateHistoryItem());
    QCOMPARE(item->Title, QString("Till Svampställen"));
    QCOMPARE(item->UKey, place);
    QCOMPARE(QStringList(*item), QStringList({"ShowingVisit=0"}));

    fr->SetShowingVisit(true);
    item.reset(fr->CreateHistoryItem());
    QCOMPARE(item->Values("ShowingVisit"), QString("1"));
    QCOMPARE(item->Values("VisitUKey"), visit);
    QCOMPARE(item->Values("PeopleUKey"), GetUKey(f.People()));
    QCOMPARE(item->Values("FindsUKey"), GetUKey(f.Finds()));

    fr->SetShowingVisit(false);
    fr->RestoreHistory(item.get());
    QVERIFY(fr->ShowingVisit());
    QVERIFY(fr->pagesPlaces->currentWidget() == fr->tabsVisit);
}

void TestPlaces::deletedSpeciesAndContact_showStoredNames() {
    PlaceFixture f;
    f.AddPlace("Storskogen", "Skåne län");
    f.EnterVisit("2024-09-14", {f.cecilia}, {"Kantarell"});
    QVERIFY(LocateUKey(f.dm->cdsFungi, f.SpeciesKey("Kantarell")));
    f.dm->cdsFungi->Delete();
    QVERIFY(LocateUKey(f.dm->cdsContacts, f.cecilia));
    f.dm->cdsContacts->Delete();
    TframePlaces* fr = f.Frame();
    fr->SetShowingVisit(true);
    QCOMPARE(f.Lines(fr->listFinds), QStringList({"Kantarell   Antal: -   Kvalitet: Unga"}));
    QCOMPARE(f.Lines(fr->listPeople), QStringList({"(borttagen kontakt)"}));
    const int history = History()->Count();
    fr->listFindsDoubleClick(0);
    fr->listPeopleDoubleClick(0);
    QCOMPARE(History()->Count(), history);
    QVERIFY(fr->ShowingVisit());
    QCOMPARE(f.settings->ReadString("Fungi/LastVisited"), QString());
}

void TestPlaces::sortOrder_storedAndApplied() {
    PlaceFixture f;
    f.AddPlace("Aspdungen", "Uppsala län", "Uppsala");
    f.AddPlace("Bokskogen", "Skåne län", "Lund");
    f.Frame()->UpdateFrame();
    QCOMPARE(f.screen->SortOrder(), quint8(1));
    QCOMPARE(f.Frame()->listPlaces->item(0)->text(), QString("Aspdungen"));
    f.Frame()->SortChosen(2);
    QCOMPARE(f.settings->ReadInteger("Place/SortOrder"), 2);
    QCOMPARE(f.Frame()->listPlaces->item(0)->text(), QString("Bokskogen"));
}

void TestPlaces::doubleClick_opensContactAndSpecies() {
    PlaceFixture f(QString(), true);
    f.AddPlace("Storskogen", "Skåne län");
    f.EnterVisit("2024-09-14", {"Kalle", f.cecilia}, {"Kantarell"});
    const QString kantarell = f.SpeciesKey("Kantarell");
    f.SpeciesKey("Flugsvamp");
    // The species selection leaves the find's species out.
    f.dm->cdsFungi->SetSel({"Str(SwedishName = \"Flugsvamp\")"});
    f.dm->cdsFungi->LoadData();
    QCOMPARE(f.dm->cdsFungi->RecordCount(), 1);
    auto* contacts = qobject_cast<TFRContactScreen*>(f.main->Screen(ssContact));
    QVERIFY(contacts && f.main->Screen(ssFungi));
    TframePlaces* fr = f.Frame();
    fr->SetShowingVisit(true);
    const int history = History()->Count();

    const int free = f.Lines(fr->listPeople).indexOf("Kalle");
    fr->listPeopleDoubleClick(free);
    QCOMPARE(f.main->CurrentScreen(), f.screen);
    fr->listPeopleDoubleClick(f.Lines(fr->listPeople).indexOf("Cecilia Ek (kontakt)"));
    QCOMPARE(f.main->CurrentScreen(), contacts);
    QVERIFY(contacts->ContactsFrame()->ShowingAll());
    QCOMPARE(GetUKey(f.dm->cdsContacts), f.cecilia);
    QCOMPARE(History()->Count(), history + 1);
    QCOMPARE(History()->GetItem(history)->Title, QString("Till Svampställen"));
    QCOMPARE(History()->GetItem(history)->Values("ShowingVisit"), QString("1"));

    f.screen->Activate(QString());
    f.Frame()->RestoreHistory(History()->GetItem(history));
    f.Frame()->listFindsDoubleClick(0);
    QCOMPARE(f.main->CurrentScreen(), f.main->Screen(ssFungi));
    QCOMPARE(GetUKey(f.dm->cdsFungi), kantarell);
    // The selection is widened by the one species, not dropped.
    QCOMPARE(f.dm->cdsFungi->Sel(),
             QStringList({"Str(UKey = \"" + kantarell + "\")", "OR", "Str(SwedishName = \"Flugsvamp\")"}));
    QCOMPARE(f.dm->cdsFungi->RecordCount(), 2);
    QCOMPARE(f.settings->ReadString("Fungi/LastVisited"), kantarell);
}

void TestPlaces::provinceLeftUnmarkedAfterSave() {
    // A province completed from its list as the edit is left shows as plain text once saved.
    PlaceFixture f;
    f.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.main.get()));
    TframePlaces* fr = f.Frame();
    f.screen->NewPlace();
    fr->dbeditProvince->SetItems({"Dalarnas län", "Skåne län", "Uppsala län"});
    fr->dbeditPlaceName->setFocus();
    QTest::keyClicks(fr->dbeditPlaceName, "Storskogen");
    fr->dbeditProvince->setFocus();
    QTest::keyClicks(fr->dbeditProvince, "skå");
    fr->dbeditPlaceName->setFocus();
    QCOMPARE(fr->dbeditProvince->text(), QString("Skåne län"));
    QVERIFY(!fr->dbeditProvince->hasSelectedText());
    fr->btnSave->click();
    QVERIFY(!fr->EditingPlace());
    QCOMPARE(f.FileColumn(f.Places(), "Province"), QStringList({"Skåne län"}));
    QVERIFY(!fr->dbeditProvince->hasSelectedText());
    QVERIFY(!fr->dbeditDistrict->hasSelectedText());
    for (QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.main->resize(size);
        QApplication::processEvents();
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() +
                                    QString("/places_saved_%1x%2.png").arg(size.width()).arg(size.height())));
    }
}

void TestPlaces::screenshots() {
    PlaceFixture f;
    f.AddPlace("Storskogen vid Ängsbacken", "Skåne län", "Lund");
    f.AddPlace("Hagen", "Uppsala län", "Uppsala");
    f.AddPlace("Älvdalens tallhed", "Dalarnas län", "Älvdalen");
    QVERIFY(LocateUKey(f.Places(), f.KeyOf(f.Places(), "PlaceName", "Storskogen vid Ängsbacken")));
    f.Frame()->UpdateFrame();
    f.EnterVisit("2024-09-14", {f.cecilia, "Kalle Karlsson"}, {"Kantarell", "Trattkantarell", "Svart trumpetsvamp"});
    f.EnterVisit("2024-08-30", {"Lisa Öberg"}, {"Karljohan"});
    f.screen->ShowPlace(f.KeyOf(f.Places(), "PlaceName", "Storskogen vid Ängsbacken"));
    QCOMPARE(f.Frame()->listPlaces->currentItem()->text(), QString("Storskogen vid Ängsbacken"));
    f.Frame()->listVisitsClick(0);
    f.Frame()->VisitStart(false);
    QTest::keyClicks(f.Frame()->dbeditWeather, "Mulet, 12 grader");
    f.Frame()->btnVisitSaveClick();
    f.Frame()->listVisitsClick(0);
    for (QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.main->resize(size);
        const QString suffix = QString("_%1x%2.png").arg(size.width()).arg(size.height());
        f.Frame()->SetShowingVisit(false);
        QApplication::processEvents();
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/places_list" + suffix));
        f.Frame()->SetShowingVisit(true);
        QApplication::processEvents();
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/places_visit" + suffix));
        f.Frame()->SetShowingVisit(false);
        f.screen->EditPlace();
        QApplication::processEvents();
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/places_editor" + suffix));
        f.Frame()->btnCancelClick();
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString childFolder = qEnvironmentVariable(kChildFolder);
    if (!childFolder.isEmpty()) return RunKilledChild(childFolder, qEnvironmentVariableIntValue(kChildStep));
    TestPlaces test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_places.moc"
