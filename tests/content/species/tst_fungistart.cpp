// The species screen in the whole program: the first screen a new user sees, over the shipped
// catalogue, and what it leaves in the user's settings.
#include <QtTest>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>

#include "content/unitContentScreens.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiScreen.h"
#include "controls/FRSearchPanel.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitMain.h"
#include "shell/unitStartup.h"
#include "shell/unitUserScreen.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

class TestFungiStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        Clock::SetSkipWaits(true);
        TApplication::SetTitle("Mykotekshallen");
        RegisterCoreScreens();
        RegisterContentScreens();
    }

    void firstStart_opensTheSpeciesScreen() {
        QVERIFY2(QFile::exists(testsupport::ProgramDir() + "/Data/Db/Fungi.dat"),
                 "the build has not laid the catalogue into the program folder");
        QTemporaryDir dir;
        for (const char* sub : {"Data/Res", "Data/Pics", "Data/Db"}) {
            const QString from = testsupport::ProgramDir() + "/" + sub;
            QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                const QString to = dir.path() + "/" + sub + "/" + QDir(from).relativeFilePath(file);
                QDir().mkpath(QFileInfo(to).absolutePath());
                QFile::copy(file, to);
            }
        }
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::SetDialogHook([](QDialog* d) {
            if (auto* form = qobject_cast<TformCreateFirstUser*>(d)) {
                form->frameUsers->dbeditUserName->setFocus();
                QTest::keyClicks(form->frameUsers->dbeditUserName, "Greta Gran");
                QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
            }
        });
        QString userKey;
        QString shown;
        {
            TProgramBlock block(dir.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            userKey = LoggedInUserKey();
            TformFRMain* main = block.MainForm();
            bool checked = false;
            QTimer::singleShot(0, main, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(main));
                QVERIFY(main->CurrentScreen());
                QCOMPARE(main->CurrentScreen()->ScreenID, int(ssFungi));
                TframeFungi* frame = FRFungiScreen->FungiFrame();
                QVERIFY(frame && frame->isVisible());
                QCOMPARE(frame->ShownPageName(), QString("tabsFullData"));
                QVERIFY(frame->panelFrameHeader->text().startsWith("   Artbeskrivning 1 av "));
                // The search panel searches every species name of the catalogue.
                QVERIFY(frame->searchFungi->SearchList.Count() > 100);
                frame->BrowseClick(3);
                shown = GetUKey(block.DM()->cdsFungi);
                for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
                    main->resize(size);
                    QCoreApplication::processEvents();
                    QVERIFY(main->grab().save(QString("%1/mainwindow_fungi_%2x%3.png")
                                                  .arg(testsupport::ArtefactDir())
                                                  .arg(size.width())
                                                  .arg(size.height())));
                }
                checked = true;
                main->close();
            });
            QCOMPARE(block.Run(), 0);
            QVERIFY(checked);
        }
        UIServices::SetMessageHook({});
        UIServices::SetDialogHook({});
        QVERIFY2(UIServices::MessageLog().isEmpty(), qPrintable(UIServices::MessageLog().value(0).Text));
        UIServices::ClearMessageLog();
        TFRIniFile settings;
        settings.SetFilename(dir.path() + "/Data/Users/" + userKey + ".ini");
        settings.Open();
        QCOMPARE(settings.ReadInteger("Settings/LastVisitedScreen"), int(ssFungi));
        QCOMPARE(settings.ReadString("Fungi/LastVisited"), shown);
        QCOMPARE(settings.ReadInteger("Fungi/SubScreenIndex"), 4);
    }
};

QTEST_MAIN(TestFungiStart)
#include "tst_fungistart.moc"
