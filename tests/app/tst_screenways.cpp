// The ways from one screen to another, walked as a user walks them: the program starts on a
// program folder with the shipped catalogue and the sample map sheet, and the real screens
// hand the user to each other (no stand-in screens anywhere). Each way must end where the
// user expects and lose nothing the user typed.
#include <QtTest>
#include <QComboBox>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include "content/contacts/unitContactScreen.h"
#include "content/unitContentScreens.h"
#include "content/contacts/unitFrameContacts.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFrameFungiFinds.h"
#include "content/species/pictures/unitFrameFungiPicDetails.h"
#include "content/maps/unitFrameMaps.h"
#include "content/places/unitFramePlaces.h"
#include "content/species/unitFungiScreen.h"
#include "content/maps/unitMapScreen.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FREdits.h"
#include "controls/FRMapPanel.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "shell/UserTestSupport.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitMain.h"
#include "shell/unitStartup.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

void CopyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + "/" + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(file, target);
    }
}

// A program folder as the build lays it out: resources, scripts, stock pictures, the species
// catalogue with its pictures, the sample sheet and the maps table that lists it (by a path
// relative to the program folder).
struct ShippedFolder {
    QTemporaryDir dir;
    ShippedFolder() {
        const QString build = qEnvironmentVariable("MYKO_BUILD_DIR");
        for (const char* sub : {"Data/Res", "Data/Scripts", "Data/Pics", "Data/Samples"})
            CopyTree(testsupport::ProgramDir() + "/" + sub, path(sub));
        CopyTree(build + "/catalogue/Db", path("Data/Db"));
        for (const char* pics : {"MainPics", "FungiPics", "FungiPicThumbs"})
            CopyTree(build + "/catalogue/" + pics, path(QString("Data/Pics/") + pics));
        CopyTree(build + "/resources/Db", path("Data/Db"));
        QFile::copy(testsupport::ProgramDir() + "/Data/Db/Maps.dat", path("Data/Db/Maps.dat"));
    }
    QString path(const QString& relative) const { return dir.path() + "/" + relative; }
};

const char* const kSampleSheet = "110KALMARSUNDSHEET";
// Kalmar, on the sample sheet.
constexpr int kKalmarX = 1533822;
constexpr int kKalmarY = 6281934;

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

// Clicks into the edit and types the text, as a user does.
void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus(Qt::MouseFocusReason);
    TypeInto(edit, text);
}

// Types the text into a search panel and presses Enter, as a user searches.
void SearchFor(TFRSearchPanel* panel, const QString& text) {
    Type(panel->Edit, text);
    QTest::keyClick(panel->Edit, Qt::Key_Return);
}

}  // namespace

class TestScreenWays : public QObject {
    Q_OBJECT

    std::unique_ptr<ShippedFolder> m_folder;
    std::unique_ptr<TProgramBlock> m_block;
    std::unique_ptr<testsupport::ClockGuard> m_clock;
    QStringList m_messages;

    TformFRMain* main() const { return m_block->MainForm(); }
    TDM* dm() const { return m_block->DM(); }
    TFRFungiScreen* fungiScreen() const { return qobject_cast<TFRFungiScreen*>(main()->Screen(ssFungi)); }
    TFRPlaceScreen* placeScreen() const { return qobject_cast<TFRPlaceScreen*>(main()->Screen(ssPlace)); }
    TFRContactScreen* contactScreen() const { return qobject_cast<TFRContactScreen*>(main()->Screen(ssContact)); }
    TFRMapScreen* mapScreen() const { return qobject_cast<TFRMapScreen*>(main()->Screen(ssMap)); }
    TframeFungiFinds* findsFrame() const { return qobject_cast<TframeFungiFinds*>(fungiScreen()->FindScreen->Frame()); }
    TframeFungiFindDetails* findFrame() const {
        return qobject_cast<TframeFungiFindDetails*>(fungiScreen()->FindDetailScreen->Frame());
    }
    bool NavigationLocked() const { return !main()->sbtnQuit->isEnabled(); }

    // A main-menu button pressed, and the frames it dropped freed.
    void Navigate(int screen) {
        main()->Screen(screen)->MenuButton()->click();
        QCoreApplication::processEvents();
    }
    QString Take() {
        const QString text = m_messages.join('\n');
        m_messages.clear();
        return text;
    }

    void ShowSpecies(const QString& latin) {
        Navigate(ssFungi);
        QVERIFY(dm()->cdsFungi->Locate("LatinName", latin));
        fungiScreen()->UpdateFrame();
        fungiScreen()->FungiFrame()->SubScreenButton(1)->click();
        QVERIFY(findsFrame());
    }

    QString AddContact(const QString& name) {
        Navigate(ssContact);
        TframeContacts* frame = contactScreen()->ContactsFrame();
        frame->sbtnNewContact->click();
        Type(frame->dbeditUserName, name);
        frame->btnSave->click();
        [&] { QCOMPARE(dm()->cdsContacts->State(), TDataSetState::dsBrowse); }();
        return GetUKey(dm()->cdsContacts);
    }

    // A place of the user's own, shown on the places screen.
    void AddPlace(const QString& name) {
        Navigate(ssPlace);
        placeScreen()->NewPlace();
        TframePlaces* frame = placeScreen()->PlacesFrame();
        Type(frame->dbeditPlaceName, name);
        Type(frame->dbeditProvince, "Kalmar län");
        frame->btnSave->click();
        QCOMPARE(dm()->cdsPlaces->State(), TDataSetState::dsBrowse);
    }

private Q_SLOTS:
    void initTestCase() {
        RegisterCoreScreens();
        RegisterContentScreens();
        m_clock = std::make_unique<testsupport::ClockGuard>(std::nullopt, true);
        UIServices::SetMessageHook([this](const UIServices::TShownMessage& m) {
            m_messages << m.Text;
            return m.Buttons == UIServices::TMsgButtons::YesNo ? UIServices::TMsgResult::Yes
                                                               : UIServices::TMsgResult::OK;
        });
        m_folder = std::make_unique<ShippedFolder>();
        UIServices::SetDialogHook([](QDialog* d) {
            if (auto* form = qobject_cast<TformCreateFirstUser*>(d)) {
                TypeInto(form->frameUsers->dbeditUserName, "Greta Gran");
                QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
            }
        });
        m_block = std::make_unique<TProgramBlock>(m_folder->dir.path());
        QCOMPARE(m_block->StartUp(), TProgramBlock::TStartResult::LoggedIn);
        UIServices::SetDialogHook({});
        main()->resize(1024, 768);
        main()->show();
        QVERIFY(QTest::qWaitForWindowExposed(main()));
        main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main()));
        QVERIFY(dm()->cdsMaps->Locate("UKey", kSampleSheet));
        QCOMPARE(Take(), QString());
    }

    void cleanupTestCase() {
        main()->QuitSequence();
        m_block.reset();
        UIServices::SetMessageHook({});
        m_clock.reset();
    }

    void cleanup() {
        if (QTest::currentTestFailed()) return;
        // Every way ends with the main menu free again.
        QVERIFY(!NavigationLocked());
    }

    // ---- A find marked on the map ----

    void findMarkedOnTheMap_comesBackToTheFind_data() {
        QTest::addColumn<bool>("newFind");
        QTest::addColumn<bool>("accept");
        QTest::newRow("new find, Spara") << true << true;
        QTest::newRow("new find, Avbryt") << true << false;
        QTest::newRow("changed find, Spara") << false << true;
        QTest::newRow("changed find, Avbryt") << false << false;
    }
    void findMarkedOnTheMap_comesBackToTheFind() {
        QFETCH(bool, newFind);
        QFETCH(bool, accept);
        ShowSpecies("Cantharellus cibarius");
        QVERIFY(findsFrame());
        TExtClientDataSet* finds = dm()->cdsFungiFinds;
        const int before = finds->RecordCount();
        QString position;
        if (newFind) {
            findsFrame()->sbtnNew->click();
        } else {
            // A find of the user's own, stored before, is changed.
            findsFrame()->sbtnNew->click();
            Type(findFrame()->dbeditProvince, "Kalmar län");
            Type(findFrame()->dbeditPositionY, "6300000");
            Type(findFrame()->dbeditPositionX, "1530000");
            findFrame()->btnSave->click();
            QCOMPARE(finds->State(), TDataSetState::dsBrowse);
            QCOMPARE(finds->RecordCount(), before + 1);
            findsFrame()->listEntries->setCurrentRow(finds->RecNo() - 1);
            findsFrame()->sbtnEdit->click();
            position = "1530000";
        }
        QVERIFY(findFrame() && findFrame()->isVisible());
        const TDataSetState editing = newFind ? TDataSetState::dsInsert : TDataSetState::dsEdit;
        QCOMPARE(finds->State(), editing);
        const QString header = findFrame()->panelFrameHeader->text();

        findFrame()->btnMap->click();
        QCOMPARE(main()->CurrentScreen(), mapScreen());
        TframeMaps* maps = mapScreen()->MapsFrame();
        QCOMPARE(maps->MarkingMode(), 1);
        maps->ShowMapAt(kSampleSheet, kKalmarX, kKalmarY);
        maps->sbtnMark->click();
        QVERIFY(maps->MarkingActive());
        const QPoint at(maps->panelMap->Surface()->width() / 2, maps->panelMap->Surface()->height() / 2);
        QTest::mouseDClick(maps->panelMap->Surface(), Qt::LeftButton, {}, at);
        QCOMPARE(int(mapScreen()->MapObjs().size()), 1);
        const TFRMapObj mark = mapScreen()->MapObjs().front();
        (accept ? maps->sbtnSaveMarks : maps->sbtnCancelMarks)->click();
        QCoreApplication::processEvents();

        // The find itself is back, still in edit, with the mark's position or as it was.
        QCOMPARE(main()->CurrentScreen(), fungiScreen());
        QVERIFY(findFrame());
        QVERIFY(findFrame()->isVisible());
        QCOMPARE(fungiScreen()->FungiFrame()->ShownPageName(), QString("tabsExternalFrame"));
        QCOMPARE(finds->State(), editing);
        QCOMPARE(findFrame()->panelFrameHeader->text(), header);
        QVERIFY(findFrame()->btnSave->isVisible());
        QVERIFY(NavigationLocked());
        QVERIFY(!main()->close());
        if (accept) {
            QCOMPARE(findFrame()->dbeditPositionX->text(), QString::number(mark.X));
            QCOMPARE(findFrame()->dbeditPositionY->text(), QString::number(mark.Y));
        } else {
            QCOMPARE(findFrame()->dbeditPositionX->text(), position);
        }
        if (newFind && accept) {
            for (QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
                main()->resize(size);
                QCoreApplication::processEvents();
                QVERIFY(main()->grab().save(
                    testsupport::ArtefactDir() +
                    QString("/screenways_find_after_map_%1x%2.png").arg(size.width()).arg(size.height())));
            }
            main()->resize(1024, 768);
        }

        // Every check of the find runs on its save.
        if (newFind) {
            findFrame()->btnSave->click();
            QCOMPARE(Take(), QString("Du måste ange vilket län fyndet gjordes i"));
            QCOMPARE(finds->State(), TDataSetState::dsInsert);
            QVERIFY(NavigationLocked());
            // "Ny" cannot save the open find behind the checks' back either.
            fungiScreen()->FindDetailScreen->NewFind();
            QCOMPARE(finds->State(), TDataSetState::dsInsert);
            Type(findFrame()->dbeditProvince, "Kalmar län");
        }
        findFrame()->btnSave->click();
        QCOMPARE(Take(), QString());
        QCOMPARE(finds->State(), TDataSetState::dsBrowse);
        QCOMPARE(finds->RecordCount(), before + 1);
        const int x = finds->FieldByName("PositionX")->AsInteger();
        QCOMPARE(x, accept ? mark.X : position.toInt());
        if (accept) QCOMPARE(finds->FieldByName("PositionY")->AsInteger(), mark.Y);
        // The list of finds is back with the saved find, and the menu is free.
        QVERIFY(findsFrame() && findsFrame()->isVisible());
        QCOMPARE(findsFrame()->listEntries->count(), before + 1);
        QVERIFY(findsFrame()->sbtnInfo->isEnabled());
    }

    // ---- Contacts saved while the program runs ----

    void contactSavedWhileRunning_isFoundBySearches() {
        const QString karl = AddContact("Karl Kantarellsson");
        const QString greta = dm()->cdsCurrentUser->FieldByName("ContactUKey")->AsString();
        QVERIFY(!greta.isEmpty());

        // The participants of a visit.
        AddPlace("Ekbacken vid Kalmar");
        TframePlaces* places = placeScreen()->PlacesFrame();
        places->VisitStart(true);
        for (const auto& [typed, key] : {std::pair<QString, QString>{"Karl", karl}, {"Greta", greta}}) {
            places->btnPeopleNew->click();
            SearchFor(places->searchPeople, typed);
            QCOMPARE(placeScreen()->WorkPeople()->FieldByName("Individual")->AsString(), TDMServices::RefPrefix + key);
            places->btnPeopleSave->click();
        }
        QStringList people = Lines(places->listPeople);
        people.sort();
        QCOMPARE(people, QStringList({"Greta Gran (kontakt)", "Karl Kantarellsson (kontakt)"}));
        places->btnVisitSave->click();
        QCOMPARE(Take(), QString());
        QCOMPARE(dm()->cdsPlacePeople->RecordCount(), 2);

        // The photographer of a picture.
        ShowSpecies("Cantharellus cibarius");
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(QColor(220, 170, 40));
        const QString file = m_folder->path("Temp/bild.jpg");
        QDir().mkpath(QFileInfo(file).absolutePath());
        QVERIFY(image.save(file, "JPG"));
        fungiScreen()->PicDetailScreen->NewFromFile(file);
        auto* details = qobject_cast<TframeFungiPicDetails*>(fungiScreen()->PicDetailScreen->Frame());
        QVERIFY(details && details->isVisible());
        SearchFor(details->searchPhotographer, "Karl");
        QCOMPARE(dm()->cdsFungiPics->FieldByName("Photographer")->AsString(), TDMServices::RefPrefix + karl);
        details->btnCancel->click();
        QCOMPARE(Take(), QString());

        // A contact deleted is no longer offered.
        Navigate(ssContact);
        const QString gone = AddContact("Gunnar Gammal");
        QVERIFY(main()->ContactNames.IndexOfUKey(gone) >= 0);
        contactScreen()->ContactsFrame()->sbtnDeleteContact->click();
        QVERIFY(Take().contains("Gunnar Gammal"));
        QCOMPARE(main()->ContactNames.IndexOfUKey(gone), -1);
    }

    // ---- From a visit to a participant and to a species ----

    void participantDoubleClicked_isTheContactShown() {
        // A group the contacts screen remembers, whose first member is someone else.
        Navigate(ssContact);
        TframeContacts* contacts = contactScreen()->ContactsFrame();
        contacts->sbtnNewGroup->click();
        Type(contacts->dbeditGroupName, "Svampvänner");
        contacts->btnSave->click();
        contacts->comboGroups->setCurrentIndex(contacts->comboGroups->findText("Svampvänner"));
        const QString anders = AddContact("Anders Ask");
        contacts = contactScreen()->ContactsFrame();
        contacts->comboGroups->setCurrentIndex(contacts->comboGroups->findText("Mina kontakter"));
        const QString britta = AddContact("Britta Björk");
        contacts = contactScreen()->ContactsFrame();
        contacts->comboGroups->setCurrentIndex(contacts->comboGroups->findText("Svampvänner"));
        QCOMPARE(Lines(contacts->listboxGroupMembers), QStringList{"Anders Ask"});
        QCOMPARE(GetUKey(dm()->cdsContacts), anders);

        AddPlace("Tallmon");
        TframePlaces* places = placeScreen()->PlacesFrame();
        places->VisitStart(true);
        places->btnPeopleNew->click();
        SearchFor(places->searchPeople, "Britta");
        places->btnPeopleSave->click();
        places->btnVisitSave->click();
        places->SetShowingVisit(true);
        QCOMPARE(Lines(places->listPeople), QStringList{"Britta Björk (kontakt)"});
        places->listPeopleDoubleClick(0);

        QCOMPARE(main()->CurrentScreen(), contactScreen());
        contacts = contactScreen()->ContactsFrame();
        QVERIFY(contacts->ShowingAll());
        QCOMPARE(GetUKey(dm()->cdsContacts), britta);
        QCOMPARE(contacts->listboxGroupMembers->currentItem()->text(), QString("Britta Björk"));
        QCOMPARE(contacts->dbeditUserName->text(), QString("Britta Björk"));
        QCOMPARE(Take(), QString());
    }

    void speciesDoubleClicked_widensTheSelection() {
        TExtClientDataSet* fungi = dm()->cdsFungi;
        // The user's quick selection: complete descriptions only. The species found lacks one.
        const QStringList selection = fungi->Sel();
        QVERIFY(!selection.isEmpty());
        const int shown = fungi->RecordCount();
        QVERIFY(!fungi->Locate("LatinName", "Tricholoma matsutake"));

        AddPlace("Sandtallskogen");
        TframePlaces* places = placeScreen()->PlacesFrame();
        places->VisitStart(true);
        places->btnFindNew->click();
        SearchFor(places->searchFungi, "Goliatmusseron");
        places->btnFindSave->click();
        places->btnVisitSave->click();
        QCOMPARE(Take(), QString());
        places->SetShowingVisit(true);
        QCOMPARE(places->listFinds->count(), 1);
        places->listFindsDoubleClick(0);

        QCOMPARE(main()->CurrentScreen(), fungiScreen());
        QCOMPARE(fungi->FieldByName("LatinName")->AsString(), QString("Tricholoma matsutake"));
        const QString key = GetUKey(fungi);
        QCOMPARE(fungi->Sel(), QStringList({"Str(UKey = \"" + key + "\")", "OR"}) + selection);
        QCOMPARE(fungi->RecordCount(), shown + 1);
        QVERIFY(fungiScreen()->FungiFrame()->isVisible());
        QCOMPARE(Take(), QString());
    }
};

QTEST_MAIN(TestScreenWays)
#include "tst_screenways.moc"
