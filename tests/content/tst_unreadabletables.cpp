// A table whose file could not be read at start-up is empty and refuses writes. Its screens
// say so, naming the file, when they open: not that a selection matches nothing, and not
// that a table the user never tried to change is write-protected.
#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "content/unitContentScreens.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiScreen.h"
#include "core/FRIniFile.h"
#include "shell/FRScreens.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"
#include "shell/UserTestSupport.h"

namespace {

// The main window with every screen over a program folder whose one table file is damaged.
struct DamagedFixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir tmp;
    QString folder;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TFRIniFile> settings;
    std::unique_ptr<TformFRMain> main;

    DamagedFixture(const QString& file, const QByteArray& bytes) {
        folder = tmp.path() + "/";
        QDir().mkpath(folder + "Data/Res");
        QFile::copy(testsupport::ProgramDir() + "/Data/Res/Districts.dat", folder + "Data/Res/Districts.dat");
        QFile::copy(testsupport::SourceDir() + "/data/Res/Texts.dat", folder + "Data/Res/Texts.dat");
        QDir().mkpath(folder + "Data/Pics");
        for (const QString& name : QDir(testsupport::ProgramDir() + "/Data/Pics").entryList({"_*.bmp"}, QDir::Files))
            QFile::copy(testsupport::ProgramDir() + "/Data/Pics/" + name, folder + "Data/Pics/" + name);
        testsupport::WriteBytes(folder + "Data/Db/" + file, bytes);
        SetProgramFolder(folder);
        dm = std::make_unique<TDM>(folder);
        settings = UseDataModule(dm.get());
        TExtClientDataSet* contacts = dm->cdsContacts;
        if (!contacts->ReadOnly()) {
            contacts->Append();
            contacts->FieldByName("UserName")->SetAsString("Anna Andersson");
            contacts->Post();
        }
        TExtClientDataSet* users = dm->cdsUsers;
        users->Append();
        users->FieldByName("UserName")->SetAsString("Anna Andersson");
        if (!contacts->ReadOnly()) users->FieldByName("ContactUKey")->SetAsString(GetUKey(contacts));
        users->Post();
        SelectCurrentUser(GetUKey(users));
        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        main->resize(800, 600);
        main->show();
        TformFRMain::ClearScreenFactories();
        RegisterContentScreens();
        main->CreateScreens();
        UIServices::ClearMessageLog();
    }
    ~DamagedFixture() {
        main.reset();
        TformFRMain::ClearScreenFactories();
        SetUserEnvironment({});
        SetProgramFolder(QString());
    }
};

}  // namespace

class TestUnreadableTables : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void screenSaysWhichFileCouldNotBeRead_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("shot");
        QTest::newRow("empty contact groups") << "ContactGroups.dat" << QByteArray() << int(ssContact) << "contacts";
        QTest::newRow("damaged species") << "Fungi.dat" << QByteArray("ingen tabellfil") << int(ssFungi) << "species";
        QTest::newRow("damaged visits (a detail)") << "PlaceVisits.dat" << QByteArray("x") << int(ssPlace) << "places";
        QTest::newRow("damaged recipes") << "Foods.dat" << QByteArray("trasig") << int(ssFood) << "recipes";
    }
    void screenSaysWhichFileCouldNotBeRead() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(int, screen);
        QFETCH(QString, shot);
        DamagedFixture f(file, bytes);
        const QString path = QDir::toNativeSeparators(f.folder + "Data/Db/" + file);
        QCOMPARE(f.dm->StartupErrors().size(), 1);
        // An unrelated screen says nothing.
        f.main->Screen(ssInternet)->Activate(QString());
        QVERIFY(f.main->Screen(ssInternet)->Frame()->lblTableFailure->isHidden());

        TFRMainScreen* s = f.main->Screen(screen);
        s->Activate(QString());
        QApplication::processEvents();
        // Opening the screen is no attempt to change the table: no error box.
        QVERIFY2(UIServices::MessageLog().isEmpty(), qPrintable(UIServices::MessageLog().value(0).Text));
        QLabel* notice = s->Frame()->lblTableFailure;
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains(QStringLiteral("Tabellfilen \"%1\" kunde inte läsas").arg(path)),
                 qPrintable(notice->text()));
        if (screen == ssFungi) {
            // The species page says the same instead of blaming the selection.
            auto* frame = qobject_cast<TframeFungi*>(s->Frame());
            QVERIFY(frame->lblNoData->isVisible());
            QVERIFY2(frame->lblNoData->text().contains("tabellfilen med artbeskrivningarna inte kunde läsas"),
                     qPrintable(frame->lblNoData->text()));
            QVERIFY(!frame->lblNoData->text().contains("urvalet"));
            QVERIFY(!frame->btnClearSelection->isVisible());
            QVERIFY(!frame->btnSelectionWindow->isVisible());
        }
        for (QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            f.main->resize(size);
            QApplication::processEvents();
            QVERIFY(f.main->grab().save(
                testsupport::ArtefactDir() +
                QStringLiteral("/unreadable_%1_%2x%3.png").arg(shot).arg(size.width()).arg(size.height())));
        }
        // The file stays as it was.
        QCOMPARE(testsupport::ReadBytes(f.folder + "Data/Db/" + file), bytes);
    }
};

QTEST_MAIN(TestUnreadableTables)
#include "tst_unreadabletables.moc"
