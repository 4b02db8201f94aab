// Each list and detail sub-screen of the species screen on a shipped catalogue species, as a
// picture in the artefacts folder for judging by eye.
#include <QtTest>

#include "content/FungiTestSupport.h"
#include "content/species/unitFrameFungiFinds.h"
#include "content/species/unitFrameFungiFPlaces.h"
#include "content/species/unitFrameFungiMixupDetails.h"
#include "content/species/unitFrameFungiMixups.h"
#include "content/species/pictures/unitFrameFungiPicDetails.h"
#include "content/species/pictures/unitFrameFungiPics.h"
#include <QClipboard>
#include <QGuiApplication>
#include "core/FRIniFile.h"
#include "core/unitDMServices.h"

class TestFungiSubShots : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void screenshots();
};

void TestFungiSubShots::screenshots() {
    QTemporaryDir dir;
    const QString program = testsupport::ProgramDir();
    QVERIFY2(QFile::exists(program + "/Data/Db/Fungi.dat"),
             "the build has not laid the catalogue into the program folder");
    for (const QString sub : {"Data/Db", "Data/Pics", "Data/Pics/MainPics", "Data/Pics/FungiPics",
                              "Data/Pics/FungiPicThumbs", "Data/Res"}) {
        QDir().mkpath(dir.path() + "/" + sub);
        for (const QString& file : QDir(program + "/" + sub).entryList(QDir::Files))
            QFile::copy(program + "/" + sub + "/" + file, dir.path() + "/" + sub + "/" + file);
    }
    SetProgramFolder(dir.path());
    testsupport::UIServicesGuard ui;
    auto dm = std::make_unique<TDM>(dir.path());
    TDMServices::Install(dm.get())->BuildPlacesPerFungi();
    TFRIniFile settings;
    settings.SetDefaults(TFRIniFile::ProgramDefaults());
    TUserEnvironment env;
    env.DM = dm.get();
    env.Settings = &settings;
    SetUserEnvironment(env);
    {
        TestMainWindow window;
        window.show();
        auto* screen = static_cast<TFRFungiScreen*>(CreateFungiScreen(&window));
        // The shipped species with the most look-alikes.
        TExtClientDataSet* mixups = dm->cdsFungiMixups;
        mixups->OpenInternal();
        TClientDataSet* stored = mixups->InternalDataSet();
        QHash<QString, int> counts;
        const int master = stored->FieldByName("MasterUKey")->Index();
        for (int row = 0; row < stored->RecordCount(); ++row) ++counts[stored->RecordValue(row, master).toString()];
        QString key;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (key.isEmpty() || it.value() > counts.value(key)) key = it.key();
        QVERIFY2(!key.isEmpty(), "the catalogue has no look-alikes");
        settings.WriteString("Fungi/LastVisited", key);
        screen->Activate(QString());
        QVERIFY(LocateUKey(dm->cdsFungi, key));
        // A find of the user's to show.
        dm->cdsFungiFinds->Append();
        dm->cdsFungiFinds->FieldByName("FindDate")->SetAsDate(QDate(2024, 9, 14));
        dm->cdsFungiFinds->FieldByName("BodyCount")->SetAsInteger(4);
        dm->cdsFungiFinds->FieldByName("BodyAge")->SetAsInteger(2);
        dm->cdsFungiFinds->FieldByName("Province")->SetAsString("Västra Götalands län");
        dm->cdsFungiFinds->FieldByName("District")->SetAsString("Göteborg");
        dm->cdsFungiFinds->Post();
        window.resize(800, 600);
        auto shot = [&](const QString& name) {
            QCoreApplication::processEvents();
            screen->UpdateFrame();
            QCoreApplication::processEvents();
            QVERIFY(window.grab().save(QString("%1/fungisub_%2_%3x%4.png")
                                           .arg(testsupport::ArtefactDir(), name)
                                           .arg(window.width())
                                           .arg(window.height())));
        };
        screen->FungiFrame()->ShowSubScreen(1);
        shot("finds");
        screen->FindDetailScreen->NewFind();
        shot("finddetails");
        qobject_cast<TframeFungiFindDetails*>(screen->FindDetailScreen->Frame())->btnCancelClick();
        screen->FungiFrame()->ShowSubScreen(2);
        QVERIFY(qobject_cast<TframeFungiMixups*>(screen->MixupScreen->Frame())->listEntries->count() > 0);
        shot("mixups");
        qobject_cast<TframeFungiMixups*>(screen->MixupScreen->Frame())->btnNewClick();
        shot("mixupdetails");
        qobject_cast<TframeFungiMixupDetails*>(screen->MixupDetailScreen->Frame())->btnCancelClick();
        screen->FungiFrame()->ShowSubScreen(3);
        shot("fplaces");
        // The shipped illustration as the species' picture, and a new picture being marked.
        QCOMPARE(dm->cdsFungiPics->RecordCount(), 1);
        for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            window.resize(size);
            screen->FungiFrame()->ShowSubScreen(4);
            QCOMPARE(qobject_cast<TframeFungiPics*>(screen->PicScreen->Frame())->Tiles().size(), 1);
            shot("pics");
            screen->PicDetailScreen->ShowPicture();
            shot("picdetails");
            qobject_cast<TframeFungiPicDetails*>(screen->PicDetailScreen->Frame())->btnCloseClick();
            QGuiApplication::clipboard()->setImage(
                QImage(dir.path() + "/Data/Pics/FungiPics/Pic" + GetUKey(dm->cdsFungiPics) + ".jpg"));
            screen->PicDetailScreen->NewFromClipboard();
            auto* details = qobject_cast<TframeFungiPicDetails*>(screen->PicDetailScreen->Frame());
            details->sbtnMarker->click();
            shot("picnew");
            details->btnCancelClick();
        }
        window.resize(800, 600);
        screen->FungiFrame()->ShowSubScreen(4);
        qobject_cast<TframeFungiPics*>(screen->PicScreen->Frame())->FullScreenClick();
        // Any update of the species frame takes the grid back from the full page.
        QCoreApplication::processEvents();
        QVERIFY(window.grab().save(testsupport::ArtefactDir() + "/fungisub_picsfullpage_800x600.png"));
    }
    SetUserEnvironment({});
    SetProgramFolder(QString());
}

QTEST_MAIN(TestFungiSubShots)
#include "tst_fungisubshots.moc"
