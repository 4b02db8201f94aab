// The places of the user's excursions at which the shown species was found.
#include <QtTest>

#include "content/FungiTestSupport.h"
#include "content/species/unitFrameFungiFPlaces.h"
#include "content/places/unitPlaceScreen.h"
#include "shell/FRHistory.h"
#include "core/unitDMServices.h"

class TestFungiFPlaces : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void list_changesOnlyOnUpdate();
    void list_noPlaces();
    void doubleClick_opensThePlace();
    void screenshot();
};

namespace {

struct FPlacesFixture : FungiFixture {
    QString species;
    FPlacesFixture() {
        species = AddSpecies("Kantarell", "Cantharellus cibarius");
        AddSpecies("Karljohan", "Boletus edulis");
    }
    QString AddPlace(const QString& name) {
        TExtClientDataSet* places = dm->cdsPlaces;
        places->Append();
        places->FieldByName("PlaceName")->SetAsString(name);
        places->FieldByName("Province")->SetAsString("Skåne län");
        places->Post();
        return GetUKey(places);
    }
    // A visit of the place with a find of each of the species.
    void AddVisit(const QString& place, const QString& date, const QStringList& fungi) {
        QVERIFY(LocateUKey(dm->cdsPlaces, place));
        TExtClientDataSet* visits = dm->cdsPlaceVisits;
        visits->Append();
        visits->FieldByName("VisitDate")->SetValue(QDate::fromString(date, Qt::ISODate));
        visits->Post();
        for (const QString& key : fungi) {
            dm->cdsPlaceFinds->Append();
            dm->cdsPlaceFinds->FieldByName("FungiUKey")->SetAsString(key);
            dm->cdsPlaceFinds->Post();
        }
    }
    void Build() { TDMServices::Install(dm.get())->BuildPlacesPerFungi(); }
    TframeFungiFPlaces* Show() {
        screen->Activate(QString());
        static_cast<void>(LocateUKey(Fungi(), species));
        Frame()->ShowSubScreen(3);
        screen->UpdateFrame();
        return qobject_cast<TframeFungiFPlaces*>(screen->FPlaceScreen->Frame());
    }
    QString ButtonText() const { return Frame()->SubScreenButton(3)->text(); }
};

}  // namespace

void TestFungiFPlaces::list_changesOnlyOnUpdate() {
    FPlacesFixture f;
    const QString forest = f.AddPlace("Storskogen");
    // Two visits with the species: the place is listed once.
    f.AddVisit(forest, "2024-09-14", {f.species});
    f.AddVisit(forest, "2024-09-21", {f.species});
    const QString meadow = f.AddPlace("Ängen");
    f.AddVisit(meadow, "2024-09-15", {f.AddSpecies("Flugsvamp", "Amanita muscaria")});
    f.Build();
    TframeFungiFPlaces* frame = f.Show();
    QVERIFY(frame);
    QCOMPARE(frame->panelFrameHeader->text(), QString("   Svampställen"));
    QCOMPARE(frame->listEntries->count(), 1);
    QCOMPARE(f.ButtonText(), QString("Svampställen (1 st)"));
    QCOMPARE(f.dm->cdsFungiSubPlaces->FieldByName("PlaceName")->AsString(), QString("Storskogen"));
    QCOMPARE(frame->sbtnUpdate->toolTip(),
             QString("Uppdatera databasen för att reflektera nyligen lagrade svampställeutflykter"));

    // A new excursion shows only after the user asks for it.
    f.AddVisit(meadow, "2024-10-01", {f.species});
    QVERIFY(LocateUKey(f.Fungi(), f.species));
    f.screen->UpdateFrame();
    QCOMPARE(frame->listEntries->count(), 1);
    QCOMPARE(f.ButtonText(), QString("Svampställen (1 st)"));
    QTest::mouseClick(frame->sbtnUpdate, Qt::LeftButton);
    QCOMPARE(frame->listEntries->count(), 2);
    QCOMPARE(f.ButtonText(), QString("Svampställen (2 st)"));
    // A click positions the table on the entry.
    frame->listEntries->setCurrentRow(1);
    QCOMPARE(f.dm->cdsFungiSubPlaces->RecNo(), 2);
    frame->listEntries->setCurrentRow(0);
    QCOMPARE(f.dm->cdsFungiSubPlaces->RecNo(), 1);
}

void TestFungiFPlaces::list_noPlaces() {
    FPlacesFixture f;
    f.Build();
    TframeFungiFPlaces* frame = f.Show();
    QVERIFY(frame);
    QCOMPARE(frame->listEntries->count(), 0);
    QCOMPARE(f.ButtonText(), QString("Svampställen (0 st)"));
}

void TestFungiFPlaces::doubleClick_opensThePlace() {
    FPlacesFixture f;
    auto* places = static_cast<TFRPlaceScreen*>(CreatePlaceScreen(f.window.get()));
    f.AddPlace("Annat ställe");
    const QString forest = f.AddPlace("Storskogen");
    f.AddVisit(forest, "2024-09-14", {f.species});
    f.Build();
    TframeFungiFPlaces* frame = f.Show();
    QVERIFY(frame);
    QCOMPARE(frame->listEntries->count(), 1);
    const int items = History()->Count();
    QListWidgetItem* item = frame->listEntries->item(0);
    Q_EMIT frame->listEntries->itemDoubleClicked(item);
    QCOMPARE(History()->Count(), items + 1);
    QCOMPARE(f.window->CurrentScreen(), static_cast<TFRMainScreen*>(places));
    QCOMPARE(GetUKey(f.dm->cdsPlaces), forest);
}

void TestFungiFPlaces::screenshot() {
    FPlacesFixture f;
    for (const QString name : {"Storskogen", "Ängen vid ån", "Gläntan"}) {
        const QString place = f.AddPlace(name);
        f.AddVisit(place, "2024-09-14", {f.species});
    }
    f.Build();
    QVERIFY(f.Show());
    f.window->resize(800, 600);
    QVERIFY(f.window->grab().save(testsupport::ArtefactDir() + "/fungi_fplaces_800x600.png"));
}

QTEST_MAIN(TestFungiFPlaces)
#include "tst_fungifplaces.moc"
