// The finds of a species: the list with its buttons and the delete question, and one find
// entered, changed and viewed with its checks, presets and the run's last find date.
#include <QtTest>

#include "content/FungiTestSupport.h"
#include "content/species/unitFrameFungiFinds.h"
#include "controls/FREdits.h"
#include "shell/unitUserScreen.h"
#include "platform/UIServices.h"

#include <QLineEdit>
#include <QPushButton>

class TestFungiFinds : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newFind_checksSavesAndPresets();
    void header_data();
    void header();
    void buttons_followTheAuthor();
    void delete_asks_data();
    void delete_asks();
    void mapMarks_data();
    void mapMarks();
    void screenshot();
};

namespace {

struct FindFixture : FungiFixture {
    QString species, other;
    FindFixture() {
        SelectCurrentUser(AddUser("Cecilia"));
        species = AddSpecies("Kantarell", "Cantharellus cibarius");
        other = AddSpecies("Karljohan", "Boletus edulis");
        static_cast<void>(LocateUKey(Fungi(), species));
    }
    QString AddFind(const QString& date, const QString& createdBy, const QString& district = "Lund") {
        return AddDetail(dm->cdsFungiFinds, species,
                         {{"FindDate", QDate::fromString(date, Qt::ISODate)},
                          {"BodyCount", 3},
                          {"BodyAge", 2},
                          {"Province", "Skåne län"},
                          {"District", district},
                          {"CreatedBy", createdBy}});
    }
    TframeFungiFinds* Show() {
        screen->Activate(QString());
        static_cast<void>(LocateUKey(Fungi(), species));
        Frame()->ShowSubScreen(1);
        screen->UpdateFrame();
        return qobject_cast<TframeFungiFinds*>(screen->FindScreen->Frame());
    }
    TframeFungiFindDetails* Details() const {
        return qobject_cast<TframeFungiFindDetails*>(screen->FindDetailScreen->Frame());
    }
    bool Navigation() const { return window->NavigationEnabled(); }
    QStringList Messages() const {
        QStringList texts;
        for (const auto& m : UIServices::MessageLog()) texts << m.Caption + ": " + m.Text;
        return texts;
    }
};

}  // namespace

void TestFungiFinds::newFind_checksSavesAndPresets() {
    FindFixture f;
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    f.settings->WriteBool("FungiFindPresets/PositionLocked", false);
    f.settings->WriteBool("FungiFindPresets/RouteNoteLocked", true);
    TframeFungiFinds* list = f.Show();
    QVERIFY(list);
    QCOMPARE(LastFindDate, QDate(1900, 1, 1));
    list->sbtnNew->click();
    TframeFungiFindDetails* d = f.Details();
    QVERIFY(d);
    TExtClientDataSet* finds = f.dm->cdsFungiFinds;
    QCOMPARE(finds->State(), TDataSetState::dsInsert);
    QVERIFY(!f.Navigation());
    // The first find of the run is dated today.
    QCOMPARE(d->editDate->text(), QDate::currentDate().toString("yyyy-MM-dd"));
    QCOMPARE(finds->FieldByName("BodyCount")->AsInteger(), 1);
    QCOMPARE(finds->FieldByName("BodyAge")->AsInteger(), 1);
    QCOMPARE(finds->FieldByName("CreatedBy")->AsString(), GetCurrentUserContactUKey());
    QVERIFY(!finds->FieldByName("PositionLocked")->AsBoolean());
    QVERIFY(finds->FieldByName("RouteNoteLocked")->AsBoolean());
    QVERIFY(!d->lblCreatedBy->isVisible());

    // No province, then a bad date: the find stays in input, the typed date too.
    UIServices::ClearMessageLog();
    finds->FieldByName("NoteTextLocked")->SetAsBoolean(true);
    d->btnSaveClick();
    QCOMPARE(f.Messages(), QStringList{"Mykotekshallen - Fel: Du måste ange vilket län fyndet gjordes i"});
    QCOMPARE(finds->State(), TDataSetState::dsInsert);
    // The lock states were kept for the next find although the save stopped.
    QVERIFY(f.settings->ReadBool("FungiFindPresets/NoteTextLocked"));
    finds->FieldByName("Province")->SetAsString("Skåne län");
    for (const QString bad : {"14/9 2024", "2024-02-30", "", "igår"}) {
        UIServices::ClearMessageLog();
        d->editDate->setText(bad);
        d->editDate->setModified(true);
        d->btnSaveClick();
        QCOMPARE(f.Messages(), QStringList{"Mykotekshallen - Fel: Ogiltigt datum"});
        QCOMPARE(finds->State(), TDataSetState::dsInsert);
        QCOMPARE(d->editDate->text(), bad);
    }
    d->editDate->setText("2024-09-14");
    d->btnSaveClick();
    QCOMPARE(finds->State(), TDataSetState::dsBrowse);
    QCOMPARE(finds->FieldByName("FindDate")->AsDate(), QDate(2024, 9, 14));
    QCOMPARE(LastFindDate, QDate(2024, 9, 14));
    QVERIFY(f.Navigation());
    QCOMPARE(finds->RecordCount(), 1);

    // The next find gets the date saved before it; cancelling stores nothing.
    f.screen->FindDetailScreen->NewFind();
    QCOMPARE(f.Details()->editDate->text(), QString("2024-09-14"));
    QVERIFY(finds->FieldByName("NoteTextLocked")->AsBoolean());
    f.Details()->btnCancelClick();
    QCOMPARE(finds->RecordCount(), 1);
    QVERIFY(f.Navigation());
}

void TestFungiFinds::header_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("ending");
    QTest::newRow("browse") << 0 << "Kantarell (Cantharellus cibarius) - fyndplats 2 av 3";
    QTest::newRow("edit") << 1 << "Kantarell (Cantharellus cibarius) - editering av fyndplats";
    QTest::newRow("insert") << 2 << "Kantarell (Cantharellus cibarius) - inmatning av ny fyndplats";
}

void TestFungiFinds::header() {
    QFETCH(int, mode);
    QFETCH(QString, ending);
    FindFixture f;
    const QString me = GetCurrentUserContactUKey();
    f.AddFind("2024-09-01", me);
    f.AddFind("2024-09-02", me);
    f.AddFind("2024-09-03", me);
    QVERIFY(f.Show());
    f.dm->cdsFungiFinds->SetRecNo(2);
    if (mode == 0) f.screen->FindDetailScreen->ShowFind();
    if (mode == 1) f.screen->FindDetailScreen->EditFind();
    if (mode == 2) f.screen->FindDetailScreen->NewFind();
    TframeFungiFindDetails* d = f.Details();
    QVERIFY(d);
    QCOMPARE(d->panelFrameHeader->text(), "   " + ending);
    QCOMPARE(d->editDate->isReadOnly(), mode == 0);
    QVERIFY(!f.Navigation());
    if (mode == 0) {
        // Browsing moves between the finds; "Stäng" lets the user move again.
        d->sbtnNext->click();
        QCOMPARE(d->panelFrameHeader->text(), QString("   Kantarell (Cantharellus cibarius) - fyndplats 3 av 3"));
        QVERIFY(!d->sbtnNext->isEnabled());
        d->btnCloseClick();
    } else {
        d->btnCancelClick();
    }
    QVERIFY(f.Navigation());
    QCOMPARE(f.dm->cdsFungiFinds->RecordCount(), 3);
}

void TestFungiFinds::buttons_followTheAuthor() {
    FindFixture f;
    f.AddFind("2024-09-01", GetCurrentUserContactUKey());
    f.AddFind("2024-09-02", "annan-kontakt");
    TframeFungiFinds* list = f.Show();
    QVERIFY(list);
    QCOMPARE(list->listEntries->count(), 2);
    QCOMPARE(f.Frame()->SubScreenButton(1)->text(), QString("Fyndplatser (2 st)"));
    for (int row = 0; row < 2; ++row) {
        list->listEntries->setCurrentRow(row);
        const bool mine = f.dm->cdsFungiFinds->FieldByName("CreatedBy")->AsString() == GetCurrentUserContactUKey();
        QCOMPARE(list->sbtnEdit->isEnabled(), mine);
        QVERIFY(list->sbtnDelete->isEnabled());
        QVERIFY(list->sbtnInfo->isEnabled());
        if (!mine) {
            // Not even by another way in.
            f.screen->FindDetailScreen->EditFind();
            QCOMPARE(f.dm->cdsFungiFinds->State(), TDataSetState::dsBrowse);
            QVERIFY(f.Navigation());
        }
    }
    // The map button: only when a map holds the find's position.
    QVERIFY(!list->sbtnMap->isEnabled());
    QList<QPoint> asked;
    FindMapForPoint = [&](int x, int y) {
        asked.append({x, y});
        return x > 0;
    };
    ShowFindOnMap = [](const QString&, int, int) {};
    list->UpdateButtons();
    QVERIFY(!list->sbtnMap->isEnabled());
    QVERIFY(!asked.isEmpty());
    f.dm->cdsFungiFinds->Edit();
    f.dm->cdsFungiFinds->FieldByName("PositionX")->SetAsInteger(1371000);
    f.dm->cdsFungiFinds->FieldByName("PositionY")->SetAsInteger(6172000);
    f.dm->cdsFungiFinds->Post();
    list->UpdateButtons();
    QVERIFY(list->sbtnMap->isEnabled());
    QCOMPARE(asked.last(), QPoint(1371000, 6172000));
    FindMapForPoint = nullptr;
    ShowFindOnMap = nullptr;
    // Another species without finds: nothing to change, delete or show.
    QVERIFY(LocateUKey(f.Fungi(), f.other));
    f.screen->UpdateFrame();
    QCOMPARE(list->listEntries->count(), 0);
    QVERIFY(!list->sbtnEdit->isEnabled());
    QVERIFY(!list->sbtnDelete->isEnabled());
    QVERIFY(!list->sbtnInfo->isEnabled());
}

void TestFungiFinds::delete_asks_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestFungiFinds::delete_asks() {
    QFETCH(bool, yes);
    FindFixture f;
    f.ui.AnswerBoxes(yes ? UIServices::TMsgResult::Yes : UIServices::TMsgResult::No);
    f.AddFind("2024-09-01", "annan-kontakt");
    TframeFungiFinds* list = f.Show();
    QVERIFY(list);
    UIServices::ClearMessageLog();
    list->sbtnDelete->click();
    QCOMPARE(f.Messages(),
             QStringList{"Mykotekshallen - Bekräfta radering: Du är på väg att radera den markerade "
                         "fyndplatsen! Skall raderingen genomföras?"});
    QCOMPARE(UIServices::MessageLog().first().Buttons, UIServices::TMsgButtons::YesNo);
    QCOMPARE(f.dm->cdsFungiFinds->RecordCount(), yes ? 0 : 1);
    QCOMPARE(list->listEntries->count(), yes ? 0 : 1);
}

void TestFungiFinds::mapMarks_data() {
    QTest::addColumn<QList<QPoint>>("marks");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("one mark") << QList<QPoint>{{1371000, 6172000}} << 1371000 << 6172000;
    QTest::newRow("two marks") << QList<QPoint>{{1371000, 6172000}, {1372000, 6173000}} << 1300000 << 6100000;
    QTest::newRow("no mark") << QList<QPoint>{} << 1300000 << 6100000;
}

void TestFungiFinds::mapMarks() {
    QFETCH(QList<QPoint>, marks);
    QFETCH(int, x);
    QFETCH(int, y);
    FindFixture f;
    FindMapMarks = [marks] { return marks; };
    f.AddFind("2024-09-01", GetCurrentUserContactUKey());
    f.dm->cdsFungiFinds->Edit();
    f.dm->cdsFungiFinds->FieldByName("PositionX")->SetAsInteger(1300000);
    f.dm->cdsFungiFinds->FieldByName("PositionY")->SetAsInteger(6100000);
    f.dm->cdsFungiFinds->Post();
    QVERIFY(f.Show());
    f.screen->FindDetailScreen->EditFind();
    // "Karta..." hands the find to the maps screen for marking.
    QString marking;
    StartFindMarking = [&](const QString& key) { marking = key; };
    f.Details()->UpdateButtons();
    QVERIFY(f.Details()->btnMap->isEnabled());
    f.Details()->btnMap->click();
    QCOMPARE(marking, GetUKey(f.dm->cdsFungiFinds));
    QCOMPARE(f.screen->FindDetailScreen->MarkFindUKey, marking);
    StartFindMarking = nullptr;
    // Back from the map, whose screen left navigation open.
    f.window->SetNavigationEnabled(true);
    f.screen->FindDetailScreen->MarkPending = true;
    f.screen->FindDetailScreen->Activate(QString());
    QVERIFY(!f.screen->FindDetailScreen->MarkPending);
    QCOMPARE(f.dm->cdsFungiFinds->State(), TDataSetState::dsEdit);
    QCOMPARE(f.dm->cdsFungiFinds->FieldByName("PositionX")->AsInteger(), x);
    QCOMPARE(f.dm->cdsFungiFinds->FieldByName("PositionY")->AsInteger(), y);
    QVERIFY(!f.Navigation());
    f.Details()->btnCancelClick();
    QVERIFY(f.Navigation());
    FindMapMarks = nullptr;
}

void TestFungiFinds::screenshot() {
    FindFixture f;
    const QString me = GetCurrentUserContactUKey();
    f.AddFind("2024-09-01", me, "Höör");
    f.AddFind("2024-09-14", me, "Hässleholm");
    f.AddFind("2024-10-02", "annan-kontakt", "Ängelholm");
    QVERIFY(f.Show());
    f.dm->cdsFungiFinds->SetRecNo(2);
    f.screen->UpdateFrame();
    QCoreApplication::processEvents();
    QVERIFY(f.window->grab().save(testsupport::ArtefactDir() + "/fungi_finds_800x600.png"));
    f.screen->FindDetailScreen->EditFind();
    QCoreApplication::processEvents();
    QVERIFY(f.window->grab().save(testsupport::ArtefactDir() + "/fungi_finddetails_800x600.png"));
    f.Details()->btnCancelClick();
}

QTEST_MAIN(TestFungiFinds)
#include "tst_fungifinds.moc"
